#pragma once

#include "model/PlmPoint.h"

#include <QByteArray>
#include <QString>

class PlmJsonValue;
class PlmJsonWriter;

// An image drawn behind the map of the layout.
struct PlmBackgroundImage {
    QByteArray data;
    // "png", "jpg" or "jpeg".
    QString type;
    PlmPoint position{0, 0};
    double width = 0;
    double height = 0;
    double opacity = 1;
    bool locked = false;

    bool operator==(const PlmBackgroundImage&) const = default;

    // Keys are the field names; absent optionals are left out.
    static PlmBackgroundImage fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;

    // Throws PlmWorkError "Image de fond ou dimensions incorrectes.".
    void validate() const;
};
