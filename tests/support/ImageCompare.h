#pragma once

#include <QImage>

#include <algorithm>

// Compares two renders of one page by different renderers: a pixel agrees when each of its
// channels lies within `tolerance` of the range that the other image's pixels within `reach`
// pixels span. Antialiased edges (a blend of nearby colours) and sub-pixel shifts pass; a
// missing, moved or recoloured mark does not.
namespace ImageCompare {

// The pixels of `a` that nothing near in `b` matches, over the area both cover; each one is
// painted into `marks` (a copy of `a`, when given) in magenta.
inline int unmatched(const QImage& a, const QImage& b, int tolerance, int reach, QImage* marks = nullptr)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    const int w = std::min(x.width(), y.width());
    const int h = std::min(x.height(), y.height());
    if (marks)
        *marks = x.copy(0, 0, w, h);
    int count = 0;
    for (int j = 0; j < h; ++j) {
        const QRgb* row = reinterpret_cast<const QRgb*>(x.constScanLine(j));
        for (int i = 0; i < w; ++i) {
            int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
            for (int v = std::max(j - reach, 0); v <= std::min(j + reach, h - 1); ++v) {
                const QRgb* other = reinterpret_cast<const QRgb*>(y.constScanLine(v));
                for (int u = std::max(i - reach, 0); u <= std::min(i + reach, w - 1); ++u) {
                    const int c[3] = {qRed(other[u]), qGreen(other[u]), qBlue(other[u])};
                    for (int k = 0; k < 3; ++k) {
                        low[k] = std::min(low[k], c[k]);
                        high[k] = std::max(high[k], c[k]);
                    }
                }
            }
            const int c[3] = {qRed(row[i]), qGreen(row[i]), qBlue(row[i])};
            bool found = true;
            for (int k = 0; k < 3; ++k)
                found = found && c[k] >= low[k] - tolerance && c[k] <= high[k] + tolerance;
            if (!found) {
                ++count;
                if (marks)
                    marks->setPixel(i, j, qRgb(255, 0, 255));
            }
        }
    }
    return count;
}

} // namespace ImageCompare
