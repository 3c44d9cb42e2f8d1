#include "model/PlmDecorationKind.h"

const QList<PlmDecorationKind>& allPlmDecorationKinds()
{
    static const QList<PlmDecorationKind> all{
        PlmDecorationKind::title,   PlmDecorationKind::subtitle,  PlmDecorationKind::text,
        PlmDecorationKind::source,  PlmDecorationKind::author,    PlmDecorationKind::scale,
        PlmDecorationKind::north,   PlmDecorationKind::rectangle, PlmDecorationKind::ellipse,
        PlmDecorationKind::line,    PlmDecorationKind::arrow,     PlmDecorationKind::image,
        PlmDecorationKind::svg,     PlmDecorationKind::sfSymbol,  PlmDecorationKind::legend};
    return all;
}

QString rawValue(PlmDecorationKind kind)
{
    switch (kind) {
    case PlmDecorationKind::title: return QStringLiteral("title");
    case PlmDecorationKind::subtitle: return QStringLiteral("subtitle");
    case PlmDecorationKind::text: return QStringLiteral("text");
    case PlmDecorationKind::source: return QStringLiteral("source");
    case PlmDecorationKind::author: return QStringLiteral("author");
    case PlmDecorationKind::scale: return QStringLiteral("scale");
    case PlmDecorationKind::north: return QStringLiteral("north");
    case PlmDecorationKind::rectangle: return QStringLiteral("rectangle");
    case PlmDecorationKind::ellipse: return QStringLiteral("ellipse");
    case PlmDecorationKind::line: return QStringLiteral("line");
    case PlmDecorationKind::arrow: return QStringLiteral("arrow");
    case PlmDecorationKind::image: return QStringLiteral("image");
    case PlmDecorationKind::svg: return QStringLiteral("svg");
    case PlmDecorationKind::sfSymbol: return QStringLiteral("sfSymbol");
    case PlmDecorationKind::legend: return QStringLiteral("legend");
    }
    return {};
}

std::optional<PlmDecorationKind> plmDecorationKindFromRawValue(QStringView text)
{
    for (PlmDecorationKind kind : allPlmDecorationKinds())
        if (text == rawValue(kind))
            return kind;
    return std::nullopt;
}

QString defaultTitle(PlmDecorationKind kind)
{
    switch (kind) {
    case PlmDecorationKind::title: return QStringLiteral("Titre");
    case PlmDecorationKind::subtitle: return QStringLiteral("Sous-titre");
    case PlmDecorationKind::text: return QStringLiteral("Texte libre");
    case PlmDecorationKind::source: return QStringLiteral("Source");
    case PlmDecorationKind::author: return QStringLiteral("Auteur");
    case PlmDecorationKind::scale: return QStringLiteral("Échelle locale");
    case PlmDecorationKind::north: return QStringLiteral("Flèche du Nord");
    case PlmDecorationKind::rectangle: return QStringLiteral("Rectangle");
    case PlmDecorationKind::ellipse: return QStringLiteral("Ellipse");
    case PlmDecorationKind::line: return QStringLiteral("Ligne");
    case PlmDecorationKind::arrow: return QStringLiteral("Flèche");
    case PlmDecorationKind::image: return QStringLiteral("Image / logo\u2026");
    case PlmDecorationKind::svg: return QStringLiteral("Symbole SVG\u2026");
    case PlmDecorationKind::sfSymbol: return QStringLiteral("Pictogramme\u2026");
    case PlmDecorationKind::legend: return QStringLiteral("Légende");
    }
    return {};
}

bool isText(PlmDecorationKind kind)
{
    switch (kind) {
    case PlmDecorationKind::title:
    case PlmDecorationKind::subtitle:
    case PlmDecorationKind::text:
    case PlmDecorationKind::source:
    case PlmDecorationKind::author:
        return true;
    default:
        return false;
    }
}

PlmDecorationKind PlmJsonCoding<PlmDecorationKind>::read(const PlmJsonValue& value)
{
    const QString text = value.toString();
    if (const auto result = plmDecorationKindFromRawValue(text))
        return *result;
    value.throwDataCorrupted(QStringLiteral("Cannot initialize PlmDecorationKind from invalid String value %1").arg(text));
}

void PlmJsonCoding<PlmDecorationKind>::write(PlmJsonWriter& writer, PlmDecorationKind value)
{
    writer.writeString(rawValue(value));
}
