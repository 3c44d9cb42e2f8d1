#include "page/DecorationText.h"

#include "canvas/FontGlyphCache.h"
#include "platform/UsableFonts.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPainterPath>
#include <QRawFont>
#include <QScreen>
#include <QTextLine>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace {

// Qt scales an absolute letter spacing by the whole-number quotient of the font's dpi and the
// screen's, so on the 72-dpi reference device any tracking comes out as zero. Tracked texts
// are therefore laid out on a device at the screen's dpi, with the point size scaled so that
// a point still measures one unit.
struct TrackingDevice {
    QImage image;
    double dpi = 72;
    double spacingFactor = 0;  // laid-out spacing per unit asked; 0 when Qt ignores it
};

int screenDpiY()
{
    if (QCoreApplication::testAttribute(Qt::AA_Use96Dpi))
        return 96;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return int(std::lround(screen->logicalDotsPerInchY()));
    return 100;
}

double laidWidth(const QString& text, const QFont& font, QPaintDevice* device)
{
    QTextLayout layout(text, font, device);
    layout.setTextOption(QTextOption(Qt::AlignLeft));
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    return line.isValid() ? line.naturalTextWidth() : 0;
}

const TrackingDevice& trackingDevice()
{
    static const TrackingDevice device = [] {
        TrackingDevice d;
        d.dpi = std::max(screenDpiY(), 1);
        d.image = QImage(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = int(std::lround(d.dpi / 0.0254));
        d.image.setDotsPerMeterX(dotsPerMeter);
        d.image.setDotsPerMeterY(dotsPerMeter);
        // Measure what the engine really adds: two glyphs, one spacing each.
        QFont probe(QStringLiteral("DejaVu Sans"));
        probe.setPointSizeF(12 * 72 / d.dpi);
        const double plain = laidWidth(QStringLiteral("ii"), probe, &d.image);
        probe.setLetterSpacing(QFont::AbsoluteSpacing, 10);
        d.spacingFactor = std::max(0.0, (laidWidth(QStringLiteral("ii"), probe, &d.image) - plain) / 20);
        return d;
    }();
    return device;
}

// Whether a justified line would have its letters spread: it holds one word (no blank before
// its trailing ones) and is not its paragraph's last, which is never justified.
bool holdsLoneJustifiedWord(const QString& paragraph, const QTextLine& line)
{
    const qsizetype start = line.textStart();
    qsizetype end = start + line.textLength();
    if (end >= paragraph.size() || !(line.naturalTextWidth() > 0))
        return false;
    while (end > start && paragraph.at(end - 1).isSpace())
        --end;
    for (qsizetype i = start; i < end; ++i)
        if (paragraph.at(i).isSpace())
            return false;
    return end > start;
}

// From a y-up rectangle's top edge, y running downward as the text is laid out.
QTransform fromTopEdge(const QRectF& rect)
{
    QTransform transform;
    transform.translate(rect.left(), rect.top() + rect.height());
    transform.scale(1, -1);
    return transform;
}

// A text drawn into a rectangle of no area shows nothing.
bool holdsText(const QRectF& rect) { return !(rect.width() <= 0 || rect.height() <= 0); }

} // namespace

QFont DecorationText::layoutFontOn(const DecorationTextAttributes& attributes, QPaintDevice** device)
{
    QFont font = attributes.layoutFont();
    *device = decorationReferenceDevice();
    if (attributes.kern == 0 || !std::isfinite(attributes.kern) || !(font.pointSizeF() > 0))
        return font;
    const TrackingDevice& tracking = trackingDevice();
    if (!(tracking.spacingFactor > 0))
        return font;
    font.setPointSizeF(font.pointSizeF() * 72 / tracking.dpi);
    font.setLetterSpacing(QFont::AbsoluteSpacing, attributes.kern / tracking.spacingFactor);
    *device = const_cast<QImage*>(&tracking.image);
    return font;
}

DecorationText::DecorationText(const QString& text, const DecorationTextAttributes& attributes, double width)
    : m_attributes(attributes)
{
    const DecorationParagraphStyle& style = attributes.paragraphStyle;
    QPaintDevice* device = nullptr;
    const QFont font = layoutFontOn(attributes, &device);
    const bool justified = style.alignment == PlmTextAlignment::justified;
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
        auto layout = std::make_unique<QTextLayout>(paragraphs[p], font, device);
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
            const double lineWidth = std::max(boxWidth - head + std::min(style.tailIndent, 0.0), 1.0);
            line.setLineWidth(lineWidth);
            double startShift = 0;
            if (justified && holdsLoneJustifiedWord(paragraphs[p], line)) {
                // Typesetting leaves a lone word at the line's start rather than spreading its
                // letters: set at its own width, the line has no room left to spread. A
                // right-to-left paragraph's lines start at the right edge.
                const int length = line.textLength();
                line.setLineWidth(line.naturalTextWidth());
                if (line.textLength() != length)
                    line.setLineWidth(lineWidth);
                else if (paragraphs[p].isRightToLeft())
                    startShift = lineWidth - line.width();
            }
            if (!first)
                y += style.lineSpacing;
            line.setPosition(QPointF(head + startShift, y));
            y += line.height();
            first = false;
        }
        layout->endLayout();
        m_paragraphs.push_back(std::move(layout));
    }
    m_usedHeight = y;
    for (const auto& layout : m_paragraphs)
        m_runs.append(UsableFonts::glyphRuns(*layout));
}

QRectF DecorationText::inkRect() const
{
    if (m_ink)
        return *m_ink;
    QRectF ink;
    for (const QGlyphRun& run : m_runs) {
        const QRawFont raw = run.rawFont();
        const QList<quint32> glyphs = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        QHash<quint32, QRectF>& boxes = fontGlyphCache<QRectF>(raw);
        for (qsizetype i = 0; i < glyphs.size() && i < positions.size(); ++i) {
            // The outline's bounds: the engine's glyph metrics are rounded to whole pixels.
            auto found = boxes.constFind(glyphs[i]);
            if (found == boxes.constEnd())
                found = boxes.insert(glyphs[i], raw.pathForGlyph(glyphs[i]).boundingRect());
            const QRectF box = *found;
            if (box.isEmpty())
                continue;
            const QRectF glyphInk = box.translated(positions[i] + QPointF(0, -m_attributes.baselineOffset));
            ink = ink.isNull() ? glyphInk : ink.united(glyphInk);
        }
    }
    m_ink = ink;
    return ink;
}

void DecorationText::draw(QPainter& painter, const QRectF& rect) const
{
    painter.save();
    // Un-flip: from here y runs downward from the rectangle's top edge.
    painter.setTransform(fromTopEdge(rect), true);
    painter.setClipRect(QRectF(0, 0, rect.width(), rect.height()), Qt::IntersectClip);
    painter.setPen(m_attributes.foregroundColor);
    const QPointF shift(0, -m_attributes.baselineOffset);
    for (QGlyphRun run : m_runs) {
        // Qt places a run's underline at the drawing origin rather than under its glyphs
        // (and the raster engine may leave it out): lines are underlined below instead.
        run.setUnderline(false);
        painter.drawGlyphRun(shift, run);
    }
    for (const QRectF& underline : underlines())
        painter.fillRect(underline.translated(shift), m_attributes.foregroundColor);
    painter.restore();
}

QRectF DecorationText::drawnRect(const QRectF& rect) const
{
    // Placed as draw() places them: the baseline offset shifts glyphs and underlines alike.
    QRectF ink = inkRect();
    for (const QRectF& underline : underlines())
        ink |= underline.translated(0, -m_attributes.baselineOffset);
    const QRectF shown = ink.intersected(QRectF(0, 0, rect.width(), rect.height()));
    if (shown.isEmpty())
        return {};
    return fromTopEdge(rect).mapRect(shown);
}

QList<QRectF> DecorationText::underlines() const
{
    QList<QRectF> result;
    for (const auto& layout : m_paragraphs)
        for (int i = 0; i < layout->lineCount(); ++i)
            if (const QRectF line = underline(layout->lineAt(i)); !line.isNull())
                result.append(line);
    return result;
}

QRectF DecorationText::underline(const QTextLine& line) const
{
    // The natural rectangle starts where the alignment put the text and spans its advances
    // (trailing blanks left out), or the whole line once it is justified.
    const QRectF text = line.naturalTextRect();
    if (m_attributes.underlineStyle == 0 || line.textLength() <= 0 || !(text.width() > 0))
        return {};
    if (!m_underlineBand) {
        // The font's underline, measured once for every line of the text.
        QPaintDevice* device = nullptr;
        const QFontMetricsF metrics(layoutFontOn(m_attributes, &device), device);
        const double thickness = std::max(metrics.lineWidth(), 0.5);
        m_underlineBand = QPointF(metrics.underlinePos() - thickness / 2, thickness);
    }
    const double baseline = line.y() + line.ascent();
    return QRectF(text.left(), baseline + m_underlineBand->x(), text.width(), m_underlineBand->y());
}

double DecorationText::singleLineWidth(const QString& text, const DecorationTextAttributes& attributes)
{
    QPaintDevice* device = nullptr;
    const QFont font = layoutFontOn(attributes, &device);
    if (device != decorationReferenceDevice()) {
        // Tracking is in the laid-out advances only.
        QString normalised = text;
        normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        double widest = 0;
        for (const QString& line : normalised.split(QLatin1Char('\n')))
            widest = std::max(widest, laidWidth(line, font, device));
        return widest;
    }
    const QFontMetricsF metrics(font, device);
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
    if (!holdsText(rect))
        return;
    DecorationText(text, attributes, rect.width()).draw(painter, rect);
}

QRectF decorationTextDrawnRect(const QString& text, const QRectF& rect, const DecorationTextAttributes& attributes)
{
    if (!holdsText(rect))
        return {};
    return DecorationText(text, attributes, rect.width()).drawnRect(rect);
}
