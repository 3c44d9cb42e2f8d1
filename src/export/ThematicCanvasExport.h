#pragma once

#include "export/CarteExportComposition.h"

#include <functional>

class ThematicCanvas;

// The Carte pane's composition as the writers see it: the live ThematicCanvas with its map
// view, symbol overlays, legends and decoration views. The work is read through the pane's
// reader (none: no thematic settings are used for the symbol names).
class ThematicCanvasExport : public CarteExportComposition {
public:
    using WorkReader = std::function<std::optional<PlmWork>()>;

    explicit ThematicCanvasExport(ThematicCanvas& canvas, WorkReader readWork = {});

    // Recognises an open in-place text editor (installed by the decoration controller).
    std::function<bool(const ViewNode&)> isTextEditor;

    ViewNode& canvas() override;
    VectorCanvas* mapView() override;
    ViewRole role(const ViewNode& view) const override;
    void setExporting(bool exporting) override;
    CarteExportSelection selection() const override;
    void setSelection(const CarteExportSelection& selection) override;
    bool showsUnavailableSymbol() const override;
    QList<std::shared_ptr<const ProportionalShape>> shownSymbolShapes() const override;
    QList<PlmDecorationObject> decorationObjects() const override;
    std::optional<PlmWork> work() const override;
    std::optional<PlmDecorationObject> decorationObject(const ViewNode& view) const override;
    QString legendTitle(const ViewNode& view) const override;
    QString outlineTitle(const ViewNode& view) const override;
    bool drawSymbolFallback(ViewNode& view, QPainter& painter, SFExportPDFRenderer& renderer) override;
    void showPrintPage(const PlmPrintPage& page) override;

private:
    ThematicCanvas& m_canvas;
    WorkReader m_readWork;
};
