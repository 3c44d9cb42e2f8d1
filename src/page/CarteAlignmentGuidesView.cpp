#include "page/CarteAlignmentGuidesView.h"

#include "page/CarteAlignmentGuides.h"
#include "page/DecorationObjectView.h"
#include "page/ThematicCanvas.h"

CarteAlignmentGuidesView::CarteAlignmentGuidesView(ThematicCanvas* canvas) : canvas(canvas) {}

ViewNode* CarteAlignmentGuidesView::hitTest(const QPointF&) { return nullptr; }

void CarteAlignmentGuidesView::draw(QPainter& painter, const QRectF&)
{
    if (!canvas)
        return;
    QList<QRectF> frames;
    for (const DecorationObjectView* view : canvas->decorationViews())
        if (view->selected)
            frames.append(view->frame());
    if (frames.isEmpty())
        return;
    CarteAlignmentGuides::compute(bounds(), frames).draw(painter, accentColor);
}
