#pragma once

#include "model/PlmJson.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Shape of proportional symbols and of symbol decorations.
enum class PlmSymbolKind { circle, square, triangle, sfSymbol, svg };

const QList<PlmSymbolKind>& allPlmSymbolKinds();
QString rawValue(PlmSymbolKind kind);
std::optional<PlmSymbolKind> plmSymbolKindFromRawValue(QStringView text);
QString title(PlmSymbolKind kind);

// Rendering of a system symbol: regular weight, medium scale, monochrome.
enum class PlmSFSymbolConfiguration { regularMediumMonochrome };

QString rawValue(PlmSFSymbolConfiguration configuration);
std::optional<PlmSFSymbolConfiguration> plmSFSymbolConfigurationFromRawValue(QStringView text);

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmSymbolKind> {
    static PlmSymbolKind read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmSymbolKind value);
};

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmSFSymbolConfiguration> {
    static PlmSFSymbolConfiguration read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmSFSymbolConfiguration value);
};
