#pragma once

#include "basemaps/PlmImportBuilder.h"
#include "basemaps/PlmImportResult.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class PlmJsonDocument;
class PlmJsonValue;

// Reads a GeoJSON document (feature collections, features, the seven geometry types) into a
// base map; coordinates stay longitude and latitude. Each feature gives one or more entities
// whose attributes are its properties as text. Failures are PlmImportError sentences.
namespace GeoJSONReader {

// Nesting accepted in a GeoJSON text: far beyond any real file, low enough for the
// recursive walk of collections and property values.
constexpr int maximumDepth = 256;

// Parses, then reads. A text that is not JSON throws the parser's error.
PlmImportResult read(const QByteArray& data, const QString& name);
// Reads an already parsed document.
PlmImportResult read(const PlmJsonDocument& document, const QString& name);

PlmStyle defaultStyle();

// Adds the entities of a collection, a feature or a geometry. Features are named by their
// property "name", "NAME" or "nom"; when no feature has one, by the name column of
// PlmNameColumn, as a Shapefile's records are.
void walk(const PlmJsonValue& object, int index, PlmImportBuilder& builder, const PlmStyle& style);
void addGeometry(const PlmJsonValue& geometry, const std::optional<QString>& id,
                 const std::optional<QString>& name, const QMap<QString, QString>& attributes,
                 const PlmStyle& style, PlmImportBuilder& builder);

PlmPoint position(const PlmJsonValue& value, PlmImportBuilder& builder);
QList<PlmPoint> line(const PlmJsonValue& value, PlmImportBuilder& builder);
// Nothing when the exterior ring has no area (counted as a degenerate polygon).
std::optional<PlmPolygon> polygon(const PlmJsonValue& value, PlmImportBuilder& builder);
// More than two distinct points.
bool ringHasArea(const QList<PlmPoint>& ring);

} // namespace GeoJSONReader
