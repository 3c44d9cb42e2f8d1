#include "data/DataImportWindowController.h"
#include "model/PlmErrors.h"
#include "platform/UserDefaults.h"
#include "tables/PlmInputReader.h"

#include "support/UsStatesFixture.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTableView>
#include <QTableWidget>
#include <QUndoStack>

#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A work document as the dialog sees it: the same three calls, with an undo stack that keeps
// the previous and next works of each update, as the studio's document does.
class FakeWorkDocument : public QObject {
public:
    PlmWork stored;
    QUndoStack undo;
    int dataShown = 0;

    PlmWork work() const { return stored; }
    void updateWork(const QString& actionName, const std::function<void(PlmWork&)>& change)
    {
        PlmWork copy = stored;
        change(copy);
        copy.recomputeCalculatedVariables();
        copy.validate();
        if (copy == stored)
            return;
        auto* step = new QUndoCommand(actionName);
        const PlmWork before = stored;
        stored = copy;
        undo.push(new Step(this, before, copy, actionName));
        delete step;
    }
    void showDataWindow() { ++dataShown; }

private:
    struct Step : QUndoCommand {
        Step(FakeWorkDocument* document, PlmWork before, PlmWork after, const QString& name)
            : QUndoCommand(name), document(document), before(std::move(before)), after(std::move(after)) {}
        void undo() override { document->stored = before; }
        void redo() override { document->stored = after; }
        FakeWorkDocument* document;
        PlmWork before;
        PlmWork after;
    };
};

PlmEntity area(const QString& id, const QString& name)
{
    return PlmEntity(id, name, PlmGeometry::polygon(PlmPolygon{{{0, 0}, {1, 0}, {1, 1}, {0, 0}}, {}}), PlmStyle());
}

PlmEntity point(const QString& id, const QString& name)
{
    return PlmEntity(id, name, PlmGeometry::point({0, 0}), PlmStyle());
}

PlmWork communesWork()
{
    PlmWork work;
    work.map = PlmMap("Carte", PlmEntityList{area("75056", "Paris"), area("69123", "Lyon"), area("13055", "Marseille"),
                                             area("31555", "Toulouse"), area("06088", "Nice"), area("44109", "Nantes"),
                                             area("67482", "Strasbourg"), area("34172", "Montpellier"),
                                             area("33063", "Bordeaux"), area("59350", "Lille"),
                                             point("P-Nice", "Nice"), point("P-Lille", "Lille")});
    work.variables = {PlmVariable("V1", "Surface", PlmVariableType::number, {{"75056", PlmValue::number(105)}},
                                  std::nullopt)};
    return work;
}

PlmInputSheet sheetOf(const QList<QStringList>& grid, const QString& name = QStringLiteral("communes.csv"))
{
    return PlmInputSheet{name, grid, {QStringLiteral("Séparateur détecté : ;.")}};
}

QList<QStringList> allMatchingGrid()
{
    return {{"Code", "Population", "Part"},
            {"75056", "2 165 423", "12 %"}, {"69123", "522 250", "3 %"}, {"13055", "870 018", "4 %"},
            {"31555", "493 465", "5 %"},    {"06088", "342 669", "6 %"}, {"44109", "320 732", "7 %"},
            {"67482", "287 228", "8 %"},    {"34172", "295 542", "9 %"}, {"33063", "260 958", "10 %"},
            {"59350", "236 234", "11 %"}};
}

void click(QWidget* widget, Qt::KeyboardModifiers modifiers = Qt::NoModifier, QPoint at = QPoint(-1, -1))
{
    const QPoint position = at.x() < 0 ? widget->rect().center() : at;
    const QPointF global = widget->mapToGlobal(QPointF(position));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(position), global, Qt::LeftButton, Qt::LeftButton, modifiers);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(position), global, Qt::LeftButton, Qt::NoButton, modifiers);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

void key(QWidget* widget, int code, const QString& text = {}, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, code, modifiers, text);
    QKeyEvent release(QEvent::KeyRelease, code, modifiers, text);
    QApplication::sendEvent(widget, &press);
    QApplication::sendEvent(widget, &release);
}

void type(QWidget* widget, const QString& text)
{
    for (const QChar c : text)
        key(widget, 0, QString(c));
}

void clickPreviewRow(QTableView* preview, int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QRect cell = preview->visualRect(preview->model()->index(row, 0));
    ASSERT_TRUE(cell.isValid()) << "row " << row << " is not on screen";
    click(preview->viewport(), modifiers, cell.center());
}

QCheckBox* includeBox(DataImportWindowController* dialog, int column)
{
    return qobject_cast<QCheckBox*>(dialog->columnsTable()->cellWidget(column, 0));
}

// A check box without title reacts only on its indicator.
void clickCheckBox(QCheckBox* box)
{
    QStyleOptionButton option;
    option.initFrom(box);
    click(box, Qt::NoModifier, box->style()->subElementRect(QStyle::SE_CheckBoxClickRect, &option, box).center());
}

QComboBox* typeBox(DataImportWindowController* dialog, int column)
{
    return qobject_cast<QComboBox*>(dialog->columnsTable()->cellWidget(column, 2));
}

bool visibleIn(QWidget* widget)
{
    return !widget->isHidden();
}

class DataImportWindowTest : public ::testing::Test {
protected:
    void SetUp() override { document.stored = communesWork(); }

    DataImportWindowController* open(const QList<QList<QStringList>>& grids, bool selectAll,
                                     std::function<void()> finished = {})
    {
        QList<PlmInputSheet> sheets;
        for (qsizetype i = 0; i < grids.size(); ++i)
            sheets.append(sheetOf(grids.at(i), i == 0 ? QStringLiteral("communes.csv") : QStringLiteral("Feuil%1").arg(i + 1)));
        dialog = new DataImportWindowController(DataImportWindowControllerDocument::of(&document), sheets,
                                                QStringLiteral("communes.csv"), selectAll, std::move(finished));
        dialog->show();
        QApplication::processEvents();
        return dialog;
    }

    void TearDown() override
    {
        if (dialog)
            dialog->close();
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    UserDefaults::TemporaryScope defaults;
    FakeWorkDocument document;
    QPointer<DataImportWindowController> dialog;
};

} // namespace

TEST_F(DataImportWindowTest, ATableWhoseRowsAllMatchIsReadyAtOnce)
{
    open({allMatchingGrid()}, true);
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Importer des données — communes.csv"));
    EXPECT_FALSE(visibleIn(dialog->onlyIssues()));
    EXPECT_FALSE(visibleIn(dialog->matchingControls()));
    EXPECT_FALSE(visibleIn(dialog->correctionControls()));
    EXPECT_FALSE(visibleIn(dialog->sheetPicker())); // one sheet
    EXPECT_EQ(dialog->preview()->model()->rowCount(), 8);
    EXPECT_EQ(dialog->preview()->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Zone reconnue"));
    EXPECT_EQ(dialog->preview()->model()->index(0, 0).data().toString(), QStringLiteral("Paris — 75056"));
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("10 zones reconnues sur 10"));
    EXPECT_EQ(dialog->note()->text(), QStringLiteral("Séparateur détecté : ;.\nLes variables existantes sont "
                                                     "conservées. Cellule vide = donnée absente."));
    EXPECT_TRUE(dialog->apply()->isEnabled());
    EXPECT_FALSE(includeBox(dialog, 0)->isChecked()); // the key column
    EXPECT_TRUE(includeBox(dialog, 1)->isChecked());
    EXPECT_EQ(typeBox(dialog, 2)->currentText(), QStringLiteral("Pourcentage"));
    EXPECT_FALSE(typeBox(dialog, 0)->isEnabled());
}

// The match's choice shows with its field's labels: the states' incomes, proposed by name (the
// rule is the match's, tested there), among the attributes that tell the states apart.
TEST_F(DataImportWindowTest, TheProposedKeyShowsWithTheFieldsItCouldUse)
{
    document.stored = PlmWork();
    document.stored.map = UsStatesFixture::map();
    const PlmInputSheet sheet = PlmInputReader::readTextSheet(UsStatesFixture::incomeCsv(), QStringLiteral("revenus.csv"));
    dialog = new DataImportWindowController(DataImportWindowControllerDocument::of(&document), {sheet},
                                            QStringLiteral("revenus.csv"), true);
    dialog->show();
    QApplication::processEvents();
    EXPECT_EQ(dialog->sourcePicker()->currentText(), QStringLiteral("Name"));
    EXPECT_EQ(dialog->fieldPicker()->currentText(), QStringLiteral("Nom"));
    QStringList fields;
    for (int i = 0; i < dialog->fieldPicker()->count(); ++i)
        fields << dialog->fieldPicker()->itemText(i);
    EXPECT_EQ(fields, (QStringList{"Identifiant", "STATE_FIPS", "STATE_ID", "Nom"}));
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("48 zones reconnues sur 48"));
}

TEST_F(DataImportWindowTest, CommittingAddsTheColumnsAsOneUndoableUpdateAndUndoRestoresTheWork)
{
    bool finished = false;
    open({allMatchingGrid()}, false, [&] { finished = true; });
    EXPECT_FALSE(dialog->apply()->isEnabled());
    EXPECT_TRUE(dialog->note()->text().endsWith(
        QStringLiteral("\nCochez les colonnes à importer.\nLes variables existantes sont conservées. Cellule vide = "
                       "donnée absente.")));

    clickCheckBox(includeBox(dialog, 1));
    clickCheckBox(includeBox(dialog, 2));
    EXPECT_TRUE(typeBox(dialog, 1)->isEnabled());
    EXPECT_EQ(dialog->preview()->model()->columnCount(), 4);
    // Keep the share as it is written: choose "Texte" with the keyboard.
    EXPECT_EQ(typeBox(dialog, 2)->currentText(), QStringLiteral("Pourcentage"));
    typeBox(dialog, 2)->setFocus();
    key(typeBox(dialog, 2), Qt::Key_Up);
    EXPECT_EQ(typeBox(dialog, 2)->currentText(), QStringLiteral("Texte"));
    ASSERT_TRUE(dialog->apply()->isEnabled());

    const PlmWork before = document.stored;
    key(dialog, Qt::Key_Return);
    EXPECT_TRUE(finished);
    EXPECT_EQ(document.dataShown, 0); // the completion replaces the default reveal
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull()); // closed and deleted

    ASSERT_EQ(document.stored.variables.size(), 3);
    const PlmVariable& population = document.stored.variables.at(1);
    EXPECT_EQ(population.name, QStringLiteral("Population"));
    EXPECT_EQ(population.values.value("75056"), PlmValue::number(2165423));
    EXPECT_EQ(population.values.size(), 10);
    EXPECT_EQ(document.stored.variables.at(2).type, PlmVariableType::text);
    EXPECT_EQ(document.stored.variables.at(2).values.value("69123"), PlmValue::text("3 %"));
    EXPECT_EQ(document.stored.variables.at(0), before.variables.at(0));
    ASSERT_EQ(document.undo.count(), 1);
    EXPECT_EQ(document.undo.undoText(), QStringLiteral("Importer les données"));
    document.undo.undo();
    EXPECT_EQ(document.stored, before);
}

TEST_F(DataImportWindowTest, WithoutCompletionASuccessfulImportRevealsTheDataPane)
{
    open({allMatchingGrid()}, true);
    click(dialog->apply());
    EXPECT_EQ(document.dataShown, 1);
    EXPECT_EQ(document.stored.variables.size(), 3);
}

TEST_F(DataImportWindowTest, EscapeClosesWithoutImportingAndRemembersTheFrame)
{
    open({allMatchingGrid()}, true);
    const PlmWork before = document.stored;
    key(dialog, Qt::Key_Escape);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_EQ(document.stored, before);
    EXPECT_EQ(document.undo.count(), 0);
    EXPECT_FALSE(UserDefaults::dataValue(QStringLiteral("Importer des données compact")).isEmpty());
}

TEST_F(DataImportWindowTest, TiedKeyColumnsWaitForTheUsersChoice)
{
    open({{{"Code", "Ancien code", "N"}, {"75056", "69123", "1"}, {"69123", "13055", "2"}}}, true);
    EXPECT_TRUE(dialog->note()->text().startsWith(
        QStringLiteral("Plusieurs colonnes donnent des résultats différents : choisissez la colonne à utiliser.\n")));
    EXPECT_FALSE(dialog->apply()->isEnabled());
    EXPECT_TRUE(visibleIn(dialog->matchingControls()));
    EXPECT_EQ(dialog->sourcePicker()->currentText(), QStringLiteral("Code"));
    EXPECT_EQ(dialog->fieldPicker()->currentText(), QStringLiteral("Identifiant"));
    EXPECT_EQ(dialog->fieldPicker()->count(), 2); // Identifiant, Nom

    dialog->sourcePicker()->setFocus();
    key(dialog->sourcePicker(), Qt::Key_Down);
    EXPECT_EQ(dialog->model().candidate().column, 1);
    EXPECT_TRUE(dialog->model().confirmedColumn());
    EXPECT_FALSE(dialog->note()->text().startsWith(QStringLiteral("Plusieurs")));
    EXPECT_TRUE(visibleIn(dialog->matchingControls())); // to change the key again
    EXPECT_TRUE(dialog->apply()->isEnabled());
}

TEST_F(DataImportWindowTest, SwitchingTheHeaderRebuildsNamesAndDropsCorrectionsAndColumns)
{
    // A blank first-row cell: no header is guessed, every column is named by its number.
    open({{{"Code", "", "N"}, {"75056", "a", "1"}, {"xx", "b", "2"}}}, false);
    EXPECT_FALSE(dialog->header()->isChecked());
    EXPECT_EQ(dialog->columnsTable()->item(0, 1)->text(), QStringLiteral("Colonne 1"));
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("1 zone reconnue sur 3 · 2 lignes à corriger"));
    clickCheckBox(includeBox(dialog, 2));
    clickPreviewRow(dialog->preview(), 0);
    click(dialog->ignore());
    EXPECT_EQ(dialog->model().corrections().size(), 1);

    click(dialog->header());
    EXPECT_TRUE(dialog->model().hasHeader());
    EXPECT_TRUE(dialog->model().corrections().isEmpty());
    EXPECT_TRUE(dialog->model().selectedColumns().isEmpty());
    EXPECT_FALSE(includeBox(dialog, 2)->isChecked());
    EXPECT_EQ(dialog->columnsTable()->item(0, 1)->text(), QStringLiteral("Code"));
    EXPECT_EQ(dialog->columnsTable()->item(1, 1)->text(), QStringLiteral("Colonne 2"));
    EXPECT_EQ(dialog->sourcePicker()->itemText(2), QStringLiteral("N"));
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("1 zone reconnue sur 2 · 1 ligne à corriger"));
}

TEST_F(DataImportWindowTest, TypedCorrectionsAcceptAnExactIdAndRefuseAPartialName)
{
    document.stored.map.entities.append(area("LY2", "Lyon 2e"));
    open({{{"Code", "N"}, {"75056", "1"}, {"??", "2"}}}, true);
    EXPECT_TRUE(visibleIn(dialog->correctionControls()));
    EXPECT_FALSE(dialog->zone()->isEnabled()); // nothing selected
    clickPreviewRow(dialog->preview(), 0);
    ASSERT_TRUE(dialog->zone()->isEnabled());
    EXPECT_EQ(dialog->zone()->count(), 13);

    dialog->zone()->lineEdit()->setFocus();
    type(dialog->zone()->lineEdit(), QStringLiteral("lyon"));
    EXPECT_EQ(dialog->zone()->count(), 2); // searching narrows the list
    click(dialog->fix());
    EXPECT_TRUE(dialog->noteShowsError());
    EXPECT_EQ(dialog->note()->text(),
              QStringLiteral("Choisissez une zone dans la liste, ou saisissez son identifiant exact."));
    EXPECT_TRUE(dialog->model().corrections().isEmpty());

    dialog->zone()->lineEdit()->selectAll();
    type(dialog->zone()->lineEdit(), QStringLiteral("  ly2 "));
    click(dialog->fix());
    EXPECT_FALSE(dialog->noteShowsError());
    EXPECT_EQ(dialog->model().resolutions().at(1), PlmMatchRow::matched("LY2"));
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("2 zones reconnues sur 2"));
    EXPECT_TRUE(dialog->apply()->isEnabled());
}

TEST_F(DataImportWindowTest, IgnoringOneRowOfADuplicatePairMatchesTheOther)
{
    open({{{"Code", "N"}, {"75056", "1"}, {"75056", "2"}, {"69123", "3"}}}, true);
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("1 zone reconnue sur 3 · 2 lignes à corriger"));
    EXPECT_EQ(dialog->preview()->model()->rowCount(), 2); // only the issues
    EXPECT_EQ(dialog->preview()->model()->index(0, 0).data().toString(),
              QStringLiteral("Doublon : plusieurs lignes pour cette zone"));
    EXPECT_EQ(dialog->preview()->model()->index(0, 0).data(Qt::ForegroundRole).value<QColor>(),
              QColor(255, 149, 0));
    // Read whole at the dialog's first size, not cut short.
    const QAbstractItemView* preview = dialog->preview();
    EXPECT_GE(dialog->preview()->columnWidth(0), preview->sizeHintForColumn(0));
    clickPreviewRow(dialog->preview(), 1);
    click(dialog->ignore());
    EXPECT_EQ(dialog->model().resolutions().at(0), PlmMatchRow::matched("75056"));
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("2 zones reconnues sur 3 · 1 ignorée"));
    EXPECT_FALSE(visibleIn(dialog->correctionControls()));
}

TEST_F(DataImportWindowTest, BatchToPointsResolvesEachSelectedRowToItsPoint)
{
    open({{{"Nom", "N"}, {"Nice", "1"}, {"Lille", "2"}, {"Atlantis", "3"}}}, true);
    // By name the areas win; the user wants the points for the two cities.
    ASSERT_EQ(dialog->model().candidate().field, QStringLiteral("name"));
    click(dialog->onlyIssues());
    EXPECT_EQ(dialog->preview()->model()->rowCount(), 3);
    clickPreviewRow(dialog->preview(), 0);
    clickPreviewRow(dialog->preview(), 1, Qt::ControlModifier);
    clickPreviewRow(dialog->preview(), 2, Qt::ControlModifier);
    EXPECT_TRUE(dialog->batch()->isEnabled());
    EXPECT_FALSE(dialog->zone()->isEnabled()); // several rows
    QAction* toPoints = dialog->batch()->menu()->actions().at(1);
    EXPECT_EQ(toPoints->text(), QStringLiteral("Aux points"));
    toPoints->trigger();
    EXPECT_EQ(dialog->model().resolutions().at(0), PlmMatchRow::matched("P-Nice"));
    EXPECT_EQ(dialog->model().resolutions().at(1), PlmMatchRow::matched("P-Lille"));
    EXPECT_EQ(dialog->model().resolutions().at(2), PlmMatchRow::missing());
}

TEST_F(DataImportWindowTest, AFailedImportShowsTheReasonInRedAndChangesNothing)
{
    open({{{"Code", "N"}, {"75056", "12"}, {"69123", "beaucoup"}}}, false);
    clickCheckBox(includeBox(dialog, 1));
    typeBox(dialog, 1)->setFocus();
    key(typeBox(dialog, 1), Qt::Key_Up); // the proposal is text: choose a number anyway
    EXPECT_EQ(typeBox(dialog, 1)->currentText(), QStringLiteral("Nombre"));
    const PlmWork before = document.stored;
    click(dialog->apply());
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(dialog->noteShowsError());
    EXPECT_EQ(dialog->note()->text(), QStringLiteral("Ligne 2, N : Nombre attendu : utilisez par exemple 1234,5. "
                                                     "Une cellule vide signifie une donnée absente."));
    EXPECT_EQ(document.stored, before);
    EXPECT_EQ(document.undo.count(), 0);
    // The next refresh brings the usual note back.
    click(dialog->onlyIssues());
    EXPECT_FALSE(dialog->noteShowsError());
}

TEST_F(DataImportWindowTest, AColumnNamedLikeANumberKeepsExistingFormulasMeaning)
{
    document.stored.variables.append(
        PlmVariable("V2", "Densité", PlmVariableType::number, {}, PlmCalculation{QStringLiteral("[Surface] * 100"), 0}));
    document.stored.recomputeCalculatedVariables();
    const PlmVariableValues density = document.stored.variables.at(1).values;
    open({{{"Code", "100"}, {"75056", "7"}, {"69123", "8"}}}, true);
    click(dialog->apply());
    ASSERT_EQ(document.stored.variables.size(), 3);
    EXPECT_EQ(document.stored.variables.at(2).name, QStringLiteral("100"));
    EXPECT_EQ(document.stored.variables.at(1).values, density);
}

TEST_F(DataImportWindowTest, SheetsAreOfferedWhenThereAreSeveral)
{
    open({{{"75056", "1"}}, {{"Code", "N"}, {"75056", "1"}, {"69123", "2"}}}, true);
    ASSERT_TRUE(visibleIn(dialog->sheetPicker()));
    EXPECT_FALSE(dialog->header()->isChecked());
    dialog->sheetPicker()->setFocus();
    key(dialog->sheetPicker(), Qt::Key_Down);
    EXPECT_EQ(dialog->model().sheetIndex(), 1);
    EXPECT_TRUE(dialog->header()->isChecked());
    EXPECT_EQ(dialog->summary()->text(), QStringLiteral("2 zones reconnues sur 2"));
}

TEST_F(DataImportWindowTest, OnceTheDocumentIsGoneNothingIsImported)
{
    auto* gone = new FakeWorkDocument;
    gone->stored = communesWork();
    dialog = new DataImportWindowController(DataImportWindowControllerDocument::of(gone), {sheetOf(allMatchingGrid())},
                                            QStringLiteral("x.csv"), true);
    dialog->show();
    ASSERT_TRUE(dialog->apply()->isEnabled());
    delete gone;
    click(dialog->onlyIssues()->isHidden() ? dialog->header() : dialog->onlyIssues()); // a reload does nothing
    click(dialog->apply());
    EXPECT_FALSE(dialog.isNull());
}

TEST_F(DataImportWindowTest, TheAcquisitionMakerBuildsTheDialogForADocument)
{
    bool completed = false;
    const auto make = DataImportWindowController::acquisitionMaker<FakeWorkDocument>({sheetOf(allMatchingGrid())},
                                                                                     QStringLiteral("fond.geojson"));
    dialog = qobject_cast<DataImportWindowController*>(make(&document, false, [&] { completed = true; }));
    ASSERT_FALSE(dialog.isNull());
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Importer des données — fond.geojson"));
    EXPECT_TRUE(dialog->model().selectedColumns().isEmpty());
    dialog->show();
    click(dialog->findChild<QPushButton*>(QStringLiteral("DataImport.Toutes")));
    click(dialog->apply());
    EXPECT_TRUE(completed);
    EXPECT_EQ(document.stored.variables.size(), 3);
}

TEST_F(DataImportWindowTest, NoneThenEveryColumnAndTheFrameIsRestoredNextTime)
{
    open({allMatchingGrid()}, true);
    click(dialog->findChild<QPushButton*>(QStringLiteral("DataImport.Aucune")));
    EXPECT_TRUE(dialog->model().selectedColumns().isEmpty());
    EXPECT_FALSE(includeBox(dialog, 1)->isChecked());
    EXPECT_FALSE(dialog->apply()->isEnabled());
    EXPECT_EQ(dialog->preview()->model()->columnCount(), 2); // the zone and the key column
    click(dialog->findChild<QPushButton*>(QStringLiteral("DataImport.Toutes")));
    EXPECT_EQ(dialog->model().selectedColumns().keys(), QList<int>({1, 2}));
    EXPECT_TRUE(dialog->apply()->isEnabled());

    dialog->resize(1004, 611);
    click(dialog->cancel());
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    ASSERT_TRUE(dialog.isNull());
    open({allMatchingGrid()}, true);
    EXPECT_EQ(dialog->size(), QSize(1004, 611));
    EXPECT_EQ(dialog->minimumSize(), QSize(780, 400));
}
