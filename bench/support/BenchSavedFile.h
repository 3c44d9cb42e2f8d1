#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A document saved once in a folder of its own before any timing, for the benchmarks that start
// where the person starts: from the file on disk. The folder goes when the program ends.
class BenchSavedFile {
public:
    BenchSavedFile(const QString& name, const QByteArray& bytes) : path_(dir_.filePath(name))
    {
        QFile file(path_);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path_));
    }
    const QString& path() const { return path_; }

private:
    QTemporaryDir dir_;
    QString path_;
};
