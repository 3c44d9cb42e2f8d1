#include "app/AppDelegate.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowCommands.h"
#include "platform/InstanceChannel.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PELMORA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("pelmora-studio"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("pelmora-studio"), QIcon(QStringLiteral(":/pelmora-studio.svg"))));
    // Qt's own dialogs and buttons (file panels, "Annuler") speak French too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

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
    return app.exec();
}
