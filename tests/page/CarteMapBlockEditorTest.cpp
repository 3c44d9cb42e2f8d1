#include "canvas/VectorCanvas.h"
#include "page/CarteBlockHandles.h"
#include "page/CarteMapBlockEditor.h"
#include "page/MapScaleSlider.h"
#include "page/ThematicCanvas.h"
#include "model/PlmErrors.h"
#include "support/CompositionTestSupport.h"
#include "support/DecorationTestPage.h"
#include "support/WidgetKeys.h"

#include <QApplication>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <array>
#include <cmath>

using namespace CompositionTestSupport;

namespace {

struct EditorPage {
    DecorationTestDocument document;
    Hosted h;
    std::unique_ptr<CarteMapBlockEditor> editor;

    explicit EditorPage(QSizeF page = {800, 600})
        : h(hosted(gridMap(3), page, page + QSizeF(24, 24)))
    {
        document.work.map = gridMap(3);
        editor = std::make_unique<CarteMapBlockEditor>(document.link(), h.canvas);
        document.onStored = [this] { editor->refresh(); };
        editor->refresh();
    }
    QTransform transform() const { return h.canvas->vector()->blockTransform; }
    QRectF block() const { return h.canvas->vector()->originalBlockBounds(); }
    CarteMapBlockEditor::BlockValues values() const
    {
        return *CarteMapBlockEditor::blockValues(block(), transform());
    }
    void type(QLineEdit* field, const QString& text) { field->setText(text); }
};

} // namespace

TEST(CarteMapBlockEditorNumbers, TypedNumbersTakeACommaAndNoBreakSpacesOnly)
{
    struct Row {
        const char* name;
        QString text;
        std::optional<double> value;
    };
    const Row rows[] = {
        {"plain", QStringLiteral("150"), 150},
        {"decimal comma", QStringLiteral("150,5"), 150.5},
        {"narrow no-break space", QStringLiteral("1\u202F000"), 1000},
        {"no-break space", QStringLiteral("1\u00A0000"), 1000},
        {"ordinary space", QStringLiteral("1 000"), std::nullopt},
        {"leading space", QStringLiteral(" 5"), std::nullopt},
        {"trailing letter", QStringLiteral("5 %"), std::nullopt},
        {"empty", QString(), std::nullopt},
        {"exponent and sign", QStringLiteral("-2.5e1"), -25},
        {"plus sign", QStringLiteral("+3"), 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(CarteMapBlockEditor::readNumber(row.text), row.value);
    }
}

TEST(CarteMapBlockEditorStore, TheFirstCommitCreatesTheLayoutWithTransformSizeAndViewport)
{
    EditorPage t;
    ASSERT_FALSE(t.document.work.decoration);
    t.editor->fitBlock(2);  // centre: the block is already centred, but the commit stores it
    ASSERT_TRUE(t.document.work.decoration);
    const PlmDecoration& layout = *t.document.work.decoration;
    ASSERT_TRUE(layout.mapTransform);
    EXPECT_EQ(layout.compositionSize, std::optional<PlmPoint>(PlmPoint{800, 600}));
    EXPECT_EQ(layout.viewport, t.h.canvas->compositionViewport);
    EXPECT_EQ(t.document.undoNames(), QStringList{QStringLiteral("Transformer le bloc vectoriel")});
    EXPECT_TRUE(t.editor->overlay()->selected);
}

TEST(CarteMapBlockEditorScale, TheScaleFieldRescalesAboutTheCentreAndRefusesWhatItCannotRead)
{
    EditorPage t;
    EXPECT_EQ(t.editor->scaleField()->text(), QStringLiteral("100,00"));
    const auto before = t.values();
    t.type(t.editor->scaleField(), QStringLiteral("150,5"));
    t.editor->editScale();
    const auto after = t.values();
    EXPECT_NEAR(after.scale, 150.5, 1e-9);
    EXPECT_NEAR(after.centerX, before.centerX, 1e-9);
    EXPECT_NEAR(after.centerY, before.centerY, 1e-9);
    EXPECT_EQ(t.editor->scaleField()->text(), QStringLiteral("150,50"));
    EXPECT_EQ(t.document.undo.size(), 1);

    t.type(t.editor->scaleField(), QStringLiteral("1 000"));
    t.editor->editScale();
    EXPECT_EQ(t.editor->scaleField()->text(), QStringLiteral("150,50"));
    // The same scale again stores nothing and only rewrites the field.
    t.type(t.editor->scaleField(), QStringLiteral("150.5"));
    t.editor->editScale();
    EXPECT_EQ(t.editor->scaleField()->text(), QStringLiteral("150,50"));
    EXPECT_EQ(t.document.undo.size(), 1);

    t.type(t.editor->scaleField(), QStringLiteral("1\u202F000"));
    t.editor->controlTextDidEndEditing(t.editor->scaleField());
    EXPECT_NEAR(t.values().scale, 1000, 1e-9);
}

TEST(CarteMapBlockEditorFields, AWidthOfOnePointIsRefusedJustAboveItIsPlaced)
{
    EditorPage t;
    QList<QLineEdit*> f = t.editor->fields();
    const QString before = f[2]->text();
    for (const char* width : {"1", "1,01"}) {
        f[0]->setText(QStringLiteral("10"));
        f[1]->setText(QStringLiteral("20"));
        f[2]->setText(QString::fromLatin1(width));
        f[3]->setText(QStringLiteral("50"));
        f[4]->setText(QStringLiteral("0"));
        t.editor->editFields();
    }
    const auto v = t.values();
    EXPECT_NEAR(v.width, 1.01, 1e-9);
    EXPECT_NEAR(v.x, 10, 1e-9);
    EXPECT_NEAR(v.y, 20, 1e-9);
    EXPECT_NEAR(v.height, 50, 1e-9);
    EXPECT_EQ(t.document.undo.size(), 1);
    EXPECT_NE(before, f[2]->text());
    EXPECT_EQ(f[2]->text(), QStringLiteral("1,01"));
}

// Return applies an entry once while the field keeps the focus; the field then shows the
// block's value as every other field does, and a refused entry stays for the person to correct.
TEST(CarteMapBlockEditorFields, AFocusedFieldIsRewrittenAfterEachEntry)
{
    EditorPage t;
    t.editor->section()->show();
    QApplication::setActiveWindow(t.editor->section());
    const auto enter = [](QLineEdit* field, const QString& text) {
        field->setFocus();
        field->setText(text);
        keyClick(field, Qt::Key_Return);
    };
    QLineEdit* scale = t.editor->scaleField();
    enter(scale, QStringLiteral("150"));
    ASSERT_TRUE(scale->hasFocus());
    EXPECT_EQ(scale->text(), QStringLiteral("150,00"));
    enter(scale, QStringLiteral("1 000"));
    EXPECT_EQ(scale->text(), QStringLiteral("1 000"));
    EXPECT_NEAR(t.values().scale, 150, 1e-9);

    QLineEdit* x = t.editor->fields()[0];
    enter(x, QStringLiteral("40"));
    EXPECT_EQ(x->text(), QStringLiteral("40,00"));
    EXPECT_NEAR(t.values().x, 40, 1e-9);
    x->clearFocus();
    EXPECT_EQ(t.document.undo.size(), 2);
}

// A field changes only what it names: the others show rounded values, never read back. An
// unturned block keeps the entries of its transform that the field does not name exactly; Return
// on the text a field shows stores nothing.
TEST(CarteMapBlockEditorFields, AFieldChangesOnlyWhatItNames)
{
    struct Row {
        const char* name;
        int field; // x, y, width, height, angle
        QString typed;
        double value;
        // The transform's entries kept exactly: m11, m12, m21, m22, dx, dy.
        std::array<bool, 6> kept;
    };
    const Row rows[] = {
        {"x", 0, QStringLiteral("41"), 41, {true, true, true, true, false, true}},
        {"y", 1, QStringLiteral("41"), 41, {true, true, true, true, true, false}},
        {"width", 2, QStringLiteral("500"), 500, {false, true, true, true, false, true}},
        {"height", 3, QStringLiteral("300"), 300, {true, true, true, false, true, false}},
        {"angle", 4, QStringLiteral("30"), 30, {false, false, false, false, false, false}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EditorPage t;
        t.h.canvas->vector()->blockTransform = QTransform(1.00003, 0, 0, 0.99998, 32.0041, 17.3337);
        t.editor->refreshFields();
        const QTransform before = t.transform();
        const auto values = [&t] {
            const auto v = t.values();
            return std::array<double, 5>{v.x, v.y, v.width, v.height, v.angle};
        };
        const std::array<double, 5> start = values();
        QLineEdit* field = t.editor->fields()[row.field];
        t.editor->controlTextDidEndEditing(field);
        EXPECT_TRUE(t.document.undo.isEmpty()) << "Return on " << field->text().toStdString();

        field->setText(row.typed);
        t.editor->controlTextDidEndEditing(field);
        EXPECT_EQ(t.document.undo.size(), 1);
        const QTransform after = t.transform();
        const std::array<double, 6> entries[] = {{before.m11(), before.m12(), before.m21(), before.m22(), before.dx(), before.dy()},
                                                 {after.m11(), after.m12(), after.m21(), after.m22(), after.dx(), after.dy()}};
        for (int i = 0; i < 6; ++i)
            if (row.kept[i])
                EXPECT_EQ(entries[1][i], entries[0][i]) << "entry " << i;
        const std::array<double, 5> end = values();
        for (int i = 0; i < 5; ++i)
            EXPECT_NEAR(end[i], i == row.field ? row.value : start[i], 1e-9) << "value " << i;
    }
}

TEST(CarteMapBlockEditorFit, FitToWidthKeepsTheHeightCentreAndCentreKeepsSizeAndAngle)
{
    EditorPage t;
    QList<QLineEdit*> f = t.editor->fields();
    f[0]->setText(QStringLiteral("100"));
    f[1]->setText(QStringLiteral("50"));
    f[2]->setText(QStringLiteral("200"));
    f[3]->setText(QStringLiteral("100"));
    f[4]->setText(QStringLiteral("30"));
    t.editor->editFields();
    t.editor->fitBlock(2);
    auto v = t.values();
    EXPECT_NEAR(v.centerX, 400, 1e-9);
    EXPECT_NEAR(v.centerY, 300, 1e-9);
    EXPECT_NEAR(v.width, 200, 1e-9);
    EXPECT_NEAR(v.angle, 30, 1e-9);

    f[1]->setText(QStringLiteral("50"));
    t.editor->editFields();
    const double centreY = t.values().centerY;
    t.editor->fitBlock(1);
    v = t.values();
    EXPECT_NEAR(v.centerY, centreY, 1e-9);
    EXPECT_NEAR(v.width, 800 - 64, 1e-9);
    EXPECT_NEAR(v.angle, 0, 1e-9);
    t.editor->fitBlock(0);
    v = t.values();
    EXPECT_NEAR(v.height, 600 - 64, 1e-9);  // the square grid is held by the page's height
    EXPECT_NEAR(v.centerY, 300, 1e-9);
}

// The buttons place the map on the sheet the person sees: with a print page shown, its printable
// area (the page shrunk by its margins, in page points, even where it passes the composition's
// edge) and no other margin; without one, or when its margins leave nothing, the composition
// less 32 points. The grid map is square, so a fit to the page is held by the shorter side.
TEST(CarteMapBlockEditorFit, TheButtonsPlaceTheBlockInTheShownPagesPrintableArea)
{
    constexpr double mm = 72 / 25.4;
    const auto pageAt = [](double x, double y, double margin, bool visible) {
        PlmPrintPage page;
        page.origin = {x, y};
        page.width = 150;
        page.height = 100;
        page.margin = margin;
        page.visible = visible;
        return page;
    };
    const auto box = [](QPointF centre, double w, double h) {
        return QRectF(centre.x() - w / 2, centre.y() - h / 2, w, h);
    };
    const PlmPrintPage shown = pageAt(100, 50, 10, true);
    const QRectF printable(100 + 10 * mm, 50 + 10 * mm, 130 * mm, 80 * mm);
    const PlmPrintPage pastEdge = pageAt(600, 450, 10, true);  // reaches x 1025, y 733 on an 800 × 600 page
    const QRectF pastEdgePrintable(600 + 10 * mm, 450 + 10 * mm, 130 * mm, 80 * mm);
    const QPointF compositionCentre(400, 300);
    // The block before each press: 200 × 100 pt centred on (200, 100), turned by the row's angle.
    const QPointF startCentre(200, 100);

    struct Row {
        const char* name;
        std::optional<PlmPrintPage> page;
        int tag;
        double startAngle;
        QRectF expected;
        double expectedAngle;
    };
    const Row rows[] = {
        {"fit to page, page shown", shown, 0, 0, box(printable.center(), 80 * mm, 80 * mm), 0},
        {"fit to page removes the rotation", shown, 0, 30, box(printable.center(), 80 * mm, 80 * mm), 0},
        {"fit to width, page shown", shown, 1, 0, box({printable.center().x(), 100}, 130 * mm, 130 * mm), 0},
        {"centre, page shown, angle kept", shown, 2, 30, box(printable.center(), 200, 100), 30},
        {"page past the composition's edge", pastEdge, 0, 0, box(pastEdgePrintable.center(), 80 * mm, 80 * mm), 0},
        {"fit to page, page hidden", pageAt(100, 50, 10, false), 0, 0, box(compositionCentre, 536, 536), 0},
        {"fit to width, page hidden", pageAt(100, 50, 10, false), 1, 0, box({400, 100}, 736, 736), 0},
        {"centre, page hidden", pageAt(100, 50, 10, false), 2, 30, box(compositionCentre, 200, 100), 30},
        {"no print page", std::nullopt, 0, 0, box(compositionCentre, 536, 536), 0},
        {"margins leave nothing", pageAt(100, 50, 50, true), 0, 0, box(compositionCentre, 536, 536), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EditorPage t;
        ASSERT_NEAR(t.block().width(), t.block().height(), 1e-9);
        t.h.canvas->printPage = row.page;
        QList<QLineEdit*> f = t.editor->fields();
        const QString start[] = {QStringLiteral("100"), QStringLiteral("50"), QStringLiteral("200"),
                                 QStringLiteral("100"), QString::number(row.startAngle)};
        for (int i = 0; i < 5; ++i)
            f[i]->setText(start[i]);
        t.editor->editFields();
        ASSERT_NEAR(t.values().centerX, startCentre.x(), 1e-9);
        ASSERT_NEAR(t.values().centerY, startCentre.y(), 1e-9);
        const qsizetype steps = t.document.undo.size();

        t.editor->fitBlock(row.tag);
        const auto v = t.values();
        const QRectF placed(v.x, v.y, v.width, v.height);
        const double off = std::max({std::abs(placed.left() - row.expected.left()),
                                     std::abs(placed.top() - row.expected.top()),
                                     std::abs(placed.right() - row.expected.right()),
                                     std::abs(placed.bottom() - row.expected.bottom())});
        EXPECT_LT(off, 1e-6) << "placed (" << placed.x() << ", " << placed.y() << ", " << placed.width() << " × "
                             << placed.height() << "), expected (" << row.expected.x() << ", " << row.expected.y()
                             << ", " << row.expected.width() << " × " << row.expected.height() << ")";
        EXPECT_NEAR(v.angle, row.expectedAngle, 1e-9);
        // One undo step per press, and the work keeps the placement shown.
        EXPECT_EQ(t.document.undo.size(), steps + 1);
        EXPECT_EQ(t.document.undoName(), CarteMapBlockEditor::actionName());
        ASSERT_TRUE(t.document.work.decoration && t.document.work.decoration->mapTransform);
        const PlmTransform& kept = *t.document.work.decoration->mapTransform;
        EXPECT_EQ(QTransform(kept.a, kept.b, kept.c, kept.d, kept.tx, kept.ty), t.transform());
    }
}

TEST(CarteMapBlockEditorScale, AScaleOutsideTheSliderRangeWidensItAndADragIsOneUndoStep)
{
    EditorPage t;
    t.editor->overlay()->setSelected(true);
    t.h.canvas->vector()->blockTransform = QTransform::fromScale(0.0005, 0.0005);
    t.editor->refreshFields();
    EXPECT_NEAR(t.editor->scaleSlider()->doubleMinimum(), 0.05, 1e-9);
    EXPECT_NEAR(t.editor->scaleSlider()->doubleValue(), 0.05, 1e-6);
    t.editor->refresh();
    // A drag: tracking starts, several values, tracking ends.
    t.editor->scaleSlider()->onTracking(true);
    t.editor->slideScale(120);
    t.editor->slideScale(140);
    t.editor->slideScale(160);
    t.editor->scaleSlider()->onTracking(false);
    EXPECT_EQ(t.document.undoNames(), QStringList{QStringLiteral("Transformer le bloc vectoriel")});
    EXPECT_NEAR(t.values().scale, 160, 1e-9);
    EXPECT_EQ(t.editor->scaleField()->text(), QStringLiteral("160,00"));
}

TEST(CarteMapBlockEditorStore, ARefusedStoreRestoresTheStoredTransformAndShowsTheMessage)
{
    EditorPage t({90, 600});  // a page narrower than the layout allows
    const QTransform stored = t.transform();
    t.type(t.editor->scaleField(), QStringLiteral("200"));
    t.editor->editScale();
    EXPECT_EQ(t.document.errors, QStringList{QStringLiteral("Dimensions de composition incorrectes.")});
    EXPECT_EQ(t.transform(), stored);
    EXPECT_TRUE(t.document.undo.isEmpty());
    EXPECT_EQ(t.editor->scaleField()->text(), QStringLiteral("100,00"));
}
