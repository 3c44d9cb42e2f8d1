#include "support/StudioWindowTestSupport.h"
#include "support/WidgetInput.h"

#include "app/StudioObjectsOutline.h"
#include "app/StudioOutlineDelegate.h"
#include "app/StudioOutlineModel.h"
#include "fond/FondWindowController.h"
#include "canvas/VectorCanvas.h"
#include "page/DecorationController.h"
#include "carte/CarteWindowController.h"

#include <QApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTreeView>

namespace {

PlmEntity point(const QString& id, const QString& name = {})
{
    PlmEntity entity(id, name, PlmGeometry::point(PlmPoint{1, 1}), PlmStyle());
    return entity;
}

PlmEntity group(const QString& id, const QList<PlmEntity>& members)
{
    return PlmEntity(id, QStringLiteral("Groupe"), PlmGeometry::group(PlmEntityList(members)), PlmStyle());
}

PlmEntity text(const QString& id, const QString& string)
{
    PlmText geometry;
    geometry.text = string;
    geometry.fontName = QStringLiteral("Helvetica");
    return PlmEntity(id, string, PlmGeometry::text(geometry), PlmStyle());
}

// A, a group G of M1, M2, M3, a text T and C.
PlmWork sampleWork()
{
    PlmWork work;
    work.map.name = QStringLiteral("Carte");
    work.map.entities = PlmEntityList({point("A", "Alpha"), group("G", {point("M1"), point("M2"), point("M3")}),
                                       text("T", "Étiquette"), point("C")});
    return work;
}

// The sample work with a title and a source on the page, and a legend.
PlmWork layoutWork()
{
    PlmWork work = sampleWork();
    work.decoration = PlmDecoration();
    work.decoration->objects = {PlmDecorationObject::make("d1", PlmDecorationKind::title),
                                PlmDecorationObject::make("d2", PlmDecorationKind::source)};
    work.thematic = PlmThematicSettings();
    return work;
}

class StudioObjectsOutlineTest : public StudioWindowFixture {
protected:
    StudioOutlineModel* model() const { return window->outline()->model(); }
    QModelIndex row(const StudioObjectReference& reference) const { return model()->indexOfReference(reference); }
    QModelIndex sectionRow(const QString& key) const { return model()->indexOfKey(key); }

    QStringList childTitles(const QModelIndex& parent) const
    {
        QStringList titles;
        for (int i = 0; i < model()->rowCount(parent); ++i)
            titles.append(model()->index(i, 0, parent).data().toString());
        return titles;
    }

    QStringList selectedKeys() const
    {
        QStringList keys;
        for (const QModelIndex& index : window->objects->selectionModel()->selectedRows(0))
            keys.append(index.data(StudioOutlineModel::KeyRole).toString());
        keys.sort();
        return keys;
    }

    static QString key(const QStringList& path) { return StudioObjectReference::entity(path).key(); }

    QStringList memberIDs(const QString& groupID) const
    {
        QStringList ids;
        const PlmWork current = work();
        const PlmEntity* g = StudioObjectEdits::entityAtPath(current.map.entities, {groupID});
        for (const PlmEntity& member : *g->geometry.asGroup())
            ids.append(member.id);
        return ids;
    }

    void clickOn(const QModelIndex& index)
    {
        window->objects->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
};

TEST_F(StudioObjectsOutlineTest, ListsTheWorkInSectionsLastDrawnFirst)
{
    open(sampleWork());
    ASSERT_EQ(model()->rowCount(), 1);
    const QModelIndex fond = sectionRow(StudioObjectNode::fondSectionKey);
    EXPECT_EQ(childTitles(fond), QStringList({"C", "Étiquette", "Groupe", "Alpha"}));
    EXPECT_EQ(childTitles(row(StudioObjectReference::entity({"G"}))), QStringList({"M3", "M2", "M1"}));
    EXPECT_TRUE(window->objects->isExpanded(fond));
    EXPECT_FALSE(model()->flags(fond) & Qt::ItemIsSelectable);
    EXPECT_EQ(StudioOutlineModel::columnIdentifier(1), QStringLiteral("visible"));

    // Buttons of a row: eye, open lock, and a trash for every editable entity, top-level or not.
    const QModelIndex alpha = row(StudioObjectReference::entity({"A"}));
    EXPECT_EQ(StudioOutlineDelegate::symbolName(alpha.siblingAtColumn(1)), QStringLiteral("eye"));
    EXPECT_EQ(StudioOutlineDelegate::symbolName(alpha.siblingAtColumn(2)), QStringLiteral("lock.open"));
    EXPECT_EQ(alpha.siblingAtColumn(3).data(Qt::ToolTipRole).toString(), QStringLiteral("Supprimer « Alpha »"));
    EXPECT_TRUE(StudioOutlineDelegate::isButtonEnabled(alpha.siblingAtColumn(3)));
    EXPECT_TRUE(StudioOutlineDelegate::isButtonEnabled(row(StudioObjectReference::entity({"G", "M1"})).siblingAtColumn(3)));
}

TEST_F(StudioObjectsOutlineTest, ExpansionSurvivesRebuildsByKey)
{
    open(sampleWork());
    const QString groupKey = key({"G"});
    window->objects->expand(model()->indexOfKey(groupKey));
    // An unrelated change, then a rename of the group itself.
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(0).name = QStringLiteral("Autre"); });
    EXPECT_EQ(row(StudioObjectReference::entity({"A"})).data().toString(), QStringLiteral("Autre"));
    EXPECT_TRUE(window->objects->isExpanded(model()->indexOfKey(groupKey)));
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(1).name = QStringLiteral("Nouveau"); });
    EXPECT_TRUE(window->objects->isExpanded(model()->indexOfKey(groupKey)));
    // A change of the data table alone does not rebuild the rows.
    int resets = 0;
    QObject::connect(model(), &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.addVariable(QStringLiteral("Population"), PlmVariableType::number); });
    EXPECT_EQ(resets, 0);
    // Nor does an entity edited in place: its row is retitled and its buttons read again.
    const auto hidden = [this] {
        return row(StudioObjectReference::entity({"C"})).siblingAtColumn(1).data(StudioOutlineModel::HiddenRole).toBool();
    };
    ASSERT_FALSE(hidden());
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(3).name = QStringLiteral("Cé"); });
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(3).isHidden = true; });
    EXPECT_EQ(resets, 0);
    EXPECT_EQ(row(StudioObjectReference::entity({"C"})).data().toString(), QStringLiteral("Cé"));
    EXPECT_TRUE(hidden());
    // A changed group is shown again whole.
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(1).name = QStringLiteral("Groupe"); });
    EXPECT_EQ(resets, 1);
    window->objects->collapse(model()->indexOfKey(groupKey));
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(0).name = QStringLiteral("Encore"); });
    EXPECT_FALSE(window->objects->isExpanded(model()->indexOfKey(groupKey)));
}

TEST_F(StudioObjectsOutlineTest, ButtonsHideLockAndDeleteMembers)
{
    open(sampleWork());
    StudioOutlineDelegate* delegate = window->outline()->delegate();
    delegate->onToggle(StudioObjectReference::entity({"G", "M2"}), true);
    EXPECT_EQ(undoName(), QStringLiteral("Visibilité de l’objet"));
    const QModelIndex m2 = row(StudioObjectReference::entity({"G", "M2"}));
    EXPECT_EQ(StudioOutlineDelegate::symbolName(m2.siblingAtColumn(1)), QStringLiteral("eye.slash"));
    EXPECT_EQ(m2.siblingAtColumn(1).data(Qt::ToolTipRole).toString(), QStringLiteral("Afficher"));

    delegate->onToggle(StudioObjectReference::entity({"A"}), false);
    EXPECT_EQ(undoName(), QStringLiteral("Verrouillage de l’objet"));
    EXPECT_TRUE(work().map.entities.at(0).locked());
    EXPECT_EQ(row(StudioObjectReference::entity({"A"})).siblingAtColumn(2).data(Qt::ToolTipRole).toString(),
              QStringLiteral("Déverrouiller"));

    delegate->onDelete(StudioObjectReference::entity({"G", "M2"}));
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer l’objet du groupe"));
    EXPECT_EQ(memberIDs("G"), QStringList({"M1", "M3"}));
    EXPECT_EQ(document->selectedEntityID(), std::optional<QString>("G"));
    // A top-level entity goes the Fond pane's way, under its action name, and nothing stays selected.
    const int steps = undoCount();
    delegate->onDelete(StudioObjectReference::entity({"C"}));
    EXPECT_EQ(undoCount(), steps + 1);
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer les entités"));
    EXPECT_FALSE(row(StudioObjectReference::entity({"C"})).isValid());
    EXPECT_EQ(work().map.entities.size(), 3);
    EXPECT_TRUE(document->selectedEntityIDs().isEmpty());
    // The locked entity keeps its trash disabled and stays.
    EXPECT_FALSE(StudioOutlineDelegate::isButtonEnabled(row(StudioObjectReference::entity({"A"})).siblingAtColumn(3)));
}

TEST_F(StudioObjectsOutlineTest, RenamesInPlace)
{
    open(sampleWork());
    const QModelIndex title = row(StudioObjectReference::entity({"T"}));
    EXPECT_TRUE(model()->setData(title, QStringLiteral("  Nouveau titre ")));
    EXPECT_EQ(undoName(), QStringLiteral("Renommer l’objet"));
    EXPECT_EQ(work().map.entities.at(2).geometry.asText()->text, QStringLiteral("Nouveau titre"));

    const int steps = undoCount();
    EXPECT_FALSE(model()->setData(row(StudioObjectReference::entity({"A"})), QStringLiteral("  ")));
    EXPECT_EQ(undoCount(), steps);
    EXPECT_EQ(row(StudioObjectReference::entity({"A"})).data().toString(), QStringLiteral("Alpha"));
}

TEST_F(StudioObjectsOutlineTest, DragsReorderWithinTheirOwnList)
{
    open(sampleWork());
    const QModelIndex m1 = row(StudioObjectReference::entity({"G", "M1"}));
    std::unique_ptr<QMimeData> data(model()->mimeData({m1}));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(StudioObjectReference::pasteboardType), key({"G", "M1"}).toUtf8());
    const QModelIndex groupRow = row(StudioObjectReference::entity({"G"}));
    const QModelIndex fond = sectionRow(StudioObjectNode::fondSectionKey);
    EXPECT_FALSE(model()->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, fond));
    EXPECT_FALSE(model()->canDropMimeData(data.get(), Qt::MoveAction, -1, 0, groupRow)); // onto the row
    ASSERT_TRUE(model()->canDropMimeData(data.get(), Qt::MoveAction, 0, 0, groupRow));
    EXPECT_TRUE(model()->dropMimeData(data.get(), Qt::MoveAction, 0, 0, model()->indexOfKey(key({"G"}))));
    EXPECT_EQ(memberIDs("G"), QStringList({"M2", "M3", "M1"}));
    EXPECT_EQ(undoName(), QStringLiteral("Ordre des objets"));
    EXPECT_EQ(undoCount(), 1);

    // The same text from elsewhere is no drop of this outline.
    QMimeData foreign;
    foreign.setData(StudioObjectReference::pasteboardType, key({"G", "M1"}).toUtf8());
    EXPECT_FALSE(model()->canDropMimeData(&foreign, Qt::MoveAction, 0, 0, model()->indexOfKey(key({"G"}))));
    // Nor is a broken reference.
    std::unique_ptr<QMimeData> broken(model()->mimeData({row(StudioObjectReference::entity({"G", "M1"}))}));
    ASSERT_TRUE(broken);
    broken->setData(StudioObjectReference::pasteboardType, QByteArray(R"({"entity":{"_0":["G"]},"legend":{"_0":"x"}})"));
    EXPECT_FALSE(model()->canDropMimeData(broken.get(), Qt::MoveAction, 0, 0, fond));

    // A locked member cannot be dragged.
    window->outline()->setObjectState(StudioObjectReference::entity({"G", "M2"}), false, true);
    std::unique_ptr<QMimeData> locked(model()->mimeData({row(StudioObjectReference::entity({"G", "M2"}))}));
    EXPECT_FALSE(model()->canDropMimeData(locked.get(), Qt::MoveAction, 0, 0, model()->indexOfKey(key({"G"}))));
}

TEST_F(StudioObjectsOutlineTest, SelectionIsSharedWithoutEcho)
{
    open(sampleWork());
    EXPECT_TRUE(selectedKeys().isEmpty());

    // Neighbouring rows (C, Étiquette, Groupe) form one range of the selection.
    document->select(QSet<QString>{"C", "T", "G"}, QStringLiteral("G"));
    EXPECT_EQ(selectedKeys(), QStringList({key({"C"}), key({"G"}), key({"T"})}));
    EXPECT_EQ(window->objects->selectionModel()->selection().size(), 1);

    document->select(QSet<QString>{"A", "C"}, QStringLiteral("A"));
    EXPECT_EQ(selectedKeys(), QStringList({key({"A"}), key({"C"})}));
    EXPECT_EQ(window->objects->selectionModel()->selection().size(), 2);
    EXPECT_EQ(window->fond->canvas()->creationSelection, (QSet<QString>{"A", "C"}));
    EXPECT_EQ(window->fond->canvas()->selectedIndex, std::optional<int>(0));

    // A member chosen in the outline stays selected through a refresh.
    clickOn(row(StudioObjectReference::entity({"G", "M2"})));
    EXPECT_EQ(document->selectedEntityID(), std::optional<QString>("G"));
    EXPECT_EQ(selectedKeys(), QStringList({key({"G", "M2"})}));
    EXPECT_EQ(window->fond->canvas()->selectedEntityIDPath(), std::optional<QStringList>(QStringList{"G", "M2"}));
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(0).name = QStringLiteral("Autre"); });
    EXPECT_EQ(selectedKeys(), QStringList({key({"G", "M2"})}));

    // A map view reporting a selection.
    window->fond->canvas()->onStudioObjectSelection(QStringList{"C"});
    EXPECT_EQ(document->selectedEntityIDs(), QSet<QString>{"C"});
    EXPECT_EQ(selectedKeys(), QStringList({key({"C"})}));
    window->fond->canvas()->onStudioObjectSelection(QStringList());
    EXPECT_TRUE(selectedKeys().isEmpty());
    EXPECT_TRUE(document->selectedEntityIDs().isEmpty());
}

TEST_F(StudioObjectsOutlineTest, TextEntitiesAreEditedInTheirInspector)
{
    open(sampleWork());
    clickOn(row(StudioObjectReference::entity({"T"})));
    ASSERT_EQ(window->outline()->textInspectorPath(), std::optional<QStringList>(QStringList{"T"}));
    EXPECT_EQ(window->svgTextValue->text(), QStringLiteral("Étiquette"));
    const int steps = undoCount();
    emit window->svgTextValue->editingFinished(); // nothing typed
    EXPECT_EQ(undoCount(), steps);
    window->svgTextValue->setText(QStringLiteral("Nord"));
    emit window->svgTextValue->editingFinished();
    EXPECT_EQ(undoName(), QStringLiteral("Modifier le texte SVG"));
    EXPECT_EQ(work().map.entities.at(2).geometry.asText()->text, QStringLiteral("Nord"));
}

TEST_F(StudioObjectsOutlineTest, LayoutSectionAndElements)
{
    open(layoutWork());
    ASSERT_EQ(model()->rowCount(), 2);
    EXPECT_EQ(model()->index(0, 0).data(StudioOutlineModel::KeyRole).toString(), StudioObjectNode::habillageSectionKey);
    EXPECT_EQ(childTitles(sectionRow(StudioObjectNode::habillageSectionKey)), QStringList({"Source", "Titre", "Légende"}));

    window->outline()->toggleObject(StudioObjectReference::decoration("d1"), false);
    EXPECT_EQ(undoName(), QStringLiteral("Verrouillage de l’objet"));
    // Locked: not deletable, not draggable, but its lock stays usable.
    const QModelIndex d1 = row(StudioObjectReference::decoration("d1"));
    EXPECT_FALSE(StudioOutlineDelegate::isButtonEnabled(d1.siblingAtColumn(3)));
    EXPECT_TRUE(StudioOutlineDelegate::isButtonEnabled(d1.siblingAtColumn(2)));
    // The rows were rebuilt: the section is looked up again.
    const StudioObjectNode* section = model()->node(sectionRow(StudioObjectNode::habillageSectionKey));
    ASSERT_TRUE(section);
    EXPECT_FALSE(window->outline()->dropPlan(StudioObjectReference::decoration("d1"), *section, 0));

    // Moving an element: d2 below d1 in the rows.
    EXPECT_TRUE(window->outline()->moveObject(StudioObjectReference::decoration("d2"), 0));
    EXPECT_EQ(work().decoration->objects.at(0).id, QStringLiteral("d2"));
    EXPECT_EQ(undoName(), QStringLiteral("Ordre des objets"));

    // A legend dragged among the elements becomes one through the layout's controller: one
    // undo step hides the legend and adds its element; undo brings the work back whole.
    const PlmWork before = work();
    const int steps = undoCount();
    EXPECT_TRUE(window->outline()->moveObject(StudioObjectReference::legend("legend"), 0));
    EXPECT_EQ(undoCount(), steps + 1);
    EXPECT_EQ(undoName(), QStringLiteral("Ordre des objets"));
    ASSERT_EQ(work().decoration->objects.size(), 3);
    EXPECT_EQ(work().decoration->objects.at(0).kind, PlmDecorationKind::legend);
    EXPECT_EQ(work().decoration->legend.hidden, std::optional<bool>(true));
    document->undoStack()->undo();
    EXPECT_EQ(work(), before);
}

TEST_F(StudioObjectsOutlineTest, LayoutEditsGoThroughTheLayoutController)
{
    open(layoutWork());
    ASSERT_TRUE(window->carte()->decorationController()->canEditObjects());

    // The trash of an element and of the legend is enabled; deleting stores one step.
    const QModelIndex d1 = row(StudioObjectReference::decoration("d1"));
    EXPECT_TRUE(StudioOutlineDelegate::isButtonEnabled(d1.siblingAtColumn(3)));
    EXPECT_TRUE(StudioOutlineDelegate::isButtonEnabled(row(StudioObjectReference::legend("legend")).siblingAtColumn(3)));
    const int steps = undoCount();
    window->outline()->deleteObject(StudioObjectReference::decoration("d1"));
    ASSERT_EQ(work().decoration->objects.size(), 1);
    EXPECT_EQ(work().decoration->objects.at(0).id, QStringLiteral("d2"));
    EXPECT_EQ(undoCount(), steps + 1);
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer l’habillage"));

    // The legend may be dropped among the elements.
    const StudioObjectNode* section = model()->node(sectionRow(StudioObjectNode::habillageSectionKey));
    ASSERT_TRUE(section);
    EXPECT_TRUE(window->outline()->dropPlan(StudioObjectReference::legend("legend"), *section, 0));
}

TEST_F(StudioObjectsOutlineTest, ClicksOnTheDrawnButtonsToggleTheirState)
{
    open(sampleWork());
    window->window()->resize(1400, 900);
    window->window()->show();
    QApplication::processEvents();
    QTreeView* tree = window->objects;
    const auto click = [tree](const QModelIndex& cell) { sendClick(tree->viewport(), tree->visualRect(cell).center()); };
    const QModelIndex alpha = row(StudioObjectReference::entity({"A"}));
    ASSERT_FALSE(tree->visualRect(alpha.siblingAtColumn(1)).isEmpty());
    click(alpha.siblingAtColumn(1));
    EXPECT_TRUE(work().map.entities.at(0).hidden());
    EXPECT_EQ(undoName(), QStringLiteral("Visibilité de l’objet"));
    // The button's click did not select the row.
    EXPECT_TRUE(selectedKeys().isEmpty());
    click(row(StudioObjectReference::entity({"A"})).siblingAtColumn(2));
    EXPECT_TRUE(work().map.entities.at(0).locked());
    // The trash of a top-level entity deletes it.
    const int steps = undoCount();
    click(row(StudioObjectReference::entity({"C"})).siblingAtColumn(3));
    EXPECT_EQ(undoCount(), steps + 1);
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer les entités"));
    // The rows draw offscreen without trouble.
    const QImage shot = tree->grab().toImage();
    EXPECT_FALSE(shot.isNull());
    window->window()->hide();
}


TEST_F(StudioObjectsOutlineTest, EveryOutlineEditUndoesToTheWorkBefore)
{
    open(layoutWork());
    const PlmWork before = work();
    StudioObjectsOutline* outline = window->outline();
    outline->toggleObject(StudioObjectReference::entity({"G", "M2"}), true);
    outline->toggleObject(StudioObjectReference::decoration("d1"), false);
    outline->toggleObject(StudioObjectReference::legend("legend"), true);
    EXPECT_TRUE(outline->renameObject(StudioObjectReference::decoration("d2"), QStringLiteral("Sources")));
    EXPECT_TRUE(outline->renameObject(StudioObjectReference::entity({"T"}), QStringLiteral("Nord")));
    EXPECT_TRUE(outline->moveObject(StudioObjectReference::entity({"G", "M1"}), 3));
    EXPECT_TRUE(outline->moveObject(StudioObjectReference::decoration("d2"), 0));
    outline->deleteObject(StudioObjectReference::entity({"G", "M3"}));
    ASSERT_EQ(undoCount(), 8);
    EXPECT_TRUE(work().decoration->legend.hidden.value_or(false));
    EXPECT_EQ(work().decoration->objects.at(0).presentation.title, std::optional<QString>("Sources"));
    // The work before each step was kept whole: undoing every step gives it back.
    while (document->undoStack()->canUndo())
        document->undoStack()->undo();
    EXPECT_TRUE(work() == before);
    EXPECT_EQ(row(StudioObjectReference::decoration("d2")).data().toString(), QStringLiteral("Source"));
    EXPECT_EQ(childTitles(row(StudioObjectReference::entity({"G"}))), QStringList({"M3", "M2", "M1"}));
}

// The outline shown in a window, driven by the events a user's mouse and keyboard send.
class StudioObjectsOutlineEventsTest : public StudioObjectsOutlineTest {
protected:
    QTreeView* shownTree()
    {
        window->window()->resize(1400, 900);
        window->window()->show();
        window->window()->activateWindow();
        QApplication::processEvents();
        return window->objects;
    }

    void doubleClick(const QModelIndex& cell)
    {
        sendDoubleClick(window->objects->viewport(), window->objects->visualRect(cell).center());
        QApplication::processEvents();
    }

    // The open rename editor (an editor closed earlier may still await its deletion).
    QLineEdit* renameEditor() const
    {
        for (QLineEdit* editor : window->objects->findChildren<QLineEdit*>(QStringLiteral("Studio.Objects.Rename"))) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }

    void click(const QModelIndex& cell)
    {
        sendClick(window->objects->viewport(), window->objects->visualRect(cell).center());
        QApplication::processEvents();
    }

    static void type(QWidget* target, const QString& text)
    {
        for (const QChar c : text) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(target, &press);
        }
    }

    static void pressKey(QWidget* target, int code)
    {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
        QApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier);
        QApplication::sendEvent(target, &release);
        // The editor commits in a posted event, and the rename follows in another.
        QApplication::processEvents();
        QApplication::processEvents();
    }

    // Drags the row's reference over the viewport and drops it at a point: the position
    // between rows is the view's own reading of the point, as for a real drag.
    bool dropAt(const QModelIndex& dragged, const QPoint& at)
    {
        std::unique_ptr<QMimeData> data(model()->mimeData({dragged}));
        if (!data)
            return false;
        QWidget* viewport = window->objects->viewport();
        QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &enter);
        QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
        if (!move.isAccepted()) {
            QDragLeaveEvent leave;
            QApplication::sendEvent(viewport, &leave);
            return false;
        }
        QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(viewport, &drop);
        QApplication::processEvents();
        return drop.isAccepted();
    }

    // Just above or below the middle of a row: the gap before or after it.
    QPoint gapAbove(const QModelIndex& index) const { return window->objects->visualRect(index).topLeft() + QPoint(30, 1); }
    QPoint gapBelow(const QModelIndex& index) const
    {
        return window->objects->visualRect(index).bottomLeft() + QPoint(30, -1);
    }
};

QStringList viewWarnings;

TEST_F(StudioObjectsOutlineEventsTest, RenamesByDoubleClickTypingAndReturn)
{
    // The rows are rebuilt by a rename: never under the view while it still holds the editor.
    viewWarnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString& text) {
        viewWarnings.append(text);
    });
    QTreeView* tree = (open(sampleWork()), shownTree());
    doubleClick(row(StudioObjectReference::entity({"A"})));
    auto* editor = renameEditor();
    ASSERT_TRUE(editor);
    ASSERT_EQ(editor->text(), QStringLiteral("Alpha"));
    editor->selectAll();
    type(editor, QStringLiteral("  Ouest "));
    pressKey(editor, Qt::Key_Return);
    EXPECT_EQ(work().map.entities.at(0).name, QStringLiteral("Ouest"));
    EXPECT_EQ(undoName(), QStringLiteral("Renommer l’objet"));
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(row(StudioObjectReference::entity({"A"})).data().toString(), QStringLiteral("Ouest"));

    // A member inside a group, then a blank name: the old title comes back, no undo step.
    tree->expand(row(StudioObjectReference::entity({"G"})));
    doubleClick(row(StudioObjectReference::entity({"G", "M1"})));
    editor = renameEditor();
    ASSERT_TRUE(editor);
    editor->selectAll();
    type(editor, QStringLiteral("   "));
    pressKey(editor, Qt::Key_Return);
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(row(StudioObjectReference::entity({"G", "M1"})).data().toString(), QStringLiteral("M1"));
    EXPECT_EQ(StudioObjectEdits::entityAtPath(work().map.entities, {"G", "M1"})->name, QString());

    // Escape abandons the edit.
    doubleClick(row(StudioObjectReference::entity({"C"})));
    editor = renameEditor();
    ASSERT_TRUE(editor);
    editor->selectAll();
    type(editor, QStringLiteral("Abandon"));
    pressKey(editor, Qt::Key_Escape);
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(work().map.entities.at(3).name, QString());
    window->window()->hide();
    qInstallMessageHandler(previous);
    EXPECT_TRUE(viewWarnings.filter(QStringLiteral("closeEditor")).isEmpty()) << viewWarnings.join('\n').toStdString();
}

TEST_F(StudioObjectsOutlineEventsTest, DragsAndDropsRowsWithinTheirList)
{
    QTreeView* tree = (open(sampleWork()), shownTree());
    tree->expand(row(StudioObjectReference::entity({"G"})));
    QApplication::processEvents();
    // Rows: M3, M2, M1. M1 dropped above M3 becomes the member drawn last.
    ASSERT_TRUE(dropAt(row(StudioObjectReference::entity({"G", "M1"})), gapAbove(row(StudioObjectReference::entity({"G", "M3"})))));
    EXPECT_EQ(memberIDs("G"), QStringList({"M2", "M3", "M1"}));
    EXPECT_EQ(undoName(), QStringLiteral("Ordre des objets"));
    EXPECT_EQ(undoCount(), 1);
    // Rows: M1, M3, M2. M1 dropped below M2 goes back to the bottom of the drawing order.
    ASSERT_TRUE(dropAt(row(StudioObjectReference::entity({"G", "M1"})), gapBelow(row(StudioObjectReference::entity({"G", "M2"})))));
    EXPECT_EQ(memberIDs("G"), QStringList({"M1", "M2", "M3"}));
    EXPECT_TRUE(window->objects->isExpanded(row(StudioObjectReference::entity({"G"}))));

    // A top-level entity among the top-level rows: C (first row) below A (last row).
    ASSERT_TRUE(dropAt(row(StudioObjectReference::entity({"C"})), gapBelow(row(StudioObjectReference::entity({"A"})))));
    QStringList order;
    const PlmWork moved = work();
    for (const PlmEntity& entity : moved.map.entities)
        order.append(entity.id);
    EXPECT_EQ(order, QStringList({"C", "A", "G", "T"}));

    // Into another list: refused, nothing stored.
    const int steps = undoCount();
    EXPECT_FALSE(dropAt(row(StudioObjectReference::entity({"A"})), gapAbove(row(StudioObjectReference::entity({"G", "M2"})))));
    EXPECT_FALSE(dropAt(row(StudioObjectReference::entity({"G", "M2"})), gapAbove(row(StudioObjectReference::entity({"T"})))));
    // Onto the middle of a row (not between rows): refused.
    EXPECT_FALSE(dropAt(row(StudioObjectReference::entity({"G", "M2"})),
                        tree->visualRect(row(StudioObjectReference::entity({"G", "M1"}))).center()));
    EXPECT_EQ(undoCount(), steps);
    window->window()->hide();
}

TEST_F(StudioObjectsOutlineEventsTest, TrashOfAMemberDeletesItAndAnOnlyMemberTakesItsGroup)
{
    PlmWork start = sampleWork();
    start.map.entities.append(group("Outer", {group("Inner", {point("Leaf")}), point("Other")}));
    QTreeView* tree = (open(start), shownTree());
    tree->expandAll();
    QApplication::processEvents();
    const QModelIndex leaf = row(StudioObjectReference::entity({"Outer", "Inner", "Leaf"}));
    ASSERT_TRUE(StudioOutlineDelegate::isButtonEnabled(leaf.siblingAtColumn(3)));
    click(leaf.siblingAtColumn(3));
    EXPECT_EQ(undoName(), QStringLiteral("Supprimer l’objet du groupe"));
    const PlmEntity* outer = StudioObjectEdits::entityAtPath(work().map.entities, {"Outer"});
    ASSERT_TRUE(outer);
    ASSERT_EQ(outer->geometry.asGroup()->size(), 1); // Inner went with its only member
    EXPECT_EQ(outer->geometry.asGroup()->at(0).id, QStringLiteral("Other"));
    EXPECT_EQ(document->selectedEntityID(), std::optional<QString>("Outer"));
    EXPECT_FALSE(row(StudioObjectReference::entity({"Outer", "Inner"})).isValid());
    window->window()->hide();
}


TEST_F(StudioObjectsOutlineEventsTest, ADragOfSeveralSelectedRowsCarriesThePressedOne)
{
    QTreeView* tree = (open(sampleWork()), shownTree());
    const auto pressWith = [this](const QModelIndex& cell, Qt::KeyboardModifiers modifiers, bool release) {
        QWidget* viewport = window->objects->viewport();
        const QPoint at = window->objects->visualRect(cell).center();
        sendMouse(viewport, QEvent::MouseButtonPress, at, modifiers);
        if (release)
            sendMouse(viewport, QEvent::MouseButtonRelease, at, modifiers);
        QApplication::processEvents();
    };
    // C (the first row) then Ctrl-click A (the last): both selected; pressing A again starts
    // a drag of the selection.
    pressWith(row(StudioObjectReference::entity({"C"})), Qt::NoModifier, true);
    pressWith(row(StudioObjectReference::entity({"A"})), Qt::ControlModifier, true);
    ASSERT_EQ(selectedKeys(), QStringList({key({"A"}), key({"C"})}));
    pressWith(row(StudioObjectReference::entity({"A"})), Qt::NoModifier, false);
    ASSERT_EQ(selectedKeys(), QStringList({key({"A"}), key({"C"})}));
    // What the view hands the model when the drag starts: every selected cell.
    std::unique_ptr<QMimeData> data(model()->mimeData(tree->selectionModel()->selectedIndexes()));
    ASSERT_TRUE(data);
    EXPECT_EQ(data->data(StudioObjectReference::pasteboardType), key({"A"}).toUtf8());
    sendMouse(tree->viewport(), QEvent::MouseButtonRelease, QPoint(1, 1));
    window->window()->hide();
}


TEST_F(StudioObjectsOutlineEventsTest, ClickingALayoutRowSelectsItInTheCarte)
{
    PlmWork start = sampleWork();
    start.decoration = PlmDecoration();
    start.decoration->objects = {PlmDecorationObject::make("d1", PlmDecorationKind::title)};
    QTreeView* tree = (open(start), shownTree());
    ASSERT_EQ(window->mode, StudioWindowController::Mode::fond);
    click(row(StudioObjectReference::entity({"A"})));
    EXPECT_EQ(document->selectedEntityID(), std::optional<QString>("A"));

    click(row(StudioObjectReference::decoration("d1")));
    EXPECT_EQ(window->mode, StudioWindowController::Mode::carte);
    EXPECT_EQ(window->carte()->decorationController()->selected, std::optional<QString>("d1"));
    // Choosing a layout element clears the entity selection everywhere, the outline included.
    EXPECT_TRUE(document->selectedEntityIDs().isEmpty());
    EXPECT_EQ(selectedKeys(), QStringList{StudioObjectReference::decoration("d1").key()});
    EXPECT_FALSE(window->fond->canvas()->selectedIndex.has_value());

    // A refresh keeps the element's row; choosing an entity again forgets the element.
    document->updateWork(QStringLiteral("Test"), [](PlmWork& w) { w.map.entities.edit(0).name = QStringLiteral("Autre"); });
    EXPECT_EQ(selectedKeys(), QStringList{StudioObjectReference::decoration("d1").key()});
    click(row(StudioObjectReference::entity({"C"})));
    EXPECT_EQ(document->selectedEntityID(), std::optional<QString>("C"));
    EXPECT_FALSE(window->carte()->decorationController()->selected.has_value());
    EXPECT_EQ(selectedKeys(), QStringList{key({"C"})});
    (void)tree;
    window->window()->hide();
}


TEST_F(StudioObjectsOutlineEventsTest, DragsLayoutElementsAmongElementsOnly)
{
    PlmWork start = sampleWork();
    start.decoration = PlmDecoration();
    start.decoration->objects = {PlmDecorationObject::make("d1", PlmDecorationKind::title),
                                 PlmDecorationObject::make("d2", PlmDecorationKind::source),
                                 PlmDecorationObject::make("d3", PlmDecorationKind::author)};
    start.thematic = PlmThematicSettings();
    QTreeView* tree = (open(start), shownTree());
    const auto order = [this] {
        QStringList ids;
        const PlmWork current = work();
        for (const PlmDecorationObject& object : current.decoration->objects)
            ids.append(object.id);
        return ids;
    };
    // Rows: d3, d2, d1, Légende. d1 dropped above d3 is drawn last.
    ASSERT_TRUE(dropAt(row(StudioObjectReference::decoration("d1")), gapAbove(row(StudioObjectReference::decoration("d3")))));
    EXPECT_EQ(order(), QStringList({"d2", "d3", "d1"}));
    EXPECT_EQ(undoName(), QStringLiteral("Ordre des objets"));
    const int steps = undoCount();
    // Below the legend row, or among the entities: refused.
    EXPECT_FALSE(dropAt(row(StudioObjectReference::decoration("d2")), gapBelow(row(StudioObjectReference::legend("legend")))));
    EXPECT_FALSE(dropAt(row(StudioObjectReference::decoration("d2")), gapAbove(row(StudioObjectReference::entity({"T"})))));
    // A locked element is not dragged.
    window->outline()->toggleObject(StudioObjectReference::decoration("d2"), false);
    EXPECT_FALSE(dropAt(row(StudioObjectReference::decoration("d2")), gapAbove(row(StudioObjectReference::decoration("d1")))));
    EXPECT_EQ(undoCount(), steps + 1); // the lock only
    EXPECT_EQ(order(), QStringList({"d2", "d3", "d1"}));
    (void)tree;
    window->window()->hide();
}


TEST_F(StudioObjectsOutlineEventsTest, TypingATextEntityValueThenReturnIsOneStep)
{
    open(sampleWork());
    shownTree();
    click(row(StudioObjectReference::entity({"T"})));
    ASSERT_EQ(window->outline()->textInspectorPath(), std::optional<QStringList>(QStringList{"T"}));
    QLineEdit* value = window->svgTextValue;
    ASSERT_TRUE(value->isVisible());
    value->setFocus();
    value->selectAll();
    type(value, QStringLiteral("Sud"));
    pressKey(value, Qt::Key_Return);
    EXPECT_EQ(work().map.entities.at(2).geometry.asText()->text, QStringLiteral("Sud"));
    EXPECT_EQ(undoName(), QStringLiteral("Modifier le texte SVG"));
    EXPECT_EQ(undoCount(), 1);
    // Leaving the field afterwards stores nothing more.
    window->objects->setFocus();
    QApplication::processEvents();
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(value->text(), QStringLiteral("Sud"));
    window->window()->hide();
}


TEST_F(StudioObjectsOutlineEventsTest, ANameBeingTypedIsStoredWhenASelectionArrivesFromElsewhere)
{
    open(sampleWork());
    shownTree();
    doubleClick(row(StudioObjectReference::entity({"A"})));
    auto* editor = renameEditor();
    ASSERT_TRUE(editor);
    editor->selectAll();
    type(editor, QStringLiteral("Ouest"));
    // The map view selects C meanwhile: the outline's current row moves and the edit ends.
    window->fond->canvas()->onStudioObjectSelection(QStringList{"C"});
    QApplication::processEvents();
    QApplication::processEvents();
    EXPECT_EQ(work().map.entities.at(0).name, QStringLiteral("Ouest"));
    EXPECT_EQ(undoCount(), 1);
    EXPECT_EQ(selectedKeys(), QStringList({key({"C"})}));

    // A later rename of another row stores that name only.
    doubleClick(row(StudioObjectReference::entity({"C"})));
    editor = renameEditor();
    ASSERT_TRUE(editor);
    editor->selectAll();
    type(editor, QStringLiteral("Est"));
    pressKey(editor, Qt::Key_Return);
    EXPECT_EQ(work().map.entities.at(3).name, QStringLiteral("Est"));
    EXPECT_EQ(work().map.entities.at(0).name, QStringLiteral("Ouest"));
    EXPECT_EQ(undoCount(), 2);
    window->window()->hide();
}

} // namespace
