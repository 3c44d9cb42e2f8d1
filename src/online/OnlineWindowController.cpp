#include "online/OnlineWindowController.h"

#include "canvas/VectorCanvas.h"
#include "online/PlmCatalogueLoading.h"
#include "platform/ViewHost.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QListView>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

namespace {

OnlineWindowController::TransportFactory& installedFactory()
{
    static OnlineWindowController::TransportFactory factory;
    return factory;
}

OnlineWindowController::UrlOpener& installedOpener()
{
    static OnlineWindowController::UrlOpener opener;
    return opener;
}

// What a download thread hands back to the window.
struct DownloadOutcome {
    std::optional<PlmImportResult> result;
    QString error;
    bool cancelled = false;
};

QString previewEmptyText()
{
    return QStringLiteral("Choisissez « Afficher l’aperçu » pour télécharger ce fond vectoriel.");
}

// Watches the window's close so the controller can cancel and reset.
class CloseWatcher : public QObject {
public:
    CloseWatcher(OnlineWindowController* owner, QObject* parent) : QObject(parent), m_owner(owner) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Close && m_owner)
            m_owner->windowWillClose();
        return false;
    }

private:
    QPointer<OnlineWindowController> m_owner;
};

} // namespace

// The filtered entries as rows of the list; replaced whole at each filtering.
class OnlineEntriesModel : public QAbstractListModel {
public:
    using QAbstractListModel::QAbstractListModel;
    void setEntries(const QList<OnlineMap>& entries)
    {
        beginResetModel();
        m_entries = entries;
        endResetModel();
    }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_entries.size()); }
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (!index.isValid() || index.row() >= m_entries.size())
            return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
            return OnlineWindowController::cellText(m_entries.at(index.row()));
        if (role == Qt::SizeHintRole)
            return QSize(0, 56);
        return {};
    }

private:
    QList<OnlineMap> m_entries;
};

OnlineWindowController::OnlineWindowController(QObject* parent)
    : QObject(parent)
    , m_transportFactory(installedFactory())
{
    buildWindow();
    setCatalogue(OnlineCatalogCache::read()); // shown at once; a damaged cache reads empty
    filter();
    refreshCatalogue();
}

OnlineWindowController::~OnlineWindowController()
{
    if (m_cancelFlag)
        m_cancelFlag->store(true);
    delete window_.data();
}

void OnlineWindowController::setTransportFactory(TransportFactory factory) { installedFactory() = std::move(factory); }

void OnlineWindowController::setUrlOpener(UrlOpener opener) { installedOpener() = std::move(opener); }

PlmOnlineDownload::Transport OnlineWindowController::transport(const std::atomic_bool* cancelled) const
{
    if (m_transportFactory)
        return m_transportFactory(cancelled);
    if (QStandardPaths::isTestModeEnabled()) {
        // A test that forgot its own server never reaches the network.
        return [](const QUrl&) -> OnlineResponse {
            throw OnlineError::network(QStringLiteral("aucun réseau dans les tests"));
        };
    }
    return [cancelled](const QUrl& url) {
        OnlineDownloadOptions options;
        options.cancelled = cancelled;
        return PlmOnlineDownload::download(url, options);
    };
}

QString OnlineWindowController::idleStatus()
{
    return QStringLiteral("Le téléchargement démarre à votre demande. Le fond ajouté reste utilisable hors connexion.");
}

QString OnlineWindowController::cellText(const OnlineMap& map)
{
    return map.name + u'\n' + map.vintage + QStringLiteral(" · ") + map.source;
}

QString OnlineWindowController::informationText(const OnlineMap& map)
{
    return map.name + QStringLiteral("\nMillésime : ") + map.vintage + QStringLiteral("\nSource : ") + map.source
        + u'\n' + map.detail + QStringLiteral("\nLicence : ") + map.license + u'\n' + map.attribution;
}

void OnlineWindowController::buildWindow()
{
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("Online"));
    window_->setWindowTitle(QStringLiteral("Fonds en ligne"));
    window_->setMinimumSize(880, 570);
    window_->resize(1080, 720);
    window_->installEventFilter(new CloseWatcher(this, window_));

    search = new QLineEdit;
    search->setObjectName(QStringLiteral("Online.Search"));
    search->setPlaceholderText(QStringLiteral("Rechercher un fond"));
    search->setClearButtonEnabled(true);
    connect(search, &QLineEdit::textChanged, this, &OnlineWindowController::filter);

    category = new QComboBox;
    category->setObjectName(QStringLiteral("Online.Category"));
    category->addItems({QStringLiteral("Toutes les catégories"), QStringLiteral("France"), QStringLiteral("Europe"),
                        QStringLiteral("Monde"), QStringLiteral("Monde · Culturel"), QStringLiteral("Monde · Physique")});
    connect(category, &QComboBox::currentIndexChanged, this, &OnlineWindowController::filter);

    refreshButton = new QToolButton;
    refreshButton->setObjectName(QStringLiteral("Online.Refresh"));
    refreshButton->setIcon(window_->style()->standardIcon(QStyle::SP_BrowserReload));
    refreshButton->setText(QStringLiteral("Actualiser"));
    refreshButton->setAccessibleName(QStringLiteral("Actualiser le catalogue"));
    refreshButton->setToolTip(QStringLiteral("Actualiser les index publics des fournisseurs"));
    connect(refreshButton, &QToolButton::clicked, this, &OnlineWindowController::refreshCatalogue);

    m_model = new OnlineEntriesModel(this);
    table = new QListView;
    table->setObjectName(QStringLiteral("Online.Table"));
    table->setAccessibleName(QStringLiteral("Fonds disponibles"));
    table->setModel(m_model);
    table->setWordWrap(true);
    table->setUniformItemSizes(true);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { showSelection(); });
    connect(table, &QListView::doubleClicked, this, [this] { loadPreview(); });

    auto* listSide = new QWidget;
    listSide->setMinimumWidth(280);
    auto* listColumn = new QVBoxLayout(listSide);
    listColumn->setContentsMargins(12, 12, 6, 12);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(search, 1);
    searchRow->addWidget(refreshButton);
    listColumn->addLayout(searchRow);
    listColumn->addWidget(category);
    listColumn->addWidget(table, 1);

    information = new QLabel;
    information->setObjectName(QStringLiteral("Online.Information"));
    information->setWordWrap(true);
    information->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont infoFont = information->font();
    infoFont.setPointSizeF(13);
    information->setFont(infoFont);

    m_preview = new ViewHost;
    m_preview->setObjectName(QStringLiteral("Online.Preview"));
    m_preview->setMinimumHeight(240);
    m_preview->setToolTip(QStringLiteral("Aperçu centré sur la métropole pour la France et sur l’Europe continentale pour "
                                         "NUTS. Molette : zoom ; glisser ou flèches : déplacement. Tout afficher inclut "
                                         "les outre-mer."));

    const auto secondary = [](QLabel* label, const QString& name) {
        label->setObjectName(name);
        label->setWordWrap(true);
        QFont font = label->font();
        font.setPointSizeF(12);
        label->setFont(font);
        label->setForegroundRole(QPalette::PlaceholderText);
    };
    status = new QLabel;
    secondary(status, QStringLiteral("Online.Status"));
    destinationLabel = new QLabel;
    secondary(destinationLabel, QStringLiteral("Online.Destination"));

    const auto button = [](const QString& title, const QString& name) {
        auto* b = new QPushButton(title);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    previewButton = button(QStringLiteral("Afficher l’aperçu"), QStringLiteral("Online.Preview.Button"));
    addButton = button(QStringLiteral("Ajouter à ma bibliothèque"), QStringLiteral("Online.Add"));
    sourceButton = button(QStringLiteral("Voir la source"), QStringLiteral("Online.Source"));
    licenseButton = button(QStringLiteral("Licence"), QStringLiteral("Online.License"));
    fitButton = button(QStringLiteral("Tout afficher"), QStringLiteral("Online.Fit"));
    fitButton->setToolTip(
        QStringLiteral("Afficher toutes les géométries, outre-mer compris. Molette : zoom ; glisser : déplacement."));
    cancelButton = button(QStringLiteral("Annuler"), QStringLiteral("Online.Cancel"));
    cancelButton->setHidden(true);
    progress = new QProgressBar;
    progress->setObjectName(QStringLiteral("Online.Progress"));
    progress->setRange(0, 0); // busy, without a known length
    progress->setMaximumWidth(90);
    progress->setTextVisible(false);
    progress->setHidden(true);
    connect(previewButton, &QPushButton::clicked, this, &OnlineWindowController::loadPreview);
    connect(addButton, &QPushButton::clicked, this, &OnlineWindowController::addSelected);
    connect(sourceButton, &QPushButton::clicked, this, &OnlineWindowController::openSource);
    connect(licenseButton, &QPushButton::clicked, this, &OnlineWindowController::openLicense);
    connect(fitButton, &QPushButton::clicked, this, &OnlineWindowController::fitAll);
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(true); });

    auto* detailSide = new QWidget;
    detailSide->setMinimumWidth(500);
    auto* detailColumn = new QVBoxLayout(detailSide);
    detailColumn->setContentsMargins(6, 12, 12, 12);
    detailColumn->setSpacing(8);
    detailColumn->addWidget(information);
    detailColumn->addWidget(m_preview, 1);
    detailColumn->addWidget(status);
    detailColumn->addWidget(destinationLabel);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(sourceButton);
    buttons->addWidget(licenseButton);
    buttons->addWidget(fitButton);
    buttons->addStretch(1);
    buttons->addWidget(progress);
    buttons->addWidget(cancelButton);
    buttons->addWidget(previewButton);
    buttons->addWidget(addButton);
    detailColumn->addLayout(buttons);

    auto* split = new QSplitter(Qt::Horizontal);
    split->setObjectName(QStringLiteral("Online.Split"));
    split->setHandleWidth(1);
    split->addWidget(listSide);
    split->addWidget(detailSide);
    split->setStretchFactor(0, 0);
    split->setStretchFactor(1, 1);
    split->setSizes({360, 720});
    window_->setCentralWidget(split);
    search->setFocus();
    rebuildPreview(std::nullopt);
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

// --- Catalogue ---------------------------------------------------------------------------------

void OnlineWindowController::refreshCatalogue()
{
    if (m_catalogLoading)
        return;
    m_catalogLoading = true;
    refreshButton->setEnabled(false);
    status->setText(QStringLiteral("Lecture des catalogues des fournisseurs…"));
    QPointer<OnlineWindowController> self(this);
    OnlineCatalog::loadInBackground(transport(nullptr), this, [self](const OnlineCatalogResult& result) {
        if (!self)
            return;
        if (!result.maps.isEmpty()) {
            QList<OnlineMap> next = result.maps;
            if (!result.errors.isEmpty()) {
                // The cached entries of a provider that failed stay.
                QSet<QUrl> fresh;
                for (const OnlineMap& map : result.maps)
                    fresh.insert(map.downloadURL);
                for (const OnlineMap& old : self->m_catalogue)
                    if (!fresh.contains(old.downloadURL))
                        next.append(old);
            }
            std::stable_sort(next.begin(), next.end(),
                             [](const OnlineMap& a, const OnlineMap& b) { return OnlineCatalog::nameLess(a.name, b.name); });
            self->setCatalogue(next);
            OnlineCatalogCache::write(next);
        }
        self->filter();
        QString line = QString::number(self->m_catalogue.size()) + QStringLiteral(" fonds disponibles");
        if (!result.errors.isEmpty())
            line += QStringLiteral(" · Certains fournisseurs sont indisponibles. ") + result.errors.join(QStringLiteral(" ; "));
        else
            line += QStringLiteral(" · téléchargement à la demande");
        // A download under way keeps its own line.
        if (!self->isDownloading())
            self->status->setText(line);
        self->m_catalogLoading = false;
        self->refreshButton->setEnabled(true);
        emit self->catalogueLoaded();
    });
}

void OnlineWindowController::setCatalogue(const QList<OnlineMap>& catalogue)
{
    m_catalogue = catalogue;
    m_searchKeys = OnlineCatalog::searchKeys(catalogue);
}

void OnlineWindowController::filter()
{
    const std::optional<OnlineMap> previous = selectedEntry();
    const int index = category->currentIndex();
    std::optional<OnlineCategory> wanted;
    if (index == 1)
        wanted = OnlineCategory::france;
    else if (index == 2)
        wanted = OnlineCategory::europe;
    else if (index >= 3)
        wanted = OnlineCategory::world;
    QList<OnlineMap> found = OnlineCatalog::search(m_catalogue, m_searchKeys, search->text(), wanted);
    if (index == 4 || index == 5) {
        const QString word = index == 4 ? QStringLiteral("Culturel") : QStringLiteral("Physique");
        found.removeIf([&word](const OnlineMap& map) { return !map.name.contains(word); });
    }
    m_entries = found;

    int row = m_entries.isEmpty() ? -1 : 0;
    if (previous) {
        for (int i = 0; i < m_entries.size(); ++i)
            if (m_entries.at(i).id == previous->id) {
                row = i;
                break;
            }
    }
    {
        const QSignalBlocker blocker(table->selectionModel());
        m_model->setEntries(m_entries);
        setCurrentRow(row);
    }
    // The same entry still selected keeps its download and its preview.
    const std::optional<OnlineMap> now = selectedEntry();
    if (previous && now && previous->id == now->id)
        refreshButtons();
    else
        showSelection();
}

std::optional<OnlineMap> OnlineWindowController::selectedEntry() const
{
    const int row = table ? table->currentIndex().row() : -1;
    if (row < 0 || row >= m_entries.size())
        return std::nullopt;
    return m_entries.at(row);
}

void OnlineWindowController::selectRow(int row) { setCurrentRow(row); }

void OnlineWindowController::setCurrentRow(int row)
{
    if (row < 0 || row >= m_model->rowCount()) {
        table->selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_model->index(row);
    table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    table->scrollTo(index);
}

void OnlineWindowController::showSelection()
{
    cancel(false);
    m_loaded.reset();
    if (const std::optional<OnlineMap> entry = selectedEntry()) {
        information->setText(informationText(*entry));
        status->setText(idleStatus());
    } else {
        information->setText(QStringLiteral("Aucun fond trouvé."));
        status->setText(QStringLiteral("Modifiez la recherche ou la catégorie."));
    }
    rebuildPreview(std::nullopt);
    refreshButtons();
}

// --- Preview and buttons -----------------------------------------------------------------------

void OnlineWindowController::rebuildPreview(const std::optional<PlmMap>& map)
{
    PlmMap shown = map.value_or(PlmMap());
    if (!map)
        shown.name = QStringLiteral("Sans titre");
    m_preview->setRootNode(new VectorCanvas(shown, true, previewEmptyText()));
}

void OnlineWindowController::fitAll()
{
    if (auto* canvas = dynamic_cast<VectorCanvas*>(m_preview->rootNode()))
        canvas->fit(true);
}

void OnlineWindowController::refreshButtons()
{
    const bool selected = selectedEntry().has_value();
    const bool running = isDownloading();
    previewButton->setEnabled(selected && !running && !m_loaded);
    addButton->setEnabled(selected && !running);
    fitButton->setEnabled(m_loaded.has_value());
    sourceButton->setEnabled(selected);
    licenseButton->setEnabled(selected);
}

void OnlineWindowController::openSource()
{
    if (const std::optional<OnlineMap> entry = selectedEntry())
        installedOpener() ? installedOpener()(entry->originURL) : void(QDesktopServices::openUrl(entry->originURL));
}

void OnlineWindowController::openLicense()
{
    if (const std::optional<OnlineMap> entry = selectedEntry())
        installedOpener() ? installedOpener()(entry->licenseURL) : void(QDesktopServices::openUrl(entry->licenseURL));
}

// --- Download ----------------------------------------------------------------------------------

void OnlineWindowController::cancel(bool fromButton)
{
    m_requestID = QUuid::createUuid();
    if (m_cancelFlag)
        m_cancelFlag->store(true);
    m_cancelFlag.reset();
    progress->setHidden(true);
    cancelButton->setHidden(true);
    refreshButtons();
    if (fromButton)
        status->setText(QStringLiteral("Téléchargement annulé."));
}

void OnlineWindowController::finishDownload()
{
    m_cancelFlag.reset();
    progress->setHidden(true);
    cancelButton->setHidden(true);
    refreshButtons();
}

void OnlineWindowController::startDownload(bool handingOver)
{
    const std::optional<OnlineMap> entry = selectedEntry();
    if (isDownloading() || !entry)
        return;
    if (m_loaded && m_loaded->first == entry->id) {
        if (handingOver)
            handOver(m_loaded->second);
        return;
    }
    const QUuid request = QUuid::createUuid();
    m_requestID = request;
    auto flag = std::make_shared<std::atomic_bool>(false);
    m_cancelFlag = flag;
    progress->setHidden(false);
    cancelButton->setHidden(false);
    status->setText(QStringLiteral("Téléchargement et conversion de « ") + entry->name + QStringLiteral(" »…"));
    refreshButtons();

    const PlmOnlineDownload::Transport through = transport(flag.get());
    const OnlineMap captured = *entry;
    auto* watcher = new QFutureWatcher<DownloadOutcome>(this);
    QPointer<OnlineWindowController> self(this);
    connect(watcher, &QFutureWatcher<DownloadOutcome>::finished, this, [self, watcher, request, captured, handingOver] {
        const DownloadOutcome outcome = watcher->result();
        watcher->deleteLater();
        // A newer request (another selection, a cancel, the window closed) makes this one stale.
        if (!self || self->m_requestID != request)
            return;
        if (outcome.result) {
            self->m_loaded = std::make_pair(captured.id, *outcome.result);
            self->rebuildPreview(outcome.result->map);
            self->status->setText(outcome.result->summary());
            self->finishDownload();
            if (handingOver)
                self->handOver(*outcome.result);
        } else {
            self->status->setText(outcome.cancelled ? QStringLiteral("Téléchargement annulé.") : outcome.error);
            self->finishDownload();
        }
        emit self->downloadEnded();
    });
    // The flag is kept alive by the thread itself, whatever the window does meanwhile.
    watcher->setFuture(QtConcurrent::run([captured, through, flag]() {
        DownloadOutcome outcome;
        try {
            outcome.result = PlmOnlineDownload::acquire(captured, through, flag.get());
        } catch (const OnlineCancelled&) {
            outcome.cancelled = true;
        } catch (const PlmError& error) {
            outcome.error = error.message();
        } catch (const std::exception& error) {
            outcome.error = QString::fromUtf8(error.what());
        }
        return outcome;
    }));
}

void OnlineWindowController::handOver(const PlmImportResult& result)
{
    if (!destination_)
        return;
    if (!m_handOver)
        return;
    const QString line = m_handOver(result, *destination_, opensInStudio_);
    if (!line.isEmpty())
        status->setText(line);
}

void OnlineWindowController::windowWillClose()
{
    cancel(false);
    m_loaded.reset();
    rebuildPreview(std::nullopt);
    status->setText(idleStatus());
    refreshButtons();
}
