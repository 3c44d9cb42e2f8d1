#include "app/StudioBackgroundImage.h"

#include "model/PlmErrors.h"
#include "model/PlmValue.h"

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <algorithm>
#include <cmath>

namespace StudioBackgroundImage {

const QString unreadableMessage = QStringLiteral("Image JPG/PNG illisible ou trop volumineuse.");

namespace {

[[noreturn]] void refuse()
{
    throw PlmWorkError::invalid(unreadableMessage);
}

// Qt refuses to decode images above its allocation limit (128 MB by default); 64 million
// pixels of 64-bit colour need 512 MB. The pixel count is checked before, so raising the
// limit lets no larger image through.
void allowLargestImage()
{
    constexpr int neededMegabytes = 512;
    if (QImageReader::allocationLimit() != 0 && QImageReader::allocationLimit() < neededMegabytes)
        QImageReader::setAllocationLimit(neededMegabytes);
}

} // namespace

ImageFile checkImage(const QByteArray& bytes)
{
    if (bytes.size() > maxFileBytes)
        refuse();
    QByteArray copy = bytes; // shares the bytes; QBuffer wants a non-const array
    QBuffer buffer(&copy);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(false);
    // The header alone: format and size, no pixels.
    const QByteArray format = reader.format().toLower();
    const QSize size = reader.size();
    if (format.isEmpty() || !size.isValid() || size.width() <= 0 || size.height() <= 0)
        refuse();
    if (qint64(size.width()) > maxPixels / qint64(size.height()))
        refuse();
    QString type;
    if (format == "png")
        type = QStringLiteral("png");
    else if (format == "jpeg" || format == "jpg")
        type = QStringLiteral("jpg");
    else
        refuse();

    allowLargestImage();
    const QImage image = reader.read();
    if (image.isNull() || image.size() != size)
        refuse();
    return ImageFile{bytes, type, size};
}

PlmBackgroundImage placedImage(const std::optional<PlmBackgroundImage>& existing, const ImageFile& file,
                               const std::optional<QRectF>& mapExtent)
{
    if (existing) {
        PlmBackgroundImage image = *existing;
        image.data = file.data;
        image.type = file.type;
        return image;
    }
    PlmBackgroundImage image;
    image.data = file.data;
    image.type = file.type;
    image.opacity = 1;
    image.locked = true;
    const double pixelWidth = file.pixelSize.width();
    const double pixelHeight = file.pixelSize.height();
    if (mapExtent && !mapExtent->isNull() && !mapExtent->isEmpty()) {
        const QRectF extent = mapExtent->normalized();
        image.position = PlmPoint{extent.left(), extent.top()};
        image.width = std::max(1.0, extent.width());
        image.height = image.width * pixelHeight / pixelWidth;
    } else {
        image.position = PlmPoint{0, 0};
        image.width = pixelWidth;
        image.height = pixelHeight;
    }
    return image;
}

QString importActionName(bool replacing)
{
    return replacing ? QStringLiteral("Remplacer l’image de fond") : QStringLiteral("Importer l’image de fond");
}

QString fieldLabel(int tag)
{
    switch (tag) {
    case 0: return QStringLiteral("X");
    case 1: return QStringLiteral("Y");
    case 2: return QStringLiteral("Largeur");
    case 3: return QStringLiteral("Hauteur");
    default: return QStringLiteral("Opacité (%)");
    }
}

double fieldValue(const std::optional<PlmBackgroundImage>& image, int tag)
{
    if (!image)
        return 0;
    switch (tag) {
    case 0: return image->position.x;
    case 1: return image->position.y;
    case 2: return image->width;
    case 3: return image->height;
    default: return image->opacity * 100;
    }
}

QString fieldText(double value)
{
    return PlmValue::number(value).editingText();
}

std::optional<double> parseField(const QString& text)
{
    for (const PlmVariableType type : {PlmVariableType::number, PlmVariableType::percentage}) {
        try {
            if (const std::optional<PlmValue> value = PlmValue::parse(text, type)) {
                if (const std::optional<double> number = value->numericValue(); number && std::isfinite(*number))
                    return number;
            }
        } catch (const PlmError&) {
        }
    }
    return std::nullopt;
}

std::optional<PlmBackgroundImage> withField(const PlmBackgroundImage& image, int tag, const QString& text)
{
    const std::optional<double> value = parseField(text);
    if (!value)
        return std::nullopt;
    if (image.locked && tag >= 0 && tag <= 3)
        return std::nullopt;
    PlmBackgroundImage changed = image;
    switch (tag) {
    case 0: changed.position.x = *value; break;
    case 1: changed.position.y = *value; break;
    case 2: changed.width = *value; break;
    case 3: changed.height = *value; break;
    default: changed.opacity = *value / 100; break;
    }
    return changed;
}

} // namespace StudioBackgroundImage
