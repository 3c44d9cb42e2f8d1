#pragma once

#include "model/PlmErrors.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

class PlmJsonValue;

enum class OnlineCategory { france, europe, world };

QString onlineCategoryRawValue(OnlineCategory category);
// Exact, case-sensitive match of the raw value ("France", "Europe", "Monde").
std::optional<OnlineCategory> onlineCategoryFromRawValue(const QString& rawValue);
QList<OnlineCategory> allOnlineCategories();

// In this order the catalogue load starts its providers.
enum class OnlineProvider { france, ign, nuts, countries, urbanAreas, naturalEarth };

QString onlineProviderRawValue(OnlineProvider provider);
std::optional<OnlineProvider> onlineProviderFromRawValue(const QString& rawValue);
QList<OnlineProvider> allOnlineProviders();
// Heads the provider's error line in a load.
QString onlineProviderTitle(OnlineProvider provider);
OnlineCategory onlineProviderCategory(OnlineProvider provider);

// One downloadable base map of the catalogue; also the element of the "Fonds.Catalogue" cache.
struct OnlineMap {
    QString id;
    QString name;
    OnlineCategory category = OnlineCategory::france;
    QString vintage;
    QString source;
    QUrl downloadURL;
    QUrl originURL;
    QString license;
    QUrl licenseURL;
    QString attribution;
    QString detail;
    QString identifierAttribute;
    QString nameAttribute;

    bool operator==(const OnlineMap& other) const = default;

    // All thirteen keys are required; a null, a wrong type, an unknown category or a text
    // that is not an absolute address throws PlmJsonDecodingError. Other keys are ignored.
    static OnlineMap fromJson(const PlmJsonValue& value);
    // The compact JSON object of the cache, keys in field order.
    QByteArray toJson() const;
};

struct OnlineCatalogResult {
    QList<OnlineMap> maps;
    QStringList errors;
};

// A provider's index that cannot be read. The description is the whole sentence shown.
class OnlineCatalogIndexError : public PlmError {
public:
    static OnlineCatalogIndexError invalid(const QString& reason);
    QString reason() const { return m_reason; }

private:
    OnlineCatalogIndexError(const QString& message, const QString& reason);
    QString m_reason;
};

namespace OnlineCatalogCache {
inline constexpr const char* defaultsKey = "Fonds.Catalogue";

// The compact JSON array of the entries, in the given order.
QByteArray encode(const QList<OnlineMap>& maps);
// Throws on any unreadable entry: the whole cache is refused.
QList<OnlineMap> decode(const QByteArray& bytes);

// User defaults: an unreadable or absent cache reads as an empty catalogue.
QList<OnlineMap> read();
void write(const QList<OnlineMap>& maps);
}
