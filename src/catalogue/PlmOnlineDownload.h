#pragma once

#include "basemaps/PlmImportResult.h"
#include "catalogue/OnlineError.h"
#include "catalogue/PlmCatalogue.h"

#include <QUrl>
#include <atomic>
#include <functional>

// Limits of one download. The defaults are the product's; tests shorten the times and the
// size, and only they may let plain HTTP reach the loopback address of their own server.
struct OnlineDownloadOptions {
    qint64 maximumSize = OnlineError::maximumSize;
    int inactivityTimeoutMs = 45'000;
    int totalTimeoutMs = 180'000;
    int maximumRedirects = 5;
    bool allowPlainHttpToLoopback = false;
    // Polled while waiting; when it turns true the transfer is aborted with OnlineCancelled.
    const std::atomic_bool* cancelled = nullptr;
    // Called on the downloading thread as the body arrives: bytes received, and the declared
    // length (-1 when the server does not say).
    std::function<void(qint64 received, qint64 total)> progress;
};

// The system's only network code: one HTTPS address fetched into memory, and the acquisition
// of one catalogue entry (download, checks, conversion).
namespace PlmOnlineDownload {

using Transport = std::function<OnlineResponse(const QUrl&)>;

// Fetches the address with a manager of its own (no cache, no cookies, no credentials) and
// blocks in a local event loop; callable from any thread that may run one. Only https
// addresses are followed, redirects included. A status outside 200…299 is returned with an
// empty body. Throws OnlineError (network for transfer failures and time-outs, invalid
// "Réponse HTTP absente." for a non-HTTP address, tooLarge as soon as the body passes the
// limit) or OnlineCancelled.
OnlineResponse download(const QUrl& url, const OnlineDownloadOptions& options = {});

// Checks of an answer before its conversion: status, empty or oversized body, and a paged
// feature answer that does not hold every feature. Throws OnlineError.
void checkAnswer(const OnlineResponse& response);

// Downloads the entry's file through the transport, checks and converts it. A transport error
// that is neither an OnlineError nor OnlineCancelled becomes OnlineError::network; the
// conversion's errors pass unchanged. Throws OnlineCancelled when `cancelled` is set before
// the download or once the conversion is done.
PlmImportResult acquire(const OnlineMap& entry, const Transport& transport,
                        const std::atomic_bool* cancelled = nullptr);

} // namespace PlmOnlineDownload
