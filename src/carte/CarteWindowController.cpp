#include "carte/CarteWindowController.h"

#include "export/CarteExportPanel.h"

#include "fond/PointSymbolColorInspector.h"
#include "canvas/VectorCanvas.h"
#include "page/CarteBlockHandles.h"
#include "page/CarteCompositionHost.h"
#include "page/CarteMapBlockEditor.h"
#include "page/ThematicCanvas.h"
#include "canvas/ProportionalOverlay.h"
#include "page/DecorationController.h"
#include "inspector/InspectorScroll.h"
#include "inspector/InspectorSection.h"
#include "carte/CarteInspector.h"
#include "carte/CarteThematicRules.h"
#include "model/PlmErrors.h"
#include "model/PlmSymbolPosition.h"
#include "desktop/DialogHooks.h"
#include "desktop/ViewHost.h"
#include "desktop/WindowTeardown.h"

#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QCoreApplication>

namespace {

// The pane is driven from the main thread only; a call from elsewhere is reported.
void checkMainThread(const char* file, int line)
{
    if (QCoreApplication::instance() && QThread::currentThread() != QCoreApplication::instance()->thread())
        qWarning("Carte: unexpected thread in %s:%d", file, line);
}

} // namespace

#define CARTE_MAIN_THREAD() checkMainThread(__FILE__, __LINE__)

namespace {

// The pane's widget: the studio may delete it with its window before the pane goes. What
// points into the composition (the map block editor) is told first, while the tree still
// exists.
class CarteViewHost : public ViewHost {
public:
    std::function<void()> beforeTreeDeletion;
    std::function<void()> afterResize;
    ~CarteViewHost() override
    {
        if (beforeTreeDeletion)
            beforeTreeDeletion();
    }

    // The composition takes its page size from its first layout: until a layout or the code
    // sizes the widget, its size is Qt's default for a parentless widget (640 × 480), not
    // the pane's, so the tree gets an empty frame meanwhile.
    void updateRootFrame()
    {
        if (ViewNode* root = rootNode())
            root->setFrame(testAttribute(Qt::WA_Resized) ? QRectF(0, 0, width(), height()) : QRectF());
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        ViewHost::resizeEvent(event);
        updateRootFrame();
        if (afterResize)
            afterResize();
    }
};

} // namespace

CarteWindowController::CarteWindowController(const FondDocument& document, bool studioPresentation, QObject* parent)
    : QObject(parent)
    , m_document(document)
{
    build(studioPresentation);
}

CarteWindowController::CarteWindowController(WorkReader readWork, bool studioPresentation, QObject* parent)
    : QObject(parent)
    , m_document(FondDocument::reading(std::move(readWork)))
{
    build(studioPresentation);
}

CarteWindowController::~CarteWindowController()
{
    // Nothing of the pane answers its fields any more: the page and the inspector go in turn.
    WindowTeardown::silence(m_host.data());
    WindowTeardown::silence(m_inspectorScroll.data());
    // The symbol catalogue of a series is a window of its own: it goes with the pane, and
    // neither its choice nor its close reaches the pane any more.
    WindowTeardown::destroy(symbolPicker.data());
    // The export panel and the block editor point into the composition.
    delete m_exportPanel.data();
    delete m_mapBlockEditor;
    m_mapBlockEditor = nullptr;
    delete m_host.data();
    delete m_inspectorScroll.data();
}

void CarteWindowController::build(bool studioPresentation)
{
    m_inspectorScroll = new InspectorScroll;
    m_inspectorScroll->setObjectName(QStringLiteral("Carte.Inspector"));
    m_pointColorInspector = new PointSymbolColorInspector(this);
    m_inspector = new CarteInspector(this);

    const std::optional<PlmWork> first = work();
    const PlmMap map = first ? first->map : PlmMap();
    m_composition = new ThematicCanvas(map);
    m_canvas = m_composition->vector();
    for (const PlmEntity& entity : map.entities) {
        if (const std::optional<PlmPoint> anchor = PlmSymbolPosition::anchor(entity.geometry))
            automaticPositions.insert(entity.id, *anchor);
    }
    m_compositionHost = new CarteCompositionHost(m_composition);
    auto* host = new CarteViewHost;
    host->beforeTreeDeletion = [this] {
        delete m_mapBlockEditor;
        m_mapBlockEditor = nullptr;
        m_compositionHost = nullptr;
        m_composition = nullptr;
        m_canvas = nullptr;
    };
    m_host = host;
    m_host->setObjectName(QStringLiteral("Carte.Canvas"));
    m_host->setFocusPolicy(Qt::StrongFocus);
    m_host->setRootNode(m_compositionHost);
    host->updateRootFrame();

    QPointer<CarteWindowController> self(this);
    // The first real size makes the page: the block's fields show it at once.
    host->afterResize = [self] {
        if (!self || !self->m_compositionHost)
            return;
        self->m_compositionHost->layoutSubtreeIfNeeded();
        if (const std::optional<PlmWork> w = self->work())
            self->restoreStoredViewport(*w);
        if (self->m_mapBlockEditor)
            self->m_mapBlockEditor->refreshFields();
    };
    // Decorations hook: the controller edits the page's decorations through the document.
    DecorationController::Document decorationDocument;
    decorationDocument.work = m_document.work;
    decorationDocument.updateWork = m_document.updateWork;
    decorationDocument.beginUndoGrouping = m_document.beginUndoGrouping;
    decorationDocument.endUndoGrouping = m_document.endUndoGrouping;
    decorationDocument.noteDraft = m_document.noteDraft;
    decorationDocument.presentError = [self](const QString& message) {
        if (self)
            self->showError(message);
    };
    decorationDocument.showAlert = [self](const QString& message) {
        if (self && self->m_host && self->m_host->window()->isVisible()) {
            DialogHooks::Alert alert;
            alert.message = message;
            alert.window = self->m_host->window();
            DialogHooks::beginSheet(alert, [](int) {});
        }
    };
    m_decorations = new DecorationController(decorationDocument, m_composition, studioPresentation, this);
    // The map block's editor reaches the document through the same work functions (a slider
    // drag is one undo step).
    m_mapBlockEditor = new CarteMapBlockEditor(decorationDocument, m_composition, this);

    // The column: point-symbol colour, Représentation, Apparence, class colours, the map
    // block, then the decorations' bar when it exists.
    m_inspectorScroll->addSection(m_pointColorInspector->section());
    m_inspectorScroll->addSection(m_inspector->representationSection);
    m_inspectorScroll->addSection(m_inspector->symbolAppearanceSection);
    m_inspectorScroll->addSection(m_inspector->classColorSection);
    m_inspectorScroll->addSection(m_mapBlockEditor->section());
    m_inspectorScroll->addSection(m_decorations->bar());  // decorations hook

    if (first && first->decoration && first->decoration->compositionSize) {
        const PlmPoint size = *first->decoration->compositionSize;
        m_composition->compositionSize = QSizeF(size.x, size.y);
    }
    connectControls();

    m_decorations->onObjectSelectionChange = [self](const std::optional<QString>&) {
        if (self)
            self->decorationSelectionChanged();
    };
    m_canvas->onSelection = [self](std::optional<int> index) {
        if (self)
            self->canvasSelectionChanged(index);
    };
    m_canvas->onEntityNameMove = [self](const QString& id, const PlmPoint& point) {
        if (self)
            self->moveEntityName(id, point);
    };
    m_canvas->onEditingGroup = [self](bool editing) {
        if (self)
            self->editingGroupChanged(editing);
    };
    m_canvas->onEntityEdit = [self](int index, const PlmEntity& entity, const QString& actionName) {
        if (self)
            self->commitEntityEdit(index, entity, actionName);
    };
    // The symbols dragged, nudged, reset or clicked on the page.
    for (int series = 0; series < 2; ++series) {
        ProportionalOverlay* layer = series == 0 ? m_composition->symbols() : m_composition->secondSymbols();
        layer->onPosition = [self, series](const QString& id, const PlmPoint& point, bool finished) {
            if (self && finished)
                self->moveSymbol(id, point, series == 1);
        };
        layer->onReset = [self, series] {
            if (self)
                self->restoreAutomaticPosition(series == 1);
        };
        layer->onSelection = [self](const QString& id) {
            if (!self)
                return;
            if (self->m_document.select)
                self->m_document.select({id}, id);
            self->selectEntity(id);
        };
    }
    refreshControls();
}

QWidget* CarteWindowController::view() const
{
    return m_host.data();
}

std::optional<PlmWork> CarteWindowController::work() const
{
    return m_document.work ? m_document.work() : std::nullopt;
}

bool CarteWindowController::update(const QString& actionName, const std::function<void(PlmWork&)>& change,
                                   bool refreshOnError)
{
    if (!m_document.updateWork)
        return false;
    try {
        m_document.updateWork(actionName, change);
        return true;
    } catch (const PlmError& error) {
        if (m_takingTypedText)
            throw;
        if (refreshOnError)
            refreshControls();
        showError(error.message());
        return false;
    }
}

void CarteWindowController::showError(const QString& message)
{
    if (presentError) {
        presentError(message);
        return;
    }
    DialogHooks::presentError(message, m_host ? m_host->window() : nullptr);
}

// --- Shared values ---

std::optional<PlmThematicSettings> CarteWindowController::thematicSettings(bool secondary) const
{
    const std::optional<PlmWork> current = work();
    return current ? CarteThematicRules::thematicSettings(*current, secondary) : std::nullopt;
}

std::optional<PlmThematicSettings> CarteWindowController::editedSettings() const
{
    const std::optional<PlmWork> current = work();
    return current ? CarteThematicRules::editedSettings(*current, editingSecondary) : std::nullopt;
}

std::optional<int> CarteWindowController::selectedLegendSeries() const
{
    const std::optional<PlmWork> current = work();
    return current ? CarteThematicRules::selectedLegendSeries(*current, m_decorations->selected) : std::nullopt;
}

std::optional<PlmPoint> CarteWindowController::manualSymbolPosition(const QString& entityID) const
{
    const std::optional<PlmThematicSettings> edited = editedSettings();
    if (!edited || !edited->proportional || !edited->proportional->manualPositions.contains(entityID))
        return std::nullopt;
    return edited->proportional->manualPositions.value(entityID);
}

std::optional<PlmPoint> CarteWindowController::secondManualSymbolPosition(const QString& entityID) const
{
    const std::optional<PlmWork> current = work();
    if (!current || !current->thematic || !current->thematic->secondSymbols)
        return std::nullopt;
    const QMap<QString, PlmPoint>& positions = current->thematic->secondSymbols->symbols.manualPositions;
    if (!positions.contains(entityID))
        return std::nullopt;
    return positions.value(entityID);
}

std::optional<int> CarteWindowController::entityIndex(const QString& entityID) const
{
    const std::optional<PlmWork> current = work();
    if (!current)
        return std::nullopt;
    int index = 0;
    for (const PlmEntity& entity : current->map.entities) {
        if (entity.id == entityID)
            return index;
        ++index;
    }
    return std::nullopt;
}

// --- Selection and canvas callbacks ---

void CarteWindowController::decorationSelectionChanged()
{
    CARTE_MAIN_THREAD();
    if (const std::optional<int> series = selectedLegendSeries())
        editingSecondary = *series == 1;
    refreshControls();
    if (m_inspectorScroll)
        m_inspectorScroll->verticalScrollBar()->setValue(0);
}

void CarteWindowController::canvasSelectionChanged(std::optional<int> index)
{
    if (!m_composition)
        return;
    CARTE_MAIN_THREAD();
    const std::optional<PlmWork> current = work();
    if (!current)
        return;
    std::optional<QString> id;
    // The index comes from the map view, which shows the work's map; it is checked all the same.
    if (index && *index >= 0 && *index < current->map.entities.size())
        id = current->map.entities.at(*index).id;
    m_decorations->commitTextEdit();
    m_decorations->selected.reset();
    m_decorations->selectedIDs.clear();
    m_decorations->updateSelection();
    if (m_document.select)
        m_document.select(id ? QSet<QString>{*id} : QSet<QString>(), id);
    selectEntity(id);
}

void CarteWindowController::selectEntity(const std::optional<QString>& entityID)
{
    if (!m_composition)
        return;
    CARTE_MAIN_THREAD();
    m_pointColorInspector->refresh(m_document.canRead() ? &m_document : nullptr);
    overlay[0].selectedID = entityID;
    overlay[1].selectedID = entityID;
    presentLayers();
    if (!entityID) {
        m_inspector->restorePosition->setEnabled(false);
        m_canvas->selectedIndex.reset();
        m_canvas->setNeedsDisplay();
        return;
    }
    bool restorable = false;
    if (!m_canvas->lockedEntityIDs.contains(*entityID)) {
        restorable = manualSymbolPosition(*entityID).has_value();
        if (!restorable) {
            const std::optional<PlmWork> current = work();
            restorable = current && current->thematic && current->thematic->concentric.value_or(false)
                && secondManualSymbolPosition(*entityID).has_value();
        }
    }
    m_inspector->restorePosition->setEnabled(restorable);
    m_canvas->selectedIndex = entityIndex(*entityID);
    m_canvas->setNeedsDisplay();
}

void CarteWindowController::moveEntityName(const QString& entityID, const PlmPoint& point)
{
    CARTE_MAIN_THREAD();
    if (!entityIndex(entityID))
        return;
    update(QStringLiteral("Déplacer le nom de l’entité"), [&](PlmWork& work) {
        if (!work.decoration)
            work.decoration = PlmDecoration();
        QMap<QString, PlmPoint> positions = work.decoration->entityNamePositions.value_or(QMap<QString, PlmPoint>());
        positions.insert(entityID, point);
        work.decoration->entityNamePositions = positions;
    });
}

void CarteWindowController::commitEntityEdit(int index, const PlmEntity& entity, const QString& actionName)
{
    CARTE_MAIN_THREAD();
    const std::optional<PlmWork> current = work();
    if (!current || index < 0 || index >= current->map.entities.size())
        return;
    update(actionName, [&](PlmWork& work) {
        if (index < work.map.entities.size())
            work.map.entities.replace(index, entity);
    });
}

void CarteWindowController::editingGroupChanged(bool editing)
{
    if (!m_composition)
        return;
    // The block handles are selected exactly when no group is being edited.
    m_mapBlockEditor->overlay()->setSelected(!editing);
}

void CarteWindowController::printPageChanged(const PlmPrintPage& page)
{
    CARTE_MAIN_THREAD();
    if (!m_document.canUpdate())
        return;
    // A refused page is taken back from the work before the error shows.
    update(QStringLiteral("Position de la page"), [&](PlmWork& work) {
        if (!work.decoration)
            work.decoration = PlmDecoration();
        work.decoration->printPage = page;
    });
}

void CarteWindowController::moveSymbol(const QString& entityID, const PlmPoint& point, bool secondSeries)
{
    if (!m_composition)
        return;
    CARTE_MAIN_THREAD();
    if (!entityIndex(entityID) || m_canvas->lockedEntityIDs.contains(entityID))
        return;
    update(QStringLiteral("Déplacer le symbole"), [&](PlmWork& work) {
        CarteThematicRules::storeManualSymbolPosition(work, entityID, point, secondSeries);
    });
}
