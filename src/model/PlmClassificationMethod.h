#pragma once

#include "model/PlmJson.h"

#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// How the classes of a thematic map are made.
enum class PlmClassificationMethod { manual, equalIntervals, quantiles, jenks, standardDeviation };

const QList<PlmClassificationMethod>& allPlmClassificationMethods();
QString rawValue(PlmClassificationMethod method);
std::optional<PlmClassificationMethod> plmClassificationMethodFromRawValue(QStringView text);
QString title(PlmClassificationMethod method);

inline size_t qHash(PlmClassificationMethod method, size_t seed = 0)
{
    return ::qHash(static_cast<int>(method), seed);
}

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmClassificationMethod> {
    static PlmClassificationMethod read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmClassificationMethod value);
};
