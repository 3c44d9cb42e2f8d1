#pragma once

#include "export/SVGCarteExport.h"

#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

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

// The document drawn by rsvg-convert at `zoom` pixels per point; a null image when the tool is
// missing or refuses the file.
inline QImage renderWithRsvg(const QByteArray& svg, double pixelsPerPoint)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("rsvg-convert"));
    if (tool.isEmpty())
        return {};
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("page.svg"));
    const QString out = dir.filePath(QStringLiteral("page.png"));
    QFile file(in);
    if (!file.open(QIODevice::WriteOnly) || file.write(svg) != svg.size())
        return {};
    file.close();
    QProcess process;
    // The document is sized in millimetres; at 72 dpi a point is one pixel, times the zoom.
    process.start(tool, {QStringLiteral("--dpi-x"), QStringLiteral("72"), QStringLiteral("--dpi-y"), QStringLiteral("72"),
                         QStringLiteral("--zoom"), QString::number(pixelsPerPoint), QStringLiteral("-o"), out, in});
    if (!process.waitForFinished(60000) || process.exitCode() != 0)
        return {};
    return QImage(out).convertToFormat(QImage::Format_ARGB32);
}

} // namespace SvgTestSupport
