#include "catalogue/OnlineCatalogBrowsing.h"
#include "catalogue/PlmCatalogueLoading.h"

#include <gtest/gtest.h>

namespace {

OnlineMap entry(const QString& id, const QString& name, OnlineCategory category, const QString& detail = {})
{
    OnlineMap map;
    map.id = id;
    map.name = name;
    map.category = category;
    map.vintage = QStringLiteral("2026");
    map.source = QStringLiteral("Eurostat · GISCO");
    map.detail = detail;
    map.downloadURL = QUrl(QStringLiteral("https://example.test/") + id + QStringLiteral(".geojson"));
    map.originURL = QUrl(QStringLiteral("https://example.test/index"));
    map.licenseURL = QUrl(QStringLiteral("https://example.test/licence"));
    return map;
}

QList<OnlineMap> catalogue()
{
    return {
        entry("a", "Europe — NUTS 2 · 20M", OnlineCategory::europe, "Contours au 1:20 millions ; WGS84."),
        entry("b", "France — Départements · 1000m", OnlineCategory::france, "Simplification à 1000m."),
        entry("c", "France — Régions · 50m", OnlineCategory::france),
        entry("d", "Monde — Culturel · Pays · 1:110 M", OnlineCategory::world),
        entry("e", "Monde — Physique · Côtes · 1:50 M", OnlineCategory::world, "Index Natural Earth 5.1.2."),
        entry("f", "Monde — Physique · Îles · 1:10 M", OnlineCategory::world),
    };
}

QStringList idsOf(const QList<OnlineMap>& maps)
{
    QStringList ids;
    for (const OnlineMap& map : maps)
        ids << map.id;
    return ids;
}

QStringList idsAt(const QList<OnlineMap>& maps, const QList<qsizetype>& rows)
{
    QStringList ids;
    for (qsizetype row : rows)
        ids << maps.at(row).id;
    return ids;
}

} // namespace

// The folded-in-advance filter keeps exactly what the catalogue search keeps, for every
// category of the pop-up that maps to one.
TEST(PlmCatalogueBrowsing, FilterAgreesWithTheCatalogueSearch)
{
    struct Row {
        const char* name;
        QString query;
    };
    const Row rows[] = {
        {"empty", QString()},
        {"blanks and a no-break space", QStringLiteral("  \u00a0 \n")},
        {"accents and case folded", QStringLiteral("DEPARTEMENTS")},
        {"two tokens anywhere", QStringLiteral("regions 2026")},
        {"detail only", QStringLiteral("wgs84")},
        {"source", QStringLiteral("gisco")},
        {"accented query", QStringLiteral("côtes")},
        {"absent", QStringLiteral("zzz")},
    };
    const QList<OnlineMap> maps = catalogue();
    const OnlineCatalogBrowsing::SearchIndex index(maps);
    for (const Row& row : rows) {
        for (int item = 0; item < 4; ++item) {
            const QStringList expected = idsOf(OnlineCatalog::search(maps, row.query, OnlineCatalogBrowsing::categoryOfItem(item)));
            EXPECT_EQ(idsAt(maps, index.filter(row.query, item)), expected) << row.name << " item " << item;
        }
    }
    EXPECT_EQ(idsAt(maps, index.filter(QStringLiteral("departements"), 0)), QStringList{"b"});
}

TEST(PlmCatalogueBrowsing, WorldSubItemsKeepNamesHoldingTheirWord)
{
    const QList<OnlineMap> maps = catalogue();
    const OnlineCatalogBrowsing::SearchIndex index(maps);
    EXPECT_EQ(OnlineCatalogBrowsing::categoryItems(),
              (QStringList{"Toutes les catégories", "France", "Europe", "Monde", "Monde · Culturel", "Monde · Physique"}));
    EXPECT_EQ(idsAt(maps, index.filter(QString(), 3)), (QStringList{"d", "e", "f"}));
    EXPECT_EQ(idsAt(maps, index.filter(QString(), 4)), QStringList{"d"});
    EXPECT_EQ(idsAt(maps, index.filter(QString(), 5)), (QStringList{"e", "f"}));
    EXPECT_EQ(idsAt(maps, index.filter(QStringLiteral("iles"), 5)), QStringList{"f"});
}

TEST(PlmCatalogueBrowsing, MergeKeepsTheCachedEntriesOfFailedProvidersOnly)
{
    const QList<OnlineMap> old = {entry("old-europe", "Europe — Pays · 60M", OnlineCategory::europe),
                                  entry("b", "France — Départements · 1000m", OnlineCategory::france)};
    OnlineMap renamed = entry("b", "France — Départements (nouveau) · 1000m", OnlineCategory::france);
    const QList<OnlineMap> fresh = {entry("c", "France — Régions · 50m", OnlineCategory::france), renamed};

    struct Row {
        const char* name;
        OnlineCatalogResult loaded;
        std::optional<QStringList> ids;
    };
    const Row rows[] = {
        {"every provider answered: the new list alone", {fresh, {}}, QStringList{"b", "c"}},
        {"one failed: old entries whose address is new are not repeated", {fresh, {"Europe · pays : …"}},
         QStringList{"old-europe", "b", "c"}},
        {"nothing came: the old catalogue stays", {{}, {"a", "b"}}, std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<QList<OnlineMap>> merged = OnlineCatalogBrowsing::mergedCatalogue(old, row.loaded);
        ASSERT_EQ(merged.has_value(), row.ids.has_value()) << row.name;
        if (merged) {
            EXPECT_EQ(idsOf(*merged), *row.ids) << row.name;
            EXPECT_TRUE(merged->contains(renamed)) << row.name; // the fresh version wins
        }
    }
}

TEST(PlmCatalogueBrowsing, StatusAndDescriptionTexts)
{
    EXPECT_EQ(OnlineCatalogBrowsing::loadStatus(12, {}), QStringLiteral("12 fonds disponibles · téléchargement à la demande"));
    EXPECT_EQ(OnlineCatalogBrowsing::loadStatus(3, {QStringLiteral("Europe · pays : A."), QStringLiteral("France · IGN : B.")}),
              QStringLiteral("3 fonds disponibles · Certains fournisseurs sont indisponibles. Europe · pays : A. ; France · IGN : B."));

    OnlineMap map = entry("b", "France — Départements · 1000m", OnlineCategory::france, "Contours simplifiés.");
    map.license = QStringLiteral("ODbL 1.0");
    map.attribution = QStringLiteral("Contours administratifs — Etalab.");
    EXPECT_EQ(OnlineCatalogBrowsing::information(map),
              QStringLiteral("France — Départements · 1000m\nMillésime : 2026\nSource : Eurostat · GISCO\n"
                             "Contours simplifiés.\nLicence : ODbL 1.0\nContours administratifs — Etalab."));
    EXPECT_EQ(OnlineCatalogBrowsing::cellText(map), QStringLiteral("France — Départements · 1000m\n2026 · Eurostat · GISCO"));
    EXPECT_EQ(OnlineCatalogBrowsing::downloadingStatus(map),
              QStringLiteral("Téléchargement et conversion de « France — Départements · 1000m »…"));
}
