// kestrove-cli as a user runs it: each command's input and output, on the default store of the
// private home, against a fake 17TRACK server started by the test. The rules behind the commands
// are tested once, in the core; here only what the command line adds.
#include "base/clock.h"
#include "base/visibletext.h"
#include "cli/clicommand.h"
#include "cli/cliservices.h"
#include "clirunner.h"
#include "fake17trackserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/preferences.h"
#include "model/trackingevent.h"
#include "providers/seventeentrackprovider.h"
#include "taskrunner.h"
#include "testmain.h"
#include "tracking/trackingservice.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <qcoro/qcorotimer.h>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace Qt::Literals::StringLiterals;
using S = Fake17TrackServer;
using Reply = Fake17TrackServer::Reply;
Q_DECLARE_METATYPE(std::optional<Reply>)
using TestSupport::CliRun;
using TestSupport::openDefaultStore;

namespace
{
const QString upsNumber = u"1Z999AA10123456784"_s;
const QByteArray apiKey = "cli-test-key";
const QDateTime base(QDate(2026, 5, 1), QTime(8, 0), Qt::UTC);

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256)
                                          : QByteArray();
}

QJsonValue json(const CliRun &run)
{
    QJsonParseError error {};
    const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError)
        qWarning("not JSON: %s", qPrintable(run.out));
    return document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object());
}

QStringList numbersOf(const CliRun &run)
{
    QStringList numbers;
    for (const QJsonValue &value : json(run).toArray())
        numbers.append(value[u"trackingNumber"_s].toString());
    return numbers;
}

QJsonArray events(const QString &description, qint64 status)
{
    return QJsonArray {S::event(u"2026-06-14T08:00:00Z"_s, description, status, u"Memphis, TN"_s)};
}

/** The stored packages with this number, as another process reads them now. */
QList<Package *> stored(ModelContext &context, const QString &number)
{
    auto found = context.fetchPackages([&](const Package &p) { return p.trackingNumber() == number; });
    return found ? found.value() : QList<Package *> {};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
}

class CliTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<S> m_server;
    QTemporaryDir m_dir;

    /** The command line has no Secret Service here: the key comes from the private fallback file. */
    QProcessEnvironment environment() const
    {
        QProcessEnvironment environment = TestSupport::environmentWithoutSessionBus();
        environment.insert(u"KESTROVE_17TRACK_BASE_URL"_s, m_server->baseUrl());
        return environment;
    }
    /**
     * Runs kestrove-cli under umask 000, so nothing counts on a kind one. A file-size limit (bytes)
     * stands in for a full disk; standardOutput names a file to write the output into.
     */
    CliRun cli(const QStringList &arguments, const QByteArray &input = {}, qint64 fileSizeLimit = -1,
               const QString &standardOutput = {})
    {
        QProcess process;
        process.setProcessEnvironment(environment());
        if (!standardOutput.isEmpty())
            process.setStandardOutputFile(standardOutput);
        process.setChildProcessModifier([fileSizeLimit] {
            ::umask(0);
            if (fileSizeLimit >= 0) {
                const rlimit limit {rlim_t(fileSizeLimit), rlim_t(fileSizeLimit)};
                ::setrlimit(RLIMIT_FSIZE, &limit);
                ::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails with EFBIG instead of ending the process
            }
        });
        process.start(TestSupport::executablePath(u"kestrove-cli"_s), arguments);
        process.write(input);
        process.closeWriteChannel();
        return TestSupport::finishCli(process);
    }

    /** Packages of each kind the list rule tells apart, a group and events. */
    void seed()
    {
        auto context = openDefaultStore();
        QVERIFY(context);
        const auto add = [&](const QString &number, TrackingStatus status, int hoursAgo) {
            auto *package = new Package(number, u"ups"_s, u"label of "_s + number, status);
            package->setLastUpdated(base.addSecs(-3600 * hoursAgo));
            package->setDateAdded(base.addSecs(-3600 * hoursAgo));
            context->insert(package);
            return package;
        };
        add(u"PEND1"_s, TrackingStatus::pending, 5)->setCarrierCode(u"zz_post"_s);
        Package *transit = add(u"TRANS1"_s, TrackingStatus::inTransit, 1);
        transit->setLabel(u"Red shoes"_s);
        transit->setEstimatedDelivery(base.addDays(7));
        transit->setLastErrorMessage(u"Not found"_s);
        transit->appendEvent(std::make_unique<TrackingEvent>(base.addSecs(3600), TrackingStatus::inTransit,
                                                             u"Departed"_s, u"Louisville, KY"_s, u"DP"_s));
        transit->appendEvent(
            std::make_unique<TrackingEvent>(base, TrackingStatus::pending, u"Label created"_s, QString(), u"MP"_s));
        Package *delivered = add(u"DELIV1"_s, TrackingStatus::delivered, 3);
        delivered->setLabel(u"Ölfilter"_s);
        delivered->setCarrierCode(u"dhl"_s); // "DHL Express": searched by its name, which is not stored
        add(u"ARCH1"_s, TrackingStatus::delivered, 2)->setArchived(true);
        add(u"PIN1"_s, TrackingStatus::outForDelivery, 9)->setPinned(true);
        auto *group = new PackageGroup(u"Gifts"_s, u"#FF2D55"_s, 0);
        transit->addToGroup(group);
        stored(*context, u"ARCH1"_s).constFirst()->addToGroup(group);
        QVERIFY(context->save());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QFile::exists(TestSupport::executablePath(u"kestrove-cli"_s))); }

    void init()
    {
        TestSupport::removeStoreAndPreferences();
        m_server = std::make_unique<S>();
        QVERIFY(m_server->listen());
        m_server->setExpectedToken(apiKey);
        QVERIFY(writeFile(TestSupport::apiKeyFilePath(), apiKey));
        QFile::setPermissions(TestSupport::apiKeyFilePath(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        m_server->setTrackInfo(upsNumber,
                               S::trackInfo(10,
                                            QJsonArray {S::event(u"2026-03-01T09:00:00-05:00"_s, u"Origin scan"_s, 10,
                                                                 u"Louisville, KY"_s),
                                                        S::event(u"2026-03-02T07:40:00-05:00"_s,
                                                                 u"Out For Delivery Today"_s, 10, u"Brooklyn, NY"_s)}),
                               100002);
    }

    void cleanup() { m_server.reset(); }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        const QList<QStringList> rows {{u"detect"_s},
                                       {u"detect"_s, u"--xml"_s, u"1"_s},
                                       {u"carrier"_s, u"  "_s},
                                       {u"url"_s, u"A"_s, u"B"_s},
                                       {u"key"_s, u"show"_s},
                                       {u"fetch"_s},
                                       {u"add"_s, u" - "_s},
                                       {u"show"_s},
                                       {u"archive"_s},
                                       {u"import"_s},
                                       {u"export"_s, u"a"_s, u"b"_s},
                                       {u"config"_s, u"reset"_s, u"refreshInterval"_s},
                                       {u"config"_s, u"set"_s, u"refreshInterval"_s}};
        for (const QStringList &arguments : rows)
            QTest::newRow(qPrintable(arguments.join(u' '))) << arguments;
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const CliRun run = cli(arguments);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(u"kestrove-cli"_s), qPrintable(run.err));
        QVERIFY(m_server->requests().isEmpty());
    }

    void detectCarrierAndUrl()
    {
        CliRun run = cli({u"detect"_s, upsNumber, u"hello"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, upsNumber + u":\n  ups  UPS  95%\n\nhello:\n  no carrier recognised\n"_s);
        QCOMPARE(cli({u"detect"_s, upsNumber}).out, u"ups  UPS  95%\n"_s);
        // One number gives one array of guesses; several give an array of arrays.
        QCOMPARE(json(cli({u"detect"_s, upsNumber, u"--json"_s}))[0][u"carrierCode"_s].toString(), u"ups"_s);
        run = cli({u"detect"_s, u"--json"_s, u"123456789012"_s, u"not a number"_s});
        QCOMPARE(json(run)[0][0][u"carrierCode"_s].toString(), u"fedex"_s);
        QCOMPARE(json(run)[1].toArray(), QJsonArray());

        run = cli({u"carrier"_s, u" Royal-Mail "_s});
        QCOMPARE(run.out, u"code: royal-mail\nname: Royal Mail\nicon: globe.europe.africa.fill\n"_s);
        QCOMPARE(json(cli({u"carrier"_s, u"21051"_s, u"--json"_s}))[u"carrierCode"_s].toString(), u"usps"_s);
        run = cli({u"url"_s, u"1Z999"_s, u"--carrier"_s, u"UPS"_s});
        QCOMPARE(run.out, u"https://www.ups.com/track?tracknum=1Z999\n"_s);
    }

    void keySetRejectsBadInput_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("two lines") << QByteArray("key-one\nkey-two\n");
        QTest::newRow("invalid UTF-8") << QByteArray("key\xff\n");
        QTest::newRow("only white space") << QByteArray(" \t \n");
        QTest::newRow("control characters") << QByteArray("key-one\x1b[2J\n");
        QTest::newRow("over 4 KiB") << QByteArray(4097, 'k');
    }
    void keySetRejectsBadInput()
    {
        QFETCH(QByteArray, input);
        QFile::remove(TestSupport::apiKeyFilePath());
        const CliRun run = cli({u"key"_s, u"set"_s}, input);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.startsWith(u"kestrove-cli: "_s));
        QVERIFY(!run.err.contains(u"key-one"_s));
        QVERIFY(!QFile::exists(TestSupport::apiKeyFilePath()));
        QCOMPARE(cli({u"key"_s, u"status"_s}).out, u"API key: not configured\n"_s);
    }

    void keyStatusTellsTheQuota_data()
    {
        QTest::addColumn<std::optional<Reply>>("reply");
        QTest::addColumn<QString>("out");
        QTest::newRow("figures as numbers") << std::optional<Reply>() << u"Quota: 100 of 100 tracking numbers left\n"_s;
        QTest::newRow("figures as text, remaining derived") << std::optional(Reply::json(QJsonObject {
            {u"code"_s, 0}, {u"data"_s, QJsonObject {{u"quota_total"_s, u"300"_s}, {u"quota_used"_s, 12}}}}))
                                                            << u"Quota: 288 of 300 tracking numbers left\n"_s;
        QTest::newRow("no usable figures: no line") << std::optional(Reply::raw("{}")) << QString();
    }
    void keyStatusTellsTheQuota()
    {
        QFETCH(std::optional<Reply>, reply);
        QFETCH(QString, out);
        if (reply)
            m_server->setReply(u"getquota"_s, *reply);
        QCOMPARE(cli({u"key"_s, u"status"_s}).out, u"API key: configured\n"_s + out);
    }

    void keySetWithoutKeychain_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("stored");
        QTest::newRow("CRLF trimmed") << QByteArray("k3y-crlf\r\n") << u"k3y-crlf"_s;
        QTest::newRow("inner spaces kept") << QByteArray(" k3y with spaces \n") << u" k3y with spaces "_s;
        QTest::newRow("non-ASCII") << QByteArray("cl\xc3\xa9-\xe5\xaf\x86\n") << u"cl\u00e9-\u5bc6"_s;
    }
    void keySetWithoutKeychain()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, stored);
        QDir(QFileInfo(TestSupport::apiKeyFilePath()).path()).removeRecursively();
        const CliRun set = cli({u"key"_s, u"set"_s}, input);
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(set.out, u"API key saved.\n"_s);
        QVERIFY(set.err.contains(u"warning"_s));
        QVERIFY(!set.err.contains(stored.trimmed()));
        QFile file(TestSupport::apiKeyFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), stored);
        struct stat info {
        };
        QVERIFY(::stat(QFile::encodeName(TestSupport::apiKeyFilePath()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, 0600u);
        QVERIFY(::stat(QFile::encodeName(QFileInfo(TestSupport::apiKeyFilePath()).path()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, 0700u); // under umask 000 too
        const CliRun status = cli({u"key"_s, u"status"_s});
        QCOMPARE(status.out, u"API key: configured\n"_s);
    }

    void fetchPrintsWithoutStoring()
    {
        CliRun run = cli({u"fetch"_s, upsNumber, u"--carrier"_s, u"ups"_s});
        QVERIFY2(run.exitCode == 0, qPrintable(run.err));
        QCOMPARE(run.out.section(u'\n', 0, 0), upsNumber);
        QVERIFY(run.out.contains(u"Carrier:            UPS (ups)"_s));
        QVERIFY(run.out.contains(u"Status:             outForDelivery"_s));
        const qsizetype newest = run.out.indexOf(u"Out For Delivery Today (Brooklyn, NY)"_s);
        QVERIFY(newest > 0 && run.out.indexOf(u"Origin scan (Louisville, KY)"_s) > newest);
        QCOMPARE(m_server->requests().first().carriers, (QList<std::optional<qint64>> {100002}));
        QVERIFY(!QFile::exists(ModelContainer::defaultStorePath()));

        run = cli({u"fetch"_s, upsNumber, u"--json"_s});
        const QJsonObject object = json(run).toObject();
        QCOMPARE(object[u"trackingNumber"_s].toString(), upsNumber);
        QCOMPARE(object[u"status"_s].toString(), u"outForDelivery"_s);
        // Dates in ISO 8601 with their offset, milliseconds kept; events newest first.
        const QJsonArray events = object[u"events"_s].toArray();
        QCOMPARE(events.at(0)[u"timestamp"_s].toString(), u"2026-03-02T12:40:00+00:00"_s);
        QCOMPARE(events.at(0)[u"rawStatusCode"_s].toString(), u"10"_s);
        QCOMPARE(events.at(1)[u"description"_s].toString(), u"Origin scan"_s);
    }

    void fetchErrorsPrintTheirDescription()
    {
        m_server->setExpectedToken("another-key");
        CliRun run = cli({u"fetch"_s, upsNumber});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.err, u"kestrove-cli: API key is invalid. Please check your API key in Settings.\n"_s);
        QVERIFY(run.out.isEmpty());
        m_server->clearRequests();
        QVERIFY(QFile::remove(TestSupport::apiKeyFilePath()));
        run = cli({u"fetch"_s, upsNumber});
        QCOMPARE(run.err, u"kestrove-cli: API key not configured. Please add your API key in Settings.\n"_s);
        QVERIFY(m_server->requests().isEmpty());
    }

    void addStoresThePackageWithItsFirstFetch()
    {
        CliRun run = cli({u"add"_s, u"1z999 aa1-0123456784"_s, u"--label"_s, u"Shoes"_s, u"--notes"_s, u"Door"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(upsNumber + u'\n') && run.out.contains(u"Out for Delivery"_s), qPrintable(run.out));
        auto context = openDefaultStore();
        const Package *package = stored(*context, upsNumber).value(0);
        QVERIFY(package);
        QCOMPARE(package->label(), u"Shoes"_s);
        QCOMPARE(package->notes(), u"Door"_s);
        QCOMPARE(package->carrierCode(), u"ups"_s);
        QCOMPARE(package->events().size(), 2);
        // The background registration ended before the command did.
        QVERIFY(m_server->isRegistered(upsNumber));

        m_server->setExpectedToken("another-key");
        m_server->clearRequests();
        run = cli({u"add"_s, u"ABC123456789"_s, u"--carrier"_s, u"usps"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(u"kestrove-cli: added ABC123456789, but the first fetch failed: "_s),
                 qPrintable(run.err));
        QVERIFY(m_server->requests(u"getcarrier"_s).isEmpty());
        QVERIFY(context->refreshFromStore());
        const Package *failed = stored(*context, u"ABC123456789"_s).value(0);
        QVERIFY(failed && failed->lastErrorMessage().has_value());
        QCOMPARE(failed->carrierCode(), u"usps"_s);
    }

    void listAndShow()
    {
        QCOMPARE(cli({u"list"_s, u"--json"_s}).out, u"[]\n"_s);
        QCOMPARE(cli({u"list"_s}).out, u"No packages.\n"_s);
        seed();
        // Without options the main window's default view: archived hidden, pinned first.
        CliRun run = cli({u"list"_s, u"--json"_s});
        QCOMPARE(numbersOf(run), (QStringList {u"PIN1"_s, u"TRANS1"_s, u"DELIV1"_s, u"PEND1"_s}));
        const QJsonObject transit = json(run)[1].toObject();
        QCOMPARE(transit[u"status"_s].toString(), u"inTransit"_s);
        QCOMPARE(transit[u"dateAdded"_s].toString(), u"2026-05-01T07:00:00+00:00"_s);
        QCOMPARE(transit[u"estimatedDelivery"_s].toString(), u"2026-05-08T08:00:00+00:00"_s);
        QCOMPARE(transit[u"lastErrorMessage"_s].toString(), u"Not found"_s);
        QVERIFY(!transit.contains(u"events"_s));
        QCOMPARE(json(run)[3][u"carrierName"_s].toString(), u"ZZ_POST"_s);
        QVERIFY(json(run)[3][u"estimatedDelivery"_s].isNull());

        run = cli({u"list"_s});
        QVERIFY2(run.out.startsWith(u"* PIN1"_s) && run.out.contains(u"\n  TRANS1"_s), qPrintable(run.out));

        run = cli({u"show"_s, u"trans-1"_s, u"--json"_s}); // typed the way people do
        QCOMPARE(json(run)[u"groups"_s].toArray(), QJsonArray {u"Gifts"_s});
        const QJsonArray events = json(run)[u"events"_s].toArray();
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0).toObject(),
                 (QJsonObject {{u"eventDescription"_s, u"Departed"_s},
                               {u"status"_s, u"inTransit"_s},
                               {u"location"_s, u"Louisville, KY"_s},
                               {u"rawStatusCode"_s, u"DP"_s},
                               {u"timestamp"_s, u"2026-05-01T09:00:00+00:00"_s},
                               {u"latitude"_s, QJsonValue::Null},
                               {u"longitude"_s, QJsonValue::Null}}));
        run = cli({u"show"_s, u"TRANS1"_s});
        QVERIFY(run.out.startsWith(u"TRANS1\n"_s) && run.out.contains(u"Groups:             Gifts\n"_s));
        QVERIFY(run.out.indexOf(u"Departed"_s) < run.out.indexOf(u"Label created"_s));
        run = cli({u"show"_s, u"NOPE"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"No package with tracking number NOPE"_s));
    }

    void listOptions_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("filter") << QStringList {u"--filter"_s, u"archived"_s} << QStringList {u"ARCH1"_s};
        QTest::newRow("a group lists its members whatever the filter")
            << QStringList {u"--filter"_s, u"delivered"_s, u"--group"_s, u"Gifts"_s}
            << QStringList {u"TRANS1"_s, u"ARCH1"_s};
        QTest::newRow("search") << QStringList {u"--search"_s, u"SHOES"_s} << QStringList {u"TRANS1"_s};
        QTest::newRow("search in a group")
            << QStringList {u"--group"_s, u"Gifts"_s, u"--search"_s, u"LABEL"_s} << QStringList {u"ARCH1"_s};
        QTest::newRow("search of other than ASCII")
            << QStringList {u"--search"_s, u"öL"_s} << QStringList {u"DELIV1"_s};
        QTest::newRow("search of a carrier name")
            << QStringList {u"--search"_s, u"express"_s} << QStringList {u"DELIV1"_s};
        QTest::newRow("transit includes pending")
            << QStringList {u"--filter"_s, u"inTransit"_s} << QStringList {u"PIN1"_s, u"TRANS1"_s, u"PEND1"_s};
        QTest::newRow("sort") << QStringList {u"--sort"_s, u"status"_s}
                              << QStringList {u"PIN1"_s, u"PEND1"_s, u"TRANS1"_s, u"DELIV1"_s};
    }
    void listOptions()
    {
        QFETCH(QStringList, options);
        QFETCH(QStringList, expected);
        seed();
        QCOMPARE(numbersOf(cli(QStringList {u"list"_s, u"--json"_s} + options)), expected);
    }

    void listRefusesUnknownValues_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown filter")
            << QStringList {u"--filter"_s, u"Transit"_s} << 2
            << u"unknown filter \"Transit\"; valid filters: all, inTransit, delivered, exceptions, archived"_s;
        QTest::newRow("unknown sort")
            << QStringList {u"--sort"_s, u"eta"_s} << 2
            << u"unknown sort mode \"eta\"; valid sort modes: lastUpdated, dateAdded, status, carrier, estimatedDelivery"_s;
        QTest::newRow("unknown group") << QStringList {u"--group"_s, u"Nope"_s} << 1 << u"No group named Nope"_s;
    }
    void listRefusesUnknownValues()
    {
        QFETCH(QStringList, options);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        seed();
        const CliRun run = cli(QStringList {u"list"_s} + options);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void refresh()
    {
        QCOMPARE(cli({u"refresh"_s}).out, u"No active packages to refresh.\n"_s);
        m_server->setTrackInfo(u"DELIVERME1"_s, S::trackInfo(50, events(u"Delivered"_s, 50)));
        {
            auto context = openDefaultStore();
            context->insert(new Package(upsNumber, u"ups"_s, QString(), TrackingStatus::pending));
            context->insert(new Package(u"DELIVERME1"_s, QString(), QString(), TrackingStatus::inTransit));
            auto *archived = new Package(u"ARCHIVED1"_s, QString(), QString(), TrackingStatus::inTransit);
            archived->setArchived(true);
            context->insert(archived);
            QVERIFY(context->save());
        }
        CliRun run = cli({u"refresh"_s, u"1z999aa10123456784"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(upsNumber + u": Pending \u2192 Out for Delivery"_s), qPrintable(run.out));
        QVERIFY2(run.out.contains(u"Refreshed 1 package(s), 1 changed, 0 failed."_s), qPrintable(run.out));
        QVERIFY2(!run.err.contains(u"Refreshing"_s), qPrintable(run.err)); // standard error is no terminal here

        run = cli({u"refresh"_s});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(u"DELIVERME1: In Transit \u2192 Delivered"_s), qPrintable(run.out));
        QVERIFY2(run.out.contains(u"Refreshed 2 package(s), 1 changed, 0 failed."_s), qPrintable(run.out));
        for (const auto &request : m_server->requests())
            QVERIFY(!request.numbers.contains(u"ARCHIVED1"_s));
        QCOMPARE(stored(*openDefaultStore(), u"DELIVERME1"_s).constFirst()->status(), TrackingStatus::delivered);

        run = cli({u"refresh"_s, u"NOPE1"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.contains(u"No package with tracking number NOPE1"_s));
        m_server->setExpectedToken("another-key"); // a batch that fails as a whole is an error
        run = cli({u"refresh"_s});
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.contains(u"kestrove-cli: API key is invalid."_s), qPrintable(run.err));
    }

    void editCommands_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        QTest::newRow("archive") << u"archive"_s << u"Archived EDIT1.\n"_s;
        QTest::newRow("unarchive") << u"unarchive"_s << u"Unarchived EDIT1.\n"_s;
        QTest::newRow("pin") << u"pin"_s << u"Pinned EDIT1.\n"_s;
        QTest::newRow("unpin") << u"unpin"_s << u"Unpinned EDIT1.\n"_s;
        QTest::newRow("delete") << u"delete"_s << u"Deleted EDIT1.\n"_s;
    }
    void editCommands()
    {
        QFETCH(QString, command);
        QFETCH(QString, output);
        {
            auto context = openDefaultStore();
            auto *package = new Package(u"EDIT1"_s, u"dhl"_s, u"Lamp"_s, TrackingStatus::inTransit);
            // The opposite state, so that every command changes something.
            package->setArchived(command == u"unarchive"_s);
            package->setPinned(command == u"unpin"_s);
            context->insert(package);
            package->addToGroup(new PackageGroup(u"Home"_s, u"#007AFF"_s, 0));
            QVERIFY(context->save());
        }
        const CliRun run = cli({command, u"edit1"_s});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, output);
        auto context = openDefaultStore();
        const QList<Package *> packages = stored(*context, u"EDIT1"_s);
        if (command == u"delete"_s) {
            QVERIFY(packages.isEmpty());
            QVERIFY(context->fetchGroups().value().constFirst()->packages().isEmpty());
        } else {
            QCOMPARE(packages.constFirst()->isArchived(), command == u"archive"_s);
            QCOMPARE(packages.constFirst()->isPinned(), command == u"pin"_s);
            QCOMPARE(packages.constFirst()->groups().size(), 1);
            QVERIFY(cli({command, u"EDIT1"_s}).out.startsWith(u"EDIT1 is "_s)); // again: nothing to do
        }
        const CliRun unknown = cli({command, u"MISSING1"_s});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.contains(u"No package with tracking number MISSING1"_s));
    }

    void importAndExport()
    {
        const QString in = m_dir.filePath(u"in.csv"_s);
        QVERIFY(
            writeFile(in, "trackingNumber,label,status\n1z 999-aa1,Shoes,inTransit\n,empty\nJD0001234567,,bogus\n"));
        CliRun run = cli({u"import"_s, in});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"2 package(s) imported, 1 skipped (duplicate or invalid).\n"_s);
        QCOMPARE(cli({u"import"_s, in}).out, u"0 package(s) imported, 3 skipped (duplicate or invalid).\n"_s);

        const QString out = m_dir.filePath(u"sub/out.csv"_s);
        QVERIFY(QDir().mkpath(m_dir.filePath(u"sub"_s)));
        run = cli({u"export"_s, out});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, u"Exported 2 package(s) to %1\n"_s.arg(out));
        QFile exported(out);
        QVERIFY(exported.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(exported.readAll());
        QCOMPARE(text.count(u'\n'), 2);
        QCOMPARE(cli({u"export"_s}).out, text + u'\n');

        TestSupport::removeStoreAndPreferences();
        QCOMPARE(cli({u"import"_s, out}).out, u"2 package(s) imported, 0 skipped (duplicate or invalid).\n"_s);
        run = cli({u"export"_s, m_dir.filePath(u"no/such/folder/out.csv"_s)});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.startsWith(u"kestrove-cli: cannot write"_s));
    }

    void importFailures_data()
    {
        // What the file holds is the CSV reader's concern; here only what reading it from the command line adds.
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("error");
        QTest::newRow("a missing file") << m_dir.filePath(u"missing.csv"_s) << u"cannot read"_s;
        QTest::newRow("one endless line") << u"/dev/zero"_s << u"longer than 1 MiB"_s;
    }
    void importFailures()
    {
        QFETCH(QString, path);
        QFETCH(QString, error);
        const CliRun run = cli({u"import"_s, path});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(u"kestrove-cli: "_s) && run.err.contains(error), qPrintable(run.err));
        QVERIFY(!QFile::exists(ModelContainer::defaultStorePath())
                || openDefaultStore()->fetchPackages().value().isEmpty());
    }

    void refusedStoreIsReportedAndUntouched()
    {
        QVERIFY(writeFile(ModelContainer::defaultStorePath(), QByteArray(8192, 'x')));
        const QByteArray before = fileHash(ModelContainer::defaultStorePath());
        for (const QStringList &arguments : {QStringList {u"list"_s}, QStringList {u"show"_s, u"X1"_s}}) {
            const CliRun run = cli(arguments);
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(u"Could not create ModelContainer: The store file "_s), qPrintable(run.err));
            QVERIFY(run.out.isEmpty());
        }
        QCOMPARE(fileHash(ModelContainer::defaultStorePath()), before);
    }

    void configGetAndSet()
    {
        QCOMPARE(cli({u"config"_s, u"get"_s, u"refreshInterval"_s}).out, u"900\n"_s);
        QCOMPARE(cli({u"config"_s, u"set"_s, u"refreshInterval"_s, u"600"_s}).exitCode, 0);
        QCOMPARE(cli({u"config"_s, u"set"_s, u"autoDeleteEnabled"_s, u"true"_s}).exitCode, 0);
        QCOMPARE(cli({u"config"_s, u"get"_s, u"refreshInterval"_s}).out, u"600\n"_s);
        // The application's preferences read what the other process wrote, and the other way round.
        Preferences preferences;
        QCOMPARE(preferences.refreshInterval(), 600.0);
        QVERIFY(preferences.autoDeleteEnabled());
        preferences.setValue(PreferenceKeys::notificationsEnabled, u"sometimes"_s);
        QCOMPARE(cli({u"config"_s, u"get"_s, u"notificationsEnabled"_s}).out, u"true\n"_s);
    }

    void configRefusesBadInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("text for a number")
            << QStringList {u"set"_s, u"refreshInterval"_s, u"abc"_s} << u"expects a number"_s;
        QTest::newRow("word for a flag") << QStringList {u"set"_s, u"autoDeleteEnabled"_s, u"yes"_s}
                                         << u"expects true or false"_s;
        QTest::newRow("unknown key to set")
            << QStringList {u"set"_s, u"refreshIntervall"_s, u"5"_s} << u"unknown preference key"_s;
        QTest::newRow("unknown key to get") << QStringList {u"get"_s, u"colour"_s} << u"unknown preference key"_s;
        QTest::newRow("an interval that would poll in a tight loop")
            << QStringList {u"set"_s, u"refreshInterval"_s, u"0.001"_s} << u"expects a number from 60 to 604800"_s;
        QTest::newRow("a negative number is a value, not an option")
            << QStringList {u"set"_s, u"quietHoursStart"_s, u"-5"_s} << u"expects a number from 0 to 86399"_s;
        QTest::newRow("an unknown provider") << QStringList {u"set"_s, u"selectedProvider"_s, u"bogusprovider"_s}
                                             << u"expects one of 17track, ship24, aftership, trackingmore"_s;
    }
    void configRefusesBadInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        Preferences preferences;
        preferences.setRefreshInterval(1200);
        const QByteArray before = fileHash(preferences.filePath());
        const CliRun run = cli(QStringList {u"config"_s} + arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(fileHash(preferences.filePath()), before); // nothing written
    }

    void failedWritesChangeNothing_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<qint64>("fileSizeLimit"); // bytes; -1: none
        QTest::addColumn<QString>("standardOutput");
        QTest::addColumn<QString>("error"); // empty: the command succeeds
        const auto row = [](const char *name, const QStringList &arguments, qint64 limit, const QString &output,
                            const QString &error) { QTest::newRow(name) << arguments << limit << output << error; };
        row("key set on a full disk", {u"key"_s, u"set"_s}, 4, {}, u"the API key was not saved"_s);
        row("key status only reads", {u"key"_s, u"status"_s}, -1, {}, {});
        row("config set on a full disk", {u"config"_s, u"set"_s, u"refreshInterval"_s, u"1800"_s}, 8, {},
            u"could not be written"_s);
        row("export to a file on a full disk", {u"export"_s, m_dir.filePath(u"old.csv"_s)}, 48 * 1024, {},
            u"cannot write"_s);
        row("export to a full standard output", {u"export"_s}, -1, u"/dev/full"_s,
            u"cannot write to standard output"_s);
        row("list to a full standard output", {u"list"_s, u"--json"_s}, -1, u"/dev/full"_s,
            u"cannot write to standard output"_s);
    }
    void failedWritesChangeNothing()
    {
        QFETCH(QStringList, arguments);
        QFETCH(qint64, fileSizeLimit);
        QFETCH(QString, standardOutput);
        QFETCH(QString, error);
        {
            auto context = openDefaultStore(); // an export of some 70 KiB
            for (int i = 0; i < 300; ++i)
                context->insert(new Package(u"BULK%1"_s.arg(i), u"ups"_s, QString(200, u'x')));
            QVERIFY(context->save());
        }
        Preferences().setRefreshInterval(1200);
        QVERIFY(writeFile(m_dir.filePath(u"old.csv"_s), "the previous export"));
        const QStringList files {TestSupport::apiKeyFilePath(), Preferences().filePath(), m_dir.filePath(u"old.csv"_s)};
        const auto state = [&files] {
            QStringList state;
            for (const QString &file : files)
                state << QString::fromLatin1(fileHash(file).toHex())
                      << QFileInfo(file).fileTime(QFileDevice::FileMetadataChangeTime).toString(Qt::ISODateWithMs);
            return state;
        };
        const QStringList before = state();
        const CliRun run = cli(arguments, "a-longer-new-key\n", fileSizeLimit, standardOutput);
        QCOMPARE(run.exitCode, error.isEmpty() ? 0 : 1);
        QVERIFY2(run.err.contains(error), qPrintable(run.err));
        QCOMPARE(state(), before);
        QCOMPARE(QDir(m_dir.path()).entryList({u"old.csv.*"_s}, QDir::Files | QDir::Hidden), QStringList());
    }

    void aCommandThatThrowsEndsWithAnError()
    {
        QString err;
        QTextStream out(stdout);
        QTextStream errStream(&err);
        Cli::Services services;
        Cli::Invocation invocation {{}, out, errStream, services};
        Cli::Command command;
        command.name = u"import"_s;
        command.run = [](Cli::Invocation &) -> QCoro::Task<int> {
            co_await QCoro::sleepFor(std::chrono::milliseconds(1));
            throw std::bad_alloc();
        };
        QCOMPARE(TestSupport::runTask(Cli::execute(command, invocation)), std::optional<int>(Cli::Failure));
        QCOMPARE(err, u"kestrove-cli: import stopped: out of memory\n"_s);
    }

    void hostileTextIsShownNotObeyed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::newRow("clear screen") << u"\x1b[2Jgone"_s << u"\\e[2Jgone"_s;
        QTest::newRow("window title and bell") << u"\x1b]0;owned\x07"_s << u"\\e]0;owned\\x07"_s;
        QTest::newRow("8-bit CSI and DEL") << u"a\u009b31m\u007f"_s << u"a\\u009b31m\\x7f"_s;
        QTest::newRow("reversed text") << u"abc\u202edcba"_s << u"abc\\u202edcba"_s;
        QTest::newRow("line breaks and tabs") << u"a\nb\r\tc"_s << u"a\\nb\\r\\tc"_s;
        QTest::newRow("everything else as it is")
            << u"Caf\u00e9 \\ \U0001F4E6 \u05e9"_s << u"Caf\u00e9 \\ \U0001F4E6 \u05e9"_s;
    }
    void hostileTextIsShownNotObeyed()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(visibleText(text), shown);
        {
            auto context = openDefaultStore();
            auto *package = new Package(u"HOSTILE1"_s, u"ups"_s, text, TrackingStatus::inTransit);
            package->setLastErrorMessage(text);
            context->insert(package);
            QVERIFY(context->save());
        }
        QVERIFY2(cli({u"list"_s}).out.contains(shown), qPrintable(cli({u"list"_s}).out));
        QVERIFY(cli({u"show"_s, u"HOSTILE1"_s}).out.contains(u"Last error:         "_s + shown + u'\n'));
        QCOMPARE(json(cli({u"list"_s, u"--json"_s}))[0][u"label"_s].toString(), text);
        QCOMPARE(stored(*openDefaultStore(), u"HOSTILE1"_s).constFirst()->label(), text);
    }

    void aRefusedConnectionIsReportedOnceOnATerminal()
    {
        QTcpServer closed; // a port that nothing listens on any more
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 port = closed.serverPort();
        closed.close();
        const int terminal = ::posix_openpt(O_RDWR | O_NOCTTY);
        QVERIFY(terminal >= 0 && ::grantpt(terminal) == 0 && ::unlockpt(terminal) == 0);
        QProcessEnvironment environment = this->environment();
        environment.insert(u"KESTROVE_17TRACK_BASE_URL"_s, u"https://127.0.0.1:%1/track/v2.2"_s.arg(port));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.setStandardErrorFile(QString::fromLocal8Bit(::ptsname(terminal)));
        process.start(TestSupport::executablePath(u"kestrove-cli"_s), {u"add"_s, upsNumber, u"--carrier"_s, u"ups"_s});
        QCOMPARE(TestSupport::finishCli(process).exitCode, 0);
        QByteArray shown(4096, '\0');
        shown.truncate(std::max<ssize_t>(0, ::read(terminal, shown.data(), shown.size())));
        ::close(terminal);
        // No log line repeating the message, and no stray warning from the network stack.
        QCOMPARE(QString::fromUtf8(shown).remove(u'\r'),
                 u"kestrove-cli: added %1, but the first fetch failed: Network error: Connection refused\n"_s.arg(
                     upsNumber));
    }

    void theCommandLineAndTheApplicationKeepEachOthersChanges()
    {
        // The application's main context, with the package on screen and an edit not saved yet.
        // This process holds only this one connection, like the application; the command line
        // reads and writes from its own processes.
        auto app = openDefaultStore();
        QVERIFY(app);
        auto *package = new Package(upsNumber, u"ups"_s, u"Shoes"_s, TrackingStatus::pending);
        app->insert(package);
        QVERIFY(app->save());
        package->setNotes(u"typed in the window"_s);
        const auto storedJson = [this] { return json(cli({u"show"_s, upsNumber, u"--json"_s})).toObject(); };

        // The command line archives it meanwhile; the window saves its own edit afterwards.
        QCOMPARE(cli({u"archive"_s, upsNumber}).exitCode, 0);
        QVERIFY(app->save());
        QJsonObject stored = storedJson();
        QCOMPARE(stored[u"isArchived"_s].toBool(), true);
        QCOMPARE(stored[u"notes"_s].toString(), u"typed in the window"_s);

        // The running application notices command-line writes by itself.
        SeventeenTrackProvider::Options options;
        options.baseURL = m_server->baseUrl();
        options.apiKey = [] { return std::optional<QString>(QString::fromLatin1(apiKey)); };
        Preferences preferences; // the application's file, as the window would read it
        TrackingService::Collaborators collaborators;
        collaborators.provider = std::make_unique<SeventeenTrackProvider>(std::move(options));
        collaborators.clock = Clock::shared();
        collaborators.preferences = &preferences;
        collaborators.postNotifications = false;
        collaborators.polling.observeSystemSleep = false;
        collaborators.backgroundRetries = false;
        TrackingService service(std::move(collaborators));
        service.startServices(*app);
        QTRY_VERIFY_WITH_TIMEOUT(package->isArchived(), 5000);
        QCOMPARE(cli({u"pin"_s, upsNumber}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(package->isPinned(), 5000);
        QCOMPARE(cli({u"unarchive"_s, upsNumber}).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!package->isArchived(), 5000);

        // Both write at once: the window refreshes while the command line unpins.
        m_server->setReply(u"getrealtimetrackinfo"_s,
                           S::Reply::json(S::envelope(QJsonArray {S::trackData(
                                              upsNumber, 100002, S::trackInfo(40, events(u"On vehicle"_s, 40)))}))
                               .withDelay(std::chrono::milliseconds(1500)));
        bool refreshed = false;
        QCoro::connect(service.refreshAll(*app), this, [&refreshed] { refreshed = true; });
        auto unpin = TestSupport::startCli({u"unpin"_s, upsNumber}, {}, environment());
        QCOMPARE(TestSupport::finishCli(*unpin).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(refreshed, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(!package->isPinned(), 5000);

        stored = storedJson();
        QCOMPARE(stored[u"status"_s].toString(), u"outForDelivery"_s);
        QCOMPARE(stored[u"events"_s].toArray().size(), 1);
        QCOMPARE(stored[u"isPinned"_s].toBool(), false);
        QCOMPARE(stored[u"isArchived"_s].toBool(), false);
        QCOMPARE(stored[u"notes"_s].toString(), u"typed in the window"_s);
    }
};

KESTROVE_TEST_MAIN(CliTest)
#include "clitest.moc"
