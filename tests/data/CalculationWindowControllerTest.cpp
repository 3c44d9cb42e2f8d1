// The calculation window: the preview waits for a pause, runs off the main thread on a copy of
// the work and is dropped when superseded; saving is one undoable update.
#include "data/CalculationWindowController.h"

#include "model/PlmErrors.h"
#include "support/EventWait.h"
#include "support/PlmWorkTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QSemaphore>
#include <gtest/gtest.h>

namespace {

// 96 zones; "Population" has a value for 90 of them.
PlmWork ninetySixZones()
{
    PlmWork work;
    QStringList ids;
    for (int i = 0; i < 96; ++i)
        ids << QStringLiteral("Z%1").arg(i);
    work.map = PlmWorkTest::mapWithEntities(ids);
    QList<std::pair<QString, double>> population, area;
    for (int i = 0; i < 96; ++i) {
        if (i < 90)
            population.append({ids[i], 1000.0 + i});
        area.append({ids[i], 3.0});
    }
    work.variables = {PlmWorkTest::numberVariable("pop", "Population", population),
                      PlmWorkTest::numberVariable("area", "Surface", area),
                      PlmWorkTest::textVariable("region", "Région", {{"Z0", "Nord"}}),
                      PlmWorkTest::numberVariable("odd", "Taux [brut]", {})};
    return work;
}

// A work document in miniature: the stored work and the names of its undo steps.
class FakeDocument : public QObject {
public:
    PlmWork stored = ninetySixZones();
    QStringList steps;

    CalculationWindowController::Document document()
    {
        CalculationWindowController::Document target;
        target.owner = this;
        target.work = [this] { return stored; };
        target.updateWork = [this](const QString& name, const CalculationWindowController::Document::WorkChange& change) {
            PlmWork copy = stored;
            change(copy);
            copy.recomputeCalculatedVariables();
            copy.validate();
            if (copy == stored)
                return;
            stored = copy;
            steps << name;
        };
        target.showData = [this] { ++dataShown; };
        return target;
    }
    int dataShown = 0;
};

void typeText(QWidget* widget, const QString& text)
{
    widget->setFocus();
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(widget, &press);
    }
}

void pressKey(QWidget* widget, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
}

class CalculationWindowControllerTest : public ::testing::Test {
protected:
    std::unique_ptr<CalculationWindowController> open(std::optional<QString> id = std::nullopt,
                                                      bool withFinished = true)
    {
        std::function<void()> finished;
        if (withFinished)
            finished = [this] { ++finishedCount; };
        auto controller = std::make_unique<CalculationWindowController>(
            document.document(), std::move(id), finished, [this](const QString& saved) { savedIDs << saved; });
        controller->showWindow();
        // Let the activation (which requests a preview of its own) happen before the test acts.
        for (int i = 0; i < 5; ++i)
            QApplication::processEvents();
        return controller;
    }

    // Waits until the preview shows its result or its error.
    static bool settled(CalculationWindowController& window)
    {
        return waitUntil([&] { return !window.previewRunning(); });
    }

    FakeDocument document;
    int finishedCount = 0;
    QStringList savedIDs;
};

const QString counts90 = QStringLiteral(
    "90 résultats sur 96 zones · 6 valeurs absentes. Le format d’affichage n’arrondit pas les calculs.");

} // namespace

TEST_F(CalculationWindowControllerTest, NewVariablePromptsThenPreviewsTheCounts)
{
    auto window = open();
    EXPECT_EQ(window->window()->windowTitle(), QStringLiteral("Nouvelle variable calculée"));
    EXPECT_EQ(window->saveButton()->text(), QStringLiteral("Créer la variable"));
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("Saisissez un nom et une formule pour afficher l’aperçu."));
    EXPECT_FALSE(window->saveButton()->isEnabled());
    EXPECT_EQ(window->decimalsMenu()->currentText(), QStringLiteral("2"));

    typeText(window->nameField(), QStringLiteral("Densité"));
    EXPECT_EQ(window->messageLabel()->text(), CalculationWindowController::promptMessage());
    typeText(window->formulaField(), QStringLiteral("Population / Surface"));
    EXPECT_EQ(window->messageLabel()->text(), QStringLiteral("Calcul de l’aperçu…"));
    EXPECT_FALSE(window->saveButton()->isEnabled());

    ASSERT_TRUE(settled(*window));
    EXPECT_EQ(window->messageLabel()->text(), counts90);
    EXPECT_TRUE(window->saveButton()->isEnabled());
    ASSERT_TRUE(window->result().has_value());
    EXPECT_EQ(window->previewMap().size(), 96);
    // Typing quickly gave one evaluation, after the pause.
    EXPECT_EQ(window->evaluationsStarted(), 1);
    QAbstractItemModel* model = window->previewTable()->model();
    EXPECT_EQ(model->rowCount(), 96);
    EXPECT_EQ(model->index(1, 0).data().toString(), QStringLiteral("Z1 · Z1"));
    EXPECT_EQ(model->index(1, 1).data().toString(), QStringLiteral("333,67"));
    EXPECT_EQ(model->index(95, 1).data().toString(), QString());
    // Nothing is stored by a preview.
    EXPECT_TRUE(document.steps.isEmpty());
}

TEST_F(CalculationWindowControllerTest, ASupersededPreviewWritesNothing)
{
    auto window = open();
    int finishedSignals = 0;
    QObject::connect(window.get(), &CalculationWindowController::previewFinished, [&] { ++finishedSignals; });
    window->nameField()->setText(QStringLiteral("Densité"));
    window->formulaField()->setText(QStringLiteral("Population / Surface"));
    // The first evaluation is held on its thread until the formula has changed again.
    QSemaphore release;
    window->beforeEvaluation = [&release] { release.acquire(); };
    window->requestPreview();
    ASSERT_TRUE(waitUntil([&] { return window->evaluationsStarted() == 1; }));
    typeText(window->formulaField(), QStringLiteral(" * 2"));
    release.release(2);
    window->beforeEvaluation = {};
    EXPECT_FALSE(window->result().has_value());
    EXPECT_EQ(window->messageLabel()->text(), CalculationWindowController::pendingMessage());
    ASSERT_TRUE(settled(*window));
    EXPECT_EQ(window->evaluationsStarted(), 2);
    EXPECT_EQ(finishedSignals, 1);
    ASSERT_TRUE(window->result().has_value());
    EXPECT_DOUBLE_EQ(*window->result()->values.value("Z0").numericValue(), 1000.0 / 3 * 2);

    // Closing the window during the pause drops the preview as well.
    typeText(window->formulaField(), QStringLiteral("0"));
    ASSERT_TRUE(window->previewRunning());
    window->closeWindow();
    EXPECT_FALSE(window->previewRunning()); // no pause left to end in an evaluation
    QApplication::processEvents();
    EXPECT_EQ(window->evaluationsStarted(), 2);
    EXPECT_FALSE(window->result().has_value());
    EXPECT_EQ(finishedCount, 0); // the close button calls no callback
}

TEST_F(CalculationWindowControllerTest, RefusedFormulaShowsInRedAndBlocksTheSave)
{
    auto window = open();
    window->nameField()->setText(QStringLiteral("Texte"));
    window->formulaField()->setText(QStringLiteral("Région * 2"));
    window->requestPreview();
    ASSERT_TRUE(settled(*window));
    EXPECT_FALSE(window->saveButton()->isEnabled());
    EXPECT_FALSE(window->messageLabel()->text().isEmpty());
    EXPECT_EQ(window->messageLabel()->palette().color(QPalette::WindowText), QColor(255, 59, 48));
    pressKey(window->formulaField(), Qt::Key_Return);
    EXPECT_TRUE(document.steps.isEmpty());

    // A name already in use is refused by the work's rules.
    window->nameField()->setText(QStringLiteral("population"));
    window->formulaField()->setText(QStringLiteral("Surface * 2"));
    window->requestPreview();
    ASSERT_TRUE(settled(*window));
    EXPECT_EQ(window->messageLabel()->text(),
              QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques."));
}

TEST_F(CalculationWindowControllerTest, ReturnSavesOnlyAfterASuccessfulPreview)
{
    auto window = open();
    window->nameField()->setText(QStringLiteral("Double"));
    typeText(window->formulaField(), QStringLiteral("Surface * 2"));
    // Pending: Return saves nothing.
    pressKey(window->formulaField(), Qt::Key_Return);
    EXPECT_TRUE(document.steps.isEmpty());
    ASSERT_TRUE(settled(*window));
    pressKey(window->formulaField(), Qt::Key_Return);
    ASSERT_EQ(document.steps, QStringList{QStringLiteral("Créer une variable calculée")});
    ASSERT_EQ(savedIDs.size(), 1);
    const PlmVariable* saved = document.stored.variable(savedIDs.first());
    ASSERT_NE(saved, nullptr);
    EXPECT_EQ(saved->name, QStringLiteral("Double"));
    EXPECT_EQ(saved->calculation->decimals, 2);
    EXPECT_FALSE(window->window()->isVisible());
    EXPECT_EQ(finishedCount, 1);
}

TEST_F(CalculationWindowControllerTest, ASaveRefusedByTheCurrentWorkKeepsTheWindowOpen)
{
    auto window = open();
    window->nameField()->setText(QStringLiteral("Double"));
    window->formulaField()->setText(QStringLiteral("Surface * 2"));
    window->requestPreview();
    ASSERT_TRUE(settled(*window));
    // Meanwhile another variable took the name.
    document.stored.variables.append(PlmWorkTest::numberVariable("other", "double", {}));
    const PlmWork before = document.stored;
    window->saveCalculation();
    EXPECT_EQ(window->messageLabel()->text(),
              QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques."));
    EXPECT_FALSE(window->saveButton()->isEnabled());
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_EQ(document.stored, before);
    EXPECT_TRUE(document.steps.isEmpty());
    EXPECT_TRUE(savedIDs.isEmpty());
}

TEST_F(CalculationWindowControllerTest, EditingAnExistingVariable)
{
    document.stored.variables.append(
        PlmWorkTest::calculatedVariable("calc", "Part", "Population / 10", PlmVariableType::percentage, 3));
    document.stored.recomputeCalculatedVariables();
    auto window = open(QStringLiteral("calc"));
    EXPECT_EQ(window->window()->windowTitle(), QStringLiteral("Modifier la variable calculée"));
    EXPECT_EQ(window->saveButton()->text(), QStringLiteral("Enregistrer les modifications"));
    EXPECT_EQ(window->nameField()->text(), QStringLiteral("Part"));
    EXPECT_EQ(window->formulaField()->text(), QStringLiteral("Population / 10"));
    EXPECT_EQ(window->formatMenu()->currentText(), QStringLiteral("Pourcentage"));
    EXPECT_EQ(window->decimalsMenu()->currentText(), QStringLiteral("3"));
    // The insert menu lists neither text variables nor the edited one.
    QStringList items;
    for (int i = 0; i < window->insertMenu()->count(); ++i)
        items << window->insertMenu()->itemText(i);
    EXPECT_EQ(items, (QStringList{"Insérer une variable…", "Population", "Surface", "Taux [brut]"}));

    ASSERT_TRUE(settled(*window));
    // Decimals change the digits shown, never the computed value.
    const double full = *window->result()->values.value("Z1").numericValue();
    window->decimalsMenu()->setCurrentIndex(0);
    window->changed();
    ASSERT_TRUE(settled(*window));
    EXPECT_DOUBLE_EQ(*window->result()->values.value("Z1").numericValue(), full);
    EXPECT_EQ(window->previewTable()->model()->index(1, 1).data().toString(), QStringLiteral("100 %"));

    window->saveCalculation();
    EXPECT_EQ(document.steps, QStringList{QStringLiteral("Modifier une variable calculée")});
    EXPECT_EQ(savedIDs, QStringList{QStringLiteral("calc")});
    EXPECT_EQ(document.stored.variable("calc")->calculation->decimals, 0);
}

TEST_F(CalculationWindowControllerTest, InsertingAVariableBracketsItsName)
{
    auto window = open();
    EXPECT_EQ(CalculationWindowController::variableToken("Taux [brut]"), QStringLiteral("[Taux [brut]]]"));
    // Into an empty formula, without a leading space.
    window->nameField()->setFocus();
    window->insertMenu()->setCurrentIndex(window->insertMenu()->findText("Taux [brut]"));
    window->insertVariable();
    EXPECT_EQ(window->formulaField()->text(), QStringLiteral("[Taux [brut]]]"));
    EXPECT_EQ(window->insertMenu()->currentIndex(), 0);
    // Appended after one space when the formula is not being edited.
    window->nameField()->setFocus();
    window->insertMenu()->setCurrentIndex(window->insertMenu()->findText("Surface"));
    window->insertVariable();
    EXPECT_EQ(window->formulaField()->text(), QStringLiteral("[Taux [brut]]] [Surface]"));
    // At the caret while the formula is being edited.
    window->formulaField()->setFocus();
    window->formulaField()->setText(QStringLiteral("() * 2"));
    window->formulaField()->setCursorPosition(1);
    window->insertMenu()->setCurrentIndex(window->insertMenu()->findText("Population"));
    window->insertVariable();
    EXPECT_EQ(window->formulaField()->text(), QStringLiteral("([Population]) * 2"));
    // The title item inserts nothing.
    window->insertMenu()->setCurrentIndex(0);
    window->insertVariable();
    EXPECT_EQ(window->formulaField()->text(), QStringLiteral("([Population]) * 2"));
}

TEST_F(CalculationWindowControllerTest, CancelAndClosedDocument)
{
    auto window = open(std::nullopt, false);
    pressKey(window->nameField(), Qt::Key_Escape);
    EXPECT_FALSE(window->window()->isVisible());
    EXPECT_EQ(document.dataShown, 1); // without onFinished the document shows its data pane

    auto orphan = std::make_unique<FakeDocument>();
    CalculationWindowController lonely(orphan->document(), std::nullopt, {}, {});
    orphan.reset();
    lonely.nameField()->setText(QStringLiteral("A"));
    lonely.formulaField()->setText(QStringLiteral("1"));
    lonely.requestPreview();
    EXPECT_EQ(lonely.messageLabel()->text(), QStringLiteral("Le document est fermé."));
    EXPECT_FALSE(lonely.saveButton()->isEnabled());
}
