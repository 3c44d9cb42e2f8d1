#include "model/PlmSymbolKind.h"

const QList<PlmSymbolKind>& allPlmSymbolKinds()
{
    static const QList<PlmSymbolKind> all{PlmSymbolKind::circle, PlmSymbolKind::square, PlmSymbolKind::triangle,
                                          PlmSymbolKind::sfSymbol, PlmSymbolKind::svg};
    return all;
}

QString rawValue(PlmSymbolKind kind)
{
    switch (kind) {
    case PlmSymbolKind::circle: return QStringLiteral("circle");
    case PlmSymbolKind::square: return QStringLiteral("square");
    case PlmSymbolKind::triangle: return QStringLiteral("triangle");
    case PlmSymbolKind::sfSymbol: return QStringLiteral("sfSymbol");
    case PlmSymbolKind::svg: return QStringLiteral("svg");
    }
    return {};
}

std::optional<PlmSymbolKind> plmSymbolKindFromRawValue(QStringView text)
{
    for (PlmSymbolKind kind : allPlmSymbolKinds())
        if (text == rawValue(kind))
            return kind;
    return std::nullopt;
}

QString title(PlmSymbolKind kind)
{
    switch (kind) {
    case PlmSymbolKind::circle: return QStringLiteral("Cercle");
    case PlmSymbolKind::square: return QStringLiteral("Carré");
    case PlmSymbolKind::triangle: return QStringLiteral("Triangle");
    case PlmSymbolKind::sfSymbol: return QStringLiteral("Pictogramme");
    case PlmSymbolKind::svg: return QStringLiteral("SVG personnalisé");
    }
    return {};
}

QString rawValue(PlmSFSymbolConfiguration)
{
    return QStringLiteral("regularMediumMonochrome");
}

std::optional<PlmSFSymbolConfiguration> plmSFSymbolConfigurationFromRawValue(QStringView text)
{
    if (text == u"regularMediumMonochrome")
        return PlmSFSymbolConfiguration::regularMediumMonochrome;
    return std::nullopt;
}

PlmSymbolKind PlmJsonCoding<PlmSymbolKind>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmSymbolKindFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmSymbolKind from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmSymbolKind>::write(PlmJsonWriter& writer, PlmSymbolKind value)
{
    writer.writeString(rawValue(value));
}

PlmSFSymbolConfiguration PlmJsonCoding<PlmSFSymbolConfiguration>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmSFSymbolConfigurationFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmSFSymbolConfiguration from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmSFSymbolConfiguration>::write(PlmJsonWriter& writer, PlmSFSymbolConfiguration value)
{
    writer.writeString(rawValue(value));
}
