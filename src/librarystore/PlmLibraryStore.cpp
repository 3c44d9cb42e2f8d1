#include "librarystore/PlmLibraryStore.h"
#include "model/PlmRowSort.h"

#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "model/PlmErrors.h"
#include "model/PlmFileLimits.h"
#include "model/PlmMapCodec.h"
#include "model/PlmTextFolding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUuid>

#include <algorithm>
#include <cerrno>

namespace Files = PlmLibraryFiles;
using Kind = PlmLibraryError::Kind;

namespace {

// Folders nested deeper than this are not listed: the listing recurses, and no library made
// by hand comes near it.
constexpr int maximumListingDepth = 256;
// A map file larger than this is refused before it is read whole.
constexpr qint64 maximumMapBytes = plmMaximumFileBytes;

bool isControl(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    return category == QChar::Other_Control || category == QChar::Other_Format;
}

QString parentOf(const QString& path)
{
    return QFileInfo(path).absolutePath();
}

QString lastComponent(const QString& path)
{
    return QFileInfo(path).fileName();
}

void requireNoLink(const QString& folder, int depth)
{
    if (depth > maximumListingDepth)
        throw PlmLibraryError(Kind::outsideLibrary);
    for (const QString& name : Files::entries(folder)) {
        const QString path = folder + QLatin1Char('/') + name;
        const Files::Kind kind = Files::kindOf(path);
        if (kind.isSymLink)
            throw PlmLibraryError(Kind::outsideLibrary);
        if (kind.isDirectory)
            requireNoLink(path, depth + 1);
    }
}

QList<PlmLibraryItem> filtered(const QList<PlmLibraryItem>& items, const QString& needle)
{
    QList<PlmLibraryItem> kept;
    for (const PlmLibraryItem& item : items) {
        if (PlmTextFolding::folded(item.displayName()).contains(needle)) {
            kept.append(item);
            continue;
        }
        if (item.children.isEmpty())
            continue;
        PlmLibraryItem partial = item;
        partial.children = filtered(item.children, needle);
        if (partial.children.isEmpty())
            continue;
        partial.isFolder = true;
        kept.append(partial);
    }
    return kept;
}

std::optional<QString>& trashStandIn()
{
    static std::optional<QString> folder;
    return folder;
}

// The desktop's trash keeps each item under files/ and its record under info/, named after it
// with ".trashinfo"; the record of an item taken back out would stay there for ever.
void dropDesktopTrashRecord(const QString& trashed)
{
    const QFileInfo item(trashed);
    if (item.absoluteDir().dirName() != QLatin1String("files"))
        return;
    const QString record = QFileInfo(item.absolutePath()).absolutePath() + QStringLiteral("/info/") + item.fileName()
                         + QStringLiteral(".trashinfo");
    if (QFileInfo(record).isFile())
        QFile::remove(record);
}

} // namespace

QString PlmLibraryStore::mapExtension()
{
    return QStringLiteral("plmmap");
}

PlmLibraryStore::PlmLibraryStore(const QString& root, const std::optional<QString>& trashDirectory, bool creatingRoot)
{
    const QString standard = Files::standardized(root);
    if (Files::kindOf(standard).isSymLink)
        throw PlmLibraryError(Kind::outsideLibrary);
    if (creatingRoot && !Files::exists(standard) && !QDir().mkpath(standard))
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, standard, EACCES);
    m_root = Files::resolved(standard);
    if (trashDirectory)
        m_trash = Files::standardized(*trashDirectory);
    requireFolder(m_root);
}

// --- Guards -------------------------------------------------------------------------------------

QString PlmLibraryStore::containedURL(const QString& url, bool allowingRoot) const
{
    const QString standard = Files::standardized(url);
    if (!Files::isWithin(standard, m_root) || (!allowingRoot && standard == m_root))
        throw PlmLibraryError(Kind::outsideLibrary);
    if (Files::resolved(standard) != standard)
        throw PlmLibraryError(Kind::outsideLibrary);
    return standard;
}

void PlmLibraryStore::requireFolder(const QString& url) const
{
    const QString path = containedURL(url, true);
    const Files::Kind kind = Files::kindOf(path);
    if (!kind.exists)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, path, ENOENT);
    if (!kind.isDirectory || kind.isSymLink)
        throw PlmLibraryError(Kind::invalidFolder);
}

PlmLibraryItem PlmLibraryStore::item(const QString& url) const
{
    const QString path = containedURL(url, false);
    const Files::Kind kind = Files::kindOf(path);
    if (!kind.exists)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, path, ENOENT);
    if (kind.isSymLink)
        throw PlmLibraryError(Kind::outsideLibrary);
    PlmLibraryItem result;
    result.url = path;
    if (kind.isDirectory) {
        result.isFolder = true;
        return result;
    }
    if (kind.isRegularFile && QFileInfo(path).suffix().toLower() == mapExtension())
        return result;
    throw PlmLibraryError(Kind::unsupportedFile);
}

QString PlmLibraryStore::validatedName(const QString& proposed)
{
    const QString name = PlmTextFolding::trimmed(proposed);
    if (name.isEmpty() || name.startsWith(QLatin1Char('.')) || name.contains(QLatin1Char('/'))
        || name.contains(QLatin1Char(':')))
        throw PlmLibraryError(Kind::invalidName);
    for (char32_t c : name.toUcs4())
        if (isControl(c))
            throw PlmLibraryError(Kind::invalidName);
    return name;
}

QString PlmLibraryStore::cleanedName(const QString& mapName)
{
    QString replaced;
    for (char32_t c : mapName.toUcs4()) {
        if (c == U'/' || c == U':' || isControl(c))
            replaced += QChar(0x2013);
        else
            replaced += QString::fromUcs4(&c, 1);
    }
    const QList<uint> scalars = replaced.toUcs4();
    qsizetype begin = 0;
    qsizetype end = scalars.size();
    auto trimmable = [](char32_t c) { return c == U'.' || PlmTextFolding::isWhiteSpace(c); };
    while (begin < end && trimmable(scalars[begin]))
        ++begin;
    while (end > begin && trimmable(scalars[end - 1]))
        --end;
    if (begin == end)
        return QStringLiteral("Fond");
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(scalars.constData() + begin), end - begin);
}

QString PlmLibraryStore::nextFreeName(const QString& folder, const QString& base, bool document) const
{
    const QString extension = document ? QStringLiteral(".") + mapExtension() : QString();
    for (qint64 n = 1;; ++n) {
        const QString name = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        const QString path = folder + QLatin1Char('/') + name + extension;
        if (!Files::exists(path))
            return path;
    }
}

// --- Listing and search -------------------------------------------------------------------------

QList<PlmLibraryItem> PlmLibraryStore::listing(const QString& folder, int depth) const
{
    requireFolder(folder);
    QList<PlmLibraryItem> items;
    if (depth > maximumListingDepth)
        return items;
    for (const QString& name : Files::entries(folder)) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        const Files::Kind kind = Files::kindOf(path);
        if (!kind.exists || kind.isSymLink)
            continue; // gone meanwhile, or a link: never an item
        containedURL(path, false);
        PlmLibraryItem item;
        item.url = Files::standardized(path);
        if (kind.isDirectory) {
            item.isFolder = true;
            item.children = listing(item.url, depth + 1);
        } else if (!kind.isRegularFile || QFileInfo(name).suffix().toLower() != mapExtension()) {
            continue;
        }
        items.append(item);
    }
    // The file browser's order, as in the library tree.
    const PlmRowSort order;
    std::stable_sort(items.begin(), items.end(), [&order](const PlmLibraryItem& a, const PlmLibraryItem& b) {
        return order.compare(a.displayName(), b.displayName()) < 0;
    });
    return items;
}

QList<PlmLibraryItem> PlmLibraryStore::tree(const QString& matching) const
{
    const QList<PlmLibraryItem> all = listing(m_root, 0);
    const QString needle = PlmTextFolding::folded(matching);
    if (needle.isEmpty())
        return all;
    return filtered(all, needle);
}

// --- Changes ------------------------------------------------------------------------------------

QString PlmLibraryStore::newFolder(const QString& name, const QString& parent) const
{
    const QString folder = containedURL(parent, true);
    requireFolder(folder);
    const QString path = folder + QLatin1Char('/') + validatedName(name);
    if (Files::exists(path))
        throw PlmLibraryError(Kind::collision);
    Files::makeFolder(path);
    return path;
}

QString PlmLibraryStore::addMap(const PlmMap& map, const std::optional<QString>& name, const QString& folder) const
{
    const QByteArray bytes = PlmMapCodec::encode(map);
    const QString base = name ? *name : cleanedName(map.name);
    const QString target = containedURL(folder, true);
    requireFolder(target);
    const QString validated = validatedName(base);
    // Another program may take the free name between the test and the write: the write
    // refuses to replace it, and the next free name is tried.
    for (int attempt = 0;; ++attempt) {
        const QString path = nextFreeName(target, validated, true);
        try {
            Files::writeNew(path, bytes);
            return path;
        } catch (const PlmLibraryError& error) {
            if (error.kind() != Kind::collision || attempt >= 8)
                throw;
        }
    }
}

QString PlmLibraryStore::importMap(const QString& source, const QString& folder) const
{
    const QString path = Files::standardized(source);
    const QFileInfo info(path);
    if (info.suffix().toLower() != mapExtension())
        throw PlmLibraryError(Kind::unsupportedFile);
    const QByteArray bytes = Files::read(path, maximumMapBytes);
    decodeMap(path, bytes); // only a check: the bytes are stored unchanged
    const QString target = containedURL(folder, true);
    requireFolder(target);
    const QString fileName = info.fileName();
    const QString validated = validatedName(fileName.left(fileName.size() - mapExtension().size() - 1));
    for (int attempt = 0;; ++attempt) {
        const QString destination = nextFreeName(target, validated, true);
        try {
            Files::writeNew(destination, bytes);
            return destination;
        } catch (const PlmLibraryError& error) {
            if (error.kind() != Kind::collision || attempt >= 8)
                throw;
        }
    }
}

PlmMap PlmLibraryStore::map(const QString& url) const
{
    const PlmLibraryItem found = item(url);
    if (found.isFolder)
        throw PlmLibraryError(Kind::unsupportedFile);
    return decodeMap(found.url, Files::read(found.url, maximumMapBytes));
}

PlmMap PlmLibraryStore::decodeMap(const QString& url, const QByteArray& bytes)
{
    try {
        return PlmMapCodec::decode(bytes);
    } catch (const PlmJsonDecodingError&) {
        throw PlmError(plmDocumentOpenFailure(url, QString())); // the decoder speaks English
    } catch (const PlmError& error) {
        throw PlmError(plmDocumentOpenFailure(url, error.message()));
    }
}

QString PlmLibraryStore::rename(const QString& url, const QString& newName) const
{
    const PlmLibraryItem found = item(url);
    const QString name = validatedName(newName);
    const QString parent = parentOf(found.url);
    const QString target = parent + QLatin1Char('/') + name + (found.isFolder ? QString() : QStringLiteral(".") + mapExtension());
    if (target == found.url)
        return found.url;
    requireFolder(containedURL(parent, true));
    if (Files::exists(target))
        throw PlmLibraryError(Kind::collision);
    return moveTo(found.url, target);
}

QString PlmLibraryStore::moveTo(const QString& url, const QString& destination) const
{
    const PlmLibraryItem found = item(url);
    const QString target = containedURL(destination, false);
    requireFolder(parentOf(target));
    if (target == found.url)
        return found.url;
    if (found.isFolder && Files::isWithin(target, found.url))
        throw PlmLibraryError(Kind::descendantMove);
    if (Files::exists(target))
        throw PlmLibraryError(Kind::collision);
    Files::moveNoReplace(found.url, target);
    return target;
}

QString PlmLibraryStore::moveInto(const QString& url, const QString& folder) const
{
    const PlmLibraryItem found = item(url);
    requireFolder(folder);
    return moveTo(found.url, Files::standardized(folder) + QLatin1Char('/') + lastComponent(found.url));
}

QString PlmLibraryStore::duplicate(const QString& url) const
{
    const PlmLibraryItem found = item(url);
    QByteArray bytes;
    if (found.isFolder) {
        requireNoLink(found.url, 0);
    } else {
        bytes = Files::read(found.url, maximumMapBytes);
        decodeMap(found.url, bytes);
    }
    const QString parent = containedURL(parentOf(found.url), true);
    requireFolder(parent);
    const QString base = validatedName(found.displayName() + QStringLiteral(" copie"));
    const QString target = nextFreeName(parent, base, !found.isFolder);
    if (found.isFolder)
        Files::copyTree(found.url, target); // refuses a link that appeared meanwhile, removes its partial copy
    else
        Files::writeNew(target, bytes); // the bytes that were checked, not a second read
    return target;
}

PlmLibraryDeletion PlmLibraryStore::trash(const QString& url) const
{
    const PlmLibraryItem found = item(url);
    PlmLibraryDeletion deletion;
    deletion.originalURL = found.url;
    if (const std::optional<QString> folder = m_trash ? m_trash : trashStandIn()) {
        if (!Files::exists(*folder) && !QDir().mkpath(*folder))
            throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, *folder, EACCES);
        deletion.trashedURL = *folder + QLatin1Char('/') + QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper()
                            + QLatin1Char('-') + lastComponent(found.url);
        Files::moveNoReplace(found.url, deletion.trashedURL);
        return deletion;
    }
    // Qt keeps the desktop's trash in the per-user data folder only when that folder exists;
    // without it, the trash would be made in the working directory.
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (!data.isEmpty())
        QDir().mkpath(data);
    QString trashed;
    if (!QFile::moveToTrash(found.url, &trashed)) {
        if (!Files::exists(found.url))
            throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, found.url, ENOENT);
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::posix, found.url, EIO);
    }
    if (trashed.isEmpty())
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::noSuchFile, found.url, ENOENT);
    deletion.trashedURL = Files::standardized(trashed);
    return deletion;
}

void PlmLibraryStore::restore(const PlmLibraryDeletion& deletion) const
{
    const QString original = containedURL(deletion.originalURL, false);
    requireFolder(parentOf(original));
    if (Files::exists(original))
        throw PlmLibraryError(Kind::collision);
    Files::moveNoReplace(deletion.trashedURL, original);
    dropDesktopTrashRecord(deletion.trashedURL);
}

void PlmLibraryStore::setDesktopTrashStandIn(const std::optional<QString>& folder)
{
    trashStandIn() = folder ? std::optional<QString>(Files::standardized(*folder)) : std::nullopt;
}

std::optional<QString> PlmLibraryStore::desktopTrashStandIn()
{
    return trashStandIn();
}
