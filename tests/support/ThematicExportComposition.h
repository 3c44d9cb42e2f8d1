#pragma once

#include "canvas/VectorCanvas.h"
#include "decorations/CartePrintPageGuide.h"
#include "decorations/DecorationObjectView.h"
#include "decorations/ThematicCanvas.h"
#include "decorations/ThematicLegend.h"
#include "export/CarteExportComposition.h"
#include "thematic/ProportionalOverlay.h"

// The composition page of the layout window as the export writers see it, for tests that
// export a real page: roles by view class, selections of the page's own views.
class ThematicExportComposition : public CarteExportComposition {
public:
    explicit ThematicExportComposition(ThematicCanvas& canvas) : m_canvas(canvas) {}

    ViewNode& canvas() override { return m_canvas; }
    VectorCanvas* mapView() override { return m_canvas.vector(); }
    ViewRole role(const ViewNode& view) const override
    {
        if (&view == m_canvas.vector())
            return ViewRole::map;
        if (dynamic_cast<const ProportionalOverlay*>(&view))
            return ViewRole::symbols;
        if (dynamic_cast<const ThematicLegend*>(&view))
            return ViewRole::legend;
        if (dynamic_cast<const DecorationObjectView*>(&view))
            return ViewRole::decoration;
        if (&view == static_cast<const ViewNode*>(m_canvas.pageGuide()))
            return ViewRole::pageGuide;
        return ViewRole::plain;
    }
    void setExporting(bool exporting) override
    {
        m_canvas.isExporting = exporting;
        m_canvas.setNeedsDisplay();
    }
    CarteExportSelection selection() const override
    {
        CarteExportSelection s;
        s.mapIndex = m_canvas.vector()->selectedIndex;
        s.symbolsID = m_canvas.symbols()->selectedID();
        s.secondSymbolsID = m_canvas.secondSymbols()->selectedID();
        s.legend = m_canvas.legend()->isSelected();
        s.secondLegend = m_canvas.secondLegend()->isSelected();
        for (DecorationObjectView* view : m_canvas.decorationViews())
            s.decorations << view->selected;
        return s;
    }
    void setSelection(const CarteExportSelection& s) override
    {
        m_canvas.vector()->selectedIndex = s.mapIndex;
        m_canvas.symbols()->setSelectedID(s.symbolsID);
        m_canvas.secondSymbols()->setSelectedID(s.secondSymbolsID);
        m_canvas.legend()->setSelected(s.legend);
        m_canvas.secondLegend()->setSelected(s.secondLegend);
        const QList<DecorationObjectView*> views = m_canvas.decorationViews();
        for (int i = 0; i < views.size() && i < s.decorations.size(); ++i)
            views[i]->selected = s.decorations[i];
    }
    bool showsUnavailableSymbol() const override { return false; }
    QList<std::shared_ptr<const ProportionalShape>> shownSymbolShapes() const override
    {
        QList<std::shared_ptr<const ProportionalShape>> shapes;
        for (ProportionalOverlay* overlay : {m_canvas.symbols(), m_canvas.secondSymbols()})
            if (!overlay->isHidden() && overlay->sharedShape())
                shapes << overlay->sharedShape();
        for (ThematicLegend* legend : {m_canvas.legend(), m_canvas.secondLegend()})
            if (!legend->isHidden() && legend->proportionalShape())
                shapes << legend->proportionalShape();
        return shapes;
    }
    QList<PlmDecorationObject> decorationObjects() const override
    {
        QList<PlmDecorationObject> objects;
        for (DecorationObjectView* view : m_canvas.decorationViews())
            objects << view->object;
        return objects;
    }
    std::optional<PlmWork> work() const override { return std::nullopt; }
    std::optional<PlmDecorationObject> decorationObject(const ViewNode& view) const override
    {
        if (auto* object = dynamic_cast<const DecorationObjectView*>(&view))
            return object->object;
        return std::nullopt;
    }
    QString legendTitle(const ViewNode& view) const override
    {
        auto* legend = dynamic_cast<const ThematicLegend*>(&view);
        return legend ? legend->presentation().title.value_or(legend->title()) : QString();
    }
    bool drawSymbolFallback(ViewNode&, QPainter&, SFExportPDFRenderer&) override { return false; }

private:
    ThematicCanvas& m_canvas;
};
