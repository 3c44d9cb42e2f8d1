#include "library/LibraryWindowController.h"

#include "canvas/VectorCanvas.h"
#include "library/LibraryDropPreview.h"
#include "library/LibraryOutlineModel.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryQuickLook.h"
#include "library/LibraryThumbnails.h"
#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "model/PlmFrenchCount.h"
#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "platform/UserDefaults.h"
#include "desktop/ViewHost.h"
#include "desktop/WindowTeardown.h"

#include <QApplication>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QSvgRenderer>
#include <QToolBar>
#include <QUndoStack>
#include <QVBoxLayout>

namespace {

const QString frameAutosaveName = QStringLiteral("Bibliothèque");

// The details of a map: its name, its entity count, then what its metadata says of its source.
QString detailsText(const QString& name, const LibraryThumbnails::Facts& facts)
{
    QStringList lines{name, PlmFrenchCount::counted(facts.entityCount, QStringLiteral("entité"), QStringLiteral("entités"))};
    lines << facts.sourceLines;
    return lines.join(QLatin1Char('\n'));
}

// The picture of a large map while the map itself is being read: scaled to fit, centred.
class PreviewPicture : public QWidget {
public:
    explicit PreviewPicture(const QImage& image)
        : image_(image)
    {
        setObjectName(QStringLiteral("Bibliothèque.Image"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        QSizeF size = image_.deviceIndependentSize();
        size.scale(QSizeF(this->size()), Qt::KeepAspectRatio);
        const QRectF target(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, image_);
    }

private:
    QImage image_;
};

// Whole item values, children included.
bool sameTree(const QList<PlmLibraryItem>& a, const QList<PlmLibraryItem>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (a[i].url != b[i].url || a[i].isFolder != b[i].isFolder || !sameTree(a[i].children, b[i].children))
            return false;
    return true;
}

// The stack of the empty state, drawn once: three sheets, one above the other.
QPixmap stackSymbol(const QColor& colour)
{
    QPixmap pixmap(QSize(64, 64) * 2);
    pixmap.setDevicePixelRatio(2);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(colour, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    for (int i = 2; i >= 0; --i) {
        const double y = 14 + i * 12;
        const QPolygonF sheet({QPointF(32, y), QPointF(56, y + 10), QPointF(32, y + 20), QPointF(8, y + 10)});
        p.setBrush(i == 0 ? QBrush(colour.lighter(170)) : QBrush(Qt::NoBrush));
        p.drawPolygon(sheet);
    }
    return pixmap;
}

} // namespace

QString LibraryWindowController::libraryItemPasteboardType()
{
    return LibraryOutlineModel::libraryItemType();
}

QString LibraryWindowController::emptyTitle()
{
    return QStringLiteral("Vos fonds, prêts à cartographier");
}

QString LibraryWindowController::listAutosaveName()
{
    return QStringLiteral("Bibliothèque-liste");
}

QString LibraryWindowController::splitAutosaveName()
{
    return QStringLiteral("Bibliothèque-division");
}

LibraryWindowController::LibraryWindowController(const PlmLibraryStore& store, QObject* parent)
    : QObject(parent)
    , store_(store)
    , undo_(new QUndoStack(this))
    , thumbnails_(new LibraryThumbnails(LibraryThumbnails::defaultCacheDirectory(), this))
{
    connect(thumbnails_, &LibraryThumbnails::thumbnailReady, this, [this](const QString& path) {
        if (model_)
            model_->refreshRow(path); // only that row is drawn again
    });
    connect(thumbnails_, &LibraryThumbnails::mapLoaded, this,
            [this](const QString& path, const PlmMap& map) { previewLoaded(path, map, QString()); });
    connect(thumbnails_, &LibraryThumbnails::mapFailed, this,
            [this](const QString& path, const QString& error) { previewLoaded(path, std::nullopt, error); });
    buildWindow();
    reload();
}

LibraryWindowController::~LibraryWindowController()
{
    if (window_)
        window_->removeEventFilter(this);
    // The « Coup d’œil » files go with the window that showed them.
    if (!previewDirectory_.isEmpty())
        QDir(previewDirectory_).removeRecursively();
    // The search field and the outline answer nothing while the window goes.
    WindowTeardown::destroy(window_.data());
    if (previewIsLarge_)
        LibraryThumbnails::releaseFreedMemory();
}

void LibraryWindowController::buildWindow()
{
    window_ = new QMainWindow;
    window_->setObjectName(frameAutosaveName);
    window_->setWindowTitle(QStringLiteral("Bibliothèque — ") + QFileInfo(store_.root()).completeBaseName());
    window_->setWindowFilePath(store_.root());
    window_->setMinimumSize(760, 480);
    window_->resize(1060, 700);
    window_->installEventFilter(this);

    buildToolbar();
    buildContent();
    restoreLayout();
}

void LibraryWindowController::buildContent()
{
    auto* body = new QWidget;
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 8);
    column->setSpacing(8);

    model_ = new LibraryOutlineModel(this);
    model_->thumbnailFor = [this](const QString& path) { return thumbnails_->thumbnail(path); };
    outline_ = new LibraryOutlineView;
    outline_->setObjectName(listAutosaveName());
    outline_->setModel(model_);
    outline_->setMinimumWidth(220);
    outline_->setContextMenuPolicy(Qt::CustomContextMenu);
    QPointer<LibraryWindowController> weak(this);
    outline_->onOpen = [weak] {
        if (weak)
            weak->openSelection({});
    };
    outline_->onRename = [weak] {
        if (weak)
            weak->renameSelected();
    };
    outline_->onDelete = [weak] {
        if (weak)
            weak->perform(QStringLiteral("deleteSelected:"), nullptr);
    };
    outline_->onQuickLook = [weak] {
        if (weak)
            weak->toggleQuickLook();
    };
    outline_->validateDrop = [this](const QMimeData* data, const QModelIndex& proposed) {
        LibraryOutlineView::DropAnswer answer;
        answer.action = validateDrop(data, proposed);
        answer.target = model_->indexForURL(dropDestination(proposed));
        return answer;
    };
    outline_->acceptDrop = [this](const QMimeData* data, const QModelIndex& proposed) { return acceptDrop(data, proposed); };
    outline_->dragStarted = [this](const QModelIndexList& rows) { startDragging(rows); };
    outline_->dragEnded = [this] { draggingURLs_.clear(); };
    connect(outline_, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) { openSelection(index); });
    connect(outline_->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        updateDetails();
        if (quickLook_ && quickLook_->isVisible())
            preparePreviews(); // the preview follows the selection
    });
    connect(outline_, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        contextMenu_->popup(outline_->viewport()->mapToGlobal(at));
    });
    contextMenu_ = new QMenu(QStringLiteral("Bibliothèque"), outline_);
    connect(contextMenu_, &QMenu::aboutToShow, this, [this] { fillMenu(contextMenu_, true); });

    auto* right = new QWidget;
    right->setMinimumWidth(300);
    auto* rightColumn = new QVBoxLayout(right);
    rightColumn->setContentsMargins(16, 14, 16, 0);
    rightColumn->setSpacing(12);
    detail_ = new QLabel;
    detail_->setObjectName(QStringLiteral("Bibliothèque.Détails"));
    detail_->setWordWrap(true);
    detail_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont detailFont = detail_->font();
    detailFont.setPixelSize(14);
    detail_->setFont(detailFont);
    rightColumn->addWidget(detail_);
    preview_ = new LibraryDropPreview;
    preview_->setObjectName(QStringLiteral("Bibliothèque.Aperçu"));
    preview_->canReceive = [this](const QStringList& files) { return canDrop(files); };
    preview_->receive = [weak](const QStringList& files) {
        if (weak)
            weak->importFiles(files, weak->selectedFolderURL().value_or(weak->store_.root()));
    };
    new QVBoxLayout(preview_);
    preview_->layout()->setContentsMargins(0, 0, 0, 0);
    // The preview runs to the pane's sides and bottom.
    rightColumn->addWidget(preview_, 1);
    rightColumn->setContentsMargins(0, 14, 0, 0);
    detail_->setContentsMargins(16, 0, 16, 0);

    split_ = new QSplitter(Qt::Horizontal);
    split_->setObjectName(splitAutosaveName());
    split_->setHandleWidth(1);
    split_->setChildrenCollapsible(false);
    outline_->setMinimumWidth(260);
    split_->addWidget(outline_);
    split_->addWidget(right);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({380, 680});
    column->addWidget(split_, 1);

    status_ = new QLabel;
    status_->setObjectName(QStringLiteral("Bibliothèque.État"));
    QFont statusFont = status_->font();
    statusFont.setPixelSize(12);
    status_->setFont(statusFont);
    status_->setForegroundRole(QPalette::PlaceholderText);
    status_->setContentsMargins(12, 0, 12, 0);
    column->addWidget(status_);
    window_->setCentralWidget(body);
}

void LibraryWindowController::restoreLayout()
{
    const QByteArray frame = UserDefaults::dataValue(frameAutosaveName);
    if (frame.isEmpty() || !window_->restoreGeometry(frame)) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            window_->move(screen->availableGeometry().center() - window_->rect().center());
    }
    const QByteArray division = UserDefaults::dataValue(splitAutosaveName());
    if (!division.isEmpty())
        split_->restoreState(division);
    const QByteArray list = UserDefaults::dataValue(listAutosaveName());
    if (!list.isEmpty())
        outline_->header()->restoreState(list);
}

void LibraryWindowController::saveLayout() const
{
    if (!window_)
        return;
    UserDefaults::setValue(frameAutosaveName, window_->saveGeometry());
    UserDefaults::setValue(splitAutosaveName(), split_->saveState());
    UserDefaults::setValue(listAutosaveName(), outline_->header()->saveState());
}

bool LibraryWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::WindowActivate:
            refreshIfChanged();
            break;
        case QEvent::Close:
        case QEvent::Hide:
            saveLayout();
            if (event->type() == QEvent::Close && quickLook_)
                quickLook_->hide();
            break;
        case QEvent::Move:
        case QEvent::Resize:
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void LibraryWindowController::showWindow()
{
    if (window_->isMinimized())
        window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
}

void LibraryWindowController::close()
{
    if (window_)
        window_->close();
}

QWidget* LibraryWindowController::sheetWindow() const
{
    return window_;
}

void LibraryWindowController::presentError(const QString& message)
{
    DialogHooks::presentError(message, window_);
}

void LibraryWindowController::presentError(const std::exception_ptr& error)
{
    presentError(Document::messageOf(error));
}

// --- The tree ---------------------------------------------------------------------------

QList<QModelIndex> LibraryWindowController::selectedRows() const
{
    QList<QModelIndex> rows = outline_->selectionModel()->selectedRows();
    // Row order, as the outline shows them.
    std::sort(rows.begin(), rows.end(), [this](const QModelIndex& a, const QModelIndex& b) {
        return outline_->visualRect(a).top() < outline_->visualRect(b).top();
    });
    return rows;
}

QList<PlmLibraryItem> LibraryWindowController::selectedItems() const
{
    QList<PlmLibraryItem> items;
    for (const QModelIndex& row : selectedRows())
        items << model_->itemAt(row);
    return items;
}

QList<PlmLibraryItem> LibraryWindowController::selectedTopLevelItems() const
{
    const QList<PlmLibraryItem> all = selectedItems();
    QList<PlmLibraryItem> top;
    for (const PlmLibraryItem& item : all) {
        const bool nested = std::any_of(all.cbegin(), all.cend(), [&item](const PlmLibraryItem& other) {
            return other.isFolder && other.url != item.url && PlmLibraryFiles::isWithin(item.url, other.url);
        });
        if (!nested)
            top << item;
    }
    return top;
}

std::optional<QString> LibraryWindowController::selectedItemURL() const
{
    const QModelIndex current = outline_->selectionModel()->currentIndex();
    if (current.isValid() && outline_->selectionModel()->isSelected(current))
        return model_->itemAt(current).url;
    const QList<PlmLibraryItem> items = selectedItems();
    if (items.isEmpty())
        return std::nullopt;
    return items.first().url;
}

std::optional<QString> LibraryWindowController::selectedFolderURL() const
{
    const std::optional<QString> selected = selectedItemURL();
    if (!selected)
        return store_.root();
    const QModelIndex index = model_->indexForURL(*selected);
    if (model_->itemAt(index).isFolder)
        return *selected;
    return QFileInfo(*selected).absolutePath();
}

void LibraryWindowController::select(const QStringList& urls)
{
    QItemSelection selection;
    QModelIndex first;
    for (const QString& url : urls) {
        const QModelIndex index = model_->indexForURL(url);
        if (!index.isValid())
            continue;
        selection.select(index, index);
        if (!first.isValid())
            first = index;
    }
    outline_->selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (first.isValid()) {
        outline_->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
        outline_->scrollTo(first);
    }
}

void LibraryWindowController::reload(const std::optional<QStringList>& selecting)
{
    QStringList toSelect;
    if (selecting) {
        toSelect = *selecting;
    } else {
        for (const PlmLibraryItem& item : selectedItems())
            toSelect << item.url;
    }
    QSet<QString> expanded;
    std::function<void(const QModelIndex&)> collect = [&](const QModelIndex& parent) {
        for (int row = 0, n = model_->rowCount(parent); row < n; ++row) {
            const QModelIndex index = model_->index(row, 0, parent);
            if (outline_->isExpanded(index)) {
                expanded.insert(model_->itemAt(index).url);
                collect(index);
            }
        }
    };
    collect({});

    const QString matching = search_ ? search_->text() : QString();
    QList<PlmLibraryItem> items;
    try {
        items = store_.tree(matching);
    } catch (...) {
        presentError(std::current_exception());
        return;
    }
    {
        const QSignalBlocker quiet(outline_->selectionModel());
        model_->setItems(items);
        // Expansion from the top: every folder while searching, the folders that were open,
        // and the folders on the way to an item to select.
        std::function<void(const QList<PlmLibraryItem>&)> expand = [&](const QList<PlmLibraryItem>& level) {
            for (const PlmLibraryItem& item : level) {
                if (!item.isFolder)
                    continue;
                const bool open = !matching.isEmpty() || expanded.contains(item.url)
                               || std::any_of(toSelect.cbegin(), toSelect.cend(),
                                              [&item](const QString& url) {
                                                  return url != item.url && PlmLibraryFiles::isWithin(url, item.url);
                                              });
                if (!open)
                    continue;
                outline_->setExpanded(model_->indexForURL(item.url), true);
                expand(item.children);
            }
        };
        expand(items);
        select(toSelect);
    }
    updateDetails();
}

void LibraryWindowController::refreshIfChanged()
{
    try {
        const QList<PlmLibraryItem> now = store_.tree(search_ ? search_->text() : QString());
        if (!sameTree(now, model_->items()))
            reload();
        else
            updateDetails();
    } catch (...) {
        presentError(std::current_exception());
    }
}

// --- Details ----------------------------------------------------------------------------

void LibraryWindowController::clearPreview()
{
    previewCanvas_ = nullptr;
    QLayout* layout = preview_->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        if (QWidget* w = item->widget())
            delete w;
        delete item;
    }
    if (previewIsLarge_) {
        previewIsLarge_ = false;
        LibraryThumbnails::releaseFreedMemory();
    }
}

void LibraryWindowController::showEmptyState()
{
    auto* box = new QWidget;
    box->setObjectName(QStringLiteral("Bibliothèque.Vide"));
    auto* stack = new QVBoxLayout(box);
    stack->setSpacing(16);
    stack->setAlignment(Qt::AlignCenter);
    stack->setContentsMargins(16, 0, 16, 0);

    auto* symbol = new QLabel;
    symbol->setPixmap(stackSymbol(box->palette().color(QPalette::PlaceholderText)));
    symbol->setAlignment(Qt::AlignCenter);
    auto* title = new QLabel(emptyTitle());
    title->setObjectName(QStringLiteral("Bibliothèque.Vide.Titre"));
    QFont titleFont = title->font();
    titleFont.setPixelSize(20);
    titleFont.setWeight(QFont::DemiBold);
    title->setFont(titleFont);
    title->setAlignment(Qt::AlignCenter);
    title->setWordWrap(true);
    auto* text = new QLabel(QStringLiteral("Importez un fond ou déposez-le ici depuis le gestionnaire de fichiers.\n"
                                           "Double-cliquez sur un fond pour créer un document de travail."));
    text->setAlignment(Qt::AlignCenter);
    text->setWordWrap(true);
    text->setForegroundRole(QPalette::PlaceholderText);
    auto* button = new QPushButton(QStringLiteral("Importer un fond…"));
    button->setObjectName(QStringLiteral("Bibliothèque.Vide.Importer"));
    button->setIcon(QIcon::fromTheme(QStringLiteral("list-add")));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this] { importMaps(); });

    stack->addWidget(symbol, 0, Qt::AlignHCenter);
    stack->addWidget(title);
    stack->addWidget(text);
    stack->addWidget(button, 0, Qt::AlignHCenter);
    preview_->layout()->addWidget(box);
}

void LibraryWindowController::updateDetails()
{
    clearPreview();
    loadingPreview_.clear();
    const QList<PlmLibraryItem> selected = selectedItems();
    const qsizetype n = selected.size();
    if (n > 0) {
        status_->setText(PlmFrenchCount::counted(n, QStringLiteral("élément sélectionné"), QStringLiteral("éléments sélectionnés")));
    } else {
        qsizetype rows = 0;
        std::function<void(const QModelIndex&)> count = [&](const QModelIndex& parent) {
            for (int row = 0, c = model_->rowCount(parent); row < c; ++row) {
                ++rows;
                const QModelIndex index = model_->index(row, 0, parent);
                if (outline_->isExpanded(index))
                    count(index);
            }
        };
        count({});
        status_->setText(PlmFrenchCount::counted(rows, QStringLiteral("élément affiché"), QStringLiteral("éléments affichés"))
                         + QStringLiteral(" — déposer des fonds vectoriels pour les importer"));
    }

    if (n != 1) {
        detail_->setText(n == 0 ? QStringLiteral("Sélectionnez un fond pour voir son aperçu vectoriel.")
                                : PlmFrenchCount::counted(n, QStringLiteral("élément sélectionné"), QStringLiteral("éléments sélectionnés")));
        showEmptyState();
        return;
    }
    const PlmLibraryItem& item = selected.first();
    if (item.isFolder) {
        detail_->setText(item.displayName() + QLatin1Char('\n')
                         + PlmFrenchCount::counted(item.children.size(), QStringLiteral("élément"), QStringLiteral("éléments")));
        showEmptyState();
        return;
    }
    try {
        if (store_.item(item.url).isFolder) // a folder now: refused as the store does
            throw PlmLibraryError(PlmLibraryError::Kind::unsupportedFile);
    } catch (...) {
        detail_->setText(item.displayName() + QLatin1Char('\n') + Document::messageOf(std::current_exception()));
        return;
    }
    if (QFileInfo(item.url).size() > LibraryThumbnails::livePreviewLimit()) {
        // A large map is read off the main thread; what the cache knows shows meanwhile.
        loadingPreview_ = item.url;
        const std::optional<LibraryThumbnails::Facts> facts = thumbnails_->cachedFacts(item.url);
        detail_->setText(facts ? detailsText(item.displayName(), *facts)
                               : item.displayName() + QStringLiteral("\nLecture du fond…"));
        const QImage picture = thumbnails_->cachedPreview(item.url);
        if (!picture.isNull())
            preview_->layout()->addWidget(new PreviewPicture(picture));
        thumbnails_->loadMap(item.url);
        return;
    }
    try {
        showMap(item, store_.map(item.url));
    } catch (...) {
        detail_->setText(item.displayName() + QLatin1Char('\n') + Document::messageOf(std::current_exception()));
    }
}

void LibraryWindowController::showMap(const PlmLibraryItem& item, const PlmMap& map)
{
    clearPreview();
    detail_->setText(detailsText(item.displayName(), LibraryThumbnails::factsOf(map)));
    auto* host = new ViewHost;
    host->setObjectName(QStringLiteral("Bibliothèque.Carte"));
    previewCanvas_ = new VectorCanvas(map, false, QStringLiteral("Fond vide"));
    host->setRootNode(previewCanvas_);
    preview_->layout()->addWidget(host);
}

void LibraryWindowController::previewLoaded(const QString& path, const std::optional<PlmMap>& map, const QString& error)
{
    if (path != loadingPreview_)
        return;
    loadingPreview_.clear();
    const QList<PlmLibraryItem> selected = selectedItems();
    if (selected.size() != 1 || selected.first().url != path)
        return;
    if (map) {
        showMap(selected.first(), *map);
        previewIsLarge_ = true;
    } else {
        clearPreview();
        detail_->setText(selected.first().displayName() + QLatin1Char('\n') + error);
    }
}
