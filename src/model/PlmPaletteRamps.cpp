#include "model/PlmPaletteRamps.h"

#include "model/PlmThematicSettings.h"

#include <algorithm>

namespace {

using Ramp = std::array<std::uint32_t, 9>;

// In the order of the PlmPalette cases.
constexpr std::array<Ramp, 9> ramps{{
    {0xF7FBFF, 0xDEEBF7, 0xC6DBEF, 0x9ECAE1, 0x6BAED6, 0x4292C6, 0x2171B5, 0x08519C, 0x08306B}, // blues
    {0xF7FCF5, 0xE5F5E0, 0xC7E9C0, 0xA1D99B, 0x74C476, 0x41AB5D, 0x238B45, 0x006D2C, 0x00441B}, // greens
    {0xB2182B, 0xD6604D, 0xF4A582, 0xFDDBC7, 0xF7F7F7, 0xD1E5F0, 0x92C5DE, 0x4393C3, 0x2166AC}, // redBlue
    {0x8C510A, 0xBF812D, 0xDFC27D, 0xF6E8C3, 0xF5F5F5, 0xC7EAE5, 0x80CDC1, 0x35978F, 0x01665E}, // brownGreen
    {0xFFF5EB, 0xFEE6CE, 0xFDD0A2, 0xFDAE6B, 0xFD8D3C, 0xF16913, 0xD94801, 0xA63603, 0x7F2704}, // oranges
    {0xFCFBFD, 0xEFEDF5, 0xDADAEB, 0xBCBDDC, 0x9E9AC8, 0x807DBA, 0x6A51A3, 0x54278F, 0x3F007D}, // purples
    {0xFFFFFF, 0xF0F0F0, 0xD9D9D9, 0xBDBDBD, 0x969696, 0x737373, 0x525252, 0x252525, 0x000000}, // grays
    {0xF7FCF0, 0xE0F3DB, 0xCCEBC5, 0xA8DDB5, 0x7BCCC4, 0x4EB3D3, 0x2B8CBE, 0x0868AC, 0x084081}, // teal
    {0x542788, 0x8073AC, 0xB2ABD2, 0xD8DAEB, 0xF7F7F7, 0xFEE0B6, 0xFDB863, 0xE08214, 0xB35806}, // purpleOrange
}};

double channel(std::uint32_t rgb, int shift)
{
    return double((rgb >> shift) & 0xFF);
}

} // namespace

const std::array<std::uint32_t, 9>& paletteStops(PlmPalette palette)
{
    const auto index = std::size_t(palette);
    return ramps[index < ramps.size() ? index : 0];
}

QList<PlmColor> colors(PlmPalette palette, int count, bool inverted)
{
    QList<PlmColor> out;
    if (count < 1)
        return out;
    const Ramp& stops = paletteStops(palette);
    out.reserve(count);
    for (int i = 0; i < count; ++i) {
        const double t = count == 1 ? 4.0 : double(i) * 8.0 / double(count - 1);
        const int j = std::min(int(t), 7);
        const double f = t - double(j);
        const auto mix = [&](int shift) {
            return ((1 - f) * channel(stops[j], shift) + f * channel(stops[j + 1], shift)) / 255.0;
        };
        out.append(PlmColor{mix(16), mix(8), mix(0), 1.0});
    }
    if (inverted)
        std::reverse(out.begin(), out.end());
    return out;
}

QList<PlmColor> classColors(const PlmThematicSettings& settings, const QStringList& keys)
{
    QList<PlmColor> out = colors(settings.palette, int(keys.size()), settings.inverted);
    if (settings.classColorOverrides) {
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const auto it = settings.classColorOverrides->constFind(keys[i]);
            if (it != settings.classColorOverrides->constEnd())
                out[i] = *it;
        }
    }
    return out;
}
