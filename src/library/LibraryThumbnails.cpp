#include "library/LibraryThumbnails.h"

#include "canvas/VectorCanvas.h"
#include "model/PlmMapCodec.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPointer>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Files larger than this are not worth a thumbnail (and would cost too much memory).
constexpr qint64 largestDecodedFile = 256LL * 1024 * 1024;

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
}

LibraryThumbnails::~LibraryThumbnails()
{
    pool_.clear();
    pool_.waitForDone();
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
        QImage image;
        if (!diskFile.isEmpty() && QFileInfo::exists(diskFile) && image.load(diskFile, "PNG"))
            image.setDevicePixelRatio(2.0);
        if (image.isNull()) {
            QFile file(path);
            if (file.size() <= largestDecodedFile && file.open(QIODevice::ReadOnly)) {
                try {
                    image = render(PlmMapCodec::decode(file.readAll()));
                } catch (...) {
                    image = QImage(); // no picture: the row keeps its symbol
                }
            }
            if (!image.isNull() && !diskFile.isEmpty() && QDir().mkpath(QFileInfo(diskFile).absolutePath())) {
                QSaveFile out(diskFile);
                if (out.open(QIODevice::WriteOnly) && image.save(&out, "PNG"))
                    out.commit();
            }
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
    while (!pending_.isEmpty()) {
        pool_.waitForDone(50);
        QCoreApplication::sendPostedEvents(this);
        QCoreApplication::processEvents();
    }
}
