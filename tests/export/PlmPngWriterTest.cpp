#include "export/PlmPngWriter.h"

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

namespace {

QImage decoded(const QByteArray& data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    EXPECT_EQ(reader.format(), "png");
    return reader.read();
}

// The first pixel that differs by more than the tolerance in a channel, or none. Undoing
// premultiplied alpha may round one unit apart from Qt's own conversion.
std::optional<QPoint> firstDifference(const QImage& a, const QImage& b, int tolerance = 0)
{
    if (a.size() != b.size())
        return QPoint(-1, -1);
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (std::abs(qRed(p) - qRed(q)) > tolerance || std::abs(qGreen(p) - qGreen(q)) > tolerance
                || std::abs(qBlue(p) - qBlue(q)) > tolerance || qAlpha(p) != qAlpha(q))
                return QPoint(x, y);
        }
    }
    return std::nullopt;
}

// Gradients, a noisy band and transparent corners: every filter byte and every band border
// is exercised.
QImage sample(int w, int h)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    QLinearGradient g(0, 0, w, h);
    g.setColorAt(0, QColor(255, 0, 0, 255));
    g.setColorAt(1, QColor(0, 0, 255, 90));
    painter.fillRect(QRect(w / 8, 0, w - w / 4, h), g);
    for (int y = h / 3; y < h / 2; ++y)
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, qPremultiply(qRgba((x * 37 + y * 11) % 256, (x * y) % 256, (x ^ y) % 256, (x + y) % 256)));
    return image;
}

TEST(PlmPngWriter, DecodesToTheSamePixelsWhateverTheBands)
{
    const QImage image = sample(301, 97);
    const QImage straight = image.convertToFormat(QImage::Format_ARGB32);
    const QImage opaque = [&] {
        QImage o(image.size(), QImage::Format_RGB32);
        o.fill(Qt::white);
        QPainter(&o).drawImage(0, 0, image);
        return o;
    }();
    struct Case {
        const char* name;
        int bands;
    } cases[] = {{"one band", 1}, {"three bands", 3}, {"more bands than threads", 13}, {"a band per row", 97},
                 {"more bands than rows", 500}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QImage withAlpha = decoded(PlmPngWriter::encode(image, 300, true, c.bands));
        ASSERT_EQ(withAlpha.size(), image.size());
        EXPECT_TRUE(withAlpha.hasAlphaChannel());
        EXPECT_EQ(withAlpha.dotsPerMeterX(), 11811);
        EXPECT_EQ(withAlpha.dotsPerMeterY(), 11811);
        EXPECT_EQ(firstDifference(withAlpha.convertToFormat(QImage::Format_ARGB32), straight, 1), std::nullopt);
        const QImage rgb = decoded(PlmPngWriter::encode(opaque, 72, false, c.bands));
        EXPECT_FALSE(rgb.hasAlphaChannel());
        EXPECT_EQ(rgb.dotsPerMeterX(), 2835);
        EXPECT_EQ(firstDifference(rgb.convertToFormat(QImage::Format_RGB32), opaque), std::nullopt);
    }
    EXPECT_TRUE(PlmPngWriter::encode(QImage(), 300, false).isEmpty());
}

} // namespace
