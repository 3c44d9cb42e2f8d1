#include "support/EventWait.h"
#include "support/StudioWindowTestSupport.h"
#include "support/TestFiles.h"
#include "support/WidgetKeys.h"
#include "support/WindowActivation.h"

#include "app/StudioObjectsOutline.h"
#include "app/StudioOutlineModel.h"
#include "carte/CarteWindowController.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"
#include "desktop/DocumentController.h"
#include "export/CarteExportPanel.h"
#include "model/PlmWorkCodec.h"
#include "page/DecorationController.h"
#include "page/DecorationTextEditor.h"

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTemporaryDir>
#include <QTreeView>

#include <chrono>
#include <memory>
#include <optional>

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
    using StudioWindowFixture::window;
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
    // A field the studio window or its export panel shows.
    bool showsInItsWindows(const QWidget* field) const
    {
        const CarteWindowController* carte = window->loadedCarte();
        const CarteExportPanel* panel = carte ? carte->exportPanel() : nullptr;
        return field->window() == window->window() || (panel && field->window() == panel->window());
    }
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

    // The outline's rename of the entity « A » opened, the keys typed in it.
    QLineEdit* outlineRenameTyped(const QString& typed)
    {
        QTreeView* tree = window->objects;
        const QModelIndex row = window->outline()->model()->indexOfReference(StudioObjectReference::entity({"A"}));
        tree->setCurrentIndex(row);
        tree->edit(row);
        auto* editor = tree->findChild<QLineEdit*>(QStringLiteral("Studio.Objects.Rename"));
        if (!editor)
            return nullptr;
        editor->setFocus();
        editor->selectAll();
        typeKeys(editor, typed);
        return editor;
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
    const struct {
        Ending ending;
        bool away;  // another window in front as the ending comes (a close from the window list)
    } rows[] = {{saveByCtrlS, false}, {closeByCtrlW, false}, {quitByCtrlQ, false},
                {endBySignal, false}, {endOfTheLoop, false},  {closeByCtrlW, true}};
    for (const auto& [ending, away] : rows) {
        SCOPED_TRACE(std::string(ending.name) + (away ? ", another window in front" : ""));
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
        std::optional<WindowActivation::Away> elsewhere;
        if (away)
            elsewhere.emplace();
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

// ---- The in-place editors while their window is away ----
// A person going to another program for a while and coming back finds the edit where they left
// it: nothing was taken while they were away, the keys they type next go on in it, and their own
// act in the window ends it.
TEST_F(StudioTypedEditsTest, AnEditInPlaceLeftForAnotherWindowGoesOnWhenThePersonComesBack)
{
    const struct {
        const char* name;
        // Opens the edit and types its first part; the editor.
        std::function<QWidget*()> begin;
        QString rest;
        std::function<void(QWidget* editor)> end;  // the person's act in the window
        std::function<QString(const PlmWork&)> held;
        QString before;
        QString typed;
    } rows[] = {
        {"a page text, ended by Ctrl+Return",
         [this]() -> QWidget* {
             if (!window->switchMode(StudioWindowController::Mode::carte, true))
                 return nullptr;
             autosave(); // the page the Carte made is the file's
             DecorationController& decorations = *window->carte()->decorationController();
             decorations.select(QStringLiteral("t"), false);
             decorations.beginTextEdit();
             typeKeys(decorations.editor(), QStringLiteral(" Zorg"));
             return decorations.editor();
         },
         QStringLiteral("lub"), [](QWidget* editor) { keyClick(editor, Qt::Key_Return, Qt::ControlModifier); },
         [](const PlmWork& w) { return w.decoration->objects.at(0).text; }, QStringLiteral("Titre"),
         QStringLiteral("Titre Zorglub")},
        {"an outline rename, ended by Return",
         [this]() -> QWidget* { return outlineRenameTyped(QStringLiteral("Ou")); },
         QStringLiteral("est"), [](QWidget* editor) { keyClick(editor, Qt::Key_Return); },
         [](const PlmWork& w) { return w.map.entities.at(0).name; }, QStringLiteral("Alpha"), QStringLiteral("Ouest")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        const QPointer<QWidget> editor = row.begin();
        ASSERT_TRUE(editor);
        ASSERT_EQ(QApplication::focusWidget(), editor.data());
        WindowActivation::FocusOutReasons focusOuts(editor);
        WindowActivation::Away away;
        EXPECT_EQ(focusOuts.reasons, QList<Qt::FocusReason>({Qt::ActiveWindowFocusReason}));
        // Away longer than the autosave waits: the edit stays open, untaken, and still typed.
        autosave();
        ASSERT_TRUE(editor);
        EXPECT_TRUE(editor->isVisible());
        EXPECT_TRUE(DialogHooks::defaultHooks().textBeingTyped()) << "the typing hook sees the edit open";
        EXPECT_EQ(row.held(stored()), row.before);
        EXPECT_FALSE(QApplication::activeModalWidget());
        away.comeBack(window->window());
        // The person goes on typing where they were.
        ASSERT_EQ(QApplication::focusWidget(), editor.data());
        typeKeys(QApplication::focusWidget(), row.rest);
        row.end(editor);
        // The edit ends as the event loop goes on.
        ASSERT_TRUE(waitUntil([&] { return !editor; }));
        QApplication::processEvents();
        autosave();
        EXPECT_EQ(row.held(stored()), row.typed);
        EXPECT_FALSE(shownChanged());
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// The menu bar (Alt pressed alone, a menu opened and closed with Escape) and a pop-up take the
// keys for a while and give them back: an edit in place goes on, untaken, and what is typed next
// goes into it. A click elsewhere in the window ends it.
TEST_F(StudioTypedEditsTest, OnlyTheWindowsOwnFocusEndsAnEditInPlace)
{
    struct Editor {
        const char* name;
        // Opens the edit with its first part typed; the editor.
        std::function<QWidget*(StudioTypedEditsTest&)> begin;
        std::function<void(QWidget* editor)> end;  // the person's act in the editor
        std::function<QString(const PlmWork&)> held;
    };
    const Editor pageText{"a page text",
                          [](StudioTypedEditsTest& t) -> QWidget* {
                              if (!t.window->switchMode(StudioWindowController::Mode::carte, true))
                                  return nullptr;
                              DecorationController& decorations = *t.window->carte()->decorationController();
                              decorations.select(QStringLiteral("t"), false);
                              decorations.beginTextEdit();
                              decorations.editor()->selectAll();
                              typeKeys(decorations.editor(), QStringLiteral("Zo"));
                              return decorations.editor();
                          },
                          [](QWidget* editor) { keyClick(editor, Qt::Key_Return, Qt::ControlModifier); },
                          [](const PlmWork& w) { return w.decoration->objects.at(0).text; }};
    const Editor outlineRename{"an outline rename",
                               [](StudioTypedEditsTest& t) -> QWidget* { return t.outlineRenameTyped(QStringLiteral("Zo")); },
                               [](QWidget* editor) { keyClick(editor, Qt::Key_Return); },
                               [](const PlmWork& w) { return w.map.entities.at(0).name; }};
    const Editor dataCell{"a data cell",
                          [](StudioTypedEditsTest& t) -> QWidget* {
                              QString id;
                              t.doc->updateWork(QStringLiteral("Nouvelle variable"), [&](PlmWork& w) {
                                  id = w.addVariable(QStringLiteral("Note"), PlmVariableType::text);
                              });
                              if (!t.window->revealData())
                                  return nullptr;
                              DataWindowController& data = *t.window->data;
                              const int column = data.tableModel()->column(id);
                              data.selectRows({QStringLiteral("A")});
                              data.activateColumn(column);
                              const QModelIndex cell = data.tableModel()->index(data.tableModel()->row(QStringLiteral("A")), column);
                              data.table()->setCurrentIndex(cell);
                              data.table()->edit(cell);
                              QApplication::processEvents();
                              QWidget* editor = QApplication::focusWidget();
                              if (!qobject_cast<QLineEdit*>(editor) || editor->parentWidget() != data.table()->viewport())
                                  return nullptr;
                              typeKeys(editor, QStringLiteral("Zo"));
                              return editor;
                          },
                          [](QWidget* editor) { keyClick(editor, Qt::Key_Return); },
                          [](const PlmWork& w) {
                              return w.variables.isEmpty() ? QString() : w.variables.last().values.value(QStringLiteral("A")).editingText();
                          }};
    // The focus taken from the editor, and given back when it only borrowed the keys.
    enum class Interruption { menuBar, popUp, clickElsewhere };
    const struct {
        const Editor& editor;
        Interruption interruption;
    } rows[] = {
        {pageText, Interruption::menuBar},      {pageText, Interruption::popUp},      {pageText, Interruption::clickElsewhere},
        {outlineRename, Interruption::menuBar}, {outlineRename, Interruption::popUp}, {outlineRename, Interruption::clickElsewhere},
        {dataCell, Interruption::menuBar},      {dataCell, Interruption::popUp},      {dataCell, Interruption::clickElsewhere},
    };
    for (const auto& row : rows) {
        const bool ends = row.interruption == Interruption::clickElsewhere;
        SCOPED_TRACE(std::string(row.editor.name) + (row.interruption == Interruption::menuBar ? ", the menu bar"
                                                     : row.interruption == Interruption::popUp ? ", a pop-up"
                                                                                                : ", a click elsewhere"));
        TearDown();
        SetUp();
        const QPointer<QWidget> editor = row.editor.begin(*this);
        ASSERT_TRUE(editor);
        ASSERT_EQ(QApplication::focusWidget(), editor.data());
        autosave();
        const QString before = row.editor.held(stored());
        WindowActivation::FocusOutReasons focusOuts(editor);
        // What the menu bar does on Alt alone, a context menu shown, a click in the outline.
        QMenuBar* bar = window->window()->findChild<QMenuBar*>();
        if (!bar)
            bar = new QMenuBar(window->window());
        bar->show();
        QMenu menu(window->window());
        menu.addAction(QStringLiteral("Copier"));
        switch (row.interruption) {
        case Interruption::menuBar: bar->setFocus(Qt::MenuBarFocusReason); break;
        case Interruption::popUp: menu.popup(window->window()->mapToGlobal(QPoint(200, 200))); break;
        case Interruption::clickElsewhere: window->objects->setFocus(Qt::MouseFocusReason); break;
        }
        QApplication::processEvents();
        const Qt::FocusReason reason = row.interruption == Interruption::menuBar ? Qt::MenuBarFocusReason
                                     : row.interruption == Interruption::popUp   ? Qt::PopupFocusReason
                                                                                 : Qt::MouseFocusReason;
        EXPECT_EQ(focusOuts.reasons, QList<Qt::FocusReason>({reason}));
        if (ends) {
            ASSERT_TRUE(waitUntil([&] { return !editor || !editor->isVisible(); }));
            autosave();
            EXPECT_EQ(row.editor.held(stored()), QStringLiteral("Zo"));
            continue;
        }
        autosave();
        EXPECT_EQ(row.editor.held(stored()), before);
        if (!editor || !editor->isVisible()) {
            ADD_FAILURE() << "the edit ended";
            continue;
        }
        // Escape closes the menu and gives the keys back to the editor.
        if (row.interruption == Interruption::menuBar)
            editor->setFocus(Qt::MenuBarFocusReason);
        else
            menu.close();
        QApplication::processEvents();
        ASSERT_EQ(QApplication::focusWidget(), editor.data());
        typeKeys(QApplication::focusWidget(), QStringLiteral("rglub"));
        row.editor.end(editor);
        ASSERT_TRUE(waitUntil([&] { return !editor || !editor->isVisible(); }));
        QApplication::processEvents();
        autosave();
        EXPECT_EQ(row.editor.held(stored()), QStringLiteral("Zorglub"));
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
}

// ---- Typed fields ----------------------------------------------------------------------------

#include "app/StudioWindowController.h"
#include "carte/CarteInspector.h"
#include "fond/FondWindowController.h"

namespace {

// A field of the studio or of its panel, made ready to type in, and what the file holds of it.
struct TypedFieldRow {
    const char* name;
    std::function<QLineEdit*(StudioTypedEditsTest&)> field;
    std::function<double(const PlmWork&)> stored;
    // Typed before and after the person's visit elsewhere, and what the whole reads.
    const char* first;
    const char* rest;
    double value;
};

const QList<TypedFieldRow>& typedFieldRows()
{
    static const QList<TypedFieldRow> rows{
        {"Carte: the names' size",
         [](StudioTypedEditsTest& t) {
             t.doc->updateWork(QStringLiteral("Afficher les noms"), [](PlmWork& w) { w.decoration->showEntityNames = true; });
             EXPECT_TRUE(t.window->switchMode(StudioWindowController::Mode::carte, true));
             return t.window->carte()->inspector()->entityNameSize;
         },
         [](const PlmWork& w) { return w.decoration->entityNameFontSize.value_or(0); }, "1", "4", 14},
        {"toolbar: the page's width", [](StudioTypedEditsTest& t) { return t.window->printWidth.data(); },
         [](const PlmWork& w) { return w.decoration->printPage ? w.decoration->printPage->width : 0; }, "4", "20", 420},
        {"layout inspector: a title's size",
         [](StudioTypedEditsTest& t) {
             EXPECT_TRUE(t.window->switchMode(StudioWindowController::Mode::carte, true));
             t.window->carte()->decorationController()->select(QStringLiteral("t"), false);
             return qobject_cast<QLineEdit*>(t.window->carte()->decorationController()->control(QStringLiteral("Taille (pt)")));
         },
         [](const PlmWork& w) { return w.decoration->objects.at(0).presentation.fontSize; }, "1", "8", 18},
        {"Fond inspector: an entity's line width",
         [](StudioTypedEditsTest& t) {
             EXPECT_TRUE(t.window->switchMode(StudioWindowController::Mode::fond, false));
             t.doc->select(QStringLiteral("A"));
             return t.window->fond->widthField();
         },
         [](const PlmWork& w) { return w.map.entities.at(0).style.lineWidth; }, "1", "2", 12},
        {"export panel: the margin",
         [](StudioTypedEditsTest& t) {
             EXPECT_TRUE(t.window->switchMode(StudioWindowController::Mode::carte, true));
             t.window->carte()->presentExportPanel();
             return t.window->carte()->exportPanel()->marginField();
         },
         [](const PlmWork& w) { return w.decoration->printPage ? w.decoration->printPage->margin : 0; }, "1", "7", 17},
    };
    return rows;
}

} // namespace

// Another program in front in the middle of typing ends no edit: nothing is taken, refused or
// asked while the person is away, even when an autosave comes; back, they go on typing where
// they were, and the whole entry is what the file holds once the edit ends.
TEST_F(StudioTypedEditsTest, AFieldKeepsItsEditWhileAnotherProgramIsInFront)
{
    for (const TypedFieldRow& row : typedFieldRows()) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        QLineEdit* field = row.field(*this);
        ASSERT_TRUE(field && field->isEnabled() && showsInItsWindows(field));
        autosave();
        const double before = row.stored(stored());
        WindowActivation::activate(field);
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        typeKeys(field, QString::fromUtf8(row.first));
        {
            WindowActivation::Away away;
            autosave();
            EXPECT_EQ(row.stored(stored()), before) << "taken while the person is away";
        }
        EXPECT_EQ(errors + alerts, QStringList()) << "shown while the person was away";
        WindowActivation::activate(field);
        EXPECT_TRUE(field->hasFocus()) << "back in the field";
        typeKeys(field, QString::fromUtf8(row.rest));
        keyClick(field, Qt::Key_Return);
        saveByCtrlS.run(*this, *controller, *doc, *window);
        EXPECT_EQ(row.stored(stored()), row.value);
        EXPECT_EQ(errors + alerts, QStringList());
    }
}

#include "data/CalculationWindowController.h"
#include "data/DataTableModel.h"
#include "data/DataWindowController.h"

#include <QDialog>

// The end (a signal) takes what it can and names what it cannot keep, whatever field or
// dialog holds it: the document, the field, why, and the text lost, on the standard error
// output, and the program's status says a change was lost. Nothing shows any more.
TEST_F(StudioTypedEditsTest, TheEndNamesWhatNoFieldOrDialogCouldKeep)
{
    const auto typeIn = [](QLineEdit* field, const char* text) {
        WindowActivation::activate(field);
        field->setFocus(Qt::MouseFocusReason);
        field->selectAll();
        typeKeys(field, QString::fromUtf8(text));
    };
    const auto fieldRow = [&typeIn](int row, const char* text, std::optional<int> key) {
        return [&typeIn, row, text, key](StudioTypedEditsTest& t) {
            QLineEdit* field = typedFieldRows().at(row).field(t);
            ASSERT_TRUE(t.showsInItsWindows(field));
            typeIn(field, text);
            if (key)
                keyClick(field, *key);
            QCoreApplication::processEvents();
        };
    };
    const auto dialogRow = [&typeIn](const char* command, const char* objectName) {
        return [&typeIn, command, objectName](StudioTypedEditsTest& t) {
            t.window->data->perform(QString::fromLatin1(command), nullptr);
            QLineEdit* field = nullptr;
            for (QWidget* top : QApplication::topLevelWidgets())
                if (!field && top->isVisible())
                    field = top->findChild<QLineEdit*>(QString::fromLatin1(objectName));
            ASSERT_TRUE(field);
            typeIn(field, "Taux");
        };
    };
    const QString lost = QStringLiteral("Valeur numérique incorrecte. Texte perdu : « abc ».");
    const struct {
        const char* name;
        std::function<void(StudioTypedEditsTest&)> type;
        QString reported;
    } rows[] = {
        {"a title's size typed", fieldRow(2, "abc", {}), QStringLiteral("« Taille (pt) » : ") + lost},
        {"a title's size refused on Return", fieldRow(2, "abc", Qt::Key_Return), QStringLiteral("« Taille (pt) » : ") + lost},
        {"a line width typed", fieldRow(3, "abc", {}), QStringLiteral("« Épaisseur » : ") + lost},
        {"a line width refused on Return", fieldRow(3, "abc", Qt::Key_Return), QStringLiteral("« Épaisseur » : ") + lost},
        {"the export margin typed", fieldRow(4, "abc", {}), QStringLiteral("« Marges (mm) » : ") + lost},
        {"the export margin refused as it was left", fieldRow(4, "abc", Qt::Key_Tab), QStringLiteral("« Marges (mm) » : ") + lost},
        {"a title's size and the export margin, both refused",
         [&typeIn](StudioTypedEditsTest& t) {
             QLineEdit* margin = typedFieldRows().at(4).field(t);
             t.window->carte()->decorationController()->select(QStringLiteral("t"), false);
             auto* size = qobject_cast<QLineEdit*>(t.window->carte()->decorationController()->control(QStringLiteral("Taille (pt)")));
             typeIn(size, "abc");
             keyClick(size, Qt::Key_Return);
             typeIn(margin, "abc");
         },
         QStringLiteral("« Taille (pt) » : ") + lost + QStringLiteral("\nPelmora Studio : « Carte » : « Marges (mm) » : ") + lost},
        {"a new variable's name in its dialog", dialogRow("addVariable:", "Data.VariableDialog.Name"),
         QStringLiteral("« Ajouter une variable » : Saisie non validée. Texte perdu : « Taux ».")},
        {"a new calculated variable's formula", dialogRow("newCalculation:", "Calculation.Formula"),
         QStringLiteral("« Nouvelle variable calculée — Formule » : Saisie non validée. Texte perdu : « Taux ».")},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        row.type(*this);
        autosave();
        const QByteArray before = fileBytes(path);
        testing::internal::CaptureStderr();
        endBySignal.run(*this, *controller, *doc, *window);
        EXPECT_EQ(testing::internal::GetCapturedStderr(),
                  (QStringLiteral("Pelmora Studio : « Carte » : ") + row.reported + QLatin1Char('\n')).toStdString());
        EXPECT_GE(controller->changesLostAtQuit(), 1);
        EXPECT_EQ(fileBytes(path), before);
        EXPECT_FALSE(open());
    }
}

// ---- A command stopped by a refused text ------------------------------------------------------

// A save, a close or a quit that meets a refused text, typed and never ended, stops where the
// person can see why, whatever window is in front: the field's window comes in front, the focus
// in the field with its text selected, and the field's sentence is said (an alert, or the export
// panel's status line). Nothing is written or closed. Seen, the refusal is given up by the next
// command, which goes through.
TEST_F(StudioTypedEditsTest, ACommandStoppedByARefusedTextSaysWhyWhereThePersonIs)
{
    const QString notANumber = QStringLiteral("Valeur numérique incorrecte.");
    const QString refusals[] = {QStringLiteral("Taille de police incorrecte."),
                                QStringLiteral("Dimensions de page incorrectes."), notANumber, notANumber, notANumber};
    for (const Ending* ending : {&saveByCtrlS, &closeByCtrlW, &quitByCtrlQ}) {
        for (qsizetype i = 0; i < typedFieldRows().size(); ++i) {
            const TypedFieldRow& row = typedFieldRows()[i];
            SCOPED_TRACE(std::string(row.name) + ", " + ending->name);
            TearDown();
            SetUp();
            errors.clear();
            alerts.clear();
            QLineEdit* field = row.field(*this);
            autosave();
            const QByteArray before = fileBytes(path);
            const double storedBefore = row.stored(stored());
            WindowActivation::activate(field);
            field->setFocus(Qt::MouseFocusReason);
            field->selectAll();
            typeKeys(field, QStringLiteral("abc"));
            {
                WindowActivation::Away away;
                ending->run(*this, *controller, *doc, *window);
                QApplication::processEvents();
                ASSERT_TRUE(open());
                EXPECT_EQ(QApplication::activeWindow(), field->window()) << "the field's window in front";
                EXPECT_TRUE(field->hasFocus());
                EXPECT_EQ(field->selectedText(), QStringLiteral("abc"));
                const CarteExportPanel* panel = window->loadedCarte() ? window->loadedCarte()->exportPanel() : nullptr;
                if (panel && field->window() == panel->window()) {
                    EXPECT_EQ(panel->statusLabel()->text().toStdString(), refusals[i].toStdString());
                    EXPECT_EQ((errors + alerts).join(u'|').toStdString(), "");
                } else {
                    EXPECT_EQ((errors + alerts).join(u'|').toStdString(), refusals[i].toStdString());
                }
                EXPECT_TRUE(fileBytes(path) == before) << "nothing written";
            }
            ending->run(*this, *controller, *doc, *window);
            EXPECT_EQ(open(), !ending->closes) << "the refusal seen, the command goes through";
            EXPECT_EQ(row.stored(stored()), storedBefore) << "the text given up";
        }
    }
}

// « Exporter » takes what is typed in the work's windows first: the work holds it before the
// file is asked for, and a refused text stops the export in front of the person.
TEST_F(StudioTypedEditsTest, AnExportTakesWhatIsTypedInTheWorksWindowsFirst)
{
    QLineEdit* names = typedFieldRows().at(0).field(*this);
    window->carte()->presentExportPanel();
    CarteExportPanel* panel = window->carte()->exportPanel();
    ASSERT_TRUE(panel);
    std::optional<double> heldWhenAsked;
    DialogHooks::Hooks hooks = DialogHooks::current();
    hooks.savePanel = [&](const DialogHooks::SavePanelRequest&) -> std::optional<DialogHooks::SavePanelResult> {
        heldWhenAsked = doc->work().decoration->entityNameFontSize.value_or(0);
        return std::nullopt;
    };
    const DialogHooks::ScopedHooks answered(hooks);
    for (const char* typed : {"abc", "20"}) {
        SCOPED_TRACE(typed);
        WindowActivation::activate(names);
        names->setFocus(Qt::MouseFocusReason);
        names->selectAll();
        typeKeys(names, QString::fromUtf8(typed));
        WindowActivation::activate(panel->window());
        panel->exportFile();
    }
    EXPECT_EQ(errors, QStringList{QStringLiteral("Taille de police incorrecte.")}) << "the refused text stopped the first";
    EXPECT_EQ(heldWhenAsked, std::optional<double>(20));
}

#include "data/DataImportWindowController.h"

#include <QPushButton>

// The windows a work opens beside its studio window go with it: closed by Ctrl+W, nothing of
// it stays on screen to keep the program running or to send a choice nowhere.
TEST_F(StudioTypedEditsTest, AWorksOwnWindowsCloseWithIt)
{
    const auto inCarte = [](StudioTypedEditsTest& t) {
        EXPECT_TRUE(t.window->switchMode(StudioWindowController::Mode::carte, true));
        return t.window->carte();
    };
    const struct {
        const char* name;
        std::function<QPointer<QWidget>(StudioTypedEditsTest&)> open;
    } rows[] = {
        {"the symbol catalogue of a page symbol",
         [&inCarte](StudioTypedEditsTest& t) {
             inCarte(t)->decorationController()->chooseSymbolToAdd([](const QString&) {}, {});
             QPointer<QWidget> catalogue;
             for (QWidget* top : QApplication::topLevelWidgets())
                 if (top->isVisible() && top->objectName() == QLatin1String("Symbols"))
                     catalogue = top;
             return catalogue;
         }},
        {"the symbol catalogue of a proportional series",
         [&inCarte](StudioTypedEditsTest& t) {
             CarteWindowController* carte = inCarte(t);
             carte->openSymbolPicker();
             return carte->symbolPicker;
         }},
        {"the formula window",
         [](StudioTypedEditsTest& t) {
             t.window->data->perform(QStringLiteral("newCalculation:"), nullptr);
             return QPointer<QWidget>(t.window->data->calculationController->window());
         }},
        {"the import dialog",
         [](StudioTypedEditsTest& t) {
             const QString table = t.dir.filePath(QStringLiteral("zones.csv"));
             writeBytes(table, "code;valeur\nA;1\n");
             t.window->data->importFile(table);
             EXPECT_TRUE(waitUntil([&t] { return !t.window->data->readingImport; }));
             return QPointer<QWidget>(t.window->data->importDialog());
         }},
        {"the export panel",
         [&inCarte](StudioTypedEditsTest& t) {
             inCarte(t)->presentExportPanel();
             return QPointer<QWidget>(t.window->carte()->exportPanel()->window());
         }},
    };
    const auto onScreen = [] {
        QStringList titles;
        for (const QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                titles << top->windowTitle();
        return titles.join(QStringLiteral(", ")).toStdString();
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const std::string before = onScreen();
        SetUp();
        const QPointer<QWidget> own = row.open(*this);
        ASSERT_TRUE(own && own->isVisible());
        ASSERT_NE(own.data(), window->window());
        closeByCtrlW.run(*this, *controller, *doc, *window);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_FALSE(open());
        EXPECT_EQ(onScreen(), before);
    }
}

// A dialog confirmed, cancelled or closed holds nothing: the end names no text of it, and
// nothing is lost.
TEST_F(StudioTypedEditsTest, AFormulaWindowEndedByThePersonHoldsNothingAtTheEnd)
{
    const auto click = [](const char* button) {
        return [button](CalculationWindowController& formula) {
            formula.window()->findChild<QPushButton*>(QString::fromLatin1(button))->click();
        };
    };
    const struct {
        const char* name;
        bool edited; // « Modifier la formule… » of a calculated variable, else a new one
        std::function<void(CalculationWindowController&)> end;
        QStringList variables; // the work's afterwards
    } rows[] = {
        {"« Créer la variable »", false, click("Calculation.Save"), {"Taux"}},
        {"« Annuler »", false, click("Calculation.Cancel"), {}},
        {"its close box", false, [](CalculationWindowController& formula) { formula.window()->close(); }, {}},
        {"« Enregistrer les modifications »", true, click("Calculation.Save"), {"Taux"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TearDown();
        SetUp();
        DataWindowController& data = *window->data;
        if (row.edited) {
            doc->updateWork(QStringLiteral("Créer une variable calculée"), [](PlmWork& work) {
                work.saveCalculatedVariable(std::nullopt, QStringLiteral("Base"), PlmVariableType::number,
                                            QStringLiteral("1 + 1"), 2);
            });
            data.openCalculation(doc->work().variables.first().id);
        } else {
            data.perform(QStringLiteral("newCalculation:"), nullptr);
        }
        ASSERT_TRUE(data.calculationController);
        CalculationWindowController& formula = *data.calculationController;
        formula.nameField()->setFocus();
        formula.nameField()->selectAll();
        typeKeys(formula.nameField(), QStringLiteral("Taux"));
        formula.formulaField()->setFocus();
        formula.formulaField()->selectAll();
        typeKeys(formula.formulaField(), QStringLiteral("2 * 3"));
        ASSERT_TRUE(waitUntil([&formula] { return formula.saveButton()->isEnabled(); }));
        row.end(formula);
        QApplication::processEvents();
        testing::internal::CaptureStderr();
        endBySignal.run(*this, *controller, *doc, *window);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(controller->changesLostAtQuit(), 0);
        QStringList names;
        for (const PlmVariable& variable : stored().variables)
            names << variable.name;
        EXPECT_EQ(names.join(QLatin1Char(',')).toStdString(), row.variables.join(QLatin1Char(',')).toStdString());
    }
}
