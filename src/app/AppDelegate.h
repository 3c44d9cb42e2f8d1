#pragma once

#include "platform/CommandResponder.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

class Document;
class DocumentController;
class InstanceChannel;
class MainMenu;
class QUrl;
class TextFieldCommands;

// The application's delegate: builds the main menu, decides once after launch which window
// the user sees first (the last open work document, the last document restored from its
// bookmark, or the library window), routes the files handed over from outside by their
// extension, and answers the application-level commands. It also answers the commands that
// belong to the platform's application and windows (about, quit, close, minimise, bring all
// to front), as the last link of the command chain. Main thread only.
//
// Files "handed over from outside" are those of the command line and those a second launch
// passes to the running instance; a hand-over with no file is the user asking to see the
// application again (reopen).
class AppDelegate : public QObject, public CommandResponder {
    Q_OBJECT
public:
    explicit AppDelegate(DocumentController* documents = nullptr, QObject* parent = nullptr);
    ~AppDelegate() override;

    // Set when files are handed over; never cleared during the run.
    bool receivedExternalOpen = false;
    // True while a document handed over from outside is being opened.
    bool openingExternalDocument = false;
    // True while the last work document is being restored from its bookmark.
    bool restoringLastDocument = false;

    // Builds the menu and makes this the application responder, then queues the launch step,
    // which therefore sees the files handed over during launch.
    void applicationDidFinishLaunching();
    // The platform never makes an untitled document by itself.
    bool applicationShouldOpenUntitledFile() const { return false; }
    // Shows a studio document when no window is visible (else brings the front one forward).
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // Files handed over from outside, routed in order.
    void openURLs(const QStringList& paths);
    // A hand-over from a second launch: files to open, or an empty list for reopen.
    void handOverReceived(const QStringList& paths);

    void buildMainMenu();
    MainMenu* mainMenu() const { return mainMenu_.get(); }

    void launchDefaultDocument();
    void showStudioDocument();
    void finishRestore(bool opened);
    // Routes one file by its lower-cased extension.
    void openExternalURLs(const QString& path);
    void finishExternalOpen(Document* document, bool alreadyOpen, const QString& error);

    // Application-level actions.
    void newStudioDocument();
    void newFondDocument();
    void openAnyDocument();
    void importVector();
    // Shows the library window; false when there is none (the user declined or it is unavailable).
    bool showLibraryWindow();
    // The library window, else, when no document is open, a new untitled work: the program
    // never runs with no window at all.
    void showLibraryOrNewDocument();
    void presentOnlineCatalogue();
    void createLibrary();
    void openLibrary();
    void migrateLibrary();
    void showManual();

    // The platform's application and window commands.
    void orderFrontStandardAboutPanel();
    // « Quitter »: while its questions are asked, a launch waits for their outcome; its files
    // open here if the end is cancelled, else it becomes the running instance.
    void terminate();
    // The channel later launches reach this program by.
    void setInstanceChannel(InstanceChannel* channel);
    void performClose();
    void performMiniaturize();
    void arrangeInFront();

    static QString openPanelTitle();            // "Ouvrir un fond ou un document"
    static QString manualUnavailableMessage();  // "Le manuel local n’a pas pu être ouvert."
    // The installed manual ("Manuel.html"): beside the executable's share folder
    // (../share/pelmora-studio, in the build tree and once installed), else in the data
    // folders of the system; empty when not found.
    static QString manualPath();
    // Tests choose where the manual is (an empty path: missing).
    static void setManualPathOverride(std::optional<QString> path);

    // The files named on a command line (the program's name first), as absolute clean paths:
    // options are left out except after "--", and local file: addresses become paths.
    static QStringList filesOfArguments(const QStringList& arguments);

    // Whether some window of the application is on screen (not minimised).
    static bool hasVisibleWindows();

    DocumentController& documentController() const;

    // CommandResponder: the delegate's actions and the platform's.
    bool handles(const QString& command) const override;
    void perform(const QString& command, QObject* sender) override;
    CommandValidation validate(const QString& command, QAction* action) const override;

private:
    void registerCommands();
    void switchToFondMode(Document* document);

    QPointer<DocumentController> documents_;
    QPointer<InstanceChannel> channel_;
    bool usesSharedController_ = true;
    std::unique_ptr<MainMenu> mainMenu_;
    TextFieldCommands* textFields_ = nullptr;
    QHash<QString, std::function<void()>> commands_;
};
