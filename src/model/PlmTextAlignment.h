#pragma once

#include "model/PlmJson.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// Alignment of the text of a layout element.
enum class PlmTextAlignment { left, center, right, justified };

const QList<PlmTextAlignment>& allPlmTextAlignments();
QString rawValue(PlmTextAlignment alignment);
std::optional<PlmTextAlignment> plmTextAlignmentFromRawValue(QStringView text);

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmTextAlignment> {
    static PlmTextAlignment read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmTextAlignment value);
};
