#pragma once

#include "catalogue/PlmCatalogue.h"
#include "catalogue/PlmOnlineDownload.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The catalogue rebuilt from every provider's index at once, and the text search over it.
namespace OnlineCatalog {

// Address to answer; PlmOnlineDownload::download in the product, canned answers in tests.
using Transport = PlmOnlineDownload::Transport;

// What one provider gave: entries when it answered, one error line when it failed.
struct ProviderLoad {
    QList<OnlineMap> maps;
    QStringList errors;
};

// The provider's title, " : ", and the error's sentence.
QString errorLine(OnlineProvider provider, const QString& description);

// Fetches and parses one provider's index. Never throws: any failure becomes its error line.
ProviderLoad loadProvider(OnlineProvider provider, const Transport& transport);

// Sorts entries by name in the library's order (French collation, case ignored, digit runs by
// value), stably: equal names keep their given order.
void sortByName(QList<OnlineMap>& maps);

// Joins the providers' results in the order given (their completion order): entries sorted by
// name (natural, case-insensitive, stable, so equal names keep that order), error lines as given.
OnlineCatalogResult merge(const QList<ProviderLoad>& completed);

// Told on a provider's thread once its result has taken its place in the completion order.
using CompletionObserver = std::function<void(OnlineProvider)>;

// Runs every provider on a thread of its own and blocks until all are done. Entries are sorted
// by name (natural, case-insensitive, stable); error lines stay in completion order.
// The transport (and the observer, which tests use to order providers) must be callable from
// several threads at once.
OnlineCatalogResult load(const Transport& transport, const CompletionObserver& completed = {});

// Runs load() away from the calling thread and hands the result to `done` on the thread of
// `context`; nothing is delivered once `context` is gone.
void loadInBackground(const Transport& transport, QObject* context,
                      std::function<void(const OnlineCatalogResult&)> done);

// Entries of the category (every one when absent) whose name, source, vintage and detail hold
// every white-space separated token of the query, ignoring case and accents; given order kept.
QList<OnlineMap> search(const QList<OnlineMap>& maps, const QString& query,
                        std::optional<OnlineCategory> category = std::nullopt);

} // namespace OnlineCatalog
