#include "support/StudioWindowTestSupport.h"
#include "support/TestFiles.h"
#include "support/WidgetKeys.h"

#include "app/StudioObjectsOutline.h"
#include "app/StudioOutlineModel.h"
#include "carte/CarteWindowController.h"
#include "desktop/DocumentController.h"
#include "export/CarteExportPanel.h"
#include "model/PlmWorkCodec.h"
#include "page/DecorationController.h"
#include "page/DecorationTextEditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTreeView>

#include <chrono>
#include <memory>

// What a person types reaches the file however long the typing takes and however it ends: a
// save landing in the middle never makes the window say the file holds what it does not, and
// a save, a close or the program's end takes the edit still open first (a text on the page,
// a name in the objects outline, a field of the export panel).
namespace {

PlmWork titledWork()
{
    PlmWork work;
    work.map.name = QStringLiteral("Carte");
    work.map.entities = PlmEntityList({PlmEntity(QStringLiteral("A"), QStringLiteral("Alpha"),
                                                 PlmGeometry::point(PlmPoint{1, 1}), PlmStyle())});
    work.decoration = PlmDecoration();
    PlmDecorationObject title = PlmDecorationObject::make(QStringLiteral("t"), PlmDecorationKind::title);
    title.text = QStringLiteral("Titre");
    work.decoration->objects = {title};
    work.thematic = PlmThematicSettings();
    return work;
}

class StudioTypedEditsTest : public StudioWindowFixture {
public:
    void SetUp() override
    {
        StudioWindowCommands::install();
        controller = std::make_unique<DocumentController>(); // a fresh one, as each run of the program has
        doc = new PlmWorkDocument; // the controller's, as the application's documents are
        doc->setWork(titledWork());
        ASSERT_TRUE(doc->saveToFile(path, PlmWorkDocument::plmType, Document::SaveOperation::SaveAs));
        // The test says when an autosave comes.
        doc->setAutosaveDelay(int(std::chrono::milliseconds(std::chrono::hours(1)).count()));
        doc->makeWindowControllers();
        controller->addDocument(doc);
        window = dynamic_cast<StudioWindowCommands*>(doc->studioWindow());
        ASSERT_TRUE(window);
        window->window()->resize(1400, 900);
        window->window()->show();
        window->window()->activateWindow();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        if (controller && controller->documents().contains(doc))
            doc->close();
        QApplication::processEvents();
    }

    PlmWork stored() const { return PlmWorkCodec::decode(fileBytes(path)); }
    bool open() const { return controller->documents().contains(doc) && !doc->isClosed(); }
    bool shownChanged() const { return window->window()->isWindowModified(); }
    void autosave()
    {
        doc->saveInBackground(Document::SaveOperation::Autosave);
        doc->waitForBackgroundSave();
    }
    static void typeKeys(QWidget* target, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
        }
    }

    QTemporaryDir dir;
    QString path = dir.filePath(QStringLiteral("Carte.plm"));
    std::unique_ptr<DocumentController> controller;
    PlmWorkDocument* doc = nullptr;
};

// The ways an edit in progress meets a save, a close or the end, as the person or the
// system brings them; `closes` when the document is gone afterwards.
struct Ending {
    const char* name;
    bool closes;
    std::function<void(StudioTypedEditsTest&, DocumentController&, PlmWorkDocument&, StudioWindowCommands&)> run;
};

const Ending saveByCtrlS{"Ctrl+S", false, [](auto&, auto&, PlmWorkDocument& d, auto&) {
                             d.perform(QStringLiteral("saveDocument:"), nullptr);
                             d.waitForBackgroundSave();
                         }};
const Ending closeByCtrlW{"Ctrl+W", true, [](auto&, auto&, auto&, StudioWindowCommands& w) { w.window()->close(); }};
const Ending quitByCtrlQ{"Ctrl+Q", true, [](auto&, DocumentController& c, auto&, auto&) {
                             if (c.reviewUnsavedDocumentsBeforeQuit())
                                 c.closeAllDocuments();
                         }};
const Ending endBySignal{"signal", true, [](auto&, DocumentController& c, auto&, auto&) {
                             const bool was = DialogHooks::setUnattended(true);
                             c.commitEditsBeforeQuit();
                             c.closeDocumentsAtQuit();
                             DialogHooks::setUnattended(was);
                         }};
// The event loop ended by neither « Quitter » nor a signal (the desktop ending it).
const Ending endOfTheLoop{"the loop's end", true, [](auto&, DocumentController& c, auto&, auto&) { c.closeDocumentsAtQuit(); }};
const Ending modeSwitch{"mode switch", false, [](auto&, auto&, auto&, StudioWindowCommands& w) {
                            w.switchMode(StudioWindowController::Mode::fond, false);
                        }};

} // namespace

TEST_F(StudioTypedEditsTest, APageTextTypedAcrossAnAutosaveReachesTheFileHoweverItsEditEnds)
{
    const Ending clickAway{"a click away", false, [](auto&, auto&, auto&, StudioWindowCommands& w) {
                               w.carte()->view()->setFocus(Qt::MouseFocusReason);
                           }};
    const Ending ctrlReturn{"Ctrl+Return", false, [](auto&, auto&, auto&, StudioWindowCommands& w) {
                                keyClick(w.carte()->decorationController()->editor(), Qt::Key_Return, Qt::ControlModifier);
                            }};
    const struct {
        const char* save;
        std::function<void(StudioTypedEditsTest&)> run;
    } saves[] = {
        {"autosave in the background", [](StudioTypedEditsTest& t) { t.autosave(); }},
        {"autosave in place", [](StudioTypedEditsTest& t) { t.doc->autosave(); }},
    };
    for (const auto& save : saves)
        for (const Ending& ending : {clickAway, ctrlReturn, modeSwitch, saveByCtrlS, closeByCtrlW, quitByCtrlQ, endBySignal, endOfTheLoop}) {
            SCOPED_TRACE(std::string(save.save) + ", then " + ending.name);
            TearDown();
            SetUp();
            ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
            autosave(); // the page the Carte made is the file's
            DecorationController& decorations = *window->carte()->decorationController();
            decorations.select(QStringLiteral("t"), false);
            decorations.beginTextEdit();
            ASSERT_TRUE(decorations.editor());
            typeKeys(decorations.editor(), QStringLiteral(" Zorg"));
            save.run(*this);
            // The file lacks what is typed, and the window says so.
            EXPECT_EQ(stored().decoration->objects.at(0).text, QStringLiteral("Titre"));
            EXPECT_TRUE(shownChanged());
            typeKeys(decorations.editor(), QStringLiteral("lub"));
            ending.run(*this, *controller, *doc, *window);
            if (!ending.closes) {
                EXPECT_FALSE(decorations.editor());
                autosave();
                EXPECT_FALSE(shownChanged());
            }
            EXPECT_EQ(open(), !ending.closes);
            EXPECT_EQ(stored().decoration->objects.at(0).text, QStringLiteral("Titre Zorglub"));
        }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(StudioTypedEditsTest, ANameBeingTypedInTheOutlineIsTakenByASaveACloseOrTheEnd)
{
    for (const Ending& ending : {saveByCtrlS, closeByCtrlW, quitByCtrlQ, endBySignal, endOfTheLoop}) {
        SCOPED_TRACE(ending.name);
        TearDown();
        SetUp();
        QTreeView* tree = window->objects;
        const QModelIndex row = window->outline()->model()->indexOfReference(StudioObjectReference::entity({"A"}));
        tree->setCurrentIndex(row);
        tree->edit(row);
        auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("Studio.Objects.Rename"));
        ASSERT_TRUE(editor);
        editor->selectAll();
        typeKeys(editor, QStringLiteral("Ouest"));
        ending.run(*this, *controller, *doc, *window);
        EXPECT_EQ(stored().map.entities.at(0).name, QStringLiteral("Ouest"));
        if (!ending.closes)
            EXPECT_FALSE(shownChanged());
    }
}

TEST_F(StudioTypedEditsTest, AnExportPanelFieldBeingTypedIsTakenByASaveACloseOrTheEnd)
{
    for (const bool studioInFront : {false, true})
        for (const Ending& ending : {saveByCtrlS, closeByCtrlW, quitByCtrlQ, endBySignal, endOfTheLoop}) {
            SCOPED_TRACE(std::string(ending.name) + (studioInFront ? ", the studio window clicked" : ", the panel in front"));
            TearDown();
            SetUp();
            ASSERT_TRUE(window->switchMode(StudioWindowController::Mode::carte, true));
            window->carte()->presentExportPanel();
            CarteExportPanel* panel = window->carte()->exportPanel();
            ASSERT_TRUE(panel);
            autosave(); // the page the panel made is the file's
            QLineEdit* margin = panel->marginField();
            margin->setFocus();
            margin->selectAll();
            typeKeys(margin, QStringLiteral("17"));
            // Coming to the front, the studio refreshes its panes: the typing stays.
            if (studioInFront) {
                window->window()->activateWindow();
                QApplication::processEvents();
            }
            ending.run(*this, *controller, *doc, *window);
            EXPECT_EQ(stored().decoration->printPage->margin, 17);
        }
}
