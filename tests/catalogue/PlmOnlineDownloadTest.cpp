#include "catalogue/PlmOnlineDownload.h"

#include <QCoreApplication>
#include <QTimer>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QtConcurrent/QtConcurrentRun>
#include "model/PlmEntity.h"
#include "support/EventWait.h"
#include "support/LoopbackHttpServer.h"
#include <functional>
#include <gtest/gtest.h>

namespace {

using Server = LoopbackHttpServer;

OnlineDownloadOptions testOptions()
{
    OnlineDownloadOptions options;
    options.allowPlainHttpToLoopback = true;
    // Loopback answers at once; these only end a request that a broken test would leave open.
    options.inactivityTimeoutMs = int(std::chrono::milliseconds(EventWait::guard).count());
    options.totalTimeoutMs = options.inactivityTimeoutMs;
    return options;
}

template <typename F>
OnlineError onlineErrorOf(F&& call)
{
    try {
        call();
    } catch (const OnlineError& error) {
        return error;
    }
    ADD_FAILURE() << "no OnlineError";
    return OnlineError::empty();
}

} // namespace

TEST(PlmOnlineDownload, RefusesPlainHttpAndOtherSchemesBeforeAnyConnection)
{
    Server server([](const QByteArray&) { return Server::ok("{}"); });
    const OnlineError plain = onlineErrorOf([&] { PlmOnlineDownload::download(server.url("/a.json")); });
    EXPECT_EQ(plain.kind(), OnlineError::Kind::network);
    EXPECT_EQ(plain.message(), QStringLiteral("Téléchargement impossible : seules les adresses sécurisées (HTTPS) "
                                              "sont acceptées. Vérifiez votre connexion puis réessayez."));
    QCoreApplication::processEvents();
    EXPECT_EQ(server.connections(), 0);

    const OnlineError file =
        onlineErrorOf([&] { PlmOnlineDownload::download(QUrl(QStringLiteral("file:///etc/hostname"))); });
    EXPECT_EQ(file.message(), QStringLiteral("Le fond reçu ne peut pas être converti : Réponse HTTP absente."));
}

TEST(PlmOnlineDownload, SendsOnlyItsTwoHeadersAndNoCookie)
{
    Server server([](const QByteArray&) { return Server::ok("{\"a\":1}", "Set-Cookie: session=secret; Path=/\r\n"); });
    for (int i = 0; i < 2; ++i) {
        const OnlineResponse response = PlmOnlineDownload::download(server.url("/a.json"), testOptions());
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.data, QByteArray("{\"a\":1}"));
        EXPECT_EQ(response.finalURL, server.url("/a.json"));
    }
    ASSERT_EQ(server.heads().size(), 2);
    for (const QByteArray& head : server.heads()) {
        EXPECT_TRUE(head.contains("\r\nAccept: application/geo+json, application/json, text/html\r\n")) << head.constData();
        EXPECT_TRUE(head.contains("\r\nUser-Agent: PelmoraStudio/1.0\r\n"));
        EXPECT_FALSE(head.toLower().contains("cookie:"));
        EXPECT_FALSE(head.toLower().contains("authorization:"));
    }
}

TEST(PlmOnlineDownload, RunsOnAWorkerThreadWhileTheMainThreadServes)
{
    Server server([](const QByteArray&) { return Server::ok("[1]"); });
    const QUrl url = server.url("/worker.json");
    QFutureWatcher<OnlineResponse> watcher;
    QEventLoop loop;
    QObject::connect(&watcher, &QFutureWatcher<OnlineResponse>::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(EventWait::guard, &loop, &QEventLoop::quit);
    watcher.setFuture(QtConcurrent::run([url] { return PlmOnlineDownload::download(url, testOptions()); }));
    loop.exec();
    ASSERT_TRUE(watcher.isFinished());
    EXPECT_EQ(watcher.result().data, QByteArray("[1]"));
}

TEST(PlmOnlineDownload, ErrorStatusComesBackWithAnEmptyBody)
{
    Server server([](const QByteArray&) {
        return QByteArray("HTTP/1.1 404 Not Found\r\nContent-Length: 9\r\nConnection: close\r\n\r\nnot found");
    });
    const OnlineResponse response = PlmOnlineDownload::download(server.url("/missing"), testOptions());
    EXPECT_EQ(response.status, 404);
    EXPECT_TRUE(response.data.isEmpty());

    const OnlineError error = onlineErrorOf([&] { PlmOnlineDownload::checkAnswer(response); });
    EXPECT_EQ(error.kind(), OnlineError::Kind::http);
    EXPECT_EQ(error.message(),
              QStringLiteral("Le fournisseur a répondu HTTP 404. Réessayez plus tard ou consultez la source."));
}

TEST(PlmOnlineDownload, SizeLimitIsEnforcedWhileReading)
{
    const QByteArray exact(1000, 'x');
    Server server([&](const QByteArray& head) {
        const QByteArray path = Server::pathOf(head);
        if (path == "/exact")
            return Server::ok(exact);
        if (path == "/over")
            return Server::ok(exact + 'x');
        // No declared length and far more than the limit: must stop at the limit.
        return QByteArray("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n") + QByteArray(4 * 1024 * 1024, 'y');
    });
    OnlineDownloadOptions options = testOptions();
    options.maximumSize = 1000;
    EXPECT_EQ(PlmOnlineDownload::download(server.url("/exact"), options).data, exact);
    const QString tooLarge = QStringLiteral("Le fichier reçu dépasse la taille prévue pour ces fonds (64 Mo).");
    EXPECT_EQ(onlineErrorOf([&] { PlmOnlineDownload::download(server.url("/over"), options); }).message(), tooLarge);
    EXPECT_EQ(onlineErrorOf([&] { PlmOnlineDownload::download(server.url("/stream"), options); }).message(), tooLarge);
}

TEST(PlmOnlineDownload, RedirectsAreFollowedOnlyToAllowedAddresses)
{
    Server* self = nullptr;
    Server server([&](const QByteArray& head) {
        const QByteArray path = Server::pathOf(head);
        auto redirect = [](const QByteArray& to) {
            return "HTTP/1.1 302 Found\r\nLocation: " + to + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        };
        if (path == "/moved")
            return redirect(self->url("/final.json").toEncoded());
        if (path == "/outside")
            return redirect("http://192.0.2.1/plain.json");
        if (path == "/loop")
            return redirect(self->url("/loop").toEncoded());
        return Server::ok("{}");
    });
    self = &server;
    const OnlineResponse moved = PlmOnlineDownload::download(server.url("/moved"), testOptions());
    EXPECT_EQ(moved.status, 200);
    EXPECT_EQ(moved.finalURL, server.url("/final.json"));

    const OnlineError outside =
        onlineErrorOf([&] { PlmOnlineDownload::download(server.url("/outside"), testOptions()); });
    EXPECT_EQ(outside.kind(), OnlineError::Kind::network);
    EXPECT_TRUE(outside.text().contains(QStringLiteral("HTTPS")));

    const int before = server.connections();
    const OnlineError loop = onlineErrorOf([&] { PlmOnlineDownload::download(server.url("/loop"), testOptions()); });
    EXPECT_NE(loop.kind(), OnlineError::Kind::empty); // an error, whichever hop Qt gave up on
    EXPECT_LE(server.connections() - before, 30);
}

TEST(PlmOnlineDownload, SilentServerTimesOutAndCancellationIsNotAFailure)
{
    Server server([](const QByteArray&) { return QByteArray(); });
    OnlineDownloadOptions options = testOptions();
    options.inactivityTimeoutMs = 300;
    const OnlineError late = onlineErrorOf([&] { PlmOnlineDownload::download(server.url("/slow"), options); });
    EXPECT_EQ(late.message(), QStringLiteral("Téléchargement impossible : le fournisseur n’a pas répondu à temps. "
                                             "Vérifiez votre connexion puis réessayez."));

    // The person cancels once the request is in flight, before any answer.
    std::atomic_bool cancelled = false;
    Server held([&cancelled](const QByteArray&) {
        cancelled = true;
        return QByteArray();
    });
    options = testOptions();
    options.cancelled = &cancelled;
    EXPECT_THROW(PlmOnlineDownload::download(held.url("/slow"), options), OnlineCancelled);
}

TEST(PlmOnlineDownload, AnswerChecksRefuseEmptyAndIncompleteAnswers)
{
    OnlineResponse response{QByteArray(), 200, QUrl(QStringLiteral("https://x.example/a"))};
    EXPECT_EQ(onlineErrorOf([&] { PlmOnlineDownload::checkAnswer(response); }).message(),
              QStringLiteral("Le fournisseur a envoyé un fichier vide."));

    response.data = R"({"type":"FeatureCollection","numberMatched":10,"numberReturned":5,"features":[]})";
    EXPECT_EQ(onlineErrorOf([&] { PlmOnlineDownload::checkAnswer(response); }).message(),
              QStringLiteral("Le fond reçu ne peut pas être converti : Le fournisseur n’a envoyé que 5 entités sur "
                             "10. Le fond incomplet n’est pas ajouté."));

    for (const QByteArray& passing : {QByteArray(R"({"numberMatched":"10","numberReturned":5})"),
                                      QByteArray(R"({"features":[]})"), QByteArray(R"({"numberMatched":5,"numberReturned":5})"),
                                      QByteArray("not json"), QByteArray("[1,2]")}) {
        response.data = passing;
        EXPECT_NO_THROW(PlmOnlineDownload::checkAnswer(response)) << passing.constData();
    }
}

TEST(PlmOnlineDownload, AcquireMapsTransportErrorsAndConverts)
{
    OnlineMap entry;
    entry.id = QStringLiteral("ne-pays");
    entry.name = QStringLiteral("Pays");
    entry.category = OnlineCategory::world;
    entry.vintage = QStringLiteral("5.1");
    entry.downloadURL = QUrl(QStringLiteral("https://x.example/pays.geojson"));
    entry.nameAttribute = QStringLiteral("NAME");

    const QByteArray geojson =
        R"({"type":"FeatureCollection","numberMatched":"1","features":[{"type":"Feature","properties":{"NAME":"Ici"},)"
        R"("geometry":{"type":"Polygon","coordinates":[[[0,0],[1,0],[1,1],[0,0]]]}}]})";
    QUrl asked;
    const PlmImportResult result = PlmOnlineDownload::acquire(entry, [&](const QUrl& url) {
        asked = url;
        return OnlineResponse{geojson, 200, url};
    });
    EXPECT_EQ(asked, entry.downloadURL);
    EXPECT_EQ(result.map.name, QStringLiteral("Pays — 5.1"));
    EXPECT_EQ(result.map.entities.at(0).name, QStringLiteral("Ici"));

    const OnlineError network = onlineErrorOf([&] {
        PlmOnlineDownload::acquire(entry, [](const QUrl&) -> OnlineResponse { throw std::runtime_error("Hôte introuvable."); });
    });
    EXPECT_EQ(network.message(),
              QStringLiteral("Téléchargement impossible : Hôte introuvable. Vérifiez votre connexion puis réessayez."));

    EXPECT_THROW(PlmOnlineDownload::acquire(entry, [](const QUrl&) -> OnlineResponse { throw OnlineCancelled(); }),
                 OnlineCancelled);

    std::atomic_bool cancelled = false;
    auto cancelDuring = [&](const QUrl& url) {
        cancelled = true;
        return OnlineResponse{geojson, 200, url};
    };
    EXPECT_THROW(PlmOnlineDownload::acquire(entry, cancelDuring, &cancelled), OnlineCancelled);
}

TEST(PlmOnlineDownload, ARefusedConnectionIsSaidInFrench)
{
    quint16 port = 0;
    {
        QTcpServer closed; // a port that was free a moment ago and now has no listener
        ASSERT_TRUE(closed.listen(QHostAddress::LocalHost, 0));
        port = closed.serverPort();
    }
    const QUrl url(QStringLiteral("http://127.0.0.1:%1/index.json").arg(port));
    const OnlineError refused = onlineErrorOf([&] { PlmOnlineDownload::download(url, testOptions()); });
    EXPECT_EQ(refused.message(), QStringLiteral("Téléchargement impossible : le serveur a refusé la connexion. "
                                                "Vérifiez votre connexion puis réessayez."));
}

TEST(PlmOnlineDownload, ReportsTheBytesReceivedAgainstTheDeclaredLength)
{
    const QByteArray body(300 * 1024, 'x');
    Server server([&](const QByteArray&) { return Server::ok(body); });
    OnlineDownloadOptions options = testOptions();
    QList<QPair<qint64, qint64>> reported;
    options.progress = [&](qint64 received, qint64 total) { reported.append({received, total}); };
    const OnlineResponse response = PlmOnlineDownload::download(server.url("/big.json"), options);
    EXPECT_EQ(response.data, body);
    ASSERT_FALSE(reported.isEmpty());
    EXPECT_EQ(reported.last(), (QPair<qint64, qint64>(body.size(), body.size())));
    for (qsizetype i = 1; i < reported.size(); ++i)
        EXPECT_GE(reported.at(i).first, reported.at(i - 1).first);
}
