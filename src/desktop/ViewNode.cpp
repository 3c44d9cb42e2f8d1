#include "desktop/ViewNode.h"

#include "model/PlmClampedInt.h"

#include "desktop/ViewHost.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

// One axis of the mapping from a node's own coordinates into its superview's: the bounds start
// lands on the frame start and lengths grow by the frame over the bounds. Going back, an axis
// the frame has flattened is left unscaled.
struct SuperviewAxis {
    double frameStart;
    double boundsStart;
    double scale;

    double toSuperview(double v) const { return frameStart + (v - boundsStart) * scale; }
    double fromSuperview(double v) const { return boundsStart + (v - frameStart) / (scale != 0 ? scale : 1); }
    // Where own 0 lands, for a transform's translation.
    double offset() const { return frameStart - scale * boundsStart; }
};

std::pair<SuperviewAxis, SuperviewAxis> superviewAxes(const ViewNode& node)
{
    const QRectF frame = node.frame();
    const QPointF origin = node.bounds().topLeft();
    const QPointF scale = node.boundsScale();
    return {{frame.left(), origin.x(), scale.x()}, {frame.top(), origin.y(), scale.y()}};
}

} // namespace

ViewNode::ViewNode() = default;

ViewNode::~ViewNode()
{
    if (ViewHost* h = host())
        h->nodeDestroyed(this);
    // Each child removes itself from m_children as it goes.
    while (!m_children.empty())
        delete m_children.back();
    if (m_parent) {
        auto& siblings = m_parent->m_children;
        siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
        m_parent = nullptr;
    }
}

void ViewNode::setFrame(const QRectF& frame)
{
    if (frame == m_frame)
        return;
    const QRectF old = m_frame;
    const QRectF oldExtent = displayExtentInSuperview();
    m_frame = frame;
    // With an explicit bounds size only the scale changes: the content keeps its layout.
    if (old.size() != frame.size() && !m_boundsSize)
        m_needsLayout = true;
    if (m_parent) {
        m_parent->setNeedsDisplayInRect(oldExtent);
        m_parent->setNeedsDisplayInRect(displayExtentInSuperview());
    }
    setNeedsDisplay();
}

void ViewNode::setBoundsOrigin(const QPointF& origin)
{
    if (origin == m_boundsOrigin)
        return;
    m_boundsOrigin = origin;
    setNeedsDisplay();
}

void ViewNode::setBoundsSize(const QSizeF& size)
{
    if (m_boundsSize && *m_boundsSize == size)
        return;
    const QSizeF old = bounds().size();
    m_boundsSize = size;
    boundsChanged(old);
}

void ViewNode::clearBoundsSize()
{
    if (!m_boundsSize)
        return;
    const QSizeF old = bounds().size();
    m_boundsSize.reset();
    boundsChanged(old);
}

void ViewNode::setBounds(const QRectF& bounds)
{
    setBoundsOrigin(bounds.topLeft());
    setBoundsSize(bounds.size());
}

void ViewNode::boundsChanged(const QSizeF& oldSize)
{
    if (oldSize != bounds().size())
        m_needsLayout = true;
    if (m_parent)
        m_parent->setNeedsDisplayInRect(displayExtentInSuperview());
    setNeedsDisplay();
}

QPointF ViewNode::boundsScale() const
{
    if (!m_boundsSize)
        return {1, 1};
    const double bw = m_boundsSize->width();
    const double bh = m_boundsSize->height();
    return {bw > 0 && std::isfinite(bw) ? m_frame.width() / bw : 1.0,
            bh > 0 && std::isfinite(bh) ? m_frame.height() / bh : 1.0};
}

QTransform ViewNode::transformToSuperview() const
{
    const auto [x, y] = superviewAxes(*this);
    return QTransform(x.scale, 0, 0, y.scale, x.offset(), y.offset());
}

QPointF ViewNode::convertToSuperview(const QPointF& p) const
{
    const auto [x, y] = superviewAxes(*this);
    return {x.toSuperview(p.x()), y.toSuperview(p.y())};
}

QPointF ViewNode::convertFromSuperview(const QPointF& p) const
{
    const auto [x, y] = superviewAxes(*this);
    return {x.fromSuperview(p.x()), y.fromSuperview(p.y())};
}

QPointF ViewNode::convertTo(const QPointF& p, const ViewNode* other) const
{
    const QPointF inRoot = convertToRoot(p);
    return other ? other->convertFromRoot(inRoot) : inRoot;
}

QPointF ViewNode::convertFrom(const QPointF& p, const ViewNode* other) const
{
    return convertFromRoot(other ? other->convertToRoot(p) : p);
}

void ViewNode::setClipsToBounds(bool clips)
{
    if (clips == m_clipsToBounds)
        return;
    m_clipsToBounds = clips;
    if (m_parent)
        m_parent->setNeedsDisplay();
}

void ViewNode::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (m_parent)
        m_parent->setNeedsDisplayInRect(displayExtentInSuperview());
}

void ViewNode::addSubview(ViewNode* child)
{
    if (!child || child == this)
        return;
    child->removeFromSuperview();
    child->m_parent = this;
    m_children.push_back(child);
    child->m_needsLayout = true;
    setNeedsDisplayInRect(child->displayExtentInSuperview());
}

void ViewNode::insertSubview(ViewNode* child, Placement placement, ViewNode* relativeTo)
{
    if (!child || child == this || child == relativeTo)
        return;
    if (child->m_parent != this) {
        addSubview(child);  // detaches it from any other parent
    }
    auto& list = m_children;
    list.erase(std::remove(list.begin(), list.end(), child), list.end());
    auto at = std::find(list.begin(), list.end(), relativeTo);
    if (at == list.end() || !relativeTo)
        at = placement == Placement::below ? list.begin() : list.end();
    else if (placement == Placement::above)
        ++at;
    list.insert(at, child);
    setNeedsDisplayInRect(child->displayExtentInSuperview());
}

void ViewNode::removeFromSuperview()
{
    if (!m_parent)
        return;
    // The host must forget every node of the detached subtree: once detached,
    // a node deleted later can no longer reach the host to say so.
    if (ViewHost* h = host()) {
        std::vector<ViewNode*> pending{this};
        while (!pending.empty()) {
            ViewNode* n = pending.back();
            pending.pop_back();
            h->nodeDestroyed(n);
            pending.insert(pending.end(), n->m_children.begin(), n->m_children.end());
        }
    }
    auto& siblings = m_parent->m_children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    m_parent->setNeedsDisplayInRect(displayExtentInSuperview());
    m_parent = nullptr;
}

ViewNode* ViewNode::root()
{
    ViewNode* n = this;
    while (n->m_parent)
        n = n->m_parent;
    return n;
}

const ViewNode* ViewNode::root() const
{
    const ViewNode* n = this;
    while (n->m_parent)
        n = n->m_parent;
    return n;
}

ViewHost* ViewNode::host() const { return root()->m_host; }

QPointF ViewNode::convertToRoot(const QPointF& p) const
{
    QPointF q = p;
    for (const ViewNode* n = this; n->m_parent; n = n->m_parent)
        q = n->convertToSuperview(q);
    return q;
}

QPointF ViewNode::convertFromRoot(const QPointF& p) const
{
    if (!m_parent)
        return p;
    return convertFromSuperview(m_parent->convertFromRoot(p));
}

ViewNode* ViewNode::hitTest(const QPointF& pointInSuperview)
{
    if (m_hidden || !m_frame.contains(pointInSuperview))
        return nullptr;
    const QPointF local = convertFromSuperview(pointInSuperview);
    for (auto it = m_children.rbegin(); it != m_children.rend(); ++it)
        if (ViewNode* hit = (*it)->hitTest(local))
            return hit;
    return this;
}

void ViewNode::draw(QPainter&, const QRectF&) {}

QRectF ViewNode::displayExtent() const
{
    if (m_clipsToBounds)
        return bounds();
    // What was painted last still shows until it is repainted: a change of style or
    // rotation must clear it as well as draw the new extent.
    QRectF extent = paintedRect().united(bounds());
    if (!m_lastPainted.isNull())
        extent = extent.united(m_lastPainted);
    return extent;
}

QRectF ViewNode::displayExtentInSuperview() const { return transformToSuperview().mapRect(displayExtent()); }

void ViewNode::drawTree(QPainter& painter, const QRectF& dirty)
{
    if (m_hidden)
        return;
    if (s_drawingOnScreen && !m_clipsToBounds)
        m_lastPainted = paintedRect();
    draw(painter, dirty);
    for (ViewNode* child : m_children) {
        if (child->m_hidden)
            continue;
        // A node that does not clip may draw anywhere: it is not culled by its frame.
        const QRectF childDirty = child->m_clipsToBounds ? dirty.intersected(child->m_frame) : dirty;
        if (childDirty.isEmpty())
            continue;
        painter.save();
        const QTransform toParent = child->transformToSuperview();
        painter.setTransform(toParent, true);
        if (child->m_clipsToBounds)
            painter.setClipRect(child->bounds(), Qt::IntersectClip);
        const QTransform toChild = toParent.inverted();
        child->drawTree(painter, toChild.mapRect(childDirty));
        painter.restore();
    }
    m_needsDisplay = false;
}

void ViewNode::flipPainter(QPainter& painter, double height)
{
    painter.translate(0, height);
    painter.scale(1, -1);
}

QImage ViewNode::renderToImage(double pixelRatio, bool transparent)
{
    layoutSubtreeIfNeeded();
    const double ratio = (std::isfinite(pixelRatio) && pixelRatio > 0) ? pixelRatio : 1.0;
    const QRectF own = bounds();
    const int w = plmClampedInt(std::ceil(own.width() * ratio), 1);
    const int h = plmClampedInt(std::ceil(own.height() * ratio), 1);
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(transparent ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(ratio, ratio);
    flipPainter(painter, own.height());
    painter.translate(-own.topLeft());
    drawTree(painter, own);
    painter.end();
    return image;
}

void ViewNode::renderInto(QPainter& painter, const QRectF& deviceRect)
{
    layoutSubtreeIfNeeded();
    const QRectF own = bounds();
    if (own.width() <= 0 || own.height() <= 0 || deviceRect.isEmpty())
        return;
    painter.save();
    painter.translate(deviceRect.left(), deviceRect.bottom());
    painter.scale(deviceRect.width() / own.width(), -deviceRect.height() / own.height());
    painter.translate(-own.topLeft());
    painter.setClipRect(own, Qt::IntersectClip);
    drawTree(painter, own);
    painter.restore();
}

void ViewNode::setNeedsDisplay(bool needs)
{
    m_needsDisplay = needs;
    if (needs)
        requestDisplay(displayExtent());
}

void ViewNode::setNeedsDisplayInRect(const QRectF& rect)
{
    m_needsDisplay = true;
    // A node that does not clip shows its subviews beyond its bounds too.
    requestDisplay(m_clipsToBounds ? rect.intersected(bounds()) : rect);
}

void ViewNode::requestDisplay(const QRectF& rectInSelf)
{
    if (rectInSelf.isEmpty() || m_hidden)
        return;
    ViewHost* h = host();
    if (!h)
        return;
    QTransform toRoot;
    for (const ViewNode* n = this; n->m_parent; n = n->m_parent)
        toRoot = toRoot * n->transformToSuperview();
    h->invalidateRootRect(toRoot.mapRect(rectInSelf));
}

void ViewNode::layoutSubtreeIfNeeded()
{
    if (m_needsLayout) {
        m_needsLayout = false;
        layout();
    }
    // Copy: a layout may add or remove subviews.
    const std::vector<ViewNode*> children = m_children;
    for (ViewNode* child : children)
        child->layoutSubtreeIfNeeded();
}

void ViewNode::clearNeedsDisplayTree()
{
    m_needsDisplay = false;
    for (ViewNode* child : m_children)
        child->clearNeedsDisplayTree();
}

void ViewNode::mouseDown(const ViewMouseEvent& e)
{
    if (m_parent) {
        ViewMouseEvent up = e;
        up.location = convertToSuperview(e.location);
        m_parent->mouseDown(up);
    }
}

void ViewNode::mouseDragged(const ViewMouseEvent& e)
{
    if (m_parent) {
        ViewMouseEvent up = e;
        up.location = convertToSuperview(e.location);
        m_parent->mouseDragged(up);
    }
}

void ViewNode::mouseUp(const ViewMouseEvent& e)
{
    if (m_parent) {
        ViewMouseEvent up = e;
        up.location = convertToSuperview(e.location);
        m_parent->mouseUp(up);
    }
}

void ViewNode::mouseMoved(const ViewMouseEvent&) {}

void ViewNode::rightMouseDown(const ViewMouseEvent& e)
{
    if (m_parent) {
        ViewMouseEvent up = e;
        up.location = convertToSuperview(e.location);
        m_parent->rightMouseDown(up);
    }
}

void ViewNode::scrollWheel(const ViewWheelEvent& e)
{
    if (m_parent) {
        ViewWheelEvent up = e;
        up.location = convertToSuperview(e.location);
        m_parent->scrollWheel(up);
    }
}

void ViewNode::magnify(const ViewMagnifyEvent& e)
{
    if (m_parent) {
        ViewMagnifyEvent up = e;
        up.location = convertToSuperview(e.location);
        m_parent->magnify(up);
    }
}

void ViewNode::keyDown(const ViewKeyEvent& e)
{
    if (m_parent)
        m_parent->keyDown(e);
}
