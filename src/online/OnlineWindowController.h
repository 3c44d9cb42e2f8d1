#pragma once

#include "tables/PlmInputSheet.h"
#include "basemaps/PlmImportResult.h"
#include "catalogue/OnlineCatalogBrowsing.h"
#include "catalogue/PlmOnlineDownload.h"

#include <QFuture>
#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class OnlineCatalogueListModel;
class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class QProgressBar;
class QPushButton;
class QToolButton;
class ViewHost;
class VectorCanvas;

// The window "Fonds en ligne": the catalogue of downloadable base maps (the cached one at
// once, then a fresh load of every provider's index), a search and a category filter, the
// description and preview of the selected entry, its download and conversion off the main
// thread with a cancel button, and the hand-over of the converted map to the library (undoable
// there) and, when asked, to a new studio document.
//
// Split by concern: OnlineWindowController.cpp (window, filter, selection, preview, buttons),
// OnlineWindowControllerTasks.cpp (catalogue load, download, cancel, hand-over).
class OnlineWindowController : public QObject {
    Q_OBJECT
public:
    explicit OnlineWindowController(QObject* parent = nullptr);
    ~OnlineWindowController() override;

    // How every address is fetched, on a worker thread: the HTTPS client by default; tests
    // answer from a server of their own. An empty function restores the default.
    using Fetch = std::function<OnlineResponse(const QUrl&, const OnlineDownloadOptions&)>;
    static void setFetch(Fetch fetch);
    // Opens a map kept at `path` in a new studio document, with the data sheets to import
    // when there are any. By default through the shared document controller's base-map
    // document, as an imported file opens. Empty restores the default.
    using StudioOpener = std::function<void(const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets)>;
    static void setStudioOpener(StudioOpener opener);

    // The library side of a hand-over, given by the library, which sits above this window:
    // adds the map to the folder with its undo step on the library window, reloads that window
    // selecting the new file and shows it when asked; returns the new file's path, or throws
    // with the French sentence to show.
    using LibraryAdder = std::function<QString(const PlmMap& map, const QString& folder, bool showingLibrary)>;
    void setLibraryAdder(LibraryAdder adder) { libraryAdder_ = std::move(adder); }

    // Stores the destination folder and whether a hand-over opens a studio document, shows
    // "Destination : " and the folder's last component (full path as tool tip), then shows the
    // window in front.
    void present(const std::optional<QString>& destination, bool opensInStudio);

    // ---- Actions ----
    void refreshCatalogue();
    void applyFilter();
    void loadPreview();   // download without hand-over; also a double-click in the list
    void addSelected();   // download, then hand over
    void cancel();        // the cancel button: says so
    void fitAll();
    void openSource();
    void openLicense();
    void windowWillClose();

    // ---- State ----
    QMainWindow* window() const { return window_; }
    std::optional<QString> destination() const { return destination_; }
    bool opensInStudio() const { return opensInStudio_; }
    QList<OnlineMap> catalogue() const { return index_.catalogue(); }
    QList<OnlineMap> entries() const;
    std::optional<OnlineMap> selectedEntry() const;
    bool isDownloading() const { return bool(task_); }
    bool isLoadingCatalogue() const { return catalogLoading_; }
    // A finished download waiting for its hand-over to the library.
    bool isHandingOver() const { return handOverPending_; }
    // The converted download shown in the preview, with its entry's id.
    const std::optional<std::pair<QString, PlmImportResult>>& loaded() const { return loaded_; }
    VectorCanvas* previewCanvas() const;
    // Selects the listed entry with that id; false when it is not listed.
    bool selectEntry(const QString& id);

    QListView* table = nullptr;
    QLineEdit* search = nullptr;
    QComboBox* category = nullptr;
    QLabel* information = nullptr;
    QLabel* status = nullptr;
    ViewHost* preview = nullptr;
    QPushButton* previewButton = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* sourceButton = nullptr;
    QPushButton* licenseButton = nullptr;
    QPushButton* fitButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QProgressBar* progress = nullptr;
    QToolButton* refreshButton = nullptr;
    QLabel* destinationLabel = nullptr;

signals:
    // After a catalogue load has been applied (tests wait for it).
    void catalogueLoaded();
    // After a download's outcome has been applied (its hand-over included) or dropped as stale.
    void downloadEnded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // What a download hands back to the main thread.
    struct Outcome {
        std::optional<PlmImportResult> result;
        QString error;
        bool cancelled = false;
    };
    // A catalogue load's result, merged with the previous catalogue and folded for the search
    // on the worker: the new index and its cache bytes when the load brought entries.
    struct LoadedCatalogue {
        std::optional<OnlineCatalogBrowsing::SearchIndex> index;
        QByteArray cache;
        QStringList errors;
    };
    struct Download {
        QUuid requestID;
        std::shared_ptr<std::atomic_bool> cancelled;
    };

    void buildWindow();
    QWidget* buildListSide();
    QWidget* buildPreviewSide();
    void selectionChanged();
    void showSelection();
    void rebuildPreview(const std::optional<PlmMap>& map);
    void refreshButtons();
    void startDownload(bool handingOver);
    void finishDownload(const QUuid& requestID, const OnlineMap& entry, bool handingOver, const Outcome& outcome);
    void showProgress(const QUuid& requestID, qint64 received, qint64 total);
    void stopDownload(bool announcing);
    void handOver(const PlmImportResult& result);
    void applyCatalogue(const LoadedCatalogue& loaded);
    void keepRunning(const QFuture<void>& work);
    // Stops the catalogue load and every download, and waits until they have ended.
    void stopBackgroundWork();
    static Fetch currentFetch();

    QPointer<QMainWindow> window_;
    // Set when the controller goes: a catalogue load under way stops at once.
    std::shared_ptr<std::atomic_bool> closing_ = std::make_shared<std::atomic_bool>(false);
    // The background work still running; the controller waits for it when it goes, so that no
    // transfer outlives the window (nor the application).
    QList<QFuture<void>> running_;
    OnlineCatalogueListModel* model_ = nullptr;
    OnlineCatalogBrowsing::SearchIndex index_;
    bool catalogLoading_ = false;
    bool filtering_ = false;
    bool handOverPending_ = false;
    // The entry whose description, preview and download are on show.
    std::optional<QString> shownEntryID_;
    std::optional<std::pair<QString, PlmImportResult>> loaded_;
    std::optional<Download> task_;
    QUuid requestID_ = QUuid::createUuid();
    bool opensInStudio_ = false;
    std::optional<QString> destination_;
    LibraryAdder libraryAdder_;
};
