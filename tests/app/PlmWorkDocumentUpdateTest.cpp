#include "support/WorkDocumentTestSupport.h"

#include <QUndoStack>
#include <gtest/gtest.h>
#include <memory>

namespace {

class PlmWorkDocumentUpdateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc = std::make_unique<PlmWorkDocument>();
        doc->setWork(smallWork());
        doc->makeWindowControllers();
        window = fakeWindowOf(*doc);
        ASSERT_NE(window, nullptr);
    }

    void setCell(const QString& entity, double value, const QString& name = QStringLiteral("Saisir une cellule"))
    {
        doc->updateWork(name, [&](PlmWork& w) { w.variables[0].values.insert(entity, PlmValue::number(value)); });
    }

    void deleteEntities(const QSet<QString>& ids)
    {
        doc->updateWork(QStringLiteral("Supprimer les entités"), [&](PlmWork& w) {
            for (qsizetype i = w.map.entities.size() - 1; i >= 0; --i)
                if (ids.contains(w.map.entities.at(i).id))
                    w.map.entities.removeAt(i);
            for (PlmVariable& v : w.variables)
                for (const QString& id : ids)
                    v.values.remove(id);
        });
    }

    FakeStudioWindows windows;
    std::unique_ptr<PlmWorkDocument> doc;
    FakeStudioWindow* window = nullptr;
};

TEST_F(PlmWorkDocumentUpdateTest, EqualResultRegistersNothing)
{
    doc->updateWork(QStringLiteral("Rien"), [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("a"), PlmValue::number(10)); });
    EXPECT_EQ(doc->undoStack()->count(), 0);
    EXPECT_FALSE(doc->isDocumentEdited());
    EXPECT_EQ(window->reloads, 0);
}

TEST_F(PlmWorkDocumentUpdateTest, StoredChangeIsOneUndoableStep)
{
    setCell(QStringLiteral("a"), 11);
    EXPECT_EQ(doc->work().variables[0].values.value(QStringLiteral("a")), PlmValue::number(11));
    EXPECT_EQ(doc->undoStack()->count(), 1);
    EXPECT_EQ(doc->undoStack()->undoText(), QStringLiteral("Saisir une cellule"));
    EXPECT_EQ(doc->changeCount(), 1);
    EXPECT_EQ(window->reloads, 1);
}

TEST_F(PlmWorkDocumentUpdateTest, ChangeCountMovesOnceTheWorkIsStoredAndTheSelectionCut)
{
    doc->select({QStringLiteral("b"), QStringLiteral("c")}, QStringLiteral("c"));
    struct Seen {
        bool stored;
        QSet<QString> selection;
        std::optional<QString> primary;
        int steps;
        int reloads;
    };
    QList<Seen> seen;
    QObject::connect(doc.get(), &Document::changeCountChanged, [&](int) {
        seen.append({doc->work().map.entities.indexOfId(QStringLiteral("c")) < 0, doc->selectedEntityIDs(),
                     doc->selectedEntityID(), int(doc->undoStack()->count()), window->reloads});
    });
    deleteEntities({QStringLiteral("c")});
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(seen[0].stored);
    EXPECT_EQ(seen[0].selection, QSet<QString>{QStringLiteral("b")});
    EXPECT_EQ(seen[0].primary, std::optional<QString>(QStringLiteral("b")));
    EXPECT_EQ(seen[0].steps, 1);   // registered before
    EXPECT_EQ(seen[0].reloads, 0); // the window is refreshed last
    EXPECT_EQ(window->reloads, 1);
    EXPECT_EQ(doc->changeCount(), 1);
}

TEST_F(PlmWorkDocumentUpdateTest, ThrowingChangeLeavesWorkUndoAndCountUntouched)
{
    setCell(QStringLiteral("a"), 11);
    const PlmWork stored = doc->work();
    const QString thrown = messageOf([&] {
        doc->updateWork(QStringLiteral("Erreur"), [](PlmWork& w) {
            w.variables[0].values.insert(QStringLiteral("b"), PlmValue::number(99));
            throw PlmWorkError::invalid(QStringLiteral("Nom de variable déjà utilisé."));
        });
    });
    EXPECT_EQ(thrown, QStringLiteral("Nom de variable déjà utilisé."));
    EXPECT_TRUE(doc->work() == stored);
    EXPECT_EQ(doc->undoStack()->count(), 1);
    EXPECT_EQ(doc->changeCount(), 1);
    EXPECT_EQ(window->reloads, 1);
}

TEST_F(PlmWorkDocumentUpdateTest, InvalidResultIsRefusedAndUndoStillUndoesThePreviousStep)
{
    const PlmWork original = doc->work();
    setCell(QStringLiteral("a"), 11);
    const QString refused = messageOf([&] {
        doc->updateWork(QStringLiteral("Ajouter une variable"), [](PlmWork& w) {
            w.variables.append(numberVariable(QStringLiteral("pop2"), QStringLiteral(" population "), {}));
        });
    });
    EXPECT_EQ(refused, QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques."));
    EXPECT_EQ(doc->work().variables.size(), 1);
    const QString nonFinite = messageOf([&] { setCell(QStringLiteral("c"), std::numeric_limits<double>::infinity()); });
    EXPECT_EQ(nonFinite, QStringLiteral("Nombre non fini."));
    doc->undo();
    EXPECT_TRUE(doc->work() == original);
    EXPECT_FALSE(doc->isDocumentEdited());
}

TEST_F(PlmWorkDocumentUpdateTest, UndoRedoRestoreExactWorksUnderTheSameName)
{
    const PlmWork w0 = doc->work();
    setCell(QStringLiteral("a"), 11);
    const PlmWork w1 = doc->work();
    doc->updateWork(QStringLiteral("Renommer une variable"), [](PlmWork& w) { w.variables[0].name = QStringLiteral("Habitants"); });
    const PlmWork w2 = doc->work();
    EXPECT_EQ(doc->changeCount(), 2);

    doc->undo();
    EXPECT_TRUE(doc->work() == w1);
    EXPECT_EQ(doc->undoStack()->redoText(), QStringLiteral("Renommer une variable"));
    EXPECT_EQ(doc->changeCount(), 1);
    doc->undo();
    EXPECT_TRUE(doc->work() == w0);
    EXPECT_EQ(doc->changeCount(), 0);
    doc->redo();
    doc->redo();
    EXPECT_TRUE(doc->work() == w2);
    EXPECT_EQ(doc->changeCount(), 2);
    doc->undo();
    EXPECT_TRUE(doc->work() == w1);
    EXPECT_EQ(doc->undoStack()->undoText(), QStringLiteral("Saisir une cellule"));
    EXPECT_EQ(window->reloads, 7); // each store, undo and redo refreshes the window once
}

TEST_F(PlmWorkDocumentUpdateTest, DocumentWithoutWindowStoresChanges)
{
    PlmWorkDocument bare;
    bare.setWork(smallWork());
    bare.updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& w) { w.variables[0].values.remove(QStringLiteral("a")); });
    bare.select({QStringLiteral("b")}, QStringLiteral("b"));
    EXPECT_FALSE(bare.work().variables[0].values.contains(QStringLiteral("a")));
    EXPECT_EQ(bare.selectedEntityID(), std::optional<QString>(QStringLiteral("b")));
}

TEST_F(PlmWorkDocumentUpdateTest, SelectionIsCheckedAgainWhenTheEntitiesAreNotTheOnesLastChecked)
{
    // A large selection (past the one-by-one lookups), kept whole while only cells change.
    doc->updateWork(QStringLiteral("Créer des entités"), [](PlmWork& w) {
        for (int i = 0; i < 40; ++i)
            w.map.entities.append(square(QStringLiteral("e%1").arg(i)));
    });
    QSet<QString> all = doc->work().topLevelEntityIDs();
    doc->select(all, QStringLiteral("e7"));
    int selectionChanges = 0;
    QObject::connect(doc.get(), &PlmWorkDocument::selectionChanged, [&] { ++selectionChanges; });
    setCell(QStringLiteral("a"), 11);
    EXPECT_EQ(selectionChanges, 0);
    EXPECT_EQ(doc->selectedEntityIDs(), all);
    EXPECT_EQ(doc->selectedEntityID(), std::optional<QString>(QStringLiteral("e7")));

    // Undoing the creation gives back entities the selection was never checked against: the
    // created ones leave it, and the smallest remaining id becomes primary.
    doc->undoStack()->undo(); // the cell
    EXPECT_EQ(doc->selectedEntityIDs(), all);
    doc->undoStack()->undo(); // the creation
    EXPECT_EQ(selectionChanges, 1);
    EXPECT_EQ(doc->selectedEntityIDs(), doc->work().topLevelEntityIDs());
    EXPECT_EQ(doc->selectedEntityID(), std::optional<QString>(QStringLiteral("a")));

    // Selected against the small map, then redone: the same entities as before the undo, but
    // the selection was not checked against them since; it stays as it is, all present.
    doc->select({QStringLiteral("b")}, QStringLiteral("b"));
    doc->undoStack()->redo();
    EXPECT_EQ(doc->selectedEntityIDs(), QSet<QString>{QStringLiteral("b")});
    doc->select({QStringLiteral("e3"), QStringLiteral("b")}, QStringLiteral("e3"));
    doc->undoStack()->undo();
    EXPECT_EQ(doc->selectedEntityIDs(), QSet<QString>{QStringLiteral("b")});
    EXPECT_EQ(doc->selectedEntityID(), std::optional<QString>(QStringLiteral("b")));
}

TEST_F(PlmWorkDocumentUpdateTest, DeletingThePrimaryMakesTheSmallestRemainingIdPrimary)
{
    doc->updateWork(QStringLiteral("Créer une entité"), [](PlmWork& w) {
        w.map.entities.append(square(QStringLiteral("a10")));
        w.map.entities.append(square(QStringLiteral("a2")));
    });
    doc->select({QStringLiteral("c"), QStringLiteral("a2"), QStringLiteral("b"), QStringLiteral("a10")}, QStringLiteral("c"));
    deleteEntities({QStringLiteral("c")});
    EXPECT_EQ(doc->selectedEntityID(), std::optional<QString>(QStringLiteral("a10")));
    EXPECT_EQ(doc->selectedEntityIDs(), (QSet<QString>{QStringLiteral("a2"), QStringLiteral("b"), QStringLiteral("a10")}));

    deleteEntities({QStringLiteral("a2"), QStringLiteral("b"), QStringLiteral("a10")});
    EXPECT_TRUE(doc->selectedEntityIDs().isEmpty());
    EXPECT_EQ(doc->selectedEntityID(), std::nullopt);
}

TEST_F(PlmWorkDocumentUpdateTest, SelectionIsCutToTopLevelEntitiesAndPrimaryChosenByCodePoint)
{
    doc->updateWork(QStringLiteral("Grouper les entités"), [](PlmWork& w) {
        w.map.entities.append(PlmEntity(QStringLiteral("g"), QStringLiteral("Groupe"),
                                        PlmGeometry::group(PlmEntityList{square(QStringLiteral("m1"))}), PlmStyle()));
        w.map.entities.append(square(QString::fromUtf8("\xef\xbc\xa1")));     // U+FF21
        w.map.entities.append(square(QString::fromUtf8("\xf0\x9d\x90\x80"))); // U+1D400, a surrogate pair
    });
    window->selections.clear();
    doc->select({QStringLiteral("m1"), QStringLiteral("zz"), QString::fromUtf8("\xf0\x9d\x90\x80"), QString::fromUtf8("\xef\xbc\xa1")},
                std::nullopt);
    EXPECT_EQ(doc->selectedEntityIDs().size(), 2); // a group member and an unknown id are dropped
    EXPECT_EQ(doc->selectedEntityID(), std::optional<QString>(QString::fromUtf8("\xef\xbc\xa1")));
    ASSERT_EQ(window->selections.size(), 1);

    doc->select({QStringLiteral("b"), QStringLiteral("d")}, QStringLiteral("x"));
    EXPECT_EQ(doc->selectedEntityID(), std::optional<QString>(QStringLiteral("b")));
}

TEST_F(PlmWorkDocumentUpdateTest, SelectingTheOnlySelectedEntityAgainTellsNoWindow)
{
    doc->select(QStringLiteral("c"));
    ASSERT_EQ(window->selections.size(), 1);
    doc->select(QStringLiteral("c"));
    EXPECT_EQ(window->selections.size(), 1);

    doc->select({QStringLiteral("c"), QStringLiteral("d")}, QStringLiteral("c"));
    doc->select(QStringLiteral("c"));
    EXPECT_EQ(doc->selectedEntityIDs(), QSet<QString>{QStringLiteral("c")});
    EXPECT_EQ(window->selections.size(), 3);

    doc->select(std::optional<QString>());
    EXPECT_TRUE(doc->selectedEntityIDs().isEmpty());
    EXPECT_EQ(window->selections.last().second, std::nullopt);
}

TEST_F(PlmWorkDocumentUpdateTest, CreateCarteStoresTheDefaultSettingsOnce)
{
    doc->updateWork(QStringLiteral("Ajouter une variable"), [](PlmWork& w) {
        w.variables.prepend(PlmVariable(QStringLiteral("nom"), QStringLiteral("Nom"), PlmVariableType::text, {}, std::nullopt));
    });
    ASSERT_TRUE(doc->createCarteIfNeeded());
    const PlmWork w = doc->work();
    ASSERT_TRUE(w.thematic.has_value());
    const PlmThematicSettings& s = *w.thematic;
    EXPECT_EQ(s.variableID, std::optional<QString>(QStringLiteral("pop")));
    EXPECT_EQ(s.method, PlmClassificationMethod::quantiles);
    EXPECT_EQ(s.classCount, 5);
    EXPECT_EQ(s.palette, PlmPalette::blues);
    EXPECT_EQ(s.missingColor, (PlmColor{0.78, 0.78, 0.78, 1}));
    EXPECT_EQ(s.legendPosition, (PlmPoint{0.96, 0.08}));
    EXPECT_EQ(s.representation, std::nullopt);
    EXPECT_FALSE(s.thresholds.isEmpty()); // computed by the update
    // Every other field as a new settings record leaves it: absent, false or empty.
    PlmThematicSettings expected;
    expected.variableID = QStringLiteral("pop");
    expected.thresholds = s.thresholds;
    expected.legendPosition = PlmPoint{0.96, 0.08};
    EXPECT_TRUE(s == expected);
    EXPECT_FALSE(s.inverted);
    EXPECT_FALSE(s.proportional || s.secondSymbols || s.secondInFront || s.concentric || s.classColorOverrides
                 || s.decimalPlaces || s.hideMissingInLegend || s.legendLabelVariableID);
    PlmWork recomputed = w;
    recomputed.recomputeThematicThresholds();
    EXPECT_EQ(s.thresholds, recomputed.thematic->thresholds);
    EXPECT_EQ(doc->undoStack()->undoText(), QStringLiteral("Créer la carte"));

    const int steps = doc->undoStack()->count();
    EXPECT_TRUE(doc->createCarteIfNeeded());
    EXPECT_EQ(doc->undoStack()->count(), steps);
}

TEST_F(PlmWorkDocumentUpdateTest, CreateCarteWithoutNumericVariableHasNoVariable)
{
    PlmWorkDocument bare;
    PlmWork w = smallWork();
    w.variables.clear();
    bare.setWork(w);
    ASSERT_TRUE(bare.createCarteIfNeeded());
    EXPECT_EQ(bare.work().thematic->variableID, std::nullopt);
}

TEST_F(PlmWorkDocumentUpdateTest, AutomaticThresholdsAreKeptUnlessTheirInputsChange)
{
    ASSERT_TRUE(doc->createCarteIfNeeded());
    const QList<double> computed = doc->work().thematic->thresholds;

    doc->updateWork(QStringLiteral("Changer les couleurs"), [](PlmWork& w) {
        w.thematic->palette = PlmPalette::greens;
        w.thematic->thresholds = {1, 2}; // written by mistake: the stored ones stay
    });
    EXPECT_EQ(doc->work().thematic->thresholds, computed);
    EXPECT_EQ(doc->work().thematic->palette, PlmPalette::greens);

    setCell(QStringLiteral("b"), 25);
    PlmWork expected = doc->work();
    expected.recomputeThematicThresholds();
    EXPECT_EQ(doc->work().thematic->thresholds, expected.thematic->thresholds);
    EXPECT_NE(doc->work().thematic->thresholds, computed);
}

// Stored thresholds out of step with the data ({1, 2, 3}) show whether an update kept them,
// recomputed them, or left what the change wrote (a recomputation that does not compute).
TEST_F(PlmWorkDocumentUpdateTest, ThresholdsAreRecomputedExactlyWhenTheRuleSays)
{
    enum class Expect { kept, recomputed, written };
    struct Case {
        const char* name;
        std::function<void(PlmThematicSettings&)> base;
        std::function<void(PlmWork&)> change;
        Expect expect;
    };
    const auto none = [](PlmThematicSettings&) {};
    const auto palette = [](PlmWork& w) {
        w.thematic->palette = PlmPalette::oranges;
        w.thematic->thresholds = {7};
    };
    const QList<Case> cases = {
        {"palette, representation absent", none, palette, Expect::kept},
        {"palette, aplats on both sides", [](PlmThematicSettings& t) { t.representation = PlmRepresentation::aplats; }, palette, Expect::kept},
        {"palette, aplats and symbols",
         [](PlmThematicSettings& t) {
             t.representation = PlmRepresentation::aplatsAndSymbols;
             t.secondSymbols = PlmSecondSymbolSeries();
         },
         palette, Expect::kept},
        {"absent becomes aplats", none, [](PlmWork& w) { w.thematic->representation = PlmRepresentation::aplats; }, Expect::recomputed},
        {"aplats becomes absent", [](PlmThematicSettings& t) { t.representation = PlmRepresentation::aplats; },
         [](PlmWork& w) { w.thematic->representation.reset(); }, Expect::recomputed},
        {"symbols only: not aplats",
         [](PlmThematicSettings& t) {
             t.representation = PlmRepresentation::proportional;
             t.proportional = PlmProportionalSettings();
         },
         palette, Expect::written},
        {"manual method", [](PlmThematicSettings& t) { t.method = PlmClassificationMethod::manual; }, palette, Expect::written},
        {"class count", none, [](PlmWork& w) { w.thematic->classCount = 3; }, Expect::recomputed},
        {"method", none, [](PlmWork& w) { w.thematic->method = PlmClassificationMethod::jenks; }, Expect::recomputed},
        {"variable", none, [](PlmWork& w) { w.thematic->variableID = QStringLiteral("surf"); }, Expect::recomputed},
        {"a value of the variable", none,
         [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("e"), PlmValue::number(500)); }, Expect::recomputed},
        {"a value of another variable", none,
         [](PlmWork& w) { w.variables[1].values.insert(QStringLiteral("e"), PlmValue::number(500)); }, Expect::kept},
        {"a value removed", none, [](PlmWork& w) { w.variables[0].values.remove(QStringLiteral("a")); }, Expect::recomputed},
    };
    for (const Case& c : cases) {
        PlmWork base = smallWork();
        base.variables.append(numberVariable(QStringLiteral("surf"), QStringLiteral("Surface"),
                                             {{QStringLiteral("a"), 1}, {QStringLiteral("b"), 9}, {QStringLiteral("c"), 4}}));
        PlmThematicSettings settings;
        settings.variableID = QStringLiteral("pop");
        settings.classCount = 4;
        c.base(settings);
        settings.thresholds = {1, 2, 3};
        base.thematic = settings;
        doc->setWork(base);
        PlmWork written = base;
        c.change(written);
        doc->updateWork(QStringLiteral("Changer les couleurs"), c.change);
        PlmWork recomputed = doc->work();
        recomputed.recomputeThematicThresholds();
        const QList<double> expected = c.expect == Expect::kept       ? QList<double>{1, 2, 3}
                                     : c.expect == Expect::recomputed ? recomputed.thematic->thresholds
                                                                      : written.thematic->thresholds;
        EXPECT_EQ(doc->work().thematic->thresholds, expected) << c.name;
        if (c.expect == Expect::recomputed)
            EXPECT_NE(expected, (QList<double>{1, 2, 3})) << c.name; // the case tells the paths apart
    }
}

TEST_F(PlmWorkDocumentUpdateTest, SecondSeriesLosesAVariableTurnedIntoText)
{
    doc->updateWork(QStringLiteral("Ajouter une variable"), [](PlmWork& w) {
        w.variables.append(numberVariable(QStringLiteral("surf"), QStringLiteral("Surface"), {{QStringLiteral("a"), 3}}));
    });
    ASSERT_TRUE(doc->createCarteIfNeeded());
    doc->updateWork(QStringLiteral("Changer la représentation"), [](PlmWork& w) {
        PlmSecondSymbolSeries second;
        second.variableID = QStringLiteral("surf");
        w.thematic->secondSymbols = second;
    });
    const QList<double> thresholds = doc->work().thematic->thresholds;
    doc->updateWork(QStringLiteral("Modifier une variable"), [](PlmWork& w) {
        w.variables[1].type = PlmVariableType::text;
        w.variables[1].values = {{QStringLiteral("a"), PlmValue::text(QStringLiteral("trois"))}};
    });
    EXPECT_EQ(doc->work().thematic->secondSymbols->variableID, std::nullopt);
    EXPECT_EQ(doc->work().thematic->thresholds, thresholds); // on the path that keeps them
}

TEST_F(PlmWorkDocumentUpdateTest, UndoAndRedoStoreTheKeptWorksWithoutDerivingAgain)
{
    // A work stored as given, calculated values and thresholds out of step with the data.
    PlmWork stale = smallWork();
    stale.variables.append(PlmVariable(QStringLiteral("dbl"), QStringLiteral("Double"), PlmVariableType::number,
                                       {{QStringLiteral("a"), PlmValue::number(999)}}, PlmCalculation{QStringLiteral("Population * 2"), 0}));
    PlmThematicSettings settings;
    settings.variableID = QStringLiteral("pop");
    settings.thresholds = {1, 2};
    stale.thematic = settings;
    doc->setWork(stale);
    setCell(QStringLiteral("a"), 11);
    const PlmWork updated = doc->work();
    EXPECT_EQ(updated.variables[1].values.value(QStringLiteral("a")), PlmValue::number(22));
    EXPECT_NE(updated.thematic->thresholds, (QList<double>{1, 2}));

    doc->undo();
    EXPECT_TRUE(doc->work() == stale);
    doc->redo();
    EXPECT_TRUE(doc->work() == updated);
    doc->undo();
    EXPECT_TRUE(doc->work() == stale);
}

TEST_F(PlmWorkDocumentUpdateTest, SecondSeriesLosesADeletedVariable)
{
    doc->updateWork(QStringLiteral("Ajouter une variable"), [](PlmWork& w) {
        w.variables.append(numberVariable(QStringLiteral("surf"), QStringLiteral("Surface"), {{QStringLiteral("a"), 3}}));
    });
    ASSERT_TRUE(doc->createCarteIfNeeded());
    doc->updateWork(QStringLiteral("Changer la représentation"), [](PlmWork& w) {
        PlmSecondSymbolSeries second;
        second.variableID = QStringLiteral("surf");
        w.thematic->secondSymbols = second;
    });
    ASSERT_EQ(doc->work().thematic->secondSymbols->variableID, std::optional<QString>(QStringLiteral("surf")));
    doc->updateWork(QStringLiteral("Supprimer une variable"), [](PlmWork& w) { w.variables.removeLast(); });
    EXPECT_EQ(doc->work().thematic->secondSymbols->variableID, std::nullopt);
}

TEST_F(PlmWorkDocumentUpdateTest, FailingCreateCartePresentsItsMessageAndAnswersNo)
{
    QStringList errors;
    DialogHooks::Hooks hooks;
    hooks.presentError = [&errors](const QString& m, QWidget*) { errors << m; };
    DialogHooks::ScopedHooks scoped(hooks);
    PlmWork broken = smallWork();
    broken.variables.append(numberVariable(QStringLiteral("p2"), QStringLiteral("POPULATION"), {}));
    doc->setWork(broken); // stored as given: the next update's check refuses it
    EXPECT_FALSE(doc->createCarteIfNeeded());
    EXPECT_EQ(errors, QStringList{QStringLiteral("Les variables doivent avoir un nom et un identifiant uniques.")});
    EXPECT_FALSE(doc->work().thematic.has_value());
}

} // namespace
