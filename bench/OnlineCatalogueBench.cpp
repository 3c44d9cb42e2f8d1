#include "support/BenchGuard.h"
#include "online/OnlineWindowController.h"
#include "catalogue/OnlineCatalogBrowsing.h"
#include "catalogue/PlmCatalogueLoading.h"
#include "platform/UserDefaults.h"

#include "support/BenchWindow.h"

#include <QLineEdit>
#include <QMainWindow>
#include <benchmark/benchmark.h>

// The catalogue window over 10,000 entries: a keystroke in the window's search field (filter,
// list reset, selection kept) until the shown window has painted it. Parts have rows of their
// own: the folded search alone, the same search done the plain way (every entry folded at each
// keystroke, for comparison), and the folding of the catalogue when it is loaded.
namespace {

const QList<OnlineMap>& largeCatalogue()
{
    static const QList<OnlineMap> maps = [] {
        const QStringList layers = {QStringLiteral("Départements"), QStringLiteral("Régions"), QStringLiteral("Communes"),
                                    QStringLiteral("Intercommunalités (EPCI)"), QStringLiteral("Arrondissements"),
                                    QStringLiteral("Culturel · États et provinces"), QStringLiteral("Physique · Îles")};
        QList<OnlineMap> all;
        for (int i = 0; i < 10000; ++i) {
            OnlineMap map;
            map.id = QStringLiteral("entry-%1").arg(i);
            map.category = OnlineCategory(i % 3);
            map.name = onlineCategoryRawValue(map.category) + QStringLiteral(" — ") + layers.at(i % layers.size())
                     + QStringLiteral(" · %1m").arg(50 + i);
            map.vintage = QString::number(2000 + i % 27);
            map.source = QStringLiteral("Eurostat · GISCO");
            map.detail = QStringLiteral("Contours administratifs publiés par le fournisseur ; simplification à %1m.").arg(i);
            map.downloadURL = QUrl(QStringLiteral("https://example.test/%1.geojson").arg(i));
            map.originURL = QUrl(QStringLiteral("https://example.test/index"));
            map.licenseURL = QUrl(QStringLiteral("https://example.test/licence"));
            map.license = QStringLiteral("Licence Ouverte 2.0");
            map.attribution = QStringLiteral("© IGN");
            all.append(map);
        }
        return all;
    }();
    return maps;
}

void BM_WindowKeystroke_PartFilter(benchmark::State& state)
{
    const OnlineCatalogBrowsing::SearchIndex index(largeCatalogue());
    for (auto _ : state)
        benchmark::DoNotOptimize(index.filter(QStringLiteral("départements 20"), 0));
}
PLM_BENCHMARK(BM_WindowKeystroke_PartFilter)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowKeystroke_PartFilterUnfolded(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(OnlineCatalog::search(largeCatalogue(), QStringLiteral("départements 20")));
}
PLM_BENCHMARK(BM_WindowKeystroke_PartFilterUnfolded)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CatalogueLoad_PartFolding(benchmark::State& state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(OnlineCatalogBrowsing::SearchIndex(largeCatalogue()));
}
PLM_BENCHMARK(BM_CatalogueLoad_PartFolding)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_WindowKeystroke(benchmark::State& state)
{
    UserDefaults::TemporaryScope defaults;
    OnlineCatalogCache::write(largeCatalogue());
    // No provider answers: the cached catalogue stays, and nothing reaches the network.
    OnlineWindowController::setFetch([](const QUrl&, const OnlineDownloadOptions&) -> OnlineResponse {
        throw OnlineError::network(QStringLiteral("hors connexion."));
    });
    {
        OnlineWindowController online;
        // Shown once the cached catalogue is listed (its refresh from the providers fails at once).
        BenchWindow window(online.window(), [&online] { return online.isLoadingCatalogue(); },
                           BenchWindow::Scope::withChildren);
        const bool shown = window.show(state);
        const QStringList typed = {QStringLiteral("d"), QStringLiteral("dé"), QStringLiteral("dép"),
                                   QStringLiteral("dépa"), QStringLiteral("dépar"), QString()};
        qsizetype next = 0;
        for (auto _ : state) {
            if (!shown)
                break;
            window.mark();
            online.search->setText(typed.at(next));
            next = (next + 1) % typed.size();
            if (!window.waitForPicture(state))
                break;
        }
        state.counters["entries"] = double(online.catalogue().size());
    }
    OnlineWindowController::setFetch(nullptr);
}
PLM_BENCHMARK(BM_WindowKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
