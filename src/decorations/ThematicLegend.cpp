#include "decorations/ThematicLegend.h"

#include "decorations/DecorationGlyphs.h"
#include "decorations/DecorationViewKeys.h"
#include "decorations/LegendDrawing.h"
#include "platform/ViewHost.h"

#include <QMenu>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>

ThematicLegend::ThematicLegend()
{
    // Shadows and rotated boxes reach outside the frame.
    setClipsToBounds(false);
    setToolTip(defaultToolTip());
}

ThematicLegend::~ThematicLegend() { delete m_menu; }

void ThematicLegend::contentChanged()
{
    m_layout.reset();
    m_preferredWidth.reset();
    m_contentHeight.reset();
    setNeedsDisplay();
}

void ThematicLegend::setPresentation(const PlmPresentation& presentation)
{
    if (presentation == m_presentation)
        return;
    m_presentation = presentation;
    contentChanged();
    if (ViewNode* parent = superview())
        parent->setNeedsLayout();
}

void ThematicLegend::setSelected(bool selected)
{
    if (selected == m_selected)
        return;
    m_selected = selected;
    setNeedsDisplay();
}

void ThematicLegend::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    contentChanged();
}

void ThematicLegend::setLabels(const QStringList& labels)
{
    if (labels == m_labels)
        return;
    m_labels = labels;
    contentChanged();
}

void ThematicLegend::setColors(const QList<PlmColor>& colors)
{
    if (colors == m_colors)
        return;
    m_colors = colors;
    setNeedsDisplay();  // colours change no measurement
}

void ThematicLegend::setShowsMissing(bool shows)
{
    if (shows == m_showsMissing)
        return;
    m_showsMissing = shows;
    contentChanged();
}

void ThematicLegend::setMissingColor(const PlmColor& color)
{
    if (color == m_missingColor)
        return;
    m_missingColor = color;
    setNeedsDisplay();
}

void ThematicLegend::setProportionalShape(std::shared_ptr<const ProportionalShape> shape)
{
    m_shape = std::move(shape);
    contentChanged();
}

void ThematicLegend::setReferenceSizes(const QList<double>& sizes)
{
    if (sizes == m_referenceSizes)
        return;
    m_referenceSizes = sizes;
    contentChanged();
}

void ThematicLegend::setSymbolColor(const PlmColor& color)
{
    if (color == m_symbolColor)
        return;
    m_symbolColor = color;
    setNeedsDisplay();
}

void ThematicLegend::setFooter(const std::optional<QString>& footer)
{
    if (footer == m_footer)
        return;
    m_footer = footer;
    contentChanged();
}

LegendData ThematicLegend::legendData() const
{
    LegendData data;
    data.presentation = m_presentation;
    data.title = m_title;
    data.labels = m_labels;
    data.colors = m_colors;
    data.missingColor = m_missingColor;
    data.showsMissing = m_showsMissing;
    data.proportionalShape = m_shape;
    data.referenceSizes = m_referenceSizes;
    data.symbolColor = m_symbolColor;
    data.footer = m_footer;
    data.size = bounds().size();
    return data;
}

PlmEditingStyle ThematicLegend::effectiveStyle() const
{
    return LegendLayout::textPresentation(m_presentation).effectiveEditingStyle();
}

double ThematicLegend::preferredWidth() const
{
    if (!m_preferredWidth)
        m_preferredWidth = LegendLayout::preferredWidth(legendData());
    return *m_preferredWidth;
}

double ThematicLegend::contentHeight(double width) const
{
    if (!m_contentHeight || m_contentHeight->first != width)
        m_contentHeight = std::make_pair(width, LegendLayout::Content(legendData(), width).height);
    return m_contentHeight->second;
}

double ThematicLegend::layoutHeight(double width) const
{
    const bool fits = m_presentation.legendFitsContent.value_or(true);
    if (fits || !m_presentation.height)
        return contentHeight(width);
    return *m_presentation.height;
}

const LegendLayout& ThematicLegend::cachedLayout() const
{
    const QSizeF size = bounds().size();
    if (!m_layout || m_layoutSize != size) {
        m_layout.emplace(legendData());
        m_layoutSize = size;
    }
    return *m_layout;
}

void ThematicLegend::drawContent(QPainter& painter, bool rasterizing) const
{
    drawLegendContent(painter, legendData(), cachedLayout(), rasterizing, m_selected, accentColor);
}

void ThematicLegend::draw(QPainter& painter, const QRectF&) { drawContent(painter, false); }

QRectF ThematicLegend::paintedRect() const
{
    return decorationPaintedRect(LegendLayout::textPresentation(m_presentation), bounds().size())
        .translated(bounds().topLeft());
}

QPointF ThematicLegend::unrotatedPoint(const QPointF& p) const
{
    const QPointF c = bounds().center();
    const double a = -effectiveStyle().rotation * std::numbers::pi / 180;
    const QPointF d = p - c;
    return {c.x() + d.x() * std::cos(a) - d.y() * std::sin(a), c.y() + d.x() * std::sin(a) + d.y() * std::cos(a)};
}

void ThematicLegend::mouseDown(const ViewMouseEvent& e)
{
    isManipulating = true;
    moved = false;
    previous = dragStart = e.windowLocation;
    resizeStart = frame();
    const QPointF q = unrotatedPoint(e.location);
    const QRectF b = bounds();
    const double w = b.width(), h = b.height();
    const double x = q.x() - b.left(), y = q.y() - b.top();
    resizingLeft = x < cornerZone;
    resizingBottom = y < cornerZone;
    resizing = (x < cornerZone || x > w - cornerZone) && (y < cornerZone || y > h - cornerZone);
    rotating = std::abs(q.x() - b.center().x()) < 12 && y > h - 16;
    if (onModifiedSelect)
        onModifiedSelect(e.modifiers);
    else if (onSelect)
        onSelect();
    if (ViewHost* hst = host())
        hst->setFirstResponder(this);
    if (e.clickCount == 2 && onEdit)
        onEdit();
}

void ThematicLegend::mouseDragged(const ViewMouseEvent& e)
{
    ViewNode* parent = superview();
    if (effectiveStyle().lockPosition || !parent)
        return;
    const QPointF p = e.windowLocation;
    if (!moved) {
        if (std::hypot(p.x() - dragStart.x(), p.y() - dragStart.y()) < dragThreshold)
            return;
        moved = true;
    }
    if (rotating) {
        const QPointF q = e.location;
        const QPointF c = bounds().center();
        const double angle = std::atan2(q.y() - c.y(), q.x() - c.x()) * 180 / std::numbers::pi - 90;
        PlmPresentation next = m_presentation;
        PlmEditingStyle style = next.effectiveEditingStyle();
        style.rotation = angle;
        next.setEffectiveEditingStyle(style);
        m_presentation = next;
        contentChanged();
        return;
    }
    if (!resizing) {
        const QPointF now = parent->convertFromRoot(p);
        const QPointF before = parent->convertFromRoot(previous);
        const QRectF f = frame().translated(now - before);
        previous = p;
        setFrame(f);
        if (onPosition)
            onPosition(PlmPoint{f.left(), f.top()}, false);
        return;
    }
    const QPointF s = parent->convertFromRoot(dragStart);
    const QPointF q = parent->convertFromRoot(p);
    const QRectF r = resizeStart;
    const QRectF b = parent->bounds();
    double w = resizingLeft ? r.width() - (q.x() - s.x()) : r.width() + (q.x() - s.x());
    w = std::min(std::min(std::max(w, minimumWidth), b.width()), maximumWidth);
    double h = resizingBottom ? r.height() - (q.y() - s.y()) : r.height() + (q.y() - s.y());
    h = std::min(std::min(std::max(h, minimumHeight), b.height()), maximumHeight);
    if ((effectiveStyle().lockRatio || (e.modifiers & Qt::ShiftModifier)) && r.width() > 0)
        h = std::max(std::min(std::min(w * r.height() / r.width(), maximumHeight), b.height()), minimumHeight);
    const double x = resizingLeft ? r.right() - w : r.left();
    const double y = resizingBottom ? r.bottom() - h : r.top();
    setFrame(QRectF(x, y, w, h));
    PlmPresentation next = m_presentation;
    next.legendFitsContent = false;
    next.width = w;
    next.height = h;
    m_presentation = next;
    contentChanged();
    previous = p;
}

void ThematicLegend::mouseUp(const ViewMouseEvent&)
{
    ViewNode* parent = superview();
    if (moved && parent) {
        if (rotating) {
            if (onRotation)
                onRotation(effectiveStyle().rotation);
        } else if (!resizing) {
            if (onPosition)
                onPosition(PlmPoint{frame().left(), frame().top()}, true);
        } else if (onSize) {
            onSize(frame().size(), PlmPoint{frame().left(), frame().top()});
        }
    }
    isManipulating = false;
    if (parent)
        parent->setNeedsLayout();
}

QMenu* ThematicLegend::menuForEvent(const ViewMouseEvent&)
{
    delete m_menu;
    m_menu = new QMenu(host());
    m_menu->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(m_menu->addAction(editTitle()), &QAction::triggered, [this] { editFromMenu(); });
    return m_menu;
}

void ThematicLegend::editFromMenu()
{
    if (onSelect)
        onSelect();
    if (onEdit)
        onEdit();
}

void ThematicLegend::rightMouseDown(const ViewMouseEvent& e)
{
    popUpDecorationMenu(*this, menuForEvent(e), e);
}

void ThematicLegend::keyDown(const ViewKeyEvent& e)
{
    if (e.modifiers & Qt::ControlModifier) {
        if (const std::optional<QString> command = decorationClipboardCommand(e.key)) {
            if (onCommand)
                onCommand(*command);
            return;
        }
    }
    if (e.key == Qt::Key_Backspace || e.key == Qt::Key_Delete) {
        if (onCommand)
            onCommand(QStringLiteral("delete"));
        return;
    }
    const std::optional<QPointF> nudge = decorationArrowNudge(e);
    if (nudge && !effectiveStyle().lockPosition && superview()) {
        const double dx = nudge->x(), dy = nudge->y();
        if (onPosition)
            onPosition(PlmPoint{frame().left() + dx, frame().top() + dy}, true);
        return;
    }
    ViewNode::keyDown(e);
}
