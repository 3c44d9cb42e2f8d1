#include "library/LibraryThumbnails.h"

#include "canvas/VectorCanvas.h"
#include "librarystore/PlmLibraryStore.h"
#include "model/PlmErrors.h"
#include "model/PlmMapCodec.h"
#include "platform/AtomicFileWriter.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPointer>
#include <QStandardPaths>

#include <mutex>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

// The store's own bound on a map file: larger ones are not read at all.
constexpr qint64 largestDecodedFile = 1LL << 30;

// One large map is read at a time, by a row's picture or by the preview: a map of hundreds of
// megabytes costs about as much again decoded, and the second reader then finds its picture
// in the disk cache.
std::mutex& largeMapReading()
{
    static std::mutex mutex;
    return mutex;
}

QString sibling(const QString& cacheFile, const QString& suffix)
{
    return cacheFile.isEmpty() ? QString() : cacheFile.chopped(4) + suffix;
}

void saveImage(const QImage& image, const QString& file)
{
    if (image.isNull() || file.isEmpty() || !QDir().mkpath(QFileInfo(file).absolutePath()))
        return;
    QByteArray png;
    QBuffer buffer(&png);
    if (buffer.open(QIODevice::WriteOnly) && image.save(&buffer, "PNG"))
        AtomicFileWriter::write(file, png);
}

void saveFacts(const LibraryThumbnails::Facts& facts, const QString& file)
{
    if (file.isEmpty() || !QDir().mkpath(QFileInfo(file).absolutePath()))
        return;
    QJsonObject object{{QStringLiteral("entities"), double(facts.entityCount)},
                       {QStringLiteral("source"), QJsonArray::fromStringList(facts.sourceLines)}};
    AtomicFileWriter::write(file, QJsonDocument(object).toJson(QJsonDocument::Compact));
}

// A cached file is ours, but the cache folder is the user's: read it as any outside file.
std::optional<LibraryThumbnails::Facts> loadFacts(const QString& file)
{
    QFile in(file);
    if (file.isEmpty() || in.size() > 64 * 1024 || !in.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll());
    const QJsonValue entities = document.object().value(QStringLiteral("entities"));
    const QJsonValue source = document.object().value(QStringLiteral("source"));
    if (!document.isObject() || !entities.isDouble() || entities.toDouble() < 0 || !source.isArray())
        return std::nullopt;
    LibraryThumbnails::Facts facts;
    facts.entityCount = qsizetype(entities.toDouble());
    for (const QJsonValue& line : source.toArray()) {
        if (!line.isString())
            return std::nullopt;
        facts.sourceLines << line.toString();
    }
    return facts;
}

} // namespace

QString LibraryThumbnails::emptyText()
{
    return QStringLiteral("Ouvrez un document .plmmap ou importez un fond historique depuis le menu Fichier.");
}

QString LibraryThumbnails::defaultCacheDirectory()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/pelmora-cache");
    return base + QStringLiteral("/library-thumbnails");
}

LibraryThumbnails::LibraryThumbnails(const QString& cacheDirectory, QObject* parent)
    : QObject(parent)
    , directory_(cacheDirectory)
{
    cache_.setMaxCost(100);
    // Two workers keep the rows coming without taking the whole machine while scrolling.
    pool_.setMaxThreadCount(2);
    mapPool_.setMaxThreadCount(1);
}

LibraryThumbnails::~LibraryThumbnails()
{
    pool_.clear();
    mapPool_.clear();
    pool_.waitForDone();
    mapPool_.waitForDone();
}

QString LibraryThumbnails::cacheFile(const QString& path) const
{
    const QFileInfo info(path);
    if (directory_.isEmpty() || !info.isFile())
        return {};
    const QByteArray key = path.toUtf8() + '\n' + QByteArray::number(info.size()) + '\n'
                         + QByteArray::number(info.lastModified().toMSecsSinceEpoch());
    return directory_ + QLatin1Char('/') + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex())
         + QStringLiteral(".png");
}

void LibraryThumbnails::releaseFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

QImage LibraryThumbnails::render(const PlmMap& map, double pixelRatio)
{
    VectorCanvas canvas(map, false, emptyText());
    canvas.setFrame(QRectF(QPointF(0, 0), renderSize()));
    canvas.fit(false);
    const QImage full = canvas.renderToImage(1.0);
    const QImage scaled = full.scaled(imageSize() * pixelRatio, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    // Centred in the row's frame, whose proportions differ slightly from the rendering's.
    QImage framed(imageSize() * pixelRatio, QImage::Format_ARGB32_Premultiplied);
    framed.fill(Qt::transparent);
    {
        QPainter p(&framed);
        p.drawImage(QPoint((framed.width() - scaled.width()) / 2, (framed.height() - scaled.height()) / 2), scaled);
    }
    framed.setDevicePixelRatio(pixelRatio);
    return framed;
}

QImage LibraryThumbnails::thumbnail(const QString& path)
{
    const QFileInfo info(path);
    if (Entry* entry = cache_.object(path)) {
        if (entry->modified == info.lastModified() && entry->size == info.size())
            return entry->image;
        cache_.remove(path); // edited since: drawn again
    }
    if (pending_.contains(path) || !info.isFile())
        return {};
    pending_.insert(path);
    const QString diskFile = cacheFile(path);
    const QDateTime modified = info.lastModified();
    const qint64 size = info.size();
    QPointer<LibraryThumbnails> self(this);
    pool_.start([self, path, diskFile, modified, size] {
        std::unique_lock<std::mutex> reading;
        if (size > livePreviewLimit())
            reading = std::unique_lock<std::mutex>(largeMapReading());
        QImage image;
        if (!diskFile.isEmpty() && QFileInfo::exists(diskFile) && image.load(diskFile, "PNG"))
            image.setDevicePixelRatio(2.0);
        if (image.isNull()) {
            QFile file(path);
            if (file.size() <= largestDecodedFile && file.open(QIODevice::ReadOnly)) {
                try {
                    const PlmMap map = PlmMapCodec::decode(file.readAll());
                    image = render(map);
                    // A large map's details and picture, ready for its first selection.
                    if (size > livePreviewLimit() && !diskFile.isEmpty()) {
                        saveFacts(factsOf(map), sibling(diskFile, QStringLiteral(".json")));
                        const QString previewFile = sibling(diskFile, QStringLiteral("-preview.png"));
                        if (!QFileInfo::exists(previewFile))
                            saveImage(renderPreview(map), previewFile);
                    }
                } catch (...) {
                    image = QImage(); // no picture: the row keeps its symbol
                }
            }
            saveImage(image, diskFile);
            if (size > livePreviewLimit())
                releaseFreedMemory(); // the map, its file's bytes and its drawing are gone
        }
        if (!self)
            return;
        QMetaObject::invokeMethod(self, [self, path, image, modified, size] {
            if (self)
                self->finish(path, image, modified, size);
        }, Qt::QueuedConnection);
    });
    return {};
}

void LibraryThumbnails::finish(const QString& path, const QImage& image, const QDateTime& modified, qint64 size)
{
    pending_.remove(path);
    if (image.isNull())
        return;
    cache_.insert(path, new Entry{image, modified, size}, 1);
    emit thumbnailReady(path);
}

void LibraryThumbnails::waitForPending()
{
    mapPool_.waitForDone();
    QCoreApplication::sendPostedEvents(this);
    while (!pending_.isEmpty()) {
        pool_.waitForDone(50);
        QCoreApplication::sendPostedEvents(this);
        QCoreApplication::processEvents();
    }
}

LibraryThumbnails::Facts LibraryThumbnails::factsOf(const PlmMap& map)
{
    Facts facts;
    facts.entityCount = map.entities.size();
    for (const char* key : {"source", "source.vintage", "source.license", "source.attribution"}) {
        const auto it = map.metadata.constFind(QString::fromLatin1(key));
        if (it != map.metadata.cend())
            facts.sourceLines << it.value();
    }
    return facts;
}

QImage LibraryThumbnails::renderPreview(const PlmMap& map)
{
    VectorCanvas canvas(map, false, QStringLiteral("Fond vide"));
    canvas.setFrame(QRectF(QPointF(0, 0), previewSize()));
    canvas.fit(false);
    return canvas.renderToImage(1.0);
}

std::optional<LibraryThumbnails::Facts> LibraryThumbnails::cachedFacts(const QString& path)
{
    const QString key = cacheFile(path);
    const auto known = facts_.constFind(path);
    if (known != facts_.cend() && known->first == key)
        return known->second;
    const std::optional<Facts> read = loadFacts(sibling(key, QStringLiteral(".json")));
    if (read)
        facts_.insert(path, {key, *read});
    return read;
}

QImage LibraryThumbnails::cachedPreview(const QString& path) const
{
    const QString file = sibling(cacheFile(path), QStringLiteral("-preview.png"));
    QImage image;
    if (!file.isEmpty() && QFileInfo::exists(file) && !image.load(file, "PNG"))
        return {};
    return image;
}

void LibraryThumbnails::loadMap(const QString& path)
{
    mapPool_.clear(); // only the latest selection matters
    const QString key = cacheFile(path);
    const bool large = QFileInfo(path).size() > livePreviewLimit();
    QPointer<LibraryThumbnails> self(this);
    mapPool_.start([self, path, key, large] {
        std::unique_lock<std::mutex> reading;
        if (large)
            reading = std::unique_lock<std::mutex>(largeMapReading());
        std::optional<PlmMap> map;
        QString error;
        QFile file(path);
        try {
            if (file.size() > largestDecodedFile)
                throw PlmError(QStringLiteral("Le fichier est trop volumineux pour être lu."));
            if (!file.open(QIODevice::ReadOnly))
                throw PlmError(QStringLiteral("Le fichier « %1 » n’a pas pu être lu.").arg(QFileInfo(path).fileName()));
            map = PlmLibraryStore::decodeMap(path, file.readAll());
        } catch (const std::exception& failure) {
            error = QString::fromUtf8(failure.what());
        }
        const Facts facts = map ? factsOf(*map) : Facts();
        if (self) {
            QMetaObject::invokeMethod(self, [self, path, key, map, error, facts, large] {
                if (!self)
                    return;
                if (!map) {
                    emit self->mapFailed(path, error);
                    return;
                }
                if (large)
                    self->facts_.insert(path, {key, facts});
                emit self->mapLoaded(path, *map);
            }, Qt::QueuedConnection);
        }
        // Kept for the next selection of a large map: its details and a picture at once; and
        // its row's picture, which then needs no reading of its own.
        if (map && large && !key.isEmpty()) {
            if (!QFileInfo::exists(key))
                saveImage(render(*map), key);
            const QString previewFile = sibling(key, QStringLiteral("-preview.png"));
            if (!QFileInfo::exists(previewFile))
                saveImage(renderPreview(*map), previewFile);
            saveFacts(facts, sibling(key, QStringLiteral(".json")));
        }
        if (large) {
            // The window holds the map now (or nothing, when the selection changed): what
            // its reading used is given back.
            map.reset();
            releaseFreedMemory();
        }
    });
}
