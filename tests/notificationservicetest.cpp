#include "notifications/notificationservice.h"

#include "base/logmanager.h"
#include "fakenotificationserver.h"
#include "model/package.h"
#include "model/preferences.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QDBusConnection>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <QTimeZone>

#include <memory>

// Quiet hours are local times of day: pin the zone before anything reads it, and pick one with
// clock changes so that the days with 23 and 25 hours can be tested.
static const bool s_timeZonePinned = [] {
    qputenv("TZ", "Europe/Berlin");
    return true;
}();

namespace
{
enum class Kind {
    delivered,
    exception,
    statusChange,
};

const QString sentinelNumber = QStringLiteral("SENTINEL000");

QDateTime berlin(QDate date, QTime time)
{
    return QDateTime(date, time, QTimeZone("Europe/Berlin"));
}

QDateTime summerDay(QTime time)
{
    return berlin(QDate(2026, 6, 15), time);
}

QStringList pairs(std::initializer_list<const char *> items)
{
    QStringList list;
    for (const char *item : items)
        list << QString::fromUtf8(item);
    return list;
}

/** Counts NotificationClosed signals as the service's own connection delivers them. */
class ClosedSignalCounter : public QObject
{
    Q_OBJECT
public:
    int count = 0;
public Q_SLOTS:
    void onClosed(uint, uint) { ++count; }
};
}

Q_DECLARE_METATYPE(Kind)

class NotificationServiceTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<Package> makePackage(const QString &number = QStringLiteral("9400111899223100001234"),
                                         const QString &carrier = QStringLiteral("usps"),
                                         const QString &label = QStringLiteral("New shoes"));
    void post(NotificationService &service, Kind kind, const Package &package);
    /** Posts through a service with default preferences and waits until the server has seen it:
        every request made before it has arrived by then. */
    bool postSentinelAndWait();

    FakeNotificationServer m_server;
    VirtualClock m_clock;
    QString m_preferencesPath;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<Preferences> m_sentinelPreferences;
    std::unique_ptr<NotificationService> m_service;
    std::unique_ptr<NotificationService> m_sentinel;
    QStringList m_log;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(s_timeZonePinned);
        QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("Europe/Berlin"));
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "run under scripts/run-tests.sh (private session bus)");
        QVERIFY(m_server.start());
        Clock::setShared(&m_clock);
        LogManager::setObserver([this](const QString &line) { m_log.append(line); });
        m_preferencesPath = QDir::homePath() + QStringLiteral("/notification-test.conf");
        m_sentinelPreferences = std::make_unique<Preferences>(QDir::homePath() + QStringLiteral("/sentinel.conf"));
    }

    void init()
    {
        QFile::remove(m_preferencesPath);
        m_preferences = std::make_unique<Preferences>(m_preferencesPath);
        m_clock.setNow(summerDay(QTime(12, 0)));
        m_server.setCapabilities({QStringLiteral("actions"), QStringLiteral("body")});
        m_server.setFailNotify(false);
        m_server.setReplyDelay(0);
        m_server.clearLog();
        m_log.clear();
        m_service = std::make_unique<NotificationService>(QDBusConnection::sessionBus(), m_preferences.get(), &m_clock);
        m_sentinel = std::make_unique<NotificationService>(QDBusConnection::sessionBus(), m_sentinelPreferences.get(),
                                                           &m_clock);
    }

    void cleanup()
    {
        m_service.reset();
        m_sentinel.reset();
        m_preferences.reset();
        if (!m_server.isRunning())
            QVERIFY(m_server.start());
    }

    void cleanupTestCase()
    {
        LogManager::setObserver({});
        Clock::setShared(nullptr);
    }

    void content_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("soundPreference");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("category");
        QTest::addColumn<int>("urgency");
        QTest::addColumn<bool>("sound");

        const QStringList deliveryActions = pairs({"default", "Open in Kestrove", "OPEN_ACTION", "Open in Kestrove"});
        const QStringList exceptionActions = pairs({"default", "View Details", "VIEW_DETAILS_ACTION", "View Details"});
        const QStringList statusActions = pairs({"default", "View Details", "VIEW_DETAILS_ACTION", "View Details",
                                                 "MARK_DELIVERED_ACTION", "Mark Delivered"});
        const QString delivered = QStringLiteral("Your package from USPS has been delivered.");
        const QString problem = QStringLiteral("There is a problem with your USPS shipment.");
        const QString change = QStringLiteral("Pending \u2192 In Transit");

        QTest::newRow("delivered shows the label above the body, with sound")
            << Kind::delivered << "New shoes" << true << "Package Delivered!"
            << QStringLiteral("New shoes\n") + delivered << deliveryActions << "x-kestrove.delivery" << 2 << true;
        QTest::newRow("delivered keeps its sound with sound notifications off")
            << Kind::delivered << "New shoes" << false << "Package Delivered!"
            << QStringLiteral("New shoes\n") + delivered << deliveryActions << "x-kestrove.delivery" << 2 << true;
        QTest::newRow("exception is time-sensitive with sound")
            << Kind::exception << "New shoes" << true << "Delivery Exception" << QStringLiteral("New shoes\n") + problem
            << exceptionActions << "x-kestrove.exception" << 2 << true;
        QTest::newRow("exception is silent with sound notifications off")
            << Kind::exception << "New shoes" << false << "Delivery Exception"
            << QStringLiteral("New shoes\n") + problem << exceptionActions << "x-kestrove.exception" << 2 << false;
        QTest::newRow("status change names both statuses at normal urgency")
            << Kind::statusChange << "New shoes" << true << "Status Update" << QStringLiteral("New shoes\n") + change
            << statusActions << "x-kestrove.status_change" << 1 << true;
        QTest::newRow("status change is silent with sound notifications off")
            << Kind::statusChange << "" << false << "Status Update"
            << QStringLiteral("9400111899223100001234\n") + change << statusActions << "x-kestrove.status_change" << 1
            << false;
    }

    void content()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, label);
        QFETCH(bool, soundPreference);

        m_preferences->setSoundNotifications(soundPreference);
        const auto package = makePackage(QStringLiteral("9400111899223100001234"), QStringLiteral("usps"), label);
        post(*m_service, kind, *package);
        QTRY_COMPARE(m_server.notifications().size(), 1);

        const FakeNotificationServer::Notification n = m_server.notifications().first();
        QCOMPARE(n.appName, QStringLiteral("Kestrove"));
        QCOMPARE(n.replacesId, 0u);
        QCOMPARE(n.expireTimeout, -1);
        QTEST(n.summary, "summary");
        QTEST(n.body, "body");
        QTEST(n.actions, "actions");
        QTEST(n.hints.value(QStringLiteral("category")).toString(), "category");
        QCOMPARE(n.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("com.kestrove.app"));
        // The protocol defines urgency as a byte; servers ignore it when it arrives as another type.
        QCOMPARE(n.hints.value(QStringLiteral("urgency")).typeId(), int(QMetaType::UChar));
        QTEST(int(n.hints.value(QStringLiteral("urgency")).value<uchar>()), "urgency");
        QFETCH(bool, sound);
        if (sound) {
            QCOMPARE(n.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message-new-instant"));
            QVERIFY(!n.hints.contains(QStringLiteral("suppress-sound")));
        } else {
            QCOMPARE(n.hints.value(QStringLiteral("suppress-sound")), QVariant(true));
            QVERIFY(!n.hints.contains(QStringLiteral("sound-name")));
        }
    }

    void labelMarkupIsEscapedOnlyForMarkupServers_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("body");

        QTest::newRow("a markup server gets entities")
            << pairs({"actions", "body", "body-markup"})
            << QStringLiteral("Mum &amp; Dad &lt;b&gt;gift&lt;/b&gt;\nYour package from USPS has been delivered.");
        QTest::newRow("a plain server gets the text as typed")
            << pairs({"actions", "body"})
            << QStringLiteral("Mum & Dad <b>gift</b>\nYour package from USPS has been delivered.");
    }

    void labelMarkupIsEscapedOnlyForMarkupServers()
    {
        QFETCH(QStringList, capabilities);
        m_server.setCapabilities(capabilities);
        const auto package = makePackage(QStringLiteral("9400111899223100001234"), QStringLiteral("usps"),
                                         QStringLiteral("Mum & Dad <b>gift</b>"));
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(m_server.notifications().size(), 1);
        QTEST(m_server.notifications().first().body, "body");
    }

    void gates_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("globalEnabled");
        QTest::addColumn<bool>("globalStatusChange");
        QTest::addColumn<bool>("packageEnabled");
        QTest::addColumn<bool>("packageStatusChange");
        QTest::addColumn<bool>("quiet");
        QTest::addColumn<bool>("posted");

        struct Row {
            const char *name;
            Kind kind;
            bool globalEnabled, globalStatusChange, packageEnabled, packageStatusChange, quiet, posted;
        };
        const Row rows[] = {
            {"all switches on: delivered", Kind::delivered, true, true, true, true, false, true},
            {"master switch off stops delivered", Kind::delivered, false, true, true, true, false, false},
            {"global status switch off stops status change", Kind::statusChange, true, false, true, true, false, false},
            {"global status switch off keeps delivered", Kind::delivered, true, false, true, true, false, true},
            {"package switch off stops exception", Kind::exception, true, true, false, true, false, false},
            {"package status switch off stops status change", Kind::statusChange, true, true, true, false, false,
             false},
            {"package status switch off keeps exception", Kind::exception, true, true, true, false, false, true},
            {"quiet hours stop delivered", Kind::delivered, true, true, true, true, true, false},
            {"quiet hours stop exception", Kind::exception, true, true, true, true, true, false},
        };
        for (const Row &row : rows) {
            QTest::newRow(row.name) << row.kind << row.globalEnabled << row.globalStatusChange << row.packageEnabled
                                    << row.packageStatusChange << row.quiet << row.posted;
        }
    }

    void gates()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, globalEnabled);
        QFETCH(bool, globalStatusChange);
        QFETCH(bool, packageEnabled);
        QFETCH(bool, packageStatusChange);
        QFETCH(bool, quiet);
        QFETCH(bool, posted);

        m_preferences->setNotificationsEnabled(globalEnabled);
        m_preferences->setNotifyOnStatusChange(globalStatusChange);
        // Quiet hours are on in every row; only the time of day decides.
        m_preferences->setQuietHoursEnabled(true);
        m_preferences->setQuietHoursStart(22 * 3600);
        m_preferences->setQuietHoursEnd(7 * 3600);
        m_clock.setNow(summerDay(quiet ? QTime(23, 30) : QTime(12, 0)));

        const auto package = makePackage();
        package->setNotificationsEnabled(packageEnabled);
        package->setNotifyOnStatusChange(packageStatusChange);
        post(*m_service, kind, *package);
        m_clock.setNow(summerDay(QTime(12, 0)));
        QVERIFY(postSentinelAndWait());

        const auto notifications = m_server.notifications();
        QCOMPARE(notifications.size(), posted ? 2 : 1);
        if (posted)
            QVERIFY(notifications.first().body.startsWith(QStringLiteral("New shoes\n")));
    }

    void preferenceChangeCountsAtTheNextNotification()
    {
        const auto package = makePackage();
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(m_server.notifications().size(), 1);

        // Another process (the settings window, kestrove-cli) writes the file; nothing tells the service.
        Preferences other(m_preferencesPath);
        other.setNotificationsEnabled(false);
        m_service->notifyException(*package);
        QVERIFY(postSentinelAndWait());
        QCOMPARE(m_server.notifications().size(), 2);

        other.setNotificationsEnabled(true);
        m_service->notifyException(*package);
        QTRY_COMPARE(m_server.notifications().size(), 3);
        QCOMPARE(m_server.notifications().last().summary, QStringLiteral("Delivery Exception"));
    }

    void quietHours_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<double>("start");
        QTest::addColumn<double>("end");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<bool>("quiet");

        const double h22 = 79200, h07 = 25200, h09 = 9 * 3600, h17 = 17 * 3600;
        QTest::newRow("22-07: 22:00:00 is quiet") << true << h22 << h07 << summerDay(QTime(22, 0)) << true;
        QTest::newRow("22-07: 21:59:59 is not") << true << h22 << h07 << summerDay(QTime(21, 59, 59)) << false;
        QTest::newRow("22-07: 06:59:59 is quiet") << true << h22 << h07 << summerDay(QTime(6, 59, 59)) << true;
        QTest::newRow("22-07: 07:00:00 is not") << true << h22 << h07 << summerDay(QTime(7, 0)) << false;
        QTest::newRow("09-17: 09:00:00 is quiet") << true << h09 << h17 << summerDay(QTime(9, 0)) << true;
        QTest::newRow("09-17: 17:00:00 is not") << true << h09 << h17 << summerDay(QTime(17, 0)) << false;
        QTest::newRow("start equal to end: never quiet at that time")
            << true << h09 << h09 << summerDay(QTime(9, 0)) << false;
        QTest::newRow("quiet hours off: never quiet inside the span")
            << false << h22 << h07 << summerDay(QTime(23, 30)) << false;
        QTest::newRow("fractional seconds count: 06:59:59.5 is quiet")
            << true << h22 << h07 << summerDay(QTime(6, 59, 59, 500)) << true;
        QTest::newRow("the time is taken in the local zone, not the clock's")
            << true << h22 << h07 << QDateTime(QDate(2026, 6, 15), QTime(20, 30), QTimeZone::utc()) << true;
        // Times of day are elapsed seconds since local midnight, so the day with a missing hour (spring
        // forward at 02:00) reaches 07:00 worth of seconds only at 08:00 on the wall clock...
        QTest::newRow("spring forward: 07:30 on the wall is still quiet")
            << true << h22 << h07 << berlin(QDate(2026, 3, 29), QTime(7, 30)) << true;
        QTest::newRow("spring forward: 08:00 on the wall is not")
            << true << h22 << h07 << berlin(QDate(2026, 3, 29), QTime(8, 0)) << false;
        // ...and the day with a repeated hour reaches it at 06:00.
        QTest::newRow("fall back: 05:59 on the wall is quiet")
            << true << h22 << h07 << berlin(QDate(2026, 10, 25), QTime(5, 59)) << true;
        QTest::newRow("fall back: 06:00 on the wall is not")
            << true << h22 << h07 << berlin(QDate(2026, 10, 25), QTime(6, 0)) << false;
    }

    void quietHours()
    {
        QFETCH(bool, enabled);
        QFETCH(double, start);
        QFETCH(double, end);
        QFETCH(QDateTime, now);

        m_preferences->setQuietHoursEnabled(enabled);
        m_preferences->setQuietHoursStart(start);
        m_preferences->setQuietHoursEnd(end);
        m_clock.setNow(now);
        QTEST(m_service->isInQuietHours(), "quiet");
    }

    void statusChangeIdentifier_data()
    {
        QTest::addColumn<QList<QDateTime>>("earlier"); // times of status changes before this one
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("identifier");

        const QDateTime whole = QDateTime::fromSecsSinceEpoch(1781524800, QTimeZone::utc());
        const QDateTime milli = QDateTime::fromMSecsSinceEpoch(1781524800123, QTimeZone::utc());
        QTest::newRow("a whole second keeps its .0") << QList<QDateTime> {} << whole << "status-LX123-1781524800.0";
        QTest::newRow("milliseconds are written in shortest form")
            << QList<QDateTime> {} << milli << "status-LX123-1781524800.123";
        QTest::newRow("a tenth has no trailing zeros")
            << QList<QDateTime> {} << QDateTime::fromMSecsSinceEpoch(1781524800100, QTimeZone::utc())
            << "status-LX123-1781524800.1";
        QTest::newRow("a change in a later millisecond takes its own time")
            << QList<QDateTime> {milli} << milli.addMSecs(1) << "status-LX123-1781524800.124";
        QTest::newRow("a second change in the same millisecond takes the next double")
            << QList<QDateTime> {milli} << milli << "status-LX123-1781524800.1230001";
        QTest::newRow("a third one the double after that")
            << QList<QDateTime> {whole, whole} << whole << "status-LX123-1781524800.0000005";
        QTest::newRow("a clock set back never repeats an identifier")
            << QList<QDateTime> {milli} << whole << "status-LX123-1781524800.1230001";
    }

    void statusChangeIdentifier()
    {
        QFETCH(QList<QDateTime>, earlier);
        QFETCH(QDateTime, now);
        for (const QDateTime &time : earlier) {
            m_clock.setNow(time);
            [[maybe_unused]] const QString previous = m_service->statusChangeIdentifier(QStringLiteral("OTHER1"));
        }
        m_clock.setNow(now);
        QTEST(m_service->statusChangeIdentifier(QStringLiteral("LX123")), "identifier");
    }

    void deliveredAndExceptionReplaceTheirPredecessor()
    {
        QSignalSpy posted(m_service.get(), &NotificationService::posted);
        const auto package = makePackage();
        const auto other = makePackage(QStringLiteral("1Z999AA10123456784"), QStringLiteral("ups"), QString());

        m_service->notifyDelivered(*package);
        QTRY_COMPARE(posted.size(), 1);
        m_service->notifyException(*package);
        QTRY_COMPARE(posted.size(), 2);
        m_service->notifyDelivered(*other);
        QTRY_COMPARE(posted.size(), 3);
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(posted.size(), 4);
        m_service->notifyException(*package);
        QTRY_COMPARE(posted.size(), 5);

        const auto n = m_server.notifications();
        QCOMPARE(n.size(), 5);
        // Different identifiers never replace each other...
        QCOMPARE(n[0].replacesId, 0u);
        QCOMPARE(n[1].replacesId, 0u);
        QCOMPARE(n[2].replacesId, 0u);
        QCOMPARE(QSet<quint32>({n[0].id, n[1].id, n[2].id}).size(), 3);
        // ...the same identifier replaces the notification the server gave it.
        QCOMPARE(n[3].replacesId, n[0].id);
        QCOMPARE(n[3].id, n[0].id);
        QCOMPARE(n[4].replacesId, n[1].id);
        QCOMPARE(posted.at(3).at(0).toString(), QStringLiteral("delivered-9400111899223100001234"));
        QCOMPARE(posted.at(4).at(0).toString(), QStringLiteral("exception-9400111899223100001234"));
    }

    void statusChangesNeverReplace()
    {
        const auto package = makePackage();
        m_service->notifyStatusChange(*package, TrackingStatus::pending, TrackingStatus::inTransit);
        QTRY_COMPARE(m_server.notifications().size(), 1);
        m_clock.advance(std::chrono::milliseconds(1));
        m_service->notifyStatusChange(*package, TrackingStatus::inTransit, TrackingStatus::outForDelivery);
        QTRY_COMPARE(m_server.notifications().size(), 2);
        // Within one millisecond of the clock, and before the server has answered the first.
        m_service->notifyStatusChange(*package, TrackingStatus::outForDelivery, TrackingStatus::failedAttempt);
        m_service->notifyStatusChange(*package, TrackingStatus::failedAttempt, TrackingStatus::inTransit);
        QTRY_COMPARE(m_server.notifications().size(), 4);
        QVERIFY(postSentinelAndWait());
        QCOMPARE(m_server.notifications().size(), 5);

        const auto n = m_server.notifications();
        QSet<quint32> ids;
        for (qsizetype i = 0; i < 4; ++i) {
            QCOMPARE(n[i].replacesId, 0u);
            ids.insert(n[i].id);
        }
        QCOMPARE(ids.size(), 4);
        QCOMPARE(n[1].body, QStringLiteral("New shoes\nIn Transit \u2192 Out for Delivery"));
        QCOMPARE(n[3].body, QStringLiteral("New shoes\nFailed Attempt \u2192 In Transit"));
    }

    void secondRequestWaitsForTheFirstId()
    {
        // While the first Notify is unanswered its id is unknown; the second must not appear beside it.
        m_server.setReplyDelay(300);
        const auto package = makePackage();
        QElapsedTimer timer;
        timer.start();
        m_service->notifyDelivered(*package);
        package->setLabel(QStringLiteral("Renamed"));
        m_service->notifyDelivered(*package);
        QVERIFY2(timer.elapsed() < 100, "notify must not wait for the server");

        QTRY_COMPARE(m_server.notifications().size(), 2);
        const auto n = m_server.notifications();
        QCOMPARE(n[1].replacesId, n[0].id);
        QVERIFY(n[1].body.startsWith(QStringLiteral("Renamed\n")));
    }

    void actions_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("actionKey");
        QTest::addColumn<QString>("expected");

        const QString open = QStringLiteral("open");
        QTest::newRow("a click on the body opens the package") << Kind::delivered << "default" << open;
        QTest::newRow("View Details opens the package") << Kind::exception << "VIEW_DETAILS_ACTION" << open;
        QTest::newRow("Mark Delivered marks it")
            << Kind::statusChange << "MARK_DELIVERED_ACTION" << QStringLiteral("mark delivered");
        QTest::newRow("action keys compare exactly") << Kind::statusChange << "mark_delivered_action" << QString();
        QTest::newRow("an unknown action does nothing") << Kind::delivered << "snooze" << QString();
    }

    void actions()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, actionKey);
        QFETCH(QString, expected);

        QSignalSpy opened(m_service.get(), &NotificationService::openPackageDetailRequested);
        QSignalSpy marked(m_service.get(), &NotificationService::markDeliveredRequested);
        const auto package = makePackage(QStringLiteral("JD014600006281230704"), QStringLiteral("dhl"), QString());
        post(*m_service, kind, *package);
        QSignalSpy posted(m_service.get(), &NotificationService::posted);
        QTRY_COMPARE(posted.size(), 1);
        const quint32 id = posted.first().at(1).value<quint32>();

        m_server.invokeAction(id, actionKey);
        // A known action on a second notification comes after, so by then the first has been handled.
        const auto marker = makePackage(QStringLiteral("MARKER"), QStringLiteral("dhl"), QString());
        m_service->notifyDelivered(*marker);
        QTRY_COMPARE(posted.size(), 2);
        m_server.invokeAction(posted.last().at(1).value<quint32>(), QStringLiteral("default"));
        QTRY_VERIFY(!opened.isEmpty() && opened.last().at(0).toString() == QStringLiteral("MARKER"));

        QCOMPARE(opened.size(), expected == QLatin1String("open") ? 2 : 1);
        QCOMPARE(marked.size(), expected == QLatin1String("mark delivered") ? 1 : 0);
        const QSignalSpy &answered = expected == QLatin1String("open") ? opened : marked;
        if (!expected.isEmpty())
            QCOMPARE(answered.first().at(0).toString(), QStringLiteral("JD014600006281230704"));
    }

    void onlyOurServerCanCloseOrAnswer()
    {
        QSignalSpy spy(m_service.get(), &NotificationService::openPackageDetailRequested);
        const auto package = makePackage();
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(m_server.notifications().size(), 1);
        const quint32 id = m_server.notifications().first().id;

        // Every client on the bus sees every server's signals; the same id from someone else is not ours.
        FakeNotificationServer stranger;
        QVERIFY(stranger.start(QStringLiteral("org.kestrove.test.Stranger")));
        ClosedSignalCounter counter;
        QVERIFY(QDBusConnection::sessionBus().connect(
            QString(), FakeNotificationServer::objectPath, FakeNotificationServer::interfaceName,
            QStringLiteral("NotificationClosed"), &counter, SLOT(onClosed(uint, uint))));
        stranger.invokeAction(id, QStringLiteral("default"));
        stranger.closeNotification(id, 2);
        // The service sees signals on the same connection as the counter, in the same order.
        QTRY_COMPARE(counter.count, 1);
        QCOMPARE(spy.size(), 0);
        // An id the service never got does nothing either.
        m_server.invokeAction(id + 1000, QStringLiteral("default"));

        // Still replaceable (the stranger's close did not count) and still answered.
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(m_server.notifications().size(), 2);
        QCOMPARE(m_server.notifications().last().replacesId, id);
        m_server.invokeAction(id, QStringLiteral("OPEN_ACTION"));
        QTRY_COMPARE(spy.size(), 1);
        QCOMPARE(spy.first().at(0).toString(), QStringLiteral("9400111899223100001234"));

        // Closed by our server, the notification is gone: the next one stands on its own.
        m_server.closeNotification(id, 2);
        // Wait until the service has seen the close: a sentinel from another service queues behind it.
        QVERIFY(postSentinelAndWait());
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(m_server.notifications().size(), 4);
        QCOMPARE(m_server.notifications().last().replacesId, 0u);
    }

    void authorisationAsksTheServer()
    {
        m_server.setReplyDelay(200);
        QElapsedTimer timer;
        timer.start();
        QCoro::Task<bool> task = m_service->requestAuthorization();
        QVERIFY2(timer.elapsed() < 100, "the request must not wait for the answer");
        QVERIFY(QCoro::waitFor(task));
        QCOMPARE(m_server.serverInformationRequests(), 1);
        QVERIFY(m_log.isEmpty());
    }

    void noServer_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("logged");

        QTest::newRow("nobody owns the server name")
            << "unowned"
            << "Failed to post notification delivered-9400111899223100001234: ";
        QTest::newRow("the server refuses")
            << "refuses"
            << "Failed to post notification delivered-9400111899223100001234: Notifications are switched off";
        QTest::newRow("there is no session bus")
            << "nobus"
            << "Failed to post notification delivered-9400111899223100001234: no session bus";
    }

    void noServer()
    {
        QFETCH(QString, situation);
        QFETCH(QString, logged);

        if (situation == QLatin1String("unowned")) {
            m_service = std::make_unique<NotificationService>(QDBusConnection::sessionBus(), m_preferences.get(),
                                                              &m_clock, QStringLiteral("org.kestrove.test.Nobody"));
        } else if (situation == QLatin1String("refuses")) {
            m_server.setFailNotify(true);
        } else {
            m_service = std::make_unique<NotificationService>(QDBusConnection(QStringLiteral("never-connected")),
                                                              m_preferences.get(), &m_clock);
        }

        QSignalSpy failed(m_service.get(), &NotificationService::postFailed);
        const auto package = makePackage();
        QElapsedTimer timer;
        timer.start();
        m_service->notifyDelivered(*package);
        m_service->notifyStatusChange(*package, TrackingStatus::pending, TrackingStatus::inTransit);
        QVERIFY(timer.elapsed() < 100);
        QTRY_COMPARE_WITH_TIMEOUT(failed.size(), 2, 5000);
        QCOMPARE(failed.first().at(0).toString(), QStringLiteral("delivered-9400111899223100001234"));
        QVERIFY2(!m_log.isEmpty() && m_log.first().startsWith(logged), qPrintable(m_log.value(0)));
        QCOMPARE(m_log.size(), 2);

        m_log.clear();
        QVERIFY(!QCoro::waitFor(m_service->requestAuthorization()) || situation == QLatin1String("refuses"));
        if (situation != QLatin1String("refuses"))
            QVERIFY(m_log.first().startsWith(QStringLiteral("Notification server not available: ")));
    }

    void serverRestartIsPickedUp()
    {
        const auto package = makePackage();
        m_service->notifyDelivered(*package);
        QTRY_COMPARE(m_server.notifications().size(), 1);

        m_server.stop();
        QSignalSpy failed(m_service.get(), &NotificationService::postFailed);
        m_service->notifyException(*package);
        QTRY_COMPARE(failed.size(), 1);

        // A server that supports markup now: the capabilities are asked again after the failure.
        m_server.setCapabilities(pairs({"actions", "body", "body-markup"}));
        QVERIFY(m_server.start());
        package->setLabel(QStringLiteral("A & B"));
        m_service->notifyException(*package);
        QTRY_COMPARE(m_server.notifications().size(), 2);
        QVERIFY(m_server.notifications().last().body.startsWith(QStringLiteral("A &amp; B\n")));
    }
};

std::unique_ptr<Package> NotificationServiceTest::makePackage(const QString &number, const QString &carrier,
                                                              const QString &label)
{
    return std::make_unique<Package>(number, carrier, label, TrackingStatus::inTransit);
}

void NotificationServiceTest::post(NotificationService &service, Kind kind, const Package &package)
{
    switch (kind) {
    case Kind::delivered:
        service.notifyDelivered(package);
        break;
    case Kind::exception:
        service.notifyException(package);
        break;
    case Kind::statusChange:
        service.notifyStatusChange(package, TrackingStatus::pending, TrackingStatus::inTransit);
        break;
    }
}

bool NotificationServiceTest::postSentinelAndWait()
{
    const auto sentinel = makePackage(sentinelNumber, QStringLiteral("dhl"), QString());
    m_sentinel->notifyDelivered(*sentinel);
    // Requests leave the process in call order on one connection, so whatever the service under
    // test sent has arrived before the sentinel.
    return QTest::qWaitFor(
        [this] {
            const auto all = m_server.notifications();
            return !all.isEmpty() && all.last().body.startsWith(sentinelNumber);
        },
        5000);
}

KESTROVE_TEST_MAIN(NotificationServiceTest)

#include "notificationservicetest.moc"
