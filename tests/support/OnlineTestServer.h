#pragma once

#include "online/OnlineWindowController.h"
#include "catalogue/PlmCatalogueProviders.h"
#include "support/EventWait.h"
#include "support/LoopbackHttpServer.h"

#include <QCoreApplication>
#include <QUrlQuery>
#include <gtest/gtest.h>

#include <functional>

// The providers stood in by a loopback HTTP server, served by the main thread's event loop.
// The catalogue window's fetch is redirected to it for the server's lifetime: every address the
// window asks for becomes a request to this server, which answers from its routes by the
// original address (404 for any other), so no test reaches the network.
class OnlineTestServer : public LoopbackHttpServer {
public:
    // A whole HTTP answer; a null array never answers (a slow provider) until release().
    using Route = std::function<QByteArray()>;

    OnlineTestServer()
        : LoopbackHttpServer([this](const QByteArray& head) { return answer(head); })
    {
        OnlineWindowController::setFetch([port = port()](const QUrl& url, const OnlineDownloadOptions& given) {
            OnlineDownloadOptions options = given;
            options.allowPlainHttpToLoopback = true;
            // No speed limit: a loaded machine may answer late; only the guard ends a wait.
            options.inactivityTimeoutMs = int(std::chrono::milliseconds(EventWait::guard).count());
            options.totalTimeoutMs = options.inactivityTimeoutMs;
            QUrl local(QStringLiteral("http://127.0.0.1:%1/fetch").arg(port));
            QUrlQuery query;
            query.addQueryItem(QStringLiteral("u"), QString::fromLatin1(url.toEncoded().toPercentEncoding()));
            local.setQuery(query);
            return PlmOnlineDownload::download(local, options);
        });
    }
    ~OnlineTestServer() { OnlineWindowController::setFetch(nullptr); }

    void route(const QUrl& url, Route answer) { m_routes.insert(url.toString(QUrl::FullyEncoded), std::move(answer)); }
    void route(const QUrl& url, const QByteArray& answer) { route(url, [answer] { return answer; }); }
    void routeIndex(OnlineProvider provider, const QByteArray& answer) { route(OnlineCatalog::indexURL(provider), answer); }
    // The original addresses asked for, in order.
    const QStringList& requests() const { return m_requests; }

private:
    QByteArray answer(const QByteArray& head)
    {
        const QUrl local(QStringLiteral("http://127.0.0.1") + QString::fromLatin1(pathOf(head)));
        const QString original = QUrl::fromPercentEncoding(
            QUrlQuery(local).queryItemValue(QStringLiteral("u"), QUrl::FullyEncoded).toLatin1());
        const QString key = QUrl::fromEncoded(original.toLatin1()).toString(QUrl::FullyEncoded);
        m_requests.append(key);
        const auto found = m_routes.constFind(key);
        return found == m_routes.cend() ? status(404) : found.value()();
    }

    QHash<QString, Route> m_routes;
    QStringList m_requests;
};

// A small catalogue: the French listing offers départements and régions, GISCO one NUTS file
// and the cities, Natural Earth two layers; the IGN capabilities list nothing and the GISCO
// countries index answers 404.
namespace OnlineTestCatalogue {

inline QByteArray index(OnlineProvider provider)
{
    const auto gisco = [](const QByteArray& members) { return "{\"csv\":{},\"geojson\":{" + members + "}}"; };
    const QByteArray raw = "https://" + OnlineCatalog::naturalEarthDownloadHost().toUtf8() + "/nvkelso/geojson/";
    switch (provider) {
    case OnlineProvider::france:
        return "<html><a href=\"./departements-1000m.geojson\">d</a><a href=\"./regions-50m.geojson\">r</a></html>";
    case OnlineProvider::ign:
        return "<Capabilities><FeatureTypeList/></Capabilities>";
    case OnlineProvider::nuts:
        return gisco("\"NUTS_RG_20M_2024_4326_LEVL_0.geojson\":\"geojson/n0.geojson\"");
    case OnlineProvider::countries:
        return {};
    case OnlineProvider::urbanAreas:
        return gisco("\"URAU_RG_100K_2024_4326_CITIES.geojson\":\"c.geojson\"");
    case OnlineProvider::naturalEarth:
        return "[{\"name\":\"ne_110m_coastline.geojson\",\"size\":4096,\"download_url\":\"" + raw
            + "ne_110m_coastline.geojson\"},{\"name\":\"ne_50m_admin_0_countries.geojson\",\"size\":8192,"
              "\"download_url\":\"" + raw + "ne_50m_admin_0_countries.geojson\"}]";
    }
    return {};
}

// What the providers that answer offer, in no particular order.
inline QList<OnlineMap> entries()
{
    QList<OnlineMap> all;
    for (OnlineProvider provider : allOnlineProviders())
        if (provider != OnlineProvider::countries)
            all.append(OnlineCatalog::parseIndex(index(provider), provider));
    return all;
}

inline OnlineMap entry(const QString& id)
{
    for (const OnlineMap& map : entries())
        if (map.id == id)
            return map;
    ADD_FAILURE() << "no test entry " << id.toStdString();
    return {};
}

inline const QString departements = QStringLiteral("datagouv-departements-2026-1000m");
inline const QString regions = QStringLiteral("datagouv-regions-2026-50m");

// Two départements with their codes and names, as the provider serves them.
inline QByteArray departementsGeoJson()
{
    return R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"code":"29","nom":"Finistère"},"geometry":{"type":"Polygon","coordinates":[[[-4.8,48.0],[-3.4,47.7],[-3.5,48.7],[-4.7,48.6],[-4.8,48.0]]]}},
{"type":"Feature","properties":{"code":"2A","nom":"Corse-du-Sud"},"geometry":{"type":"Polygon","coordinates":[[[8.6,41.4],[9.3,41.4],[9.4,42.0],[8.6,42.1],[8.6,41.4]]]}}]})";
}

// Every index answered as above, the countries index with 404, and the départements file.
inline void serve(OnlineTestServer& server)
{
    for (OnlineProvider provider : allOnlineProviders())
        server.routeIndex(provider, provider == OnlineProvider::countries ? OnlineTestServer::status(404)
                                                                          : OnlineTestServer::ok(index(provider)));
    server.route(entry(departements).downloadURL, OnlineTestServer::ok(departementsGeoJson()));
}

} // namespace OnlineTestCatalogue
