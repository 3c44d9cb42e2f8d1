#include "export/PlmExportSize.h"

#include "model/PlmErrors.h"

#include <cmath>

namespace {

bool validSide(double mm) { return std::isfinite(mm) && mm >= 10 && mm <= 2000; }

[[noreturn]] void fail(const char* message) { throw PlmWorkError::invalid(QString::fromUtf8(message)); }

} // namespace

bool PlmExportSize::operator==(const PlmExportSize& other) const
{
    if (!(width == other.width && height == other.height && margin == other.margin && actualSize == other.actualSize))
        return false;
    if (compositionOrigin.has_value() != other.compositionOrigin.has_value())
        return false;
    return !compositionOrigin
        || (compositionOrigin->x() == other.compositionOrigin->x()
            && compositionOrigin->y() == other.compositionOrigin->y());
}

void PlmExportSize::validate() const
{
    if (!validSide(width) || !validSide(height))
        fail("Dimensions attendues entre 10 et 2 000 mm.");
    if (!std::isfinite(margin) || margin < 0 || !(2 * margin < std::min(width, height)))
        fail("Les marges doivent laisser une surface imprimable.");
}

PlmExportSize::PixelSize PlmExportSize::pixelSize(double dpi) const
{
    validate();
    if (!std::isfinite(dpi) || !(dpi > 0))
        fail("Saisissez une résolution positive en dpi.");
    // std::round takes halves away from zero.
    const double w = std::round(dpi * width / 25.4);
    const double h = std::round(dpi * height / 25.4);
    if (!std::isfinite(w) || !std::isfinite(h) || w < 1 || h < 1 || w > maximumSide || h > maximumSide
        || w * h > maximumPixels)
        fail("Image trop petite ou trop grande (maximum 64 millions de pixels). Ajustez les dimensions ou la "
             "résolution.");
    return {int(w), int(h)};
}

PlmExportSize::Placement PlmExportSize::placement(double compositionWidth, double compositionHeight) const
{
    const double pageW = pageWidthPoints();
    const double pageH = pageHeightPoints();
    if (compositionOrigin)
        return {1, -compositionOrigin->x(), -compositionOrigin->y()};
    if (actualSize)
        return {1, (pageW - compositionWidth) * 0.5, (pageH - compositionHeight) * 0.5};
    const double m2 = 2 * points(margin);
    const double sx = (pageW - m2) / compositionWidth;
    const double sy = (pageH - m2) / compositionHeight;
    const double scale = sy < sx ? sy : sx;
    return {scale, (pageW - compositionWidth * scale) * 0.5, (pageH - compositionHeight * scale) * 0.5};
}
