// The tracking service end to end: the 17TRACK client against a fake server on 127.0.0.1,
// a real store file, notifications to a fake notification server on the test bus, virtual time.
#include "tracking/trackingservice.h"

#include "base/logmanager.h"
#include "fake17trackserver.h"
#include "fakenotificationserver.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"
#include "model/preferences.h"
#include "model/trackingevent.h"
#include "notifications/notificationservice.h"
#include "providers/seventeentrackprovider.h"
#include "taskrunner.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QDBusConnection>
#include <QJsonArray>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>
#include <qcoro/qcorotask.h>

#include <memory>
#include <stdexcept>

using namespace std::chrono_literals;

using TestSupport::runTask;
using S = Fake17TrackServer;

namespace
{
const QString upsNumber = QStringLiteral("1Z999AA10123456784");

TrackingResult::TrackingEventData eventData(const QDateTime &time, const QString &description,
                                            TrackingStatus status = TrackingStatus::inTransit)
{
    TrackingResult::TrackingEventData data;
    data.timestamp = time;
    data.description = description;
    data.status = status;
    data.location = QStringLiteral("Louisville, KY");
    data.rawStatusCode = QStringLiteral("10");
    return data;
}

TrackingResult result(TrackingStatus status, const QList<TrackingResult::TrackingEventData> &events = {})
{
    TrackingResult r;
    r.status = status;
    r.events = events;
    return r;
}

/**
 * A provider whose answers the test scripts, for what the 17TRACK client never produces
 * (per-item failures of a batch, a detection of exactly 0.5, a provider that throws).
 */
class ScriptedProvider final : public TrackingProvider
{
public:
    QList<TrackingOutcome> fetchOutcomes; // used in order; a pending result without events when empty
    std::optional<BatchOutcome> batchOutcome;
    DetectionOutcome detection = QList<CarrierDetectionResult> {};
    bool throwOnFetch = false;
    bool throwOnBatch = false;
    QStringList fetched;
    QList<QList<TrackingRequest>> batches;

    QString providerName() const override { return QStringLiteral("scripted"); }
    bool isConfigured() const override { return true; }

    QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString>) override
    {
        fetched.append(trackingNumber);
        if (throwOnFetch)
            throw std::runtime_error("provider blew up");
        if (!fetchOutcomes.isEmpty())
            co_return fetchOutcomes.takeFirst();
        co_return result(TrackingStatus::pending);
    }

    QCoro::Task<BatchOutcome> fetchTrackingBatch(QList<TrackingRequest> packages) override
    {
        batches.append(packages);
        if (throwOnBatch)
            throw std::runtime_error("batch blew up");
        co_return batchOutcome.value_or(BatchOutcome(QList<TrackingOutcome> {}));
    }

    QCoro::Task<DetectionOutcome> detectCarrier(QString) override { co_return detection; }
};
}

Q_DECLARE_METATYPE(TrackingStatus)

class TrackingServiceTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<ModelContext> m_context;
    std::unique_ptr<Fake17TrackServer> m_server;
    std::unique_ptr<FakeNotificationServer> m_notificationServer;
    std::unique_ptr<NotificationService> m_notifications;
    std::unique_ptr<TrackingService> m_service;
    ScriptedProvider *m_scripted = nullptr;
    QStringList m_log;

    [[nodiscard]] QString storePath() const { return m_dir->filePath(QStringLiteral("Kestrove.sqlite")); }

    /** A service on the 17TRACK client talking to the fake server. */
    void useRealProvider()
    {
        SeventeenTrackProvider::Options options;
        options.clock = m_clock.get();
        options.baseURL = m_server->baseUrl();
        options.apiKey = [] { return std::optional<QString>(QStringLiteral("test-key")); };
        makeService(std::make_unique<SeventeenTrackProvider>(std::move(options)));
    }

    /** A service on a scripted provider. */
    void useScriptedProvider()
    {
        auto provider = std::make_unique<ScriptedProvider>();
        m_scripted = provider.get();
        makeService(std::move(provider));
    }

    void makeService(std::unique_ptr<TrackingProvider> provider)
    {
        TrackingService::Collaborators collaborators;
        collaborators.provider = std::move(provider);
        collaborators.clock = m_clock.get();
        collaborators.preferences = m_preferences.get();
        collaborators.notifications = m_notifications.get();
        collaborators.polling.observeSystemSleep = false;
        m_service = std::make_unique<TrackingService>(std::move(collaborators));
    }

    Package *insert(const QString &number, TrackingStatus status, bool archived = false)
    {
        auto *package = new Package(number, QString(), QString(), status);
        package->setArchived(archived);
        m_context->insert(package);
        return package;
    }

    [[nodiscard]] int logCount(const QString &line) const { return int(m_log.count(line)); }

    [[nodiscard]] QStringList notificationCategories() const
    {
        QStringList categories;
        for (const auto &notification : m_notificationServer->notifications())
            categories.append(notification.hints.value(QStringLiteral("category")).toString());
        return categories;
    }

    /** The package as another process sees it in the file. */
    std::unique_ptr<ModelContext> secondContext()
    {
        auto opened = ModelContainer::open(storePath());
        if (!opened)
            return nullptr;
        return std::move(opened).value();
    }

private Q_SLOTS:
    void initTestCase()
    {
        qRegisterMetaType<TrackingStatus>();
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("the notification tests need the private session bus of run-tests.sh");
    }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_clock = std::make_unique<VirtualClock>(QDateTime(QDate(2026, 6, 15), QTime(12, 0), QTimeZone::utc()));
        m_clock->setAutoAdvance(true);
        Clock::setShared(m_clock.get());
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(QStringLiteral("prefs.conf")));
        auto opened = ModelContainer::open(storePath());
        QVERIFY2(opened, qPrintable(opened ? QString() : opened.error()));
        m_context = std::move(opened).value();
        m_server = std::make_unique<Fake17TrackServer>(m_clock.get());
        QVERIFY(m_server->listen());
        m_notificationServer = std::make_unique<FakeNotificationServer>();
        QVERIFY(m_notificationServer->start());
        m_notifications
            = std::make_unique<NotificationService>(QDBusConnection::sessionBus(), m_preferences.get(), m_clock.get());
        m_log.clear();
        LogManager::setObserver([this](const QString &line) { m_log.append(line); });
    }

    void cleanup()
    {
        LogManager::setObserver({});
        m_service.reset();
        m_scripted = nullptr;
        m_notifications.reset();
        m_notificationServer.reset();
        m_server.reset();
        m_context.reset();
        m_preferences.reset();
        Clock::setShared(nullptr);
        m_clock.reset();
        m_dir.reset();
    }

    void normalization_data()
    {
        QTest::addColumn<QString>("entered");
        QTest::addColumn<QString>("stored");
        QTest::newRow("other punctuation stays") << QStringLiteral("ab.c d-e/f") << QStringLiteral("AB.CDE/F");
        QTest::newRow("tabs are not spaces") << QStringLiteral("ab\tc") << QStringLiteral("AB\tC");
        QTest::newRow("only separators leave nothing") << QStringLiteral(" - -") << QString();
    }

    void normalization()
    {
        QFETCH(QString, entered);
        QFETCH(QString, stored);
        QCOMPARE(Package::normalizeTrackingNumber(entered), stored);
    }

    void addFetchesDetectsAndNotifies()
    {
        useRealProvider();
        m_server->setTrackInfo(
            upsNumber,
            S::trackInfo(
                10,
                QJsonArray {S::event(QStringLiteral("2026-06-14T08:00:00Z"), QStringLiteral("Departed facility"), 10,
                                     QStringLiteral("Louisville, KY")),
                            S::event(QStringLiteral("2026-06-13T20:00:00Z"), QStringLiteral("Origin scan"), 10)}),
            100002);

        const auto added = runTask(m_service->addPackage(QStringLiteral("1z 999-aa1 0123456784"),
                                                         QStringLiteral("Shoes"), std::nullopt, *m_context));
        QVERIFY(added && *added);
        Package *package = *added;
        QCOMPARE(package->trackingNumber(), upsNumber);
        QCOMPARE(package->label(), QStringLiteral("Shoes"));
        QCOMPARE(package->carrierCode(), QStringLiteral("ups"));
        QCOMPARE(package->status(), TrackingStatus::inTransit);
        QCOMPARE(package->events().size(), 2);
        QVERIFY(!package->lastErrorMessage().has_value());
        QVERIFY(!m_context->hasChanges());
        QVERIFY(m_service->pendingRetries().isEmpty());

        // Saved: another process reads the same.
        const auto other = secondContext();
        const auto stored = other->fetchPackages().value();
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored.constFirst()->events().size(), 2);

        // pending → inTransit is an ordinary status change.
        QTRY_COMPARE(m_notificationServer->notifications().size(), 1);
        QCOMPARE(notificationCategories(), QStringList {QStringLiteral("x-kestrove.status_change")});
        QVERIFY(m_notificationServer->notifications().constFirst().body.contains(
            QStringLiteral("Pending \u2192 In Transit")));
    }

    void addWithAFailedFirstFetchRecordsTheError()
    {
        useRealProvider();
        m_server->setExpectedToken("another-key");
        const auto added = runTask(
            m_service->addPackage(QStringLiteral("ABC12345678"), QString(), QStringLiteral("usps"), *m_context));
        QVERIFY(added && *added);
        Package *package = *added;
        QCOMPARE(package->status(), TrackingStatus::pending);
        QCOMPARE(package->carrierCode(), QStringLiteral("usps"));
        QVERIFY(package->lastErrorMessage().has_value());
        const QString description = TrackingProviderError::apiKeyInvalid().description();
        QCOMPARE(*package->lastErrorMessage(), description);
        QCOMPARE(logCount(QStringLiteral("Initial fetch failed for ABC12345678: ") + description), 1);
        QVERIFY(!m_context->hasChanges());
        // No background retry from an add, and no carrier look-up when a carrier was given.
        QVERIFY(m_service->pendingRetries().isEmpty());
        QVERIFY(m_server->requests(QStringLiteral("getcarrier")).isEmpty());
    }

    void carrierDetection_data()
    {
        QTest::addColumn<double>("confidence"); // below zero: the detection fails
        QTest::addColumn<QString>("expectedCarrier");
        QTest::newRow("exactly 0.5 leaves the carrier empty") << 0.5 << QString();
        QTest::newRow("above 0.5 adopts the best guess") << 0.51 << QStringLiteral("dhl");
        QTest::newRow("a failed detection is logged and the add goes on") << -1.0 << QString();
    }

    void carrierDetection()
    {
        QFETCH(double, confidence);
        QFETCH(QString, expectedCarrier);
        useScriptedProvider();
        m_scripted->fetchOutcomes = {result(TrackingStatus::inTransit)};
        m_scripted->detection = confidence < 0 ? DetectionOutcome::failure(TrackingProviderError::rateLimited(30))
                                               : DetectionOutcome(QList<CarrierDetectionResult> {
                                                   {QStringLiteral("dhl"), QStringLiteral("DHL"), confidence},
                                                   {QStringLiteral("ups"), QStringLiteral("UPS"), 0.4}});
        const auto added
            = runTask(m_service->addPackage(QStringLiteral("JD0123456789"), QString(), QString(), *m_context));
        QVERIFY(added && *added);
        QCOMPARE((*added)->carrierCode(), expectedCarrier);
        QCOMPARE((*added)->status(), TrackingStatus::inTransit);
        QCOMPARE(logCount(QStringLiteral("Carrier detection failed: ")
                          + TrackingProviderError::rateLimited(30).description()),
                 confidence < 0 ? 1 : 0);
    }

    void statusRule_data()
    {
        QTest::addColumn<TrackingStatus>("oldStatus");
        QTest::addColumn<TrackingStatus>("newStatus");
        QTest::addColumn<TrackingStatus>("effective");
        QTest::addColumn<QString>("category"); // empty: no notification
        using T = TrackingStatus;
        const QString change = QStringLiteral("x-kestrove.status_change");
        QTest::newRow("unknown never downgrades in transit") << T::inTransit << T::unknown << T::inTransit << QString();
        QTest::newRow("pending never downgrades out for delivery")
            << T::outForDelivery << T::pending << T::outForDelivery << QString();
        QTest::newRow("pending stays pending without a notification")
            << T::pending << T::pending << T::pending << QString();
        QTest::newRow("unknown replaces pending") << T::pending << T::unknown << T::unknown << change;
        QTest::newRow("expired replaces in transit with a status change")
            << T::inTransit << T::expired << T::expired << change;
        QTest::newRow("delivered notifies delivery")
            << T::outForDelivery << T::delivered << T::delivered << QStringLiteral("x-kestrove.delivery");
        QTest::newRow("exception notifies an exception")
            << T::inTransit << T::exception << T::exception << QStringLiteral("x-kestrove.exception");
        QTest::newRow("a failed attempt notifies an exception")
            << T::inTransit << T::failedAttempt << T::failedAttempt << QStringLiteral("x-kestrove.exception");
        QTest::newRow("back in transit after an exception") << T::exception << T::inTransit << T::inTransit << change;
        QTest::newRow("delivered again is no change") << T::delivered << T::delivered << T::delivered << QString();
    }

    void statusRule()
    {
        QFETCH(TrackingStatus, oldStatus);
        QFETCH(TrackingStatus, newStatus);
        QFETCH(TrackingStatus, effective);
        QFETCH(QString, category);
        useScriptedProvider();
        Package *package = insert(QStringLiteral("RULE1"), oldStatus);
        QSignalSpy changes(m_service.get(), &TrackingService::statusChanged);
        m_clock->advance(1h);

        m_service->applyTrackingResult(result(newStatus), *package, *m_context);
        QCOMPARE(package->status(), effective);
        QCOMPARE(package->lastUpdated(), m_clock->now());
        QCOMPARE(changes.size(), effective == oldStatus ? 0 : 1);
        if (category.isEmpty()) {
            QTest::qWait(100);
            QVERIFY(m_notificationServer->notifications().isEmpty());
        } else {
            QTRY_COMPARE(m_notificationServer->notifications().size(), 1);
            QCOMPARE(notificationCategories(), QStringList {category});
        }
    }

    void estimatedDeliveryAndCarrier()
    {
        useScriptedProvider();
        Package *package = insert(QStringLiteral("EDD1"), TrackingStatus::inTransit);
        const QDateTime eta(QDate(2026, 6, 20), QTime(18, 0), QTimeZone::utc());
        TrackingResult withDate = result(TrackingStatus::inTransit);
        withDate.estimatedDelivery = eta;
        withDate.carrierCode = QStringLiteral("fedex");
        m_service->applyTrackingResult(withDate, *package, *m_context);
        QCOMPARE(package->estimatedDelivery(), eta);
        QCOMPARE(package->carrierCode(), QStringLiteral("fedex"));

        // An absent date keeps the stored one; a known carrier is not replaced.
        TrackingResult without = result(TrackingStatus::inTransit);
        without.carrierCode = QStringLiteral("ups");
        m_service->applyTrackingResult(without, *package, *m_context);
        QCOMPARE(package->estimatedDelivery(), eta);
        QCOMPARE(package->carrierCode(), QStringLiteral("fedex"));
    }

    void eventsAreKeyedByWholeSecondAndDescription()
    {
        useScriptedProvider();
        Package *package = insert(QStringLiteral("DEDUP1"), TrackingStatus::inTransit);
        const QDateTime t0(QDate(2026, 6, 14), QTime(12, 0, 0, 250), QTimeZone::utc());
        m_service->applyTrackingResult(result(TrackingStatus::inTransit, {eventData(t0, QStringLiteral("Arrived"))}),
                                       *package, *m_context);
        QCOMPARE(package->events().size(), 1);

        const TrackingResult next = result(
            TrackingStatus::inTransit,
            {eventData(t0.addMSecs(650), QStringLiteral("Arrived")), // 12:00:00.900, the same second: known
             eventData(QDateTime(QDate(2026, 6, 14), QTime(12, 0, 1), QTimeZone::utc()),
                       QStringLiteral("Arrived")), // one second later: new
             eventData(t0, QStringLiteral("Arrived ")), // another description: new
             eventData(t0.addSecs(3600), QStringLiteral("Departed")),
             eventData(t0.addSecs(3600), QStringLiteral("Departed"))}); // twins inside one result are both added
        m_service->applyTrackingResult(next, *package, *m_context);
        QCOMPARE(package->events().size(), 5);
        QCOMPARE(package->events().at(1)->timestamp(),
                 QDateTime(QDate(2026, 6, 14), QTime(12, 0, 1), QTimeZone::utc()));
        QCOMPARE(package->events().at(2)->eventDescription(), QStringLiteral("Arrived "));
        QCOMPARE(package->events().at(3)->location(), QStringLiteral("Louisville, KY"));
        QCOMPARE(package->events().at(3)->rawStatusCode(), QStringLiteral("10"));

        // The same result again adds nothing, here and in a context that reads the events from the file.
        m_service->applyTrackingResult(next, *package, *m_context);
        QCOMPARE(package->events().size(), 5);
        QVERIFY(PackageStore::save(*m_context).ok());
        auto other = secondContext();
        QVERIFY(other);
        const auto stored = other->fetchPackages();
        QVERIFY(stored && stored.value().size() == 1);
        Package *reread = stored.value().constFirst();
        m_service->applyTrackingResult(next, *reread, *other);
        QCOMPARE(reread->events().size(), 5);
    }

    void automaticArchiving_data()
    {
        QTest::addColumn<bool>("autoArchive");
        QTest::newRow("on: delivered packages are archived") << true;
        QTest::newRow("off: delivered packages stay, the notification still comes") << false;
    }

    void automaticArchiving()
    {
        QFETCH(bool, autoArchive);
        useScriptedProvider();
        m_preferences->setAutoArchiveDelivered(autoArchive);
        Package *package = insert(QStringLiteral("ARCH1"), TrackingStatus::outForDelivery);
        m_service->applyTrackingResult(result(TrackingStatus::delivered), *package, *m_context);
        QCOMPARE(package->isArchived(), autoArchive);
        QCOMPARE(logCount(QStringLiteral("Auto-archived delivered package: ARCH1")), autoArchive ? 1 : 0);
        QTRY_COMPARE(m_notificationServer->notifications().size(), 1);

        // A second delivered result neither notifies nor archives again (the user unarchived it).
        package->setArchived(false);
        m_service->applyTrackingResult(result(TrackingStatus::delivered), *package, *m_context);
        QVERIFY(!package->isArchived());
        QTest::qWait(100);
        QCOMPARE(m_notificationServer->notifications().size(), 1);
        QCOMPARE(logCount(QStringLiteral("Auto-archived delivered package: ARCH1")), autoArchive ? 1 : 0);
    }

    void refreshAllAppliesTheBatchAndPlansThePoll()
    {
        useRealProvider();
        m_preferences->setRefreshInterval(3600);
        m_server->setTrackInfo(QStringLiteral("AAA111111"),
                               S::trackInfo(50,
                                            QJsonArray {S::event(QStringLiteral("2026-06-15T09:00:00Z"),
                                                                 QStringLiteral("Delivered, front door"), 50)}));
        m_server->setTrackInfo(QStringLiteral("BBB222222"),
                               S::trackInfo(40,
                                            QJsonArray {S::event(QStringLiteral("2026-06-15T07:00:00Z"),
                                                                 QStringLiteral("Out for delivery"), 40)}));
        Package *a = insert(QStringLiteral("AAA111111"), TrackingStatus::inTransit);
        Package *b = insert(QStringLiteral("BBB222222"), TrackingStatus::pending);
        b->setLastErrorMessage(QStringLiteral("stale error"));
        insert(QStringLiteral("ARCHIVED1"), TrackingStatus::inTransit, true);
        insert(QStringLiteral("DELIVERED1"), TrackingStatus::delivered);
        insert(QStringLiteral("EXPIRED1"), TrackingStatus::expired);
        QVERIFY(PackageStore::save(*m_context).ok());
        m_service->pollingManager()->setRunning();

        QSignalSpy refreshing(m_service.get(), &TrackingService::isRefreshingChanged);
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        QCOMPARE(refreshing.size(), 2); // on, then off
        QVERIFY(!m_service->isRefreshing());
        QCOMPARE(m_service->lastRefreshDate(), m_clock->now());
        QVERIFY(!m_service->errorMessage().has_value());

        QCOMPARE(a->status(), TrackingStatus::delivered);
        QCOMPARE(b->status(), TrackingStatus::outForDelivery);
        QVERIFY(!b->lastErrorMessage().has_value());
        QVERIFY(!m_context->hasChanges());

        QStringList asked;
        for (const auto &request : m_server->requests())
            asked.append(request.numbers);
        asked.removeDuplicates();
        asked.sort();
        QCOMPARE(asked, (QStringList {QStringLiteral("AAA111111"), QStringLiteral("BBB222222")}));

        // Planned from the active packages: one out for delivery gives 120 s.
        QCOMPARE(m_service->pollingManager()->nextPollDate(), m_clock->now().addSecs(120));
        QTRY_COMPARE(m_notificationServer->notifications().size(), 2);
        QCOMPARE(notificationCategories().count(QStringLiteral("x-kestrove.delivery")), 1);
    }

    void refreshAllRecordsPerPackageFailures()
    {
        useScriptedProvider();
        Package *first = insert(QStringLiteral("ONE111"), TrackingStatus::pending);
        Package *second = insert(QStringLiteral("TWO222"), TrackingStatus::inTransit);
        Package *third = insert(QStringLiteral("THREE333"), TrackingStatus::inTransit);
        first->setLastErrorMessage(QStringLiteral("old failure"));
        QVERIFY(PackageStore::save(*m_context).ok());
        // Results come in request order; store order is insertion order here.
        m_scripted->batchOutcome = BatchOutcome(QList<TrackingOutcome> {
            TrackingOutcome(result(TrackingStatus::inTransit)),
            TrackingOutcome::failure(TrackingProviderError::trackingNotFound()),
        });
        QVERIFY(runTask(m_service->refreshAll(*m_context)));

        QCOMPARE(m_scripted->batches.size(), 1);
        QCOMPARE(m_scripted->batches.constFirst().size(), 3);
        QCOMPARE(first->status(), TrackingStatus::inTransit);
        QVERIFY(!first->lastErrorMessage().has_value());
        const QString description = TrackingProviderError::trackingNotFound().description();
        QCOMPARE(second->lastErrorMessage(), description);
        QCOMPARE(logCount(QStringLiteral("Failed to refresh TWO222: ") + description), 1);
        // No result for the third: left as it was.
        QVERIFY(!third->lastErrorMessage().has_value());
        QVERIFY(!m_service->errorMessage().has_value());

        // More results than packages: the extra ones are ignored.
        m_scripted->batchOutcome = BatchOutcome(QList<TrackingOutcome> {
            TrackingOutcome(result(TrackingStatus::inTransit)), TrackingOutcome(result(TrackingStatus::inTransit)),
            TrackingOutcome(result(TrackingStatus::outForDelivery)),
            TrackingOutcome(result(TrackingStatus::delivered))});
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        QCOMPARE(third->status(), TrackingStatus::outForDelivery);
        QVERIFY(!second->lastErrorMessage().has_value());
    }

    void refreshAllBatchFailure()
    {
        useRealProvider();
        m_server->setExpectedToken("another-key");
        insert(QStringLiteral("AAA111111"), TrackingStatus::inTransit);
        QVERIFY(PackageStore::save(*m_context).ok());
        m_service->pollingManager()->setRunning();
        QVERIFY(!m_service->pollingManager()->nextPollDate().has_value());

        QSignalSpy errors(m_service.get(), &TrackingService::errorMessageChanged);
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        const QString description = TrackingProviderError::apiKeyInvalid().description();
        QCOMPARE(m_service->errorMessage(), description);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(logCount(QStringLiteral("Batch refresh failed: ") + description), 1);
        QVERIFY(!m_service->isRefreshing());
        QCOMPARE(m_service->lastRefreshDate(), m_clock->now());
        QVERIFY(!m_service->pollingManager()->nextPollDate().has_value()); // no new plan on this path

        // The next refresh clears the message when it starts.
        m_server->setExpectedToken({});
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        QVERIFY(!m_service->errorMessage().has_value());
    }

    void rateLimitStopsTheRefreshAndThePolling_data()
    {
        QTest::addColumn<QByteArray>("retryAfter");
        QTest::addColumn<int>("waitSeconds");
        QTest::newRow("Retry-After: 120") << QByteArray("120") << 120;
        QTest::newRow("no retry time: one minute") << QByteArray() << 60;
    }
    void rateLimitStopsTheRefreshAndThePolling()
    {
        QFETCH(QByteArray, retryAfter);
        QFETCH(int, waitSeconds);
        useRealProvider();
        m_preferences->setRefreshInterval(30);
        // 41 packages: the first chunk of 40 goes through, the second one's first registration gets 429.
        QList<Package *> packages;
        for (int i = 0; i < 41; ++i) {
            packages.append(insert(QStringLiteral("RL%1").arg(i, 6, 10, QLatin1Char('0')), TrackingStatus::pending));
            packages.last()->setLastErrorMessage(QStringLiteral("earlier failure"));
        }
        QVERIFY(PackageStore::save(*m_context).ok());
        int registrations = 0;
        m_server->setHandler([&](const S::Request &request) -> std::optional<S::Reply> {
            if (request.endpoint != QLatin1String("register") || ++registrations != 41)
                return std::nullopt;
            auto reply = S::Reply::httpStatus(429);
            if (!retryAfter.isEmpty())
                reply.withHeader("Retry-After", retryAfter);
            return reply;
        });
        m_service->pollingManager()->setRunning();
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        m_clock->setAutoAdvance(false);

        // 40 registrations, one real-time and one stored look-up, then the refused registration.
        QCOMPARE(m_server->requests().size(), 43);
        const QDateTime until = m_server->requests().constLast().clockTime.addSecs(waitSeconds);
        QCOMPARE(m_service->rateLimitedUntil(), until);
        QCOMPARE(m_service->pollingManager()->nextPollDate(), until);
        QVERIFY(!packages.first()->lastErrorMessage().has_value());
        QCOMPARE(packages.last()->lastErrorMessage(), QStringLiteral("earlier failure"));

        // A manual refresh inside the wait explains instead of sending.
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        QCOMPARE(m_server->requests().size(), 43);
        QVERIFY(m_service->errorMessage().value_or(QString()).startsWith(QLatin1String("Rate limited. Try again in ")));

        m_clock->advance(std::chrono::seconds(waitSeconds));
        QVERIFY(!m_service->rateLimitedUntil().has_value());
        m_clock->setAutoAdvance(true);
        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        QVERIFY(m_server->requests().size() > 43);
        QVERIFY(!packages.last()->lastErrorMessage().has_value());
    }

    void exceptionsOfAProviderNeverEscape()
    {
        useScriptedProvider();
        m_scripted->throwOnFetch = true;
        m_scripted->throwOnBatch = true;
        Package *package = insert(QStringLiteral("THROW1"), TrackingStatus::inTransit);
        QVERIFY(PackageStore::save(*m_context).ok());

        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        QVERIFY(package->lastErrorMessage().has_value());
        QVERIFY(package->lastErrorMessage()->contains(QStringLiteral("provider blew up")));

        QVERIFY(runTask(m_service->refreshAll(*m_context)));
        QVERIFY(m_service->errorMessage().has_value());
        QVERIFY(m_service->errorMessage()->contains(QStringLiteral("batch blew up")));
        QVERIFY(!m_service->isRefreshing());

        const auto added
            = runTask(m_service->addPackage(QStringLiteral("new1"), QString(), QStringLiteral("ups"), *m_context));
        QVERIFY(added && *added);
        QVERIFY((*added)->lastErrorMessage()->contains(QStringLiteral("provider blew up")));
    }

    void backgroundRetriesRunThreeTimesInVirtualTime()
    {
        useRealProvider();
        Package *package = insert(QStringLiteral("NODATA123"), TrackingStatus::pending);
        QVERIFY(PackageStore::save(*m_context).ok());
        QSignalSpy finished(m_service.get(), &TrackingService::backgroundRetriesFinished);
        const QDateTime start = m_clock->now();

        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        QCOMPARE(m_service->pendingRetries(), QSet<QString> {QStringLiteral("NODATA123")});
        QCOMPARE(logCount(QStringLiteral("Scheduling background retries for NODATA123")), 1);
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QVERIFY(m_service->pendingRetries().isEmpty());

        QCOMPARE(logCount(QStringLiteral("Background retry (30s): fetching NODATA123")), 1);
        QCOMPARE(logCount(QStringLiteral("Background retry (60s): fetching NODATA123")), 1);
        QCOMPARE(logCount(QStringLiteral("Background retry (120s): fetching NODATA123")), 1);
        QList<qint64> retrySleeps;
        for (const auto sleep : m_clock->requestedSleeps()) {
            if (sleep >= 30s)
                retrySleeps.append(sleep.count());
        }
        QCOMPARE(retrySleeps, (QList<qint64> {30'000, 60'000, 120'000}));
        // About 210 s of sleeping, plus the provider's own short waits and pacing.
        const qint64 elapsed = start.secsTo(m_clock->now());
        QVERIFY2(elapsed >= 210 && elapsed < 300, qPrintable(QString::number(elapsed)));
        QCOMPARE(package->status(), TrackingStatus::pending);
    }

    void backgroundRetryStopsWhenDataArrives()
    {
        useRealProvider();
        Package *package = insert(QStringLiteral("LATE123"), TrackingStatus::pending);
        QVERIFY(PackageStore::save(*m_context).ok());
        // The service gets data for the number once the first retry has asked.
        LogManager::setObserver([this](const QString &line) {
            m_log.append(line);
            if (line == QLatin1String("Background retry (60s): fetching LATE123"))
                m_server->setTrackInfo(QStringLiteral("LATE123"),
                                       S::trackInfo(10,
                                                    QJsonArray {S::event(QStringLiteral("2026-06-15T11:00:00Z"),
                                                                         QStringLiteral("Accepted"), 10)}));
        });
        QSignalSpy finished(m_service.get(), &TrackingService::backgroundRetriesFinished);
        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(logCount(QStringLiteral("Background retry: got data for LATE123")), 1);
        QCOMPARE(logCount(QStringLiteral("Background retry (120s): fetching LATE123")), 0);
        QCOMPARE(package->status(), TrackingStatus::inTransit);
        QCOMPARE(package->events().size(), 1);
        QVERIFY(!m_context->hasChanges());
    }

    void backgroundRetryStopsWhenTheNumberGotDataElsewhere()
    {
        useScriptedProvider();
        Package *package = insert(QStringLiteral("ELSE123"), TrackingStatus::pending);
        QVERIFY(PackageStore::save(*m_context).ok());
        QSignalSpy finished(m_service.get(), &TrackingService::backgroundRetriesFinished);
        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        QCOMPARE(m_scripted->fetched.size(), 1);
        // Another refresh brings an event while the retry sleeps.
        package->appendEvent(
            std::make_unique<TrackingEvent>(m_clock->now(), TrackingStatus::inTransit, QStringLiteral("Picked up")));
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(logCount(QStringLiteral("Background retry: ELSE123 now has data, stopping retries")), 1);
        QCOMPARE(m_scripted->fetched.size(), 1);
    }

    void backgroundRetryStopsWhenAnotherProcessDeletedThePackage()
    {
        useRealProvider();
        Package *package = insert(QStringLiteral("GONE123"), TrackingStatus::pending);
        const QPointer<Package> watched(package); // freed once the deletion has been announced
        QVERIFY(PackageStore::save(*m_context).ok());
        std::unique_ptr<ModelContext> other = secondContext();
        QVERIFY(other);
        // kestrove-cli deletes the number while its retries wait.
        LogManager::setObserver([this, &other](const QString &line) {
            m_log.append(line);
            if (line != QLatin1String("Scheduling background retries for GONE123"))
                return;
            const auto packages = other->fetchPackages();
            if (packages) [[maybe_unused]]
                auto deleted = PackageStore::deletePackages(packages.value(), *other);
        });
        QSignalSpy finished(m_service.get(), &TrackingService::backgroundRetriesFinished);
        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        const qsizetype requestsBefore = m_server->requests().size();
        QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, 20000);
        QCOMPARE(logCount(QStringLiteral("Background retry: GONE123 was deleted, stopping retries")), 1);
        QCOMPARE(logCount(QStringLiteral("Background retry (30s): fetching GONE123")), 0);
        QCOMPARE(m_server->requests().size(), requestsBefore);
        QVERIFY(!watched || watched->isDeleted());
        QVERIFY(m_service->pendingRetries().isEmpty());
    }

    void aSecondRetryScheduleForTheSameNumberIsIgnored()
    {
        useScriptedProvider();
        Package *package = insert(QStringLiteral("TWICE123"), TrackingStatus::pending);
        QVERIFY(PackageStore::save(*m_context).ok());
        m_scripted->fetchOutcomes
            = {TrackingOutcome::failure(TrackingProviderError::networkError(QStringLiteral("offline"))),
               TrackingOutcome(result(TrackingStatus::pending))};
        // Both refreshes end before the retry sequence's first sleep does.
        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        QVERIFY(runTask(m_service->refreshPackage(package, *m_context)));
        QCOMPARE(logCount(QStringLiteral("Failed to refresh TWICE123: ")
                          + TrackingProviderError::networkError(QStringLiteral("offline")).description()),
                 1);
        QCOMPARE(logCount(QStringLiteral("Scheduling background retries for TWICE123")), 1);
        QSignalSpy finished(m_service.get(), &TrackingService::backgroundRetriesFinished);
        QTRY_COMPARE(finished.size(), 1);
        QCOMPARE(m_scripted->fetched.size(), 2 + 3);
    }

    void startServicesOnceThenPollsAndMarksDelivered()
    {
        useScriptedProvider();
        m_clock->setAutoAdvance(false);
        m_preferences->setAutoDeleteEnabled(true);
        m_preferences->setAutoArchiveDelivered(true);
        Package *old = insert(QStringLiteral("OLDDELIVERED"), TrackingStatus::delivered);
        old->setLastUpdated(m_clock->now().addSecs(-13 * 3600));
        Package *active = insert(QStringLiteral("ACTIVE1"), TrackingStatus::outForDelivery);
        QVERIFY(PackageStore::save(*m_context).ok());
        m_scripted->batchOutcome
            = BatchOutcome(QList<TrackingOutcome> {TrackingOutcome(result(TrackingStatus::outForDelivery))});

        m_service->startServices(*m_context);
        QVERIFY(m_service->servicesStarted());
        QVERIFY(old->isDeleted()); // retention clean-up at start
        QVERIFY(m_service->pollingManager()->isRunning());
        QCOMPARE(m_service->pollingManager()->nextPollDate(), m_clock->now().addSecs(900));
        QTRY_VERIFY(m_notificationServer->serverInformationRequests() >= 1); // the authorisation question

        // A second start changes nothing.
        m_clock->advance(10s);
        m_service->startServices(*m_context);
        QCOMPARE(m_service->pollingManager()->nextPollDate(), m_clock->now().addSecs(890));

        // The poll runs refreshAll on the context it was started with.
        m_clock->advance(890s);
        QTRY_COMPARE(m_scripted->batches.size(), 1);
        QTRY_VERIFY(m_service->lastRefreshDate().has_value());
        QCOMPARE(m_service->pollingManager()->nextPollDate(), m_clock->now().addSecs(900));

        // "Mark Delivered" on a notification: the result path without a notification of its own.
        m_service->markDelivered(QStringLiteral("ACTIVE1"));
        QTRY_COMPARE(active->status(), TrackingStatus::delivered);
        QVERIFY(active->isArchived());
        QVERIFY(!m_context->hasChanges());
        QTest::qWait(100);
        QVERIFY(m_notificationServer->notifications().isEmpty());
    }

    void providerSelection_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("never set") << QString();
        QTest::newRow("another type is served by the 17TRACK client too") << QStringLiteral("ship24");
    }

    void providerSelection()
    {
        QFETCH(QString, stored);
        if (!stored.isEmpty())
            m_preferences->setSelectedProvider(stored);
        QList<TrackingProviderType> asked;
        TrackingService::Collaborators collaborators;
        collaborators.clock = m_clock.get();
        collaborators.preferences = m_preferences.get();
        collaborators.notifications = m_notifications.get();
        collaborators.polling.observeSystemSleep = false;
        collaborators.providerFactory = [&asked](TrackingProviderType type) -> std::unique_ptr<TrackingProvider> {
            asked.append(type);
            return std::make_unique<ScriptedProvider>();
        };
        TrackingService service(std::move(collaborators));
        QCOMPARE(asked, QList<TrackingProviderType> {TrackingProviderType::seventeenTrack});
        QVERIFY(service.provider());

        QSignalSpy changed(&service, &TrackingService::providerChanged);
        QPointer<TrackingProvider> before = service.provider();
        service.switchProvider(TrackingProviderType::afterShip);
        QCOMPARE(asked.size(), 2);
        QCOMPARE(asked.last(), TrackingProviderType::seventeenTrack);
        QCOMPARE(changed.size(), 1);
        QVERIFY(service.provider() != before.data());
        QTRY_VERIFY(before.isNull()); // the old one goes once nothing runs on it
    }
};

KESTROVE_TEST_MAIN(TrackingServiceTest)
#include "trackingservicetest.moc"
