#include "library/LibraryCoordinator.h"
#include "library/LibraryOutlineModel.h"
#include "library/LibraryWindowController.h"
#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryManifest.h"
#include "model/PlmMapCodec.h"
#include "online/OnlineWindowController.h"
#include "support/LibraryTestSupport.h"
#include "support/OnlineTestServer.h"
#include "support/TestFiles.h"
#include "platform/Bookmark.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QTemporaryDir>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

const QString firstRunMessage = QStringLiteral("Votre bibliothèque Pelmora");
const QString unavailableMessage = QStringLiteral("Bibliothèque indisponible");
const QString unavailableTail = QStringLiteral("\nReconnectez le disque puis réessayez, ou sélectionnez son nouvel emplacement.");

// Every dialog is answered from queues; an empty queue cancels.
class LibraryCoordinatorTest : public ::testing::Test {
protected:
    LibraryCoordinatorTest()
    {
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a;
            if (answers.isEmpty())
                return int(a.buttons.size()) - 1;
            return answers.takeFirst();
        };
        h.presentError = [this](const QString& message, QWidget*) { errors << message; };
        h.openPanel = [this](const DialogHooks::OpenPanelRequest& r) -> std::optional<QStringList> {
            openPanels << r;
            if (openAnswers.isEmpty())
                return std::nullopt;
            return QStringList{openAnswers.takeFirst()};
        };
        h.savePanel = [this](const DialogHooks::SavePanelRequest& r) -> std::optional<DialogHooks::SavePanelResult> {
            savePanels << r;
            if (saveAnswers.isEmpty())
                return std::nullopt;
            return DialogHooks::SavePanelResult{saveAnswers.takeFirst(), LibraryCoordinator::packageType};
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
        LibraryWindowController::setMapOpener(
            [this](const PlmMap&, const QString& path, const QList<PlmInputSheet>&) { opened << path; });
    }
    ~LibraryCoordinatorTest() override
    {
        LibraryWindowController::setMapOpener(nullptr);
        CommandRouter::shared().setApplicationResponder(nullptr);
    }

    QString path(const QString& relative) const { return dir.path() + QLatin1Char('/') + relative; }
    void write(const QString& relative, const QByteArray& bytes) const { writeBytes(path(relative), bytes); }
    // Adopts a new package without any dialog.
    QString adopt(const QString& name)
    {
        PlmLibraryStore::createPackage(path(name), std::nullopt);
        coordinator->openLibrary(path(name));
        return path(name);
    }
    QStringList alertMessages() const
    {
        QStringList list;
        for (const DialogHooks::Alert& a : alerts)
            list << a.message;
        return list;
    }

    QTemporaryDir dir;
    UserDefaults::TemporaryScope defaults;
    OwnTrash trash;
    OnlineTestServer providers; // the online window loads its catalogue from here, never from the network
    QList<DialogHooks::Alert> alerts;
    QList<int> answers;
    QStringList errors;
    QList<DialogHooks::OpenPanelRequest> openPanels;
    QStringList openAnswers;
    QList<DialogHooks::SavePanelRequest> savePanels;
    QStringList saveAnswers;
    QStringList opened;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    std::unique_ptr<LibraryCoordinator> coordinator = std::make_unique<LibraryCoordinator>();
};

} // namespace

TEST_F(LibraryCoordinatorTest, firstStartAsksAndCancellingLeavesNoLibrary)
{
    EXPECT_EQ(coordinator->libraryWindowController(), nullptr);
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].message, firstRunMessage);
    EXPECT_EQ(alerts[0].informativeText,
              QStringLiteral("Choisissez son emplacement sur cet ordinateur ou un disque externe. Vous pouvez aussi copier votre "
                             "ancienne bibliothèque, qui sera conservée."));
    EXPECT_EQ(alerts[0].buttons, (QStringList{QStringLiteral("Créer une bibliothèque…"), QStringLiteral("Ouvrir une bibliothèque…"),
                                              QStringLiteral("Copier l\u2019ancienne…"), QStringLiteral("Annuler")}));
    coordinator->showLibrary();
    EXPECT_EQ(alertMessages(), (QStringList{firstRunMessage, firstRunMessage}));
    EXPECT_FALSE(UserDefaults::contains(LibraryCoordinator::bookmarkKey));

    // Asking for the store without prompting never shows the alert.
    EXPECT_FALSE(coordinator->currentStore(false).has_value());
    EXPECT_EQ(alerts.size(), 2);
}

TEST_F(LibraryCoordinatorTest, firstStartCreatesALibraryAndRemembersIt)
{
    answers = {0};
    saveAnswers = {path(QStringLiteral("Ma bibliothèque"))}; // the extension is added when missing
    LibraryWindowController* controller = coordinator->libraryWindowController();
    ASSERT_NE(controller, nullptr);
    ASSERT_EQ(savePanels.size(), 1);
    EXPECT_EQ(savePanels[0].title, QStringLiteral("Créer une bibliothèque"));
    EXPECT_EQ(savePanels[0].suggestedName, QStringLiteral("Bibliothèque Pelmora"));
    ASSERT_EQ(savePanels[0].types.size(), 1);
    EXPECT_EQ(savePanels[0].types[0].identifier, QStringLiteral("ondrel.pelmorastudio.plmlibrary"));

    const QString package = path(QStringLiteral("Ma bibliothèque.plmlibrary"));
    EXPECT_EQ(controller->store().root(), package);
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_EQ(Bookmark::resolve(UserDefaults::dataValue(LibraryCoordinator::bookmarkKey)), package);
    EXPECT_EQ(UserDefaults::stringValue(LibraryCoordinator::packageIDKey), PlmLibraryManifest::read(package).idString());
    EXPECT_EQ(coordinator->scopedLibrary(), package);
    EXPECT_TRUE(errors.isEmpty());

    // A later launch finds it again without a question.
    coordinator = std::make_unique<LibraryCoordinator>();
    alerts.clear();
    LibraryWindowController* again = coordinator->libraryWindowController();
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->store().root(), package);
    EXPECT_TRUE(alerts.isEmpty());
    EXPECT_EQ(coordinator->currentStore(false)->root(), package);
}

TEST_F(LibraryCoordinatorTest, firstStartCopiesTheOlderLibraryAndKeepsIt)
{
    write(QStringLiteral("Anciens/Europe/France.plmmap"), "france");
    UserDefaults::setValue(LibraryCoordinator::folderBookmarkKey, Bookmark::make(path(QStringLiteral("Anciens"))));
    answers = {2};
    openAnswers = {path(QStringLiteral("Anciens"))};
    saveAnswers = {path(QStringLiteral("Copie.plmlibrary"))};
    LibraryWindowController* controller = coordinator->libraryWindowController();
    ASSERT_NE(controller, nullptr);

    ASSERT_EQ(openPanels.size(), 1);
    EXPECT_EQ(openPanels[0].title, QStringLiteral("Choisir l\u2019ancienne bibliothèque de fonds"));
    EXPECT_EQ(openPanels[0].prompt, QStringLiteral("Copier ce dossier"));
    EXPECT_TRUE(openPanels[0].canChooseDirectories);
    EXPECT_FALSE(openPanels[0].canChooseFiles);
    EXPECT_EQ(openPanels[0].directory, path(QStringLiteral("Anciens")));
    ASSERT_EQ(savePanels.size(), 1);
    EXPECT_EQ(savePanels[0].title, QStringLiteral("Copier l\u2019ancienne bibliothèque"));

    QFile copy(path(QStringLiteral("Copie.plmlibrary/Europe/France.plmmap")));
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("france"));
    EXPECT_TRUE(QFileInfo::exists(path(QStringLiteral("Anciens/Europe/France.plmmap"))));
    ASSERT_EQ(controller->model()->rowCount(), 1);
    EXPECT_EQ(controller->model()->index(0, 0).data().toString(), QStringLiteral("Europe"));
}

TEST_F(LibraryCoordinatorTest, theOlderFolderDefaultsToThePerUserDataFolder)
{
    EXPECT_EQ(coordinator->legacyFolderURL(), PlmLibraryStore::legacyFolderPath());
    UserDefaults::setValue(LibraryCoordinator::folderBookmarkKey, QByteArray("pas un chemin"));
    EXPECT_EQ(coordinator->legacyFolderURL(), PlmLibraryStore::legacyFolderPath());
}

TEST_F(LibraryCoordinatorTest, anotherPackageAtTheRememberedPlaceIsRefusedAndCanBeRelocated)
{
    const QString package = adopt(QStringLiteral("Atlas.plmlibrary"));
    ASSERT_TRUE(coordinator->libraryWindowController());
    // Another library copied over the same place: same path, another id.
    QDir(package).removeRecursively();
    PlmLibraryStore::createPackage(package, std::nullopt);
    try {
        coordinator->libraryWindowController();
        ADD_FAILURE() << "another library was accepted";
    } catch (const PlmLibraryPackageError& error) {
        EXPECT_EQ(error.kind(), PlmLibraryPackageError::Kind::invalidPackage);
    }

    // The unavailable alert offers to locate it; the user picks the new one.
    alerts.clear();
    answers = {1};
    openAnswers = {package};
    coordinator->showLibrary();
    ASSERT_GE(alerts.size(), 1);
    EXPECT_EQ(alerts[0].message, unavailableMessage);
    EXPECT_EQ(alerts[0].informativeText,
              PlmLibraryPackageError::description(PlmLibraryPackageError::Kind::invalidPackage) + unavailableTail);
    EXPECT_EQ(alerts[0].buttons,
              (QStringList{QStringLiteral("Réessayer"), QStringLiteral("Localiser / ouvrir…"), QStringLiteral("Annuler")}));
    ASSERT_EQ(openPanels.size(), 1);
    EXPECT_EQ(openPanels[0].title, QStringLiteral("Ouvrir une bibliothèque"));
    EXPECT_EQ(openPanels[0].prompt, QStringLiteral("Ouvrir"));
    EXPECT_EQ(openPanels[0].extensions, QStringList{QStringLiteral("plmlibrary")});
    EXPECT_EQ(UserDefaults::stringValue(LibraryCoordinator::packageIDKey), PlmLibraryManifest::read(package).idString());
    EXPECT_NO_THROW(coordinator->libraryWindowController());
}

TEST_F(LibraryCoordinatorTest, aVanishedPackageIsReportedWithoutCreatingAnything)
{
    const QString package = adopt(QStringLiteral("Disque.plmlibrary"));
    coordinator = std::make_unique<LibraryCoordinator>();
    QDir(package).removeRecursively();
    alerts.clear();
    coordinator->showLibrary(); // "Annuler"
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].informativeText,
              PlmLibraryPackageError::description(PlmLibraryPackageError::Kind::unavailable) + unavailableTail);
    EXPECT_FALSE(QFileInfo::exists(package));
    EXPECT_THROW(coordinator->currentStore(false), PlmLibraryPackageError);
}

TEST_F(LibraryCoordinatorTest, aDamagedPackageIsShownAndTheCurrentLibraryStays)
{
    const QString good = adopt(QStringLiteral("Bonne.plmlibrary"));
    LibraryWindowController* controller = coordinator->libraryWindowController();
    ASSERT_NE(controller, nullptr);
    const QByteArray bookmark = UserDefaults::dataValue(LibraryCoordinator::bookmarkKey);

    write(QStringLiteral("Cassée.plmlibrary/.plmlibrary.json"), "{\"version\": 1}");
    coordinator->openLibrary(path(QStringLiteral("Cassée.plmlibrary")));
    EXPECT_EQ(errors, QStringList{PlmLibraryPackageError::description(PlmLibraryPackageError::Kind::invalidPackage)});
    EXPECT_EQ(coordinator->libraryWindowController(), controller);
    EXPECT_TRUE(controller->window()->isVisible());
    EXPECT_EQ(UserDefaults::dataValue(LibraryCoordinator::bookmarkKey), bookmark);
    EXPECT_EQ(coordinator->scopedLibrary(), good);

    // A library is never created over what stands at its name: the panel says so at once, with
    // « OK » alone, and shows again in the same folder with the name typed; cancelled there,
    // nothing changes.
    write(QStringLiteral("Fichier.plmlibrary"), "fichier");
    QDir(dir.path()).mkdir(QStringLiteral("Dossier.plmlibrary"));
    const struct {
        const char* typed;
        QString said;
    } taken[] = {
        {"Bonne", QStringLiteral("Une bibliothèque « Bonne.plmlibrary » existe déjà à cet endroit. Elle ne peut pas être remplacée.")},
        {"Fichier.plmlibrary", QStringLiteral("Un fichier « Fichier.plmlibrary » existe déjà à cet endroit. "
                                              "Il ne peut pas être remplacé par une bibliothèque.")},
        {"Dossier", QStringLiteral("« Dossier.plmlibrary » est un dossier et ne peut pas être remplacé.")},
    };
    for (const auto& row : taken) {
        SCOPED_TRACE(row.typed);
        alerts.clear();
        savePanels.clear();
        errors.clear();
        saveAnswers = {path(QLatin1String(row.typed))};
        answers = {0};
        coordinator->createLibrary(std::nullopt);
        ASSERT_EQ(alerts.size(), 1);
        EXPECT_EQ(alerts[0].message, row.said);
        EXPECT_EQ(alerts[0].buttons, QStringList{QStringLiteral("OK")});
        ASSERT_EQ(savePanels.size(), 2);
        EXPECT_EQ(savePanels[1].directory, dir.path());
        EXPECT_EQ(savePanels[1].suggestedName, QLatin1String(row.typed));
        EXPECT_TRUE(errors.isEmpty());
        EXPECT_EQ(coordinator->libraryWindowController(), controller);
    }
    EXPECT_EQ(fileBytes(path(QStringLiteral("Fichier.plmlibrary"))), QByteArray("fichier"));
    EXPECT_TRUE(QDir(path(QStringLiteral("Dossier.plmlibrary"))).isEmpty());
}

TEST_F(LibraryCoordinatorTest, adoptingAnotherPackageReplacesBothWindows)
{
    adopt(QStringLiteral("Un.plmlibrary"));
    QPointer<LibraryWindowController> first = coordinator->libraryWindowController();
    coordinator->showOnline(std::nullopt, false);
    QPointer<OnlineWindowController> online = coordinator->online;
    ASSERT_TRUE(online);
    EXPECT_EQ(online->destination(), path(QStringLiteral("Un.plmlibrary")));

    adopt(QStringLiteral("Deux.plmlibrary"));
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(online.isNull());
    EXPECT_EQ(coordinator->libraryWindowController()->store().root(), path(QStringLiteral("Deux.plmlibrary")));
    EXPECT_EQ(coordinator->scopedLibrary(), path(QStringLiteral("Deux.plmlibrary")));
}

TEST_F(LibraryCoordinatorTest, addedMapsGoToTheSelectedFolderAndOpenInTheStudio)
{
    const QString package = adopt(QStringLiteral("Atlas.plmlibrary"));
    QDir(package).mkdir(QStringLiteral("Europe"));
    LibraryWindowController* controller = coordinator->libraryWindowController();
    controller->reload(package + QStringLiteral("/Europe"));
    EXPECT_EQ(controller->selectedFolderURL(), package + QStringLiteral("/Europe"));

    const std::optional<QString> added = coordinator->addToLibrary(PlmMap(QStringLiteral("France/Corse"), {}));
    ASSERT_TRUE(added.has_value());
    EXPECT_EQ(*added, package + QStringLiteral("/Europe/France\u2013Corse.plmmap"));
    EXPECT_EQ(controller->selectedItemURL(), *added);
    EXPECT_EQ(controller->selectedFolderURL(), package + QStringLiteral("/Europe"));
    EXPECT_EQ(controller->undoStack()->undoText(), QStringLiteral("Ajouter à la bibliothèque"));
    // Undo moves the added map to the trash (the test's own), redo brings it back.
    const QByteArray bytes = PlmMapCodec::encode(PlmMap(QStringLiteral("France/Corse"), {}));
    controller->undoStack()->undo();
    EXPECT_FALSE(QFileInfo::exists(*added));
    EXPECT_EQ(trash.entries().size(), 1);
    controller->undoStack()->redo();
    EXPECT_TRUE(trash.entries().isEmpty());
    QFile back(*added);
    ASSERT_TRUE(back.open(QIODevice::ReadOnly));
    EXPECT_EQ(back.readAll(), bytes);
    EXPECT_TRUE(errors.isEmpty());

    // The online catalogue goes to the same folder when no destination is given.
    coordinator->showOnline(std::nullopt, false);
    EXPECT_EQ(coordinator->online->destination(), package + QStringLiteral("/Europe"));

    const QModelIndex map = controller->model()->indexForURL(*added);
    ASSERT_TRUE(map.isValid());
    controller->openSelection(map); // a double click
    EXPECT_EQ(opened, QStringList{*added});
    controller->openSelection(map.parent()); // a folder opens nothing
    EXPECT_EQ(opened.size(), 1);
}

