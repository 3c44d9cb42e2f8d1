#include "platform/SymbolGlyphProvider.h"

#include "platform/SymbolGlyphTable.h"

#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QTransform>

#include <algorithm>

#include <cmath>
#include <functional>
#include <numbers>

namespace {

constexpr double kBox = 100.0;  // glyphs are drawn in a 100 × 100 box, y up

QPainterPath circle(double inset)
{
    QPainterPath p;
    p.addEllipse(QRectF(inset, inset, kBox - 2 * inset, kBox - 2 * inset));
    return p;
}

QPainterPath square(double inset)
{
    QPainterPath p;
    p.addRoundedRect(QRectF(inset, inset, kBox - 2 * inset, kBox - 2 * inset), 10, 10);
    return p;
}

QPainterPath polygon(const QList<QPointF>& points)
{
    QPainterPath p;
    p.addPolygon(QPolygonF(points));
    p.closeSubpath();
    return p;
}

QPainterPath triangle(double inset)
{
    return polygon({{50, kBox - inset}, {inset, inset + 8}, {kBox - inset, inset + 8}});
}

QPainterPath star(double inset)
{
    QList<QPointF> pts;
    const double outer = 50 - inset, inner = outer * 0.42;
    for (int i = 0; i < 10; ++i) {
        const double a = std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const double r = (i % 2 == 0) ? outer : inner;
        pts.append(QPointF(50 + r * std::cos(a), 48 + r * std::sin(a)));
    }
    return polygon(pts);
}

QPainterPath diamond(double inset)
{
    return polygon({{50, kBox - inset}, {inset, 50}, {50, inset}, {kBox - inset, 50}});
}

QPainterPath heart()
{
    QPainterPath p;
    p.moveTo(50, 10);
    p.cubicTo(20, 35, 5, 55, 5, 70);
    p.cubicTo(5, 85, 17, 95, 30, 95);
    p.cubicTo(40, 95, 47, 89, 50, 82);
    p.cubicTo(53, 89, 60, 95, 70, 95);
    p.cubicTo(83, 95, 95, 85, 95, 70);
    p.cubicTo(95, 55, 80, 35, 50, 10);
    p.closeSubpath();
    return p;
}

QPainterPath mappin()
{
    QPainterPath p;
    p.addEllipse(QRectF(25, 45, 50, 50));
    QPainterPath stem;
    stem.addRect(QRectF(46, 5, 8, 45));
    return p.united(stem);
}

QPainterPath plus()
{
    QPainterPath p;
    p.addRect(QRectF(42, 10, 16, 80));
    QPainterPath bar;
    bar.addRect(QRectF(10, 42, 80, 16));
    return p.united(bar);
}

// Outline variants are rings: the filled shape minus a smaller copy.
QPainterPath ring(const QPainterPath& outer, const QPainterPath& inner)
{
    QPainterPath p = outer;
    p.addPath(inner);
    p.setFillRule(Qt::OddEvenFill);
    return p;
}

using Maker = std::function<QPainterPath()>;

const QList<QPair<QString, Maker>>& makers()
{
    static const QList<QPair<QString, Maker>> list = {
        {QStringLiteral("circle"), [] { return ring(circle(4), circle(14)); }},
        {QStringLiteral("circle.fill"), [] { return circle(4); }},
        {QStringLiteral("square"), [] { return ring(square(6), square(16)); }},
        {QStringLiteral("square.fill"), [] { return square(6); }},
        {QStringLiteral("triangle"), [] { return ring(triangle(4), triangle(22)); }},
        {QStringLiteral("triangle.fill"), [] { return triangle(4); }},
        {QStringLiteral("diamond.fill"), [] { return diamond(4); }},
        {QStringLiteral("star"), [] { return ring(star(2), star(16)); }},
        {QStringLiteral("star.fill"), [] { return star(2); }},
        {QStringLiteral("heart.fill"), [] { return heart(); }},
        {QStringLiteral("mappin"), [] { return mappin(); }},
        {QStringLiteral("plus"), [] { return plus(); }},
    };
    return list;
}


const QPair<QString, Maker>* drawnGlyph(const QString& name)
{
    for (const auto& entry : makers())
        if (entry.first == name)
            return &entry;
    return nullptr;
}

struct Table {
    QStringList names;
    QHash<QString, QString> files;
};

const Table& table()
{
    static const Table t = [] {
        Table result;
        const QString text = QString::fromLatin1(symbolGlyphTableText);
        for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
            const qsizetype blank = line.indexOf(u' ');
            if (blank <= 0)
                continue;
            const QString name = line.left(blank);
            result.names.append(name);
            result.files.insert(name, line.mid(blank + 1));
        }
        return result;
    }();
    return t;
}

// Shared state: the reader, the folder and what was read, behind one lock (exports may draw
// on worker threads).
struct State {
    QMutex mutex;
    SymbolGlyphProvider::OutlineReader reader;
    QString directory;
    std::optional<QStringList> available;      // computed once per reader and folder
    QHash<QString, std::optional<SymbolGlyph>> glyphs; // read icons, failures included
};

State& state()
{
    static State s;
    return s;
}

constexpr const char* kInstalledDirectory = "/usr/share/bootstrap-icons/svg";

QString directoryLocked(const State& s)
{
    return s.directory.isEmpty() ? QString::fromLatin1(kInstalledDirectory) : s.directory;
}

// The icon outline fitted into the glyph box, its larger side kBox long, at the origin.
std::optional<SymbolGlyph> fitted(const QString& name, const QPainterPath& outline)
{
    const QRectF bounds = outline.boundingRect();
    const double side = std::max(bounds.width(), bounds.height());
    if (outline.isEmpty() || !(side > 0) || !std::isfinite(side))
        return std::nullopt;
    const double s = kBox / side;
    const QTransform t(s, 0, 0, s, -bounds.left() * s, -bounds.top() * s);
    return SymbolGlyph{name, t.map(outline), QSizeF(bounds.width() * s, bounds.height() * s)};
}

} // namespace

std::optional<SymbolGlyph> SymbolGlyphProvider::glyph(const QString& name)
{
    State& s = state();
    OutlineReader reader;
    QString file;
    {
        QMutexLocker lock(&s.mutex);
        if (const auto found = s.glyphs.constFind(name); found != s.glyphs.cend())
            return *found;
        reader = s.reader;
        if (const auto entry = table().files.constFind(name); entry != table().files.cend())
            file = directoryLocked(s) + u'/' + *entry + QStringLiteral(".svg");
    }
    std::optional<SymbolGlyph> result;
    if (reader && !file.isEmpty() && QFileInfo(file).isFile()) {
        if (const std::optional<QPainterPath> outline = reader(file))
            result = fitted(name, *outline);
    }
    if (!result) {
        if (const auto* drawn = drawnGlyph(name))
            result = SymbolGlyph{name, drawn->second(), QSizeF(kBox, kBox)};
    }
    QMutexLocker lock(&s.mutex);
    s.glyphs.insert(name, result);
    return result;
}

bool SymbolGlyphProvider::isAvailable(const QString& name)
{
    if (drawnGlyph(name))
        return true;
    const QStringList names = availableNames();
    return std::binary_search(names.cbegin(), names.cend(), name);
}

QStringList SymbolGlyphProvider::availableNames()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    if (!s.available) {
        QStringList names;
        for (const auto& entry : makers())
            names.append(entry.first);
        if (s.reader) {
            const QString directory = directoryLocked(s);
            for (const QString& name : table().names) {
                if (QFileInfo(directory + u'/' + table().files.value(name) + QStringLiteral(".svg")).isFile())
                    names.append(name);
            }
        }
        std::sort(names.begin(), names.end());
        names.erase(std::unique(names.begin(), names.end()), names.end());
        s.available = names;
    }
    return *s.available;
}

const QStringList& SymbolGlyphProvider::tableNames() { return table().names; }

QString SymbolGlyphProvider::iconFile(const QString& name)
{
    const auto entry = table().files.constFind(name);
    if (entry == table().files.cend())
        return {};
    return iconDirectory() + u'/' + *entry + QStringLiteral(".svg");
}

QString SymbolGlyphProvider::iconDirectory()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    return directoryLocked(s);
}

void SymbolGlyphProvider::setIconDirectory(const QString& directory)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    s.directory = directory;
    s.available.reset();
    s.glyphs.clear();
}

void SymbolGlyphProvider::setOutlineReader(OutlineReader reader)
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    s.reader = std::move(reader);
    s.available.reset();
    s.glyphs.clear();
}

bool SymbolGlyphProvider::hasOutlineReader()
{
    State& s = state();
    QMutexLocker lock(&s.mutex);
    return bool(s.reader);
}
