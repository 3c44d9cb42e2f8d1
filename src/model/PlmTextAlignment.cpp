#include "model/PlmTextAlignment.h"

const QList<PlmTextAlignment>& allPlmTextAlignments()
{
    static const QList<PlmTextAlignment> all{PlmTextAlignment::left, PlmTextAlignment::center,
                                             PlmTextAlignment::right, PlmTextAlignment::justified};
    return all;
}

QString rawValue(PlmTextAlignment alignment)
{
    switch (alignment) {
    case PlmTextAlignment::left: return QStringLiteral("left");
    case PlmTextAlignment::center: return QStringLiteral("center");
    case PlmTextAlignment::right: return QStringLiteral("right");
    case PlmTextAlignment::justified: return QStringLiteral("justified");
    }
    return {};
}

std::optional<PlmTextAlignment> plmTextAlignmentFromRawValue(QStringView text)
{
    for (PlmTextAlignment alignment : allPlmTextAlignments())
        if (text == rawValue(alignment))
            return alignment;
    return std::nullopt;
}

PlmTextAlignment PlmJsonCoding<PlmTextAlignment>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmTextAlignmentFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmTextAlignment from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmTextAlignment>::write(PlmJsonWriter& writer, PlmTextAlignment value)
{
    writer.writeString(rawValue(value));
}
