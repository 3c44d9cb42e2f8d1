#include "model/PlmJsonDocument.h"
#include "model/PlmJsonWriter.h"
#include "model/PlmVariableValues.h"

#include <gtest/gtest.h>

#include <functional>
#include <random>

namespace {

using Map = QMap<QString, PlmValue>;

Map contents(const PlmVariableValues& values)
{
    Map map;
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        EXPECT_TRUE(map.isEmpty() || map.lastKey() < it.key()) << "keys out of order";
        map.insert(it.key(), it.value());
    }
    return map;
}

QString keyOf(int n)
{
    return QStringLiteral("e%1").arg(n, 5, 10, QLatin1Char('0'));
}

} // namespace

// Random inserts and removals on copies of copies, against QMap: the same cells in the same
// order, the same lookups, and every earlier copy left exactly as it was.
TEST(PlmVariableValues, BehavesAsASortedMapAcrossCopies)
{
    std::mt19937 rng(16);
    std::uniform_int_distribution<int> key(0, 3000);
    std::uniform_int_distribution<int> action(0, 9);
    PlmVariableValues values;
    Map model;
    QList<std::pair<PlmVariableValues, Map>> snapshots;
    for (int step = 0; step < 20000; ++step) {
        const QString k = keyOf(key(rng));
        if (action(rng) < 3) {
            EXPECT_EQ(values.remove(k), model.remove(k));
        } else {
            const PlmValue v = PlmValue::number(step);
            values.insert(k, v);
            model.insert(k, v);
        }
        if (step % 997 == 0)
            snapshots.append({values, model});
        const QString probe = keyOf(key(rng));
        ASSERT_EQ(values.contains(probe), model.contains(probe));
        ASSERT_EQ(values.value(probe, PlmValue::text("—")), model.value(probe, PlmValue::text("—")));
        const auto at = values.lowerBound(probe);
        const auto expected = model.lowerBound(probe);
        ASSERT_EQ(at == values.cend(), expected == model.cend());
        if (expected != model.cend())
            ASSERT_EQ(at.key(), expected.key());
        if (step % 101 == 0)
            ASSERT_EQ(values.take(probe), model.take(probe));
    }
    EXPECT_EQ(values.size(), model.size());
    EXPECT_EQ(contents(values), model);
    EXPECT_EQ(values.keys(), model.keys());
    EXPECT_EQ(values.firstKey(), model.firstKey());
    EXPECT_EQ(values.lastKey(), model.lastKey());
    for (const auto& [copy, expected] : snapshots)
        EXPECT_EQ(contents(copy), expected);
    // Backwards as forwards.
    QList<QString> backwards;
    for (auto it = values.cend(); it != values.cbegin();)
        backwards.prepend((--it).key());
    EXPECT_EQ(backwards, model.keys());
}

// Many keys looked up at once find what a search per key finds: keys in any order, repeated,
// absent, below and above every key, across many blocks and in an empty column.
TEST(PlmVariableValues, FindsTheCellsOfAListOfKeysAsASearchPerKey)
{
    PlmVariableValues values;
    for (int n = 10; n < 2000; n += 3)
        values.insert(keyOf(n), PlmValue::number(n));
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> key(0, 2100);
    QList<QString> keys{keyOf(13), keyOf(13), keyOf(0), keyOf(9999), keyOf(1999)};
    for (int i = 0; i < 3000; ++i)
        keys.append(keyOf(key(rng)));
    const PlmKeyOrder order(keys);
    const std::vector<const PlmValue*> cells = values.cellsOf(order);
    ASSERT_EQ(qsizetype(cells.size()), keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i) {
        const auto found = values.constFind(keys[i]);
        if (found == values.cend())
            EXPECT_EQ(cells[std::size_t(i)], nullptr) << keys[i].toStdString();
        else
            EXPECT_EQ(cells[std::size_t(i)], &found.value()) << keys[i].toStdString();
    }
    EXPECT_EQ(PlmVariableValues().cellsOf(order), std::vector<const PlmValue*>(std::size_t(keys.size()), nullptr));
}

// The difference walk names every key whose cell differs, skips what two columns share, and
// equality agrees with the maps'.
TEST(PlmVariableValues, DifferencesListEveryChangedKeyInOrder)
{
    struct Case {
        const char* name;
        std::function<void(PlmVariableValues&)> change;
        QList<QString> differing; // keys whose cells differ
    };
    PlmVariableValues base;
    for (int i = 0; i < 1000; i += 2)
        base.insert(keyOf(i), PlmValue::number(i));
    const QList<Case> cases = {
        {"nothing", [](PlmVariableValues&) {}, {}},
        {"one cell changed", [](PlmVariableValues& v) { v.insert(keyOf(500), PlmValue::number(-1)); }, {keyOf(500)}},
        {"one cell added", [](PlmVariableValues& v) { v.insert(keyOf(501), PlmValue::number(1)); }, {keyOf(501)}},
        {"one cell removed", [](PlmVariableValues& v) { v.remove(keyOf(0)); }, {keyOf(0)}},
        {"a block split by many insertions",
         [](PlmVariableValues& v) {
             for (int i = 1; i < 400; i += 2)
                 v.insert(keyOf(i), PlmValue::number(i));
         },
         [] {
             QList<QString> keys;
             for (int i = 1; i < 400; i += 2)
                 keys.append(keyOf(i));
             return keys;
         }()},
        {"first and last", [](PlmVariableValues& v) {
             v.insert(QStringLiteral("a"), PlmValue::text("x"));
             v.insert(QStringLiteral("z"), PlmValue::text("y"));
         }, {QStringLiteral("a"), QStringLiteral("z")}},
    };
    for (const Case& c : cases) {
        PlmVariableValues changed = base;
        c.change(changed);
        QList<QString> named;
        qsizetype visited = 0;
        PlmVariableValues::forEachDifference(base, changed, [&](const QString& key, const PlmValue* f, const PlmValue* t) {
            ++visited;
            if (!f || !t || !(*f == *t))
                named.append(key);
        });
        EXPECT_EQ(named, c.differing) << c.name;
        // Shared blocks are skipped: a handful of blocks is read, not the whole column.
        EXPECT_LE(visited, named.size() + 4 * PlmVariableValues::blockSize) << c.name;
        EXPECT_EQ(changed == base, c.differing.isEmpty()) << c.name;
        EXPECT_EQ(contents(changed) == contents(base), c.differing.isEmpty()) << c.name;
        EXPECT_EQ(contents(base).size(), 500) << c.name; // the original is untouched
    }
}

TEST(PlmVariableValues, BuildsFromAMapAndWritesTheSameJson)
{
    const Map map{{QStringLiteral("b"), PlmValue::number(2)},
                  {QStringLiteral("a"), PlmValue::text(QStringLiteral("Nord"))},
                  {QStringLiteral("\U0001F600"), PlmValue::percentage(12.5)},
                  {QStringLiteral("\uFFFD"), PlmValue::number(-0.0)}};
    const PlmVariableValues values = map;
    EXPECT_EQ(values.toMap(), map);
    EXPECT_EQ(values, (PlmVariableValues{{QStringLiteral("a"), PlmValue::text(QStringLiteral("Nord"))},
                                         {QStringLiteral("b"), PlmValue::number(2)},
                                         {QStringLiteral("\uFFFD"), PlmValue::number(-0.0)},
                                         {QStringLiteral("\U0001F600"), PlmValue::percentage(12.5)}}));
    PlmJsonWriter fromMap;
    PlmJsonCoding<Map>::write(fromMap, map);
    PlmJsonWriter fromValues;
    PlmJsonCoding<PlmVariableValues>::write(fromValues, values);
    const QByteArray bytes = fromMap.takeBytes();
    EXPECT_EQ(fromValues.takeBytes(), bytes);
    const PlmJsonDocument read = PlmJsonDocument::parse(bytes);
    EXPECT_EQ(read.root().as<PlmVariableValues>(), values);
}
