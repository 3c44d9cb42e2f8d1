// A command-line reader for bench/peers.sh, so that our side is timed as a whole process, as
// the peers are: it reads one file the way the studio does and exits.
//   ReadFile generate DIR   writes the benchmark inputs (maps and tables) into DIR
//   ReadFile import FILE    the vector import (GeoJSON, Shapefile…), as Fichier > Importer
//   ReadFile decode FILE    opens a base-map document (.plmmap): read, decode, validate
// Tables are read by ReadTable. After reading, it prints the count read on standard output and
// the process's peak resident memory on standard error.
#include "support/BenchImportFiles.h"
#include "support/BenchTables.h"
#include "support/PeakMemory.h"

#include "basemaps/PlmVectorImporter.h"
#include "model/PlmMapCodec.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <exception>

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return file.readAll();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s generate DIR | import FILE | decode FILE\n", argv[0]);
        return 2;
    }
    const QByteArray command = argv[1];
    const QString path = QString::fromLocal8Bit(argv[2]);
    try {
        if (command == "generate") {
            BenchImportFiles::writeAll(path);
            writeFile(QDir(path).filePath(QStringLiteral("communes.csv")), BenchTables::csvBytes());
            writeFile(QDir(path).filePath(QStringLiteral("communes.xlsx")), BenchTables::xlsxBytes());
            return 0;
        }
        qsizetype count = -1;
        if (command == "import")
            count = PlmVectorImporter::importMap(path).map.entities.size();
        else if (command == "decode")
            count = PlmMapCodec::decode(readFile(path)).entities.size();
        if (count < 0) {
            std::fprintf(stderr, "unknown command %s\n", argv[1]);
            return 2;
        }
        std::printf("%lld\n", static_cast<long long>(count));
        printPeakMemory();
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
    return 0;
}
