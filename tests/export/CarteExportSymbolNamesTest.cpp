#include "support/ExportTestComposition.h"
#include "export/CarteExportSymbolNames.h"

#include <gtest/gtest.h>

namespace {

using ExportTest::Composition;

PlmProportionalSettings symbol(PlmSymbolKind kind, const std::optional<QString>& name = std::nullopt)
{
    PlmProportionalSettings s;
    s.kind = kind;
    s.sfSymbolName = name;
    return s;
}

PlmEntity pointWithSymbol(const QString& id, const QString& name, bool hidden = false)
{
    PlmEntity e = CanvasTestMaps::pointEntity(id, 50, 50, 6);
    e.pointSymbol = PlmPointSymbol(name, std::nullopt);
    if (hidden)
        e.isHidden = true;
    return e;
}

// A work whose proportional layer draws the given settings.
PlmWork proportionalWork(const PlmProportionalSettings& s)
{
    PlmWork work;
    PlmThematicSettings t;
    t.representation = PlmRepresentation::proportional;
    t.proportional = s;
    work.thematic = t;
    return work;
}

TEST(CarteExportSymbolNames, NamesOfTheSymbolsTheCompositionShows)
{
    const QString star = QStringLiteral("star.fill");
    const QString square = QStringLiteral("square.fill");
    struct Case {
        const char* name;
        std::function<void(Composition&)> setUp;
        QStringList expected;
    } cases[] = {
        {"circles, squares and triangles only",
         [](Composition& c) {
             c.overlay->shape = std::make_shared<ProportionalShape>(symbol(PlmSymbolKind::triangle), false);
             c.storedWork = proportionalWork(symbol(PlmSymbolKind::triangle));
         },
         {}},
        {"the layer's symbol and two entities using it are listed once",
         [&](Composition& c) {
             c.overlay->shape = std::make_shared<ProportionalShape>(symbol(PlmSymbolKind::sfSymbol, star), false);
             c.storedWork = proportionalWork(symbol(PlmSymbolKind::sfSymbol, star));
             PlmMap map = c.vector->map();
             map.entities = PlmEntityList({pointWithSymbol("p1", star), pointWithSymbol("p2", star)});
             c.vector->setMap(map);
         },
         {star}},
        {"symbols of hidden entities and hidden groups are left out, names sorted",
         [&](Composition& c) {
             PlmMap map = c.vector->map();
             map.entities = PlmEntityList(
                 {pointWithSymbol("p1", square), pointWithSymbol("p2", QStringLiteral("heart.fill"), true),
                  [&] {
                      PlmEntity g = CanvasTestMaps::groupEntity("g", PlmEntityList({pointWithSymbol("p3", QStringLiteral("bell.fill"))}));
                      g.isHidden = true;
                      return g;
                  }(),
                  pointWithSymbol("p4", star)});
             c.vector->setMap(map);
         },
         {square, star}},
        {"an unavailable symbol still counts as shown",
         [](Composition& c) {
             c.overlay->shape = std::make_shared<ProportionalShape>(
                 symbol(PlmSymbolKind::sfSymbol, QStringLiteral("figure.walk")), false);
             c.storedWork = proportionalWork(symbol(PlmSymbolKind::sfSymbol, QStringLiteral("figure.walk")));
         },
         {QStringLiteral("figure.walk")}},
        {"the work's name is listed with a hidden overlay when another system symbol shows",
         [&](Composition& c) {
             c.overlay->shape = std::make_shared<ProportionalShape>(symbol(PlmSymbolKind::sfSymbol, star), false);
             c.overlay->setHidden(true);
             c.storedWork = proportionalWork(symbol(PlmSymbolKind::sfSymbol, star));
             PlmDecorationObject o(QStringLiteral("s"), PlmDecorationKind::sfSymbol);
             o.symbol = symbol(PlmSymbolKind::sfSymbol, square);
             auto* view = new ExportTest::Object(o);
             view->setFrame(QRectF(10, 10, 40, 40));
             c.root->addSubview(view);
         },
         {square, star}},
        {"a hidden overlay alone shows nothing",
         [&](Composition& c) {
             c.overlay->shape = std::make_shared<ProportionalShape>(symbol(PlmSymbolKind::sfSymbol, star), false);
             c.overlay->setHidden(true);
             c.storedWork = proportionalWork(symbol(PlmSymbolKind::sfSymbol, star));
         },
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Composition composition;
        c.setUp(composition);
        EXPECT_EQ(exportSFSymbolNames(composition), c.expected);
    }
}

} // namespace
