#include "page/LegendLayout.h"

#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {

const QString missingLabel = QStringLiteral("Sans donnée");

double largest(const QList<double>& values, double floor)
{
    double result = floor;
    for (double v : values)
        if (std::isfinite(v))
            result = std::max(result, v);
    return result;
}

} // namespace

PlmPresentation LegendLayout::textPresentation(const PlmPresentation& presentation)
{
    PlmPresentation result = presentation;
    const PlmColor& c = presentation.color;
    if (c.red == 0.12 && c.green == 0.12 && c.blue == 0.12)
        result.color = PlmColor{0, 0, 0, c.alpha};
    return result;
}

PlmPresentation LegendLayout::titlePresentation(const PlmPresentation& presentation)
{
    PlmPresentation result = textPresentation(presentation);
    result.bold = true;
    return result;
}

PlmPresentation LegendLayout::footerPresentation(const PlmPresentation& presentation)
{
    PlmPresentation result = textPresentation(presentation);
    result.fontSize = 10;
    return result;
}

QString LegendLayout::titleText(const LegendData& legend)
{
    return legend.presentation.title.value_or(legend.title);
}

QStringList LegendLayout::entryLabels(const LegendData& legend)
{
    QStringList labels = legend.labels;
    if (!legend.proportionalShape && legend.showsMissing)
        labels.append(missingLabel);
    return labels;
}

int LegendLayout::columnCount(const LegendData& legend)
{
    const PlmEditingStyle s = legend.presentation.effectiveEditingStyle();
    // Validated styles keep 1 to 6 columns; anything else counts as one.
    int columns = std::clamp(s.columns, 1, 6);
    if (s.horizontal && columns == 1)
        columns = std::max(int(entryLabels(legend).size()), 1);
    return columns;
}

double LegendLayout::cellWidth(const LegendData& legend)
{
    const double swatch = legend.presentation.effectiveEditingStyle().swatchSize;
    if (!legend.proportionalShape)
        return swatch;
    return std::max(swatch, largest(drawnSizes(legend), legend.referenceSizes.isEmpty() ? 22 : 0));
}

QList<double> LegendLayout::drawnSizes(const LegendData& legend)
{
    const double scale = legend.symbolScale;
    if (scale == 1 || !std::isfinite(scale) || !(scale > 0))
        return legend.referenceSizes;
    QList<double> sizes;
    sizes.reserve(legend.referenceSizes.size());
    for (double size : legend.referenceSizes)
        sizes.append(size * scale);
    return sizes;
}

LegendLayout::TextMetrics LegendLayout::measure(const QString& text, const PlmPresentation& presentation,
                                                double width)
{
    const DecorationTextAttributes attributes = textAttributes(presentation);
    TextMetrics metrics;
    if (text.isEmpty()) {
        const QFontMetricsF font(attributes.font, decorationReferenceDevice());
        metrics.height = metrics.drawingHeight = font.ascent() + font.descent();
        return metrics;
    }
    const DecorationText laidOut(text, attributes, std::max(width, 1.0));
    const QRectF used(0, 0, std::max(width, 1.0), laidOut.usedHeight());
    const QRectF ink = laidOut.hasGlyphs() ? laidOut.inkRect() : used;
    metrics.height = ink.height();
    metrics.drawingHeight = std::ceil(used.bottom());
    metrics.topInset = ink.top();
    return metrics;
}

LegendLayout::Content::Content(const LegendData& legend, double width)
{
    const PlmEditingStyle s = legend.presentation.effectiveEditingStyle();
    pad = std::max(s.padding, 6.0);
    const double inner = width - 2 * pad;
    const double spacing = s.legendSpacing;
    const int c = columnCount(legend);
    cell = std::max((inner - spacing * (c - 1)) / c, 1.0);
    const double swatchCell = cellWidth(legend);
    labelWidth = std::max(cell - swatchCell - spacing, 1.0);
    labels = entryLabels(legend);
    const PlmPresentation text = textPresentation(legend.presentation);
    double tallest = 0;
    for (const QString& label : labels) {
        metrics.append(measure(label, text, labelWidth));
        tallest = std::max(tallest, metrics.last().height);
    }
    heading = measure(titleText(legend), titlePresentation(legend.presentation), inner);
    foot = measure(legend.footer.value_or(QString()), footerPresentation(legend.presentation), inner);
    const double base = legend.proportionalShape
                            ? (legend.referenceSizes.isEmpty() ? s.swatchSize : largest(drawnSizes(legend), 0))
                            : 2 * s.swatchSize / 3;
    rowHeight = std::max(base, tallest);
    rows = std::max(int((labels.size() + c - 1) / c), 1);
    rowGap = s.lineSpacing + 6;
    double total = 3 * pad + heading.height + rows * rowHeight + (rows - 1) * rowGap;
    if (legend.footer)
        total += pad + foot.height;
    height = std::ceil(total);
}

double LegendLayout::preferredWidth(const LegendData& legend)
{
    const PlmPresentation& p = legend.presentation;
    if (p.legendFitsContent == false && p.width)
        return *p.width;
    const DecorationTextAttributes text = textAttributes(textPresentation(p));
    double widest = 0;
    for (const QString& label : entryLabels(legend))
        widest = std::max(widest, DecorationText::singleLineWidth(label, text));
    const double title = DecorationText::singleLineWidth(titleText(legend), textAttributes(titlePresentation(p)));
    const double footer = legend.footer
                              ? DecorationText::singleLineWidth(*legend.footer, textAttributes(footerPresentation(p)))
                              : 0;
    const PlmEditingStyle s = p.effectiveEditingStyle();
    const double pad = std::max(s.padding, 6.0);
    const double spacing = s.legendSpacing;
    const int c = columnCount(legend);
    const double rows = c * (cellWidth(legend) + spacing + widest + 2) + spacing * (c - 1);
    return std::ceil(2 * pad + std::max({title, footer, rows}));
}

LegendLayout::LegendLayout(const LegendData& legend)
{
    const double w = legend.size.width();
    const double h = legend.size.height();
    const Content content(legend, w);
    const PlmEditingStyle s = legend.presentation.effectiveEditingStyle();
    const double pad = content.pad;
    const double spacing = s.legendSpacing;
    const int c = columnCount(legend);
    const double swatchCell = cellWidth(legend);
    const QList<double> sizes = drawnSizes(legend);
    const double rowsTop = h - 2 * pad - content.heading.height;
    for (int i = 0; i < content.labels.size(); ++i) {
        const int column = i % c;
        const int row = i / c;
        const double x0 = pad + column * (content.cell + spacing);
        const double cy = rowsTop - content.rowHeight / 2 - row * (content.rowHeight + content.rowGap);
        const TextMetrics& m = content.metrics[i];
        Entry entry;
        entry.index = i;
        entry.swatch = QRectF(x0, cy - content.rowHeight / 2, swatchCell, content.rowHeight);
        entry.text = QRectF(x0 + swatchCell + spacing, cy + m.height / 2 + m.topInset - m.drawingHeight,
                            content.labelWidth, m.drawingHeight);
        // A symbol legend short of reference sizes draws the missing ones at the swatch size.
        entry.size = legend.proportionalShape ? (i < sizes.size() ? sizes[i] : s.swatchSize) : s.swatchSize;
        entries.append(entry);
    }
    title = QRectF(pad, h - pad + content.heading.topInset - content.heading.drawingHeight, w - 2 * pad,
                   content.heading.drawingHeight);
    const double footTop = rowsTop - content.rows * content.rowHeight - (content.rows - 1) * content.rowGap - pad;
    footer = QRectF(pad, footTop + content.foot.topInset - content.foot.drawingHeight, w - 2 * pad,
                    content.foot.drawingHeight);
}
