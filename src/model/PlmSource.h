#pragma once

#include <QByteArray>
#include <QString>

class PlmJsonValue;
class PlmJsonWriter;

// A file kept inside a map, such as the bytes of the file it was imported from.
struct PlmSource {
    QString name;
    QByteArray data;

    bool operator==(const PlmSource&) const = default;

    // {"data": standard Base64, "name": string}
    static PlmSource fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
