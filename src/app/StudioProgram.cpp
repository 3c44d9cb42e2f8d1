#include "app/StudioProgram.h"

#include "app/AppDelegate.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/InstanceChannel.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

namespace {

// Ends the program as « Quitter » would, with nobody to answer: the edits in progress are
// taken, no question or panel shows any more (one showing is closed unanswered), and the
// program's loop ends, with any question's or panel's loop running inside it; the documents
// still open then take their pending changes as the loop ends.
void endOnSignal()
{
    DialogHooks::setUnattended(true);
    DocumentController::shared().commitEditsBeforeQuit();
    QCoreApplication::exit(0);
}

} // namespace

int StudioProgram::run()
{
    const QStringList files = AppDelegate::filesOfArguments(QCoreApplication::arguments());

    // One running instance per desktop session: a second launch hands its files over and
    // leaves. Where the channel cannot be made, this launch still starts, and says what follows.
    InstanceChannel channel(InstanceChannel::defaultName());
    if (channel.handOverOrListen(files))
        return 0;
    if (!channel.isListening())
        DialogHooks::reportUnattended(
            QStringLiteral("« %1 » ne peut pas être créé : les lancements suivants ouvriront chacun leur propre fenêtre.")
                .arg(channel.socketPath()));
    // As the loop ends the name goes: a later launch becomes the running instance rather than
    // handing its files to a program that will not open them.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, &channel, &InstanceChannel::stopListening);

    // A logout, a shutdown, kill, Ctrl+C or a closed terminal ends the program as the end of
    // its event loop does, with exit code 0, rather than at once with the last edits. The
    // signals are taken so until the process has exited, its settings written.
    TerminationSignals terminationSignals;
    terminationSignals.holdUntilExit();
    // The end a signal asks for is decided at once: a launch from then on becomes the next
    // running instance rather than handing its files to this one.
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, &channel,
                     &InstanceChannel::stopListening);
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, qApp, endOnSignal);

    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();

    int status = 0;
    {
        AppDelegate delegate;
        QObject::connect(&channel, &InstanceChannel::filesReceived, &delegate, &AppDelegate::handOverReceived);
        delegate.setInstanceChannel(&channel);
        delegate.applicationDidFinishLaunching();
        if (!files.isEmpty())
            delegate.openURLs(files);
        // A signal delivered during the launch (in a document read's loop or under a question)
        // ended only that loop: the program's own ends as soon as it runs.
        if (terminationSignals.received())
            QMetaObject::invokeMethod(qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        status = QApplication::exec();
        // The loop has ended: whatever happens now shows no window.
        DialogHooks::setUnattended(true);
        // The documents were written and closed as the loop ended; one made since (a command
        // that came in as they closed) is written before the delegate and its menus go.
        DocumentController::shared().closeDocumentsAtQuit();
    }
    // One made while the delegate went closes now, while the application object exists: its
    // windows may not outlive it.
    DocumentController& documents = DocumentController::shared();
    documents.closeDocumentsAtQuit();
    // What the end could not keep was said on the standard error output.
    return documents.changesLostAtQuit() > 0 ? 1 : status;
}
