#include "support/DecorationTestPage.h"
#include "support/WidgetKeys.h"

#include <gtest/gtest.h>

using namespace DecorationTestSupport;

// A selected text object and a selected legend take the same keys: Control with a plain letter
// is a clipboard command, a shifted letter is none, and Delete or Backspace deletes whatever
// modifiers are held.
TEST(PageObjectInteractionKeys, ObjectsAndLegendsFollowOneRuleForCommandLettersAndDeletion)
{
    struct Row {
        const char* name;
        bool legend;
        int key;
        Qt::KeyboardModifiers modifiers;
        QString undoName;  // empty: the work is left alone
    };
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier, ctrlShift = Qt::ControlModifier | Qt::ShiftModifier;
    const QString duplicate = QStringLiteral("Coller / dupliquer"), remove = QStringLiteral("Supprimer l’habillage");
    const Row rows[] = {
        {"decoration × Ctrl+D", false, Qt::Key_D, ctrl, duplicate},
        {"decoration × Ctrl+Shift+D", false, Qt::Key_D, ctrlShift, {}},
        {"decoration × Ctrl+Shift+X", false, Qt::Key_X, ctrlShift, {}},
        {"decoration × Delete", false, Qt::Key_Delete, {}, remove},
        {"decoration × Ctrl+Shift+Backspace", false, Qt::Key_Backspace, ctrlShift, remove},
        {"legend × Ctrl+D", true, Qt::Key_D, ctrl, duplicate},
        {"legend × Ctrl+Shift+D", true, Qt::Key_D, ctrlShift, {}},
        {"legend × Ctrl+Shift+X", true, Qt::Key_X, ctrlShift, {}},
        {"legend × Delete", true, Qt::Key_Delete, {}, remove},
        {"legend × Ctrl+Shift+Backspace", true, Qt::Key_Backspace, ctrlShift, remove},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DecorationTestPage t(workWith({placed("t", PlmDecorationKind::text, 40, 40, 160, 40)}));
        const QString id = row.legend ? QStringLiteral("legend") : QStringLiteral("t");
        t.controller->select(id, false);
        ViewNode* view = row.legend ? static_cast<ViewNode*>(t.h.canvas->legend()) : t.view(id);
        t.h.widget->setFirstResponder(view);
        keyClick(t.h.widget.get(), row.key, row.modifiers);
        EXPECT_EQ(t.document.undoNames(), row.undoName.isEmpty() ? QStringList() : QStringList{row.undoName});
    }
}
