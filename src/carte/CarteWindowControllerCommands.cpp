// Pending edits, the composition written with the work, entity names and the pane's commands.
#include "carte/CarteWindowController.h"

#include "canvas/VectorCanvas.h"
#include "page/CarteCompositionHost.h"
#include "page/ThematicCanvas.h"
#include "page/DecorationController.h"
#include "export/CarteExportPanel.h"
#include "export/ThematicCanvasExport.h"
#include "carte/CarteInspector.h"
#include "carte/CarteInspectorTexts.h"
#include "carte/CarteThematicRules.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "desktop/ViewHost.h"
#include "inspector/TypedField.h"

#include <QAction>
#include <QEvent>
#include <QCheckBox>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

namespace Texts = CarteInspectorTexts;

namespace {

// The composition size a work may store (the layout's validation range).
bool isStorableSize(double width, double height)
{
    return std::isfinite(width) && std::isfinite(height) && width >= 100 && width <= 10000 && height >= 100
        && height <= 10000;
}

} // namespace

bool CarteWindowController::isEditing(QObject* field) const
{
    return CarteInspector::isBeingTyped(qobject_cast<QLineEdit*>(field));
}

void CarteWindowController::endEditing()
{
    // Focus goes back to the composition, which ends the field's editing.
    if (m_host && m_host->isVisible())
        m_host->setFocus();
    for (QLineEdit* field : typedFields()) {
        if (isEditing(field))
            field->clearFocus();
    }
}

QList<QLineEdit*> CarteWindowController::typedFields() const
{
    const CarteInspector& ui = *m_inspector;
    return {ui.thresholds,         ui.minimumSize,        ui.maximumSize,
            ui.symbolOpacityValue, ui.symbolOutlineWidth, ui.entityNameSize};
}

QString CarteWindowController::storedText(const QLineEdit* field) const
{
    const CarteInspector& ui = *m_inspector;
    if (field == ui.entityNameSize)
        return m_canvas ? Texts::entityNameSizeText(m_canvas->entityNameFontSize) : QString();
    const std::optional<PlmThematicSettings> edited = editedSettings();
    if (field == ui.thresholds)
        return Texts::thresholdText(edited.value_or(PlmThematicSettings()).thresholds);
    if (!edited || !edited->proportional)
        return QString();
    const PlmProportionalSettings& symbols = *edited->proportional;
    if (field == ui.minimumSize)
        return Texts::minimumSizeText(CarteThematicLayers::minimumSymbolSize(symbols, distribution));
    if (field == ui.maximumSize)
        return Texts::maximumSizeText(symbols.maximumSize);
    if (field == ui.symbolOpacityValue)
        return Texts::opacityText(symbols.color.alpha);
    if (field == ui.symbolOutlineWidth)
        return Texts::outlineWidthText(symbols.outline ? symbols.outline->lineWidth : 1.0);
    return QString();
}

bool CarteWindowController::applyTypedText(QLineEdit* field)
{
    const CarteInspector& ui = *m_inspector;
    const QString text = field->text();
    if (field == ui.entityNameSize) {
        if (!m_composition)
            return true;
        const std::optional<double> size = Texts::entityNameSize(text);
        if (!size)
            throw PlmWorkError(QStringLiteral("Taille de police incorrecte."));
        return applyEntityNameFont(m_canvas->entityNameFontName, *size);
    }
    const std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited)
        return true;
    const std::optional<PlmWork> current = work();
    if (field == ui.thresholds)
        return applyThematic(Texts::typedThresholds(*edited, text, current ? current->variables : QList<PlmVariable>()),
                             QStringLiteral("Saisir les seuils"));
    if (field == ui.minimumSize || field == ui.maximumSize) {
        if (edited->representation != PlmRepresentation::proportional)
            return true;
        const Texts::SizeField size = field == ui.minimumSize ? Texts::SizeField::minimum : Texts::SizeField::maximum;
        return applyThematic(Texts::typedSize(*edited, size, text, distribution,
                                              current ? current->topLevelEntityIDs() : QSet<QString>()),
                             QStringLiteral("Changer la taille des symboles"));
    }
    if (!edited->proportional)
        return true;
    Texts::SymbolAppearance controls;
    (field == ui.symbolOpacityValue ? controls.opacityText : controls.outlineWidthText) = text;
    return applyThematic(Texts::appearance(*edited, controls, editingSecondary), QStringLiteral("Apparence des symboles"));
}

QString CarteWindowController::takeTypedText(QLineEdit* field)
{
    QString refusal;
    {
        const QScopedValueRollback<bool> taking(m_takingTypedText, true);
        try {
            applyTypedText(field);
        } catch (const PlmError& error) {
            refusal = error.message();
        }
    }
    // A preview of an earlier text goes; the field keeps what was typed.
    if (!refusal.isEmpty())
        refreshControls();
    return refusal;
}

bool CarteWindowController::commitPendingEdits()
{
    m_decorations->commitTextEdit();
    for (QLineEdit* field : typedFields()) {
        TypedField* typed = TypedField::of(field);
        if (!typed || !typed->isBeingTyped())
            continue;
        if (!typed->commit())
            return false;
        endEditing();
        return true;
    }
    return true;
}

void CarteWindowController::storeComposition(PlmWork& work) const
{
    if (!m_composition)
        return;
    if (!work.decoration)
        work.decoration = PlmDecoration();
    // The framing shown now, not the one the pane opened with; a map view never laid out has
    // none, and the stored viewport stays.
    if (!m_canvas->bounds().isEmpty() && m_canvas->scale() > 0)
        work.decoration->viewport = m_canvas->currentViewport();
    else if (m_composition->compositionViewport)
        work.decoration->viewport = *m_composition->compositionViewport;
    // A composition under the minimum (never laid out) would make every save invalid.
    const QRectF page = m_composition->bounds();
    if (isStorableSize(page.width(), page.height()))
        work.decoration->compositionSize = PlmPoint{page.width(), page.height()};
}

void CarteWindowController::toggleEntityNames()
{
    if (commitStudioEditing && !commitStudioEditing())
        return;
    update(QStringLiteral("Afficher les noms des entités"),
           [](PlmWork& work) {
               if (!work.decoration) {
                   work.decoration = PlmDecoration();
                   work.decoration->showEntityNames = true;
                   return;
               }
               work.decoration->showEntityNames = !work.decoration->showEntityNames.value_or(false);
           },
           false);
}

void CarteWindowController::chooseEntityNameFont()
{
    if (!m_composition)
        return;
    if (!commitPendingEdits())
        return;
    QFont initial(m_canvas->entityNameFontName);
    if (!CarteInspector::fontKnown(m_canvas->entityNameFontName))
        initial = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    initial.setPointSizeF(m_canvas->entityNameFontSize);
    const std::optional<QFont> chosen =
        DialogHooks::chooseFont(initial, QStringLiteral("Noms des entités"), m_host ? m_host->window() : nullptr);
    if (chosen)
        applyEntityNameFont(chosen->family(), chosen->pointSizeF());
}

bool CarteWindowController::applyEntityNameFont(const QString& family, double size)
{
    return update(QStringLiteral("Typographie des noms d’entités"), [&](PlmWork& work) {
        if (!work.decoration)
            work.decoration = PlmDecoration();
        work.decoration->entityNameFontName = family;
        work.decoration->entityNameFontSize = size;
    });
}

void CarteWindowController::fitComposition()
{
    if (!m_composition)
        return;
    m_compositionHost->framingRect.reset();
    m_compositionHost->zoom = 1;
    m_compositionHost->pan = QPointF(0, 0);
    m_compositionHost->setNeedsLayout();
    m_compositionHost->layoutSubtreeIfNeeded();
    m_compositionHost->setNeedsDisplay();
}

bool CarteWindowController::canPresentExportPanel() const
{
    return m_composition && m_document.canRead() && m_document.canUpdate();
}

bool CarteWindowController::commitWorkEditing()
{
    return commitStudioEditing ? commitStudioEditing() : commitPendingEdits();
}

void CarteWindowController::presentExportPanel()
{
    // What is typed in any window of the work is taken first: the panel previews and exports
    // what the work holds, never a size previewed as it is typed.
    if (!canPresentExportPanel() || !commitWorkEditing())
        return;
    QWidget* hostWindow = m_host ? m_host->window() : nullptr;
    if (!hostWindow && m_inspectorScroll)
        hostWindow = m_inspectorScroll->window();
    if (!hostWindow || !m_document.work())
        return;
    // A previous panel goes first: it reads the same composition.
    if (m_exportPanel) {
        m_exportPanel->onClose = nullptr;
        m_exportPanel->close();
        delete m_exportPanel.data();
    }
    CarteExportPanel::WorkAccess access;
    access.read = m_document.work;
    access.update = m_document.updateWork;
    access.undoStack = m_document.undoStack ? m_document.undoStack() : nullptr;
    access.commitEdits = [self = QPointer<CarteWindowController>(this)] { return !self || self->commitWorkEditing(); };
    auto composition = std::make_unique<ThematicCanvasExport>(*m_composition, m_document.work);
    auto* panel = new CarteExportPanel(std::move(composition), std::move(access), this);
    m_exportPanel = panel;
    QPointer<CarteWindowController> self(this);
    QPointer<CarteExportPanel> weakPanel(panel);
    panel->onClose = [self, weakPanel] {
        if (self && weakPanel && self->m_exportPanel == weakPanel)
            weakPanel->deleteLater();
    };
    panel->present(hostWindow);
}

void CarteWindowController::zoomCanvas(double factor)
{
    // The page zooms on screen about the middle of the view, as with the wheel: the map's
    // framing in the page is part of the layout, which a zoom must not change behind the
    // undo history (the saved file and the exports would follow it); "Ajuster" shows the
    // whole page again.
    if (!m_composition || !m_compositionHost)
        return;
    m_compositionHost->zoomBy(factor, m_composition->convertFromSuperview(m_compositionHost->bounds().center()));
}

namespace {

const QStringList& paneCommands()
{
    static const QStringList commands{
        QStringLiteral("copy:"),   QStringLiteral("cut:"),       QStringLiteral("paste:"),
        QStringLiteral("duplicate:"), QStringLiteral("delete:"), QStringLiteral("commitEditing"),
        QStringLiteral("toggleEntityNames:"), QStringLiteral("chooseEntityNameFont:"), QStringLiteral("fit:"),
        QStringLiteral("zoomIn:"), QStringLiteral("zoomOut:"),   QStringLiteral("exportCarte:"),
        QStringLiteral("selectAll:")};
    return commands;
}

bool isDecorationCommand(const QString& command)
{
    return command == QLatin1String("copy:") || command == QLatin1String("cut:") || command == QLatin1String("paste:")
        || command == QLatin1String("duplicate:") || command == QLatin1String("delete:")
        || command == QLatin1String("selectAll:");
}

} // namespace

bool CarteWindowController::handles(const QString& command) const
{
    return paneCommands().contains(command);
}

void CarteWindowController::perform(const QString& command, QObject* sender)
{
    Q_UNUSED(sender);
    if (command == QLatin1String("commitEditing"))
        commitPendingEdits();
    else if (command == QLatin1String("toggleEntityNames:"))
        toggleEntityNames();
    else if (command == QLatin1String("chooseEntityNameFont:"))
        chooseEntityNameFont();
    else if (command == QLatin1String("fit:"))
        fitComposition();
    else if (command == QLatin1String("zoomIn:"))
        zoomCanvas(1.25);
    else if (command == QLatin1String("zoomOut:"))
        zoomCanvas(0.8);
    else if (command == QLatin1String("exportCarte:"))
        presentExportPanel();
    else if (command == QLatin1String("delete:") && m_decorations->canEditObjects())
        m_decorations->deleteSelection();
    // Decorations hook: the clipboard and Select All of the page's decorations.
    else if (command == QLatin1String("selectAll:"))
        m_decorations->selectAll();
    else if (isDecorationCommand(command))
        m_decorations->performClipboardCommand(command.chopped(1));
}

CommandValidation CarteWindowController::validate(const QString& command, QAction* action) const
{
    Q_UNUSED(action);
    CommandValidation validation;
    if (isDecorationCommand(command)) {
        // Decorations hook: paste needs decorations on the clipboard, the others a selection.
        validation.enabled = m_decorations->canEditObjects();
        if (command == QLatin1String("paste:"))
            validation.enabled = validation.enabled && m_decorations->canPaste();
        else if (command != QLatin1String("selectAll:"))
            validation.enabled = validation.enabled && !m_decorations->selectedIDs.isEmpty();
    }
    else if (command == QLatin1String("exportCarte:"))
        validation.enabled = canPresentExportPanel();
    else if (command == QLatin1String("toggleEntityNames:")) {
        const std::optional<PlmWork> current = work();
        validation.checked = current && current->decoration && current->decoration->showEntityNames.value_or(false);
    }
    return validation;
}
