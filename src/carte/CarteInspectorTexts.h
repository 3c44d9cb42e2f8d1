#pragma once

#include "model/PlmColor.h"
#include "model/PlmDistribution.h"
#include "model/PlmThematicSettings.h"
#include "model/PlmVariable.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// The texts of the Carte inspector and the reading of what is typed into it. Each typed value
// is turned into whole settings or refused with one French sentence (PlmWorkError).
namespace CarteInspectorTexts {

// "10 ; 12,5 ; 20": each number as its shortest round-trip text, ".0" dropped, decimal comma.
QString thresholdText(const QList<double>& thresholds);
// The class labels of a numeric choropleth ("≤ 10,00", "> 10,00 à 20,00", "> 20,00").
QStringList classLabels(const PlmDistribution& distribution, const QList<double>& thresholds, int decimals);
// "n valeurs · m sans donnée    Min …    Max …    Moyenne …    Écart-type …".
QString statisticsLine(const PlmDistribution& distribution, int entityCount, int decimals);
// The guidance line of a choropleth.
QString choroplethNotice(bool hasVariable, const PlmDistribution& distribution, int thresholdCount, int classCount);
// "n valeurs · k catégories" for a text variable.
QString categoryStatisticsLine(int classedEntities, int categoryCount);
// "n symboles · z valeurs nulles · m sans donnée[ · k valeurs négatives non représentées]".
QString symbolCountsLine(int itemCount, const PlmDistribution& distribution, int entityCount);
// The guidance line of a symbol layer.
QString symbolNotice(bool hasVariable, bool symbolUnavailable);
// The legend title: the name, with " (%)" for a percentage.
QString legendTitle(const std::optional<PlmVariable>& variable);

// A typed list of thresholds applied to the edited settings (the method becomes manual);
// throws the parse, count or validation sentence.
PlmThematicSettings typedThresholds(const PlmThematicSettings& edited, const QString& text,
                                    const QList<PlmVariable>& variables);
// A typed minimum or maximum symbol size applied to the edited settings; throws.
enum class SizeField { minimum, maximum };
PlmThematicSettings typedSize(const PlmThematicSettings& edited, SizeField field, const QString& text,
                              const PlmDistribution& distribution, const QSet<QString>& entityIDs);

// The appearance controls of a symbol series, as read from the inspector: only the control
// the person used is set, so that a change never takes the rounded text of another field.
struct SymbolAppearance {
    std::optional<bool> automaticFill;
    // The slider's value, or the typed text when the field sent the change.
    std::optional<double> sliderOpacity;
    std::optional<QString> opacityText;
    std::optional<QString> outlineWidthText;
    std::optional<PlmColor> outlineColor;
    std::optional<bool> outlineVisible;
};
// The edited settings with that appearance; throws the parse error or the range sentence.
PlmThematicSettings appearance(const PlmThematicSettings& edited, const SymbolAppearance& controls, bool secondSeries);

// The texts the size and appearance fields show for stored values.
QString minimumSizeText(double size);
QString maximumSizeText(double size);
QString opacityText(double alpha);
QString outlineWidthText(double width);

// The entity-name size typed with a decimal comma or point, in (0, 1000]; none otherwise.
std::optional<double> entityNameSize(const QString& text);
// The size as the field shows it: "12,0", "10,5".
QString entityNameSizeText(double size);

} // namespace CarteInspectorTexts
