#pragma once

#include "model/PlmMap.h"

#include <QByteArray>
#include <QString>

// Reader of the older Pelmora program's base maps: the compact map, the indexed collection of
// compact maps, the dressed map (two bitmap blocks before fixed-point geometry) and the
// detailed map. Coordinates are kept as stored; the map is flagged with a downward y axis.
// Every byte range not interpreted is kept, in Base64, in metadata or attributes. Pure
// functions, callable from any thread; failures throw PlmMapError with one French sentence.
namespace LegacyPelmoraImporter {

// Whether the first 86 bytes look like one of the four layouts (a collection of more than
// 255 entries reads, but is not recognised here).
bool isLegacyBaseMap(const QByteArray& data);

// Picks the variant and reads it. `name` becomes the map's name, `fileName` names the source.
PlmMap importMap(const QByteArray& data, const QString& name, const QString& fileName);
// Reads the file whole; the name is the base name for a ".num" file, else the file name.
PlmMap importMap(const QString& path);

PlmMap importCompact(const QByteArray& data, const QString& name, const QString& fileName);
PlmMap importIndexedCollection(const QByteArray& data, const QString& name, const QString& fileName);
PlmMap importDressed(const QByteArray& data, const QString& name, const QString& fileName);
PlmMap importDetailed(const QByteArray& data, const QString& name, const QString& fileName);

// The map name the import entry gives a file: base name for ".num", else the whole name.
QString mapName(const QString& fileName);

// What each variant says when its two bitmap blocks are refused.
struct BitmapBlockMessages {
    QString cutLength;    // a block's length word past the data
    QString badLength;    // a length below 1 or past the data
    QString truncated;    // a run past its block
    QString unqualified;  // a block that does not unpack to 51,840 bytes
};
// Walks the two PackBits blocks at `offset`, each a big-endian long length then its bytes,
// without unpacking them: each must unpack to exactly 51,840 bytes. Returns the offset past
// them; throws PlmMapError with the matching message.
qint64 skipBitmapBlocks(const QByteArray& data, qint64 offset, const BitmapBlockMessages& messages);

// Big-endian words, each throwing its variant's message when outside the data.
unsigned readWord(qint64 offset, const QByteArray& data);
unsigned readDressedWord(qint64 offset, const QByteArray& data);
unsigned readDetailedWord(qint64 offset, const QByteArray& data);

} // namespace LegacyPelmoraImporter
