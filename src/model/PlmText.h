#pragma once

#include "model/PlmTransform.h"

#include <QString>

// A text of a map, placed by its transform (its own origin is the placement point).
// The anchor is "start", "middle" or "end", as SVG's text-anchor.
struct PlmText {
    QString text;
    QString fontName;
    double fontSize = 12;
    PlmTransform transform;
    QString anchor = QStringLiteral("start");

    bool operator==(const PlmText&) const = default;

    // The characters a reader sees (grapheme clusters): "é" written e + U+0301, an emoji with
    // its modifiers or a flag each count once.
    qsizetype characterCount() const;

    // {"anchor", "fontName", "fontSize", "text", "transform"}, all required.
    static PlmText fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
