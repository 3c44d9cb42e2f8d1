#include "canvas/VectorCanvas.h"

#include "canvas/CanvasPathBuilder.h"
#include "canvas/CanvasStrokeOutline.h"
#include "canvas/TextOutline.h"
#include "model/PlmErrors.h"
#include "canvas/ProportionalShape.h"

#include <QBuffer>
#include <QFontDatabase>
#include <QImageReader>
#include <QGlyphRun>
#include <QPaintEngine>
#include <QPainter>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

namespace {

QColor qcolor(const PlmColor& c)
{
    return QColor::fromRgbF(float(std::clamp(c.red, 0.0, 1.0)), float(std::clamp(c.green, 0.0, 1.0)),
                            float(std::clamp(c.blue, 0.0, 1.0)), float(std::clamp(c.alpha, 0.0, 1.0)));
}

// Draws y-down content (text, images) upright inside a y-up rectangle.
void unflipInto(QPainter& painter, const QRectF& rect)
{
    painter.translate(0, rect.top() + rect.bottom());
    painter.scale(1, -1);
}

// Neighbouring areas often share their colour: a new brush of the same colour
// would still make the painter set up its fill again (and a PDF repeat it).
void setBrushIfChanged(QPainter& painter, const std::optional<QColor>& fill)
{
    const QBrush& current = painter.brush();
    if (!fill) {
        if (current.style() != Qt::NoBrush)
            painter.setBrush(Qt::NoBrush);
    } else if (current.style() != Qt::SolidPattern || current.color() != *fill || !current.transform().isIdentity()) {
        painter.setBrush(*fill);
    }
}

// Background images come from documents: refuse sizes that would exhaust memory.
constexpr qint64 kMaxBackgroundPixels = qint64(64) * 1024 * 1024;

} // namespace

QPen VectorCanvas::strokePen(const PlmStyle& style, bool selectedSingle, double factor) const
{
    // factor converts view points into the painter's current units.
    const double f = m_map.sources.has_value() ? m_scale : 1.0;
    double width = style.lineWidth * f;
    if (selectedSingle)
        width = std::max(width, 3.0);
    if (!std::isfinite(width) || width <= 0)
        return QPen(Qt::NoPen);
    QPen pen(selectedSingle ? accentColor : qcolor(style.stroke));
    pen.setWidthF(width * factor);
    switch (style.lineCap.value_or(0)) {
    case 1: pen.setCapStyle(Qt::RoundCap); break;
    case 2: pen.setCapStyle(Qt::SquareCap); break;
    default: pen.setCapStyle(Qt::FlatCap); break;
    }
    switch (style.lineJoin.value_or(0)) {
    case 1: pen.setJoinStyle(Qt::RoundJoin); break;
    case 2: pen.setJoinStyle(Qt::BevelJoin); break;
    default: pen.setJoinStyle(Qt::MiterJoin); break;
    }
    pen.setMiterLimit(10);
    if (style.dash && std::any_of(style.dash->begin(), style.dash->end(), [](double d) { return d > 0; })) {
        // Qt measures dashes in pen widths; an odd list repeats, as in PDF.
        QList<qreal> pattern;
        for (double d : *style.dash)
            pattern.append(std::max(d * f / width, 1e-6));
        if (pattern.size() % 2 == 1)
            pattern += pattern;
        pen.setDashPattern(pattern);
        pen.setDashOffset(0);
    }
    return pen;
}

void VectorCanvas::draw(QPainter& painter, const QRectF& dirty)
{
    const QRectF b = bounds();
    painter.save();
    painter.setClipRect(b, Qt::IntersectClip);
    // An exported page is white whatever the desktop theme.
    if (paintsBackground)
        painter.fillRect(b, rendersForExport ? QColor(Qt::white) : backgroundColor);

    if (m_map.entities.isEmpty() && !m_backgroundImage && !emptyText.isEmpty()) {
        const QRectF r = b.adjusted(32, 32, -32, -32);
        if (r.width() > 0 && r.height() > 0) {
            painter.save();
            unflipInto(painter, r);
            // 15 view points: a pixel size, since a point size would follow the
            // device's 96 dpi and come out a third larger.
            QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
            font.setPixelSize(15);
            painter.setFont(font);
            painter.setPen(secondaryLabelColor);
            painter.drawText(r, Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, emptyText);
            painter.restore();
        }
    }

    const bool savedOriginal = rendersOriginalBlock;
    rendersOriginalBlock = true;
    if (m_backgroundImage && backgroundBitmap && !backgroundBitmap->isNull()) {
        if (const std::optional<QRectF> r = backgroundImageViewRect()) {
            painter.save();
            painter.setOpacity(std::clamp(m_backgroundImage->opacity, 0.0, 1.0));
            unflipInto(painter, *r);
            painter.drawImage(*r, *backgroundBitmap);
            painter.restore();
        }
    }
    painter.setTransform(blockTransform, true);
    if (m_scale > 0 && std::isfinite(m_scale))
        drawEntities(painter, dirty);

    if (showEntityNames && m_scale > 0) {
        // The labels of entities far from the exposed rectangle are not built.
        bool invertible = false;
        const QTransform blockInverse = blockTransform.inverted(&invertible);
        const QRectF visible = invertible ? blockInverse.mapRect(dirty) : QRectF(-1e300, -1e300, 2e300, 2e300);
        if (painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Raster)
            drawNameLabelGlyphs(painter, visible);
        else
            drawNameLabelOutlines(painter, visible);
    }
    rendersOriginalBlock = savedOriginal;
    painter.restore();

    if (zoomRectangle && !rendersForExport) {
        painter.save();
        painter.setPen(QPen(accentColor, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(zoomRectangle->normalized());
        painter.restore();
    }
    drawEditingGroupFrame(painter);
    drawCreationOverlay(painter);
}

void VectorCanvas::drawEntities(QPainter& painter, const QRectF& dirty)
{
    if (drawLayered(painter, dirty))
        return;
    const QTransform viewT = painter.transform();  // block-free view coordinates → device
    const QTransform mapT(m_scale, 0, 0, m_yAxisSign * m_scale, m_offset.x(), m_offset.y());
    const QTransform world = mapT * viewT;

    // Cull in map units: the exposed rectangle mapped back, grown by the
    // widest stroke and the largest point mark.
    m_cache.ensureAll();
    const double f = m_map.sources.has_value() ? m_scale : 1.0;
    const double margin = std::max(m_cache.maxLineWidth() * f, 3.0) / 2 + std::max(m_cache.maxScreenRadius(), 0.0)
        + m_cache.maxMapRadius() * m_scale + 4;
    std::optional<QRectF> visibleMap;
    bool invertible = false;
    const QTransform blockInverse = blockTransform.inverted(&invertible);
    if (invertible && std::isfinite(margin)) {
        const QRectF preBlock = blockInverse.mapRect(dirty.intersected(bounds())).adjusted(-margin, -margin, margin, margin);
        visibleMap = mapT.inverted().mapRect(preBlock);
    }

    painter.setTransform(world);
    m_detailLevel = CanvasEntityCache::detailLevel(std::sqrt(std::abs(world.determinant())));
    // Strokes wider than a device pixel in an image: the stroke's area as
    // pieces (see CanvasStrokeOutline), under a transform that keeps angles
    // so that the pieces' widths hold in every direction. Thinner strokes
    // take Qt's own fast hairline path; vector outputs keep real strokes.
    const bool similar = world.type() <= QTransform::TxScale
        && std::abs(std::abs(world.m11()) - std::abs(world.m22())) <= 1e-3 * std::abs(world.m11());
    LeafDrawing& state = m_leafDrawing;
    state.strokeOutlineScale = usesFastDrawing && similar && painter.paintEngine()
            && painter.paintEngine()->type() == QPaintEngine::Raster
        ? std::abs(world.m11())
        : 0.0;
    state.drawsVectors = painter.paintEngine() && painter.paintEngine()->type() != QPaintEngine::Raster;
    state.copiesPaths = false;
    state.lastPenStyle.reset();
    if (drawEntityBands(painter, mapT, margin)) {
        painter.setTransform(viewT);
        return;
    }
    const int count = m_cache.size();
    // An export draws on one thread (a PDF's writer cannot be shared): the simplified copies
    // of a large map are made beforehand on every core.
    constexpr int preparedEntities = 1000;
    if (rendersForExport && count >= preparedEntities)
        m_cache.prepareDrawing(m_detailLevel, usesFastDrawing, visibleMap);
    for (int i = 0; i < count; ++i) {
        // Entries and leaves lie apart in memory: fetch the entry twelve steps
        // ahead, and the leaves of the one six steps ahead (whose entry came
        // in meanwhile), while this one is drawn.
        if (const CanvasEntry* far = m_cache.builtEntry(i + 12))
            __builtin_prefetch(far);
        if (const CanvasEntry* near = m_cache.builtEntry(i + 6); near && !near->leaves.isEmpty()) {
            const char* leaf = reinterpret_cast<const char*>(near->leaves.constData());
            __builtin_prefetch(leaf);
            __builtin_prefetch(leaf + 64);
            __builtin_prefetch(leaf + 128);
        }
        const CanvasEntry& entry = m_cache.entry(i);
        if (visibleMap && entry.hasBounds && !CanvasEntityCache::overlaps(entry.bounds, *visibleMap))
            continue;
        const bool selected = selectedIndex && *selectedIndex == i;
        const bool single = selected && entry.leaves.size() == 1;
        for (const CanvasLeaf& leaf : entry.leaves) {
            if (!leaf.visible)
                continue;
            if (visibleMap && leaf.hasBounds && !CanvasEntityCache::overlaps(leaf.bounds, *visibleMap))
                continue;
            drawLeaf(painter, world, leaf, single, entry.entity.id, state);
        }
        if (selected && !entry.entity.hidden() && entry.entity.geometry.isGroup() && entry.hasPathBounds) {
            painter.setTransform(viewT);
            const QRectF frame = mapT.mapRect(entry.pathBounds).adjusted(-3, -3, 3, 3);
            painter.setPen(QPen(accentColor, 2));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(frame);
            painter.setTransform(world);
        }
    }
    painter.setTransform(viewT);
}

bool VectorCanvas::drawEntityBands(QPainter& painter, const QTransform& mapT, double margin)
{
    // Exported images: the areas are drawn in horizontal bands, each on a thread of its own
    // into a copy of that band of the picture so far, then copied back inside the painter's
    // clip. Each pixel sees the same areas in the same order as when drawn in one go.
    constexpr int minimumEntities = 1000;
    constexpr qint64 maximumBytes = qint64(1) << 30;
    if (!rendersForExport || !usesFastDrawing || selectedIndex || !std::isfinite(margin)
        || m_cache.size() < minimumEntities)
        return false;
    QPaintDevice* device = painter.device();
    if (!device || device->devType() != QInternal::Image || !painter.paintEngine()
        || painter.paintEngine()->type() != QPaintEngine::Raster || painter.opacity() != 1
        || painter.compositionMode() != QPainter::CompositionMode_SourceOver)
        return false;
    const QImage& target = *static_cast<QImage*>(device);
    const int threads = std::min(QThread::idealThreadCount(), 8);
    if (threads < 2 || target.devicePixelRatio() != 1 || target.height() < 16 * threads
        || target.sizeInBytes() > maximumBytes)
        return false;
    // The painter comes in the world transform (map units → device).
    bool mapInvertible = false;
    const QTransform viewToMap = mapT.inverted(&mapInvertible);
    bool invertible = false;
    const QTransform viewDevice = viewToMap * painter.deviceTransform();
    const QTransform deviceToView = viewDevice.inverted(&invertible);
    if (!invertible || !mapInvertible)
        return false;
    // Point symbols keep caches of their own: those maps are drawn on one thread. The leaves'
    // drawing copies are built here, so that the threads only read them.
    const int count = m_cache.size();
    for (int i = 0; i < count; ++i)
        for (const CanvasLeaf& leaf : m_cache.entry(i).leaves)
            if (leaf.isPoint)
                return false;
    m_cache.prepareDrawing(m_detailLevel, true);

    const int width = target.width();
    const int height = target.height();
    std::vector<QImage> bands{size_t(threads)};
    std::vector<int> tops(size_t(threads) + 1, 0);
    for (int b = 0; b <= threads; ++b)
        tops[size_t(b)] = int(qint64(height) * b / threads);
    for (int b = 0; b < threads; ++b) {
        bands[size_t(b)] = target.copy(0, tops[size_t(b)], width, tops[size_t(b) + 1] - tops[size_t(b)]);
        if (bands[size_t(b)].isNull())
            return false;
    }
    const QPainter::RenderHints hints = painter.renderHints();
    const double outlineScale = m_leafDrawing.strokeOutlineScale;
    auto drawBand = [&](int b) {
        const int top = tops[size_t(b)];
        QPainter band(&bands[size_t(b)]);
        band.setRenderHints(hints);
        const QTransform world = mapT * viewDevice * QTransform::fromTranslate(0, -top);
        band.setTransform(world);
        const QRectF view = deviceToView.mapRect(QRectF(0, top, width, tops[size_t(b) + 1] - top))
                                .adjusted(-margin, -margin, margin, margin);
        const QRectF visibleMap = viewToMap.mapRect(view);
        LeafDrawing state;
        state.strokeOutlineScale = outlineScale;
        state.copiesPaths = true;
        for (int i = 0; i < count; ++i) {
            const CanvasEntry* built = m_cache.builtEntry(i);  // all built above: reading only
            if (!built)
                continue;
            const CanvasEntry& entry = *built;
            if (entry.hasBounds && !CanvasEntityCache::overlaps(entry.bounds, visibleMap))
                continue;
            for (const CanvasLeaf& leaf : entry.leaves)
                if (leaf.visible && (!leaf.hasBounds || CanvasEntityCache::overlaps(leaf.bounds, visibleMap)))
                    drawLeaf(band, world, leaf, false, entry.entity.id, state);
        }
    };
    std::vector<std::thread> workers;
    for (int b = 1; b < threads; ++b)
        workers.emplace_back(drawBand, b);
    drawBand(0);
    for (std::thread& worker : workers)
        worker.join();

    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    for (int b = 0; b < threads; ++b)
        painter.drawImage(QPoint(0, tops[size_t(b)]), bands[size_t(b)]);
    painter.restore();
    return true;
}

void VectorCanvas::drawLeaf(QPainter& painter, const QTransform& world, const CanvasLeaf& leaf, bool selectedSingle,
                            const QString& classID, LeafDrawing& state)
{
    // Class colours are keyed by the top-level entity: the leaves of a group take its colour.
    // The painter comes and goes in the world transform (map units → device).
    const PlmEntity& entity = leaf.entity;
    const bool clipped = !leaf.clips.isEmpty();
    if (clipped) {
        painter.save();
        for (const QPainterPath& clip : leaf.clips)
            painter.setClipPath(state.copiesPaths ? threadOwnPath(clip) : clip, Qt::IntersectClip);
    }

    if (leaf.isPoint) {
        // Points are drawn in view coordinates, at a radius in view points.
        const QTransform mapT(m_scale, 0, 0, m_yAxisSign * m_scale, m_offset.x(), m_offset.y());
        painter.setTransform(mapT.inverted() * world);
        const QPointF c = mapT.map(leaf.point);
        const double r = pointRadiusInView(entity);
        if (std::shared_ptr<const ProportionalShape> shape = pointShape(entity)) {
            const PlmColor color = pointSymbolColor(entity, &classID);
            painter.save();
            if (shape->useSourceColors)
                painter.setOpacity(std::clamp(color.alpha, 0.0, 1.0));
            bool drawn = false;
            if (usesSFExportFallback && shape->nativeSymbol) {
                try {
                    const QImage& image = m_symbolPictures.picture(shape, color, 2 * r).image;
                    ProportionalShape::drawBitmap(painter, image, c, 2 * r);
                    drawn = true;
                } catch (const PlmError&) {
                    drawn = false;
                }
            }
            if (!drawn)
                shape->draw(painter, c, 2 * r, color, 1);
            painter.restore();
            if (selectedSingle) {
                painter.setPen(QPen(accentColor, 1));
                painter.setBrush(Qt::NoBrush);
                painter.drawRect(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
            }
        } else {
            QPainterPath oval;
            oval.addEllipse(c, r, r);
            const bool stroked = selectedSingle || (entity.style.lineWidth > 0 && entity.style.stroke.alpha > 0);
            painter.setBrush(entity.style.fill ? QBrush(qcolor(*entity.style.fill)) : QBrush(Qt::NoBrush));
            painter.setPen(stroked ? strokePen(entity.style, selectedSingle, 1.0) : QPen(Qt::NoPen));
            painter.drawPath(oval);
        }
        painter.setTransform(world);
    } else {
        const QPainterPath& path = CanvasEntityCache::drawingPath(leaf, m_detailLevel);
        std::optional<QColor> fill;
        if (!leaf.isPolyline) {
            const auto override = leaf.isArea && !fillOverrides.isEmpty() ? fillOverrides.constFind(classID)
                                                                           : fillOverrides.constEnd();
            if (override != fillOverrides.constEnd())
                fill = qcolor(*override);
            else if (leaf.style.fill)
                fill = qcolor(*leaf.style.fill);
        }
        bool stroked = false;
        bool pieces = false;
        if (selectedSingle || (leaf.style.lineWidth > 0 && leaf.style.stroke.alpha > 0)) {
            // Neighbouring entities mostly share their stroke: reuse the pen.
            if (selectedSingle || !state.lastPenStyle || !sameStroke(*state.lastPenStyle, leaf.style)) {
                state.lastPen = strokePen(leaf.style, selectedSingle, 1.0 / m_scale);
                if (selectedSingle)
                    state.lastPenStyle.reset();
                else
                    state.lastPenStyle = leaf.style;
            }
            stroked = state.lastPen.style() != Qt::NoPen;
            pieces = stroked && state.lastPen.widthF() * state.strokeOutlineScale > 1
                && CanvasStrokeOutline::supports(state.lastPen) && CanvasStrokeOutline::build(state.strokePieces, path, state.lastPen);
        }
        const QPolygonF* ring = leaf.isPolyline || !usesFastDrawing ? nullptr
                                                                    : CanvasEntityCache::drawingRing(leaf, m_detailLevel);
        const QPainterPath copy = state.copiesPaths && !ring ? threadOwnPath(path) : QPainterPath();
        const QPainterPath& drawn = state.copiesPaths && !ring ? copy : path;
        if (ring) {
            // One call fills the ring, then strokes it (unless the pieces do).
            setBrushIfChanged(painter, fill);
            if (stroked && !pieces)
                painter.setPen(state.lastPen);
            else
                painter.setPen(Qt::NoPen);
            if (fill || (stroked && !pieces))
                painter.drawPolygon(ring->constData(), int(ring->size()), path.fillRule());
        } else if (state.drawsVectors && fill && stroked && fill->alpha() == 255
                   && state.lastPen.color().alpha() == 255) {
            // Vector outputs: one path filled and stroked together is written
            // (and compressed) once, where fillPath and strokePath write it twice
            // and reset the painter's state in between.
            setBrushIfChanged(painter, fill);
            painter.setPen(state.lastPen);
            painter.drawPath(drawn);
        } else {
            // Separate fill and stroke calls are faster than drawPath with both
            // for the small paths that large maps are made of.
            if (fill)
                painter.fillPath(drawn, *fill);
            if (stroked && !pieces)
                painter.strokePath(drawn, state.lastPen);
        }
        if (pieces)
            painter.fillPath(state.strokePieces, state.lastPen.color());
    }

    if (clipped) {
        painter.restore();
        painter.setTransform(world);
    }
}

// Labels as vectors (PDF, SVG, pictures): each outline stroked in white 2
// points wide with round joins, then filled in black.
void VectorCanvas::drawNameLabelOutlines(QPainter& painter, const QRectF& visible)
{
    QPen halo(Qt::white, 2);
    halo.setJoinStyle(Qt::RoundJoin);
    for (const PlmEntity& e : m_map.entities) {
        const std::optional<QPainterPath> p = entityNameLabelPath(e, &visible);
        if (!p || p->isEmpty())
            continue;
        painter.strokePath(*p, halo);
        painter.fillPath(*p, Qt::black);
    }
}

// Labels on screen and in images: the same glyphs at the same places, drawn
// through the glyph cache. Rasterising every outline and its stroke made a
// large map with names take tens of seconds a frame. The white halo is the
// glyphs drawn 1 point away in eight directions, which covers what a 2-point
// stroke with round joins covers outside the glyphs.
void VectorCanvas::drawNameLabelGlyphs(QPainter& painter, const QRectF& visible)
{
    static const QPointF kHalo[8] = {{1, 0}, {-1, 0}, {0, 1}, {0, -1},
                                     {M_SQRT1_2, M_SQRT1_2}, {-M_SQRT1_2, M_SQRT1_2},
                                     {M_SQRT1_2, -M_SQRT1_2}, {-M_SQRT1_2, -M_SQRT1_2}};
    const QTransform base = painter.transform();
    const QPen savedPen = painter.pen();
    for (const PlmEntity& e : m_map.entities) {
        if (e.hidden() || e.name.isEmpty())
            continue;
        const std::optional<PlmPoint> anchor = entityNameAnchor(e);
        if (!anchor)
            continue;
        const QPointF at(anchor->x * m_scale + m_offset.x(), anchor->y * m_yAxisSign * m_scale + m_offset.y());
        if (!TextOutline::labelBox(e.name, entityNameFontSize).translated(at).intersects(visible))
            continue;
        const QList<QGlyphRun> runs = TextOutline::labelGlyphRuns(e.name, entityNameFontName, entityNameFontSize);
        if (runs.isEmpty())
            continue;
        // Glyphs are y-down: un-flip around the anchor.
        painter.setTransform(QTransform(1, 0, 0, -1, at.x(), at.y()) * base);
        painter.setPen(Qt::white);
        for (const QPointF& o : kHalo)
            for (const QGlyphRun& run : runs)
                painter.drawGlyphRun(o, run);
        painter.setPen(Qt::black);
        for (const QGlyphRun& run : runs)
            painter.drawGlyphRun(QPointF(0, 0), run);
    }
    painter.setTransform(base);
    painter.setPen(savedPen);
}

std::optional<QRectF> VectorCanvas::backgroundImageViewRect() const
{
    if (!m_backgroundImage)
        return std::nullopt;
    const PlmBackgroundImage& image = *m_backgroundImage;
    const QTransform mapT(m_scale, 0, 0, m_yAxisSign * m_scale, m_offset.x(), m_offset.y());
    const QPointF a = mapT.map(QPointF(image.position.x, image.position.y));
    const QPointF c = mapT.map(QPointF(image.position.x + image.width, image.position.y + image.height));
    return QRectF(QPointF(std::min(a.x(), c.x()), std::min(a.y(), c.y())),
                  QPointF(std::max(a.x(), c.x()), std::max(a.y(), c.y())));
}

void VectorCanvas::backgroundImageDidChange(const std::optional<PlmBackgroundImage>& previous)
{
    const bool sameData = (!previous && !m_backgroundImage)
        || (previous && m_backgroundImage && previous->data == m_backgroundImage->data);
    if (!sameData) {
        backgroundBitmap.reset();
        if (m_backgroundImage && !m_backgroundImage->data.isEmpty()) {
            QByteArray bytes = m_backgroundImage->data;
            QBuffer buffer(&bytes);
            buffer.open(QIODevice::ReadOnly);
            QImageReader reader(&buffer);
            const QSize size = reader.size();
            if (size.isValid() && qint64(size.width()) * size.height() <= kMaxBackgroundPixels) {
                QImage decoded = reader.read();
                if (!decoded.isNull())
                    backgroundBitmap = decoded.convertToFormat(QImage::Format_ARGB32_Premultiplied);
            }
        }
    }
    setNeedsDisplay();
}

QList<VectorCanvas::NameLabel> VectorCanvas::entityNameLabels()
{
    QList<NameLabel> labels;
    if (!showEntityNames || !(m_scale > 0))
        return labels;
    for (const PlmEntity& e : m_map.entities)
        if (std::optional<NameLabel> label = entityNameLabel(e))
            labels.append(*label);
    return labels;
}

std::optional<QString> VectorCanvas::entityNameLabel(const QPointF& viewPoint)
{
    if (!onEntityNameMove || !showEntityNames || !(m_scale > 0))
        return std::nullopt;
    // The labels from the last to the first, as entityNameLabels() gives
    // them; only those whose generous box reaches the point are laid out, so
    // that a click on a large map does not lay out every name.
    for (qsizetype i = m_map.entities.size() - 1; i >= 0; --i) {
        const PlmEntity& e = m_map.entities.at(i);
        if (e.hidden() || e.name.isEmpty())
            continue;
        const std::optional<PlmPoint> anchor = entityNameAnchor(e);
        if (!anchor || lockedEntityIDs.contains(e.id))
            continue;
        const QPointF at(anchor->x * m_scale + m_offset.x(), anchor->y * m_yAxisSign * m_scale + m_offset.y());
        QRectF box = TextOutline::labelBox(e.name, entityNameFontSize).translated(at);
        if (!rendersOriginalBlock)
            box = blockTransform.mapRect(box);
        if (!box.adjusted(-2, -2, 2, 2).contains(viewPoint))
            continue;
        const std::optional<QPainterPath> path = entityNameLabelPath(e, nullptr);
        if (path && !path->isEmpty() && path->boundingRect().adjusted(-2, -2, 2, 2).contains(viewPoint))
            return e.id;
    }
    return std::nullopt;
}

QRectF VectorCanvas::originalBlockBounds()
{
    if (const auto& memo = m_blockBoundsMemo; memo && memo->revision == m_cache.revision()
        && memo->scale == m_scale && memo->offset.x() == m_offset.x() && memo->offset.y() == m_offset.y()
        && memo->yAxisSign == m_yAxisSign)
        return memo->bounds;
    const bool saved = rendersOriginalBlock;
    rendersOriginalBlock = true;
    const QTransform mapT = mapToViewTransform();
    std::optional<QRectF> united;
    auto unite = [&](const QRectF& r) { united = united ? united->united(r) : r; };
    for (int i = 0; i < m_cache.size(); ++i) {
        const CanvasEntry& entry = m_cache.entry(i);
        const PlmEntity& e = entry.entity;
        if (const PlmPoint* p = e.geometry.asPoint()) {
            if (usesMapUnitRadius(e)) {
                const QPointF c = viewPoint(QPointF(p->x, p->y));
                const double r = pointRadiusInView(e);
                unite(QRectF(c.x() - r, c.y() - r, 2 * r, 2 * r));
            }
        } else if (entry.hasPathBounds) {
            unite(mapT.mapRect(entry.pathBounds));
        }
    }
    rendersOriginalBlock = saved;
    m_blockBoundsMemo = BlockBoundsMemo{m_cache.revision(), m_scale, m_offset, m_yAxisSign, united.value_or(QRectF())};
    return m_blockBoundsMemo->bounds;
}

void VectorCanvas::drawEditingGroupFrame(QPainter& painter)
{
    if (!editingGroup || editingGroup->isEmpty() || !selectedIndex || editingGroup->first() != *selectedIndex)
        return;
    if (!isPathVisible(*editingGroup))
        return;
    const std::optional<PlmEntity> group = entity(*editingGroup);
    if (!group)
        return;
    const QPainterPath p = CanvasPathBuilder::painterPath(group->geometry, {}, mapToViewTransform());
    if (p.elementCount() == 0)
        return;
    QPen pen(accentColor, 1);
    pen.setDashPattern({4, 3});
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(p.boundingRect().adjusted(-4, -4, 4, 4));
    painter.restore();
}
