#pragma once

#include <QByteArray>

// The layout ("habillage", ".hab") file beside an older Pelmora base map. It is only checked
// and counted, never drawn. Failures throw PlmMapError with one French sentence.
namespace LegacyPelmoraLayout {

// A + B + C: the objects of both kinds and the 39-byte records.
int countObjects(const QByteArray& data);

// The big-endian word at the offset; "Habillage historique tronqué." when outside the data.
unsigned readWord(qint64 offset, const QByteArray& data);

} // namespace LegacyPelmoraLayout
