#include "support/WorkDocumentTestSupport.h"
#include "support/CanvasTestMaps.h"

#include "model/PlmFileLimits.h"
#include "model/PlmMapCodec.h"
#include "model/PlmWorkCodec.h"
#include "platform/Bookmark.h"
#include "desktop/DocumentController.h"
#include "platform/UserDefaults.h"

#include <QDir>
#include <QPointer>
#include <QTemporaryDir>
#include <QUndoStack>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {

class PlmWorkDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        PlmWorkDocument::registerDocumentTypes();
        ASSERT_TRUE(dir.isValid());
        DialogHooks::Hooks hooks;
        hooks.presentError = [this](const QString& m, QWidget*) { errors << m; };
        hooks.savePanel = [this](const DialogHooks::SavePanelRequest& r) -> std::optional<DialogHooks::SavePanelResult> {
            panels << r;
            return std::nullopt;
        };
        scoped = std::make_unique<DialogHooks::ScopedHooks>(hooks);
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    UserDefaults::TemporaryScope defaults;
    FakeStudioWindows windows;
    QTemporaryDir dir;
    QStringList errors;
    QList<DialogHooks::SavePanelRequest> panels;
    std::unique_ptr<DialogHooks::ScopedHooks> scoped;
};

TEST_F(PlmWorkDocumentTest, NewDocumentIsAnUntitledWork)
{
    PlmWorkDocument doc;
    EXPECT_EQ(doc.work().map.name, QStringLiteral("Sans titre"));
    EXPECT_TRUE(doc.work().map.entities.isEmpty());
    EXPECT_TRUE(doc.work().variables.isEmpty());
    EXPECT_EQ(doc.fileType(), QStringLiteral("ondrel.pelmorastudio.plm"));
    EXPECT_EQ(doc.writableTypeIdentifiers(), QStringList{QStringLiteral("ondrel.pelmorastudio.plm")});
    doc.setFileType(PlmWorkDocument::plmMapType());
    EXPECT_EQ(doc.writableTypeIdentifiers(),
              (QStringList{QStringLiteral("ondrel.pelmorastudio.plmmap"), QStringLiteral("ondrel.pelmorastudio.plm")}));
}

TEST_F(PlmWorkDocumentTest, SavingAsBaseMapRefusesWhatTheMapCannotHold)
{
    PlmWorkDocument doc;
    PlmWork w = smallWork();
    w.thematic = PlmThematicSettings(); // dropped silently
    doc.setWork(w);
    const QString refused = messageOf([&] { doc.encodeDocument(PlmWorkDocument::plmMapType()); });
    EXPECT_EQ(refused, QStringLiteral("Enregistrez au format .plm pour conserver les données, l’habillage, l’image de fond, "
                                      "la page d’impression et l’affichage des noms. Le .plmmap contient uniquement le fond vectoriel."));

    w.variables.clear();
    w.thematic.reset();
    w.decoration = PlmDecoration();
    w.decoration->showEntityNames = false;
    doc.setWork(w);
    const QByteArray bytes = doc.encodeDocument(PlmWorkDocument::plmMapType());
    EXPECT_TRUE(PlmMapCodec::decode(bytes) == w.map);

    w.decoration->showEntityNames = true;
    doc.setWork(w);
    EXPECT_EQ(messageOf([&] { doc.encodeDocument(PlmWorkDocument::plmMapType()); }), PlmWorkDocument::mapOnlyMessage());
    w.decoration->showEntityNames.reset();
    w.decoration->entityNamePositions = QMap<QString, PlmPoint>();
    doc.setWork(w);
    EXPECT_NO_THROW(doc.encodeDocument(PlmWorkDocument::plmMapType())); // an empty list of positions is nothing
    w.decoration->entityNameFontSize = 12;
    doc.setWork(w);
    EXPECT_EQ(messageOf([&] { doc.encodeDocument(PlmWorkDocument::plmMapType()); }), PlmWorkDocument::mapOnlyMessage());

    EXPECT_EQ(messageOf([&] { doc.encodeDocument(QStringLiteral("public.json")); }),
              QStringLiteral("Les données doivent être enregistrées dans un document .plm."));
}

TEST_F(PlmWorkDocumentTest, EachThingTheBaseMapCannotHoldRefusesItAlone)
{
    struct Case {
        const char* name;
        std::function<void(PlmWork&)> add;
        bool refused;
    };
    const QList<Case> cases = {
        {"a variable", [](PlmWork& w) { w.variables = smallWork().variables; }, true},
        {"a layout object", [](PlmWork& w) { w.decoration->objects.append(PlmDecorationObject()); }, true},
        {"a background image", [](PlmWork& w) { w.decoration->backgroundImage = PlmBackgroundImage(); }, true},
        {"a print page", [](PlmWork& w) { w.decoration->printPage = PlmPrintPage(); }, true},
        {"names shown", [](PlmWork& w) { w.decoration->showEntityNames = true; }, true},
        {"a name font", [](PlmWork& w) { w.decoration->entityNameFontName = QStringLiteral("Helvetica"); }, true},
        {"a name size", [](PlmWork& w) { w.decoration->entityNameFontSize = 9; }, true},
        {"a name position",
         [](PlmWork& w) { w.decoration->entityNamePositions = QMap<QString, PlmPoint>{{QStringLiteral("a"), PlmPoint{1, 2}}}; }, true},
        // Dropped without a word: the map alone is written.
        {"names hidden", [](PlmWork& w) { w.decoration->showEntityNames = false; }, false},
        {"no name positions", [](PlmWork& w) { w.decoration->entityNamePositions = QMap<QString, PlmPoint>(); }, false},
        {"thematic settings", [](PlmWork& w) { w.thematic = PlmThematicSettings(); }, false},
        {"a composition size and a source",
         [](PlmWork& w) {
             w.decoration->compositionSize = PlmPoint{595, 842};
             w.sourceMapURL = QStringLiteral("file:///tmp/fond.plmmap");
         },
         false},
    };
    for (const Case& c : cases) {
        PlmWork w = smallWork();
        w.variables.clear();
        w.decoration = PlmDecoration();
        c.add(w);
        PlmWorkDocument doc;
        doc.setWork(w);
        QByteArray bytes;
        const QString message = messageOf([&] { bytes = doc.encodeDocument(PlmWorkDocument::plmMapType()); });
        if (c.refused) {
            EXPECT_EQ(message, PlmWorkDocument::mapOnlyMessage()) << c.name;
        } else {
            EXPECT_EQ(message, QStringLiteral("<aucune erreur>")) << c.name;
            EXPECT_TRUE(PlmMapCodec::decode(bytes) == w.map) << c.name;
        }
    }
}

TEST_F(PlmWorkDocumentTest, ReadingABaseMapMakesABareWork)
{
    PlmWork w = smallWork();
    PlmWorkDocument doc;
    doc.decodeDocument(PlmMapCodec::encode(w.map), PlmWorkDocument::plmMapType());
    const PlmWork read = doc.work();
    EXPECT_TRUE(read.map == w.map);
    EXPECT_TRUE(read.variables.isEmpty());
    EXPECT_FALSE(read.thematic.has_value());
    EXPECT_FALSE(read.decoration.has_value());
    EXPECT_FALSE(read.sourceMapURL.has_value());

    PlmWorkDocument other;
    other.decodeDocument(PlmWorkCodec::encode(w), QStringLiteral("n’importe quoi"));
    EXPECT_EQ(other.work().variables.size(), 1);
    const QString bad = messageOf([&] { other.decodeDocument("{\"version\": 2, \"work\": {}}", PlmWorkDocument::plmType); });
    EXPECT_EQ(bad, QStringLiteral("Version .plm non prise en charge : 2"));
    EXPECT_EQ(other.work().variables.size(), 1); // unchanged
}

TEST_F(PlmWorkDocumentTest, ReadingForgetsTheStepsOfTheWorkItReplaces)
{
    PlmWorkDocument doc;
    doc.setWork(smallWork());
    doc.updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("a"), PlmValue::number(1)); });
    PlmWork other = smallWork();
    other.variables[0].values.insert(QStringLiteral("b"), PlmValue::number(2));
    doc.decodeDocument(PlmWorkCodec::encode(other), PlmWorkDocument::plmType);
    EXPECT_EQ(doc.undoStack()->count(), 0);
    doc.undo();
    EXPECT_TRUE(doc.work() == other);
}

TEST_F(PlmWorkDocumentTest, BaseMapTypeWithVariablesFailsEveryWriteUntilSavedAsPlm)
{
    const QString file = path(QStringLiteral("fond.plmmap"));
    PlmWorkDocument doc;
    doc.setWork([] { PlmWork w = smallWork(); w.variables.clear(); return w; }());
    doc.setFileType(PlmWorkDocument::plmMapType());
    ASSERT_TRUE(doc.saveToFile(file, PlmWorkDocument::plmMapType(), Document::SaveOperation::SaveAs));
    const QByteArray original = fileBytes(file);

    doc.updateWork(QStringLiteral("Importer les données"), [](PlmWork& w) { w.variables = smallWork().variables; });
    EXPECT_FALSE(doc.autosave());
    EXPECT_FALSE(doc.autosave());
    EXPECT_FALSE(doc.saveDocument());
    EXPECT_EQ(errors.size(), 2); // the autosave reports once; the explicit save again
    EXPECT_EQ(errors.first(), PlmWorkDocument::mapOnlyMessage());
    EXPECT_TRUE(doc.isDocumentEdited());
    EXPECT_EQ(fileBytes(file), original);

    const QString plm = path(QStringLiteral("travail.plm"));
    ASSERT_TRUE(doc.saveToFile(plm, PlmWorkDocument::plmType, Document::SaveOperation::SaveAs));
    EXPECT_FALSE(doc.isDocumentEdited());
    EXPECT_EQ(PlmWorkCodec::decode(fileBytes(plm)).variables.size(), 1);
}

TEST_F(PlmWorkDocumentTest, DeeplyNestedGroupsSaveAndReopenInBothTypes)
{
    // Growing indentation made such a map several times larger than its data, past what
    // reading accepts.
    PlmWork work;
    work.map = CanvasTestMaps::nestedGroupsMap(16, 24);
    for (const QString& type : {PlmWorkDocument::plmType, PlmWorkDocument::plmMapType()}) {
        PlmWorkDocument doc;
        doc.setWork(work);
        doc.setFileType(type);
        const QString file = path(type == PlmWorkDocument::plmType ? QStringLiteral("groupes.plm") : QStringLiteral("groupes.plmmap"));
        ASSERT_TRUE(doc.saveToFile(file, type, Document::SaveOperation::SaveAs)) << errors.join('\n').toStdString();
        PlmWorkDocument reopened;
        QString error;
        ASSERT_TRUE(reopened.readFromFile(file, type, &error)) << error.toStdString();
        EXPECT_TRUE(reopened.work().map == work.map);
    }
}

TEST_F(PlmWorkDocumentTest, AWorkTooLargeToReopenIsNotWrittenAndTheOldFileStays)
{
    const QString file = path(QStringLiteral("volumineux.plm"));
    PlmWorkDocument doc;
    doc.setWork(smallWork());
    ASSERT_TRUE(doc.saveToFile(file, PlmWorkDocument::plmType, Document::SaveOperation::SaveAs));
    const QByteArray original = fileBytes(file);

    // Base64 makes these bytes a third larger than the largest file that opens.
    doc.updateWork(QStringLiteral("Ajouter une source"), [](PlmWork& w) {
        w.map.sources = QList<PlmSource>{{QStringLiteral("fond.svg"), QByteArray(3 * (plmMaximumFileBytes / 4), 'x')}};
    });
    EXPECT_FALSE(doc.autosave());
    EXPECT_FALSE(doc.saveToFile(file, PlmWorkDocument::plmType, Document::SaveOperation::Save));
    EXPECT_EQ(errors, QStringList{QStringLiteral("Le document est trop volumineux pour être enregistré (256 Mo au plus).")});
    EXPECT_EQ(fileBytes(file), original);
    EXPECT_TRUE(doc.isDocumentEdited());
}

TEST_F(PlmWorkDocumentTest, EditThenUndoSavesTheOriginalBytes)
{
    const QString file = path(QStringLiteral("aller-retour.plm"));
    writeBytes(file, PlmWorkCodec::encode(smallWork()));
    const QByteArray original = fileBytes(file);
    DocumentController controller;
    QPointer<Document> opened;
    controller.openDocument(file, false, [&](Document* d, bool, const QString&) { opened = d; });
    auto* doc = qobject_cast<PlmWorkDocument*>(opened.data());
    ASSERT_NE(doc, nullptr);

    doc->updateWork(QStringLiteral("Saisir une cellule"), [](PlmWork& w) { w.variables[0].values.insert(QStringLiteral("c"), PlmValue::number(-0.0)); });
    doc->updateWork(QStringLiteral("Supprimer les entités"), [](PlmWork& w) {
        w.map.entities.removeAt(0);
        w.variables[0].values.remove(QStringLiteral("a"));
    });
    doc->undo();
    doc->undo();
    EXPECT_FALSE(doc->isDocumentEdited());
    ASSERT_TRUE(doc->saveToFile(file, doc->fileType(), Document::SaveOperation::Save));
    EXPECT_EQ(fileBytes(file), original);
}

TEST_F(PlmWorkDocumentTest, SaveWaitsForPendingEditsAndCompositionGoesIntoTheCopyOnly)
{
    PlmWorkDocument doc;
    doc.setWork(smallWork());
    doc.makeWindowControllers();
    FakeStudioWindow* window = fakeWindowOf(doc);
    ASSERT_NE(window, nullptr);

    window->acceptCommit = false;
    EXPECT_FALSE(doc.saveDocument());
    EXPECT_FALSE(doc.saveDocumentAs());
    EXPECT_FALSE(doc.canClose()); // even unchanged: the refused edit stays on screen
    EXPECT_TRUE(panels.isEmpty());
    EXPECT_TRUE(errors.isEmpty());

    window->acceptCommit = true;
    window->composition = [](PlmWork& w) {
        w.decoration = PlmDecoration();
        w.decoration->compositionSize = PlmPoint{595, 842};
    };
    const QString file = path(QStringLiteral("composition.plm"));
    ASSERT_TRUE(doc.saveToFile(file, PlmWorkDocument::plmType, Document::SaveOperation::SaveAs));
    EXPECT_EQ(PlmWorkCodec::decode(fileBytes(file)).decoration->compositionSize, (PlmPoint{595, 842}));
    EXPECT_FALSE(doc.work().decoration.has_value());

    EXPECT_FALSE(doc.saveDocumentAs()); // the panel is cancelled
    EXPECT_EQ(window->commits, 4);
    ASSERT_EQ(panels.size(), 1);
    EXPECT_EQ(panels[0].types.size(), 1);
    EXPECT_EQ(panels[0].types[0].extensions, QStringList{QStringLiteral("plm")});
}

TEST_F(PlmWorkDocumentTest, OnlyPlmFilesBecomeTheLastDocument)
{
    const QString map = path(QStringLiteral("fond.plmmap"));
    const QString work = path(QStringLiteral("Travail.PLM"));
    writeBytes(map, "{}");
    writeBytes(work, "{}");
    PlmWorkDocument doc;
    doc.setFilePath(map);
    EXPECT_FALSE(UserDefaults::contains(PlmWorkDocument::lastDocumentKey));
    doc.setFilePath(work);
    EXPECT_EQ(Bookmark::resolve(UserDefaults::dataValue(PlmWorkDocument::lastDocumentKey)), QDir::cleanPath(work));
}

QStringList warnings;
void recordWarning(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

TEST_F(PlmWorkDocumentTest, ShowingTheStudioWindowRenewsTheBookmarkOfAPlmOnly)
{
    const QString map = path(QStringLiteral("fond.plmmap"));
    writeBytes(map, "{}");
    PlmWorkDocument mapDoc;
    mapDoc.setFilePath(map);
    mapDoc.showStudioWindow();
    EXPECT_FALSE(UserDefaults::contains(PlmWorkDocument::lastDocumentKey));
    ASSERT_NE(fakeWindowOf(mapDoc), nullptr);
    EXPECT_TRUE(fakeWindowOf(mapDoc)->window()->isVisible());

    const QString work = path(QStringLiteral("travail.plm"));
    writeBytes(work, "{}");
    PlmWorkDocument workDoc;
    workDoc.setFilePath(work);
    UserDefaults::remove(PlmWorkDocument::lastDocumentKey);
    workDoc.showStudioWindow();
    EXPECT_EQ(Bookmark::resolve(UserDefaults::dataValue(PlmWorkDocument::lastDocumentKey)), QDir::cleanPath(work));
    DocumentWindowController* first = workDoc.studioController();
    workDoc.showStudioWindow();
    EXPECT_EQ(workDoc.studioController(), first); // never a second studio window
    EXPECT_EQ(workDoc.windowControllers().size(), 1);
}

TEST_F(PlmWorkDocumentTest, UnmakeableBookmarkLogsOneLineAndKeepsTheOldOne)
{
    const QString kept = path(QStringLiteral("ancien.plm"));
    writeBytes(kept, "{}");
    PlmWorkDocument::rememberLastDocument(kept);
    warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(recordWarning);
    PlmWorkDocument::rememberLastDocument(path(QStringLiteral("disparu.plm")));
    qInstallMessageHandler(previous);
    ASSERT_EQ(warnings.size(), 1);
    EXPECT_EQ(warnings[0], QStringLiteral("Accès persistant au document Studio indisponible : Le fichier « %1 » est introuvable.")
                               .arg(path(QStringLiteral("disparu.plm"))));
    EXPECT_EQ(Bookmark::resolve(UserDefaults::dataValue(PlmWorkDocument::lastDocumentKey)), QDir::cleanPath(kept));
}

TEST_F(PlmWorkDocumentTest, RestoreReopensTheLastWorkOrReportsFalseOnce)
{
    DocumentController controller;
    QList<bool> results;
    auto finish = [&results](bool opened) { results << opened; };

    PlmWorkDocument::restoreLastDocument(finish, controller);
    EXPECT_EQ(results, QList<bool>{false}); // nothing stored

    UserDefaults::setValue(PlmWorkDocument::lastDocumentKey, QDir::cleanPath(dir.path()).toUtf8());
    PlmWorkDocument::restoreLastDocument(finish, controller);
    EXPECT_EQ(results.last(), false); // a folder

    const QString file = path(QStringLiteral("dernier.plm"));
    writeBytes(file, PlmWorkCodec::encode(smallWork()));
    PlmWorkDocument::rememberLastDocument(file);
    PlmWorkDocument::restoreLastDocument(finish, controller);
    EXPECT_EQ(results.last(), true);
    ASSERT_EQ(controller.documents().size(), 1);
    auto* doc = qobject_cast<PlmWorkDocument*>(controller.documents().first());
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->scopedDocumentPath(), QDir::cleanPath(file));
    EXPECT_NE(fakeWindowOf(*doc), nullptr); // opened with its studio window

    writeBytes(path(QStringLiteral("casse.plm")), "pas du JSON");
    PlmWorkDocument::rememberLastDocument(path(QStringLiteral("casse.plm")));
    PlmWorkDocument::restoreLastDocument(finish, controller);
    EXPECT_EQ(results.last(), false);
    QFile::remove(path(QStringLiteral("casse.plm")));
    PlmWorkDocument::restoreLastDocument(finish, controller);
    EXPECT_EQ(results.size(), 5);
    EXPECT_EQ(results.last(), false);
    EXPECT_EQ(controller.documents().size(), 1);
}

TEST_F(PlmWorkDocumentTest, RestoreReportsFalseForUnreadableBookmarksAndOtherDocumentClasses)
{
    DocumentController controller;
    QList<bool> results;
    auto finish = [&results](bool opened) { results << opened; };
    for (const QByteArray& garbage : {QByteArray("relatif/dernier.plm"), QByteArray("/tmp/\0nul.plm", 14), QByteArray(20000, '/')}) {
        UserDefaults::setValue(PlmWorkDocument::lastDocumentKey, garbage);
        PlmWorkDocument::restoreLastDocument(finish, controller);
    }
    EXPECT_EQ(results, (QList<bool>{false, false, false}));

    // A base map is not a work document, even though opening it shows one.
    PlmMap map = smallWork().map;
    const QString file = path(QStringLiteral("fond.plmmap"));
    writeBytes(file, PlmMapCodec::encode(map));
    UserDefaults::setValue(PlmWorkDocument::lastDocumentKey, file.toUtf8());
    PlmWorkDocument::restoreLastDocument(finish, controller);
    EXPECT_EQ(results, (QList<bool>{false, false, false, false}));
}

TEST_F(PlmWorkDocumentTest, AcquisitionDialogStartsWithColumnsSelectedUnlessGeoJSONOrShapefile)
{
    struct Case {
        std::optional<QString> format;
        bool everySelected;
    };
    const QList<Case> cases = {{QStringLiteral("GeoJSON"), false}, {QStringLiteral("Shapefile"), false},
                               {QStringLiteral("geojson"), true}, {std::nullopt, true}, {QStringLiteral("SVG"), true}};
    for (const Case& c : cases) {
        PlmWorkDocument doc;
        PlmWork w = smallWork();
        if (c.format)
            w.map.metadata.insert(QStringLiteral("source.format"), *c.format);
        doc.setWork(w);
        std::optional<bool> flag;
        doc.showAcquisitionImport([&](PlmWorkDocument*, bool every, std::function<void()>) {
            flag = every;
            return new QWidget;
        });
        EXPECT_EQ(flag, std::optional<bool>(c.everySelected)) << c.format.value_or(QStringLiteral("absent")).toStdString();
    }
}

TEST_F(PlmWorkDocumentTest, NewAcquisitionDialogReplacesTheOldAndItsCompletionRevealsData)
{
    PlmWorkDocument doc;
    doc.setWork(smallWork());
    std::function<void()> done;
    doc.showAcquisitionImport([&](PlmWorkDocument*, bool, std::function<void()> completion) {
        done = completion;
        return new QWidget;
    });
    QPointer<QWidget> first = doc.acquisitionDialog();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isVisible());
    doc.showAcquisitionImport([](PlmWorkDocument*, bool, std::function<void()>) { return new QWidget; });
    EXPECT_FALSE(first->isVisible());
    EXPECT_NE(doc.acquisitionDialog(), first.data());

    done();
    FakeStudioWindow* window = fakeWindowOf(doc);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->reveals, 1);
    EXPECT_TRUE(window->window()->isVisible());

    doc.close();
    EXPECT_FALSE(doc.acquisitionDialog()->isVisible());
    EXPECT_FALSE(window->window()->isVisible());
    delete first.data();
}

TEST_F(PlmWorkDocumentTest, ClosingEndsTheScopedAccess)
{
    PlmWorkDocument doc;
    doc.adoptScopedDocumentURL(path(QStringLiteral("a.plm")));
    doc.adoptScopedDocumentURL(path(QStringLiteral("b.plm")));
    EXPECT_EQ(doc.scopedDocumentPath(), path(QStringLiteral("b.plm")));
    doc.close();
    EXPECT_TRUE(doc.scopedDocumentPath().isEmpty());
}

} // namespace
