#include "decorations/DecorationObjectView.h"

#include "decorations/DecorationDrawing.h"

#include <QPainter>

DecorationObjectView::DecorationObjectView(const PlmDecorationObject& object) : object(object)
{
    // Shadows and rotated objects reach outside the frame.
    setClipsToBounds(false);
}

void DecorationObjectView::syncLegendCopy()
{
    if (object.kind != PlmDecorationKind::legend || !legendSource) {
        legendCopy.reset();
        return;
    }
    if (const std::optional<LegendData> source = legendSource())
        legendCopy = decorationLegendCopy(object, *source, bounds().size());
    else
        legendCopy.reset();
}

bool DecorationObjectView::containsHit(const QPointF& point) const { return bounds().contains(point); }

double DecorationObjectView::rotation() const { return object.presentation.effectiveEditingStyle().rotation; }

void DecorationObjectView::draw(QPainter& painter, const QRectF&) { drawObject(painter, false); }

void DecorationObjectView::drawObject(QPainter& painter, bool exporting) const
{
    DecorationDrawingContext context;
    context.exporting = exporting;
    context.selected = selected && !exporting;
    context.legend = legendCopy;
    context.accent = accentColor;
    drawDecorationObject(painter, object, bounds().size(), context);
}
