#include "page/LegendDrawing.h"

#include "page/DecorationGlyphs.h"
#include "page/DecorationText.h"
#include "page/LegendLayout.h"

#include <QPainter>

#include <cmath>
#include <numbers>

namespace {

// The platform's separator colour: a light translucent grey.
const QColor separatorColor(0, 0, 0, 26);

void rotateAboutCentre(QPainter& painter, const QSizeF& size, double degrees)
{
    const QPointF centre(size.width() / 2, size.height() / 2);
    painter.translate(centre);
    painter.rotate(degrees);  // y-up coordinates: positive turns counter-clockwise on the page
    painter.translate(-centre);
}

void drawSymbol(QPainter& painter, const LegendData& legend, const LegendLayout::Entry& entry, bool rasterizing)
{
    const ProportionalShape& shape = *legend.proportionalShape;
    const QPointF centre = entry.swatch.center();
    if (rasterizing)
        shape.drawAsBitmap(painter, centre, entry.size, legend.symbolColor);
    else
        shape.draw(painter, centre, entry.size, legend.symbolColor, 1);
}

} // namespace

void drawLegendContent(QPainter& painter, const LegendData& legend, bool rasterizing, bool selected,
                       const QColor& accent)
{
    drawLegendContent(painter, legend, LegendLayout(legend), rasterizing, selected, accent);
}

void drawLegendContent(QPainter& painter, const LegendData& legend, const LegendLayout& layout, bool rasterizing,
                       bool selected, const QColor& accent)
{
    const PlmPresentation text = LegendLayout::textPresentation(legend.presentation);
    const PlmEditingStyle s = text.effectiveEditingStyle();
    const QRectF bounds(QPointF(0, 0), legend.size);
    painter.save();
    painter.setOpacity(painter.opacity() * std::clamp(s.opacity, 0.0, 1.0));
    rotateAboutCentre(painter, legend.size, s.rotation);
    drawDecorationFrame(painter, text, std::nullopt, bounds);
    drawDecorationText(painter, LegendLayout::titleText(legend), layout.title,
                       textAttributes(LegendLayout::titlePresentation(legend.presentation)));
    const DecorationTextAttributes labelAttributes = textAttributes(text);
    for (const LegendLayout::Entry& entry : layout.entries) {
        const int i = entry.index;
        if (legend.proportionalShape) {
            drawSymbol(painter, legend, entry, rasterizing);
        } else {
            const PlmColor colour = i < legend.colors.size() ? legend.colors[i] : legend.missingColor;
            const QRectF box(entry.swatch.left(), entry.swatch.center().y() - s.swatchSize / 3, s.swatchSize,
                             2 * s.swatchSize / 3);
            painter.fillRect(box, decorationColor(colour));
            QPen pen(separatorColor);
            pen.setWidthF(1);
            painter.setPen(pen);
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box);
        }
        const QString label = i < legend.labels.size() ? legend.labels[i] : QStringLiteral("Sans donnée");
        drawDecorationText(painter, label, entry.text, labelAttributes);
    }
    if (legend.footer)
        drawDecorationText(painter, *legend.footer, layout.footer,
                           textAttributes(LegendLayout::footerPresentation(legend.presentation)));
    if (selected) {
        const double w = legend.size.width();
        const double h = legend.size.height();
        QPen pen(accent);
        pen.setWidthF(1);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(bounds.adjusted(1, 1, -1, -1));
        for (const QPointF& corner : {QPointF(0, 0), QPointF(w - 8, 0), QPointF(0, h - 8), QPointF(w - 8, h - 8)})
            painter.fillRect(QRectF(corner, QSizeF(8, 8)), accent);
        QPainterPath knob;
        knob.addEllipse(QRectF(w / 2 - 5, h - 10, 10, 10));
        painter.fillPath(knob, accent);
    }
    painter.restore();
}

QPointF legendUnrotatedPoint(const LegendData& legend, const QPointF& point)
{
    const double rotation = LegendLayout::textPresentation(legend.presentation).effectiveEditingStyle().rotation;
    const QPointF c(legend.size.width() / 2, legend.size.height() / 2);
    const double a = -rotation * std::numbers::pi / 180;
    const QPointF d = point - c;
    return {c.x() + d.x() * std::cos(a) - d.y() * std::sin(a), c.y() + d.x() * std::sin(a) + d.y() * std::cos(a)};
}
