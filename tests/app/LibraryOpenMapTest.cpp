#include "support/WorkDocumentTestSupport.h"

#include "app/PlmMapDocument.h"
#include "library/LibraryOutlineModel.h"
#include "desktop/DocumentController.h"
#include "support/LibraryWindowTestSupport.h"

#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Opening a map from the library makes a new, unsaved work document that owns a copy of the
// map; the library file is never the document's file.
class LibraryOpenMapTest : public ::testing::Test {
protected:
    void SetUp() override { PlmWorkDocument::registerDocumentTypes(); }

    FakeStudioWindows windows;
    DocumentController documents;
    LibraryWindowScene scene{false};

    QList<PlmWorkDocument*> works() const
    {
        QList<PlmWorkDocument*> list;
        for (Document* d : documents.documents())
            if (auto* w = qobject_cast<PlmWorkDocument*>(d))
                list << w;
        return list;
    }
};

} // namespace

TEST_F(LibraryOpenMapTest, aStudioMadeMapOpensTwiceAsTwoIndependentUnsavedDocuments)
{
    const PlmMap map = LibraryWindowScene::squares(QStringLiteral("Dessin"), 3, {{QStringLiteral("studio.authored"), QStringLiteral("true")}});
    const QString file = scene.writeMap(QStringLiteral("Croquis/Dessin.plmmap"), map);
    const QByteArray bytes = scene.contents().value(QStringLiteral("Croquis/Dessin.plmmap"));
    scene.controller->setDocumentController(&documents);
    scene.controller->reload(file);

    scene.controller->perform(QStringLiteral("openSelected:"), nullptr);
    scene.controller->openSelection(scene.controller->model()->indexForURL(file)); // a double click
    const QList<PlmWorkDocument*> opened = works();
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(documents.documents().size(), 2); // the base-map documents closed themselves
    EXPECT_NE(opened[0], opened[1]);
    for (PlmWorkDocument* work : opened) {
        EXPECT_TRUE(work->filePath().isEmpty());
        EXPECT_NE(work->fileType(), PlmWorkDocument::plmMapType());
        EXPECT_TRUE(work->isDocumentEdited());
        EXPECT_EQ(work->displayName(), QStringLiteral("Dessin"));
        EXPECT_EQ(work->work().map, map);
        EXPECT_EQ(work->work().sourceMapURL, std::optional<QString>(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)));
    }
    // Editing one leaves the other and the library file as they were.
    opened[0]->updateWork(QStringLiteral("Renommer l’entité"), [](PlmWork& w) { w.map.entities.edit(0).name = QStringLiteral("Ain"); });
    EXPECT_EQ(opened[1]->work().map, map);
    EXPECT_EQ(scene.contents().value(QStringLiteral("Croquis/Dessin.plmmap")), bytes);
    EXPECT_TRUE(scene.errors.isEmpty());
}

TEST_F(LibraryOpenMapTest, aMapWithDataAsksFirstAndCancellingOpensNothing)
{
    PlmMap map = LibraryWindowScene::squares(QStringLiteral("Communes"), 2, {{QStringLiteral("source.format"), QStringLiteral("GeoJSON")}});
    map.entities.edit(0).attributes.insert(QStringLiteral("population"), QStringLiteral("1200"));
    const QString file = scene.writeMap(QStringLiteral("Communes.plmmap"), map);
    scene.controller->setDocumentController(&documents);

    scene.alertAnswers = {2}; // "Annuler"
    scene.controller->openMap(file);
    ASSERT_EQ(scene.alerts.size(), 1);
    EXPECT_EQ(scene.alerts[0].message, QStringLiteral("Fond trouvé — Communes"));
    EXPECT_EQ(scene.alerts[0].buttons, (QStringList{QStringLiteral("Importer le fond et ses données"),
                                                    QStringLiteral("Importer le fond seul"), QStringLiteral("Annuler")}));
    EXPECT_TRUE(documents.documents().isEmpty());

    scene.alertAnswers = {1}; // "Importer le fond seul"
    scene.controller->openMap(file);
    ASSERT_EQ(works().size(), 1);
    EXPECT_EQ(works()[0]->work().map, map);
    EXPECT_TRUE(works()[0]->filePath().isEmpty());

    // A folder now in place of the map is refused with the store's sentence.
    QFile::remove(file);
    QDir().mkpath(file);
    scene.controller->openMap(file);
    EXPECT_EQ(scene.errors.size(), 1);
    EXPECT_EQ(works().size(), 1);
}
