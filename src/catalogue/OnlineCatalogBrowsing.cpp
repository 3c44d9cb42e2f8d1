#include "catalogue/OnlineCatalogBrowsing.h"

#include "model/PlmTextFolding.h"
#include "catalogue/PlmCatalogueLoading.h"

#include <QSet>
#include <algorithm>

namespace OnlineCatalogBrowsing {

namespace {

// The same tokens as the catalogue search: split at Unicode white space, empty pieces dropped.
QStringList foldedTokens(const QString& query)
{
    QStringList tokens;
    QString token;
    for (QChar c : query) {
        if (c.isSpace() || PlmTextFolding::isWhiteSpace(c.unicode())) {
            if (!token.isEmpty())
                tokens.append(PlmTextFolding::folded(token));
            token.clear();
        } else {
            token.append(c);
        }
    }
    if (!token.isEmpty())
        tokens.append(PlmTextFolding::folded(token));
    tokens.removeAll(QString());
    return tokens;
}

const QList<OnlineMap>& emptyCatalogue()
{
    static const QList<OnlineMap> empty;
    return empty;
}

} // namespace

QStringList categoryItems()
{
    return {QStringLiteral("Toutes les catégories"), QStringLiteral("France"), QStringLiteral("Europe"),
            QStringLiteral("Monde"), QStringLiteral("Monde · Culturel"), QStringLiteral("Monde · Physique")};
}

std::optional<OnlineCategory> categoryOfItem(int index)
{
    switch (index) {
    case 1: return OnlineCategory::france;
    case 2: return OnlineCategory::europe;
    case 3:
    case 4:
    case 5: return OnlineCategory::world;
    default: return std::nullopt;
    }
}

SearchIndex::SearchIndex(const QList<OnlineMap>& catalogue)
{
    auto storage = std::make_shared<Storage>();
    storage->catalogue = catalogue;
    storage->keys.reserve(catalogue.size());
    for (const OnlineMap& map : catalogue)
        storage->keys.append(PlmTextFolding::folded(map.name + u' ' + map.source + u' ' + map.vintage + u' ' + map.detail));
    m_storage = std::move(storage);
}

const QList<OnlineMap>& SearchIndex::catalogue() const
{
    return m_storage ? m_storage->catalogue : emptyCatalogue();
}

QList<qsizetype> SearchIndex::filter(const QString& query, int categoryItem) const
{
    QList<qsizetype> kept;
    if (!m_storage)
        return kept;
    const std::optional<OnlineCategory> category = categoryOfItem(categoryItem);
    const QString nameWord = categoryItem == 4 ? QStringLiteral("Culturel")
                           : categoryItem == 5 ? QStringLiteral("Physique")
                                               : QString();
    const QStringList tokens = foldedTokens(query);
    const QList<OnlineMap>& maps = m_storage->catalogue;
    kept.reserve(maps.size());
    for (qsizetype i = 0; i < maps.size(); ++i) {
        const OnlineMap& map = maps.at(i);
        if (category && *category != map.category)
            continue;
        const QString& key = m_storage->keys.at(i);
        if (!std::all_of(tokens.cbegin(), tokens.cend(), [&](const QString& t) { return key.contains(t); }))
            continue;
        if (!nameWord.isEmpty() && !map.name.contains(nameWord))
            continue;
        kept.append(i);
    }
    return kept;
}

std::optional<QList<OnlineMap>> mergedCatalogue(const QList<OnlineMap>& old, const OnlineCatalogResult& loaded)
{
    if (loaded.maps.isEmpty())
        return std::nullopt;
    QList<OnlineMap> merged = loaded.maps;
    if (!loaded.errors.isEmpty()) {
        // The cached entries of a provider that failed stay offered.
        QSet<QUrl> fresh;
        for (const OnlineMap& map : loaded.maps)
            fresh.insert(map.downloadURL);
        for (const OnlineMap& map : old)
            if (!fresh.contains(map.downloadURL))
                merged.append(map);
    }
    OnlineCatalog::sortByName(merged);
    return merged;
}

QString loadStatus(qsizetype count, const QStringList& errors)
{
    QString status = QString::number(count) + QStringLiteral(" fonds disponibles");
    if (!errors.isEmpty())
        status += QStringLiteral(" · Certains fournisseurs sont indisponibles. ") + errors.join(QStringLiteral(" ; "));
    else
        status += QStringLiteral(" · téléchargement à la demande");
    return status;
}

QString information(const OnlineMap& entry)
{
    return entry.name + QStringLiteral("\nMillésime : ") + entry.vintage + QStringLiteral("\nSource : ") + entry.source
        + u'\n' + entry.detail + QStringLiteral("\nLicence : ") + entry.license + u'\n' + entry.attribution;
}

QString cellText(const OnlineMap& entry)
{
    return entry.name + u'\n' + entry.vintage + QStringLiteral(" · ") + entry.source;
}

QString readyStatus()
{
    return QStringLiteral("Le téléchargement démarre à votre demande. Le fond ajouté reste utilisable hors connexion.");
}

QString noEntryInformation()
{
    return QStringLiteral("Aucun fond trouvé.");
}

QString noEntryStatus()
{
    return QStringLiteral("Modifiez la recherche ou la catégorie.");
}

QString loadingStatus()
{
    return QStringLiteral("Lecture des catalogues des fournisseurs…");
}

QString cancelledStatus()
{
    return QStringLiteral("Téléchargement annulé.");
}

QString downloadingStatus(const OnlineMap& entry)
{
    return QStringLiteral("Téléchargement et conversion de « ") + entry.name + QStringLiteral(" »…");
}

QString addedStatus(const QString& fileName, const QString& summary)
{
    return QStringLiteral("Ajouté : ") + fileName + QStringLiteral(" — ") + summary;
}

} // namespace OnlineCatalogBrowsing
