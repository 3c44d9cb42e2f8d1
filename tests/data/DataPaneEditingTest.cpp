// The data pane's cell editing, clipboard and variable commands, driven offscreen with real
// key events against a small undoable document.
#include "data/DataWindowController.h"

#include "data/CalculationWindowController.h"
#include "data/DataCellDelegate.h"
#include "data/DataCellField.h"
#include "data/DataTableModel.h"
#include "data/DataTableView.h"
#include "data/DataVariableDialog.h"
#include "model/PlmErrors.h"
#include "desktop/Document.h"
#include "support/PlmWorkTestSupport.h"
#include "support/WidgetInput.h"
#include "support/WindowActivation.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QUndoStack>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace {

using Move = DataCellDelegate::Move;

PlmWork fourZones()
{
    PlmWork work;
    work.map = PlmWorkTest::mapWithEntities({"A", "B", "C", "D"});
    work.variables = {
        PlmWorkTest::numberVariable("pct", "Part", {{"A", 10}}, PlmVariableType::percentage),
        PlmWorkTest::numberVariable("num", "Population", {{"A", 1234.5}, {"B", 3}}),
        PlmWorkTest::textVariable("txt", "Région", {{"A", "Nord"}}),
        PlmWorkTest::calculatedVariable("calc", "Double", "Population * 2", PlmVariableType::number, 1),
    };
    work.recomputeCalculatedVariables();
    return work;
}

// A document whose update works like the studio's: change a copy, recompute, validate, keep
// an undo step unless nothing changed, then refresh the pane.
class TestDocument : public Document {
public:
    PlmWork stored = fourZones();
    std::function<void()> refresh;

    PlmWork work() const { return stored; }
    void showDataWindow() {}

    QByteArray dataOfType(const QString&) const override { return {}; }
    void readFromData(const QByteArray&, const QString&) override {}

    void updateWork(const QString& name, const std::function<void(PlmWork&)>& change)
    {
        PlmWork next = stored;
        change(next);
        next.recomputeCalculatedVariables();
        next.validate();
        if (next == stored)
            return;
        undoStack()->push(new Step(this, stored, next, name));
    }

    void store(const PlmWork& work)
    {
        stored = work;
        if (refresh)
            refresh();
    }

private:
    class Step : public QUndoCommand {
    public:
        Step(TestDocument* document, PlmWork before, PlmWork after, const QString& name)
            : QUndoCommand(name), m_document(document), m_before(std::move(before)), m_after(std::move(after))
        {
        }
        void undo() override { m_document->store(m_before); }
        void redo() override { m_document->store(m_after); }

    private:
        TestDocument* m_document;
        PlmWork m_before, m_after;
    };
};

void sendKey(QWidget* widget, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers, text);
    QApplication::sendEvent(widget, &press);
}

void typeText(QWidget* widget, const QString& text)
{
    for (QChar c : text)
        sendKey(widget, 0, Qt::NoModifier, QString(c));
}

class DataPaneEditingTest : public ::testing::Test {
protected:
    DataPaneEditingTest()
        : pane([this]() -> std::optional<PlmWork> { return document.stored; })
    {
        pane.host.document = DataImportWindowControllerDocument::of(&document);
        document.refresh = [this] { pane.reloadTable(); };
        pane.installCellEditing();
        window.resize(900, 400);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(pane.studioTableView());
        window.show();
        window.activateWindow();
        QApplication::processEvents();
    }
    ~DataPaneEditingTest() override { DataVariableDialog::setHook({}); }

    DataTableModel* model() { return pane.tableModel(); }
    int column(const QString& id) { return model()->column(id); }

    // Opens the editor on a cell as Return on a selected row does.
    DataCellField* edit(const QString& entity, const QString& columnID)
    {
        pane.selectRows({entity});
        pane.activateColumn(column(columnID));
        const QModelIndex cell = model()->index(model()->row(entity), column(columnID));
        pane.table()->setCurrentIndex(cell);
        pane.table()->edit(cell);
        QApplication::processEvents();
        return editor();
    }
    DataCellField* editor()
    {
        for (DataCellField* field : pane.table()->findChildren<DataCellField*>())
            if (field->isVisible())
                return field;
        return nullptr;
    }
    bool editing() { return editor() != nullptr; }
    QStringList undoNames()
    {
        QStringList names;
        for (int i = 0; i < document.undoStack()->count(); ++i)
            names << document.undoStack()->text(i);
        return names;
    }
    QString cell(const QString& variable, const QString& entity)
    {
        const PlmVariable* found = document.stored.variable(variable);
        return found && found->values.contains(entity) ? found->values.value(entity).editingText() : QStringLiteral("∅");
    }

    TestDocument document;
    DataWindowController pane;
    QWidget window;
};

const QString numberRefusal =
    QStringLiteral("Nombre attendu : utilisez par exemple 1234,5. Une cellule vide signifie une donnée absente.");

} // namespace

TEST(DataCellMoves, TabWrapsToColumnTwoAndReturnStopsAtTheLastRow)
{
    // 3 rows, 5 columns (identifier, name, three variables).
    using Target = std::optional<std::pair<int, int>>;
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::tab, 0, 2, 3, 5), Target({0, 3}));
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::tab, 0, 4, 3, 5), Target({1, 2}));
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::tab, 2, 4, 3, 5), std::nullopt);
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::backtab, 1, 2, 3, 5), Target({0, 4}));
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::backtab, 0, 2, 3, 5), std::nullopt);
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::newline, 1, 3, 3, 5), Target({2, 3}));
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::newline, 2, 3, 3, 5), std::nullopt);
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::down, 0, 3, 3, 5), Target({1, 3}));
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::up, 0, 3, 3, 5), std::nullopt);
    EXPECT_EQ(DataCellDelegate::moveTarget(Move::up, 2, 3, 3, 5), Target({1, 3}));
}

TEST_F(DataPaneEditingTest, TypingAValueAndReturnStoresItAndMovesDown)
{
    DataCellField* field = edit("A", "pct");
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->text(), QStringLiteral("10 %"));
    EXPECT_EQ(field->variableID, QStringLiteral("pct"));
    field->selectAll();
    typeText(field, QStringLiteral("12,5 %"));
    sendKey(field, Qt::Key_Return);
    EXPECT_EQ(cell("pct", "A"), QStringLiteral("12,5 %"));
    EXPECT_EQ(undoNames(), QStringList{QStringLiteral("Saisir une cellule")});
    QApplication::processEvents();
    // The editor continues on the same column of the next row.
    ASSERT_TRUE(editing());
    EXPECT_EQ(editor()->entityID, QStringLiteral("B"));
    EXPECT_EQ(pane.selectedEntityIDs(), QList<QString>{QStringLiteral("B")});
    typeText(editor(), QStringLiteral("7.5"));
    sendKey(editor(), Qt::Key_Escape);
    EXPECT_EQ(cell("pct", "B"), QStringLiteral("∅")); // Escape stores nothing
    EXPECT_EQ(document.undoStack()->count(), 1);
}

TEST_F(DataPaneEditingTest, ARefusedValueKeepsTheEditorOpenAndStoresNothing)
{
    DataCellField* field = edit("B", "num");
    ASSERT_NE(field, nullptr);
    field->selectAll();
    typeText(field, QStringLiteral("1.234,5"));
    sendKey(field, Qt::Key_Return);
    EXPECT_TRUE(editing());
    EXPECT_EQ(editor(), field);
    EXPECT_EQ(pane.statusLabel()->text(), numberRefusal);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    EXPECT_EQ(pane.beepCount, 1);
    EXPECT_EQ(cell("num", "B"), QStringLiteral("3"));
    EXPECT_EQ(document.undoStack()->count(), 0);

    // Every command's guard refuses too, and the command does nothing.
    EXPECT_FALSE(pane.commitPendingEdit());
    pane.perform(QStringLiteral("undo:"), nullptr);
    EXPECT_EQ(pane.statusLabel()->text(), numberRefusal);
    const QList<QString> rowsBefore = model()->rowEntityIDs();
    pane.sortBy(QStringLiteral("num"), false);
    EXPECT_EQ(model()->rowEntityIDs(), rowsBefore);

    // A decimal point alone is accepted.
    field->selectAll();
    typeText(field, QStringLiteral("2.5"));
    EXPECT_TRUE(pane.commitPendingEdit());
    EXPECT_EQ(cell("num", "B"), QStringLiteral("2,5"));
}

TEST_F(DataPaneEditingTest, EmptyingACellRemovesItsValueInOneStep)
{
    DataCellField* field = edit("A", "num");
    ASSERT_NE(field, nullptr);
    field->clear();
    sendKey(field, Qt::Key_Return);
    EXPECT_EQ(cell("num", "A"), QStringLiteral("∅"));
    EXPECT_EQ(cell("calc", "A"), QStringLiteral("∅")); // the calculation follows
    EXPECT_EQ(undoNames(), QStringList{QStringLiteral("Saisir une cellule")});
    QApplication::processEvents();
    // Ending the next edit without a change adds no step.
    ASSERT_TRUE(editing());
    sendKey(editor(), Qt::Key_Return);
    EXPECT_EQ(document.undoStack()->count(), 1);
    document.undo();
    EXPECT_EQ(cell("num", "A"), QStringLiteral("1234,5"));
}

TEST_F(DataPaneEditingTest, TabMovesAcrossVariablesAndSkipsCalculatedCells)
{
    DataCellField* field = edit("A", "num");
    ASSERT_NE(field, nullptr);
    sendKey(field, Qt::Key_Tab);
    QApplication::processEvents();
    ASSERT_TRUE(editing());
    EXPECT_EQ(editor()->variableID, QStringLiteral("txt"));
    EXPECT_EQ(editor()->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
    EXPECT_EQ(pane.activeColumn, QStringLiteral("txt"));
    // Shift-Tab on column 2 continues on the last column of the previous row: none above A.
    sendKey(editor(), Qt::Key_Backtab, Qt::ShiftModifier);
    QApplication::processEvents();
    EXPECT_EQ(editor()->variableID, QStringLiteral("num"));
    // Tab into the calculated column moves there but opens no editor.
    sendKey(editor(), Qt::Key_Tab);
    QApplication::processEvents();
    sendKey(editor(), Qt::Key_Tab);
    QApplication::processEvents();
    EXPECT_FALSE(editing());
    EXPECT_EQ(pane.activeColumn, QStringLiteral("calc"));
    EXPECT_EQ(document.undoStack()->count(), 0);

    // Identifier, name and calculated cells give no editor.
    EXPECT_EQ(edit("B", "identifier"), nullptr);
    EXPECT_EQ(edit("B", "name"), nullptr);
    EXPECT_EQ(edit("B", "calc"), nullptr);
    EXPECT_EQ(DataCellDelegate::toolTip(document.stored.variable("calc"), "6,0"),
              QStringLiteral("Formule : Population * 2"));
    EXPECT_EQ(DataCellDelegate::toolTip(document.stored.variable("num"), "3"), QStringLiteral("3"));
}

TEST_F(DataPaneEditingTest, ReturnOnTheLastRowEndsTheEditInPlace)
{
    DataCellField* field = edit("D", "txt");
    ASSERT_NE(field, nullptr);
    typeText(field, QStringLiteral("Sud"));
    sendKey(field, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_FALSE(editing());
    EXPECT_EQ(cell("txt", "D"), QStringLiteral("Sud"));
    EXPECT_EQ(pane.selectedEntityIDs(), QList<QString>{QStringLiteral("D")});
}

TEST_F(DataPaneEditingTest, ACellLeftForAnotherWindowGoesOnWhenThePersonComesBack)
{
    DataCellField* field = edit("D", "txt");
    ASSERT_NE(field, nullptr);
    typeText(field, QStringLiteral("Su"));
    WindowActivation::FocusOutReasons focusOuts(field);
    WindowActivation::Away away;
    EXPECT_EQ(focusOuts.reasons, QList<Qt::FocusReason>({Qt::ActiveWindowFocusReason}));
    // While the person is away, the cell is still being typed and nothing is taken.
    ASSERT_EQ(editor(), field);
    EXPECT_TRUE(field->isModified());
    EXPECT_EQ(cell("txt", "D"), QStringLiteral("∅"));
    EXPECT_EQ(document.undoStack()->count(), 0);
    EXPECT_TRUE(pane.statusLabel()->isHidden());
    away.comeBack(&window);
    // The person goes on typing where they were, and ends the edit.
    ASSERT_EQ(QApplication::focusWidget(), field);
    typeText(field, QStringLiteral("d"));
    sendKey(field, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(cell("txt", "D"), QStringLiteral("Sud"));
    EXPECT_EQ(undoNames(), QStringList{QStringLiteral("Saisir une cellule")});
}

TEST_F(DataPaneEditingTest, ReturnInATableSortedByTheEditedColumnMovesFromTheNewPlace)
{
    // Ascending by "num": B (3), A (1234,5), then the missing values.
    pane.sortBy(QStringLiteral("num"), true);
    const int before = model()->row("B");
    DataCellField* field = edit("B", "num");
    ASSERT_NE(field, nullptr);
    field->setText(QStringLiteral("5000"));
    sendKey(field, Qt::Key_Return);
    QApplication::processEvents();
    EXPECT_EQ(cell("num", "B"), QStringLiteral("5000"));
    const int after = model()->row("B");
    EXPECT_NE(after, before);
    ASSERT_TRUE(editing());
    // The editor continues below B where B now stands.
    EXPECT_EQ(editor()->entityID, model()->entityID(after + 1));
    sendKey(editor(), Qt::Key_Escape);
}

TEST_F(DataPaneEditingTest, CopyAndPasteThroughTheClipboard)
{
    pane.selectRows({"A", "B", "C"});
    pane.activateColumn(column("pct"));
    pane.perform(QStringLiteral("copy:"), nullptr);
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("10 %\n\n\n"));
    pane.perform(QStringLiteral("copyRows:"), nullptr);
    EXPECT_EQ(QApplication::clipboard()->text().section('\n', 0, 0),
              QStringLiteral("A\tA\t10 %\t1234,5\tNord\t2469"));

    // A block of two lines pasted from row C onto "num" and "txt".
    QApplication::clipboard()->setText(QStringLiteral("5\tEst\n6\tOuest\n"));
    pane.selectRows({"C"});
    pane.activateColumn(column("num"));
    pane.perform(QStringLiteral("paste:"), nullptr);
    EXPECT_EQ(undoNames(), QStringList{QStringLiteral("Coller les cellules")});
    EXPECT_EQ(cell("num", "D"), QStringLiteral("6"));
    EXPECT_EQ(cell("txt", "C"), QStringLiteral("Est"));
    EXPECT_EQ(pane.selectedEntityIDs(), (QList<QString>{QStringLiteral("C"), QStringLiteral("D")}));

    // On the last row it overflows: refused, nothing changes.
    pane.selectRows({"D"});
    pane.perform(QStringLiteral("paste:"), nullptr);
    EXPECT_EQ(pane.statusLabel()->text(),
              QStringLiteral("Le bloc à coller dépasse les lignes ou variables disponibles. Choisissez une cellule de "
                             "départ et créez les variables nécessaires."));
    EXPECT_EQ(document.undoStack()->count(), 1);

    // Sorted by the pasted column, the selection follows the entities that received values.
    pane.sortBy(QStringLiteral("num"), true);
    QApplication::clipboard()->setText(QStringLiteral("100\n0\n"));
    pane.selectRows({model()->entityID(0)});
    const QString first = model()->entityID(0), second = model()->entityID(1);
    const QString firstBefore = cell("num", first);
    pane.perform(QStringLiteral("paste:"), nullptr);
    EXPECT_EQ(cell("num", first), QStringLiteral("100"));
    const QList<QString> selected = pane.selectedEntityIDs();
    EXPECT_EQ(QSet<QString>(selected.begin(), selected.end()), (QSet<QString>{first, second}));

    pane.perform(QStringLiteral("undo:"), nullptr);
    EXPECT_EQ(cell("num", first), firstBefore);
    EXPECT_EQ(document.undoStack()->index(), 1);
    pane.perform(QStringLiteral("redo:"), nullptr);
    EXPECT_EQ(cell("num", first), QStringLiteral("100"));
}

TEST_F(DataPaneEditingTest, VariableCommandsWithTheirUndoNames)
{
    DataVariableDialog::Request asked;
    std::optional<DataVariableDialog::Answer> answer = DataVariableDialog::Answer{"  Revenu  ", PlmVariableType::number};
    DataVariableDialog::setHook([&](const DataVariableDialog::Request& request, const DataVariableDialog::Completion& done) {
        asked = request;
        done(answer);
    });
    pane.perform(QStringLiteral("addVariable:"), nullptr);
    EXPECT_FALSE(asked.rename);
    EXPECT_EQ(asked.name, QStringLiteral("Nouvelle variable"));
    const PlmVariable& added = document.stored.variables.last();
    EXPECT_EQ(added.name, QStringLiteral("Revenu"));
    EXPECT_EQ(pane.activeColumn, added.id);

    // A name differing only by case and accents is refused, with no step.
    answer = DataVariableDialog::Answer{"RÉGION", PlmVariableType::text};
    pane.perform(QStringLiteral("addVariable:"), nullptr);
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques."));
    EXPECT_EQ(undoNames(), QStringList{QStringLiteral("Ajouter une variable")});

    pane.activateColumn(column("num"));
    answer = DataVariableDialog::Answer{"Habitants", PlmVariableType::number};
    pane.perform(QStringLiteral("renameVariable:"), nullptr);
    EXPECT_TRUE(asked.rename);
    EXPECT_EQ(asked.name, QStringLiteral("Population"));
    EXPECT_EQ(document.stored.variable("num")->name, QStringLiteral("Habitants"));
    EXPECT_EQ(document.stored.variable("calc")->calculation->expression.contains("Habitants"), true);

    // A variable used by a formula is not deleted.
    pane.perform(QStringLiteral("deleteVariable:"), nullptr);
    EXPECT_TRUE(pane.statusLabel()->text().startsWith(QStringLiteral("Cette variable est utilisée par : Double")));
    EXPECT_NE(document.stored.variable("num"), nullptr);
    pane.activateColumn(column("txt"));
    pane.perform(QStringLiteral("deleteVariable:"), nullptr);
    EXPECT_EQ(document.stored.variable("txt"), nullptr);

    // Recalculating current values adds no step.
    const int steps = document.undoStack()->count();
    pane.perform(QStringLiteral("recalculate:"), nullptr);
    EXPECT_EQ(document.undoStack()->count(), steps);
    EXPECT_EQ(undoNames(), (QStringList{"Ajouter une variable", "Renommer une variable", "Supprimer une variable"}));

    // Cancelling the sheet changes nothing.
    answer.reset();
    pane.perform(QStringLiteral("addVariable:"), nullptr);
    EXPECT_EQ(document.undoStack()->count(), steps);
}

TEST_F(DataPaneEditingTest, CalculationWindowsOpenOneAtATime)
{
    pane.activateColumn(column("num"));
    pane.perform(QStringLiteral("editCalculation:"), nullptr); // an input variable: nothing
    EXPECT_TRUE(pane.calculationController.isNull());
    pane.perform(QStringLiteral("newCalculation:"), nullptr);
    QPointer<CalculationWindowController> first = pane.calculationController;
    ASSERT_FALSE(first.isNull());
    pane.perform(QStringLiteral("newCalculation:"), nullptr);
    ASSERT_FALSE(pane.calculationController.isNull());
    EXPECT_NE(pane.calculationController.data(), first.data());
    EXPECT_TRUE(first.isNull() || !first->window()->isVisible());
    pane.activateColumn(column("calc"));
    pane.perform(QStringLiteral("editCalculation:"), nullptr);
    EXPECT_EQ(pane.calculationController->variableID(), std::optional<QString>(QStringLiteral("calc")));
    pane.calculationController->closeWindow();
}

TEST(DataPaneWithoutDocument, AnEditEndsStoringAndShowingNothing)
{
    const PlmWork work = fourZones();
    DataWindowController pane([&work]() -> std::optional<PlmWork> { return work; });
    pane.installCellEditing();
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(pane.studioTableView());
    window.show();
    QApplication::processEvents();
    DataTableModel* model = pane.tableModel();
    const QModelIndex cell = model->index(model->row("A"), model->column("num"));
    pane.table()->setCurrentIndex(cell);
    pane.table()->edit(cell);
    auto* field = pane.table()->findChild<DataCellField*>();
    ASSERT_NE(field, nullptr);
    field->setText(QStringLiteral("1.234,5"));
    sendKey(field, Qt::Key_Return);
    EXPECT_FALSE(field->isVisible());
    EXPECT_EQ(pane.beepCount, 0);
    EXPECT_TRUE(pane.statusLabel()->isHidden());
}

TEST_F(DataPaneEditingTest, ADoubleClickEditsAnInputCellAndOpensACalculatedFormula)
{
    QTableView* table = pane.table();
    const auto doubleClick = [&](const QString& entity, const QString& columnID) {
        const QModelIndex cell = model()->index(model()->row(entity), column(columnID));
        sendDoubleClick(table->viewport(), table->visualRect(cell).center());
        QApplication::processEvents();
    };

    // An input value: its editor opens on that very cell, its text selected, and the typed
    // value is stored as one step.
    doubleClick("B", "num");
    ASSERT_TRUE(editing());
    EXPECT_EQ(editor()->entityID, QStringLiteral("B"));
    EXPECT_EQ(editor()->variableID, QStringLiteral("num"));
    EXPECT_EQ(editor()->selectedText(), QStringLiteral("3"));
    EXPECT_EQ(pane.activeColumn, QStringLiteral("num"));
    EXPECT_EQ(pane.selectedEntityIDs(), QList<QString>{QStringLiteral("B")});
    EXPECT_EQ(pane.calculationController.data(), nullptr);
    typeText(editor(), QStringLiteral("42"));
    ASSERT_TRUE(pane.commitPendingEdit());
    EXPECT_EQ(cell("num", "B"), QStringLiteral("42"));
    EXPECT_EQ(undoNames(), QStringList{QStringLiteral("Saisir une cellule")});

    // The name is read-only: nothing opens.
    doubleClick("C", "name");
    EXPECT_FALSE(editing());
    EXPECT_EQ(pane.calculationController.data(), nullptr);

    // A calculated value opens its formula instead of an editor.
    doubleClick("C", "calc");
    EXPECT_FALSE(editing());
    ASSERT_NE(pane.calculationController.data(), nullptr);
    delete pane.calculationController.data();
}
