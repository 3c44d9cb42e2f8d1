#pragma once

#include "model/PlmEntityList.h"
#include "model/PlmGeometry.h"
#include "model/PlmPointSymbol.h"
#include "model/PlmStyle.h"
#include "model/PlmVectorPath.h"

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

class PlmJsonValue;
class PlmJsonWriter;

// One object of a base map. The id is non-empty and unique among its siblings (the map's own
// entities, or the members of one group); a path of ids through the groups names one entity.
struct PlmEntity {
    QString id;
    QString name;
    PlmGeometry geometry;
    PlmStyle style;
    QMap<QString, QString> attributes;
    std::optional<PlmPointSymbol> pointSymbol;
    std::optional<QList<PlmVectorPath>> clipPaths;
    std::optional<bool> isHidden; // only true hides
    std::optional<bool> isLocked; // only true locks

    PlmEntity() = default;
    PlmEntity(const QString& id, const QString& name, const PlmGeometry& geometry,
              const PlmStyle& style, const QMap<QString, QString>& attributes = {})
        : id(id)
        , name(name)
        , geometry(geometry)
        , style(style)
        , attributes(attributes)
    {
    }

    bool operator==(const PlmEntity&) const = default;

    bool hidden() const { return isHidden.value_or(false); }
    bool locked() const { return isLocked.value_or(false); }

    // The entities really drawn: groups expanded depth first, hidden ones included.
    PlmEntityList leafEntities() const;
    static PlmEntityList leafEntities(const PlmEntityList& entities);
    // Like leafEntities, but a hidden entity (or group) yields nothing.
    PlmEntityList visibleLeafEntities() const;
    static PlmEntityList visibleLeafEntities(const PlmEntityList& entities);
    // Polygons, multipolygons, filled paths with a close, and groups holding one.
    bool isAreaFeature() const;
    // Locked itself, or (for a group) anything inside locked.
    bool containsLocked() const;

    // Moves the entity: points mapped, a point's radius scaled by sqrt|det|, a text's transform
    // composed, groups recursively, clip paths likewise. Id, name, attributes, symbol and flags
    // never change.
    void apply(const PlmTransform& transform);
    void translate(double dx, double dy);

    static PlmEntity fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
