#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "model/PlmMapCodec.h"
#include "online/OnlineWindowController.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "support/LibraryTestSupport.h"
#include "support/OnlineTestServer.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QUndoStack>
#include <gtest/gtest.h>

#include <memory>

namespace {

struct StudioOpening {
    PlmMap map;
    QString path;
    QList<PlmInputSheet> sheets;
};

// Régions that carry a population of their own: data worth offering with the map.
QByteArray regionsWithPopulation()
{
    return R"({"type":"FeatureCollection","features":[
{"type":"Feature","properties":{"code":"53","nom":"Bretagne","population":"3402932"},"geometry":{"type":"Polygon","coordinates":[[[-4.8,48.0],[-1.0,47.5],[-1.2,48.8],[-4.7,48.6],[-4.8,48.0]]]}},
{"type":"Feature","properties":{"code":"94","nom":"Corse","population":"351255"},"geometry":{"type":"Polygon","coordinates":[[[8.6,41.4],[9.5,41.4],[9.5,43.0],[8.6,42.1],[8.6,41.4]]]}}]})";
}

// The online window reached through the library coordinator, as the menu reaches it, with a
// library package in a temporary folder as the current library.
class OnlineWindowHandOverTest : public ::testing::Test {
protected:
    OnlineWindowHandOverTest()
    {
        OnlineTestCatalogue::serve(server);
        server.route(OnlineTestCatalogue::entry(OnlineTestCatalogue::regions).downloadURL,
                     OnlineTestServer::ok(regionsWithPopulation()));
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a;
            return answer;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
        OnlineWindowController::setStudioOpener(
            [this](const PlmMap& map, const QString& path, const QList<PlmInputSheet>& sheets) {
                studio << StudioOpening{map, path, sheets};
            });
    }
    ~OnlineWindowHandOverTest() override { OnlineWindowController::setStudioOpener(nullptr); }

    OnlineWindowController* show(bool opensInStudio)
    {
        LibraryCoordinator::shared().showOnline(std::nullopt, opensInStudio);
        OnlineWindowController* online = LibraryCoordinator::shared().online;
        EXPECT_TRUE(waitUntil([online] { return !online->isLoadingCatalogue(); }));
        return online;
    }
    // Downloads the entry and hands it over; the path of the file added to the library root.
    QStringList addEntry(OnlineWindowController* online, const QString& id)
    {
        EXPECT_TRUE(online->selectEntry(id));
        online->addButton->click();
        EXPECT_TRUE(waitUntil([online] { return !online->isDownloading() && !online->isHandingOver(); }));
        return QDir(library.path).entryList({QStringLiteral("*.plmmap")}, QDir::Files);
    }
    LibraryWindowController* libraryWindow() { return LibraryCoordinator::shared().libraryWindowController(); }

    UserDefaults::TemporaryScope defaults;
    OnlineTestServer server;
    RememberedLibrary library;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    QList<DialogHooks::Alert> alerts;
    int answer = 0;
    QList<StudioOpening> studio;
};

} // namespace

TEST_F(OnlineWindowHandOverTest, AddedDownloadGoesIntoTheLibraryAsOneUndoableStep)
{
    OnlineWindowController* online = show(false);
    EXPECT_EQ(online->destinationLabel->text(), QStringLiteral("Destination : Bibliothèque.plmlibrary"));

    const QStringList files = addEntry(online, OnlineTestCatalogue::departements);
    ASSERT_EQ(files.size(), 1);
    const QString path = library.path + QLatin1Char('/') + files.first();
    const PlmMap stored = [&] {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return PlmMapCodec::decode(file.readAll());
    }();
    ASSERT_TRUE(online->loaded());
    EXPECT_EQ(stored, online->loaded()->second.map);
    EXPECT_EQ(online->status->text(), QStringLiteral("Ajouté : ") + files.first()
                                          + QStringLiteral(" — 2 entités importées · 0 élément non converti"));
    // The choice alert asked first; only the map is offered (no data of its own).
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first().buttons, (QStringList{"Importer le fond", "Annuler"}));
    EXPECT_TRUE(studio.isEmpty());

    LibraryWindowController* window = libraryWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_EQ(window->selectedItemURL(), path);
    ASSERT_EQ(window->undoStack()->count(), 1);
    EXPECT_EQ(window->undoStack()->undoText(), QStringLiteral("Ajouter à la bibliothèque"));

    window->undoStack()->undo();
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(library.trash.entries().size(), 1);
    window->undoStack()->redo();
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(library.trash.entries().isEmpty());
}

TEST_F(OnlineWindowHandOverTest, DecliningTheChoiceAddsNothing)
{
    OnlineWindowController* online = show(false);
    answer = 1; // "Annuler"
    EXPECT_TRUE(addEntry(online, OnlineTestCatalogue::departements).isEmpty());
    EXPECT_EQ(libraryWindow()->undoStack()->count(), 0);
    EXPECT_TRUE(online->loaded()); // the preview stays
}

TEST_F(OnlineWindowHandOverTest, OpeningInTheStudioTakesTheNewFileAndTheChosenData)
{
    OnlineWindowController* online = show(true);
    const QStringList files = addEntry(online, OnlineTestCatalogue::departements);
    ASSERT_EQ(files.size(), 1);
    ASSERT_EQ(studio.size(), 1);
    EXPECT_EQ(studio.first().path, library.path + QLatin1Char('/') + files.first());
    EXPECT_EQ(studio.first().map, online->loaded()->second.map);
    EXPECT_TRUE(studio.first().sheets.isEmpty());
    EXPECT_FALSE(libraryWindow()->window()->isVisible()); // the studio comes forward instead

    // A map with data of its own, "Importer le fond et ses données": the sheets go along.
    answer = 0;
    online->present(library.path, false);
    addEntry(online, OnlineTestCatalogue::regions);
    ASSERT_EQ(alerts.last().buttons.size(), 3);
    ASSERT_EQ(studio.size(), 2);
    ASSERT_EQ(studio.last().sheets.size(), 1);
    EXPECT_TRUE(studio.last().sheets.first().grid.first().contains(QStringLiteral("population")));
}
