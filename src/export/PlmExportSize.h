#pragma once

#include <QPointF>

#include <optional>

// The page an export of the composition is drawn onto: paper and margin in millimetres and
// the rule that places the composition (in points) on it. One millimetre is 72 / 25.4 points,
// always computed as mm × 72 / 25.4 so that every writer gets the same bits.
struct PlmExportSize {
    double width = 210;
    double height = 297;
    double margin = 10;
    // One composition point is one printed point, centred on the page.
    bool actualSize = false;
    // The composition point that lands on the page's lower-left corner (scale 1).
    std::optional<QPointF> compositionOrigin;

    // Floating-point comparison of the sizes: a NaN never equals itself.
    bool operator==(const PlmExportSize& other) const;

    struct PixelSize {
        int width = 0;
        int height = 0;
        bool operator==(const PixelSize&) const = default;
    };
    struct Placement {
        double scale = 1;
        double offsetX = 0;
        double offsetY = 0;
    };

    static double points(double millimetres) { return millimetres * 72.0 / 25.4; }
    double pageWidthPoints() const { return points(width); }
    double pageHeightPoints() const { return points(height); }

    // Throws PlmWorkError: paper within 10…2000 mm, a margin that leaves a printable area.
    void validate() const;
    // The image size at a resolution; throws PlmWorkError for a bad page, resolution or a
    // pixel count beyond the limits.
    PixelSize pixelSize(double dpi) const;
    // Where the composition of that size lands on the page, in page points: a composition
    // point p goes to offset + scale × p.
    Placement placement(double compositionWidth, double compositionHeight) const;

    static constexpr double maximumPixels = 64'000'000;
    static constexpr int maximumSide = 32768;
};
