#include "librarystore/PlmLibraryManifest.h"

#include "librarystore/PlmLibraryError.h"
#include "librarystore/PlmLibraryFiles.h"
#include "librarystore/PlmLibraryStore.h"
#include "model/PlmJsonDocument.h"

#include <QDateTime>
#include <QFile>

#include <cerrno>

#include <charconv>
#include <cmath>

namespace {

// A manifest is three short values; anything much larger is not one.
constexpr qint64 maximumManifestBytes = 64 * 1024;
// Seconds between 1 January 1970 and 1 January 2001, UTC.
constexpr double referenceOffset = 978307200.0;

[[noreturn]] void invalid()
{
    throw PlmLibraryPackageError(PlmLibraryPackageError::Kind::invalidPackage);
}

bool isCanonicalUuidText(const QString& text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != QLatin1Char('-'))
                return false;
        } else if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
                       || (c >= QLatin1Char('A') && c <= QLatin1Char('F')))) {
            return false;
        }
    }
    return true;
}

} // namespace

PlmLibraryManifest PlmLibraryManifest::make()
{
    PlmLibraryManifest manifest;
    manifest.id = QUuid::createUuid();
    manifest.created = double(QDateTime::currentMSecsSinceEpoch()) / 1000.0 - referenceOffset;
    return manifest;
}

QString PlmLibraryManifest::idString() const
{
    return id.toString(QUuid::WithoutBraces).toUpper();
}

QByteArray PlmLibraryManifest::encode() const
{
    char number[64];
    const auto written = std::to_chars(number, number + sizeof number, created);
    QByteArray bytes("{\"version\":");
    bytes += QByteArray::number(version);
    bytes += ",\"id\":\"";
    bytes += idString().toLatin1();
    bytes += "\",\"created\":";
    bytes += QByteArray(number, int(written.ptr - number));
    bytes += '}';
    return bytes;
}

PlmLibraryManifest PlmLibraryManifest::decode(const QByteArray& bytes)
{
    if (bytes.size() > maximumManifestBytes)
        invalid();
    PlmLibraryManifest manifest;
    try {
        // Three flat values: any nesting beyond the one object is refused by the parser.
        const PlmJsonDocument document = PlmJsonDocument::parse(bytes, 8);
        const PlmJsonValue root = document.root();
        if (!root.isObject())
            invalid();
        const PlmJsonValue version = root.member("version");
        const PlmJsonValue id = root.member("id");
        const PlmJsonValue created = root.member("created");
        if (!version.isNumber() || !id.isString() || !created.isNumber())
            invalid();
        const qint64 number = version.toInteger();
        if (number != 1)
            invalid();
        const QString text = id.toString();
        if (!isCanonicalUuidText(text))
            invalid();
        manifest.version = int(number);
        manifest.id = QUuid::fromString(text);
        manifest.created = created.toDouble();
        if (manifest.id.isNull() && text != QLatin1String("00000000-0000-0000-0000-000000000000"))
            invalid();
        if (!std::isfinite(manifest.created))
            invalid();
    } catch (const PlmLibraryPackageError&) {
        throw;
    } catch (const PlmError&) {
        invalid();
    }
    return manifest;
}

PlmLibraryManifest PlmLibraryManifest::read(const QString& packageRoot)
{
    const QString path = packageRoot + QLatin1Char('/') + PlmLibraryStore::manifestName();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        PlmLibraryFiles::read(path); // throws the file error that applies
    // One byte past the limit is enough to tell an oversized manifest from a good one.
    const QByteArray bytes = file.read(maximumManifestBytes + 1);
    if (file.error() != QFileDevice::NoError)
        throw PlmLibraryFileError(PlmLibraryFileError::Kind::readFailed, path, EIO);
    return decode(bytes);
}
