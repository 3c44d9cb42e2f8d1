#pragma once

#include "model/PlmDecorationObject.h"
#include "model/PlmPrintPage.h"
#include "model/PlmWork.h"

#include <QList>
#include <QString>

#include <memory>
#include <optional>

class ProportionalShape;
class QPainter;
class SFExportPDFRenderer;
class VectorCanvas;
class ViewNode;

// The selection marks an export hides for the time of its drawing.
struct CarteExportSelection {
    std::optional<int> mapIndex;             // the map view's selected top-level entity
    std::optional<QString> symbolsID;        // the entity whose symbol shows as selected
    std::optional<QString> secondSymbolsID;
    bool legend = false;
    bool secondLegend = false;
    QList<bool> decorations;                 // one per decoration view, in subview order

    bool operator==(const CarteExportSelection&) const = default;
    // The same views with nothing selected.
    CarteExportSelection cleared() const;
};

// What the writers need of the composition besides its view tree: the canvas of the Carte pane
// answers it, and tests assemble their own. The writers walk canvas() and its subviews with the
// screen's drawing code; the questions below are what a plain view tree cannot tell.
class CarteExportComposition {
public:
    enum class ViewRole {
        plain,
        map,          // the base-map view
        symbols,      // a proportional-symbol overlay
        decoration,   // a layout object; may draw beyond its bounds
        legend,       // a thematic legend; may draw beyond its bounds
        pageGuide,    // the on-screen page frame, never exported
        textEditor,   // an open in-place text editor, never exported
    };

    virtual ~CarteExportComposition() = default;

    virtual ViewNode& canvas() = 0;
    virtual VectorCanvas* mapView() = 0;
    virtual ViewRole role(const ViewNode& view) const = 0;

    // While set the canvas presents the composition for export: opaque white page, no
    // editing marks. Each change redraws.
    virtual void setExporting(bool exporting) = 0;

    virtual CarteExportSelection selection() const = 0;
    // Applies a selection, decoration views by position (views beyond the list are left
    // alone), each changed view redrawn.
    virtual void setSelection(const CarteExportSelection& selection) = 0;

    // A symbol overlay that is shown draws a symbol this computer does not have.
    virtual bool showsUnavailableSymbol() const = 0;

    // The symbols the composition's views show: those of the shown overlays (the second one
    // also when hidden but drawn inside the first, concentric), of the shown legends, and of
    // the legend copies of legend objects, in that order.
    virtual QList<std::shared_ptr<const ProportionalShape>> shownSymbolShapes() const = 0;
    // The objects of the decoration views, in subview order.
    virtual QList<PlmDecorationObject> decorationObjects() const = 0;
    // The work as stored in the document, when the canvas has one.
    virtual std::optional<PlmWork> work() const = 0;

    // For the notes: the object of a decoration view, the title of a legend view.
    virtual std::optional<PlmDecorationObject> decorationObject(const ViewNode& view) const = 0;
    virtual QString legendTitle(const ViewNode& view) const = 0;
    // The title the objects outline gives a legend or layout object view (PlmOutlineTitle).
    virtual QString outlineTitle(const ViewNode& view) const = 0;

    // The print page to show on the canvas after the export panel stored it.
    virtual void showPrintPage(const PlmPrintPage& page) { (void)page; }

    // Draws a view whose symbols are system glyphs through rasterized symbols (the PDF
    // fallback): overlays through the renderer's cache, legends and objects with their own
    // drawing asked to rasterize. False when the view is not drawn that way. Throws
    // PlmWorkError when a symbol cannot be rasterized.
    virtual bool drawSymbolFallback(ViewNode& view, QPainter& painter, SFExportPDFRenderer& renderer) = 0;
};
