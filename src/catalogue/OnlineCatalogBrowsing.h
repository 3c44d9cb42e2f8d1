#pragma once

#include "catalogue/PlmCatalogue.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

// What the catalogue window shows, apart from its widgets: the category pop-up, the search
// over a catalogue folded once, the merge of a new load into the cached catalogue, and the
// French texts of the information, status and list cells.
namespace OnlineCatalogBrowsing {

// "Toutes les catégories", "France", "Europe", "Monde", "Monde · Culturel", "Monde · Physique".
QStringList categoryItems();
// 0 gives every category; 1, 2, 3 France, Europe, Monde; 4 and 5 Monde (with a name filter).
std::optional<OnlineCategory> categoryOfItem(int index);

// The catalogue with each entry's search text folded in advance, so that a keystroke only
// folds the query. Copies share the catalogue and its keys.
class SearchIndex {
public:
    SearchIndex() = default;
    explicit SearchIndex(const QList<OnlineMap>& catalogue);

    const QList<OnlineMap>& catalogue() const;
    qsizetype size() const { return catalogue().size(); }

    // The positions in the catalogue of the entries that the pop-up item and the query keep,
    // in catalogue order: the search of the catalogue (every token of the query, ignoring case
    // and accents, in name, source, vintage and detail), then for items 4 and 5 only the names
    // holding "Culturel" or "Physique".
    QList<qsizetype> filter(const QString& query, int categoryItem) const;

private:
    struct Storage {
        QList<OnlineMap> catalogue;
        QStringList keys;
    };
    std::shared_ptr<const Storage> m_storage;
};

// The catalogue after a load: none when the load brought no entry (the old one stays);
// else the new entries, followed, when some provider failed, by the old entries whose download
// address the new list lacks; sorted by name.
std::optional<QList<OnlineMap>> mergedCatalogue(const QList<OnlineMap>& old, const OnlineCatalogResult& loaded);

// "N fonds disponibles" and either the failed providers' lines or "téléchargement à la demande".
QString loadStatus(qsizetype count, const QStringList& errors);

// The description of the selected entry.
QString information(const OnlineMap& entry);
// Name, then vintage · source: the list cell and its tool tip.
QString cellText(const OnlineMap& entry);

QString readyStatus();      // "Le téléchargement démarre à votre demande. …"
QString noEntryInformation(); // "Aucun fond trouvé."
QString noEntryStatus();    // "Modifiez la recherche ou la catégorie."
QString loadingStatus();    // "Lecture des catalogues des fournisseurs…"
QString cancelledStatus();  // "Téléchargement annulé."
QString downloadingStatus(const OnlineMap& entry);
QString addedStatus(const QString& fileName, const QString& summary);

} // namespace OnlineCatalogBrowsing
