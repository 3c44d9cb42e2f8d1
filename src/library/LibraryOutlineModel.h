#pragma once

#include "librarystore/PlmLibraryItem.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

// The rows of the library outline: one node per folder or map of the tree read from the
// store, in the store's order. Nodes are made again at every reload, so whatever must
// outlive a reload (expansion, selection, thumbnails) is found again by the item's path.
// A dragged row carries its path as a file address for other programs and under the
// library's own type for this window.
class LibraryOutlineModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Role { urlRole = Qt::UserRole + 1, folderRole };
    static QString libraryItemType(); // "ondrel.pelmorastudio.library-item"

    explicit LibraryOutlineModel(QObject* parent = nullptr);
    ~LibraryOutlineModel() override;

    void setItems(const QList<PlmLibraryItem>& items);
    QList<PlmLibraryItem> items() const { return items_; }

    // The picture of a map row; a null image keeps the map symbol.
    std::function<QImage(const QString& path)> thumbnailFor;

    QModelIndex indexForURL(const QString& url) const;
    PlmLibraryItem itemAt(const QModelIndex& index) const;
    // Redraws the row of that path, if shown.
    void refreshRow(const QString& url);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;

    // The paths a drag carries under the library's own type (empty when it has none).
    static QStringList libraryItemURLs(const class QMimeData* data);
    // The local files of a drag (text/uri-list).
    static QStringList fileURLs(const class QMimeData* data);

private:
    struct Node {
        PlmLibraryItem entry;
        Node* parent = nullptr;
        int row = 0;
        std::vector<std::unique_ptr<Node>> children;
    };
    void build(Node* parent, const QList<PlmLibraryItem>& items, std::vector<std::unique_ptr<Node>>& into);
    Node* nodeOf(const QModelIndex& index) const;

    QList<PlmLibraryItem> items_;
    std::vector<std::unique_ptr<Node>> roots_;
    QHash<QString, Node*> byURL_;
    QImage folderImage_;
    QImage mapImage_;
};
