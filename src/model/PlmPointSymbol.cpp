#include "model/PlmPointSymbol.h"

#include "model/PlmEntity.h"

#include <cmath>

PlmPointSymbolColorMode PlmJsonCoding<PlmPointSymbolColorMode>::read(const PlmJsonValue& value)
{
    const std::string_view text = value.toUtf8();
    if (text == "automatic")
        return PlmPointSymbolColorMode::automatic;
    if (text == "fixed")
        return PlmPointSymbolColorMode::fixed;
    value.throwDataCorrupted(
        QStringLiteral("Cannot initialize PlmPointSymbolColorMode from invalid String value %1")
            .arg(value.toString()));
}

void PlmJsonCoding<PlmPointSymbolColorMode>::write(PlmJsonWriter& writer, PlmPointSymbolColorMode mode)
{
    writer.writeUtf8String(mode == PlmPointSymbolColorMode::fixed ? "fixed" : "automatic");
}

bool PlmPointSymbol::isMonochrome() const
{
    if (!svgVector)
        return sfSymbolName.has_value();
    QList<PlmColor> paints;
    for (const PlmEntity& leaf : PlmEntity::leafEntities(svgVector->entities)) {
        const PlmStyle& style = leaf.style;
        if (style.fill && style.fill->alpha > 0)
            paints.append(*style.fill);
        if (style.lineWidth > 0 && style.stroke.alpha > 0)
            paints.append(style.stroke);
    }
    if (paints.isEmpty())
        return false;
    const PlmColor& first = paints.first();
    for (const PlmColor& color : paints) {
        if (!(std::abs(color.red - first.red) < 1e-6) || !(std::abs(color.green - first.green) < 1e-6)
            || !(std::abs(color.blue - first.blue) < 1e-6))
            return false;
    }
    return true;
}

bool PlmPointSymbol::isAutomaticallyColored() const
{
    if (colorMode == PlmPointSymbolColorMode::fixed)
        return false;
    return isMonochrome();
}

PlmPointSymbol PlmPointSymbol::fromJson(const PlmJsonValue& value)
{
    PlmPointSymbol symbol(value.optionalField<QString>("sfSymbolName"),
                          value.optionalField<PlmMap>("svgVector"));
    symbol.colorMode = value.optionalField<PlmPointSymbolColorMode>("colorMode");
    return symbol;
}

void PlmPointSymbol::writeJson(PlmJsonWriter& writer) const
{
    writer.beginObject();
    writer.optionalField("colorMode", colorMode);
    writer.optionalField("sfSymbolName", sfSymbolName);
    writer.optionalField("svgVector", svgVector);
    writer.endObject();
}
