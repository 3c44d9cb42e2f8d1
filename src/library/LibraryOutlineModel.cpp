#include "library/LibraryOutlineModel.h"

#include "inspector/InspectorIcon.h"

#include <QFileInfo>
#include <QIcon>
#include <QMimeData>
#include <QPainter>
#include <QUrl>

namespace {

// The row symbols, drawn once from the studio's icon set: a folder in the system blue, a
// map in a quiet grey, centred in the thumbnail's frame.
QImage symbolImage(bool folder)
{
    QImage image(QSize(58, 40) * 2, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(2);
    image.fill(Qt::transparent);
    const QIcon icon = InspectorIcon::symbol(folder ? QStringLiteral("folder") : QStringLiteral("map"),
                                             folder ? QColor(0x0a, 0x84, 0xff) : QColor(0x66, 0x66, 0x66));
    QPainter p(&image);
    icon.paint(&p, QRect(15, 6, 28, 28));
    return image;
}

} // namespace

QString LibraryOutlineModel::libraryItemType()
{
    return QStringLiteral("ondrel.pelmorastudio.library-item");
}

LibraryOutlineModel::LibraryOutlineModel(QObject* parent)
    : QAbstractItemModel(parent)
    , folderImage_(symbolImage(true))
    , mapImage_(symbolImage(false))
{
}

LibraryOutlineModel::~LibraryOutlineModel() = default;

void LibraryOutlineModel::build(Node* parent, const QList<PlmLibraryItem>& items, std::vector<std::unique_ptr<Node>>& into)
{
    into.reserve(size_t(items.size()));
    for (const PlmLibraryItem& item : items) {
        auto node = std::make_unique<Node>();
        node->entry = item;
        node->parent = parent;
        node->row = int(into.size());
        byURL_.insert(item.url, node.get());
        build(node.get(), item.children, node->children);
        into.push_back(std::move(node));
    }
}

void LibraryOutlineModel::setItems(const QList<PlmLibraryItem>& items)
{
    beginResetModel();
    items_ = items;
    roots_.clear();
    byURL_.clear();
    build(nullptr, items, roots_);
    endResetModel();
}

LibraryOutlineModel::Node* LibraryOutlineModel::nodeOf(const QModelIndex& index) const
{
    return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex LibraryOutlineModel::indexForURL(const QString& url) const
{
    Node* node = byURL_.value(url);
    return node ? createIndex(node->row, 0, node) : QModelIndex();
}

PlmLibraryItem LibraryOutlineModel::itemAt(const QModelIndex& index) const
{
    Node* node = nodeOf(index);
    return node ? node->entry : PlmLibraryItem();
}

void LibraryOutlineModel::refreshRow(const QString& url)
{
    const QModelIndex index = indexForURL(url);
    if (index.isValid())
        emit dataChanged(index, index, {Qt::DecorationRole});
}

QModelIndex LibraryOutlineModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column != 0 || row < 0)
        return {};
    const std::vector<std::unique_ptr<Node>>& list = parent.isValid() ? nodeOf(parent)->children : roots_;
    if (size_t(row) >= list.size())
        return {};
    return createIndex(row, 0, list[size_t(row)].get());
}

QModelIndex LibraryOutlineModel::parent(const QModelIndex& child) const
{
    Node* node = nodeOf(child);
    if (!node || !node->parent)
        return {};
    return createIndex(node->parent->row, 0, node->parent);
}

int LibraryOutlineModel::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    return int(parent.isValid() ? nodeOf(parent)->children.size() : roots_.size());
}

int LibraryOutlineModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool LibraryOutlineModel::hasChildren(const QModelIndex& parent) const
{
    if (!parent.isValid())
        return !roots_.empty();
    return nodeOf(parent)->entry.isFolder && !nodeOf(parent)->children.empty();
}

QVariant LibraryOutlineModel::data(const QModelIndex& index, int role) const
{
    Node* node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node->entry.displayName();
    case Qt::DecorationRole: {
        if (node->entry.isFolder)
            return folderImage_;
        if (thumbnailFor) {
            const QImage thumb = thumbnailFor(node->entry.url);
            if (!thumb.isNull())
                return thumb;
        }
        return mapImage_;
    }
    case urlRole:
        return node->entry.url;
    case folderRole:
        return node->entry.isFolder;
    default:
        return {};
    }
}

Qt::ItemFlags LibraryOutlineModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
}

QStringList LibraryOutlineModel::mimeTypes() const
{
    return {QStringLiteral("text/uri-list"), libraryItemType()};
}

QMimeData* LibraryOutlineModel::mimeData(const QModelIndexList& indexes) const
{
    QList<QUrl> urls;
    QStringList paths;
    for (const QModelIndex& index : indexes) {
        Node* node = nodeOf(index);
        if (!node || paths.contains(node->entry.url))
            continue;
        paths << node->entry.url;
        urls << QUrl::fromLocalFile(node->entry.url);
    }
    if (paths.isEmpty())
        return nullptr;
    auto* data = new QMimeData;
    data->setUrls(urls);
    QStringList texts;
    for (const QUrl& url : urls)
        texts << url.toString(QUrl::FullyEncoded);
    data->setData(libraryItemType(), texts.join(QLatin1Char('\n')).toUtf8());
    return data;
}

Qt::DropActions LibraryOutlineModel::supportedDragActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

Qt::DropActions LibraryOutlineModel::supportedDropActions() const
{
    return Qt::MoveAction | Qt::CopyAction;
}

QStringList LibraryOutlineModel::libraryItemURLs(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasFormat(libraryItemType()))
        return paths;
    const QList<QByteArray> lines = data->data(libraryItemType()).split('\n');
    for (const QByteArray& line : lines) {
        const QUrl url = QUrl::fromEncoded(line.trimmed());
        if (url.isLocalFile())
            paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    }
    return paths;
}

QStringList LibraryOutlineModel::fileURLs(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            paths << QFileInfo(url.toLocalFile()).absoluteFilePath();
    return paths;
}
