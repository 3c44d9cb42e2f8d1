#include "page/CarteCompositionHost.h"

#include "canvas/VectorCanvas.h"
#include "page/ThematicCanvas.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

CarteCompositionHost::CarteCompositionHost(ThematicCanvas* canvas) : m_canvas(canvas)
{
    // The host clips the page to what it shows; the canvas itself does not clip.
    setClipsToBounds(true);
    addSubview(m_canvas);
    VectorCanvas* vector = m_canvas->vector();
    vector->onCompositionZoom = [this](double factor, const QPointF& point) { zoomBy(factor, point); };
    vector->onCompositionPan = [this](const QPointF& delta) { panBy(delta); };
    vector->onCompositionZoomRect = [this](const QRectF& rect) { zoomToRect(rect); };
}

CarteCompositionHost::~CarteCompositionHost()
{
    // The map view outlives nothing here, but its callbacks must not reach a host being deleted.
    VectorCanvas* vector = m_canvas->vector();
    vector->onCompositionZoom = nullptr;
    vector->onCompositionPan = nullptr;
    vector->onCompositionZoomRect = nullptr;
}

void CarteCompositionHost::zoomBy(double factor, const QPointF& canvasPoint)
{
    if (!std::isfinite(factor) || factor <= 0)
        return;
    const QPointF q = m_canvas->convertToSuperview(canvasPoint);
    const double next = std::clamp(zoom * factor, minimumZoom, maximumZoom);
    const double ratio = next / zoom;
    zoom = next;
    const QPointF c = bounds().center();
    pan = QPointF((q.x() - c.x()) - ratio * ((q.x() - c.x()) - pan.x()),
                  (q.y() - c.y()) - ratio * ((q.y() - c.y()) - pan.y()));
    layoutComposition();
}

void CarteCompositionHost::panBy(const QPointF& canvasDelta)
{
    const double s = m_canvas->boundsScale().x();
    pan += QPointF(canvasDelta.x() * s, canvasDelta.y() * s);
    layoutComposition();
}

QRectF CarteCompositionHost::visibleCanvasRect() const
{
    const QPointF a = m_canvas->convertFromSuperview(bounds().topLeft());
    const QPointF b = m_canvas->convertFromSuperview(bounds().bottomRight());
    return QRectF(a, b).normalized().intersected(m_canvas->bounds());
}

std::optional<double> CarteCompositionHost::zoomRectFactor(const QRectF& r) const
{
    if (!(r.width() > 8) || !(r.height() > 8))
        return std::nullopt;
    // The rectangle fills what is visible now: the visible extent of the page, not the whole
    // page, which is what is on screen only at zoom 1 with the page framed.
    const QRectF visible = visibleCanvasRect();
    if (!(visible.width() > 0) || !(visible.height() > 0))
        return std::nullopt;
    return std::min(visible.width() / r.width(), visible.height() / r.height());
}

void CarteCompositionHost::zoomToRect(const QRectF& r)
{
    const std::optional<double> factor = zoomRectFactor(r);
    if (!factor)
        return;
    // Zoom about the rectangle's centre, then bring that centre to the middle of the host.
    zoomBy(*factor, r.center());
    const QPointF shown = m_canvas->convertToSuperview(r.center());
    pan += bounds().center() - shown;
    layoutComposition();
}

void CarteCompositionHost::layout() { layoutComposition(); }

void CarteCompositionHost::layoutComposition()
{
    const QRectF b = bounds();
    if (!(b.width() > 0) || !(b.height() > 0))
        return;
    VectorCanvas* vector = m_canvas->vector();
    if (!m_canvas->compositionSize) {
        // The first real size makes the page.
        m_canvas->compositionSize = b.size();
        m_canvas->setBoundsSize(b.size());
        vector->setFrame(QRectF(QPointF(0, 0), b.size()));
        vector->setBounds(QRectF(QPointF(0, 0), b.size()));
        m_canvas->layoutComposition();
        vector->fit(true);
        m_canvas->compositionViewport = vector->currentViewport();
        vector->apply(*m_canvas->compositionViewport);
        vector->tracksFit = true;
    }
    const QSizeF page = *m_canvas->compositionSize;
    m_canvas->setBoundsSize(page);
    if (!framingRect)
        framingRect = QRectF(QPointF(0, 0), page);
    const QRectF f = *framingRect;
    const double fit = std::min(std::max(b.width() - 2 * margin, 1.0) / std::max(f.width(), 1.0),
                                std::max(b.height() - 2 * margin, 1.0) / std::max(f.height(), 1.0));
    const double scale = fit * zoom;
    const QPointF c = b.center();
    m_canvas->setFrame(QRectF(c.x() - scale * f.center().x() + pan.x(), c.y() - scale * f.center().y() + pan.y(),
                              page.width() * scale, page.height() * scale));
    m_canvas->setBoundsSize(page);
    m_canvas->layoutSubtreeIfNeeded();
    setNeedsDisplay();
    // The page moved on screen, usually without laying itself out again.
    if (m_canvas->onPlacementChange)
        m_canvas->onPlacementChange();
}

ViewNode* CarteCompositionHost::hitTest(const QPointF& pointInSuperview)
{
    if (isHidden())
        return nullptr;
    const QPointF p = convertFromSuperview(pointInSuperview);
    if (!bounds().contains(p))
        return nullptr;
    if (ViewNode* hit = m_canvas->routeHit(p))
        return hit;
    return this;
}

void CarteCompositionHost::draw(QPainter& painter, const QRectF& dirty)
{
    painter.fillRect(bounds().intersected(dirty), backgroundColor);
}
