// The one refresh of the Carte pane and the refresh of each thematic layer.
#include "carte/CarteWindowController.h"

#include "export/CarteExportPanel.h"

#include "inspector/FondInspectorColorWell.h"
#include "inspector/TypedField.h"
#include "fond/PointSymbolColorInspector.h"
#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/CarteMapBlockEditor.h"
#include "page/CartePrintPageGuide.h"
#include "page/ThematicCanvas.h"
#include "page/ThematicLegend.h"
#include "canvas/ProportionalOverlay.h"
#include "page/DecorationController.h"
#include "inspector/InspectorSection.h"
#include "carte/CarteInspector.h"
#include "carte/CarteInspectorTexts.h"
#include "carte/CarteThematicRules.h"
#include "model/PlmPaletteRamps.h"
#include "model/PlmPointSymbol.h"
#include "model/PlmSymbolPosition.h"
#include "desktop/ViewHost.h"
#include "canvas/ProportionalShape.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>

using namespace CarteThematicRules;
namespace Texts = CarteInspectorTexts;
namespace Layers = CarteThematicLayers;

namespace {

void selectIndex(QComboBox* box, int index)
{
    const QSignalBlocker blocker(box);
    box->setCurrentIndex(index);
}

void setTitles(QComboBox* box, const QStringList& titles)
{
    QStringList current;
    for (int i = 0; i < box->count(); ++i)
        current.append(box->itemText(i));
    if (current == titles)
        return;
    const QSignalBlocker blocker(box);
    box->clear();
    box->addItems(titles);
}

void setChecked(QCheckBox* box, bool on)
{
    const QSignalBlocker blocker(box);
    box->setChecked(on);
}

// A field being typed into keeps its text.
void setFieldText(QLineEdit* field, const QString& text)
{
    if (TypedField* typed = TypedField::of(field))
        typed->show(text);
    else if (!CarteInspector::isBeingTyped(field) && field->text() != text)
        field->setText(text);
}

} // namespace

void CarteWindowController::refreshControls()
{
    if (!m_composition)
        return;
    const std::optional<PlmWork> current = work();
    // 1. The print page, drawn by the composition's guide; its drag comes back here.
    m_printPage = current && current->decoration ? current->decoration->printPage : std::nullopt;
    if (!(m_composition->printPage == m_printPage)) {
        m_composition->printPage = m_printPage;
        m_composition->setNeedsLayout();
    }
    m_composition->pageGuide()->setNeedsDisplay();
    QPointer<CarteWindowController> self(this);
    m_composition->onPrintPageChange = [self](const PlmPrintPage& page) {
        if (self)
            self->printPageChanged(page);
    };
    if (!current)
        return;
    const PlmWork& w = *current;

    // 3. Automatic anchors, recomputed only for new or moved entities.
    const PlmMap& shown = m_canvas->map();
    QHash<QString, const PlmEntity*> previous;
    if (!(shown.entities == w.map.entities)) {
        for (const PlmEntity& entity : shown.entities)
            previous.insert(entity.id, &entity);
        QHash<QString, PlmPoint> anchors;
        anchors.reserve(w.map.entities.size());
        for (const PlmEntity& entity : w.map.entities) {
            const auto before = previous.constFind(entity.id);
            if (before != previous.constEnd() && (*before)->geometry == entity.geometry) {
                if (const auto cached = automaticPositions.constFind(entity.id); cached != automaticPositions.constEnd())
                    anchors.insert(entity.id, *cached);
            } else if (const std::optional<PlmPoint> anchor = PlmSymbolPosition::anchor(entity.geometry)) {
                anchors.insert(entity.id, *anchor);
            }
        }
        if (!(anchors == automaticPositions))
            automaticPositions = anchors;
    }
    // 4. The base map.
    if (!(shown == w.map))
        m_canvas->setMap(w.map);
    // 5 and 6. Entity names and background image.
    refreshEntityNames(w);
    const std::optional<PlmBackgroundImage> image = w.decoration ? w.decoration->backgroundImage : std::nullopt;
    if (!(m_canvas->backgroundImage() == image))
        m_canvas->setBackgroundImage(image);

    // 8 and 9. Pending settings are dropped; a one-layer map edits its main series.
    draft.reset();
    if (!w.thematic || !hasSecondLayer(w.thematic->effectiveRepresentation()))
        editingSecondary = false;

    // 10 to 14. The variable pop-up, the current variable and its distribution.
    refreshVariablePopup(w);

    // 15. The thematic layers.
    const std::optional<PlmThematicSettings> edited = CarteThematicRules::editedSettings(w, editingSecondary);
    refreshRepresentation(edited.value_or(PlmThematicSettings()));

    // 16. The selection.
    selectEntity(m_document.selectedEntityID ? m_document.selectedEntityID() : std::nullopt);

    // 17. The stored viewport, once.
    restoreStoredViewport(w);
    // 18. The map block.
    m_mapBlockEditor->refresh();
    // Decorations hook: the object views and the inspector follow the stored work.
    m_decorations->syncObjectViews();
    // 19. Sections by layout selection.
    refreshSections(w);
    // 20. The first fit, once.
    if (!m_fittedInitialComposition) {
        fitComposition();
        m_fittedInitialComposition = true;
    }
    // 21. The export panel, when open.
    if (m_exportPanel)
        m_exportPanel->refreshFromDocument();
}

void CarteWindowController::refreshEntityNames(const PlmWork& w)
{
    const std::optional<PlmDecoration>& decoration = w.decoration;
    const bool show = decoration && decoration->showEntityNames.value_or(false);
    QHash<QString, PlmPoint> positions;
    if (decoration && decoration->entityNamePositions) {
        for (auto it = decoration->entityNamePositions->cbegin(); it != decoration->entityNamePositions->cend(); ++it)
            positions.insert(it.key(), it.value());
    }
    const QString fontName = decoration ? decoration->entityNameFontName.value_or(QStringLiteral("Helvetica"))
                                        : QStringLiteral("Helvetica");
    const double fontSize = decoration ? decoration->entityNameFontSize.value_or(12.0) : 12.0;
    if (m_canvas->showEntityNames != show || m_canvas->entityNamePositions != positions
        || m_canvas->entityNameFontName != fontName || m_canvas->entityNameFontSize != fontSize
        || m_canvas->entityNameAutomaticPositions.size() != automaticPositions.size()) {
        m_canvas->showEntityNames = show;
        m_canvas->entityNameAutomaticPositions = automaticPositions;
        m_canvas->entityNamePositions = positions;
        m_canvas->entityNameFontName = fontName;
        m_canvas->entityNameFontSize = fontSize;
        m_canvas->setNeedsDisplay();
    }
    setChecked(m_inspector->entityNames, show);
    const bool known = CarteInspector::fontKnown(fontName);
    m_inspector->entityNameFont->setText((known ? fontName : QFontDatabase::systemFont(QFontDatabase::GeneralFont).family())
                                         + QStringLiteral("…"));
    setFieldText(m_inspector->entityNameSize, Texts::entityNameSizeText(fontSize));
    m_inspector->entityNameFont->setEnabled(show);
    m_inspector->entityNameSize->setEnabled(show);
}

void CarteWindowController::refreshVariablePopup(const PlmWork& w)
{
    const QList<PlmVariable> listed = listedVariables(w, editingSecondary);
    QComboBox* popup = m_inspector->variable;
    bool same = popup->count() == listed.size() + 1;
    for (qsizetype i = 0; same && i < listed.size(); ++i)
        same = popup->itemText(int(i) + 1) == listed[i].name && popup->itemData(int(i) + 1).toString() == listed[i].id;
    if (!same) {
        const QSignalBlocker blocker(popup);
        popup->clear();
        popup->addItem(QStringLiteral("Choisir une variable…"));
        for (const PlmVariable& variable : listed)
            popup->addItem(variable.name, variable.id);
    }
    const std::optional<PlmThematicSettings> edited = CarteThematicRules::editedSettings(w, editingSecondary);
    currentVariable.reset();
    if (edited && edited->variableID) {
        for (qsizetype i = 0; i < listed.size(); ++i) {
            if (listed[i].id == *edited->variableID) {
                currentVariable = listed[i];
                selectIndex(popup, int(i) + 1);
                break;
            }
        }
    }
    // Without a variable (an undone choice, a deleted variable) the pop-up must not keep
    // naming the one that was shown.
    if (!currentVariable)
        selectIndex(popup, 0);
    // The distribution is sorted again only for another variable or other values.
    if (!(currentVariable == m_distributionVariable)) {
        distribution = distributionOf(currentVariable);
        m_distributionVariable = currentVariable;
    }
}

void CarteWindowController::updateCurrentVariable(const PlmWork& w, const PlmThematicSettings& settings)
{
    const std::optional<PlmVariable> variable = CarteThematicRules::currentVariable(w, settings);
    // The distribution is kept while the variable is the same value (a refresh of another layer).
    currentVariable = variable;
    if (!(variable == m_distributionVariable)) {
        distribution = distributionOf(variable);
        m_distributionVariable = variable;
    }
}

void CarteWindowController::refreshRepresentation(const PlmThematicSettings& shown)
{
    if (!m_composition)
        return;
    const std::optional<PlmWork> current = work();
    if (!current || !current->thematic) {
        legend[0].hidden = true;
        legend[1].hidden = true;
        overlay[0].hidden = true;
        overlay[1].hidden = true;
        if (current) {
            // The inspector still shows what a first choice will do.
            renderingSecondary = false;
            updateCurrentVariable(*current, shown);
            refreshChoropleth(*current, shown, true);
            legend[0].hidden = true;
        }
        presentLayers();
        return;
    }
    const PlmWork& w = *current;
    draft = shown;
    const PlmThematicSettings single = w.thematic->singleSeries();
    const std::optional<PlmThematicSettings> second = CarteThematicRules::thematicSettings(w, true);
    const PlmRepresentation rep = w.thematic->effectiveRepresentation();
    CarteInspector& ui = *m_inspector;

    selectIndex(ui.decimals, shown.decimalPlaces.value_or(2));
    setChecked(ui.hideMissing, shown.hideMissingInLegend.value_or(false));

    const bool secondEdited = editingSecondary && hasSecondLayer(rep);
    const PlmThematicSettings mainLayer = secondEdited ? single : shown;
    const std::optional<PlmThematicSettings> secondLayer = secondEdited ? std::optional(shown) : second;

    renderingSecondary = false;
    updateCurrentVariable(w, mainLayer);
    refreshChoropleth(w, mainLayer, false);
    if (hasSecondLayer(rep) && secondLayer) {
        renderingSecondary = true;
        updateCurrentVariable(w, *secondLayer);
        refreshChoropleth(w, *secondLayer, false);
    }
    renderingSecondary = secondEdited;
    updateCurrentVariable(w, shown);
    refreshChoropleth(w, shown, true);

    // The variable pop-up and the representation section.
    int variableIndex = 0;
    if (shown.variableID) {
        for (int i = 1; i < ui.variable->count(); ++i) {
            if (ui.variable->itemData(i).toString() == *shown.variableID) {
                variableIndex = i;
                break;
            }
        }
    }
    selectIndex(ui.variable, variableIndex);
    ui.variable->setToolTip(currentVariable ? currentVariable->name : QStringLiteral("Variable du document"));
    selectIndex(ui.representation, int(rep));
    ui.combinationRow->setHidden(!hasSecondLayer(rep) || selectedLegendSeries().has_value());
    const bool concentric = w.thematic->concentric.value_or(false);
    const bool secondInFront = w.thematic->secondInFront.value_or(true);
    if (rep == PlmRepresentation::aplatsAndSymbols)
        setTitles(ui.editSeries, {QStringLiteral("Aplats"), QStringLiteral("Symboles")});
    else
        setTitles(ui.editSeries, {QStringLiteral("Série 1"), QStringLiteral("Série 2")});
    selectIndex(ui.editSeries, secondEdited ? 1 : 0);
    if (concentric)
        setTitles(ui.order, {QStringLiteral("Grand puis petit")});
    else if (rep == PlmRepresentation::aplatsAndSymbols)
        setTitles(ui.order, {QStringLiteral("Symboles devant"), QStringLiteral("Aplats devant")});
    else
        setTitles(ui.order, {QStringLiteral("Série 2 devant"), QStringLiteral("Série 1 devant")});
    selectIndex(ui.order, !concentric && !secondInFront ? 1 : 0);
    ui.order->setEnabled(!concentric);
    ui.concentric->setHidden(rep != PlmRepresentation::twoSymbols);
    ui.concentric->setEnabled(w.thematic->allowsConcentric());
    setChecked(ui.concentric, concentric);

    // Overlays and the second legend.
    overlay[0].hidden = !isSymbolsOnly(rep);
    overlay[1].hidden = !hasSecondLayer(rep);
    if (!(hasSecondLayer(rep) && second && second->variableID))
        legend[1].hidden = true;
    overlay[0].concentricPartner = false;
    if (concentric) {
        const PlmProportionalSettings* firstSymbols = single.proportional ? &*single.proportional : nullptr;
        const PlmProportionalSettings* secondSymbols = second && second->proportional ? &*second->proportional : nullptr;
        Layers::applyCommonCentres(overlay[0].items, firstSymbols, secondSymbols, automaticPositions);
        Layers::applyCommonCentres(overlay[1].items, firstSymbols, secondSymbols, automaticPositions);
        overlay[0].concentricPartner = true;
        overlay[0].partnerInFront = secondInFront;
        overlay[1].hidden = true;
        ui.notice->setText(ui.notice->text()
                           + QStringLiteral(" Centres communs ; déplacement du couple. Du plus grand au plus petit, "
                                            "avec une échelle propre à chaque série."));
    }
    // A legend hidden by its presentation stays hidden.
    const PlmDecoration layout = w.decoration.value_or(PlmDecoration());
    if (layout.legend.hidden.value_or(false))
        legend[0].hidden = true;
    if (layout.secondLegend.hidden.value_or(false))
        legend[1].hidden = true;
    if (!(m_composition->legend()->presentation() == layout.legend))
        m_composition->legend()->setPresentation(layout.legend);
    if (!(m_composition->secondLegend()->presentation() == layout.secondLegend))
        m_composition->secondLegend()->setPresentation(layout.secondLegend);
    m_composition->restackSubviews(rep, secondInFront);
    presentLayers();
}

void CarteWindowController::refreshChoropleth(const PlmWork& w, const PlmThematicSettings& settings,
                                              bool updatingControls)
{
    CarteInspector& ui = *m_inspector;
    const bool symbolOnly = settings.representation == PlmRepresentation::proportional;
    if (!updatingControls && symbolOnly) {
        refreshSymbols(w, settings, false);
        return;
    }
    if (updatingControls) {
        const bool text = currentVariable && currentVariable->type == PlmVariableType::text;
        for (QWidget* view : ui.areaControls)
            view->setHidden(symbolOnly || text);
        ui.areaRow->setHidden(symbolOnly);
        ui.symbolRow->setHidden(!symbolOnly);
        ui.thresholdRowView->setHidden(symbolOnly);
        if (symbolOnly) {
            ui.classColorSection->setHidden(true);
            refreshSymbols(w, settings, true);
            return;
        }
    }
    const int index = renderingSecondary ? 1 : 0;
    LegendContent& content = legend[index];
    content.symbols.reset();
    content.footer.reset();
    content.referenceSizes.clear();

    const Layers::Classes found = Layers::classes(w, settings);
    const bool hasVariable = currentVariable.has_value();
    const bool numeric = hasVariable && currentVariable->type != PlmVariableType::text;
    if (updatingControls) {
        {
            const QSignalBlocker blocker(ui.legendLabels);
            ui.legendLabels->clear();
            ui.legendLabels->addItem(QStringLiteral("Intervalles numériques"));
            int selected = 0;
            for (const PlmVariable& variable : w.variables) {
                ui.legendLabels->addItem(variable.name, variable.id);
                if (settings.legendLabelVariableID && variable.id == *settings.legendLabelVariableID && selected == 0)
                    selected = ui.legendLabels->count() - 1;
            }
            ui.legendLabels->setCurrentIndex(selected);
        }
        ui.legendLabels->setEnabled(hasVariable);
        selectIndex(ui.method, int(settings.method));
        selectIndex(ui.classes, settings.classCount - 1);
        ui.method->setEnabled(numeric);
        ui.classes->setEnabled(numeric);
        {
            const QSignalBlocker blocker(ui.palette);
            if (ui.palette->count() > 0 && ui.palette->itemText(ui.palette->count() - 1) == QStringLiteral("Personnalisée"))
                ui.palette->removeItem(ui.palette->count() - 1);
            if (settings.classColorOverrides && !settings.classColorOverrides->isEmpty()) {
                ui.palette->addItem(QStringLiteral("Personnalisée"));
                ui.palette->setCurrentIndex(ui.palette->count() - 1);
            } else {
                ui.palette->setCurrentIndex(int(settings.palette));
            }
        }
        ui.palette->setEnabled(hasVariable);
        setChecked(ui.inverse, settings.inverted);
        ui.missing->setPlmColor(settings.missingColor);
        ui.inverse->setEnabled(hasVariable);
        ui.missing->setEnabled(hasVariable);
        ui.thresholds->setEnabled(numeric);
        setFieldText(ui.thresholds, Texts::thresholdText(settings.thresholds));
    }
    applyFillOverrides(w, settings, true);

    content.title = Texts::legendTitle(currentVariable);
    const int decimals = settings.decimalPlaces.value_or(2);
    const QStringList defaults = Texts::classLabels(distribution, settings.thresholds, decimals);
    content.labels = w.thematicLegendLabels(settings, defaults);
    content.colors = content.labels.isEmpty() ? QList<PlmColor>() : found.colors;
    if (updatingControls) {
        if (ui.setClassColorRows(found.keys, content.labels, found.colors))
            connectClassColorWells();
        bool hidden = found.keys.isEmpty();
        if (!hidden && m_decorations->selected && !selectedLegendSeries())
            hidden = true;
        ui.classColorSection->setHidden(hidden);
        const std::optional<PlmThematicSettings> edited = editedSettings();
        ui.resetClassColors->setEnabled(edited && edited->classColorOverrides && !edited->classColorOverrides->isEmpty());
    }
    content.showsMissing = !settings.hideMissingInLegend.value_or(false);
    content.missingColor = settings.missingColor;
    content.hidden = !hasVariable;
    content.position = settings.legendPosition;
    if (!updatingControls)
        return;

    const int entityCount = int(w.map.entities.size());
    if (!currentVariable || currentVariable->type != PlmVariableType::text) {
        ui.stats->setText(Texts::statisticsLine(distribution, entityCount, decimals));
        ui.notice->setText(Texts::choroplethNotice(hasVariable, distribution, int(settings.thresholds.size()),
                                                   settings.classCount));
    } else {
        ui.thresholdRowView->setHidden(true);
        ui.stats->setText(Texts::categoryStatisticsLine(Layers::classedEntityCount(w, settings, found.keys),
                                                        int(found.keys.size())));
        ui.notice->setText(QString());
        ui.legendLabels->setEnabled(false);
    }
}

void CarteWindowController::applyFillOverrides(const PlmWork& w, const PlmThematicSettings& settings, bool colorAreas)
{
    if (renderingSecondary)
        return;
    FillKey key{w.map.entities, w.variables, settings, currentVariable.has_value(), colorAreas};
    if (m_fillKey && *m_fillKey == key)
        return;
    ++layerComputations;
    if (!key.hasVariable || w.map.entities.isEmpty()) {
        m_canvas->fillOverrides.clear();
        m_canvas->fillClasses = {};
        m_overridesFollowClasses = false;
    } else {
        ColourableKey colourable{w.map.entities, colorAreas};
        QHash<QString, PlmColor>& overrides = m_canvas->fillOverrides;
        if (!(m_colourableKey == colourable) || !m_overridesFollowClasses || overrides.size() != m_overrideOrder.size()) {
            // The map view's entries are made once per map: later changes only recolour them,
            // in the hash's own iteration order (no insertion, no allocation).
            m_colourable = Layers::colourableEntities(w, colorAreas);
            m_colourableOrder = PlmKeyOrder(m_colourable);
            m_colourableKey = std::move(colourable);
            QHash<QString, int> positionByID;
            positionByID.reserve(m_colourable.size());
            for (qsizetype i = 0; i < m_colourable.size(); ++i)
                positionByID.insert(m_colourable[i], int(i));
            overrides = Layers::fillOverrides(m_colourable, {}, {}, settings.missingColor);
            m_overrideOrder.clear();
            m_overrideOrder.reserve(overrides.size());
            for (auto it = overrides.cbegin(); it != overrides.cend(); ++it)
                m_overrideOrder.append(positionByID.value(it.key(), -1));
            m_overridesFollowClasses = true;
            m_classKey.reset();
        }
        const Layers::Classes found = Layers::classes(w, settings);
        const PlmVariable* mapped = settings.variableID ? w.variable(*settings.variableID) : nullptr;
        ClassKey classKey{m_colourable, mapped ? std::optional(*mapped) : std::nullopt, settings.thresholds, found.keys};
        if (!(m_classKey == classKey)) {
            if (mapped && mapped->type != PlmVariableType::text) {
                NumbersKey numbersKey{m_colourable, *mapped};
                if (!(m_numbersKey == numbersKey)) {
                    m_entityNumbers = Layers::entityNumbers(*mapped, m_colourableOrder);
                    m_numbersKey = std::move(numbersKey);
                }
                m_classIndices = Layers::classIndices(m_entityNumbers, settings.thresholds);
            } else {
                m_classIndices = Layers::classIndices(w, settings, found.keys, m_colourableOrder);
            }
            m_classKey = std::move(classKey);
        }
        qsizetype i = 0;
        for (auto it = overrides.begin(); it != overrides.end(); ++it, ++i) {
            const int index = m_classIndices.value(m_overrideOrder[i], -1);
            it.value() = index >= 0 && index < found.colors.size() ? found.colors[index] : settings.missingColor;
        }
        m_canvas->fillClasses = {m_colourable, m_classIndices, found.colors, settings.missingColor};
    }
    m_fillKey = std::move(key);
    m_canvas->setNeedsDisplay();
}

void CarteWindowController::refreshSymbols(const PlmWork& w, const PlmThematicSettings& settings,
                                           bool updatingControls)
{
    if (!settings.proportional)
        return;
    const PlmProportionalSettings& p = *settings.proportional;
    const int decimals = settings.decimalPlaces.value_or(2);
    CarteInspector& ui = *m_inspector;
    const double minimum = Layers::minimumSymbolSize(p, distribution);
    bool recolourable = p.kind != PlmSymbolKind::svg;
    if (!recolourable && p.svgVector) {
        PlmPointSymbol symbol;
        symbol.svgVector = p.svgVector;
        recolourable = symbol.isMonochrome();
    }
    if (updatingControls) {
        selectIndex(ui.symbolKind, int(p.kind));
        setFieldText(ui.minimumSize, Texts::minimumSizeText(minimum));
        ui.minimumSize->setEnabled(minimum > 0);
        setFieldText(ui.maximumSize, Texts::maximumSizeText(p.maximumSize));
        ui.maximumSize->setEnabled(currentVariable.has_value());
        ui.chooseAsset->setHidden(p.kind != PlmSymbolKind::sfSymbol && p.kind != PlmSymbolKind::svg);
        selectIndex(ui.symbolFillMode, p.automaticColor.value_or(false) ? 0 : 1);
        ui.symbolColor->setPlmColor(p.color);
        ui.symbolColor->setEnabled(recolourable && !p.automaticColor.value_or(false));
        ui.symbolFillMode->setEnabled(recolourable);
        {
            const QSignalBlocker blocker(ui.symbolOpacity);
            ui.symbolOpacity->setValue(int(std::lround(p.color.alpha * 100)));
        }
        setFieldText(ui.symbolOpacityValue, Texts::opacityText(p.color.alpha));
        const bool outlineOn = p.outlineVisible.value_or(false);
        setChecked(ui.symbolOutlineToggle, outlineOn);
        ui.symbolOutlineColor->setPlmColor(p.outline ? p.outline->stroke : PlmColor{0, 0, 0, 1});
        setFieldText(ui.symbolOutlineWidth, Texts::outlineWidthText(p.outline ? p.outline->lineWidth : 1.0));
        ui.symbolOutlineColor->setEnabled(outlineOn);
        ui.symbolOutlineWidth->setEnabled(outlineOn);
    }
    applyFillOverrides(w, settings, false);

    const int index = renderingSecondary ? 1 : 0;
    OverlayContent& layer = overlay[index];
    SymbolKey key{w.map.entities, currentVariable, p, automaticPositions};
    if (!m_symbolKey[index] || !(*m_symbolKey[index] == key)) {
        ++layerComputations;
        layer.items = Layers::symbolItems(w, p, currentVariable, distribution, automaticPositions);
        m_symbolKey[index] = std::move(key);
    }
    layer.symbols = p;
    layer.color = p.color;

    LegendContent& content = legend[index];
    content.title = Texts::legendTitle(currentVariable);
    const Layers::SymbolLegend samples = Layers::symbolLegend(p, distribution, decimals);
    content.labels = samples.labels;
    content.referenceSizes = samples.referenceSizes;
    content.colors.clear();
    content.symbols = p;
    content.symbolColor = p.color;
    content.footer = QStringLiteral("0 et sans donnée : aucun symbole");
    content.hidden = !currentVariable.has_value();
    content.position = settings.legendPosition;

    if (updatingControls) {
        ui.stats->setText(Texts::symbolCountsLine(int(layer.items.size()), distribution, int(w.map.entities.size())));
        bool unavailable = false;
        if (p.kind == PlmSymbolKind::sfSymbol) {
            const ProportionalShape shape(p, false);
            unavailable = shape.nativeSymbolUnavailable;
        }
        ui.notice->setText(Texts::symbolNotice(currentVariable.has_value(), unavailable));
    }
}

void CarteWindowController::refreshSections(const PlmWork& w)
{
    CarteInspector& ui = *m_inspector;
    const std::optional<QString>& selection = m_decorations->selected;
    const std::optional<int> series = CarteThematicRules::selectedLegendSeries(w, selection);
    const std::optional<PlmThematicSettings> edited = CarteThematicRules::editedSettings(w, editingSecondary);
    if (selection && !series)
        ui.symbolAppearanceSection->setHidden(true);
    else
        ui.symbolAppearanceSection->setHidden(!(edited && edited->representation == PlmRepresentation::proportional));
    ui.representationSection->setHidden(selection && !series);
    for (QWidget* view : ui.generalControls)
        view->setHidden(series.has_value());
    m_mapBlockEditor->section()->setHidden(selection.has_value());
    if (selection && !series)
        ui.classColorSection->setHidden(true);
}

void CarteWindowController::presentLayers()
{
    if (!m_composition)
        return;
    // Each view is told only what changed, so an unrelated refresh redraws nothing.
    for (int i = 0; i < 2; ++i) {
        const OverlayContent& content = overlay[i];
        ProportionalOverlay* view = i == 0 ? m_composition->symbols() : m_composition->secondSymbols();
        if (content.symbols && !(m_shapeSettings[i] == content.symbols)) {
            m_shapes[i] = std::make_shared<const ProportionalShape>(*content.symbols, false);
            m_shapeSettings[i] = content.symbols;
            view->setShape(m_shapes[i]);
        }
        if (!(view->color() == content.color))
            view->setColor(content.color);
        if (!(view->items() == content.items))
            view->setItems(content.items);
        if (view->selectedID() != content.selectedID)
            view->setSelectedID(content.selectedID);
        if (view->isHidden() != content.hidden)
            view->setHidden(content.hidden);
    }
    ProportionalOverlay* first = m_composition->symbols();
    ProportionalOverlay* partner = overlay[0].concentricPartner ? m_composition->secondSymbols() : nullptr;
    if (first->concentricPartner() != partner)
        first->setConcentricPartner(partner);
    if (first->partnerInFront() != overlay[0].partnerInFront)
        first->setPartnerInFront(overlay[0].partnerInFront);

    bool moved = false;
    for (int i = 0; i < 2; ++i) {
        const LegendContent& content = legend[i];
        ThematicLegend* view = i == 0 ? m_composition->legend() : m_composition->secondLegend();
        if (view->title() != content.title)
            view->setTitle(content.title);
        if (view->labels() != content.labels)
            view->setLabels(content.labels);
        if (view->colors() != content.colors)
            view->setColors(content.colors);
        if (view->showsMissing() != content.showsMissing)
            view->setShowsMissing(content.showsMissing);
        if (!(view->missingColor() == content.missingColor))
            view->setMissingColor(content.missingColor);
        if (view->referenceSizes() != content.referenceSizes)
            view->setReferenceSizes(content.referenceSizes);
        if (!(view->symbolColor() == content.symbolColor))
            view->setSymbolColor(content.symbolColor);
        if (view->footer() != content.footer)
            view->setFooter(content.footer);
        if (!(m_legendShapeSettings[i] == content.symbols)) {
            m_legendShapeSettings[i] = content.symbols;
            view->setProportionalShape(content.symbols ? (m_shapeSettings[i] == content.symbols && m_shapes[i]
                                                              ? m_shapes[i]
                                                              : std::make_shared<const ProportionalShape>(*content.symbols, false))
                                                       : nullptr);
        }
        if (view->isHidden() != content.hidden)
            view->setHidden(content.hidden);
        PlmPoint& position = i == 0 ? m_composition->legendPosition : m_composition->secondLegendPosition;
        if (!(position == content.position)) {
            position = content.position;
            moved = true;
        }
    }
    if (moved) {
        m_composition->setNeedsLayout();
        m_composition->layoutSubtreeIfNeeded();
        m_composition->setNeedsLayout();
    }
}

void CarteWindowController::restoreStoredViewport(const PlmWork& w)
{
    if (m_restoredDecorationViewport || !w.decoration || !w.decoration->viewport)
        return;
    m_compositionHost->layoutSubtreeIfNeeded();
    // Until the pane has its real size there is no page: the first real size fits the map, so
    // the stored framing waits for it rather than being fitted away.
    if (!m_composition->compositionSize)
        return;
    m_composition->compositionViewport = *w.decoration->viewport;
    m_canvas->apply(*w.decoration->viewport);
    m_restoredDecorationViewport = true;
}
