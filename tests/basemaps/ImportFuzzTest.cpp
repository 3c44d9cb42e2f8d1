// Truncated and mutated files: every read either succeeds or fails with one of our errors,
// never crashes, hangs or throws anything else.
#include "basemaps/PlmImportBuilder.h"
#include "basemaps/ShapefileReader.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmErrors.h"
#include "support/ShapefileTestWriter.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

using namespace ShapefileTestWriter;

namespace {

class Mutator {
public:
    explicit Mutator(quint32 seed) : random_(seed) {}

    QByteArray mutate(const QByteArray& input)
    {
        QByteArray bytes = input;
        switch (pick(4)) {
        case 0: // truncate
            return bytes.left(pick(int(bytes.size())));
        case 1: // flip a few bytes
            for (int n = 1 + pick(4); n > 0 && !bytes.isEmpty(); --n)
                bytes[pick(int(bytes.size()))] = char(pick(256));
            return bytes;
        case 2: { // an awkward 32-bit value, in either byte order
            static const quint32 values[] = {0, 1, 0x7fffffff, 0xffffffff, 0x80000000, 2, 100, 0xffff};
            if (bytes.size() < 4)
                return bytes;
            const int at = pick(int(bytes.size()) - 3);
            const quint32 value = values[pick(8)];
            if (pick(2))
                qToBigEndian(value, bytes.data() + at);
            else
                qToLittleEndian(value, bytes.data() + at);
            return bytes;
        }
        default: // a slice removed from the middle
            if (bytes.size() < 2)
                return bytes;
            {
                const int at = pick(int(bytes.size()) - 1);
                return bytes.remove(at, 1 + pick(int(bytes.size()) - at));
            }
        }
    }
    int pick(int bound) { return bound <= 0 ? 0 : int(random_() % quint32(bound)); }

private:
    std::mt19937 random_;
};

// Ours: a French sentence, or the JSON parser's description.
template <typename F>
void expectSuccessOrOurError(F&& read, int iteration)
{
    try {
        read();
    } catch (const PlmError&) {
    } catch (const std::exception& e) {
        ADD_FAILURE() << "iteration " << iteration << ": unexpected " << e.what();
    }
}

QByteArray sampleShapefile()
{
    Shp shp;
    shp.addParts(5, {square(0, 0, 10), square(2, 2, 3), square(20, 0, 4)});
    shp.addParts(3, {{{0, 0}, {1, 1}, {2, 0}}, {{5, 5}, {6, 6}}});
    shp.addPoint(3, 4);
    shp.addMultiPoint({{1, 1}, {2, 2}});
    shp.addNull();
    shp.addPoint(5, 5, 11);
    return shp.bytes();
}

QByteArray sampleTable()
{
    Dbf dbf;
    dbf.fields = {{"ID", 4}, {"NOM", 12}};
    dbf.rows = {{{"1", "Ain"}}, {{"2", "Aisne"}}, {{"3", "Allier"}, true}, {{"4", "Alpes"}}, {{"5", "Ardèche"}}, {{"6", "Ariège"}}};
    return dbf.bytes();
}

const QByteArray sampleGeoJson = R"({"type":"FeatureCollection","name":"t","features":[
 {"type":"Feature","id":1,"properties":{"nom":"A","fill":"#abc","stroke-width":"2"},
  "geometry":{"type":"Polygon","coordinates":[[[0,0],[4,0],[4,4],[0,0]],[[1,1],[2,1],[2,2],[1,1]]]}},
 {"type":"Feature","properties":{"id":"B"},"geometry":{"type":"MultiPolygon","coordinates":[[[[0,0],[1,0],[1,1],[0,0]]]]}},
 {"type":"Feature","geometry":{"type":"GeometryCollection","geometries":[{"type":"Point","coordinates":[1,2,3]},
  {"type":"MultiLineString","coordinates":[[[0,0],[1,1]],[[2,2],[3,3]]]}]}},
 {"type":"Feature","geometry":null}]})";

} // namespace

TEST(ImportFuzzTest, mutatedShapefilesReadOrFailWithOurMessage)
{
    QTemporaryDir dir;
    const QString shpPath = dir.filePath(QStringLiteral("f.shp"));
    const QByteArray shp = sampleShapefile();
    {
        QFile f(dir.filePath(QStringLiteral("f.dbf")));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(sampleTable());
    }
    // The sample itself imports.
    EXPECT_EQ(PlmVectorImporter::importData(shp, shpPath).map.entities.size(), 7);
    Mutator mutator(20261207);
    for (int i = 0; i < 20000; ++i) {
        const QByteArray bytes = mutator.mutate(shp);
        expectSuccessOrOurError([&] { PlmVectorImporter::importData(bytes, shpPath); }, i);
    }
}

TEST(ImportFuzzTest, mutatedTablesReadOrFailWithOurMessage)
{
    const QByteArray dbf = sampleTable();
    Mutator mutator(7);
    for (int i = 0; i < 20000; ++i) {
        const QByteArray bytes = mutator.mutate(dbf);
        expectSuccessOrOurError([&] {
            PlmImportBuilder builder(QStringLiteral("t"), QStringLiteral("Shapefile"));
            const std::optional<QByteArray> cpg = i % 3 == 0 ? std::optional<QByteArray>("UTF-8") : std::nullopt;
            ShapefileReader::readDBF(bytes, cpg, builder);
        }, i);
    }
}

TEST(ImportFuzzTest, mutatedGeoJsonReadsOrFailsWithOurMessage)
{
    EXPECT_EQ(PlmVectorImporter::importData(sampleGeoJson, QStringLiteral("/nulle/part/t.geojson")).map.entities.size(), 5);
    Mutator mutator(42);
    for (int i = 0; i < 20000; ++i) {
        const QByteArray bytes = mutator.mutate(sampleGeoJson);
        expectSuccessOrOurError([&] { PlmVectorImporter::importData(bytes, QStringLiteral("/nulle/part/t.geojson")); }, i);
    }
}
