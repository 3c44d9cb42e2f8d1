#include "decorations/DecorationText.h"

#include <QFontMetricsF>
#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QTextLine>

#include <algorithm>

DecorationText::DecorationText(const QString& text, const DecorationTextAttributes& attributes, double width)
    : m_attributes(attributes)
{
    const DecorationParagraphStyle& style = attributes.paragraphStyle;
    const QFont font = attributes.layoutFont();
    QTextOption option(decorationQtAlignment(style.alignment));
    option.setWrapMode(style.wordWrap ? QTextOption::WrapAtWordBoundaryOrAnywhere : QTextOption::NoWrap);
    const double boxWidth = std::max(width, 1.0);
    // Line separators of the platform's texts count as paragraph ends too.
    QString normalised = text;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalised.replace(QChar(0x2029), QLatin1Char('\n'));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList paragraphs = normalised.split(QLatin1Char('\n'));
    double y = 0;
    for (qsizetype p = 0; p < paragraphs.size(); ++p) {
        if (p > 0)
            y += style.paragraphSpacing + style.paragraphSpacingBefore;
        auto layout = std::make_unique<QTextLayout>(paragraphs[p], font, decorationReferenceDevice());
        layout->setTextOption(option);
        layout->setCacheEnabled(true);
        layout->beginLayout();
        bool first = true;
        while (true) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            const double head = first ? style.firstLineHeadIndent : style.headIndent;
            line.setLeadingIncluded(true);
            line.setLineWidth(std::max(boxWidth - head + std::min(style.tailIndent, 0.0), 1.0));
            if (!first)
                y += style.lineSpacing;
            line.setPosition(QPointF(head, y));
            y += line.height();
            first = false;
        }
        layout->endLayout();
        m_paragraphs.push_back(std::move(layout));
    }
    m_usedHeight = y;

    for (const auto& layout : m_paragraphs) {
        for (const QGlyphRun& run : layout->glyphRuns()) {
            const QRawFont raw = run.rawFont();
            const QList<quint32> glyphs = run.glyphIndexes();
            const QList<QPointF> positions = run.positions();
            for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
                // The outline's bounds: the engine's glyph metrics are rounded to whole pixels.
                const QRectF box = raw.pathForGlyph(glyphs[i]).boundingRect();
                if (box.isEmpty())
                    continue;
                const QRectF ink = box.translated(positions[i] + QPointF(0, -attributes.baselineOffset));
                m_ink = m_ink.isNull() ? ink : m_ink.united(ink);
            }
        }
    }
}

void DecorationText::draw(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    // Un-flip: from here y runs downward from the rectangle's top edge.
    painter.translate(rect.left(), rect.top() + rect.height());
    painter.scale(1, -1);
    painter.setClipRect(QRectF(0, 0, rect.width(), rect.height()), Qt::IntersectClip);
    painter.setPen(m_attributes.foregroundColor);
    for (const auto& layout : m_paragraphs) {
        for (const QGlyphRun& run : layout->glyphRuns())
            painter.drawGlyphRun(QPointF(0, -m_attributes.baselineOffset), run);
    }
    painter.restore();
}

double DecorationText::singleLineWidth(const QString& text, const DecorationTextAttributes& attributes)
{
    const QFontMetricsF metrics(attributes.layoutFont(), decorationReferenceDevice());
    QString normalised = text;
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    double widest = 0;
    for (const QString& line : normalised.split(QLatin1Char('\n')))
        widest = std::max(widest, metrics.horizontalAdvance(line));
    return widest;
}

void drawDecorationText(QPainter& painter, const QString& text, const QRectF& rect,
                        const DecorationTextAttributes& attributes)
{
    if (rect.width() <= 0 || rect.height() <= 0)
        return;
    DecorationText(text, attributes, rect.width()).draw(painter, rect);
}
