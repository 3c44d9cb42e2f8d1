#include "page/LegendLayout.h"

#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"
#include "support/PresentationTestSupport.h"

#include <QFontMetricsF>
#include <cmath>
#include <functional>
#include <ostream>
#include <gtest/gtest.h>

inline void PrintTo(const QSizeF& size, std::ostream* out) { *out << size.width() << " × " << size.height(); }

namespace {

LegendData classLegend(int labels, QSizeF size = QSizeF(200, 200))
{
    LegendData legend;
    legend.title = QStringLiteral("Population");
    for (int i = 0; i < labels; ++i)
        legend.labels << QStringLiteral("Classe %1").arg(i + 1);
    legend.size = size;
    return legend;
}

std::shared_ptr<const ProportionalShape> circle()
{
    return std::make_shared<const ProportionalShape>(PlmProportionalSettings(), false);
}

} // namespace

TEST(LegendLayoutContent, ClassLegendAddsSansDonneeWithDerivedStyle)
{
    const LegendData legend = classLegend(3);
    const LegendLayout::Content c(legend, 200);
    ASSERT_EQ(c.labels.size(), 4);
    EXPECT_EQ(c.labels.last(), QStringLiteral("Sans donnée"));
    EXPECT_DOUBLE_EQ(c.pad, 6);
    EXPECT_GE(c.rowHeight, 22.0 * 2 / 3);
    EXPECT_DOUBLE_EQ(c.rowGap, 6);
    EXPECT_EQ(c.rows, 4);
    EXPECT_DOUBLE_EQ(c.cell, 188);
    EXPECT_DOUBLE_EQ(c.labelWidth, 188 - 22 - 12);
    EXPECT_EQ(c.height, std::ceil(18 + c.heading.height + 4 * c.rowHeight + 3 * 6));
    // Ink of a capital at 12 pt: below the font size, and inset from the box's top.
    EXPECT_GT(c.heading.height, 6);
    EXPECT_LT(c.heading.height, 12);
    EXPECT_GT(c.heading.topInset, 0);
    EXPECT_EQ(c.heading.drawingHeight, std::ceil(c.heading.drawingHeight));
}

TEST(LegendLayoutContent, SymbolLegendSkipsSansDonneeAndRowsFitTheLargestSymbol)
{
    LegendData legend = classLegend(3);
    legend.proportionalShape = circle();
    legend.referenceSizes = {10, 30, 48};
    legend.showsMissing = true;
    const LegendLayout::Content c(legend, 240);
    EXPECT_EQ(c.labels.size(), 3);
    EXPECT_DOUBLE_EQ(c.rowHeight, 48);
    EXPECT_DOUBLE_EQ(c.labelWidth, 228 - 48 - 12);
    const LegendLayout layout(legend);
    ASSERT_EQ(layout.entries.size(), 3);
    EXPECT_DOUBLE_EQ(layout.entries[1].size, 30);
    EXPECT_DOUBLE_EQ(layout.entries[1].swatch.width(), 48);
}

namespace {

// A symbol legend drawn at the map block's scale.
struct BlockScaleRow {
    const char* name;
    double scale;
};

void PrintTo(const BlockScaleRow& row, std::ostream* out) { *out << row.name; }

class LegendLayoutBlockScale : public testing::TestWithParam<BlockScaleRow> {};

// The square a symbol of an entry covers, centred on its swatch as the legend draws it.
QRectF symbolSquare(const LegendLayout::Entry& entry)
{
    return QRectF(entry.swatch.center() - QPointF(entry.size / 2, entry.size / 2), QSizeF(entry.size, entry.size));
}

} // namespace

// At the block's scale the symbols, the symbol column and the rows all grow or shrink
// together: each circle is its reference size times the scale, the column and the rows are as
// wide and as tall as the largest circle, and no circle reaches another row, its label or the
// legend's edge.
TEST_P(LegendLayoutBlockScale, SymbolsColumnAndRowsTakeTheBlockScale)
{
    const double scale = GetParam().scale;
    LegendData legend = classLegend(3);
    legend.proportionalShape = circle();
    legend.referenceSizes = {48, 30, 10};
    legend.symbolScale = scale;
    const double width = LegendLayout::preferredWidth(legend);
    legend.size = QSizeF(width, LegendLayout::Content(legend, width).height);
    const LegendLayout layout(legend);
    const double largest = 48 * scale;

    QList<double> sizes;
    for (const LegendLayout::Entry& entry : layout.entries)
        sizes.append(entry.size);
    EXPECT_EQ(sizes, (QList<double>{48 * scale, 30 * scale, 10 * scale}));
    EXPECT_DOUBLE_EQ(LegendLayout::Content(legend, width).rowHeight, largest);
    const double spacing = legend.presentation.effectiveEditingStyle().legendSpacing;
    const QRectF bounds(QPointF(0, 0), legend.size);
    for (qsizetype i = 0; i < layout.entries.size(); ++i) {
        SCOPED_TRACE(i);
        const LegendLayout::Entry& entry = layout.entries[i];
        const QRectF symbol = symbolSquare(entry);
        EXPECT_EQ(entry.swatch.size(), QSizeF(largest, largest));
        EXPECT_TRUE(entry.swatch.contains(symbol));
        EXPECT_TRUE(bounds.contains(symbol));
        EXPECT_DOUBLE_EQ(entry.text.left(), entry.swatch.right() + spacing);
        for (qsizetype j = 0; j < i; ++j)
            EXPECT_FALSE(symbol.intersects(symbolSquare(layout.entries[j]))) << "overlaps entry " << j;
    }
}

INSTANTIATE_TEST_SUITE_P(Scales, LegendLayoutBlockScale,
                         testing::Values(BlockScaleRow{"Reduced", 0.85}, BlockScaleRow{"Enlarged", 2}),
                         [](const testing::TestParamInfo<BlockScaleRow>& info) { return std::string(info.param.name); });

TEST(LegendLayoutContent, ColumnsRowsAndHorizontalLegends)
{
    LegendData legend = classLegend(4);  // + "Sans donnée" = 5 entries
    changeEditingStyle(legend.presentation, [](PlmEditingStyle& s) { s.columns = 2; });
    legend.size = QSizeF(300, 200);
    const LegendLayout::Content c(legend, 300);
    EXPECT_EQ(c.rows, 3);
    const LegendLayout layout(legend);
    ASSERT_EQ(layout.entries.size(), 5);
    EXPECT_DOUBLE_EQ(layout.entries[0].swatch.center().y(), layout.entries[1].swatch.center().y());
    EXPECT_GT(layout.entries[1].swatch.left(), layout.entries[0].swatch.left());
    EXPECT_DOUBLE_EQ(layout.entries[4].swatch.left(), layout.entries[0].swatch.left());
    EXPECT_LT(layout.entries[4].swatch.center().y(), layout.entries[2].swatch.center().y());

    LegendData row = classLegend(3);
    changeEditingStyle(row.presentation, [](PlmEditingStyle& s) { s.horizontal = true; });
    EXPECT_EQ(LegendLayout::columnCount(row), 4);
    EXPECT_EQ(LegendLayout::Content(row, 600).rows, 1);
    changeEditingStyle(row.presentation, [](PlmEditingStyle& s) { s.horizontal = true; s.columns = 3; });
    EXPECT_EQ(LegendLayout::columnCount(row), 3);
}

TEST(LegendLayoutContent, NarrowWidthsEmptyTitlesAndSmallPaddings)
{
    LegendData legend = classLegend(2);
    const LegendLayout::Content tiny(legend, 10);
    EXPECT_DOUBLE_EQ(tiny.labelWidth, 1);
    EXPECT_GE(tiny.cell, 1);

    legend.title.clear();
    const LegendLayout::Content empty(legend, 200);
    const QFontMetricsF bold(textAttributes(LegendLayout::titlePresentation(legend.presentation)).font,
                             decorationReferenceDevice());
    EXPECT_DOUBLE_EQ(empty.heading.height, bold.ascent() + bold.descent());
    EXPECT_DOUBLE_EQ(empty.heading.topInset, 0);

    changeEditingStyle(legend.presentation, [](PlmEditingStyle& s) { s.padding = 0; });
    EXPECT_DOUBLE_EQ(LegendLayout::Content(legend, 200).pad, 6);
}

TEST(LegendLayoutWidth, StoredWidthWinsOverContentThatDoesNotFit)
{
    LegendData legend = classLegend(2);
    legend.labels << QStringLiteral("Une très longue étiquette de classe qui dépasse largement");
    legend.presentation.legendFitsContent = false;
    legend.presentation.width = 90;
    EXPECT_DOUBLE_EQ(LegendLayout::preferredWidth(legend), 90);

    legend.presentation.legendFitsContent.reset();
    const DecorationTextAttributes text = textAttributes(LegendLayout::textPresentation(legend.presentation));
    const double widest = DecorationText::singleLineWidth(legend.labels.last(), text);
    EXPECT_DOUBLE_EQ(LegendLayout::preferredWidth(legend), std::ceil(12 + 22 + 12 + widest + 2));
}

TEST(LegendLayoutRects, TitleRowsAndFooterSitAtTheirPaddings)
{
    LegendData legend = classLegend(2, QSizeF(180, 160));
    legend.footer = QStringLiteral("Source : INSEE");
    const LegendLayout::Content c(legend, 180);
    const LegendLayout layout(legend);
    const double H = 160;
    // The title's ink top sits one padding below the top edge.
    EXPECT_DOUBLE_EQ(layout.title.top() + layout.title.height() - c.heading.topInset, H - 6);
    EXPECT_DOUBLE_EQ(layout.title.left(), 6);
    EXPECT_DOUBLE_EQ(layout.title.width(), 168);
    const double rowsTop = H - 12 - c.heading.height;
    ASSERT_EQ(layout.entries.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const LegendLayout::Entry& e = layout.entries[i];
        const double cy = rowsTop - c.rowHeight / 2 - i * (c.rowHeight + c.rowGap);
        EXPECT_EQ(e.index, i);
        EXPECT_EQ(e.swatch, QRectF(6, cy - c.rowHeight / 2, 22, c.rowHeight));
        EXPECT_DOUBLE_EQ(e.text.left(), 6 + 22 + 12);
        // The label's ink is centred on the row.
        const double inkTop = e.text.top() + e.text.height() - c.metrics[i].topInset;
        EXPECT_NEAR(inkTop - c.metrics[i].height / 2, cy, 1e-9);
        EXPECT_DOUBLE_EQ(e.size, 22);
    }
    const double footTop = rowsTop - 3 * c.rowHeight - 2 * c.rowGap - 6;
    EXPECT_NEAR(layout.footer.top() + layout.footer.height() - c.foot.topInset, footTop, 1e-9);
    // A natural-height legend ends one padding below the footer's ink.
    const LegendData natural = [&] { LegendData l = legend; l.size.setHeight(c.height); return l; }();
    const LegendLayout fitted(natural);
    EXPECT_NEAR(fitted.footer.top() + fitted.footer.height() - c.foot.topInset - c.foot.height, 6,
                1.0);  // the natural height is rounded up
}

TEST(LegendLayoutText, OnlyTheExactDefaultGreyBecomesBlack)
{
    PlmPresentation p;
    p.color = PlmColor{0.12, 0.12, 0.12, 0.5};
    EXPECT_EQ(LegendLayout::textPresentation(p).color, (PlmColor{0, 0, 0, 0.5}));
    p.color = PlmColor{0.13, 0.13, 0.13, 1};
    EXPECT_EQ(LegendLayout::textPresentation(p).color, p.color);
    p.title = QStringLiteral("Titre stocké");
    LegendData legend;
    legend.presentation = p;
    legend.title = QStringLiteral("Titre de la vue");
    EXPECT_EQ(LegendLayout::titleText(legend), QStringLiteral("Titre stocké"));
    EXPECT_TRUE(LegendLayout::titlePresentation(p).bold);
    EXPECT_DOUBLE_EQ(LegendLayout::footerPresentation(p).fontSize, 10);
}

TEST(LegendLayoutText, InkOfCapitalsIsTheCapHeight)
{
    const LegendLayout::TextMetrics m = LegendLayout::measure(QStringLiteral("HH"), PlmPresentation(), 200);
    // Nimbus Sans capitals are 0.729 em tall.
    EXPECT_NEAR(m.height, 12 * 0.729, 0.3);
}
