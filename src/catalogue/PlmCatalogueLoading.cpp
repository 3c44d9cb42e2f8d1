#include "catalogue/PlmCatalogueLoading.h"

#include "model/PlmRowSort.h"
#include "model/PlmTextFolding.h"

#include "catalogue/OnlineError.h"
#include "catalogue/PlmCatalogueProviders.h"

#include <QFuture>
#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace OnlineCatalog {

namespace {

QString describe(const std::exception_ptr& failure)
{
    try {
        std::rethrow_exception(failure);
    } catch (const PlmJsonDecodingError& error) {
        // The decoder's own sentence is kept, under a French one that says what it was reading.
        return QStringLiteral("Index du fournisseur illisible : ") + error.message();
    } catch (const PlmError& error) {
        return error.message();
    } catch (const OnlineCancelled&) {
        return QStringLiteral("Chargement annulé.");
    } catch (const std::exception& error) {
        return QString::fromUtf8(error.what());
    } catch (...) {
        return QStringLiteral("Erreur inconnue.");
    }
}

// Lower-case, accents dropped: the key under which search texts are compared.
QString searchKey(const QString& text)
{
    return PlmTextFolding::folded(text);
}

} // namespace

void sortByName(QList<OnlineMap>& maps)
{
    const PlmRowSort order;
    std::stable_sort(maps.begin(), maps.end(),
                     [&order](const OnlineMap& a, const OnlineMap& b) { return order.compare(a.name, b.name) < 0; });
}

QString errorLine(OnlineProvider provider, const QString& description)
{
    return onlineProviderTitle(provider) + QStringLiteral(" : ") + description;
}

ProviderLoad loadProvider(OnlineProvider provider, const Transport& transport)
{
    ProviderLoad result;
    try {
        const OnlineResponse response = transport(indexURL(provider));
        if (response.status < 200 || response.status > 299)
            throw OnlineError::http(response.status);
        result.maps = parseIndex(response.data, provider);
    } catch (...) {
        result.maps.clear();
        result.errors.append(errorLine(provider, describe(std::current_exception())));
    }
    return result;
}

OnlineCatalogResult load(const Transport& transport, const CompletionObserver& completed)
{
    // Each child hands its result over as it completes; the merge below keeps that order.
    std::mutex mutex;
    std::condition_variable arrived;
    std::deque<ProviderLoad> finished;

    const QList<OnlineProvider> providers = allOnlineProviders();
    std::vector<std::thread> children;
    children.reserve(providers.size());
    for (OnlineProvider provider : providers) {
        children.emplace_back([&, provider] {
            ProviderLoad child = loadProvider(provider, transport);
            {
                const std::lock_guard lock(mutex);
                finished.push_back(std::move(child));
                arrived.notify_one();
            }
            if (completed)
                completed(provider);
        });
    }

    QList<ProviderLoad> inOrder;
    for (qsizetype taken = 0; taken < providers.size(); ++taken) {
        std::unique_lock lock(mutex);
        arrived.wait(lock, [&] { return !finished.empty(); });
        ProviderLoad child = std::move(finished.front());
        finished.pop_front();
        lock.unlock();
        inOrder.append(std::move(child));
    }
    for (std::thread& child : children)
        child.join();
    return merge(inOrder);
}

OnlineCatalogResult merge(const QList<ProviderLoad>& completed)
{
    OnlineCatalogResult result;
    for (const ProviderLoad& child : completed) {
        result.maps.append(child.maps);
        result.errors.append(child.errors);
    }

    sortByName(result.maps);
    return result;
}

void loadInBackground(const Transport& transport, QObject* context,
                      std::function<void(const OnlineCatalogResult&)> done)
{
    // The continuation bound to `context` runs on its thread and is dropped with it.
    auto promise = std::make_shared<QPromise<OnlineCatalogResult>>();
    QFuture<OnlineCatalogResult> future = promise->future();
    promise->start();
    future.then(context, [done = std::move(done)](const OnlineCatalogResult& result) { done(result); });
    QThreadPool::globalInstance()->start([promise, transport] {
        promise->addResult(load(transport));
        promise->finish();
    });
}

QList<OnlineMap> search(const QList<OnlineMap>& maps, const QString& query, std::optional<OnlineCategory> category)
{
    QStringList tokens;
    QString token;
    for (QChar c : query) {
        if (c.isSpace()) {
            if (!token.isEmpty())
                tokens.append(searchKey(token));
            token.clear();
        } else {
            token.append(c);
        }
    }
    if (!token.isEmpty())
        tokens.append(searchKey(token));

    QList<OnlineMap> kept;
    for (const OnlineMap& map : maps) {
        if (category && *category != map.category)
            continue;
        if (!tokens.isEmpty()) {
            const QString text = searchKey(map.name + u' ' + map.source + u' ' + map.vintage + u' ' + map.detail);
            const bool all = std::all_of(tokens.cbegin(), tokens.cend(),
                                         [&](const QString& t) { return text.contains(t); });
            if (!all)
                continue;
        }
        kept.append(map);
    }
    return kept;
}

} // namespace OnlineCatalog
