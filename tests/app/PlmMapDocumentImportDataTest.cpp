#include "support/EventWait.h"
#include "support/WorkDocumentTestSupport.h"

#include "app/PlmMapDocument.h"
#include "data/DataImportWindowController.h"
#include "basemaps/PlmVectorImporter.h"
#include "mapimport/VectorImportUI.h"
#include "model/PlmMapCodec.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QFile>
#include <QPointer>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// An imported GeoJSON map opened in the studio with its data: the data import dialog comes up
// on the attribute table, and what it imports becomes variables of the new work.
class PlmMapDocumentImportDataTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlmWorkDocument::registerDocumentTypes();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("communes.geojson"));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(R"({"type":"FeatureCollection","features":[
            {"type":"Feature","id":"69123","properties":{"nom":"Lyon","pop":"522969","dep":"69"},"geometry":{"type":"Point","coordinates":[4.83,45.76]}},
            {"type":"Feature","id":"38544","properties":{"nom":"Vienne","pop":"29306","dep":"38"},"geometry":{"type":"Point","coordinates":[4.87,45.52]}}]})");
    }

    PlmWorkDocument* openInStudio(const QList<PlmInputSheet>& sheets)
    {
        result = PlmVectorImporter::importMap(path);
        auto* base = new PlmMapDocument;
        base->setMap(result.map);
        base->setFilePath(path);
        base->setImportedSheets(sheets);
        controller.addDocument(base);
        return base->openInStudio();
    }

    UserDefaults::TemporaryScope defaults;
    FakeStudioWindows windows;
    QTemporaryDir dir;
    QString path;
    PlmImportResult result;
    DocumentController controller;
};

TEST_F(PlmMapDocumentImportDataTest, TheAttributeTableOpensInTheDataImportDialogAndBecomesVariables)
{
    const QList<PlmInputSheet> sheets = VectorImportUI::importableVariables(PlmVectorImporter::importMap(path));
    ASSERT_EQ(sheets.size(), 1);
    PlmWorkDocument* document = openInStudio(sheets);
    ASSERT_NE(document, nullptr);
    EXPECT_TRUE(document->work().variables.isEmpty());
    QPointer<DataImportWindowController> dialog = qobject_cast<DataImportWindowController*>(document->acquisitionDialog());
    ASSERT_FALSE(dialog.isNull());
    EXPECT_TRUE(dialog->isVisible());
    // The attribute columns are offered, none chosen yet for a GeoJSON map.
    ASSERT_EQ(dialog->columnsTable()->rowCount(), 3);
    EXPECT_EQ(dialog->columnsTable()->item(1, 1)->text(), QStringLiteral("dep"));
    EXPECT_EQ(dialog->columnsTable()->item(2, 1)->text(), QStringLiteral("pop"));
    EXPECT_TRUE(dialog->model().selectedColumns().isEmpty());

    dialog->toggleColumn(2, true);
    ASSERT_TRUE(dialog->apply()->isEnabled());
    const PlmWork before = document->work();
    dialog->apply()->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(dialog.isNull());

    const PlmWork after = document->work();
    ASSERT_EQ(after.variables.size(), 1);
    EXPECT_EQ(after.variables.first().name, QStringLiteral("pop"));
    const QString lyon = result.map.entities.at(0).id;
    const QString vienne = result.map.entities.at(1).id;
    EXPECT_EQ(after.variables.first().values.value(lyon), PlmValue::number(522969));
    EXPECT_EQ(after.variables.first().values.value(vienne), PlmValue::number(29306));
    ASSERT_NE(document->undoStack(), nullptr);
    EXPECT_EQ(document->undoStack()->undoText(), QStringLiteral("Importer les données"));
    document->undoStack()->undo();
    EXPECT_EQ(document->work().variables, before.variables);
}

// The whole road from the file: the choice alert, the studio document, the dialog.
TEST_F(PlmMapDocumentImportDataTest, ImportingWithItsDataFromTheFileOpensTheDialogOnTheNewWork)
{
    for (const int answer : {0, 1}) {
        QStringList buttons;
        DialogHooks::Hooks hooks;
        hooks.alert = [&](const DialogHooks::Alert& alert) {
            buttons = alert.buttons;
            return answer;
        };
        DialogHooks::ScopedHooks scope(hooks);
        DocumentController documents;
        bool done = false;
        VectorImportUI::importFile(path, &documents, [&done] { done = true; });
        ASSERT_TRUE(waitUntil([&done] { return done; }));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(buttons, (QStringList{QStringLiteral("Importer le fond et ses données"),
                                        QStringLiteral("Importer le fond seul"), QStringLiteral("Annuler")}));
        PlmWorkDocument* work = nullptr;
        for (Document* document : documents.documents())
            if (auto* candidate = qobject_cast<PlmWorkDocument*>(document))
                work = candidate;
        ASSERT_NE(work, nullptr) << answer;
        auto* dialog = qobject_cast<DataImportWindowController*>(work->acquisitionDialog());
        EXPECT_EQ(dialog != nullptr, answer == 0);
        if (dialog) {
            dialog->toggleColumn(1, true);
            dialog->apply()->click();
            ASSERT_EQ(work->work().variables.size(), 1);
            EXPECT_EQ(work->work().variables.first().name, QStringLiteral("dep"));
        } else {
            EXPECT_TRUE(work->work().variables.isEmpty());
        }
        for (Document* document : documents.documents())
            document->close();
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

TEST_F(PlmMapDocumentImportDataTest, TheBaseMapAloneOpensNoDataDialog)
{
    PlmWorkDocument* document = openInStudio({});
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->acquisitionDialog(), nullptr);
    EXPECT_TRUE(document->work().variables.isEmpty());
    EXPECT_EQ(document->work().map, result.map);
}

// A studio-made map taken through "Importer…" (from a library, say) becomes a new unsaved work
// each time: saving it never writes over the file, and a second import is a second document.
TEST_F(PlmMapDocumentImportDataTest, AnImportedStudioMapIsANewUntitledWorkEachTime)
{
    PlmMap map;
    map.name = QStringLiteral("Régions");
    map.entities.append(square(QStringLiteral("a")));
    map.metadata.insert(QStringLiteral("studio.authored"), QStringLiteral("true"));
    const QString file = dir.filePath(QStringLiteral("Régions.plmmap"));
    const QByteArray bytes = PlmMapCodec::encode(map);
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
    }
    QStringList alerts;
    DialogHooks::Hooks hooks;
    hooks.alert = [&](const DialogHooks::Alert& alert) {
        alerts << alert.message;
        return 0;
    };
    DialogHooks::ScopedHooks scope(hooks);
    DocumentController documents;
    for (int i = 0; i < 2; ++i) {
        bool done = false;
        VectorImportUI::importFile(file, &documents, [&done] { done = true; });
        ASSERT_TRUE(waitUntil([&done] { return done; }));
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(alerts, (QStringList{QStringLiteral("Fond trouvé — Régions"), QStringLiteral("Fond trouvé — Régions")}));
    QList<PlmWorkDocument*> works;
    for (Document* document : documents.documents())
        if (auto* work = qobject_cast<PlmWorkDocument*>(document))
            works << work;
    ASSERT_EQ(works.size(), 2);
    EXPECT_NE(works.at(0), works.at(1));
    for (PlmWorkDocument* work : works) {
        EXPECT_TRUE(work->filePath().isEmpty());
        EXPECT_TRUE(work->isDocumentEdited());
        EXPECT_EQ(work->displayName(), QStringLiteral("Régions"));
        EXPECT_EQ(work->work().map, map);
        EXPECT_EQ(work->work().sourceMapURL, QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded));
    }
    for (Document* document : documents.documents())
        document->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), bytes);
}

} // namespace
