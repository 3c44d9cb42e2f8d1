#pragma once

#include "export/SVGCarteExport.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
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
