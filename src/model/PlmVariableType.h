#pragma once

#include "model/PlmJson.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// The type shared by every value of one variable (one column of the data table).
enum class PlmVariableType { number, text, percentage };

const QList<PlmVariableType>& allPlmVariableTypes();
QString rawValue(PlmVariableType type);
std::optional<PlmVariableType> plmVariableTypeFromRawValue(QStringView text);
// "Nombre", "Texte", "Pourcentage".
QString label(PlmVariableType type);

// Stored as its raw value; any other string fails to read.
template <>
struct PlmJsonCoding<PlmVariableType> {
    static PlmVariableType read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmVariableType type);
};
