#include "page/DecorationTextEditor.h"

#include "model/PlmDecorationObject.h"
#include "support/WidgetKeys.h"

#include <QTextLayout>

#include <gtest/gtest.h>

// End goes to the end of the line the page shows. A wrapped line ends before the blank it broke
// at: past that blank is the next line's start.
TEST(DecorationTextEditorKeys, EndStaysOnTheShownLine)
{
    const QString text = QStringLiteral("Première ligne du texte et seconde ligne");
    const DecorationTextAttributes attributes = textAttributes(PlmDecorationObject::make(QStringLiteral("a"), PlmDecorationKind::text).presentation);
    DecorationTextEditor editor;
    editor.setPlainText(text);
    editor.setPageText(attributes, DecorationText::singleLineWidth(QStringLiteral("Première ligne du texte"), attributes) + 4);
    editor.placeBox(QPointF(0, 0), 1, 40);
    const QTextLayout& layout = *editor.shownText().paragraphs().at(0);
    ASSERT_EQ(layout.lineCount(), 2);
    const int second = layout.lineAt(1).textStart();
    ASSERT_EQ(text.at(second - 1), QLatin1Char(' '));
    const struct {
        const char* name;
        int from;
        int key;
        int to;
    } rows[] = {
        {"End on the wrapped line", 3, Qt::Key_End, second - 1},
        {"End on the last line", second + 2, Qt::Key_End, int(text.size())},
    };
    for (const auto& row : rows) {
        QTextCursor cursor = editor.textCursor();
        cursor.setPosition(row.from);
        editor.setTextCursor(cursor);
        keyClick(&editor, row.key);
        EXPECT_EQ(editor.textCursor().position(), row.to) << row.name;
    }
}
