#pragma once

#include "catalogue/PlmCatalogue.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

class PlmJsonValue;

// The providers' indexes: their addresses, and the parsers that turn an index's bytes into
// catalogue entries. No network here. A parser only offers files whose names match the
// provider's pattern, on the index's own host and over https.
namespace OnlineCatalog {

// Larger JSON and XML indexes are refused before parsing (the French listing never fails);
// the download client caps every answer as well.
inline constexpr qsizetype maximumIndexBytes = 32 * 1024 * 1024;
// A provider never offers more entries than this; the rest of an index is ignored.
inline constexpr qsizetype maximumEntriesPerIndex = 10000;
// Natural Earth files above this size are never offered.
inline constexpr qint64 maximumNaturalEarthBytes = 67108864;

QUrl indexURL(OnlineProvider provider);

// Throws OnlineCatalogIndexError with the provider's French sentence for an index that cannot
// be read, or PlmJsonDecodingError for JSON that does not parse. A readable index offering
// nothing gives an empty list.
QList<OnlineMap> parseIndex(const QByteArray& bytes, OnlineProvider provider);

// Per-candidate builders; a candidate that fails a check gives nothing.
std::optional<OnlineMap> franceEntry(const QString& slug, const QString& resolution);
std::optional<OnlineMap> ignEntry(const QString& typeName, const QString& year, const QString& layer);
std::optional<OnlineMap> giscoEntry(OnlineProvider provider, const QString& fileName, const QString& relativeAddress);
std::optional<OnlineMap> urbanAreaEntry(const QString& fileName, const QString& relativeAddress);
std::optional<OnlineMap> naturalEarthEntry(const PlmJsonValue& listingItem);

// The host that Natural Earth download addresses must use.
QString naturalEarthDownloadHost();

} // namespace OnlineCatalog
