#pragma once

#include "model/PlmWork.h"

// Deterministic large works for the benchmarks: the large generated map with a data table.
namespace BenchWorks {

// The map of BenchMaps::makeLargeMap(entities) with `variables` input variables (numbers,
// percentages and every fifth a text; about one cell in 37 empty) followed by `calculated`
// calculated variables whose formulas name input variables and the calculated variable
// before them. Ids are UUID-shaped texts, as in real works. The thematic settings map the
// first variable in 5 Jenks classes; the calculated values and thresholds are computed.
PlmWork makeLargeWork(int entities = 35000, int variables = 10, int calculated = 0);

// The id of input variable `index` (from 0) or of calculated variable `index` of a work made
// by makeLargeWork.
QString inputVariableID(int index);
QString calculatedVariableID(int index);

} // namespace BenchWorks
