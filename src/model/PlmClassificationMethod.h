#pragma once

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
