#include "app/StudioProgram.h"

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

    return StudioProgram::run();
}
