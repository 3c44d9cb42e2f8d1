#include "support/WorkDocumentTestSupport.h"

#include "app/PlmMapDocument.h"
#include "app/StudioWindowController.h"
#include "model/PlmMapCodec.h"
#include "model/PlmWorkCodec.h"
#include "desktop/DialogHooks.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class PlmMapDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlmWorkDocument::registerDocumentTypes();
        ASSERT_TRUE(dir.isValid());
    }

    QString writeMap(const QString& name, const QMap<QString, QString>& metadata)
    {
        PlmMap map = smallWork().map;
        map.name = QStringLiteral("Départements");
        map.metadata = metadata;
        const QString file = dir.filePath(name);
        writeBytes(file, PlmMapCodec::encode(map));
        return file;
    }

    struct Opened {
        QPointer<Document> document;
        QString error;
    };
    Opened open(const QString& file)
    {
        Opened o;
        controller.openDocument(file, true, [&o](Document* d, bool, const QString& e) {
            o.document = d;
            o.error = e;
        });
        return o;
    }

    UserDefaults::TemporaryScope defaults;
    FakeStudioWindows windows;
    QTemporaryDir dir;
    DocumentController controller;
};

TEST_F(PlmMapDocumentTest, AuthoredMapKeepsItsFileAndTypeAndOpensUnchanged)
{
    const QString file = writeMap(QStringLiteral("dessin.plmmap"), {{QStringLiteral("studio.authored"), QStringLiteral("true")}});
    const Opened o = open(file);
    EXPECT_TRUE(o.error.isEmpty());
    ASSERT_EQ(controller.documents().size(), 1); // the map document left
    auto* work = qobject_cast<PlmWorkDocument*>(controller.documents().first());
    ASSERT_NE(work, nullptr);
    EXPECT_EQ(work->filePath(), file);
    EXPECT_EQ(work->fileType(), QStringLiteral("ondrel.pelmorastudio.plmmap"));
    EXPECT_EQ(work->displayName(), QStringLiteral("Départements"));
    EXPECT_FALSE(work->isDocumentEdited());
    EXPECT_EQ(work->scopedDocumentPath(), file);
    EXPECT_EQ(work->work().sourceMapURL, std::optional<QString>(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)));
    ASSERT_NE(fakeWindowOf(*work), nullptr);
    EXPECT_TRUE(fakeWindowOf(*work)->window()->isVisible());
    EXPECT_FALSE(UserDefaults::contains(PlmWorkDocument::lastDocumentKey)); // not a ".plm"
    // A change another program makes to the file from now on is news to the work.
    EXPECT_EQ(work->diskVersion(), FileVersion::of(file));

    // Saving writes the base map back to its own file.
    work->updateWork(QStringLiteral("Renommer l’entité"), [](PlmWork& w) { w.map.entities.edit(0).name = QStringLiteral("Ain"); });
    ASSERT_TRUE(work->saveDocument());
    EXPECT_EQ(PlmMapCodec::decode(fileBytes(file)).entities.at(0).name, QStringLiteral("Ain"));
}

TEST_F(PlmMapDocumentTest, OtherMapsOpenAsChangedUntitledWorks)
{
    for (const QString& value : {QStringLiteral("TRUE"), QStringLiteral("1"), QString()}) {
        QMap<QString, QString> metadata;
        if (!value.isNull())
            metadata.insert(QStringLiteral("studio.authored"), value);
        const QString file = writeMap(QStringLiteral("import-%1.plmmap").arg(value), metadata);
        const Opened o = open(file);
        EXPECT_TRUE(o.error.isEmpty());
        auto* work = qobject_cast<PlmWorkDocument*>(controller.documents().last());
        ASSERT_NE(work, nullptr);
        EXPECT_TRUE(work->filePath().isEmpty());
        EXPECT_EQ(work->fileType(), QStringLiteral("ondrel.pelmorastudio.plm"));
        EXPECT_TRUE(work->isDocumentEdited());
        EXPECT_EQ(work->displayName(), QStringLiteral("Départements"));
        EXPECT_EQ(work->work().sourceMapURL, std::optional<QString>(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)));
        EXPECT_TRUE(work->work().variables.isEmpty());
    }
    EXPECT_EQ(controller.documents().size(), 3);
}

TEST_F(PlmMapDocumentTest, ImportedMapsOpenInFondModeWhateverModeWasLastUsed)
{
    StudioWindowController::install();
    UserDefaults::setValue(StudioWindowController::modeKey, int(StudioWindowController::Mode::carte));
    const Opened o = open(writeMap(QStringLiteral("import.plmmap"), {}));
    EXPECT_TRUE(o.error.isEmpty());
    auto* work = qobject_cast<PlmWorkDocument*>(controller.documents().last());
    ASSERT_NE(work, nullptr);
    auto* studio = qobject_cast<StudioWindowController*>(work->studioController());
    ASSERT_NE(studio, nullptr);
    EXPECT_EQ(studio->mode, StudioWindowController::Mode::fond);
    EXPECT_EQ(UserDefaults::integerValue(StudioWindowController::modeKey, -1), 0);
    // Switching changes nothing in the work: the only change is the one of an unsaved import.
    EXPECT_TRUE(work->isDocumentEdited());
    EXPECT_EQ(work->undoStack()->count(), 0);
    work->close();
}

TEST_F(PlmMapDocumentTest, SavingAnImportedMapAsksForANewWorkFileButAnAuthoredOneOffersBothTypes)
{
    QList<DialogHooks::SavePanelRequest> panels;
    DialogHooks::Hooks hooks;
    hooks.savePanel = [&panels](const DialogHooks::SavePanelRequest& r) -> std::optional<DialogHooks::SavePanelResult> {
        panels << r;
        return std::nullopt;
    };
    DialogHooks::ScopedHooks scoped(hooks);

    const QString imported = writeMap(QStringLiteral("import.plmmap"), {});
    open(imported);
    auto* work = qobject_cast<PlmWorkDocument*>(controller.documents().last());
    ASSERT_NE(work, nullptr);
    EXPECT_FALSE(work->saveDocument()); // untitled: the panel, cancelled here
    ASSERT_EQ(panels.size(), 1);
    ASSERT_EQ(panels[0].types.size(), 1);
    EXPECT_EQ(panels[0].types[0].identifier, QStringLiteral("ondrel.pelmorastudio.plm"));
    EXPECT_EQ(panels[0].selectedType, QStringLiteral("ondrel.pelmorastudio.plm"));
    EXPECT_EQ(panels[0].suggestedName, QStringLiteral("Départements"));

    const QString authored = writeMap(QStringLiteral("dessin.plmmap"), {{QStringLiteral("studio.authored"), QStringLiteral("true")}});
    const QByteArray authoredBytes = fileBytes(authored);
    open(authored);
    work = qobject_cast<PlmWorkDocument*>(controller.documents().last());
    ASSERT_NE(work, nullptr);
    EXPECT_FALSE(work->saveDocumentAs());
    ASSERT_EQ(panels.size(), 2);
    ASSERT_EQ(panels[1].types.size(), 2);
    EXPECT_EQ(panels[1].types[0].identifier, QStringLiteral("ondrel.pelmorastudio.plmmap"));
    EXPECT_EQ(panels[1].types[1].identifier, QStringLiteral("ondrel.pelmorastudio.plm"));
    EXPECT_EQ(panels[1].selectedType, QStringLiteral("ondrel.pelmorastudio.plmmap"));

    // Given data, the base map refuses its own type: « Enregistrer » on the save question that
    // follows the refusal offers the .plm chosen, and a name typed « .plm » is a work document,
    // whatever the list shows.
    work->updateWork(QStringLiteral("Ajouter une variable"),
                     [](PlmWork& w) { w.addVariable(QStringLiteral("Densité"), PlmVariableType::number); });
    const QString saved = dir.filePath(QStringLiteral("saved.plm"));
    hooks.savePanel = [&panels, saved](const DialogHooks::SavePanelRequest& r) {
        panels << r;
        return std::optional<DialogHooks::SavePanelResult>({saved, QStringLiteral("ondrel.pelmorastudio.plmmap")});
    };
    hooks.askSaveChanges = [](const QString&, QWidget*) { return DialogHooks::SaveChangesAnswer::Save; };
    hooks.presentError = [](const QString&, QWidget*) {}; // the refusal, read
    DialogHooks::ScopedHooks answering(hooks);
    EXPECT_TRUE(work->canClose());
    ASSERT_EQ(panels.size(), 3);
    EXPECT_EQ(panels[2].selectedType, QStringLiteral("ondrel.pelmorastudio.plm"));
    EXPECT_EQ(work->filePath(), saved);
    EXPECT_EQ(work->fileType(), QStringLiteral("ondrel.pelmorastudio.plm"));
    EXPECT_EQ(PlmWorkCodec::decode(fileBytes(saved)).variables.size(), 1);
    EXPECT_EQ(fileBytes(authored), authoredBytes);
}

TEST_F(PlmMapDocumentTest, SourceAddressIsAValidFileAddressEvenWithSpacesAndAccents)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("Mes cartes")));
    const QString file = writeMap(QStringLiteral("Mes cartes/Départements à jour.plmmap"), {});
    const Opened o = open(file);
    ASSERT_TRUE(o.error.isEmpty());
    auto* work = qobject_cast<PlmWorkDocument*>(controller.documents().last());
    ASSERT_NE(work, nullptr);
    const QString address = work->work().sourceMapURL.value_or(QString());
    EXPECT_TRUE(address.startsWith(QStringLiteral("file:///")));
    EXPECT_TRUE(address.endsWith(QStringLiteral("/Mes%20cartes/D%C3%A9partements%20%C3%A0%20jour.plmmap"))) << address.toStdString();
    EXPECT_EQ(QUrl(address, QUrl::StrictMode).toLocalFile(), file);
}

TEST_F(PlmMapDocumentTest, MapOfAnotherVersionOpensNothing)
{
    const QString file = dir.filePath(QStringLiteral("futur.plmmap"));
    writeBytes(file, "{\"map\": {\"entities\": [], \"metadata\": {}, \"name\": \"x\"}, \"version\": 2}");
    const Opened o = open(file);
    EXPECT_EQ(o.error, QStringLiteral("Version .plmmap non prise en charge : 2"));
    EXPECT_EQ(o.document, nullptr);
    EXPECT_TRUE(controller.documents().isEmpty());
}

TEST_F(PlmMapDocumentTest, MapDocumentWritesItsMapAlone)
{
    PlmMapDocument doc;
    EXPECT_EQ(doc.map().name, QStringLiteral("Sans titre"));
    doc.setMap(smallWork().map);
    EXPECT_TRUE(PlmMapCodec::decode(doc.dataOfType(QStringLiteral("quelconque"))) == smallWork().map);
}

} // namespace
