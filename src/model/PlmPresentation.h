#pragma once

#include "model/PlmColor.h"
#include "model/PlmEditingStyle.h"
#include "model/PlmTextAlignment.h"

#include <QString>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// Appearance of one layout element or of one of the two legends.
// The default value of every field is the default presentation.
struct PlmPresentation {
    std::optional<bool> frameHidden;
    std::optional<bool> hidden;
    // When absent, renderers use effectiveEditingStyle().
    std::optional<PlmEditingStyle> editing;
    QString fontName = QStringLiteral("Helvetica");
    double fontSize = 12;
    bool bold = false;
    PlmTextAlignment alignment = PlmTextAlignment::left;
    PlmColor color{0.12, 0.12, 0.12, 1};
    PlmColor background{1, 1, 1, 0};
    bool border = false;
    std::optional<double> width;
    std::optional<double> height;
    // True when the owning object's position is in points rather than fractions of the free space.
    std::optional<bool> positionInPoints;
    std::optional<bool> legendFitsContent;
    std::optional<QString> title;

    bool operator==(const PlmPresentation&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmPresentation fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // The stored editing style, or the default one whose frame fill is the background.
    PlmEditingStyle effectiveEditingStyle() const;
    // Stores the style as `editing`; the plain fields stay as they are.
    void setEffectiveEditingStyle(const PlmEditingStyle& style);

    // Throws PlmWorkError with "Présentation de texte incorrecte.", "Couleur d’habillage incorrecte."
    // or one of the editing style's messages.
    void validate() const;
};
