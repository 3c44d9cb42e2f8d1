#include "canvas/CanvasStrokeOutline.h"
#include "canvas/VectorCanvas.h"
#include "support/CanvasTestMaps.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <gtest/gtest.h>

#include <cmath>

using namespace CanvasTestMaps;

namespace {

// How two renders of the same scene differ: pixels drawn in either, and
// among them those whose channels differ by more than antialiasing does.
struct Difference {
    int inked = 0;
    int beyond = 0;
    int largest = 0;
};

Difference compare(const QImage& a, const QImage& b, int tolerance)
{
    Difference d;
    const QImage x = a.convertToFormat(QImage::Format_ARGB32);
    const QImage y = b.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < x.height(); ++row) {
        const QRgb* p = reinterpret_cast<const QRgb*>(x.constScanLine(row));
        const QRgb* q = reinterpret_cast<const QRgb*>(y.constScanLine(row));
        for (int col = 0; col < x.width(); ++col) {
            if (p[col] != 0xffffffff || q[col] != 0xffffffff)
                ++d.inked;
            const int diff = std::max({std::abs(qRed(p[col]) - qRed(q[col])), std::abs(qGreen(p[col]) - qGreen(q[col])),
                                       std::abs(qBlue(p[col]) - qBlue(q[col])), std::abs(qAlpha(p[col]) - qAlpha(q[col]))});
            d.largest = std::max(d.largest, diff);
            if (diff > tolerance)
                ++d.beyond;
        }
    }
    return d;
}

// A star with sharp points (beyond a miter limit of 4) and blunt ones, a
// square with a hole, and an open zigzag: every kind of join and end.
QPainterPath sampleOutlines()
{
    QPainterPath path;
    for (int k = 0; k < 10; ++k) {
        const double angle = M_PI / 2 + k * M_PI / 5;
        const double r = k % 2 ? 12 : 45;
        const QPointF p(60 + r * std::cos(angle), 60 + r * std::sin(angle));
        k == 0 ? path.moveTo(p) : path.lineTo(p);
    }
    path.closeSubpath();
    path.addRect(QRectF(120.3, 20.7, 60, 70));
    path.addRect(QRectF(135.5, 40.2, 25, 25));
    path.moveTo(20, 150);
    for (int k = 1; k < 8; ++k)
        path.lineTo(20 + k * 22, k % 2 ? 115.4 : 150.6);
    return path;
}

QImage filled(const QPainterPath& path, const QColor& colour)
{
    QImage image(220, 180, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, colour);
    return image;
}

struct PenCase {
    const char* name;
    double width;
    Qt::PenJoinStyle join;
    Qt::PenCapStyle cap;
    double miterLimit;
    QColor colour;
};

} // namespace

// The pieces cover what Qt's stroker covers, for each join and end the map
// pens use, opaque and translucent (where overlapping pieces must not darken).
TEST(CanvasStrokeOutline, CoversWhatQtsStrokerCovers)
{
    const PenCase cases[] = {
        {"miter, limit 10, 2 px", 2.08, Qt::MiterJoin, Qt::FlatCap, 10, QColor(51, 51, 51)},
        {"miter, limit 30", 3.5, Qt::MiterJoin, Qt::FlatCap, 30, QColor(0, 0, 200)},
        {"bevel, square ends", 2.5, Qt::BevelJoin, Qt::SquareCap, 10, QColor(200, 0, 0)},
        {"translucent miter", 3, Qt::MiterJoin, Qt::FlatCap, 10, QColor(0, 120, 0, 128)},
        {"wide miter", 7, Qt::MiterJoin, Qt::SquareCap, 10, QColor(90, 20, 140)},
    };
    const QPainterPath path = sampleOutlines();
    for (const PenCase& c : cases) {
        SCOPED_TRACE(c.name);
        QPen pen(c.colour, c.width, Qt::SolidLine, c.cap, c.join);
        pen.setMiterLimit(c.miterLimit);
        ASSERT_TRUE(CanvasStrokeOutline::supports(pen));
        QPainterPath pieces;
        ASSERT_TRUE(CanvasStrokeOutline::build(pieces, path, pen));
        QPainterPathStroker stroker(pen);
        QPainterPath reference = stroker.createStroke(path);
        reference.setFillRule(Qt::WindingFill);
        const Difference d = compare(filled(pieces, c.colour), filled(reference, c.colour), 40);
        EXPECT_GT(d.inked, 1500);
        // A few pixels where pieces meet inside one pixel come out a little darker.
        EXPECT_LE(d.beyond, d.inked / 200) << "largest difference " << d.largest;
    }
}

TEST(CanvasStrokeOutline, LeavesToQtWhatItCannotDraw)
{
    const struct {
        const char* name;
        QPen pen;
    } refused[] = {
        {"round join", QPen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin)},
        {"round cap", QPen(Qt::black, 2, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin)},
        {"dashes", QPen(Qt::black, 2, Qt::DashLine, Qt::FlatCap, Qt::MiterJoin)},
        {"zero width", QPen(Qt::black, 0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin)},
    };
    for (const auto& r : refused)
        EXPECT_FALSE(CanvasStrokeOutline::supports(r.pen)) << r.name;

    const QPen pen(Qt::black, 2, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    QPainterPath curved;
    curved.moveTo(0, 0);
    curved.cubicTo(10, 20, 30, 20, 40, 0);
    QPainterPath pieces;
    EXPECT_FALSE(CanvasStrokeOutline::build(pieces, curved, pen));
    // The star's points need a miter 2.6 widths long, beyond a limit of 4 (2 widths).
    QPen limited = pen;
    limited.setMiterLimit(4);
    EXPECT_FALSE(CanvasStrokeOutline::build(pieces, sampleOutlines(), limited));
    limited.setMiterLimit(10);
    EXPECT_TRUE(CanvasStrokeOutline::build(pieces, sampleOutlines(), limited));
}

// The canvas drawing a map with its fast paths and through Qt's path fill
// and stroker alone: the same picture.
TEST(CanvasStrokeOutline, FastDrawingMatchesThePlainDrawing)
{
    PlmEntityList entities;
    for (int i = 0; i < 12; ++i) {
        QList<PlmPoint> ring;
        const double cx = 15 + (i % 4) * 24, cy = 15 + (i / 4) * 28;
        for (int k = 0; k < 7 + i; ++k) {
            const double angle = 2 * M_PI * k / (7 + i);
            const double r = (k % 3 ? 10 : 6) + 0.1 * i;
            ring.append({cx + r * std::cos(angle), cy + r * std::sin(angle)});
        }
        PlmPolygon polygon{ring, {}};
        if (i % 5 == 0)
            polygon.holes.append(rect(cx - 2, cy - 2, cx + 2, cy + 2));
        PlmColor fill{0.2 + 0.05 * i, 0.9 - 0.06 * i, 0.5, 1};
        PlmStyle look = style({0.2, 0.2, 0.2, i == 7 ? 0.5 : 1}, fill, i == 9 ? 1.2 : 0.5);
        if (i == 10)
            look.dash = QList<double>{1.5, 1};  // dashes stay with Qt, the ring or the path alike
        if (i == 11)
            look.lineJoin = 1;  // round
        entities.append(PlmEntity(QStringLiteral("p%1").arg(i), QString(), PlmGeometry::polygon(polygon), look));
    }
    entities.append(lineEntity(QStringLiteral("l"), {{5, 90}, {30, 70}, {50, 95}, {95, 72}}, 0.75));
    VectorCanvas canvas(mapOf(entities), false, QString());
    canvas.setFrame(QRectF(0, 0, 100, 100));
    canvas.fitted = true;
    canvas.tracksFit = false;
    canvas.backgroundColor = Qt::white;

    // On screen (0.5-point outlines are Qt's hairlines) and at 300 dpi on a
    // page in points (they are about 2 pixels wide, drawn as pieces).
    const struct {
        const char* name;
        double pixelRatio;
        int inked;
    } scales[] = {{"screen", 1, 1000}, {"300 dpi", 300 / 72.0, 20000}};
    for (const auto& scale : scales) {
        SCOPED_TRACE(scale.name);
        canvas.usesFastDrawing = true;
        const QImage fast = canvas.renderToImage(scale.pixelRatio);
        canvas.usesFastDrawing = false;
        const QImage plain = canvas.renderToImage(scale.pixelRatio);
        const Difference d = compare(fast, plain, 16);
        EXPECT_GT(d.inked, scale.inked);
        EXPECT_LE(d.beyond, d.inked / 2000) << "largest difference " << d.largest;
    }
}
