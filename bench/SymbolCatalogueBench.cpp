// The symbol catalogue: one keystroke in the search field, and opening the picker window.
#include "support/BenchGuard.h"
#include "symbolcatalogue/SymbolGlyphSvgReader.h"
#include "symbolcatalogue/SymbolPickerWindowController.h"
#include "platform/SymbolGlyphProvider.h"
#include "platform/UserDefaults.h"
#include "canvas/PlmSymbolCatalogue.h"

#include <QApplication>
#include <QLineEdit>
#include <benchmark/benchmark.h>

namespace {

void warmUp()
{
    SymbolGlyphSvgReader::install();
    PlmSymbolCatalogue::filter(QStringLiteral("x"), 0, {}, true); // the per-process index
}

// Each keystroke folds only the query and walks the folded names once.
void BM_KeystrokeRefilter(benchmark::State& state)
{
    warmUp();
    const QStringList typed{QStringLiteral("v"), QStringLiteral("vo"), QStringLiteral("voi"), QStringLiteral("voiture"),
                            QStringLiteral("électricité"), QString()};
    qsizetype i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(PlmSymbolCatalogue::filter(typed.at(i % typed.size()), 0, {}, true));
        ++i;
    }
}
PLM_BENCHMARK(BM_KeystrokeRefilter)->Unit(benchmark::kMicrosecond);

// The whole window's answer to a keystroke: the list rule, the table and the visible previews.
void BM_PickerKeystroke(benchmark::State& state)
{
    warmUp();
    UserDefaults::TemporaryScope scope;
    SymbolPickerWindowController picker([](const QString&) {}, [](const PlmMap&, const QString&) {}, std::nullopt,
                                        [] {});
    picker.show();
    QApplication::processEvents();
    auto* search = picker.findChild<QLineEdit*>(QStringLiteral("Symbols.Search"));
    const QStringList typed{QStringLiteral("t"), QStringLiteral("tr"), QStringLiteral("tra"), QString()};
    qsizetype i = 0;
    for (auto _ : state) {
        search->setText(typed.at(i % typed.size()));
        benchmark::DoNotOptimize(picker.grab());
        ++i;
    }
}
PLM_BENCHMARK(BM_PickerKeystroke)->Unit(benchmark::kMillisecond);

// Opening the window: build, fill, show and paint the first rows (glyphs cached after the
// first opening, as in a session).
void BM_PickerOpens(benchmark::State& state)
{
    warmUp();
    UserDefaults::TemporaryScope scope;
    for (auto _ : state) {
        auto* picker = new SymbolPickerWindowController([](const QString&) {}, [](const PlmMap&, const QString&) {},
                                                        std::nullopt, [] {});
        picker->show();
        benchmark::DoNotOptimize(picker->grab());
        state.PauseTiming();
        delete picker;
        state.ResumeTiming();
    }
}
PLM_BENCHMARK(BM_PickerOpens)->Unit(benchmark::kMillisecond);

// The same with no glyph read yet: the visible rows' icons are read from their SVG files.
void BM_PickerOpensColdGlyphs(benchmark::State& state)
{
    warmUp();
    UserDefaults::TemporaryScope scope;
    for (auto _ : state) {
        state.PauseTiming();
        SymbolGlyphProvider::setOutlineReader(nullptr); // forgets every glyph read
        SymbolGlyphSvgReader::install();
        state.ResumeTiming();
        auto* picker = new SymbolPickerWindowController([](const QString&) {}, [](const PlmMap&, const QString&) {},
                                                        std::nullopt, [] {});
        picker->show();
        benchmark::DoNotOptimize(picker->grab());
        state.PauseTiming();
        delete picker;
        state.ResumeTiming();
    }
}
PLM_BENCHMARK(BM_PickerOpensColdGlyphs)->Unit(benchmark::kMillisecond);

} // namespace
