#include "export/PlmExportSize.h"
#include "model/PlmErrors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <variant>

namespace {

const QString dimensions = QStringLiteral("Dimensions attendues entre 10 et 2 000 mm.");
const QString margins = QStringLiteral("Les marges doivent laisser une surface imprimable.");
const QString resolution = QStringLiteral("Saisissez une résolution positive en dpi.");
const QString pixels = QStringLiteral(
    "Image trop petite ou trop grande (maximum 64 millions de pixels). Ajustez les dimensions ou la résolution.");
constexpr double nan = std::numeric_limits<double>::quiet_NaN();
constexpr double inf = std::numeric_limits<double>::infinity();

PlmExportSize page(double w, double h, double m = 10)
{
    PlmExportSize s;
    s.width = w;
    s.height = h;
    s.margin = m;
    return s;
}

// The pixel size, or the message of the refusal.
std::variant<PlmExportSize::PixelSize, QString> pixelsOf(const PlmExportSize& s, double dpi)
{
    try {
        return s.pixelSize(dpi);
    } catch (const PlmWorkError& e) {
        return e.message();
    }
}

struct PixelCase {
    const char* name;
    PlmExportSize size;
    double dpi;
    std::variant<PlmExportSize::PixelSize, QString> expected;
};

TEST(PlmExportSize, PixelSizesAndTheirRefusals)
{
    const PixelCase cases[] = {
        {"A4 at 300 dpi rounds each side", page(210, 297), 300, PlmExportSize::PixelSize{2480, 3508}},
        {"sides of exactly 10 and 2000 mm pass", page(10, 2000, 0), 25.4, PlmExportSize::PixelSize{10, 2000}},
        {"2 m square at 300 dpi exceeds 64 Mpx", page(2000, 2000), 300, pixels},
        {"2 m square at 100 dpi stays below", page(2000, 2000), 100, PlmExportSize::PixelSize{7874, 7874}},
        {"a 10 mm page at 1 dpi has no pixel", page(10, 10, 0), 1, pixels},
        {"width 9.999", page(9.999, 297), 300, dimensions},
        {"height 2000.001", page(210, 2000.001), 300, dimensions},
        {"NaN width", page(nan, 297), 300, dimensions},
        {"infinite height", page(210, inf), 300, dimensions},
        {"negative margin", page(210, 297, -1), 300, margins},
        {"margins meeting on the short side", page(20, 30, 10), 300, margins},
        {"margins just below half the short side", page(20, 30, 9.99), 300, PlmExportSize::PixelSize{236, 354}},
        {"NaN margin", page(210, 297, nan), 300, margins},
        {"dpi 0", page(210, 297), 0, resolution},
        {"dpi -300", page(210, 297), -300, resolution},
        {"dpi NaN", page(210, 297), nan, resolution},
        {"dpi infinite", page(210, 297), inf, resolution},
        {"a page error wins over a dpi error", page(5, 297), 0, dimensions},
        {"a margin error wins over a dpi error", page(210, 297, -0.5), nan, margins},
    };
    for (const PixelCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = pixelsOf(c.size, c.dpi);
        EXPECT_EQ(result, c.expected);
        // validate() alone agrees with the page part of every row.
        bool pageValid = true;
        try {
            c.size.validate();
        } catch (const PlmWorkError&) {
            pageValid = false;
        }
        const bool pageRefused = std::holds_alternative<QString>(c.expected)
            && (std::get<QString>(c.expected) == dimensions || std::get<QString>(c.expected) == margins);
        EXPECT_EQ(pageValid, !pageRefused);
    }
}

TEST(PlmExportSize, PlacementByRule)
{
    // Fit: a 1000 × 500 composition on A4 portrait with a 10 mm margin is limited by the width
    // and centred on the page.
    const PlmExportSize a4 = page(210, 297);
    const PlmExportSize::Placement fit = a4.placement(1000, 500);
    EXPECT_DOUBLE_EQ(fit.scale, 0.538582677165354);
    EXPECT_NEAR(fit.offsetX, 28.3464566929134, 1e-9);
    EXPECT_NEAR(fit.offsetY, (841.889763779528 - 500 * fit.scale) / 2, 1e-9);

    PlmExportSize actual = a4;
    actual.actualSize = true;
    const PlmExportSize::Placement centred = actual.placement(100, 200);
    EXPECT_EQ(centred.scale, 1);
    EXPECT_NEAR(centred.offsetX, (595.275590551181 - 100) / 2, 1e-9);
    EXPECT_NEAR(centred.offsetY, (841.889763779528 - 200) / 2, 1e-9);

    // An origin wins over the actual size and the margin.
    PlmExportSize origin = actual;
    origin.margin = 50;
    origin.compositionOrigin = QPointF(100, 50);
    const PlmExportSize::Placement cut = origin.placement(1000, 500);
    EXPECT_EQ(cut.scale, 1);
    EXPECT_EQ(cut.offsetX, -100);
    EXPECT_EQ(cut.offsetY, -50);

    // A composition of zero height: sy is infinite, the width decides.
    EXPECT_DOUBLE_EQ(a4.placement(1000, 0).scale, fit.scale);
}

TEST(PlmExportSize, EqualityTreatsNaNAsUnequalAndComparesTheOrigin)
{
    PlmExportSize a = page(210, 297);
    EXPECT_EQ(a, page(210, 297));
    PlmExportSize b = a;
    b.compositionOrigin = QPointF(0, 0);
    EXPECT_NE(a, b);
    a.compositionOrigin = QPointF(0, 0);
    EXPECT_EQ(a, b);
    const PlmExportSize n = page(nan, 297);
    EXPECT_FALSE(n == n);
}

} // namespace
