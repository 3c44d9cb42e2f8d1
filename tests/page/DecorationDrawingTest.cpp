#include "page/DecorationDrawing.h"

#include "canvas/VectorCanvas.h"
#include "page/DecorationGlyphs.h"
#include "page/DecorationText.h"
#include "page/LegendLayout.h"
#include "model/PlmMap.h"
#include "support/ImageBytes.h"
#include "support/YUpImage.h"
#include "support/PresentationTestSupport.h"

#include <QBuffer>
#include <QImageWriter>
#include <QPageSize>
#include <QPdfWriter>
#include <functional>
#include <gtest/gtest.h>

namespace {

PlmDecorationObject objectOf(PlmDecorationKind kind, double width, double height)
{
    PlmDecorationObject object(QStringLiteral("obj"), kind);
    object.width = width;
    object.height = height;
    return object;
}

QImage draw(const PlmDecorationObject& object, const DecorationDrawingContext& context = {})
{
    YUpImage image(int(object.width), int(object.height));
    drawDecorationObject(*image.painter, object, QSizeF(object.width, object.height), context);
    image.finish();
    return image.image;
}

QColor at(const QImage& image, double x, double y)
{
    return image.pixelColor(int(x), image.height() - 1 - int(y));
}

int darkPixels(const QImage& image, const QRect& yUp)
{
    int count = 0;
    for (int y = yUp.top(); y <= yUp.bottom(); ++y)
        for (int x = yUp.left(); x <= yUp.right(); ++x)
            if (at(image, x, y).lightness() < 128)
                ++count;
    return count;
}

} // namespace

TEST(DecorationDrawing, RectangleIsFilledWithTheBackgroundUnlessNoFill)
{
    PlmDecorationObject rect = objectOf(PlmDecorationKind::rectangle, 100, 60);
    rect.presentation.background = PlmColor{1, 0, 0, 1};
    const QImage filled = draw(rect);
    EXPECT_TRUE(nearColor(at(filled, 50, 30), Qt::red));
    EXPECT_TRUE(nearColor(at(filled, 2, 2), Qt::red));  // the frame fill defaults to the background too

    changeEditingStyle(rect.presentation, [](PlmEditingStyle& s) {
        s.noFill = true;
        s.frameFill = PlmColor{1, 1, 1, 0};
    });
    EXPECT_TRUE(nearColor(at(draw(rect), 50, 30), Qt::white));
}

TEST(DecorationDrawing, LinesAndArrowsAreNeverFilled)
{
    for (PlmDecorationKind kind : {PlmDecorationKind::line, PlmDecorationKind::arrow}) {
        PlmDecorationObject line = objectOf(kind, 100, 60);
        line.presentation.background = PlmColor{1, 0, 0, 1};
        changeEditingStyle(line.presentation, [](PlmEditingStyle& s) {
            s.noFill = false;
            s.frameFill = PlmColor{1, 1, 1, 0};
            s.strokeWidth = 3;
        });
        const QImage image = draw(line);
        EXPECT_TRUE(nearColor(at(image, 50, 45), Qt::white)) << rawValue(kind).toStdString();
        EXPECT_LT(at(image, 30, 30).lightness(), 100) << rawValue(kind).toStdString();  // the stroke itself
    }
}

TEST(DecorationDrawing, TextBackgroundIsFilledOnlyWithAnEditingStyle)
{
    PlmDecorationObject text = objectOf(PlmDecorationKind::text, 120, 60);
    text.text = QString();
    text.presentation.background = PlmColor{0, 0, 1, 1};
    text.presentation.frameHidden = true;
    EXPECT_TRUE(nearColor(at(draw(text), 60, 30), Qt::white));
    changeEditingStyle(text.presentation, [](PlmEditingStyle& s) {
        s.frameFill = PlmColor{1, 1, 1, 0};
        s.padding = 10;
    });
    const QImage styled = draw(text);
    EXPECT_TRUE(nearColor(at(styled, 60, 30), Qt::blue));
    EXPECT_TRUE(nearColor(at(styled, 5, 5), Qt::white));  // outside the padded rectangle
}

TEST(DecorationDrawing, ScaleBarShowsItsFrenchLabelWithNarrowNoBreakGrouping)
{
    PlmDecorationObject scale = objectOf(PlmDecorationKind::scale, 220, 70);
    changeEditingStyle(scale.presentation, [](PlmEditingStyle& s) { s.scaleUnit = 1; s.scaleStyle = 1; });
    scale.presentation.frameHidden = true;
    DecorationDrawingContext context;
    context.scaleMeters = 12345;
    const QImage image = draw(scale, context);

    // The label area matches "≈ 12 300 m" set with U+202F, not with an ordinary space.
    auto labelImage = [&](const QString& label) {
        YUpImage reference(220, 70);
        drawDecorationText(*reference.painter, label, QRectF(10, 30, 200, 40), textAttributes(scale.presentation));
        reference.finish();
        return reference.image.copy(0, 0, 220, 40);
    };
    const QImage drawnLabel = image.copy(0, 0, 220, 40);
    EXPECT_EQ(drawnLabel, labelImage(QStringLiteral("≈ 12") + QChar(0x202F) + QStringLiteral("300 m")));
    EXPECT_NE(drawnLabel, labelImage(QStringLiteral("≈ 12 300 m")));
    // Alternating cells: first filled, second empty.
    EXPECT_LT(at(image, 35, 21).lightness(), 80);
    EXPECT_GT(at(image, 85, 21).lightness(), 200);
}

TEST(DecorationDrawing, UnmeasurableScaleSaysSoAndDrawsNoBar)
{
    PlmDecorationObject scale = objectOf(PlmDecorationKind::scale, 220, 70);
    scale.presentation.frameHidden = true;
    const QImage image = draw(scale);
    EXPECT_EQ(darkPixels(image, QRect(10, 19, 200, 3)), 0);  // no bar
    EXPECT_GT(darkPixels(image, QRect(6, 40, 200, 24)), 20);  // the message at the top
}

TEST(DecorationDrawing, NorthArrowOnlyOnAGeographicMap)
{
    PlmDecorationObject north = objectOf(PlmDecorationKind::north, 64, 100);
    north.presentation.color = PlmColor{0, 0.5, 0, 1};
    north.presentation.frameHidden = true;
    DecorationDrawingContext context;
    context.northDetermined = true;
    const QImage arrow = draw(north, context);
    EXPECT_TRUE(nearColor(at(arrow, 32, 40), QColor(0, 128, 0), 20));
    EXPECT_GT(darkPixels(arrow, QRect(20, 78, 24, 20)), 5);  // the "N"

    context.northDetermined = false;
    context.selected = true;
    const QImage undetermined = draw(north, context);
    EXPECT_TRUE(nearColor(at(undetermined, 32, 40), Qt::white));
    EXPECT_GT(darkPixels(undetermined, QRect(6, 60, 52, 34)), 20);  // "Nord indéterminé"
    EXPECT_EQ(at(undetermined, 32, 95), QColor(0, 122, 255));      // rotation knob
    EXPECT_EQ(at(undetermined, 3, 3), QColor(0, 122, 255));         // corner handle
}

TEST(DecorationDrawing, SelectedScaleHasCornersButNoRotationKnob)
{
    PlmDecorationObject scale = objectOf(PlmDecorationKind::scale, 220, 70);
    scale.presentation.frameHidden = true;
    DecorationDrawingContext context;
    context.selected = true;
    context.scaleMeters = 1000;
    const QImage image = draw(scale, context);
    EXPECT_NE(at(image, 110, 65), QColor(0, 122, 255));
    EXPECT_EQ(at(image, 215, 65), QColor(0, 122, 255));
    EXPECT_EQ(at(image, 215, 4), QColor(0, 122, 255));
}

TEST(DecorationDrawing, ImagesAreFittedAndCentred)
{
    QImage small(10, 5, QImage::Format_ARGB32);
    small.fill(Qt::red);
    PlmDecorationObject image = objectOf(PlmDecorationKind::image, 112, 112);
    image.bitmap = encodedImage(small);
    image.presentation.frameHidden = true;
    const QImage drawn = draw(image);  // content 100 × 100: the picture becomes 100 × 50
    EXPECT_TRUE(nearColor(at(drawn, 56, 56), Qt::red));
    EXPECT_TRUE(nearColor(at(drawn, 8, 56), Qt::red));
    EXPECT_TRUE(nearColor(at(drawn, 56, 25), Qt::white));   // band below
    EXPECT_TRUE(nearColor(at(drawn, 56, 87), Qt::white));   // band above
    EXPECT_TRUE(nearColor(at(drawn, 56, 33), Qt::red));

    image.bitmap = QByteArray("pas une image");
    image.presentation.frameHidden.reset();
    image.presentation.background = PlmColor{0, 1, 0, 1};
    EXPECT_TRUE(nearColor(at(draw(image), 56, 56), Qt::green));  // the box alone
}

TEST(DecorationDrawing, LegendObjectDrawsSwatchesInTheClassColours)
{
    LegendData source;
    source.title = QStringLiteral("Densité");
    source.labels = {QStringLiteral("Faible"), QStringLiteral("Forte")};
    source.colors = {PlmColor{1, 0, 0, 1}, PlmColor{0, 0, 1, 1}};
    source.missingColor = PlmColor{0, 1, 0, 1};
    PlmDecorationObject legend = objectOf(PlmDecorationKind::legend, 160, 120);
    legend.presentation.background = PlmColor{1, 1, 1, 1};
    DecorationDrawingContext context;
    context.legend = decorationLegendCopy(legend, source, QSizeF(160, 120));
    const QImage image = draw(legend, context);
    const LegendLayout layout(*context.legend);
    ASSERT_EQ(layout.entries.size(), 3);
    const QColor expected[] = {Qt::red, Qt::blue, Qt::green};
    for (int i = 0; i < 3; ++i) {
        const QPointF c = layout.entries[i].swatch.center();
        EXPECT_TRUE(nearColor(at(image, c.x(), c.y()), expected[i])) << i;
    }
}

TEST(DecorationDrawing, LegendCopyTakesTheStoredHeightOnlyWhenFitIsOff)
{
    LegendData source;
    source.labels = {QStringLiteral("A")};
    source.presentation.height = 80;
    PlmDecorationObject legend = objectOf(PlmDecorationKind::legend, 150, 140);
    legend.presentation.height = 50;
    EXPECT_EQ(decorationLegendCopy(legend, source, QSizeF(150, 140)).presentation.height, 50);
    legend.presentation.legendFitsContent = false;
    const LegendData copy = decorationLegendCopy(legend, source, QSizeF(150, 140));
    EXPECT_EQ(copy.presentation.height, 140);
    EXPECT_EQ(copy.size, QSizeF(150, 140));
    EXPECT_EQ(copy.labels, source.labels);
}

TEST(DecorationDrawing, ScaleIsMeasuredOnlyOnANarrowGeographicView)
{
    PlmEntity border(QStringLiteral("fr"), QStringLiteral("France"), PlmGeometry::polyline({{-5, 42}, {8, 51}}),
                     PlmStyle());
    const PlmMap map(QStringLiteral("France"), PlmEntityList{border},
                     {{QStringLiteral("coordinates"), QStringLiteral("longitude/latitude WGS84 (sans reprojection)")}});
    VectorCanvas canvas(map, false, QString());
    canvas.setScale(100);  // 100 points per degree
    canvas.setOffset(QPointF(-100, -4700 * canvas.yAxisSign()));
    PlmDecorationObject scale = objectOf(PlmDecorationKind::scale, 120, 60);
    // The probes are 100 points, one degree, apart at latitude 48.
    const QRectF onParallel(150, 100 - 25, 120, 60);
    const DecorationDrawingContext context = decorationContext(scale, &canvas, onParallel, QSizeF(800, 600));
    ASSERT_TRUE(context.scaleMeters.has_value());
    EXPECT_NEAR(*context.scaleMeters, 74'600, 150);
    ASSERT_TRUE(context.scaleLatitude.has_value());
    EXPECT_NEAR(*context.scaleLatitude, 48, 1e-9);

    canvas.setScale(10);  // 80 degrees visible: too wide
    EXPECT_FALSE(measureDecorationScale(canvas, onParallel, QSizeF(800, 600)));

    VectorCanvas projected(PlmMap(QStringLiteral("Plan"), PlmEntityList{border}, {}), false, QString());
    projected.setScale(100);
    EXPECT_FALSE(decorationContext(scale, &projected, onParallel, QSizeF(800, 600)).scaleMeters);
    EXPECT_FALSE(decorationContext(objectOf(PlmDecorationKind::north, 64, 100), &projected, onParallel,
                                   QSizeF(800, 600)).northDetermined);
    EXPECT_FALSE(decorationContext(scale, nullptr, onParallel, QSizeF(800, 600)).scaleMeters);
}

TEST(DecorationDrawing, TheSameRoutineWritesTextIntoAPdf)
{
    QByteArray pdf;
    {
        QBuffer buffer(&pdf);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QSizeF(200, 100), QPageSize::Point));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        writer.setResolution(72);
        QPainter painter(&writer);
        ViewNode::flipPainter(painter, 100);
        PlmDecorationObject text = objectOf(PlmDecorationKind::title, 200, 100);
        text.text = QStringLiteral("Carte de France");
        drawDecorationObject(painter, text, QSizeF(200, 100), {});
    }
    EXPECT_TRUE(pdf.startsWith("%PDF"));
    EXPECT_TRUE(pdf.contains("NimbusSans")) << "the text's font is embedded";
}

// The box of a title is its whole frame, and its text starts one padding in from the frame's
// top-left corner: neither is shifted against the other (a wide title box only shows where it
// covers something).
TEST(DecorationDrawing, ATitleBoxCoversItsFrameAndItsTextStartsOnePaddingIn)
{
    PlmDecorationObject title = objectOf(PlmDecorationKind::title, 300, 60);
    title.text = QStringLiteral("Titre");
    title.presentation.background = PlmColor{0.4, 0.7, 1, 1};
    const QImage image = draw(title);
    const QColor box = QColor::fromRgbF(0.4f, 0.7f, 1);
    for (const QPointF& corner : {QPointF(1.5, 1.5), QPointF(298.5, 1.5), QPointF(1.5, 58.5), QPointF(298.5, 58.5)})
        EXPECT_TRUE(nearColor(at(image, corner.x(), corner.y()), box)) << corner.x() << ", " << corner.y();
    QRect ink;  // y down, from the frame's top
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).lightness() < 80)
                ink = ink.united(QRect(x, y, 1, 1));
    ASSERT_FALSE(ink.isNull());
    const double padding = title.presentation.effectiveEditingStyle().padding;
    EXPECT_GE(ink.left(), padding);
    EXPECT_LE(ink.left(), padding + 4);
    EXPECT_GE(ink.top(), padding);
    EXPECT_LE(ink.top(), padding + 16);
    EXPECT_LT(ink.right(), 150);
}
