#pragma once

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QTransform>
#include <Qt>

#include <optional>
#include <vector>

class QPainter;
class QImage;
class ViewHost;

// Events as a node sees them: locations are in the receiving node's own
// coordinates, y growing upward.
struct ViewMouseEvent {
    QPointF location;
    QPointF windowLocation;  // in the root node's coordinates
    Qt::MouseButton button = Qt::LeftButton;
    Qt::KeyboardModifiers modifiers;
    int clickCount = 1;
};

struct ViewWheelEvent {
    QPointF location;
    QPointF windowLocation;
    // Scrolling delta in the canvas sense: see ViewHost::scrollingDelta for
    // how a mouse notch or a touchpad movement becomes this number.
    double deltaX = 0;
    double deltaY = 0;
    bool precise = false;
    Qt::KeyboardModifiers modifiers;
};

struct ViewMagnifyEvent {
    QPointF location;
    QPointF windowLocation;
    double magnification = 0;  // 0.1 means "10 % larger"
};

struct ViewKeyEvent {
    int key = 0;  // Qt::Key
    QString text;
    Qt::KeyboardModifiers modifiers;
    bool autoRepeat = false;
};

// One node of the small retained view tree. Frames are in the parent's
// coordinates, y growing upward; the host widget flips once at its boundary.
// A node owns its subviews.
//
// The bounds are the node's own coordinate rectangle, shown in its frame: by
// default (0, 0, frame size). A bounds origin shifts the node's coordinates
// (its bounds origin lands on its frame origin); an explicit bounds size
// scales them (a page of 800 × 600 points shown in a 400 × 300 frame draws at
// half size). Drawing, events, hit tests and conversions all go through this
// mapping.
class ViewNode {
public:
    ViewNode();
    virtual ~ViewNode();

    ViewNode(const ViewNode&) = delete;
    ViewNode& operator=(const ViewNode&) = delete;

    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF& frame);
    QRectF bounds() const
    {
        return QRectF(m_boundsOrigin, m_boundsSize ? *m_boundsSize : m_frame.size());
    }
    void setBoundsOrigin(const QPointF& origin);
    // An explicit size stays when the frame changes size (the scale between
    // them changes instead) until it is set again or cleared.
    void setBoundsSize(const QSizeF& size);
    void clearBoundsSize();
    void setBounds(const QRectF& bounds);
    // Frame size over bounds size, per axis (1 on an axis without extent).
    QPointF boundsScale() const;
    // Maps own coordinates into the superview's.
    QTransform transformToSuperview() const;

    // Whether drawing is clipped to the bounds (on by default). A node that
    // draws outside its frame (shadows, rotated content) switches it off;
    // such a node is then drawn whatever part of its parent is exposed.
    bool clipsToBounds() const { return m_clipsToBounds; }
    void setClipsToBounds(bool clips);

    bool isHidden() const { return m_hidden; }
    void setHidden(bool hidden);

    QString toolTip() const { return m_toolTip; }
    void setToolTip(const QString& text) { m_toolTip = text; }

    ViewNode* superview() const { return m_parent; }
    const std::vector<ViewNode*>& subviews() const { return m_children; }
    // Takes ownership; the node is drawn above its earlier siblings.
    void addSubview(ViewNode* child);
    enum class Placement { below, above };
    // Takes ownership and puts the node directly below or above a sibling, or
    // at the very bottom or top when the sibling is null or not a subview.
    // A node that already is a subview is only moved: the host keeps it as
    // first responder or mouse target.
    void insertSubview(ViewNode* child, Placement placement, ViewNode* relativeTo = nullptr);
    // Gives up the parent's ownership: the caller owns the node again.
    void removeFromSuperview();

    ViewNode* root();
    const ViewNode* root() const;
    ViewHost* host() const;

    // Point conversions between this node and its parent or the root.
    QPointF convertToSuperview(const QPointF& p) const;
    QPointF convertFromSuperview(const QPointF& p) const;
    // Between this node and any node of the same tree (null: the root).
    QPointF convertTo(const QPointF& p, const ViewNode* other) const;
    QPointF convertFrom(const QPointF& p, const ViewNode* other) const;
    QPointF convertToRoot(const QPointF& p) const;
    QPointF convertFromRoot(const QPointF& p) const;

    // The deepest visible node under a point given in the parent's
    // coordinates, or null.
    virtual ViewNode* hitTest(const QPointF& pointInSuperview);

    // Drawing in own coordinates (y up); dirty is the exposed rectangle in
    // the same coordinates.
    virtual void draw(QPainter& painter, const QRectF& dirty);
    // Draws this node and its visible subviews; the painter maps the node's
    // coordinates already.
    void drawTree(QPainter& painter, const QRectF& dirty);
    // Draws the tree into an image of the node's bounds (device pixels =
    // bounds points × pixelRatio), without any window.
    QImage renderToImage(double pixelRatio = 1.0, bool transparent = false);
    // Draws the tree's bounds into a rectangle of a y-down device (a
    // QPdfWriter page, a widget, part of an image), scaled to fill it.
    void renderInto(QPainter& painter, const QRectF& deviceRect);
    // Prepares a painter whose device is y-down of height deviceHeight so
    // that it draws in y-up node coordinates.
    static void flipPainter(QPainter& painter, double height);

    // What draw() may paint, in own coordinates: the bounds by default. A node that does not
    // clip and paints beyond its bounds (handles, shadows, rotated content) answers more, so
    // that a move or a change repaints everything it leaves behind.
    virtual QRectF paintedRect() const { return bounds(); }

    bool needsDisplay() const { return m_needsDisplay; }
    void setNeedsDisplay(bool needs = true);
    void setNeedsDisplayInRect(const QRectF& rect);
    bool needsLayout() const { return m_needsLayout; }
    void setNeedsLayout(bool needs = true) { m_needsLayout = needs; }
    // Runs layout() on every node of the tree that needs it, parents first.
    void layoutSubtreeIfNeeded();
    virtual void layout() {}

    virtual bool acceptsFirstResponder() const { return false; }

    // Event handlers; the base ones pass the event to the superview.
    virtual void mouseDown(const ViewMouseEvent& e);
    virtual void mouseDragged(const ViewMouseEvent& e);
    virtual void mouseUp(const ViewMouseEvent& e);
    virtual void mouseMoved(const ViewMouseEvent& e);
    virtual void rightMouseDown(const ViewMouseEvent& e);
    virtual void scrollWheel(const ViewWheelEvent& e);
    virtual void magnify(const ViewMagnifyEvent& e);
    virtual void keyDown(const ViewKeyEvent& e);

private:
    friend class ViewHost;
    void requestDisplay(const QRectF& rectInSelf);
    void clearNeedsDisplayTree();

    void boundsChanged(const QSizeF& oldSize);
    // What this node may have on screen now or after its next drawing, in own coordinates
    // and in the parent's.
    QRectF displayExtent() const;
    QRectF displayExtentInSuperview() const;

    QRectF m_frame;
    QPointF m_boundsOrigin;
    std::optional<QSizeF> m_boundsSize;
    bool m_clipsToBounds = true;
    bool m_hidden = false;
    bool m_needsDisplay = true;
    bool m_needsLayout = true;
    QRectF m_lastPainted;  // paintedRect() at the last drawing on screen, own coordinates
    // Set by the host while it paints the screen: exports draw the same tree without
    // changing what the screen shows.
    static inline bool s_drawingOnScreen = false;
    QString m_toolTip;
    ViewNode* m_parent = nullptr;
    std::vector<ViewNode*> m_children;
    ViewHost* m_host = nullptr;  // set on the root only
};
