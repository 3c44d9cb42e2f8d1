#include "model/PlmPalette.h"

const QList<PlmPalette>& allPlmPalettes()
{
    static const QList<PlmPalette> all{PlmPalette::blues,   PlmPalette::greens,  PlmPalette::redBlue,
                                       PlmPalette::brownGreen, PlmPalette::oranges, PlmPalette::purples,
                                       PlmPalette::grays,   PlmPalette::teal,    PlmPalette::purpleOrange};
    return all;
}

QString rawValue(PlmPalette palette)
{
    switch (palette) {
    case PlmPalette::blues: return QStringLiteral("blues");
    case PlmPalette::greens: return QStringLiteral("greens");
    case PlmPalette::redBlue: return QStringLiteral("redBlue");
    case PlmPalette::brownGreen: return QStringLiteral("brownGreen");
    case PlmPalette::oranges: return QStringLiteral("oranges");
    case PlmPalette::purples: return QStringLiteral("purples");
    case PlmPalette::grays: return QStringLiteral("grays");
    case PlmPalette::teal: return QStringLiteral("teal");
    case PlmPalette::purpleOrange: return QStringLiteral("purpleOrange");
    }
    return {};
}

std::optional<PlmPalette> plmPaletteFromRawValue(QStringView text)
{
    for (PlmPalette palette : allPlmPalettes())
        if (text == rawValue(palette))
            return palette;
    return std::nullopt;
}

QString title(PlmPalette palette)
{
    switch (palette) {
    case PlmPalette::blues: return QStringLiteral("Bleus");
    case PlmPalette::greens: return QStringLiteral("Verts");
    case PlmPalette::redBlue: return QStringLiteral("Rouge / bleu");
    case PlmPalette::brownGreen: return QStringLiteral("Brun / vert");
    case PlmPalette::oranges: return QStringLiteral("Oranges");
    case PlmPalette::purples: return QStringLiteral("Violets");
    case PlmPalette::grays: return QStringLiteral("Gris");
    case PlmPalette::teal: return QStringLiteral("Bleu / vert");
    case PlmPalette::purpleOrange: return QStringLiteral("Violet / orange");
    }
    return {};
}

PlmPalette PlmJsonCoding<PlmPalette>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmPaletteFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmPalette from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmPalette>::write(PlmJsonWriter& writer, PlmPalette value)
{
    writer.writeString(rawValue(value));
}
