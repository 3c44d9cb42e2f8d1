#include "app/StudioBackgroundImage.h"
#include "model/PlmErrors.h"
#include "support/ErrorCapture.h"
#include "support/ImageBytes.h"

#include <QImage>
#include <QImageReader>
#include <gtest/gtest.h>

namespace {

using namespace StudioBackgroundImage;

QByteArray png(int width, int height, QImage::Format format = QImage::Format_RGB32)
{
    return plainPng(Qt::white, width, height, format);
}

// A 1 × 1 GIF87a: Qt writes no GIF, so it is spelled out.
QByteArray gif()
{
    static const unsigned char bytes[] = {0x47, 0x49, 0x46, 0x38, 0x37, 0x61, 0x01, 0x00, 0x01, 0x00, 0x80, 0x00,
                                          0x00, 0xff, 0xff, 0xff, 0x00, 0x00, 0x00, 0x2c, 0x00, 0x00, 0x00, 0x00,
                                          0x01, 0x00, 0x01, 0x00, 0x00, 0x02, 0x02, 0x44, 0x01, 0x00, 0x3b};
    return QByteArray(reinterpret_cast<const char*>(bytes), sizeof bytes);
}

// A PNG header announcing a size, followed by no pixel data.
QByteArray pngHeader(quint32 width, quint32 height)
{
    QByteArray bytes = png(1, 1);
    // IHDR's width and height sit at bytes 16 to 23, big-endian; the chunk's CRC is no
    // longer right, which a reader of the header alone does not see.
    for (int i = 0; i < 4; ++i) {
        bytes[16 + i] = char(width >> (24 - 8 * i));
        bytes[20 + i] = char(height >> (24 - 8 * i));
    }
    return bytes;
}

QString refusal(const QByteArray& bytes)
{
    return thrownMessage<PlmWorkError>([&] { checkImage(bytes); });
}

TEST(StudioBackgroundImageTest, ReadsPngAndJpegTypes)
{
    const ImageFile file = checkImage(png(40, 20));
    EXPECT_EQ(file.type, QStringLiteral("png"));
    EXPECT_EQ(file.pixelSize, QSize(40, 20));
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    EXPECT_EQ(checkImage(encodedImage(image, "JPEG")).type, QStringLiteral("jpg"));
}

TEST(StudioBackgroundImageTest, RefusesWhatIsNotASmallEnoughPngOrJpeg)
{
    const QString message = QStringLiteral("Image JPG/PNG illisible ou trop volumineuse.");
    EXPECT_EQ(unreadableMessage, message);
    EXPECT_EQ(refusal(gif()), message);
    EXPECT_EQ(refusal(QByteArray("not an image")), message);
    EXPECT_EQ(refusal(QByteArray()), message);
    EXPECT_EQ(refusal(png(10, 10).left(40)), message); // header only, pixels cut off
    // Exactly 32 MiB is read (bytes after the image's end are ignored by the decoder).
    QByteArray largest = png(1, 1);
    largest.append(QByteArray(maxFileBytes - largest.size(), '\0'));
    ASSERT_EQ(largest.size(), 33554432);
    EXPECT_EQ(checkImage(largest).pixelSize, QSize(1, 1));
    // More bytes than 32 MiB, whatever they hold.
    QByteArray tooLarge = png(1, 1);
    tooLarge.append(QByteArray(maxFileBytes + 1 - tooLarge.size(), '\0'));
    EXPECT_EQ(refusal(tooLarge), message);
}

TEST(StudioBackgroundImageTest, ChecksThePixelCountBeforeDecoding)
{
    // These headers announce images far above the budget; were they decoded first, the
    // reader would try to allocate gigabytes.
    const QString message = QStringLiteral("Image JPG/PNG illisible ou trop volumineuse.");
    EXPECT_EQ(refusal(pngHeader(8001, 8000)), message);
    EXPECT_EQ(refusal(pngHeader(100000, 100000)), message);
    EXPECT_EQ(refusal(pngHeader(0x7fffffff, 1)), message);
}

TEST(StudioBackgroundImageTest, SixtyFourMegapixelsPassAndOneColumnMoreDoesNot)
{
    // 8000 × 8000 decodes to 256 MB of 32-bit pixels, above Qt's default allocation limit.
    const QByteArray largest = png(8000, 8000);
    ASSERT_FALSE(largest.isEmpty());
    const ImageFile file = checkImage(largest);
    EXPECT_EQ(file.pixelSize, QSize(8000, 8000));
    EXPECT_EQ(refusal(png(8001, 8000, QImage::Format_Mono)), QStringLiteral("Image JPG/PNG illisible ou trop volumineuse."));
}

TEST(StudioBackgroundImageTest, PlacesANewImageOverTheMapAndKeepsAReplacedOnesPlace)
{
    const ImageFile file = checkImage(png(200, 100));
    const PlmBackgroundImage placed = placedImage(std::nullopt, file, QRectF(10, 20, 100, 400));
    EXPECT_EQ(placed.position, (PlmPoint{10, 20}));
    EXPECT_EQ(placed.width, 100);
    EXPECT_EQ(placed.height, 50); // proportions kept, whatever the map's height
    EXPECT_EQ(placed.opacity, 1);
    EXPECT_TRUE(placed.locked);
    EXPECT_EQ(placed.type, QStringLiteral("png"));

    const PlmBackgroundImage atOrigin = placedImage(std::nullopt, file, std::nullopt);
    EXPECT_EQ(atOrigin.position, (PlmPoint{0, 0}));
    EXPECT_EQ(atOrigin.width, 200);
    EXPECT_EQ(atOrigin.height, 100);
    EXPECT_EQ(placedImage(std::nullopt, file, QRectF(5, 5, 0, 0)).width, 200);
    // A very narrow map still gets an image one unit wide.
    EXPECT_EQ(placedImage(std::nullopt, file, QRectF(0, 0, 0.25, 10)).width, 1);

    PlmBackgroundImage old = placed;
    old.opacity = 0.4;
    old.locked = false;
    QImage jpeg(4, 4, QImage::Format_RGB32);
    jpeg.fill(Qt::blue);
    const PlmBackgroundImage replaced = placedImage(old, checkImage(encodedImage(jpeg, "JPEG")), QRectF(0, 0, 1, 1));
    EXPECT_EQ(replaced.type, QStringLiteral("jpg"));
    EXPECT_NE(replaced.data, old.data);
    EXPECT_EQ(replaced.position, old.position);
    EXPECT_EQ(replaced.width, old.width);
    EXPECT_EQ(replaced.opacity, 0.4);
    EXPECT_FALSE(replaced.locked);
    EXPECT_EQ(importActionName(true), QStringLiteral("Remplacer l’image de fond"));
    EXPECT_EQ(importActionName(false), QStringLiteral("Importer l’image de fond"));
}

TEST(StudioBackgroundImageTest, FieldsShowExactValuesAndApplyTypedOnes)
{
    PlmBackgroundImage image;
    image.position = PlmPoint{652345.2, -12.5};
    image.width = 1000;
    image.height = 500;
    image.opacity = 1;
    image.locked = true;
    // The exact value: reading the shown text back changes nothing.
    EXPECT_EQ(fieldText(fieldValue(image, 0)), QStringLiteral("652345,2"));
    EXPECT_EQ(parseField(fieldText(fieldValue(image, 0))), 652345.2);
    EXPECT_EQ(fieldLabel(4), QStringLiteral("Opacité (%)"));

    // Opacity in percent is stored as a fraction, also while locked.
    const std::optional<PlmBackgroundImage> half = withField(image, 4, QStringLiteral("50"));
    ASSERT_TRUE(half);
    EXPECT_EQ(half->opacity, 0.5);
    EXPECT_EQ(withField(image, 4, QStringLiteral("25 %"))->opacity, 0.25);
    // A locked image keeps its place and size.
    EXPECT_FALSE(withField(image, 0, QStringLiteral("10")));
    image.locked = false;
    EXPECT_EQ(withField(image, 0, QStringLiteral("10"))->position.x, 10);
    EXPECT_EQ(withField(image, 3, QStringLiteral("12,5"))->height, 12.5);
    EXPECT_FALSE(withField(image, 2, QStringLiteral("abc")));
    EXPECT_FALSE(withField(image, 2, QString()));
    EXPECT_EQ(fieldValue(std::nullopt, 2), 0);
}

} // namespace
