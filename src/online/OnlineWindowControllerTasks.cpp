#include "online/OnlineWindowController.h"

#include "mapimport/VectorImportUI.h"
#include "model/PlmMapCodec.h"
#include "catalogue/PlmCatalogueLoading.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QLabel>
#include <QMetaObject>
#include <QProgressBar>
#include <QPromise>
#include <QPushButton>
#include <QStandardPaths>
#include <QToolButton>
#include <QtConcurrent/QtConcurrentRun>

namespace {

OnlineWindowController::Fetch& fetchOverride()
{
    static OnlineWindowController::Fetch fetch;
    return fetch;
}

OnlineWindowController::StudioOpener& studioOpener()
{
    static OnlineWindowController::StudioOpener opener;
    return opener;
}

// The base-map document made for the map takes it, is told the library file it came from, and
// opens it as a new changed studio work (with the data import when sheets are given), the way
// an imported file opens.
void openThroughDocumentController(const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets)
{
    DocumentController& documents = DocumentController::shared();
    QString error;
    Document* document = documents.makeUntitledDocument(PlmMapCodec::fileTypeIdentifier, &error);
    if (!document) {
        DialogHooks::presentError(error);
        return;
    }
    if (!QMetaObject::invokeMethod(document, "setMap", Qt::DirectConnection, Q_ARG(PlmMap, map)))
        document->readFromData(PlmMapCodec::encode(map), PlmMapCodec::fileTypeIdentifier);
    if (!sheets.isEmpty())
        QMetaObject::invokeMethod(document, "setImportedSheets", Qt::DirectConnection,
                                  Q_ARG(QList<PlmInputSheet>, sheets));
    document->setFilePath(path);
    documents.addDocument(document);
    document->makeWindowControllers();
    if (!document->isClosed())
        document->showWindows();
}

QString messageOf(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const PlmError& error) {
        return error.message();
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Erreur inconnue.");
    }
}

} // namespace

void OnlineWindowController::setFetch(Fetch fetch)
{
    fetchOverride() = std::move(fetch);
}

void OnlineWindowController::setStudioOpener(StudioOpener opener)
{
    studioOpener() = std::move(opener);
}

OnlineWindowController::Fetch OnlineWindowController::currentFetch()
{
    if (fetchOverride())
        return fetchOverride();
    // Test programs (standard paths in test mode) never reach the network, even when a test
    // opens this window without a stand-in for the providers.
    if (QStandardPaths::isTestModeEnabled())
        return [](const QUrl&, const OnlineDownloadOptions&) -> OnlineResponse {
            throw OnlineError::network(QStringLiteral("aucun accès au réseau pendant les tests."));
        };
    return [](const QUrl& url, const OnlineDownloadOptions& options) { return PlmOnlineDownload::download(url, options); };
}

// --- Catalogue load ----------------------------------------------------------------------------

void OnlineWindowController::refreshCatalogue()
{
    if (catalogLoading_)
        return;
    catalogLoading_ = true;
    refreshButton->setEnabled(false);
    status->setText(OnlineCatalogBrowsing::loadingStatus());

    const Fetch fetch = currentFetch();
    const std::shared_ptr<std::atomic_bool> closing = closing_;
    const OnlineCatalog::Transport transport = [fetch, closing](const QUrl& url) {
        OnlineDownloadOptions options;
        options.cancelled = closing.get();
        return fetch(url, options);
    };
    // Only a load changes the catalogue and one runs at a time, so the merge with this copy
    // and the folding of the search keys (long for a large catalogue) happen off the main thread.
    const QList<OnlineMap> old = index_.catalogue();
    // The watcher is the controller's child: a window gone meanwhile receives nothing.
    auto* watcher = new QFutureWatcher<LoadedCatalogue>(this);
    connect(watcher, &QFutureWatcher<LoadedCatalogue>::finished, this, [this, watcher] {
        watcher->deleteLater();
        applyCatalogue(watcher->result());
    });
    const QFuture<LoadedCatalogue> future = QtConcurrent::run([transport, old] {
        LoadedCatalogue loaded;
        const OnlineCatalogResult result = OnlineCatalog::load(transport);
        loaded.errors = result.errors;
        if (const std::optional<QList<OnlineMap>> merged = OnlineCatalogBrowsing::mergedCatalogue(old, result)) {
            loaded.index = OnlineCatalogBrowsing::SearchIndex(*merged);
            loaded.cache = OnlineCatalogCache::encode(*merged);
        }
        return loaded;
    });
    keepRunning(QFuture<void>(future));
    watcher->setFuture(future);
}

void OnlineWindowController::applyCatalogue(const LoadedCatalogue& loaded)
{
    if (loaded.index) {
        index_ = *loaded.index;
        UserDefaults::setValue(QString::fromLatin1(OnlineCatalogCache::defaultsKey), loaded.cache);
    }
    applyFilter();
    status->setText(OnlineCatalogBrowsing::loadStatus(index_.size(), loaded.errors));
    refreshButton->setEnabled(true);
    catalogLoading_ = false;
    emit catalogueLoaded();
}

// --- Download ------------------------------------------------------------------------------------

void OnlineWindowController::loadPreview()
{
    startDownload(false);
}

void OnlineWindowController::addSelected()
{
    startDownload(true);
}

void OnlineWindowController::startDownload(bool handingOver)
{
    const std::optional<OnlineMap> entry = selectedEntry();
    if (task_ || !entry)
        return;
    if (loaded_ && loaded_->first == entry->id) {
        if (handingOver) {
            const PlmImportResult result = loaded_->second;
            handOver(result);
        }
        return;
    }

    const QUuid requestID = QUuid::createUuid();
    requestID_ = requestID;
    auto cancelled = std::make_shared<std::atomic_bool>(false);
    task_ = Download{requestID, cancelled};
    progress->setRange(0, 0);
    progress->show();
    cancelButton->show();
    status->setText(OnlineCatalogBrowsing::downloadingStatus(*entry));
    refreshButtons();

    const Fetch fetch = currentFetch();
    QPointer<OnlineWindowController> self(this);
    OnlineDownloadOptions options;
    options.cancelled = cancelled.get();
    // Progress crosses to the main thread as a queued call, dropped once the window is gone.
    options.progress = [self, requestID](qint64 received, qint64 total) {
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, requestID, received, total] {
            if (self)
                self->showProgress(requestID, received, total);
        }, Qt::QueuedConnection);
    };
    const PlmOnlineDownload::Transport transport = [fetch, options](const QUrl& url) { return fetch(url, options); };

    auto* watcher = new QFutureWatcher<Outcome>(this);
    const OnlineMap captured = *entry;
    connect(watcher, &QFutureWatcher<Outcome>::finished, this, [this, watcher, requestID, captured, handingOver] {
        watcher->deleteLater();
        finishDownload(requestID, captured, handingOver, watcher->result());
    });
    // `cancelled` is kept alive by the task itself until it ends.
    const QFuture<Outcome> future = QtConcurrent::run([captured, transport, cancelled] {
        Outcome outcome;
        try {
            outcome.result = PlmOnlineDownload::acquire(captured, transport, cancelled.get());
        } catch (const OnlineCancelled&) {
            outcome.cancelled = true;
        } catch (...) {
            outcome.error = messageOf(std::current_exception());
        }
        return outcome;
    });
    keepRunning(QFuture<void>(future));
    watcher->setFuture(future);
}

void OnlineWindowController::keepRunning(const QFuture<void>& work)
{
    running_.removeIf([](const QFuture<void>& done) { return done.isFinished(); });
    running_.append(work);
}

void OnlineWindowController::showProgress(const QUuid& requestID, qint64 received, qint64 total)
{
    if (!task_ || requestID != requestID_)
        return;
    if (total > 0) {
        // In kibibytes, so that 64 MiB stays far inside an int.
        progress->setRange(0, int(total / 1024) + 1);
        progress->setValue(int(std::min(received, total) / 1024));
        progress->setToolTip(QString::number(received / 1024) + QStringLiteral(" Ko sur ") + QString::number(total / 1024)
                             + QStringLiteral(" Ko"));
    } else {
        progress->setRange(0, 0);
        progress->setToolTip(QString::number(received / 1024) + QStringLiteral(" Ko reçus"));
    }
}

void OnlineWindowController::finishDownload(const QUuid& requestID, const OnlineMap& entry, bool handingOver,
                                            const Outcome& outcome)
{
    if (requestID != requestID_) {
        emit downloadEnded(); // stale: a newer request or a cancel came first
        return;
    }
    task_.reset();
    progress->hide();
    cancelButton->hide();
    if (outcome.result) {
        loaded_ = std::make_pair(entry.id, *outcome.result);
        rebuildPreview(outcome.result->map);
        status->setText(outcome.result->summary());
        refreshButtons();
        if (handingOver) {
            // The hand-over asks a question: not from inside the watcher's signal.
            handOverPending_ = true;
            const PlmImportResult result = *outcome.result;
            QMetaObject::invokeMethod(this, [this, result] {
                handOverPending_ = false;
                handOver(result);
                emit downloadEnded();
            }, Qt::QueuedConnection);
            return;
        }
    } else {
        status->setText(outcome.cancelled ? OnlineCatalogBrowsing::cancelledStatus() : outcome.error);
        refreshButtons();
    }
    emit downloadEnded();
}

void OnlineWindowController::cancel()
{
    stopDownload(true);
}

void OnlineWindowController::stopDownload(bool announcing)
{
    requestID_ = QUuid::createUuid();
    if (task_) {
        task_->cancelled->store(true);
        task_.reset();
    }
    progress->hide();
    cancelButton->hide();
    refreshButtons();
    if (announcing)
        status->setText(OnlineCatalogBrowsing::cancelledStatus());
}

// --- Hand-over -------------------------------------------------------------------------------------

void OnlineWindowController::handOver(const PlmImportResult& result)
{
    if (!destination_ || destination_->isEmpty() || !libraryAdder_)
        return;
    const QString summary = result.summary();
    const VectorImportUI::ImportChoice choice = VectorImportUI::askImportChoice(result, summary);
    if (!choice.open)
        return;
    QString added;
    try {
        added = libraryAdder_(result.map, *destination_, !opensInStudio_);
    } catch (...) {
        status->setText(messageOf(std::current_exception()));
        return;
    }
    if (opensInStudio_ || choice.withData) {
        const QList<PlmInputSheet> sheets =
            choice.withData ? VectorImportUI::importableVariables(result) : QList<PlmInputSheet>();
        if (studioOpener())
            studioOpener()(result.map, added, sheets);
        else
            openThroughDocumentController(result.map, added, sheets);
    }
    status->setText(OnlineCatalogBrowsing::addedStatus(QFileInfo(added).fileName(), summary));
}
