#pragma once

#include "model/PlmColor.h"

#include <QList>
#include <optional>

// How an entity is drawn. Line caps: 0 butt, 1 round, 2 square; line joins: 0 miter,
// 1 round, 2 bevel; an absent cap or join draws as 0.
struct PlmStyle {
    PlmColor stroke;
    std::optional<PlmColor> fill;
    double lineWidth = 1;
    double pointRadius = 3;
    std::optional<QList<double>> dash;
    std::optional<int> lineCap;
    std::optional<int> lineJoin;

    PlmStyle() = default;
    PlmStyle(const PlmColor& stroke, const std::optional<PlmColor>& fill, double lineWidth,
             double pointRadius)
        : stroke(stroke)
        , fill(fill)
        , lineWidth(lineWidth)
        , pointRadius(pointRadius)
    {
    }

    bool operator==(const PlmStyle&) const = default;

    static PlmStyle fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
