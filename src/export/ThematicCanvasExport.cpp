#include "export/ThematicCanvasExport.h"

#include "canvas/VectorCanvas.h"
#include "page/CarteAlignmentGuidesView.h"
#include "page/CarteBlockHandles.h"
#include "page/CartePrintPageGuide.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "export/SFExportPDFRenderer.h"
#include "model/PlmOutlineTitle.h"
#include "canvas/ProportionalOverlay.h"
#include "canvas/ProportionalShape.h"

#include <QPainter>

ThematicCanvasExport::ThematicCanvasExport(ThematicCanvas& canvas, WorkReader readWork)
    : m_canvas(canvas)
    , m_readWork(std::move(readWork))
{
}

ViewNode& ThematicCanvasExport::canvas() { return m_canvas; }

VectorCanvas* ThematicCanvasExport::mapView() { return m_canvas.vector(); }

CarteExportComposition::ViewRole ThematicCanvasExport::role(const ViewNode& view) const
{
    if (&view == m_canvas.vector())
        return ViewRole::map;
    if (dynamic_cast<const ProportionalOverlay*>(&view))
        return ViewRole::symbols;
    if (dynamic_cast<const DecorationObjectView*>(&view))
        return ViewRole::decoration;
    if (dynamic_cast<const ThematicLegend*>(&view))
        return ViewRole::legend;
    // The page frame, the alignment guides and the block handles are editing aids of the
    // screen: none of them belongs in a file.
    if (dynamic_cast<const CartePrintPageGuide*>(&view) || dynamic_cast<const CarteAlignmentGuidesView*>(&view)
        || dynamic_cast<const CarteBlockHandles*>(&view))
        return ViewRole::pageGuide;
    if (isTextEditor && isTextEditor(view))
        return ViewRole::textEditor;
    return ViewRole::plain;
}

void ThematicCanvasExport::setExporting(bool exporting)
{
    m_canvas.isExporting = exporting;
    m_canvas.setNeedsDisplay();
}

CarteExportSelection ThematicCanvasExport::selection() const
{
    CarteExportSelection s;
    if (VectorCanvas* vector = m_canvas.vector())
        s.mapIndex = vector->selectedIndex;
    if (ProportionalOverlay* o = m_canvas.symbols())
        s.symbolsID = o->selectedID();
    if (ProportionalOverlay* o = m_canvas.secondSymbols())
        s.secondSymbolsID = o->selectedID();
    if (ThematicLegend* l = m_canvas.legend())
        s.legend = l->isSelected();
    if (ThematicLegend* l = m_canvas.secondLegend())
        s.secondLegend = l->isSelected();
    for (DecorationObjectView* view : m_canvas.decorationViews())
        s.decorations << view->selected;
    return s;
}

void ThematicCanvasExport::setSelection(const CarteExportSelection& s)
{
    if (VectorCanvas* vector = m_canvas.vector()) {
        vector->selectedIndex = s.mapIndex;
        vector->setNeedsDisplay();
    }
    if (ProportionalOverlay* o = m_canvas.symbols())
        o->setSelectedID(s.symbolsID);
    if (ProportionalOverlay* o = m_canvas.secondSymbols())
        o->setSelectedID(s.secondSymbolsID);
    if (ThematicLegend* l = m_canvas.legend())
        l->setSelected(s.legend);
    if (ThematicLegend* l = m_canvas.secondLegend())
        l->setSelected(s.secondLegend);
    const QList<DecorationObjectView*> views = m_canvas.decorationViews();
    for (qsizetype i = 0; i < views.size() && i < s.decorations.size(); ++i) {
        views[i]->selected = s.decorations[i];
        views[i]->setNeedsDisplay();
    }
}

bool ThematicCanvasExport::showsUnavailableSymbol() const
{
    for (ProportionalOverlay* o : {m_canvas.symbols(), m_canvas.secondSymbols()})
        if (o && !o->isHidden() && o->sharedShape() && o->sharedShape()->nativeSymbolUnavailable)
            return true;
    return false;
}

QList<std::shared_ptr<const ProportionalShape>> ThematicCanvasExport::shownSymbolShapes() const
{
    QList<std::shared_ptr<const ProportionalShape>> shapes;
    ProportionalOverlay* first = m_canvas.symbols();
    for (ProportionalOverlay* o : {first, m_canvas.secondSymbols()}) {
        // A hidden second series still shows when it is drawn inside the first, concentric.
        const bool shown = o && (!o->isHidden() || (first && o != first && first->concentricPartner() == o));
        if (shown && o->sharedShape())
            shapes << o->sharedShape();
    }
    for (ThematicLegend* l : {m_canvas.legend(), m_canvas.secondLegend()})
        if (l && !l->isHidden() && l->proportionalShape())
            shapes << l->proportionalShape();
    for (DecorationObjectView* view : m_canvas.decorationViews()) {
        view->syncLegendCopy();
        if (view->legendCopy && view->legendCopy->proportionalShape)
            shapes << view->legendCopy->proportionalShape;
    }
    return shapes;
}

QList<PlmDecorationObject> ThematicCanvasExport::decorationObjects() const
{
    QList<PlmDecorationObject> objects;
    for (DecorationObjectView* view : m_canvas.decorationViews())
        objects << view->object;
    return objects;
}

std::optional<PlmWork> ThematicCanvasExport::work() const { return m_readWork ? m_readWork() : std::nullopt; }

std::optional<PlmDecorationObject> ThematicCanvasExport::decorationObject(const ViewNode& view) const
{
    if (auto* d = dynamic_cast<const DecorationObjectView*>(&view))
        return d->object;
    return std::nullopt;
}

QString ThematicCanvasExport::legendTitle(const ViewNode& view) const
{
    auto* l = dynamic_cast<const ThematicLegend*>(&view);
    if (!l)
        return {};
    return l->presentation().title.value_or(l->title());
}

QString ThematicCanvasExport::outlineTitle(const ViewNode& view) const
{
    if (auto* d = dynamic_cast<const DecorationObjectView*>(&view))
        return PlmOutlineTitle::object(d->object);
    if (auto* l = dynamic_cast<const ThematicLegend*>(&view))
        return PlmOutlineTitle::legend(l->presentation(), l == m_canvas.secondLegend());
    return {};
}

bool ThematicCanvasExport::drawSymbolFallback(ViewNode& view, QPainter& painter, SFExportPDFRenderer& renderer)
{
    if (auto* overlay = dynamic_cast<ProportionalOverlay*>(&view)) {
        const std::shared_ptr<const ProportionalShape> shape = overlay->sharedShape();
        VectorCanvas* vector = overlay->vector;
        if (!shape || !shape->nativeSymbol || !vector)
            return false;
        painter.save();
        try {
            painter.setTransform(vector->blockTransform, true);
            const double sign = PlmMap::yAxisSign(vector->map().metadata);
            for (const ProportionalOverlay::Item& item : overlay->visibleItems()) {
                const QPointF centre(item.point.x * vector->scale() + vector->offset().x(),
                                     item.point.y * sign * vector->scale() + vector->offset().y());
                renderer.drawSymbol(painter, shape, centre, item.size, overlay->color());
            }
        } catch (...) {
            painter.restore();
            throw;
        }
        painter.restore();
        return true;
    }
    if (auto* decoration = dynamic_cast<DecorationObjectView*>(&view)) {
        bool rasterize = decoration->object.symbol
            && ProportionalShape(*decoration->object.symbol, false).nativeSymbol.has_value();
        if (!rasterize) {
            decoration->syncLegendCopy();
            rasterize = decoration->legendCopy && decoration->legendCopy->proportionalShape
                && decoration->legendCopy->proportionalShape->nativeSymbol;
        }
        if (rasterize)
            decoration->drawObject(painter, true);
        return rasterize;
    }
    if (auto* legend = dynamic_cast<ThematicLegend*>(&view)) {
        if (!legend->proportionalShape() || !legend->proportionalShape()->nativeSymbol)
            return false;
        legend->drawContent(painter, true);
        return true;
    }
    return false;
}

void ThematicCanvasExport::showPrintPage(const PlmPrintPage& page)
{
    m_canvas.printPage = page;
    if (CartePrintPageGuide* guide = m_canvas.pageGuide())
        guide->setNeedsDisplay();
    m_canvas.setNeedsLayout();
    m_canvas.setNeedsDisplay();
}
