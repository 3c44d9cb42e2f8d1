#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "online/OnlineWindowController.h"
#include "platform/CommandRouter.h"
#include "platform/DialogHooks.h"

#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

struct Application : CommandResponder {
    QStringList performed;
    bool enabled = true;
    bool handles(const QString& c) const override { return c.endsWith(QLatin1String("Document:")); }
    void perform(const QString& c, QObject*) override { performed << c; }
    CommandValidation validate(const QString&, QAction*) const override
    {
        CommandValidation v;
        v.enabled = enabled;
        return v;
    }
};

class LibraryCoordinatorTest : public ::testing::Test {
protected:
    LibraryCoordinatorTest()
    {
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a;
            return answers.isEmpty() ? 2 : answers.takeFirst();
        };
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
    }
    ~LibraryCoordinatorTest() override
    {
        coordinator.closeWindows();
        CommandRouter::shared().setApplicationResponder(nullptr);
    }

    QList<DialogHooks::Alert> alerts;
    QList<int> answers;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    LibraryCoordinator coordinator;
};

} // namespace

TEST_F(LibraryCoordinatorTest, libraryWindowIsMadeOnceAndOffersTheWaysIntoTheStudio)
{
    LibraryWindowController* library = coordinator.libraryWindowController();
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(coordinator.libraryWindowController(), library);
    EXPECT_FALSE(library->selectedFolderURL().has_value());
    coordinator.showLibrary();
    EXPECT_TRUE(library->window()->isVisible());
    EXPECT_EQ(library->window()->windowTitle(), QStringLiteral("Bibliothèque"));
    auto* message = library->window()->findChild<QLabel*>(QStringLiteral("Library.Message"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(message->text(), LibraryWindowController::unavailableText());

    Application application;
    CommandRouter::shared().setApplicationResponder(&application);
    for (const char* command : {"newStudioDocument:", "newFondDocument:", "openAnyDocument:"}) {
        QPushButton* button = library->button(QString::fromLatin1(command));
        ASSERT_NE(button, nullptr) << command;
        button->click();
    }
    EXPECT_EQ(application.performed, (QStringList{"newStudioDocument:", "newFondDocument:", "openAnyDocument:"}));
    EXPECT_EQ(library->button("newFondDocument:")->text(), QStringLiteral("Nouveau fond"));
    EXPECT_EQ(library->button("openAnyDocument:")->text(), QStringLiteral("Ouvrir…"));
    application.enabled = false;
    library->button("newStudioDocument:")->click();
    EXPECT_EQ(application.performed.size(), 3);
}

TEST_F(LibraryCoordinatorTest, unavailableAlertOffersRetryLocateAndCancel)
{
    answers = {0, 1};
    coordinator.presentUnavailable(std::make_exception_ptr(std::runtime_error("Le disque est absent.")));
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts[0].message, QStringLiteral("Bibliothèque indisponible"));
    EXPECT_EQ(alerts[0].informativeText,
              QStringLiteral("Le disque est absent.\nReconnectez le disque puis réessayez, ou sélectionnez son nouvel emplacement."));
    EXPECT_EQ(alerts[0].buttons, (QStringList{"Réessayer", "Localiser / ouvrir…", "Annuler"}));
    // "Réessayer" shows the library again; "Localiser / ouvrir…" asks for a package.
    EXPECT_TRUE(coordinator.libraryWindowController()->window()->isVisible());
    coordinator.closeWindows();
    alerts.clear();
    coordinator.presentUnavailable(std::make_exception_ptr(std::runtime_error("x")));
    ASSERT_EQ(alerts.size(), 2);
    EXPECT_EQ(alerts[1].message, LibraryCoordinator::notAvailableMessage());
    EXPECT_EQ(alerts[1].informativeText, QStringLiteral("Aucune bibliothèque n’a été ouverte."));
}

TEST_F(LibraryCoordinatorTest, onlineCatalogueIsMadeOnceWithTheLibraryFolder)
{
    coordinator.showOnline(std::nullopt, false);
    OnlineWindowController* online = coordinator.online;
    ASSERT_NE(online, nullptr);
    EXPECT_TRUE(online->window()->isVisible());
    EXPECT_FALSE(online->destination().has_value());
    coordinator.showOnline(QStringLiteral("/données/Fonds/Europe/"), true);
    EXPECT_EQ(coordinator.online, online);
    EXPECT_EQ(online->destinationLabel->text(), QStringLiteral("Destination : Europe"));
    EXPECT_EQ(online->destinationLabel->toolTip(), QStringLiteral("/données/Fonds/Europe"));
    EXPECT_TRUE(online->opensInStudio());
    coordinator.closeWindows();
    EXPECT_EQ(coordinator.online, nullptr);
}
