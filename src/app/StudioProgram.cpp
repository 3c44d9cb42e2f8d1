#include "app/StudioProgram.h"

#include "app/AppDelegate.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "platform/InstanceChannel.h"
#include "platform/TerminationSignals.h"

#include <QApplication>

namespace {

// Ends the program's loop and any question's or panel's loop running inside it; the
// documents still open then take their pending changes as the loop ends, without a question.
void endTheEventLoop()
{
    QCoreApplication::exit(0);
}

} // namespace

int StudioProgram::run()
{
    const QStringList files = AppDelegate::filesOfArguments(QCoreApplication::arguments());

    // One running instance per user: a second launch hands its files over and leaves.
    InstanceChannel channel(InstanceChannel::defaultName());
    if (channel.handOver(files))
        return 0;
    channel.listen();

    // A logout, a shutdown, kill, Ctrl+C or a closed terminal ends the program as the end of
    // its event loop does, with exit code 0, rather than at once with the last edits.
    TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TerminationSignals::terminationRequested, qApp, endTheEventLoop);

    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();

    AppDelegate delegate;
    QObject::connect(&channel, &InstanceChannel::filesReceived, &delegate, &AppDelegate::handOverReceived);
    delegate.applicationDidFinishLaunching();
    if (!files.isEmpty())
        delegate.openURLs(files);
    // A signal delivered during the launch (in a document read's loop or under a question)
    // ended only that loop: the program's own ends as soon as it runs.
    if (terminationSignals.received())
        QMetaObject::invokeMethod(qApp, endTheEventLoop, Qt::QueuedConnection);
    return QApplication::exec();
}
