#pragma once

#include "model/PlmJson.h"

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Colour ramp of the classes of a thematic map (the ramps live with the class colours).
enum class PlmPalette { blues, greens, redBlue, brownGreen, oranges, purples, grays, teal, purpleOrange };

const QList<PlmPalette>& allPlmPalettes();
QString rawValue(PlmPalette palette);
std::optional<PlmPalette> plmPaletteFromRawValue(QStringView text);
QString title(PlmPalette palette);

inline size_t qHash(PlmPalette palette, size_t seed = 0)
{
    return ::qHash(static_cast<int>(palette), seed);
}

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmPalette> {
    static PlmPalette read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmPalette value);
};
