#pragma once

#include <QList>
#include <QMap>
#include <QString>
#include <optional>

// The column that names the zones of a vector file whose records have no name field of their
// own, for every reader that has records of attributes (a Shapefile's rows, a GeoJSON file's
// properties). Without it the zones would be named after their ids (shp:1, geojson:1…), which
// no table of data holds.
namespace PlmNameColumn {

using Row = QMap<QString, QString>;

// Whether a field's name says it holds names: one of its words (between underscores, digits
// and the like) begins with "nom" or begins or ends with "name" (NOM_COM, NAME_1, AREANAME,
// NAMELSAD), not a word that merely holds them (ECONOMIE, SURNOMBRE).
bool saysName(const QString& field);

// Whether a column's values are present on every row and all different (nothing when not), and
// if so whether any of them is text rather than a number.
std::optional<bool> distinctValuesHoldText(const QList<Row>& rows, const QString& field);

// The first column, by field name, whose name says name (STATE_NAME, name_long, NAME_1,
// NOM_COM) and whose values are all present, distinct and not all numbers (a French NOMBRE
// column counts things); nothing when none is. The reader asks only when no record has a name
// field of its own.
std::optional<QString> find(const QList<Row>& rows);

} // namespace PlmNameColumn
