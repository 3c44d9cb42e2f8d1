#include "desktop/ViewHost.h"

#include "model/PlmClampedInt.h"

#include "desktop/ViewNode.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QToolTip>
#include <QWheelEvent>

namespace {

Qt::KeyboardModifiers g_currentModifiers;

ViewMouseEvent mouseEvent(const ViewNode* target, const QPointF& rootPoint, const QMouseEvent* e,
                          int clickCount)
{
    ViewMouseEvent m;
    m.windowLocation = rootPoint;
    m.location = target->convertFromRoot(rootPoint);
    m.button = e->button();
    m.modifiers = e->modifiers();
    m.clickCount = clickCount;
    return m;
}

} // namespace

ViewHost::ViewHost(QWidget* parent) : QWidget(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_AcceptTouchEvents, false);
}

ViewHost::~ViewHost()
{
    ViewNode* root = m_root;
    m_root = nullptr;
    m_mouseTarget = nullptr;
    m_firstResponder = nullptr;
    if (root) {
        root->m_host = nullptr;
        delete root;
    }
}

void ViewHost::setRootNode(ViewNode* root)
{
    if (root == m_root)
        return;
    // Detach the new root first: it may lie inside the tree being deleted.
    if (root)
        root->removeFromSuperview();
    delete takeRootNode();
    m_root = root;
    if (m_root) {
        m_root->m_host = this;
        m_root->setFrame(QRectF(0, 0, width(), height()));
    }
    update();
}

ViewNode* ViewHost::takeRootNode()
{
    ViewNode* root = m_root;
    m_root = nullptr;
    m_mouseTarget = nullptr;
    m_firstResponder = nullptr;
    if (root)
        root->m_host = nullptr;
    return root;
}

Qt::KeyboardModifiers ViewHost::currentModifiers() { return g_currentModifiers; }

void ViewHost::setFirstResponder(ViewNode* node) { m_firstResponder = node; }

QPointF ViewHost::rootPoint(const QPointF& p) const { return QPointF(p.x(), height() - p.y()); }

QPointF ViewHost::widgetPoint(const QPointF& p) const { return QPointF(p.x(), height() - p.y()); }

QPointF ViewHost::scrollingDelta(const QPoint& angleDelta, const QPoint& pixelDelta)
{
    if (!pixelDelta.isNull())
        return QPointF(pixelDelta.x() * 0.25, pixelDelta.y() * 0.25);
    return QPointF(angleDelta.x() / 25.0, angleDelta.y() / 25.0);
}

void ViewHost::invalidateRootRect(const QRectF& r)
{
    // Clipped to the widget before it becomes int: a node far off the view (a huge but finite
    // viewport centre) must not overflow the conversion.
    const double top = height() - r.y() - r.height();
    const QRectF flipped(r.x(), top, r.width(), r.height());
    const QRect shown = plmAlignedRectWithin(flipped, QRectF(-2, -2, width() + 4.0, height() + 4.0));
    if (!shown.isEmpty())
        update(shown.adjusted(-1, -1, 1, 1));
}

void ViewHost::nodeDestroyed(ViewNode* node)
{
    if (m_mouseTarget == node)
        m_mouseTarget = nullptr;
    if (m_firstResponder == node)
        m_firstResponder = nullptr;
    if (m_root == node)
        m_root = nullptr;
}

ViewNode* ViewHost::nodeAt(const QPointF& rootPoint) const
{
    return m_root ? m_root->hitTest(rootPoint) : nullptr;
}

bool ViewHost::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* g = static_cast<QNativeGestureEvent*>(event);
        if (g->gestureType() == Qt::ZoomNativeGesture) {
            const QPointF rp = rootPoint(g->position());
            if (ViewNode* target = nodeAt(rp)) {
                ViewMagnifyEvent m;
                m.windowLocation = rp;
                m.location = target->convertFromRoot(rp);
                m.magnification = g->value();
                target->magnify(m);
            }
            return true;
        }
    }
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        ViewNode* n = nodeAt(rootPoint(help->pos()));
        while (n && n->toolTip().isEmpty())
            n = n->superview();
        if (n)
            QToolTip::showText(help->globalPos(), n->toolTip(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

void ViewHost::paintEvent(QPaintEvent* event)
{
    if (!m_root)
        return;
    m_root->layoutSubtreeIfNeeded();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRect r = event->rect();
    const QRectF dirty(r.x(), height() - r.y() - r.height(), r.width(), r.height());
    ViewNode::flipPainter(painter, height());
    const QTransform toRoot = m_root->transformToSuperview();
    painter.setTransform(toRoot, true);
    ViewNode::s_drawingOnScreen = true;
    m_root->drawTree(painter, toRoot.inverted().mapRect(dirty));
    ViewNode::s_drawingOnScreen = false;
}

void ViewHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (m_root)
        m_root->setFrame(QRectF(0, 0, width(), height()));
}

void ViewHost::press(QMouseEvent* event, int clickCount)
{
    g_currentModifiers = event->modifiers();
    const QPointF rp = rootPoint(event->position());
    ViewNode* target = nodeAt(rp);
    m_mouseTarget = target;
    if (!target)
        return;
    if (target->acceptsFirstResponder())
        m_firstResponder = target;
    const ViewMouseEvent m = mouseEvent(target, rp, event, clickCount);
    if (event->button() == Qt::RightButton)
        target->rightMouseDown(m);
    else
        target->mouseDown(m);
}

void ViewHost::mousePressEvent(QMouseEvent* event) { press(event, 1); }

void ViewHost::mouseDoubleClickEvent(QMouseEvent* event) { press(event, 2); }

void ViewHost::mouseMoveEvent(QMouseEvent* event)
{
    g_currentModifiers = event->modifiers();
    const QPointF rp = rootPoint(event->position());
    if (m_mouseTarget && (event->buttons() & Qt::LeftButton)) {
        m_mouseTarget->mouseDragged(mouseEvent(m_mouseTarget, rp, event, 1));
        return;
    }
    if (ViewNode* n = nodeAt(rp))
        n->mouseMoved(mouseEvent(n, rp, event, 0));
}

void ViewHost::mouseReleaseEvent(QMouseEvent* event)
{
    g_currentModifiers = event->modifiers();
    ViewNode* target = m_mouseTarget;
    m_mouseTarget = nullptr;
    if (target && event->button() == Qt::LeftButton)
        target->mouseUp(mouseEvent(target, rootPoint(event->position()), event, 1));
}

void ViewHost::wheelEvent(QWheelEvent* event)
{
    g_currentModifiers = event->modifiers();
    const QPointF rp = rootPoint(event->position());
    ViewNode* target = nodeAt(rp);
    if (!target)
        return;
    const QPointF d = scrollingDelta(event->angleDelta(), event->pixelDelta());
    ViewWheelEvent w;
    w.windowLocation = rp;
    w.location = target->convertFromRoot(rp);
    w.deltaX = d.x();
    w.deltaY = d.y();
    w.precise = !event->pixelDelta().isNull();
    w.modifiers = event->modifiers();
    target->scrollWheel(w);
    event->accept();
}

void ViewHost::keyPressEvent(QKeyEvent* event)
{
    g_currentModifiers = event->modifiers();
    ViewNode* target = m_firstResponder ? m_firstResponder : m_root;
    if (!target) {
        QWidget::keyPressEvent(event);
        return;
    }
    ViewKeyEvent k;
    k.key = event->key();
    k.text = event->text();
    k.modifiers = event->modifiers();
    k.autoRepeat = event->isAutoRepeat();
    target->keyDown(k);
}
