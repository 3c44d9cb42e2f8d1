#pragma once

#include <QByteArray>
#include <QImage>

// A PNG encoder for large pages: rows filtered with "Sub" and compressed at zlib's fastest
// level with run-length matching, in horizontal bands on several threads (each band ends on
// a flush, so the bands join into one zlib stream), with the resolution (pHYs) and the sRGB
// chunk. Qt's own PNG writer works on one thread with the full match search, slower on a
// 300-dpi page.
namespace PlmPngWriter {

// The image (any 32-bit RGB format; premultiplied alpha is undone) as PNG bytes: RGBA when
// `alpha`, else RGB. Empty when the image is null or memory runs out. `bands` 0 chooses
// from the number of processors (two a processor, 16 at most).
QByteArray encode(const QImage& image, double dpi, bool alpha, int bands = 0);

} // namespace PlmPngWriter
