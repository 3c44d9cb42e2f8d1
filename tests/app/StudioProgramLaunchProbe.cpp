// A program built like pelmora-studio's main() (the application object on main's stack, then
// StudioProgram::run()), for StudioProgramInstanceTest, which launches it as a person would,
// twice. It writes on its standard output, a line each, what the person would see:
//   opened: <file name>     a document opened
//   question: <text>        a question or an error, answered at once as if closed
// Usage: StudioProgramLaunchProbe [--quit-once-open] [--linger-at-end] [files to open].
// With --quit-once-open it quits as soon as a document is open and its event loop runs; else
// it runs until a signal ends it. With --linger-at-end, its loop ended, it says "ending" and
// stays a while before it goes on ending, as a long write of the documents would.

#include "app/StudioProgram.h"
#include "desktop/DialogHooks.h"
#include "desktop/Document.h"
#include "desktop/DocumentController.h"

#include <QApplication>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <cstdio>

namespace {

void say(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

DialogHooks::Hooks answeredAtOnce()
{
    DialogHooks::Hooks hooks;
    hooks.alert = [](const DialogHooks::Alert& alert) {
        say(QStringLiteral("question: ") + alert.message);
        return DialogHooks::unansweredButton(alert);
    };
    hooks.sheet = [](const DialogHooks::Alert& alert, std::function<void(int)> completion) {
        say(QStringLiteral("question: ") + alert.message);
        if (completion)
            completion(DialogHooks::unansweredButton(alert));
    };
    hooks.presentError = [](const QString& message, QWidget*) { say(QStringLiteral("question: ") + message); };
    hooks.askSaveChanges = [](const QString& name, QWidget*) {
        say(QStringLiteral("question: save ") + name);
        return DialogHooks::SaveChangesAnswer::Cancel;
    };
    hooks.openPanel = [](const DialogHooks::OpenPanelRequest&) { return std::optional<QStringList>(); };
    hooks.savePanel = [](const DialogHooks::SavePanelRequest&) { return std::optional<DialogHooks::SavePanelResult>(); };
    return hooks;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio"));
    QStandardPaths::setTestModeEnabled(true);
    DialogHooks::setFallbackHooks(answeredAtOnce());

    // Watched once the program runs: the program makes its documents' controller itself, and
    // what it does at the end comes before anything the probe adds.
    QTimer::singleShot(0, &app, [] {
        const auto opened = [](Document* document) {
            say(QStringLiteral("opened: ") + QFileInfo(document->filePath()).fileName());
        };
        for (Document* document : DocumentController::shared().documents())
            opened(document);
        QObject::connect(&DocumentController::shared(), &DocumentController::documentAdded, opened);
        if (QCoreApplication::arguments().contains(QStringLiteral("--linger-at-end")))
            QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] {
                say(QStringLiteral("ending"));
                QThread::sleep(3);
            });
    });
    if (QCoreApplication::arguments().contains(QStringLiteral("--quit-once-open"))) {
        // The program's own loop, not a read's, ends.
        auto* watch = new QTimer(&app);
        watch->setInterval(10);
        QObject::connect(watch, &QTimer::timeout, [] {
            if (QThread::currentThread()->loopLevel() == 1 && !DocumentController::shared().documents().isEmpty())
                QCoreApplication::exit(0);
        });
        watch->start();
    }
    return StudioProgram::run();
}
