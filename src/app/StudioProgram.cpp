#include "app/StudioProgram.h"

#include "app/AppDelegate.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "platform/InstanceChannel.h"

#include <QApplication>

int StudioProgram::run()
{
    const QStringList files = AppDelegate::filesOfArguments(QCoreApplication::arguments());

    // One running instance per user: a second launch hands its files over and leaves.
    InstanceChannel channel(InstanceChannel::defaultName());
    if (channel.handOver(files))
        return 0;
    channel.listen();

    PlmWorkDocument::registerDocumentTypes();
    StudioWindowCommands::install();

    AppDelegate delegate;
    QObject::connect(&channel, &InstanceChannel::filesReceived, &delegate, &AppDelegate::handOverReceived);
    delegate.applicationDidFinishLaunching();
    if (!files.isEmpty())
        delegate.openURLs(files);
    return QApplication::exec();
}
