#pragma once

#include "basemaps/PlmImportBuilder.h"
#include "basemaps/PlmImportResult.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

// Reads an ESRI Shapefile (.shp) with the companions beside it (.dbf table, .shx index,
// .prj projection, .cpg code page) into a base map, coordinates as stored. Every count,
// offset and length of the files is checked against the bytes left before it is used;
// failures are PlmImportError sentences.
namespace ShapefileReader {

using Row = QMap<QString, QString>;

// `url` is the .shp file's path (its folder holds the companions); `name` the map's name.
PlmImportResult read(const QByteArray& data, const QString& url, const QString& name);

// One row per dBASE record, in order; `codePage` is the .cpg text when there is one. Numeric
// fields (N, F) give numberFieldText(), character fields their text as written.
QList<Row> readDBF(const QByteArray& data, const std::optional<QByteArray>& codePage, PlmImportBuilder& builder);
// The trimmed text of a numeric field as the number it is, whoever wrote it: writers pad a
// number to the field's decimal count ("28801.000000000000000" gives "28801", "0.500" gives
// "0.5") and fill a missing one with '*' or blanks (empty: no value). A text that is no number
// stays as it is.
QString numberFieldText(const QString& text);

// An unsigned integer of 1 to 8 bytes; "Fichier binaire tronqué." outside the data.
quint64 integer(qint64 offset, int size, bool bigEndian, const QByteArray& data);
// Two little-endian doubles; "Coordonnée Shapefile non finie." unless both are finite.
PlmPoint point(qint64 offset, const QByteArray& data);

// The value of the first wanted name (compared in lower case) that a row holds non-empty.
std::optional<QString> firstAttribute(const QStringList& wanted, const Row& row);

// Rings of a polygon record nested by containment: exteriors at even depth, holes at odd.
PlmGeometry polygonGeometry(const QList<QList<PlmPoint>>& parts);
bool ringContains(const QList<PlmPoint>& ring, double x, double y);
int depth(qsizetype ring, const QList<qsizetype>& parents);

// The style every entity gets; its line width is then fitted to the map's extent.
PlmStyle defaultStyle();
// True when the projection text is a geographic system on the WGS 84 datum, in degrees from
// Greenwich, whatever the writer's spelling (WKT1, ESRI names, WKT2).
bool declaresWgs84Longitudes(const QByteArray& prj);
// Whether every coordinate, holes included, is a longitude and a latitude (within ±180 and ±90,
// a writer's rounding allowed).
bool withinLongitudesAndLatitudes(const QList<PlmEntity>& entities);

} // namespace ShapefileReader
