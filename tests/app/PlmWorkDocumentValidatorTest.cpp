#include "support/WorkDocumentTestSupport.h"

#include "app/PlmWorkDocumentValidator.h"

#include <gtest/gtest.h>

namespace {

PlmWork baseWork()
{
    PlmWork w = smallWork();
    w.variables.append(PlmVariable(QStringLiteral("nom"), QStringLiteral("Nom"), PlmVariableType::text,
                                   {{QStringLiteral("a"), PlmValue::text(QStringLiteral("Ain"))}}, std::nullopt));
    w.variables.append(PlmVariable(QStringLiteral("double"), QStringLiteral("Double"), PlmVariableType::number, {},
                                   PlmCalculation{QStringLiteral("[Population] * 2"), 1}));
    w.recomputeCalculatedVariables();
    PlmThematicSettings settings;
    settings.variableID = QStringLiteral("pop");
    w.thematic = settings;
    w.recomputeThematicThresholds();
    return w;
}

struct Mutation {
    const char* name;
    std::function<void(PlmWork&)> apply;
};

QList<Mutation> mutations()
{
    PlmPolygon flat;
    flat.exterior = {{0, 0}, {1, 1}, {0, 0}};
    return {
        {"valid cell", [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("b"), PlmValue::number(21)); }},
        {"renamed in place", [](PlmWork& w) { w.map.entities.edit(1).name = QStringLiteral("Autre"); }},
        {"two flat rings in place", [flat](PlmWork& w) {
             w.map.entities.edit(3).geometry = PlmGeometry::polygon(flat);
             w.map.entities.edit(1).name = QStringLiteral("Autre");
             w.map.entities.edit(1).geometry = PlmGeometry::polygon(PlmPolygon());
         }},
        {"valid new entity", [](PlmWork& w) { w.map.entities.append(square(QStringLiteral("f"))); }},
        {"duplicate appended", [](PlmWork& w) { w.map.entities.append(square(QStringLiteral("c"))); }},
        {"duplicate of a later shared entity", [](PlmWork& w) { w.map.entities.edit(0).id = QStringLiteral("e"); }},
        {"empty id", [](PlmWork& w) { w.map.entities.edit(3).id.clear(); }},
        {"flat ring", [flat](PlmWork& w) { w.map.entities.edit(2).geometry = PlmGeometry::polygon(flat); }},
        {"flat ring before a duplicate", [flat](PlmWork& w) {
             w.map.entities.edit(1).geometry = PlmGeometry::polygon(flat);
             w.map.entities.edit(0).id = QStringLiteral("d");
         }},
        {"entity removed under its values", [](PlmWork& w) { w.map.entities.removeAt(0); }},
        {"entities reordered", [](PlmWork& w) { w.map.entities.move(0, 4); }},
        {"blank text", [](PlmWork& w) { w.variables[1].values.insert(QStringLiteral("b"), PlmValue::text(QStringLiteral("  "))); }},
        {"text in a number column", [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("b"), PlmValue::text(QStringLiteral("x"))); }},
        {"not finite", [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("c"), PlmValue::number(std::nan(""))); }},
        {"duplicate name", [](PlmWork& w) { w.variables[1].name = QStringLiteral(" POPULATION"); }},
        {"reserved id", [](PlmWork& w) { w.variables[1].id = QStringLiteral("name"); }},
        {"bad formula", [](PlmWork& w) { w.variables[2].calculation->expression = QStringLiteral("[Inconnue] * 2"); }},
        {"renamed under a formula", [](PlmWork& w) { w.variables[0].name = QStringLiteral("Habitants"); }},
        {"thematic without its variable", [](PlmWork& w) { w.thematic->variableID = QStringLiteral("absente"); }},
        {"symbols without settings", [](PlmWork& w) { w.thematic->representation = PlmRepresentation::proportional; }},
    };
}

QString verdict(const std::function<void()>& check)
{
    const QString message = messageOf(check);
    return message;
}

TEST(PlmWorkDocumentValidatorTest, SameVerdictAsTheFullCheckAfterEachChange)
{
    const PlmWork base = baseWork();
    ASSERT_NO_THROW(base.validate());
    int accepted = 0;
    for (const Mutation& m : mutations()) {
        PlmWorkDocumentValidator validator;
        validator.validate(base);
        PlmWork changed = base;
        m.apply(changed);
        const QString full = verdict([&] { changed.validate(); });
        const QString incremental = verdict([&] { validator.validate(changed); });
        EXPECT_EQ(incremental, full) << m.name;
        accepted += full == QStringLiteral("<aucune erreur>");
    }
    EXPECT_EQ(accepted, 4); // the cell, the renamed and the new entity, the new order
}

TEST(PlmWorkDocumentValidatorTest, ChainedChangesKeepTheVerdictOfTheFullCheck)
{
    PlmWorkDocumentValidator validator;
    PlmWork current = baseWork();
    validator.validate(current);
    for (const Mutation& m : mutations()) {
        PlmWork changed = current;
        m.apply(changed);
        const QString full = verdict([&] { changed.validate(); });
        EXPECT_EQ(verdict([&] { validator.validate(changed); }), full) << m.name;
        if (full == QStringLiteral("<aucune erreur>"))
            current = changed; // the next change starts from the last valid work
    }
}

TEST(PlmWorkDocumentValidatorTest, ResetForgetsTheReference)
{
    PlmWorkDocumentValidator validator;
    PlmWork w = baseWork();
    validator.validate(w);
    validator.reset();
    w.map.entities.append(square(QStringLiteral("a")));
    EXPECT_EQ(verdict([&] { validator.validate(w); }), verdict([&] { w.validate(); }));
}

} // namespace
