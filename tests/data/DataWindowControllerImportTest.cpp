// Importing a table file from the data pane: the read off the main thread reaching the import
// dialog, the size limit, failures, a document closed during the read, the drop and the command.
#include "support/DataPaneTestSupport.h"

#include "desktop/CommandRouter.h"

namespace {

class DataWindowControllerImportTest : public DataPaneTest::Fixture {};

using DataPaneTest::ModelSignals;
using DataPaneTest::tenEntities;

} // namespace

TEST_F(DataWindowControllerImportTest, AnImportedFileReachesTheImportDialogAndASecondReadWaits)
{
    pane.studioInspectorView();
    const QString path = writeFile(QStringLiteral("régions.csv"), QByteArray("code;valeur\nE1;12,5\nE2;7\n"));
    pane.importFile(path);
    EXPECT_TRUE(pane.readingImport);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Lecture de régions.csv…"));
    EXPECT_FALSE(button("Importer des données…")->isEnabled());
    EXPECT_FALSE(pane.validateAction(QStringLiteral("importData:")));
    pane.importFile(writeFile(QStringLiteral("autre.csv"), QByteArray("a;b\n1;2\n")));

    ASSERT_TRUE(waitForRead());
    DataImportWindowController* dialog = pane.importDialog();
    ASSERT_NE(dialog, nullptr);
    ASSERT_EQ(dialog->model().sheets().size(), 1);
    EXPECT_EQ(dialog->model().sheets().first().grid.size(), 3);
    EXPECT_EQ(dialog->model().sheets().first().grid.at(1), (QStringList{"E1", "12,5"}));
    EXPECT_TRUE(pane.statusLabel()->isHidden());
    EXPECT_TRUE(button("Importer des données…")->isEnabled());

    // A second read replaces the first dialog.
    QPointer<DataImportWindowController> first(dialog);
    pane.importFile(path);
    ASSERT_TRUE(waitForRead());
    QApplication::processEvents();
    EXPECT_NE(pane.importDialog(), first.data());
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    delete pane.importDialog();
}

TEST_F(DataWindowControllerImportTest, AFileOverSixtyFourMegabytesIsRefused)
{
    const QString path = folder.filePath(QStringLiteral("grand.csv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(DataWindowController::maximumImportSize + 1)); // sparse
    }
    pane.importFile(path);
    ASSERT_TRUE(waitForRead());
    EXPECT_EQ(pane.importDialog(), nullptr);
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.statusLabel()->text(), QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
    EXPECT_EQ(pane.beepCount, 1);
    EXPECT_TRUE(pane.validateAction(QStringLiteral("importData:")));
    // The message stays until the next refresh.
    pane.reloadTable();
    EXPECT_TRUE(pane.statusLabel()->isHidden());
}

TEST_F(DataWindowControllerImportTest, AFileOfExactlySixtyFourMegabytesIsRead)
{
    const QString path = folder.filePath(QStringLiteral("limite.csv"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(DataWindowController::maximumImportSize));
    }
    pane.importFile(path);
    ASSERT_TRUE(waitForRead());
    // Whatever the reader makes of it, the size did not stop it.
    EXPECT_NE(pane.statusLabel()->text(), QStringLiteral("Fichier trop volumineux (maximum 64 Mo)."));
    delete pane.importDialog();
}

TEST_F(DataWindowControllerImportTest, AnUnreadableFileShowsTheReadersMessage)
{
    pane.importFile(folder.filePath(QStringLiteral("absent.csv")));
    ASSERT_TRUE(waitForRead());
    EXPECT_EQ(pane.importDialog(), nullptr);
    EXPECT_FALSE(pane.statusLabel()->text().isEmpty());
    EXPECT_FALSE(pane.statusLabel()->isHidden());
    EXPECT_EQ(pane.beepCount, 1);
}

TEST_F(DataWindowControllerImportTest, ADocumentClosedDuringTheReadGetsNoDialogAndNoMessage)
{
    pane.importFile(writeFile(QStringLiteral("t.csv"), QByteArray("a;b\nE1;2\n")));
    delete owner.data();
    ASSERT_TRUE(waitForRead());
    EXPECT_EQ(pane.importDialog(), nullptr);
    EXPECT_EQ(pane.beepCount, 0);
    EXPECT_TRUE(pane.statusLabel()->isHidden());
    // Without a document nothing starts.
    pane.importFile(writeFile(QStringLiteral("u.csv"), QByteArray("a;b\nE1;2\n")));
    EXPECT_FALSE(pane.readingImport);
}

TEST_F(DataWindowControllerImportTest, AFileDroppedOnTheTableIsImported)
{
    showTable();
    const QString path = writeFile(QStringLiteral("déposé.tsv"), QByteArray("code\tx\nE4\t1\n"));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(20, 20);
    QDragEnterEvent enter(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.table()->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.table()->viewport(), &drop);
    EXPECT_TRUE(pane.readingImport);

    // While it is read, another drop is refused.
    QDragEnterEvent again(at, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(pane.table()->viewport(), &again);
    EXPECT_FALSE(again.isAccepted());

    ASSERT_TRUE(waitForRead());
    ASSERT_NE(pane.importDialog(), nullptr);
    EXPECT_EQ(pane.importDialog()->model().sheets().first().grid.at(1), (QStringList{"E4", "1"}));
    delete pane.importDialog();
}

TEST_F(DataWindowControllerImportTest, TheImportCommandAsksForOneFileThroughThePanel)
{
    const QString path = writeFile(QStringLiteral("p.csv"), QByteArray("a;b\nE1;2\n"));
    QList<DialogHooks::OpenPanelRequest> requests;
    DialogHooks::Hooks hooks;
    hooks.openPanel = [&](const DialogHooks::OpenPanelRequest& request) -> std::optional<QStringList> {
        requests.append(request);
        return QStringList{path};
    };
    DialogHooks::ScopedHooks scoped(hooks);
    pane.performAction(QStringLiteral("importData:"));
    pane.performAction(QStringLiteral("importData:")); // refused while the first read runs
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests.first().title, QStringLiteral("Importer des données — CSV, TSV, XLSX ou Pelmora .tab"));
    EXPECT_FALSE(requests.first().allowsMultipleSelection);
    EXPECT_FALSE(requests.first().canChooseDirectories);
    EXPECT_TRUE(requests.first().extensions.isEmpty());
    ASSERT_TRUE(waitForRead());
    ASSERT_NE(pane.importDialog(), nullptr);
    delete pane.importDialog();
}

TEST_F(DataWindowControllerImportTest, TheStudiosImportButtonReachesThePaneThroughItsView)
{
    // The studio sends "importData:" down the chain that starts at the embedded view.
    QWidget* view = pane.studioTableView();
    CommandResponder* target = nullptr;
    for (CommandResponder* responder : CommandRouter::shared().chainFrom(view)) {
        if (responder->handles(QStringLiteral("importData:"))) {
            target = responder;
            break;
        }
    }
    ASSERT_NE(target, nullptr);
    EXPECT_TRUE(target->validate(QStringLiteral("importData:"), nullptr).enabled);

    int panels = 0;
    DialogHooks::Hooks hooks;
    hooks.openPanel = [&panels](const DialogHooks::OpenPanelRequest&) -> std::optional<QStringList> {
        ++panels;
        return std::nullopt; // cancelled
    };
    DialogHooks::ScopedHooks scoped(hooks);
    target->perform(QStringLiteral("importData:"), nullptr);
    EXPECT_EQ(panels, 1);
    EXPECT_FALSE(pane.readingImport);

    pane.importFile(writeFile(QStringLiteral("v.csv"), QByteArray("a;b\nE1;2\n")));
    EXPECT_FALSE(target->validate(QStringLiteral("importData:"), nullptr).enabled);
    ASSERT_TRUE(waitForRead());
    delete pane.importDialog();
}
