#include "app/StudioObjectsOutline.h"

#include "app/PlmWorkDocument.h"
#include "app/StudioOutlineDelegate.h"
#include "app/StudioOutlineModel.h"
#include "app/StudioWindowController.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "data/DataWindowController.h"
#include "page/DecorationController.h"
#include "inspector/InspectorScroll.h"
#include "carte/CarteWindowController.h"
#include "model/PlmErrors.h"
#include "desktop/DialogHooks.h"
#include "inspector/TypedField.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPointer>
#include <QTreeView>
#include <QUndoStack>
#include <algorithm>

namespace {

// Restores the window's flag on every way out, so that a throw cannot leave it set.
class SuppressingSelection {
public:
    explicit SuppressingSelection(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~SuppressingSelection() { m_flag = false; }

private:
    bool& m_flag;
};

// The rows and their buttons depend on the entities, the layout and whether there are one or
// two legends; a change of the data table alone leaves the outline as it is.
bool showsSameLayout(const PlmWork& shown, const PlmWork& work)
{
    const auto legends = [](const PlmWork& w) { return w.thematic ? (w.thematic->secondSymbols ? 2 : 1) : 0; };
    return shown.decoration == work.decoration && legends(shown) == legends(work);
}

bool isInside(const QWidget* widget, const QWidget* container)
{
    for (const QWidget* w = widget; w && container; w = w->parentWidget()) {
        if (w == container)
            return true;
    }
    return false;
}

} // namespace

StudioObjectsOutline::StudioObjectsOutline(StudioWindowController& window)
    : QObject(&window)
    , m_window(window)
    , m_model(new StudioOutlineModel(this))
    , m_delegate(new StudioOutlineDelegate(this))
{
    QTreeView* tree = window.objects;
    tree->setModel(m_model);
    tree->setItemDelegate(m_delegate);
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    tree->setSelectionBehavior(QAbstractItemView::SelectRows);
    tree->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    tree->setDragEnabled(true);
    tree->setAcceptDrops(true);
    tree->setDropIndicatorShown(true);
    tree->setDragDropMode(QAbstractItemView::DragDrop);
    tree->setDefaultDropAction(Qt::MoveAction);
    QHeaderView* header = tree->header();
    header->setStretchLastSection(false);
    header->setMinimumSectionSize(30);
    header->setSectionResizeMode(StudioOutlineModel::objectColumn, QHeaderView::Stretch);
    for (int column = StudioOutlineModel::visibleColumn; column <= StudioOutlineModel::deleteColumn; ++column) {
        header->setSectionResizeMode(column, QHeaderView::Fixed);
        header->resizeSection(column, 30);
    }

    m_model->canEdit = [this](const StudioObjectReference& reference) { return canDelete(reference); };
    m_model->onRename = [this](const StudioObjectReference& reference, const QString& name) {
        return renameObject(reference, name);
    };
    m_model->planDrop = [this](const StudioObjectReference& reference, const StudioObjectNode& target, int childIndex) {
        return dropPlan(reference, target, childIndex);
    };
    m_model->performDrop = [this](const StudioObjectEdits::DropPlan& plan) {
        return m_window.commitEditing() && moveObject(plan.reference, plan.targetIndex);
    };
    m_model->dragOrigin = [view = QPointer<QTreeView>(tree)] { return view ? view->currentIndex() : QModelIndex(); };
    m_delegate->onToggle = [this](const StudioObjectReference& reference, bool visibility) {
        toggleObject(reference, visibility);
    };
    m_delegate->onDelete = [this](const StudioObjectReference& reference) { deleteObject(reference); };
    connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { outlineSelectionDidChange(); });
    if (window.svgTextValue)
        TypedField::attach(window.svgTextValue, {QStringLiteral("Valeur"), [this] { return m_shownText; },
                                                 [this](const QString&) { return takeTextValue(); }});
}

PlmWorkDocument* StudioObjectsOutline::document() const
{
    return m_window.workingDocument();
}

// --- Rebuilding ------------------------------------------------------------------------------

void StudioObjectsOutline::refresh()
{
    PlmWorkDocument* doc = document();
    if (!doc)
        return;
    const std::optional<StudioObjectReference> before = selectedReference();
    const PlmWork work = doc->work();
    if (!m_signature || !showsSameLayout(*m_signature, work)) {
        rebuildObjects(work);
    } else if (!(m_signature->map.entities == work.map.entities)) {
        if (m_model->updateEntitiesInPlace(work))
            m_signature = work;
        else
            rebuildObjects(work);
    }
    restoreSelection(before);
}

void StudioObjectsOutline::rebuildObjects(const PlmWork& work)
{
    QTreeView* tree = m_window.objects;
    QSet<QString> expanded;
    for (const StudioObjectNode* node : flattenNodes(m_model->roots())) {
        if (!node->children.isEmpty() && tree->isExpanded(m_model->indexOf(node)))
            expanded.insert(node->key());
    }
    SuppressingSelection suppressing(m_window.suppressSelection);
    m_signature = work;
    m_model->setTree(studioObjectTree(work), work);
    for (const StudioObjectNode* node : flattenNodes(m_model->roots())) {
        if (!node->children.isEmpty() && (!node->reference || expanded.contains(node->key())))
            tree->expand(m_model->indexOf(node));
    }
}

std::optional<StudioObjectReference> StudioObjectsOutline::selectedReference() const
{
    const QModelIndexList rows = m_window.objects->selectionModel()->selectedRows(0);
    for (const QModelIndex& row : rows) {
        if (const StudioObjectNode* node = m_model->node(row); node && node->reference)
            return node->reference;
    }
    return std::nullopt;
}

void StudioObjectsOutline::restoreSelection(const std::optional<StudioObjectReference>& before)
{
    PlmWorkDocument* doc = document();
    if (!doc)
        return;
    if (const std::optional<QString> element =
            m_window.loadedCarte() ? m_window.loadedCarte()->decorationController()->selected : std::nullopt) {
        selectDecoration(element);
        return;
    }
    const QSet<QString> selected = doc->selectedEntityIDs();
    const std::optional<QString> primary = doc->selectedEntityID();
    const bool keepsPath = before && before->isEntity()
        && (before->path.isEmpty() ? !primary : (primary && before->path.first() == *primary));
    if (selected.size() < 2 && keepsPath) {
        focusEntity(primary);
        selectObject(before->path);
        return;
    }
    selectObjects(selected, primary);
}

// --- Selection -------------------------------------------------------------------------------

QList<QModelIndex> StudioObjectsOutline::rowsWhere(const std::function<bool(const StudioObjectNode&)>& test) const
{
    QList<QModelIndex> rows;
    for (const StudioObjectNode* node : flattenNodes(m_model->roots())) {
        if (test(*node))
            rows.append(m_model->indexOf(node));
    }
    return rows;
}

void StudioObjectsOutline::selectRowsOnly(const QList<QModelIndex>& rows, bool scroll)
{
    QItemSelectionModel* selection = m_window.objects->selectionModel();
    // Neighbouring rows of one parent go in as one range: the selection model compares its
    // ranges pairwise, so a whole large map selected row by row would cost far more.
    QList<QModelIndex> sorted = rows;
    std::sort(sorted.begin(), sorted.end(), [](const QModelIndex& a, const QModelIndex& b) {
        return a.parent() != b.parent() ? a.parent() < b.parent() : a.row() < b.row();
    });
    QItemSelection chosen;
    for (qsizetype i = 0; i < sorted.size();) {
        qsizetype j = i;
        while (j + 1 < sorted.size() && sorted.at(j + 1).parent() == sorted.at(i).parent()
               && sorted.at(j + 1).row() <= sorted.at(j).row() + 1)
            ++j;
        chosen.select(sorted.at(i).siblingAtColumn(0), sorted.at(j).siblingAtColumn(StudioOutlineModel::deleteColumn));
        i = j + 1;
    }
    selection->select(chosen, QItemSelectionModel::ClearAndSelect);
    if (!rows.isEmpty()) {
        selection->setCurrentIndex(rows.first(), QItemSelectionModel::NoUpdate);
        if (scroll)
            m_window.objects->scrollTo(rows.first());
    }
}

void StudioObjectsOutline::selectObjects(const QSet<QString>& entityIDs, const std::optional<QString>& primary)
{
    focusEntity(primary);
    for (VectorCanvas* view : {m_window.fond->canvas(), m_window.loadedCarteMapView()}) {
        if (!view)
            continue;
        view->creationSelection = entityIDs;
        view->setNeedsDisplay();
    }
    m_window.data->selectRows(entityIDs);
    SuppressingSelection suppressing(m_window.suppressSelection);
    // Nothing selected (the common refresh): no row to look for among a large map's.
    selectRowsOnly(entityIDs.isEmpty() ? QList<QModelIndex>()
                                       : rowsWhere([&](const StudioObjectNode& node) {
                                             return node.reference && node.reference->isTopLevelEntity()
                                                 && entityIDs.contains(node.reference->path.first());
                                         }),
                   false);
}

void StudioObjectsOutline::focusEntity(const std::optional<QString>& entityID)
{
    if (entityID) {
        m_window.inspectingBackground = false;
        if (CarteWindowController* carte = m_window.loadedCarte()) {
            DecorationController* decorations = carte->decorationController();
            decorations->commitTextEdit();
            decorations->clearSelection();
            decorations->updateSelection();
        }
    }
    const QWidget* focused = QApplication::focusWidget();
    if (isInside(focused, m_window.fondContent) || isInside(focused, m_window.carteContent))
        embedModeInspector();

    VectorCanvas* fondView = m_window.fond->canvas();
    fondView->selectedIndex = entityID ? m_window.fond->entityIndex(*entityID) : std::nullopt;
    fondView->setNeedsDisplay();
    m_window.fond->refreshInspector();
    m_window.data->selectRow(entityID);
    if (CarteWindowController* carte = m_window.loadedCarte())
        carte->selectEntity(entityID);
    for (VectorCanvas* view : {fondView, m_window.loadedCarteMapView()}) {
        if (!view)
            continue;
        if (entityID)
            view->select(VectorCanvas::EntityIDPath{*entityID});
        else
            view->clearSelection();
    }
    m_window.updateStatus();

    SuppressingSelection suppressing(m_window.suppressSelection);
    QList<QModelIndex> rows;
    if (entityID) {
        rows = rowsWhere([&](const StudioObjectNode& node) {
            return node.reference && node.reference->isTopLevelEntity() && node.reference->path.first() == *entityID;
        });
    }
    selectRowsOnly(rows.mid(0, 1), true);
}

void StudioObjectsOutline::selectObject(const QStringList& entityPath)
{
    if (m_window.suppressSelection || entityPath.isEmpty())
        return;
    if (!m_window.fond->canvas()->select(entityPath))
        return;
    if (VectorCanvas* layoutMap = m_window.loadedCarteMapView(); layoutMap && !layoutMap->select(entityPath))
        return;
    SuppressingSelection suppressing(m_window.suppressSelection);
    for (qsizetype length = 1; length < entityPath.size(); ++length) {
        const QModelIndex prefix = m_model->indexOfReference(StudioObjectReference::entity(entityPath.first(length)));
        if (prefix.isValid())
            m_window.objects->expand(prefix);
    }
    const QModelIndex row = m_model->indexOfReference(StudioObjectReference::entity(entityPath));
    if (row.isValid())
        selectRowsOnly({row}, true);
    showTextInspector(entityPath);
}

void StudioObjectsOutline::selectDecoration(const std::optional<QString>& decorationID)
{
    if (m_window.suppressSelection || !decorationID)
        return;
    m_window.inspectingBackground = false;
    if (m_window.mode == StudioWindowController::Mode::carte)
        StudioWindowController::embed(m_window.carte()->inspectorScroll(), m_window.inspectorBody, 0);
    if (PlmWorkDocument* doc = document())
        doc->select(QSet<QString>(), std::nullopt);
    clearEntitySelectionInPanes();
    SuppressingSelection suppressing(m_window.suppressSelection);
    const QList<QModelIndex> rows = rowsWhere([&](const StudioObjectNode& node) {
        return node.reference && node.reference->isLayoutObject() && node.reference->id == *decorationID;
    });
    selectRowsOnly(rows.mid(0, 1), false);
}

void StudioObjectsOutline::clearEntitySelectionInPanes()
{
    VectorCanvas* fondView = m_window.fond->canvas();
    fondView->clearSelection();
    if (VectorCanvas* layoutMap = m_window.loadedCarteMapView())
        layoutMap->clearSelection();
    fondView->selectedIndex.reset();
    m_window.fond->refreshInspector();
    m_window.data->selectRow(std::nullopt);
    m_window.data->updateStatus();
    if (CarteWindowController* carte = m_window.loadedCarte())
        carte->selectEntity(std::nullopt);
}

void StudioObjectsOutline::embedModeInspector()
{
    if (m_window.mode == StudioWindowController::Mode::carte)
        StudioWindowController::embed(m_window.carte()->inspectorScroll(), m_window.inspectorBody, 0);
    else
        StudioWindowController::embed(m_window.fondInspector, m_window.inspectorBody, 0);
}

void StudioObjectsOutline::outlineSelectionDidChange()
{
    if (m_window.suppressSelection)
        return;
    QItemSelectionModel* selection = m_window.objects->selectionModel();
    QModelIndex chosen = selection->currentIndex().siblingAtColumn(0);
    const QModelIndexList rows = selection->selectedRows(0);
    if (!selection->isRowSelected(chosen.row(), chosen.parent()))
        chosen = rows.isEmpty() ? QModelIndex() : rows.first();
    const StudioObjectNode* node = m_model->node(chosen);
    if (!node || !node->reference)
        return;
    const StudioObjectReference reference = *node->reference; // the steps below rebuild rows
    PlmWorkDocument* doc = document();

    if (reference.isLayoutObject()) {
        if (m_window.switchMode(StudioWindowController::Mode::carte, true))
            m_window.carte()->decorationController()->select(reference.id, false);
        return;
    }
    if (reference.isTopLevelEntity()) {
        // Every selected top-level row, in the order of the rows.
        QHash<const StudioObjectNode*, int> order;
        const QList<const StudioObjectNode*> all = flattenNodes(m_model->roots());
        for (int i = 0; i < all.size(); ++i)
            order.insert(all.at(i), i);
        QList<QPair<int, QString>> picked;
        for (const QModelIndex& row : rows) {
            const StudioObjectNode* selected = m_model->node(row);
            if (selected && selected->reference && selected->reference->isTopLevelEntity())
                picked.append({order.value(selected), selected->reference->path.first()});
        }
        std::sort(picked.begin(), picked.end());
        QStringList ids;
        for (const auto& [position, id] : picked) {
            if (!ids.contains(id))
                ids.append(id);
        }
        if (ids.size() > 1) {
            embedModeInspector();
            if (doc)
                doc->select(QSet<QString>(ids.begin(), ids.end()), reference.path.first());
            return;
        }
    }
    if (!m_window.commitEditing())
        return;
    embedModeInspector();
    if (doc)
        doc->select(reference.path.first());
    if (CarteWindowController* carte = m_window.loadedCarte())
        carte->selectEntity(reference.path.first());
    selectObject(reference.path);
}

void StudioObjectsOutline::canvasSelectionDidChange(const QStringList& entityPath)
{
    PlmWorkDocument* doc = document();
    if (!doc || m_window.suppressSelection)
        return;
    if (entityPath.isEmpty()) {
        doc->select(std::nullopt);
        return;
    }
    doc->select(entityPath.first());
    if (entityPath.size() > 1)
        selectObject(entityPath);
}

// --- State and actions -------------------------------------------------------------------------

StudioObjectEdits::State StudioObjectsOutline::objectState(const StudioObjectReference& reference) const
{
    PlmWorkDocument* doc = document();
    return doc ? StudioObjectEdits::objectState(doc->work(), reference) : StudioObjectEdits::State{};
}

bool StudioObjectsOutline::canEdit(const StudioObjectReference& reference) const
{
    if (reference.isLayoutObject()) {
        const StudioObjectEdits::State state = objectState(reference);
        return state.available && !state.locked;
    }
    VectorCanvas* view = m_window.fond->canvas();
    const std::optional<VectorCanvas::IndexPath> path = view->indexPath(reference.path);
    return path && view->isEditable(*path, true);
}

bool StudioObjectsOutline::canDelete(const StudioObjectReference& reference) const
{
    if (!canEdit(reference))
        return false;
    if (reference.isLayoutObject())
        return m_window.loadedCarte() ? m_window.loadedCarte()->decorationController()->canEditObjects()
                                      : document() != nullptr;
    return document() != nullptr;
}

void StudioObjectsOutline::toggleObject(const StudioObjectReference& reference, bool visibility)
{
    const StudioObjectEdits::State state = objectState(reference);
    if (!state.available)
        return;
    setObjectState(reference, visibility ? !state.hidden : state.hidden, visibility ? state.locked : !state.locked);
}

bool StudioObjectsOutline::setObjectState(const StudioObjectReference& reference, bool hidden, bool locked)
{
    const StudioObjectEdits::State before = objectState(reference);
    if (!before.available)
        return false;
    return m_window.updateWork(StudioObjectEdits::stateActionName(before, hidden, locked), [&](PlmWork& work) {
        StudioObjectEdits::setObjectState(work, reference, hidden, locked);
    });
}

bool StudioObjectsOutline::renameObject(const StudioObjectReference& reference, const QString& name)
{
    PlmWorkDocument* doc = document();
    if (!doc)
        return false;
    bool renamed = false;
    const bool stored = m_window.updateWork(QStringLiteral("Renommer l’objet"), [&](PlmWork& work) {
        renamed = StudioObjectEdits::renameObject(work, reference, name);
    });
    if (!stored || !renamed) {
        // The row shows its old title again.
        rebuildObjects(doc->work());
        return false;
    }
    return true;
}

void StudioObjectsOutline::deleteObject(const StudioObjectReference& reference)
{
    PlmWorkDocument* doc = document();
    if (!doc || !m_window.commitEditing() || !canDelete(reference))
        return;
    if (reference.isLayoutObject()) {
        DecorationController* decorations = m_window.carte()->decorationController();
        decorations->select(reference.id, false);
        decorations->commitTextEdit();
        decorations->deleteObjects(decorations->selectedIDs, QStringLiteral("Supprimer l’habillage"));
        decorations->clearSelection();
        decorations->updateSelection();
        return;
    }
    const QStringList path = StudioObjectEdits::deletionPath(doc->work(), reference.path);
    if (path.isEmpty())
        return;
    if (path.size() == 1) {
        // A top-level entity goes the Fond pane's way, under its own action name.
        doc->select(QSet<QString>{path.first()}, path.first());
        m_window.fond->deleteSelectedEntities();
        return;
    }
    const bool removed = m_window.updateWork(QStringLiteral("Supprimer l’objet du groupe"), [&](PlmWork& work) {
        StudioObjectEdits::removeGroupMember(work, path);
    });
    if (!removed) {
        m_window.fond->reloadFromDocument();
        return;
    }
    m_window.fond->canvas()->clearSelection();
    if (VectorCanvas* layoutMap = m_window.loadedCarteMapView())
        layoutMap->clearSelection();
    doc->select(path.first());
}

std::optional<StudioObjectEdits::DropPlan> StudioObjectsOutline::dropPlan(const StudioObjectReference& reference,
                                                                          const StudioObjectNode& target,
                                                                          int childIndex) const
{
    PlmWorkDocument* doc = document();
    if (!doc)
        return std::nullopt;
    // A legend dropped among the elements becomes one through the layout's own controller.
    if (reference.isLegend() && !document())
        return std::nullopt;
    return StudioObjectEdits::dropPlan(doc->work(), reference, target, childIndex, [this](const QStringList& path) {
        return canEdit(StudioObjectReference::entity(path));
    });
}

bool StudioObjectsOutline::moveObject(const StudioObjectReference& reference, qsizetype targetIndex)
{
    PlmWorkDocument* doc = document();
    if (!doc)
        return false;
    const QString actionName = QStringLiteral("Ordre des objets");
    const auto moveStored = [&](const StudioObjectReference& moving) {
        bool moved = false;
        const bool stored = m_window.updateWork(actionName, [&](PlmWork& work) {
            moved = StudioObjectEdits::moveObject(work, moving, targetIndex);
        });
        return stored && moved;
    };
    if (reference.isEntity())
        return canEdit(reference) && moveStored(reference);
    const StudioObjectEdits::State state = objectState(reference);
    if (!state.available || state.locked)
        return false;
    if (reference.isDecoration())
        return moveStored(reference);
    DecorationController* decorations = m_window.carte()->decorationController();
    if (!decorations->canEditObjects())
        return false;

    // A legend becomes a layout element when brought to the front; the steps of the gesture
    // form one undo step.
    if (!m_window.switchMode(StudioWindowController::Mode::carte, true))
        return false;
    QUndoStack* undo = doc->undoStack();
    const int stepsBefore = undo->count();
    undo->beginMacro(actionName);
    decorations->select(reference.id, false);
    decorations->changeObjectOrder(true);
    bool moved = false;
    if (decorations->selected && *decorations->selected != reference.id) {
        const StudioObjectReference element = StudioObjectReference::decoration(*decorations->selected);
        if (state.hidden)
            setObjectState(element, true, objectState(element).locked);
        moved = moveStored(element);
    }
    undo->endMacro();
    // A gesture that stored nothing leaves no empty step behind.
    if (undo->count() > stepsBefore && undo->command(undo->count() - 1)->childCount() == 0) {
        // An obsolete step is dropped by the stack when undone.
        const_cast<QUndoCommand*>(undo->command(undo->count() - 1))->setObsolete(true);
        undo->undo();
    }
    return moved;
}

// --- The text inspector ----------------------------------------------------------------------

void StudioObjectsOutline::showTextInspector(const QStringList& path)
{
    PlmWorkDocument* doc = document();
    if (!doc || !m_window.svgTextValue)
        return;
    const PlmWork work = doc->work();
    const PlmEntity* entity = StudioObjectEdits::entityAtPath(work.map.entities, path);
    const PlmText* text = entity ? entity->geometry.asText() : nullptr;
    if (!text)
        return;
    m_textPath = path;
    m_shownText = text->text;
    m_window.svgTextValue->setText(text->text);
    m_window.svgTextValue->setEnabled(!StudioObjectEdits::objectState(work, StudioObjectReference::entity(path)).locked);
    StudioWindowController::embed(m_window.svgTextInspector, m_window.inspectorBody, 0);
}

void StudioObjectsOutline::textValueDidEndEditing()
{
    if (const QString refusal = takeTextValue(); !refusal.isEmpty())
        DialogHooks::presentError(refusal, m_window.isWindowLoaded() ? m_window.window() : nullptr);
}

QString StudioObjectsOutline::takeTextValue()
{
    PlmWorkDocument* doc = document();
    if (!doc || !m_textPath || !m_window.svgTextValue)
        return {};
    const QString typed = m_window.svgTextValue->text();
    // Leaving the field without typing stores nothing.
    if (typed == m_shownText)
        return {};
    const QStringList path = *m_textPath;
    try {
        doc->updateWork(QStringLiteral("Modifier le texte SVG"),
                        [&](PlmWork& work) { StudioObjectEdits::setTextEntityValue(work, path, typed); });
    } catch (const PlmError& error) {
        rebuildObjects(doc->work());
        return error.message();
    }
    m_shownText = typed;
    return {};
}
