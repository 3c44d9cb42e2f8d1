#include "app/StudioOutlineModel.h"

#include <algorithm>

#include <QFont>
#include <QMimeData>

namespace {

// Marks drags that start in this outline: only those may be dropped here.
const QString sourceMimeType = QStringLiteral("application/x-pelmora-outline-source");
// Drag texts larger than this are not references.
constexpr qsizetype maxDragBytes = 1 << 20;

} // namespace

QString StudioOutlineModel::columnIdentifier(int column)
{
    switch (column) {
    case objectColumn: return QStringLiteral("object");
    case visibleColumn: return QStringLiteral("visible");
    case lockedColumn: return QStringLiteral("locked");
    default: return QStringLiteral("delete");
    }
}

StudioOutlineModel::StudioOutlineModel(QObject* parent)
    : QAbstractItemModel(parent)
    , m_sourceToken(QByteArray::number(quintptr(this), 16))
{
}

void StudioOutlineModel::setTree(const QList<StudioObjectNode>& roots, const PlmWork& work)
{
    beginResetModel();
    m_roots = roots;
    m_work = work;
    m_spans.clear();
    m_byKey.clear();
    m_byKeyValid = false;
    m_rowStates.clear();
    // The nodes are reached through pointers from here on: detach once, then read only.
    m_roots.detach();
    indexNodes(std::as_const(m_roots), nullptr);
    std::sort(m_spans.begin(), m_spans.end(), [](const Span& a, const Span& b) { return a.begin < b.begin; });
    endResetModel();
}

bool StudioOutlineModel::updateEntitiesInPlace(const PlmWork& work)
{
    const PlmEntityList& before = m_work.map.entities;
    const PlmEntityList& after = work.map.entities;
    if (before.size() != after.size())
        return false;
    const StudioObjectNode* fond = nullptr;
    for (const StudioObjectNode& root : std::as_const(m_roots))
        if (!root.reference && root.key() == StudioObjectNode::fondSectionKey)
            fond = &root;
    QList<StudioObjectNode*> changed;
    QList<const PlmEntity*> entities;
    for (qsizetype i = 0; i < after.size(); ++i) {
        const PlmEntity& old = before.at(i);
        const PlmEntity& entity = after.at(i);
        if (before.sharesEntity(i, after, i))
            continue; // the very same shared entity
        if (old.id != entity.id)
            return false;
        if (old == entity)
            continue;
        // A group's rows are its members: a changed group is shown again whole.
        if (old.geometry.asGroup() || entity.geometry.asGroup())
            return false;
        // The row sits where its entity does, counted from the last drawn, under "Fond".
        const QString key = StudioObjectReference::entity({entity.id}).key();
        const StudioObjectNode* node = nullptr;
        if (fond && fond->children.size() == after.size()) {
            const StudioObjectNode& guess = fond->children.at(after.size() - 1 - i);
            // Top-level ids are unique, and no other row has an entity's one-id key.
            if (guess.key() == key)
                node = &guess;
        }
        if (!node)
            node = nodeOfKey(key);
        if (!node)
            return false;
        // The tree is this model's own, detached copy: its nodes may be retitled in place.
        changed.append(const_cast<StudioObjectNode*>(node));
        entities.append(&entity);
    }
    m_work = work;
    for (qsizetype i = 0; i < changed.size(); ++i) {
        StudioObjectNode* node = changed.at(i);
        node->title = entities.at(i)->name.isEmpty() ? entities.at(i)->id : entities.at(i)->name;
        m_rowStates.remove(node);
        emit dataChanged(indexOf(node, objectColumn), indexOf(node, deleteColumn));
    }
    return true;
}

void StudioOutlineModel::indexNodes(const QList<StudioObjectNode>& nodes, const StudioObjectNode* parent)
{
    if (nodes.isEmpty())
        return;
    const StudioObjectNode* first = nodes.constData();
    m_spans.append(Span{quintptr(first), quintptr(first + nodes.size()), parent});
    for (const StudioObjectNode& child : nodes)
        indexNodes(child.children, &child);
}

void StudioOutlineModel::indexKeys(const QList<StudioObjectNode>& nodes) const
{
    // Depth first, each node before its children: the first node of a key is kept.
    for (const StudioObjectNode& child : nodes) {
        const QString key = child.key();
        if (!m_byKey.contains(key))
            m_byKey.insert(key, &child);
        indexKeys(child.children);
    }
}

std::optional<StudioOutlineModel::Place> StudioOutlineModel::placeOf(const StudioObjectNode* node) const
{
    const quintptr address = quintptr(node);
    auto it = std::upper_bound(m_spans.cbegin(), m_spans.cend(), address,
                               [](quintptr a, const Span& span) { return a < span.begin; });
    if (it == m_spans.cbegin())
        return std::nullopt;
    --it;
    if (address >= it->end || (address - it->begin) % sizeof(StudioObjectNode) != 0)
        return std::nullopt;
    return Place{it->parent, int((address - it->begin) / sizeof(StudioObjectNode))};
}

const StudioObjectNode* StudioOutlineModel::nodeOfKey(const QString& key) const
{
    if (!m_byKeyValid) {
        m_byKey.clear();
        indexKeys(m_roots);
        m_byKeyValid = true;
    }
    return m_byKey.value(key, nullptr);
}

const QList<StudioObjectNode>& StudioOutlineModel::childrenOf(const StudioObjectNode* node) const
{
    return node ? node->children : m_roots;
}

const StudioObjectNode* StudioOutlineModel::node(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    // An index kept across a rebuild names a node that is gone: look it up before use.
    const auto* candidate = static_cast<const StudioObjectNode*>(index.internalPointer());
    return placeOf(candidate) ? candidate : nullptr;
}

QModelIndex StudioOutlineModel::indexOf(const StudioObjectNode* target, int column) const
{
    const std::optional<Place> place = target ? placeOf(target) : std::nullopt;
    if (!place)
        return {};
    return createIndex(place->row, column, const_cast<StudioObjectNode*>(target));
}

QModelIndex StudioOutlineModel::indexOfReference(const StudioObjectReference& reference) const
{
    return indexOfKey(reference.key());
}

QModelIndex StudioOutlineModel::indexOfKey(const QString& key) const
{
    return indexOf(nodeOfKey(key));
}

StudioObjectEdits::State StudioOutlineModel::state(const StudioObjectReference& reference) const
{
    return StudioObjectEdits::objectState(m_work, reference);
}

bool StudioOutlineModel::isEditable(const StudioObjectReference& reference) const
{
    if (canEdit)
        return canEdit(reference);
    const StudioObjectEdits::State current = state(reference);
    return current.available && !current.locked;
}

const StudioOutlineModel::RowState& StudioOutlineModel::rowState(const StudioObjectNode* node) const
{
    auto it = m_rowStates.find(node);
    if (it == m_rowStates.end()) {
        // A top-level entity's row sits where its entity does, counted from the last drawn: a
        // look there spares a search through a large map for each row painted.
        std::optional<StudioObjectEdits::State> known;
        const StudioObjectReference& reference = *node->reference;
        const std::optional<Place> place = placeOf(node);
        const PlmEntityList& entities = m_work.map.entities;
        if (reference.isEntity() && reference.path.size() == 1 && place) {
            const qsizetype guess = entities.size() - 1 - place->row;
            if (guess >= 0 && guess < entities.size() && entities.at(guess).id == reference.path.first()) {
                const PlmEntity& entity = entities.at(guess);
                known = StudioObjectEdits::State{true, entity.hidden(), entity.locked()};
            }
        }
        it = m_rowStates.insert(node, RowState{known ? *known : state(reference), isEditable(reference)});
    }
    return *it;
}

QModelIndex StudioOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= columnCount_ || row < 0)
        return {};
    if (parent.isValid() && parent.column() != 0)
        return {};
    const QList<StudioObjectNode>& children = childrenOf(node(parent));
    if (row >= children.size())
        return {};
    return createIndex(row, column, const_cast<StudioObjectNode*>(&children.at(row)));
}

QModelIndex StudioOutlineModel::parent(const QModelIndex& child) const
{
    const StudioObjectNode* current = node(child);
    if (!current)
        return {};
    const std::optional<Place> place = placeOf(current);
    if (!place || !place->parent)
        return {};
    return indexOf(place->parent, 0);
}

int StudioOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(childrenOf(node(parent)).size());
}

int StudioOutlineModel::columnCount(const QModelIndex&) const
{
    return columnCount_;
}

bool StudioOutlineModel::hasChildren(const QModelIndex& parent) const
{
    return rowCount(parent) > 0;
}

QVariant StudioOutlineModel::data(const QModelIndex& index, int role) const
{
    const StudioObjectNode* current = node(index);
    if (!current)
        return {};
    const bool isSection = !current->reference;
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return index.column() == objectColumn ? QVariant(current->title) : QVariant();
    case KeyRole:
        return current->key();
    case SectionRole:
        return isSection;
    default:
        break;
    }
    if (isSection) {
        if (role == Qt::FontRole && index.column() == objectColumn) {
            QFont font;
            font.setPixelSize(12);
            font.setWeight(QFont::DemiBold);
            return font;
        }
        return {};
    }
    const RowState& row = rowState(current);
    const StudioObjectEdits::State& objectState = row.state;
    switch (role) {
    case AvailableRole: return objectState.available;
    case HiddenRole: return objectState.hidden;
    case LockedRole: return objectState.locked;
    case EditableRole: return row.editable;
    case Qt::ToolTipRole:
        switch (index.column()) {
        case objectColumn: return current->title;
        case visibleColumn:
            if (!objectState.available)
                return QStringLiteral("Indisponible pour cet objet du fond");
            return objectState.hidden ? QStringLiteral("Afficher") : QStringLiteral("Masquer");
        case lockedColumn:
            if (!objectState.available)
                return QStringLiteral("Indisponible pour cet objet du fond");
            return objectState.locked ? QStringLiteral("Déverrouiller") : QStringLiteral("Verrouiller");
        default:
            return QStringLiteral("Supprimer « ") + current->title + QStringLiteral(" »");
        }
    case Qt::AccessibleDescriptionRole:
        switch (index.column()) {
        case visibleColumn: return QStringLiteral("Visibilité");
        case lockedColumn: return QStringLiteral("Verrouillage");
        case deleteColumn: return QStringLiteral("Supprimer");
        default: return {};
        }
    default:
        return {};
    }
}

bool StudioOutlineModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    const StudioObjectNode* current = node(index);
    if (role != Qt::EditRole || index.column() != objectColumn || !current || !current->reference || !onRename)
        return false;
    // The callback may rebuild the tree: copy the reference first.
    const StudioObjectReference reference = *current->reference;
    return onRename(reference, value.toString());
}

QVariant StudioOutlineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case objectColumn: return QStringLiteral("Objets / Calques");
    case visibleColumn: return QStringLiteral("Vue");
    case lockedColumn: return QStringLiteral("Fixe");
    default: return QString();
    }
}

Qt::ItemFlags StudioOutlineModel::flags(const QModelIndex& index) const
{
    const StudioObjectNode* current = node(index);
    if (!current)
        return Qt::ItemIsDropEnabled;
    if (!current->reference)
        return Qt::ItemIsEnabled | Qt::ItemIsDropEnabled; // sections: not selectable
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    if (index.column() == objectColumn)
        result |= Qt::ItemIsEditable;
    return result;
}

QStringList StudioOutlineModel::mimeTypes() const
{
    return {StudioObjectReference::pasteboardType};
}

QMimeData* StudioOutlineModel::mimeData(const QModelIndexList& indexes) const
{
    const StudioObjectNode* dragged = nullptr;
    const StudioObjectNode* origin = dragOrigin ? node(dragOrigin()) : nullptr;
    for (const QModelIndex& index : indexes) {
        const StudioObjectNode* current = node(index);
        if (!current || !current->reference)
            continue;
        if (!dragged || current == origin)
            dragged = current;
        if (current == origin)
            break;
    }
    if (!dragged)
        return nullptr;
    auto* data = new QMimeData;
    data->setData(StudioObjectReference::pasteboardType, dragged->reference->toJson());
    data->setData(sourceMimeType, m_sourceToken);
    return data;
}

Qt::DropActions StudioOutlineModel::supportedDragActions() const
{
    return Qt::MoveAction;
}

Qt::DropActions StudioOutlineModel::supportedDropActions() const
{
    return Qt::MoveAction;
}

std::optional<StudioObjectEdits::DropPlan> StudioOutlineModel::dropPlanFor(const QMimeData* data, int row,
                                                                           const QModelIndex& parent) const
{
    if (!data || !planDrop || data->data(sourceMimeType) != m_sourceToken)
        return std::nullopt;
    const StudioObjectNode* target = node(parent.siblingAtColumn(0));
    if (!target || row < 0)
        return std::nullopt; // onto a row, or outside every node
    const QByteArray text = data->data(StudioObjectReference::pasteboardType);
    if (text.isEmpty() || text.size() > maxDragBytes)
        return std::nullopt;
    const std::optional<StudioObjectReference> reference = StudioObjectReference::read(text);
    if (!reference)
        return std::nullopt;
    return planDrop(*reference, *target, row);
}

bool StudioOutlineModel::canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                         const QModelIndex& parent) const
{
    return action == Qt::MoveAction && dropPlanFor(data, row, parent).has_value();
}

bool StudioOutlineModel::dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int,
                                      const QModelIndex& parent)
{
    if (action != Qt::MoveAction || !performDrop)
        return false;
    const std::optional<StudioObjectEdits::DropPlan> plan = dropPlanFor(data, row, parent);
    return plan && performDrop(*plan);
}
