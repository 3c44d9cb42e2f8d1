#pragma once

#include "model/PlmColor.h"
#include "canvas/ProportionalShape.h"

#include <QColor>
#include <QHash>
#include <QImage>
#include <QTransform>
#include <QList>
#include <QPainterPath>

#include <memory>
#include <optional>

class QPainter;

// A proportional shape prepared for one colour and drawn many times: its parts' fills and
// strokes are worked out once, and each symbol is placed by the painter's transform rather
// than by copying and mapping its paths. Draws what ProportionalShape::draw draws.
class ProportionalShapeStamp {
public:
    ProportionalShapeStamp() = default;
    ProportionalShapeStamp(std::shared_ptr<const ProportionalShape> shape, const PlmColor& color);

    bool isValid() const { return bool(m_shape); }
    const std::shared_ptr<const ProportionalShape>& shape() const { return m_shape; }
    const PlmColor& color() const { return m_color; }

    // Draws the shape centred on a point at a size, like ProportionalShape::draw with outline
    // scale 1. The painter's transform is restored afterwards.
    void draw(QPainter& painter, const QPointF& center, double size) const;

    // Starts drawing many symbols into a painter: on a raster device under a uniform,
    // unrotated transform, small symbols are then stamped from bitmaps rendered once per
    // size (to a quarter pixel) and half-pixel position, which is what makes tens of
    // thousands of symbols cheap. Other devices (PDF, SVG) keep the vector drawing.
    // While a batch runs the painter's world transform may be left in device pixels between
    // stamps; endBatch gives the painter its transform back.
    void beginBatch(const QPainter& painter) const;
    void endBatch(QPainter& painter) const;
    // Whether the running batch stamps bitmaps (a raster device under a suitable transform).
    bool stampsBitmaps() const { return m_batch.has_value(); }
    // How far (points) a symbol of a size reaches from its centre, strokes included.
    double reach(double size) const;

private:
    void drawVector(QPainter& painter, const QPointF& center, double size) const;
    bool drawSprite(QPainter& painter, const QPointF& center, double size) const;

    struct Batch {
        QTransform device;  // the painter's device transform at the start
        QTransform world;   // and its world transform
        QTransform pixels;  // the world transform that makes world units device pixels
        double scale = 1;   // device pixels per unit
        double ratio = 1;   // the device's pixel ratio
        QHash<quint64, QImage> sprites;
        qsizetype bytes = 0;
    };
    mutable std::optional<Batch> m_batch;

    struct Part {
        const ProportionalShape::Part* source = nullptr;
        std::optional<QColor> fill;
        QColor stroke;
        bool strokes = false;
        // Width in shape units when it scales with the symbol, else in points.
        double width = 0;
        bool absoluteWidth = false;
        Qt::PenCapStyle cap = Qt::FlatCap;
        Qt::PenJoinStyle join = Qt::MiterJoin;
        QList<qreal> dash;  // shape units
    };

    std::shared_ptr<const ProportionalShape> m_shape;
    PlmColor m_color;
    QList<Part> m_parts;
    double m_side = 0;
    QPointF m_mid;
    double m_absoluteStroke = 0;
};
