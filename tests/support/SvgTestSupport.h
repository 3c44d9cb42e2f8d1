#pragma once

#include "export/SVGCarteExport.h"

#include <QFile>
#include <QHash>
#include <QImage>
#include <QPainterPath>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTransform>
#include <QUrl>
#include <QXmlStreamReader>

#include <cmath>
#include <functional>
#include <string>

// Helpers of the SVG writer's tests: a writer on an empty page, what it wrote, and the
// document rendered by an SVG renderer that is not ours.
namespace SvgTestSupport {

// An A4 page without margin where the composition keeps its size and sits at the lower left.
inline SvgPage plainPage(double marginMm = 0)
{
    SvgPage page;
    page.margin = marginMm;
    return page;
}

inline SvgComposition emptyComposition(double width = 400, double height = 300)
{
    SvgComposition composition;
    composition.size = QSizeF(width, height);
    composition.title = QStringLiteral("Carte");
    return composition;
}

// An empty composition holding one map view of `vector` over its whole 400 × 300 page.
inline SvgComposition mapComposition(VectorCanvas& vector)
{
    SvgComposition composition = emptyComposition();
    SvgCompositionView map;
    map.kind = SvgCompositionView::Kind::map;
    map.frame = QRectF(0, 0, 400, 300);
    map.vector = &vector;
    composition.views = {map};
    return composition;
}

inline QString bodyOf(const SVGCarteExport& writer) { return QString::fromStdString(writer.body.str()); }
inline QString definitionsOf(const SVGCarteExport& writer) { return QString::fromStdString(writer.definitions.str()); }

// Every capture of the first group of a pattern, in order.
inline QStringList capturesOf(const QString& text, const QString& pattern)
{
    QStringList result;
    QRegularExpressionMatchIterator it = QRegularExpression(pattern).globalMatch(text);
    while (it.hasNext())
        result.append(it.next().captured(1));
    return result;
}

// An element of a document as an XML reader reads it: its name, attributes and own text.
struct XmlElement {
    QString name;
    QXmlStreamAttributes attributes;
    QString text;
};

// Every element of a document in document order, read by Qt's XML reader; when the bytes are
// not well-formed XML, the reader's error goes to `error` (emptied otherwise).
inline QList<XmlElement> xmlElements(const QByteArray& xml, QString* error)
{
    QList<XmlElement> elements;
    QList<qsizetype> open;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            open.append(elements.size());
            elements.append({reader.name().toString(), reader.attributes(), QString()});
        } else if (reader.isEndElement() && !open.isEmpty()) {
            open.removeLast();
        } else if (reader.isCharacters() && !open.isEmpty()) {
            elements[open.last()].text += reader.text();
        }
    }
    *error = reader.hasError() ? reader.errorString() : QString();
    return elements;
}

// A transform attribute as the writer writes it (matrix, translate, scale and rotate about the
// origin, in list order): the map from the element's coordinates to its parent's.
inline QTransform svgTransform(const QString& text)
{
    QTransform result;
    static const QRegularExpression step(QStringLiteral("(\\w+)\\s*\\(([^)]*)\\)"));
    static const QRegularExpression separator(QStringLiteral("[\\s,]+"));
    QRegularExpressionMatchIterator it = step.globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        QList<double> v;
        for (const QString& number : match.captured(2).split(separator, Qt::SkipEmptyParts))
            v.append(number.toDouble());
        const QString name = match.captured(1);
        QTransform t;
        if (name == QLatin1String("matrix") && v.size() == 6)
            t = QTransform(v[0], v[1], v[2], v[3], v[4], v[5]);
        else if (name == QLatin1String("translate") && !v.isEmpty())
            t = QTransform::fromTranslate(v[0], v.size() > 1 ? v[1] : 0);
        else if (name == QLatin1String("scale") && !v.isEmpty())
            t = QTransform::fromScale(v[0], v.size() > 1 ? v[1] : v[0]);
        else if (name == QLatin1String("rotate") && v.size() == 1)
            t.rotate(v[0]);
        // The later steps of the list apply first.
        result = t * result;
    }
    return result;
}

// Path data of absolute M, L, C and Z commands, all the writer writes.
inline QPainterPath svgPathOutline(const QString& data)
{
    QPainterPath path;
    QList<double> numbers;
    QChar command;
    auto flush = [&] {
        if (command == QLatin1Char('M') && numbers.size() >= 2)
            path.moveTo(numbers[0], numbers[1]);
        else if (command == QLatin1Char('L') && numbers.size() >= 2)
            path.lineTo(numbers[0], numbers[1]);
        else if (command == QLatin1Char('C') && numbers.size() >= 6)
            path.cubicTo(numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]);
        else if (command == QLatin1Char('Z'))
            path.closeSubpath();
        numbers.clear();
    };
    QRegularExpressionMatchIterator it =
        QRegularExpression(QStringLiteral("[MLCZ]|[-+]?[0-9]*\\.?[0-9]+(?:[eE][-+]?[0-9]+)?")).globalMatch(data);
    while (it.hasNext()) {
        const QString token = it.next().captured(0);
        if (token.size() == 1 && token[0].isLetter()) {
            flush();
            command = token[0];
        } else {
            numbers.append(token.toDouble());
        }
    }
    flush();
    return path;
}

// A path element of a document and the extent of its outline in the document's user space,
// through the transforms of the groups around it (clips are not applied).
struct PlacedPath {
    QXmlStreamAttributes attributes;
    QRectF extent;
};

inline QList<PlacedPath> placedPaths(const QByteArray& xml)
{
    QList<PlacedPath> paths;
    QList<QTransform> open{QTransform()};
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QXmlStreamAttributes attributes = reader.attributes();
            const QTransform placed =
                svgTransform(attributes.value(QStringLiteral("transform")).toString()) * open.last();
            open.append(placed);
            if (reader.name() == QLatin1String("path"))
                paths.append({attributes, placed.map(svgPathOutline(attributes.value(QStringLiteral("d")).toString()))
                                              .boundingRect()});
        } else if (reader.isEndElement() && open.size() > 1) {
            open.removeLast();
        }
    }
    return paths;
}

// An element of a writer's body with the outlines of the clip paths around it: those of the
// groups that hold it and its own, outermost first, read from the writer's definitions.
struct ClippedElement {
    QString name;
    QList<QPainterPath> clips;
};

inline QList<ClippedElement> clippedElements(const SVGCarteExport& writer)
{
    const QByteArray xml = QStringLiteral("<svg><defs>%1</defs><body>%2</body></svg>")
                               .arg(definitionsOf(writer), bodyOf(writer)).toUtf8();
    QHash<QString, QPainterPath> outlines;
    QString clipId;
    QList<ClippedElement> elements;
    QList<QList<QPainterPath>> open{{}};
    bool inBody = false;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement()) {
            const QXmlStreamAttributes attributes = reader.attributes();
            QList<QPainterPath> clips = open.last();
            if (reader.name() == QLatin1String("clipPath"))
                clipId = attributes.value(QStringLiteral("id")).toString();
            else if (reader.name() == QLatin1String("path") && !inBody && !clipId.isEmpty())
                outlines.insert(clipId, svgPathOutline(attributes.value(QStringLiteral("d")).toString()));
            else if (reader.name() == QLatin1String("body"))
                inBody = true;
            static const QRegularExpression reference(QStringLiteral("^url\\(#([^)]+)\\)$"));
            const QRegularExpressionMatch clip = reference.match(attributes.value(QStringLiteral("clip-path")).toString());
            if (clip.hasMatch())
                clips.append(outlines.value(clip.captured(1)));
            if (inBody && reader.name() != QLatin1String("body"))
                elements.append({reader.name().toString(), clips});
            open.append(clips);
        } else if (reader.isEndElement() && open.size() > 1) {
            open.removeLast();
        }
    }
    return elements;
}

// What `tool` draws of `svg`, written as page.svg in a folder of its own: the page.png that the
// arguments made of (page.svg, page.png, the folder) ask for; a null image when the tool is
// missing, fails or takes more than a minute.
inline QImage renderedBy(const QString& tool, const QByteArray& svg,
                         const std::function<QStringList(const QString&, const QString&, const QTemporaryDir&)>& arguments)
{
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("page.svg"));
    const QString out = dir.filePath(QStringLiteral("page.png"));
    QFile file(in);
    if (tool.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size())
        return {};
    file.close();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(tool, arguments(in, out, dir));
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished(5000);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return {};
    return QImage(out).convertToFormat(QImage::Format_ARGB32);
}

// The document drawn by rsvg-convert at `pixelsPerPoint`; a null image when the tool is missing
// or refuses the file.
inline QImage renderWithRsvg(const QByteArray& svg, double pixelsPerPoint)
{
    return renderedBy(QStandardPaths::findExecutable(QStringLiteral("rsvg-convert")), svg,
                      [&](const QString& in, const QString& out, const QTemporaryDir&) {
                          // The document is sized in millimetres; at 72 dpi a point is one pixel,
                          // times the zoom.
                          return QStringList{QStringLiteral("--dpi-x"), QStringLiteral("72"), QStringLiteral("--dpi-y"),
                                             QStringLiteral("72"), QStringLiteral("--zoom"), QString::number(pixelsPerPoint),
                                             QStringLiteral("-o"), out, in};
                      });
}

// The headless Chromium found here, or empty.
inline QString chromiumTool()
{
    for (const char* name : {"chromium", "chromium-browser"})
        if (const QString tool = QStandardPaths::findExecutable(QString::fromLatin1(name)); !tool.isEmpty())
            return tool;
    return {};
}

// Why a headless Chromium cannot render here, or empty when it can.
inline QString chromiumMissing()
{
    return chromiumTool().isEmpty() ? QStringLiteral("headless Chromium (Debian package chromium) is not installed")
                                    : QString();
}

// The document drawn by headless Chromium at `pixelsPerPoint`; a null image when the browser is
// missing, fails or takes more than a minute. The page is `pointsWide` × `pointsHigh` points.
// Runs without its sandbox (tests may run as root), with a profile of its own that is removed
// afterwards, on a white background.
inline QImage renderWithChromium(const QByteArray& svg, double pointsWide, double pointsHigh, double pixelsPerPoint)
{
    return renderedBy(chromiumTool(), svg, [&](const QString& in, const QString& out, const QTemporaryDir& dir) {
        // The document is sized in millimetres: a point is 4/3 CSS pixels, and the device scale
        // turns CSS pixels into the asked pixels per point.
        const int cssWide = int(std::ceil(pointsWide * 4 / 3));
        const int cssHigh = int(std::ceil(pointsHigh * 4 / 3));
        return QStringList{QStringLiteral("--headless"), QStringLiteral("--disable-gpu"), QStringLiteral("--no-sandbox"),
                           QStringLiteral("--no-first-run"), QStringLiteral("--disable-extensions"),
                           QStringLiteral("--disable-dev-shm-usage"), QStringLiteral("--hide-scrollbars"),
                           QStringLiteral("--user-data-dir=") + dir.filePath(QStringLiteral("profile")),
                           QStringLiteral("--force-device-scale-factor=") + QString::number(pixelsPerPoint * 3 / 4),
                           QStringLiteral("--default-background-color=ffffffff"),
                           QStringLiteral("--window-size=%1,%2").arg(cssWide).arg(cssHigh),
                           QStringLiteral("--screenshot=") + out, QUrl::fromLocalFile(in).toString()};
    });
}

} // namespace SvgTestSupport
