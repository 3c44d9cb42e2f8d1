#pragma once

#include "model/PlmJson.h"

#include <QList>
#include <QString>
#include <QStringView>
#include <optional>

// The fifteen kinds of layout element; the first five are text kinds.
enum class PlmDecorationKind {
    title,
    subtitle,
    text,
    source,
    author,
    scale,
    north,
    rectangle,
    ellipse,
    line,
    arrow,
    image,
    svg,
    sfSymbol,
    legend
};

const QList<PlmDecorationKind>& allPlmDecorationKinds();
QString rawValue(PlmDecorationKind kind);
std::optional<PlmDecorationKind> plmDecorationKindFromRawValue(QStringView text);
// French title, also the text of a new object of that kind.
QString defaultTitle(PlmDecorationKind kind);
bool isText(PlmDecorationKind kind);

// Stored as its case name; any other string fails to read.
template <>
struct PlmJsonCoding<PlmDecorationKind> {
    static PlmDecorationKind read(const PlmJsonValue& value);
    static void write(PlmJsonWriter& writer, PlmDecorationKind value);
};
