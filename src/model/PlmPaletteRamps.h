#pragma once

#include "model/PlmColor.h"
#include "model/PlmPalette.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

struct PlmThematicSettings;

// The nine stops (0xRRGGBB) of a palette's colour ramp: ColorBrewer's 9-class schemes.
const std::array<std::uint32_t, 9>& paletteStops(PlmPalette palette);

// `count` colours sampled evenly along the ramp (stop 4 for one class), reversed
// when inverted; empty when count is below 1.
QList<PlmColor> colors(PlmPalette palette, int count, bool inverted);

// One colour per class key: the user's override stored under the key, else the
// ramp colour sampled for the number of keys.
QList<PlmColor> classColors(const PlmThematicSettings& settings, const QStringList& keys);
