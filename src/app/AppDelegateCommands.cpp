#include "app/AppDelegate.h"

#include "app/MainMenu.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/InstanceChannel.h"

#include <QApplication>
#include <QWidget>

void AppDelegate::registerCommands()
{
    commands_ = {
        {QStringLiteral("newStudioDocument:"), [this] { newStudioDocument(); }},
        {QStringLiteral("newFondDocument:"), [this] { newFondDocument(); }},
        {QStringLiteral("openAnyDocument:"), [this] { openAnyDocument(); }},
        {QStringLiteral("importVector:"), [this] { importVector(); }},
        {QStringLiteral("showLibrary:"), [this] { showLibraryWindow(); }},
        {QStringLiteral("showOnline:"), [this] { presentOnlineCatalogue(); }},
        {QStringLiteral("createLibrary:"), [this] { createLibrary(); }},
        {QStringLiteral("openLibrary:"), [this] { openLibrary(); }},
        {QStringLiteral("migrateLibrary:"), [this] { migrateLibrary(); }},
        {QStringLiteral("showManual:"), [this] { showManual(); }},
        // What the platform's application and windows answer.
        {QStringLiteral("orderFrontStandardAboutPanel:"), [this] { orderFrontStandardAboutPanel(); }},
        {QStringLiteral("terminate:"), [this] { terminate(); }},
        {QStringLiteral("performClose:"), [this] { performClose(); }},
        {QStringLiteral("performMiniaturize:"), [this] { performMiniaturize(); }},
        {QStringLiteral("arrangeInFront:"), [this] { arrangeInFront(); }},
    };
}

bool AppDelegate::handles(const QString& command) const
{
    return commands_.contains(command);
}

void AppDelegate::perform(const QString& command, QObject*)
{
    const auto it = commands_.constFind(command);
    if (it != commands_.constEnd())
        (*it)();
}

CommandValidation AppDelegate::validate(const QString& command, QAction*) const
{
    CommandValidation v;
    if (!commands_.contains(command)) {
        v.enabled = false;
    } else if (command == QLatin1String("performClose:") || command == QLatin1String("performMiniaturize:")) {
        v.enabled = QApplication::activeWindow() != nullptr;
    } else if (command == QLatin1String("arrangeInFront:")) {
        v.enabled = !MainMenu::listedWindows().isEmpty();
    }
    return v;
}

void AppDelegate::orderFrontStandardAboutPanel()
{
    DialogHooks::Alert alert;
    alert.message = QStringLiteral("Pelmora Studio");
    const QString version = QCoreApplication::applicationVersion();
    alert.informativeText = (version.isEmpty() ? QString() : QStringLiteral("Version ") + version + QStringLiteral("\n"))
        + QStringLiteral("Cartographie thématique : fonds de carte, données, discrétisation, mise en page et export.");
    alert.style = DialogHooks::AlertStyle::Informational;
    DialogHooks::runAlert(alert);
}

void AppDelegate::setInstanceChannel(InstanceChannel* channel)
{
    channel_ = channel;
}

void AppDelegate::terminate()
{
    // The document controller asks about unsaved documents; a cancel keeps everything open.
    DocumentController& documents = documentController();
    if (channel_)
        channel_->holdLaunches();
    if (!documents.reviewUnsavedDocumentsBeforeQuit()) {
        if (channel_)
            channel_->resumeLaunches();
        return;
    }
    // Decided: a launch from now on is the next running instance, not a file for this one.
    if (channel_)
        channel_->stopListening();
    documents.closeAllDocuments();
    QCoreApplication::quit();
}

void AppDelegate::performClose()
{
    if (QWidget* window = QApplication::activeWindow())
        window->close();
}

void AppDelegate::performMiniaturize()
{
    if (QWidget* window = QApplication::activeWindow())
        window->showMinimized();
}

void AppDelegate::arrangeInFront()
{
    QWidget* active = QApplication::activeWindow();
    for (QWidget* w : MainMenu::listedWindows())
        if (w != active)
            w->raise();
    if (active) {
        active->raise();
        active->activateWindow();
    }
}
