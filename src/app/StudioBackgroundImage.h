#pragma once

#include "model/PlmBackgroundImage.h"

#include <QByteArray>
#include <QRectF>
#include <QSize>
#include <QString>
#include <optional>

struct PlmWork;

// The background image of a layout as the studio window reads and edits it: checks of an
// image file, placement of a new image, and the five inspector fields. Plain functions.
namespace StudioBackgroundImage {

constexpr qint64 maxFileBytes = 33554432; // 32 MiB
constexpr qint64 maxPixels = 64000000;

extern const QString unreadableMessage; // "Image JPG/PNG illisible ou trop volumineuse."

// A checked image file: its bytes, its stored type ("png" or "jpg") and pixel size.
struct ImageFile {
    QByteArray data;
    QString type;
    QSize pixelSize;
};

// Checks the bytes of a PNG or JPEG file. The size and format come from the image's header
// and are checked before any pixel is decoded, so a small file announcing a huge image
// costs nothing; only then is the image decoded once to prove it reads. Every refusal
// throws PlmWorkError with unreadableMessage.
ImageFile checkImage(const QByteArray& bytes);

// The image to store. An existing image keeps its place, size, opacity and lock with the new
// bytes and type. A new one covers the map's extent (in map units; none or empty places it
// at the origin at its pixel size), keeps its proportions, is opaque and locked.
PlmBackgroundImage placedImage(const std::optional<PlmBackgroundImage>& existing, const ImageFile& file,
                               const std::optional<QRectF>& mapExtent);
// "Remplacer l’image de fond" or "Importer l’image de fond".
QString importActionName(bool replacing);

// The five fields by tag: 0 x, 1 y, 2 width, 3 height, 4 opacity in percent.
constexpr int fieldCount = 5;
QString fieldLabel(int tag);
double fieldValue(const std::optional<PlmBackgroundImage>& image, int tag);
// What an editable field shows: the exact value, so that ending an edit without typing
// stores nothing new.
QString fieldText(double value);
// The number typed in a field: a number or a percentage as its plain value.
std::optional<double> parseField(const QString& text);
// The image with one field applied (opacity divided by 100); none when the text is not a
// number, or when the image is locked and the field is a position or size.
std::optional<PlmBackgroundImage> withField(const PlmBackgroundImage& image, int tag, const QString& text);

} // namespace StudioBackgroundImage
