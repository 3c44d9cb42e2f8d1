#pragma once

#include "app/StudioObjectEdits.h"
#include "app/StudioObjectNode.h"
#include "model/PlmWork.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QList>
#include <functional>
#include <optional>

// The objects outline's rows over one snapshot of the work: a tree of StudioObjectNode values,
// no widget per row. Four columns: the title ("object", editable for objects), then the
// visibility, lock and delete buttons that StudioOutlineDelegate paints. Drags carry the
// reference's JSON under StudioObjectReference::pasteboardType; drops are planned and
// performed by the studio window through the callbacks.
class StudioOutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { objectColumn = 0, visibleColumn = 1, lockedColumn = 2, deleteColumn = 3, columnCount_ = 4 };
    enum Role {
        KeyRole = Qt::UserRole + 1, // the node's key
        AvailableRole,              // bool: the object exists
        HiddenRole,                 // bool
        LockedRole,                 // bool
        EditableRole,               // bool: canEdit (delete enabled, drag allowed)
        SectionRole,                // bool: a section row
    };
    static QString columnIdentifier(int column); // "object", "visible", "locked", "delete"

    explicit StudioOutlineModel(QObject* parent = nullptr);

    // Replaces the tree (a model reset). The work is the one the tree was built from.
    void setTree(const QList<StudioObjectNode>& roots, const PlmWork& work);
    // Entities edited in place (renamed, restyled, hidden, locked, moved; the same top-level
    // ids in the same order, no group among the changed ones): only their rows are read again,
    // a large map is not rebuilt row by row. False, with nothing changed, when rows would come
    // or go; the caller then sets a new tree.
    bool updateEntitiesInPlace(const PlmWork& work);
    const QList<StudioObjectNode>& roots() const { return m_roots; }
    const PlmWork& work() const { return m_work; }

    const StudioObjectNode* node(const QModelIndex& index) const;
    QModelIndex indexOf(const StudioObjectNode* node, int column = 0) const;
    // The first node (depth first) with this reference or key.
    QModelIndex indexOfReference(const StudioObjectReference& reference) const;
    QModelIndex indexOfKey(const QString& key) const;

    // Whether the object may be edited (deleted, dragged); by default an existing object
    // that is not locked. The studio window asks its Fond map view for entities.
    std::function<bool(const StudioObjectReference&)> canEdit;
    // Renaming from the inline editor; answers whether the name was stored.
    std::function<bool(const StudioObjectReference&, const QString&)> onRename;
    // The plan of a drop, and its execution (answers whether the work changed).
    std::function<std::optional<StudioObjectEdits::DropPlan>(const StudioObjectReference&, const StudioObjectNode& target,
                                                             int childIndex)>
        planDrop;
    std::function<bool(const StudioObjectEdits::DropPlan&)> performDrop;
    // The row the user pressed to start a drag (the view's current row). With several rows
    // selected, the drag carries that row's object, not the first selected one.
    std::function<QModelIndex()> dragOrigin;

    StudioObjectEdits::State state(const StudioObjectReference& reference) const;
    bool isEditable(const StudioObjectReference& reference) const;

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

    // The plan for dropped data, as the drop checks it.
    std::optional<StudioObjectEdits::DropPlan> dropPlanFor(const QMimeData* data, int row,
                                                           const QModelIndex& parent) const;

private:
    struct Place {
        const StudioObjectNode* parent = nullptr;
        int row = 0;
    };
    const QList<StudioObjectNode>& childrenOf(const StudioObjectNode* node) const;
    void indexNodes(const QList<StudioObjectNode>& nodes, const StudioObjectNode* parent);
    void indexKeys(const QList<StudioObjectNode>& nodes) const;
    // Where a node of the current tree sits; none for a pointer that names no node of it.
    std::optional<Place> placeOf(const StudioObjectNode* node) const;
    const StudioObjectNode* nodeOfKey(const QString& key) const;

    QList<StudioObjectNode> m_roots;
    PlmWork m_work;
    // Each list of nodes of the tree (the roots, each node's children) as the span of memory
    // its nodes occupy, sorted by address: a node's place is found from its address without
    // an entry per node, which a large map's tree would make by the ten thousand.
    struct Span {
        quintptr begin = 0;
        quintptr end = 0;
        const StudioObjectNode* parent = nullptr;
    };
    QList<Span> m_spans;
    // First node of each key, made at the first lookup by key.
    mutable QHash<QString, const StudioObjectNode*> m_byKey;
    mutable bool m_byKeyValid = false;
    // What the rows show of each object, asked at every paint: computed once per tree (a
    // lookup walks lists of entities by id).
    struct RowState {
        StudioObjectEdits::State state;
        bool editable = false;
    };
    const RowState& rowState(const StudioObjectNode* node) const;
    mutable QHash<const StudioObjectNode*, RowState> m_rowStates;
    QByteArray m_sourceToken;
};
