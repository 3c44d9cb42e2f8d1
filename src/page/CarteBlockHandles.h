#pragma once

#include "desktop/ViewNode.h"

#include <QColor>
#include <QList>
#include <QPointF>
#include <QTransform>

#include <array>
#include <functional>
#include <optional>

class ThematicCanvas;

// The map block's handles on the layout page: while selected, the block's outline, eight
// resize handles and a rotation handle 28 points above the top edge. Drags and arrow keys
// become new block transforms of the map view; onPreview hears every drag step, onChange
// each complete change. Its frame is the canvas bounds, so its coordinates are the canvas's.
class CarteBlockHandles : public ViewNode {
public:
    static constexpr double grabDistance = 10;
    static constexpr double rotationOffset = 28;
    static constexpr double handleSide = 8;
    static constexpr int rotationHandle = 8;

    explicit CarteBlockHandles(ThematicCanvas* canvas);

    // Not owned: the canvas owns the handles.
    ThematicCanvas* canvas = nullptr;
    bool selected = false;
    std::function<void()> onChange;
    std::function<void()> onPreview;
    QPointF start;
    QTransform original;
    std::optional<int> handle;
    bool moving = false;

    // The block's own bounds (no block transform); null without a canvas.
    QRectF blockBounds() const;
    // The map view's block transform (identity without a canvas).
    QTransform blockTransform() const;
    // Corners and edge middles of the block through the transform, counter-clockwise from
    // the lower-left corner.
    std::array<QPointF, 8> handlePoints() const;
    QPointF rotationHandlePoint() const;
    // The handles view when a point of the canvas grabs a handle or lies inside the block.
    ViewNode* hitTarget(const QPointF& canvasPoint);

    // The new transform for a drag to p (view coordinates) with the given modifiers.
    QTransform draggedTransform(const QPointF& p, Qt::KeyboardModifiers modifiers) const;
    void setSelected(bool selected);

    bool acceptsFirstResponder() const override { return true; }
    ViewNode* hitTest(const QPointF& pointInSuperview) override;
    void draw(QPainter& painter, const QRectF& dirty) override;
    // The outline, the knob and the handle squares, wherever the block lies.
    QRectF paintedRect() const override;
    void mouseDown(const ViewMouseEvent& e) override;
    void mouseDragged(const ViewMouseEvent& e) override;
    void mouseUp(const ViewMouseEvent& e) override;
    void keyDown(const ViewKeyEvent& e) override;

    QColor accentColor{0, 122, 255};

private:
    void storeTransform(const QTransform& t);
};
