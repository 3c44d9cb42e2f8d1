#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "library/LibraryCoordinator.h"
#include "online/OnlineWindowController.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"
#include "support/LibraryTestSupport.h"
#include "support/OnlineTestServer.h"

#include <QDir>
#include <QPushButton>
#include <QUrl>
#include <gtest/gtest.h>

// A download added to the library with « opens in studio » becomes a new studio work on the
// library's new file, through the shared document controller, as an imported file does.
TEST(OnlineWindowStudio, AddedDownloadOpensAsAChangedWorkOnTheNewFile)
{
    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();
    UserDefaults::TemporaryScope defaults;
    OnlineTestServer server;
    OnlineTestCatalogue::serve(server);
    RememberedLibrary library;
    DialogHooks::Hooks h;
    h.alert = [](const DialogHooks::Alert&) { return 0; }; // "Importer le fond"
    DialogHooks::ScopedHooks hooks(h);

    LibraryCoordinator::shared().showOnline(std::nullopt, true);
    OnlineWindowController* online = LibraryCoordinator::shared().online;
    ASSERT_TRUE(waitUntil([online] { return !online->isLoadingCatalogue(); }));
    ASSERT_TRUE(online->selectEntry(OnlineTestCatalogue::departements));
    online->addButton->click();
    ASSERT_TRUE(waitUntil([online] { return !online->isDownloading() && !online->isHandingOver(); }));

    const QStringList files = QDir(library.path).entryList({QStringLiteral("*.plmmap")}, QDir::Files);
    ASSERT_EQ(files.size(), 1);
    QList<PlmWorkDocument*> works;
    for (Document* document : DocumentController::shared().documents())
        if (auto* work = qobject_cast<PlmWorkDocument*>(document))
            works << work;
    ASSERT_EQ(works.size(), 1);
    ASSERT_TRUE(online->loaded());
    const PlmMap map = online->loaded()->second.map;
    EXPECT_EQ(works.first()->work().map, map);
    EXPECT_EQ(works.first()->work().sourceMapURL,
              QUrl::fromLocalFile(library.path + QLatin1Char('/') + files.first()).toString(QUrl::FullyEncoded));
    EXPECT_TRUE(works.first()->work().variables.isEmpty());
    EXPECT_EQ(works.first()->displayName(), map.name);
    EXPECT_TRUE(works.first()->filePath().isEmpty());
    EXPECT_TRUE(works.first()->isDocumentEdited());

    DocumentController::shared().closeAllDocuments();
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}
