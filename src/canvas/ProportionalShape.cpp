#include "canvas/ProportionalShape.h"

#include "canvas/CanvasPathBuilder.h"
#include "model/PlmEntity.h"
#include "model/PlmErrors.h"
#include "model/PlmPointSymbol.h"

#include <QPainter>
#include <QPainterPathStroker>

#include <algorithm>
#include <cmath>

namespace {

QColor qcolor(const PlmColor& c)
{
    return QColor::fromRgbF(float(std::clamp(c.red, 0.0, 1.0)), float(std::clamp(c.green, 0.0, 1.0)),
                            float(std::clamp(c.blue, 0.0, 1.0)), float(std::clamp(c.alpha, 0.0, 1.0)));
}

PlmStyle unitStyle() { return PlmStyle(PlmColor{0.2, 0.25, 0.3, 1}, PlmColor{0.85, 0.9, 0.95, 1}, 0, 4); }

ProportionalShape::Part unitPart(const QPainterPath& path)
{
    ProportionalShape::Part part;
    VectorPathSink sink(part.path);
    sink.addOutline(path);
    part.path.evenOdd = false;
    part.painterPath = path;
    part.painterPath.setFillRule(Qt::WindingFill);
    part.style = unitStyle();
    return part;
}

Qt::PenCapStyle capStyle(std::optional<int> cap)
{
    switch (cap.value_or(0)) {
    case 1: return Qt::RoundCap;
    case 2: return Qt::SquareCap;
    default: return Qt::FlatCap;
    }
}

Qt::PenJoinStyle joinStyle(std::optional<int> join)
{
    switch (join.value_or(0)) {
    case 1: return Qt::RoundJoin;
    case 2: return Qt::BevelJoin;
    default: return Qt::MiterJoin;
    }
}

// QRectF::united skips a rectangle of zero size; a lone point or a
// zero-width line still belongs to the symbol's extent.
QRectF unionOf(const QRectF& a, const QRectF& b)
{
    const double left = std::min(a.left(), b.left());
    const double bottom = std::min(a.top(), b.top());
    return QRectF(left, bottom, std::max(a.right(), b.right()) - left, std::max(a.bottom(), b.bottom()) - bottom);
}

} // namespace

ProportionalShape::ProportionalShape(const PlmProportionalSettings& settings, bool monochrome)
{
    hasFillAppearance = settings.automaticColor.has_value() || settings.outline.has_value();
    outline = settings.outline;
    outlineVisible = settings.outlineVisible.value_or(false);
    if (monochrome) {
        tintSourceColors = true;
    } else if (settings.kind == PlmSymbolKind::svg && settings.automaticColor == false && settings.svgVector) {
        tintSourceColors = PlmPointSymbol(std::nullopt, settings.svgVector).isMonochrome();
    }
    useSourceColors = settings.kind == PlmSymbolKind::svg;

    const QRectF unit(-0.5, -0.5, 1, 1);
    switch (settings.kind) {
    case PlmSymbolKind::sfSymbol:
        if (settings.sfVector) {
            buildParts(*settings.sfVector);
            return;
        }
        if (settings.sfSymbolName) {
            try {
                nativeSymbol = systemSymbolImage(*settings.sfSymbolName);
            } catch (const PlmError&) {
                nativeSymbol.reset();
            }
        }
        nativeSymbolUnavailable = !nativeSymbol.has_value();
        bounds = nativeSymbol ? QRectF(QPointF(0, 0), nativeSymbol->size) : QRectF(0, 0, 0, 0);
        return;
    case PlmSymbolKind::svg:
        if (settings.svgVector) {
            buildParts(*settings.svgVector);
            return;
        }
        [[fallthrough]];
    case PlmSymbolKind::circle: {
        QPainterPath p;
        p.addEllipse(unit);
        parts.append(unitPart(p));
        break;
    }
    case PlmSymbolKind::square: {
        QPainterPath p;
        p.addRect(unit);
        parts.append(unitPart(p));
        break;
    }
    case PlmSymbolKind::triangle: {
        QPainterPath p;
        p.moveTo(0, 0.5);
        p.lineTo(-0.5, -0.5);
        p.lineTo(0.5, -0.5);
        p.closeSubpath();
        parts.append(unitPart(p));
        break;
    }
    }
    bounds = unit;
}

void ProportionalShape::buildParts(const PlmMap& map)
{
    // The paths a fresh map view would give: scale 1, no offset, the map's y sign.
    const QTransform toShape(1, 0, 0, PlmMap::yAxisSign(map.metadata), 0, 0);
    std::optional<QRectF> united;
    for (const PlmEntity& leaf : PlmEntity::leafEntities(map.entities)) {
        Part part;
        part.path = CanvasPathBuilder::vectorPath(leaf.geometry, leaf.attributes, toShape);
        part.painterPath = CanvasPathBuilder::toPainterPath(part.path);
        part.style = leaf.style;
        if (leaf.clipPaths) {
            for (const PlmVectorPath& clip : *leaf.clipPaths) {
                PlmVectorPath c = CanvasPathBuilder::vectorPath(PlmGeometry::path(clip), {}, toShape);
                part.painterClips.append(CanvasPathBuilder::toPainterPath(c));
                part.clips.append(c);
            }
        }
        if (part.painterPath.elementCount() > 0) {
            const double half = std::isfinite(leaf.style.lineWidth) ? leaf.style.lineWidth / 2 : 0;
            const QRectF b = part.painterPath.boundingRect().adjusted(-half, -half, half, half);
            united = united ? unionOf(*united, b) : b;
        }
        parts.append(std::move(part));
    }
    bounds = united;
}

SymbolGlyph ProportionalShape::systemSymbolImage(const QString& name)
{
    if (std::optional<SymbolGlyph> glyph = SymbolGlyphProvider::glyph(name))
        return *glyph;
    throw PlmWorkError::invalid(QStringLiteral("Pictogramme indisponible sur cet ordinateur : ") + name + QStringLiteral("."));
}

PlmStyle ProportionalShape::tintedStyle(const Part& part, const PlmColor& color) const
{
    PlmStyle t = part.style;
    if (tintSourceColors) {
        t.stroke = PlmColor{color.red, color.green, color.blue, part.style.stroke.alpha};
        if (t.fill)
            t.fill = PlmColor{color.red, color.green, color.blue, part.style.fill->alpha};
    }
    return t;
}

PlmStyle ProportionalShape::exportStyle(const Part& part, const PlmColor& color, double size) const
{
    const PlmStyle t = tintedStyle(part, color);
    PlmStyle e = t;
    if (useSourceColors) {
        e.fill = t.fill;
        if (e.fill && hasFillAppearance)
            e.fill->alpha = color.alpha * t.fill->alpha;
    } else {
        e.fill = color;
    }
    const double side = bounds ? std::max(bounds->width(), bounds->height()) : 0;
    if (outline)
        e.lineWidth = outlineVisible ? outline->lineWidth : 0;
    else if (useSourceColors)
        e.lineWidth = side > 0 ? t.lineWidth * size / side : 0;
    else
        e.lineWidth = 0;
    e.stroke = outline ? outline->stroke : t.stroke;
    return e;
}

void ProportionalShape::draw(QPainter& painter, const QPointF& center, double size, const PlmColor& color,
                             double outlineScale) const
{
    if (!std::isfinite(size) || size <= 0 || !bounds)
        return;
    const double side = std::max(bounds->width(), bounds->height());
    if (!(side > 0))
        return;
    const double s = size / side;
    if (nativeSymbol)
        drawGlyph(painter, center, s, color, outlineScale);
    else
        drawParts(painter, center, size, s, color);
}

void ProportionalShape::drawParts(QPainter& painter, const QPointF& center, double size, double s,
                                  const PlmColor& color) const
{
    const QTransform t(s, 0, 0, s, center.x() - s * bounds->center().x(), center.y() - s * bounds->center().y());
    for (const Part& part : parts) {
        painter.save();
        painter.setRenderHint(QPainter::Antialiasing);
        for (const QPainterPath& clip : part.painterClips)
            painter.setClipPath(t.map(clip), Qt::IntersectClip);
        const QPainterPath path = t.map(part.painterPath);
        const PlmStyle e = exportStyle(part, color, size);
        if (e.fill) {
            painter.fillPath(path, qcolor(*e.fill));
        }
        if (e.lineWidth > 0 && e.stroke.alpha > 0 && std::isfinite(e.lineWidth)) {
            QPen pen(qcolor(e.stroke), e.lineWidth, Qt::SolidLine, capStyle(e.lineCap), joinStyle(e.lineJoin));
            pen.setMiterLimit(10);
            if (e.dash && !e.dash->isEmpty()) {
                QList<qreal> pattern;
                bool positive = false;
                for (double d : *e.dash) {
                    pattern.append(std::max(0.0, d * s / e.lineWidth));
                    positive = positive || d > 0;
                }
                if (pattern.size() % 2 == 1)
                    pattern += pattern;
                if (positive)
                    pen.setDashPattern(pattern);
            }
            painter.strokePath(path, pen);
        }
        painter.restore();
    }
}

void ProportionalShape::drawGlyph(QPainter& painter, const QPointF& center, double s, const PlmColor& color,
                                  double outlineScale) const
{
    const QSizeF size = nativeSymbol->size;
    // Glyphs stay upright on the device: in a painter whose y grows downward
    // the y-up outline is mirrored about the glyph's centre.
    const bool deviceYUp = painter.deviceTransform().determinant() < 0;
    const double sy = deviceYUp ? s : -s;
    const QTransform t(s, 0, 0, sy, center.x() - s * size.width() / 2, center.y() - sy * size.height() / 2);
    const QPainterPath glyph = t.map(nativeSymbol->outline);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    if (!hasFillAppearance && !outline) {
        painter.fillPath(glyph, qcolor(color));
        painter.restore();
        return;
    }
    if (outlineVisible && outline && outline->lineWidth > 0) {
        // A ring about half the outline width wide around the glyph, never on it.
        const double width = outlineScale * outline->lineWidth;
        QPainterPath outside;
        outside.addRect(glyph.boundingRect().adjusted(-width * 2, -width * 2, width * 2, width * 2));
        outside.addPath(glyph);
        outside.setFillRule(Qt::OddEvenFill);
        painter.save();
        painter.setClipPath(outside, Qt::IntersectClip);
        QPen pen(qcolor(outline->stroke), width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        painter.strokePath(glyph, pen);
        painter.restore();
    }
    painter.fillPath(glyph, qcolor(color));
    painter.restore();
}

QColor ProportionalShape::qtColor(const PlmColor& color) { return qcolor(color); }

Qt::PenCapStyle ProportionalShape::qtCap(std::optional<int> cap) { return capStyle(cap); }

Qt::PenJoinStyle ProportionalShape::qtJoin(std::optional<int> join) { return joinStyle(join); }

int ProportionalShape::bitmapPad(double pixelSize) const
{
    if (!outlineVisible)
        return 0;
    const double w = outline ? outline->lineWidth : 0;
    const double s = std::max(std::isfinite(pixelSize) ? pixelSize : 0.01, 0.01);
    const double pad = std::ceil(w * bitmapSymbolSide / s * 0.5) + 2;
    // A thick outline on a tiny symbol would ask for an enormous square (and a NaN or a
    // negative width for nothing sensible): the border is bounded, the ring cut at its edge.
    constexpr int maximumPad = (maximumBitmapSide - bitmapSymbolSide) / 2;
    if (!(pad >= 0))
        return 0;
    return pad > maximumPad ? maximumPad : int(pad);
}

void ProportionalShape::drawBitmap(QPainter& painter, const QImage& image, const QPointF& center, double size)
{
    // An outline's border reaches beyond the central 512 pixels.
    const double side = size * image.width() / double(bitmapSymbolSide);
    painter.save();
    painter.translate(center.x() - side / 2, center.y() + side / 2);
    painter.scale(1, -1);
    painter.drawImage(QRectF(0, 0, side, side), image);
    painter.restore();
}

void ProportionalShape::drawAsBitmap(QPainter& painter, const QPointF& center, double size, const PlmColor& color) const
{
    if (nativeSymbol) {
        try {
            const QImage image = renderBitmap(color, size);
            if (!image.isNull()) {
                drawBitmap(painter, image, center, size);
                return;
            }
        } catch (...) {
            // Drawn as vectors below.
        }
    }
    draw(painter, center, size, color, 1);
}

QImage ProportionalShape::renderBitmap(const PlmColor& color, double pixelSize) const
{
    const int pad = bitmapPad(pixelSize);
    const int n = bitmapSymbolSide + 2 * pad;
    QImage image(n, n, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        throw PlmWorkError::invalid(QStringLiteral("Impossible de dessiner le pictogramme."));
    image.fill(Qt::transparent);
    const double s = std::max(std::isfinite(pixelSize) ? pixelSize : 0.01, 0.01);
    QPainter painter(&image);
    if (!painter.isActive())
        throw PlmWorkError::invalid(QStringLiteral("Impossible de dessiner le pictogramme."));
    painter.setRenderHint(QPainter::Antialiasing);
    // The bitmap is read as a y-up square, like every symbol drawing.
    painter.translate(0, n);
    painter.scale(1, -1);
    draw(painter, QPointF(n / 2.0, n / 2.0), bitmapSymbolSide, color, bitmapSymbolSide / s);
    painter.end();
    return image;
}
