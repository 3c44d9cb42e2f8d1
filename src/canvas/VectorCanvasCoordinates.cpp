#include "canvas/VectorCanvas.h"

#include "canvas/CanvasPathBuilder.h"

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

double VectorCanvas::blockScale(const QTransform& block) { return std::sqrt(std::abs(block.determinant())); }

QTransform VectorCanvas::mapToViewTransform() const
{
    const QTransform base(m_scale, 0, 0, m_yAxisSign * m_scale, m_offset.x(), m_offset.y());
    return rendersOriginalBlock ? base : base * blockTransform;
}

QPointF VectorCanvas::viewPoint(const QPointF& p) const
{
    QPointF v(p.x() * m_scale + m_offset.x(), p.y() * m_yAxisSign * m_scale + m_offset.y());
    if (!rendersOriginalBlock)
        v = blockTransform.map(v);
    return v;
}

QPointF VectorCanvas::mapPoint(const QPointF& viewPoint) const
{
    QPointF v = viewPoint;
    if (!rendersOriginalBlock)
        v = blockTransform.inverted().map(v);
    return QPointF((v.x() - m_offset.x()) / m_scale, ((v.y() - m_offset.y()) / m_scale) * m_yAxisSign);
}

PlmDecorationViewport VectorCanvas::currentViewport() const
{
    const QRectF r = compositionReferenceBounds.value_or(bounds());
    PlmDecorationViewport viewport;
    viewport.center = PlmPoint{(r.center().x() - m_offset.x()) / m_scale,
                               ((r.center().y() - m_offset.y()) / m_scale) * m_yAxisSign};
    viewport.unitsPerPoint = 1 / m_scale;
    return viewport;
}

void VectorCanvas::apply(const PlmDecorationViewport& viewport)
{
    // Stored viewports passed the document's validation; a value that did not
    // would give an unusable scale, so it is ignored rather than applied.
    const double u = viewport.unitsPerPoint;
    if (!std::isfinite(u) || u <= 0 || !std::isfinite(viewport.center.x) || !std::isfinite(viewport.center.y))
        return;
    const QRectF r = compositionReferenceBounds.value_or(bounds());
    const double scale = 1 / u;
    const QPointF offset(r.center().x() - viewport.center.x * scale, r.center().y() - viewport.center.y * m_yAxisSign * scale);
    // A finite centre can still put the map past what a double holds once scaled; shown that
    // way, the view would hand back a non-finite viewport that no document could save.
    if (!std::isfinite(scale) || !std::isfinite(offset.x()) || !std::isfinite(offset.y()))
        return;
    setScale(scale);
    setOffset(offset);
    fitted = true;
    tracksFit = false;
    setNeedsDisplay();
}

std::optional<QRectF> VectorCanvas::defaultFitRegion(const PlmMap& map)
{
    const auto it = map.metadata.constFind(QStringLiteral("source.category"));
    if (it == map.metadata.constEnd())
        return std::nullopt;
    if (*it == QLatin1String("France"))
        return QRectF(-6, 41, 16, 11);
    if (*it == QLatin1String("Europe"))
        return QRectF(-25, 34, 70, 38);
    return std::nullopt;
}

bool VectorCanvas::usesMapUnitRadius(const PlmEntity& entity)
{
    return entity.pointSymbol.has_value()
        || entity.attributes.value(QStringLiteral("studio.point.units")) == QLatin1String("map");
}

void VectorCanvas::fit(bool resettingFitRegion)
{
    if (resettingFitRegion)
        fitRegion.reset();
    const QRectF b = bounds();
    if (!(b.width() > 0) || !(b.height() > 0))
        return;
    ++m_fitCount;

    double minX = INFINITY, maxX = -INFINITY, minY = INFINITY, maxY = -INFINITY;
    bool any = false;
    auto add = [&](double x, double y) {
        if (!std::isfinite(x) || !std::isfinite(y))
            return;
        y *= m_yAxisSign;
        minX = std::min(minX, x);
        maxX = std::max(maxX, x);
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        any = true;
    };

    if (fitRegion) {
        add(fitRegion->left(), fitRegion->top());
        add(fitRegion->right(), fitRegion->bottom());
    } else {
        if (!m_shapeExtent || m_shapeExtent->yAxisSign != m_yAxisSign || !(m_shapeExtent->entities == m_map.entities)) {
            ShapeExtent extent;
            extent.entities = m_map.entities;
            extent.yAxisSign = m_yAxisSign;
            // Each range of entities is measured on its own (on its own core for a large map,
            // where this walk is most of the first fit) and the ranges merged in order.
            const qsizetype count = m_map.entities.size();
            const unsigned cores = std::min(std::max(1u, std::thread::hardware_concurrency()), 8u);
            const qsizetype parts = count >= 2000 ? qsizetype(cores) : 1;
            std::vector<ShapeExtent> partial;
            partial.resize(size_t(parts));
            auto measure = [&](qsizetype part) {
                ShapeExtent& e = partial[size_t(part)];
                auto addShape = [&](double x, double y) {
                    if (!std::isfinite(x) || !std::isfinite(y))
                        return;
                    y *= m_yAxisSign;
                    e.minX = std::min(e.minX, x);
                    e.maxX = std::max(e.maxX, x);
                    e.minY = std::min(e.minY, y);
                    e.maxY = std::max(e.maxY, y);
                    e.any = true;
                };
                const qsizetype end = count * (part + 1) / parts;
                for (qsizetype i = count * part / parts; i < end; ++i) {
                    bool hasText = false;
                    for (const PlmEntity& leaf : m_map.entities[i].leafEntities()) {
                        if (leaf.geometry.asText()) {
                            hasText = true;
                        } else if (const PlmPoint* p = leaf.geometry.asPoint(); p && usesMapUnitRadius(leaf)) {
                            const double r = leaf.style.pointRadius;
                            addShape(p->x - r, p->y - r);
                            addShape(p->x + r, p->y + r);
                        } else {
                            for (const PlmPoint& p : leaf.geometry.extentPoints())
                                addShape(p.x, p.y);
                        }
                    }
                    if (hasText)
                        e.textEntities.push_back(i);
                }
            };
            std::vector<std::thread> workers;
            for (qsizetype part = 1; part < parts; ++part)
                workers.emplace_back(measure, part);
            measure(0);
            for (std::thread& t : workers)
                t.join();
            for (const ShapeExtent& e : partial) {
                if (e.any) {
                    extent.minX = std::min(extent.minX, e.minX);
                    extent.maxX = std::max(extent.maxX, e.maxX);
                    extent.minY = std::min(extent.minY, e.minY);
                    extent.maxY = std::max(extent.maxY, e.maxY);
                    extent.any = true;
                }
                extent.textEntities.insert(extent.textEntities.end(), e.textEntities.begin(), e.textEntities.end());
            }
            m_shapeExtent = std::move(extent);
        }
        if (m_shapeExtent->any) {
            minX = m_shapeExtent->minX;
            maxX = m_shapeExtent->maxX;
            minY = m_shapeExtent->minY;
            maxY = m_shapeExtent->maxY;
            any = true;
        }
        // Texts depend on the view's transform: measured at each fit.
        for (qsizetype i : m_shapeExtent->textEntities) {
            for (const PlmEntity& leaf : m_map.entities[i].leafEntities()) {
                if (const PlmText* text = leaf.geometry.asText()) {
                    // The glyphs' box, in map units: its corners are mapped back
                    // from view space as the drawn text would be.
                    const QPainterPath outline = CanvasPathBuilder::textOutline(*text, leaf.attributes);
                    if (outline.elementCount() == 0)
                        continue;
                    const QRectF vb = mapToViewTransform().map(outline).boundingRect();
                    const QPointF a = mapPoint(vb.topLeft()), c = mapPoint(vb.bottomRight());
                    add(a.x(), a.y());
                    add(c.x(), c.y());
                }
            }
        }
        if (m_backgroundImage) {
            const PlmBackgroundImage& image = *m_backgroundImage;
            add(image.position.x, image.position.y);
            add(image.position.x + image.width, image.position.y + image.height);
        }
    }

    if (!any) {
        fitted = true;
        setNeedsDisplay();
        return;
    }
    // A margin of 32 points on each side. Only an extent of exactly zero (a
    // single point) counts as one map unit: maps in degrees can span a
    // fraction of a unit and must still fill the view.
    // The scale stays within the zoom's range: two vertices a denormal apart
    // would otherwise give an infinite scale (and a NaN offset) that no zoom
    // could leave, and an overflowing extent a zero one.
    const double w = maxX - minX, h = maxY - minY;
    const double s = std::clamp(std::min(std::max(b.width() - 64, 1.0) / (w > 0 ? w : 1.0),
                                         std::max(b.height() - 64, 1.0) / (h > 0 ? h : 1.0)),
                                1e-8, 1e8);
    setScale(s);
    setOffset(QPointF(b.center().x() - (minX * 0.5 + maxX * 0.5) * s, b.center().y() - (minY * 0.5 + maxY * 0.5) * s));
    fitted = true;
    tracksFit = true;
    setNeedsDisplay();
}

void VectorCanvas::zoom(double factor, std::optional<QPointF> around)
{
    const QPointF p = around.value_or(bounds().center());
    const double next = std::clamp(m_scale * factor, 1e-8, 1e8);
    if (!std::isfinite(next))
        return;
    const double ratio = next / m_scale;
    setOffset(p - (p - m_offset) * ratio);
    setScale(next);
    tracksFit = false;
    setNeedsDisplay();
}

void VectorCanvas::layout()
{
    if (fitted && !tracksFit)
        return;
    fit(false);
}

void VectorCanvas::scrollWheel(const ViewWheelEvent& event)
{
    if (!isInteractive)
        return;
    const double f = std::exp(std::clamp(event.deltaY * 0.02, -0.35, 0.35));
    if (onCompositionZoom)
        onCompositionZoom(f, event.location);
    else
        zoom(f, event.location);
}

void VectorCanvas::magnify(const ViewMagnifyEvent& event)
{
    if (!isInteractive)
        return;
    const double f = std::exp(event.magnification);
    if (!std::isfinite(f) || f <= 0)
        return;
    if (onCompositionZoom)
        onCompositionZoom(f, event.location);
    else
        zoom(f, event.location);
}
