#include "support/PlmMapTestSupport.h"

#include "model/PlmEntityListReader.h"
#include "model/PlmJson.h"
#include "model/PlmMapCodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

using namespace PlmMapTest;

namespace {

// The map read through the JSON tree alone, as every document was before the fast road.
PlmMap treeRoad(const QByteArray& bytes)
{
    return PlmMapCodec::decode(PlmJsonDocument::parse(bytes, PlmJsonDocument::unboundedDepth));
}

// The stretch length that cuts the text from the list's first entity on into `stretches`.
qsizetype stretchBytesFor(const QByteArray& bytes, qsizetype stretches)
{
    const qsizetype firstEntity = bytes.indexOf('{', bytes.indexOf("\"entities\" : ["));
    return (bytes.size() - firstEntity) / stretches;
}

struct FastRoad {
    std::optional<PlmMap> map; // nothing: the reader gave up
    qsizetype stretches = 0;
};

// The map as the codec builds it from the fast road: the list from the reader, the rest
// through the tree.
FastRoad fastRoad(const QByteArray& bytes, qsizetype stretchBytes)
{
    const std::optional<PlmEntityListReader::Split> split
        = PlmEntityListReader::read(bytes, {"map", "entities"}, stretchBytes);
    if (!split)
        return {};
    PlmMap map = treeRoad(split->rest);
    map.entities = split->entities;
    return {map, split->stretches};
}

PlmEntityList entitiesOf(int count, const std::function<PlmEntity(int)>& entity)
{
    PlmEntityList entities;
    for (int i = 0; i < count; ++i)
        entities.append(entity(i));
    return entities;
}

QString idOf(int i)
{
    return QStringLiteral("e%1").arg(i);
}

PlmVectorPath everyCommandPath(int i)
{
    PlmVectorPath path;
    path.evenOdd = i % 2 == 1;
    path.commands = {PlmPathCommand::move({0.5 * i, -1}), PlmPathCommand::line({2, 0}),
                     PlmPathCommand::cubic({1, 2}, {3, 4}, {5, 6.0 + i}),
                     PlmPathCommand::arc({1, 1}, {2, 0}, {0, 1}, -0.5, 3.14), PlmPathCommand::close()};
    return path;
}

PlmMap svgSymbol()
{
    return PlmMap(QStringLiteral("symbole"), PlmEntityList{pathEntity(QStringLiteral("s"))});
}

// Every kind of entity the writer writes, a dozen of each in their own document: enough for
// seven stretches of one entity or more each.
const int perDocument = 12;

const struct {
    const char* name;
    std::function<PlmEntity(int)> entity;
} kinds[] = {
    {"points", [](int i) { return pointEntity(idOf(i), {i * 1.5 - 7, -i / 3.0}); }},
    {"polylines", [](int i) {
         return PlmEntity(idOf(i), QString(), PlmGeometry::polyline(square(i, -i, 2).mid(0, 2 + i % 3)), plainStyle());
     }},
    {"polygons with and without holes", [](int i) {
         PlmPolygon polygon{square(i, 0, 10), {}};
         if (i % 2)
             polygon.holes = {square(i + 2, 2, 2), square(i + 5, 5, 1)};
         return PlmEntity(idOf(i), idOf(i), PlmGeometry::polygon(polygon), filledStyle());
     }},
    {"multipolygons", [](int i) {
         const QList<PlmPolygon> polygons{PlmPolygon{square(0, i, 10), {square(2, i + 2, 2)}},
                                          PlmPolygon{square(20, i, 3), {}}};
         return PlmEntity(idOf(i), QStringLiteral("Îles"), PlmGeometry::multipolygon(polygons.mid(0, 1 + i % 2)),
                          filledStyle());
     }},
    {"paths with every command", [](int i) { return pathEntity(idOf(i), everyCommandPath(i)); }},
    {"texts", [](int i) {
         const QString anchors[] = {QStringLiteral("start"), QStringLiteral("middle"), QStringLiteral("end")};
         const PlmText text{QStringLiteral("Étiquette %1").arg(i), i % 2 ? QStringLiteral("Helvetica") : QStringLiteral("Times-Roman"),
                            9.5 + i, PlmTransform{1, 0.5, -0.5, 1, 100.25 * i, 200}, anchors[i % 3]};
         return PlmEntity(idOf(i), QStringLiteral("texte"), PlmGeometry::text(text), plainStyle());
     }},
    {"groups with nested members", [](int i) {
         return groupEntity(idOf(i), {pointEntity(QStringLiteral("p")), nestedGroups(1 + i % 4, polygonEntity(QStringLiteral("q"), i)),
                                      pathEntity(QStringLiteral("c"))});
     }},
    {"point symbols", [](int i) {
         PlmEntity entity = pointEntity(idOf(i), {double(i), 4});
         if (i % 3 == 2) {
             entity.pointSymbol = PlmPointSymbol(std::nullopt, svgSymbol());
         } else {
             entity.pointSymbol = PlmPointSymbol(QStringLiteral("star.fill"), std::nullopt);
             if (i % 3 == 1)
                 entity.pointSymbol->colorMode = i % 2 ? PlmPointSymbolColorMode::fixed : PlmPointSymbolColorMode::automatic;
         }
         return entity;
     }},
    {"clip paths", [](int i) {
         PlmEntity entity = polygonEntity(idOf(i), i);
         entity.clipPaths = QList<PlmVectorPath>{closedSquarePath(), everyCommandPath(i)}.mid(0, i % 3);
         return entity;
     }},
    {"hidden and locked", [](int i) {
         const std::optional<bool> flags[] = {std::nullopt, true, false};
         PlmEntity entity = pointEntity(idOf(i));
         entity.isHidden = flags[i % 3];
         entity.isLocked = flags[(i / 3) % 3];
         return entity;
     }},
    {"attributes", [](int i) {
         PlmEntity entity = polygonEntity(idOf(i), i);
         if (i % 4 > 0)
             entity.attributes.insert(QStringLiteral("INSEE"), QString::number(75000 + i));
         if (i % 4 > 1)
             entity.attributes.insert(QStringLiteral("nom"), QString());
         if (i % 4 > 2)
             entity.attributes.insert(QStringLiteral("population %1").arg(i), QStringLiteral("2 165 423"));
         return entity;
     }},
    {"styles", [](int i) {
         PlmEntity entity = polygonEntity(idOf(i), i);
         entity.style = PlmStyle(PlmColor{0.1, 0.2, 0.3, 0.75}, i % 2 ? std::optional<PlmColor>() : PlmColor{1, 0.5, 0, 1},
                                 0.25 * i, 1 + i);
         if (i % 3 > 0)
             entity.style.dash = QList<double>{4, 2, 0.5}.mid(0, i % 4);
         if (i % 3 > 1) {
             entity.style.lineCap = i % 3;
             entity.style.lineJoin = (i + 1) % 3;
         }
         return entity;
     }},
    {"escapes and non-ASCII in strings", [](int i) {
         const QString odd = QStringLiteral("« %1 » \"cité\" \\ / \t\n\r\b\f \x01\x1f é ẞ \u2028 ").arg(i)
             + QString::fromUtf8("\xF0\x9F\x97\xBA");
         PlmEntity entity = pointEntity(QStringLiteral("é\"%1\\").arg(i));
         entity.name = odd;
         entity.attributes = {{QStringLiteral("clé \"%1\"").arg(i % 3), odd}, {QStringLiteral("\\\n"), QString()}};
         return entity;
     }},
    {"numbers with exponents", [](int i) {
         const double values[] = {1e-300, 1e300, -2.5e-8, 6.02214076e23, 5e-324, std::numeric_limits<double>::max(),
                                  0.1 + 0.2, 123456789012345678901.0, -0.0, 1e21, 1e-7, 9007199254740993.0};
         PlmEntity entity(idOf(i), QString(),
                          PlmGeometry::polyline({{values[i % 12], values[(i + 5) % 12]}, {-values[(i + 1) % 12], 1e22}}),
                          plainStyle());
         entity.style.lineWidth = values[(i + 7) % 12] > 0 && std::isfinite(values[(i + 7) % 12]) ? values[(i + 7) % 12] : 3e-5;
         return entity;
     }},
    {"every kind together", [](int i) {
         const PlmEntityList rich = everyKindMap().entities;
         PlmEntity entity = rich[i % rich.size()];
         entity.id = idOf(i);
         return entity;
     }},
};

} // namespace

// Documents of every kind, written by our own writer, take the fast road however many
// stretches they are cut into, and give the tree road's map.
TEST(PlmEntityListReaderTest, everyKindTakesTheFastRoadInAnyNumberOfStretches)
{
    const qsizetype many = 256;
    for (const auto& kind : kinds) {
        const PlmMap map(QStringLiteral("Fond"), entitiesOf(perDocument, kind.entity), {{"source.name", "x.geojson"}});
        const QByteArray bytes = PlmMapCodec::encode(map);
        const PlmMap tree = treeRoad(bytes);
        for (const qsizetype stretches : {qsizetype(1), qsizetype(2), qsizetype(3), qsizetype(7), many}) {
            const FastRoad fast = fastRoad(bytes, stretchBytesFor(bytes, stretches));
            EXPECT_TRUE(fast.map.has_value()) << kind.name << ", " << stretches << " stretches";
            if (fast.map) {
                EXPECT_EQ(*fast.map, tree) << kind.name << ", " << stretches << " stretches";
            }
            // As many as asked for; many give each entity its own.
            EXPECT_EQ(fast.stretches, std::min<qsizetype>(stretches, perDocument)) << kind.name << ", " << stretches;
        }
    }

    const QByteArray empty = PlmMapCodec::encode(mapOf({}));
    const FastRoad fast = fastRoad(empty, 1);
    ASSERT_TRUE(fast.map.has_value());
    EXPECT_EQ(*fast.map, treeRoad(empty));
    EXPECT_EQ(fast.stretches, 1);
}

// The cuts between stretches are found where an entity starts; wherever they are first aimed
// (inside an entity, on the line break before one, just before or just after it), the
// stretches meet exactly and the map is the tree road's. Lengthening the first entity one byte
// at a time moves the first cut back over the entities after it, byte by byte, for longer than
// the longest of them: across at least one start, landing on every byte around it. (The first
// entity grows over some cuts, which then find the same start as the one before.)
TEST(PlmEntityListReaderTest, stretchesMeetWhereverTheCutsFall)
{
    PlmEntityList entities;
    for (const auto& kind : kinds)
        entities.append(kind.entity(int(entities.size())));
    const PlmMap map(QStringLiteral("Fond"), entities);
    qsizetype longest = 0;
    for (const PlmEntity& entity : entities)
        longest = std::max(longest, PlmMapCodec::encode(mapOf({entity})).size());

    for (const qsizetype stretches : {2, 3, 7}) {
        int failures = 0;
        for (qsizetype padding = 0; padding < 2 * longest && failures < 5; ++padding) {
            PlmMap padded = map;
            padded.entities.edit(0).name = QString(padding, QLatin1Char('x'));
            const QByteArray bytes = PlmMapCodec::encode(padded);
            const FastRoad fast = fastRoad(bytes, stretchBytesFor(bytes, stretches));
            const bool same = fast.map && *fast.map == treeRoad(bytes) && fast.stretches > 1;
            EXPECT_TRUE(same) << stretches << " stretches, first entity padded by " << padding << ": "
                              << (fast.map ? "another map or count" : "no fast road");
            failures += same ? 0 : 1;
        }
    }
}

// However short the length, and however many entities, a list is cut into 256 stretches at
// most, and they still meet.
TEST(PlmEntityListReaderTest, stretchesStopAtTheCap)
{
    const qsizetype cap = 256;
    const qsizetype count = 4 * cap;
    const PlmMap map(QStringLiteral("Fond"), entitiesOf(int(count), kinds[0].entity));
    const QByteArray bytes = PlmMapCodec::encode(map);
    const FastRoad fast = fastRoad(bytes, stretchBytesFor(bytes, count));
    ASSERT_TRUE(fast.map.has_value());
    EXPECT_EQ(*fast.map, treeRoad(bytes));
    EXPECT_EQ(fast.stretches, cap);
}
