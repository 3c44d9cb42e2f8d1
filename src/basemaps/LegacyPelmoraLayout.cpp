#include "basemaps/LegacyPelmoraLayout.h"

#include "basemaps/LegacyPelmoraImporter.h"
#include "basemaps/PlmPelmoraBytes.h"
#include "model/PlmErrors.h"

namespace LegacyPelmoraLayout {

using namespace PlmPelmoraBytes;

namespace {

[[noreturn]] void fail(const QString& message)
{
    throw PlmMapError::invalid(message);
}

} // namespace

unsigned readWord(qint64 offset, const QByteArray& data)
{
    if (!fits(data, offset, 2))
        fail(QStringLiteral("Habillage historique tronqué."));
    return word(data, offset);
}

int countObjects(const QByteArray& data)
{
    const qint64 n = data.size();
    const QString invalidBlock = QStringLiteral("Bloc d’habillage historique invalide.");
    const qint64 p = LegacyPelmoraImporter::skipBitmapBlocks(
        data, 24,
        {invalidBlock, invalidBlock, QStringLiteral("Bloc d’habillage tronqué."),
         QStringLiteral("Variante d’habillage non qualifiée.")});
    const unsigned a = readWord(p, data);
    const unsigned b = readWord(p + 2, data);
    const unsigned c = readWord(p + 4, data);
    qint64 o = p + 6;
    for (unsigned i = 0; i < a + b; ++i) {
        const bool firstKind = i < a;
        const qint64 v = readWord(o + 32, data);
        if (v < (firstKind ? 3 : 1))
            fail(QStringLiteral("Sommets d’habillage invalides."));
        const qint64 size = (firstKind ? 55 : 47) + 4 * v;
        if (size > n - o)
            fail(QStringLiteral("Objet d’habillage tronqué."));
        o += size;
    }
    if (n - o != 39 * qint64(c))
        fail(QStringLiteral("Fin d’habillage non qualifiée."));
    return int(a + b + c);
}

} // namespace LegacyPelmoraLayout
