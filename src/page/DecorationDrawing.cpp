#include "page/DecorationDrawing.h"

#include "canvas/VectorCanvas.h"
#include "page/DecorationGlyphs.h"
#include "page/DecorationText.h"
#include "page/LegendDrawing.h"
#include "model/PlmFrenchNumber.h"
#include "model/PlmSpatialDecoration.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

// An element turns about the centre of its bounds.
QTransform turnAboutCentre(const QSizeF& size, double degrees)
{
    const QPointF centre(size.width() / 2, size.height() / 2);
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(degrees);
    turn.translate(-centre.x(), -centre.y());
    return turn;
}

void rotateAboutCentre(QPainter& painter, const QSizeF& size, double degrees)
{
    painter.setTransform(turnAboutCentre(size, degrees), true);
}

// Only an editing style paints a text's background over its content box, besides the frame's fill.
bool fillsTextBackground(const PlmPresentation& presentation, const PlmEditingStyle& style)
{
    return presentation.editing && !style.noFill;
}

// Draws an image upright into a y-up rectangle.
void drawImageUpright(QPainter& painter, const QImage& image, const QRectF& rect)
{
    painter.save();
    painter.translate(rect.left(), rect.top() + rect.height());
    painter.scale(1, -1);
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(QRectF(0, 0, rect.width(), rect.height()), image);
    painter.restore();
}

} // namespace

QRectF decorationContentBox(const QRectF& bounds, const PlmEditingStyle& style)
{
    return bounds.adjusted(style.padding, style.padding, -style.padding, -style.padding);
}

QImage decodeDecorationBitmap(const QByteArray& data, qint64 maxPixels)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize size = reader.size();
    if (!size.isValid() || qint64(size.width()) * size.height() > maxPixels)
        return {};
    reader.setAutoTransform(true);
    return reader.read();
}

namespace {

void drawScale(QPainter& painter, const PlmDecorationObject& object, const QRectF& bounds, const QRectF& content,
               const DecorationDrawingContext& context, const PlmEditingStyle& style)
{
    const PlmPresentation& p = object.presentation;
    if (!context.scaleMeters) {
        drawDecorationText(painter, QStringLiteral("Échelle indisponible à ce cadrage"), content, textAttributes(p));
        return;
    }
    drawDecorationText(painter, scaleBarLabel(*context.scaleMeters, style.scaleUnit),
                       QRectF(10, 30, bounds.width() - 20, bounds.height() - 30), textAttributes(p));
    for (const ScaleBarPiece& piece : scaleBarPath(style.scaleStyle, bounds))
        strokeDecorationPath(painter, piece.path, piece.filled ? std::optional<PlmColor>(p.color) : std::nullopt, p);
    if (context.scaleLatitude) {
        PlmPresentation small = p;
        small.fontSize = 10;
        drawDecorationText(painter,
                           QStringLiteral("Locale à ") + formatFrenchNumber(*context.scaleLatitude, 3) + QStringLiteral("°"),
                           QRectF(10, 2, bounds.width() - 20, 16), textAttributes(small));
    }
}

void drawNorth(QPainter& painter, const PlmDecorationObject& object, const QRectF& bounds, const QRectF& content,
               const DecorationDrawingContext& context, const PlmEditingStyle& style)
{
    const PlmPresentation& p = object.presentation;
    if (!context.northDetermined) {
        drawDecorationText(painter, QStringLiteral("Nord indéterminé"), content, textAttributes(p));
        return;
    }
    strokeDecorationPath(painter, northArrowPath(style.northStyle, bounds), p.color, p);
    PlmPresentation centred = p;
    centred.alignment = PlmTextAlignment::center;
    drawDecorationText(painter, QStringLiteral("N"), QRectF(0, bounds.height() - 25, bounds.width(), 25),
                       textAttributes(centred));
}

void drawSymbol(QPainter& painter, const PlmDecorationObject& object, const QRectF& content, bool exporting)
{
    const ProportionalShape shape(*object.symbol, false);
    const double side = std::min(content.width(), content.height());
    if (!(side > 0))
        return;
    const PlmColor& colour = object.presentation.color;
    if (exporting)
        shape.drawAsBitmap(painter, content.center(), side, colour);
    else
        shape.draw(painter, content.center(), side, colour, 1);
}

} // namespace

void drawDecorationSelection(QPainter& painter, PlmDecorationKind kind, const QSizeF& bounds, const QColor& accent)
{
    const double w = bounds.width();
    const double h = bounds.height();
    QPen pen(accent);
    pen.setWidthF(1);
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(1, 1, w - 2, h - 2));
    if (kind != PlmDecorationKind::scale) {
        QPainterPath knob;
        knob.addEllipse(QRectF(w / 2 - 5, h - 10, 10, 10));
        painter.fillPath(knob, accent);
    }
    for (const QPointF& corner : {QPointF(0, 0), QPointF(w - 9, 0), QPointF(0, h - 9), QPointF(w - 9, h - 9)})
        painter.fillRect(QRectF(corner, QSizeF(9, 9)), accent);
    painter.restore();
}

void drawDecorationObject(QPainter& painter, const PlmDecorationObject& object, const QSizeF& size,
                          const DecorationDrawingContext& context)
{
    const PlmPresentation& p = object.presentation;
    const PlmEditingStyle style = p.effectiveEditingStyle();
    if (object.kind == PlmDecorationKind::legend && context.legend) {
        drawLegendContent(painter, *context.legend, context.exporting, false, context.accent);
        if (context.selected) {
            painter.save();
            rotateAboutCentre(painter, size, style.rotation);
            drawDecorationSelection(painter, object.kind, size, context.accent);
            painter.restore();
        }
        return;
    }
    const QRectF bounds(QPointF(0, 0), size);
    painter.save();
    painter.setOpacity(painter.opacity() * std::clamp(style.opacity, 0.0, 1.0));
    rotateAboutCentre(painter, size, style.rotation);
    drawDecorationFrame(painter, p, object.kind, bounds);
    const QRectF content = decorationContentBox(bounds, style);

    if (isText(object.kind)) {
        if (fillsTextBackground(p, style))
            painter.fillRect(content, decorationColor(p.background));
        drawDecorationText(painter, object.text, content, textAttributes(p));
    } else if (auto shape = decorationShapePath(object.kind, p, content)) {
        const bool open = object.kind == PlmDecorationKind::line || object.kind == PlmDecorationKind::arrow;
        strokeDecorationPath(painter, *shape,
                             style.noFill || open ? std::nullopt : std::optional<PlmColor>(p.background), p);
    } else {
        QImage image;
        if (object.kind == PlmDecorationKind::image && object.bitmap)
            image = context.image ? *context.image : decodeDecorationBitmap(*object.bitmap);
        if (!image.isNull() && content.width() > 0 && content.height() > 0) {
            const double s = std::min(content.width() / image.width(), content.height() / image.height());
            const QSizeF fitted(image.width() * s, image.height() * s);
            const QPointF c = content.center();
            drawImageUpright(painter, image,
                             QRectF(c.x() - fitted.width() / 2, c.y() - fitted.height() / 2, fitted.width(),
                                    fitted.height()));
        } else if (object.symbol) {
            drawSymbol(painter, object, content, context.exporting);
        } else if (object.kind == PlmDecorationKind::scale) {
            drawScale(painter, object, bounds, content, context, style);
        } else if (object.kind == PlmDecorationKind::north) {
            drawNorth(painter, object, bounds, content, context, style);
        }
    }
    if (context.selected)
        drawDecorationSelection(painter, object.kind, size, context.accent);
    painter.restore();
}

std::optional<QRectF> decorationDrawnRect(const PlmDecorationObject& object, const QSizeF& size)
{
    if (!isText(object.kind))
        return std::nullopt;
    // The text kinds' drawing above, piece by piece.
    const PlmPresentation& p = object.presentation;
    const PlmEditingStyle style = p.effectiveEditingStyle();
    if (!(style.opacity > 0)) // drawn wholly transparent
        return QRectF();
    const QRectF bounds(QPointF(0, 0), size);
    const QRectF content = decorationContentBox(bounds, style);
    QRectF drawn = decorationFrameDrawnRect(p, object.kind, bounds);
    if (fillsTextBackground(p, style) && decorationColorShowsOnWhite(p.background))
        drawn |= content;
    drawn |= decorationTextDrawnRect(object.text, content, textAttributes(p));
    if (drawn.isNull())
        return QRectF();
    return turnAboutCentre(size, style.rotation).mapRect(drawn);
}

LegendData decorationLegendCopy(const PlmDecorationObject& object, const LegendData& source, const QSizeF& bounds)
{
    LegendData copy = source;
    copy.size = bounds;
    copy.presentation = object.presentation;
    if (object.presentation.legendFitsContent == false)
        copy.presentation.height = object.height;
    return copy;
}

std::optional<double> measureDecorationScale(const VectorCanvas& vector, const QRectF& frame,
                                             const QSizeF& visibleSize)
{
    const double y = frame.top() + 25;  // QRectF::top() is the smallest y: the bottom in y-up
    const QPointF left = vector.mapPoint(QPointF(frame.left() + 10, y));
    const QPointF right = vector.mapPoint(QPointF(frame.right() - 10, y));
    const QPointF origin = vector.mapPoint(QPointF(0, 0));
    const QPointF corner = vector.mapPoint(QPointF(visibleSize.width(), visibleSize.height()));
    const PlmPoint extent{std::abs(corner.x() - origin.x()), std::abs(corner.y() - origin.y())};
    return PlmSpatialDecoration::groundDistance(vector.map(), PlmPoint{left.x(), left.y()},
                                                PlmPoint{right.x(), right.y()}, extent);
}

double decorationScaleLatitude(const VectorCanvas& vector, const QRectF& frame)
{
    return vector.mapPoint(QPointF(frame.center().x(), frame.top() + 25)).y();
}

DecorationDrawingContext decorationContext(const PlmDecorationObject& object, const VectorCanvas* vector,
                                           const QRectF& frame, const QSizeF& visibleSize)
{
    DecorationDrawingContext context;
    if (!vector)
        return context;
    if (object.kind == PlmDecorationKind::scale) {
        context.scaleMeters = measureDecorationScale(*vector, frame, visibleSize);
        context.scaleLatitude = decorationScaleLatitude(*vector, frame);
    } else if (object.kind == PlmDecorationKind::north) {
        context.northDetermined = PlmSpatialDecoration::isGeographic(vector->map());
    }
    return context;
}
