#include "platform/SymbolGlyphProvider.h"

#include <QHash>
#include <QTransform>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

constexpr double kBox = 100.0;  // glyphs are drawn in a 100 × 100 box, y up

QPainterPath circle(double inset)
{
    QPainterPath p;
    p.addEllipse(QRectF(inset, inset, kBox - 2 * inset, kBox - 2 * inset));
    return p;
}

QPainterPath square(double inset)
{
    QPainterPath p;
    p.addRoundedRect(QRectF(inset, inset, kBox - 2 * inset, kBox - 2 * inset), 10, 10);
    return p;
}

QPainterPath polygon(const QList<QPointF>& points)
{
    QPainterPath p;
    p.addPolygon(QPolygonF(points));
    p.closeSubpath();
    return p;
}

QPainterPath triangle(double inset)
{
    return polygon({{50, kBox - inset}, {inset, inset + 8}, {kBox - inset, inset + 8}});
}

QPainterPath star(double inset)
{
    QList<QPointF> pts;
    const double outer = 50 - inset, inner = outer * 0.42;
    for (int i = 0; i < 10; ++i) {
        const double a = std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double r = (i % 2 == 0) ? outer : inner;
        pts.append(QPointF(50 + r * std::cos(a), 48 + r * std::sin(a)));
    }
    return polygon(pts);
}

QPainterPath diamond(double inset)
{
    return polygon({{50, kBox - inset}, {inset, 50}, {50, inset}, {kBox - inset, 50}});
}

QPainterPath heart()
{
    QPainterPath p;
    p.moveTo(50, 10);
    p.cubicTo(20, 35, 5, 55, 5, 70);
    p.cubicTo(5, 85, 17, 95, 30, 95);
    p.cubicTo(40, 95, 47, 89, 50, 82);
    p.cubicTo(53, 89, 60, 95, 70, 95);
    p.cubicTo(83, 95, 95, 85, 95, 70);
    p.cubicTo(95, 55, 80, 35, 50, 10);
    p.closeSubpath();
    return p;
}

QPainterPath mappin()
{
    QPainterPath p;
    p.addEllipse(QRectF(25, 45, 50, 50));
    QPainterPath stem;
    stem.addRect(QRectF(46, 5, 8, 45));
    return p.united(stem);
}

QPainterPath plus()
{
    QPainterPath p;
    p.addRect(QRectF(42, 10, 16, 80));
    QPainterPath bar;
    bar.addRect(QRectF(10, 42, 80, 16));
    return p.united(bar);
}

// Outline variants are rings: the filled shape minus a smaller copy.
QPainterPath ring(const QPainterPath& outer, const QPainterPath& inner)
{
    QPainterPath p = outer;
    p.addPath(inner);
    p.setFillRule(Qt::OddEvenFill);
    return p;
}

using Maker = std::function<QPainterPath()>;

const QList<QPair<QString, Maker>>& makers()
{
    static const QList<QPair<QString, Maker>> list = {
        {QStringLiteral("circle"), [] { return ring(circle(4), circle(14)); }},
        {QStringLiteral("circle.fill"), [] { return circle(4); }},
        {QStringLiteral("square"), [] { return ring(square(6), square(16)); }},
        {QStringLiteral("square.fill"), [] { return square(6); }},
        {QStringLiteral("triangle"), [] { return ring(triangle(4), triangle(22)); }},
        {QStringLiteral("triangle.fill"), [] { return triangle(4); }},
        {QStringLiteral("diamond.fill"), [] { return diamond(4); }},
        {QStringLiteral("star"), [] { return ring(star(2), star(16)); }},
        {QStringLiteral("star.fill"), [] { return star(2); }},
        {QStringLiteral("heart.fill"), [] { return heart(); }},
        {QStringLiteral("mappin"), [] { return mappin(); }},
        {QStringLiteral("plus"), [] { return plus(); }},
    };
    return list;
}

} // namespace

std::optional<SymbolGlyph> SymbolGlyphProvider::glyph(const QString& name)
{
    for (const auto& [n, make] : makers()) {
        if (n == name)
            return SymbolGlyph{name, make(), QSizeF(kBox, kBox)};
    }
    return std::nullopt;
}

bool SymbolGlyphProvider::isAvailable(const QString& name)
{
    for (const auto& entry : makers())
        if (entry.first == name)
            return true;
    return false;
}

QStringList SymbolGlyphProvider::availableNames()
{
    QStringList names;
    for (const auto& entry : makers())
        names.append(entry.first);
    return names;
}
