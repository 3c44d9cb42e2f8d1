#pragma once

#include "page/LegendData.h"

#include <QColor>
#include <QPointF>

class QPainter;
struct LegendLayout;

// Draws a legend in its own y-up bounds (0, 0, size): faded and rotated by its style, its
// box, title, swatches or symbols, labels and footer, then the selection marks when asked.
// `rasterizing` asks for symbol glyphs as bitmaps (the exports); a glyph that cannot be
// rasterised is drawn as vectors.
void drawLegendContent(QPainter& painter, const LegendData& legend, bool rasterizing, bool selected,
                       const QColor& accent);
// The same with the legend's layout measured beforehand (a view keeps it between draws).
void drawLegendContent(QPainter& painter, const LegendData& legend, const LegendLayout& layout, bool rasterizing,
                       bool selected, const QColor& accent);

// A point of the legend's view mapped into its unrotated frame.
QPointF legendUnrotatedPoint(const LegendData& legend, const QPointF& point);
