#include <QStandardPaths>
#include <gtest/gtest.h>

#if defined(PELMORA_TEST_MAIN_CORE)
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#elif defined(PELMORA_TEST_MAIN_GUI)
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#else
#define PELMORA_TEST_MAIN_WIDGETS
#include "desktop/DialogHooks.h"

#include <QApplication>
using TestApplication = QApplication;

namespace {

// A question no test answered must never wait for a click: it is answered at once (the
// default button, "cancel" for panels) and named on stderr so the test can be mended.
DialogHooks::Hooks unansweredQuestions()
{
    DialogHooks::Hooks hooks;
    hooks.alert = [](const DialogHooks::Alert& alert) {
        qWarning("Alerte sans réponse dans le test : %s", qPrintable(alert.message));
        return 0;
    };
    hooks.sheet = [](const DialogHooks::Alert& alert, std::function<void(int)> completion) {
        qWarning("Feuille sans réponse dans le test : %s", qPrintable(alert.message));
        if (completion)
            completion(0);
    };
    hooks.presentError = [](const QString& message, QWidget*) {
        qWarning("Erreur présentée dans le test : %s", qPrintable(message));
    };
    hooks.askSaveChanges = [](const QString&, QWidget*) { return DialogHooks::SaveChangesAnswer::DontSave; };
    hooks.openPanel = [](const DialogHooks::OpenPanelRequest&) { return std::optional<QStringList>(); };
    hooks.savePanel = [](const DialogHooks::SavePanelRequest&) {
        return std::optional<DialogHooks::SavePanelResult>();
    };
    hooks.colorPanel = [](const QColor&, const QString&, QWidget*) { return std::optional<QColor>(); };
    hooks.fontPanel = [](const QFont&, const QString&, QWidget*) { return std::optional<QFont>(); };
    return hooks;
}

} // namespace
#endif

// Every test executable runs on the offscreen platform with its own settings scope, so
// widget tests need no display and no test ever reads or writes the user's settings. The
// application is the least the tested layer needs (see tests/CMakeLists.txt).
int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    TestApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Pelmora Tests"));
    QCoreApplication::setApplicationName(QStringLiteral("Pelmora Studio Tests"));
#ifdef PELMORA_TEST_MAIN_WIDGETS
    DialogHooks::setFallbackHooks(unansweredQuestions());
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
