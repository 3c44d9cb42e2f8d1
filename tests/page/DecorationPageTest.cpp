#include "page/DecorationDrawing.h"
#include "page/LegendLayout.h"
#include "support/ImageBytes.h"

#include "support/YUpImage.h"
#include "support/KeptRenders.h"
#include "support/PresentationTestSupport.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

struct Placed {
    PlmDecorationObject object;
    QPointF origin;
    DecorationDrawingContext context;
};

PlmDecorationObject make(PlmDecorationKind kind, double w, double h)
{
    PlmDecorationObject object(rawValue(kind), kind);
    object.width = w;
    object.height = h;
    return object;
}

} // namespace

// Draws one object of every kind on a page, as the page and the exports do, and keeps the
// picture for a look: /tmp/pelmora-decorations-page.png.
TEST(DecorationPage, OneObjectOfEachKindDrawsInsideItsFrame)
{
    QList<Placed> page;
    auto add = [&](PlmDecorationObject object, QPointF origin, DecorationDrawingContext context = {}) {
        page.append({object, origin, context});
    };
    PlmDecorationObject title = make(PlmDecorationKind::title, 400, 46);
    title.text = QStringLiteral("Densité de population");
    title.presentation.fontSize = 24;
    title.presentation.bold = true;
    title.presentation.alignment = PlmTextAlignment::center;
    add(title, {100, 546});
    PlmDecorationObject subtitle = make(PlmDecorationKind::subtitle, 400, 34);
    subtitle.text = QStringLiteral("Départements, 2024");
    subtitle.presentation.alignment = PlmTextAlignment::center;
    add(subtitle, {100, 512});
    PlmDecorationObject text = make(PlmDecorationKind::text, 180, 90);
    text.text = QStringLiteral("Un texte libre assez long pour passer à la ligne dans sa boîte.\nSecond paragraphe.");
    text.presentation.border = true;
    changeEditingStyle(text.presentation, [&](PlmEditingStyle& s) {
        s.shadow = true;
        s.cornerRadius = 6;
        s.frameFill = PlmColor{1, 1, 0.9, 1};
    });
    add(text, {20, 390});
    PlmDecorationObject source = make(PlmDecorationKind::source, 250, 24);
    source.text = QStringLiteral("Source : INSEE");
    source.presentation.fontSize = 10;
    add(source, {20, 10});
    PlmDecorationObject author = make(PlmDecorationKind::author, 200, 24);
    author.text = QStringLiteral("Auteur : Pelmora");
    author.presentation.fontSize = 10;
    author.presentation.alignment = PlmTextAlignment::right;
    add(author, {380, 10});

    PlmDecorationObject scale = make(PlmDecorationKind::scale, 220, 70);
    changeEditingStyle(scale.presentation, [&](PlmEditingStyle& s) { s.scaleStyle = 1; });
    DecorationDrawingContext scaleContext;
    scaleContext.scaleMeters = 12345;
    scaleContext.scaleLatitude = 46.52;
    scaleContext.selected = true;
    add(scale, {20, 40}, scaleContext);

    PlmDecorationObject north = make(PlmDecorationKind::north, 64, 100);
    changeEditingStyle(north.presentation, [&](PlmEditingStyle& s) { s.northStyle = 2; s.rotation = 15; });
    DecorationDrawingContext northContext;
    northContext.northDetermined = true;
    add(north, {510, 400}, northContext);

    PlmDecorationObject rectangle = make(PlmDecorationKind::rectangle, 120, 70);
    rectangle.presentation.background = PlmColor{0.9, 0.3, 0.2, 1};
    changeEditingStyle(rectangle.presentation, [&](PlmEditingStyle& s) {
        s.cornerRadius = 10;
        s.dash = 1;
        s.strokeWidth = 2;
    });
    add(rectangle, {220, 400});
    PlmDecorationObject ellipse = make(PlmDecorationKind::ellipse, 120, 70);
    ellipse.presentation.background = PlmColor{0.2, 0.5, 0.9, 1};
    add(ellipse, {360, 400});
    add(make(PlmDecorationKind::line, 120, 30), {220, 350});
    PlmDecorationObject arrow = make(PlmDecorationKind::arrow, 120, 40);
    changeEditingStyle(arrow.presentation, [&](PlmEditingStyle& s) { s.strokeWidth = 2; s.cap = 1; });
    add(arrow, {360, 345});

    QImage picture(40, 20, QImage::Format_ARGB32);
    picture.fill(QColor(40, 160, 80));
    for (int x = 0; x < 20; ++x)
        for (int y = 0; y < 10; ++y)
            picture.setPixelColor(x, y, QColor(250, 200, 0));  // top-left quarter: upright check
    const QByteArray png = encodedImage(picture);
    PlmDecorationObject image = make(PlmDecorationKind::image, 120, 100);
    image.bitmap = png;
    image.presentation.border = true;
    add(image, {20, 150});

    PlmProportionalSettings star;
    star.kind = PlmSymbolKind::sfSymbol;
    star.sfSymbolName = QStringLiteral("star.fill");
    PlmDecorationObject symbol = make(PlmDecorationKind::sfSymbol, 80, 80);
    symbol.symbol = star;
    symbol.presentation.color = PlmColor{0.8, 0.1, 0.5, 1};
    add(symbol, {160, 170});
    PlmDecorationObject svg = make(PlmDecorationKind::svg, 80, 80);
    svg.symbol = PlmProportionalSettings();
    svg.presentation.color = PlmColor{0.1, 0.4, 0.8, 1};
    add(svg, {250, 170});

    LegendData legend;
    legend.title = QStringLiteral("Habitants au km²");
    legend.labels = {QStringLiteral("moins de 50"), QStringLiteral("50 à 200"), QStringLiteral("plus de 200")};
    legend.colors = {PlmColor{0.99, 0.9, 0.8, 1}, PlmColor{0.95, 0.6, 0.4, 1}, PlmColor{0.8, 0.2, 0.1, 1}};
    legend.footer = QStringLiteral("Seuils : quantiles");
    legend.presentation.background = PlmColor{1, 1, 1, 0.96};
    legend.presentation.border = true;
    PlmDecorationObject legendObject = make(PlmDecorationKind::legend, 190, 0);
    legendObject.presentation = legend.presentation;
    legend.size = QSizeF(190, 0);
    legendObject.height = LegendLayout::Content(legend, 190).height;
    DecorationDrawingContext legendContext;
    legendContext.legend = decorationLegendCopy(legendObject, legend, QSizeF(190, legendObject.height));
    add(legendObject, {400, 130}, legendContext);

    YUpImage sheet(620, 600, QColor(245, 245, 245));
    for (const Placed& placed : page) {
        sheet.painter->save();
        sheet.painter->translate(placed.origin);
        drawDecorationObject(*sheet.painter, placed.object, QSizeF(placed.object.width, placed.object.height),
                             placed.context);
        sheet.painter->restore();
    }
    sheet.finish();
    KeptRenders::keep(QStringLiteral("decorations-page.png"), sheet.image);

    // Nothing leaks out of the frames: a band of the page between objects stays untouched.
    for (int x = 0; x < 620; x += 7)
        EXPECT_EQ(sheet.at(x, 508), QColor(245, 245, 245)) << x;
    // The picture is upright: its yellow quarter is at the top left of its fitted rectangle.
    EXPECT_TRUE(nearColor(sheet.at(20 + 6 + 10, 150 + 50 + 20), QColor(250, 200, 0), 20));
    EXPECT_TRUE(nearColor(sheet.at(20 + 6 + 10, 150 + 50 - 20), QColor(40, 160, 80), 20));
}
