#pragma once

#include "desktop/ViewNode.h"

#include <QColor>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstdlib>
#include <memory>

// An offscreen image painted in y-up page coordinates, probed in the same coordinates.
struct YUpImage {
    QImage image;
    std::unique_ptr<QPainter> painter;

    YUpImage(int width, int height, QColor background = Qt::white)
        : image(width, height, QImage::Format_ARGB32_Premultiplied)
    {
        image.fill(background);
        painter = std::make_unique<QPainter>(&image);
        painter->setRenderHint(QPainter::Antialiasing);
        ViewNode::flipPainter(*painter, height);
    }

    void finish() { painter.reset(); }

    // The pixel covering the y-up point (x, y).
    QColor at(double x, double y) const
    {
        return image.pixelColor(int(std::floor(x)), image.height() - 1 - int(std::floor(y)));
    }
};

inline bool nearColor(const QColor& a, const QColor& b, int tolerance = 12)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance
           && std::abs(a.blue() - b.blue()) <= tolerance;
}
