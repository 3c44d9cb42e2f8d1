#pragma once

#include "model/PlmColor.h"
#include "model/PlmDistribution.h"
#include "model/PlmPoint.h"
#include "model/PlmProportionalSettings.h"
#include "model/PlmThematicSettings.h"
#include "model/PlmVariable.h"
#include "model/PlmWork.h"
#include "canvas/ProportionalOverlay.h"

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// What one thematic layer puts on the page, computed from the work alone: the class colours
// of the base map, the proportional symbols and the legend's values. The pane hands the
// results to the composition's views.
namespace CarteThematicLayers {

// The colour of each coloured top-level entity, by id: area features (when areas are
// coloured) and monochrome point symbols that follow the classes; an entity without class
// takes the missing colour. Empty without a variable.
QHash<QString, PlmColor> fillOverrides(const PlmWork& work, const PlmThematicSettings& settings, bool hasVariable,
                                       bool colorAreas);

// The same in three steps, so that a change of colours alone reuses the classes: the
// top-level entities that take class colours, the class of each (-1 for none), and the
// colours given to them.
QStringList colourableEntities(const PlmWork& work, bool colorAreas);
QList<int> classIndices(const PlmWork& work, const PlmThematicSettings& settings, const QStringList& keys,
                        const QStringList& entityIDs);
// The same for identifiers sorted once (the pane keeps them for its map).
QList<int> classIndices(const PlmWork& work, const PlmThematicSettings& settings, const QStringList& keys,
                        const PlmKeyOrder& entities);
QHash<QString, PlmColor> fillOverrides(const QStringList& entityIDs, const QList<int>& classes,
                                       const QList<PlmColor>& colors, const PlmColor& missingColor);
// The finite number of a numeric variable for each entity (NaN for none), so that other
// thresholds only place the same numbers again; and those numbers' classes.
QList<double> entityNumbers(const PlmVariable& variable, const QStringList& entityIDs);
QList<double> entityNumbers(const PlmVariable& variable, const PlmKeyOrder& entities);
QList<int> classIndices(const QList<double>& numbers, const QList<double>& thresholds);

// The class keys, their colours and the number of top-level entities that have a class.
struct Classes {
    QStringList keys;
    QList<PlmColor> colors;
};
Classes classes(const PlmWork& work, const PlmThematicSettings& settings);
int classedEntityCount(const PlmWork& work, const PlmThematicSettings& settings, const QStringList& keys);

// One proportional symbol: its entity, side length in points and anchor in map units, as the
// composition's symbol layer draws it.
using SymbolItem = ProportionalOverlay::Item;
// The symbols of a series, largest first (equal sizes in map order). An entity gets one when
// its value is a positive finite number and it has an anchor (manual, else automatic).
QList<SymbolItem> symbolItems(const PlmWork& work, const PlmProportionalSettings& symbols,
                              const std::optional<PlmVariable>& variable, const PlmDistribution& distribution,
                              const QHash<QString, PlmPoint>& automaticPositions);

// The legend samples of a series: labels with the decimals, and the matching symbol sizes.
struct SymbolLegend {
    QStringList labels;
    QList<double> referenceSizes;
};
SymbolLegend symbolLegend(const PlmProportionalSettings& symbols, const PlmDistribution& distribution, int decimals);

// The smallest positive value's symbol size (0 without positive value).
double minimumSymbolSize(const PlmProportionalSettings& symbols, const PlmDistribution& distribution);

// Concentric symbols share centres: each item's anchor becomes the first series' manual
// position, else the second's, else the automatic anchor, else its own.
void applyCommonCentres(QList<SymbolItem>& items, const PlmProportionalSettings* first,
                        const PlmProportionalSettings* second, const QHash<QString, PlmPoint>& automaticPositions);

} // namespace CarteThematicLayers
