#pragma once

#include <QByteArray>
#include <QString>

// The vector inputs of the import benchmarks and of bench/peers.sh, generated from the large
// map: 35,000 polygons as GeoJSON and as a Shapefile with its index, dBASE table and .prj, and the
// whole 35,000-entity map as a base-map document.
namespace BenchImportFiles {

QByteArray geoJson();
QByteArray shapefile();
QByteArray dbaseTable();
QByteArray baseMapDocument();

// A wide GeoJSON file: 1,000 unit squares of 1,600 properties each, 800 of them first (null
// with `nulls`, whole numbers without), then a name column (NOM_COM) and 799 numbers. The two
// differ only in those 800 values, so that their read times tell what the nulls cost.
QByteArray wideGeoJson(bool nulls);

// Writes Communes.geojson, Communes.shp/.shx/.dbf/.prj and Communes.plmmap into `directory`.
void writeAll(const QString& directory);

} // namespace BenchImportFiles
