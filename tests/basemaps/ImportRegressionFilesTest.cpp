// Small files that reproduce what files from other programs once did to the readers
// (tests/fixtures/regressions, made by make.py there). Each row imports one file through
// the import entry and checks the whole outcome; every row also checks that a refusal names
// the file.
#include "basemaps/PlmVectorImporter.h"
#include "model/PlmErrors.h"
#include "model/PlmEntity.h"
#include "model/PlmGeometry.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(PELMORA_TEST_DATA_DIR "/regressions/") + name;
}

struct Outcome {
    std::optional<PlmImportResult> result;
    QString error;
};

Outcome importFixture(const QString& path)
{
    Outcome outcome;
    try {
        outcome.result = PlmVectorImporter::importMap(path);
    } catch (const PlmError& error) {
        outcome.error = error.message();
    }
    return outcome;
}

// Polygons and holes of every entity, as "polygons+holes" per entity.
QStringList polygonShapes(const PlmMap& map)
{
    QStringList shapes;
    for (const PlmEntity& entity : map.entities) {
        QList<PlmPolygon> polygons;
        if (const PlmPolygon* polygon = entity.geometry.asPolygon())
            polygons << *polygon;
        else if (const QList<PlmPolygon>* many = entity.geometry.asMultipolygon())
            polygons = *many;
        qsizetype holes = 0;
        for (const PlmPolygon& p : polygons)
            holes += p.holes.size();
        shapes << QStringLiteral("%1+%2").arg(polygons.size()).arg(holes);
    }
    return shapes;
}

QStringList attributeValues(const PlmMap& map, const QString& key)
{
    QStringList values;
    for (const PlmEntity& entity : map.entities)
        values << entity.attributes.value(key);
    return values;
}

QList<double> lineWidths(const PlmMap& map)
{
    QList<double> widths;
    for (const PlmEntity& entity : map.entities)
        widths << entity.style.lineWidth;
    return widths;
}

// A row either checks the imported result or names the refusal's whole sentence.
struct Row {
    const char* name;
    const char* file;
    std::function<void(const PlmImportResult&)> check;
    QString refusal = {};
};

const std::vector<Row>& rows()
{
    static const std::vector<Row> table = {
        {"finiteCoordinatesWiderThanTheLargestDoubleNestWithoutOverflow", "huge-span-rings.shp",
         [](const PlmImportResult& r) { EXPECT_EQ(polygonShapes(r.map), QStringList{QStringLiteral("2+0")}); }},
        {"recordsSeparatedByUnusedBytesAreReadAtTheirIndexedOffsets", "gaps-between-records.shp",
         [](const PlmImportResult& r) {
             QList<PlmPoint> points;
             for (const PlmEntity& e : r.map.entities)
                 points << *e.geometry.asPoint();
             EXPECT_EQ(points, (QList<PlmPoint>{{1, 2}, {3, 4}, {5, 6}}));
         }},
        {"aClockwiseRingStartingInsideAnotherStaysAnIsland", "island-beside-ring.shp",
         [](const PlmImportResult& r) { EXPECT_EQ(polygonShapes(r.map), QStringList{QStringLiteral("2+1")}); }},
        {"undeclaredTextThatIsUtf8ReadsAsUtf8", "undeclared-utf8.shp",
         [](const PlmImportResult& r) {
             EXPECT_EQ(attributeValues(r.map, QStringLiteral("NOM")),
                       (QStringList{QStringLiteral("Québec"), QStringLiteral("Montréal")}));
             EXPECT_EQ(r.unconverted.value(QStringLiteral("encodage DBF non déclaré, lecture UTF-8")), 1);
         }},
        {"latin1DeclaredByTheCodePageFileIsNoGuess", "declared-latin1.shp",
         [](const PlmImportResult& r) {
             EXPECT_EQ(attributeValues(r.map, QStringLiteral("NOM")), QStringList{QStringLiteral("Québec")});
             EXPECT_EQ(r.unconverted, (QMap<QString, int>{}));
         }},
        {"aShapefileWorldInDegreesGetsOutlinesOfAboutOnePixel", "world-degrees.shp",
         [](const PlmImportResult& r) { EXPECT_EQ(lineWidths(r.map), QList<double>{0.36}); }},
        {"aGeoJsonWorldGetsOutlinesOfAboutOnePixelButKeepsAWrittenWidth", "world-degrees.geojson",
         [](const PlmImportResult& r) { EXPECT_EQ(lineWidths(r.map), (QList<double>{0.36, 0.5, 0.008})); }},
        {"aDoublingTreeOfReferencesIsRefusedBeforeItIsCopied", "use-doubling-17.svg",
         {}, QStringLiteral("Le fichier « use-doubling-17.svg » ne peut pas être importé : "
                            "SVG trop volumineux ou trop imbriqué.")},
        {"percentagesResolveAgainstTheViewport", "r-background-rect.svg",
         [](const PlmImportResult& r) {
             ASSERT_EQ(r.map.entities.size(), 3);
             // The rectangle covers the viewBox; the circle sits at the centre top quarter with
             // a radius of a tenth of the normalised diagonal.
             const PlmVectorPath rect = *r.map.entities.at(0).geometry.asPath();
             EXPECT_EQ(rect.commands.at(2).asLine()->point, (PlmPoint{504, -360}));
             const PlmVectorPath circle = *r.map.entities.at(1).geometry.asPath();
             const PlmPoint start = circle.commands.first().asMove()->point;
             const double radius = std::hypot(504.0, 360.0) / std::sqrt(2.0) / 10;
             EXPECT_NEAR(start.x, 252 + radius, 1e-9);
             EXPECT_NEAR(start.y, -90, 1e-9);
         }},
        {"stackOperatorsActOnTheOperands", "stack-operators.eps",
         [](const PlmImportResult& r) {
             ASSERT_EQ(r.map.entities.size(), 1);
             const PlmEntity& e = r.map.entities.at(0);
             EXPECT_EQ(e.style.fill, (PlmColor{0.5, 0.5, 0.5, 1}));
             EXPECT_EQ(e.geometry.asPath()->commands.first().asMove()->point, (PlmPoint{10, 20}));
         }},
        {"aRefusedPostScriptNamesTheOperatorAtFault", "unsupported-operator.eps",
         {}, QStringLiteral("Le fichier « unsupported-operator.eps » ne peut pas être importé : "
                            "l’opérateur « sqrt » n’est pas pris en charge.")},
        {"aPdfBasedIllustratorFileSaysSo", "pdf-based.ai",
         {}, QStringLiteral("Le fichier « pdf-based.ai » est un document Illustrator enregistré au "
                            "format PDF, qui n’est pas lu. Enregistrez-le en EPS ou en SVG pour "
                            "l’importer.")},
        {"anIndexChosenAloneAsksForTheShapefile", "gaps-between-records.shx",
         {}, QStringLiteral("Le fichier « gaps-between-records.shx » accompagne un Shapefile et ne "
                            "se lit pas seul. Choisissez le fichier .shp de ce fond.")},
        {"aTableChosenAloneAsksForTheShapefile", "undeclared-utf8.dbf",
         {}, QStringLiteral("Le fichier « undeclared-utf8.dbf » accompagne un Shapefile et ne se "
                            "lit pas seul. Choisissez le fichier .shp de ce fond.")},
        {"geoJsonColoursBeyondTheRangeAreClampedAsInSvg", "colour-out-of-range.geojson",
         [](const PlmImportResult& r) {
             const PlmStyle& style = r.map.entities.at(0).style;
             EXPECT_EQ(style.fill, (PlmColor{1, 0, 128 / 255.0, 1}));
             EXPECT_EQ(style.stroke, (PlmColor{0, 0, 0, 1}));
         }},
        {"aFontNamedByItsPostScriptNameIsNotSubstituted", "font-names.svg",
         [](const PlmImportResult& r) {
             EXPECT_EQ(r.unconverted,
                       (QMap<QString, int>{{QStringLiteral("police substituée : AbsentSansMT"), 1}}));
         }},
    };
    return table;
}

class ImportRegressionFiles : public ::testing::TestWithParam<Row> {};

TEST_P(ImportRegressionFiles, importsAsExpected)
{
    const Row& row = GetParam();
    const QString path = fixture(QString::fromLatin1(row.file));
    ASSERT_TRUE(QFile::exists(path));
    const Outcome outcome = importFixture(path);
    if (!row.refusal.isEmpty()) {
        EXPECT_FALSE(outcome.result);
        EXPECT_EQ(outcome.error.toStdString(), row.refusal.toStdString());
        // Every refusal names the file.
        EXPECT_TRUE(outcome.error.contains(QStringLiteral("« ") + QString::fromLatin1(row.file) + QStringLiteral(" »")));
        return;
    }
    ASSERT_TRUE(outcome.result) << outcome.error.toStdString();
    row.check(*outcome.result);
}

INSTANTIATE_TEST_SUITE_P(Files, ImportRegressionFiles, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

TEST(ImportRegressionFilesOutsideTheTable, withoutItsIndexAShapefileWithGapsIsStillReadBackToBack)
{
    QTemporaryDir dir;
    const QString alone = dir.filePath(QStringLiteral("gaps.shp"));
    ASSERT_TRUE(QFile::copy(fixture(QStringLiteral("gaps-between-records.shp")), alone));
    const Outcome outcome = importFixture(alone);
    EXPECT_EQ(outcome.error,
              QStringLiteral("Le fichier « gaps.shp » ne peut pas être importé : enregistrement Shapefile tronqué."));
}

TEST(ImportRegressionFilesOutsideTheTable, aFileAboveTheSizeCapIsRefusedBeforeItIsRead)
{
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("énorme.geojson")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(file.resize(PlmVectorImporter::maximumFileSize + 1)); // sparse: nothing is written
    file.close();
    const Outcome outcome = importFixture(file.fileName());
    EXPECT_EQ(outcome.error,
              QStringLiteral("Le fichier « énorme.geojson » est trop volumineux pour être ouvert (256 Mo au plus)."));
}

} // namespace
