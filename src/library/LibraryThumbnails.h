#pragma once

#include "model/PlmMap.h"

#include <QCache>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <optional>

// The pictures and facts of the library's maps. The small picture of a row A picture is asked for when its row is drawn;
// it is read, decoded and drawn on a worker thread, kept on disk under the file's path,
// size and modification time (so an unchanged map is never drawn twice, even across
// launches, and an edited one is drawn again) and in a memory cache of 100 images. Results
// come back on the main thread through `thumbnailReady`; a map that cannot be read gets no
// picture and is asked again at its next drawing.
class LibraryThumbnails : public QObject {
    Q_OBJECT
public:
    // The rendering size of a thumbnail, in points, and the size of the row image.
    static QSize renderSize() { return {384, 256}; }
    static QSize imageSize() { return {58, 40}; }
    static QString emptyText(); // what an empty map shows
    static QString defaultCacheDirectory(); // the per-user cache folder + "library-thumbnails"

    explicit LibraryThumbnails(const QString& cacheDirectory = defaultCacheDirectory(), QObject* parent = nullptr);
    ~LibraryThumbnails() override;

    // The picture of the map file when it is ready; otherwise a null image, and a request is
    // started unless one is already running for that file.
    QImage thumbnail(const QString& path);
    bool isPending(const QString& path) const { return pending_.contains(path); }
    int pendingCount() const { return int(pending_.size()); }
    // Waits until every request, and the reading of a map, has come back (tests and benchmarks).
    void waitForPending();

    // Draws the map at the rendering size, fitted with its margin, then scaled to the row
    // image at the given pixel ratio. Safe on any thread.
    static QImage render(const PlmMap& map, double pixelRatio = 2.0);

    // --- The details and the preview of a large map --------------------------------------
    // A map file larger than this is read and drawn off the main thread when it is selected;
    // meanwhile its details and preview picture come from the disk cache when there.
    static qint64 livePreviewLimit() { return 2LL * 1024 * 1024; }
    static QSize previewSize() { return {900, 700}; }
    struct Facts {
        qsizetype entityCount = 0;
        QStringList sourceLines; // "source", "source.vintage", "source.license", "source.attribution"
        bool operator==(const Facts&) const = default;
    };
    static Facts factsOf(const PlmMap& map);
    static QImage renderPreview(const PlmMap& map);
    // From memory or the disk cache, without reading the map; none when not known yet.
    std::optional<Facts> cachedFacts(const QString& path);
    QImage cachedPreview(const QString& path) const;
    // Reads and decodes the map on a worker thread (the latest request first); `mapLoaded`
    // or `mapFailed` follows on the main thread, and the facts and the preview picture of a
    // large map are kept on disk for its next selection.
    void loadMap(const QString& path);
    // Hands back to the system the memory freed after a large map was read and let go: the
    // allocator otherwise keeps the freed blocks of every thread's heap, gigabytes for a map
    // of hundreds of megabytes, long after nothing holds the map.
    static void releaseFreedMemory();
    // The disk cache file of a map file in its present state (empty when it has no file).
    QString cacheFile(const QString& path) const;

signals:
    void thumbnailReady(const QString& path);
    void mapLoaded(const QString& path, const PlmMap& map);
    void mapFailed(const QString& path, const QString& message);

private:
    struct Entry {
        QImage image;
        QDateTime modified;
        qint64 size = 0;
    };
    void finish(const QString& path, const QImage& image, const QDateTime& modified, qint64 size);

    QString directory_;
    QCache<QString, Entry> cache_;
    QSet<QString> pending_;
    QThreadPool pool_;
    QThreadPool mapPool_;
    QHash<QString, std::pair<QString, Facts>> facts_; // path -> (cache key, facts)
};
