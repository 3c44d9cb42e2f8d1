#include "librarystore/PlmLibrarySymbols.h"
#include "model/PlmRowSort.h"

#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "librarystore/PlmLibraryManifest.h"
#include "librarystore/PlmLibraryStore.h"
#include "model/PlmMapCodec.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace Files = PlmLibraryFiles;
using Kind = PlmLibraryError::Kind;

namespace {

// Throws the manifest's read error, or invalidPackage for a bad manifest or another version.
void requireManifest(const QString& root)
{
    PlmLibraryManifest::read(root);
}

bool isMarked(const PlmMap& map)
{
    return map.metadata.value(PlmLibrarySymbols::markerKey) == PlmLibrarySymbols::markerValue;
}

} // namespace

QList<PlmLibraryItem> PlmLibraryStore::symbolItems() const
{
    requireManifest(m_root);
    const QString folder = m_root + QLatin1Char('/') + PlmLibrarySymbols::folderName;
    if (!Files::exists(folder))
        return {};
    requireFolder(folder);
    QList<PlmLibraryItem> items;
    for (const QString& name : Files::entries(folder)) {
        if (name.startsWith(QLatin1Char('.')) || QFileInfo(name).suffix().toLower() != mapExtension())
            continue;
        const PlmLibraryItem found = item(folder + QLatin1Char('/') + name);
        if (!found.isFolder)
            items.append(found);
    }
    // The file browser's order, as in the library tree.
    const PlmRowSort order;
    std::stable_sort(items.begin(), items.end(), [&order](const PlmLibraryItem& a, const PlmLibraryItem& b) {
        return order.compare(a.displayName(), b.displayName()) < 0;
    });
    return items;
}

QString PlmLibraryStore::addSymbol(const PlmMap& map, const QString& name) const
{
    requireManifest(m_root);
    PlmMapCodec::validate(map);
    if (map.entities.isEmpty())
        throw PlmLibraryError(Kind::unsupportedFile);
    for (const PlmEntity& leaf : PlmEntity::leafEntities(map.entities)) {
        if (leaf.geometry.kind() != PlmGeometry::Kind::path)
            throw PlmLibraryError(Kind::unsupportedFile);
    }
    // A refused name must not leave a new symbols folder behind.
    validatedName(name);

    const QString folder = containedURL(m_root + QLatin1Char('/') + PlmLibrarySymbols::folderName, true);
    const bool creating = !Files::exists(folder);
    if (creating)
        Files::makeFolder(folder);
    try {
        requireFolder(folder);
        PlmMap symbol = map;
        symbol.metadata.insert(PlmLibrarySymbols::markerKey, PlmLibrarySymbols::markerValue);
        return addMap(symbol, name, folder);
    } catch (...) {
        // Only the empty folder made just now is taken back; rmdir refuses anything else.
        if (creating)
            QDir().rmdir(folder);
        throw;
    }
}

PlmLibraryDeletion PlmLibraryStore::deleteSymbol(const QString& url) const
{
    requireManifest(m_root);
    const QString path = containedURL(url, false);
    const QString symbols = Files::standardized(m_root + QLatin1Char('/') + PlmLibrarySymbols::folderName);
    if (QFileInfo(path).absolutePath() != symbols)
        throw PlmLibraryError(Kind::outsideLibrary);
    // Checks the item (a folder is unsupportedFile), then reads and decodes it within bounds.
    if (!isMarked(map(path)))
        throw PlmLibraryError(Kind::outsideLibrary);
    return trash(path);
}
