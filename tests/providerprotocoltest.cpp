#include "providertesthelpers.h"
#include "base/endpoints.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QObject>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using ProviderTest::Harness;
using ProviderTest::run;
using Reply = Fake17TrackServer::Reply;
using S = Fake17TrackServer;

class ProviderProtocolTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void requestsCarryKeyTypeAndArrayBody()
    {
        Harness h;
        h.server.setTrackInfo(u"1Z999AA10123456784"_s,
                              S::trackInfo(10, {S::event(u"2026-03-01T10:00:00Z"_s, u"x"_s, 10)}));
        const auto outcome = run(h.provider->fetchTracking(u"1Z999AA10123456784"_s, u"ups"_s));
        QVERIFY(outcome && outcome->ok());
        QVERIFY(h.settleBackground());
        const auto requests = h.server.requests();
        QCOMPARE(requests.size(), 2);
        for (const auto &request : requests) {
            QCOMPARE(request.method, QByteArray("POST"));
            QCOMPARE(request.header("17token"), QByteArray("test-key-123"));
            QCOMPARE(request.header("content-type"), QByteArray("application/json"));
            QCOMPARE(request.body, QByteArray(R"([{"carrier":100002,"number":"1Z999AA10123456784"}])"));
        }
        QCOMPARE(requests.first().path, u"/track/v2.2/getrealtimetrackinfo"_s);
        // The key is read for every request, besides the check before the first.
        QCOMPARE(h.keyReads, 1 + 2);

        h.server.clearRequests();
        (void)run(h.provider->detectCarrier(u"ABC"_s));
        QCOMPARE(h.server.requests().first().body, QByteArray(R"([{"number":"ABC"}])"));
    }

    void failures_data()
    {
        QTest::addColumn<Reply>("reply");
        // false: the error of "/register", which a single fetch passes on;
        // true: the error of "/gettrackinfo", which ends a batch.
        QTest::addColumn<bool>("viaBatch");
        QTest::addColumn<QString>("description");
        const bool fetch = false;
        const bool batch = true;
        QTest::newRow("401") << Reply::httpStatus(401) << fetch << TrackingProviderError::apiKeyInvalid().description();
        QTest::newRow("403") << Reply::httpStatus(403) << batch << TrackingProviderError::apiKeyInvalid().description();
        QTest::newRow("429 with seconds") << Reply::httpStatus(429).withHeader("Retry-After", "30") << fetch
                                          << u"Rate limited. Try again in 30 seconds."_s;
        QTest::newRow("429 with fractional seconds") << Reply::httpStatus(429).withHeader("Retry-After", "30.9")
                                                     << batch << u"Rate limited. Try again in 30 seconds."_s;
        QTest::newRow("429 with a date") << Reply::httpStatus(429).withHeader("Retry-After",
                                                                              "Wed, 21 Oct 2026 07:28:00 GMT")
                                         << fetch << u"Rate limited. Please try again later."_s;
        QTest::newRow("429 without header")
            << Reply::httpStatus(429) << fetch << u"Rate limited. Please try again later."_s;
        QTest::newRow("500 with the standard phrase, not the server's")
            << Reply::httpStatus(500) << fetch << u"Provider error: HTTP 500: Internal Server Error"_s;
        QTest::newRow("503") << Reply::httpStatus(503) << batch << u"Provider error: HTTP 503: Service Unavailable"_s;
        QTest::newRow("unlisted 5xx") << Reply::httpStatus(599) << fetch << u"Provider error: HTTP 599: Server Error"_s;
        QTest::newRow("redirect is not followed")
            << Reply::httpStatus(302).withHeader("Location", "http://127.0.0.1:1/elsewhere") << fetch
            << u"Provider error: HTTP 302: Found"_s;
        QTest::newRow("not JSON, register")
            << Reply::raw("<html>oops</html>") << fetch << u"Provider error: Failed to parse register response"_s;
        QTest::newRow("not JSON, tracking")
            << Reply::raw("<html>oops</html>") << batch << u"Provider error: Failed to parse tracking response"_s;
        QTest::newRow("truncated JSON") << Reply::raw("{\"code\":0,\"data\":{\"accep") << batch
                                        << u"Provider error: Failed to parse tracking response"_s;
        QTest::newRow("bare record instead of envelope")
            << Reply::json(QJsonObject {{u"number"_s, u"A"_s}, {u"carrier"_s, 3011}}) << fetch
            << u"Provider error: Failed to parse register response"_s;
        QTest::newRow("data of wrong type") << Reply::raw(R"({"code":0,"data":"none"})") << batch
                                            << u"Provider error: Failed to parse tracking response"_s;
        QTest::newRow("empty 200") << Reply::raw("") << fetch << u"Provider error: Failed to parse register response"_s;
        QTest::newRow("service code for a bad key") << Reply::json(S::envelope({}, {}, -18019904)) << batch
                                                    << TrackingProviderError::apiKeyInvalid().description();
        QTest::newRow("service code for an undetectable carrier")
            << Reply::json(S::envelope({}, {}, -18019903, u"anything"_s)) << fetch
            << u"Provider error: Carrier could not be detected. Please select a carrier manually."_s;
        QTest::newRow("connection reset") << Reply::resetConnection() << fetch << u"Network error: Connection closed"_s;
        QTest::newRow("body cut short") << Reply::truncated(QJsonDocument(S::envelope({})).toJson()) << batch
                                        << u"Network error: Connection closed"_s;
        QTest::newRow("server never answers")
            << Reply::neverAnswer() << fetch << u"Network error: The request timed out."_s;
        QTest::newRow("huge body") << Reply::raw(
            QByteArray(9 * 1024 * 1024, ' ')
            + "{}") << batch << u"Provider error: The response from 17track was larger than 8 MiB and was not read."_s;
    }
    void failures()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, viaBatch);
        QFETCH(QString, description);
        Harness h(300ms);
        h.server.setRealTimeEnabled(false);
        h.server.setReply(viaBatch ? u"gettrackinfo"_s : u"register"_s, reply);
        QString actual;
        if (!viaBatch) {
            const auto outcome = run(h.provider->fetchTracking(u"A1"_s, {}));
            QVERIFY(outcome && !outcome->ok());
            actual = outcome->error().description();
        } else {
            const auto outcome = run(h.provider->fetchTrackingBatch({{u"A1"_s, {}}}));
            QVERIFY(outcome && !outcome->ok());
            actual = outcome->error().description();
        }
        // Transport texts come from the platform; they must name the failure, whatever the exact words.
        if (description.startsWith(u"Network error: Connection closed"_s))
            QVERIFY2(actual.startsWith(u"Network error: "_s) && actual.size() > 15, qPrintable(actual));
        else
            QCOMPARE(actual, description);
    }

    void keyIsNeverSentInPlainTextToAnotherHost_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("https") << "https://api.17track.net/track/v2.2" << true;
        QTest::newRow("http to 127.0.0.1") << "http://127.0.0.1:8080/track/v2.2" << true;
        QTest::newRow("http to localhost") << "http://localhost/track/v2.2" << true;
        QTest::newRow("http to IPv6 loopback") << "http://[::1]:9/track/v2.2" << true;
        QTest::newRow("http to another host") << "http://api.17track.net/track/v2.2" << false;
        QTest::newRow("http to a private address") << "http://192.168.1.2/track/v2.2" << false;
        QTest::newRow("ftp") << "ftp://127.0.0.1/track/v2.2" << false;
        QTest::newRow("no host") << "/track/v2.2" << false;
    }
    void keyIsNeverSentInPlainTextToAnotherHost()
    {
        QFETCH(QString, url);
        QFETCH(bool, allowed);
        QCOMPARE(Endpoints::mayCarryCredentials(QUrl(url)), allowed);
    }

    void insecureAddressIsRefusedWithoutARequest()
    {
        Harness h;
        const auto provider = h.makeProvider(u"http://api.17track.net/track/v2.2"_s, 1s);
        const auto outcome = run(provider->fetchTrackingBatch({{u"A1"_s, {}}}));
        QVERIFY(outcome && !outcome->ok());
        QCOMPARE(outcome->error().description(),
                 u"Provider error: Refusing to send the API key to http://api.17track.net/track/v2.2/gettrackinfo: "
                 "only HTTPS, or plain HTTP to this computer, is allowed."_s);
        QVERIFY(h.network.sent.isEmpty());
    }

    void unreachableServerIsANetworkError()
    {
        Harness h;
        const quint16 port = h.server.port();
        const auto provider = h.makeProvider(u"http://127.0.0.1:%1/track/v2.2"_s.arg(port), 1s);
        h.server.close();
        const auto outcome = run(provider->fetchTrackingBatch({{u"A1"_s, {}}}));
        QVERIFY(outcome && !outcome->ok());
        QCOMPARE(outcome->error().kind(), TrackingProviderError::Kind::networkError);
        QCOMPARE(outcome->error().description(), u"Network error: Connection refused"_s);
    }

    void baseAddressComesFromTheEnvironment()
    {
        QCOMPARE(Endpoints::seventeenTrackBaseUrl(), u"https://api.17track.net/track/v2.2"_s);
        qputenv("KESTROVE_17TRACK_BASE_URL", "http://127.0.0.1:4567/track/v2.2/");
        QCOMPARE(Endpoints::seventeenTrackBaseUrl(), u"http://127.0.0.1:4567/track/v2.2"_s);
        QCOMPARE(SeventeenTrackProvider().baseURL(), u"http://127.0.0.1:4567/track/v2.2"_s);
        qunsetenv("KESTROVE_17TRACK_BASE_URL");
        QCOMPARE(SeventeenTrackProvider().baseURL(), u"https://api.17track.net/track/v2.2"_s);
        QCOMPARE(SeventeenTrackProvider().providerName(), u"17track"_s);
    }
};

KESTROVE_TEST_MAIN(ProviderProtocolTest)
#include "providerprotocoltest.moc"
