#pragma once

#include "model/PlmEntityList.h"
#include "model/PlmPoint.h"
#include "model/PlmPolygon.h"
#include "model/PlmText.h"
#include "model/PlmVectorPath.h"

#include <QList>
#include <variant>

class PlmJsonValue;
class PlmJsonWriter;

// The geometry of an entity: one of seven kinds. The group's members are entities again.
//   if (const PlmPolygon* polygon = geometry.asPolygon()) ...
//   switch (geometry.kind()) { case PlmGeometry::Kind::group: ... }
struct PlmGeometry {
    enum class Kind { point, polyline, polygon, multipolygon, path, text, group }; // alternatives' order
    using Value = std::variant<PlmPoint, QList<PlmPoint>, PlmPolygon, QList<PlmPolygon>,
                               PlmVectorPath, PlmText, PlmEntityList>;

    Value value;

    PlmGeometry() = default; // the point (0, 0)
    PlmGeometry(Value value) : value(std::move(value)) {}

    static PlmGeometry point(const PlmPoint& p) { return Value(std::in_place_index<0>, p); }
    static PlmGeometry polyline(const QList<PlmPoint>& points) { return Value(std::in_place_index<1>, points); }
    static PlmGeometry polygon(const PlmPolygon& polygon) { return Value(std::in_place_index<2>, polygon); }
    static PlmGeometry multipolygon(const QList<PlmPolygon>& polygons) { return Value(std::in_place_index<3>, polygons); }
    static PlmGeometry path(const PlmVectorPath& path) { return Value(std::in_place_index<4>, path); }
    static PlmGeometry text(const PlmText& text) { return Value(std::in_place_index<5>, text); }
    static PlmGeometry group(const PlmEntityList& members) { return Value(std::in_place_index<6>, members); }

    Kind kind() const { return Kind(value.index()); }
    bool isGroup() const { return kind() == Kind::group; }

    const PlmPoint* asPoint() const { return std::get_if<0>(&value); }
    const QList<PlmPoint>* asPolyline() const { return std::get_if<1>(&value); }
    const PlmPolygon* asPolygon() const { return std::get_if<2>(&value); }
    const QList<PlmPolygon>* asMultipolygon() const { return std::get_if<3>(&value); }
    const PlmVectorPath* asPath() const { return std::get_if<4>(&value); }
    const PlmText* asText() const { return std::get_if<5>(&value); }
    const PlmEntityList* asGroup() const { return std::get_if<6>(&value); }
    PlmPoint* asPoint() { return std::get_if<0>(&value); }
    QList<PlmPoint>* asPolyline() { return std::get_if<1>(&value); }
    PlmPolygon* asPolygon() { return std::get_if<2>(&value); }
    QList<PlmPolygon>* asMultipolygon() { return std::get_if<3>(&value); }
    PlmVectorPath* asPath() { return std::get_if<4>(&value); }
    PlmText* asText() { return std::get_if<5>(&value); }
    PlmEntityList* asGroup() { return std::get_if<6>(&value); }

    bool operator==(const PlmGeometry& other) const;

    // The points whose bounding box bounds the drawn geometry: a text gives its origin and
    // the transformed corner (font size × characters, font size); a group its members'.
    QList<PlmPoint> extentPoints() const;
    // Whether every extent point has finite coordinates (without building the list).
    bool hasFiniteExtent() const;
    // Whether every extent point passes `test`, stopping at the first that does not (without
    // building the list).
    bool everyExtentPoint(bool (*test)(const PlmPoint&)) const;

    // {"caseName": {"_0": payload}}, case names as the Kind enumerators.
    static PlmGeometry fromJson(const PlmJsonValue& value);
    void writeJson(PlmJsonWriter& writer) const;
};
