#include "model/PlmVariableType.h"

const QList<PlmVariableType>& allPlmVariableTypes()
{
    static const QList<PlmVariableType> all{PlmVariableType::number, PlmVariableType::text,
                                            PlmVariableType::percentage};
    return all;
}

QString rawValue(PlmVariableType type)
{
    switch (type) {
    case PlmVariableType::number: return QStringLiteral("number");
    case PlmVariableType::text: return QStringLiteral("text");
    case PlmVariableType::percentage: return QStringLiteral("percentage");
    }
    return {};
}

std::optional<PlmVariableType> plmVariableTypeFromRawValue(QStringView text)
{
    for (PlmVariableType type : allPlmVariableTypes())
        if (text == rawValue(type))
            return type;
    return std::nullopt;
}

QString label(PlmVariableType type)
{
    switch (type) {
    case PlmVariableType::number: return QStringLiteral("Nombre");
    case PlmVariableType::text: return QStringLiteral("Texte");
    case PlmVariableType::percentage: return QStringLiteral("Pourcentage");
    }
    return {};
}

PlmVariableType PlmJsonCoding<PlmVariableType>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto type = plmVariableTypeFromRawValue(text))
        return *type;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmVariableType from invalid String value %1")
                                 .arg(text));
}

void PlmJsonCoding<PlmVariableType>::write(PlmJsonWriter& writer, PlmVariableType type)
{
    writer.writeString(rawValue(type));
}
