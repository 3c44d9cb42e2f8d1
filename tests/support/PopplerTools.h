#pragma once

// Runs the poppler command-line tools (poppler-utils) on PDF bytes, so that exported files are
// checked by readers that this program did not write.

#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace PopplerTools {

struct Run {
    bool ok = false;
    QString output;
};

// Writes the bytes to a temporary file and runs the tool on it with the given arguments
// before the file name (`after` after it).
inline Run run(const QString& tool, const QByteArray& pdf, const QStringList& before,
               const QStringList& after = {}, QTemporaryDir* keep = nullptr)
{
    QTemporaryDir local;
    QTemporaryDir& dir = keep ? *keep : local;
    const QString path = dir.filePath(QStringLiteral("export.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QProcess process;
    process.start(tool, before + QStringList{path} + after);
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0,
            QString::fromUtf8(process.readAllStandardOutput())};
}

// The value of one "Key:  value" line of pdfinfo.
inline QString info(const QByteArray& pdf, const QString& key)
{
    const Run r = run(QStringLiteral("pdfinfo"), pdf, {});
    for (const QString& line : r.output.split(QLatin1Char('\n')))
        if (line.startsWith(key + QLatin1Char(':')))
            return line.mid(key.size() + 1).trimmed();
    return {};
}

inline QString text(const QByteArray& pdf)
{
    return run(QStringLiteral("pdftotext"), pdf, {QStringLiteral("-layout")}, {QStringLiteral("-")}).output;
}

// The image rows of pdfimages -list (its two header lines dropped).
inline QStringList imageList(const QByteArray& pdf)
{
    QStringList lines = run(QStringLiteral("pdfimages"), pdf, {QStringLiteral("-list")}).output.split(
        QLatin1Char('\n'), Qt::SkipEmptyParts);
    return lines.mid(2);
}

// The first page rasterized at a resolution, as pdftoppm draws it.
inline QImage raster(const QByteArray& pdf, int dpi = 72)
{
    QTemporaryDir dir;
    const QString prefix = dir.filePath(QStringLiteral("page"));
    const Run r = run(QStringLiteral("pdftoppm"), pdf,
                      {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-png"), QStringLiteral("-singlefile")},
                      {prefix}, &dir);
    if (!r.ok)
        return {};
    return QImage(prefix + QStringLiteral(".png"));
}

} // namespace PopplerTools
