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
