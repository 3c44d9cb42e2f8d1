#include "catalogue/PlmCatalogueProviders.h"

#include "tables/XMLEventStream.h"
#include "model/PlmErrors.h"
#include "model/PlmJsonDocument.h"

#include <QRegularExpression>
#include <QUrlQuery>
#include <algorithm>
#include <utility>

namespace {

// Server settings, all in one place.
const char* const portalShortName = "data.gouv.fr";
const char* const franceIndex = "https://etalab-datasets.geo.data.gouv.fr/contours-administratifs/2026/geojson/";
const char* const ignIndex = "https://data.geopf.fr/wfs/ows?SERVICE=WFS&VERSION=2.0.0&REQUEST=GetCapabilities";
const char* const giscoServer = "https://gisco-services.ec.europa.eu";
const char* const naturalEarthIndex =
    "https://api.github.com/repos/nvkelso/natural-earth-vector/contents/geojson?ref=v5.1.2";
const char* const naturalEarthRawHost = "raw.githubusercontent.com";
const char* const odblLicence = "https://opendatacommons.org/licenses/odbl/1-0/";
const char* const etalabLicence = "https://www.etalab.gouv.fr/licence-ouverte-open-licence/";
const char* const giscoLicence = "https://ec.europa.eu/eurostat/en/web/gisco/geodata/administrative-units";
const char* const naturalEarthTerms = "https://www.naturalearthdata.com/about/terms-of-use/";
const char* const ignProductPage = "https://geoservices.ign.fr/adminexpress";

// Index documents are shallow; deeper nesting is refused by the JSON parser.
constexpr int indexMaxDepth = 16;
// A feature-type name longer than this cannot match the layer pattern.
constexpr qsizetype maximumNameLength = 512;

QString portal() { return QString::fromLatin1(portalShortName); }

const QList<std::pair<QString, QString>>& frenchLayers()
{
    static const QList<std::pair<QString, QString>> table = {
        {QStringLiteral("regions"), QStringLiteral("Régions")},
        {QStringLiteral("departements"), QStringLiteral("Départements")},
        {QStringLiteral("epci"), QStringLiteral("Intercommunalités (EPCI)")},
        {QStringLiteral("communes"), QStringLiteral("Communes")},
        {QStringLiteral("arrondissements"), QStringLiteral("Arrondissements")},
        {QStringLiteral("communes-associees-deleguees"), QStringLiteral("Communes associées et déléguées")},
    };
    return table;
}

const QList<std::pair<QString, QString>>& naturalEarthLayers()
{
    static const QList<std::pair<QString, QString>> table = {
        {QStringLiteral("admin_0_countries"), QStringLiteral("Culturel · Pays")},
        {QStringLiteral("admin_0_map_units"), QStringLiteral("Culturel · Territoires")},
        {QStringLiteral("admin_1_states_provinces"), QStringLiteral("Culturel · États et provinces")},
        {QStringLiteral("admin_0_boundary_lines_land"), QStringLiteral("Culturel · Limites des pays")},
        {QStringLiteral("admin_1_states_provinces_lines"), QStringLiteral("Culturel · Limites des provinces")},
        {QStringLiteral("populated_places"), QStringLiteral("Culturel · Villes")},
        {QStringLiteral("urban_areas"), QStringLiteral("Culturel · Zones urbaines")},
        {QStringLiteral("roads"), QStringLiteral("Culturel · Routes")},
        {QStringLiteral("railroads"), QStringLiteral("Culturel · Voies ferrées")},
        {QStringLiteral("airports"), QStringLiteral("Culturel · Aéroports")},
        {QStringLiteral("ports"), QStringLiteral("Culturel · Ports")},
        {QStringLiteral("land"), QStringLiteral("Physique · Terres")},
        {QStringLiteral("coastline"), QStringLiteral("Physique · Côtes")},
        {QStringLiteral("ocean"), QStringLiteral("Physique · Océans")},
        {QStringLiteral("lakes"), QStringLiteral("Physique · Lacs")},
        {QStringLiteral("rivers_lake_centerlines"), QStringLiteral("Physique · Rivières")},
        {QStringLiteral("minor_islands"), QStringLiteral("Physique · Îles")},
        {QStringLiteral("geographic_lines"), QStringLiteral("Physique · Lignes géographiques")},
        {QStringLiteral("graticules_1"), QStringLiteral("Physique · Graticule 1°")},
        {QStringLiteral("graticules_5"), QStringLiteral("Physique · Graticule 5°")},
        {QStringLiteral("graticules_10"), QStringLiteral("Physique · Graticule 10°")},
        {QStringLiteral("graticules_15"), QStringLiteral("Physique · Graticule 15°")},
        {QStringLiteral("graticules_20"), QStringLiteral("Physique · Graticule 20°")},
        {QStringLiteral("graticules_30"), QStringLiteral("Physique · Graticule 30°")},
    };
    return table;
}

QString lookUp(const QList<std::pair<QString, QString>>& table, const QString& key)
{
    for (const auto& [k, label] : table)
        if (k == key)
            return label;
    return {};
}

// Patterns are compiled once per thread, never per candidate; each thread has its own copy.
const QRegularExpression& pattern(int which)
{
    thread_local const QRegularExpression patterns[] = {
        QRegularExpression(QStringLiteral(R"(href="[^"]*/([^/"<>]+)-(1000m|100m|50m)\.geojson")")),
        QRegularExpression(QStringLiteral(R"(^ADMINEXPRESS-COG-CARTO-PE\.([0-9]{4}):(arrondissement|arrondissement_municipal)$)")),
        QRegularExpression(QStringLiteral(R"(^NUTS_RG_(03M|10M|20M|60M)_2024_4326_LEVL_([0-3])\.geojson$)")),
        QRegularExpression(QStringLiteral(R"(^CNTR_RG_(03M|10M|20M|60M)_2024_4326\.geojson$)")),
        QRegularExpression(QStringLiteral(R"(^URAU_RG_100K_2024_4326_(CITIES|FUA)\.geojson$)")),
        [] {
            QStringList keys;
            for (const auto& row : naturalEarthLayers())
                keys << row.first;
            std::sort(keys.begin(), keys.end());
            return QRegularExpression(QStringLiteral("^ne_(10|50|110)m_(") + keys.join(u'|')
                                      + QStringLiteral(R"()\.geojson$)"));
        }(),
    };
    return patterns[which];
}
enum { franceHref, ignName, nutsName, countriesName, urauName, naturalEarthName };

[[noreturn]] void fail(const char* reason)
{
    throw OnlineCatalogIndexError::invalid(QString::fromUtf8(reason));
}

QUrl absolute(const QUrl& base, const QString& relative)
{
    const QUrl reference(relative, QUrl::StrictMode);
    if (!reference.isValid())
        return {};
    const QUrl url = base.resolved(reference);
    if (!url.isValid() || url.isRelative())
        return {};
    return url;
}

bool onIndexHostOverHttps(const QUrl& url, const QUrl& index)
{
    return url.scheme() == QLatin1String("https") && url.host() == index.host();
}

void fillFrance(OnlineMap& map)
{
    map.category = OnlineCategory::france;
    map.source = portal() + QStringLiteral(" · IGN / Etalab");
    map.license = QStringLiteral("ODbL 1.0");
    map.licenseURL = QUrl(QString::fromLatin1(odblLicence));
    map.attribution = QStringLiteral("Contours administratifs — ") + portal()
        + QStringLiteral(" / Etalab, IGN Admin Express ; OpenStreetMap et sources locales pour les COM. ODbL 1.0.");
}

void fillGisco(OnlineMap& map, OnlineProvider provider)
{
    map.category = OnlineCategory::europe;
    map.vintage = QStringLiteral("2024");
    map.source = QStringLiteral("Eurostat · GISCO");
    map.originURL = OnlineCatalog::indexURL(provider);
    map.license = QStringLiteral("Conditions GISCO : usage non commercial, attribution obligatoire");
    map.licenseURL = QUrl(QString::fromLatin1(giscoLicence));
    map.attribution = QStringLiteral("© EuroGeographics pour les limites administratives · © UN-FAO · © Turkstat. "
                                     "Cartographie : Eurostat — GISCO, NUTS 2024.");
}

// The download address of a GISCO file: resolved against the index's folder, https, same host.
QUrl giscoDownload(OnlineProvider provider, const QString& relativeAddress)
{
    const QUrl index = OnlineCatalog::indexURL(provider);
    const QUrl folder = index.resolved(QUrl(QStringLiteral(".")));
    const QUrl url = absolute(folder, relativeAddress);
    if (url.isEmpty() || !onIndexHostOverHttps(url, index))
        return {};
    return url;
}

void requireSize(const QByteArray& bytes, const char* reason)
{
    if (bytes.size() > OnlineCatalog::maximumIndexBytes)
        fail(reason);
}

QList<OnlineMap> parseFrance(const QByteArray& bytes)
{
    // The listing never fails: its size is bounded by the download, its scan is linear and
    // the number of entries is capped.
    const QString text = QString::fromUtf8(bytes);
    QList<OnlineMap> maps;
    auto it = pattern(franceHref).globalMatch(text);
    while (it.hasNext() && maps.size() < OnlineCatalog::maximumEntriesPerIndex) {
        const QRegularExpressionMatch match = it.next();
        if (auto map = OnlineCatalog::franceEntry(match.captured(1), match.captured(2)))
            maps.append(std::move(*map));
    }
    return maps;
}

// Collects the names of the feature types of a WFS capabilities document.
class IGNFeatureIndex : public XMLEventHandler {
public:
    QStringList names;
    bool inFeature = false;
    bool collecting = false;
    QString text;

    void startElement(const QString& localName, const char**, int) override
    {
        m_open.append(localName);
        if (localName == QLatin1String("FeatureType")) {
            inFeature = true;
        } else if (localName == QLatin1String("Name") && inFeature) {
            collecting = true;
            text.clear();
        }
    }
    void characters(QStringView chars) override
    {
        if (collecting && text.size() <= maximumNameLength)
            text += chars.left(maximumNameLength + 1 - text.size());
    }
    void endElement(int) override
    {
        const QString name = m_open.isEmpty() ? QString() : m_open.takeLast();
        if (name == QLatin1String("Name") && collecting) {
            if (names.size() < OnlineCatalog::maximumEntriesPerIndex)
                names.append(text.trimmed());
            collecting = false;
        } else if (name == QLatin1String("FeatureType")) {
            inFeature = false;
        }
    }

private:
    QStringList m_open;
};

QList<OnlineMap> parseIgn(const QByteArray& bytes)
{
    requireSize(bytes, "Catalogue IGN illisible.");
    IGNFeatureIndex index;
    try {
        parseXMLEvents(bytes, index);
    } catch (const PlmError&) {
        fail("Catalogue IGN illisible.");
    }
    struct Kept {
        QString name, year, layer;
    };
    QList<Kept> kept;
    for (const QString& name : std::as_const(index.names)) {
        const QRegularExpressionMatch match = pattern(ignName).match(name);
        if (match.hasMatch() && match.hasCaptured(1) && match.hasCaptured(2))
            kept.append({name, match.captured(1), match.captured(2)});
    }
    if (kept.isEmpty())
        return {};
    QString latest;
    for (const Kept& k : std::as_const(kept))
        latest = std::max(latest, k.year);
    QList<OnlineMap> maps;
    for (const Kept& k : std::as_const(kept))
        if (k.year == latest)
            if (auto map = OnlineCatalog::ignEntry(k.name, k.year, k.layer))
                maps.append(std::move(*map));
    return maps;
}

// The "geojson" object of a GISCO index, as (file name, relative address) pairs in file-name order.
QList<std::pair<QString, QString>> giscoFiles(const QByteArray& bytes, const char* reason)
{
    requireSize(bytes, reason);
    const PlmJsonDocument document = PlmJsonDocument::parse(bytes, indexMaxDepth);
    const PlmJsonValue root = document.root();
    if (!root.isObject() || root.size() == 0)
        fail(reason);
    const PlmJsonValue files = root.member("geojson");
    if (!files.isObject())
        fail(reason);
    QList<std::pair<QString, QString>> pairs;
    for (auto [key, value] : files.members()) {
        if (!value.isString())
            fail(reason);
        pairs.append({QString::fromUtf8(key.data(), qsizetype(key.size())), value.toString()});
    }
    // Plain text order is code-point order, not QString's UTF-16 order.
    std::sort(pairs.begin(), pairs.end(), [](const auto& a, const auto& b) {
        return a.first.toUcs4() < b.first.toUcs4();
    });
    if (pairs.size() > OnlineCatalog::maximumEntriesPerIndex)
        pairs.resize(OnlineCatalog::maximumEntriesPerIndex);
    return pairs;
}

QList<OnlineMap> parseNaturalEarth(const QByteArray& bytes)
{
    const char* reason = "Index Natural Earth illisible.";
    requireSize(bytes, reason);
    const PlmJsonDocument document = PlmJsonDocument::parse(bytes, indexMaxDepth);
    const PlmJsonValue root = document.root();
    if (!root.isArray())
        fail(reason);
    for (PlmJsonValue item : root.elements())
        if (!item.isObject())
            fail(reason);
    QList<OnlineMap> maps;
    for (PlmJsonValue item : root.elements()) {
        if (maps.size() >= OnlineCatalog::maximumEntriesPerIndex)
            break;
        if (auto map = OnlineCatalog::naturalEarthEntry(item))
            maps.append(std::move(*map));
    }
    return maps;
}

} // namespace

namespace OnlineCatalog {

QString naturalEarthDownloadHost() { return QString::fromLatin1(naturalEarthRawHost); }

QUrl indexURL(OnlineProvider provider)
{
    switch (provider) {
    case OnlineProvider::france: return QUrl(QString::fromLatin1(franceIndex));
    case OnlineProvider::ign: return QUrl(QString::fromLatin1(ignIndex));
    case OnlineProvider::nuts:
        return QUrl(QString::fromLatin1(giscoServer) + QStringLiteral("/distribution/v2/nuts/nuts-2024-files.json"));
    case OnlineProvider::countries:
        return QUrl(QString::fromLatin1(giscoServer)
                    + QStringLiteral("/distribution/v2/countries/countries-2024-files.json"));
    case OnlineProvider::urbanAreas:
        return QUrl(QString::fromLatin1(giscoServer) + QStringLiteral("/distribution/v2/urau/urau-2024-files.json"));
    case OnlineProvider::naturalEarth: return QUrl(QString::fromLatin1(naturalEarthIndex));
    }
    return {};
}

QList<OnlineMap> parseIndex(const QByteArray& bytes, OnlineProvider provider)
{
    switch (provider) {
    case OnlineProvider::france: return parseFrance(bytes);
    case OnlineProvider::ign: return parseIgn(bytes);
    case OnlineProvider::nuts:
    case OnlineProvider::countries: {
        QList<OnlineMap> maps;
        for (const auto& [name, address] : giscoFiles(bytes, "Index GISCO illisible."))
            if (auto map = giscoEntry(provider, name, address))
                maps.append(std::move(*map));
        return maps;
    }
    case OnlineProvider::urbanAreas: {
        QList<OnlineMap> maps;
        for (const auto& [name, address] : giscoFiles(bytes, "Index des aires urbaines GISCO illisible."))
            if (auto map = urbanAreaEntry(name, address))
                maps.append(std::move(*map));
        return maps;
    }
    case OnlineProvider::naturalEarth: return parseNaturalEarth(bytes);
    }
    return {};
}

std::optional<OnlineMap> franceEntry(const QString& slug, const QString& resolution)
{
    const QString label = lookUp(frenchLayers(), slug);
    if (slug.isEmpty() || resolution.isEmpty() || label.isEmpty())
        return std::nullopt;
    const QUrl index = indexURL(OnlineProvider::france);
    // Only the file name of the link is used: the address stays in the index's own folder.
    const QUrl download = absolute(index, slug + u'-' + resolution + QStringLiteral(".geojson"));
    if (download.isEmpty() || !onIndexHostOverHttps(download, index))
        return std::nullopt;
    OnlineMap map;
    fillFrance(map);
    map.id = QStringLiteral("datagouv-") + slug + QStringLiteral("-2026-") + resolution;
    map.name = QStringLiteral("France — ") + label + QStringLiteral(" · ") + resolution;
    map.vintage = QStringLiteral("2026");
    map.downloadURL = download;
    map.originURL = index;
    map.detail = QStringLiteral("Contours administratifs publiés par le fournisseur ; simplification à ") + resolution
        + u'.';
    map.identifierAttribute = QStringLiteral("code");
    map.nameAttribute = QStringLiteral("nom");
    return map;
}

std::optional<OnlineMap> ignEntry(const QString& typeName, const QString& year, const QString& layer)
{
    QUrl download = indexURL(OnlineProvider::ign);
    if (!download.isValid() || typeName.isEmpty())
        return std::nullopt;
    QUrlQuery query;
    query.setQueryItems({
        {QStringLiteral("service"), QStringLiteral("WFS")},
        {QStringLiteral("version"), QStringLiteral("2.0.0")},
        {QStringLiteral("request"), QStringLiteral("GetFeature")},
        {QStringLiteral("typeNames"), typeName},
        {QStringLiteral("outputFormat"), QStringLiteral("application/json")},
        {QStringLiteral("srsName"), QStringLiteral("urn:ogc:def:crs:OGC:1.3:CRS84")},
    });
    download.setQuery(query);
    if (!download.isValid())
        return std::nullopt;
    OnlineMap map;
    map.id = QStringLiteral("ign-") + typeName;
    map.name = QStringLiteral("France — ")
        + (layer == QLatin1String("arrondissement") ? QStringLiteral("Arrondissements départementaux")
                                                    : QStringLiteral("Arrondissements municipaux"))
        + QStringLiteral(" · IGN");
    map.category = OnlineCategory::france;
    map.vintage = year;
    map.source = QStringLiteral("IGN · ADMIN EXPRESS COG CARTO PE");
    map.downloadURL = download;
    map.originURL = QUrl(QString::fromLatin1(ignProductPage));
    map.license = QStringLiteral("Licence Ouverte 2.0");
    map.licenseURL = QUrl(QString::fromLatin1(etalabLicence));
    map.attribution = QStringLiteral("© IGN · ADMIN EXPRESS COG CARTO PE ") + year
        + QStringLiteral(" · Licence Ouverte 2.0");
    map.detail = QStringLiteral("Fond vectoriel simplifié de l’IGN. Millésime annoncé par le catalogue officiel ; "
                                "téléchargement à la demande.");
    map.identifierAttribute = QStringLiteral("code_insee");
    map.nameAttribute = QStringLiteral("nom_officiel");
    return map;
}

std::optional<OnlineMap> giscoEntry(OnlineProvider provider, const QString& fileName, const QString& relativeAddress)
{
    const bool nuts = provider == OnlineProvider::nuts;
    if (!nuts && provider != OnlineProvider::countries)
        return std::nullopt;
    const QRegularExpressionMatch match = pattern(nuts ? nutsName : countriesName).match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QString scale = match.captured(1);
    const QUrl download = giscoDownload(provider, relativeAddress);
    if (download.isEmpty())
        return std::nullopt;
    QString label = QStringLiteral("Pays");
    if (nuts) {
        const QString level = match.hasCaptured(2) ? match.captured(2) : QStringLiteral("0");
        label = level == QLatin1String("0") ? QStringLiteral("Pays statistiques (NUTS 0)")
                                            : QStringLiteral("NUTS ") + level;
    }
    bool ok = false;
    int millions = scale.left(2).toInt(&ok, 10);
    if (!ok)
        millions = 10;
    OnlineMap map;
    fillGisco(map, provider);
    map.id = QStringLiteral("gisco-") + fileName;
    map.name = QStringLiteral("Europe — ") + label + QStringLiteral(" · ") + scale;
    map.downloadURL = download;
    map.detail = QStringLiteral("Fond GISCO publié dans l’index officiel. Contours au 1:") + QString::number(millions)
        + QStringLiteral(" millions ; WGS84.");
    map.identifierAttribute = nuts ? QStringLiteral("NUTS_ID") : QStringLiteral("CNTR_ID");
    map.nameAttribute = nuts ? QStringLiteral("NUTS_NAME") : QStringLiteral("NAME_ENGL");
    return map;
}

std::optional<OnlineMap> urbanAreaEntry(const QString& fileName, const QString& relativeAddress)
{
    if (!pattern(urauName).match(fileName).hasMatch())
        return std::nullopt;
    const QUrl download = giscoDownload(OnlineProvider::urbanAreas, relativeAddress);
    if (download.isEmpty())
        return std::nullopt;
    OnlineMap map;
    fillGisco(map, OnlineProvider::urbanAreas);
    map.id = QStringLiteral("gisco-") + fileName;
    map.name = QStringLiteral("Europe — ")
        + (fileName.contains(QLatin1String("CITIES")) ? QStringLiteral("Villes")
                                                      : QStringLiteral("Aires urbaines fonctionnelles"))
        + QStringLiteral(" · 100K");
    map.downloadURL = download;
    map.detail = QStringLiteral("Urban Audit 2024 · unités urbaines européennes au 1:100 000.");
    map.nameAttribute = QStringLiteral("URAU_NAME");
    return map;
}

std::optional<OnlineMap> naturalEarthEntry(const PlmJsonValue& item)
{
    if (!item.isObject())
        return std::nullopt;
    const PlmJsonValue nameValue = item.member("name");
    if (!nameValue.isString())
        return std::nullopt;
    const QString fileName = nameValue.toString();
    const QRegularExpressionMatch match = pattern(naturalEarthName).match(fileName);
    if (!match.hasMatch())
        return std::nullopt;
    const QString scale = match.captured(1);
    const QString key = match.captured(2);

    const PlmJsonValue sizeValue = item.member("size");
    if (!sizeValue.isNumber())
        return std::nullopt;
    qint64 size = 0;
    try {
        size = sizeValue.toInteger();
    } catch (const PlmError&) {
        return std::nullopt;
    }
    // A negative size is no file size at all.
    if (size < 0 || size > maximumNaturalEarthBytes)
        return std::nullopt;

    const PlmJsonValue urlValue = item.member("download_url");
    if (!urlValue.isString())
        return std::nullopt;
    const QUrl download(urlValue.toString(), QUrl::StrictMode);
    if (!download.isValid() || download.isRelative() || download.scheme() != QLatin1String("https")
        || download.host().isEmpty() || download.host() != naturalEarthDownloadHost())
        return std::nullopt;

    QString label = lookUp(naturalEarthLayers(), key);
    if (label.isEmpty())
        label = key;
    const bool provinces = key == QLatin1String("admin_1_states_provinces");
    OnlineMap map;
    map.id = QStringLiteral("naturalearth-") + fileName + QStringLiteral("-5.1.2");
    map.name = QStringLiteral("Monde — ") + label + QStringLiteral(" · 1:") + scale + QStringLiteral(" M");
    map.category = OnlineCategory::world;
    map.vintage = QStringLiteral("5.1.2 (2022)");
    map.source = QStringLiteral("Natural Earth");
    map.downloadURL = download;
    map.originURL = indexURL(OnlineProvider::naturalEarth);
    map.license = QStringLiteral("Domaine public");
    map.licenseURL = QUrl(QString::fromLatin1(naturalEarthTerms));
    map.attribution = QStringLiteral("Made with Natural Earth · Version 5.1.2 · Domaine public.");
    map.detail = QStringLiteral("Index Natural Earth 5.1.2. ") + QString::number(size / 1024)
        + QStringLiteral(" Ko ; contours au 1:") + scale + QStringLiteral(" millions.");
    if (provinces)
        map.detail += QStringLiteral(" Couverture des subdivisions variable selon l’échelle et le pays.");
    if (provinces)
        map.identifierAttribute = QStringLiteral("adm1_code");
    else if (key == QLatin1String("admin_0_countries") || key == QLatin1String("admin_0_map_units"))
        map.identifierAttribute = QStringLiteral("NE_ID");
    if (provinces)
        map.nameAttribute = QStringLiteral("name");
    else if (key.contains(QLatin1String("countries")) || key.contains(QLatin1String("map_units")))
        map.nameAttribute = QStringLiteral("NAME_FR");
    else
        map.nameAttribute = QStringLiteral("name");
    return map;
}

} // namespace OnlineCatalog
