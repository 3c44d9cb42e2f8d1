#include "page/ThematicLegend.h"

#include "page/DecorationGlyphs.h"
#include "page/LegendDrawing.h"
#include "page/PageObjectInteraction.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

ThematicLegend::ThematicLegend()
{
    // Shadows and rotated boxes reach outside the frame.
    setClipsToBounds(false);
    setToolTip(defaultToolTip());
}

ThematicLegend::~ThematicLegend() = default;

void ThematicLegend::contentChanged()
{
    m_layout.reset();
    m_preferredWidth.reset();
    m_contentHeight.reset();
    setNeedsDisplay();
}

void ThematicLegend::sizeChanged()
{
    contentChanged();
    if (ViewNode* parent = superview())
        parent->setNeedsLayout();
}

void ThematicLegend::setPresentation(const PlmPresentation& presentation)
{
    if (presentation == m_presentation)
        return;
    m_presentation = presentation;
    sizeChanged();
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

void ThematicLegend::setSymbolScale(double scale)
{
    if (scale == m_symbolScale)
        return;
    m_symbolScale = scale;
    sizeChanged();
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
    data.symbolScale = m_symbolScale;
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
    return PageObjectInteraction::unrotated(bounds(), effectiveStyle().rotation, p);
}

void ThematicLegend::mouseDown(const ViewMouseEvent& e)
{
    isManipulating = true;
    moved = false;
    previous = dragStart = e.windowLocation;
    resizeStart = frame();
    const PageObjectInteraction::Grab grab = PageObjectInteraction::grabAt(bounds(), unrotatedPoint(e.location));
    resizingLeft = grab.left;
    resizingBottom = grab.lower;
    resizing = grab.corner;
    rotating = grab.knob;
    PageObjectInteraction::reportPress(*this, e, onModifiedSelect, onSelect);
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
        PlmPresentation next = m_presentation;
        PlmEditingStyle style = next.effectiveEditingStyle();
        style.rotation = PageObjectInteraction::knobAngle(bounds(), e.location);
        next.setEffectiveEditingStyle(style);
        m_presentation = next;
        contentChanged();
        return;
    }
    if (!resizing) {
        const QRectF f = frame().translated(PageObjectInteraction::motionIn(*parent, previous, p));
        previous = p;
        setFrame(f);
        if (onPosition)
            onPosition(PlmPoint{f.left(), f.top()}, false);
        return;
    }
    // The opposite corner stays where it was at the press.
    const QPointF d = PageObjectInteraction::motionIn(*parent, dragStart, p);
    const QRectF r = resizeStart;
    const QRectF b = parent->bounds();
    const double w = PageObjectInteraction::clampedSide(resizingLeft ? r.width() - d.x() : r.width() + d.x(),
                                                        minimumWidth, b.width(), maximumWidth);
    double h = PageObjectInteraction::clampedSide(resizingBottom ? r.height() - d.y() : r.height() + d.y(),
                                                  minimumHeight, b.height(), maximumHeight);
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
    PageObjectInteraction::release(*this, isManipulating);
}

QMenu* ThematicLegend::menuForEvent(const ViewMouseEvent&)
{
    return m_menu.make(*this, {{editTitle(), [this] { editFromMenu(); }}});
}

void ThematicLegend::editFromMenu() { PageObjectInteraction::selectThen(onSelect, onEdit); }

void ThematicLegend::rightMouseDown(const ViewMouseEvent& e)
{
    ViewContextMenu::popUp(*this, menuForEvent(e), e);
}

void ThematicLegend::keyDown(const ViewKeyEvent& e)
{
    std::function<void(const QPointF&)> nudge;
    // The owner moves the legend through the reported position.
    if (!effectiveStyle().lockPosition && superview())
        nudge = [this](const QPointF& step) {
            if (onPosition)
                onPosition(PlmPoint{frame().left() + step.x(), frame().top() + step.y()}, true);
        };
    const auto remove = [this] {
        if (onCommand)
            onCommand(QStringLiteral("delete"));
    };
    if (!PageObjectInteraction::handleSharedKey(e, onCommand, remove, nudge))
        ViewNode::keyDown(e);
}
