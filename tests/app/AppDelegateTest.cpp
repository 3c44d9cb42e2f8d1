#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "mapimport/VectorImportUI.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "model/PlmMapCodec.h"
#include "online/OnlineWindowController.h"
#include "support/OnlineTestServer.h"
#include "librarystore/PlmLibraryStore.h"
#include "platform/Bookmark.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/LocalFileOpener.h"
#include "platform/UserDefaults.h"

#include "support/PlatformTestSupport.h"
#include "support/WorkDocumentTestSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QUrl>
#include <QThreadPool>
#include <gtest/gtest.h>

namespace {

class AppDelegateTest : public ::testing::Test {
protected:
    AppDelegateTest()
    {
        PlmWorkDocument::registerDocumentTypes();
        StudioWindowCommands::install();
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << (a.informativeText.isEmpty() ? a.message : a.message + QStringLiteral(" / ") + a.informativeText);
            return alertAnswer;
        };
        h.presentError = [this](const QString& message, QWidget*) { errors << message; };
        h.askSaveChanges = [this](const QString&, QWidget*) { return saveAnswer; };
        h.openPanel = [this](const DialogHooks::OpenPanelRequest& r) {
            panels << r;
            return panelAnswer;
        };
        h.savePanel = [this](const DialogHooks::SavePanelRequest& r) -> std::optional<DialogHooks::SavePanelResult> {
            savePanels << r;
            return std::nullopt;
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
        // A library is remembered, as after the first run; its window is made only when needed.
        libraryPath = path(QStringLiteral("Bibliothèque.plmlibrary"));
        PlmLibraryStore::createPackage(libraryPath, std::nullopt);
        UserDefaults::setValue(LibraryCoordinator::bookmarkKey, Bookmark::make(libraryPath));
    }

    ~AppDelegateTest() override
    {
        delegate.reset();
        LibraryCoordinator::shared().closeWindows();
        documents.closeAllDocuments();
        settle();
        PlmWorkDocument::setStudioWindowFactory(nullptr);
        LibraryCoordinator::shared().closeWindows();
        AppDelegate::setManualPathOverride(std::nullopt);
        LocalFileOpener::setHook(nullptr);
    }

    static void settle()
    {
        for (int i = 0; i < 4; ++i)
            QCoreApplication::processEvents();
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    QString writeWork(const QString& name, const QString& mapName)
    {
        PlmWork work = smallWork();
        work.map.name = mapName;
        PlmWorkDocument document;
        document.setWork(work);
        QString error;
        EXPECT_TRUE(document.writeToFile(path(name), PlmWorkDocument::plmType, &error)) << error.toStdString();
        return path(name);
    }

    QString writeMap(const QString& name, const QString& mapName, bool authored)
    {
        PlmMap map = smallWork().map;
        map.name = mapName;
        if (authored)
            map.metadata.insert(QStringLiteral("studio.authored"), QStringLiteral("true"));
        writeBytes(path(name), PlmMapCodec::encode(map));
        return path(name);
    }

    void launch()
    {
        delegate->applicationDidFinishLaunching();
    }

    // Never prompts: a test that forgot its library sees no window rather than a first-run alert.
    static bool libraryShown()
    {
        if (UserDefaults::dataValue(LibraryCoordinator::bookmarkKey).isEmpty())
            return false;
        LibraryWindowController* library = LibraryCoordinator::shared().libraryWindowController();
        return library && library->window()->isVisible();
    }

    static bool studioShown(Document* document)
    {
        auto* work = qobject_cast<PlmWorkDocument*>(document);
        return work && work->studioController() && work->studioController()->isWindowLoaded()
            && work->studioController()->window()->isVisible();
    }

    static StudioWindowController* studioOf(Document* document)
    {
        auto* work = qobject_cast<PlmWorkDocument*>(document);
        return work ? dynamic_cast<StudioWindowController*>(work->studioController()) : nullptr;
    }

    QList<PlmWorkDocument*> works() const
    {
        QList<PlmWorkDocument*> list;
        for (Document* d : documents.documents())
            if (auto* w = qobject_cast<PlmWorkDocument*>(d))
                list << w;
        return list;
    }

    UserDefaults::TemporaryScope scope;
    OnlineTestServer providers; // the online window loads its catalogue from here, never from the network
    QTemporaryDir dir;
    QStringList alerts;
    QStringList errors;
    QList<DialogHooks::OpenPanelRequest> panels;
    QList<DialogHooks::SavePanelRequest> savePanels;
    std::optional<QStringList> panelAnswer;
    int alertAnswer = 0;
    QString libraryPath;
    DialogHooks::SaveChangesAnswer saveAnswer = DialogHooks::SaveChangesAnswer::Cancel;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    DocumentController documents;
    std::unique_ptr<AppDelegate> delegate = std::make_unique<AppDelegate>(&documents);
};

} // namespace

// --- Start-up decisions -----------------------------------------------------------------------

TEST_F(AppDelegateTest, filesGivenAtLaunchAreOpenedInsteadOfTheLastDocument)
{
    PlmWorkDocument::rememberLastDocument(writeWork(QStringLiteral("dernier.plm"), QStringLiteral("Dernier")));
    const QString given = writeWork(QStringLiteral("donné.plm"), QStringLiteral("Donné"));
    launch();
    delegate->openURLs({given});
    EXPECT_TRUE(delegate->receivedExternalOpen);
    settle();
    ASSERT_EQ(documents.documents().size(), 1);
    EXPECT_EQ(QFileInfo(documents.documents().first()->filePath()).fileName(), QStringLiteral("donné.plm"));
    EXPECT_TRUE(studioShown(documents.documents().first()));
    EXPECT_FALSE(delegate->openingExternalDocument);
    EXPECT_FALSE(delegate->restoringLastDocument);
    EXPECT_FALSE(libraryShown());
}

TEST_F(AppDelegateTest, launchWithoutFilesRestoresTheLastDocument)
{
    PlmWorkDocument::rememberLastDocument(writeWork(QStringLiteral("dernier.plm"), QStringLiteral("Dernier")));
    launch();
    EXPECT_TRUE(documents.documents().isEmpty()); // the launch step is queued
    settle();
    ASSERT_EQ(works().size(), 1);
    EXPECT_EQ(works().first()->work().map.name, QStringLiteral("Dernier"));
    EXPECT_TRUE(studioShown(works().first()));
    EXPECT_FALSE(delegate->restoringLastDocument);
    EXPECT_FALSE(libraryShown());
}

TEST_F(AppDelegateTest, launchWithNothingToRestoreShowsTheLibrary)
{
    launch();
    settle();
    EXPECT_TRUE(documents.documents().isEmpty());
    EXPECT_TRUE(libraryShown());
    EXPECT_FALSE(delegate->restoringLastDocument);

    // A bookmark whose file went away ends the same way, with no message of the delegate's.
    LibraryCoordinator::shared().closeWindows();
    const QString gone = writeWork(QStringLiteral("parti.plm"), QStringLiteral("Parti"));
    PlmWorkDocument::rememberLastDocument(gone);
    QFile::remove(gone);
    delegate->showStudioDocument();
    settle();
    EXPECT_TRUE(documents.documents().isEmpty());
    EXPECT_TRUE(libraryShown());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_TRUE(alerts.isEmpty());
}

TEST_F(AppDelegateTest, launchShowsTheLastOpenWorkDocumentWithoutRestoring)
{
    PlmWorkDocument::rememberLastDocument(writeWork(QStringLiteral("dernier.plm"), QStringLiteral("Dernier")));
    auto* first = new PlmWorkDocument;
    auto* second = new PlmWorkDocument;
    documents.addDocument(first);
    documents.addDocument(second);
    launch();
    settle();
    EXPECT_EQ(documents.documents().size(), 2);
    EXPECT_TRUE(studioShown(second));
    EXPECT_FALSE(studioShown(first));
    EXPECT_FALSE(libraryShown());
}

TEST_F(AppDelegateTest, noStudioDocumentWhileAnOpenOrARestoreIsUnderWay)
{
    PlmWorkDocument::rememberLastDocument(writeWork(QStringLiteral("dernier.plm"), QStringLiteral("Dernier")));
    delegate->openingExternalDocument = true;
    delegate->showStudioDocument();
    delegate->openingExternalDocument = false;
    delegate->restoringLastDocument = true;
    delegate->showStudioDocument();
    settle();
    EXPECT_TRUE(documents.documents().isEmpty());
    EXPECT_FALSE(libraryShown());
}

TEST_F(AppDelegateTest, emptyHandOverActsAsReopen)
{
    auto* document = new PlmWorkDocument;
    documents.addDocument(document);
    document->showStudioWindow();
    document->studioController()->window()->hide();
    ASSERT_FALSE(AppDelegate::hasVisibleWindows());
    delegate->handOverReceived({});
    EXPECT_TRUE(studioShown(document));
    EXPECT_FALSE(delegate->receivedExternalOpen);

    // With nothing open and nothing to restore: the library.
    documents.closeAllDocuments();
    settle();
    delegate->handOverReceived({});
    settle();
    EXPECT_TRUE(libraryShown());
}

TEST_F(AppDelegateTest, aMinimisedStudioComesBackWhenItsWorkIsHandedOverAgain)
{
    const QString work = writeWork(QStringLiteral("étude.plm"), QStringLiteral("Étude"));
    delegate->openURLs({work});
    settle();
    ASSERT_EQ(works().size(), 1);
    QWidget* window = works().first()->studioController()->window();
    // Launched again with the same file, then with none.
    for (const QStringList& handedOver : {QStringList{work}, QStringList{}}) {
        window->showMinimized();
        ASSERT_TRUE(window->isMinimized());
        delegate->handOverReceived(handedOver);
        settle();
        EXPECT_EQ(works().size(), 1);
        EXPECT_FALSE(window->isMinimized()) << handedOver.size();
        EXPECT_TRUE(studioShown(works().first()));
    }
}

// A double double-click in a file manager, or a second launch while the first reads its file:
// handed over twice more while it is being read, directly and through a link, a work is still one
// document in one window, shown once read.
TEST_F(AppDelegateTest, aWorkHandedOverAgainWhileItIsReadIsOneDocumentInOneWindow)
{
    const QString work = writeWork(QStringLiteral("étude.plm"), QStringLiteral("Étude"));
    ASSERT_TRUE(QFile::link(work, path(QStringLiteral("lien.plm"))));
    HeldReads<PlmWorkDocument> held(PlmWorkDocument::plmType);
    held.whileReading([&] { delegate->openURLs({work}); }, [&] {
        delegate->handOverReceived({work});
        delegate->handOverReceived({path(QStringLiteral("lien.plm"))});
    });
    settle();
    ASSERT_EQ(works().size(), 1);
    EXPECT_TRUE(studioShown(works().first()));
    EXPECT_EQ(MainMenu::listedWindows().size(), 1);
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_FALSE(delegate->openingExternalDocument);
}

// --- Routing by extension -------------------------------------------------------------------------

TEST_F(AppDelegateTest, libraryPackagesGoToTheLibraryCoordinator)
{
    // Handed over at launch: no studio document is restored either.
    PlmWorkDocument::rememberLastDocument(writeWork(QStringLiteral("dernier.plm"), QStringLiteral("Dernier")));
    const QString fonds = path(QStringLiteral("Fonds.plmlibrary"));
    PlmLibraryStore::createPackage(fonds, std::nullopt);
    launch();
    delegate->openURLs({fonds});
    EXPECT_FALSE(delegate->openingExternalDocument);
    settle();
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
    // The package handed over is adopted in place of the one remembered, and shown.
    EXPECT_EQ(Bookmark::resolve(UserDefaults::dataValue(LibraryCoordinator::bookmarkKey)), QFileInfo(fonds).absoluteFilePath());
    LibraryWindowController* library = LibraryCoordinator::shared().libraryWindowController();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(QFileInfo(library->store().root()).absoluteFilePath(), QFileInfo(fonds).absoluteFilePath());
    EXPECT_TRUE(libraryShown());
    EXPECT_TRUE(documents.documents().isEmpty());
}

TEST_F(AppDelegateTest, baseMapsAndWorksOpenThroughTheDocumentController)
{
    const QString map = writeMap(QStringLiteral("ZONES.PLMMAP"), QStringLiteral("Zones"), false);
    const QString work = writeWork(QStringLiteral("étude.Plm"), QStringLiteral("Étude"));
    delegate->openURLs({map, work});
    settle();
    const QList<PlmWorkDocument*> open = works();
    ASSERT_EQ(open.size(), 2);
    // A base map that the studio did not author opens as a changed, untitled work.
    EXPECT_EQ(open[0]->work().map.name, QStringLiteral("Zones"));
    EXPECT_TRUE(open[0]->filePath().isEmpty());
    EXPECT_TRUE(open[0]->isDocumentEdited());
    EXPECT_EQ(open[0]->work().sourceMapURL.has_value(), true);
    EXPECT_EQ(open[1]->work().map.name, QStringLiteral("Étude"));
    EXPECT_EQ(open[1]->fileType(), PlmWorkDocument::plmType);
    EXPECT_TRUE(studioShown(open[0]));
    EXPECT_TRUE(studioShown(open[1]));
    EXPECT_FALSE(delegate->openingExternalDocument);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(AppDelegateTest, otherFilesGoToTheBaseMapImportAsALaterTask)
{
    writeBytes(path(QStringLiteral("communes.geojson")),
               "{\"type\": \"FeatureCollection\", \"features\": [{\"type\": \"Feature\", \"id\": \"69123\", "
               "\"properties\": {\"nom\": \"Lyon\"}, \"geometry\": {\"type\": \"Point\", \"coordinates\": [4.83, 45.76]}}]}");
    delegate->openURLs({path(QStringLiteral("communes.geojson"))});
    EXPECT_FALSE(delegate->openingExternalDocument);
    EXPECT_TRUE(alerts.isEmpty()); // not yet: the import runs from the event loop, then off the main thread
    for (int i = 0; i < 500 && works().isEmpty(); ++i) {
        QThreadPool::globalInstance()->waitForDone();
        settle();
    }
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first(), QStringLiteral("Fond trouvé — communes / 1 entité importée · 0 élément non converti"));
    // The imported map opens as a changed, untitled work whose source is the imported file.
    const QList<PlmWorkDocument*> open = works();
    ASSERT_EQ(open.size(), 1);
    EXPECT_EQ(open[0]->work().map.entities.first().name, QStringLiteral("Lyon"));
    EXPECT_EQ(open[0]->work().map.metadata.value(QStringLiteral("source.format")), QStringLiteral("GeoJSON"));
    EXPECT_TRUE(open[0]->filePath().isEmpty());
    EXPECT_TRUE(open[0]->isDocumentEdited());
    EXPECT_TRUE(open[0]->work().sourceMapURL.value_or(QString()).endsWith(QStringLiteral("communes.geojson")));
    EXPECT_TRUE(studioShown(open[0]));
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(AppDelegateTest, aFailedOpenShowsTheLibraryOnlyWhenNothingIsOpen)
{
    writeBytes(path(QStringLiteral("abîmé.plm")), "{ pas du JSON");
    delegate->openURLs({path(QStringLiteral("abîmé.plm"))});
    settle();
    ASSERT_EQ(errors.size(), 1);
    // A French heading that names the file, over the reader's own sentence.
    EXPECT_EQ(errors.first(), QStringLiteral("Le document « abîmé.plm » n’a pas pu être ouvert.\n\n"
                                           "The given data was not valid JSON (expected a string key at byte 2)."));
    EXPECT_TRUE(libraryShown());
    EXPECT_FALSE(delegate->openingExternalDocument);

    LibraryCoordinator::shared().closeWindows();
    delegate->newStudioDocument();
    delegate->openURLs({path(QStringLiteral("abîmé.plm"))});
    settle();
    EXPECT_EQ(errors.size(), 2);
    EXPECT_FALSE(libraryShown());
}

// --- Application actions ------------------------------------------------------------------------------

TEST_F(AppDelegateTest, newFondIsAnEmptyAuthoredMapSavedAsPlmmapInFondMode)
{
    UserDefaults::setValue(StudioWindowController::modeKey, 2);
    delegate->newFondDocument();
    ASSERT_EQ(works().size(), 1);
    PlmWorkDocument* document = works().first();
    const PlmWork work = document->work();
    EXPECT_EQ(work.map.name, QStringLiteral("Nouveau fond"));
    EXPECT_TRUE(work.map.entities.isEmpty());
    EXPECT_EQ(work.map.metadata, (QMap<QString, QString>{{QStringLiteral("studio.authored"), QStringLiteral("true")}}));
    EXPECT_FALSE(work.map.sources.has_value());
    EXPECT_FALSE(work.sourceMapURL.has_value());
    EXPECT_TRUE(work.variables.isEmpty());
    EXPECT_FALSE(work.thematic.has_value());
    EXPECT_FALSE(work.decoration.has_value());
    EXPECT_EQ(document->fileType(), PlmWorkDocument::plmMapType());
    EXPECT_FALSE(document->isDocumentEdited());
    ASSERT_NE(studioOf(document), nullptr);
    EXPECT_TRUE(studioShown(document));
    EXPECT_EQ(studioOf(document)->mode, StudioWindowController::Mode::fond);
}

TEST_F(AppDelegateTest, newDocumentIsAnUntitledWorkInFondMode)
{
    UserDefaults::setValue(StudioWindowController::modeKey, 2);
    delegate->newStudioDocument();
    ASSERT_EQ(works().size(), 1);
    EXPECT_EQ(works().first()->fileType(), PlmWorkDocument::plmType);
    EXPECT_TRUE(works().first()->filePath().isEmpty());
    EXPECT_TRUE(studioShown(works().first()));
    EXPECT_EQ(studioOf(works().first())->mode, StudioWindowController::Mode::fond);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(AppDelegateTest, openPanelRoutesEveryChosenFileWithoutTheLaunchFlags)
{
    const QString map = writeMap(QStringLiteral("dessin.plmmap"), QStringLiteral("Dessin"), true);
    const QString work = writeWork(QStringLiteral("étude.plm"), QStringLiteral("Étude"));
    panelAnswer = QStringList{map, work};
    delegate->openAnyDocument();
    ASSERT_EQ(panels.size(), 1);
    const DialogHooks::OpenPanelRequest& panel = panels.first();
    EXPECT_EQ(panel.title, QStringLiteral("Ouvrir un fond ou un document"));
    EXPECT_EQ(panel.prompt, QStringLiteral("Ouvrir"));
    EXPECT_EQ(panel.message, VectorImportUI::openPanelMessage());
    EXPECT_TRUE(panel.allowsMultipleSelection);
    EXPECT_FALSE(panel.canChooseDirectories);
    EXPECT_TRUE(panel.extensions.isEmpty());
    settle();
    ASSERT_EQ(works().size(), 2);
    // A base map authored in the studio keeps its file and type.
    EXPECT_EQ(works()[0]->filePath(), QFileInfo(map).absoluteFilePath());
    EXPECT_EQ(works()[0]->fileType(), PlmWorkDocument::plmMapType());
    EXPECT_FALSE(works()[0]->isDocumentEdited());
    EXPECT_FALSE(delegate->receivedExternalOpen);

    panelAnswer.reset();
    delegate->openAnyDocument();
    EXPECT_EQ(works().size(), 2);
}

TEST_F(AppDelegateTest, manualOpensInTheBrowserOrSaysItCannot)
{
    // The manual the build puts beside the programs.
    EXPECT_EQ(QFileInfo(AppDelegate::manualPath()).fileName(), QStringLiteral("Manuel.html"));
    EXPECT_TRUE(QFileInfo(AppDelegate::manualPath()).isFile());

    writeBytes(path(QStringLiteral("Manuel.html")), "<html></html>");
    QList<QUrl> opened;
    bool accept = true;
    LocalFileOpener::setHook([&](const QUrl& url) {
        opened << url;
        return accept;
    });
    AppDelegate::setManualPathOverride(path(QStringLiteral("Manuel.html")));
    delegate->showManual();
    settle();
    ASSERT_EQ(opened.size(), 1);
    EXPECT_EQ(opened.first(), QUrl::fromLocalFile(path(QStringLiteral("Manuel.html"))));
    EXPECT_TRUE(alerts.isEmpty());

    accept = false;
    delegate->showManual();
    settle();
    EXPECT_EQ(alerts, QStringList{QStringLiteral("Le manuel local n’a pas pu être ouvert.")});

    AppDelegate::setManualPathOverride(path(QStringLiteral("absent.html")));
    delegate->showManual();
    EXPECT_EQ(opened.size(), 2);
    EXPECT_EQ(alerts.size(), 2);

    // The desktop's opener is asked for the manual but finds no browser (xdg-open ends with an
    // error): the same alert once it has ended.
    LocalFileOpener::setHook(nullptr);
    AppDelegate::setManualPathOverride(path(QStringLiteral("Manuel.html")));
    const QString asked = path(QStringLiteral("asked"));
    LocalFileOpener::setCommand({QStringLiteral("sh"), QStringLiteral("-c"),
                                 QStringLiteral("printf %s \"$1\" > '%1'; exit 3").arg(asked), QStringLiteral("sh")});
    delegate->showManual();
    waitUntil([&] { return alerts.size() >= 3; });
    LocalFileOpener::setCommand({});
    QFile askedFile(asked);
    ASSERT_TRUE(askedFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(askedFile.readAll()), path(QStringLiteral("Manuel.html")));
    EXPECT_EQ(alerts.size(), 3);
}

TEST_F(AppDelegateTest, libraryAndOnlineCommandsAnswerInFrench)
{
    delegate->presentOnlineCatalogue();
    OnlineWindowController* online = LibraryCoordinator::shared().online;
    ASSERT_NE(online, nullptr);
    EXPECT_TRUE(online->window()->isVisible());
    // The destination is the library window's folder: its root when nothing is selected.
    EXPECT_EQ(online->destinationLabel->text(), QStringLiteral("Destination : Bibliothèque.plmlibrary"));
    EXPECT_FALSE(online->opensInStudio());
    delegate->presentOnlineCatalogue();
    EXPECT_EQ(LibraryCoordinator::shared().online, online); // made once, reused

    // Each library command asks through its panel; cancelled, nothing changes and nothing is said.
    delegate->createLibrary();
    delegate->openLibrary();
    delegate->migrateLibrary();
    ASSERT_EQ(savePanels.size(), 1);
    EXPECT_EQ(savePanels[0].title, QStringLiteral("Créer une bibliothèque"));
    EXPECT_EQ(savePanels[0].suggestedName, QStringLiteral("Bibliothèque Pelmora"));
    ASSERT_EQ(panels.size(), 2);
    EXPECT_EQ(panels[0].title, QStringLiteral("Ouvrir une bibliothèque"));
    EXPECT_EQ(panels[1].title, QStringLiteral("Choisir l’ancienne bibliothèque de fonds"));
    EXPECT_EQ(panels[1].prompt, QStringLiteral("Copier ce dossier"));
    EXPECT_EQ(panels[1].message, QStringLiteral("Tous les fichiers et dossiers seront copiés et vérifiés. "
                                                "L’ancienne bibliothèque restera intacte."));
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_TRUE(errors.isEmpty());
    EXPECT_EQ(LibraryCoordinator::shared().online, online);
    EXPECT_EQ(Bookmark::resolve(UserDefaults::dataValue(LibraryCoordinator::bookmarkKey)), QFileInfo(libraryPath).absoluteFilePath());
}

TEST_F(AppDelegateTest, quitAsksAboutUnsavedDocumentsAndCanBeCancelled)
{
    delegate->newStudioDocument();
    PlmWorkDocument* document = works().first();
    document->updateWork(QStringLiteral("Renommer"), [](PlmWork& w) { w.map.name = QStringLiteral("Changé"); });
    ASSERT_TRUE(document->isDocumentEdited());
    delegate->terminate();
    EXPECT_EQ(works().size(), 1);
    EXPECT_FALSE(document->isClosed());

    saveAnswer = DialogHooks::SaveChangesAnswer::DontSave;
    delegate->terminate();
    EXPECT_TRUE(document->isClosed());
}

TEST_F(AppDelegateTest, commandLineFilesBecomeAbsolutePaths)
{
    const QString here = QDir::currentPath();
    EXPECT_EQ(AppDelegate::filesOfArguments({"pelmora-studio", "-style", "carte.plm", "./fonds/../Europe.plmmap",
                                             "file:///tmp/Atlas%20de%20France.plm", "--", "-tiret.plm"}),
              (QStringList{here + "/carte.plm", here + "/Europe.plmmap", "/tmp/Atlas de France.plm", here + "/-tiret.plm"}));
    EXPECT_TRUE(AppDelegate::filesOfArguments({"pelmora-studio"}).isEmpty());
    EXPECT_TRUE(AppDelegate::filesOfArguments({"pelmora-studio", "https://exemple.fr/carte.plm"}).isEmpty());
}

// --- Never without a window -------------------------------------------------------------------------

TEST_F(AppDelegateTest, firstRunDeclinedAtLaunchOpensAnUntitledWorkInFond)
{
    UserDefaults::remove(LibraryCoordinator::bookmarkKey);
    UserDefaults::setValue(StudioWindowController::modeKey, 2);
    alertAnswer = 3; // "Annuler"
    launch();
    settle();
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith(QStringLiteral("Votre bibliothèque Pelmora / Choisissez son emplacement sur cet ordinateur")));
    ASSERT_EQ(works().size(), 1);
    EXPECT_TRUE(works().first()->filePath().isEmpty());
    EXPECT_TRUE(studioShown(works().first()));
    EXPECT_EQ(studioOf(works().first())->mode, StudioWindowController::Mode::fond);
    EXPECT_TRUE(AppDelegate::hasVisibleWindows());

    // Reopened with that window hidden: the work is shown again, no second one is made.
    works().first()->studioController()->window()->hide();
    delegate->handOverReceived({});
    settle();
    EXPECT_EQ(works().size(), 1);
    EXPECT_TRUE(studioShown(works().first()));
}

TEST_F(AppDelegateTest, aFailedOpenWithTheLibraryUnreachableOpensAnUntitledWork)
{
    QDir(libraryPath).removeRecursively();
    alertAnswer = 2; // "Annuler" in the unavailable-library alert
    writeBytes(path(QStringLiteral("abîmé.plm")), "{ pas du JSON");
    delegate->openURLs({path(QStringLiteral("abîmé.plm"))});
    settle();
    ASSERT_EQ(errors.size(), 1);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_TRUE(alerts.first().startsWith(QStringLiteral("Bibliothèque indisponible / ")));
    ASSERT_EQ(works().size(), 1);
    EXPECT_TRUE(works().first()->filePath().isEmpty());
    EXPECT_TRUE(studioShown(works().first()));
}
