// kestrove-cli's tracking commands as a user runs them, against a fake 17TRACK server started by
// the test, and the command line and a running application's context on one store at once.
#include "clirunner.h"
#include "fake17trackserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"
#include "model/trackingevent.h"
#include "providers/seventeentrackprovider.h"
#include "testmain.h"
#include "tracking/trackingservice.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTest>
#include <QTimeZone>

#include <memory>

using S = Fake17TrackServer;

namespace
{
const QString upsNumber = QStringLiteral("1Z999AA10123456784");
const QString apiKey = QStringLiteral("cli-tracking-key");
using TestSupport::CliRun;
using TestSupport::openDefaultStore;

QJsonArray events(const QString &description, qint64 status)
{
    return QJsonArray {
        S::event(QStringLiteral("2026-06-14T08:00:00Z"), description, status, QStringLiteral("Memphis, TN"))};
}
}

class TrackingCliTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<S> m_server;

    /** Starts the command line against the fake server; the key lives in the private fallback file. */
    std::unique_ptr<QProcess> startCli(const QStringList &arguments, const QByteArray &input = {})
    {
        QProcessEnvironment environment = TestSupport::environmentWithoutSessionBus();
        environment.insert(QStringLiteral("KESTROVE_17TRACK_BASE_URL"), m_server->baseUrl());
        return TestSupport::startCli(arguments, input, environment);
    }

    CliRun runCli(const QStringList &arguments, const QByteArray &input = {})
    {
        return TestSupport::finishCli(*startCli(arguments, input));
    }

    /** The stored packages with this number, as another process reads them now. */
    static QList<Package *> stored(ModelContext &context, const QString &number)
    {
        auto found = context.fetchPackages([&](const Package &p) { return p.trackingNumber() == number; });
        return found ? found.value() : QList<Package *> {};
    }

    static QStringList numbersOf(const QString &json)
    {
        QStringList numbers;
        const QJsonArray array = QJsonDocument::fromJson(json.toUtf8()).array();
        for (const QJsonValue &value : array)
            numbers.append(value[QLatin1String("trackingNumber")].toString());
        return numbers;
    }

    /** A store with one package of each kind the list rule tells apart. */
    void seedList()
    {
        auto context = openDefaultStore();
        QVERIFY(context);
        const QDateTime base(QDate(2026, 6, 1), QTime(8, 0), QTimeZone::utc());
        const auto add = [&](const QString &number, TrackingStatus status, int hoursAgo, const QString &label = {}) {
            auto *package = new Package(number, QStringLiteral("ups"), label, status);
            package->setLastUpdated(base.addSecs(-3600 * hoursAgo));
            package->setDateAdded(base.addSecs(-3600 * hoursAgo));
            context->insert(package);
            return package;
        };
        add(QStringLiteral("PEND1"), TrackingStatus::pending, 5);
        Package *transit = add(QStringLiteral("TRANS1"), TrackingStatus::inTransit, 1, QStringLiteral("Red shoes"));
        add(QStringLiteral("DELIV1"), TrackingStatus::delivered, 3);
        add(QStringLiteral("EXC1"), TrackingStatus::exception, 4);
        Package *archived = add(QStringLiteral("ARCH1"), TrackingStatus::delivered, 2);
        archived->setArchived(true);
        Package *pinned = add(QStringLiteral("PIN1"), TrackingStatus::outForDelivery, 9);
        pinned->setPinned(true);
        auto *group = new PackageGroup(QStringLiteral("Gifts"), QStringLiteral("#FF2D55"), 0);
        archived->addToGroup(group);
        transit->addToGroup(group);
        QVERIFY(context->save());
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QFile::exists(TestSupport::executablePath(QStringLiteral("kestrove-cli")))); }

    void init()
    {
        TestSupport::removeStoreAndPreferences();
        m_server = std::make_unique<S>();
        QVERIFY(m_server->listen());
        m_server->setExpectedToken(apiKey.toUtf8());
        const CliRun key = runCli({QStringLiteral("key"), QStringLiteral("set")}, apiKey.toUtf8() + '\n');
        QCOMPARE(key.exitCode, 0);
        m_server->setTrackInfo(upsNumber, S::trackInfo(10, events(QStringLiteral("Departed FedEx hub"), 10)), 100002);
    }

    void cleanup() { m_server.reset(); }

    void addStoresThePackageWithItsFirstFetch()
    {
        const CliRun run
            = runCli({QStringLiteral("add"), QStringLiteral("1z999 aa1-0123456784"), QStringLiteral("--label"),
                      QStringLiteral("Shoes"), QStringLiteral("--notes"), QStringLiteral("Leave at the door")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.startsWith(upsNumber + QLatin1Char('\n')), qPrintable(run.out));
        QVERIFY2(run.out.contains(QLatin1String("In Transit")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QLatin1String("Departed FedEx hub")), qPrintable(run.out));
        QVERIFY(!run.err.contains(QLatin1String("kestrove-cli")));

        auto context = openDefaultStore();
        QVERIFY(context);
        const QList<Package *> packages = stored(*context, upsNumber);
        QCOMPARE(packages.size(), 1);
        const Package *package = packages.constFirst();
        QCOMPARE(package->label(), QStringLiteral("Shoes"));
        QCOMPARE(package->notes(), QStringLiteral("Leave at the door"));
        QCOMPARE(package->carrierCode(), QStringLiteral("ups"));
        QCOMPARE(package->status(), TrackingStatus::inTransit);
        QCOMPARE(package->events().size(), 1);
        // The real-time answer was followed by the background registration before the command ended.
        QVERIFY(m_server->isRegistered(upsNumber));
        for (const auto &request : m_server->requests())
            QCOMPARE(request.header("17token"), apiKey.toUtf8());
    }

    void addKeepsAGivenCarrier()
    {
        const CliRun run
            = runCli({QStringLiteral("add"), upsNumber, QStringLiteral("--carrier"), QStringLiteral("fedex")});
        QCOMPARE(run.exitCode, 0);
        auto context = openDefaultStore();
        QCOMPARE(stored(*context, upsNumber).constFirst()->carrierCode(), QStringLiteral("fedex"));
        QVERIFY(m_server->requests(QStringLiteral("getcarrier")).isEmpty());
    }

    void addWithAFailedFetchStillAdds()
    {
        m_server->setExpectedToken("a-different-key");
        const CliRun run = runCli({QStringLiteral("add"), QStringLiteral("ABC123456789"), QStringLiteral("--carrier"),
                                   QStringLiteral("usps")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.err.contains(QLatin1String("kestrove-cli: added ABC123456789, but the first fetch failed: ")),
                 qPrintable(run.err));
        auto context = openDefaultStore();
        const QList<Package *> packages = stored(*context, QStringLiteral("ABC123456789"));
        QCOMPARE(packages.size(), 1);
        QVERIFY(packages.constFirst()->lastErrorMessage().has_value());
    }

    void addRejectsAnEmptyNumber()
    {
        const CliRun run = runCli({QStringLiteral("add"), QStringLiteral(" - ")});
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.err.contains(QLatin1String("the tracking number is empty")));
        QVERIFY(m_server->requests().isEmpty());
    }

    void listByTheSharedRule_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("expected");
        const auto args = [](std::initializer_list<const char *> list) {
            QStringList result {QStringLiteral("list"), QStringLiteral("--json")};
            for (const char *a : list)
                result.append(QString::fromUtf8(a));
            return result;
        };
        const auto numbers = [](std::initializer_list<const char *> list) {
            QStringList result;
            for (const char *a : list)
                result.append(QString::fromUtf8(a));
            return result;
        };
        QTest::newRow("without options the main window's default view")
            << args({}) << numbers({"PIN1", "TRANS1", "DELIV1", "EXC1", "PEND1"});
        QTest::newRow("the all filter hides archived packages")
            << args({"--filter", "all"}) << numbers({"PIN1", "TRANS1", "DELIV1", "EXC1", "PEND1"});
        QTest::newRow("transit filter") << args({"--filter", "inTransit"}) << numbers({"PIN1", "TRANS1", "PEND1"});
        QTest::newRow("issues filter") << args({"--filter", "exceptions"}) << numbers({"EXC1"});
        QTest::newRow("archived filter") << args({"--filter", "archived"}) << numbers({"ARCH1"});
        QTest::newRow("a group lists its members whatever the filter")
            << args({"--filter", "delivered", "--group", "Gifts"}) << numbers({"TRANS1", "ARCH1"});
        QTest::newRow("search in labels") << args({"--search", "SHOES"}) << numbers({"TRANS1"});
        QTest::newRow("search in numbers") << args({"--filter", "all", "--search", "exc"}) << numbers({"EXC1"});
        QTest::newRow("sort by status, pinned first")
            << args({"--filter", "all", "--sort", "status"}) << numbers({"PIN1", "PEND1", "TRANS1", "DELIV1", "EXC1"});
    }

    void listByTheSharedRule()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        seedList();
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(numbersOf(run.out), expected);
    }

    void listRefusesUnknownValues_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("unknown filter") << QStringList {QStringLiteral("list"), QStringLiteral("--filter"),
                                                        QStringLiteral("Transit")}
                                        << 2
                                        << QStringLiteral("unknown filter \"Transit\"; valid filters: all, inTransit, "
                                                          "delivered, exceptions, archived");
        QTest::newRow("unknown sort") << QStringList {QStringLiteral("list"), QStringLiteral("--sort"),
                                                      QStringLiteral("eta")}
                                      << 2
                                      << QStringLiteral("unknown sort mode \"eta\"; valid sort modes: lastUpdated, "
                                                        "dateAdded, status, carrier, estimatedDelivery");
        QTest::newRow("unknown group") << QStringList {QStringLiteral("list"), QStringLiteral("--group"),
                                                       QStringLiteral("Nope")}
                                       << 1 << QStringLiteral("No group named Nope");
    }

    void listRefusesUnknownValues()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        seedList();
        const CliRun run = runCli(arguments);
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
    }

    void refreshOnePackage()
    {
        {
            auto context = openDefaultStore();
            context->insert(new Package(upsNumber, QStringLiteral("ups"), QString(), TrackingStatus::pending));
            QVERIFY(context->save());
        }
        const CliRun run = runCli({QStringLiteral("refresh"), QStringLiteral("1z999aa10123456784")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(upsNumber + QStringLiteral(": Pending \u2192 In Transit")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QLatin1String("Refreshed 1 package(s), 1 changed, 0 failed.")), qPrintable(run.out));
        // Standard error is no terminal here: no progress line.
        QVERIFY2(!run.err.contains(QLatin1String("Refreshing")), qPrintable(run.err));
        auto context = openDefaultStore();
        QCOMPARE(stored(*context, upsNumber).constFirst()->status(), TrackingStatus::inTransit);

        const CliRun unknown = runCli({QStringLiteral("refresh"), QStringLiteral("NOPE1")});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.contains(QLatin1String("No package with tracking number NOPE1")));
    }

    void refreshAllActivePackages()
    {
        m_server->setTrackInfo(QStringLiteral("DELIVERME1"), S::trackInfo(50, events(QStringLiteral("Delivered"), 50)));
        {
            auto context = openDefaultStore();
            context->insert(new Package(upsNumber, QStringLiteral("ups"), QString(), TrackingStatus::pending));
            context->insert(new Package(QStringLiteral("DELIVERME1"), QString(), QString(), TrackingStatus::inTransit));
            auto *archived = new Package(QStringLiteral("ARCHIVED1"), QString(), QString(), TrackingStatus::inTransit);
            archived->setArchived(true);
            context->insert(archived);
            context->insert(new Package(QStringLiteral("DONE1"), QString(), QString(), TrackingStatus::delivered));
            QVERIFY(context->save());
        }
        const CliRun run = runCli({QStringLiteral("refresh")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("DELIVERME1: In Transit \u2192 Delivered")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QLatin1String("Refreshed 2 package(s), 2 changed, 0 failed.")), qPrintable(run.out));
        QStringList asked;
        for (const auto &request : m_server->requests())
            asked.append(request.numbers);
        QVERIFY(!asked.contains(QStringLiteral("ARCHIVED1")));
        QVERIFY(!asked.contains(QStringLiteral("DONE1")));
        auto context = openDefaultStore();
        QCOMPARE(stored(*context, QStringLiteral("DELIVERME1")).constFirst()->status(), TrackingStatus::delivered);

        // A batch that fails as a whole is an error.
        m_server->setExpectedToken("a-different-key");
        const CliRun failed = runCli({QStringLiteral("refresh")});
        QCOMPARE(failed.exitCode, 1);
        QVERIFY2(failed.err.contains(QLatin1String("kestrove-cli: ")), qPrintable(failed.err));
    }

    void refreshWithNothingActive()
    {
        const CliRun run = runCli({QStringLiteral("refresh")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("No active packages to refresh.\n"));
        QVERIFY(m_server->requests().isEmpty());
    }

    void archivePinAndDelete_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("output");
        QTest::newRow("archive") << QStringLiteral("archive") << QStringLiteral("Archived ");
        QTest::newRow("unarchive") << QStringLiteral("unarchive") << QStringLiteral("Unarchived ");
        QTest::newRow("pin") << QStringLiteral("pin") << QStringLiteral("Pinned ");
        QTest::newRow("unpin") << QStringLiteral("unpin") << QStringLiteral("Unpinned ");
        QTest::newRow("delete") << QStringLiteral("delete") << QStringLiteral("Deleted ");
    }

    void archivePinAndDelete()
    {
        QFETCH(QString, command);
        QFETCH(QString, output);
        {
            auto context = openDefaultStore();
            auto *package = new Package(QStringLiteral("EDIT1"), QStringLiteral("dhl"), QStringLiteral("Lamp"),
                                        TrackingStatus::inTransit);
            // The opposite state, so that every command changes something.
            package->setArchived(command == QLatin1String("unarchive"));
            package->setPinned(command == QLatin1String("unpin"));
            package->appendEvent(std::make_unique<TrackingEvent>(QDateTime::currentDateTimeUtc(),
                                                                 TrackingStatus::inTransit, QStringLiteral("Scan")));
            context->insert(package);
            package->addToGroup(new PackageGroup(QStringLiteral("Home"), QStringLiteral("#007AFF"), 0));
            QVERIFY(context->save());
        }
        const CliRun run = runCli({command, QStringLiteral("edit1")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, output + QStringLiteral("EDIT1.\n"));

        auto context = openDefaultStore();
        const QList<Package *> packages = stored(*context, QStringLiteral("EDIT1"));
        if (command == QLatin1String("delete")) {
            QVERIFY(packages.isEmpty());
            const auto groups = context->fetchGroups();
            QVERIFY(groups && groups.value().size() == 1);
            QVERIFY(groups.value().constFirst()->packages().isEmpty());
        } else {
            QCOMPARE(packages.size(), 1);
            const Package *package = packages.constFirst();
            QCOMPARE(package->isArchived(), command == QLatin1String("archive"));
            QCOMPARE(package->isPinned(), command == QLatin1String("pin"));
            QCOMPARE(package->label(), QStringLiteral("Lamp"));
            QCOMPARE(package->events().size(), 1);
            QCOMPARE(package->groups().size(), 1);
            // Running it again changes nothing and says so.
            const CliRun again = runCli({command, QStringLiteral("EDIT1")});
            QCOMPARE(again.exitCode, 0);
            QVERIFY(again.out.startsWith(QLatin1String("EDIT1 is ")));
        }

        const CliRun unknown = runCli({command, QStringLiteral("MISSING1")});
        QCOMPARE(unknown.exitCode, 1);
        QVERIFY(unknown.err.contains(QLatin1String("No package with tracking number MISSING1")));
        const CliRun usage = runCli({command});
        QCOMPARE(usage.exitCode, 2);
    }

    void theCommandLineAndTheApplicationKeepEachOthersChanges()
    {
        // The application's main context, with the package on screen and an edit not saved yet.
        // This process holds only this one connection, like the application; the command line
        // reads and writes from its own processes.
        auto app = openDefaultStore();
        QVERIFY(app);
        auto *package = new Package(upsNumber, QStringLiteral("ups"), QStringLiteral("Shoes"), TrackingStatus::pending);
        app->insert(package);
        QVERIFY(app->save());
        package->setNotes(QStringLiteral("typed in the window"));

        const auto storedJson = [this]() {
            const CliRun show = runCli({QStringLiteral("show"), upsNumber, QStringLiteral("--json")});
            return QJsonDocument::fromJson(show.out.toUtf8()).object();
        };

        // The command line archives it meanwhile; the window saves its own edit afterwards.
        const CliRun archive = runCli({QStringLiteral("archive"), upsNumber});
        QCOMPARE(archive.exitCode, 0);
        QVERIFY(app->save());
        QJsonObject stored = storedJson();
        QCOMPARE(stored[QLatin1String("isArchived")].toBool(), true);
        QCOMPARE(stored[QLatin1String("notes")].toString(), QStringLiteral("typed in the window"));

        // The running application notices command-line writes by itself.
        SeventeenTrackProvider::Options options;
        options.baseURL = m_server->baseUrl();
        options.apiKey = [] { return std::optional<QString>(apiKey); };
        TrackingService::Collaborators collaborators;
        collaborators.provider = std::make_unique<SeventeenTrackProvider>(std::move(options));
        collaborators.postNotifications = false;
        collaborators.polling.observeSystemSleep = false;
        collaborators.backgroundRetries = false;
        TrackingService service(std::move(collaborators));
        service.startServices(*app);
        QTRY_VERIFY_WITH_TIMEOUT(package->isArchived(), 5000);
        const CliRun pin = runCli({QStringLiteral("pin"), upsNumber});
        QCOMPARE(pin.exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(package->isPinned(), 5000);
        const CliRun unarchive = runCli({QStringLiteral("unarchive"), upsNumber});
        QCOMPARE(unarchive.exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!package->isArchived(), 5000);

        // Both write at once: the window refreshes while the command line unpins.
        m_server->setReply(
            QStringLiteral("getrealtimetrackinfo"),
            S::Reply::json(S::envelope(QJsonArray {S::trackData(
                               upsNumber, 100002, S::trackInfo(40, events(QStringLiteral("On vehicle"), 40)))}))
                .withDelay(std::chrono::milliseconds(1500)));
        bool refreshed = false;
        QCoro::connect(service.refreshAll(*app), this, [&refreshed] { refreshed = true; });
        auto unpin = startCli({QStringLiteral("unpin"), upsNumber});
        const CliRun unpinned = TestSupport::finishCli(*unpin);
        QCOMPARE(unpinned.exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(refreshed, 20000);
        QCOMPARE(package->status(), TrackingStatus::outForDelivery);
        QTRY_VERIFY_WITH_TIMEOUT(!package->isPinned(), 5000);

        stored = storedJson();
        QCOMPARE(stored[QLatin1String("status")].toString(), QStringLiteral("outForDelivery"));
        QCOMPARE(stored[QLatin1String("events")].toArray().size(), 1);
        QCOMPARE(stored[QLatin1String("isPinned")].toBool(), false);
        QCOMPARE(stored[QLatin1String("isArchived")].toBool(), false);
        QCOMPARE(stored[QLatin1String("notes")].toString(), QStringLiteral("typed in the window"));
    }
};

KESTROVE_TEST_MAIN(TrackingCliTest)
#include "trackingclitest.moc"
