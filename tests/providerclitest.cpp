#include "clirunner.h"
#include "fake17trackserver.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

using namespace Qt::Literals::StringLiterals;
using S = Fake17TrackServer;

namespace
{
const QString upsNumber = u"1Z999AA10123456784"_s;
using TestSupport::CliRun;
}

/** `kestrove-cli fetch` as a user runs it, against a fake 17TRACK server started by the test. */
class ProviderCliTest : public QObject
{
    Q_OBJECT
private:
    S *m_server = nullptr;

    void writeKey(const QByteArray &key)
    {
        QDir().mkpath(QFileInfo(TestSupport::apiKeyFilePath()).path());
        QFile file(TestSupport::apiKeyFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(key);
        file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    CliRun runCli(const QStringList &arguments)
    {
        // No Secret Service for the child: the key comes from the fallback file, and the
        // session's keyring stays untouched for the other tests.
        QProcessEnvironment environment = TestSupport::environmentWithoutSessionBus();
        environment.insert(u"KESTROVE_17TRACK_BASE_URL"_s, m_server->baseUrl());
        return TestSupport::runCli(arguments, {}, environment);
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QFile::exists(TestSupport::executablePath(u"kestrove-cli"_s))); }

    void init()
    {
        delete m_server;
        m_server = new S();
        QVERIFY(m_server->listen());
        m_server->setExpectedToken("cli-test-key");
        writeKey("cli-test-key");
        m_server->setTrackInfo(
            upsNumber,
            S::trackInfo(
                10,
                {S::event(u"2026-03-01T09:00:00-05:00"_s, u"Origin scan"_s, 10, u"Louisville, KY"_s),
                 S::event(u"2026-03-02T07:40:00-05:00"_s, u"Out For Delivery Today"_s, 10, u"Brooklyn, NY"_s)}),
            100002);
    }

    void cleanupTestCase() { delete m_server; }

    void printsTheResultWithoutStoringIt()
    {
        const CliRun run = runCli({u"fetch"_s, upsNumber, u"--carrier"_s, u"ups"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QStringList lines = run.out.split(u'\n');
        QCOMPARE(lines.value(0), upsNumber);
        QVERIFY(run.out.contains(u"Carrier:            UPS (ups)"_s));
        QVERIFY(run.out.contains(u"Status:             outForDelivery"_s));
        const qsizetype newest = run.out.indexOf(u"Out For Delivery Today (Brooklyn, NY)"_s);
        const qsizetype oldest = run.out.indexOf(u"Origin scan (Louisville, KY)"_s);
        QVERIFY(newest > 0 && oldest > newest);

        // One real-time request with UPS's number, then the registration it starts.
        QCOMPARE(m_server->endpointLog(), (QStringList {u"getrealtimetrackinfo"_s, u"register"_s}));
        QCOMPARE(m_server->requests().first().carriers, (QList<std::optional<qint64>> {100002}));
        QCOMPARE(m_server->requests().first().header("17token"), QByteArray("cli-test-key"));
        QVERIFY(!QFile::exists(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
                               + u"/com.kestrove.app/Kestrove.sqlite"_s));
    }

    void printsJsonWithRecordNames()
    {
        m_server->setTrackInfo(u"9400111899223197428490"_s,
                               QJsonDocument::fromJson(R"({"latest_status":{"status":50},
                                   "tracking":{"providers":[{"events":[
                                     {"time_iso":"2026-03-04T14:12:00Z","description":"Delivered","status":50},
                                     {"time_iso":"2026-03-03T08:00:00.250Z","description":"Arrived","status":10}]}]},
                                   "time_metrics":{"estimated_delivery_date":{"from":"2026-03-04T00:00:00Z"}}})")
                                   .object());
        const CliRun run = runCli({u"fetch"_s, u"9400111899223197428490"_s, u"--carrier"_s, u"USPS"_s, u"--json"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        const QJsonObject object = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(object.value(u"trackingNumber"_s).toString(), u"9400111899223197428490"_s);
        QCOMPARE(object.value(u"carrierCode"_s).toString(), u"usps"_s);
        QCOMPARE(object.value(u"status"_s).toString(), u"delivered"_s);
        const QRegularExpression iso(uR"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d(\.\d{3})?[+-]\d\d:\d\d$)"_s);
        const QString estimate = object.value(u"estimatedDelivery"_s).toString();
        QVERIFY2(iso.match(estimate).hasMatch(), qPrintable(estimate));
        QCOMPARE(QDateTime::fromString(estimate, Qt::ISODate).toUTC(),
                 QDateTime(QDate(2026, 3, 4), QTime(0, 0), Qt::UTC));
        const QJsonArray events = object.value(u"events"_s).toArray();
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0).toObject().value(u"description"_s).toString(), u"Delivered"_s);
        QCOMPARE(events.at(0).toObject().value(u"status"_s).toString(), u"delivered"_s);
        QCOMPARE(events.at(0).toObject().value(u"rawStatusCode"_s).toString(), u"50"_s);
        const QString older = events.at(1).toObject().value(u"timestamp"_s).toString();
        QVERIFY2(iso.match(older).hasMatch() && older.contains(u".250"_s), qPrintable(older));
        QCOMPARE(m_server->requests().first().carriers, (QList<std::optional<qint64>> {21051}));
    }

    void errorsPrintTheirDescription_data()
    {
        QTest::addColumn<QByteArray>("serverToken");
        QTest::addColumn<bool>("keyStored");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("requests");
        QTest::newRow("rejected key") << QByteArray("another-key") << true
                                      << u"kestrove-cli: API key is invalid. Please check your API key in Settings.\n"_s
                                      << 2;
        QTest::newRow("no key stored")
            << QByteArray("cli-test-key") << false
            << u"kestrove-cli: API key not configured. Please add your API key in Settings.\n"_s << 0;
    }
    void errorsPrintTheirDescription()
    {
        QFETCH(QByteArray, serverToken);
        QFETCH(bool, keyStored);
        QFETCH(QString, message);
        QFETCH(int, requests);
        m_server->setExpectedToken(serverToken);
        if (!keyStored)
            QVERIFY(QFile::remove(TestSupport::apiKeyFilePath()));
        const CliRun run = runCli({u"fetch"_s, upsNumber});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, message);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(m_server->requests().size(), requests);
    }

    void missingNumberIsAUsageError()
    {
        const CliRun run = runCli({u"fetch"_s});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(u"usage: kestrove-cli fetch NUMBER [--carrier CODE] [--json]"_s));
        QVERIFY(m_server->requests().isEmpty());
    }
};

KESTROVE_TEST_MAIN(ProviderCliTest)
#include "providerclitest.moc"
