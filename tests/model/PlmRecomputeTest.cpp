#include "model/PlmDependencyPlan.h"
#include "model/PlmErrors.h"
#include "model/PlmWork.h"
#include "support/PlmWorkTestSupport.h"
#include "support/ErrorCapture.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace PlmWorkTest;

namespace {

const QString cycleMessage =
    QStringLiteral("Une formule dépend d’elle-même, directement ou par une autre variable. Corrigez les références.");
const QString calculationMessage =
    QStringLiteral("Une variable calculée utilise un nombre ou pourcentage, avec 0 à 10 décimales.");

QString failureOf(PlmWork work)
{
    return thrownMessage<PlmWorkError>([&] { work.recomputeCalculatedVariables(); });
}

std::optional<double> numberAt(const PlmWork& work, const QString& variableID, const QString& entityID)
{
    const PlmVariable* variable = work.variable(variableID);
    if (!variable || !variable->values.contains(entityID))
        return std::nullopt;
    return variable->values.value(entityID).numericValue();
}

TEST(PlmRecompute, WithoutCalculationsNothingIsCheckedOrChanged)
{
    PlmWork work;
    work.map = mapWithEntities({"A"});
    // Duplicate ids would fail every check, but there is nothing to compute.
    work.variables = {numberVariable("x", "X", {{"A", 1}}), numberVariable("x", "X", {{"Z", 2}})};
    const PlmWork before = work;
    work.recomputeCalculatedVariables();
    EXPECT_EQ(work, before);
}

TEST(PlmRecompute, DependencyOrderWhateverTheListOrder)
{
    const QList<PlmVariable> all{
        numberVariable("a", "A", {{"E1", 1}, {"E2", 4}}),
        calculatedVariable("b", "B", "[A] + 1"),
        calculatedVariable("c", "C", "[B] * 2"),
    };
    QList<int> order{0, 1, 2};
    do {
        PlmWork work;
        work.map = mapWithEntities({"E1", "E2", "E3"});
        for (int i : order)
            work.variables.append(all[i]);
        work.recomputeCalculatedVariables();
        EXPECT_EQ(numberAt(work, "c", "E1"), 4.0);
        EXPECT_EQ(numberAt(work, "c", "E2"), 10.0);
        EXPECT_EQ(numberAt(work, "c", "E3"), std::nullopt);
        // The plan puts B before C.
        const PlmDependencyPlan plan = PlmFormula::validate(work);
        ASSERT_EQ(plan.size(), 2);
        EXPECT_EQ(work.variables[plan[0].index].id, "b");
        EXPECT_EQ(work.variables[plan[1].index].id, "c");
    } while (std::next_permutation(order.begin(), order.end()));
}

// Many formulas, each naming several variables: the columns read by one step must stay
// valid while the columns of its other references are loaded.
TEST(PlmRecompute, FormulasNamingManyVariables)
{
    PlmWork work;
    work.map = mapWithEntities({"E1", "E2"});
    for (int i = 0; i < 100; ++i)
        work.variables.append(numberVariable(QStringLiteral("i%1").arg(i), QStringLiteral("I%1").arg(i),
                                             {{"E1", double(i)}, {"E2", 2.0 * i}}));
    for (int k = 0; k < 25; ++k)
        work.variables.append(calculatedVariable(QStringLiteral("c%1").arg(k), QStringLiteral("C%1").arg(k),
                                                 QStringLiteral("[I%1] + [I%2] + [I%3] + [I%4]")
                                                     .arg(4 * k)
                                                     .arg(4 * k + 1)
                                                     .arg(4 * k + 2)
                                                     .arg(4 * k + 3)));
    // One formula naming twenty variables, one of them twice and in another spelling.
    QString sum = QStringLiteral("[i0]");
    for (int i = 1; i < 20; ++i)
        sum += QStringLiteral(" + [I%1]").arg(i);
    work.variables.append(calculatedVariable("sum", "Somme", sum + QStringLiteral(" - [I0] * 2")));
    work.variables[0].values.remove("E2");
    work.recomputeCalculatedVariables();
    for (int k = 0; k < 25; ++k) {
        const QString id = QStringLiteral("c%1").arg(k);
        EXPECT_EQ(numberAt(work, id, "E1"), 16.0 * k + 6) << k;
        EXPECT_EQ(numberAt(work, id, k == 0 ? "E1" : "E2"), k == 0 ? 6.0 : 32.0 * k + 12) << k;
    }
    EXPECT_EQ(numberAt(work, "c0", "E2"), std::nullopt);
    EXPECT_EQ(numberAt(work, "sum", "E1"), 190.0);
    EXPECT_EQ(numberAt(work, "sum", "E2"), std::nullopt);
}

TEST(PlmRecompute, CyclesAreRefused)
{
    PlmWork self;
    self.variables = {calculatedVariable("a", "A", "[A] + 1")};
    EXPECT_EQ(failureOf(self), cycleMessage);

    PlmWork pair;
    pair.variables = {calculatedVariable("a", "A", "[B]"), calculatedVariable("b", "B", "[A]")};
    EXPECT_EQ(failureOf(pair), cycleMessage);
}

// 65 calculated variables V0 = [V1] + 1, ..., V63 = [V64] + 1, V64 = [Base].
QList<PlmVariable> chain()
{
    QList<PlmVariable> variables;
    for (int i = 0; i < 65; ++i) {
        const QString next = i == 64 ? QStringLiteral("Base") : QStringLiteral("V%1").arg(i + 1);
        variables.append(calculatedVariable(QStringLiteral("v%1").arg(i), QStringLiteral("V%1").arg(i),
                                            QStringLiteral("[%1] + 1").arg(next)));
    }
    return variables;
}

TEST(PlmRecompute, DeepChainsDependOnWhereTheWalkStarts)
{
    PlmWork headFirst;
    headFirst.map = mapWithEntities({"E"});
    headFirst.variables = chain();
    headFirst.variables.append(numberVariable("base", "Base", {{"E", 0}}));
    EXPECT_EQ(failureOf(headFirst), cycleMessage);

    PlmWork tailFirst = headFirst;
    std::reverse(tailFirst.variables.begin(), tailFirst.variables.end());
    tailFirst.recomputeCalculatedVariables();
    EXPECT_EQ(numberAt(tailFirst, "v0", "E"), 65.0);
    EXPECT_EQ(numberAt(tailFirst, "v64", "E"), 1.0);
}

TEST(PlmRecompute, CalculationsAreCheckedInListOrder)
{
    PlmWork work;
    work.variables = {numberVariable("a", "A", {}), calculatedVariable("t", "T", "[A]", PlmVariableType::text),
                      calculatedVariable("u", "U", "[Inconnue]")};
    EXPECT_EQ(failureOf(work), calculationMessage);

    work.variables[1] = calculatedVariable("t", "T", "[A]", PlmVariableType::number, 11);
    EXPECT_EQ(failureOf(work), calculationMessage);
    work.variables[1] = calculatedVariable("t", "T", "[A]", PlmVariableType::number, -1);
    EXPECT_EQ(failureOf(work), calculationMessage);

    work.variables[1] = calculatedVariable("t", "T", "[A]", PlmVariableType::number, 10);
    EXPECT_EQ(failureOf(work),
              QStringLiteral("Variable inconnue : « Inconnue ». Choisissez un nom dans la liste des variables."));
}

TEST(PlmRecompute, EntitiesWithoutAResultLoseTheirOldValue)
{
    PlmWork work;
    work.map = mapWithEntities({"ok", "text", "missing", "zero"});
    work.variables = {
        numberVariable("a", "A", {{"ok", 6}, {"missing", 1}, {"zero", 1}}),
        textVariable("label", "Label", {{"text", "x"}}),
        numberVariable("b", "B", {{"ok", 3}, {"zero", 0}}),
        calculatedVariable("q", "Q", "[A] / [B]"),
    };
    // Stale values, one of them for an entity that no longer exists.
    work.variables[3].values = {{"zero", PlmValue::number(99)}, {"gone", PlmValue::number(1)}};
    work.recomputeCalculatedVariables();
    const PlmVariable* q = work.variable("q");
    EXPECT_EQ(q->values.keys(), QList<QString>{"ok"});
    EXPECT_EQ(numberAt(work, "q", "ok"), 2.0);
}

TEST(PlmRecompute, PercentageVariablesHoldPercentages)
{
    PlmWork work;
    work.map = mapWithEntities({"E"});
    work.variables = {
        numberVariable("act", "Actifs", {{"E", 125}}),
        numberVariable("pop", "Population", {{"E", 1000}}),
        calculatedVariable("part", "Part", "[Actifs] / [Population] * 100", PlmVariableType::percentage, 1),
    };
    work.recomputeCalculatedVariables();
    const PlmVariable* part = work.variable("part");
    ASSERT_TRUE(part->values.contains("E"));
    EXPECT_EQ(part->values.value("E"), PlmValue::percentage(12.5));
    EXPECT_EQ(part->displayText("E"), QStringLiteral("12,5 %"));
}

TEST(PlmRecompute, OnlyTopLevelEntitiesAreRows)
{
    PlmWork work;
    PlmEntityList members{pointEntity("inner")};
    work.map = mapWithEntities({"outer"});
    work.map.entities.append(PlmEntity("group", "G", PlmGeometry::group(members), PlmStyle()));
    work.variables = {calculatedVariable("k", "K", "7")};
    work.recomputeCalculatedVariables();
    EXPECT_EQ(work.variable("k")->values.keys(), (QList<QString>{"group", "outer"}));
}

TEST(PlmRecompute, CancellationLeavesTheWorkUntouched)
{
    QStringList ids;
    for (int i = 0; i < 3000; ++i)
        ids.append(QStringLiteral("E%1").arg(i));
    PlmWork work;
    work.map = mapWithEntities(ids);
    work.variables = {calculatedVariable("k", "K", "1"), calculatedVariable("m", "M", "[K] * 2")};
    work.variables[0].values = {{"E1", PlmValue::number(5)}};
    const PlmWork before = work;

    const PlmCancellationToken token = PlmCancellationToken::make();
    token.cancel();
    EXPECT_THROW(work.recomputeCalculatedVariables(token), PlmCancellationError);
    EXPECT_EQ(work, before);

    // A token nobody cancels, and the default token, let the work through.
    work.recomputeCalculatedVariables(PlmCancellationToken::make());
    EXPECT_EQ(work.variable("m")->values.size(), 3000);
}

} // namespace
