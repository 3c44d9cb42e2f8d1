#include "model/PlmPaletteRamps.h"
#include "model/PlmThematicSettings.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PlmColor rgb(std::uint32_t hex)
{
    return PlmColor{double((hex >> 16) & 0xFF) / 255.0, double((hex >> 8) & 0xFF) / 255.0,
                    double(hex & 0xFF) / 255.0, 1.0};
}

void expectColor(const PlmColor& got, const PlmColor& want)
{
    EXPECT_NEAR(got.red, want.red, 1e-12);
    EXPECT_NEAR(got.green, want.green, 1e-12);
    EXPECT_NEAR(got.blue, want.blue, 1e-12);
    EXPECT_EQ(got.alpha, want.alpha);
}

TEST(PlmPaletteRamps, EveryPaletteHasItsPublishedEndStops)
{
    const std::pair<PlmPalette, std::pair<std::uint32_t, std::uint32_t>> ends[] = {
        {PlmPalette::blues, {0xF7FBFF, 0x08306B}},        {PlmPalette::greens, {0xF7FCF5, 0x00441B}},
        {PlmPalette::redBlue, {0xB2182B, 0x2166AC}},      {PlmPalette::brownGreen, {0x8C510A, 0x01665E}},
        {PlmPalette::oranges, {0xFFF5EB, 0x7F2704}},      {PlmPalette::purples, {0xFCFBFD, 0x3F007D}},
        {PlmPalette::grays, {0xFFFFFF, 0x000000}},        {PlmPalette::teal, {0xF7FCF0, 0x084081}},
        {PlmPalette::purpleOrange, {0x542788, 0xB35806}},
    };
    for (const auto& [palette, stops] : ends) {
        EXPECT_EQ(paletteStops(palette).front(), stops.first) << rawValue(palette).toStdString();
        EXPECT_EQ(paletteStops(palette).back(), stops.second) << rawValue(palette).toStdString();
    }
    // Diverging ramps are light in the middle.
    EXPECT_EQ(paletteStops(PlmPalette::redBlue)[4], 0xF7F7F7u);
    EXPECT_EQ(paletteStops(PlmPalette::brownGreen)[4], 0xF5F5F5u);
}

TEST(PlmPaletteRamps, SamplingPicksStopsEvenly)
{
    const auto& blues = paletteStops(PlmPalette::blues);
    const QList<PlmColor> five = colors(PlmPalette::blues, 5, false);
    ASSERT_EQ(five.size(), 5);
    for (int i = 0; i < 5; ++i)
        expectColor(five[i], rgb(blues[std::size_t(2 * i)]));

    const QList<PlmColor> nine = colors(PlmPalette::teal, 9, false);
    for (int i = 0; i < 9; ++i)
        expectColor(nine[i], rgb(paletteStops(PlmPalette::teal)[std::size_t(i)]));

    // Four classes: t = 8/3 lies two thirds of the way from stop 2 to stop 3.
    const QList<PlmColor> four = colors(PlmPalette::blues, 4, false);
    const PlmColor a = rgb(blues[2]);
    const PlmColor b = rgb(blues[3]);
    const double f = 8.0 / 3.0 - 2.0;
    expectColor(four[1], PlmColor{(1 - f) * a.red + f * b.red, (1 - f) * a.green + f * b.green,
                                  (1 - f) * a.blue + f * b.blue, 1});
    expectColor(four[3], rgb(blues[8]));
}

TEST(PlmPaletteRamps, OneClassTakesTheMiddleStopAndInversionReverses)
{
    for (bool inverted : {false, true}) {
        const QList<PlmColor> one = colors(PlmPalette::greens, 1, inverted);
        ASSERT_EQ(one.size(), 1);
        expectColor(one[0], rgb(paletteStops(PlmPalette::greens)[4]));
    }
    const QList<PlmColor> three = colors(PlmPalette::redBlue, 3, true);
    ASSERT_EQ(three.size(), 3);
    expectColor(three[0], rgb(0x2166AC));
    expectColor(three[1], rgb(0xF7F7F7));
    expectColor(three[2], rgb(0xB2182B));
    EXPECT_TRUE(colors(PlmPalette::blues, 0, false).isEmpty());
    EXPECT_TRUE(colors(PlmPalette::blues, -3, true).isEmpty());
}

TEST(PlmPaletteRamps, OverridesReplaceOnlyTheirOwnClass)
{
    PlmThematicSettings settings;
    settings.palette = PlmPalette::oranges;
    const PlmColor red{1, 0, 0, 1};
    settings.classColorOverrides = QMap<QString, PlmColor>{{"class:1", red}, {"class:7", PlmColor{0, 1, 0, 1}}};
    const QStringList keys{"class:0", "class:1", "class:2"};
    const QList<PlmColor> got = classColors(settings, keys);
    const QList<PlmColor> ramp = colors(PlmPalette::oranges, 3, false);
    ASSERT_EQ(got.size(), 3);
    expectColor(got[0], ramp[0]);
    EXPECT_EQ(got[1], red);
    expectColor(got[2], ramp[2]);

    settings.inverted = true;
    const QList<PlmColor> inverted = classColors(settings, keys);
    expectColor(inverted[0], ramp[2]);
    EXPECT_EQ(inverted[1], red);
}

} // namespace
