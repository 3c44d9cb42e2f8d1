#include "catalogue/PlmOnlineDownload.h"
#include "model/PlmFrenchCount.h"

#include "model/PlmJsonDocument.h"
#include "catalogue/PlmCatalogueConversion.h"

#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

#include <optional>

namespace PlmOnlineDownload {

namespace {

bool isLoopback(const QUrl& url)
{
    const QString host = url.host();
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    QHostAddress address;
    return address.setAddress(host) && address.isLoopback();
}

// Whether the address may be fetched at all; checked before any connection, redirects too.
bool isAllowed(const QUrl& url, const OnlineDownloadOptions& options)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == QLatin1String("https"))
        return true;
    return scheme == QLatin1String("http") && options.allowPlainHttpToLoopback && isLoopback(url);
}

OnlineError refusedAddress()
{
    return OnlineError::network(QStringLiteral("seules les adresses sécurisées (HTTPS) sont acceptées."));
}

// Qt describes transfer failures in English; the person reads one French sentence instead,
// Qt's own text remaining for the rare failures named here by no case.
QString transferFailure(QNetworkReply::NetworkError error, const QUrl& url, const QString& qtText)
{
    switch (error) {
    case QNetworkReply::HostNotFoundError:
        return QStringLiteral("le serveur « %1 » est introuvable.").arg(url.host());
    case QNetworkReply::ConnectionRefusedError:
        return QStringLiteral("le serveur a refusé la connexion.");
    case QNetworkReply::RemoteHostClosedError:
        return QStringLiteral("le serveur a fermé la connexion avant la fin.");
    case QNetworkReply::TimeoutError:
        return QStringLiteral("le fournisseur n’a pas répondu à temps.");
    case QNetworkReply::SslHandshakeFailedError:
        return QStringLiteral("la connexion sécurisée avec le serveur n’a pas pu être établie.");
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return QStringLiteral("le réseau est indisponible.");
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyConnectionClosedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyTimeoutError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
        return QStringLiteral("le serveur mandataire ne répond pas.");
    default:
        return qtText.endsWith(QLatin1Char('.')) ? qtText : qtText + QLatin1Char('.');
    }
}

enum class Stop { none, tooLarge, timeout, cancelled, refusedRedirect, tooManyRedirects, statusKnown };

} // namespace

OnlineResponse download(const QUrl& url, const OnlineDownloadOptions& options)
{
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        throw OnlineError::invalid(QStringLiteral("Réponse HTTP absente."));
    if (!isAllowed(url, options))
        throw refusedAddress();
    if (options.cancelled && options.cancelled->load())
        throw OnlineCancelled();

    QNetworkAccessManager manager;
    manager.setRedirectPolicy(QNetworkRequest::UserVerifiedRedirectPolicy);

    QNetworkRequest request(url);
    request.setRawHeader("Accept", "application/geo+json, application/json, text/html");
    request.setRawHeader("User-Agent", "PelmoraStudio/1.0");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setAttribute(QNetworkRequest::CookieLoadControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::CookieSaveControlAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setMaximumRedirectsAllowed(options.maximumRedirects);

    QNetworkReply* reply = manager.get(request);
    // Qt's own buffer stays small; the body is counted as it arrives.
    reply->setReadBufferSize(256 * 1024);

    QByteArray body;
    Stop stop = Stop::none;
    int status = 0;
    QEventLoop loop;
    QTimer inactivity;
    inactivity.setSingleShot(true);
    QTimer total;
    total.setSingleShot(true);
    QTimer poll;

    auto abortWith = [&](Stop reason) {
        if (stop == Stop::none) {
            stop = reason;
            reply->abort();
        }
        // An aborted reply does not always report its end (a connection still being set up):
        // the wait ends here in any case.
        loop.quit();
    };
    auto readStatus = [&]() {
        const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!code.isValid())
            return;
        // Qt shows a provisional 1xx between the hops of a redirect; only a final status counts.
        if (code.toInt() < 200)
            return;
        status = code.toInt();
        if (status > 299) {
            // Redirections are handled through redirected(); any other status ends here.
            if (status >= 300 && status < 400 && reply->hasRawHeader("Location"))
                return;
            abortWith(Stop::statusKnown);
        }
    };

    QObject::connect(reply, &QNetworkReply::metaDataChanged, &loop, readStatus);
    QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&]() {
        inactivity.start();
        readStatus();
        if (stop != Stop::none)
            return;
        const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (declared > options.maximumSize) {
            abortWith(Stop::tooLarge);
            return;
        }
        const qint64 available = reply->bytesAvailable();
        if (body.size() + available > options.maximumSize) {
            abortWith(Stop::tooLarge);
            return;
        }
        body += reply->read(available);
        if (options.progress)
            options.progress(body.size(), declared > 0 ? declared : -1);
    });
    int hops = 0;
    QObject::connect(reply, &QNetworkReply::redirected, &loop, [&](const QUrl& target) {
        status = 0; // the next hop must bring its own status
        if (++hops > options.maximumRedirects)
            abortWith(Stop::tooManyRedirects);
        else if (isAllowed(target, options))
            emit reply->redirectAllowed();
        else
            abortWith(Stop::refusedRedirect);
    });
    QObject::connect(reply, &QNetworkReply::downloadProgress, &loop, [&]() { inactivity.start(); });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QObject::connect(&inactivity, &QTimer::timeout, &loop, [&]() { abortWith(Stop::timeout); });
    QObject::connect(&total, &QTimer::timeout, &loop, [&]() { abortWith(Stop::timeout); });
    QObject::connect(&poll, &QTimer::timeout, &loop, [&]() {
        if (options.cancelled && options.cancelled->load())
            abortWith(Stop::cancelled);
    });
    inactivity.start(options.inactivityTimeoutMs);
    total.start(options.totalTimeoutMs);
    if (options.cancelled)
        poll.start(50);

    if (!reply->isFinished() && stop == Stop::none)
        loop.exec();

    const QUrl finalURL = reply->url().isValid() ? reply->url() : url;
    const QNetworkReply::NetworkError error = reply->error();
    const QString errorText = reply->errorString();
    // A redirection still pending at the end was not followed: a loop or too many hops.
    const bool unfollowedRedirect = status >= 300 && status < 400 && reply->hasRawHeader("Location");
    // Anything Qt already buffered after the last readyRead still counts against the limit.
    if (stop == Stop::none && error == QNetworkReply::NoError) {
        readStatus();
        if (stop == Stop::none) {
            if (body.size() + reply->bytesAvailable() > options.maximumSize)
                stop = Stop::tooLarge;
            else
                body += reply->readAll();
            if (options.progress && status >= 200 && status <= 299) {
                const qint64 declared = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
                options.progress(body.size(), declared > 0 ? declared : -1);
            }
        }
    }
    reply->deleteLater();

    switch (stop) {
    case Stop::tooLarge:
        throw OnlineError::tooLarge();
    case Stop::timeout:
        throw OnlineError::network(QStringLiteral("le fournisseur n’a pas répondu à temps."));
    case Stop::cancelled:
        throw OnlineCancelled();
    case Stop::tooManyRedirects:
        throw OnlineError::network(QStringLiteral("le fournisseur renvoie vers trop d’adresses successives."));
    case Stop::refusedRedirect:
        throw refusedAddress();
    case Stop::statusKnown:
        return OnlineResponse{QByteArray(), status, finalURL};
    case Stop::none:
        break;
    }
    if (error == QNetworkReply::TooManyRedirectsError || (stop == Stop::none && unfollowedRedirect))
        throw OnlineError::network(QStringLiteral("le fournisseur renvoie vers trop d’adresses successives."));
    if (error != QNetworkReply::NoError) {
        // Qt reports an error for a 4xx/5xx answer too; the status then says all.
        if (status != 0 && (status < 200 || status > 299))
            return OnlineResponse{QByteArray(), status, finalURL};
        throw OnlineError::network(transferFailure(error, finalURL, errorText));
    }
    if (status == 0)
        throw OnlineError::invalid(QStringLiteral("Réponse HTTP absente."));
    if (status < 200 || status > 299)
        return OnlineResponse{QByteArray(), status, finalURL};
    return OnlineResponse{body, status, finalURL};
}

void checkAnswer(const OnlineResponse& response)
{
    if (response.status < 200 || response.status > 299)
        throw OnlineError::http(response.status);
    if (response.data.isEmpty())
        throw OnlineError::empty();
    if (response.data.size() > OnlineError::maximumSize)
        throw OnlineError::tooLarge();

    std::optional<qint64> matched;
    std::optional<qint64> returned;
    try {
        const PlmJsonDocument document = PlmJsonDocument::parse(response.data);
        const PlmJsonValue root = document.root();
        if (!root.isObject())
            return;
        const PlmJsonValue m = root.member("numberMatched");
        const PlmJsonValue r = root.member("numberReturned");
        if (!m.isNumber() || !r.isNumber())
            return;
        matched = m.toInteger();
        returned = r.toInteger();
    } catch (const std::exception&) {
        return; // not JSON, or counts that are not integers: the conversion judges the rest
    }
    if (*matched != *returned)
        throw OnlineError::invalid(QStringLiteral("Le fournisseur n’a envoyé que ")
                                   + PlmFrenchCount::counted(*returned, QStringLiteral("entité sur "), QStringLiteral("entités sur "))
                                   + QString::number(*matched)
                                   + QStringLiteral(". Le fond incomplet n’est pas ajouté."));
}

PlmImportResult acquire(const OnlineMap& entry, const Transport& transport, const std::atomic_bool* cancelled)
{
    if (cancelled && cancelled->load())
        throw OnlineCancelled();
    OnlineResponse response;
    try {
        response = transport(entry.downloadURL);
    } catch (const OnlineError&) {
        throw;
    } catch (const OnlineCancelled&) {
        throw;
    } catch (const PlmError& error) {
        throw OnlineError::network(error.message());
    } catch (const std::exception& error) {
        throw OnlineError::network(QString::fromUtf8(error.what()));
    }
    checkAnswer(response);
    PlmImportResult result = PlmCatalogueConversion::convert(response, entry);
    if (cancelled && cancelled->load())
        throw OnlineCancelled();
    return result;
}

} // namespace PlmOnlineDownload
