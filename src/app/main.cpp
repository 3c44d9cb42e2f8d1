#include "app/AppDelegate.h"
#include "app/PlmWorkDocument.h"
#include "app/StudioWindowController.h"
#include "platform/InstanceChannel.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>
#include <QUrl>

namespace {

// The files named on the command line, as absolute paths (file: addresses from a desktop
// launcher included); options are left out, except after "--".
QStringList filesOfArguments(const QStringList& arguments)
{
    QStringList files;
    bool optionsEnded = false;
    for (const QString& argument : arguments.mid(1)) {
        if (!optionsEnded && argument == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && argument.startsWith(QLatin1Char('-')))
            continue;
        QString path = argument;
        if (argument.startsWith(QLatin1String("file:"))) {
            const QUrl url(argument);
            if (!url.isLocalFile())
                continue;
            path = url.toLocalFile();
        }
        if (!path.isEmpty())
            files.append(QDir::cleanPath(QFileInfo(path).absoluteFilePath()));
    }
    return files;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmora"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio"));
    QCoreApplication::setApplicationVersion(QStringLiteral("0.1"));
    QGuiApplication::setDesktopFileName(QStringLiteral("pelmora-studio"));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("pelmora-studio")));
    // Qt's own dialogs and buttons (file panels, "Annuler") speak French too.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::French, QLocale::France), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&qtTexts);

    const QStringList files = filesOfArguments(QCoreApplication::arguments());

    // One running instance per user: a second launch hands its files over and leaves.
    InstanceChannel channel(InstanceChannel::defaultName());
    if (channel.handOver(files))
        return 0;
    channel.listen();

    PlmWorkDocument::registerDocumentTypes();
    StudioWindowController::install();

    AppDelegate delegate;
    QObject::connect(&channel, &InstanceChannel::filesReceived, &delegate, &AppDelegate::handOverReceived);
    delegate.applicationDidFinishLaunching();
    if (!files.isEmpty())
        delegate.openURLs(files);
    return app.exec();
}
