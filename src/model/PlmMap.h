#pragma once

#include "model/PlmEntityList.h"
#include "model/PlmPoint.h"
#include "model/PlmSource.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// A base map: a name, entities in drawing order (first drawn first), string metadata and
// optional kept source files. Copies are O(1).
struct PlmMap {
    QString name;
    PlmEntityList entities;
    QMap<QString, QString> metadata;
    std::optional<QList<PlmSource>> sources;

    PlmMap() = default;
    PlmMap(const QString& name, const PlmEntityList& entities,
           const QMap<QString, QString>& metadata = {})
        : name(name)
        , entities(entities)
        , metadata(metadata)
    {
    }

    bool operator==(const PlmMap&) const = default;

    // -1 when y grows downwards: "coordinates.yAxis" is "down" (when that key is present it
    // alone decides), or else "legacy.variant" is "compact-v1" or "extended-fixed16.16-v1".
    static double yAxisSign(const QMap<QString, QString>& metadata);
    double yAxisSign() const { return yAxisSign(metadata); }
    // The point with its y multiplied by the map's sign.
    PlmPoint orientedPoint(const PlmPoint& point) const;

    // {"entities": [...], "metadata": {...}, "name": "...", "sources"?: [...]}. Group nesting
    // is bounded while decoding (see PlmMapCodec::decode).
    static PlmMap fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
