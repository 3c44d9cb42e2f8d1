#include "model/PlmRepresentation.h"

const QList<PlmRepresentation>& allPlmRepresentations()
{
    static const QList<PlmRepresentation> all{PlmRepresentation::aplats, PlmRepresentation::proportional,
                                              PlmRepresentation::aplatsAndSymbols, PlmRepresentation::twoSymbols};
    return all;
}

QString rawValue(PlmRepresentation representation)
{
    switch (representation) {
    case PlmRepresentation::aplats: return QStringLiteral("aplats");
    case PlmRepresentation::proportional: return QStringLiteral("proportional");
    case PlmRepresentation::aplatsAndSymbols: return QStringLiteral("aplatsAndSymbols");
    case PlmRepresentation::twoSymbols: return QStringLiteral("twoSymbols");
    }
    return {};
}

std::optional<PlmRepresentation> plmRepresentationFromRawValue(QStringView text)
{
    for (PlmRepresentation representation : allPlmRepresentations())
        if (text == rawValue(representation))
            return representation;
    return std::nullopt;
}

QString title(PlmRepresentation representation)
{
    switch (representation) {
    case PlmRepresentation::aplats: return QStringLiteral("Aplats");
    case PlmRepresentation::proportional: return QStringLiteral("Symboles proportionnels");
    case PlmRepresentation::aplatsAndSymbols: return QStringLiteral("Aplats + symboles");
    case PlmRepresentation::twoSymbols: return QStringLiteral("Deux séries de symboles");
    }
    return {};
}

bool isSymbolsOnly(PlmRepresentation representation)
{
    return representation == PlmRepresentation::proportional || representation == PlmRepresentation::twoSymbols;
}

bool hasSecondLayer(PlmRepresentation representation)
{
    return representation == PlmRepresentation::aplatsAndSymbols || representation == PlmRepresentation::twoSymbols;
}

bool showsAplats(PlmRepresentation representation)
{
    return representation == PlmRepresentation::aplats || representation == PlmRepresentation::aplatsAndSymbols;
}

PlmRepresentation PlmJsonCoding<PlmRepresentation>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmRepresentationFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmRepresentation from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmRepresentation>::write(PlmJsonWriter& writer, PlmRepresentation value)
{
    writer.writeString(rawValue(value));
}
