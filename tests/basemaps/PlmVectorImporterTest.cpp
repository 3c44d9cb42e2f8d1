#include "basemaps/PlmImportBuilder.h"
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmErrors.h"
#include "model/PlmJsonDocument.h"
#include "model/PlmMapCodec.h"
#include "support/ScratchFilesTest.h"
#include "support/ShapefileTestWriter.h"
#include "support/TableReaderTestSupport.h"

#include <gtest/gtest.h>

namespace {

class VectorImporterTest : public ScratchFilesTest {
protected:
    QString failure(const QString& name, const QByteArray& bytes)
    {
        return errorOf([&] { PlmVectorImporter::importMap(write(name, bytes)); });
    }
};

PlmMap smallMap()
{
    PlmMap map;
    map.name = QStringLiteral("Îles");
    map.entities.append(PlmEntity(QStringLiteral("a"), QStringLiteral("A"), PlmGeometry::point({1, 2}), PlmStyle()));
    return map;
}

const QByteArray point = R"({"type":"Point","coordinates":[2.35,48.85]})";

} // namespace

TEST_F(VectorImporterTest, aBaseMapDocumentUnderAnyNameIsReturnedUnchanged)
{
    const PlmMap map = smallMap();
    const QByteArray bytes = PlmMapCodec::encode(map);
    const PlmImportResult result = PlmVectorImporter::importMap(write(QStringLiteral("fond.json"), bytes));
    EXPECT_TRUE(result.isNativeDocument);
    EXPECT_EQ(result.map, map);
    EXPECT_TRUE(result.unconverted.isEmpty());
    EXPECT_FALSE(result.map.metadata.contains(QStringLiteral("source.filename")));
}

TEST_F(VectorImporterTest, aCleanImportKeepsTheFileAndWritesEmptyCounts)
{
    const PlmImportResult result = PlmVectorImporter::importMap(write(QStringLiteral("Paris.geojson"), point));
    EXPECT_FALSE(result.isNativeDocument);
    EXPECT_EQ(result.map.name, QStringLiteral("Paris"));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("source.filename")), QStringLiteral("Paris.geojson"));
    ASSERT_TRUE(result.map.metadata.contains(QStringLiteral("import.unconverted")));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("import.unconverted")), QString());
    ASSERT_TRUE(result.map.sources);
    EXPECT_EQ(*result.map.sources, (QList<PlmSource>{{QStringLiteral("Paris.geojson"), point}}));
    EXPECT_EQ(result.summary(), QStringLiteral("1 entité importée · 0 élément non converti"));
    // The result is a valid base map document.
    EXPECT_EQ(PlmMapCodec::decode(PlmMapCodec::encode(result.map)), result.map);
}

TEST_F(VectorImporterTest, recognitionGoesByContentNotByExtension)
{
    EXPECT_EQ(PlmVectorImporter::importMap(write(QStringLiteral("sans-extension"), point)).map.name,
              QStringLiteral("sans-extension"));
    ShapefileTestWriter::Shp shp;
    shp.addPoint(1, 2);
    EXPECT_EQ(PlmVectorImporter::importMap(write(QStringLiteral("carte.txt"), shp.bytes(1)))
                  .map.metadata.value(QStringLiteral("source.format")),
              QStringLiteral("Shapefile"));
    // The Shapefile code decides even when the rest is not a Shapefile.
    EXPECT_EQ(failure(QStringLiteral("x.json"), QByteArray("\x00\x00\x27\x0a{}", 6)), QStringLiteral("Le fichier « x.json » ne peut pas être importé : en-tête Shapefile invalide."));
    EXPECT_EQ(failure(QStringLiteral("t.bin"), QByteArray("\x00\x00\x27", 3)), QStringLiteral("Format vectoriel non reconnu : t.bin."));
}

TEST_F(VectorImporterTest, jsonThatIsNotGeoJsonIsNotRecognised)
{
    EXPECT_EQ(failure(QStringLiteral("topo.json"), R"({"type":"Topology","objects":{}})"),
              QStringLiteral("Format vectoriel non reconnu : topo.json."));
    EXPECT_EQ(failure(QStringLiteral("f.json"), R"({"type":"feature","geometry":null})"),
              QStringLiteral("Format vectoriel non reconnu : f.json."));
    EXPECT_EQ(failure(QStringLiteral("vide.geojson"), ""), QStringLiteral("Format vectoriel non reconnu : vide.geojson."));
}

// The one parse of the text serves both tests: nesting beyond the GeoJSON reader's bound is
// still read as a base-map document, never as GeoJSON.
TEST_F(VectorImporterTest, deepNestingIsOnlyEverReadAsABaseMapDocument)
{
    PlmMap map = smallMap();
    PlmEntity group(QStringLiteral("g0"), QStringLiteral("G"), PlmGeometry::group({map.entities.first()}), PlmStyle());
    for (int level = 1; level < 63; ++level)
        group = PlmEntity(QStringLiteral("g%1").arg(level), QStringLiteral("G"), PlmGeometry::group({group}), PlmStyle());
    map.entities = {group};
    const QByteArray native = PlmMapCodec::encode(map);
    ASSERT_GT(PlmJsonDocument::parse(native, PlmJsonDocument::unboundedDepth).depth(), 256);
    const PlmImportResult result = PlmVectorImporter::importMap(write(QStringLiteral("profond.json"), native));
    EXPECT_TRUE(result.isNativeDocument);
    EXPECT_EQ(result.map, map);

    const QByteArray deepGeoJson = R"({"type":"Feature","geometry":null,"properties":{"p":)" + QByteArray(300, '[')
                                 + QByteArray(300, ']') + "}}";
    EXPECT_EQ(failure(QStringLiteral("profond.geojson"), deepGeoJson),
              QStringLiteral("Format vectoriel non reconnu : profond.geojson."));
}

TEST_F(VectorImporterTest, unrecognisedPelmoraFilesAreUnknownFormatsLikeAnyOther)
{
    EXPECT_EQ(failure(QStringLiteral("b.eps"), "%!PS-Adobe-3.0 EPSF-3.0\n"),
              QStringLiteral("Le fichier « b.eps » ne peut pas être importé : aucun tracé ou texte EPS convertible. "
                             "Source non exécutée."));
    // The older Pelmora files are recognised by their content: a name alone earns nothing.
    for (const QString& name : {QStringLiteral("FRANCE.NUM"), QStringLiteral("france.hab"), QStringLiteral("dep.tab")})
        EXPECT_EQ(failure(name, "\x01\x02"), QStringLiteral("Format vectoriel non reconnu : ") + name + QLatin1Char('.'));
}

TEST_F(VectorImporterTest, missingAndOversizedFilesAreRefusedBeforeReading)
{
    EXPECT_EQ(errorOf([&] { PlmVectorImporter::importMap(dir.filePath(QStringLiteral("absent.geojson"))); }),
              QStringLiteral("Le fichier « absent.geojson » ne peut pas être lu."));
}

TEST_F(VectorImporterTest, theFileIsKeptOnceAsASource)
{
    PlmImportResult result;
    result.map.sources = QList<PlmSource>{{QStringLiteral("a.shp"), QByteArray("same")}};
    PlmVectorImporter::finish(result, QStringLiteral("a.shp"), QByteArray("same"));
    EXPECT_EQ(result.map.sources->size(), 1);
    PlmVectorImporter::finish(result, QStringLiteral("a.shp"), QByteArray("other"));
    EXPECT_EQ(result.map.sources->size(), 2);
    EXPECT_EQ(result.map.sources->last().data, QByteArray("other"));
}

TEST_F(VectorImporterTest, anInvalidFinishedMapEndsTheImport)
{
    // A line of one point passes the reader but not the map's validation.
    EXPECT_THROW(PlmVectorImporter::importMap(write(QStringLiteral("l.geojson"), R"({"type":"LineString","coordinates":[[0,0]]})")),
                 PlmMapError);
}

TEST_F(VectorImporterTest, duplicateIdsAreSuffixedAndKept)
{
    const PlmImportResult result = PlmVectorImporter::importMap(write(QStringLiteral("d.geojson"), R"({"type":"FeatureCollection","features":[
        {"type":"Feature","id":"A","geometry":{"type":"Point","coordinates":[0,0]}},
        {"type":"Feature","id":"A","geometry":{"type":"Point","coordinates":[1,1]}},
        {"type":"Feature","id":"A:2","geometry":{"type":"Point","coordinates":[2,2]}}]})"));
    ASSERT_EQ(result.map.entities.size(), 3);
    EXPECT_EQ(result.map.entities.at(1).id, QStringLiteral("A:2"));
    EXPECT_EQ(result.map.entities.at(1).name, QStringLiteral("A"));
    EXPECT_EQ(result.map.entities.at(1).attributes.value(QStringLiteral("source.id")), QStringLiteral("A"));
    EXPECT_EQ(result.map.entities.at(2).id, QStringLiteral("A:2:2"));
    EXPECT_EQ(result.unconverted.value(QStringLiteral("identifiant dupliqué, conservé en attribut")), 2);
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("import.unconverted")),
              QStringLiteral("identifiant dupliqué, conservé en attribut: 2"));
}

TEST(ImportBuilderTest, idsStayUniqueThroughManyDuplicates)
{
    PlmImportBuilder builder(QStringLiteral("m"), QStringLiteral("GeoJSON"));
    builder.addEntity(PlmGeometry::point({0, 0}), QStringLiteral("x:3"), std::nullopt, PlmStyle(), {});
    for (int i = 0; i < 4; ++i)
        builder.addEntity(PlmGeometry::point({0, 0}), QStringLiteral("x"), std::nullopt, PlmStyle(), {});
    builder.addEntity(PlmGeometry::point({0, 0}), QString(), std::nullopt, PlmStyle(), {});
    QStringList ids;
    for (const PlmEntity& e : builder.entities)
        ids << e.id;
    EXPECT_EQ(ids, (QStringList{QStringLiteral("x:3"), QStringLiteral("x"), QStringLiteral("x:2"), QStringLiteral("x:4"),
                                QStringLiteral("x:5"), QStringLiteral("import:6")}));
    EXPECT_EQ(builder.metadata, (QMap<QString, QString>{{QStringLiteral("source.format"), QStringLiteral("GeoJSON")}}));
}

TEST(ImportResultTest, theSummaryListsEightKindsAtMost)
{
    PlmImportResult result;
    result.map.entities.append(PlmEntity(QStringLiteral("a"), {}, PlmGeometry::point({0, 0}), PlmStyle()));
    for (int k = 1; k <= 9; ++k)
        result.unconverted.insert(QStringLiteral("sorte %1").arg(k), k);
    EXPECT_EQ(result.summary(),
              QStringLiteral("1 entité importée · 45 éléments non convertis\n"
                             "1 × sorte 1, 2 × sorte 2, 3 × sorte 3, 4 × sorte 4, 5 × sorte 5, 6 × sorte 6, 7 × sorte 7, "
                             "8 × sorte 8, … (bilan complet conservé dans le document)\n"
                             "Sources originales conservées dans le document."));
    result.unconverted.remove(QStringLiteral("sorte 9"));
    EXPECT_FALSE(result.summary().contains(QStringLiteral("…")));
    EXPECT_EQ(PlmImportResult::unconvertedText({{QStringLiteral("b"), 2}, {QStringLiteral("a"), 1}}), QStringLiteral("a: 1; b: 2"));
}

TEST(VectorImporterHelpersTest, numbersFollowTheDecimalPattern)
{
    EXPECT_EQ(PlmVectorImporter::numbers(QStringLiteral("M10,-2.5e1 .5+3. 1e999 x")), (QList<double>{10, -25, 0.5, 3}));
}

TEST(VectorImporterHelpersTest, jsonTextIsCompactWithSortedKeys)
{
    const PlmJsonDocument doc = PlmJsonDocument::parse(R"([12, -0.25, 1e21, "é\n", null, {"b":1,"a":[true]}])");
    QStringList texts;
    for (PlmJsonValue v : doc.root().elements())
        texts << PlmVectorImporter::jsonText(v);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("12"), QStringLiteral("-0.25"), QStringLiteral("1e+21"), QStringLiteral("é\n"),
                                  QStringLiteral("null"), QStringLiteral(R"({"a":[true],"b":1})")}));
}

TEST(VectorImporterFinishTest, fontsTheSystemLacksAreCountedOncePerName)
{
    auto textEntity = [](const QString& id, const QString& font) {
        PlmText text;
        text.text = QStringLiteral("Lyon");
        text.fontName = font;
        return PlmEntity(id, id, PlmGeometry::text(text), PlmStyle());
    };
    PlmImportResult result;
    result.map.name = QStringLiteral("m");
    result.map.entities.append(textEntity(QStringLiteral("a"), QStringLiteral("Police Introuvable")));
    result.map.entities.append(textEntity(QStringLiteral("b"), QStringLiteral("DejaVu Sans")));
    // A group's texts count too, and a name met twice is counted once.
    result.map.entities.append(PlmEntity(QStringLiteral("g"), QStringLiteral("g"),
                                         PlmGeometry::group({textEntity(QStringLiteral("c"), QStringLiteral("Police Introuvable"))}),
                                         PlmStyle()));
    PlmVectorImporter::finish(result, QStringLiteral("m.svg"), QByteArray("<svg/>"));
    EXPECT_EQ(result.unconverted, (QMap<QString, int>{{QStringLiteral("police substituée : Police Introuvable"), 1}}));
    EXPECT_EQ(result.map.metadata.value(QStringLiteral("import.unconverted")),
              QStringLiteral("police substituée : Police Introuvable: 1"));
}
