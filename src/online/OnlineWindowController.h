#pragma once

#include "import/PlmImportResult.h"
#include "online/PlmCatalogue.h"
#include "online/PlmOnlineDownload.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUuid>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QListView;
class OnlineEntriesModel;
class QProgressBar;
class QPushButton;
class QToolButton;
class ViewHost;

// The window « Fonds en ligne »: the catalogue of downloadable base maps with its search and
// category filter, the preview of one downloaded entry, and its hand-over to the library.
// Loading and downloads run off the main thread; a download's result is applied only while
// its request id is still the window's. Main thread only.
class OnlineWindowController : public QObject {
    Q_OBJECT
public:
    // The transport of a download or an index, given the download's cancellation flag.
    using TransportFactory = std::function<PlmOnlineDownload::Transport(const std::atomic_bool* cancelled)>;
    // Adds a converted download to the library folder (with its undo step, the library
    // window's reload, the studio opening); answers the status line to show.
    using HandOver = std::function<QString(const PlmImportResult& result, const QString& destination,
                                           bool opensInStudio)>;
    using UrlOpener = std::function<void(const QUrl& url)>;

    explicit OnlineWindowController(QObject* parent = nullptr);
    ~OnlineWindowController() override;

    // The network by default; tests answer from a server of their own. Applies to windows
    // made afterwards. In a test program without one, every request fails without a connection.
    static void setTransportFactory(TransportFactory factory);
    static void setUrlOpener(UrlOpener opener);
    void setHandOver(HandOver handOver) { m_handOver = std::move(handOver); }

    void present(const std::optional<QString>& destination, bool opensInStudio);
    QMainWindow* window() const { return window_; }
    std::optional<QString> destination() const { return destination_; }
    bool opensInStudio() const { return opensInStudio_; }

    // Actions.
    void refreshCatalogue();
    void filter();
    void loadPreview() { startDownload(false); }
    void addSelected() { startDownload(true); }
    void cancel(bool fromButton);
    void fitAll();
    void openSource();
    void openLicense();
    void windowWillClose();

    const QList<OnlineMap>& catalogue() const { return m_catalogue; }
    const QList<OnlineMap>& entries() const { return m_entries; }
    std::optional<OnlineMap> selectedEntry() const;
    void selectRow(int row);
    bool isLoadingCatalogue() const { return m_catalogLoading; }
    bool isDownloading() const { return bool(m_cancelFlag); }
    const std::optional<std::pair<QString, PlmImportResult>>& loaded() const { return m_loaded; }
    ViewHost* preview() const { return m_preview; }

    static QString idleStatus();
    static QString cellText(const OnlineMap& map);
    static QString informationText(const OnlineMap& map);

    QLabel* destinationLabel = nullptr;
    QLabel* information = nullptr;
    QLabel* status = nullptr;
    QLineEdit* search = nullptr;
    QComboBox* category = nullptr;
    QListView* table = nullptr;
    QToolButton* refreshButton = nullptr;
    QPushButton* previewButton = nullptr;
    QPushButton* addButton = nullptr;
    QPushButton* sourceButton = nullptr;
    QPushButton* licenseButton = nullptr;
    QPushButton* fitButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QProgressBar* progress = nullptr;

signals:
    // After a catalogue load and after a download has ended (tests wait for them).
    void catalogueLoaded();
    void downloadEnded();

private:
    void buildWindow();
    void setCatalogue(const QList<OnlineMap>& catalogue);
    void setCurrentRow(int row);
    void showSelection();
    void rebuildPreview(const std::optional<PlmMap>& map);
    void refreshButtons();
    void startDownload(bool handingOver);
    void finishDownload();
    void handOver(const PlmImportResult& result);
    PlmOnlineDownload::Transport transport(const std::atomic_bool* cancelled) const;

    QPointer<QMainWindow> window_;
    ViewHost* m_preview = nullptr;
    std::optional<QString> destination_;
    bool opensInStudio_ = false;
    QList<OnlineMap> m_catalogue;
    QStringList m_searchKeys; // folded once per catalogue
    OnlineEntriesModel* m_model = nullptr;
    QList<OnlineMap> m_entries;
    bool m_catalogLoading = false;
    std::optional<std::pair<QString, PlmImportResult>> m_loaded;
    QUuid m_requestID = QUuid::createUuid();
    std::shared_ptr<std::atomic_bool> m_cancelFlag; // set exactly while a download runs
    TransportFactory m_transportFactory;
    HandOver m_handOver;
};
