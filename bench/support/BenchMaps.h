#pragma once

#include "model/PlmMap.h"

// Deterministic large inputs for the benchmarks: the same value on every machine and run.
namespace BenchMaps {

// A polygon base map laid on a grid of cells: mostly polygons (a fifth with a hole), some
// multipolygons of two or three islands, a group of three polygons every 100th entity and a
// text every 50th; about 57 points per entity (about 2 million for 35,000 entities), with
// full-precision projected coordinates and two attributes each ("code", "nom").
PlmMap makeLargeMap(int entityCount = 35000);

// The number of points of every geometry of the map, groups included.
qsizetype pointCount(const PlmMap& map);

} // namespace BenchMaps

namespace BenchMaps {

// Writes a map file of nested groups, as a person's deeply grouped drawing: `topGroups` groups,
// each branching in two over its first 11 levels and then running single down to 16 levels,
// every branch ending in one unit square (2,048 leaves per top group; 40 groups make a file of
// about 150 MB). The text is written as it goes, so the writer holds no map. False when the
// file cannot be written.
bool writeNestedMapFile(const QString& path, int topGroups);

} // namespace BenchMaps
