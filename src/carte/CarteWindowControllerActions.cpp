// The actions of the Carte inspector: each reads its control, changes a copy of the edited
// settings and stores it as one undoable change.
#include "carte/CarteWindowController.h"


#include "inspector/FondInspectorColorWell.h"
#include "inspector/TypedField.h"
#include "canvas/VectorCanvas.h"
#include "carte/CarteInspector.h"
#include "carte/CarteInspectorTexts.h"
#include "carte/CarteThematicRules.h"
#include "model/PlmErrors.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>

namespace Texts = CarteInspectorTexts;

void CarteWindowController::connectControls()
{
    CarteInspector& ui = *m_inspector;
    // Only what the person does reaches the actions: `activated`, `clicked`, `textEdited` and
    // `editingFinished` are never sent by the refresh's own changes. Return ends editing,
    // which is the one moment a typed value is taken (a second action would apply it twice).
    connect(ui.variable, &QComboBox::activated, this, [this] { changeVariable(); });
    connect(ui.method, &QComboBox::activated, this, [this] { changeMethod(); });
    connect(ui.classes, &QComboBox::activated, this, [this] { changeClasses(); });
    connect(ui.legendLabels, &QComboBox::activated, this, [this] { changeLegendLabels(); });
    connect(ui.palette, &QComboBox::activated, this, [this] { changeColors(m_inspector->palette); });
    connect(ui.inverse, &QCheckBox::clicked, this, [this] { changeColors(m_inspector->inverse); });
    connect(ui.missing, &FondInspectorColorWell::colorChosen, this, [this] { changeColors(m_inspector->missing); });
    connect(ui.decimals, &QComboBox::activated, this, [this] { changePresentation(); });
    connect(ui.hideMissing, &QCheckBox::clicked, this, [this] { changePresentation(); });
    connect(ui.resetClassColors, &QPushButton::clicked, this, [this] { resetPalette(); });
    connect(ui.representation, &QComboBox::activated, this, [this] { changeRepresentation(); });
    connect(ui.editSeries, &QComboBox::activated, this, [this] { changeEditingSeries(); });
    connect(ui.order, &QComboBox::activated, this, [this] { changeOrder(); });
    connect(ui.concentric, &QCheckBox::clicked, this, [this] { changeConcentric(); });
    connect(ui.symbolKind, &QComboBox::activated, this, [this] { changeSymbolKind(); });
    connect(ui.minimumSize, &QLineEdit::textEdited, this, [this] { previewTypedSize(m_inspector->minimumSize); });
    connect(ui.maximumSize, &QLineEdit::textEdited, this, [this] { previewTypedSize(m_inspector->maximumSize); });
    connect(ui.symbolColor, &FondInspectorColorWell::colorChosen, this, [this] { changeSymbolColor(); });
    connect(ui.symbolFillMode, &QComboBox::activated, this, [this] { applySymbolAppearance(m_inspector->symbolFillMode); });
    connect(ui.symbolOpacity, &QSlider::valueChanged, this, [this] {
        if (m_inspector->symbolOpacity->isSliderDown() || m_inspector->symbolOpacity->hasFocus())
            applySymbolAppearance(m_inspector->symbolOpacity);
    });
    connect(ui.symbolOutlineToggle, &QCheckBox::clicked, this,
            [this] { applySymbolAppearance(m_inspector->symbolOutlineToggle); });
    connect(ui.symbolOutlineColor, &FondInspectorColorWell::colorChosen, this,
            [this] { applySymbolAppearance(m_inspector->symbolOutlineColor); });
    connect(ui.restorePosition, &QPushButton::clicked, this, [this] { restoreAutomaticPosition(editingSecondary); });
    connect(ui.entityNames, &QCheckBox::clicked, this, [this] { toggleEntityNames(); });
    connect(ui.entityNameFont, &QPushButton::clicked, this, [this] { chooseEntityNameFont(); });
    connect(ui.chooseAsset, &QPushButton::clicked, this, [this] { openSymbolPicker(); });
    const QStringList names{QStringLiteral("Seuils"), QStringLiteral("Taille minimale (pt)"),
                            QStringLiteral("Taille maximale (pt)"), QStringLiteral("Opacité (%)"),
                            QStringLiteral("Épaisseur (pt)"), QStringLiteral("Taille des noms (pt)")};
    const QList<QLineEdit*> fields = typedFields();
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QLineEdit* field = fields[i];
        // The names' size and the symbols' sizes give the stored value back on a refusal; the
        // thresholds and the symbols' appearance keep the text to correct.
        const bool showsStored = field == ui.entityNameSize || field == ui.minimumSize || field == ui.maximumSize;
        TypedField::attach(field, {names.value(i), [this, field] { return storedText(field); },
                                   [this, field](const QString&) { return takeTypedText(field); },
                                   [this](const QString& message) { showError(message); }, false, showsStored});
    }
}

void CarteWindowController::connectClassColorWells()
{
    for (FondInspectorColorWell* well : m_inspector->classColorWells) {
        const int row = well->property("tag").toInt();
        connect(well, &FondInspectorColorWell::colorChosen, this, [this, row] { changeClassColor(row); });
    }
}

bool CarteWindowController::applyThematic(const PlmThematicSettings& edited, const QString& actionName,
                                          std::optional<bool> secondary)
{
    const std::optional<PlmWork> current = work();
    if (!current || !m_document.canUpdate())
        return false;
    if (!current->thematic)
        return false;
    const std::optional<PlmThematicSettings> result =
        CarteThematicRules::fold(*current->thematic, edited, secondary.value_or(editingSecondary));
    if (!result)
        return false;
    // An unchanged value stores nothing: no empty undo step.
    if (*result == *current->thematic) {
        draft.reset();
        return true;
    }
    const PlmThematicSettings settings = *result;
    const bool stored = update(actionName, [&settings](PlmWork& work) { work.thematic = settings; });
    if (stored)
        draft.reset();
    return stored;
}

void CarteWindowController::changeVariable()
{
    const PlmThematicSettings edited = editedSettings().value_or(PlmThematicSettings());
    const QVariant data = m_inspector->variable->currentData();
    const std::optional<QString> id = data.typeId() == QMetaType::QString ? std::optional(data.toString()) : std::nullopt;
    applyThematic(CarteThematicRules::withVariable(edited, id), QStringLiteral("Changer la variable de carte"));
}

void CarteWindowController::changeMethod()
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return;
    const int index = m_inspector->method->currentIndex();
    if (index < 0 || index > 4)
        return;
    edited->method = PlmClassificationMethod(index);
    if (edited->method == PlmClassificationMethod::manual)
        edited->classCount = int(edited->thresholds.size()) + 1;
    applyThematic(*edited, QStringLiteral("Changer la discrétisation"));
}

void CarteWindowController::changeClasses()
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return;
    edited->classCount = m_inspector->classes->currentIndex() + 1;
    if (edited->method == PlmClassificationMethod::manual)
        edited->thresholds = distribution.thresholds(PlmClassificationMethod::equalIntervals, edited->classCount, {});
    applyThematic(*edited, QStringLiteral("Changer les classes"));
}

void CarteWindowController::changeLegendLabels()
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return;
    const QVariant data = m_inspector->legendLabels->currentData();
    edited->legendLabelVariableID = data.typeId() == QMetaType::QString ? std::optional(data.toString()) : std::nullopt;
    applyThematic(*edited, QStringLiteral("Changer les libellés de légende"));
}

void CarteWindowController::changePresentation()
{
    if (!commitPendingEdits())
        return;
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return;
    edited->decimalPlaces = m_inspector->decimals->currentIndex();
    edited->hideMissingInLegend = m_inspector->hideMissing->isChecked();
    applyThematic(*edited, QStringLiteral("Présentation des valeurs"));
}

void CarteWindowController::changeColors(QObject* sender)
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return;
    const std::optional<PlmColor> missing = m_inspector->missing->plmColor();
    if (!missing)
        return;
    const int index = m_inspector->palette->currentIndex();
    if (sender == m_inspector->palette && index >= 0 && index < 9)
        edited->classColorOverrides.reset();
    if (index >= 0 && index < 9)
        edited->palette = PlmPalette(index);
    edited->inverted = m_inspector->inverse->isChecked();
    edited->missingColor = *missing;
    applyThematic(*edited, QStringLiteral("Changer les couleurs"));
}

void CarteWindowController::changeClassColor(int row)
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited || row < 0 || row >= m_inspector->classColorKeys.size() || row >= m_inspector->classColorWells.size())
        return;
    const std::optional<PlmColor> color = m_inspector->classColorWells[row]->plmColor();
    if (!color)
        return;
    QMap<QString, PlmColor> overrides = edited->classColorOverrides.value_or(QMap<QString, PlmColor>());
    overrides.insert(m_inspector->classColorKeys[row], *color);
    edited->classColorOverrides = overrides;
    applyThematic(*edited, QStringLiteral("Couleur de la classe"));
}

void CarteWindowController::resetPalette()
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return;
    edited->classColorOverrides.reset();
    applyThematic(*edited, QStringLiteral("Réinitialiser la palette"));
}

void CarteWindowController::changeRepresentation()
{
    const int index = m_inspector->representation->currentIndex();
    if (index < 0 || index > 3 || !commitPendingEdits())
        return;
    const std::optional<PlmWork> current = work();
    if (!current)
        return;
    const PlmThematicSettings settings = CarteThematicRules::withRepresentation(*current, PlmRepresentation(index));
    editingSecondary = false;
    if (current->thematic && settings == *current->thematic) {
        refreshControls();
        return;
    }
    update(QStringLiteral("Changer la représentation"), [&settings](PlmWork& work) { work.thematic = settings; });
}

void CarteWindowController::changeEditingSeries()
{
    const int index = m_inspector->editSeries->currentIndex();
    if (commitPendingEdits())
        editingSecondary = index == 1;
    refreshControls();
}

void CarteWindowController::changeOrder()
{
    const bool front = m_inspector->order->currentIndex() == 0;
    update(QStringLiteral("Changer l’ordre"), [front](PlmWork& work) {
        if (work.thematic)
            work.thematic->secondInFront = front;
    });
}

void CarteWindowController::changeConcentric()
{
    const bool on = m_inspector->concentric->isChecked();
    update(QStringLiteral("Symboles concentriques"), [on](PlmWork& work) {
        if (work.thematic)
            work.thematic->concentric = on;
    });
}

void CarteWindowController::changeSymbolKind()
{
    const int index = m_inspector->symbolKind->currentIndex();
    if (index < 0 || index > 4)
        return;
    const PlmSymbolKind kind = PlmSymbolKind(index);
    if (kind == PlmSymbolKind::sfSymbol || kind == PlmSymbolKind::svg) {
        // Nothing is stored until a symbol is chosen in the catalogue.
        openSymbolPicker();
        return;
    }
    std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited || !edited->proportional)
        return;
    edited->proportional->kind = kind;
    applyThematic(*edited, QStringLiteral("Changer le symbole"));
}

void CarteWindowController::previewTypedSize(QObject* field)
{
    const std::optional<PlmThematicSettings> edited = editedSettings();
    auto* line = qobject_cast<QLineEdit*>(field);
    if (!edited || !line)
        return;
    const std::optional<PlmWork> current = work();
    try {
        const PlmThematicSettings typed = Texts::typedSize(
            *edited, line == m_inspector->minimumSize ? Texts::SizeField::minimum : Texts::SizeField::maximum,
            line->text(), distribution, current ? current->topLevelEntityIDs() : QSet<QString>());
        refreshRepresentation(typed);
    } catch (const PlmError&) {
        // Errors are not shown while typing.
    }
}

void CarteWindowController::changeSymbolColor()
{
    std::optional<PlmThematicSettings> edited = editedSettings();
    const std::optional<PlmColor> color = m_inspector->symbolColor->plmColor();
    if (!edited || !edited->proportional || !color)
        return;
    PlmProportionalSettings& symbols = *edited->proportional;
    symbols.automaticColor = false;
    symbols.color = PlmColor{color->red, color->green, color->blue, symbols.color.alpha};
    applyThematic(*edited, QStringLiteral("Changer la couleur des symboles"));
}

void CarteWindowController::applySymbolAppearance(QObject* sender)
{
    const std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited || !edited->proportional)
        return;
    // Only the control used is read: the fields' rounded texts are not taken along.
    const CarteInspector& ui = *m_inspector;
    Texts::SymbolAppearance controls;
    if (sender == ui.symbolFillMode)
        controls.automaticFill = ui.symbolFillMode->currentIndex() == 0;
    else if (sender == ui.symbolOpacity)
        controls.sliderOpacity = ui.symbolOpacity->value();
    else if (sender == ui.symbolOutlineToggle)
        controls.outlineVisible = ui.symbolOutlineToggle->isChecked();
    else if (sender == ui.symbolOutlineColor)
        controls.outlineColor = ui.symbolOutlineColor->plmColor();
    if (!controls.automaticFill && !controls.sliderOpacity && !controls.outlineVisible && !controls.outlineColor)
        return;
    try {
        applyThematic(Texts::appearance(*edited, controls, editingSecondary), QStringLiteral("Apparence des symboles"));
    } catch (const PlmError& error) {
        refreshControls();
        showError(error.message());
    }
}

void CarteWindowController::restoreAutomaticPosition(bool secondSeries)
{
    if (!m_composition)
        return;
    const std::optional<QString> id = m_document.selectedEntityID ? m_document.selectedEntityID() : std::nullopt;
    if (!id || m_canvas->lockedEntityIDs.contains(*id))
        return;
    update(QStringLiteral("Position automatique"), [&](PlmWork& work) {
        CarteThematicRules::removeManualSymbolPosition(work, *id, secondSeries);
    });
}
