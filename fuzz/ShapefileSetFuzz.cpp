// A Shapefile with its companions, one member mutated at a time: the first byte chooses the
// member (.shp, .shx, .dbf, .prj, .cpg) that the rest of the input replaces; the others are a
// small valid set, written beside it in a temporary folder.
#include "FuzzSupport.h"
#include "basemaps/ShapefileReader.h"
#include "support/ShapefileTestWriter.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QTemporaryDir>

using namespace ShapefileTestWriter;

namespace {

struct Set {
    QByteArray shp, shx, dbf, prj, cpg;
};

// The index of a main file written back to back.
QByteArray indexOf(const QByteArray& shp)
{
    QByteArray entries;
    for (qint64 at = 100; at + 8 <= shp.size();) {
        const quint32 words = qFromBigEndian<quint32>(shp.constData() + at + 4);
        putBE32(entries, quint32(at / 2));
        putBE32(entries, words);
        at += 8 + 2 * qint64(words);
    }
    QByteArray out = shp.left(100);
    const quint32 total = quint32((100 + entries.size()) / 2);
    char word[4];
    qToBigEndian(total, word);
    out.replace(24, 4, QByteArray(word, 4));
    return out + entries;
}

const Set& validSet()
{
    static const Set set = [] {
        Shp shp;
        shp.addParts(5, {square(0, 0, 10), {{2, 2}, {4, 2}, {4, 4}, {2, 4}, {2, 2}}, square(3, 3, 0.5)});
        shp.addParts(5, {square(20, 0, 5)});
        shp.addNull();
        Set s;
        s.shp = shp.bytes();
        s.shx = indexOf(s.shp);
        Dbf dbf;
        dbf.fields = {{"ID", 4}, {"NOM", 12}};
        dbf.rows = {{{"a1", "Québec"}}, {{"a2", "Lévis"}}, {{"a3", "Gaspé"}, true}};
        s.dbf = dbf.bytes();
        s.prj = "GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\"],UNIT[\"degree\",0.0174532925199433]]";
        s.cpg = "UTF-8";
        return s;
    }();
    return set;
}

// Writes a member only when it differs from what the previous input left there: most inputs
// change one member, and the file system is the slow part of a run.
void write(const QString& path, const QByteArray& bytes)
{
    static QHash<QString, QByteArray> written;
    const auto it = written.constFind(path);
    if (it != written.cend() && *it == bytes)
        return;
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    written.insert(path, bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // In memory when the system offers it: the reader lists the folder and reads every member.
    static QTemporaryDir folder(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/pelmora-fuzz-XXXXXX")
                                                                           : QDir::tempPath() + QStringLiteral("/pelmora-fuzz-XXXXXX"));
    Set set = validSet();
    const QByteArray member = Fuzz::bytes(data + 1, size - 1);
    switch (data[0] % 5) {
    case 0: set.shp = member; break;
    case 1: set.shx = member; break;
    case 2: set.dbf = member; break;
    case 3: set.prj = member; break;
    default: set.cpg = member; break;
    }
    const QString base = folder.filePath(QStringLiteral("fond"));
    write(base + QStringLiteral(".shp"), set.shp);
    write(base + QStringLiteral(".shx"), set.shx);
    write(base + QStringLiteral(".dbf"), set.dbf);
    write(base + QStringLiteral(".prj"), set.prj);
    write(base + QStringLiteral(".cpg"), set.cpg);
    Fuzz::refusalIsFine([&] { ShapefileReader::read(set.shp, base + QStringLiteral(".shp"), QStringLiteral("fond")); });
    return 0;
}
