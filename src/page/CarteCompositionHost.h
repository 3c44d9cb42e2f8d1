#pragma once

#include "desktop/ViewNode.h"

#include <QColor>
#include <QPointF>
#include <QRectF>

#include <optional>

class ThematicCanvas;

// Shows the layout page in the Carte pane: it scales and moves the canvas's frame so that
// the page, or a framing rectangle of it, fits with a 12-point margin, then applies the
// user's zoom and pan. The map view's zoom, pan and zoom-rectangle gestures zoom and pan the
// whole page here. A zoom changes only the canvas's frame: the page keeps its layout.
class CarteCompositionHost : public ViewNode {
public:
    static constexpr double minimumZoom = 0.1;
    static constexpr double maximumZoom = 20;
    static constexpr double margin = 12;

    // Takes ownership of the canvas.
    explicit CarteCompositionHost(ThematicCanvas* canvas);
    ~CarteCompositionHost() override;

    ThematicCanvas* canvas() const { return m_canvas; }
    double zoom = 1;
    QPointF pan;
    std::optional<QRectF> framingRect;  // canvas coordinates; absent: the whole page

    // Zooms by a factor keeping a canvas point where it is on screen.
    void zoomBy(double factor, const QPointF& canvasPoint);
    // The zoom that makes a rectangle of the canvas fill the visible page extent, or none
    // for a rectangle of 8 points or less.
    std::optional<double> zoomRectFactor(const QRectF& canvasRect) const;
    // Zooms so that a canvas rectangle fills the view, centred on it.
    void zoomToRect(const QRectF& canvasRect);
    // Adds a displacement in canvas units to the pan.
    void panBy(const QPointF& canvasDelta);
    // The part of the page visible in the host, canvas coordinates.
    QRectF visibleCanvasRect() const;

    void layoutComposition();
    void layout() override;
    ViewNode* hitTest(const QPointF& pointInSuperview) override;
    void draw(QPainter& painter, const QRectF& dirty) override;

    QColor backgroundColor{255, 255, 255};

private:
    ThematicCanvas* m_canvas;
};
