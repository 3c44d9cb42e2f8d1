#include "app/PlmWorkDocument.h"
#include "app/StudioSplit.h"
#include "app/StudioWindowController.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "carte/CarteWindowController.h"
#include "model/PlmErrors.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"

#include <QAction>
#include <QButtonGroup>
#include <QToolButton>
#include <QWidget>

bool StudioWindowController::updateWork(const QString& actionName, const std::function<void(PlmWork&)>& change)
{
    PlmWorkDocument* doc = workingDocument();
    if (!doc)
        return false;
    try {
        doc->updateWork(actionName, change);
        return true;
    } catch (const PlmError& error) {
        DialogHooks::presentError(error.message(), isWindowLoaded() ? window() : nullptr);
        return false;
    }
}

// The commands of the window's own controls: modes, tabs, panels, fit and zoom.
void StudioWindowController::registerWindowCommands()
{
    const auto changeMode = [this](QObject* sender) {
        if (!sender)
            return;
        if (const std::optional<Mode> chosen = modeFromRaw(sender->property("tag").toLongLong()))
            switchMode(*chosen, true);
        // A click has already toggled the button: a refused switch must not leave it showing
        // a mode the window is not in.
        updateModeButtons();
    };
    registerCommand(QStringLiteral("changeMode:"), {changeMode, {}});
    registerCommand(QStringLiteral("selectModeMenu:"), {changeMode, {}});
    registerCommand(QStringLiteral("changeTab:"), {[this](QObject*) { selectTab(tabs->checkedId()); }, {}});

    const auto panelCheck = [](StudioSplit* split, int panel) {
        return [split, panel] {
            CommandValidation validation;
            validation.checked = !split->isPanelHidden(panel);
            return validation;
        };
    };
    registerCommand(QStringLiteral("toggleObjects:"), {[this](QObject*) { horizontal->togglePanel(0); },
                                                       panelCheck(horizontal, 0)});
    registerCommand(QStringLiteral("toggleInspector:"), {[this](QObject*) { horizontal->togglePanel(2); },
                                                         panelCheck(horizontal, 2)});
    registerCommand(QStringLiteral("toggleBottom:"), {[this](QObject*) {
                                                          if (commitEditing())
                                                              vertical->togglePanel(1);
                                                      },
                                                      panelCheck(vertical, 1)});
    registerCommand(QStringLiteral("expandBottom:"), {[this](QObject*) {
                                                          if (commitEditing())
                                                              vertical->toggleExpanded();
                                                      },
                                                      {}});

    const auto currentMapView = [this]() -> VectorCanvas* {
        return mode == Mode::carte ? carte()->mapView() : fond->canvas();
    };
    // In Carte the commands act on the composition through its pane.
    registerCommand(QStringLiteral("fit:"), {[this, currentMapView](QObject*) {
                                                 if (mode == Mode::carte)
                                                     carte()->fitComposition();
                                                 else if (VectorCanvas* view = currentMapView())
                                                     view->fit(false);
                                             },
                                             {}});
    registerCommand(QStringLiteral("zoomIn:"), {[this, currentMapView](QObject*) {
                                                    if (mode == Mode::carte)
                                                        carte()->zoomCanvas(1.25);
                                                    else if (VectorCanvas* view = currentMapView())
                                                        view->zoom(1.25);
                                                },
                                                {}});
    registerCommand(QStringLiteral("zoomOut:"), {[this, currentMapView](QObject*) {
                                                     if (mode == Mode::carte)
                                                         carte()->zoomCanvas(0.8);
                                                     else if (VectorCanvas* view = currentMapView())
                                                         view->zoom(0.8);
                                                 },
                                                 {}});
}

void StudioWindowController::registerCommand(const QString& name, Command command)
{
    m_commands.insert(name, std::move(command));
    validateToolbarItems();
}

CommandResponder* StudioWindowController::currentPaneResponder() const
{
    QObject* pane = mode == Mode::carte ? static_cast<QObject*>(carte()) : static_cast<QObject*>(fond);
    return dynamic_cast<CommandResponder*>(pane);
}

// The pane of the current mode answers what the window does not, so its commands reach it
// from the outline, the toolbar or a window with no focus widget. A focused pane still
// answers first: its responder sits before the window in the chain.
bool StudioWindowController::handles(const QString& command) const
{
    if (m_commands.contains(command))
        return true;
    const CommandResponder* pane = currentPaneResponder();
    return pane && pane->handles(command);
}

CommandValidation StudioWindowController::validate(const QString& command, QAction* action) const
{
    const auto it = m_commands.constFind(command);
    if (it == m_commands.constEnd()) {
        if (const CommandResponder* pane = currentPaneResponder(); pane && pane->handles(command))
            return pane->validate(command, action);
        CommandValidation none;
        none.enabled = false;
        return none;
    }
    return it->validate ? it->validate() : CommandValidation{};
}

void StudioWindowController::perform(const QString& command, QObject* sender)
{
    const auto it = m_commands.constFind(command);
    if (it != m_commands.constEnd()) {
        if (it->perform)
            it->perform(sender);
    } else if (CommandResponder* pane = currentPaneResponder(); pane && pane->handles(command)) {
        pane->perform(command, sender);
    }
}

bool StudioWindowController::performCommand(const QString& name, QObject* sender)
{
    // An item's own validation may depend on what it carries (its kind, its tag).
    if (!handles(name) || !validate(name, qobject_cast<QAction*>(sender)).enabled)
        return false;
    perform(name, sender);
    validateToolbarItems();
    return true;
}

bool StudioWindowController::sendCommand(QWidget* start, const QString& name, QObject* sender)
{
    for (CommandResponder* responder : CommandRouter::shared().chainFrom(start)) {
        if (!responder->handles(name))
            continue;
        if (!responder->validate(name, nullptr).enabled)
            return false;
        responder->perform(name, sender);
        return true;
    }
    return false;
}

void StudioWindowController::validateToolbarItems()
{
    for (auto it = m_toolCommands.constBegin(); it != m_toolCommands.constEnd(); ++it)
        it.key()->setEnabled(handles(it.value()) && validate(it.value(), nullptr).enabled);
    for (auto it = m_dataCommands.constBegin(); it != m_dataCommands.constEnd(); ++it) {
        bool enabled = false;
        for (CommandResponder* responder : CommandRouter::shared().chainFrom(dataContent)) {
            if (responder->handles(it.value())) {
                enabled = responder->validate(it.value(), nullptr).enabled;
                break;
            }
        }
        it.key()->setEnabled(enabled);
    }
}
