#include "export/PlmPngWriter.h"

#include <QThread>
#include <QtConcurrent/QtConcurrentMap>

#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

void appendBigEndian(QByteArray& out, quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    out.append(bytes, 4);
}

void appendChunk(QByteArray& out, const char* type, const QByteArray& data)
{
    appendBigEndian(out, quint32(data.size()));
    const qsizetype start = out.size();
    out.append(type, 4);
    out.append(data);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(out.constData() + start), uInt(out.size() - start));
    appendBigEndian(out, quint32(crc));
}

struct Band {
    int firstRow = 0;
    int rowCount = 0;
    bool last = false;
    QByteArray compressed;
    uLong adler = 1;
    qint64 rawLength = 0;
    uLong crc = 0;  // of the compressed bytes, for the IDAT chunk's check
    bool ok = false;
};

// Filters the band's rows ("Sub": each byte less the same byte of the pixel before) and
// deflates them as raw data, ending on a sync flush (or the stream's end for the last band).
void compressBand(const QImage& image, bool alpha, Band& band)
{
    const int width = image.width();
    const int bpp = alpha ? 4 : 3;
    const qint64 rowBytes = qint64(width) * bpp + 1;
    std::vector<uchar> row(static_cast<size_t>(rowBytes));
    std::vector<uchar> raw(static_cast<size_t>(rowBytes));
    z_stream z{};
    // Run-length matching only: after the Sub filter a map's flat areas are runs of zeros,
    // which it finds at a fraction of the cost of the full match search.
    if (deflateInit2(&z, 1, Z_DEFLATED, -15, 8, Z_RLE) != Z_OK)
        return;
    const qint64 bound = qint64(deflateBound(&z, uLong(rowBytes * band.rowCount))) + 64;
    band.compressed.resize(bound);
    if (band.compressed.size() != bound) {
        deflateEnd(&z);
        return;
    }
    z.next_out = reinterpret_cast<Bytef*>(band.compressed.data());
    z.avail_out = uInt(bound);
    band.adler = adler32(0, nullptr, 0);
    for (int y = band.firstRow; y < band.firstRow + band.rowCount; ++y) {
        const QRgb* pixels = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uchar* r = raw.data() + 1;
        for (int x = 0; x < width; ++x) {
            const QRgb p = alpha ? qUnpremultiply(pixels[x]) : pixels[x];
            *r++ = uchar(qRed(p));
            *r++ = uchar(qGreen(p));
            *r++ = uchar(qBlue(p));
            if (alpha)
                *r++ = uchar(qAlpha(p));
        }
        row[0] = 1;  // Sub
        for (qint64 i = 1; i <= bpp && i < rowBytes; ++i)
            row[size_t(i)] = raw[size_t(i)];
        for (qint64 i = bpp + 1; i < rowBytes; ++i)
            row[size_t(i)] = uchar(raw[size_t(i)] - raw[size_t(i - bpp)]);
        band.adler = adler32(band.adler, row.data(), uInt(rowBytes));
        band.rawLength += rowBytes;
        z.next_in = row.data();
        z.avail_in = uInt(rowBytes);
        const bool lastRow = y == band.firstRow + band.rowCount - 1;
        const int flush = lastRow ? (band.last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH;
        const int status = deflate(&z, flush);
        if (status == Z_STREAM_ERROR || z.avail_in != 0) {
            deflateEnd(&z);
            return;
        }
    }
    band.compressed.resize(qsizetype(bound - z.avail_out));
    deflateEnd(&z);
    band.crc = crc32(0, reinterpret_cast<const Bytef*>(band.compressed.constData()), uInt(band.compressed.size()));
    band.ok = true;
}

} // namespace

QByteArray PlmPngWriter::encode(const QImage& source, double dpi, bool alpha, int bands)
{
    if (source.isNull() || source.depth() != 32)
        return {};
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32_Premultiplied
        ? source
        : source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return {};
    const int height = image.height();
    // Two bands a processor: a page's bands differ in cost (margins against the map), and a
    // processor that ends early takes another band instead of waiting for the slowest.
    const int count = std::clamp(bands > 0 ? bands : std::min(2 * QThread::idealThreadCount(), 16), 1, std::max(1, height));
    std::vector<Band> parts(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const int first = int(qint64(height) * i / count);
        const int next = int(qint64(height) * (i + 1) / count);
        parts[size_t(i)].firstRow = first;
        parts[size_t(i)].rowCount = next - first;
        parts[size_t(i)].last = i == count - 1;
    }
    QtConcurrent::blockingMap(parts, [&](Band& band) { compressBand(image, alpha && image.hasAlphaChannel(), band); });

    const bool withAlpha = alpha && image.hasAlphaChannel();
    qint64 idatLength = 2 + 4;  // zlib header and Adler-32 check
    uLong adler = adler32(0, nullptr, 0);
    for (const Band& band : parts) {
        if (!band.ok)
            return {};
        idatLength += band.compressed.size();
        adler = adler32_combine(adler, band.adler, z_off_t(band.rawLength));
    }
    if (idatLength > qint64(0x7FFFFFFF))
        return {};

    QByteArray out("\x89PNG\r\n\x1a\n", 8);
    out.reserve(qsizetype(idatLength) + 128);
    QByteArray header;
    appendBigEndian(header, quint32(image.width()));
    appendBigEndian(header, quint32(height));
    header.append(char(8));                    // bits per sample
    header.append(char(withAlpha ? 6 : 2));    // RGBA or RGB
    header.append(3, char(0));                 // deflate, adaptive filters, not interlaced
    appendChunk(out, "IHDR", header);
    appendChunk(out, "sRGB", QByteArray(1, char(0)));  // perceptual
    if (std::isfinite(dpi) && dpi > 0) {
        const quint32 perMetre = quint32(std::lround(std::min(dpi / 0.0254, 4e9)));
        QByteArray phys;
        appendBigEndian(phys, perMetre);
        appendBigEndian(phys, perMetre);
        phys.append(char(1));  // metres
        appendChunk(out, "pHYs", phys);
    }
    // The IDAT chunk written in place: its check joins the bands' own, computed on their threads.
    appendBigEndian(out, quint32(idatLength));
    const char start[6] = {'I', 'D', 'A', 'T', char(0x78), char(0x01)};
    out.append(start, 6);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(start), 6);
    for (Band& band : parts) {
        out.append(band.compressed);
        crc = crc32_combine(crc, band.crc, z_off_t(band.compressed.size()));
        band.compressed = QByteArray();
    }
    const char check[4] = {char(adler >> 24), char(adler >> 16), char(adler >> 8), char(adler)};
    out.append(check, 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(check), 4);
    appendBigEndian(out, quint32(crc));
    appendChunk(out, "IEND", QByteArray());
    return out;
}
