#include "BenchMaps.h"

#include "model/PlmEntity.h"

#include <QFile>

#include <cmath>
#include <cstdint>

namespace {

// A small generator of our own: std distributions differ between standard libraries.
class Random {
public:
    explicit Random(uint64_t seed) : m_state(seed) {}
    uint64_t next()
    {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        uint64_t x = m_state;
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdull;
        x ^= x >> 33;
        return x;
    }
    double unit() { return double(next() >> 11) * (1.0 / 9007199254740992.0); }
    int below(int n) { return int(next() % uint64_t(n)); }

private:
    uint64_t m_state;
};

constexpr double kCell = 1000;
constexpr double kOriginX = 100000;
constexpr double kOriginY = 6000000;

QList<PlmPoint> ring(Random& random, double cx, double cy, double radius, int count)
{
    QList<PlmPoint> points;
    points.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double angle = 2 * M_PI * double(i) / double(count);
        const double r = radius * (0.75 + 0.25 * random.unit());
        points.append({cx + r * std::cos(angle), cy + r * std::sin(angle)});
    }
    return points;
}

PlmStyle styleFor(Random& random)
{
    return PlmStyle(PlmColor{0.2, 0.2, 0.2, 1},
                    PlmColor{random.unit(), random.unit(), random.unit(), 1}, 0.5, 2);
}

PlmPolygon polygonAt(Random& random, double cx, double cy, double radius, int count, bool hole)
{
    PlmPolygon polygon{ring(random, cx, cy, radius, count), {}};
    if (hole)
        polygon.holes.append(ring(random, cx, cy, radius * 0.3, 12));
    return polygon;
}

} // namespace

namespace BenchMaps {

PlmMap makeLargeMap(int entityCount)
{
    Random random(20240611);
    PlmEntityList entities;
    entities.reserve(entityCount);
    const int columns = int(std::ceil(std::sqrt(double(entityCount) * 1.15)));
    for (int i = 0; i < entityCount; ++i) {
        const double cx = kOriginX + (i % columns + 0.5) * kCell;
        const double cy = kOriginY + (i / columns + 0.5) * kCell;
        const QString id = QStringLiteral("E%1").arg(i, 5, 10, QLatin1Char('0'));
        PlmGeometry geometry;
        if (i % 50 == 49) {
            geometry = PlmGeometry::text(PlmText{QStringLiteral("Commune %1").arg(i), QStringLiteral("Helvetica"), 10,
                                                 PlmTransform::translation(cx, cy), QStringLiteral("middle")});
        } else if (i % 100 == 0) {
            PlmEntityList members;
            for (int m = 0; m < 3; ++m) {
                const double ox = (m - 1) * kCell * 0.3;
                members.append(PlmEntity(id + QStringLiteral("-%1").arg(m), QString(),
                                         PlmGeometry::polygon(polygonAt(random, cx + ox, cy, kCell * 0.14, 18, false)),
                                         styleFor(random)));
            }
            geometry = PlmGeometry::group(members);
        } else if (i % 7 == 3) {
            QList<PlmPolygon> islands;
            const int count = 2 + random.below(2);
            for (int k = 0; k < count; ++k)
                islands.append(polygonAt(random, cx + (k - 1) * kCell * 0.3, cy, kCell * 0.14, 24, false));
            geometry = PlmGeometry::multipolygon(islands);
        } else {
            geometry = PlmGeometry::polygon(polygonAt(random, cx, cy, kCell * 0.45, 44 + random.below(24),
                                                      random.below(5) == 0));
        }
        entities.append(PlmEntity(id, QStringLiteral("Commune n° %1").arg(i), geometry, styleFor(random),
                                  {{QStringLiteral("code"), QString::number(10000 + i)},
                                   {QStringLiteral("nom"), QStringLiteral("Commune n° %1").arg(i)}}));
    }
    PlmMap map(QStringLiteral("Grande carte"), entities,
               {{QStringLiteral("source.name"), QStringLiteral("généré")}});
    return map;
}

qsizetype pointCount(const PlmMap& map)
{
    qsizetype count = 0;
    for (const PlmEntity& leaf : PlmEntity::leafEntities(map.entities))
        if (leaf.geometry.kind() != PlmGeometry::Kind::text)
            count += leaf.geometry.extentPoints().size();
    return count;
}

} // namespace BenchMaps

namespace {

class NestedMapWriter {
public:
    explicit NestedMapWriter(QFile& file) : m_file(file) {}

    bool write(int topGroups)
    {
        put("{\"version\":1,\"map\":{\"name\":\"Imbrications\",\"entities\":[");
        for (int top = 0; top < topGroups; ++top) {
            if (top > 0)
                put(",");
            group(1, QByteArray::number(top));
        }
        put("],\"metadata\":{}}}");
        flush();
        return m_ok;
    }

private:
    static constexpr int kDepth = 16;
    static constexpr int kBranchingLevels = 11;
    static constexpr const char* kStyle = "\"style\":{\"fill\":{\"alpha\":1,\"blue\":0.6,\"green\":0.8,\"red\":0.9},"
                                          "\"lineWidth\":1,\"pointRadius\":3,"
                                          "\"stroke\":{\"alpha\":1,\"blue\":0,\"green\":0,\"red\":0}}";

    void group(int level, const QByteArray& path)
    {
        put("{\"id\":\"G" + path + "\",\"name\":\"Groupe " + path + "\",\"attributes\":{},\"geometry\":{\"group\":{\"_0\":[");
        if (level == kDepth) {
            leaf();
        } else {
            const int fan = level <= kBranchingLevels ? 2 : 1;
            for (int i = 0; i < fan; ++i) {
                if (i > 0)
                    put(",");
                group(level + 1, path + '.' + QByteArray::number(i));
            }
        }
        put("]}},");
        put(kStyle);
        put("}");
    }

    void leaf()
    {
        const int n = ++m_leaves;
        const double x = (n % 200) * 2.0;
        const double y = (n / 200) * 2.0;
        const auto point = [](double px, double py) {
            return "{\"x\":" + QByteArray::number(px, 'f', 1) + ",\"y\":" + QByteArray::number(py, 'f', 1) + "}";
        };
        const QByteArray number = QByteArray::number(n);
        put("{\"id\":\"L" + number + "\",\"name\":\"Feuille " + number
            + "\",\"attributes\":{},\"geometry\":{\"polygon\":{\"_0\":{\"exterior\":[" + point(x, y) + ","
            + point(x + 1, y) + "," + point(x + 1, y + 1) + "," + point(x, y + 1) + "],\"holes\":[]}}},");
        put(kStyle);
        put("}");
    }

    void put(const QByteArray& text)
    {
        m_buffer += text;
        if (m_buffer.size() > (1 << 20))
            flush();
    }
    void flush()
    {
        m_ok = m_ok && m_file.write(m_buffer) == m_buffer.size();
        m_buffer.clear();
    }

    QFile& m_file;
    QByteArray m_buffer;
    int m_leaves = 0;
    bool m_ok = true;
};

} // namespace

namespace BenchMaps {

bool writeNestedMapFile(const QString& path, int topGroups)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return NestedMapWriter(file).write(topGroups) && file.flush();
}

} // namespace BenchMaps
