#include "export/SVGCarteExport.h"

#include "page/DecorationText.h"
#include "page/DecorationTextAttributes.h"

#include <QRegularExpression>
#include <QTextLayout>

#include <cmath>

namespace {

bool isLineBreak(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar(0x2028) || c == QChar(0x2029)
           || c == QChar(0x0B) || c == QChar(0x0C) || c == QChar(0x85);
}

// A run of a paragraph's characters.
struct Span {
    qsizetype start = 0;
    qsizetype length = 0;
};

// A line's characters without the line feeds and other newlines at either end.
Span withoutLineBreaks(const QString& paragraph, Span line)
{
    qsizetype start = line.start;
    qsizetype end = line.start + line.length;
    while (start < end && isLineBreak(paragraph.at(start)))
        ++start;
    while (end > start && isLineBreak(paragraph.at(end - 1)))
        --end;
    return {start, end - start};
}

// A line without the blanks that hang past its natural end: the layout lets a wrapped line keep
// the blank it broke at beyond its end, taking no room and carrying no underline on the page
// (the blanks ending a paragraph do take room). A line of hanging blanks alone keeps them.
Span withoutHangingBlanks(const QTextLine& line, const QString& paragraph, Span span)
{
    const double naturalEnd = line.naturalTextRect().right();
    qsizetype end = span.start + span.length;
    while (end > span.start && paragraph.at(end - 1).isSpace() && line.cursorToX(int(end - 1)) >= naturalEnd - 1e-6)
        --end;
    return end > span.start ? Span{span.start, end - span.start} : span;
}

// The name of the weight index of an editing style; indexes outside the table read as regular.
const char* weightName(int index)
{
    static const char* const names[] = {"300", "400", "600", "700"};
    return index >= 0 && index < 4 ? names[index] : "400";
}

} // namespace

void SVGCarteExport::appendText(const QString& text, const PlmPresentation& presentation, const QRectF& rect)
{
    if (text.isEmpty() || !(rect.width() > 0) || !(rect.height() > 0))
        return;
    const DecorationTextAttributes attributes = textAttributes(presentation);
    const DecorationText laid(text, attributes, rect.width());
    const PlmEditingStyle style = presentation.effectiveEditingStyle();
    const double f = style.textWidth && std::isfinite(*style.textWidth) && *style.textWidth > 0 ? *style.textWidth : 1;

    const QFont& font = attributes.font;
    QString family = decorationFontFamily(font);
    if (family.isEmpty())
        family = presentation.fontName;
    if (family.startsWith(QLatin1Char('.')))
        family = QStringLiteral("system-ui");
    // The family found here may stand in for the requested one (a metric twin such as "Nimbus
    // Sans" for "Helvetica", or the fallback for a font this computer lacks): the requested
    // family then comes first, so that a reader that has it shows it. A family picked for a
    // face of its own (a narrow family for condensed text) stays first.
    const QString requested = presentation.fontName.section(QLatin1Char('-'), 0, 0).trimmed();
    if (!requested.isEmpty() && requested.compare(family, Qt::CaseInsensitive) != 0
        && !requested.contains(QLatin1Char(',')) && !requested.contains(QLatin1Char(';'))) {
        if (decorationFontFamily(QFont(requested)).compare(family, Qt::CaseInsensitive) == 0)
            family = requested + QStringLiteral(", ") + family;
        else
            family += QStringLiteral(", ") + requested;
    }
    const bool bold = font.weight() >= QFont::Bold;
    const bool italic = font.italic();
    const bool condensed = family.contains(QLatin1String("Narrow")) || family.contains(QLatin1String("Condensed"));
    const PlmColor& color = presentation.color;
    const bool justified = presentation.alignment == PlmTextAlignment::justified;
    static const QRegularExpression words(QStringLiteral("\\S+\\s*"));

    // The page clips a text to its rectangle: so does the file, where anything reaches past it.
    QRectF reach = laid.inkRect();
    for (const QRectF& underline : laid.underlines())
        reach = reach.united(underline.translated(0, -attributes.baselineOffset));
    const bool clipped = !reach.isNull() && !QRectF(0, 0, rect.width(), rect.height()).contains(reach);
    bool opened = false;
    const auto openClip = [&] {
        if (opened || !clipped)
            return;
        QPainterPath clip;
        clip.setFillRule(Qt::WindingFill);
        clip.addRect(rect);
        piece().raw(openClipGroups(QList<QPainterPath>{clip}));
        opened = true;
    };

    for (const auto& layout : laid.paragraphs()) {
        const QString paragraph = layout->text();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            if (line.textLength() <= 0 || line.y() >= rect.height())  // off the box: clipped on screen
                continue;
            const Span lineSpan = withoutLineBreaks(paragraph, {line.textStart(), line.textLength()});
            if (lineSpan.length <= 0)
                continue;
            const Span shownSpan = withoutHangingBlanks(line, paragraph, lineSpan);
            const QString shown = paragraph.mid(shownSpan.start, shownSpan.length);
            // Underlined as on the page, and not at all where the page draws no underline. A
            // justified line's underline is a box of its own: readers draw text-decoration under
            // each word of a justified line, or not at all.
            const QRectF underline = laid.underline(line);
            const bool underlined = !underline.isNull() && !justified;
            const double px = line.cursorToX(line.textStart());
            const double x = rect.left() + px;
            const double y = rect.bottom() - (line.y() + line.ascent()) + attributes.baselineOffset;

            openClip();
            SvgOutput& out = piece();
            out.raw("<text transform=\"translate(").number(x).raw(' ').number(y).raw(") scale(").number(f)
                .raw(" -1)\"")
                .attribute("font-family").escaped(family).close()
                .attribute("font-size").number(presentation.fontSize).close()
                .attribute("letter-spacing").number(style.tracking / f).close()
                .attribute("text-decoration").raw(underlined ? "underline" : "none").close()
                .attribute("font-stretch").raw(condensed ? "condensed" : "normal").close()
                .attribute("font-weight").raw(bold ? "bold" : !presentation.editing ? "normal" : weightName(style.fontWeight)).close()
                .attribute("font-style").raw(italic ? "italic" : "normal").close()
                .attribute("fill").color(color.red, color.green, color.blue).close()
                .attribute("fill-opacity").number(partAlpha(color.alpha)).close()
                .raw(" xml:space=\"preserve\">");
            if (justified) {
                QRegularExpressionMatchIterator it = words.globalMatch(shown);
                while (it.hasNext()) {
                    const QRegularExpressionMatch match = it.next();
                    const int cursor = int(shownSpan.start + match.capturedStart());
                    out.raw("<tspan x=\"").number((line.cursorToX(cursor) - px) / f).raw("\">")
                        .escaped(match.captured()).raw("</tspan>");
                }
            } else {
                out.escaped(shown);
            }
            out.raw("</text>");
            if (justified && !underline.isNull())
                appendBox(QRectF(rect.left() + underline.left(),
                                 rect.bottom() - underline.bottom() + attributes.baselineOffset, underline.width(),
                                 underline.height()),
                          color, std::nullopt, false);
        }
    }
    if (opened)
        piece().raw("</g>");
}
