#pragma once

#include "model/PlmPrintPage.h"
#include "desktop/ViewNode.h"

#include <QColor>
#include <QString>

#include <optional>

class ThematicCanvas;

// The print page over the layout page: its outline, the dashed margin line and a caption
// above it. The user drags the page by its border band; the canvas follows live and its
// onPrintPageChange hears the final page. Its frame is the canvas bounds, so its coordinates
// are the canvas's; it does not clip (the caption stands above the page).
class CartePrintPageGuide : public ViewNode {
public:
    explicit CartePrintPageGuide(ThematicCanvas* canvas = nullptr);

    // Not owned: the canvas owns the guide.
    ThematicCanvas* canvas = nullptr;
    std::optional<PlmPrintPage> initial;
    QPointF start;

    // "210 × 297 mm · marges 10.0 mm": whole millimetres, margin to one decimal, full stop.
    static QString caption(const PlmPrintPage& page);
    // Whether a point of the canvas lies in the band 6 view units either side of the
    // page outline (none while exporting, without a visible page).
    bool borderContains(const QPointF& canvasPoint) const;

    void draw(QPainter& painter, const QRectF& dirty) override;
    void mouseDown(const ViewMouseEvent& e) override;
    void mouseDragged(const ViewMouseEvent& e) override;
    void mouseUp(const ViewMouseEvent& e) override;

    // The page shown, when there is one to show: the page the person sees and places the
    // map in.
    std::optional<PlmPrintPage> shownPage() const;

    QColor accentColor{0, 122, 255};
    QColor labelColor{0, 0, 0, 217};
};
