// The tracking provider contract and the 17TRACK client against a fake server on 127.0.0.1, in
// virtual time: requests on the wire, failures, registration schedules, batches and pacing.
#include "base/endpoints.h"
#include "carriers/carrierdetector.h"
#include "fake17trackserver.h"
#include "providers/seventeentrackprovider.h"
#include "taskrunner.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QObject>
#include <QTest>

#include <array>
#include <cmath>
#include <limits>

using namespace Qt::Literals::StringLiterals;
using namespace std::chrono_literals;
using Kind = TrackingProviderError::Kind;
using Reply = Fake17TrackServer::Reply;
using S = Fake17TrackServer;

/** Readable failure messages for QCOMPARE on provider errors. */
inline char *toString(const TrackingProviderError &error)
{
    return QTest::toString(error.description());
}

namespace
{
const QString usNumber = u"9400111899223197428490"_s;

template<typename T> std::optional<T> run(QCoro::Task<T> &&task)
{
    return TestSupport::runTask(std::move(task));
}

/**
 * Records when the provider hands each request to the network, in the provider's own (virtual)
 * time. The fake server stamps arrival, which can be later when other tasks move virtual time
 * while a request travels; pacing is a promise about sending.
 */
class SendLog final : public QNetworkAccessManager
{
public:
    explicit SendLog(Clock *clock)
        : m_clock(clock)
    { }
    QList<QPair<QDateTime, QString>> sent;

    [[nodiscard]] qint64 msecsBetween(qsizetype from, qsizetype to) const
    {
        return sent.at(from).first.msecsTo(sent.at(to).first);
    }
    [[nodiscard]] QList<qsizetype> indexesOf(const QString &endpoint) const
    {
        QList<qsizetype> indexes;
        for (qsizetype i = 0; i < sent.size(); ++i) {
            if (sent.at(i).second == endpoint)
                indexes.append(i);
        }
        return indexes;
    }
    /** The smallest spacing between two consecutive sends; a large value when there were fewer than two. */
    [[nodiscard]] qint64 smallestSpacing() const
    {
        qint64 smallest = std::numeric_limits<qint64>::max();
        for (qsizetype i = 1; i < sent.size(); ++i)
            smallest = std::min(smallest, msecsBetween(i - 1, i));
        return smallest;
    }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request, QIODevice *data) override
    {
        sent.append({m_clock->now(), request.url().path().section(u'/', -1)});
        return QNetworkAccessManager::createRequest(op, request, data);
    }

private:
    Clock *m_clock;
};

/** A provider on a virtual clock, talking to a fresh fake server, with a key the test controls. */
struct Harness {
    explicit Harness(std::chrono::milliseconds timeout = 5s)
        : server(&clock)
        , network(&clock)
    {
        clock.setAutoAdvance(true);
        if (!server.listen())
            qFatal("fake 17TRACK server cannot listen");
        provider = makeProvider(server.baseUrl(), timeout);
    }

    std::unique_ptr<SeventeenTrackProvider> makeProvider(const QString &baseUrl, std::chrono::milliseconds timeout)
    {
        SeventeenTrackProvider::Options options;
        options.clock = &clock;
        options.network = &network;
        options.baseURL = baseUrl;
        options.requestTimeout = timeout;
        options.apiKey = [this] { return ++keyReads > keyReadsAllowed ? std::nullopt : key; };
        return std::make_unique<SeventeenTrackProvider>(options);
    }

    /** Waits (real time) until the background registrations of the provider have ended. */
    bool settleBackground()
    {
        return QTest::qWaitFor([&] { return provider->backgroundTaskCount() == 0; }, 10000);
    }

    VirtualClock clock;
    Fake17TrackServer server;
    SendLog network;
    std::optional<QString> key = u"test-key-123"_s;
    int keyReads = 0;
    int keyReadsAllowed = std::numeric_limits<int>::max();
    std::unique_ptr<SeventeenTrackProvider> provider;
};

QJsonObject eventsInfo(qint64 latest, const QString &description = u"Arrived at facility"_s)
{
    return S::trackInfo(latest, QJsonArray {S::event(u"2026-03-01T10:00:00Z"_s, description, 10, u"Louisville, KY"_s)});
}

/**
 * Answers after a virtual pause and counts how many fetches overlap, so the default batch's
 * one-after-another promise is observable.
 */
class SlowProvider final : public TrackingProvider
{
public:
    explicit SlowProvider(Clock *clock)
        : m_clock(clock)
    { }
    [[nodiscard]] QString providerName() const override { return u"slow"_s; }
    [[nodiscard]] bool isConfigured() const override { return true; }
    QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString> carrierCode) override
    {
        maxRunning = std::max(maxRunning, ++m_running);
        calls.append({trackingNumber, carrierCode});
        co_await m_clock->sleep(1s);
        --m_running;
        if (trackingNumber.startsWith(u'X'))
            co_return TrackingOutcome::failure(TrackingProviderError::trackingNotFound());
        if (trackingNumber.startsWith(u'T'))
            throw std::runtime_error("socket exploded");
        TrackingResult result;
        result.trackingNumber = trackingNumber;
        result.carrierCode = carrierCode.value_or(QString());
        co_return result;
    }
    QCoro::Task<DetectionOutcome> detectCarrier(QString) override { co_return QList<CarrierDetectionResult>(); }

    QList<TrackingRequest> calls;
    int maxRunning = 0;

private:
    Clock *m_clock;
    int m_running = 0;
};
}

class ProviderClientTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rateLimitDescriptions_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("description");
        const QString later = u"Rate limited. Please try again later."_s;
        QTest::newRow("a negative time is truncated towards zero")
            << -5.7 << u"Rate limited. Try again in -5 seconds."_s;
        QTest::newRow("a large whole number is shown in full")
            << 1e16 << u"Rate limited. Try again in 10000000000000000 seconds."_s;
        QTest::newRow("beyond 64 bits reads as later") << 1e19 << later;
        QTest::newRow("infinity reads as later") << std::numeric_limits<double>::infinity() << later;
        QTest::newRow("NaN reads as later") << std::nan("") << later;
    }
    void rateLimitDescriptions()
    {
        QFETCH(double, seconds);
        QFETCH(QString, description);
        QCOMPARE(TrackingProviderError::rateLimited(seconds).description(), description);
    }

    void placeholderRefusesFetchesAndDetectsOffline()
    {
        PlaceholderProvider provider(u"AfterShip"_s);
        QVERIFY(!provider.isConfigured());
        const auto batch = run(provider.fetchTrackingBatch({{u"A1"_s, {}}, {u"B2"_s, u"ups"_s}}));
        QVERIFY(batch && batch->ok());
        QCOMPARE(batch->value().size(), 2);
        for (const TrackingOutcome &entry : batch->value()) {
            QCOMPARE(entry.error().kind(), Kind::providerError);
            QCOMPARE(entry.error().message(), u"AfterShip support coming soon. Please use 17track for now."_s);
        }
        const auto detected = run(provider.detectCarrier(u"1Z999AA10123456784"_s));
        QVERIFY(detected && detected->ok() && !detected->value().isEmpty());
        QCOMPARE(detected->value(), CarrierDetector::detect(u"1Z999AA10123456784"_s));
    }

    void defaultBatchRunsOneAfterAnother()
    {
        VirtualClock clock;
        clock.setAutoAdvance(true);
        SlowProvider provider(&clock);
        const QList<TrackingRequest> requests {{u"A1"_s, u"ups"_s}, {u"X2"_s, {}}, {u"T3"_s, {}}, {u"B4"_s, {}}};
        const QDateTime start = clock.now();
        const auto batch = run(provider.fetchTrackingBatch(requests));
        QVERIFY(batch && batch->ok());
        QCOMPARE(provider.maxRunning, 1);
        QCOMPARE(provider.calls, requests);
        QCOMPARE(start.secsTo(clock.now()), 4);
        const QList<TrackingOutcome> &entries = batch->value();
        QCOMPARE(entries.at(0).value().carrierCode, u"ups"_s);
        QCOMPARE(entries.at(1).error(), TrackingProviderError::trackingNotFound());
        QCOMPARE(entries.at(2).error().description(), u"Network error: socket exploded"_s);
        QCOMPARE(entries.at(3).value().trackingNumber, u"B4"_s);
    }

    void failures_data()
    {
        QTest::addColumn<Reply>("reply");
        // false: the error of "/register", which a single fetch passes on;
        // true: the error of "/gettrackinfo", which ends a batch.
        QTest::addColumn<bool>("viaBatch");
        QTest::addColumn<QString>("description");
        const auto fetch = [](const char *name, const Reply &reply, const QString &description) {
            QTest::newRow(name) << reply << false << description;
        };
        const auto batch = [](const char *name, const Reply &reply, const QString &description) {
            QTest::newRow(name) << reply << true << description;
        };
        const auto retryAfter
            = [](const QByteArray &value) { return Reply::httpStatus(429).withHeader("Retry-After", value); };
        const QString badKey = TrackingProviderError::apiKeyInvalid().description();
        const QString in30 = u"Rate limited. Try again in 30 seconds."_s;
        const QString unparsedRegister = u"Provider error: Failed to parse register response"_s;
        const QString closed = u"Network error: Connection closed"_s;
        const QString timedOut = u"Network error: The request timed out."_s;
        fetch("401", Reply::httpStatus(401), badKey);
        fetch("429 with seconds", retryAfter("30"), in30);
        fetch("429 with fractional seconds", retryAfter("30.9"), in30);
        fetch("429 with a date", retryAfter("Wed, 21 Oct 2026 07:28:00 GMT"),
              u"Rate limited. Please try again later."_s);
        fetch("500 with the standard phrase, not the server's", Reply::httpStatus(500),
              u"Provider error: HTTP 500: Internal Server Error"_s);
        fetch("unlisted 5xx", Reply::httpStatus(599), u"Provider error: HTTP 599: Server Error"_s);
        fetch("redirect is not followed", Reply::httpStatus(302).withHeader("Location", "http://127.0.0.1:1/elsewhere"),
              u"Provider error: HTTP 302: Found"_s);
        fetch("not JSON, register", Reply::raw("<html>oops</html>"), unparsedRegister);
        batch("not JSON, tracking", Reply::raw("<html>oops</html>"),
              u"Provider error: Failed to parse tracking response"_s);
        fetch("bare record instead of envelope", Reply::json(QJsonObject {{u"number"_s, u"A"_s}, {u"carrier"_s, 3011}}),
              unparsedRegister);
        batch("service code for a bad key", Reply::json(S::envelope({}, {}, -18019904)), badKey);
        fetch("connection reset", Reply::resetConnection(), closed);
        batch("body cut short", Reply::truncated(QJsonDocument(S::envelope({})).toJson()), closed);
        fetch("server never answers", Reply::neverAnswer(), timedOut);
        batch("server trickles a byte at a time past the deadline", Reply::trickle(QByteArray(100, ' ')), timedOut);
        batch("huge body", Reply::raw(QByteArray(9 * 1024 * 1024, ' ') + "{}"),
              u"Provider error: The response from 17track was larger than 8 MiB and was not read."_s);
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

    void keyIsNeverSentInPlainTextToAnotherHost()
    {
        for (const char *allowed : {"https://api.17track.net/track/v2.2", "http://127.0.0.1:8080/track/v2.2",
                                    "http://localhost/track/v2.2", "http://[::1]:9/track/v2.2"})
            QVERIFY2(Endpoints::mayCarryCredentials(QUrl(QString::fromLatin1(allowed))), allowed);
        for (const char *refused : {"http://api.17track.net/track/v2.2", "http://192.168.1.2/track/v2.2",
                                    "ftp://127.0.0.1/track/v2.2", "/track/v2.2"})
            QVERIFY2(!Endpoints::mayCarryCredentials(QUrl(QString::fromLatin1(refused))), refused);
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

    void firstRequestGoesAtOnceSecondWaitsTheRemainder()
    {
        Harness h;
        h.clock.setAutoAdvance(false);
        h.server.setCarrierMatches(u"123456789012"_s, {{100003, u"FedEx"_s}});
        std::optional<DetectionOutcome> first;
        std::optional<DetectionOutcome> second;
        QObject context;
        QCoro::connect(h.provider->detectCarrier(u"123456789012"_s), &context,
                       [&](DetectionOutcome &&o) { first.emplace(std::move(o)); });
        QTRY_VERIFY(first.has_value());
        QVERIFY(h.clock.requestedSleeps().isEmpty());

        h.clock.advance(100ms);
        QCoro::connect(h.provider->detectCarrier(u"123456789012"_s), &context,
                       [&](DetectionOutcome &&o) { second.emplace(std::move(o)); });
        QTRY_COMPARE(h.clock.pendingSleepers(), 1);
        QCOMPARE(h.clock.requestedSleeps(), (QList<std::chrono::milliseconds> {250ms}));
        QCOMPARE(h.server.requests().size(), 1);
        h.clock.advance(250ms);
        QTRY_VERIFY(second.has_value());
        QCOMPARE(h.server.requests().size(), 2);
        QCOMPARE(h.network.msecsBetween(0, 1), 350);
    }

    void realTimeAnswerWithEventsReturnsAfterOneRequest()
    {
        Harness h;
        h.server.setTrackInfo(usNumber, eventsInfo(10));
        const auto outcome = run(h.provider->fetchTracking(u"  "_s + usNumber + u"\n"_s, u"USPS"_s));
        QVERIFY(outcome && outcome->ok());
        const TrackingResult &result = outcome->value();
        QCOMPARE(result.trackingNumber, usNumber);
        QCOMPARE(result.carrierCode, u"usps"_s);
        QCOMPARE(result.status, TrackingStatus::inTransit);
        QCOMPARE(result.events.size(), 1);
        QCOMPARE(h.server.endpointLog().first(), u"getrealtimetrackinfo"_s);

        QVERIFY(h.settleBackground());
        QCOMPARE(h.server.endpointLog(), (QStringList {u"getrealtimetrackinfo"_s, u"register"_s}));
        for (const auto &request : h.server.requests()) {
            QCOMPARE(request.method, QByteArray("POST"));
            QCOMPARE(request.header("17token"), QByteArray("test-key-123"));
            QCOMPARE(request.header("content-type"), QByteArray("application/json"));
            QCOMPARE(request.body, "[{\"carrier\":21051,\"number\":\"" + usNumber.toLatin1() + "\"}]");
        }
        QCOMPARE(h.server.requests().first().path, u"/track/v2.2/getrealtimetrackinfo"_s);
        QCOMPARE(h.keyReads, 1 + 2); // read for every request, besides the check before the first
        QVERIFY(h.server.isRegistered(usNumber));
        QVERIFY(h.network.smallestSpacing() >= 350);
    }

    void pendingRealTimeRecordFallsBackToTheLongSchedule()
    {
        Harness h;
        // Real time knows the number but has nothing yet; registered data stays empty too.
        h.server.setReply(u"getrealtimetrackinfo"_s,
                          Reply::json(S::envelope({S::trackData(usNumber, 21051, S::trackInfo(0))})));
        const QDateTime start = h.clock.now();
        const auto outcome = run(h.provider->fetchTracking(usNumber, {}));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(outcome->value().status, TrackingStatus::pending);
        QVERIFY(outcome->value().events.isEmpty());
        QVERIFY(h.settleBackground());

        // The caller's registration goes first and is the new one; the background one finds it done.
        const auto registers = h.network.indexesOf(u"register"_s);
        const auto infos = h.network.indexesOf(u"gettrackinfo"_s);
        QCOMPARE(registers.size(), 2);
        QCOMPARE(infos.size(), 4);
        // The background registration may move virtual time while the caller's answer travels.
        QVERIFY(h.network.msecsBetween(registers.first(), infos.at(0)) >= 5000);
        QVERIFY(h.network.msecsBetween(registers.first(), infos.at(0)) <= 5350);
        QCOMPARE(h.network.msecsBetween(infos.at(0), infos.at(1)), 10000);
        QCOMPARE(h.network.msecsBetween(infos.at(1), infos.at(2)), 15000);
        QCOMPARE(h.network.msecsBetween(infos.at(2), infos.at(3)), 20000);
        QVERIFY(start.msecsTo(h.clock.now()) >= 50000);
        QVERIFY(h.network.smallestSpacing() >= 350);
        // The follow-up requests carry the carrier the registration reported.
        for (const auto &request : h.server.requests(u"gettrackinfo"_s))
            QCOMPARE(request.carriers, (QList<std::optional<qint64>> {std::nullopt}));
    }

    void newRegistrationStopsAtTheFirstAttemptWithData()
    {
        Harness h;
        h.server.setRealTimeEnabled(false);
        h.server.setTrackInfo(u"1Z999AA10123456784"_s, eventsInfo(10), 100002);
        h.server.enqueue(u"gettrackinfo"_s,
                         Reply::json(S::envelope({S::trackData(u"1Z999AA10123456784"_s, 100002, S::trackInfo(0))})));
        const auto outcome = run(h.provider->fetchTracking(u"1Z999AA10123456784"_s, {}));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(outcome->value().status, TrackingStatus::inTransit);
        QCOMPARE(outcome->value().carrierCode, u"ups"_s);
        QCOMPARE(h.server.endpointLog(),
                 (QStringList {u"getrealtimetrackinfo"_s, u"register"_s, u"gettrackinfo"_s, u"gettrackinfo"_s}));
        // No code was given: the number the registration reported is used from then on.
        QCOMPARE(h.server.requests(u"register"_s).first().carriers, (QList<std::optional<qint64>> {std::nullopt}));
        for (const auto &request : h.server.requests(u"gettrackinfo"_s))
            QCOMPARE(request.carriers, (QList<std::optional<qint64>> {100002}));
        const auto infos = h.network.indexesOf(u"gettrackinfo"_s);
        QCOMPARE(h.network.msecsBetween(infos.at(0), infos.at(1)), 10000);
    }

    void existingRegistrationWithoutDataEndsNotFoundAfterThreeSeconds()
    {
        Harness h;
        h.server.setRealTimeEnabled(false);
        h.server.setRegistered(usNumber, 21051);
        h.server.setReply(u"gettrackinfo"_s, Reply::json(S::envelope({}, {})));
        const QDateTime start = h.clock.now();
        const auto outcome = run(h.provider->fetchTracking(usNumber, u"usps"_s));
        QVERIFY(outcome && !outcome->ok());
        QCOMPARE(outcome->error(), TrackingProviderError::trackingNotFound());
        const auto infos = h.network.indexesOf(u"gettrackinfo"_s);
        QCOMPARE(infos.size(), 2);
        QCOMPARE(h.network.msecsBetween(h.network.indexesOf(u"register"_s).first(), infos.at(0)), 350);
        QCOMPARE(h.network.msecsBetween(infos.at(0), infos.at(1)), 3000);
        QCOMPARE(start.msecsTo(h.clock.now()), 350 + 350 + 3000);
    }

    void alreadyRegisteredRejectionUsesTheShortSchedule()
    {
        Harness h;
        h.server.setRealTimeEnabled(false);
        h.server.setReply(u"register"_s,
                          Reply::json(S::envelope({}, {S::rejection(usNumber, -18019901, u"already"_s)})));
        h.server.setReply(u"gettrackinfo"_s, Reply::json(S::envelope({S::trackData(usNumber, {}, S::trackInfo(0))})));
        const auto outcome = run(h.provider->fetchTracking(usNumber, {}));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(outcome->value().status, TrackingStatus::pending);
        const auto infos = h.network.indexesOf(u"gettrackinfo"_s);
        QCOMPARE(infos.size(), 2);
        QCOMPARE(h.network.msecsBetween(infos.at(0), infos.at(1)), 3000);
    }

    void wrongCarrierIsFixedOnce_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("registeredBefore");
        QTest::addColumn<qint64>("serviceCarrier");
        QTest::addColumn<QStringList>("expected");
        const QStringList fixed {u"getrealtimetrackinfo"_s, u"register"_s, u"deletetrack"_s, u"register"_s,
                                 u"gettrackinfo"_s};
        const QStringList plain {u"getrealtimetrackinfo"_s, u"register"_s, u"gettrackinfo"_s};
        QTest::newRow("ups registered as FedEx is deleted and registered again")
            << u"ups"_s << false << qint64(100003) << fixed;
        QTest::newRow("ups already registered as FedEx is deleted and registered again")
            << u"ups"_s << true << qint64(100003) << fixed;
        QTest::newRow("USPS under its second number is right") << u"USPS"_s << false << qint64(100025) << plain;
        QTest::newRow("a code outside the table expects nothing") << u"acme"_s << false << qint64(100003) << plain;
    }
    void wrongCarrierIsFixedOnce()
    {
        QFETCH(QString, code);
        QFETCH(bool, registeredBefore);
        QFETCH(qint64, serviceCarrier);
        QFETCH(QStringList, expected);
        Harness h;
        const QString number = u"1Z999AA10123456784"_s;
        h.server.setRealTimeEnabled(false);
        h.server.setTrackInfo(number, eventsInfo(10));
        h.server.setAssignedCarrier(number, serviceCarrier);
        if (registeredBefore)
            h.server.setRegistered(number, serviceCarrier);
        const auto outcome = run(h.provider->fetchTracking(number, code));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(h.server.endpointLog(), expected);
        const auto deletes = h.network.indexesOf(u"deletetrack"_s);
        if (!deletes.isEmpty()) {
            // One second of waiting after the delete, then the second registration is taken whatever it says.
            QCOMPARE(h.network.msecsBetween(deletes.first(), deletes.first() + 1), 1000);
            QCOMPARE(h.server.requests(u"deletetrack"_s).first().carriers,
                     (QList<std::optional<qint64>> {std::nullopt}));
        }
        QVERIFY(h.network.smallestSpacing() >= 350);
    }

    void registrationFailures_data()
    {
        QTest::addColumn<QJsonObject>("answer");
        QTest::addColumn<QString>("description");
        QTest::newRow("rejected with a message")
            << S::envelope({}, {S::rejection(usNumber, -18010012, u"The format is invalid."_s)})
            << u"Provider error: Registration rejected: The format is invalid."_s;
        QTest::newRow("rejected without a message") << S::envelope({}, {S::rejection(usNumber, -18010012)})
                                                    << u"Provider error: Registration rejected: Unknown error"_s;
    }
    void registrationFailures()
    {
        QFETCH(QJsonObject, answer);
        QFETCH(QString, description);
        Harness h;
        h.server.setRealTimeEnabled(false);
        h.server.setReply(u"register"_s, Reply::json(answer));
        const auto outcome = run(h.provider->fetchTracking(usNumber, {}));
        QVERIFY(outcome && !outcome->ok());
        QCOMPARE(outcome->error().description(), description);
        QCOMPARE(h.server.endpointLog(), (QStringList {u"getrealtimetrackinfo"_s, u"register"_s}));
    }

    void rejectedTrackInfo_data()
    {
        QTest::addColumn<QJsonArray>("rejected");
        QTest::addColumn<QString>("description");
        QTest::newRow("our number with a message")
            << QJsonArray {S::rejection(usNumber, -18019902, u"Please register first."_s)}
            << u"Provider error: Please register first."_s;
        QTest::newRow("another number is not ours") << QJsonArray {S::rejection(u"OTHER"_s, -18019902)}
                                                    << TrackingProviderError::trackingNotFound().description();
        QTest::newRow("an error after a harmless record for our number")
            << QJsonArray {S::rejection(usNumber, 0, u"fine"_s),
                           S::rejection(usNumber, -18019902, u"Please register first."_s)}
            << u"Provider error: Please register first."_s;
    }
    void rejectedTrackInfo()
    {
        QFETCH(QJsonArray, rejected);
        QFETCH(QString, description);
        Harness h;
        h.server.setRealTimeEnabled(false);
        h.server.setRegistered(usNumber);
        h.server.setReply(u"gettrackinfo"_s, Reply::json(S::envelope({}, rejected)));
        const auto outcome = run(h.provider->fetchTracking(usNumber, {}));
        QVERIFY(outcome && !outcome->ok());
        QCOMPARE(outcome->error().description(), description);
    }

    void realTimeFailureFallsBackToRegistration_data()
    {
        QTest::addColumn<Reply>("realTime");
        QTest::newRow("server error") << Reply::httpStatus(500);
        QTest::newRow("unparsable answer") << Reply::raw("not json");
        QTest::newRow("rejected record") << Reply::json(S::envelope({}, {S::rejection(usNumber, -18019818)}));
    }
    void realTimeFailureFallsBackToRegistration()
    {
        QFETCH(Reply, realTime);
        Harness h;
        h.server.setReply(u"getrealtimetrackinfo"_s, realTime);
        h.server.setTrackInfo(usNumber, eventsInfo(50, u"Delivered"_s));
        const auto outcome = run(h.provider->fetchTracking(usNumber, {}));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(outcome->value().status, TrackingStatus::delivered);
        QCOMPARE(h.server.endpointLog(), (QStringList {u"getrealtimetrackinfo"_s, u"register"_s, u"gettrackinfo"_s}));
    }

    void keyVanishingBeforeRealTimeIsReported()
    {
        Harness h;
        h.server.setTrackInfo(usNumber, eventsInfo(10));
        h.keyReadsAllowed = 1; // the check before the first request still finds it
        const auto outcome = run(h.provider->fetchTracking(usNumber, {}));
        QVERIFY(outcome && !outcome->ok());
        QCOMPARE(outcome->error(), TrackingProviderError::apiKeyMissing());
        QVERIFY(h.server.requests().isEmpty());
    }

    void refusedBeforeAnyRequest()
    {
        Harness h;
        const auto blank = run(h.provider->fetchTracking(u" \t\n"_s, u"ups"_s));
        QCOMPARE(blank->error(), TrackingProviderError::invalidTrackingNumber());
        const auto blankDetect = run(h.provider->detectCarrier(u"\n"_s));
        QCOMPARE(blankDetect->error(), TrackingProviderError::invalidTrackingNumber());

        for (const std::optional<QString> &key : {std::optional<QString>(), std::optional(QString())}) {
            h.key = key;
            QVERIFY(!h.provider->isConfigured());
            QCOMPARE(run(h.provider->fetchTracking(usNumber, {}))->error(), TrackingProviderError::apiKeyMissing());
            QCOMPARE(run(h.provider->fetchTrackingBatch({{usNumber, {}}}))->error(),
                     TrackingProviderError::apiKeyMissing());
        }
        QVERIFY(h.server.requests().isEmpty());
        h.key = u"k"_s;
        QVERIFY(h.provider->isConfigured());
        const auto empty = run(h.provider->fetchTrackingBatch({}));
        QVERIFY(empty->ok() && empty->value().isEmpty());
        QVERIFY(h.server.requests().isEmpty());
    }

    void batchOf85GoesInChunksOf40()
    {
        Harness h;
        QList<TrackingRequest> packages;
        for (int i = 0; i < 85; ++i) {
            const QString number = u"LZ%1CN"_s.arg(i, 9, 10, QLatin1Char('0'));
            packages.append(
                {i == 3 ? u" "_s + number + u" "_s : number, i % 2 ? std::optional(u"china-post"_s) : std::nullopt});
            if (i % 5 == 0)
                h.server.setTrackInfo(number, eventsInfo(10), 3011); // real time answers
            else if (i % 5 == 1)
                h.server.setRegistered(number, 3011); // only registered data, pending
        }
        h.server.setHandler([](const S::Request &request) -> std::optional<Reply> {
            if (request.endpoint != u"gettrackinfo"_s)
                return std::nullopt;
            // Registered data for the numbers the test marked, nothing for the rest.
            QJsonArray accepted;
            for (const QString &number : request.numbers) {
                if (number.mid(2, 9).toInt() % 5 == 1)
                    accepted.append(S::trackData(number, 3011, S::trackInfo(0)));
            }
            return Reply::json(S::envelope(accepted));
        });

        const auto outcome = run(h.provider->fetchTrackingBatch(packages));
        QVERIFY(outcome && outcome->ok());
        const QList<TrackingOutcome> &entries = outcome->value();
        QCOMPARE(entries.size(), 85);
        for (int i = 0; i < 85; ++i) {
            QVERIFY(entries.at(i).ok());
            const TrackingResult &result = entries.at(i).value();
            QCOMPARE(result.trackingNumber, packages.at(i).trackingNumber.trimmed());
            QCOMPARE(result.status, i % 5 == 0 ? TrackingStatus::inTransit : TrackingStatus::pending);
            if (i % 5 >= 2) {
                // Nothing anywhere: a pending placeholder with the carrier asked for.
                QVERIFY(!result.rawResponse);
                QCOMPARE(result.carrierCode, i % 2 ? u"china-post"_s : QString());
            }
        }

        const auto realTime = h.server.requests(u"getrealtimetrackinfo"_s);
        QCOMPARE(realTime.size(), 3);
        QCOMPARE(realTime.at(0).numbers.size(), 40);
        QCOMPARE(realTime.at(1).numbers.size(), 40);
        QCOMPARE(realTime.at(2).numbers.size(), 5);
        QCOMPARE(h.server.requests(u"register"_s).size(), 85);
        // Stored data is asked only for what real time did not answer.
        QStringList asked;
        for (const auto &request : h.server.requests(u"gettrackinfo"_s))
            asked += request.numbers;
        QCOMPARE(asked.size(), 85 - 17);
        for (const QString &number : asked)
            QVERIFY(number.mid(2, 9).toInt() % 5 != 0);
        QCOMPARE(realTime.at(0).carriers.at(1), std::optional<qint64>(3011));
        QCOMPARE(realTime.at(0).carriers.at(0), std::optional<qint64>());
        QCOMPARE(realTime.at(0).numbers.at(3), packages.at(3).trackingNumber.trimmed());
        // Chunk order: 40 registrations, real time, stored data; then the next chunk.
        const QStringList log = h.server.endpointLog();
        QCOMPARE(log.mid(40, 2), (QStringList {u"getrealtimetrackinfo"_s, u"gettrackinfo"_s}));
        QCOMPARE(log.at(42), u"register"_s);
        QVERIFY(h.network.smallestSpacing() >= 350);
    }

    void batchMatchesByExactNumber()
    {
        Harness h;
        h.server.setHandler([](const S::Request &request) -> std::optional<Reply> {
            if (request.endpoint == u"getrealtimetrackinfo"_s)
                return Reply::json(
                    S::envelope({S::trackData(request.numbers.first().toLower(), 3011, eventsInfo(10))}));
            return std::nullopt;
        });
        const auto outcome = run(h.provider->fetchTrackingBatch({{u"LZ123456789CN"_s, {}}}));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(outcome->value().first().value().status, TrackingStatus::pending);
        QVERIFY(outcome->value().first().value().events.isEmpty());

        // The single fetch takes the first accepted record whatever number it names.
        const auto single = run(h.provider->fetchTracking(u"LZ123456789CN"_s, {}));
        QVERIFY(single && single->ok());
        QCOMPARE(single->value().trackingNumber, u"lz123456789cn"_s);
        QCOMPARE(single->value().status, TrackingStatus::inTransit);
        // The registration it started in the background ends before the fake service goes away.
        QVERIFY(h.settleBackground());
    }

    void rateLimitEndsTheBatchAndHoldsTheClient()
    {
        Harness h;
        h.server.setReply(u"gettrackinfo"_s, Reply::httpStatus(429).withHeader("Retry-After", "12"));
        const auto outcome = run(h.provider->fetchTrackingBatch({{u"A1"_s, {}}, {u"B2"_s, {}}}));
        QVERIFY(outcome && outcome->ok());
        for (const TrackingOutcome &entry : outcome->value())
            QCOMPARE(entry.error(), TrackingProviderError::rateLimited(12));
        // Until the retry time nothing more is sent, whatever is asked.
        const qsizetype sent = h.server.requests().size();
        const auto refused = run(h.provider->fetchTracking(u"C3"_s, {}));
        QVERIFY(refused && !refused->ok());
        QCOMPARE(refused->error().kind(), TrackingProviderError::Kind::rateLimited);
        QCOMPARE(h.server.requests().size(), sent);
    }

    void detectCarrierMergesServiceAndLocalGuesses()
    {
        Harness h;
        const QString number = u"123456789012"_s;
        h.server.setCarrierMatches(number, {{100003, u"FedEx"_s}, {100002, QString()}, {999999, QString()}});
        const auto outcome = run(h.provider->detectCarrier(u" "_s + number));
        QVERIFY(outcome && outcome->ok());
        const QList<CarrierDetectionResult> guesses = outcome->value();
        QCOMPARE(h.server.requests(u"getcarrier"_s).first().numbers, QStringList {number});
        QCOMPARE(guesses.at(0), (CarrierDetectionResult {u"100003"_s, u"FedEx"_s, 0.98}));
        QCOMPARE(guesses.at(1).carrierName, u"UPS"_s); // a missing name comes from the catalogue
        QCOMPARE(guesses.at(2).carrierName, u"999999"_s);
        QCOMPARE(guesses.size(), 3 + CarrierDetector::detect(number).size());
        for (qsizetype i = 1; i < guesses.size(); ++i)
            QVERIFY(guesses.at(i - 1).confidence >= guesses.at(i).confidence);
    }

    void serviceConfidenceStepsDownToSevenTenths()
    {
        Harness h;
        QList<QPair<qint64, QString>> carriers;
        for (int i = 0; i < 8; ++i)
            carriers.append({700000 + i, u"C%1"_s.arg(i)});
        h.server.setCarrierMatches(u"ZZ"_s, carriers);
        const auto outcome = run(h.provider->detectCarrier(u"ZZ"_s));
        QVERIFY(outcome && outcome->ok());
        const QList<double> expected {0.98, 0.93, 0.88, 0.83, 0.78, 0.73, 0.7, 0.7};
        QCOMPARE(outcome->value().size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QVERIFY2(qFuzzyCompare(outcome->value().at(i).confidence, expected.at(i)), qPrintable(QString::number(i)));
            QCOMPARE(outcome->value().at(i).carrierName, u"C%1"_s.arg(i));
        }
    }

    void detectCarrierFallsBackToLocalGuesses_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<bool>("withKey");
        QTest::newRow("no key, no request") << Reply::httpStatus(500) << false;
        QTest::newRow("server error") << Reply::httpStatus(500) << true;
        QTest::newRow("no match") << Reply::json(S::envelope({}, {QJsonObject {{u"number"_s, u"x"_s}}})) << true;
    }
    void detectCarrierFallsBackToLocalGuesses()
    {
        QFETCH(Reply, answer);
        QFETCH(bool, withKey);
        Harness h;
        if (!withKey)
            h.key.reset();
        h.server.setReply(u"getcarrier"_s, answer);
        const auto outcome = run(h.provider->detectCarrier(u"123456789012"_s));
        QVERIFY(outcome && outcome->ok());
        QCOMPARE(outcome->value(), CarrierDetector::detect(u"123456789012"_s));
        QCOMPARE(h.server.requests().size(), withKey ? 1 : 0);
    }

    void overlappingCallersShareThePacing()
    {
        Harness h;
        h.server.setTrackInfo(usNumber, eventsInfo(10));
        h.server.setTrackInfo(u"1Z999AA10123456784"_s, eventsInfo(40));
        h.server.setCarrierMatches(u"123456789012"_s, {{100003, u"FedEx"_s}});
        std::optional<TrackingOutcome> first;
        std::optional<TrackingOutcome> second;
        std::optional<DetectionOutcome> third;
        std::optional<BatchOutcome> fourth;
        QObject context;
        QCoro::connect(h.provider->fetchTracking(usNumber, {}), &context,
                       [&](TrackingOutcome &&o) { first.emplace(o); });
        QCoro::connect(h.provider->fetchTracking(u"1Z999AA10123456784"_s, u"ups"_s), &context,
                       [&](TrackingOutcome &&o) { second.emplace(o); });
        QCoro::connect(h.provider->detectCarrier(u"123456789012"_s), &context,
                       [&](DetectionOutcome &&o) { third.emplace(o); });
        QCoro::connect(h.provider->fetchTrackingBatch({{usNumber, {}}}), &context,
                       [&](BatchOutcome &&o) { fourth.emplace(o); });
        QTRY_VERIFY_WITH_TIMEOUT(first && second && third && fourth, 10000);
        QVERIFY(h.settleBackground());
        QVERIFY(first->ok() && second->ok() && third->ok() && fourth->ok());
        QCOMPARE(second->value().status, TrackingStatus::outForDelivery);
        QVERIFY(h.network.sent.size() >= 7);
        QVERIFY(h.network.smallestSpacing() >= 350);
    }

    void destroyingTheProviderEndsItsCallsWithAnError()
    {
        Harness h;
        h.clock.setAutoAdvance(false);
        h.server.setReply(u"getrealtimetrackinfo"_s, Reply::json(S::envelope({})).withDelay(200ms));
        // One call waits for its answer, one sleeps for the pacing, one waits in the queue.
        std::array<std::optional<TrackingOutcome>, 3> outcomes;
        QObject context;
        for (auto &outcome : outcomes) {
            QCoro::connect(h.provider->fetchTracking(usNumber, {}), &context,
                           [&outcome](TrackingOutcome &&o) { outcome.emplace(o); });
        }
        QVERIFY(h.server.waitForRequests(1));
        QCOMPARE(h.clock.pendingSleepers(), 1);
        h.provider.reset();
        h.clock.advance(350ms);
        for (const auto &outcome : outcomes) {
            QTRY_VERIFY(outcome.has_value());
            QCOMPARE(outcome->error(), TrackingProvider::providerGoneError());
        }
        QCOMPARE(h.server.requests().size(), 1);
    }
};

KESTROVE_TEST_MAIN(ProviderClientTest)
#include "providerclienttest.moc"
