#pragma once

#include "model/PlmBackgroundImage.h"
#include "model/PlmDecorationKind.h"
#include "model/PlmDecorationViewport.h"
#include "model/PlmMap.h"
#include "model/PlmPoint.h"
#include "model/PlmPrintPage.h"
#include "model/PlmRepresentation.h"
#include "desktop/ViewNode.h"

#include <QColor>
#include <QList>
#include <QSizeF>

#include <functional>
#include <optional>

class CarteAlignmentGuidesView;
class CarteBlockHandles;
class CartePrintPageGuide;
class DecorationObjectView;
class ProportionalOverlay;
class ThematicLegend;
class VectorCanvas;

// The layout page: one view whose bounds are the composition in points (origin lower left,
// y up), whatever size its host shows it at. It stacks the base map, the two symbol series,
// the two legends, the decoration views, the alignment guides, the map-block handles and the
// print-page guide, and places them all from the composition size, the map viewport and
// each element's stored position. The exporters draw the same tree.
class ThematicCanvas : public ViewNode {
public:
    explicit ThematicCanvas(const PlmMap& map);
    ~ThematicCanvas() override;

    static QString emptyMapText()
    {
        return QStringLiteral("Ouvrez un document .plmmap ou importez un fond historique depuis le menu Fichier.");
    }

    // ---- Fields written by the owners ----
    std::optional<PlmPrintPage> printPage;
    std::function<void(const PlmPrintPage&)> onPrintPageChange;
    bool isGroupManipulating = false;
    std::optional<QSizeF> compositionSize;
    bool isExporting = false;
    std::optional<PlmDecorationViewport> compositionViewport;
    PlmPoint legendPosition{0.96, 0.08};
    PlmPoint secondLegendPosition{0.96, 0.95};

    // ---- Views (owned as subviews) ----
    CarteAlignmentGuidesView* guides() const { return m_guides; }
    CartePrintPageGuide* pageGuide() const { return m_pageGuide; }
    VectorCanvas* vector() const { return m_vector; }
    ThematicLegend* legend() const { return m_legend; }
    ThematicLegend* secondLegend() const { return m_secondLegend; }
    ProportionalOverlay* symbols() const { return m_symbols; }
    ProportionalOverlay* secondSymbols() const { return m_secondSymbols; }
    // The subviews that are decoration object views, bottom to top.
    QList<DecorationObjectView*> decorationViews() const;
    // The subviews that are map-block handles, bottom to top.
    QList<CarteBlockHandles*> blockHandles() const;

    // The origin of an element of size `size` placed at a stored position on a page of
    // size `page`: points when inPoints, else fractions of the free space.
    static QPointF placement(const PlmPoint& position, bool inPoints, const QSizeF& size, const QSizeF& page);
    // The print page's rectangle in page points.
    static QRectF printPageRect(const PlmPrintPage& page);
    // The print page shrunk by its margins, in page points: the dashed line the page guide draws.
    static QRectF printableRect(const PlmPrintPage& page);
    // What an export keeps of the page: the print page inside its margins, on the page; none
    // without print page or when they do not meet.
    std::optional<QRectF> printableArea() const;
    // The origin of an element by the placement rule. An element placed by fractions (not by
    // the person, who places in points), whatever its kind, is kept to the printable area
    // direction by direction: inside it where it fits, else from its left edge across and from
    // its top edge down.
    QPointF elementOrigin(const PlmPoint& position, bool inPoints, const QSizeF& size) const;
    // An element's origin kept to an area direction by direction, as elementOrigin keeps one
    // placed by fractions: inside it where it fits, else from its left edge across and from its
    // top edge (its largest y) down.
    static QPointF keptWithin(const QPointF& origin, const QSizeF& size, const QRectF& area);

    // Re-orders the subviews for a representation (aplats when absent).
    void restackSubviews(std::optional<PlmRepresentation> representation, bool secondInFront);
    // Places every subview; run by layout() and whenever the page needs layout.
    void layoutComposition();

    // Which view receives a mouse event at a point of the superview's coordinates.
    // modifiers: those of the event being routed (Alt reaches the map through everything).
    ViewNode* routeHit(const QPointF& pointInSuperview, Qt::KeyboardModifiers modifiers) const;
    ViewNode* routeHit(const QPointF& pointInSuperview) const;
    // An open in-place text editor answers here first (installed by the decoration
    // controller): given a point in canvas coordinates, the editor hit or none.
    std::function<ViewNode*(const QPointF&)> textEditorHit;
    // Runs once the page has been placed again, in itself or on screen (its elements laid out, a
    // zoom, a scroll, a new size of its host): an open in-place text editor follows.
    std::function<void()> onPlacementChange;

    void layout() override;
    ViewNode* hitTest(const QPointF& pointInSuperview) override;
    void draw(QPainter& painter, const QRectF& dirty) override;
    void scrollWheel(const ViewWheelEvent& e) override;
    void magnify(const ViewMagnifyEvent& e) override;

    QColor pageColor{255, 255, 255};

private:
    // Gives both legends the map block's scale, so that their symbols match the map's.
    void followBlockScale();
    void placeLegend(ThematicLegend* legend, const PlmPoint& position);
    void placeDecoration(DecorationObjectView* view, const QSizeF& page);
    void zoomRequest(double factor, const QPointF& windowLocation);

    VectorCanvas* m_vector = nullptr;
    ProportionalOverlay* m_symbols = nullptr;
    ProportionalOverlay* m_secondSymbols = nullptr;
    ThematicLegend* m_legend = nullptr;
    ThematicLegend* m_secondLegend = nullptr;
    CarteAlignmentGuidesView* m_guides = nullptr;
    CartePrintPageGuide* m_pageGuide = nullptr;

    // What the map's last fit was made from and where it put the map: a layout pass that
    // finds the same map, frame and viewport skips the walk over every entity's extent.
    struct FitInputs {
        PlmMap map;
        std::optional<PlmBackgroundImage> backgroundImage;
        QRectF bounds;
        PlmDecorationViewport viewport;
    };
    std::optional<FitInputs> m_lastFit;
};
