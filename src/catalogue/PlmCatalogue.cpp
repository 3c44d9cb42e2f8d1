#include "catalogue/PlmCatalogue.h"

#include "model/PlmJson.h"
#include "model/PlmJsonDocument.h"
#include "platform/UserDefaults.h"

namespace {

// The cache is a flat array of flat objects; nothing deeper is ever legitimate.
constexpr int cacheMaxDepth = 4;

QUrl readAddress(const PlmJsonValue& object, std::string_view key)
{
    const PlmJsonValue value = object.requiredMember(key);
    const QString text = value.as<QString>();
    const QUrl url(text, QUrl::StrictMode);
    if (text.isEmpty() || !url.isValid() || url.isRelative())
        value.throwDataCorrupted(QStringLiteral("Invalid URL string."));
    return url;
}

void appendJsonString(QByteArray& out, const QString& value)
{
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const QByteArray utf8 = value.toUtf8();
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20) {
            out += "\\u00";
            out += hex[byte >> 4];
            out += hex[byte & 0xf];
        } else {
            out += c;
        }
    }
    out += '"';
}

} // namespace

QString onlineCategoryRawValue(OnlineCategory category)
{
    switch (category) {
    case OnlineCategory::france: return QStringLiteral("France");
    case OnlineCategory::europe: return QStringLiteral("Europe");
    case OnlineCategory::world: return QStringLiteral("Monde");
    }
    return {};
}

std::optional<OnlineCategory> onlineCategoryFromRawValue(const QString& rawValue)
{
    for (OnlineCategory category : allOnlineCategories())
        if (onlineCategoryRawValue(category) == rawValue)
            return category;
    return std::nullopt;
}

QList<OnlineCategory> allOnlineCategories()
{
    return {OnlineCategory::france, OnlineCategory::europe, OnlineCategory::world};
}

QString onlineProviderRawValue(OnlineProvider provider)
{
    switch (provider) {
    case OnlineProvider::france: return QStringLiteral("france");
    case OnlineProvider::ign: return QStringLiteral("ign");
    case OnlineProvider::nuts: return QStringLiteral("nuts");
    case OnlineProvider::countries: return QStringLiteral("countries");
    case OnlineProvider::urbanAreas: return QStringLiteral("urbanAreas");
    case OnlineProvider::naturalEarth: return QStringLiteral("naturalEarth");
    }
    return {};
}

std::optional<OnlineProvider> onlineProviderFromRawValue(const QString& rawValue)
{
    for (OnlineProvider provider : allOnlineProviders())
        if (onlineProviderRawValue(provider) == rawValue)
            return provider;
    return std::nullopt;
}

QList<OnlineProvider> allOnlineProviders()
{
    return {OnlineProvider::france, OnlineProvider::ign, OnlineProvider::nuts,
            OnlineProvider::countries, OnlineProvider::urbanAreas, OnlineProvider::naturalEarth};
}

QString onlineProviderTitle(OnlineProvider provider)
{
    switch (provider) {
    case OnlineProvider::france: return QStringLiteral("France · data.gouv.fr");
    case OnlineProvider::ign: return QStringLiteral("France · IGN");
    case OnlineProvider::nuts: return QStringLiteral("Europe · NUTS");
    case OnlineProvider::countries: return QStringLiteral("Europe · pays");
    case OnlineProvider::urbanAreas: return QStringLiteral("Europe · villes et aires urbaines");
    case OnlineProvider::naturalEarth: return QStringLiteral("Monde · Natural Earth");
    }
    return {};
}

OnlineCategory onlineProviderCategory(OnlineProvider provider)
{
    switch (provider) {
    case OnlineProvider::france:
    case OnlineProvider::ign: return OnlineCategory::france;
    case OnlineProvider::nuts:
    case OnlineProvider::countries:
    case OnlineProvider::urbanAreas: return OnlineCategory::europe;
    case OnlineProvider::naturalEarth: return OnlineCategory::world;
    }
    return OnlineCategory::world;
}

OnlineMap OnlineMap::fromJson(const PlmJsonValue& value)
{
    OnlineMap map;
    map.id = value.field<QString>("id");
    map.name = value.field<QString>("name");
    const PlmJsonValue category = value.requiredMember("category");
    const auto parsed = onlineCategoryFromRawValue(category.as<QString>());
    if (!parsed)
        category.throwDataCorrupted(QStringLiteral("Cannot initialize OnlineCategory from invalid String value"));
    map.category = *parsed;
    map.vintage = value.field<QString>("vintage");
    map.source = value.field<QString>("source");
    map.downloadURL = readAddress(value, "downloadURL");
    map.originURL = readAddress(value, "originURL");
    map.license = value.field<QString>("license");
    map.licenseURL = readAddress(value, "licenseURL");
    map.attribution = value.field<QString>("attribution");
    map.detail = value.field<QString>("detail");
    map.identifierAttribute = value.field<QString>("identifierAttribute");
    map.nameAttribute = value.field<QString>("nameAttribute");
    return map;
}

QByteArray OnlineMap::toJson() const
{
    // Compact, in field order: the cache keeps the declaration order rather than sorted keys.
    QByteArray out;
    out += '{';
    const auto field = [&out](const char* key, const QString& value) {
        if (out.size() > 1)
            out += ',';
        out += '"';
        out += key;
        out += "\":";
        appendJsonString(out, value);
    };
    field("id", id);
    field("name", name);
    field("category", onlineCategoryRawValue(category));
    field("vintage", vintage);
    field("source", source);
    field("downloadURL", downloadURL.toString(QUrl::FullyEncoded));
    field("originURL", originURL.toString(QUrl::FullyEncoded));
    field("license", license);
    field("licenseURL", licenseURL.toString(QUrl::FullyEncoded));
    field("attribution", attribution);
    field("detail", detail);
    field("identifierAttribute", identifierAttribute);
    field("nameAttribute", nameAttribute);
    out += '}';
    return out;
}

OnlineCatalogIndexError::OnlineCatalogIndexError(const QString& message, const QString& reason)
    : PlmError(message)
    , m_reason(reason)
{
}

OnlineCatalogIndexError OnlineCatalogIndexError::invalid(const QString& reason)
{
    return OnlineCatalogIndexError(QStringLiteral("Le fond reçu ne peut pas être converti : ") + reason, reason);
}

namespace OnlineCatalogCache {

QByteArray encode(const QList<OnlineMap>& maps)
{
    QByteArray out = "[";
    for (qsizetype i = 0; i < maps.size(); ++i) {
        if (i > 0)
            out += ',';
        out += maps[i].toJson();
    }
    return out + ']';
}

QList<OnlineMap> decode(const QByteArray& bytes)
{
    return PlmJson::decode<QList<OnlineMap>>(bytes, cacheMaxDepth);
}

QList<OnlineMap> read()
{
    const QByteArray bytes = UserDefaults::dataValue(QString::fromLatin1(defaultsKey));
    if (bytes.isEmpty())
        return {};
    try {
        return decode(bytes);
    } catch (const PlmError&) {
        return {};
    }
}

void write(const QList<OnlineMap>& maps)
{
    UserDefaults::setValue(QString::fromLatin1(defaultsKey), encode(maps));
}

} // namespace OnlineCatalogCache
