#include "catalogue/PlmCatalogueLoading.h"

#include "model/PlmRowSort.h"

#include "catalogue/OnlineError.h"
#include "catalogue/PlmCatalogueProviders.h"
#include "support/EventWait.h"

#include <QEventLoop>
#include <QHash>
#include <QCoreApplication>
#include <QObject>
#include <QThreadPool>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>

namespace {

QByteArray giscoIndex(const QByteArray& members) { return "{\"csv\":{},\"geojson\":{" + members + "}}"; }

// One small, readable index per provider.
QByteArray cannedIndex(OnlineProvider provider)
{
    switch (provider) {
    case OnlineProvider::france:
        return "<html><a href=\"./regions-50m.geojson\">r</a><a href=\"./communes-1000m.geojson\">c</a></html>";
    case OnlineProvider::ign:
        return "<Capabilities><FeatureType><Name>ADMINEXPRESS-COG-CARTO-PE.2025:commune</Name></FeatureType>"
               "</Capabilities>";
    case OnlineProvider::nuts:
        return giscoIndex("\"NUTS_RG_20M_2024_4326_LEVL_2.geojson\":\"geojson/a.geojson\"");
    case OnlineProvider::countries:
        return giscoIndex("\"CNTR_RG_60M_2024_4326.geojson\":\"g.geojson\"");
    case OnlineProvider::urbanAreas:
        return giscoIndex("\"URAU_RG_100K_2024_4326_CITIES.geojson\":\"b\"");
    case OnlineProvider::naturalEarth:
        return "[{\"name\":\"ne_110m_admin_0_countries.geojson\",\"size\":2048,\"download_url\":\"https://"
            + OnlineCatalog::naturalEarthDownloadHost().toUtf8()
            + "/x/geojson/ne_110m_admin_0_countries.geojson\",\"type\":\"file\"}]";
    }
    return {};
}

std::optional<OnlineProvider> providerOf(const QUrl& url)
{
    for (OnlineProvider provider : allOnlineProviders())
        if (OnlineCatalog::indexURL(provider) == url)
            return provider;
    return std::nullopt;
}

OnlineResponse ok(const QUrl& url, const QByteArray& body) { return OnlineResponse{body, 200, url}; }

// Answers every index with its canned text.
OnlineResponse cannedTransport(const QUrl& url)
{
    const std::optional<OnlineProvider> provider = providerOf(url);
    if (!provider)
        throw OnlineError::network(QStringLiteral("adresse inattendue"));
    return ok(url, cannedIndex(*provider));
}

QList<OnlineMap> cannedCatalogue()
{
    QList<OnlineMap> all;
    for (OnlineProvider provider : allOnlineProviders())
        all.append(OnlineCatalog::parseIndex(cannedIndex(provider), provider));
    return all;
}

QStringList namesOf(const QList<OnlineMap>& maps)
{
    QStringList names;
    for (const OnlineMap& map : maps)
        names.append(map.name);
    return names;
}

OnlineMap entry(const QString& id, const QString& name)
{
    OnlineMap map;
    map.id = id;
    map.name = name;
    return map;
}

} // namespace

TEST(OnlineCatalogueLoading, OneProviderErrorLinesCarryTitleAndSentence)
{
    const OnlineCatalog::ProviderLoad notFound = OnlineCatalog::loadProvider(
        OnlineProvider::countries, [](const QUrl& url) { return OnlineResponse{{}, 404, url}; });
    EXPECT_TRUE(notFound.maps.isEmpty());
    EXPECT_EQ(notFound.errors, QStringList{QStringLiteral(
        "Europe · pays : Le fournisseur a répondu HTTP 404. Réessayez plus tard ou consultez la source.")});

    const OnlineCatalog::ProviderLoad unreadable = OnlineCatalog::loadProvider(
        OnlineProvider::ign, [](const QUrl& url) { return ok(url, "<Capabilities><FeatureType>"); });
    EXPECT_EQ(unreadable.errors, QStringList{QStringLiteral(
        "France · IGN : Le fond reçu ne peut pas être converti : Catalogue IGN illisible.")});

    // A decoder's sentence comes under a French one.
    const OnlineCatalog::ProviderLoad broken = OnlineCatalog::loadProvider(
        OnlineProvider::naturalEarth, [](const QUrl& url) { return ok(url, "["); });
    ASSERT_EQ(broken.errors.size(), 1);
    EXPECT_TRUE(broken.errors[0].startsWith(onlineProviderTitle(OnlineProvider::naturalEarth)
                                            + QStringLiteral(" : Index du fournisseur illisible : ")));
    EXPECT_GT(broken.errors[0].size(), (onlineProviderTitle(OnlineProvider::naturalEarth)
                                        + QStringLiteral(" : Index du fournisseur illisible : ")).size());

    const OnlineCatalog::ProviderLoad thrown = OnlineCatalog::loadProvider(
        OnlineProvider::nuts, [](const QUrl&) -> OnlineResponse { throw OnlineError::network(QStringLiteral("x")); });
    ASSERT_EQ(thrown.errors.size(), 1);
    EXPECT_EQ(thrown.errors[0], OnlineCatalog::errorLine(OnlineProvider::nuts, OnlineError::network(QStringLiteral("x")).message()));
    EXPECT_TRUE(thrown.errors[0].startsWith(onlineProviderTitle(OnlineProvider::nuts) + QStringLiteral(" : ")));

    // A status of 199 or 300 is a failure too; a JSON syntax error is one as well.
    for (int status : {199, 300})
        EXPECT_EQ(OnlineCatalog::loadProvider(OnlineProvider::nuts, [status](const QUrl& url) {
                      return OnlineResponse{cannedIndex(OnlineProvider::nuts), status, url};
                  }).errors.size(), 1);
    const OnlineCatalog::ProviderLoad syntax = OnlineCatalog::loadProvider(
        OnlineProvider::urbanAreas, [](const QUrl& url) { return ok(url, "{\"geojson\":"); });
    EXPECT_TRUE(syntax.maps.isEmpty());
    EXPECT_EQ(syntax.errors.size(), 1);
}

TEST(OnlineCatalogueLoading, ReadableIndexWithNothingUsableGivesNeitherEntryNorError)
{
    const OnlineCatalog::ProviderLoad nothing = OnlineCatalog::loadProvider(
        OnlineProvider::france, [](const QUrl& url) { return ok(url, "pas de liens"); });
    EXPECT_TRUE(nothing.maps.isEmpty());
    EXPECT_TRUE(nothing.errors.isEmpty());
}

TEST(OnlineCatalogueLoading, AllProvidersAnswerOrAllFail)
{
    const OnlineCatalogResult result = OnlineCatalog::load(cannedTransport);
    EXPECT_TRUE(result.errors.isEmpty());
    EXPECT_EQ(result.maps.size(), cannedCatalogue().size());
    for (qsizetype i = 1; i < result.maps.size(); ++i)
        EXPECT_LE(PlmRowSort::localizedStandardCompare(result.maps[i - 1].name, result.maps[i].name), 0) << i;

    const OnlineCatalogResult failed = OnlineCatalog::load(
        [](const QUrl& url) { return OnlineResponse{{}, 500, url}; });
    EXPECT_TRUE(failed.maps.isEmpty());
    EXPECT_EQ(failed.errors.size(), 6);
}

TEST(OnlineCatalogueLoading, TwoFailuresInCompletionOrderAndTheOthersSorted)
{
    // The IGN failure is held back until the countries failure has completed, so it comes
    // second although its provider starts first.
    std::promise<void> countriesCompleted;
    const std::shared_future<void> countriesDone = countriesCompleted.get_future().share();
    std::atomic_bool heldTooLong = false;
    const OnlineCatalogResult result = OnlineCatalog::load(
        [&](const QUrl& url) {
            const OnlineProvider provider = *providerOf(url);
            if (provider == OnlineProvider::ign) {
                heldTooLong = countriesDone.wait_for(EventWait::guard) != std::future_status::ready;
                return OnlineResponse{{}, 503, url};
            }
            if (provider == OnlineProvider::countries)
                return OnlineResponse{{}, 404, url};
            return ok(url, cannedIndex(provider));
        },
        [&](OnlineProvider provider) {
            if (provider == OnlineProvider::countries)
                countriesCompleted.set_value();
        });
    EXPECT_FALSE(heldTooLong) << "the countries' completion was never reported";
    ASSERT_EQ(result.errors.size(), 2);
    EXPECT_TRUE(result.errors[0].startsWith(QStringLiteral("Europe · pays : ")));
    EXPECT_TRUE(result.errors[1].startsWith(QStringLiteral("France · IGN : ")));
    EXPECT_TRUE(result.errors[1].contains(QStringLiteral("HTTP 503")));

    QStringList expected;
    for (OnlineProvider provider : {OnlineProvider::france, OnlineProvider::nuts, OnlineProvider::urbanAreas,
                                    OnlineProvider::naturalEarth})
        expected.append(namesOf(OnlineCatalog::parseIndex(cannedIndex(provider), provider)));
    std::stable_sort(expected.begin(), expected.end(), [](const QString& a, const QString& b) {
        return PlmRowSort::localizedStandardCompare(a, b) < 0;
    });
    EXPECT_EQ(namesOf(result.maps), expected);
}

TEST(OnlineCatalogueLoading, MergeKeepsCompletionOrderForEqualNamesAndSortsNaturally)
{
    const OnlineCatalog::ProviderLoad first{{entry("a1", "Zone"), entry("a2", "carte 10")}, {}};
    const OnlineCatalog::ProviderLoad failed{{}, {QStringLiteral("ligne")}};
    const OnlineCatalog::ProviderLoad second{{entry("b1", "zone"), entry("b2", "Carte 9")}, {}};
    const OnlineCatalogResult result = OnlineCatalog::merge({second, failed, first});
    QStringList ids;
    for (const OnlineMap& map : result.maps)
        ids.append(map.id);
    EXPECT_EQ(ids, (QStringList{"b2", "a2", "b1", "a1"}));
    EXPECT_EQ(result.errors, QStringList{QStringLiteral("ligne")});
}

TEST(OnlineCatalogueLoading, BackgroundLoadDeliversOnTheCallersThread)
{
    QObject context;
    QEventLoop loop;
    std::optional<OnlineCatalogResult> received;
    Qt::HANDLE deliveredOn = nullptr;
    OnlineCatalog::loadInBackground(cannedTransport, &context, [&](const OnlineCatalogResult& result) {
        received = result;
        deliveredOn = QThread::currentThreadId();
        loop.quit();
    });
    QTimer::singleShot(EventWait::guard, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_TRUE(received.has_value());
    EXPECT_EQ(deliveredOn, QThread::currentThreadId());
    EXPECT_EQ(received->maps.size(), cannedCatalogue().size());
}

TEST(OnlineCatalogueLoading, BackgroundLoadDeliversNothingOnceTheContextIsGone)
{
    auto context = std::make_unique<QObject>();
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    bool delivered = false;
    OnlineCatalog::loadInBackground(
        [released](const QUrl& url) {
            // Every provider answers only once the context is gone.
            released.wait();
            return OnlineResponse{{}, 500, url};
        },
        context.get(), [&delivered](const OnlineCatalogResult&) { delivered = true; });
    context.reset();
    release.set_value();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_FALSE(delivered);
}

TEST(OnlineCatalogueLoading, NamesSortAsInTheLibrary)
{
    // French collation: punctuation before letters, digit runs by value, case ignored.
    const QStringList sorted = {
        QStringLiteral("carte 9"),
        QStringLiteral("Carte 10"),
        QStringLiteral("Europe — NUTS 1 · 10M"),
        QStringLiteral("Europe — Pays · 10M"),
        QStringLiteral("Europe — Pays · 20M"),
        QStringLiteral("Europe — Pays statistiques (NUTS 0) · 20M"),
        QStringLiteral("Région"),
        QStringLiteral("Régions"),
    };
    OnlineCatalog::ProviderLoad load;
    for (qsizetype i = sorted.size(); i-- > 0;)
        load.maps.append(entry(QString::number(i), sorted[i]));
    EXPECT_EQ(namesOf(OnlineCatalog::merge({load}).maps), sorted);
}

TEST(OnlineCatalogueSearch, BlankQueryAndCategory)
{
    const QList<OnlineMap> all = cannedCatalogue();
    EXPECT_EQ(OnlineCatalog::search(all, QStringLiteral(" \t\n\u00a0 ")), all);
    QList<OnlineMap> europe;
    for (const OnlineMap& map : all)
        if (map.category == OnlineCategory::europe)
            europe.append(map);
    ASSERT_EQ(europe.size(), 3);
    EXPECT_EQ(OnlineCatalog::search(all, QString(), OnlineCategory::europe), europe);
    EXPECT_EQ(OnlineCatalog::search(all, QStringLiteral("  "), OnlineCategory::europe), europe);
}

TEST(OnlineCatalogueSearch, TokensIgnoreCaseAndAccentsAndAllMustMatch)
{
    const QList<OnlineMap> all = cannedCatalogue();
    const QList<OnlineMap> found = OnlineCatalog::search(all, QStringLiteral("regions\u00a02026"));
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found[0].name.contains(QStringLiteral("Régions")));
    EXPECT_EQ(found[0].vintage, QStringLiteral("2026"));
    EXPECT_TRUE(OnlineCatalog::search(all, QStringLiteral("regions 1999")).isEmpty());
    EXPECT_TRUE(OnlineCatalog::search(all, QStringLiteral("RÉGIONS"), OnlineCategory::world).isEmpty());

    // Only the GISCO regions and countries entries say WGS84, in their detail.
    const QList<OnlineMap> wgs = OnlineCatalog::search(all, QStringLiteral("wgs84"));
    ASSERT_EQ(wgs.size(), 2);
    EXPECT_EQ(wgs[0].category, OnlineCategory::europe);
    EXPECT_TRUE(wgs[0].name.contains(QStringLiteral("NUTS 2")));
    EXPECT_TRUE(wgs[1].name.contains(QStringLiteral("Pays")));

    // Neither the id nor an address is searched.
    EXPECT_TRUE(OnlineCatalog::search(all, all[0].id).isEmpty());
    EXPECT_TRUE(OnlineCatalog::search(all, QStringLiteral("https")).isEmpty());
    EXPECT_TRUE(OnlineCatalog::search(all, QStringLiteral("geojson")).isEmpty());
}
