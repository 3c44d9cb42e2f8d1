#include "canvas/ProportionalShapeStamp.h"

#include <QPaintEngine>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

ProportionalShapeStamp::ProportionalShapeStamp(std::shared_ptr<const ProportionalShape> shape, const PlmColor& color)
    : m_shape(std::move(shape)), m_color(color)
{
    if (!m_shape || !m_shape->bounds || m_shape->nativeSymbol)
        return;
    m_side = std::max(m_shape->bounds->width(), m_shape->bounds->height());
    m_mid = m_shape->bounds->center();
    if (!(m_side > 0))
        return;
    for (const ProportionalShape::Part& source : m_shape->parts) {
        // The effective style at the size where one shape unit is one point: a stroke that
        // scales with the symbol is then in shape units, an outline's width in points.
        const PlmStyle e = m_shape->exportStyle(source, color, m_side);
        Part part;
        part.source = &source;
        if (e.fill)
            part.fill = ProportionalShape::qtColor(*e.fill);
        part.absoluteWidth = m_shape->outline.has_value();
        part.width = e.lineWidth;
        part.strokes = e.lineWidth > 0 && e.stroke.alpha > 0 && std::isfinite(e.lineWidth);
        part.stroke = ProportionalShape::qtColor(e.stroke);
        part.cap = ProportionalShape::qtCap(e.lineCap);
        part.join = ProportionalShape::qtJoin(e.lineJoin);
        if (e.dash && !e.dash->isEmpty()) {
            bool positive = false;
            for (double d : *e.dash) {
                part.dash.append(std::max(0.0, d));
                positive = positive || d > 0;
            }
            if (!positive)
                part.dash.clear();
        }
        if (part.strokes && part.absoluteWidth)
            m_absoluteStroke = std::max(m_absoluteStroke, part.width);
        m_parts.append(part);
    }
}

double ProportionalShapeStamp::reach(double size) const
{
    // The larger side is `size`; a square's corner reaches √2 / 2 of it, strokes beyond.
    return size * 0.7072 + m_absoluteStroke + 1;
}

namespace {

// Symbols larger than this many device pixels are drawn as vectors: few of them show at
// once, and their bitmaps would cost more than they save.
constexpr double kLargestSprite = 48;
constexpr qsizetype kSpriteBudget = 24 * 1024 * 1024;

} // namespace

void ProportionalShapeStamp::beginBatch(const QPainter& painter) const
{
    m_batch.reset();
    const QPaintEngine* engine = painter.paintEngine();
    if (!engine || engine->type() != QPaintEngine::Raster)
        return;
    const QTransform t = painter.deviceTransform();
    // Axis-aligned and uniform (a flip allowed): a stamped bitmap then looks as drawn.
    if (t.m12() != 0 || t.m21() != 0 || std::abs(std::abs(t.m11()) - std::abs(t.m22())) > 1e-9 || t.m11() == 0)
        return;
    Batch batch;
    batch.device = t;
    batch.scale = std::abs(t.m11());
    batch.ratio = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    batch.world = painter.worldTransform();
    // The world transform that draws in device pixels: the painter's device transform also
    // holds what the world does not (a widget's offset in its window, a viewport, the pixel
    // ratio), and that part must stay.
    batch.pixels = t.inverted() * batch.world;
    m_batch = std::move(batch);
}

void ProportionalShapeStamp::endBatch(QPainter& painter) const
{
    if (m_batch && painter.worldTransform() != m_batch->world)
        painter.setWorldTransform(m_batch->world);
    m_batch.reset();
}

bool ProportionalShapeStamp::drawSprite(QPainter& painter, const QPointF& center, double size) const
{
    Batch& batch = *m_batch;
    const double pixels = size * batch.scale;
    const double margin = std::ceil(m_absoluteStroke * batch.scale) + 2;
    // A huge outline (or a NaN scale) gives no sensible sprite, and its side would not fit an int.
    if (!(pixels <= kLargestSprite) || !(margin <= kLargestSprite))
        return false;
    // Sizes to a quarter pixel, positions to half a pixel.
    const int sizeStep = int(std::lround(pixels * 4));
    const QPointF device = batch.device.map(center);
    const double hx = std::floor(device.x() * 2) / 2, hy = std::floor(device.y() * 2) / 2;
    const int phase = (hx != std::floor(hx) ? 1 : 0) | (hy != std::floor(hy) ? 2 : 0);
    const quint64 key = (quint64(sizeStep) << 2) | quint64(phase);
    auto it = batch.sprites.constFind(key);
    if (it == batch.sprites.constEnd()) {
        const int side = int(std::ceil(sizeStep / 4.0 + 2 * margin)) + 1;
        QImage sprite(side, side, QImage::Format_ARGB32_Premultiplied);
        if (sprite.isNull())
            return false;
        sprite.fill(Qt::transparent);
        {
            QPainter p(&sprite);
            p.setRenderHint(QPainter::Antialiasing);
            // The same orientation as the target, centred on the sprite's centre pixel plus
            // the phase.
            const double cx = side / 2 + ((phase & 1) ? 0.5 : 0), cy = side / 2 + ((phase & 2) ? 0.5 : 0);
            const double sx = batch.device.m11() / batch.scale, sy = batch.device.m22() / batch.scale;
            p.setWorldTransform(QTransform(sx, 0, 0, sy, cx, cy));
            const double unitsPerPixel = 1 / batch.scale;
            p.scale(1 / unitsPerPixel, 1 / unitsPerPixel);
            drawVector(p, QPointF(0, 0), sizeStep / 4.0 / batch.scale);
        }
        if (batch.bytes + sprite.sizeInBytes() > kSpriteBudget) {
            batch.sprites.clear();
            batch.bytes = 0;
        }
        batch.bytes += sprite.sizeInBytes();
        it = batch.sprites.insert(key, sprite);
    }
    const QImage& sprite = *it;
    const int side = sprite.width();
    // Switching transforms costs more than a small blit: stay in device pixels while stamping.
    if (painter.worldTransform() != batch.pixels)
        painter.setWorldTransform(batch.pixels);
    painter.drawImage(QPointF(std::floor(hx) - side / 2, std::floor(hy) - side / 2), sprite);
    return true;
}

void ProportionalShapeStamp::draw(QPainter& painter, const QPointF& center, double size) const
{
    if (!m_shape || !std::isfinite(size) || size <= 0)
        return;
    if (m_batch && m_shape->bounds && drawSprite(painter, center, size))
        return;
    if (m_batch && painter.worldTransform() != m_batch->world)
        painter.setWorldTransform(m_batch->world);
    drawVector(painter, center, size);
}

void ProportionalShapeStamp::drawVector(QPainter& painter, const QPointF& center, double size) const
{
    if (m_shape->nativeSymbol || !(m_side > 0)) {
        m_shape->draw(painter, center, size, m_color, 1);
        return;
    }
    const double s = size / m_side;
    const QTransform saved = painter.worldTransform();
    painter.setWorldTransform(QTransform(s, 0, 0, s, center.x() - s * m_mid.x(), center.y() - s * m_mid.y()) * saved);
    for (const Part& part : m_parts) {
        const bool clipped = !part.source->painterClips.isEmpty();
        if (clipped) {
            painter.save();
            for (const QPainterPath& clip : part.source->painterClips)
                painter.setClipPath(clip, Qt::IntersectClip);
        }
        if (part.fill)
            painter.fillPath(part.source->painterPath, *part.fill);
        if (part.strokes) {
            // Widths in shape units: an outline keeps its width in points at every size.
            const double width = part.absoluteWidth ? part.width / s : part.width;
            QPen pen(part.stroke, width, Qt::SolidLine, part.cap, part.join);
            pen.setMiterLimit(10);
            if (!part.dash.isEmpty()) {
                QList<qreal> pattern;
                for (qreal d : part.dash)
                    pattern.append(d / width);
                if (pattern.size() % 2 == 1)
                    pattern += pattern;
                pen.setDashPattern(pattern);
            }
            painter.strokePath(part.source->painterPath, pen);
        }
        if (clipped)
            painter.restore();
    }
    painter.setWorldTransform(saved);
}
