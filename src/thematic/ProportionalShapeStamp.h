#pragma once

#include "model/PlmColor.h"
#include "thematic/ProportionalShape.h"

#include <QColor>
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
    // How far (points) a symbol of a size reaches from its centre, strokes included.
    double reach(double size) const;

private:
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
