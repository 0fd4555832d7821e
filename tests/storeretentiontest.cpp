#include "base/logmanager.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagestore.h"
#include "model/preferences.h"
#include "model/trackingevent.h"
#include "sqlprobe.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <optional>

class StoreRetentionTest : public QObject
{
    Q_OBJECT

private:
    VirtualClock m_clock;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<ModelContext> m_context;
    QStringList m_log;
    const QDateTime m_now = QDateTime(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC);

    Package *addPackage(const QString &number, TrackingStatus status, const QDateTime &lastUpdated,
                        bool archived = false)
    {
        auto *package = new Package(number, QStringLiteral("ups"), QString(), status);
        package->setLastUpdated(lastUpdated);
        package->setArchived(archived);
        m_context->insert(package);
        return package;
    }
    QStringList storedNumbers()
    {
        auto reopened = ModelContext::open(m_context->storePath());
        QStringList numbers;
        for (const Package *package : reopened.value()->fetchPackages().value())
            numbers.append(package->trackingNumber());
        numbers.sort();
        return numbers;
    }

private Q_SLOTS:
    void initTestCase()
    {
        Clock::setShared(&m_clock);
        LogManager::setObserver([this](const QString &line) { m_log.append(line); });
    }
    void cleanupTestCase()
    {
        Clock::setShared(nullptr);
        LogManager::setObserver({});
    }
    void init()
    {
        m_clock.setNow(m_now);
        m_dir = std::make_unique<QTemporaryDir>();
        m_preferences = std::make_unique<Preferences>(m_dir->filePath(QStringLiteral("Kestrove.conf")));
        m_context = std::move(ModelContext::open(m_dir->filePath(QStringLiteral("Kestrove.sqlite")))).value();
        m_log.clear();
    }
    void cleanup()
    {
        m_context.reset();
        m_preferences.reset();
    }

    void retentionRule_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<std::optional<double>>("delay"); // absent: never written
        QTest::addColumn<TrackingStatus>("status");
        QTest::addColumn<qint64>("ageMs"); // how long before now the package was last updated
        QTest::addColumn<bool>("archived");
        QTest::addColumn<bool>("deleted");
        constexpr qint64 hour = 3600 * 1000;
        const std::optional<double> unset;
        QTest::newRow("delivered 13 h ago with the default delay is deleted")
            << true << unset << TrackingStatus::delivered << 13 * hour << false << true;
        QTest::newRow("exactly at the cut-off stays")
            << true << unset << TrackingStatus::delivered << 12 * hour << false << false;
        QTest::newRow("a millisecond before the cut-off is deleted")
            << true << unset << TrackingStatus::delivered << 12 * hour + 1 << false << true;
        QTest::newRow("archived delivered package is deleted too")
            << true << unset << TrackingStatus::delivered << 13 * hour << true << true;
        QTest::newRow("expired long ago is not delivered")
            << true << unset << TrackingStatus::expired << 365 * 24 * hour << true << false;
        QTest::newRow("zero delay counts as 12 hours")
            << true << std::optional(0.0) << TrackingStatus::delivered << 11 * hour << false << false;
        QTest::newRow("one-hour delay") << true << std::optional(3600.0) << TrackingStatus::delivered << 2 * hour
                                        << false << true;
        QTest::newRow("a delay beyond the range of dates deletes nothing")
            << true << std::optional(1e300) << TrackingStatus::delivered << 365 * 24 * hour << false << false;
        QTest::newRow("retention off deletes nothing")
            << false << unset << TrackingStatus::delivered << 365 * 24 * hour << true << false;
    }
    void retentionRule()
    {
        QFETCH(bool, enabled);
        QFETCH(std::optional<double>, delay);
        QFETCH(TrackingStatus, status);
        QFETCH(qint64, ageMs);
        QFETCH(bool, archived);
        QFETCH(bool, deleted);
        m_preferences->setAutoDeleteEnabled(enabled);
        if (delay)
            m_preferences->setAutoDeleteDelay(*delay);
        Package *package = addPackage(QStringLiteral("CANDIDATE"), status, m_now.addMSecs(-ageMs), archived);
        addPackage(QStringLiteral("FRESH"), TrackingStatus::delivered, m_now);
        QVERIFY(m_context->save());

        PackageStore::cleanupDeliveredPackages(*m_context, *m_preferences, m_clock.now());
        QCOMPARE(package->isDeleted(), deleted);
        const QStringList expected = deleted ? QStringList {QStringLiteral("FRESH")}
                                             : QStringList {QStringLiteral("CANDIDATE"), QStringLiteral("FRESH")};
        QCOMPARE(storedNumbers(), expected);
        if (!deleted)
            QVERIFY(m_log.isEmpty());
    }

    void retentionLogLines()
    {
        // A clock in another offset still prints the cut-off as UTC.
        m_clock.setNow(m_now.toOffsetFromUtc(2 * 3600));
        m_preferences->setAutoDeleteEnabled(true);
        addPackage(QStringLiteral("1Z001"), TrackingStatus::delivered, m_now.addDays(-2));
        addPackage(QStringLiteral("1Z002"), TrackingStatus::delivered, m_now.addDays(-1), true);
        addPackage(QStringLiteral("1Z003"), TrackingStatus::inTransit, m_now.addDays(-3));
        QVERIFY(m_context->save());
        PackageStore::cleanupDeliveredPackages(*m_context, *m_preferences, m_clock.now());
        QCOMPARE(m_log,
                 (QStringList {
                     QStringLiteral("Auto-deleting delivered package: 1Z001 (delivered before 2026-06-15 "
                                    "00:00:00 +0000)"),
                     QStringLiteral("Auto-deleting delivered package: 1Z002 (delivered before 2026-06-15 "
                                    "00:00:00 +0000)"),
                     QStringLiteral("Auto-deleted 2 delivered package(s)"),
                 }));
    }

    void deleteDetachesFromGroupsAndDropsEvents()
    {
        Package *package = addPackage(QStringLiteral("GROUPED"), TrackingStatus::inTransit, m_now);
        auto *a = new PackageGroup(QStringLiteral("A"), QStringLiteral("#007AFF"), 0);
        auto *b = new PackageGroup(QStringLiteral("B"), QStringLiteral("#FF9500"), 1);
        package->setGroups({a, b});
        package->appendEvent(std::make_unique<TrackingEvent>(m_now, TrackingStatus::inTransit, QStringLiteral("s")));
        QVERIFY(m_context->save());

        QVERIFY(PackageStore::deletePackages(QSet<Package *> {package}, *m_context));
        QVERIFY(a->packages().isEmpty());
        QVERIFY(b->packages().isEmpty());
        QVERIFY(!m_context->hasChanges());
        auto reopened = std::move(ModelContext::open(m_context->storePath())).value();
        QVERIFY(reopened->fetchPackages().value().isEmpty());
        const QList<PackageGroup *> groups = reopened->fetchGroups().value();
        QCOMPARE(groups.size(), 2);
        for (const PackageGroup *group : groups)
            QVERIFY(group->packages().isEmpty());
    }

    void emptyDeleteOnlySaves()
    {
        Package *package = addPackage(QStringLiteral("PENDING"), TrackingStatus::pending, m_now);
        QVERIFY(PackageStore::deletePackages(QList<Package *> {}, *m_context));
        QVERIFY(package->persistentId() > 0);
        QVERIFY(!package->isDeleted());
    }

    void failedSaveIsAValueAndALogLine()
    {
        Package *package = addPackage(QStringLiteral("BUSY"), TrackingStatus::delivered, m_now.addDays(-1));
        QVERIFY(m_context->save());
        m_context->setBusyTimeout(std::chrono::milliseconds(20));
        m_log.clear();

        const TestSupport::SqlProbe lock(m_context->storePath()); // another process holds the write lock
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        auto result = PackageStore::deletePackages(QList<Package *> {package}, *m_context);
        QVERIFY(!result);
        QCOMPARE(result.error().kind, PackageStore::StoreError::Kind::saveFailed);
        QVERIFY(result.error().description().startsWith(QStringLiteral("PackageStore save failed: The changes could "
                                                                       "not be saved to ")));
        QVERIFY(package->isDeleted()); // deleted in the context even though the save failed
        QVERIFY(m_context->fetchPackages().value().isEmpty());
        QCOMPARE(m_log.size(), 1);
        const ModelError &underlying = result.error().underlying;
        QCOMPARE(m_log.first(),
                 QStringLiteral("PackageStore.save failed: ") + underlying.description + QStringLiteral(" \u2014 ")
                     + underlying.fullDescription());
        QVERIFY(m_log.first().contains(QLatin1String("database is locked")));
    }

    void cleanupReportsAFailedSave()
    {
        m_preferences->setAutoDeleteEnabled(true);
        addPackage(QStringLiteral("OLD"), TrackingStatus::delivered, m_now.addDays(-1));
        QVERIFY(m_context->save());
        m_context->setBusyTimeout(std::chrono::milliseconds(20));
        m_log.clear();
        {
            const TestSupport::SqlProbe lock(m_context->storePath());
            QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
            PackageStore::cleanupDeliveredPackages(*m_context, *m_preferences, m_clock.now());
        }
        QCOMPARE(m_log.size(), 3);
        QVERIFY(m_log.at(0).startsWith(QStringLiteral("Auto-deleting delivered package: OLD")));
        QVERIFY(m_log.at(1).startsWith(QStringLiteral("PackageStore.save failed: ")));
        QVERIFY(m_log.at(2).startsWith(
            QStringLiteral("Auto-delete cleanup failed during save: PackageStore save failed: The changes could not")));
        // The deletion is still pending and goes through with the next save.
        QVERIFY(PackageStore::save(*m_context));
        QVERIFY(storedNumbers().isEmpty());
    }

    void cleanupReportsAFailedFetch()
    {
        m_preferences->setAutoDeleteEnabled(true);
        addPackage(QStringLiteral("X"), TrackingStatus::delivered, m_now.addDays(-1));
        QVERIFY(m_context->save());
        // Another program damages the store underneath the open context.
        QVERIFY(
            TestSupport::SqlProbe(m_context->storePath()).exec(QStringLiteral("DROP TABLE PackageGroupMembership")));
        m_log.clear();
        PackageStore::cleanupDeliveredPackages(*m_context, *m_preferences, m_clock.now());
        QCOMPARE(m_log.size(), 1);
        QVERIFY2(m_log.first().startsWith(QStringLiteral("Auto-delete cleanup fetch failed: The store file ")),
                 qPrintable(m_log.first()));
        QVERIFY(m_log.first().contains(QLatin1String("No such table: PackageGroupMembership.")));
    }
};

KESTROVE_TEST_MAIN(StoreRetentionTest)
#include "storeretentiontest.moc"
