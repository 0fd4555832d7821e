#include "fakemapservers.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "services/geocoder.h"
#include "services/packagejourney.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QFile>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <memory>

using Reply = Fake17TrackServer::Reply;
Q_DECLARE_METATYPE(Reply)
using namespace std::chrono_literals;

namespace
{
struct EventSpec {
    QString location;
    QString description;
};
}

class GeocodingTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<Fake17TrackServer> m_server;
    std::unique_ptr<ModelContext> m_context;
    std::unique_ptr<Geocoder> m_geocoder;
    int m_packages = 0;
    int m_stores = 0;

    void startGeocoder()
    {
        m_geocoder
            = std::make_unique<Geocoder>(m_network.get(), m_clock.get(), m_dir.filePath(QStringLiteral("cache")));
        m_geocoder->setBaseUrl(FakeMapServers::rootUrl(*m_server));
        m_geocoder->setTransferTimeout(300ms);
    }

    Package *makePackage(const QList<EventSpec> &events)
    {
        auto *package = new Package(QStringLiteral("PKG%1").arg(++m_packages), QStringLiteral("usps"));
        const QDateTime start(QDate(2026, 6, 1), QTime(8, 0));
        for (qsizetype i = 0; i < events.size(); ++i) {
            package->appendEvent(std::make_unique<TrackingEvent>(start.addSecs(3600 * i), TrackingStatus::inTransit,
                                                                 events.at(i).description, events.at(i).location));
        }
        m_context->insert(package);
        [[maybe_unused]] const auto saved = m_context->save();
        return package;
    }

    /** Runs the journey's loading task to its end. */
    static void load(PackageJourney &journey)
    {
        QSignalSpy finished(&journey, &PackageJourney::finished);
        journey.reload();
        QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1, 5000);
    }

    QStringList queries() const
    {
        QStringList list;
        const auto requests = m_server->requests();
        for (const auto &request : requests)
            list.append(FakeMapServers::query(request));
        return list;
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        m_clock = std::make_unique<VirtualClock>();
        m_clock->setAutoAdvance(true);
        m_network = std::make_unique<QNetworkAccessManager>();
        m_server = std::make_unique<Fake17TrackServer>(m_clock.get());
        QVERIFY(m_server->listen());
        FakeMapServers::serveGeocoder(*m_server, FakeMapServers::cities());
        auto opened = ModelContext::open(m_dir.filePath(QStringLiteral("store-%1.sqlite").arg(++m_stores)));
        QVERIFY(opened.ok());
        m_context = std::move(opened.value());
        startGeocoder();
    }

    void cleanup()
    {
        m_geocoder.reset();
        m_context.reset();
        m_server.reset();
        QDir(m_dir.filePath(QStringLiteral("cache"))).removeRecursively();
    }

    void twoMapsAskOncePerPlaceAtOnePerSecond()
    {
        Package *first = makePackage({{QStringLiteral("MEMPHIS TN 38118"), {}},
                                      {QStringLiteral("MEMPHIS TN NETWORK DISTRIBUTION CENTER"), {}},
                                      {QStringLiteral("CHINA"), QStringLiteral("Departed origin")},
                                      {{}, QStringLiteral("Arrived at facility in Chicago IL")},
                                      {QStringLiteral("Nowhere Land, XX"), {}},
                                      {QStringLiteral("Memphis TN"), {}}});
        Package *second = makePackage({{QStringLiteral("CHICAGO IL"), {}}, {QStringLiteral("DENVER CO 80202"), {}}});
        PackageJourney journeyA(first, m_geocoder.get(), m_clock.get());
        PackageJourney journeyB(second, m_geocoder.get(), m_clock.get());
        QSignalSpy finishedA(&journeyA, &PackageJourney::finished);
        QSignalSpy finishedB(&journeyB, &PackageJourney::finished);
        journeyA.reload();
        journeyB.reload();
        QVERIFY(journeyA.isGeocoding());
        QTRY_VERIFY_WITH_TIMEOUT(finishedA.size() == 1 && finishedB.size() == 1, 5000);

        QStringList asked = queries();
        asked.sort();
        QCOMPARE(asked,
                 (QStringList {QStringLiteral("CHICAGO, IL, US"), QStringLiteral("Chicago, IL"),
                               QStringLiteral("DENVER, CO, US"), QStringLiteral("MEMPHIS, TN, US"),
                               QStringLiteral("Nowhere Land, XX")}));
        const auto requests = m_server->requests();
        for (qsizetype i = 1; i < requests.size(); ++i)
            QVERIFY(requests.at(i - 1).clockTime.msecsTo(requests.at(i).clockTime) >= 1000);
        for (const auto &request : requests) {
            QVERIFY(request.header("user-agent").startsWith("Kestrove/"));
            QVERIFY(request.header("17token").isEmpty());
            QVERIFY(request.path.contains(QLatin1String("format=jsonv2"))
                    && request.path.contains(QLatin1String("limit=1")));
        }
        QCOMPARE(m_clock->requestedSleeps().count(PackageJourney::pauseAfterRequest), requests.size());

        // Three Memphis events share one answer; China is too vague, Nowhere has no answer.
        QCOMPARE(journeyA.geocodedEvents().size(), 4);
        const QList<TrackingEvent *> &events = first->events();
        QCOMPARE(events.at(0)->latitude(), events.at(5)->latitude());
        QVERIFY(events.at(0)->latitude().has_value() && !events.at(2)->latitude() && !events.at(4)->latitude());
        QVERIFY(journeyA.mapPosition().has_value());
        QVERIFY(!journeyA.isGeocoding());
        QVERIFY2(!m_context->hasChanges(), "the coordinates are saved");
    }

    void answersCacheForGoodAcrossARestart()
    {
        Package *package = makePackage({{QStringLiteral("Chicago IL"), {}}, {QStringLiteral("Nowhere Land, XX"), {}}});
        auto journey = std::make_unique<PackageJourney>(package, m_geocoder.get(), m_clock.get());
        load(*journey);
        QCOMPARE(m_server->requests().size(), 2);

        journey.reset();
        startGeocoder();
        m_server->clearRequests();
        PackageJourney again(package, m_geocoder.get(), m_clock.get());
        load(again);
        QCOMPARE(m_server->requests().size(), 0);
        QCOMPARE(again.geocodedEvents().size(), 1);
        QCOMPARE(package->events().at(0)->latitude(), std::optional<double>(41.88));

        // A damaged cache file is replaced, not fatal.
        m_geocoder.reset();
        QFile file(m_dir.filePath(QStringLiteral("cache/geocoder.sqlite")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
        file.close();
        startGeocoder();
        PackageJourney fresh(package, m_geocoder.get(), m_clock.get());
        load(fresh);
        QCOMPARE(fresh.geocodedEvents().size(), 1);
    }

    void failedAnswers_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<bool>("geocoderRests"); // the next place is not asked for a minute either
        QTest::addColumn<bool>("rememberedAsNoResult");
        QTest::newRow("429") << Reply::httpStatus(429) << true << false;
        QTest::newRow("500") << Reply::httpStatus(500) << true << false;
        QTest::newRow("never answers") << Reply::neverAnswer() << true << false;
        QTest::newRow("garbage") << Reply::raw("<html>busy</html>") << false << false;
        QTest::newRow("place without coordinate") << Reply::raw(R"([{"lat":"north"}])") << false << false;
        QTest::newRow("empty list") << Reply::raw("[]") << false << true;
    }

    void failedAnswers()
    {
        QFETCH(Reply, reply);
        QFETCH(bool, geocoderRests);
        QFETCH(bool, rememberedAsNoResult);
        const QString atlantis = QStringLiteral("Atlantis, Ocean");
        FakeMapServers::serveGeocoder(*m_server, FakeMapServers::cities(),
                                      [=](const QString &q) -> std::optional<Reply> {
                                          return q == atlantis ? std::optional(reply) : std::nullopt;
                                      });
        Package *package = makePackage({{atlantis, {}}, {QStringLiteral("Chicago IL"), {}}});
        PackageJourney journey(package, m_geocoder.get(), m_clock.get());
        load(journey);
        QVERIFY(!package->events().at(0)->latitude());
        QCOMPARE(m_server->requests().size(), geocoderRests ? 1 : 2);
        QCOMPARE(journey.geocodedEvents().size(), geocoderRests ? 0 : 1);

        // Shown again within the minute: nothing is asked again.
        load(journey);
        QCOMPARE(m_server->requests().size(), geocoderRests ? 1 : 2);

        // A minute later the failed place gets one more try; "no such place" stays answered.
        m_clock->advance(61s);
        m_server->clearRequests();
        load(journey);
        QCOMPARE(queries().contains(atlantis), !rememberedAsNoResult);
        QCOMPARE(journey.geocodedEvents().size(), geocoderRests ? 0 : 1);
    }

    void staleRunNeverOverwritesNewer()
    {
        FakeMapServers::serveGeocoder(*m_server, FakeMapServers::cities(),
                                      [](const QString &q) -> std::optional<Reply> {
                                          if (q != QLatin1String("DALLAS, TX, US"))
                                              return std::nullopt;
                                          return Reply::raw(R"([{"lat":"32.78","lon":"-96.8"}])").withDelay(150ms);
                                      });
        Package *older = makePackage({{QStringLiteral("DALLAS TX"), {}}});
        Package *newer = makePackage({{QStringLiteral("BOSTON MA"), {}}});
        PackageJourney journey(older, m_geocoder.get(), m_clock.get());
        QSignalSpy finished(&journey, &PackageJourney::finished);
        journey.reload();
        QVERIFY(m_server->waitForRequests(1));

        journey.setPackage(newer);
        QTRY_VERIFY_WITH_TIMEOUT(finished.size() == 1 && m_server->requests().size() == 2, 5000);
        QTest::qWait(50); // the older run's answer has arrived by now and must change nothing
        QCOMPARE(journey.geocodedEvents().size(), 1);
        QCOMPARE(journey.geocodedEvents().first().event, newer->events().first());
        QVERIFY(!older->events().first()->latitude());

        // New events start a new run by themselves.
        newer->appendEvent(std::make_unique<TrackingEvent>(QDateTime(QDate(2026, 6, 2), QTime(9, 0)),
                                                           TrackingStatus::outForDelivery, QString(),
                                                           QStringLiteral("NEWARK NJ")));
        QTRY_COMPARE_WITH_TIMEOUT(journey.geocodedEvents().size(), 2, 5000);
        QCOMPARE(finished.size(), 2);
    }
};

KESTROVE_TEST_MAIN(GeocodingTest)
#include "geocodingtest.moc"
