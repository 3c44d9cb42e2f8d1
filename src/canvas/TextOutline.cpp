#include "canvas/TextOutline.h"

#include "canvas/FontGlyphCache.h"
#include "platform/UsableFonts.h"

#include <QFontDatabase>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QTextLayout>

#include <charconv>
#include <cmath>

namespace {

// Texts are laid out once at this pixel size and scaled: map font sizes run
// from thousandths of a degree to thousands of metres, which no font engine
// renders directly, and a large size keeps hinting and rounding negligible.
constexpr int kReferencePixels = 256;

struct LineOutline {
    QPainterPath path;  // y up, baseline at 0, starting at x = 0
    double width = 0;
    QList<QGlyphRun> runs;  // at the reference size, positions y down from the line's top
    double ascent = 0;
};

LineOutline layoutLine(const QString& line, const QFont& font)
{
    LineOutline out;
    out.path.setFillRule(Qt::WindingFill);
    if (line.isEmpty())
        return out;
    QTextLayout layout(line, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.setCacheEnabled(true);
    layout.beginLayout();
    QTextLine tl = layout.createLine();
    if (!tl.isValid()) {
        layout.endLayout();
        return out;
    }
    tl.setLineWidth(1e7);
    tl.setPosition(QPointF(0, 0));
    layout.endLayout();
    out.width = tl.naturalTextWidth();
    const double ascent = tl.ascent();
    const QList<QGlyphRun> runs = UsableFonts::glyphRuns(layout);
    out.runs = runs;
    out.ascent = ascent;
    for (const QGlyphRun& run : runs) {
        const QRawFont raw = run.rawFont();
        QHash<quint32, QPainterPath>& paths = fontGlyphCache<QPainterPath>(raw);
        const QList<quint32> indexes = run.glyphIndexes();
        const QList<QPointF> positions = run.positions();
        for (qsizetype i = 0; i < indexes.size() && i < positions.size(); ++i) {
            auto found = paths.constFind(indexes[i]);
            if (found == paths.constEnd())
                found = paths.insert(indexes[i], raw.pathForGlyph(indexes[i]));
            const QPainterPath& glyph = *found;
            if (glyph.isEmpty())
                continue;
            // Glyph outlines are y-down around their baseline: flip them.
            const QPointF pos = positions[i];
            QTransform t(1, 0, 0, -1, pos.x(), -(pos.y() - ascent));
            out.path.addPath(t.map(glyph));
        }
    }
    return out;
}

struct CacheKey {
    QString line;
    QString fontName;
    bool bold;
    bool italic;
    bool operator==(const CacheKey&) const = default;
};

size_t qHash(const CacheKey& k, size_t seed = 0)
{
    return qHashMulti(seed, k.line, k.fontName, k.bold, k.italic);
}

// Name labels redraw the same few texts every frame; keep their outlines.
const LineOutline& cachedLine(const QString& line, const QString& fontName, bool bold, bool italic)
{
    static thread_local QHash<CacheKey, LineOutline> cache; // per thread: maps are also drawn off the main thread
    CacheKey key{line, fontName, bold, italic};
    auto it = cache.constFind(key);
    if (it != cache.constEnd())
        return *it;
    if (cache.size() > 8192)
        cache.clear();
    QFont f = TextOutline::font(fontName, bold, italic);
    return *cache.insert(key, layoutLine(line, f));
}

// A raw font at a label's size, one per face and size, so that every label
// drawn with it shares one glyph cache.
QRawFont sizedFont(const QRawFont& reference, double pixelSize)
{
    static thread_local QHash<QString, QRawFont> fonts;
    const QString key = reference.familyName() + QLatin1Char('|') + reference.styleName() + QLatin1Char('|')
        + QString::number(int(reference.weight())) + QLatin1Char('|') + QString::number(int(reference.style()))
        + QLatin1Char('|') + QString::number(pixelSize, 'g', 17);
    auto it = fonts.constFind(key);
    if (it != fonts.constEnd())
        return *it;
    if (fonts.size() > 256)
        fonts.clear();
    QRawFont sized = reference;
    sized.setPixelSize(pixelSize);
    return *fonts.insert(key, sized);
}

struct RunsKey {
    QString text;
    QString fontName;
    double size;
    bool operator==(const RunsKey&) const = default;
};

size_t qHash(const RunsKey& k, size_t seed = 0) { return qHashMulti(seed, k.text, k.fontName, k.size); }

} // namespace

bool TextOutline::isBoldWeight(const QString& weight)
{
    if (weight == QLatin1String("bold"))
        return true;
    const QByteArray bytes = weight.trimmed().toLatin1();
    double value = 0;
    const char* begin = bytes.constData();
    const char* end = begin + bytes.size();
    if (begin != end && *begin == '+')
        ++begin;
    auto [ptr, ec] = std::from_chars(begin, end, value);
    if (ec != std::errc() || ptr != end || !std::isfinite(value))
        return false;
    return value >= 600;
}

bool TextOutline::isItalicStyle(const QString& style)
{
    return style == QLatin1String("italic") || style == QLatin1String("oblique");
}

QFont TextOutline::font(const QString& fontName, bool bold, bool italic)
{
    QFont f;
    QString family = fontName.trimmed();
    if (family.isEmpty()) {
        f = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    } else {
        // PostScript names carry the face after a hyphen.
        const qsizetype dash = family.lastIndexOf(QLatin1Char('-'));
        if (dash > 0 && !QFontDatabase::hasFamily(family)) {
            const QString face = family.mid(dash + 1).toLower();
            if (face.contains(QLatin1String("bold")) || face.contains(QLatin1String("black")))
                bold = true;
            if (face.contains(QLatin1String("italic")) || face.contains(QLatin1String("oblique")))
                italic = true;
            family = family.left(dash);
        }
        f = QFont(family);
    }
    f.setPixelSize(kReferencePixels);
    f.setHintingPreference(QFont::PreferNoHinting);
    f.setKerning(true);
    f.setBold(bold);
    f.setItalic(italic);
    return f;
}

QPainterPath TextOutline::outline(const QString& text, const QString& fontName, double fontSize,
                                  const QString& anchor, bool bold, bool italic)
{
    QPainterPath result;
    result.setFillRule(Qt::WindingFill);
    if (!std::isfinite(fontSize) || fontSize <= 0 || text.isEmpty())
        return result;
    QString normalized = text;
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalized.split(QLatin1Char('\n'));
    const double k = fontSize / kReferencePixels;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LineOutline& lo = cachedLine(lines[i], fontName, bold, italic);
        if (lo.path.isEmpty())
            continue;
        const double w = lo.width * k;
        double dx = 0;
        if (anchor == QLatin1String("middle"))
            dx = -w / 2;
        else if (anchor == QLatin1String("end"))
            dx = -w;
        const QTransform t(k, 0, 0, k, dx, -fontSize * double(i) * 1.2);
        result.addPath(t.map(lo.path));
    }
    return result;
}

double TextOutline::lineWidth(const QString& line, const QString& fontName, double fontSize, bool bold,
                              bool italic)
{
    return cachedLine(line, fontName, bold, italic).width * fontSize / kReferencePixels;
}

QRectF TextOutline::labelBox(const QString& text, double fontSize)
{
    const qsizetype breaks = text.count(QLatin1Char('\n')) + text.count(QLatin1Char('\r'));
    const double w = fontSize * (double(text.size()) + 2);
    const double h = fontSize * (1.2 * double(breaks) + 3);
    return QRectF(-w, -h, 2 * w, 2 * h);
}

QList<QGlyphRun> TextOutline::labelGlyphRuns(const QString& text, const QString& fontName, double fontSize)
{
    QList<QGlyphRun> result;
    if (!std::isfinite(fontSize) || fontSize <= 0 || text.isEmpty())
        return result;
    // Labels are drawn every frame at one size: keep them ready. They are
    // small (glyph indexes and positions), so a large map's names all fit.
    static thread_local QHash<RunsKey, QList<QGlyphRun>> cache;
    const RunsKey key{text, fontName, fontSize};
    if (auto it = cache.constFind(key); it != cache.constEnd())
        return *it;
    if (cache.size() > 65536)
        cache.clear();
    QString normalized = text;
    normalized.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList lines = normalized.split(QLatin1Char('\n'));
    const double k = fontSize / kReferencePixels;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const LineOutline& lo = cachedLine(lines[i], fontName, false, false);
        const double dx = -lo.width * k / 2;
        const double baseline = fontSize * double(i) * 1.2;
        for (const QGlyphRun& run : lo.runs) {
            const QRawFont font = sizedFont(run.rawFont(), fontSize);
            if (!UsableFonts::isUsable(font))  // the engine could not take the size
                continue;
            QGlyphRun sized;
            sized.setRawFont(font);
            sized.setGlyphIndexes(run.glyphIndexes());
            QList<QPointF> positions = run.positions();
            for (QPointF& p : positions)
                p = QPointF(dx + p.x() * k, baseline + (p.y() - lo.ascent) * k);
            sized.setPositions(positions);
            result.append(sized);
        }
    }
    return *cache.insert(key, result);
}
