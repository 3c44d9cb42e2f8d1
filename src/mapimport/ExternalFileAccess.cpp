#include "mapimport/ExternalFileAccess.h"

#include "basemaps/LegacyPelmoraImporter.h"
#include "basemaps/PlmPelmoraBytes.h"
#include "basemaps/LegacyPelmoraLayout.h"
#include "basemaps/LegacyPelmoraTable.h"
#include "basemaps/PlmVectorImporter.h"
#include "platform/Bookmark.h"
#include "desktop/DialogHooks.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QThread>
#include <QVariant>

namespace ExternalFileAccess {

using namespace PlmPelmoraBytes;

namespace {

QString standardized(const QString& path)
{
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

bool isInside(const QString& file, const QString& folder)
{
    const QString prefix = standardized(folder);
    return standardized(file).startsWith(prefix.endsWith(QLatin1Char('/')) ? prefix : prefix + QLatin1Char('/'));
}

QList<QByteArray> storedBookmarks(const QString& key)
{
    const QVariant value = UserDefaults::value(key);
    if (value.typeId() != QMetaType::QVariantList)
        return {};
    QList<QByteArray> bookmarks;
    for (const QVariant& item : value.toList()) {
        if (item.typeId() != QMetaType::QByteArray)
            return {};
        bookmarks << item.toByteArray();
    }
    return bookmarks;
}

bool isPelmoraHead(const QByteArray& head)
{
    return LegacyPelmoraImporter::isLegacyBaseMap(head);
}

QString countText(qsizetype n)
{
    return decimal(n);
}

} // namespace

QStringList candidates(const QString& path, const QByteArray& head)
{
    QStringList extensions;
    const bool pelmora = isPelmoraHead(head);
    if (pelmora)
        extensions = {"tab", "TAB", "num", "NUM", "hab", "HAB"};
    else if (PlmVectorImporter::isShapefile(head))
        extensions = {"dbf", "DBF", "shx", "SHX", "prj", "PRJ", "cpg", "CPG"};
    else
        return {};
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString stem = info.suffix().isEmpty() ? info.fileName() : info.completeBaseName();
    QStringList list;
    for (const QString& extension : extensions)
        list << folder + QLatin1Char('/') + stem + QLatin1Char('.') + extension;
    if (pelmora) {
        qint64 offset = 50;
        if (matches(head, 0, "\x00\x01\x00\x00\x00\x04", 6))
            offset = 6;
        else if (matches(head, 40, "\x00\x00\x00\x01", 4))
            offset = 44;
        const QString named = zeroTerminatedName(head, offset, 24);
        if (named.toLower().endsWith(QLatin1String(".num")) && !named.contains(QLatin1Char('/'))
            && !named.contains(QLatin1Char(':')))
            list << folder + QLatin1Char('/') + named;
    }
    const QString self = standardized(path);
    list.removeIf([&](const QString& candidate) { return standardized(candidate) == self; });
    return list;
}

std::optional<QByteArray> readOptionalData(const QString& path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly) || file.size() > PlmVectorImporter::maximumFileSize)
        return std::nullopt;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return data;
}

void stopAccessing(const QStringList& folders)
{
    for (const QString& folder : folders)
        Bookmark::stopAccessing(folder);
}

std::optional<QString> chooseFolder(const QString& path)
{
    DialogHooks::OpenPanelRequest request;
    request.title = QStringLiteral("Lire les fichiers historiques associés");
    request.message = QStringLiteral("Autorisez le dossier contenant ce fond et ses .tab, .num et .hab. L’accès est "
                                     "mémorisé, les originaux restent intacts. Annuler importe le fond seul.");
    request.prompt = QStringLiteral("Autoriser ce dossier");
    request.canChooseDirectories = true;
    request.canChooseFiles = false;
    request.directory = QFileInfo(path).absolutePath();
    const std::optional<QStringList> chosen = DialogHooks::runOpenPanel(request);
    if (!chosen || chosen->isEmpty())
        return std::nullopt;
    const QString folder = chosen->first();
    if (!isInside(path, folder))
        return std::nullopt;
    return folder;
}

std::optional<QString> requestFolderAccess(const QString& path, QStringList& accessed, const QString& defaultsKey)
{
    std::optional<QString> folder;
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        folder = chooseFolder(path);
    else
        QMetaObject::invokeMethod(app, [&] { folder = chooseFolder(path); }, Qt::BlockingQueuedConnection);
    if (!folder)
        return std::nullopt;
    if (Bookmark::startAccessing(*folder))
        accessed << *folder;
    try {
        const QByteArray bookmark = Bookmark::make(*folder);
        QVariantList list;
        for (const QByteArray& stored : storedBookmarks(defaultsKey))
            list << stored;
        list << bookmark;
        UserDefaults::setValue(defaultsKey, list);
    } catch (const Bookmark::Error&) {
        // The folder is used for this import only.
    }
    return folder;
}

PlmImportResult importWithRelatedFiles(const QString& path)
{
    QByteArray head;
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return PlmVectorImporter::importMap(path); // throws its own "cannot be read" sentence
        head = file.read(86);
    }
    if (head.isEmpty() || !isPelmoraHead(head))
        return PlmVectorImporter::importMap(path); // Shapefile companions are found by its reader

    const QStringList companions = candidates(path, head);
    QStringList accessed;
    for (const QByteArray& bookmark : storedBookmarks(bookmarksKey)) {
        try {
            const QString folder = Bookmark::resolve(bookmark);
            if (isInside(path, folder) && Bookmark::startAccessing(folder))
                accessed << folder;
        } catch (const Bookmark::Error&) {
        }
    }
    const QFileInfo info(path);
    const QDir folder(info.absolutePath());
    const bool listingFailed = !folder.exists() || !folder.isReadable();
    // On Linux a remembered folder grants nothing more: asking again for it would only repeat
    // the question the user already answered.
    bool requested = false;
    if (listingFailed && accessed.isEmpty()) {
        requestFolderAccess(path, accessed, bookmarksKey);
        requested = true;
    }
    PlmImportResult result;
    try {
        result = PlmVectorImporter::importMap(path);
    } catch (...) {
        stopAccessing(accessed);
        throw;
    }
    requested = requested || !accessed.isEmpty();
    PlmMap& map = result.map;
    const auto digitization = [](qsizetype count) {
        return QStringLiteral("Numérisation trouvée : ") + countText(count)
             + QStringLiteral(" géométries vectorielles reconnues, original conservé");
    };
    if (info.suffix().toLower() == QLatin1String("num"))
        map.metadata.insert(QStringLiteral("legacy.digitization"), digitization(map.entities.size()));

    QStringList inaccessible;
    QList<PlmSource> sources = map.sources.value_or(QList<PlmSource>());
    for (const QString& companion : companions) {
        const QFileInfo companionInfo(companion);
        std::optional<QByteArray> data = readOptionalData(companion);
        if (!data && !requested && companionInfo.exists()) {
            requestFolderAccess(path, accessed, bookmarksKey);
            requested = true;
            data = readOptionalData(companion);
        }
        if (!data) {
            if (companionInfo.exists())
                inaccessible << companionInfo.fileName();
            continue;
        }
        sources.append(PlmSource{companionInfo.fileName(), *data});
        const QString extension = companionInfo.suffix().toLower();
        if (extension == QLatin1String("tab")) {
            try {
                const LegacyPelmoraTable table = LegacyPelmoraTable::parse(*data);
                map.metadata.insert(QStringLiteral("legacy.table"),
                                    QStringLiteral("Tableau trouvé : ") + countText(table.columns.size())
                                        + QStringLiteral(" variables, ") + countText(table.rows.size())
                                        + QStringLiteral(" lignes"));
            } catch (const std::exception&) {
                map.metadata.insert(QStringLiteral("legacy.table"),
                                    QStringLiteral("Tableau trouvé : variante non qualifiée, original conservé"));
            }
        } else if (extension == QLatin1String("hab")) {
            try {
                const int objects = LegacyPelmoraLayout::countObjects(*data);
                map.metadata.insert(QStringLiteral("legacy.layout"),
                                    QStringLiteral("Habillage trouvé : ") + countText(objects)
                                        + QStringLiteral(" objets vectoriels reconnus ; mise en forme non "
                                                         "interprétée, original conservé"));
                map.metadata.insert(QStringLiteral("legacy.layout.recordCount"), countText(objects));
            } catch (const std::exception&) {
                map.metadata.insert(QStringLiteral("legacy.layout"),
                                    QStringLiteral("Habillage trouvé : fichier conservé, structure binaire non "
                                                   "encore interprétée"));
            }
        } else if (extension == QLatin1String("num")) {
            try {
                const PlmMap digitized = LegacyPelmoraImporter::importMap(*data, companionInfo.completeBaseName(),
                                                                          companionInfo.fileName());
                map.metadata.insert(QStringLiteral("legacy.digitization"), digitization(digitized.entities.size()));
                if (const auto variant = digitized.metadata.constFind(QStringLiteral("legacy.variant"));
                    variant != digitized.metadata.cend())
                    map.metadata.insert(QStringLiteral("legacy.digitization.variant"), variant.value());
            } catch (const std::exception&) {
                map.metadata.insert(QStringLiteral("legacy.digitization"),
                                    QStringLiteral("Numérisation trouvée : informations originales conservées, "
                                                   "structure non interprétée"));
            }
        }
    }
    map.sources = sources;
    if (listingFailed && accessed.isEmpty())
        map.metadata.insert(QStringLiteral("legacy.access"),
                            QStringLiteral("Fond importé seul ; accès au dossier associé non autorisé."));
    if (!inaccessible.isEmpty())
        map.metadata.insert(QStringLiteral("legacy.access"), QStringLiteral("Fond importé ; fichiers associés "
                                                                            "inaccessibles : ")
                                                                 + inaccessible.join(QStringLiteral(", ")));
    stopAccessing(accessed);
    return result;
}

} // namespace ExternalFileAccess
