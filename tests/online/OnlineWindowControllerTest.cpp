#include "online/OnlineWindowController.h"

#include "canvas/VectorCanvas.h"
#include "catalogue/PlmCatalogueLoading.h"
#include "desktop/DialogHooks.h"
#include "platform/LocalFileOpener.h"
#include "platform/UserDefaults.h"
#include "support/OnlineTestServer.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QToolButton>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString readyStatus =
    QStringLiteral("Le téléchargement démarre à votre demande. Le fond ajouté reste utilisable hors connexion.");
const QString countriesFailure = QStringLiteral(
    "Europe · pays : Le fournisseur a répondu HTTP 404. Réessayez plus tard ou consultez la source.");

QStringList idsOf(const QList<OnlineMap>& maps)
{
    QStringList ids;
    for (const OnlineMap& map : maps)
        ids << map.id;
    return ids;
}

QStringList temporaryConversions()
{
    return QDir::temp().entryList({QStringLiteral("PlmOnline-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
}

// The window against the local stand-in of the providers, with the library side recorded.
class OnlineWindowControllerTest : public ::testing::Test {
protected:
    OnlineWindowControllerTest()
    {
        OnlineTestCatalogue::serve(server);
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a;
            return 0;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
        LocalFileOpener::setHook([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }
    ~OnlineWindowControllerTest() override
    {
        online.reset();
        LocalFileOpener::setHook(nullptr);
    }

    // Makes the window (it starts its load at once) and shows it with a destination.
    void open()
    {
        online = std::make_unique<OnlineWindowController>();
        online->setLibraryAdder([this](const PlmMap& map, const QString& folder, bool showing) {
            added << map;
            showingLibrary << showing;
            return folder + QStringLiteral("/") + map.name + QStringLiteral(".plmmap");
        });
        online->present(QStringLiteral("/tmp/Bibliothèque.plmlibrary/Europe"), false);
    }
    bool loadCatalogue()
    {
        open();
        return waitUntil([this] { return !online->isLoadingCatalogue(); });
    }
    bool waitForDownload()
    {
        return waitUntil([this] { return !online->isDownloading() && !online->isHandingOver(); });
    }

    // A look at the window for a person, when asked for.
    void saveScreenshot(const QString& name) const
    {
        if (const QByteArray dir = qgetenv("PELMORA_SCREENSHOT_DIR"); !dir.isEmpty())
            online->window()->grab().save(QString::fromLocal8Bit(dir) + QLatin1Char('/') + name + QStringLiteral(".png"));
    }

    UserDefaults::TemporaryScope defaults;
    OnlineTestServer server;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    QList<DialogHooks::Alert> alerts;
    QList<QUrl> opened;
    QList<PlmMap> added;
    QList<bool> showingLibrary;
    std::unique_ptr<OnlineWindowController> online;
};

} // namespace

TEST_F(OnlineWindowControllerTest, ShowsTheCacheAtOnceThenNamesTheProviderThatFailed)
{
    OnlineMap cachedCountry = OnlineTestCatalogue::entry(OnlineTestCatalogue::regions);
    cachedCountry.id = QStringLiteral("gisco-CNTR_RG_60M_2024_4326.geojson");
    cachedCountry.name = QStringLiteral("Europe — Pays · 60M");
    cachedCountry.category = OnlineCategory::europe;
    cachedCountry.downloadURL = QUrl(QStringLiteral("https://gisco.test/CNTR_RG_60M_2024_4326.geojson"));
    OnlineCatalogCache::write({cachedCountry});

    open();
    // Before any answer: the cached entry, selected, and the load under way.
    EXPECT_EQ(idsOf(online->entries()), QStringList{cachedCountry.id});
    EXPECT_EQ(online->selectedEntry(), cachedCountry);
    EXPECT_EQ(online->status->text(), QStringLiteral("Lecture des catalogues des fournisseurs…"));
    EXPECT_FALSE(online->refreshButton->isEnabled());

    ASSERT_TRUE(waitUntil([this] { return !online->isLoadingCatalogue(); }));
    const qsizetype fresh = OnlineTestCatalogue::entries().size();
    EXPECT_EQ(online->catalogue().size(), fresh + 1); // the failed provider's cached entry stays
    EXPECT_TRUE(online->catalogue().contains(cachedCountry));
    EXPECT_EQ(online->status->text(), QString::number(fresh + 1)
                                          + QStringLiteral(" fonds disponibles · Certains fournisseurs sont indisponibles. ")
                                          + countriesFailure);
    EXPECT_TRUE(online->refreshButton->isEnabled());
    // The selected entry stayed selected, and the merged catalogue is the new cache.
    EXPECT_EQ(online->selectedEntry(), cachedCountry);
    EXPECT_EQ(OnlineCatalogCache::read(), online->catalogue());
}

TEST_F(OnlineWindowControllerTest, WhenEveryProviderFailsTheCachedCatalogueStays)
{
    OnlineTestServer offline; // answers 404 to everything: no provider is reachable
    const QList<OnlineMap> cached = {OnlineTestCatalogue::entry(OnlineTestCatalogue::regions)};
    OnlineCatalogCache::write(cached);
    ASSERT_TRUE(loadCatalogue());
    EXPECT_EQ(online->catalogue(), cached);
    // Six lines, in the order the failures came.
    const QString prefix = QStringLiteral("1 fonds disponibles · Certains fournisseurs sont indisponibles. ");
    ASSERT_TRUE(online->status->text().startsWith(prefix)) << online->status->text().toStdString();
    QStringList lines = online->status->text().mid(prefix.size()).split(QStringLiteral(" ; "));
    QStringList expected;
    for (OnlineProvider provider : allOnlineProviders())
        expected << OnlineCatalog::errorLine(provider, OnlineError::http(404).message());
    lines.sort();
    expected.sort();
    EXPECT_EQ(lines, expected);
}

TEST_F(OnlineWindowControllerTest, SearchFoldsAccentsAndCaseAndTheCategoryNarrows)
{
    ASSERT_TRUE(loadCatalogue());
    online->search->setText(QStringLiteral("DEPARTEMENTS"));
    EXPECT_EQ(idsOf(online->entries()), QStringList{OnlineTestCatalogue::departements});
    online->search->setText(QStringLiteral("départements 2026"));
    EXPECT_EQ(idsOf(online->entries()), QStringList{OnlineTestCatalogue::departements});

    online->search->clear();
    online->category->setCurrentIndex(5); // "Monde · Physique"
    EXPECT_EQ(idsOf(online->entries()), QStringList{QStringLiteral("naturalearth-ne_110m_coastline.geojson-5.1.2")});

    // Nothing found: only the filters and the refresh act.
    online->search->setText(QStringLiteral("zzz"));
    EXPECT_EQ(online->information->text(), QStringLiteral("Aucun fond trouvé."));
    EXPECT_EQ(online->status->text(), QStringLiteral("Modifiez la recherche ou la catégorie."));
    for (QPushButton* button : {online->previewButton, online->addButton, online->sourceButton, online->licenseButton,
                                online->fitButton})
        EXPECT_FALSE(button->isEnabled()) << button->text().toStdString();
    EXPECT_TRUE(online->refreshButton->isEnabled());
}

TEST_F(OnlineWindowControllerTest, PreviewDownloadsAndConvertsTheSelectedEntry)
{
    ASSERT_TRUE(loadCatalogue());
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    const OnlineMap entry = OnlineTestCatalogue::entry(OnlineTestCatalogue::departements);
    EXPECT_EQ(online->status->text(), readyStatus);
    EXPECT_EQ(online->information->text(), OnlineCatalogBrowsing::information(entry));

    online->previewButton->click();
    EXPECT_TRUE(online->isDownloading());
    EXPECT_TRUE(online->cancelButton->isVisibleTo(online->window()));
    EXPECT_EQ(online->status->text(), QStringLiteral("Téléchargement et conversion de « France — Départements · 1000m »…"));
    EXPECT_FALSE(online->previewButton->isEnabled());
    ASSERT_TRUE(waitForDownload());

    ASSERT_TRUE(online->loaded());
    const PlmImportResult& result = online->loaded()->second;
    EXPECT_EQ(online->loaded()->first, entry.id);
    EXPECT_EQ(online->previewCanvas()->map(), result.map);
    QStringList ids;
    for (const PlmEntity& e : result.map.entities)
        ids << e.id + QLatin1Char('=') + e.name;
    EXPECT_EQ(ids, (QStringList{"29=Finistère", "2A=Corse-du-Sud"}));
    EXPECT_EQ(online->status->text(), QStringLiteral("2 entités importées · 0 élément non converti"));
    EXPECT_FALSE(online->cancelButton->isVisibleTo(online->window()));
    EXPECT_TRUE(online->fitButton->isEnabled());
    EXPECT_FALSE(online->previewButton->isEnabled());
    EXPECT_TRUE(online->addButton->isEnabled());

    // The preview starts on metropolitan France; "Tout afficher" drops that framing.
    EXPECT_EQ(online->previewCanvas()->fitRegion, VectorCanvas::defaultFitRegion(result.map));
    EXPECT_TRUE(online->previewCanvas()->fitRegion.has_value());
    online->fitButton->click();
    EXPECT_FALSE(online->previewCanvas()->fitRegion.has_value());

    // The source and the licence open the entry's own pages.
    online->sourceButton->click();
    online->licenseButton->click();
    EXPECT_EQ(opened, (QList<QUrl>{entry.originURL, entry.licenseURL}));

    // Adding the previewed entry hands it over without a second download.
    const qsizetype requests = server.requests().size();
    online->addButton->click();
    EXPECT_EQ(server.requests().size(), requests);
    ASSERT_EQ(added.size(), 1);
    EXPECT_EQ(added.first(), result.map);
    EXPECT_EQ(showingLibrary, QList<bool>{true});
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().message, QStringLiteral("Fond trouvé — France — Départements · 1000m — 2026"));
    EXPECT_EQ(online->status->text(), QStringLiteral("Ajouté : France — Départements · 1000m — 2026.plmmap — "
                                                     "2 entités importées · 0 élément non converti"));

    saveScreenshot(QStringLiteral("online-window"));
}

TEST_F(OnlineWindowControllerTest, TypingWhileTheSelectedEntryDownloadsKeepsTheDownload)
{
    server.route(OnlineTestCatalogue::entry(OnlineTestCatalogue::departements).downloadURL, [] { return QByteArray(); });
    ASSERT_TRUE(loadCatalogue());
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    emit online->table->doubleClicked(online->table->currentIndex()); // a double-click previews
    ASSERT_TRUE(waitUntil([this] { return server.heldCount() == 1; }));

    for (const QString& typed : {QStringLiteral("d"), QStringLiteral("dé"), QStringLiteral("dép")})
        online->search->setText(typed);
    EXPECT_TRUE(online->isDownloading());
    EXPECT_EQ(online->status->text(), QStringLiteral("Téléchargement et conversion de « France — Départements · 1000m »…"));

    server.release(OnlineTestServer::ok(OnlineTestCatalogue::departementsGeoJson()));
    ASSERT_TRUE(waitForDownload());
    ASSERT_TRUE(online->loaded());
    // A later refilter that keeps the entry keeps its preview as well.
    online->search->setText(QStringLiteral("départements"));
    EXPECT_TRUE(online->loaded());
    EXPECT_EQ(online->previewCanvas()->map().entities.size(), 2);
}

TEST_F(OnlineWindowControllerTest, ChangingTheSelectionDropsTheRunningDownloadSilently)
{
    server.route(OnlineTestCatalogue::entry(OnlineTestCatalogue::departements).downloadURL, [] { return QByteArray(); });
    ASSERT_TRUE(loadCatalogue());
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    online->addButton->click();
    ASSERT_TRUE(waitUntil([this] { return server.heldCount() == 1; }));

    int ended = 0;
    QObject::connect(online.get(), &OnlineWindowController::downloadEnded, [&ended] { ++ended; });
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::regions));
    EXPECT_FALSE(online->isDownloading());
    EXPECT_EQ(online->status->text(), readyStatus);
    // The answer still arrives; the stale request changes nothing.
    server.release(OnlineTestServer::ok(OnlineTestCatalogue::departementsGeoJson()));
    ASSERT_TRUE(waitUntil([&ended] { return ended == 1; }));
    EXPECT_FALSE(online->loaded());
    EXPECT_EQ(online->status->text(), readyStatus);
    EXPECT_TRUE(online->previewCanvas()->map().entities.isEmpty());
    EXPECT_TRUE(added.isEmpty());
    EXPECT_TRUE(online->previewButton->isEnabled());
}

TEST_F(OnlineWindowControllerTest, CancelLeavesNothingBehind)
{
    server.route(OnlineTestCatalogue::entry(OnlineTestCatalogue::departements).downloadURL, [] { return QByteArray(); });
    ASSERT_TRUE(loadCatalogue());
    const QStringList before = temporaryConversions();
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    int ended = 0;
    QObject::connect(online.get(), &OnlineWindowController::downloadEnded, [&ended] { ++ended; });
    online->addButton->click();
    ASSERT_TRUE(waitUntil([this] { return server.heldCount() == 1; }));

    saveScreenshot(QStringLiteral("online-downloading"));
    online->cancelButton->click();
    EXPECT_EQ(online->status->text(), QStringLiteral("Téléchargement annulé."));
    EXPECT_FALSE(online->isDownloading());
    EXPECT_FALSE(online->cancelButton->isVisibleTo(online->window()));
    EXPECT_TRUE(online->previewButton->isEnabled());
    // The transfer itself stops: its outcome comes back and is dropped.
    ASSERT_TRUE(waitUntil([&ended] { return ended == 1; }));
    server.release(OnlineTestServer::ok(OnlineTestCatalogue::departementsGeoJson()));
    QCoreApplication::processEvents();
    EXPECT_FALSE(online->loaded());
    EXPECT_TRUE(added.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(online->status->text(), QStringLiteral("Téléchargement annulé."));
    EXPECT_EQ(temporaryConversions(), before);
}

TEST_F(OnlineWindowControllerTest, ClosingDuringADownloadCancelsItAndReopeningShowsTheEmptyPreview)
{
    server.route(OnlineTestCatalogue::entry(OnlineTestCatalogue::departements).downloadURL, [] { return QByteArray(); });
    ASSERT_TRUE(loadCatalogue());
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    online->previewButton->click();
    ASSERT_TRUE(online->isDownloading());
    online->window()->close();
    EXPECT_FALSE(online->isDownloading());
    EXPECT_EQ(online->status->text(), readyStatus);

    online->present(QStringLiteral("/tmp/Bibliothèque.plmlibrary"), false);
    EXPECT_TRUE(online->previewCanvas()->map().entities.isEmpty());
    EXPECT_TRUE(online->previewButton->isEnabled());
    EXPECT_FALSE(online->fitButton->isEnabled());
}

TEST_F(OnlineWindowControllerTest, AFailedDownloadSaysWhy)
{
    server.route(OnlineTestCatalogue::entry(OnlineTestCatalogue::departements).downloadURL, OnlineTestServer::status(503));
    ASSERT_TRUE(loadCatalogue());
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    online->addButton->click();
    ASSERT_TRUE(waitForDownload());
    EXPECT_EQ(online->status->text(),
              QStringLiteral("Le fournisseur a répondu HTTP 503. Réessayez plus tard ou consultez la source."));
    EXPECT_FALSE(online->loaded());
    EXPECT_TRUE(added.isEmpty());
}

// Without any stand-in for the providers a test program is offline: every provider says so in
// French and the cached catalogue stays usable.
TEST(OnlineWindowOffline, EachProviderSaysItIsUnreachableAndTheCacheStays)
{
    UserDefaults::TemporaryScope defaults;
    const QList<OnlineMap> cached = {OnlineTestCatalogue::entry(OnlineTestCatalogue::regions)};
    OnlineCatalogCache::write(cached);
    OnlineWindowController online;
    EXPECT_EQ(online.entries(), cached);
    ASSERT_TRUE(waitUntil([&online] { return !online.isLoadingCatalogue(); }));
    EXPECT_EQ(online.catalogue(), cached);
    QStringList lines;
    for (OnlineProvider provider : allOnlineProviders())
        lines << OnlineCatalog::errorLine(provider, QStringLiteral("Téléchargement impossible : aucun accès au réseau pendant "
                                                                   "les tests. Vérifiez votre connexion puis réessayez."));
    const QString prefix = QStringLiteral("1 fonds disponibles · Certains fournisseurs sont indisponibles. ");
    ASSERT_TRUE(online.status->text().startsWith(prefix));
    QStringList shown = online.status->text().mid(prefix.size()).split(QStringLiteral(" ; "));
    shown.sort();
    lines.sort();
    EXPECT_EQ(shown, lines);
    EXPECT_TRUE(online.previewButton->isEnabled());
}
