#include "page/ThematicCanvas.h"

#include "canvas/VectorCanvas.h"
#include "page/CarteAlignmentGuidesView.h"
#include "page/CarteBlockHandles.h"
#include "page/CartePrintPageGuide.h"
#include "page/DecorationObjectView.h"
#include "page/LegendLayout.h"
#include "page/PageObjectInteraction.h"
#include "page/ThematicLegend.h"
#include "desktop/ViewHost.h"
#include "canvas/ProportionalOverlay.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

ThematicCanvas::ThematicCanvas(const PlmMap& map)
{
    m_vector = new VectorCanvas(map, true, emptyMapText());
    // The canvas, the map and the legends draw outside their frames (shadows, rotations).
    setClipsToBounds(false);
    m_vector->setClipsToBounds(false);
    m_vector->paintsBackground = false;
    m_vector->fit(true);
    m_symbols = new ProportionalOverlay;
    m_secondSymbols = new ProportionalOverlay;
    m_legend = new ThematicLegend;
    m_secondLegend = new ThematicLegend;
    addSubview(m_vector);
    addSubview(m_symbols);
    addSubview(m_secondSymbols);
    addSubview(m_legend);
    addSubview(m_secondLegend);
    m_symbols->vector = m_vector;
    m_secondSymbols->vector = m_vector;
    m_symbols->setHidden(true);
    m_secondSymbols->setHidden(true);
    m_secondLegend->setHidden(true);
    m_guides = new CarteAlignmentGuidesView(this);
    addSubview(m_guides);
    m_pageGuide = new CartePrintPageGuide(this);
    addSubview(m_pageGuide);
    m_vector->onViewportChange = [this] {
        followBlockScale();
        m_symbols->setNeedsDisplay();
        m_secondSymbols->setNeedsDisplay();
        for (DecorationObjectView* view : decorationViews())
            view->setNeedsDisplay();
    };
}

ThematicCanvas::~ThematicCanvas()
{
    // The overlays and guides point at views deleted with the canvas: cut them first.
    m_vector->onViewportChange = nullptr;
    m_symbols->vector = nullptr;
    m_secondSymbols->vector = nullptr;
    m_symbols->setConcentricPartner(nullptr);
    m_secondSymbols->setConcentricPartner(nullptr);
    m_guides->canvas = nullptr;
    m_pageGuide->canvas = nullptr;
    for (CarteBlockHandles* handles : blockHandles())
        handles->canvas = nullptr;
    for (DecorationObjectView* view : decorationViews())
        view->vector = nullptr;
}

QList<DecorationObjectView*> ThematicCanvas::decorationViews() const
{
    QList<DecorationObjectView*> views;
    for (ViewNode* node : subviews())
        if (auto* view = dynamic_cast<DecorationObjectView*>(node))
            views.append(view);
    return views;
}

QList<CarteBlockHandles*> ThematicCanvas::blockHandles() const
{
    QList<CarteBlockHandles*> views;
    for (ViewNode* node : subviews())
        if (auto* view = dynamic_cast<CarteBlockHandles*>(node))
            views.append(view);
    return views;
}

QPointF ThematicCanvas::placement(const PlmPoint& position, bool inPoints, const QSizeF& size, const QSizeF& page)
{
    if (inPoints)
        return {position.x, position.y};
    return {position.x * std::max(0.0, page.width() - size.width()),
            position.y * std::max(0.0, page.height() - size.height())};
}

QRectF ThematicCanvas::printPageRect(const PlmPrintPage& page)
{
    return {page.origin.x, page.origin.y, page.width * 72 / 25.4, page.height * 72 / 25.4};
}

QRectF ThematicCanvas::printableRect(const PlmPrintPage& page)
{
    const double m = page.margin * 72 / 25.4;
    return printPageRect(page).adjusted(m, m, -m, -m);
}

std::optional<QRectF> ThematicCanvas::printableArea() const
{
    if (!printPage)
        return std::nullopt;
    const QRectF area = printableRect(*printPage).intersected(bounds());
    if (!(area.width() > 0) || !(area.height() > 0))
        return std::nullopt;
    return area;
}

QPointF ThematicCanvas::elementOrigin(const PlmPoint& position, bool inPoints, const QSizeF& size) const
{
    QPointF origin = placement(position, inPoints, size, bounds().size());
    if (inPoints)
        return origin;
    const std::optional<QRectF> area = printableArea();
    return area ? keptWithin(origin, size, *area) : origin;
}

QPointF ThematicCanvas::keptWithin(const QPointF& origin, const QSizeF& size, const QRectF& area)
{
    // Each direction on its own. Too large for the area, an element starts at its left edge and
    // at its top, its largest y (y grows upward), where a text begins.
    return {size.width() > area.width() ? area.left() : std::clamp(origin.x(), area.left(), area.right() - size.width()),
            size.height() > area.height() ? area.bottom() - size.height()
                                          : std::clamp(origin.y(), area.top(), area.bottom() - size.height())};
}

void ThematicCanvas::restackSubviews(std::optional<PlmRepresentation> representation, bool secondInFront)
{
    const PlmRepresentation r = representation.value_or(PlmRepresentation::aplats);
    insertSubview(m_vector, Placement::below);
    if (r == PlmRepresentation::aplatsAndSymbols && !secondInFront)
        insertSubview(m_secondSymbols, Placement::below, m_vector);
    else
        insertSubview(m_secondSymbols, secondInFront ? Placement::above : Placement::below, m_symbols);
    insertSubview(m_legend, Placement::above);
    insertSubview(m_secondLegend, Placement::above);
    for (DecorationObjectView* view : decorationViews())
        insertSubview(view, Placement::above);
    insertSubview(m_guides, Placement::above);
    for (CarteBlockHandles* handles : blockHandles())
        insertSubview(handles, Placement::above);
    setNeedsDisplay();
}

void ThematicCanvas::layout() { layoutComposition(); }

void ThematicCanvas::layoutComposition()
{
    // 1. The page's own coordinates.
    if (compositionSize && *compositionSize != bounds().size())
        setBoundsSize(*compositionSize);
    const QRectF page = bounds();
    // 2–5. The map: refitted while it tracks the fit, else kept where it is on the page.
    const bool needsFit = m_vector->bounds().isEmpty() || m_vector->tracksFit;
    std::optional<PlmDecorationViewport> kept;
    if (!needsFit)
        kept = m_vector->currentViewport();
    m_vector->compositionReferenceBounds = page;
    QRectF mapFrame = page;
    if (!needsFit) {
        const QRectF block = m_vector->blockTransform.mapRect(m_vector->originalBlockBounds());
        if (!block.isNull())
            mapFrame = mapFrame.united(block);
        mapFrame.adjust(-8, -8, 8, 8);
    }
    m_vector->setFrame(mapFrame);
    m_vector->setBounds(QRectF(mapFrame.topLeft(), mapFrame.size()));
    const quint64 fitsBefore = m_vector->fitCount();
    m_vector->layoutSubtreeIfNeeded();
    if (needsFit) {
        if (!m_vector->bounds().isEmpty()) {
            const bool fitsWhole = m_vector->fitted && m_vector->tracksFit && !m_vector->fitRegion;
            // The map's layout has just fitted it to these bounds, with no fit region: the same
            // fit again would only measure its texts a second time.
            const bool fittedByLayout = fitsWhole && m_vector->fitCount() != fitsBefore;
            const bool unchanged = !fittedByLayout && fitsWhole && m_lastFit
                                   && m_lastFit->bounds == m_vector->bounds()
                                   && m_lastFit->backgroundImage == m_vector->backgroundImage()
                                   && m_lastFit->viewport == m_vector->currentViewport()
                                   && m_lastFit->map == m_vector->map();
            if (!unchanged) {
                if (!fittedByLayout)
                    m_vector->fit(true);
                m_lastFit = FitInputs{m_vector->map(), m_vector->backgroundImage(), m_vector->bounds(),
                                      m_vector->currentViewport()};
            }
        }
        if (!m_vector->bounds().isEmpty()) {
            compositionViewport = m_vector->currentViewport();
            if (compositionSize)
                m_vector->apply(*compositionViewport);
            if (compositionSize) {
                // apply() stops the fit tracking; a page still following its fit keeps it.
                m_vector->tracksFit = true;
            }
        }
    } else if (kept) {
        m_vector->apply(*kept);
    }
    // 6–7. The page guide, always on top.
    m_pageGuide->setFrame(page);
    if (subviews().empty() || subviews().back() != m_pageGuide)
        insertSubview(m_pageGuide, Placement::above);
    // 8. The symbol overlays also cover a print page lying beside the composition.
    QRectF overlay = page;
    if (printPage)
        overlay = overlay.united(printPageRect(*printPage));
    for (ProportionalOverlay* symbols : {m_symbols, m_secondSymbols}) {
        symbols->setFrame(overlay);
        symbols->setBoundsOrigin(overlay.topLeft());
    }
    // 9–10. Guides and handles share the page's coordinates.
    m_guides->setFrame(page);
    m_guides->setNeedsDisplay();
    for (CarteBlockHandles* handles : blockHandles())
        handles->setFrame(page);
    // 11–12. Decorations, then the legends; the legend objects copy the legends' symbol scale.
    followBlockScale();
    for (DecorationObjectView* view : decorationViews())
        placeDecoration(view, page.size());
    placeLegend(m_legend, legendPosition);
    placeLegend(m_secondLegend, secondLegendPosition);
    if (onPlacementChange)
        onPlacementChange();
}

void ThematicCanvas::placeDecoration(DecorationObjectView* view, const QSizeF& page)
{
    if (view->isManipulating || (isGroupManipulating && view->selected))
        return;
    const PlmDecorationObject& object = view->object;
    QSizeF size;
    if (object.kind == PlmDecorationKind::legend) {
        view->syncLegendCopy();
        if (view->legendCopy) {
            LegendData copy = *view->legendCopy;
            const double w = LegendLayout::preferredWidth(copy);
            const bool fits = object.presentation.legendFitsContent.value_or(true);
            const double h = (fits || !object.presentation.height) ? LegendLayout::Content(copy, w).height
                                                                    : *object.presentation.height;
            size = QSizeF(w, h);
        } else {
            size = QSizeF(std::min(object.width, page.width()), std::min(object.height, page.height()));
        }
    } else {
        size = QSizeF(std::min(object.width, page.width()), std::min(object.height, page.height()));
    }
    const QPointF origin = elementOrigin(object.position, object.presentation.positionInPoints.value_or(false), size);
    view->setFrame(QRectF(origin, size));
    if (object.kind == PlmDecorationKind::legend)
        view->syncLegendCopy();
}

void ThematicCanvas::followBlockScale()
{
    const double scale = VectorCanvas::blockScale(m_vector->blockTransform);
    m_legend->setSymbolScale(scale);
    m_secondLegend->setSymbolScale(scale);
}

void ThematicCanvas::placeLegend(ThematicLegend* legend, const PlmPoint& position)
{
    if (legend->isManipulating || (isGroupManipulating && legend->isSelected()))
        return;
    const double w = legend->preferredWidth();
    const double h = legend->layoutHeight(w);
    const QSizeF size(w, h);
    const QPointF origin = elementOrigin(position, legend->presentation().positionInPoints.value_or(false), size);
    legend->setFrame(QRectF(origin, size));
}

void ThematicCanvas::draw(QPainter& painter, const QRectF& dirty)
{
    // An exported page is white whatever colour the screen gives the page.
    painter.fillRect(bounds().intersected(dirty.isEmpty() ? bounds() : dirty),
                     isExporting ? QColor(Qt::white) : pageColor);
}

ViewNode* ThematicCanvas::hitTest(const QPointF& pointInSuperview) { return routeHit(pointInSuperview); }

ViewNode* ThematicCanvas::routeHit(const QPointF& pointInSuperview) const
{
    return routeHit(pointInSuperview, ViewHost::currentModifiers());
}

ViewNode* ThematicCanvas::routeHit(const QPointF& pointInSuperview, Qt::KeyboardModifiers modifiers) const
{
    const QPointF p = convertFromSuperview(pointInSuperview);
    // 1. On screen only: nothing outside the visible host, the page guide's border first.
    if (!isExporting) {
        const ViewNode* parent = superview();
        if (!parent || !parent->bounds().contains(pointInSuperview))
            return nullptr;
        if (m_pageGuide->borderContains(p))
            return m_pageGuide;
    }
    // 2. An open text editor keeps every click inside it.
    if (textEditorHit)
        if (ViewNode* editor = textEditorHit(p))
            return editor;
    // 3. Option reaches the map through everything.
    if (modifiers & Qt::AltModifier)
        return m_vector;
    // 4. Decorations, topmost first, tested where they are drawn (rotation undone).
    const QList<DecorationObjectView*> decorations = decorationViews();
    for (auto it = decorations.crbegin(); it != decorations.crend(); ++it) {
        DecorationObjectView* view = *it;
        if (view->isHidden())
            continue;
        const QPointF q = PageObjectInteraction::unrotated(view->bounds(), view->rotation(), view->convertFromSuperview(p));
        if (view->containsHit(q))
            return view;
    }
    // 5. Legends.
    for (ThematicLegend* legend : {m_legend, m_secondLegend}) {
        if (legend->isHidden())
            continue;
        const QPointF q = PageObjectInteraction::unrotated(
            legend->bounds(), legend->presentation().effectiveEditingStyle().rotation, legend->convertFromSuperview(p));
        if (legend->bounds().contains(q))
            return legend;
    }
    // 6. Movable entity names belong to the map view.
    if (m_vector->entityNameLabel(m_vector->convertFromSuperview(p)))
        return m_vector;
    // 7. Map-block handles.
    for (CarteBlockHandles* handles : blockHandles())
        if (ViewNode* hit = handles->hitTarget(p))
            return hit;
    // 8. Symbols, topmost overlay first.
    const std::vector<ViewNode*>& children = subviews();
    for (auto it = children.crbegin(); it != children.crend(); ++it) {
        auto* overlay = dynamic_cast<ProportionalOverlay*>(*it);
        if (!overlay || overlay->isHidden())
            continue;
        if (overlay->item(overlay->convertFromSuperview(p)))
            return overlay;
    }
    // 9. The map view decides; it takes the click itself when nothing of it answers.
    if (ViewNode* hit = m_vector->hitTest(p))
        return hit;
    return m_vector;
}

void ThematicCanvas::zoomRequest(double factor, const QPointF& windowLocation)
{
    const QPointF anchor = m_vector->convertFromRoot(windowLocation);
    if (m_vector->onCompositionZoom)
        m_vector->onCompositionZoom(factor, anchor);
    else
        m_vector->zoom(factor, anchor);
}

void ThematicCanvas::scrollWheel(const ViewWheelEvent& e)
{
    if (!m_vector->isInteractive)
        return;
    zoomRequest(std::exp(std::clamp(e.deltaY * 0.02, -0.35, 0.35)), e.windowLocation);
}

void ThematicCanvas::magnify(const ViewMagnifyEvent& e)
{
    if (!m_vector->isInteractive)
        return;
    const double f = std::exp(e.magnification);
    if (!std::isfinite(f) || f <= 0)
        return;
    zoomRequest(f, e.windowLocation);
}
