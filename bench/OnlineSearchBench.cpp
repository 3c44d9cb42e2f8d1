// The online catalogue's search over 10,000 entries: the text search alone, and the window's
// answer to one keystroke (search, category, list rebuilt).
#include "online/OnlineWindowController.h"
#include "online/PlmCatalogueLoading.h"
#include "platform/UserDefaults.h"

#include <QLineEdit>
#include <benchmark/benchmark.h>

namespace {

QList<OnlineMap> largeCatalogue()
{
    static const QStringList layers{QStringLiteral("Départements"), QStringLiteral("Régions"), QStringLiteral("Communes"),
                                    QStringLiteral("EPCI"), QStringLiteral("Pays"), QStringLiteral("Zones urbaines")};
    static const QStringList sources{QStringLiteral("data.gouv.fr · IGN / Etalab"), QStringLiteral("GISCO — Eurostat"),
                                     QStringLiteral("Natural Earth")};
    QList<OnlineMap> maps;
    maps.reserve(10'000);
    for (int i = 0; i < 10'000; ++i) {
        OnlineMap map;
        map.id = QStringLiteral("entree-%1").arg(i);
        map.name = QStringLiteral("France — %1 · %2m").arg(layers.at(i % layers.size())).arg(i);
        map.category = allOnlineCategories().at(i % allOnlineCategories().size());
        map.vintage = QString::number(2000 + i % 27);
        map.source = sources.at(i % sources.size());
        map.detail = QStringLiteral("Contours administratifs publiés par le fournisseur ; simplification à %1m.").arg(i);
        map.downloadURL = map.originURL = map.licenseURL = QUrl(QStringLiteral("https://exemple.fr/%1.geojson").arg(i));
        maps.append(map);
    }
    return maps;
}

void BM_SearchTenThousand(benchmark::State& state)
{
    const QList<OnlineMap> maps = largeCatalogue();
    const QStringList keys = OnlineCatalog::searchKeys(maps); // once per catalogue, as the window does
    const QStringList typed{QStringLiteral("d"), QStringLiteral("dép"), QStringLiteral("départements"),
                            QStringLiteral("DEPARTEMENTS 2026")};
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(OnlineCatalog::search(maps, keys, typed.at(i % typed.size())));
        ++i;
    }
}
BENCHMARK(BM_SearchTenThousand)->Unit(benchmark::kMillisecond);

void BM_WindowKeystrokeTenThousand(benchmark::State& state)
{
    UserDefaults::TemporaryScope scope;
    OnlineCatalogCache::write(largeCatalogue());
    OnlineWindowController::setTransportFactory([](const std::atomic_bool*) {
        return [](const QUrl&) -> OnlineResponse { throw OnlineError::network(QStringLiteral("hors ligne")); };
    });
    OnlineWindowController window;
    const QStringList typed{QStringLiteral("d"), QStringLiteral("dép"), QStringLiteral("départements"),
                            QStringLiteral("DEPARTEMENTS 2026")};
    qsizetype i = 0;
    for (auto _ : state) {
        window.search->setText(typed.at(i % typed.size()));
        ++i;
    }
    OnlineWindowController::setTransportFactory(nullptr);
}
BENCHMARK(BM_WindowKeystrokeTenThousand)->Unit(benchmark::kMillisecond);

} // namespace
