#pragma once

#include "model/PlmWork.h"

#include <QSizeF>

class ThematicCanvas;

namespace BenchPages {

// Lays out `canvas` as the choropleth page of the generated large work: its map coloured by
// class and its legend with one label per class, on a page of `size` points.
void layOutLargeChoropleth(ThematicCanvas& canvas, const PlmWork& work, QSizeF size);

} // namespace BenchPages
