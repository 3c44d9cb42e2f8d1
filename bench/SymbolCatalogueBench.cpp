// The symbol catalogue window: one keystroke in the search field, and opening the window, each
// timed until the window has painted it (the table with its visible previews). The filter
// alone has a row of its own, named as a part.
#include "support/BenchGuard.h"
#include "support/BenchWindow.h"
#include "symbolcatalogue/SymbolGlyphSvgReader.h"
#include "symbolcatalogue/SymbolPickerWindowController.h"
#include "platform/SymbolGlyphProvider.h"
#include "platform/UserDefaults.h"
#include "canvas/PlmSymbolCatalogue.h"

#include <QLineEdit>
#include <benchmark/benchmark.h>
#include <memory>

namespace {

void warmUp()
{
    SymbolGlyphSvgReader::install();
    PlmSymbolCatalogue::filter(QStringLiteral("x"), 0, {}, true); // the per-process index
}

// A part of a keystroke: the filter alone, which folds only the query and walks the folded
// names once.
void BM_PickerKeystroke_PartFilter(benchmark::State& state)
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
PLM_BENCHMARK(BM_PickerKeystroke_PartFilter)->Unit(benchmark::kMicrosecond)->UseRealTime();

SymbolPickerWindowController* makePicker()
{
    return new SymbolPickerWindowController([](const QString&) {}, [](const PlmMap&, const QString&) {}, std::nullopt,
                                            [] {});
}

// The whole window's answer to a keystroke: the list rule, the table and the visible previews,
// until painted.
void BM_PickerKeystroke(benchmark::State& state)
{
    warmUp();
    UserDefaults::TemporaryScope scope;
    std::unique_ptr<SymbolPickerWindowController> picker(makePicker());
    BenchWindow window(picker.get(), {}, BenchWindow::Scope::withChildren);
    if (!window.show(state))
        return;
    auto* search = picker->findChild<QLineEdit*>(QStringLiteral("Symbols.Search"));
    const QStringList typed{QStringLiteral("t"), QStringLiteral("tr"), QStringLiteral("tra"), QString()};
    qsizetype i = 0;
    for (auto _ : state) {
        window.mark();
        search->setText(typed.at(i % typed.size()));
        if (!window.waitForPicture(state))
            break;
        ++i;
    }
}
PLM_BENCHMARK(BM_PickerKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opening the window: build, fill, show until exposed and painted with its first rows. Argument
// coldGlyphs:0, the glyphs cached by an earlier opening, as in a session; coldGlyphs:1, none read
// yet: the visible rows' icons are read from their SVG files. Closing is not timed.
void BM_PickerOpens(benchmark::State& state)
{
    warmUp();
    UserDefaults::TemporaryScope scope;
    const bool coldGlyphs = state.range(0) != 0;
    for (auto _ : state) {
        if (coldGlyphs) {
            BenchWindow::pauseTiming(state);
            SymbolGlyphProvider::setOutlineReader(nullptr); // forgets every glyph read
            SymbolGlyphSvgReader::install();
            BenchWindow::resumeTiming(state);
        }
        std::unique_ptr<SymbolPickerWindowController> picker(makePicker());
        const bool shown = BenchWindow(picker.get(), {}, BenchWindow::Scope::withChildren).show(state);
        BenchWindow::pauseTiming(state);
        picker.reset();
        BenchWindow::resumeTiming(state);
        if (!shown)
            break;
    }
}
PLM_BENCHMARK(BM_PickerOpens)->ArgName("coldGlyphs")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
