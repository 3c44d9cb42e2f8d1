#include "catalogue/PlmCatalogueProviders.h"

#include "model/PlmErrors.h"

#include <QUrlQuery>
#include <gtest/gtest.h>

namespace {

QString reasonOf(const QByteArray& bytes, OnlineProvider provider)
{
    try {
        OnlineCatalog::parseIndex(bytes, provider);
    } catch (const OnlineCatalogIndexError& error) {
        EXPECT_TRUE(error.message().startsWith(QStringLiteral("Le fond reçu ne peut pas être converti : ")));
        return error.reason();
    }
    return QStringLiteral("(no error)");
}

QByteArray giscoIndex(const QByteArray& members) { return "{\"csv\":{},\"geojson\":{" + members + "}}"; }

QByteArray naturalEarthItem(const QByteArray& name, const QByteArray& size, const QByteArray& url = {})
{
    const QByteArray address = url.isEmpty()
        ? "https://" + OnlineCatalog::naturalEarthDownloadHost().toUtf8() + "/x/geojson/" + name
        : url;
    return "{\"name\":\"" + name + "\",\"size\":" + size + ",\"download_url\":\"" + address + "\",\"type\":\"file\"}";
}

} // namespace

TEST(OnlineCatalogueProviders, IndexAddressesUseHttpsAndTheirFixedPaths)
{
    for (OnlineProvider provider : allOnlineProviders())
        EXPECT_EQ(OnlineCatalog::indexURL(provider).scheme(), QStringLiteral("https"));
    EXPECT_EQ(OnlineCatalog::indexURL(OnlineProvider::france).path(),
              QStringLiteral("/contours-administratifs/2026/geojson/"));
    EXPECT_EQ(OnlineCatalog::indexURL(OnlineProvider::ign).query(),
              QStringLiteral("SERVICE=WFS&VERSION=2.0.0&REQUEST=GetCapabilities"));
    EXPECT_EQ(OnlineCatalog::indexURL(OnlineProvider::urbanAreas).path(),
              QStringLiteral("/distribution/v2/urau/urau-2024-files.json"));
    EXPECT_TRUE(OnlineCatalog::indexURL(OnlineProvider::naturalEarth).path().endsWith(
        QStringLiteral("/natural-earth-vector/contents/geojson")));
    EXPECT_EQ(OnlineCatalog::indexURL(OnlineProvider::naturalEarth).query(), QStringLiteral("ref=v5.1.2"));
}

TEST(OnlineCatalogueProviders, FrenchListingOffersOnlyKnownLayersAtKnownResolutions)
{
    const QByteArray listing = "<html><a href=\"https://elsewhere.test/deep/epci-1000m.geojson\">e</a>"
                               "<a href=\"./x/regions-200m.geojson\">r</a><a href=\"/a/cantons-50m.geojson\">c</a>"
                               "<a href=\"/a/communes-50m.geojson\">c</a><a href=\"/a/communes-50m.geojson\">c</a>"
                               "\xff\xfe</html>";
    const QList<OnlineMap> maps = OnlineCatalog::parseIndex(listing, OnlineProvider::france);
    ASSERT_EQ(maps.size(), 3);
    const OnlineMap& epci = maps[0];
    EXPECT_EQ(epci.id, QStringLiteral("datagouv-epci-2026-1000m"));
    EXPECT_EQ(epci.name, QStringLiteral("France — Intercommunalités (EPCI) · 1000m"));
    EXPECT_TRUE(epci.detail.endsWith(QStringLiteral("simplification à 1000m.")));
    EXPECT_EQ(epci.category, OnlineCategory::france);
    EXPECT_EQ(epci.identifierAttribute, QStringLiteral("code"));
    // The link's own host is never followed: the file is taken from the index's folder.
    const QUrl index = OnlineCatalog::indexURL(OnlineProvider::france);
    EXPECT_EQ(epci.downloadURL, index.resolved(QUrl(QStringLiteral("epci-1000m.geojson"))));
    EXPECT_EQ(epci.originURL, index);
    EXPECT_EQ(maps[1], maps[2]);
    EXPECT_TRUE(OnlineCatalog::parseIndex("pas de liens", OnlineProvider::france).isEmpty());
}

TEST(OnlineCatalogueProviders, WfsCapabilitiesKeepOnlyTheLatestYear)
{
    const QByteArray capabilities =
        "<?xml version=\"1.0\"?><wfs:WFS_Capabilities xmlns:wfs=\"http://www.opengis.net/wfs/2.0\">"
        "<wfs:FeatureTypeList>"
        "<wfs:FeatureType><wfs:Name>ADMINEXPRESS-COG-CARTO-PE.2024:arrondissement</wfs:Name></wfs:FeatureType>"
        "<FeatureType><Name>\n  ADMINEXPRESS-COG-CARTO-PE.2025:arrondissement_municipal \n</Name></FeatureType>"
        "<wfs:FeatureType><wfs:Name>ADMINEXPRESS-COG-CARTO-PE.2025:arrondissement</wfs:Name></wfs:FeatureType>"
        "<wfs:FeatureType><wfs:Name>ADMINEXPRESS-COG-CARTO-PE.2025:commune</wfs:Name></wfs:FeatureType>"
        "</wfs:FeatureTypeList><Name>ADMINEXPRESS-COG-CARTO-PE.2026:arrondissement</Name>"
        "</wfs:WFS_Capabilities>";
    const QList<OnlineMap> maps = OnlineCatalog::parseIndex(capabilities, OnlineProvider::ign);
    ASSERT_EQ(maps.size(), 2);
    EXPECT_EQ(maps[0].id, QStringLiteral("ign-ADMINEXPRESS-COG-CARTO-PE.2025:arrondissement_municipal"));
    EXPECT_EQ(maps[0].name, QStringLiteral("France — Arrondissements municipaux · IGN"));
    EXPECT_EQ(maps[1].name, QStringLiteral("France — Arrondissements départementaux · IGN"));
    EXPECT_EQ(maps[1].vintage, QStringLiteral("2025"));
    EXPECT_EQ(maps[1].attribution, QStringLiteral("© IGN · ADMIN EXPRESS COG CARTO PE 2025 · Licence Ouverte 2.0"));

    const QList<std::pair<QString, QString>> items = QUrlQuery(maps[1].downloadURL).queryItems(QUrl::FullyDecoded);
    const QList<std::pair<QString, QString>> expected = {
        {QStringLiteral("service"), QStringLiteral("WFS")},
        {QStringLiteral("version"), QStringLiteral("2.0.0")},
        {QStringLiteral("request"), QStringLiteral("GetFeature")},
        {QStringLiteral("typeNames"), QStringLiteral("ADMINEXPRESS-COG-CARTO-PE.2025:arrondissement")},
        {QStringLiteral("outputFormat"), QStringLiteral("application/json")},
        {QStringLiteral("srsName"), QStringLiteral("urn:ogc:def:crs:OGC:1.3:CRS84")},
    };
    EXPECT_EQ(items, expected);
    EXPECT_EQ(maps[1].downloadURL.host(), OnlineCatalog::indexURL(OnlineProvider::ign).host());
}

TEST(OnlineCatalogueProviders, WfsCapabilitiesFailuresAndEmptyResults)
{
    EXPECT_TRUE(OnlineCatalog::parseIndex("<Capabilities><FeatureType><Name>autre</Name></FeatureType></Capabilities>",
                                          OnlineProvider::ign)
                    .isEmpty());
    const QString unreadable = QStringLiteral("Catalogue IGN illisible.");
    EXPECT_EQ(reasonOf("<Capabilities><FeatureType>", OnlineProvider::ign), unreadable);
    EXPECT_EQ(reasonOf("", OnlineProvider::ign), unreadable);
    EXPECT_EQ(reasonOf("<!DOCTYPE x [<!ENTITY e SYSTEM \"file:///etc/passwd\">]><x>&e;</x>", OnlineProvider::ign),
              unreadable);
    EXPECT_EQ(reasonOf(QByteArray(5000, '<').replace('<', "<a>"), OnlineProvider::ign), unreadable);
}

TEST(OnlineCatalogueProviders, GiscoRegionsAndCountriesAcceptOnlyWgs84FilesOf2024)
{
    const QByteArray index = giscoIndex(
        "\"NUTS_RG_20M_2024_4326_LEVL_0.geojson\":\"geojson/NUTS_RG_20M_2024_4326_LEVL_0.geojson\","
        "\"NUTS_RG_03M_2024_4326_LEVL_2.geojson\":\"geojson/b.geojson\","
        "\"NUTS_RG_20M_2024_3035_LEVL_0.geojson\":\"geojson/c.geojson\","
        "\"NUTS_RG_01M_2024_4326_LEVL_0.geojson\":\"geojson/d.geojson\","
        "\"NUTS_RG_10M_2024_4326_LEVL_1.geojson\":\"//elsewhere.test/e.geojson\","
        "\"NUTS_RG_60M_2024_4326_LEVL_1.geojson\":\"http://gisco-services.ec.europa.eu/f.geojson\"");
    const QList<OnlineMap> maps = OnlineCatalog::parseIndex(index, OnlineProvider::nuts);
    ASSERT_EQ(maps.size(), 2);
    EXPECT_EQ(maps[0].name, QStringLiteral("Europe — NUTS 2 · 03M"));
    EXPECT_EQ(maps[0].detail, QStringLiteral("Fond GISCO publié dans l’index officiel. Contours au 1:3 millions ; WGS84."));
    EXPECT_EQ(maps[1].name, QStringLiteral("Europe — Pays statistiques (NUTS 0) · 20M"));
    EXPECT_TRUE(maps[1].detail.contains(QStringLiteral("1:20 millions")));
    EXPECT_EQ(maps[1].downloadURL.toString(),
              QStringLiteral("https://gisco-services.ec.europa.eu/distribution/v2/nuts/geojson/"
                             "NUTS_RG_20M_2024_4326_LEVL_0.geojson"));
    EXPECT_EQ(maps[1].identifierAttribute, QStringLiteral("NUTS_ID"));

    const QList<OnlineMap> countries = OnlineCatalog::parseIndex(
        giscoIndex("\"CNTR_RG_60M_2024_4326.geojson\":\"g.geojson\",\"NUTS_RG_20M_2024_4326_LEVL_0.geojson\":\"h\""),
        OnlineProvider::countries);
    ASSERT_EQ(countries.size(), 1);
    EXPECT_EQ(countries[0].name, QStringLiteral("Europe — Pays · 60M"));
    EXPECT_EQ(countries[0].nameAttribute, QStringLiteral("NAME_ENGL"));
}

TEST(OnlineCatalogueProviders, GiscoUnreadableIndexesGiveTheirOwnSentence)
{
    const QString regions = QStringLiteral("Index GISCO illisible.");
    EXPECT_EQ(reasonOf("{}", OnlineProvider::nuts), regions);
    EXPECT_EQ(reasonOf("{\"csv\":{}}", OnlineProvider::countries), regions);
    EXPECT_EQ(reasonOf("[]", OnlineProvider::nuts), regions);
    EXPECT_EQ(reasonOf("{\"geojson\":{\"a\":1}}", OnlineProvider::nuts), regions);
    EXPECT_EQ(reasonOf("{}", OnlineProvider::urbanAreas), QStringLiteral("Index des aires urbaines GISCO illisible."));
    EXPECT_THROW(OnlineCatalog::parseIndex("{\"geojson\":", OnlineProvider::nuts), PlmJsonDecodingError);
    EXPECT_THROW(OnlineCatalog::parseIndex(QByteArray(100000, '['), OnlineProvider::urbanAreas), PlmJsonDecodingError);
    EXPECT_TRUE(OnlineCatalog::parseIndex(giscoIndex(""), OnlineProvider::nuts).isEmpty());
}

TEST(OnlineCatalogueProviders, GiscoUrbanAreas)
{
    const QList<OnlineMap> maps = OnlineCatalog::parseIndex(
        giscoIndex("\"URAU_RG_100K_2024_4326_FUA.geojson\":\"a\",\"URAU_RG_100K_2024_4326_CITIES.geojson\":\"b\","
                   "\"URAU_RG_100K_2024_3857_CITIES.geojson\":\"c\""),
        OnlineProvider::urbanAreas);
    ASSERT_EQ(maps.size(), 2);
    EXPECT_EQ(maps[0].name, QStringLiteral("Europe — Villes · 100K"));
    EXPECT_EQ(maps[1].name, QStringLiteral("Europe — Aires urbaines fonctionnelles · 100K"));
    EXPECT_TRUE(maps[0].identifierAttribute.isEmpty());
    EXPECT_EQ(maps[0].nameAttribute, QStringLiteral("URAU_NAME"));
}

TEST(OnlineCatalogueProviders, NaturalEarthSizesLayersAndHosts)
{
    const QByteArray listing = "[" + naturalEarthItem("ne_10m_admin_1_states_provinces_lines.geojson", "1536") + ","
        + naturalEarthItem("ne_10m_admin_1_states_provinces.geojson", "67108864") + ","
        + naturalEarthItem("ne_50m_land.geojson", "67108865") + ","
        + naturalEarthItem("ne_50m_coastline.geojson", "-1") + ","
        + naturalEarthItem("ne_50m_ocean.geojson", "12.5") + ","
        + naturalEarthItem("ne_110m_admin_0_countries.geojson", "2048", "http://" + OnlineCatalog::naturalEarthDownloadHost().toUtf8() + "/a") + ","
        + naturalEarthItem("ne_110m_admin_0_countries.geojson", "2048", "https://elsewhere.test/a") + ","
        + naturalEarthItem("ne_110m_admin_0_countries.geojson", "2048") + ","
        + naturalEarthItem("ne_110m_admin_0_countries.json", "2048") + ","
        + naturalEarthItem("ne_20m_lakes.geojson", "2048") + "]";
    const QList<OnlineMap> maps = OnlineCatalog::parseIndex(listing, OnlineProvider::naturalEarth);
    ASSERT_EQ(maps.size(), 3);
    EXPECT_EQ(maps[0].name, QStringLiteral("Monde — Culturel · Limites des provinces · 1:10 M"));
    EXPECT_EQ(maps[0].detail, QStringLiteral("Index Natural Earth 5.1.2. 1 Ko ; contours au 1:10 millions."));
    EXPECT_TRUE(maps[0].identifierAttribute.isEmpty());
    EXPECT_EQ(maps[1].name, QStringLiteral("Monde — Culturel · États et provinces · 1:10 M"));
    EXPECT_EQ(maps[1].identifierAttribute, QStringLiteral("adm1_code"));
    EXPECT_TRUE(maps[1].detail.endsWith(
        QStringLiteral(" Couverture des subdivisions variable selon l’échelle et le pays.")));
    EXPECT_EQ(maps[2].id, QStringLiteral("naturalearth-ne_110m_admin_0_countries.geojson-5.1.2"));
    EXPECT_EQ(maps[2].identifierAttribute, QStringLiteral("NE_ID"));
    EXPECT_EQ(maps[2].nameAttribute, QStringLiteral("NAME_FR"));
    EXPECT_EQ(maps[2].category, OnlineCategory::world);
}

TEST(OnlineCatalogueProviders, NaturalEarthUnreadableListings)
{
    const QString unreadable = QStringLiteral("Index Natural Earth illisible.");
    EXPECT_EQ(reasonOf("{\"name\":\"ne_10m_land.geojson\"}", OnlineProvider::naturalEarth), unreadable);
    EXPECT_EQ(reasonOf("[1]", OnlineProvider::naturalEarth), unreadable);
    EXPECT_THROW(OnlineCatalog::parseIndex("[", OnlineProvider::naturalEarth), PlmJsonDecodingError);
    EXPECT_TRUE(OnlineCatalog::parseIndex("[]", OnlineProvider::naturalEarth).isEmpty());
}

TEST(OnlineCatalogueProviders, OversizedIndexesAndManyEntriesStayBounded)
{
    const QByteArray huge(OnlineCatalog::maximumIndexBytes + 1, ' ');
    EXPECT_EQ(reasonOf(huge, OnlineProvider::nuts), QStringLiteral("Index GISCO illisible."));
    EXPECT_EQ(reasonOf(huge, OnlineProvider::naturalEarth), QStringLiteral("Index Natural Earth illisible."));
    QByteArray listing;
    const QByteArray anchor = "<a href=\"/a/regions-50m.geojson\">";
    for (qsizetype i = 0; i < OnlineCatalog::maximumEntriesPerIndex + 5; ++i)
        listing += anchor;
    EXPECT_EQ(OnlineCatalog::parseIndex(listing, OnlineProvider::france).size(), OnlineCatalog::maximumEntriesPerIndex);
}

// Every candidate from arbitrary prefixes and mutations of a valid index either parses or fails
// with one of the expected errors; nothing crashes or escapes as another exception.
TEST(OnlineCatalogueProviders, MutatedIndexesNeverCrash)
{
    const QList<std::pair<OnlineProvider, QByteArray>> seeds = {
        {OnlineProvider::nuts, giscoIndex("\"NUTS_RG_20M_2024_4326_LEVL_0.geojson\":\"geojson/a.geojson\"")},
        {OnlineProvider::naturalEarth, "[" + naturalEarthItem("ne_10m_land.geojson", "1536") + "]"},
        {OnlineProvider::ign, "<a><FeatureType><Name>ADMINEXPRESS-COG-CARTO-PE.2025:arrondissement</Name></FeatureType></a>"},
        {OnlineProvider::france, "<a href=\"/a/regions-50m.geojson\">"},
    };
    quint32 state = 12345;
    for (const auto& [provider, seed] : seeds) {
        for (int round = 0; round < 300; ++round) {
            QByteArray bytes = seed;
            state = state * 1103515245u + 12345u;
            const int edits = 1 + int(state % 4);
            for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
                state = state * 1103515245u + 12345u;
                const qsizetype at = qsizetype(state % quint32(bytes.size()));
                switch ((state >> 16) % 3) {
                case 0: bytes[at] = char(state >> 8); break;
                case 1: bytes.remove(at, 1); break;
                default: bytes.truncate(at); break;
                }
            }
            try {
                OnlineCatalog::parseIndex(bytes, provider);
            } catch (const OnlineCatalogIndexError&) {
            } catch (const PlmJsonDecodingError&) {
            }
        }
    }
}
