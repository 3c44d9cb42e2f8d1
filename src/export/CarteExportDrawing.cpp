#include "export/CarteExportDrawing.h"

#include "export/CarteExportComposition.h"
#include "desktop/ViewNode.h"

#include <QPainter>

namespace {

// Restores the painter on every way out, errors included.
struct PainterState {
    QPainter& painter;
    explicit PainterState(QPainter& p)
        : painter(p)
    {
        painter.save();
    }
    ~PainterState() { painter.restore(); }
};

} // namespace

void drawExportViewTree(QPainter& painter, ViewNode& view, ViewNode& root, const CarteExportComposition& composition,
                        bool skipRootDrawing, const CarteExportViewDrawing& drawing)
{
    using Role = CarteExportComposition::ViewRole;
    if (view.isHidden())
        return;
    const Role role = composition.role(view);
    if (role == Role::pageGuide || role == Role::textEditor)
        return;
    PainterState state(painter);
    const QRectF bounds = view.bounds();
    if (&view != &root) {
        painter.translate(view.frame().topLeft() - bounds.topLeft());
        if (role != Role::decoration && role != Role::legend)
            painter.setClipRect(bounds, Qt::IntersectClip);
    }
    const bool drawnAlready = drawing && drawing(view, painter);
    if (!drawnAlready && !(&view == &root && skipRootDrawing))
        view.draw(painter, bounds);
    for (ViewNode* child : view.subviews())
        drawExportViewTree(painter, *child, root, composition, skipRootDrawing, drawing);
}
