#include "page/DecorationGlyphs.h"

#include "page/DecorationTextAttributes.h"
#include "model/PlmFrenchNumber.h"

#include <QPainter>
#include <QPainterPathStroker>
#include <QPen>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

QPainterPath roundedRect(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    if (radius > 0)
        path.addRoundedRect(rect, radius, radius);
    else
        path.addRect(rect);
    return path;
}

QPainterPath oval(const QRectF& rect)
{
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    path.addEllipse(rect);
    return path;
}

} // namespace

QList<ShadowLayer> decorationShadowLayers(const PlmPresentation& style, std::optional<PlmDecorationKind> kind,
                                          const QRectF& rect)
{
    const PlmEditingStyle s = style.effectiveEditingStyle();
    QList<ShadowLayer> layers;
    if (!s.shadow)
        return layers;
    const int n = s.shadowBlur > 0 ? 12 : 1;
    for (int i = n - 1; i >= 0; --i) {
        const double outset = s.shadowBlur * i / n;
        const QRectF r = rect.translated(s.shadowX, s.shadowY).adjusted(-outset, -outset, outset, outset);
        ShadowLayer layer;
        layer.path = kind == PlmDecorationKind::ellipse ? oval(r) : roundedRect(r, s.cornerRadius + outset);
        layer.red = s.shadowColor.red;
        layer.green = s.shadowColor.green;
        layer.blue = s.shadowColor.blue;
        layer.alpha = s.shadowColor.alpha / n;
        layers.append(layer);
    }
    return layers;
}

QRectF decorationPaintedRect(const PlmPresentation& style, const QSizeF& size)
{
    const PlmEditingStyle s = style.effectiveEditingStyle();
    const auto finite = [](double v) { return std::isfinite(v) ? v : 0.0; };
    const QRectF box(QPointF(0, 0), size);
    QRectF painted = box;
    if (s.shadow) {
        const double blur = std::max(finite(s.shadowBlur), 0.0);
        painted |= box.translated(finite(s.shadowX), finite(s.shadowY)).adjusted(-blur, -blur, blur, blur);
    }
    // Half the border (arrow heads and mitres reach a little further), plus a point of
    // antialiasing.
    const double grow = std::max(finite(s.strokeWidth), 1.0) * 2 + 1;
    painted.adjust(-grow, -grow, grow, grow);
    const double rotation = finite(s.rotation);
    if (rotation == 0)
        return painted;
    const QPointF centre = box.center();
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(rotation);
    turn.translate(-centre.x(), -centre.y());
    return turn.mapRect(painted);
}

namespace {

// The pen a style strokes its border and shapes with; none when it strokes nothing.
std::optional<QPen> decorationPen(const PlmEditingStyle& s)
{
    if (!(s.strokeWidth > 0))  // also a width of NaN; Qt would draw a cosmetic line at 0
        return std::nullopt;
    QPen pen(decorationColor(s.stroke));
    pen.setWidthF(s.strokeWidth);
    pen.setCapStyle(s.cap == 1 ? Qt::RoundCap : s.cap == 2 ? Qt::SquareCap : Qt::FlatCap);
    pen.setJoinStyle(s.join == 1 ? Qt::RoundJoin : s.join == 2 ? Qt::BevelJoin : Qt::MiterJoin);
    pen.setMiterLimit(10);
    // Qt counts dash lengths in pen widths.
    if (s.dash == 1)
        pen.setDashPattern({6 / s.strokeWidth, 4 / s.strokeWidth});
    else if (s.dash == 2)
        pen.setDashPattern({1 / s.strokeWidth, 3 / s.strokeWidth});
    return pen;
}

} // namespace

void strokeDecorationPath(QPainter& painter, const QPainterPath& path, std::optional<PlmColor> fill,
                          const PlmPresentation& style)
{
    if (fill)
        painter.fillPath(path, decorationColor(*fill));
    if (const std::optional<QPen> pen = decorationPen(style.effectiveEditingStyle()))
        painter.strokePath(path, *pen);
}

bool decorationColorShowsOnWhite(const PlmColor& color)
{
    const QColor c = decorationColor(color);
    return c.alpha() > 0 && (c.rgb() & 0xffffff) != 0xffffff;
}

QPainterPath decorationFramePath(const PlmPresentation& style, const QRectF& rect)
{
    return roundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), style.effectiveEditingStyle().cornerRadius);
}

void drawDecorationFrame(QPainter& painter, const PlmPresentation& style, std::optional<PlmDecorationKind> kind,
                         const QRectF& rect)
{
    for (const ShadowLayer& layer : decorationShadowLayers(style, kind, rect))
        painter.fillPath(layer.path, decorationColor({layer.red, layer.green, layer.blue, layer.alpha}));
    if (style.frameHidden == true)
        return;
    const PlmEditingStyle s = style.effectiveEditingStyle();
    const QPainterPath frame = decorationFramePath(style, rect);
    painter.fillPath(frame, decorationColor(s.frameFill));
    if (style.border)
        strokeDecorationPath(painter, frame, std::nullopt, style);
}

QRectF decorationFrameDrawnRect(const PlmPresentation& style, std::optional<PlmDecorationKind> kind,
                                const QRectF& rect)
{
    QRectF drawn;
    for (const ShadowLayer& layer : decorationShadowLayers(style, kind, rect))
        if (decorationColorShowsOnWhite({layer.red, layer.green, layer.blue, layer.alpha}))
            drawn |= layer.path.boundingRect();
    if (style.frameHidden == true)
        return drawn;
    const PlmEditingStyle s = style.effectiveEditingStyle();
    const QPainterPath frame = decorationFramePath(style, rect);
    if (decorationColorShowsOnWhite(s.frameFill))
        drawn |= frame.boundingRect();
    if (style.border)
        if (const std::optional<QPen> pen = decorationPen(s); pen && pen->color().alpha() > 0)
            drawn |= QPainterPathStroker(*pen).createStroke(frame).boundingRect();
    return drawn;
}

std::optional<QPainterPath> decorationShapePath(PlmDecorationKind kind, const PlmPresentation& style,
                                                const QRectF& rect)
{
    const double midY = rect.center().y();
    QPainterPath path;
    switch (kind) {
    case PlmDecorationKind::line:
        path.moveTo(rect.left(), midY);
        path.lineTo(rect.right(), midY);
        return path;
    case PlmDecorationKind::arrow: {
        path.moveTo(rect.left(), midY);
        path.lineTo(rect.right(), midY);
        const double h = std::min(rect.height() / 2, 16.0);
        path.moveTo(rect.right() - h, midY + h);
        path.lineTo(rect.right(), midY);
        path.lineTo(rect.right() - h, midY - h);
        return path;
    }
    case PlmDecorationKind::ellipse:
        return oval(rect);
    case PlmDecorationKind::rectangle:
        return roundedRect(rect, style.effectiveEditingStyle().cornerRadius);
    default:
        return std::nullopt;
    }
}

QPainterPath northArrowPath(int style, const QRectF& rect)
{
    const double mx = rect.center().x();
    QPainterPath path;
    path.setFillRule(style == 2 ? Qt::OddEvenFill : Qt::WindingFill);
    path.moveTo(mx, rect.bottom() - 30);  // QRectF::bottom() is the largest y: the top in y-up
    path.lineTo(mx - 12, 18);
    path.lineTo(mx, style == 1 ? 18 : 28);
    path.lineTo(mx + 12, 18);
    path.closeSubpath();
    if (style == 2)
        path.addEllipse(QRectF(mx - 17, rect.center().y() - 30, 34, 34));
    return path;
}

QList<ScaleBarPiece> scaleBarPath(int style, const QRectF& rect)
{
    const double w = rect.width();
    QList<ScaleBarPiece> pieces;
    if (style == 0) {
        ScaleBarPiece bar;
        bar.path.moveTo(10, 20);
        bar.path.lineTo(w - 10, 20);
        bar.path.moveTo(10, 16);
        bar.path.lineTo(10, 25);
        bar.path.moveTo(w - 10, 16);
        bar.path.lineTo(w - 10, 25);
        pieces.append(bar);
        return pieces;
    }
    const double cell = (w - 20) / 4;
    for (int k = 0; k < 4; ++k) {
        ScaleBarPiece piece;
        piece.path.addRect(QRectF(10 + k * cell, 17, cell, 8));
        piece.filled = k % 2 == 0 || style != 1;
        pieces.append(piece);
    }
    return pieces;
}

QString scaleBarLabel(double meters, int unit)
{
    const bool kilometres = unit == 2 || (unit == 0 && meters >= 1000);
    const double value = kilometres ? meters / 1000 : meters;
    return QStringLiteral("≈ ") + formatFrenchNumber(value, 3) + (kilometres ? QStringLiteral(" km") : QStringLiteral(" m"));
}
