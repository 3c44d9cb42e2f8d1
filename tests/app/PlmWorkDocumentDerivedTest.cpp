#include "WorkDocumentTestSupport.h"

#include "app/PlmWorkDocumentDerived.h"
#include "model/PlmWorkCodec.h"

#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

PlmEntity textEntity(const QString& id, const QString& text, const QMap<QString, QString>& attributes = {})
{
    PlmText t;
    t.text = text;
    t.fontName = QStringLiteral("Helvetica");
    return PlmEntity(id, text, PlmGeometry::text(t), PlmStyle(), attributes);
}

// Squares, a text showing its own name, and a data group whose text shows the "pop" field.
PlmWork boundWork()
{
    PlmWork w = smallWork();
    w.variables[0].name = QStringLiteral("pop");
    w.map.entities.insert(1, textEntity(QStringLiteral("t"), QStringLiteral("Lyon")));
    PlmEntity label = textEntity(QStringLiteral("lbl"), QStringLiteral("60"), {{QStringLiteral("plm.text.property"), QStringLiteral("pop")}});
    w.map.entities.append(PlmEntity(QStringLiteral("g"), QStringLiteral("Groupe"),
                                    PlmGeometry::group(PlmEntityList{square(QStringLiteral("m"), 4), label}), PlmStyle(),
                                    {{QStringLiteral("data-pop"), QStringLiteral("60")}}));
    w.variables[0].values.insert(QStringLiteral("g"), PlmValue::number(60));
    return w;
}

struct Edit {
    const char* name;
    std::function<void(PlmWork&)> apply;
};

QList<Edit> edits()
{
    return {
        {"value behind a bound text", [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("g"), PlmValue::number(75)); }},
        {"bound text edited", [](PlmWork& w) {
             PlmEntity& g = w.map.entities.edit(w.map.entities.indexOfId(QStringLiteral("g")));
             PlmEntityList members = *g.geometry.asGroup();
             PlmText t = *members.at(1).geometry.asText();
             t.text = QStringLiteral("80");
             members.edit(1).geometry = PlmGeometry::text(t);
             g.geometry = PlmGeometry::group(members);
         }},
        {"text renamed", [](PlmWork& w) { w.map.entities.edit(1).name = QStringLiteral("Lille"); }},
        {"text content edited", [](PlmWork& w) {
             PlmText t = *w.map.entities.at(1).geometry.asText();
             t.text = QStringLiteral("Nantes");
             w.map.entities.edit(1).geometry = PlmGeometry::text(t);
         }},
        {"unrelated cell", [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("a"), PlmValue::number(1)); }},
        {"entities moved", [](PlmWork& w) { w.map.entities.move(1, 5); }},
    };
}

TEST(PlmWorkDocumentDerivedTest, RebindingTextsAndGroupsAloneMatchesTheFullRebinding)
{
    const PlmWork previous = boundWork();
    ASSERT_NO_THROW(previous.validate());
    PlmWorkDocumentDerived derived;
    int changedByRebinding = 0;
    for (const Edit& e : edits()) {
        PlmWork full = previous;
        e.apply(full);
        PlmWork reduced = full;
        const PlmWork edited = full;
        full.rebindVariableTexts(previous);
        derived.rebindVariableTexts(reduced, previous, true);
        EXPECT_TRUE(reduced == full) << e.name;
        changedByRebinding += !(full == edited);
    }
    EXPECT_GE(changedByRebinding, 3); // the edits really exercise the binding
}

PlmWork calculatedWork()
{
    PlmWork w = smallWork();
    w.variables.append(numberVariable(QStringLiteral("surf"), QStringLiteral("Surface"),
                                      {{QStringLiteral("a"), 2}, {QStringLiteral("b"), 4}, {QStringLiteral("c"), 0}}));
    w.variables.append(PlmVariable(QStringLiteral("dens"), QStringLiteral("Densité"), PlmVariableType::number, {},
                                   PlmCalculation{QStringLiteral("Population / Surface"), 2}));
    w.variables.append(PlmVariable(QStringLiteral("part"), QStringLiteral("Part"), PlmVariableType::percentage, {},
                                   PlmCalculation{QStringLiteral("[Densité] * 10"), 1}));
    w.recomputeCalculatedVariables();
    return w;
}

TEST(PlmWorkDocumentDerivedTest, IncrementalRecomputationMatchesTheFullOne)
{
    PlmWorkDocumentDerived derived;
    PlmWork current = calculatedWork();
    {
        PlmWork first = current; // primes the shortcut with a full run
        derived.recomputeCalculatedVariables(first, current);
        EXPECT_EQ(derived.lastEvaluatedRows(), 5);
        current = first;
    }
    const QList<std::function<void(PlmWork&)>> changes = {
        [](PlmWork& w) { w.variables[1].values.insert(QStringLiteral("c"), PlmValue::number(3)); }, // 0 → 3: a value appears
        [](PlmWork& w) { w.variables[0].values.remove(QStringLiteral("a")); },                       // a value disappears
        [](PlmWork& w) { w.variables[1].values.insert(QStringLiteral("b"), PlmValue::number(0)); }, // division by zero
        [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("zz"), PlmValue::number(7)); }, // not a row
        [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("d"), PlmValue::number(-0.0)); },
    };
    for (qsizetype k = 0; k < changes.size(); ++k) {
        PlmWork incremental = current;
        changes[k](incremental);
        PlmWork full = incremental;
        full.recomputeCalculatedVariables();
        derived.recomputeCalculatedVariables(incremental, current);
        EXPECT_LE(derived.lastEvaluatedRows(), 1) << k;
        EXPECT_TRUE(incremental == full) << k;
        current = incremental;
    }
}

TEST(PlmWorkDocumentDerivedTest, AnyOtherChangeRecomputesEverything)
{
    PlmWorkDocumentDerived derived;
    PlmWork current = calculatedWork();
    PlmWork primed = current;
    derived.recomputeCalculatedVariables(primed, current);
    current = primed;

    PlmWork renamed = current;
    renamed.variables[1].name = QStringLiteral("Aire");
    renamed.variables[2].calculation->expression = QStringLiteral("Population / Aire");
    derived.recomputeCalculatedVariables(renamed, current);
    EXPECT_EQ(derived.lastEvaluatedRows(), 5);

    PlmWork written = current; // a change that writes into a calculated column
    written.variables[2].values.insert(QStringLiteral("a"), PlmValue::number(123));
    PlmWork full = written;
    full.recomputeCalculatedVariables();
    derived.recomputeCalculatedVariables(written, current);
    EXPECT_TRUE(written == full);

    derived.reset();
    PlmWork afterReset = current;
    afterReset.variables[0].values.insert(QStringLiteral("b"), PlmValue::number(1));
    derived.recomputeCalculatedVariables(afterReset, current);
    EXPECT_EQ(derived.lastEvaluatedRows(), 5);
}

// The document's update, shortcuts included, against the plain sequence of full operations.
PlmWork fullUpdate(const PlmWork& previous, const std::function<void(PlmWork&)>& change)
{
    PlmWork next = previous;
    change(next);
    next.rebindVariableTexts(previous);
    next.recomputeCalculatedVariables();
    next.rebindVariableTexts(previous);
    next.recomputeThematicThresholds(); // no thematic settings here: the rule always recomputes
    next.validate();
    return next;
}

void expectFullOperationsResults(PlmWorkDocument& doc)
{
    auto cell = [](int variable, const char* entity, std::optional<PlmValue> value) {
        return std::function<void(PlmWork&)>([=](PlmWork& w) {
            if (value)
                w.variables[variable].values.insert(QString::fromLatin1(entity), *value);
            else
                w.variables[variable].values.remove(QString::fromLatin1(entity));
        });
    };
    const QList<std::function<void(PlmWork&)>> changes = {
        cell(0, "a", PlmValue::number(12)),
        cell(1, "c", PlmValue::number(5)),
        cell(0, "b", PlmValue::number(std::numeric_limits<double>::infinity())), // refused
        cell(0, "b", PlmValue::text(QStringLiteral("x"))),                      // refused
        cell(1, "zz", PlmValue::number(1)),                                      // refused: no such row
        cell(1, "b", std::nullopt),
        cell(0, "e", PlmValue::number(-0.0)),
        [](PlmWork& w) { w.map.entities.removeAt(0); w.variables[0].values.remove(QStringLiteral("a")); },
        cell(1, "d", PlmValue::number(0)),
        [](PlmWork& w) { w.variables[2].values.insert(QStringLiteral("c"), PlmValue::number(1)); }, // a derived cell
        cell(0, "c", PlmValue::number(31)),
    };
    QList<PlmWork> stored{doc.work()};
    for (qsizetype k = 0; k < changes.size(); ++k) {
        const PlmWork before = doc.work();
        const QString expected = messageOf([&] { fullUpdate(before, changes[k]); });
        const QString actual = messageOf([&] { doc.updateWork(QStringLiteral("Saisir une cellule"), changes[k]); });
        EXPECT_EQ(actual, expected) << k;
        if (expected == QStringLiteral("<aucune erreur>")) {
            EXPECT_TRUE(doc.work() == fullUpdate(before, changes[k])) << k;
            if (!(doc.work() == before)) // an overwritten derived cell comes back: no step
                stored.append(doc.work());
        } else {
            EXPECT_TRUE(doc.work() == before) << k;
        }
    }
    ASSERT_EQ(doc.undoStack()->count(), stored.size() - 1);
    for (qsizetype k = stored.size() - 2; k >= 0; --k) {
        doc.undo();
        EXPECT_TRUE(doc.work() == stored[k]) << k;
    }
}

TEST(PlmWorkDocumentDerivedTest, UpdatesGiveTheWorksAndVerdictsOfTheFullOperations)
{
    PlmWorkDocument doc;
    doc.setWork(calculatedWork());
    expectFullOperationsResults(doc);
}

TEST(PlmWorkDocumentDerivedTest, AReadWorkStartsWithIncrementalUpdates)
{
    PlmWorkDocument doc;
    doc.decodeDocument(PlmWorkCodec::encode(calculatedWork()), PlmWorkDocument::plmType);
    expectFullOperationsResults(doc);
}

} // namespace
