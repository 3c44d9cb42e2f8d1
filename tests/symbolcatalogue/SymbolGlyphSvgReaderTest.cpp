#include "symbolcatalogue/SymbolGlyphSvgReader.h"
#include "basemaps/PlmSvgReader.h"
#include "canvas/CanvasPathBuilder.h"
#include "canvas/ProportionalShape.h"
#include "model/PlmEntity.h"
#include "platform/SymbolGlyphProvider.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

// Closed rings of points along a boundary.
using Rings = QList<QList<QPointF>>;

// A path's boundary, each curve evaluated at `steps` even steps of its parameter.
Rings boundaryOf(const QPainterPath& path, int steps)
{
    Rings rings;
    QPointF last;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        if (e.isMoveTo()) {
            rings.append({QPointF(e)});
        } else if (e.isLineTo() && !rings.isEmpty()) {
            rings.last().append(QPointF(e));
        } else if (e.isCurveTo() && i + 2 < path.elementCount() && !rings.isEmpty()) {
            const QPointF c1 = e, c2 = path.elementAt(i + 1), end = path.elementAt(i + 2);
            for (int k = 1; k <= steps; ++k) {
                const double t = double(k) / steps, u = 1 - t;
                rings.last().append(u * u * u * last + 3 * u * u * t * c1 + 3 * u * t * t * c2 + t * t * t * end);
            }
            i += 2;
        }
        if (!rings.isEmpty() && !rings.last().isEmpty())
            last = rings.last().last();
    }
    return rings;
}

// A circle's boundary from angle `from` to `to` (radians, counter-clockwise), finely.
QList<QPointF> arcPoints(QPointF centre, double radius, double from, double to)
{
    const int steps = 1024;
    QList<QPointF> points;
    for (int k = 0; k <= steps; ++k) {
        const double a = from + (to - from) * k / steps;
        points.append(centre + radius * QPointF(std::cos(a), std::sin(a)));
    }
    return points;
}

// The graph of y = f(x) from x = `from` to x = `to`, finely.
template<typename F>
QList<QPointF> graphPoints(F f, double from, double to)
{
    const int steps = 2048;
    QList<QPointF> points;
    for (int k = 0; k <= steps; ++k) {
        const double x = from + (to - from) * k / steps;
        points.append({x, f(x)});
    }
    return points;
}

double distanceToSegment(QPointF p, QPointF a, QPointF b)
{
    const QPointF d = b - a;
    const double length2 = QPointF::dotProduct(d, d);
    const double t = length2 > 0 ? std::clamp(QPointF::dotProduct(p - a, d) / length2, 0.0, 1.0) : 0.0;
    const QPointF q = a + t * d - p;
    return std::hypot(q.x(), q.y());
}

// How far the points of `from` (its segments' ends and middles) lie from `to` at most.
double farthest(const Rings& from, const Rings& to)
{
    double worst = 0;
    for (const QList<QPointF>& ring : from) {
        for (qsizetype i = 0; i < ring.size(); ++i) {
            const QPointF a = ring[i], b = ring[(i + 1) % ring.size()];
            for (const QPointF& p : {a, (a + b) / 2}) {
                double nearest = std::numeric_limits<double>::infinity();
                for (const QList<QPointF>& other : to)
                    for (qsizetype j = 0; j < other.size(); ++j)
                        nearest = std::min(nearest, distanceToSegment(p, other[j], other[(j + 1) % other.size()]));
                worst = std::max(worst, nearest);
            }
        }
    }
    return worst;
}

// How far two boundaries depart from each other: the farther of each from the other.
double departure(const Rings& a, const Rings& b) { return std::max(farthest(a, b), farthest(b, a)); }

// The boundary of the icon's own drawing, its curves evaluated finely, y upward as the
// outline is.
Rings iconBoundary(const QByteArray& svg)
{
    const PlmSvgReading reading = PlmSvgReader::read(svg, QStringLiteral("icône"));
    const QTransform upward(1, 0, 0, PlmMap::yAxisSign(reading.map.metadata), 0, 0);
    Rings rings;
    for (const PlmEntity& leaf : PlmEntity::leafEntities(reading.map.entities)) {
        const PlmVectorPath commands = CanvasPathBuilder::vectorPath(leaf.geometry, leaf.attributes, upward);
        rings += boundaryOf(CanvasPathBuilder::toPainterPath(commands), 32);
    }
    return rings;
}

QByteArray iconBytes(const QString& name)
{
    QFile file(SymbolGlyphProvider::iconFile(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray svgOf(const char* body)
{
    return QByteArray(R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16">)") + body + "</svg>";
}

// Two circles of radius 5 about (6, 8) and (10, 8) make one area; in the y-up outline the
// circles' centres are at y = -8. Their boundary is each circle's arc outside the other, from
// where they cross above to where they cross below and back.
Rings twoCirclesBoundary()
{
    const double a = std::acos(2.0 / 5);
    return {arcPoints({6, -8}, 5, a, 2 * std::numbers::pi - a)
            + arcPoints({10, -8}, 5, a - std::numbers::pi, std::numbers::pi - a)};
}

Rings circlesBoundary(QPointF centre, std::initializer_list<double> radii)
{
    Rings rings;
    for (double r : radii)
        rings.append(arcPoints(centre, r, 0, 2 * std::numbers::pi));
    return rings;
}

// The lens of two parabolas "M0 8Q8-8 16 8Q8 24 0 8": each arc bulges 8 units from the
// lens's axis at y = 8, -8 in the y-up outline.
Rings lensBoundary()
{
    const auto bulge = [](double x) { return x * (16 - x) / 8; };
    return {graphPoints([&](double x) { return -8 + bulge(x); }, 0, 16)
            + graphPoints([&](double x) { return -8 - bulge(x); }, 16, 0)};
}

class SymbolGlyphSvgReaderTest : public ::testing::Test {
protected:
    SymbolGlyphSvgReaderTest() { SymbolGlyphSvgReader::install(); }
};

TEST_F(SymbolGlyphSvgReaderTest, EveryNameOfTheTableHasItsIconInstalled)
{
    for (const QString& name : SymbolGlyphProvider::tableNames())
        EXPECT_TRUE(QFileInfo(SymbolGlyphProvider::iconFile(name)).isFile()) << name.toStdString();
    QStringList expected = SymbolGlyphProvider::tableNames();
    for (const QString& drawn : {"circle", "circle.fill", "square", "square.fill", "triangle", "triangle.fill",
                                 "diamond.fill", "star", "star.fill", "heart.fill", "mappin", "plus"})
        expected.append(drawn);
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(SymbolGlyphProvider::availableNames(), expected);
}

TEST_F(SymbolGlyphSvgReaderTest, AGlyphIsTheIconsOutlineUprightInItsBox)
{
    // The icon's triangle has its apex at the top: in the y-up box its wide side is low.
    const std::optional<SymbolGlyph> glyph = SymbolGlyphProvider::glyph(QStringLiteral("triangle.fill"));
    ASSERT_TRUE(glyph);
    EXPECT_DOUBLE_EQ(std::max(glyph->size.width(), glyph->size.height()), 100.0);
    const double w = glyph->size.width(), h = glyph->size.height();
    EXPECT_TRUE(glyph->outline.contains(QPointF(w * 0.1, h * 0.05)));
    EXPECT_TRUE(glyph->outline.contains(QPointF(w * 0.5, h * 0.9)));
    EXPECT_FALSE(glyph->outline.contains(QPointF(w * 0.1, h * 0.9)));
    // A hole stays a hole: the ring of "circle" is empty in its middle.
    const std::optional<SymbolGlyph> ring = SymbolGlyphProvider::glyph(QStringLiteral("circle"));
    ASSERT_TRUE(ring);
    EXPECT_FALSE(ring->outline.contains(QPointF(50, 50)));
    EXPECT_TRUE(ring->outline.contains(QPointF(50, 2)));
}

TEST_F(SymbolGlyphSvgReaderTest, StrokedLinesAreWidenedAndBadBytesGiveNothing)
{
    const std::optional<QPainterPath> line = SymbolGlyphSvgReader::outline(
        R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 16 16"><path d="M2 8 H14" fill="none" stroke="#000" stroke-width="2"/></svg>)");
    ASSERT_TRUE(line);
    EXPECT_NEAR(line->boundingRect().height(), 2.0, 1e-6);
    EXPECT_NEAR(line->boundingRect().width(), 14.0, 1e-6); // 12 long plus the round caps
    EXPECT_FALSE(SymbolGlyphSvgReader::outline("pas du SVG"));
    EXPECT_FALSE(SymbolGlyphSvgReader::outline(R"(<svg xmlns="http://www.w3.org/2000/svg"/>)"));
}

TEST_F(SymbolGlyphSvgReaderTest, ASymbolDrawsItsIconAtAnySize)
{
    PlmProportionalSettings settings;
    settings.kind = PlmSymbolKind::sfSymbol;
    settings.sfSymbolName = QStringLiteral("car.fill");
    const ProportionalShape shape(settings, false);
    ASSERT_FALSE(shape.nativeSymbolUnavailable);
    QImage image(200, 200, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        shape.draw(painter, QPointF(100, 100), 160, PlmColor{0, 0, 0, 1}, 1);
    }
    int black = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 200; ++x)
            black += qGray(image.pixel(x, y)) < 64 ? 1 : 0;
    // A car seen from the front fills a good part of its 160-point box, never all of it.
    EXPECT_GT(black, 160 * 160 / 5);
    EXPECT_LT(black, 160 * 160 * 9 / 10);
}

// A pictogram printed 100 mm wide shows no corner: no part of the outline departs from the
// icon's own drawing by more than 1/2000 of its larger side, whether its curves are kept or
// its elements merged into one area (even-odd, stroked and overlapping ones alike).
TEST_F(SymbolGlyphSvgReaderTest, TheOutlineDepartsFromTheIconByATwoThousandthOfItsSideAtMost)
{
    struct Row {
        const char* name;
        QByteArray svg;
        Rings truth;
        QList<QPointF> inside;
        QList<QPointF> outside;
    };
    const QByteArray airplane = iconBytes(QStringLiteral("airplane"));
    // The points tried inside and outside stay off the rows of the curves' ends, where a
    // crossing count would be ambiguous.
    const QList<Row> rows = {
        {"airplane: one path of arcs and curves around a hole", airplane, iconBoundary(airplane),
         {{8, -0.7}, {0.4, -11.3}, {15.6, -11.3}}, {{8, -5.1}, {3, -3.1}}},
        {"two overlapping circles",
         svgOf(R"(<circle cx="6" cy="8" r="5"/><circle cx="10" cy="8" r="5"/>)"), twoCirclesBoundary(),
         {{8, -7.7}, {2, -7.7}, {14, -7.7}}, {{8, -3.2}, {8, -12.8}}},
        {"one path of two circles winding twice where they overlap",
         svgOf(R"(<path d="M1 8a5 5 0 1 0 10 0a5 5 0 1 0-10 0M5 8a5 5 0 1 0 10 0a5 5 0 1 0-10 0z"/>)"),
         twoCirclesBoundary(), {{8, -7.7}, {2, -7.7}, {14, -7.7}}, {{8, -3.2}, {8, -12.8}}},
        {"an even-odd ring, its circles turning alike, and a dot in its hole",
         svgOf(R"(<path fill-rule="evenodd" d="M8 1a7 7 0 1 0 0 14A7 7 0 0 0 8 1m0 3a4 4 0 1 0 0 8 4 4 0 0 0 0-8"/>)"
               R"(<circle cx="8" cy="8" r="2"/>)"),
         circlesBoundary({8, -8}, {7, 4, 2}), {{8.1, -7.7}, {8, -2.5}}, {{8, -5}, {8, -0.5}}},
        {"a stroked circle",
         svgOf(R"(<path d="M8 2a6 6 0 1 1 0 12a6 6 0 1 1 0-12z" fill="none" stroke="#000" stroke-width="2"/>)"),
         circlesBoundary({8, -8}, {7, 5}), {{8.2, -2.1}, {13.9, -8.3}}, {{8.1, -7.7}, {8, -0.5}}},
        // Each arc is one curve spanning the glyph, its chords' departure at its largest at
        // the apex: few chords, or chords cut to a looser error, show there.
        {"a lens of two long curves merged with a bar inside it",
         svgOf(R"(<path d="M0 8Q8-8 16 8Q8 24 0 8z"/><rect x="6" y="4" width="4" height="8"/>)"), lensBoundary(),
         {{8.1, -0.2}, {8.1, -15.8}}, {{8.1, 0.2}, {1, -1.1}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::optional<QPainterPath> outline = SymbolGlyphSvgReader::outline(row.svg);
        ASSERT_TRUE(outline);
        QRectF truthBounds;
        for (const QList<QPointF>& ring : row.truth)
            truthBounds |= QPolygonF(ring).boundingRect();
        const double side = std::max(truthBounds.width(), truthBounds.height());
        ASSERT_GT(side, 10.0);
        // The allowance covers the sampling of the rings, not the chords.
        EXPECT_LE(departure(boundaryOf(*outline, 32), row.truth), side / 2000 * 1.01);
        for (const QPointF& p : row.inside)
            EXPECT_TRUE(outline->contains(p)) << p.x() << ", " << p.y();
        for (const QPointF& p : row.outside)
            EXPECT_FALSE(outline->contains(p)) << p.x() << ", " << p.y();
    }
}

} // namespace
