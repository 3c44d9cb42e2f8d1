#pragma once

#include "page/DecorationDrawing.h"
#include "page/LegendData.h"
#include "page/PageObjectInteraction.h"
#include "model/PlmDecorationObject.h"
#include "model/PlmPoint.h"
#include "desktop/ViewContextMenu.h"
#include "desktop/ViewNode.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPointF>
#include <QString>

#include <functional>
#include <optional>

class QMenu;
class VectorCanvas;

// The view of one decoration object on the layout page. The composition places it from
// its object (position, size, placement rule) and routes clicks to it; it draws the object
// through the shared decoration drawing. Its gestures (click, double click, move, corner
// resize, knob rotation, keys, menu, clipboard keys) only report through the callbacks: the
// decoration controller turns them into undoable changes of the work.
class DecorationObjectView : public ViewNode {
public:
    explicit DecorationObjectView(const PlmDecorationObject& object);
    ~DecorationObjectView() override;

    static constexpr double minimumWidth = PageObjectInteraction::minimumWidth;
    static constexpr double minimumHeight = PageObjectInteraction::minimumHeight;

    PlmDecorationObject object;
    bool selected = false;
    // A gesture of this view is running: the composition leaves its frame alone.
    bool isManipulating = false;
    // A legend object's copy of the composition legend, sized to the view; refreshed by
    // syncLegendCopy() from the source the composition installs.
    std::optional<LegendData> legendCopy;
    std::function<std::optional<LegendData>()> legendSource;
    // The base map (scale bar measure, north). Not owned; the canvas clears it first.
    VectorCanvas* vector = nullptr;

    // ---- Reports ----
    std::function<void()> onSelect;
    std::function<void()> onEdit;
    std::function<void()> onDelete;
    std::function<void()> onDeselect;
    std::function<void(Qt::KeyboardModifiers)> onModifiedSelect;
    std::function<void(const QString&)> onCommand;  // "copy", "paste", "cut", "duplicate"
    std::function<void(double angle, bool ended)> onRotation;
    std::function<void(const PlmPoint& origin, double width, double height, bool ended)> onGeometry;

    // ---- Gesture state ----
    bool rotating = false;
    bool resizing = false;
    int corner = 1;  // 0 lower left, 1 lower right, 2 upper left, 3 upper right
    bool moved = false;
    QPointF previous;  // window coordinates

    // Refreshes the legend copy from its source (none for other kinds).
    virtual void syncLegendCopy();
    // Whether a point of the view (already unrotated) hits the object.
    virtual bool containsHit(const QPointF& point) const;
    // A point of the view turned back by the rotation about the bounds' centre.
    QPointF localPoint(const QPointF& point) const;
    // The object's rotation in degrees (its effective editing style).
    double rotation() const;
    // Texts and legends can be edited in place.
    bool editsText() const;
    // What the object's drawing reads of the map under the page (a scale bar's measure and
    // latitude, whether north is known), measured against the page the view sits on. The
    // screen and every export draw from this one measure.
    DecorationDrawingContext pageContext() const;
    // A scale bar's ground length in metres at the current framing; none elsewhere.
    std::optional<double> measureScale() const;
    // An image object's bitmap, decoded once per bitmap.
    const QImage* decodedBitmap() const;

    void draw(QPainter& painter, const QRectF& dirty) override;
    QRectF paintedRect() const override;
    virtual void drawObject(QPainter& painter, bool exporting) const;

    // The context menu (parented to the host widget, not shown).
    QMenu* menuForEvent(const ViewMouseEvent& e);
    void editFromMenu();
    void deleteFromMenu();
    static QString editMenuTitle() { return QStringLiteral("Modifier le texte"); }
    static QString deleteMenuTitle() { return QStringLiteral("Supprimer"); }

    bool acceptsFirstResponder() const override { return true; }
    void mouseDown(const ViewMouseEvent& e) override;
    void mouseDragged(const ViewMouseEvent& e) override;
    void mouseUp(const ViewMouseEvent& e) override;
    void rightMouseDown(const ViewMouseEvent& e) override;
    void keyDown(const ViewKeyEvent& e) override;

    QColor accentColor{0, 122, 255};

private:
    void report(const QRectF& frame, bool ended);

    ViewContextMenu m_menu;
    mutable QByteArray m_bitmapBytes;  // keeps the decoded bytes alive: same data, same image
    mutable QImage m_bitmap;
};
