#pragma once

#include "model/PlmColor.h"
#include "model/PlmPresentation.h"
#include "canvas/ProportionalShape.h"

#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// What a thematic legend shows: its texts, class colours or reference symbols, and its size.
// The legend views, the legend objects of the page and the exporters lay out and draw it.
struct LegendData {
    PlmPresentation presentation;
    QString title;  // the presentation's title, when present, wins
    QStringList labels;
    QList<PlmColor> colors;
    PlmColor missingColor{0.78, 0.78, 0.78, 1};
    bool showsMissing = true;
    // Present: a symbol legend, one reference size per label.
    std::shared_ptr<const ProportionalShape> proportionalShape;
    QList<double> referenceSizes;
    // The map block's scale: the reference symbols are drawn, and laid out, at their sizes
    // times it, as the map draws its own symbols; the sizes themselves stay as stored.
    double symbolScale = 1;
    PlmColor symbolColor{0.8, 0.18, 0.16, 0.85};
    std::optional<QString> footer;
    QSizeF size;  // the legend's bounds, points
};
