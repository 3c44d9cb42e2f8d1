#include "online/OnlineWindowController.h"

#include "canvas/VectorCanvas.h"
#include "online/PlmCatalogueLoading.h"
#include "online/PlmCatalogueProviders.h"
#include "platform/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "platform/ViewHost.h"
#include "support/LocalHttpServer.h"

#include <QApplication>
#include <QComboBox>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QThreadPool>
#include <QTimer>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

const QByteArray departements = R"({"type":"FeatureCollection","features":[
 {"type":"Feature","properties":{"code":"01","nom":"Ain"},
  "geometry":{"type":"Polygon","coordinates":[[[5,46],[6,46],[6,46.5],[5,46.5],[5,46]]]}},
 {"type":"Feature","properties":{"code":"2A","nom":"Corse-du-Sud"},
  "geometry":{"type":"Polygon","coordinates":[[[8.5,41.5],[9.3,41.5],[9.3,42.2],[8.5,42.2],[8.5,41.5]]]}}]})";

// The providers stand on one local server: the France index lists two layers, its
// "départements" file downloads at once, its "régions" file comes only after two seconds, every
// other provider answers 500.
QByteArray serve(const QByteArray& path)
{
    if (path.endsWith("/contours-administratifs/2026/geojson/"))
        return LocalHttpServer::ok("<html><a href=\"./regions-50m.geojson\">r</a>"
                                   "<a href=\"./departements-50m.geojson\">d</a></html>",
                                   "text/html");
    if (path.endsWith("departements-50m.geojson"))
        return LocalHttpServer::ok(departements, "application/geo+json");
    if (path.endsWith("regions-50m.geojson"))
        return LocalHttpServer::ok(departements, "application/geo+json");
    return LocalHttpServer::status(500);
}

bool waitFor(const std::function<bool()>& done, int milliseconds = 8000)
{
    QEventLoop loop;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    tick.start(5);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

class OnlineWindowControllerTest : public ::testing::Test {
protected:
    OnlineWindowControllerTest()
        : server(serve)
    {
        server.answerDelay = [](const QByteArray& path) { return path.endsWith("regions-50m.geojson") ? 2000 : 0; };
        OnlineWindowController::setTransportFactory([this](const std::atomic_bool* cancelled) {
            return [this, cancelled](const QUrl& url) {
                OnlineDownloadOptions options;
                options.allowPlainHttpToLoopback = true;
                options.cancelled = cancelled;
                options.inactivityTimeoutMs = 20000;
                return PlmOnlineDownload::download(server.localURL(url), options);
            };
        });
        OnlineWindowController::setUrlOpener([this](const QUrl& url) { opened << url; });
    }
    ~OnlineWindowControllerTest() override
    {
        delete window.data();
        // No download thread outlives the server that answers it.
        waitFor([] { return QThreadPool::globalInstance()->activeThreadCount() == 0; }, 6000);
        OnlineWindowController::setTransportFactory(nullptr);
        OnlineWindowController::setUrlOpener(nullptr);
    }

    OnlineWindowController* open()
    {
        window = new OnlineWindowController;
        window->setHandOver([this](const PlmImportResult& result, const QString& destination, bool studio) {
            handedOver.append({result.map.name, destination, studio});
            return QStringLiteral("Ajouté");
        });
        EXPECT_TRUE(waitFor([this] { return !window->isLoadingCatalogue(); }));
        return window;
    }
    int rowNamed(const QString& part) const
    {
        for (int i = 0; i < window->entries().size(); ++i)
            if (window->entries().at(i).name.contains(part))
                return i;
        return -1;
    }
    QString status() const { return window->status->text(); }

    UserDefaults::TemporaryScope scope;
    LocalHttpServer server;
    QPointer<OnlineWindowController> window;
    QList<QUrl> opened;
    struct HandOver {
        QString name;
        QString destination;
        bool studio;
    };
    QList<HandOver> handedOver;
};

TEST_F(OnlineWindowControllerTest, TheCachedListShowsAtOnceAndFailedProvidersKeepTheirEntries)
{
    OnlineMap cached;
    cached.id = QStringLiteral("ign-ancien");
    cached.name = QStringLiteral("France — Communes IGN (cache)");
    cached.category = OnlineCategory::france;
    cached.vintage = QStringLiteral("2025");
    cached.source = QStringLiteral("IGN");
    cached.downloadURL = QUrl(QStringLiteral("https://data.geopf.fr/wfs/ows?typeNames=communes"));
    cached.originURL = cached.licenseURL = cached.downloadURL;
    OnlineCatalogCache::write({cached});

    window = new OnlineWindowController;
    // Before the load comes back the cached entry is listed and the load is announced.
    EXPECT_EQ(window->entries(), QList<OnlineMap>{cached});
    EXPECT_EQ(status(), QStringLiteral("Lecture des catalogues des fournisseurs…"));
    EXPECT_FALSE(window->refreshButton->isEnabled());
    ASSERT_TRUE(waitFor([this] { return !window->isLoadingCatalogue(); }));

    QStringList names;
    for (const OnlineMap& map : window->catalogue())
        names << map.name;
    EXPECT_EQ(names, (QStringList{QStringLiteral("France — Communes IGN (cache)"),
                                  QStringLiteral("France — Départements · 50m"), QStringLiteral("France — Régions · 50m")}));
    EXPECT_EQ(OnlineCatalogCache::read(), window->catalogue());
    const QString failed = OnlineCatalog::errorLine(OnlineProvider::ign, OnlineError::http(500).message());
    EXPECT_TRUE(status().startsWith(QStringLiteral("3 fonds disponibles · Certains fournisseurs sont indisponibles. ")))
        << status().toStdString();
    EXPECT_TRUE(status().contains(failed)) << status().toStdString();
    EXPECT_TRUE(window->refreshButton->isEnabled());
}

TEST_F(OnlineWindowControllerTest, SearchFoldsAccentsAndCaseAndCategoriesFilter)
{
    open();
    window->selectRow(rowNamed(QStringLiteral("Régions")));
    window->search->setText(QStringLiteral("DEPARTEMENTS"));
    ASSERT_EQ(window->entries().size(), 1);
    EXPECT_EQ(window->entries().first().name, QStringLiteral("France — Départements · 50m"));
    EXPECT_EQ(window->information->text(), OnlineWindowController::informationText(window->entries().first()));
    EXPECT_EQ(status(), OnlineWindowController::idleStatus());

    window->category->setCurrentIndex(5); // « Monde · Physique »
    EXPECT_TRUE(window->entries().isEmpty());
    EXPECT_EQ(window->information->text(), QStringLiteral("Aucun fond trouvé."));
    EXPECT_EQ(status(), QStringLiteral("Modifiez la recherche ou la catégorie."));
    EXPECT_FALSE(window->previewButton->isEnabled());
    EXPECT_FALSE(window->sourceButton->isEnabled());
    EXPECT_TRUE(window->refreshButton->isEnabled());
}

TEST_F(OnlineWindowControllerTest, APreviewDownloadsConvertsAndTypingKeepsIt)
{
    open();
    window->selectRow(rowNamed(QStringLiteral("Départements")));
    window->loadPreview();
    EXPECT_TRUE(window->isDownloading());
    EXPECT_FALSE(window->cancelButton->isHidden());
    EXPECT_EQ(status(), QStringLiteral("Téléchargement et conversion de « France — Départements · 50m »…"));
    // Typing while it runs, the same entry staying selected, keeps the download.
    window->search->setText(QStringLiteral("dép"));
    EXPECT_TRUE(window->isDownloading());

    ASSERT_TRUE(waitFor([this] { return window->loaded().has_value(); }));
    EXPECT_EQ(window->loaded()->first, window->selectedEntry()->id);
    EXPECT_EQ(status(), window->loaded()->second.summary());
    EXPECT_EQ(window->loaded()->second.map.entities.size(), 2);
    EXPECT_TRUE(window->cancelButton->isHidden());
    EXPECT_FALSE(window->previewButton->isEnabled());
    EXPECT_TRUE(window->fitButton->isEnabled());
    auto* canvas = dynamic_cast<VectorCanvas*>(window->preview()->rootNode());
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->map().entities.size(), 2);

    // Adding it now hands the loaded result over without downloading again.
    const qsizetype requests = server.paths().size();
    window->present(QStringLiteral("/bibliothèque/France"), false);
    window->addSelected();
    ASSERT_EQ(handedOver.size(), 1);
    EXPECT_EQ(handedOver.first().destination, QStringLiteral("/bibliothèque/France"));
    EXPECT_EQ(server.paths().size(), requests);
    EXPECT_EQ(status(), QStringLiteral("Ajouté"));

    const QString out = qEnvironmentVariable("PELMORA_SCREENSHOT_DIR");
    if (!out.isEmpty()) {
        window->fitAll();
        QApplication::processEvents();
        window->window()->grab().save(out + QStringLiteral("/online-window.png"));
    }
}

TEST_F(OnlineWindowControllerTest, AnotherSelectionCancelsSilentlyAndTheStaleResultChangesNothing)
{
    open();
    window->selectRow(rowNamed(QStringLiteral("Départements")));
    window->loadPreview();
    const int regions = rowNamed(QStringLiteral("Régions"));
    window->selectRow(regions); // before the answer is applied
    EXPECT_FALSE(window->isDownloading());
    EXPECT_EQ(status(), OnlineWindowController::idleStatus());
    // Whatever the old request still brings back is dropped.
    QEventLoop settle;
    QTimer::singleShot(500, &settle, &QEventLoop::quit);
    settle.exec();
    EXPECT_FALSE(window->loaded().has_value());
    EXPECT_EQ(status(), OnlineWindowController::idleStatus());
    EXPECT_EQ(dynamic_cast<VectorCanvas*>(window->preview()->rootNode())->map().entities.size(), 0);
}

TEST_F(OnlineWindowControllerTest, CancellingASlowDownloadLeavesNothingBehind)
{
    open();
    window->present(QStringLiteral("/bibliothèque"), true);
    window->selectRow(rowNamed(QStringLiteral("Régions")));
    window->addSelected();
    ASSERT_TRUE(window->isDownloading());
    window->cancelButton->click();
    EXPECT_EQ(status(), QStringLiteral("Téléchargement annulé."));
    EXPECT_FALSE(window->isDownloading());
    EXPECT_TRUE(window->cancelButton->isHidden());
    EXPECT_TRUE(window->previewButton->isEnabled());
    EXPECT_FALSE(window->loaded().has_value());
    EXPECT_TRUE(handedOver.isEmpty());

    window->openSource();
    window->openLicense();
    EXPECT_EQ(opened, (QList<QUrl>{window->selectedEntry()->originURL, window->selectedEntry()->licenseURL}));
}

TEST_F(OnlineWindowControllerTest, ClosingDuringADownloadCancelsItAndReopeningShowsTheEmptyPreview)
{
    open();
    window->present(QStringLiteral("/bibliothèque"), false);
    window->selectRow(rowNamed(QStringLiteral("Régions")));
    window->loadPreview();
    window->window()->close();
    EXPECT_FALSE(window->isDownloading());
    EXPECT_EQ(status(), OnlineWindowController::idleStatus());
    window->present(QStringLiteral("/bibliothèque"), false);
    EXPECT_EQ(dynamic_cast<VectorCanvas*>(window->preview()->rootNode())->map().name, QStringLiteral("Sans titre"));
    EXPECT_TRUE(window->previewButton->isEnabled());
}

} // namespace
