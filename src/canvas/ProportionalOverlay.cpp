#include "canvas/ProportionalOverlay.h"

#include "canvas/VectorCanvas.h"
#include "desktop/ViewHost.h"
#include "canvas/ProportionalShapeStamp.h"

#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>

namespace {

std::shared_ptr<const ProportionalShape> defaultShape()
{
    static const std::shared_ptr<const ProportionalShape> shape =
        std::make_shared<const ProportionalShape>(PlmProportionalSettings(), false);
    return shape;
}

} // namespace

ProportionalOverlay::ProportionalOverlay() : m_shape(defaultShape()) {}

ProportionalOverlay::~ProportionalOverlay() = default;

void ProportionalOverlay::setConcentricPartner(ProportionalOverlay* partner)
{
    if (partner == this)
        partner = nullptr;
    if (partner == m_partner)
        return;
    m_partner = partner;
    m_sortedValid = false;
    setNeedsDisplay();
}

void ProportionalOverlay::setPartnerInFront(bool inFront)
{
    if (inFront == m_partnerInFront)
        return;
    m_partnerInFront = inFront;
    setNeedsDisplay();
}

void ProportionalOverlay::setItems(const QList<Item>& items)
{
    if (items == m_items)
        return;
    m_items = items;
    ++m_generation;
    m_sortedValid = false;
    m_indexValid = false;
    setNeedsDisplay();
}

void ProportionalOverlay::setShape(std::shared_ptr<const ProportionalShape> shape)
{
    m_shape = shape ? std::move(shape) : defaultShape();
    setNeedsDisplay();
}

void ProportionalOverlay::setColor(const PlmColor& color)
{
    if (color == m_color)
        return;
    m_color = color;
    setNeedsDisplay();
}

void ProportionalOverlay::setSelectedID(const std::optional<QString>& id)
{
    if (id == m_selectedID)
        return;
    m_selectedID = id;
    setNeedsDisplay();
}

void ProportionalOverlay::invalidateOrder()
{
    m_sortedValid = false;
    setNeedsDisplay();
}

QList<ProportionalOverlay::Item> ProportionalOverlay::visibleItems() const
{
    if (!vector || vector->hiddenEntityIDs.isEmpty())
        return m_items;
    QList<Item> visible;
    visible.reserve(m_items.size());
    for (const Item& item : m_items)
        if (!vector->hiddenEntityIDs.contains(item.id))
            visible.append(item);
    return visible;
}

bool ProportionalOverlay::drawOrder(const Item& a, const Item& b)
{
    if (a.size != b.size)
        return a.size > b.size;
    return a.id < b.id;
}

const QList<ProportionalOverlay::Item>& ProportionalOverlay::sortedItems() const
{
    const QSet<QString> hidden = vector ? vector->hiddenEntityIDs : QSet<QString>();
    const QSet<QString> partnerHidden =
        m_partner && m_partner->vector ? m_partner->vector->hiddenEntityIDs : QSet<QString>();
    const quint64 partnerGeneration = m_partner ? m_partner->m_generation : 0;
    // Comparing shared copies is immediate while nobody changed the sets.
    if (m_sortedValid && hidden == m_sortedHidden && partnerHidden == m_sortedPartnerHidden
        && partnerGeneration == m_sortedPartnerGeneration)
        return m_sorted;
    m_sortedHidden = hidden;
    m_sortedPartnerHidden = partnerHidden;
    m_sortedPartnerGeneration = partnerGeneration;
    m_sortedValid = true;
    if (!m_partner) {
        m_sorted = visibleItems();
        return m_sorted;
    }
    // Both series merged: one item per id, the larger size, this series' anchor first.
    const QList<Item> own = visibleItems();
    const QList<Item> other = m_partner->visibleItems();
    QHash<QString, int> at;
    QList<Item> merged;
    merged.reserve(own.size() + other.size());
    for (const Item& item : own) {
        at.insert(item.id, int(merged.size()));
        merged.append(item);
    }
    for (const Item& item : other) {
        const auto it = at.constFind(item.id);
        if (it == at.constEnd()) {
            at.insert(item.id, int(merged.size()));
            merged.append(item);
        } else {
            Item& m = merged[*it];
            m.size = std::max(m.size, item.size);
        }
    }
    std::stable_sort(merged.begin(), merged.end(), drawOrder);
    m_sorted = merged;
    return m_sorted;
}

const ProportionalOverlay::Item* ProportionalOverlay::findItem(const QString& id) const
{
    if (!m_indexValid) {
        m_index.clear();
        m_index.reserve(m_items.size());
        for (int i = 0; i < m_items.size(); ++i)
            m_index.insert(m_items[i].id, i);
        m_indexValid = true;
    }
    const auto it = m_index.constFind(id);
    return it == m_index.constEnd() ? nullptr : &m_items[*it];
}

QPointF ProportionalOverlay::placedCenter(const PlmPoint& anchor) const
{
    if (!vector)
        return {anchor.x, anchor.y};
    const double s = vector->scale();
    const QPointF o = vector->offset();
    return {anchor.x * s + o.x(), anchor.y * vector->yAxisSign() * s + o.y()};
}

std::optional<ProportionalOverlay::Item> ProportionalOverlay::item(const QPointF& at) const
{
    if (!vector)
        return std::nullopt;
    const QPointF p = vector->blockTransform.isIdentity() ? at : vector->blockTransform.inverted().map(at);
    const QList<Item>& sorted = sortedItems();
    for (auto it = sorted.crbegin(); it != sorted.crend(); ++it) {
        const QPointF c = placedCenter(it->point);
        const double half = std::max(it->size / 2, 4.0);
        if (std::abs(p.x() - c.x()) <= half && std::abs(p.y() - c.y()) <= half)
            return *it;
    }
    return std::nullopt;
}

ViewNode* ProportionalOverlay::hitTest(const QPointF& pointInSuperview)
{
    if (isHidden())
        return nullptr;
    return item(convertFromSuperview(pointInSuperview)) ? this : nullptr;
}

void ProportionalOverlay::draw(QPainter& painter, const QRectF& dirty)
{
    if (!vector)
        return;
    painter.save();
    painter.setClipRect(bounds(), Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setTransform(vector->blockTransform, true);
    const QRectF exposed = vector->blockTransform.isIdentity()
        ? dirty.intersected(bounds())
        : vector->blockTransform.inverted().mapRect(dirty.intersected(bounds()));
    drawSymbols(painter, exposed);
    painter.restore();
}

void ProportionalOverlay::drawSymbols(QPainter& painter, const QRectF& exposed) const
{
    const ProportionalShapeStamp own(m_shape, m_color);
    const ProportionalShapeStamp other =
        m_partner ? ProportionalShapeStamp(m_partner->m_shape, m_partner->m_color) : ProportionalShapeStamp();
    own.beginBatch(painter);
    if (other.isValid())
        other.beginBatch(painter);
    const QList<Item>& sorted = sortedItems();
    std::optional<QRectF> selection;
    for (const Item& item : sorted) {
        const PlmPoint anchor = (moving && *moving == item.id && dragPosition) ? *dragPosition : item.point;
        const QPointF c = placedCenter(anchor);
        const double reach = std::max(own.reach(item.size), other.isValid() ? other.reach(item.size) : 0.0);
        const bool shown = c.x() + reach >= exposed.left() && c.x() - reach <= exposed.right()
                        && c.y() + reach >= exposed.top() && c.y() - reach <= exposed.bottom();
        if (shown) {
            if (!m_partner) {
                own.draw(painter, c, item.size);
            } else {
                // Both series at one centre: the larger below; at equal sizes partnerInFront
                // decides which lies on top.
                const Item* mine = findItem(item.id);
                const Item* theirs = m_partner->findItem(item.id);
                if (mine && vector && vector->hiddenEntityIDs.contains(mine->id))
                    mine = nullptr;
                if (theirs && m_partner->vector && m_partner->vector->hiddenEntityIDs.contains(theirs->id))
                    theirs = nullptr;
                if (mine && theirs) {
                    const bool mineFirst =
                        mine->size > theirs->size || (mine->size == theirs->size && m_partnerInFront);
                    if (mineFirst) {
                        own.draw(painter, c, mine->size);
                        other.draw(painter, c, theirs->size);
                    } else {
                        other.draw(painter, c, theirs->size);
                        own.draw(painter, c, mine->size);
                    }
                } else if (mine) {
                    own.draw(painter, c, mine->size);
                } else if (theirs) {
                    other.draw(painter, c, theirs->size);
                }
            }
        }
        if (m_selectedID && *m_selectedID == item.id) {
            const double half = std::max(item.size / 2 + 3, 5.0);
            selection = QRectF(c.x() - half, c.y() - half, 2 * half, 2 * half);
        }
    }
    own.endBatch(painter);
    other.endBatch(painter);
    if (selection) {
        QPen pen(accentColor, 1.5);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(*selection);
    }
}

void ProportionalOverlay::mouseDown(const ViewMouseEvent& e)
{
    if (ViewHost* h = host())
        h->setFirstResponder(this);
    down = e.location;
    dragged = false;
    dragPosition.reset();
    const std::optional<Item> hit = item(e.location);
    if (hit && vector) {
        moving = vector->lockedEntityIDs.contains(hit->id) ? std::nullopt : std::optional<QString>(hit->id);
        const QPointF m = vector->mapPoint(down);
        grab = PlmPoint{m.x() - hit->point.x, m.y() - hit->point.y};
        m_selectedID = hit->id;
        setNeedsDisplay();
        if (onSelection)
            onSelection(hit->id);
    } else {
        moving.reset();
    }
}

void ProportionalOverlay::mouseDragged(const ViewMouseEvent& e)
{
    if (!moving || !vector)
        return;
    const QPointF p = e.location;
    if (!dragged) {
        if (std::hypot(p.x() - down.x(), p.y() - down.y()) <= 3)
            return;
        dragged = true;
    }
    const QPointF m = vector->mapPoint(p);
    dragPosition = PlmPoint{m.x() - grab.x, m.y() - grab.y};
    setNeedsDisplay();
    if (onPosition)
        onPosition(*moving, *dragPosition, false);
}

void ProportionalOverlay::mouseUp(const ViewMouseEvent&)
{
    if (moving && dragged && dragPosition && onPosition)
        onPosition(*moving, *dragPosition, true);
    moving.reset();
    dragPosition.reset();
    setNeedsDisplay();
}

QMenu* ProportionalOverlay::menuForEvent(const ViewMouseEvent& e)
{
    if (const std::optional<Item> hit = item(e.location)) {
        m_selectedID = hit->id;
        setNeedsDisplay();
        if (onSelection)
            onSelection(hit->id);
    }
    return m_menu.make(*this, {{resetTitle(), [this] { reset(); }}});
}

void ProportionalOverlay::rightMouseDown(const ViewMouseEvent& e)
{
    ViewContextMenu::popUp(*this, menuForEvent(e), e);
}

void ProportionalOverlay::reset()
{
    if (m_selectedID && vector && vector->lockedEntityIDs.contains(*m_selectedID))
        return;
    if (onReset)
        onReset();
}

void ProportionalOverlay::keyDown(const ViewKeyEvent& e)
{
    QPointF step;
    switch (e.key) {
    case Qt::Key_Left: step = {-10, 0}; break;
    case Qt::Key_Right: step = {10, 0}; break;
    case Qt::Key_Down: step = {0, -10}; break;
    case Qt::Key_Up: step = {0, 10}; break;
    default: ViewNode::keyDown(e); return;
    }
    std::optional<Item> selected;
    if (vector && m_selectedID)
        for (const Item& item : sortedItems())
            if (item.id == *m_selectedID) {
                selected = item;
                break;
            }
    if (!selected) {
        ViewNode::keyDown(e);
        return;
    }
    if (vector->lockedEntityIDs.contains(selected->id))
        return;
    const QPointF v = vector->viewPoint(QPointF(selected->point.x, selected->point.y)) + step;
    const QPointF m = vector->mapPoint(v);
    if (onPosition)
        onPosition(selected->id, PlmPoint{m.x(), m.y()}, true);
}
