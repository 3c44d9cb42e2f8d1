#include "online/OnlineWindowController.h"

#include "canvas/VectorCanvas.h"
#include "online/OnlineCatalogueList.h"
#include "platform/LocalFileOpener.h"
#include "platform/UserDefaults.h"
#include "desktop/ViewHost.h"
#include "desktop/WindowTeardown.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

const QString frameAutosaveName = QStringLiteral("Fonds-en-ligne");

// Sizes are the desktop's points, that is logical pixels.
QLabel* wrappingLabel(const QString& name, int pixelSize, bool secondary)
{
    auto* label = new QLabel;
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    if (secondary) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::PlaceholderText));
        label->setPalette(palette);
    }
    return label;
}

QPushButton* button(const QString& title, const QString& name)
{
    auto* made = new QPushButton(title);
    made->setObjectName(name);
    made->setAutoDefault(false);
    made->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Fixed);
    return made;
}

QString emptyPreviewText()
{
    return QStringLiteral("Choisissez « Afficher l’aperçu » pour télécharger ce fond vectoriel.");
}

QString previewToolTip()
{
    return QStringLiteral("Aperçu centré sur la métropole pour la France et sur l’Europe continentale pour NUTS. "
                          "Molette : zoom ; glisser ou flèches : déplacement. Tout afficher inclut les outre-mer.");
}

} // namespace

OnlineWindowController::OnlineWindowController(QObject* parent)
    : QObject(parent)
{
    buildWindow();
    // The last catalogue shows at once; a fresh load replaces it when it comes.
    const QList<OnlineMap> cached = OnlineCatalogCache::read();
    if (!cached.isEmpty())
        index_ = OnlineCatalogBrowsing::SearchIndex(cached);
    applyFilter();
    refreshCatalogue();
}

OnlineWindowController::~OnlineWindowController()
{
    stopBackgroundWork();
    if (window_) {
        window_->removeEventFilter(this);
        // The search field and the list answer nothing while the window goes.
        WindowTeardown::destroy(window_.data());
    }
}

void OnlineWindowController::stopBackgroundWork()
{
    closing_->store(true);
    if (task_)
        task_->cancelled->store(true);
    // Stopped transfers end within a poll of their flag; a conversion under way is finished.
    for (QFuture<void>& work : running_)
        work.waitForFinished();
    running_.clear();
}

void OnlineWindowController::buildWindow()
{
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("Online"));
    window_->setWindowTitle(QStringLiteral("Fonds en ligne"));
    window_->setMinimumSize(880, 570);
    window_->resize(1080, 720);
    const QByteArray frame = UserDefaults::dataValue(frameAutosaveName);
    if (frame.isEmpty() || !window_->restoreGeometry(frame)) {
        if (const QScreen* screen = QApplication::primaryScreen())
            window_->move(screen->availableGeometry().center() - QPoint(540, 360));
    }
    window_->installEventFilter(this);

    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("Online.Split"));
    split->setHandleWidth(1);
    split->setChildrenCollapsible(false);
    split->addWidget(buildListSide());
    split->addWidget(buildPreviewSide());
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({360, 720});
    window_->setCentralWidget(split);

    refreshButtons();
    search->setFocus();
}

QWidget* OnlineWindowController::buildListSide()
{
    auto* side = new QWidget;
    side->setMinimumWidth(280);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(12, 12, 6, 12);
    column->setSpacing(8);

    search = new QLineEdit;
    search->setObjectName(QStringLiteral("Online.Search"));
    search->setPlaceholderText(QStringLiteral("Rechercher un fond"));
    search->setClearButtonEnabled(true);
    connect(search, &QLineEdit::textChanged, this, &OnlineWindowController::applyFilter);

    category = new QComboBox;
    category->setObjectName(QStringLiteral("Online.Category"));
    category->addItems(OnlineCatalogBrowsing::categoryItems());
    connect(category, &QComboBox::currentIndexChanged, this, &OnlineWindowController::applyFilter);

    refreshButton = new QToolButton;
    refreshButton->setObjectName(QStringLiteral("Online.Refresh"));
    refreshButton->setIcon(side->style()->standardIcon(QStyle::SP_BrowserReload));
    refreshButton->setToolTip(QStringLiteral("Actualiser les index publics des fournisseurs"));
    refreshButton->setAccessibleDescription(QStringLiteral("Actualiser le catalogue"));
    connect(refreshButton, &QToolButton::clicked, this, &OnlineWindowController::refreshCatalogue);

    auto* filters = new QHBoxLayout;
    filters->setSpacing(6);
    filters->addWidget(category, 1);
    filters->addWidget(refreshButton);

    model_ = new OnlineCatalogueListModel(this);
    table = new QListView;
    table->setObjectName(QStringLiteral("Online.Table"));
    table->setAccessibleName(QStringLiteral("Fonds disponibles"));
    table->setModel(model_);
    table->setItemDelegate(new OnlineCatalogueCellDelegate(table));
    table->setUniformItemSizes(true);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &OnlineWindowController::selectionChanged);
    // A selection cleared without moving the current row (Ctrl-click) counts as well.
    connect(table->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &OnlineWindowController::selectionChanged);
    connect(table, &QListView::doubleClicked, this, &OnlineWindowController::loadPreview);

    column->addWidget(search);
    column->addLayout(filters);
    column->addWidget(table, 1);
    return side;
}

QWidget* OnlineWindowController::buildPreviewSide()
{
    auto* side = new QWidget;
    side->setMinimumWidth(500);
    auto* column = new QVBoxLayout(side);
    column->setContentsMargins(6, 12, 12, 12);
    column->setSpacing(8);

    preview = new ViewHost;
    preview->setObjectName(QStringLiteral("Online.Preview"));
    preview->setMinimumHeight(240);
    rebuildPreview(std::nullopt);

    information = wrappingLabel(QStringLiteral("Online.Information"), 13, false);
    status = wrappingLabel(QStringLiteral("Online.Status"), 12, true);
    destinationLabel = wrappingLabel(QStringLiteral("Online.Destination"), 12, true);

    previewButton = button(QStringLiteral("Afficher l’aperçu"), QStringLiteral("Online.Preview.Load"));
    addButton = button(QStringLiteral("Ajouter à ma bibliothèque"), QStringLiteral("Online.Add"));
    sourceButton = button(QStringLiteral("Voir la source"), QStringLiteral("Online.Source"));
    licenseButton = button(QStringLiteral("Licence"), QStringLiteral("Online.License"));
    fitButton = button(QStringLiteral("Tout afficher"), QStringLiteral("Online.Fit"));
    fitButton->setToolTip(QStringLiteral("Afficher toutes les géométries, outre-mer compris. "
                                         "Molette : zoom ; glisser : déplacement."));
    cancelButton = button(QStringLiteral("Annuler"), QStringLiteral("Online.Cancel"));
    cancelButton->hide();
    connect(previewButton, &QPushButton::clicked, this, &OnlineWindowController::loadPreview);
    connect(addButton, &QPushButton::clicked, this, &OnlineWindowController::addSelected);
    connect(sourceButton, &QPushButton::clicked, this, &OnlineWindowController::openSource);
    connect(licenseButton, &QPushButton::clicked, this, &OnlineWindowController::openLicense);
    connect(fitButton, &QPushButton::clicked, this, &OnlineWindowController::fitAll);
    connect(cancelButton, &QPushButton::clicked, this, &OnlineWindowController::cancel);

    progress = new QProgressBar;
    progress->setObjectName(QStringLiteral("Online.Progress"));
    progress->setMaximumWidth(160);
    progress->setMaximumHeight(14);
    progress->setTextVisible(false);
    progress->hide();

    // The preview's own controls under it; the download's at the foot, next to its progress.
    auto* previewBar = new QHBoxLayout;
    previewBar->setSpacing(6);
    previewBar->addWidget(fitButton);
    previewBar->addStretch(1);
    previewBar->addWidget(sourceButton);
    previewBar->addWidget(licenseButton);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(6);
    buttons->addWidget(previewButton);
    buttons->addWidget(addButton);
    buttons->addWidget(cancelButton);
    buttons->addWidget(progress, 0, Qt::AlignVCenter);
    buttons->addStretch(1);

    column->addWidget(preview, 1);
    column->addLayout(previewBar);
    column->addWidget(information);
    column->addWidget(status);
    column->addWidget(destinationLabel);
    column->addLayout(buttons);
    return side;
}

void OnlineWindowController::present(const std::optional<QString>& destination, bool opensInStudio)
{
    destination_ = destination;
    opensInStudio_ = opensInStudio;
    if (destination && !destination->isEmpty()) {
        const QString clean = QDir::cleanPath(*destination);
        destinationLabel->setText(QStringLiteral("Destination : ") + QFileInfo(clean).fileName());
        destinationLabel->setToolTip(QDir::toNativeSeparators(clean));
    } else {
        destinationLabel->setText(QStringLiteral("Destination : —"));
        destinationLabel->setToolTip(QString());
    }
    if (window_->isMinimized())
        window_->showNormal();
    window_->show();
    window_->raise();
    window_->activateWindow();
    refreshButtons();
}

// --- Filter and selection ------------------------------------------------------------------

QList<OnlineMap> OnlineWindowController::entries() const
{
    QList<OnlineMap> shown;
    shown.reserve(model_->rowCount());
    for (int row = 0; row < model_->rowCount(); ++row)
        shown.append(model_->entry(row));
    return shown;
}

std::optional<OnlineMap> OnlineWindowController::selectedEntry() const
{
    const QModelIndex current = table->selectionModel()->currentIndex();
    if (!current.isValid() || !table->selectionModel()->isSelected(current))
        return std::nullopt;
    return model_->entry(current.row());
}

bool OnlineWindowController::selectEntry(const QString& id)
{
    const int row = model_->rowOf(id);
    if (row < 0)
        return false;
    table->selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
    return true;
}

void OnlineWindowController::applyFilter()
{
    const std::optional<OnlineMap> remembered = selectedEntry();
    const QList<qsizetype> rows = index_.filter(search->text(), category->currentIndex());
    filtering_ = true;
    model_->setRows(index_, rows);
    if (!rows.isEmpty()) {
        int row = remembered ? model_->rowOf(remembered->id) : -1;
        if (row < 0)
            row = 0;
        table->selectionModel()->setCurrentIndex(model_->index(row), QItemSelectionModel::ClearAndSelect);
        table->scrollTo(model_->index(row));
    } else {
        table->selectionModel()->clear();
    }
    filtering_ = false;
    showSelection();
}

void OnlineWindowController::selectionChanged()
{
    if (!filtering_)
        showSelection();
}

void OnlineWindowController::showSelection()
{
    const std::optional<OnlineMap> entry = selectedEntry();
    const std::optional<QString> id = entry ? std::optional<QString>(entry->id) : std::nullopt;
    if (id && id == shownEntryID_) {
        // The same entry is still selected (a refilter or a reload kept it): its download and
        // preview go on. Only its description may have changed with a new catalogue.
        information->setText(OnlineCatalogBrowsing::information(*entry));
        refreshButtons();
        return;
    }
    shownEntryID_ = id;
    stopDownload(false);
    loaded_.reset();
    if (entry) {
        information->setText(OnlineCatalogBrowsing::information(*entry));
        status->setText(OnlineCatalogBrowsing::readyStatus());
    } else {
        information->setText(OnlineCatalogBrowsing::noEntryInformation());
        status->setText(OnlineCatalogBrowsing::noEntryStatus());
    }
    rebuildPreview(std::nullopt);
    refreshButtons();
}

// --- Preview and buttons ---------------------------------------------------------------------

void OnlineWindowController::rebuildPreview(const std::optional<PlmMap>& map)
{
    PlmMap shown;
    shown.name = QStringLiteral("Sans titre");
    if (map)
        shown = *map;
    // Zoom and pan only: no edit callback is given, so the preview never changes the map.
    auto* canvas = new VectorCanvas(shown, true, emptyPreviewText());
    canvas->setToolTip(previewToolTip());
    preview->setRootNode(canvas);
    preview->setToolTip(previewToolTip());
}

VectorCanvas* OnlineWindowController::previewCanvas() const
{
    return static_cast<VectorCanvas*>(preview->rootNode());
}

void OnlineWindowController::fitAll()
{
    if (VectorCanvas* canvas = previewCanvas())
        canvas->fit(true);
}

void OnlineWindowController::refreshButtons()
{
    const std::optional<OnlineMap> entry = selectedEntry();
    const bool downloading = bool(task_);
    const bool loadedHere = loaded_.has_value();
    previewButton->setEnabled(entry && !downloading && !loadedHere);
    addButton->setEnabled(entry && !downloading);
    fitButton->setEnabled(loadedHere);
    sourceButton->setEnabled(entry.has_value());
    licenseButton->setEnabled(entry.has_value());
    cancelButton->setVisible(downloading);
    progress->setVisible(downloading);
}

// --- Source, licence, closing ------------------------------------------------------------------

void OnlineWindowController::openSource()
{
    if (const std::optional<OnlineMap> entry = selectedEntry()) {
        LocalFileOpener::open(entry->originURL);
    }
}

void OnlineWindowController::openLicense()
{
    if (const std::optional<OnlineMap> entry = selectedEntry()) {
        LocalFileOpener::open(entry->licenseURL);
    }
}

void OnlineWindowController::windowWillClose()
{
    stopDownload(false);
    loaded_.reset();
    rebuildPreview(std::nullopt);
    status->setText(OnlineCatalogBrowsing::readyStatus());
    refreshButtons();
    UserDefaults::setValue(frameAutosaveName, window_->saveGeometry());
}

bool OnlineWindowController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == window_ && event->type() == QEvent::Close)
        windowWillClose();
    return QObject::eventFilter(watched, event);
}
