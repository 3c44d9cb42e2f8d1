#pragma once

#include "model/PlmDistribution.h"
#include "model/PlmRepresentation.h"
#include "model/PlmThematicSettings.h"
#include "model/PlmVariable.h"
#include "model/PlmWork.h"

#include <QList>
#include <QString>
#include <optional>

// What the Carte pane's inspector edits and how an edited value goes back into the work.
// Pure functions over work values: the pane reads the work, calls these, and stores the
// result through one undoable update.
namespace CarteThematicRules {

// The settings of one series: the main series reduced to itself, or the second symbol series
// as settings of its own (its decimals and hide-missing falling back on the main ones).
std::optional<PlmThematicSettings> thematicSettings(const PlmWork& work, bool secondary);
// The series the inspector edits: the second only while asked for and the map has two layers.
std::optional<PlmThematicSettings> editedSettings(const PlmWork& work, bool editingSecondary);
// Which legend a layout selection designates (0 main, 1 second), if any.
std::optional<int> selectedLegendSeries(const PlmWork& work, const std::optional<QString>& selected);

// Folds an edited series back into the work's settings; none when the edit cannot apply (a
// second-series edit without a second series in the work or without symbols).
std::optional<PlmThematicSettings> fold(const PlmThematicSettings& stored, const PlmThematicSettings& edited,
                                        bool secondary);

// A new variable for the edited settings: overrides dropped, a manual method made automatic.
PlmThematicSettings withVariable(PlmThematicSettings edited, const std::optional<QString>& variableID);

// The default symbols of the main (60 pt, red) and second (40 pt, blue) series.
PlmProportionalSettings defaultSymbols(bool secondSeries);
// The work's settings for another representation, keeping what can be kept.
PlmThematicSettings withRepresentation(const PlmWork& work, PlmRepresentation representation);

// Frees an entity's symbol (both series when concentric).
void removeManualSymbolPosition(PlmWork& work, const QString& entityID, bool secondSeries);
// Pins an entity's symbol at a map point (both series when concentric).
void storeManualSymbolPosition(PlmWork& work, const QString& entityID, const PlmPoint& point, bool secondSeries);

// The variables the variable pop-up lists: numbers and percentages, and texts unless the
// edited series draws symbols.
QList<PlmVariable> listedVariables(const PlmWork& work, bool editingSecondary);
// The settings' variable as the inspector shows it (a text is not one for symbols).
std::optional<PlmVariable> currentVariable(const PlmWork& work, const PlmThematicSettings& settings);
// The distribution of a variable's numbers and percentages (texts left out).
PlmDistribution distributionOf(const std::optional<PlmVariable>& variable);

} // namespace CarteThematicRules
