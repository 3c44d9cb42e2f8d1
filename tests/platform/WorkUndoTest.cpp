#include "platform/WorkUndo.h"

#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

PlmVariable column(const QString& id, int rows, double scale = 1)
{
    QMap<QString, PlmValue> values;
    for (int i = 0; i < rows; ++i)
        values.insert(QStringLiteral("e%1").arg(i), PlmValue::number(i * scale));
    return PlmVariable(id, QStringLiteral("Nom ") + id, PlmVariableType::number, values, std::nullopt);
}

PlmWork sampleWork(int rows = 100)
{
    PlmWork work;
    work.map.name = QStringLiteral("Régions");
    work.variables = {column(QStringLiteral("pop"), rows), column(QStringLiteral("surf"), rows, 2)};
    return work;
}

void expectBothWays(const PlmWork& before, const PlmWork& after)
{
    const WorkDelta delta(before, after);
    EXPECT_TRUE(delta.before(after) == before);
    EXPECT_TRUE(delta.after(before) == after);
}

TEST(WorkUndoTest, OneCellEditKeepsOnlyThatCell)
{
    const PlmWork before = sampleWork(20000);
    PlmWork after = before;
    after.variables[0].values.insert(QStringLiteral("e7"), PlmValue::number(-3.5));
    const WorkDelta delta(before, after);
    EXPECT_TRUE(delta.before(after) == before);
    EXPECT_TRUE(delta.after(before) == after);
    // A copy of the 20,000-cell column would weigh megabytes.
    EXPECT_LT(delta.privateBytes(), 16 * 1024);
}

TEST(WorkUndoTest, CellsAddedRemovedAndSignOfZeroComeBackExactly)
{
    PlmWork before = sampleWork();
    before.variables[1].values.insert(QStringLiteral("e5"), PlmValue::number(-0.0));
    PlmWork after = before;
    after.variables[0].values.remove(QStringLiteral("e1"));
    after.variables[0].values.insert(QStringLiteral("zz"), PlmValue::text(QStringLiteral("texte")));
    after.variables[1].values.insert(QStringLiteral("e5"), PlmValue::number(0.0)); // equal by ==, not by bits
    expectBothWays(before, after);

    const PlmWork back = WorkDelta(before, after).before(after);
    const auto restored = back.variables[1].values.value(QStringLiteral("e5")).numericValue();
    ASSERT_TRUE(restored.has_value());
    EXPECT_TRUE(std::signbit(*restored));
    EXPECT_FALSE(identicalValues(PlmValue::number(0.0), PlmValue::number(-0.0)));
}

TEST(WorkUndoTest, VariablesAddedDeletedRenamedAndReordered)
{
    const PlmWork before = sampleWork();
    PlmWork after = before;
    after.variables.removeAt(0);
    after.variables.append(column(QStringLiteral("neuve"), 10));
    after.variables[0].name = QStringLiteral("Surface (km²)");
    after.variables.move(0, 1);
    expectBothWays(before, after);
}

TEST(WorkUndoTest, DuplicateIdsAreMatchedInOrder)
{
    PlmWork before = sampleWork();
    before.variables.append(column(QStringLiteral("pop"), 5, 7));
    PlmWork after = before;
    after.variables[2].values.insert(QStringLiteral("e1"), PlmValue::number(99));
    expectBothWays(before, after);
}

TEST(WorkUndoTest, MapThematicLayoutAndSourceSwapWhole)
{
    const PlmWork before = sampleWork();
    PlmWork after = before;
    after.map.name = QStringLiteral("Départements");
    after.map.metadata.insert(QStringLiteral("studio.authored"), QStringLiteral("true"));
    after.sourceMapURL = QStringLiteral("file:///tmp/fond.plmmap");
    after.thematic = PlmThematicSettings();
    after.decoration = PlmDecoration();
    expectBothWays(before, after);
}

TEST(WorkUndoTest, CommandStoresRebuiltWorksOnUndoAndRedoOnly)
{
    PlmWork stored = sampleWork();
    const PlmWork first = stored;
    PlmWork second = stored;
    second.variables[0].values.insert(QStringLiteral("e2"), PlmValue::number(42));

    QStringList log;
    auto current = [&stored] { return stored; };
    auto store = [&](const PlmWork& w, const QString& name, bool undoing) {
        stored = w;
        log << (undoing ? QStringLiteral("undo ") : QStringLiteral("redo ")) + name;
    };
    QUndoStack stack;
    stored = second;
    stack.push(new WorkUndoCommand(QStringLiteral("Saisir une cellule"), first, second, current, store));
    EXPECT_TRUE(log.isEmpty());
    stack.undo();
    EXPECT_TRUE(stored == first);
    stack.redo();
    EXPECT_TRUE(stored == second);
    EXPECT_EQ(log, (QStringList{QStringLiteral("undo Saisir une cellule"), QStringLiteral("redo Saisir une cellule")}));
}

} // namespace
