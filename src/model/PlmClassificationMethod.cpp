#include "model/PlmClassificationMethod.h"

const QList<PlmClassificationMethod>& allPlmClassificationMethods()
{
    static const QList<PlmClassificationMethod> all{
        PlmClassificationMethod::manual, PlmClassificationMethod::equalIntervals, PlmClassificationMethod::quantiles,
        PlmClassificationMethod::jenks, PlmClassificationMethod::standardDeviation};
    return all;
}

QString rawValue(PlmClassificationMethod method)
{
    switch (method) {
    case PlmClassificationMethod::manual: return QStringLiteral("manual");
    case PlmClassificationMethod::equalIntervals: return QStringLiteral("equalIntervals");
    case PlmClassificationMethod::quantiles: return QStringLiteral("quantiles");
    case PlmClassificationMethod::jenks: return QStringLiteral("jenks");
    case PlmClassificationMethod::standardDeviation: return QStringLiteral("standardDeviation");
    }
    return {};
}

std::optional<PlmClassificationMethod> plmClassificationMethodFromRawValue(QStringView text)
{
    for (PlmClassificationMethod method : allPlmClassificationMethods())
        if (text == rawValue(method))
            return method;
    return std::nullopt;
}

QString title(PlmClassificationMethod method)
{
    switch (method) {
    case PlmClassificationMethod::manual: return QStringLiteral("Seuils manuels");
    case PlmClassificationMethod::equalIntervals: return QStringLiteral("Intervalles égaux");
    case PlmClassificationMethod::quantiles: return QStringLiteral("Quantiles");
    case PlmClassificationMethod::jenks: return QStringLiteral("Jenks");
    case PlmClassificationMethod::standardDeviation: return QStringLiteral("Moyenne / écarts-types");
    }
    return {};
}

PlmClassificationMethod PlmJsonCoding<PlmClassificationMethod>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmClassificationMethodFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmClassificationMethod from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmClassificationMethod>::write(PlmJsonWriter& writer, PlmClassificationMethod value)
{
    writer.writeString(rawValue(value));
}
