#include "library/LibraryCoordinator.h"
#include "library/LibraryWindowController.h"
#include "library/OnlineHandOver.h"
#include "model/PlmEntity.h"
#include "platform/DialogHooks.h"
#include "platform/UserDefaults.h"
#include "support/LibraryTestSupport.h"

#include <QDir>
#include <QFile>
#include <QUndoStack>
#include <gtest/gtest.h>

namespace {

PlmImportResult converted()
{
    PlmPolygon square;
    square.exterior = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    PlmImportResult result;
    result.map = PlmMap(QStringLiteral("France — Départements"),
                        PlmEntityList({PlmEntity(QStringLiteral("01"), QStringLiteral("Ain"), PlmGeometry::polygon(square),
                                                 PlmStyle(PlmColor{0, 0, 0, 1}, PlmColor{1, 1, 1, 1}, 1, 3))}));
    return result;
}

class OnlineHandOverTest : public ::testing::Test {
protected:
    OnlineHandOverTest()
    {
        DialogHooks::Hooks h;
        h.alert = [this](const DialogHooks::Alert& a) {
            alerts << a.message;
            return answer;
        };
        h.presentError = [](const QString&, QWidget*) {};
        hooks = std::make_unique<DialogHooks::ScopedHooks>(h);
    }
    UserDefaults::TemporaryScope scope;
    RememberedLibrary library;
    std::unique_ptr<DialogHooks::ScopedHooks> hooks;
    QStringList alerts;
    int answer = 0;
};

TEST_F(OnlineHandOverTest, TheMapGoesToTheFolderWithItsUndoStep)
{
    QDir(library.path).mkdir(QStringLiteral("France"));
    const QString folder = library.path + QStringLiteral("/France");
    const PlmImportResult result = converted();
    const QString line = OnlineHandOver::handOver(result, folder, false);

    const QString file = folder + QStringLiteral("/France — Départements.plmmap");
    EXPECT_TRUE(QFile::exists(file));
    EXPECT_EQ(line, QStringLiteral("Ajouté : France — Départements.plmmap — ") + result.summary());
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(alerts.first(), QStringLiteral("Fond trouvé — France — Départements"));
    LibraryWindowController* window = LibraryCoordinator::shared().libraryWindowController();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->selectedItemURL(), file);
    EXPECT_EQ(window->undoStack()->undoText(), QStringLiteral("Ajouter à la bibliothèque"));
    window->undoStack()->undo();
    EXPECT_FALSE(QFile::exists(file));
}

TEST_F(OnlineHandOverTest, CancellingTheChoiceAddsNothing)
{
    answer = 1; // « Annuler »
    EXPECT_TRUE(OnlineHandOver::handOver(converted(), library.path, false).isEmpty());
    EXPECT_FALSE(QFile::exists(library.path + QStringLiteral("/France — Départements.plmmap")));
}

} // namespace
