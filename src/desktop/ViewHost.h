#pragma once

#include <QPointF>
#include <QWidget>

class ViewNode;

// The one widget that shows a tree of view nodes. It flips y once: Qt's
// events come in y-down and are handed on y-up; painting goes out through a
// flipped painter.
class ViewHost : public QWidget {
public:
    explicit ViewHost(QWidget* parent = nullptr);
    ~ViewHost() override;

    // Takes ownership of the root; its frame follows the widget's size.
    void setRootNode(ViewNode* root);
    ViewNode* rootNode() const { return m_root; }
    // Gives the root back to the caller.
    ViewNode* takeRootNode();

    ViewNode* firstResponder() const { return m_firstResponder; }
    void setFirstResponder(ViewNode* node);

    // Widget point (y down) to root point (y up), and back.
    QPointF rootPoint(const QPointF& widgetPoint) const;
    QPointF widgetPoint(const QPointF& rootPoint) const;

    // Turns Qt's wheel deltas into the scrolling delta that nodes receive.
    // A mouse wheel reports 120 units of angle per notch; one notch gives a
    // delta of 4.8, so that a zoom of exp(delta × 0.02) grows by about 10 %
    // (e^0.096). A touchpad reports pixels: a quarter of a point per pixel,
    // fine-grained enough that a slow swipe zooms continuously.
    static QPointF scrollingDelta(const QPoint& angleDelta, const QPoint& pixelDelta);

    // The keyboard modifiers of the event being handed to the nodes (the
    // last one handed when none is), for nodes that route a click by them.
    static Qt::KeyboardModifiers currentModifiers();

    // Called by nodes.
    void invalidateRootRect(const QRectF& rootRect);
    void nodeDestroyed(ViewNode* node);

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void press(QMouseEvent* event, int clickCount);
    ViewNode* nodeAt(const QPointF& rootPoint) const;

    ViewNode* m_root = nullptr;
    ViewNode* m_mouseTarget = nullptr;
    ViewNode* m_firstResponder = nullptr;
};
