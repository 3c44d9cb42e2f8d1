#pragma once

#include "model/PlmColor.h"
#include "model/PlmPoint.h"
#include "desktop/ViewContextMenu.h"
#include "desktop/ViewNode.h"
#include "canvas/ProportionalShape.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QMenu;
class VectorCanvas;

// One series of proportional symbols drawn over the base map of the layout page, one
// symbol per entity. The user selects a symbol, drags it to a manual position, nudges it
// with the arrow keys or asks for its automatic position back; every gesture is reported
// through the callbacks, the overlay never changes a document. Its bounds origin equals its
// frame origin, so its coordinates are the page's.
//
// Symbols are drawn from shapes prepared once per shape and colour, placed with a painter
// transform and skipped outside the exposed rectangle; the drawing order is cached until the
// items, the partner or the hidden entities change.
class ProportionalOverlay : public ViewNode {
public:
    struct Item {
        QString id;
        double size = 0;  // points: the shape's larger side once drawn
        PlmPoint point;   // the anchor, map coordinates

        bool operator==(const Item&) const = default;
    };

    ProportionalOverlay();
    ~ProportionalOverlay() override;

    bool acceptsFirstResponder() const override { return true; }

    // The base-map view that places the symbols, and the other series' overlay drawn
    // concentrically with this one. Neither is owned: the composition owns all three and
    // clears these before deleting them.
    VectorCanvas* vector = nullptr;
    ProportionalOverlay* concentricPartner() const { return m_partner; }
    void setConcentricPartner(ProportionalOverlay* partner);
    bool partnerInFront() const { return m_partnerInFront; }
    void setPartnerInFront(bool inFront);

    const QList<Item>& items() const { return m_items; }
    void setItems(const QList<Item>& items);
    const ProportionalShape& shape() const { return *m_shape; }
    std::shared_ptr<const ProportionalShape> sharedShape() const { return m_shape; }
    void setShape(std::shared_ptr<const ProportionalShape> shape);
    const PlmColor& color() const { return m_color; }
    void setColor(const PlmColor& color);
    const std::optional<QString>& selectedID() const { return m_selectedID; }
    void setSelectedID(const std::optional<QString>& id);

    std::function<void(const QString&)> onSelection;
    std::function<void(const QString&, const PlmPoint&, bool finished)> onPosition;
    std::function<void()> onReset;

    // Gesture state.
    std::optional<QString> moving;
    PlmPoint grab;
    QPointF down;
    bool dragged = false;
    std::optional<PlmPoint> dragPosition;

    // The items whose entity is not hidden in the map view, in their order.
    QList<Item> visibleItems() const;
    // The items to draw and hit, in drawing order (with a partner: both series merged,
    // larger first).
    const QList<Item>& sortedItems() const;
    static bool drawOrder(const Item& a, const Item& b);
    // The symbol under a point of the view, the topmost first.
    std::optional<Item> item(const QPointF& at) const;
    // The centre of an anchor in the view, block transform excluded.
    QPointF placedCenter(const PlmPoint& anchor) const;

    static QString resetTitle() { return QStringLiteral("Rétablir la position automatique"); }
    // Selects the symbol under the point, then builds the context menu (parented to the
    // host widget, not shown). Its one item runs reset().
    QMenu* menuForEvent(const ViewMouseEvent& e);
    // The menu action: asks for the automatic position back unless the symbol is locked.
    void reset();

    // Tells the overlay that the map view's hidden entities changed.
    void invalidateOrder();

    ViewNode* hitTest(const QPointF& pointInSuperview) override;
    void draw(QPainter& painter, const QRectF& dirty) override;
    void mouseDown(const ViewMouseEvent& e) override;
    void mouseDragged(const ViewMouseEvent& e) override;
    void mouseUp(const ViewMouseEvent& e) override;
    void rightMouseDown(const ViewMouseEvent& e) override;
    void keyDown(const ViewKeyEvent& e) override;

    QColor accentColor{0, 122, 255};

private:
    const Item* findItem(const QString& id) const;
    void drawSymbols(QPainter& painter, const QRectF& dirty) const;

    QList<Item> m_items;
    std::shared_ptr<const ProportionalShape> m_shape;
    PlmColor m_color{0.8, 0.18, 0.16, 0.85};
    std::optional<QString> m_selectedID;
    ProportionalOverlay* m_partner = nullptr;
    bool m_partnerInFront = true;
    // Caches: sorted items and index by id, valid until the inputs change.
    mutable QList<Item> m_sorted;
    mutable bool m_sortedValid = false;
    mutable QHash<QString, int> m_index;
    mutable bool m_indexValid = false;
    mutable QSet<QString> m_sortedHidden;     // shared copy: comparing is cheap while unchanged
    mutable QSet<QString> m_sortedPartnerHidden;
    mutable quint64 m_sortedPartnerGeneration = 0;
    quint64 m_generation = 1;  // grows with every change of the items
    ViewContextMenu m_menu;
};
