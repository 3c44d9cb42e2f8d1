#include "platform/ViewNode.h"

#include "model/PlmClampedInt.h"

#include "platform/ViewHost.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

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
    m_frame = frame;
    if (old.size() != frame.size())
        m_needsLayout = true;
    if (m_parent) {
        m_parent->setNeedsDisplayInRect(old);
        m_parent->setNeedsDisplayInRect(frame);
    }
    setNeedsDisplay();
}

void ViewNode::setHidden(bool hidden)
{
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    if (m_parent)
        m_parent->setNeedsDisplayInRect(m_frame);
}

void ViewNode::addSubview(ViewNode* child)
{
    if (!child || child == this)
        return;
    child->removeFromSuperview();
    child->m_parent = this;
    m_children.push_back(child);
    child->m_needsLayout = true;
    setNeedsDisplayInRect(child->m_frame);
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
    m_parent->setNeedsDisplayInRect(m_frame);
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
    return p - convertToRoot(QPointF(0, 0));
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

void ViewNode::drawTree(QPainter& painter, const QRectF& dirty)
{
    if (m_hidden)
        return;
    draw(painter, dirty);
    for (ViewNode* child : m_children) {
        if (child->m_hidden)
            continue;
        const QRectF childDirty = dirty.intersected(child->m_frame);
        if (childDirty.isEmpty())
            continue;
        painter.save();
        painter.translate(child->m_frame.topLeft());
        painter.setClipRect(child->bounds(), Qt::IntersectClip);
        child->drawTree(painter, childDirty.translated(-child->m_frame.topLeft()));
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
    const int w = plmClampedInt(std::ceil(m_frame.width() * ratio), 1);
    const int h = plmClampedInt(std::ceil(m_frame.height() * ratio), 1);
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return image;
    image.fill(transparent ? Qt::transparent : Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(ratio, ratio);
    flipPainter(painter, m_frame.height());
    drawTree(painter, bounds());
    painter.end();
    return image;
}

void ViewNode::renderInto(QPainter& painter, const QRectF& deviceRect)
{
    layoutSubtreeIfNeeded();
    if (m_frame.width() <= 0 || m_frame.height() <= 0 || deviceRect.isEmpty())
        return;
    painter.save();
    painter.translate(deviceRect.left(), deviceRect.bottom());
    painter.scale(deviceRect.width() / m_frame.width(), -deviceRect.height() / m_frame.height());
    painter.setClipRect(bounds(), Qt::IntersectClip);
    drawTree(painter, bounds());
    painter.restore();
}

void ViewNode::setNeedsDisplay(bool needs)
{
    m_needsDisplay = needs;
    if (needs)
        requestDisplay(bounds());
}

void ViewNode::setNeedsDisplayInRect(const QRectF& rect)
{
    m_needsDisplay = true;
    requestDisplay(rect.intersected(bounds()));
}

void ViewNode::requestDisplay(const QRectF& rectInSelf)
{
    if (rectInSelf.isEmpty() || m_hidden)
        return;
    ViewHost* h = host();
    if (!h)
        return;
    h->invalidateRootRect(QRectF(convertToRoot(rectInSelf.topLeft()), rectInSelf.size()));
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
