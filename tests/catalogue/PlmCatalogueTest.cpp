#include "catalogue/PlmCatalogue.h"

#include "model/PlmErrors.h"
#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

namespace {

OnlineMap sampleMap()
{
    OnlineMap map;
    map.id = QStringLiteral("gisco-CNTR_RG_20M_2024_4326.geojson");
    map.name = QStringLiteral("Europe — Pays · 20M");
    map.category = OnlineCategory::world;
    map.vintage = QStringLiteral("2024");
    map.source = QStringLiteral("Eurostat · GISCO");
    map.downloadURL = QUrl(QStringLiteral("https://example.org/a/b.geojson"));
    map.originURL = QUrl(QStringLiteral("https://example.org/a/index.json"));
    map.license = QStringLiteral("Licence Ouverte 2.0");
    map.licenseURL = QUrl(QStringLiteral("https://example.org/licence/"));
    map.attribution = QStringLiteral("© quelqu’un « cité »");
    map.detail = QStringLiteral("Détail \"cité\" \\ fin\n\t.");
    map.identifierAttribute = QString();
    map.nameAttribute = QStringLiteral("NAME_ENGL");
    return map;
}

QByteArray objectText(const QByteArray& category, bool withNameAttribute = true, const QByteArray& extra = {})
{
    QByteArray text = "{\"id\":\"a\",\"name\":\"b\",\"category\":\"" + category + "\",\"vintage\":\"2024\","
                      "\"source\":\"s\",\"downloadURL\":\"https:\\/\\/example.org\\/x.geojson\","
                      "\"originURL\":\"https://example.org/\",\"license\":\"l\","
                      "\"licenseURL\":\"https://example.org/l\",\"attribution\":\"a\",\"detail\":\"d\","
                      "\"identifierAttribute\":\"\"";
    if (withNameAttribute)
        text += ",\"nameAttribute\":\"nom\"";
    return text + extra + "}";
}

} // namespace

TEST(OnlineCatalogueModel, RawValuesAreExactAndCaseSensitive)
{
    EXPECT_EQ(onlineCategoryFromRawValue(QStringLiteral("Monde")), OnlineCategory::world);
    EXPECT_FALSE(onlineCategoryFromRawValue(QStringLiteral("europe")));
    EXPECT_FALSE(onlineCategoryFromRawValue(QStringLiteral("Monde ")));
    EXPECT_EQ(onlineProviderFromRawValue(QStringLiteral("urbanAreas")), OnlineProvider::urbanAreas);
    EXPECT_FALSE(onlineProviderFromRawValue(QStringLiteral("urbanareas")));
    ASSERT_EQ(allOnlineProviders().size(), 6);
    EXPECT_EQ(allOnlineProviders().first(), OnlineProvider::france);
    EXPECT_EQ(onlineProviderTitle(OnlineProvider::urbanAreas), QStringLiteral("Europe · villes et aires urbaines"));
    EXPECT_EQ(onlineProviderCategory(OnlineProvider::naturalEarth), OnlineCategory::world);
}

TEST(OnlineCatalogueModel, EntryRoundTripsFieldForFieldIncludingEmptyTexts)
{
    const OnlineMap map = sampleMap();
    const QByteArray bytes = OnlineCatalogCache::encode({map});
    EXPECT_TRUE(bytes.contains("\"identifierAttribute\":\"\""));
    EXPECT_TRUE(bytes.contains("\"category\":\"Monde\""));
    const QList<OnlineMap> back = OnlineCatalogCache::decode(bytes);
    ASSERT_EQ(back.size(), 1);
    EXPECT_EQ(back.first(), map);
}

TEST(OnlineCatalogueModel, EntriesDifferingOnlyInDetailAreNotEqual)
{
    OnlineMap other = sampleMap();
    other.detail += QStringLiteral(" ");
    EXPECT_NE(other, sampleMap());
}

TEST(OnlineCatalogueModel, CacheAcceptsEscapedSlashesAndIgnoresExtraKeys)
{
    const QList<OnlineMap> maps = OnlineCatalogCache::decode("[" + objectText("Monde", true, ",\"autre\":[1]") + "]");
    ASSERT_EQ(maps.size(), 1);
    EXPECT_EQ(maps.first().category, OnlineCategory::world);
    EXPECT_EQ(maps.first().downloadURL, QUrl(QStringLiteral("https://example.org/x.geojson")));
}

TEST(OnlineCatalogueModel, OneBadObjectMakesTheWholeCacheUnreadable)
{
    const QByteArray good = objectText("Europe");
    EXPECT_THROW(OnlineCatalogCache::decode("[" + good + "," + objectText("europe") + "]"), PlmJsonDecodingError);
    EXPECT_THROW(OnlineCatalogCache::decode("[" + good + "," + objectText("Monde ") + "]"), PlmJsonDecodingError);
    EXPECT_THROW(OnlineCatalogCache::decode("[" + good + "," + objectText("Europe", false) + "]"), PlmJsonDecodingError);
    QByteArray nulled = good;
    nulled.replace("\"detail\":\"d\"", "\"detail\":null");
    EXPECT_THROW(OnlineCatalogCache::decode("[" + nulled + "]"), PlmJsonDecodingError);
    QByteArray notAnAddress = good;
    notAnAddress.replace("\"originURL\":\"https://example.org/\"", "\"originURL\":\"pas une adresse\"");
    EXPECT_THROW(OnlineCatalogCache::decode("[" + notAnAddress + "]"), PlmJsonDecodingError);
    EXPECT_THROW(OnlineCatalogCache::decode("[[[[[[[[[[]]]]]]]]]]"), PlmJsonDecodingError);
}

TEST(OnlineCatalogueModel, UserDefaultsCacheDropsAnUnreadableDocument)
{
    UserDefaults::TemporaryScope scope;
    EXPECT_TRUE(OnlineCatalogCache::read().isEmpty());
    OnlineCatalogCache::write({sampleMap(), sampleMap()});
    EXPECT_EQ(OnlineCatalogCache::read().size(), 2);
    UserDefaults::setValue(QStringLiteral("Fonds.Catalogue"), QByteArray("[{\"id\":1}]"));
    EXPECT_TRUE(OnlineCatalogCache::read().isEmpty());
}

TEST(OnlineCatalogueModel, IndexErrorCarriesTheConversionPrefix)
{
    const auto error = OnlineCatalogIndexError::invalid(QStringLiteral("Index GISCO illisible."));
    EXPECT_EQ(error.message(), QStringLiteral("Le fond reçu ne peut pas être converti : Index GISCO illisible."));
    EXPECT_EQ(error.reason(), QStringLiteral("Index GISCO illisible."));
}
