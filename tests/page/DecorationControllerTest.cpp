#include "canvas/VectorCanvas.h"
#include "inspector/InspectorSection.h"
#include "page/DecorationDrawing.h"
#include "page/DecorationText.h"
#include "platform/UserDefaults.h"
#include "support/PresentationTestSupport.h"
#include "support/CanvasEvents.h"
#include "support/DecorationTestPage.h"
#include "support/ImageCompare.h"
#include "support/WidgetKeys.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QMimeData>
#include <gtest/gtest.h>

using namespace DecorationTestSupport;

namespace {

// The root point (host coordinates, y up) of a canvas point.
QPointF rootPoint(const DecorationTestPage& t, const QPointF& canvasPoint)
{
    return t.h.canvas->convertToRoot(canvasPoint);
}

PlmWork threeObjects()
{
    return workWith({placed("a", PlmDecorationKind::title, 40, 300, 200, 52),
                     placed("b", PlmDecorationKind::rectangle, 300, 100, 100, 60),
                     placed("c", PlmDecorationKind::text, 40, 40, 120, 40)});
}

} // namespace

TEST(DecorationSelection, ExtendingTogglesAndTheGreatestIdIsPrimary)
{
    DecorationTestPage t(threeObjects());
    QList<std::optional<QString>> reported;
    t.controller->onObjectSelectionChange = [&](const std::optional<QString>& id) { reported.append(id); };
    t.controller->select(QStringLiteral("b"), false);
    t.controller->select(QStringLiteral("a"), true);
    EXPECT_EQ(t.controller->selectedIDs, (QSet<QString>{"a", "b"}));
    EXPECT_EQ(t.controller->selected, std::optional<QString>("b"));  // "a" sorts first: not primary
    t.controller->select(QStringLiteral("c"), true);
    EXPECT_EQ(t.controller->selected, std::optional<QString>("c"));
    t.controller->select(QStringLiteral("c"), true);  // a selected one is removed
    EXPECT_EQ(t.controller->selectedIDs, (QSet<QString>{"a", "b"}));
    EXPECT_EQ(t.controller->selected, std::optional<QString>("b"));
    t.controller->select(QStringLiteral("a"), true);
    t.controller->select(QStringLiteral("b"), true);
    EXPECT_TRUE(t.controller->selectedIDs.isEmpty());
    EXPECT_EQ(t.controller->selected, std::nullopt);
    // Reported only when the primary changed: b, c, b, none.
    EXPECT_EQ(reported, (QList<std::optional<QString>>{QString("b"), QString("c"), QString("b"), std::nullopt}));
}

TEST(DecorationSelection, SelectAll)
{
    {
        DecorationTestPage t(workWith({}));
        t.h.canvas->secondLegend()->setHidden(false);
        t.controller->selectAll();
        EXPECT_EQ(t.controller->selectedIDs, (QSet<QString>{"legend", "secondLegend"}));
        EXPECT_EQ(t.controller->selected, std::optional<QString>("legend"));
    }
    {
        // The topmost visible element is primary, never a hidden one.
        PlmWork work = threeObjects();
        work.decoration->objects[2].presentation.hidden = true;
        DecorationTestPage t(work);
        t.controller->selectAll();
        EXPECT_EQ(t.controller->selectedIDs, (QSet<QString>{"a", "b", "legend"}));
        EXPECT_EQ(t.controller->selected, std::optional<QString>("b"));
    }
}

TEST(DecorationSelection, SectionsFollowTheKindOfTheSelection)
{
    PlmWork work = threeObjects();
    DecorationTestPage t(work);
    const auto visible = [&] {
        QStringList titles;
        for (const auto& [section, key] : t.controller->sections())
            if (!section->isHidden())
                titles.append(section->title());
        return titles;
    };
    EXPECT_TRUE(visible().isEmpty());
    t.controller->select(QStringLiteral("b"), false);
    EXPECT_EQ(visible(), QStringList({"Forme", "Contour", "Cadre", "Ombre", "Position & taille", "Alignement", "Objet"}));
    t.controller->select(QStringLiteral("secondLegend"), false);
    EXPECT_EQ(visible(), QStringList({"Texte / Caractères", "Paragraphe", "Contour", "Cadre", "Ombre",
                                      "Position & taille", "Alignement", "Légende", "Objet"}));
}

TEST(DecorationSelection, ThePictogramSectionReadsTheStateStoredUnderItsFormerTitle)
{
    UserDefaults::TemporaryScope defaults;
    UserDefaults::setValue(QStringLiteral("Carte.Inspecteur.section.SF Symbol"), false);
    DecorationTestPage t(workWith({placed("s", PlmDecorationKind::sfSymbol, 40, 40, 60, 60)}));
    t.controller->select(QStringLiteral("s"), false);
    InspectorSection* pictogram = nullptr;
    for (const auto& [section, key] : t.controller->sections())
        if (key == QStringLiteral("sf"))
            pictogram = section;
    ASSERT_NE(pictogram, nullptr);
    EXPECT_EQ(pictogram->title(), QStringLiteral("Pictogramme"));
    EXPECT_FALSE(pictogram->isHidden());
    EXPECT_FALSE(pictogram->isOpen());
}

TEST(DecorationViews, FollowTheStoredObjectsAndTheirOrder)
{
    DecorationTestPage t(threeObjects());
    QStringList ids;
    for (DecorationObjectView* view : t.controller->objectViews())
        ids.append(view->object.id);
    EXPECT_EQ(ids, QStringList({"a", "b", "c"}));
    EXPECT_EQ(t.view("b")->frame(), QRectF(300, 100, 100, 60));
    t.controller->select(QStringLiteral("c"), false);
    t.document.work.decoration->objects.removeAt(1);  // b gone
    t.document.work.decoration->objects.move(0, 1);   // c, a
    t.controller->syncObjectViews();
    ids.clear();
    for (DecorationObjectView* view : t.controller->objectViews())
        ids.append(view->object.id);
    EXPECT_EQ(ids, QStringList({"c", "a"}));
    EXPECT_EQ(t.controller->selected, std::optional<QString>("c"));
    t.document.work.decoration->objects.removeAt(0);
    t.controller->syncObjectViews();
    EXPECT_EQ(t.controller->selected, std::nullopt);
}

TEST(DecorationGestures, DraggingAnObjectMovesItsCompanionsInOneStep)
{
    PlmWork work = threeObjects();
    // c keeps its place: its position is fixed.
    changeEditingStyle(work.decoration->objects[2].presentation, [](PlmEditingStyle& s) { s.lockPosition = true; });
    // b is stored as fractions of the free room.
    work.decoration->objects[1].presentation.positionInPoints.reset();
    work.decoration->objects[1].position = {0.5, 0.5};
    DecorationTestPage t(work);
    const PlmWork before = t.document.work;
    ViewHost& host = *t.h.widget;
    CanvasEvents::click(host, rootPoint(t, {140, 340}));
    CanvasEvents::click(host, rootPoint(t, {302, 171}), Qt::ShiftModifier);  // b's edge (unfilled)
    CanvasEvents::click(host, rootPoint(t, {100, 60}), Qt::ShiftModifier);
    ASSERT_EQ(t.controller->selectedIDs, (QSet<QString>{"a", "b", "c"}));
    CanvasEvents::dragFromTo(host, rootPoint(t, {140, 330}), rootPoint(t, {150, 310}));
    EXPECT_EQ(t.document.undoNames(), QStringList({"Déplacer / redimensionner Titre"}));
    EXPECT_EQ(t.object(0).position, (PlmPoint{50, 280}));
    EXPECT_EQ(t.object(1).position, (PlmPoint{260, 150}));  // 0.5 × (600 − 100) + 10, 0.5 × (400 − 60) − 20
    EXPECT_EQ(t.object(1).presentation.positionInPoints, std::optional<bool>(true));
    EXPECT_EQ(t.object(2).position, (PlmPoint{40, 40}));
    EXPECT_EQ(t.view("b")->frame().topLeft(), QPointF(260, 150));
    t.document.undoLast();
    EXPECT_EQ(t.document.work, before);
}

TEST(DecorationGestures, LegendMovesResizesAndRotations)
{
    PlmWork work = workWith({});
    work.thematic = PlmThematicSettings();
    DecorationTestPage t(work);
    ThematicLegend* legend = t.h.canvas->legend();
    const QRectF f = legend->frame();
    t.controller->moveLegend(QStringLiteral("legend"), PlmPoint{f.left() - 30, f.top() + 10}, true);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Déplacer la légende"));
    EXPECT_EQ(t.document.work.thematic->legendPosition, (PlmPoint{f.left() - 30, f.top() + 10}));
    EXPECT_EQ(t.decoration().legend.positionInPoints, std::optional<bool>(true));
    t.controller->resizeLegend(QStringLiteral("legend"), QSizeF(200, 150), PlmPoint{20, 30});
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Redimensionner la légende"));
    EXPECT_EQ(t.decoration().legend.width, std::optional<double>(200));
    EXPECT_EQ(t.decoration().legend.height, std::optional<double>(150));
    EXPECT_EQ(t.decoration().legend.legendFitsContent, std::optional<bool>(false));
    EXPECT_EQ(t.document.work.thematic->legendPosition, (PlmPoint{20, 30}));
    t.controller->rotateLegend(QStringLiteral("legend"), 15);
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Rotation de la légende"));
    EXPECT_EQ(t.decoration().legend.effectiveEditingStyle().rotation, 15);
    while (!t.document.undo.isEmpty())
        t.document.undoLast();
    EXPECT_EQ(t.document.work, work);
}

TEST(DecorationGestures, ALegendWithoutAStoredPositionStaysInFractions)
{
    // No thematic settings: there is nowhere to keep a position in points, so the flag that
    // would read the fraction as points (and throw the legend to the corner) is not set.
    DecorationTestPage t(workWith({placed("a", PlmDecorationKind::text, 40, 40, 120, 40)}));
    t.controller->select(QStringLiteral("a"), false);
    t.controller->select(QStringLiteral("secondLegend"), true);
    t.controller->select(QStringLiteral("legend"), true);
    t.controller->objectGeometryChanged(t.object(0), PlmPoint{50, 50}, 120, 40, true);
    EXPECT_EQ(t.object(0).position, (PlmPoint{50, 50}));
    EXPECT_EQ(t.decoration().legend.positionInPoints, std::nullopt);
    EXPECT_EQ(t.decoration().secondLegend.positionInPoints, std::nullopt);
    t.controller->moveLegend(QStringLiteral("legend"), PlmPoint{10, 10}, true);
    EXPECT_EQ(t.decoration().legend.positionInPoints, std::nullopt);
    t.controller->select(QStringLiteral("legend"), false);
    t.controller->setPositionValue(3, 200);
    EXPECT_EQ(t.decoration().legend.height, std::optional<double>(200));
    EXPECT_EQ(t.decoration().legend.positionInPoints, std::nullopt);
}

TEST(DecorationGestures, RotatingSeveralElementsLeavesTheScaleBarUpright)
{
    DecorationTestPage t(workWith({placed("a", PlmDecorationKind::rectangle, 40, 40, 120, 60),
                                   placed("s", PlmDecorationKind::scale, 300, 40, 220, 64)}));
    t.controller->select(QStringLiteral("s"), false);
    t.controller->select(QStringLiteral("a"), true);  // a is primary? "s" sorts last
    ASSERT_EQ(t.controller->selected, std::optional<QString>("s"));
    t.controller->objectRotated(30, true);
    EXPECT_TRUE(t.document.errors.isEmpty());
    EXPECT_EQ(t.object(0).presentation.effectiveEditingStyle().rotation, 30);
    EXPECT_EQ(t.object(1).presentation.effectiveEditingStyle().rotation, 0);
    // The inspector's row beeps for a scale bar.
    t.controller->setStyleDouble(&PlmEditingStyle::rotation, 45, QStringLiteral("Rotation (°)"));
    EXPECT_EQ(t.beeps, 1);
    EXPECT_EQ(t.document.undoNames(), QStringList({"Rotation"}));
}

TEST(DecorationTextEditing, TypedTextIsOneUndoStepOnlyWhenItChanged)
{
    DecorationTestPage t(threeObjects());
    ViewHost& host = *t.h.widget;
    CanvasEvents::doubleClick(host, rootPoint(t, {140, 326}));
    ASSERT_TRUE(t.controller->editor());
    EXPECT_EQ(t.controller->editor()->string(), QStringLiteral("Titre"));
    // Nothing typed: no step and the document is as before.
    t.controller->commitTextEdit();
    EXPECT_FALSE(t.controller->editor());
    EXPECT_TRUE(t.document.undo.isEmpty());
    EXPECT_EQ(t.document.changeCount, 0);

    t.controller->beginTextEdit();
    t.controller->editor()->insertPlainText(QStringLiteral(" de la carte"));
    EXPECT_EQ(t.document.changeCount, 0);
    EXPECT_TRUE(t.document.draft);
    // An export draws what is typed; the document keeps the old text.
    EXPECT_EQ(t.controller->applyingPendingTextEdit(t.document.work).decoration->objects.at(0).text,
              QStringLiteral("Titre de la carte"));
    EXPECT_EQ(t.object(0).text, QStringLiteral("Titre"));
    t.document.saidChanged.clear();
    QKeyEvent commandReturn(QEvent::KeyPress, Qt::Key_Return, Qt::ControlModifier);
    QCoreApplication::sendEvent(t.controller->editor(), &commandReturn);
    EXPECT_EQ(t.object(0).text, QStringLiteral("Titre de la carte"));
    EXPECT_EQ(t.document.undoNames(), QStringList({"Modifier le texte"}));
    EXPECT_EQ(t.document.changeCount, 1);
    EXPECT_FALSE(t.document.draft);
    // The draft becomes its step before it ends: the window never says unchanged in between.
    EXPECT_EQ(t.document.saidChanged, QList<bool>({true, true}));

    // Escape leaves everything as it was.
    t.controller->beginTextEdit();
    t.controller->editor()->insertPlainText(QStringLiteral("!"));
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(t.controller->editor(), &escape);
    EXPECT_FALSE(t.controller->editor());
    EXPECT_EQ(t.object(0).text, QStringLiteral("Titre de la carte"));
    EXPECT_EQ(t.document.changeCount, 1);
    EXPECT_FALSE(t.document.draft);

    // A rectangle has no text to edit.
    t.controller->select(QStringLiteral("b"), false);
    t.controller->beginTextEdit();
    EXPECT_FALSE(t.controller->editor());

    // A controller going away during a draft leaves no change behind it.
    t.controller->select(QStringLiteral("a"), false);
    t.controller->beginTextEdit();
    t.controller->editor()->insertPlainText(QStringLiteral("?"));
    ASSERT_TRUE(t.document.draft);
    t.controller.reset();
    EXPECT_FALSE(t.document.draft);
    EXPECT_EQ(t.object(0).text, QStringLiteral("Titre de la carte"));
}

// A text typed in place whose lines no longer fit its frame makes the frame as tall as the page
// lays them out, in the same step: its width stays, its top edge too unless the frame would then
// leave the page; one undo gives back the text and the frame.
TEST(DecorationTextEditing, TheFrameGrowsToHoldEveryTypedLine)
{
    const struct {
        const char* name;
        PlmDecorationObject object;
        QString typed;
        bool grows;
        bool keepsItsTop;
    } rows[] = {
        {"a new title of two lines", PlmDecorationObject::make(QStringLiteral("a"), PlmDecorationKind::title),
         QStringLiteral("Carte des communes\nde la région"), true, false},
        {"a source of two lines placed in points", placed(QStringLiteral("a"), PlmDecorationKind::source, 40, 200, 400, 32),
         QStringLiteral("Source : recensement\nTraitement : Pelmora"), true, true},
        {"a free text of four lines near the page's foot", placed(QStringLiteral("a"), PlmDecorationKind::text, 40, 4, 300, 58),
         QStringLiteral("Un\nDeux\nTrois\nQuatre"), true, false},
        {"a shorter text", placed(QStringLiteral("a"), PlmDecorationKind::text, 40, 100, 300, 80), QStringLiteral("Court"),
         false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DecorationTestPage t(workWith({row.object}));
        const PlmWork before = t.document.work;
        const QRectF frameBefore = t.view(QStringLiteral("a"))->frame();
        t.controller->select(QStringLiteral("a"), false);
        t.controller->beginTextEdit();
        ASSERT_TRUE(t.controller->editor());
        t.controller->editor()->selectAll();
        t.controller->editor()->insertPlainText(row.typed);
        keyClick(t.controller->editor(), Qt::Key_Return, Qt::ControlModifier);
        ASSERT_EQ(t.object(0).text, row.typed);
        EXPECT_EQ(t.document.undoNames(), QStringList({"Modifier le texte"}));

        // The lines as the page lays them out in the frame's content box.
        const DecorationObjectView* view = t.view(QStringLiteral("a"));
        const QRectF frame = view->frame();
        const PlmPresentation& presentation = t.object(0).presentation;
        const QRectF content = decorationContentBox(view->bounds(), presentation.effectiveEditingStyle());
        const double used = DecorationText(row.typed, textAttributes(presentation), content.width()).usedHeight();
        const double padding = frame.height() - content.height();
        ASSERT_EQ(used > frameBefore.height() - padding, row.grows);
        EXPECT_EQ(frame.width(), frameBefore.width());
        EXPECT_NEAR(frame.height(), std::max(frameBefore.height(), used + padding), 1e-6);
        EXPECT_TRUE(t.h.canvas->bounds().contains(frame));
        if (row.keepsItsTop) {
            EXPECT_DOUBLE_EQ(frame.bottom(), frameBefore.bottom());
        }

        t.document.undoLast();
        EXPECT_EQ(t.document.work, before);
    }
}

TEST(DecorationTextEditing, ALegendTitleStartsFromTheLegendsOwnTitle)
{
    PlmWork work = workWith({});
    work.decoration = PlmDecoration();
    DecorationTestPage t(work);
    t.h.canvas->legend()->setTitle(QStringLiteral("Population"));
    t.controller->select(QStringLiteral("legend"), false);
    t.controller->beginTextEdit();
    ASSERT_TRUE(t.controller->editor());
    EXPECT_EQ(t.controller->editor()->string(), QStringLiteral("Population"));
    t.controller->editor()->insertPlainText(QStringLiteral(" 2020"));
    t.controller->commitTextEdit();
    EXPECT_EQ(t.decoration().legend.title, std::optional<QString>("Population 2020"));
}

TEST(DecorationTextEditing, TheEditorTakesTheFocusAtTheEndOfTheText)
{
    DecorationTestPage t(threeObjects());
    t.h.widget->show();
    t.controller->select(QStringLiteral("a"), false);
    t.controller->beginTextEdit();
    ASSERT_TRUE(t.controller->editor());
    DecorationTextEditor* editor = t.controller->editor();
    EXPECT_TRUE(editor->isVisible());
    EXPECT_EQ(editor->textCursor().position(), 5);  // at the end of "Titre"
    if (const QString keep = qEnvironmentVariable("PELMORA_RENDER_DIR"); !keep.isEmpty())
        t.h.widget->grab().save(keep + QStringLiteral("/decoration-editor.png"));
    // A click elsewhere on the page takes the focus: the edit ends.
    editor->insertPlainText(QStringLiteral(" 2"));
    t.h.widget->setFocus();
    editor->clearFocus();
    t.controller->commitTextEdit();
    EXPECT_EQ(t.object(0).text, QStringLiteral("Titre 2"));
}

TEST(DecorationTextEditing, TheEditorShowsTheTextAsThePageWillDrawIt)
{
    // What a person reads while typing against what the page shows once the text is taken (with
    // room for every line), at the same zoom and scroll: the same lines, at the same size and place.
    const QString title = QStringLiteral("Carte des communes");
    const QString twoLines = QStringLiteral("Première ligne\nSeconde ligne, plus longue");
    const struct {
        const char* name;
        PlmDecorationKind kind;
        QString boxText;    // the text the box's height is made for
        QString text;       // typed in place of the stored one
        double zoomBefore;  // the page zoomed about the text, then scrolled, before the edit
        double zoomDuring;  // the same while the text is typed; 1: none
    } rows[] = {
        {"a title that fits one line on the page", PlmDecorationKind::title, title, title, 1, 1},
        {"a free text of two lines, zoomed in and scrolled", PlmDecorationKind::text, twoLines, twoLines, 2.2, 1},
        {"a title zoomed in and scrolled while it is typed", PlmDecorationKind::title, title, title, 1, 1.7},
        {"a third line typed past the box's bottom", PlmDecorationKind::text, twoLines,
         twoLines + QStringLiteral("\nTroisième"), 1, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // A box that holds the longest line with a little room, not a third more: the size a
        // 96-dpi screen gives the page's points wraps it.
        PlmDecorationObject object = placed("a", row.kind, 0, 0, 10, 10);
        const DecorationTextAttributes attributes = textAttributes(object.presentation);
        const double padding = object.presentation.effectiveEditingStyle().padding;
        double longest = 0;
        for (const QString& line : row.text.split(QLatin1Char('\n')))
            longest = std::max(longest, DecorationText::singleLineWidth(line, attributes));
        const auto heightFor = [&](const QString& text) {
            return DecorationText(text, attributes, longest * 1.12).usedHeight() + 2 * padding;
        };
        object.width = longest * 1.12 + 2 * padding;
        object.height = heightFor(row.boxText);
        object.position = {300 - object.width / 2, 200 - object.height / 2};
        object.text = QStringLiteral("Titre");
        DecorationTestPage t(workWith({object}));
        t.h.widget->show();
        const auto zoom = [&t](double factor) {
            if (factor == 1)
                return;
            t.h.host->zoomBy(factor, t.view(QStringLiteral("a"))->frame().center());
            t.h.host->panBy(QPointF(-20, 12));
        };
        zoom(row.zoomBefore);
        t.controller->select(QStringLiteral("a"), false);
        t.controller->beginTextEdit();
        DecorationTextEditor* editor = t.controller->editor();
        ASSERT_TRUE(editor);
        editor->selectAll();
        editor->insertPlainText(row.text);
        zoom(row.zoomDuring);
        const QImage typing = t.h.widget->grab().toImage();
        const QRect shown = editor->geometry();
        // The text's box on screen.
        const auto boxOnScreen = [&t] {
            const std::optional<DecorationController::TextPlace> place = t.controller->textPlace(QStringLiteral("a"));
            const QPointF a = t.h.widget->widgetPoint(place->view->convertToRoot(place->box.topLeft()));
            const QPointF b = t.h.widget->widgetPoint(place->view->convertToRoot(place->box.bottomRight()));
            return QRectF(a, b).normalized().toAlignedRect();
        };
        const QRect box = boxOnScreen();
        keyClick(editor, Qt::Key_Return, Qt::ControlModifier);
        ASSERT_EQ(t.object(0).text, row.text);
        t.controller->deselectAll();
        // Room for every line, the box's top where it was.
        PlmWork grown = t.document.work;
        PlmDecorationObject& taken = grown.decoration->objects[0];
        const double room = heightFor(row.text) - taken.height;
        taken.height += room;
        taken.position.y -= room;
        t.document.work = grown;
        t.controller->syncObjectViews();
        t.h.canvas->layoutComposition();
        const QImage page = t.h.widget->grab().toImage();
        const QRect area = (shown | box | boxOnScreen()).intersected(t.h.widget->rect());
        const int unmatched = ImageCompare::unmatched(typing.copy(area), page.copy(area), 40, 1)
                              + ImageCompare::unmatched(page.copy(area), typing.copy(area), 40, 1);
        // At most the caret's line.
        EXPECT_LE(unmatched, area.height()) << area.width() << " × " << area.height() << " unmatched " << unmatched;
        if (const QString keep = qEnvironmentVariable("PELMORA_RENDER_DIR"); !keep.isEmpty()) {
            typing.copy(area).save(keep + QStringLiteral("/decoration-editor-%1-typing.png").arg(&row - rows));
            page.copy(area).save(keep + QStringLiteral("/decoration-editor-%1-page.png").arg(&row - rows));
        }
    }
}

TEST(DecorationTextEditing, PastingTakesPlainTextAndIgnoresAnythingElse)
{
    DecorationTestPage t(threeObjects());
    t.controller->select(QStringLiteral("a"), false);
    t.controller->beginTextEdit();
    DecorationTextEditor* editor = t.controller->editor();
    ASSERT_TRUE(editor);
    const struct {
        const char* name;
        std::function<void(QMimeData&)> fill;
        QString expected;
    } rows[] = {
        // What the X11 clipboard hands back for a decoration copy.
        {"no format", [](QMimeData&) {}, QStringLiteral("Titre")},
        {"decoration copy only",
         [](QMimeData& m) { m.setData(DecorationController::clipboardType(), QByteArrayLiteral("[]")); },
         QStringLiteral("Titre")},
        {"rich text only", [](QMimeData& m) { m.setHtml(QStringLiteral("<b>gras</b>")); }, QStringLiteral("Titre")},
        {"plain and rich text",
         [](QMimeData& m) {
             m.setHtml(QStringLiteral("<b>gras</b>"));
             m.setText(QStringLiteral(" 2024"));
         },
         QStringLiteral("Titre 2024")},
    };
    for (const auto& row : rows) {
        editor->setPlainText(QStringLiteral("Titre"));
        editor->moveCursor(QTextCursor::End);
        auto* mime = new QMimeData;
        row.fill(*mime);
        QGuiApplication::clipboard()->setMimeData(mime);
        keyClick(editor, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(editor->string(), row.expected) << row.name;
    }
    QGuiApplication::clipboard()->clear();
}

TEST(DecorationTextEditing, TheEditorHidesTheTextItReplaces)
{
    DecorationTestPage t(threeObjects());
    t.h.widget->show();
    t.controller->select(QStringLiteral("a"), false);
    t.controller->beginTextEdit();
    DecorationTextEditor* editor = t.controller->editor();
    ASSERT_TRUE(editor);
    editor->clear();
    const QImage shot = t.h.widget->grab().toImage();
    const QRect area = editor->geometry().adjusted(1, 1, -1, -1);
    int ink = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ink += qGray(shot.pixel(x, y)) < 245;
    // At most a text cursor's line: the stored "Titre" (24 points, bold) must not show through.
    EXPECT_LE(ink, 3 * area.height());
}

TEST(DecorationViews, DeletingFromTheViewsMenuOrKeysRemovesTheView)
{
    DecorationTestPage t(threeObjects());
    QMenu* menu = t.view(QStringLiteral("b"))->menuForEvent({});
    menu->actions().last()->trigger();  // "Supprimer": the view goes while its menu reports
    EXPECT_EQ(t.document.undoName(), QStringLiteral("Supprimer l’habillage"));
    EXPECT_FALSE(t.view(QStringLiteral("b")));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    t.controller->select(QStringLiteral("c"), false);
    t.view(QStringLiteral("c"))->keyDown({Qt::Key_Delete, QString(), {}, false});
    EXPECT_FALSE(t.view(QStringLiteral("c")));
    ASSERT_EQ(t.decoration().objects.size(), 1);
    EXPECT_EQ(t.object(0).id, QStringLiteral("a"));
}
