// The adaptive polling schedule: the interval rule, planning and replanning, sleep and wake.
#include "model/package.h"
#include "model/preferences.h"
#include "testmain.h"
#include "tracking/adaptivepollingmanager.h"
#include "virtualclock.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace
{
/** One package of an interval table row. */
struct Shape {
    TrackingStatus status = TrackingStatus::pending;
    bool archived = false;
    std::optional<double> custom;
    double hoursSinceUpdate = 0;
};

QDateTime tableNow()
{
    return QDateTime(QDate(2026, 3, 1), QTime(9, 30), QTimeZone::utc());
}

Shape shape(TrackingStatus status, double hoursSinceUpdate = 0)
{
    return Shape {status, false, std::nullopt, hoursSinceUpdate};
}

Shape archived(TrackingStatus status)
{
    return Shape {status, true, std::nullopt, 0};
}

Shape custom(TrackingStatus status, double seconds)
{
    return Shape {status, false, seconds, 0};
}
}

Q_DECLARE_METATYPE(QList<Shape>)

class PollingTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<VirtualClock> m_clock;

    /** A manager on the virtual clock; it watches for system sleep only on a given system bus. */
    std::unique_ptr<AdaptivePollingManager> makeManager(const std::optional<QDBusConnection> &systemBus = {})
    {
        AdaptivePollingManager::Options options;
        options.clock = m_clock.get();
        options.preferences = m_preferences.get();
        options.observeSystemSleep = systemBus.has_value();
        if (systemBus)
            options.systemBus = *systemBus;
        return std::make_unique<AdaptivePollingManager>(std::move(options));
    }

    /** A manager that counts its polls; the callback may do more through `extra`. */
    std::unique_ptr<AdaptivePollingManager> makeCountingManager(int &polls, std::function<QCoro::Task<>()> extra = {},
                                                                const std::optional<QDBusConnection> &systemBus = {})
    {
        auto manager = makeManager(systemBus);
        manager->setOnRefreshNeeded([&polls, extra]() -> QCoro::Task<> {
            ++polls;
            if (extra)
                co_await extra();
        });
        return manager;
    }

    /** Lets queued work (the poll task's continuation) run without moving virtual time. */
    static void settle() { QTest::qWait(5); }

    /** Moves virtual time on and lets the poll it made due run. */
    void advance(std::chrono::milliseconds by)
    {
        m_clock->advance(by);
        settle();
    }

    /** The next poll comes exactly after the wait: not one second earlier. */
    void expectPollExactlyAfter(const int &polls, std::chrono::seconds wait)
    {
        const int before = polls;
        advance(wait - std::chrono::seconds(1));
        QCOMPARE(polls, before);
        advance(std::chrono::seconds(1));
        QCOMPARE(polls, before + 1);
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(QStringLiteral("prefs.conf")));
        m_clock = std::make_unique<VirtualClock>(tableNow());
    }

    void cleanup()
    {
        m_preferences.reset();
        m_clock.reset();
        m_dir.reset();
    }

    void intervalRule_data()
    {
        QTest::addColumn<QList<Shape>>("packages");
        QTest::addColumn<double>("refreshInterval");
        QTest::addColumn<qint64>("expectedMs");

        using S = TrackingStatus;
        QTest::newRow("no packages and no stored interval poll every 900 s")
            << QList<Shape> {} << 0.0 << qint64(900'000);
        QTest::newRow("no active packages take the global interval, raised to 30 s")
            << QList<Shape> {} << 10.0 << qint64(30'000);
        QTest::newRow("out for delivery under a 3600 s cap is 120 s")
            << QList<Shape> {shape(S::outForDelivery)} << 3600.0 << qint64(120'000);
        QTest::newRow("pending alone is capped by a 300 s global interval")
            << QList<Shape> {shape(S::pending)} << 300.0 << qint64(300'000);
        QTest::newRow("pending alone under a 7200 s cap is 3600 s")
            << QList<Shape> {shape(S::pending)} << 7200.0 << qint64(3'600'000);
        QTest::newRow("a custom 10 s interval is raised to 30 s")
            << QList<Shape> {custom(S::pending, 10)} << 3600.0 << qint64(30'000);
        QTest::newRow("a custom interval keeps its fraction")
            << QList<Shape> {custom(S::inTransit, 45.5)} << 3600.0 << qint64(45'500);
        QTest::newRow("a custom interval above the cap is capped")
            << QList<Shape> {custom(S::outForDelivery, 7200)} << 900.0 << qint64(900'000);
        QTest::newRow("a custom interval of 0 falls back to the status")
            << QList<Shape> {custom(S::outForDelivery, 0)} << 3600.0 << qint64(120'000);
        QTest::newRow("in transit updated exactly 24 hours ago is 1800 s")
            << QList<Shape> {shape(S::inTransit, 24)} << 3600.0 << qint64(1'800'000);
        QTest::newRow("in transit updated a second under 24 hours ago is 900 s")
            << QList<Shape> {shape(S::inTransit, 24 - 1.0 / 3600)} << 3600.0 << qint64(900'000);
        QTest::newRow("exception is 900 s") << QList<Shape> {shape(S::exception)} << 3600.0 << qint64(900'000);
        QTest::newRow("the smallest package interval wins")
            << QList<Shape> {shape(S::pending), shape(S::unknown), shape(S::outForDelivery), shape(S::inTransit)}
            << 3600.0 << qint64(120'000);
        QTest::newRow("delivered, expired and archived packages leave the global interval")
            << QList<Shape> {shape(S::delivered), shape(S::expired), archived(S::outForDelivery)} << 3600.0
            << qint64(3'600'000);
        QTest::newRow("a stored interval beyond a hundred years counts as a hundred years")
            << QList<Shape> {} << 1e300 << qint64(100LL * 365 * 24 * 3600 * 1000);
    }

    void intervalRule()
    {
        QFETCH(QList<Shape>, packages);
        QFETCH(double, refreshInterval);
        QFETCH(qint64, expectedMs);

        std::vector<std::unique_ptr<Package>> owned;
        QList<Package *> list;
        for (const Shape &s : packages) {
            auto package = std::make_unique<Package>(QStringLiteral("NUMBER%1").arg(owned.size()), QString(), QString(),
                                                     s.status);
            package->setArchived(s.archived);
            package->setCustomRefreshInterval(s.custom);
            package->setLastUpdated(tableNow().addMSecs(-qint64(s.hoursSinceUpdate * 3600 * 1000)));
            list.append(package.get());
            owned.push_back(std::move(package));
        }
        QCOMPARE(AdaptivePollingManager::computeInterval(list, refreshInterval, tableNow()).count(), expectedMs);

        // The member form reads the stored preference and the clock; a value outside its documented
        // range reads clamped (below).
        if (refreshInterval != 0 && (refreshInterval < 60 || refreshInterval > 604800))
            return;
        if (refreshInterval != 0)
            m_preferences->setRefreshInterval(refreshInterval);
        QCOMPARE(makeManager()->computeInterval(list).count(), expectedMs);
    }

    void aHandEditedTinyIntervalPollsOnceAMinute()
    {
        m_preferences->setRefreshInterval(0.001);
        QCOMPARE(makeManager()->computeInterval({}), std::chrono::milliseconds(60'000));
    }

    void nothingIsPlannedBeforeStart()
    {
        int polls = 0;
        auto manager = makeCountingManager(polls);
        Package outForDelivery(QStringLiteral("1Z1"), QString(), QString(), TrackingStatus::outForDelivery);
        manager->scheduleNext({&outForDelivery});
        manager->systemWillSleep();
        manager->systemDidWake();
        QVERIFY(manager->isSystemAwake());
        QVERIFY(!manager->nextPollDate().has_value());
        QVERIFY(!manager->hasPlannedPoll());
        advance(2h);
        QCOMPARE(polls, 0);
    }

    void pollsEveryGlobalIntervalWithoutPackages()
    {
        int polls = 0;
        auto manager = makeCountingManager(polls);
        manager->start();
        QVERIFY(manager->isRunning());
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(900));

        expectPollExactlyAfter(polls, 900s);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(1800));

        advance(900s);
        QCOMPARE(polls, 2);
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(2700));

        // start() a second time changes nothing.
        manager->start();
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(2700));
    }

    void adaptiveIntervalGovernsOnlyTheFirstPollAfterAManualRefresh()
    {
        m_preferences->setRefreshInterval(3600);
        Package outForDelivery(QStringLiteral("1Z1"), QString(), QString(), TrackingStatus::outForDelivery);
        outForDelivery.setLastUpdated(tableNow());
        int polls = 0;
        AdaptivePollingManager *raw = nullptr;
        // Like the tracking service: each refresh plans from its active packages first.
        auto manager = makeCountingManager(polls, [&]() -> QCoro::Task<> {
            raw->scheduleNext({&outForDelivery});
            co_return;
        });
        raw = manager.get();
        manager->start();
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(3600));

        // A manual refresh of all packages ends with the active packages.
        manager->scheduleNext({&outForDelivery});
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(120));

        advance(120s);
        QCOMPARE(polls, 1);
        // The poll's own plan from an empty list replaces the refresh's adaptive one.
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(120 + 3600));
        expectPollExactlyAfter(polls, 3600s);
    }

    void replanningCancelsThePlannedPoll()
    {
        int polls = 0;
        auto manager = makeCountingManager(polls);
        manager->start();
        Package pending(QStringLiteral("P1"), QString(), QString(), TrackingStatus::pending);
        m_preferences->setRefreshInterval(7200);
        m_clock->advance(100s);
        manager->scheduleNext({&pending});
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(100 + 3600));

        // The first plan (due at 900 s) is gone.
        expectPollExactlyAfter(polls, 3600s);
    }

    void theRefreshIsAwaitedBeforeTheNextPlan()
    {
        int polls = 0;
        VirtualClock *clock = m_clock.get();
        auto manager = makeCountingManager(polls, [clock]() -> QCoro::Task<> { co_await clock->sleep(10min); });
        manager->start();
        advance(900s);
        QCOMPARE(polls, 1);
        // Still refreshing: the next poll is not planned yet.
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(900));
        advance(10min);
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(900 + 600 + 900));
    }

    void aLongIntervalIsSleptADayAtATime()
    {
        // The longest interval, a week, in sleeps of a day; the poll still comes exactly when planned.
        m_preferences->setRefreshInterval(7 * 24 * 3600);
        int polls = 0;
        auto manager = makeCountingManager(polls);
        manager->start();
        QCOMPARE(manager->nextPollDate(), tableNow().addDays(7));
        for (int day = 1; day < 7; ++day)
            advance(24h);
        advance(24h - 1s);
        QCOMPARE(polls, 0);
        advance(1s);
        QCOMPARE(polls, 1);
        QCOMPARE(manager->nextPollDate(), tableNow().addDays(14));
        for (const std::chrono::milliseconds sleep : m_clock->requestedSleeps())
            QVERIFY(sleep <= 24h);
    }

    void aChangedPreferenceCountsAtTheNextPlan()
    {
        int polls = 0;
        auto manager = makeCountingManager(polls);
        manager->start();
        m_preferences->setRefreshInterval(60);
        advance(900s);
        QCOMPARE(polls, 1);
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(960));
        advance(60s);
        QCOMPARE(polls, 2);
    }

    void sleepPausesAndWakePlansOneGlobalIntervalLater()
    {
        int polls = 0;
        auto manager = makeCountingManager(polls);
        manager->start();
        m_clock->advance(300s);

        manager->handlePrepareForSleep(true);
        QVERIFY(!manager->isSystemAwake());
        QVERIFY(!manager->hasPlannedPoll());
        QCOMPARE(manager->nextPollDate(), tableNow().addSecs(900)); // left as it was
        advance(5h);
        QCOMPARE(polls, 0);

        // Planning while asleep is possible, but the poll does not fire before waking.
        manager->scheduleNext({});
        advance(900s);
        QCOMPARE(polls, 0);

        manager->handlePrepareForSleep(false);
        QVERIFY(manager->isSystemAwake());
        const QDateTime woke = m_clock->now();
        QCOMPARE(manager->nextPollDate(), woke.addSecs(900));
        expectPollExactlyAfter(polls, 900s);
    }

    void sleepDuringARefreshDoesNotInterruptIt()
    {
        int polls = 0;
        int finished = 0;
        VirtualClock *clock = m_clock.get();
        auto manager = makeCountingManager(polls, [clock, &finished]() -> QCoro::Task<> {
            co_await clock->sleep(1min);
            ++finished;
        });
        manager->start();
        advance(900s);
        QCOMPARE(polls, 1);
        manager->systemWillSleep();
        advance(1min);
        QCOMPARE(finished, 1);
        // Whatever it plans afterwards does not fire while the system sleeps.
        advance(2h);
        QCOMPARE(polls, 1);
        manager->systemDidWake();
        advance(900s);
        QCOMPARE(polls, 2);
    }

    void destroyedManagerNeverCallsBack()
    {
        int polls = 0;
        auto manager = makeCountingManager(polls);
        manager->start();
        manager.reset();
        advance(1h);
        QCOMPARE(polls, 0);
    }

    void logindSignalOnTheBusPausesPolling()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("no session bus to stand in for the system bus");
        // A stand-in for logind on its own connection; the manager listens on another one.
        QDBusConnection logind
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("pollingtest-fake-logind"));
        QVERIFY(logind.isConnected());
        QVERIFY(logind.registerService(QStringLiteral("org.freedesktop.login1")));
        QDBusConnection listener
            = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("pollingtest-system-bus"));

        int polls = 0;
        {
            const auto owned = makeCountingManager(polls, {}, listener);
            AdaptivePollingManager &manager = *owned;
            QVERIFY(manager.isObservingSystemSleep());
            manager.start();

            const auto prepareForSleep = [](QDBusConnection &sender, bool start) {
                QDBusMessage signal = QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                                                 QStringLiteral("org.freedesktop.login1.Manager"),
                                                                 QStringLiteral("PrepareForSleep"));
                signal << start;
                QVERIFY(sender.send(signal));
            };
            prepareForSleep(logind, true);
            QTRY_VERIFY(!manager.isSystemAwake());
            advance(1h);
            QCOMPARE(polls, 0);

            m_clock->setNow(m_clock->now().addSecs(100));
            prepareForSleep(logind, false);
            QTRY_VERIFY(manager.isSystemAwake());
            QCOMPARE(manager.nextPollDate(), m_clock->now().addSecs(900));
            advance(900s);
            QCOMPARE(polls, 1);

            // The same signal from someone else is not logind's and is ignored.
            prepareForSleep(listener, true);
            QTest::qWait(100);
            QVERIFY(manager.isSystemAwake());
        }
        logind.unregisterService(QStringLiteral("org.freedesktop.login1"));
        QDBusConnection::disconnectFromBus(QStringLiteral("pollingtest-fake-logind"));
        QDBusConnection::disconnectFromBus(QStringLiteral("pollingtest-system-bus"));
    }

    void withoutASystemBusPollingNeverPauses()
    {
        QDBusConnection missing = QDBusConnection::connectToBus(QStringLiteral("unix:path=/nonexistent/kestrove/bus"),
                                                                QStringLiteral("pollingtest-missing-bus"));
        QVERIFY(!missing.isConnected());
        int polls = 0;
        const auto owned = makeCountingManager(polls, {}, missing);
        AdaptivePollingManager &manager = *owned;
        QVERIFY(!manager.isObservingSystemSleep());
        manager.start();
        for (int i = 1; i <= 4; ++i) {
            advance(900s);
            QCOMPARE(polls, i);
        }
        QVERIFY(manager.isSystemAwake());
        QDBusConnection::disconnectFromBus(QStringLiteral("pollingtest-missing-bus"));
    }
};

KESTROVE_TEST_MAIN(PollingTest)
#include "pollingtest.moc"
