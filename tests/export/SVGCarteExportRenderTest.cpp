#include "canvas/VectorCanvas.h"
#include "page/DecorationDrawing.h"
#include "page/LegendDrawing.h"
#include "page/LegendLayout.h"
#include "export/SVGCarteExport.h"
#include "support/CanvasTestMaps.h"
#include "support/ImageBytes.h"
#include "support/SvgTestSupport.h"
#include "support/YUpImage.h"
#include "support/KeptRenders.h"
#include "support/PresentationTestSupport.h"

#include <QPainter>

#include <gtest/gtest.h>

using namespace CanvasTestMaps;
using namespace SvgTestSupport;

// Decorations and legends of the SVG drawn by rsvg-convert against the screen's drawing of the
// same values (the whole page against the PNG export: SvgCompositionExportTest).
namespace {

constexpr double kWidth = 400;
constexpr double kHeight = 300;

// The pixel of a y-down image at a y-up composition point.
QColor probe(const QImage& image, const QPointF& p)
{
    return image.pixelColor(int(p.x()), image.height() - 1 - int(p.y()));
}

// Every kind of decoration and a symbol legend, drawn by rsvg-convert and by the screen's code.
struct DecorationScene {
    SvgComposition composition = emptyComposition(kWidth, kHeight);

    void add(PlmDecorationObject object, const QRectF& frame, const DecorationDrawingContext& context = {})
    {
        SvgCompositionView view;
        view.kind = SvgCompositionView::Kind::decoration;
        view.frame = frame;
        view.object = std::move(object);
        view.context = context;
        composition.views.append(view);
    }

    DecorationScene()
    {
        DecorationDrawingContext scale;
        scale.scaleMeters = 25000;
        scale.scaleLatitude = 48.8566;
        add(PlmDecorationObject("s", PlmDecorationKind::scale), QRectF(10, 10, 200, 60), scale);
        DecorationDrawingContext north;
        north.northDetermined = true;
        add(PlmDecorationObject("n", PlmDecorationKind::north), QRectF(220, 10, 60, 110), north);
        PlmDecorationObject box("r", PlmDecorationKind::rectangle);
        box.presentation.background = PlmColor{0.2, 0.7, 0.3, 1};
        box.presentation.border = true;
        changeEditingStyle(box.presentation, [&](PlmEditingStyle& s) {
            s.dash = 1;
            s.strokeWidth = 2;
            s.rotation = 20;
        });
        add(box, QRectF(20, 140, 110, 60));
        PlmDecorationObject logo("i", PlmDecorationKind::image);
        logo.bitmap = plainPng(QColor(220, 30, 30), 40, 20);
        add(logo, QRectF(150, 140, 100, 60));
        PlmDecorationObject symbol("f", PlmDecorationKind::sfSymbol);
        PlmProportionalSettings star;
        star.kind = PlmSymbolKind::sfSymbol;
        star.sfSymbolName = QStringLiteral("circle.fill");
        symbol.symbol = star;
        symbol.presentation.color = PlmColor{0.1, 0.1, 0.8, 1};
        add(symbol, QRectF(20, 210, 80, 80));
        add(PlmDecorationObject("a", PlmDecorationKind::arrow), QRectF(110, 230, 120, 40));

        SvgCompositionView legend;
        legend.kind = SvgCompositionView::Kind::legend;
        PlmProportionalSettings circle;
        circle.kind = PlmSymbolKind::circle;
        legend.legend.title = QStringLiteral("Population");
        legend.legend.labels = {"1 000", "10 000"};
        legend.legend.referenceSizes = {10, 30};
        legend.legend.proportionalShape = std::make_shared<const ProportionalShape>(circle, false);
        legend.legend.size = QSizeF(LegendLayout::preferredWidth(legend.legend), 120);
        legend.frame = QRectF(QPointF(kWidth - legend.legend.size.width() - 10, 150), legend.legend.size);
        composition.views.append(legend);
    }

    YUpImage raster() const
    {
        YUpImage image{int(kWidth), int(kHeight)};
        for (const SvgCompositionView& view : composition.views) {
            image.painter->save();
            image.painter->translate(view.frame.topLeft());
            if (view.kind == SvgCompositionView::Kind::legend) {
                drawLegendContent(*image.painter, view.legend, true, false, Qt::blue);
            } else {
                DecorationDrawingContext context = view.context;
                context.exporting = true;
                drawDecorationObject(*image.painter, view.object, view.frame.size(), context);
            }
            image.painter->restore();
        }
        image.finish();
        return image;
    }
};

TEST(SVGCarteExportRenderTest, DecorationsAndASymbolLegendRenderAsOnScreen)
{
    DecorationScene scene;
    SvgPage page;
    page.width = kWidth * 25.4 / 72;
    page.height = kHeight * 25.4 / 72;
    SVGCarteExport writer(scene.composition, page);
    const QImage svg = renderWithRsvg(writer.makeDocument().data, 1);
    ASSERT_FALSE(svg.isNull());
    const YUpImage raster = scene.raster();
    KeptRenders::keep(QStringLiteral("svg-decorations.png"), svg);
    KeptRenders::keep(QStringLiteral("raster-decorations.png"), raster.image);
    const struct {
        const char* name;
        QPointF at;
    } probes[] = {
        {"logo", {200, 170}},
        {"system symbol", {60, 250}},
        {"rotated rectangle", {75, 170}},
        {"north arrow body", {250, 60}},
        {"large legend symbol", {scene.composition.views.last().frame.left() + 6 + 15, 0}},
    };
    const LegendLayout layout(scene.composition.views.last().legend);
    for (const auto& row : probes) {
        QPointF at = row.at;
        if (QByteArray(row.name) == "large legend symbol") {
            const LegendLayout::Entry& entry = layout.entries.last();
            at = scene.composition.views.last().frame.topLeft() + entry.swatch.center();
        }
        const QColor a = probe(svg, at);
        const QColor b = probe(raster.image, at);
        EXPECT_TRUE(nearColor(a, b, 16)) << row.name << ": " << qPrintable(a.name()) << " " << qPrintable(b.name());
        EXPECT_NE(a, QColor(Qt::white)) << row.name;
    }
}

} // namespace
