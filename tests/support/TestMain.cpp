#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

// Every test executable runs on the offscreen platform with its own settings scope, so
// widget tests need no display and no test ever reads or writes the user's settings.
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmora Tests"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio Tests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
