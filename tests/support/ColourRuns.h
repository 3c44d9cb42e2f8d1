#pragma once

#include "support/YUpImage.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QRectF>
#include <QSizeF>

#include <algorithm>

// The widest row of pixels of a colour, in points, on a y-down picture of a page of `page`
// points: only the pixels inside the y-up page rectangle `area` and outside every rectangle of
// `skip` count. Measures a drawn symbol's width without knowing where it was drawn.
inline double widestRun(const QImage& image, const QSizeF& page, const QColor& colour, const QRectF& area,
                        const QList<QRectF>& skip = {})
{
    const double ppp = image.width() / page.width();
    auto inside = [&](int x, int y) {
        const QPointF p((x + 0.5) / ppp, page.height() - (y + 0.5) / ppp);
        if (!area.contains(p))
            return false;
        for (const QRectF& r : skip)
            if (r.contains(p))
                return false;
        return nearColor(image.pixelColor(x, y), colour, 40);
    };
    int widest = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0, run = 0; x < image.width(); ++x) {
            run = inside(x, y) ? run + 1 : 0;
            widest = std::max(widest, run);
        }
    return widest / ppp;
}
