#include "fond/FondWindowController.h"

#include "fond/FondEntityCommands.h"
#include "inspector/FondInspectorColorWell.h"
#include "fond/PointSymbolColorInspector.h"
#include "canvas/VectorCanvas.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "desktop/ViewHost.h"
#include "desktop/WindowTeardown.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

QString FondWindowController::emptyText()
{
    return QStringLiteral("Ouvrez un document .plmmap ou importez un fond historique depuis le menu Fichier.");
}

QString FondWindowController::canvasToolTip()
{
    return QStringLiteral("Glisser un groupe pour le déplacer · Double-clic : modifier ses enfants · Échap : "
                          "quitter le groupe · Double-clic sur un texte : éditer");
}

FondWindowController::FondWindowController(const PlmMap& map, QObject* parent)
    : QObject(parent)
    , m_pointColorInspector(new PointSymbolColorInspector(this))
    , m_map(map)
{
    makeControls();
    m_canvas = new VectorCanvas(map, true, emptyText());
    m_host = new ViewHost;
    m_host->setObjectName(QStringLiteral("Fond.Canvas"));
    m_host->setFocusPolicy(Qt::StrongFocus);
    m_host->setRootNode(m_canvas);
    m_host->setToolTip(canvasToolTip());
    m_canvas->creationEnabled = true;
    installCallbacks();
}

FondWindowController::~FondWindowController()
{
    // The widgets may already belong to a window that was destroyed first. Those left answer
    // nothing as they go: the pane's handlers read what is being torn down.
    WindowTeardown::silence(m_host.data());
    WindowTeardown::silence(m_inspector.data());
    for (const QPointer<QWidget>& control : m_looseControls)
        WindowTeardown::silence(control.data());
    delete m_host.data();
    delete m_inspector.data();
    for (const QPointer<QWidget>& control : m_looseControls) {
        if (control && !control->parent())
            delete control.data();
    }
}

QWidget* FondWindowController::view() const
{
    return m_host.data();
}

QWidget* FondWindowController::inspector() const
{
    return m_inspector.data();
}

void FondWindowController::installCallbacks()
{
    // Each callback holds the pane weakly: one that outlives the pane does nothing.
    QPointer<FondWindowController> weak(this);
    VectorCanvas* view = m_canvas;
    view->onDrawingToolChange = [weak] {
        if (weak)
            weak->refreshInspector();
    };
    view->onCreate = [weak](const PlmGeometry& geometry, const QString& name) {
        if (weak)
            weak->createEntity(geometry, name);
    };
    view->onSelectionSet = [weak](const QSet<QString>& ids, const std::optional<QString>& primary) {
        if (!weak)
            return;
        if (weak->m_document.select)
            weak->m_document.select(ids, primary);
        weak->refreshInspector();
    };
    view->onCreationEdit = [weak](const QList<QPair<int, PlmEntity>>& edits, const QString& actionName) {
        if (weak)
            weak->update(actionName, [&edits](PlmWork& work) { FondEntityCommands::replaceEntities(work, edits); });
    };
    view->onCreationCommand = [weak](const QString& word) {
        if (weak && word == QStringLiteral("delete"))
            weak->deleteSelectedEntities();
    };
    view->onEditingGroup = [weak](bool) {
        if (weak)
            weak->refreshInspector();
    };
    view->onEntityEdit = [weak](int index, const PlmEntity& entity, const QString& actionName) {
        if (!weak)
            return;
        const QList<QPair<int, PlmEntity>> edits{{index, entity}};
        weak->update(actionName, [&edits](PlmWork& work) { FondEntityCommands::replaceEntities(work, edits); });
    };
    view->onSelection = [weak](std::optional<int> index) {
        if (!weak)
            return;
        // The document first: the point-symbol section reads its primary selection.
        if (weak->m_document.select) {
            std::optional<QString> id;
            if (index && *index >= 0 && *index < weak->m_map.entities.size())
                id = weak->m_map.entities.at(*index).id;
            weak->m_document.select(id ? QSet<QString>{*id} : QSet<QString>(), id);
        }
        if (weak)
            weak->refreshInspector(index);
    };
}

void FondWindowController::attach(const FondDocument& document)
{
    m_document = document;
    const std::optional<int> index = m_canvas ? m_canvas->selectedIndex : std::nullopt;
    if (m_document.select && index && *index >= 0 && *index < m_map.entities.size()) {
        const QString id = m_map.entities.at(*index).id;
        m_document.select({id}, id);
    }
    reloadFromDocument();
}

void FondWindowController::attach(WorkReader readWork)
{
    attach(FondDocument::reading(std::move(readWork)));
}

void FondWindowController::reloadFromDocument()
{
    if (!m_canvas)
        return;
    std::optional<QString> keptID = m_document.selectedEntityID ? m_document.selectedEntityID() : std::nullopt;
    const std::optional<int> previousIndex = m_canvas->selectedIndex;
    if (!keptID && previousIndex && *previousIndex >= 0 && *previousIndex < m_map.entities.size())
        keptID = m_map.entities.at(*previousIndex).id;

    const std::optional<PlmWork> work = m_document.canRead() ? m_document.work() : std::nullopt;
    if (work)
        m_map = work->map;
    // An equal map (a change elsewhere in the work, a typed cell) leaves a large map undrawn;
    // a changed one is compared entity by entity by the map view, which redraws what changed.
    if (!(m_canvas->map() == m_map))
        m_canvas->setMap(m_map);
    if (work) {
        std::optional<PlmBackgroundImage> background;
        if (work->decoration)
            background = work->decoration->backgroundImage;
        if (!(m_canvas->backgroundImage() == background))
            m_canvas->setBackgroundImage(background);
    }

    const std::optional<int> index = keptID ? entityIndex(*keptID) : std::nullopt;
    if (m_canvas->selectedIndex != index) {
        m_canvas->selectedIndex = index;
        m_canvas->setNeedsDisplay();
    }
    refreshInspector(index);
}

std::optional<int> FondWindowController::entityIndex(const QString& id) const
{
    const qsizetype index = m_map.entities.indexOfId(id);
    if (index < 0)
        return std::nullopt;
    return int(index);
}

bool FondWindowController::update(const QString& actionName, const WorkChange& change)
{
    if (!m_document.canUpdate())
        return false;
    // The link is copied: the commit reloads the pane, which may replace it.
    const FondDocument document = m_document;
    QString failure;
    try {
        document.updateWork(actionName, change);
        return true;
    } catch (const PlmError& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromUtf8(error.what());
    }
    // The map view drops its live changes.
    reloadFromDocument();
    presentError(failure);
    return false;
}

void FondWindowController::presentError(const QString& message)
{
    if (m_refusalCapture) {
        *m_refusalCapture = message;
        return;
    }
    // Nothing is shown while the map view is in no window.
    if (m_host && (m_host->parentWidget() || m_host->isVisible()))
        DialogHooks::presentError(message, m_host->window());
}

QSet<QString> FondWindowController::selectedIDs() const
{
    return m_document.selectedEntityIDs ? m_document.selectedEntityIDs() : QSet<QString>();
}

std::optional<QString> FondWindowController::primaryID() const
{
    return m_document.selectedEntityID ? m_document.selectedEntityID() : std::nullopt;
}

void FondWindowController::followDocumentSelection()
{
    const std::optional<QString> primary = primaryID();
    const std::optional<int> index = primary ? entityIndex(*primary) : std::nullopt;
    if (m_canvas->selectedIndex != index) {
        m_canvas->selectedIndex = index;
        m_canvas->setNeedsDisplay();
    }
    refreshInspector(index);
}

// --- Creation ------------------------------------------------------------------------------

void FondWindowController::createEntity(const PlmGeometry& geometry, const QString& name)
{
    const QString id = FondEntityCommands::newEntityID();
    const bool isPoint = geometry.kind() == PlmGeometry::Kind::point;
    const PlmEntity entity = FondEntityCommands::createdEntity(
        id, geometry, name, m_canvas->creationStyle, isPoint ? m_canvas->pendingPointSymbol : std::nullopt,
        m_canvas->backgroundImage().has_value());
    if (m_document.canUpdate()) {
        update(FondEntityCommands::createActionName(),
               [&entity](PlmWork& work) { FondEntityCommands::appendCreatedEntity(work, entity); });
        // After a refusal the id does not exist and the document keeps no selection.
        if (m_document.select)
            m_document.select({id}, id);
    }
    if (m_canvas->drawingTool() != VectorCanvas::DrawingTool::selection)
        m_canvas->setDrawingTool(VectorCanvas::DrawingTool::selection);
    if (m_document.select)
        followDocumentSelection();
    else
        refreshInspector();
}

void FondWindowController::beginPlacing(const PlmPointSymbol& pointSymbol)
{
    if (m_document.select)
        m_document.select({}, std::nullopt);
    m_canvas->pendingPointSymbol = pointSymbol;
    if (m_canvas->creationStyle.pointRadius == 4)
        m_canvas->creationStyle.pointRadius = 16;
    m_canvas->setDrawingTool(VectorCanvas::DrawingTool::point);
    m_canvas->becomeFirstResponder();
    if (m_document.select)
        followDocumentSelection();
    else
        refreshInspector();
}

// --- View actions ----------------------------------------------------------------------------

void FondWindowController::changeTool()
{
    const std::optional<VectorCanvas::DrawingTool> tool = VectorCanvas::drawingToolFromRaw(m_toolPicker->currentIndex());
    m_canvas->setDrawingTool(tool.value_or(VectorCanvas::DrawingTool::selection));
    m_canvas->becomeFirstResponder();
}

void FondWindowController::changeGrid()
{
    m_canvas->showsGrid = m_grid->isChecked();
    m_canvas->setNeedsDisplay();
    m_canvas->snapsToGrid = m_snap->isChecked();
}

void FondWindowController::fit()
{
    m_canvas->fit(true);
}

void FondWindowController::zoomIn()
{
    m_canvas->zoom(1.25);
}

void FondWindowController::zoomOut()
{
    m_canvas->zoom(0.8);
}

void FondWindowController::undo()
{
    if (m_document.undo)
        m_document.undo();
}

void FondWindowController::redo()
{
    if (m_document.redo)
        m_document.redo();
}
