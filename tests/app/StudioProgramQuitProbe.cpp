// A program built like pelmora-studio's main() (the application object on main's stack, then
// StudioProgram::run()), for StudioProgramQuitTest: it brings the windows of one scenario on
// screen, quits through the application's own quit command (the « Quitter Pelmora Studio »
// action of the main menu) or by closing the last window, and reports on stdout what it saw:
//   reached: <state>                 the scenario's windows were there when it quit
//   quit: <how>                      the event loop ended after that quit
//   destroyed after the application: <class>   a widget deleted once QApplication was gone
// Usage: StudioProgramQuitProbe --scenario=<name> [files to open, as on the command line].
// Any question asked along the way is answered at once and reported as "question: <text>".

#include "app/AppDelegate.h"
#include "app/MainMenu.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioProgram.h"
#include "app/StudioWindowController.h"
#include "canvas/SymbolPickerLauncher.h"
#include "carte/CarteWindowController.h"
#include "catalogue/OnlineError.h"
#include "desktop/CommandRouter.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "export/CarteExportPanel.h"
#include "library/LibraryCoordinator.h"
#include "library/LibraryOutlineView.h"
#include "library/LibraryQuickLook.h"
#include "library/LibraryThumbnails.h"
#include "library/LibraryWindowController.h"
#include "online/OnlineWindowController.h"

#include <QAction>
#include <QApplication>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <functional>

namespace {

// Each line goes out at once: the program may yet crash, or report from its static objects.
void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

int lateDeletions = 0;

// Reports the widget, once per class, if it is deleted after the application object (as late
// as the program's static objects).
void watchForLateDeletion(QWidget* widget)
{
    QObject::connect(widget, &QObject::destroyed, [className = QByteArray(widget->metaObject()->className())] {
        if (QCoreApplication::instance())
            return;
        static auto* reported = new QSet<QByteArray>; // never freed: it outlives every static
        if (reported->contains(className))
            return;
        reported->insert(className);
        ++lateDeletions;
        say(QStringLiteral("destroyed after the application: ") + QString::fromLatin1(className));
    });
}

// What quitting was asked for, and how; empty until then.
QString& quitRequested()
{
    static QString how;
    return how;
}

AppDelegate* delegate()
{
    return dynamic_cast<AppDelegate*>(CommandRouter::shared().applicationResponder());
}

// The menu item the user chooses (or whose shortcut Ctrl+Q fires).
void quitThroughMenu(const QString& reached)
{
    say(QStringLiteral("reached: ") + reached);
    quitRequested() = QStringLiteral("Quitter Pelmora Studio");
    delegate()->mainMenu()->action(QStringLiteral("terminate:"))->trigger();
}

void giveUp(const QString& missing)
{
    say(QStringLiteral("not reached: ") + missing);
    QCoreApplication::exit(2);
}

LibraryWindowController* libraryWindow()
{
    return LibraryCoordinator::shared().libraryWindowController();
}

bool libraryShown()
{
    LibraryWindowController* library = libraryWindow();
    return library && library->window() && library->window()->isVisible();
}

StudioWindowController* studioWindow()
{
    for (Document* document : DocumentController::shared().documents())
        if (auto* work = qobject_cast<PlmWorkDocument*>(document))
            return dynamic_cast<StudioWindowController*>(work->studioController());
    return nullptr;
}

bool studioShown()
{
    StudioWindowController* studio = studioWindow();
    return studio && studio->isWindowLoaded() && studio->window()->isVisible();
}

// A scenario acts once the program shows what the command line opened: a document is read
// in a loop of its own (which runs timers too) before the program's event loop starts.
struct Scenario {
    std::function<bool()> launched;
    std::function<void()> act;
};

QHash<QString, Scenario> scenarios()
{
    return {
        {QStringLiteral("library-open"), {libraryShown, [] { quitThroughMenu(QStringLiteral("library window shown")); }}},
        {QStringLiteral("library-closed"),
         {[] { return libraryShown() && studioShown(); },
          [] {
              // Closed, shown again from the studio's menu (Ctrl+L), closed again.
              libraryWindow()->window()->close();
              delegate()->mainMenu()->action(QStringLiteral("showLibrary:"))->trigger();
              if (!libraryShown())
                  return giveUp(QStringLiteral("library window shown again"));
              libraryWindow()->window()->close();
              if (libraryWindow()->window()->isVisible() || !studioShown())
                  return giveUp(QStringLiteral("library window closed, studio window left"));
              quitThroughMenu(QStringLiteral("library window closed again"));
          }}},
        {QStringLiteral("library-last-window"),
         {libraryShown,
          [] {
              say(QStringLiteral("reached: library window alone"));
              quitRequested() = QStringLiteral("closing the last window");
              libraryWindow()->window()->close();
          }}},
        {QStringLiteral("quick-look"),
         {libraryShown,
          [] {
              LibraryWindowController* library = libraryWindow();
              QStringList maps;
              for (const PlmLibraryItem& item : library->store().tree())
                  if (!item.isFolder)
                      maps << item.url;
              library->select(maps);
              library->perform(QStringLiteral("quickLook:"), nullptr);
              if (!library->quickLook() || !library->quickLook()->isVisible() || library->previewURLs().size() != 2)
                  return giveUp(QStringLiteral("« Coup d’œil » of two maps"));
              quitThroughMenu(QStringLiteral("« Coup d’œil » shown"));
          }}},
        {QStringLiteral("thumbnails"),
         {libraryShown,
          [] {
              LibraryWindowController* library = libraryWindow();
              // Drawing the rows asks for their pictures, made on worker threads; their
              // results can only come back through the event loop, after the quit.
              library->outline()->viewport()->repaint();
              if (library->thumbnails()->pendingCount() == 0)
                  return giveUp(QStringLiteral("thumbnails being made"));
              quitThroughMenu(QStringLiteral("thumbnails being made"));
          }}},
        {QStringLiteral("online"),
         {libraryShown,
          [] {
              delegate()->mainMenu()->action(QStringLiteral("showOnline:"))->trigger();
              OnlineWindowController* online = LibraryCoordinator::shared().online;
              if (!online || !online->window() || !online->window()->isVisible())
                  return giveUp(QStringLiteral("online catalogue window"));
              quitThroughMenu(QStringLiteral("online catalogue loading"));
          }}},
        {QStringLiteral("studio-loop-ended"),
         {studioShown,
          [] {
              // As when the desktop ends the program: no question, the loop simply ends.
              say(QStringLiteral("reached: studio window shown"));
              quitRequested() = QStringLiteral("the application's event loop ended");
              QCoreApplication::quit();
          }}},
        {QStringLiteral("export-panel"),
         {studioShown,
          [] {
              StudioWindowController* studio = studioWindow();
              studio->perform(QStringLiteral("exportCarte:"), nullptr);
              CarteExportPanel* panel = studio->carte() ? studio->carte()->exportPanel() : nullptr;
              if (!panel || !panel->window() || !panel->window()->isVisible())
                  return giveUp(QStringLiteral("export panel"));
              quitThroughMenu(QStringLiteral("export panel shown"));
          }}},
        {QStringLiteral("symbol-picker"),
         {studioShown,
          [] {
              SymbolPickerLauncher::Request request;
              request.completion = [](const QString&) {};
              const QPointer<QWidget> picker = SymbolPickerLauncher::open(request);
              if (!picker || !picker->isVisible())
                  return giveUp(QStringLiteral("symbol catalogue window"));
              quitThroughMenu(QStringLiteral("symbol catalogue shown"));
          }}},
    };
}

// Asks again at every turn of the event loop until the program has launched.
void actWhenLaunched(const Scenario& scenario)
{
    if (!scenario.launched())
        return (void)QTimer::singleShot(0, qApp, [scenario] { actWhenLaunched(scenario); });
    scenario.act();
}

// Every question is answered at once, as a cancel, and reported.
DialogHooks::Hooks reportedQuestions()
{
    DialogHooks::Hooks hooks;
    hooks.alert = [](const DialogHooks::Alert& alert) {
        say(QStringLiteral("question: ") + alert.message);
        return int(alert.buttons.size()) - 1;
    };
    hooks.sheet = [](const DialogHooks::Alert& alert, std::function<void(int)> completion) {
        say(QStringLiteral("question: ") + alert.message);
        if (completion)
            completion(int(alert.buttons.size()) - 1);
    };
    hooks.presentError = [](const QString& message, QWidget*) { say(QStringLiteral("question: ") + message); };
    hooks.askSaveChanges = [](const QString& name, QWidget*) {
        say(QStringLiteral("question: save ") + name);
        return DialogHooks::SaveChangesAnswer::DontSave;
    };
    hooks.openPanel = [](const DialogHooks::OpenPanelRequest&) { return std::optional<QStringList>(); };
    hooks.savePanel = [](const DialogHooks::SavePanelRequest&) { return std::optional<DialogHooks::SavePanelResult>(); };
    hooks.colorPanel = [](const QColor&, const QString&, QWidget*) { return std::optional<QColor>(); };
    hooks.fontPanel = [](const QFont&, const QString&, QWidget*) { return std::optional<QFont>(); };
    return hooks;
}

// A transfer that lasts until it is told to stop: the catalogue is still loading at the quit.
OnlineResponse endlessTransfer(const QUrl&, const OnlineDownloadOptions& options)
{
    while (!options.cancelled || !options.cancelled->load())
        QThread::msleep(5);
    throw OnlineCancelled();
}

} // namespace

int main(int argc, char** argv)
{
    int exitCode = 0;
    {
        QApplication app(argc, argv);
        QCoreApplication::setOrganizationName(QStringLiteral("Pelmora"));
        QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio"));
        // Never the network, whatever a scenario opens.
        QStandardPaths::setTestModeEnabled(true);
        OnlineWindowController::setFetch(endlessTransfer);
        DialogHooks::setFallbackHooks(reportedQuestions());

        QString name;
        for (const QString& argument : QCoreApplication::arguments())
            if (argument.startsWith(QLatin1String("--scenario=")))
                name = argument.mid(int(qstrlen("--scenario=")));
        const Scenario scenario = scenarios().value(name);
        if (!scenario.act) {
            std::fprintf(stderr, "unknown scenario: %s\n", qPrintable(name));
            return 64;
        }
        QTimer::singleShot(0, &app, [scenario] { actWhenLaunched(scenario); });

        exitCode = StudioProgram::run();
        if (!quitRequested().isEmpty())
            say(QStringLiteral("quit: ") + quitRequested());

        // Whatever is still alive now goes with the application object or later still: it
        // must not be a widget.
        for (QWidget* widget : QApplication::allWidgets())
            watchForLateDeletion(widget);
    }
    return lateDeletions == 0 ? exitCode : 3;
}
