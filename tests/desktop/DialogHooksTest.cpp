#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// An open panel of a kind opens in the folder last used for that kind, and only there.
TEST(DialogHooksOpenPanel, APanelOpensWhereTheLastOfItsKindWasChosen)
{
    UserDefaults::TemporaryScope defaults;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString chosenFile = QDir(folder.path()).filePath(QStringLiteral("régions.csv"));
    QStringList directories;
    std::optional<QStringList> answer;
    DialogHooks::Hooks hooks;
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest& request) {
        directories << request.directory;
        return answer;
    };
    DialogHooks::ScopedHooks scope(hooks);
    DialogHooks::OpenPanelRequest tables;
    tables.folderKey = QStringLiteral("OpenPanel.Tables.Folder");

    DialogHooks::runOpenPanel(tables); // cancelled: nothing remembered
    answer = QStringList{chosenFile};
    DialogHooks::runOpenPanel(tables);
    answer.reset();
    DialogHooks::runOpenPanel(tables);
    // Another kind keeps its own folder; a given directory wins.
    DialogHooks::OpenPanelRequest maps;
    maps.folderKey = QStringLiteral("OpenPanel.BaseMaps.Folder");
    DialogHooks::runOpenPanel(maps);
    tables.directory = QStringLiteral("/tmp");
    DialogHooks::runOpenPanel(tables);
    EXPECT_EQ(directories, (QStringList{QString(), QString(), folder.path(), QString(), QStringLiteral("/tmp")}));

    // A folder that has gone is not offered.
    tables.directory.clear();
    folder.remove();
    DialogHooks::runOpenPanel(tables);
    EXPECT_EQ(directories.last(), QString());
}

// Once nobody can answer, nothing shows and no installed hook is asked: each question is
// answered as a dialog closed unanswered is, and what an alert or error says goes to the
// standard error output.
TEST(DialogHooksUnattended, NothingIsAskedAndEachQuestionIsAnsweredAsClosedUnanswered)
{
    int asked = 0;
    DialogHooks::Hooks hooks;
    hooks.alert = [&](const DialogHooks::Alert&) { return ++asked, 0; };
    hooks.sheet = [&](const DialogHooks::Alert&, std::function<void(int)> done) { ++asked, done(0); };
    hooks.presentError = [&](const QString&, QWidget*) { ++asked; };
    hooks.askSaveChanges = [&](const QString&, QWidget*) { return ++asked, DialogHooks::SaveChangesAnswer::Save; };
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest&) { return ++asked, std::optional<QStringList>(QStringList{QStringLiteral("/tmp/a")}); };
    hooks.savePanel = [&](const DialogHooks::SavePanelRequest&) {
        return ++asked, std::optional<DialogHooks::SavePanelResult>({QStringLiteral("/tmp/a.plm"), QString()});
    };
    hooks.colorPanel = [&](const QColor& c, const QString&, QWidget*) { return ++asked, std::optional<QColor>(c); };
    hooks.fontPanel = [&](const QFont& f, const QString&, QWidget*) { return ++asked, std::optional<QFont>(f); };
    DialogHooks::ScopedHooks scope(hooks);

    ASSERT_FALSE(DialogHooks::setUnattended(true));
    DialogHooks::Alert question;
    question.message = QStringLiteral("Supprimer « Bocage » ?");
    question.informativeText = QStringLiteral("Cette action est définitive.");
    question.buttons = {QStringLiteral("Supprimer"), QStringLiteral("Annuler")};
    DialogHooks::Alert notice;
    notice.message = QStringLiteral("Import terminé.");
    testing::internal::CaptureStderr();
    const int answer = DialogHooks::runAlert(question);
    const int noticeAnswer = DialogHooks::runAlert(notice);
    int sheetAnswer = -1;
    DialogHooks::beginSheet(question, [&](int index) { sheetAnswer = index; });
    DialogHooks::presentError(QStringLiteral("Le fichier est illisible.\n\nIl est vide."));
    const DialogHooks::SaveChangesAnswer save = DialogHooks::askSaveChanges(QStringLiteral("Croquis"));
    const bool opened = DialogHooks::runOpenPanel({}).has_value();
    const bool saved = DialogHooks::runSavePanel({}).has_value();
    const bool coloured = DialogHooks::chooseColor(Qt::red).has_value();
    const bool font = DialogHooks::chooseFont(QFont()).has_value();
    const std::string written = testing::internal::GetCapturedStderr();
    EXPECT_TRUE(DialogHooks::setUnattended(false));

    EXPECT_EQ(asked, 0);
    EXPECT_EQ(answer, 1);
    EXPECT_EQ(noticeAnswer, 0);
    EXPECT_EQ(sheetAnswer, 1);
    EXPECT_EQ(save, DialogHooks::SaveChangesAnswer::Cancel);
    EXPECT_FALSE(opened || saved || coloured || font);
    EXPECT_EQ(QString::fromLocal8Bit(written.c_str()),
              QStringLiteral("Pelmora Studio : Supprimer « Bocage » ? Cette action est définitive.\n"
                             "Pelmora Studio : Import terminé.\n"
                             "Pelmora Studio : Supprimer « Bocage » ? Cette action est définitive.\n"
                             "Pelmora Studio : Le fichier est illisible. Il est vide.\n"));

    // Attended again, the installed hooks answer.
    EXPECT_EQ(DialogHooks::runAlert(question), 0);
    EXPECT_EQ(asked, 1);
}
