#include "catalogue/PlmCatalogueConversion.h"

#include "model/PlmErrors.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

OnlineMap communes()
{
    OnlineMap map;
    map.id = QStringLiteral("ign-communes");
    map.name = QStringLiteral("Communes");
    map.category = OnlineCategory::france;
    map.vintage = QStringLiteral("2025");
    map.source = QStringLiteral("IGN");
    map.downloadURL = QUrl(QStringLiteral("https://data.example.org/wfs/communes?SERVICE=WFS&typeName=x"));
    map.originURL = QUrl(QStringLiteral("https://data.example.org/"));
    map.license = QStringLiteral("Licence Ouverte 2.0");
    map.licenseURL = QUrl(QStringLiteral("https://data.example.org/licence"));
    map.attribution = QStringLiteral("© IGN");
    map.detail = QStringLiteral("Communes de France");
    map.identifierAttribute = QStringLiteral("code_insee");
    map.nameAttribute = QStringLiteral("nom_officiel");
    return map;
}

QByteArray feature(const QByteArray& properties, double x)
{
    const QByteArray xs = QByteArray::number(x);
    return R"({"type":"Feature","properties":)" + properties
        + R"(,"geometry":{"type":"Polygon","coordinates":[[[)" + xs + ",0],[" + xs + ".5,0],[" + xs
        + ".5,1],[" + xs + ",1],[" + xs + ",0]]]}}";
}

OnlineResponse answer(const QList<QByteArray>& features)
{
    OnlineResponse response;
    response.status = 200;
    response.finalURL = QUrl(QStringLiteral("https://cdn.example.org/final.geojson"));
    response.data = R"({"type":"FeatureCollection","features":[)" + features.join(',') + "]}";
    return response;
}

QString invalidText(const OnlineResponse& response, const OnlineMap& entry)
{
    try {
        PlmCatalogueConversion::convert(response, entry);
    } catch (const OnlineError& error) {
        EXPECT_EQ(error.kind(), OnlineError::Kind::invalid);
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Le fond reçu ne peut pas être converti : ")));
        return error.text();
    }
    return QStringLiteral("(no OnlineError)");
}

const QString badId = QStringLiteral("Identifiant du fournisseur absent ou répété.");

} // namespace

TEST(PlmCatalogueConversion, ProviderCodesAndNamesBecomeIdsAndNames)
{
    const OnlineResponse response = answer({feature(R"({"code_insee":"75056","nom_officiel":"Paris"})", 0),
                                            feature(R"({"code_insee":"13055","nom_officiel":"Marseille"})", 2),
                                            feature(R"({"code_insee":"69123","nom_officiel":""})", 4)});
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7), Qt::UTC);
    const PlmImportResult result = PlmCatalogueConversion::convert(response, communes(), when);
    const PlmMap& map = result.map;
    EXPECT_EQ(map.name, QStringLiteral("Communes — 2025"));
    ASSERT_EQ(map.entities.size(), 3);
    EXPECT_EQ(map.entities.at(0).id, QStringLiteral("75056"));
    EXPECT_EQ(map.entities.at(0).name, QStringLiteral("Paris"));
    EXPECT_EQ(map.entities.at(1).id, QStringLiteral("13055"));
    EXPECT_EQ(map.entities.at(1).name, QStringLiteral("Marseille"));
    EXPECT_EQ(map.entities.at(2).id, QStringLiteral("69123"));
    EXPECT_FALSE(map.entities.at(2).name.isEmpty()); // the importer's name stays for an empty one
    for (const PlmEntity& entity : map.entities)
        EXPECT_DOUBLE_EQ(entity.style.lineWidth, 0.008);
    EXPECT_EQ(map.entities.at(0).attributes.value(QStringLiteral("code_insee")), QStringLiteral("75056"));

    EXPECT_EQ(map.metadata.value(QStringLiteral("source.format")), QStringLiteral("GeoJSON"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source")), QStringLiteral("IGN"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.category")), QStringLiteral("France"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.url")), QStringLiteral("https://data.example.org/"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.downloadURL")),
              QStringLiteral("https://data.example.org/wfs/communes?SERVICE=WFS&typeName=x"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.resolvedURL")),
              QStringLiteral("https://cdn.example.org/final.geojson"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.vintage")), QStringLiteral("2025"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.license")), QStringLiteral("Licence Ouverte 2.0"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.licenseURL")),
              QStringLiteral("https://data.example.org/licence"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.attribution")), QStringLiteral("© IGN"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.catalogID")), QStringLiteral("ign-communes"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.description")), QStringLiteral("Communes de France"));
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.downloadedAt")), QStringLiteral("2026-03-04T05:06:07Z"));
}

TEST(PlmCatalogueConversion, WorldEntriesKeepImporterIdsAndGetWiderLines)
{
    OnlineMap entry = communes();
    entry.category = OnlineCategory::world;
    entry.identifierAttribute.clear();
    entry.nameAttribute = QStringLiteral("URAU_NAME");
    const OnlineResponse response = answer({feature(R"({"URAU_NAME":"Lyon"})", 0), feature(R"({"other":1})", 2)});
    const PlmMap map = PlmCatalogueConversion::convert(response, entry).map;
    ASSERT_EQ(map.entities.size(), 2);
    EXPECT_EQ(map.entities.at(0).id, QStringLiteral("geojson:1"));
    EXPECT_EQ(map.entities.at(1).id, QStringLiteral("geojson:2"));
    EXPECT_EQ(map.entities.at(0).name, QStringLiteral("Lyon"));
    EXPECT_DOUBLE_EQ(map.entities.at(0).style.lineWidth, 0.06);
    EXPECT_EQ(map.metadata.value(QStringLiteral("source.category")), QStringLiteral("Monde"));
    EXPECT_TRUE(map.metadata.value(QStringLiteral("source.downloadedAt")).endsWith(QLatin1Char('Z')));
}

TEST(PlmCatalogueConversion, MissingOrRepeatedCodesFailTheWholeConversion)
{
    EXPECT_EQ(invalidText(answer({feature(R"({"code_insee":"1"})", 0), feature(R"({"code_insee":"1"})", 2)}),
                          communes()),
              badId);
    EXPECT_EQ(invalidText(answer({feature(R"({"code_insee":"1"})", 0), feature(R"({"nom":"x"})", 2)}), communes()),
              badId);
    EXPECT_EQ(invalidText(answer({feature(R"({"code_insee":""})", 0)}), communes()), badId);
}

TEST(PlmCatalogueConversion, AnswersWithoutGeoJsonGeometryAreRefused)
{
    const QString none = QStringLiteral("Aucune géométrie GeoJSON utilisable.");
    EXPECT_EQ(invalidText(answer({}), communes()), none);
    OnlineResponse svg;
    svg.status = 200;
    svg.data = R"(<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"><rect width="5" height="5"/></svg>)";
    EXPECT_EQ(invalidText(svg, communes()), none);
}

TEST(PlmCatalogueConversion, ImporterErrorsPassUnchangedAndNothingIsLeftOnDisk)
{
    const QStringList before = QDir::temp().entryList({QStringLiteral("PlmOnline-*")});
    OnlineResponse broken;
    broken.status = 200;
    broken.data = R"({"type":"FeatureCollection","features":[)";
    EXPECT_THROW(PlmCatalogueConversion::convert(broken, communes()), PlmError);
    EXPECT_EQ(QDir::temp().entryList({QStringLiteral("PlmOnline-*")}), before);
}

TEST(PlmCatalogueConversion, AWorldWideDownloadGetsOutlinesOfAboutOnePixelAtTheFittedView)
{
    OnlineMap entry = communes();
    entry.category = OnlineCategory::world;
    entry.identifierAttribute.clear();
    // From −180.5 to 179.5 degrees: 360° across, a thousandth of it per outline.
    const OnlineResponse response = answer({feature(R"({"n":1})", -180), feature(R"({"n":2})", 179)});
    const PlmMap map = PlmCatalogueConversion::convert(response, entry).map;
    ASSERT_EQ(map.entities.size(), 2);
    EXPECT_DOUBLE_EQ(map.entities.at(0).style.lineWidth, 0.36);
    EXPECT_DOUBLE_EQ(map.entities.at(1).style.lineWidth, 0.36);
}
