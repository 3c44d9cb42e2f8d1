#pragma once

#include "model/PlmJson.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// How a thematic map shows its variable. Callers read an absent
// representation as aplats before asking any of the predicates.
enum class PlmRepresentation { aplats, proportional, aplatsAndSymbols, twoSymbols };

const QList<PlmRepresentation>& allPlmRepresentations();
QString rawValue(PlmRepresentation representation);
std::optional<PlmRepresentation> plmRepresentationFromRawValue(QStringView text);
QString title(PlmRepresentation representation);

// No class-coloured areas are drawn.
bool isSymbolsOnly(PlmRepresentation representation);
// A second symbol series is drawn over the first layer.
bool hasSecondLayer(PlmRepresentation representation);
// The areas are filled by classes.
bool showsAplats(PlmRepresentation representation);

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmRepresentation> {
    static PlmRepresentation read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmRepresentation value);
};
