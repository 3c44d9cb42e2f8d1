#pragma once

#include "page/LegendData.h"

#include <QList>
#include <QRectF>
#include <QStringList>

// Geometry of a thematic legend: its natural width, its content measured for a width, and
// the rectangles of its title, footer and rows in its y-up bounds (x, y the lower-left
// corner). Texts are placed by the ink of their glyphs, so the paddings space visible
// letters.
struct LegendLayout {
    struct TextMetrics {
        double height = 0;         // of the ink
        double drawingHeight = 0;  // of the laid-out box, whole points
        double topInset = 0;       // from the top of the box down to the ink
    };

    struct Content {
        QStringList labels;
        QList<TextMetrics> metrics;
        TextMetrics heading;
        TextMetrics foot;
        double pad = 6;
        double cell = 1;
        double labelWidth = 1;
        double rowHeight = 0;
        double rowGap = 6;
        int rows = 1;
        double height = 0;

        Content(const LegendData& legend, double width);
    };

    struct Entry {
        int index = 0;
        QRectF swatch;
        QRectF text;
        double size = 0;
    };

    QRectF title;
    QRectF footer;
    QList<Entry> entries;

    // The layout for the legend's current size.
    explicit LegendLayout(const LegendData& legend);

    static TextMetrics measure(const QString& text, const PlmPresentation& presentation, double width);
    static double preferredWidth(const LegendData& legend);

    // Labels are drawn in the text presentation: an exact 0.12 grey becomes black.
    static PlmPresentation textPresentation(const PlmPresentation& presentation);
    static PlmPresentation titlePresentation(const PlmPresentation& presentation);
    static PlmPresentation footerPresentation(const PlmPresentation& presentation);
    static QString titleText(const LegendData& legend);
    // The labels, with "Sans donnée" for a class legend that shows missing values.
    static QStringList entryLabels(const LegendData& legend);
    static int columnCount(const LegendData& legend);
    // Width of the swatch column: the largest symbol of a symbol legend.
    static double cellWidth(const LegendData& legend);
    // The reference sizes as the legend draws them: at the map block's scale.
    static QList<double> drawnSizes(const LegendData& legend);
};
