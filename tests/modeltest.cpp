#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"
#include "sqlprobe.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace
{
std::unique_ptr<ModelContext> openStore(const QString &path)
{
    auto opened = ModelContext::open(path);
    if (!opened) {
        qWarning("%s", qPrintable(opened.error().fullDescription()));
        return nullptr;
    }
    return std::move(opened).value();
}

std::unique_ptr<TrackingEvent> makeEvent(const QDateTime &when, const QString &description,
                                         TrackingStatus status = TrackingStatus::inTransit)
{
    return std::make_unique<TrackingEvent>(when, status, description, QStringLiteral("Memphis, TN"),
                                           QStringLiteral("IT"));
}

/** Every stored field of every package, its events and its groups, one text per package. */
QStringList describeAll(ModelContext &context)
{
    QStringList packages;
    for (Package *p : context.fetchPackages().value()) {
        QStringList fields {p->trackingNumber(),
                            p->carrierCode(),
                            p->label(),
                            TrackingStatuses::rawValue(p->status()),
                            p->estimatedDelivery().value_or(QDateTime()).toUTC().toString(Qt::ISODateWithMs),
                            p->dateAdded().toUTC().toString(Qt::ISODateWithMs),
                            p->notes(),
                            p->lastErrorMessage().value_or(u"-"_s),
                            p->colorTag().value_or(u"-"_s),
                            QString::number(p->customRefreshInterval().value_or(-1)),
                            QString::fromLatin1(p->customImageData().value_or("-").toHex())};
        for (bool flag : {p->isArchived(), p->notificationsEnabled(), p->notifyOnLocationUpdate(), p->isPinned()})
            fields.append(flag ? u"yes"_s : u"no"_s);
        for (const TrackingEvent *event : p->events()) {
            fields.append(event->timestamp().toUTC().toString(Qt::ISODateWithMs) + event->eventDescription()
                          + event->location() + event->rawStatusCode() + QString::number(event->latitude().value_or(-1))
                          + QString::number(event->longitude().value_or(-1)));
        }
        QStringList groups; // membership order is not kept
        for (const PackageGroup *group : p->groups())
            groups.append(group->id().toString() + group->name() + group->colorHex()
                          + QString::number(group->sortOrder()));
        groups.sort();
        fields += groups;
        packages.append(fields.join(u" | "_s));
    }
    return packages;
}

Package *findByNumber(ModelContext &context, const QString &number)
{
    auto fetched = context.fetchPackages([&](const Package &p) { return p.trackingNumber() == number; });
    return fetched && !fetched.value().isEmpty() ? fetched.value().first() : nullptr;
}
}

class ModelTest : public QObject
{
    Q_OBJECT

private:
    VirtualClock m_clock;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
    const QDateTime m_base = QDateTime(QDate(2026, 6, 10), QTime(9, 30), Qt::UTC);

private Q_SLOTS:
    void initTestCase() { Clock::setShared(&m_clock); }
    void cleanupTestCase() { Clock::setShared(nullptr); }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("Kestrove.sqlite"));
    }

    void statusRawValuesAreExact()
    {
        for (TrackingStatus status : TrackingStatuses::allCases())
            QCOMPARE(TrackingStatuses::fromRawValue(TrackingStatuses::rawValue(status)), status);
        for (const QString &text : {u"Delivered"_s, u"PENDING"_s, u"in_transit"_s, u"inTransit "_s, QString()})
            QVERIFY2(!TrackingStatuses::fromRawValue(text), qPrintable(text));
    }

    void latestEvent_data()
    {
        QTest::addColumn<QList<int>>("minutes"); // event timestamps, in list order
        QTest::addColumn<int>("expected"); // index of the latest event, -1 for none
        QTest::newRow("no events, no latest") << QList<int> {} << -1;
        QTest::newRow("newest wins wherever it is") << QList<int> {10, 30, 20} << 1;
        QTest::newRow("tie keeps the earlier in the list") << QList<int> {10, 30, 30} << 1;
        QTest::newRow("tie at the start") << QList<int> {30, 30, 5} << 0;
        QTest::newRow("strictly newer later event replaces") << QList<int> {30, 30, 31} << 2;
    }
    void latestEvent()
    {
        QFETCH(QList<int>, minutes);
        QFETCH(int, expected);
        auto context = openStore(m_path);
        QVERIFY(context);
        auto *package = new Package(QStringLiteral("TIE1"), QStringLiteral("usps"));
        context->insert(package);
        for (qsizetype i = 0; i < minutes.size(); ++i)
            package->appendEvent(makeEvent(m_base.addSecs(minutes[i] * 60), QStringLiteral("event %1").arg(i)));
        const auto describe = [](const TrackingEvent *e) { return e ? e->eventDescription() : QString(); };
        const QString want = expected < 0 ? QString() : QStringLiteral("event %1").arg(expected);
        QCOMPARE(describe(package->latestEvent()), want);
        QCOMPARE(package->hasEvents(), expected >= 0);
        QVERIFY(context->save());
        context.reset();

        // Read back: the latest event comes with the package row, before the event list is loaded.
        context = openStore(m_path);
        Package *stored = findByNumber(*context, QStringLiteral("TIE1"));
        QVERIFY(stored);
        TrackingEvent *latest = stored->latestEvent();
        QCOMPARE(describe(latest), want);
        QCOMPARE(stored->events().size(), minutes.size());
        QCOMPARE(stored->latestEvent(), latest); // loading the list keeps the same object
        if (latest)
            QVERIFY(stored->events().contains(latest));
        QCOMPARE(stored->eventsNewestFirst().value(0), latest);
    }

    void recordsRoundTripThroughTheFile()
    {
        auto context = openStore(m_path);
        QVERIFY(context);
        auto *package = new Package(QStringLiteral("9400111"), QStringLiteral("usps"), QStringLiteral("Books"),
                                    TrackingStatus::inTransit, m_base.addDays(3), QStringLiteral("Leave at door"));
        package->setArchived(true);
        package->setLastErrorMessage(QStringLiteral("Timed out"));
        package->setColorTag(QStringLiteral("#FF9500"));
        package->setCustomRefreshInterval(1800.5);
        package->setNotifyOnLocationUpdate(true);
        package->setNotificationsEnabled(false);
        package->setPinned(true);
        package->setCustomImageData(QByteArray("\x89PNG fake bytes", 15));
        context->insert(package);
        TrackingEvent *first = package->appendEvent(makeEvent(m_base, QStringLiteral("Accepted")));
        first->setCoordinates(35.1495, -90.049);
        package->appendEvent(makeEvent(m_base.addSecs(3600), QStringLiteral("Departed")));
        auto *gifts = new PackageGroup(QStringLiteral("Gifts"), QStringLiteral("#AF52DE"), 2);
        auto *work = new PackageGroup(QStringLiteral("Work"), QStringLiteral("#34C759"), 1);
        package->addToGroup(gifts); // brings the group into the context
        work->addPackage(package);
        QCOMPARE(gifts->modelContext(), context.get());
        QCOMPARE(work->modelContext(), context.get());
        context->insert(new Package(QStringLiteral("EMPTY"), QString()));
        QVERIFY(context->save());
        const QStringList before = describeAll(*context);
        QCOMPARE(before.size(), 2);
        context.reset();

        context = openStore(m_path);
        QCOMPARE(describeAll(*context), before);
        Package *stored = findByNumber(*context, QStringLiteral("9400111"));
        QCOMPARE(stored->events().constFirst()->package(), stored);
        for (PackageGroup *group : stored->groups())
            QCOMPARE(group->packages(), QList<Package *> {stored});
    }

    void deleteRules()
    {
        auto context = openStore(m_path);
        QVERIFY(context);
        auto *doomed = new Package(QStringLiteral("DOOMED"), QStringLiteral("dhl"));
        auto *kept = new Package(QStringLiteral("KEPT"), QStringLiteral("dhl"));
        context->insert(doomed);
        context->insert(kept);
        auto *a = new PackageGroup(QStringLiteral("A"), QStringLiteral("#007AFF"), 0);
        auto *b = new PackageGroup(QStringLiteral("B"), QStringLiteral("#FF3B30"), 1);
        context->insert(a);
        context->insert(b);
        for (PackageGroup *group : {a, b}) {
            doomed->addToGroup(group);
            kept->addToGroup(group);
        }
        for (int i = 0; i < 3; ++i)
            doomed->appendEvent(makeEvent(m_base.addSecs(i), QStringLiteral("scan %1").arg(i)));
        kept->appendEvent(makeEvent(m_base, QStringLiteral("kept scan")));
        QVERIFY(context->save());

        // Package: cascade to events, nullify in groups.
        context->remove(doomed);
        QVERIFY(doomed->isDeleted());
        QVERIFY(!doomed->modelContext());
        QCOMPARE(a->packages(), QList<Package *> {kept});
        QVERIFY(context->save());
        // Group: nullify in packages.
        context->remove(b);
        QCOMPARE(kept->groups(), QList<PackageGroup *> {a});
        QVERIFY(context->save());
        context.reset();

        {
            TestSupport::SqlProbe raw(m_path);
            QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM TrackingEvent")).toInt(), 1);
            QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM PackageGroupMembership")).toInt(), 1);
        }
        context = openStore(m_path);
        auto packages = context->fetchPackages();
        QVERIFY(packages);
        QCOMPARE(packages.value().size(), 1);
        Package *survivor = packages.value().first();
        QCOMPARE(survivor->trackingNumber(), QStringLiteral("KEPT"));
        QCOMPARE(survivor->events().size(), 1);
        QCOMPARE(survivor->groups().size(), 1);
        QCOMPARE(survivor->groups().first()->name(), QStringLiteral("A"));
        auto groups = context->fetchGroups();
        QCOMPARE(groups.value().size(), 1);
    }

    void prepareForDeletionDetachesBothSides()
    {
        auto context = openStore(m_path);
        auto *package = new Package(QStringLiteral("P"), QStringLiteral("ups"));
        auto *other = new Package(QStringLiteral("Q"), QStringLiteral("ups"));
        auto *group = new PackageGroup(QStringLiteral("G"), QStringLiteral("#007AFF"), 0);
        auto *second = new PackageGroup(QStringLiteral("H"), QStringLiteral("#007AFF"), 1);
        context->insert(package);
        context->insert(other);
        package->setGroups({group, second});
        other->addToGroup(group);
        QVERIFY(context->save());

        package->prepareForDeletion();
        QVERIFY(package->groups().isEmpty());
        QCOMPARE(group->packages(), QList<Package *> {other});
        QVERIFY(second->packages().isEmpty());
        group->prepareForDeletion();
        QVERIFY(group->packages().isEmpty());
        QVERIFY(other->groups().isEmpty());
        QVERIFY(context->save());
        context.reset();

        TestSupport::SqlProbe raw(m_path);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM PackageGroupMembership")).toInt(), 0);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM Package")).toInt(), 2);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM PackageGroup")).toInt(), 2);
    }

    void identityMap()
    {
        auto context = openStore(m_path);
        auto *package = new Package(QStringLiteral("ID1"), QStringLiteral("ups"));
        context->insert(package);
        auto beforeSave = context->fetchPackages();
        QCOMPARE(beforeSave.value(), QList<Package *> {package}); // pending inserts are fetched
        QVERIFY(context->save());
        auto first = context->fetchPackages();
        auto second = context->fetchPackages([](const Package &p) { return p.carrierCode() == u"ups"; });
        QCOMPARE(first.value(), second.value());
        QCOMPARE(first.value().first(), package);
        QCOMPARE(context->package(package->persistentId()), package);

        // Another connection changes the row: the same object takes the new value.
        auto other = openStore(m_path);
        findByNumber(*other, QStringLiteral("ID1"))->setLabel(QStringLiteral("Renamed"));
        QVERIFY(other->save());
        auto refreshed = context->refreshFromStore();
        QVERIFY(refreshed && refreshed.value());
        QCOMPARE(context->package(package->persistentId()), package);
        QCOMPARE(package->label(), QStringLiteral("Renamed"));

        context->remove(package);
        QVERIFY(context->fetchPackages().value().isEmpty());
        QVERIFY(!context->package(package->persistentId()));
    }

    void twoProcessesKeepEachOthersFields()
    {
        {
            auto seed = openStore(m_path);
            seed->insert(new Package(QStringLiteral("SHARED"), QStringLiteral("ups"), QStringLiteral("Old label")));
            QVERIFY(seed->save());
        }
        auto app = openStore(m_path);
        auto cli = openStore(m_path);
        Package *inApp = findByNumber(*app, QStringLiteral("SHARED"));
        Package *inCli = findByNumber(*cli, QStringLiteral("SHARED"));
        QVERIFY(inApp && inCli);

        inApp->setStatus(TrackingStatus::delivered);
        inApp->setLastUpdated(m_base);
        inCli->setLabel(QStringLiteral("New label"));
        inCli->setArchived(true);
        QVERIFY(cli->save());
        QVERIFY(app->save()); // writes status and lastUpdated only

        auto third = openStore(m_path);
        Package *stored = findByNumber(*third, QStringLiteral("SHARED"));
        QCOMPARE(stored->status(), TrackingStatus::delivered);
        QCOMPARE(stored->lastUpdated(), m_base);
        QCOMPARE(stored->label(), QStringLiteral("New label"));
        QVERIFY(stored->isArchived());

        // The app picks up the other process's fields.
        QVERIFY(app->refreshFromStore());
        QCOMPARE(inApp->label(), QStringLiteral("New label"));
        QVERIFY(inApp->isArchived());
    }

    void unsavedLocalEditsWinOverMergedRows()
    {
        {
            auto seed = openStore(m_path);
            seed->insert(new Package(QStringLiteral("MERGE"), QStringLiteral("ups")));
            QVERIFY(seed->save());
        }
        auto app = openStore(m_path);
        auto cli = openStore(m_path);
        Package *mine = findByNumber(*app, QStringLiteral("MERGE"));
        mine->setLabel(QStringLiteral("Mine"));
        Package *theirs = findByNumber(*cli, QStringLiteral("MERGE"));
        theirs->setLabel(QStringLiteral("Theirs"));
        theirs->setNotes(QStringLiteral("Their notes"));
        QVERIFY(cli->save());

        int changedSignals = 0;
        connect(mine, &Package::changed, this, [&] { ++changedSignals; });
        QVERIFY(app->refreshFromStore());
        QCOMPARE(mine->label(), QStringLiteral("Mine"));
        QCOMPARE(mine->notes(), QStringLiteral("Their notes"));
        QCOMPARE(changedSignals, 1);
        QVERIFY(app->hasChanges());
        QVERIFY(app->save());
        auto third = openStore(m_path);
        QCOMPARE(findByNumber(*third, QStringLiteral("MERGE"))->label(), QStringLiteral("Mine"));
    }

    void externalInsertsDeletesAndEventsAreMerged()
    {
        {
            auto seed = openStore(m_path);
            auto *loaded = new Package(QStringLiteral("LOADED"), QStringLiteral("ups"));
            auto *lazy = new Package(QStringLiteral("LAZY"), QStringLiteral("ups"));
            seed->insert(loaded);
            seed->insert(lazy);
            seed->insert(new Package(QStringLiteral("GONE"), QStringLiteral("ups")));
            loaded->appendEvent(makeEvent(m_base, QStringLiteral("first")));
            lazy->appendEvent(makeEvent(m_base, QStringLiteral("lazy first")));
            QVERIFY(seed->save());
        }
        auto app = openStore(m_path);
        Package *loaded = findByNumber(*app, QStringLiteral("LOADED"));
        Package *lazy = findByNumber(*app, QStringLiteral("LAZY"));
        Package *gone = findByNumber(*app, QStringLiteral("GONE"));
        QCOMPARE(loaded->events().size(), 1); // this one's list is in memory, LAZY's is not
        TrackingEvent *lazyFirst = lazy->latestEvent();
        QVERIFY(lazyFirst);

        QList<ModelChanges> seen;
        connect(app.get(), &ModelContext::objectsChanged, this, [&](const ModelChanges &c) { seen.append(c); });
        {
            auto cli = openStore(m_path);
            findByNumber(*cli, QStringLiteral("LOADED"))
                ->appendEvent(makeEvent(m_base.addSecs(60), QStringLiteral("second")));
            findByNumber(*cli, QStringLiteral("LAZY"))
                ->appendEvent(makeEvent(m_base.addSecs(60), QStringLiteral("lazy 2")));
            cli->remove(findByNumber(*cli, QStringLiteral("GONE")));
            cli->insert(new Package(QStringLiteral("NEW"), QStringLiteral("fedex")));
            QVERIFY(cli->save());
        }
        auto merged = app->refreshFromStore();
        QVERIFY(merged && merged.value());
        QCOMPARE(seen.size(), 1);
        const ModelChanges &changes = seen.first();
        QCOMPARE(changes.origin, ModelChanges::Origin::external);
        QCOMPARE(changes.deletedPackages, QList<Package *> {gone});
        QCOMPARE(changes.insertedPackages.size(), 1);
        QCOMPARE(changes.insertedPackages.first()->trackingNumber(), QStringLiteral("NEW"));
        QVERIFY(changes.updatedPackages.contains(loaded));
        QVERIFY(changes.updatedPackages.contains(lazy));
        QVERIFY(gone->isDeleted());
        QVERIFY(!gone->modelContext());
        const QPointer<Package> goneObject(gone);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(!goneObject); // freed once the observers have heard of it

        QCOMPARE(loaded->events().size(), 2);
        QCOMPARE(loaded->latestEvent()->eventDescription(), QStringLiteral("second"));
        QCOMPARE(lazy->latestEvent()->eventDescription(), QStringLiteral("lazy 2"));
        QCOMPARE(lazy->events().size(), 2);
        QVERIFY(lazy->events().contains(lazyFirst)); // the object handed out before keeps its identity

        // Nothing new: no second merge, no signal.
        QCOMPARE(app->refreshFromStore().value(), false);
        QCOMPARE(seen.size(), 1);
        // Saving the app afterwards neither duplicates nor loses events.
        loaded->appendEvent(makeEvent(m_base.addSecs(120), QStringLiteral("third")));
        QVERIFY(app->save());
        TestSupport::SqlProbe raw(m_path);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM TrackingEvent")).toInt(), 5);
    }

    void progressiveOpeningEndsAsAWholeOpening()
    {
        {
            auto seed = openStore(m_path);
            auto *group = new PackageGroup(u"Home"_s, u"#FF0000"_s, 0);
            seed->insert(group);
            for (int i = 0; i < 5; ++i) {
                auto *package = new Package(u"P%1"_s.arg(i), u"ups"_s);
                package->setLastUpdated(m_base.addSecs(i));
                package->setPinned(i == 0);
                seed->insert(package);
                package->addToGroup(group);
                package->appendEvent(makeEvent(m_base.addSecs(i), u"event %1"_s.arg(i)));
            }
            QVERIFY(seed->save());
        }
        auto opened = ModelContext::openProgressively(m_path, 2);
        QVERIFY(opened);
        ModelContext &app = *opened.value();
        QStringList first;
        for (const Package *package : app.loadedPackages())
            first.append(package->trackingNumber());
        QCOMPARE(first, (QStringList {u"P0"_s, u"P4"_s})); // pinned first, then the latest update
        {
            // Another process deletes one package read already and one not read yet, and adds one.
            auto cli = openStore(m_path);
            cli->remove(findByNumber(*cli, u"P4"_s));
            cli->remove(findByNumber(*cli, u"P1"_s));
            cli->insert(new Package(u"NEW"_s, u"fedex"_s));
            QVERIFY(cli->save());
        }
        QSignalSpy fullyLoaded(&app, &ModelContext::fullyLoaded);
        app.loadRestInBackground();
        QVERIFY(fullyLoaded.wait());
        QStringList progressive = describeAll(app);
        QStringList whole = describeAll(*openStore(m_path));
        progressive.sort();
        whole.sort();
        QCOMPARE(progressive.size(), 4);
        QCOMPARE(progressive, whole);
    }

    void externalMembershipChangesAreMerged()
    {
        {
            auto seed = openStore(m_path);
            auto *package = new Package(QStringLiteral("MEMBER"), QStringLiteral("ups"));
            seed->insert(package);
            package->addToGroup(new PackageGroup(QStringLiteral("Old"), QStringLiteral("#007AFF"), 0));
            QVERIFY(seed->save());
        }
        auto app = openStore(m_path);
        Package *package = findByNumber(*app, QStringLiteral("MEMBER"));
        QCOMPARE(package->groups().size(), 1);
        PackageGroup *old = package->groups().first();
        {
            auto cli = openStore(m_path);
            Package *there = findByNumber(*cli, QStringLiteral("MEMBER"));
            there->removeFromGroup(there->groups().first());
            there->addToGroup(new PackageGroup(QStringLiteral("New"), QStringLiteral("#FF3B30"), 1));
            QVERIFY(cli->save());
        }
        QVERIFY(app->refreshFromStore());
        QCOMPARE(package->groups().size(), 1);
        QCOMPARE(package->groups().first()->name(), QStringLiteral("New"));
        QVERIFY(old->packages().isEmpty());
        QCOMPARE(package->groups().first()->packages(), QList<Package *> {package});
    }

    void otherProcessesCommitsArriveThroughTheWatcherNotThroughReads()
    {
        auto app = openStore(m_path);
        auto cli = openStore(m_path);
        app->setWatchingStore(true);
        QSignalSpy merged(app.get(), &ModelContext::objectsChanged);
        auto *package = new Package(QStringLiteral("WATCHED"), QStringLiteral("ups"));
        cli->insert(package);
        QVERIFY(cli->save());
        QVERIFY(app->fetchPackages().value().isEmpty()); // a read neither merges nor writes
        QVERIFY(merged.isEmpty());

        QTRY_COMPARE_WITH_TIMEOUT(app->fetchPackages().value().size(), 1, 2000);
        Package *seen = app->fetchPackages().value().first();
        QCOMPARE(merged.size(), 1);
        package->setLabel(QStringLiteral("Edited elsewhere"));
        QVERIFY(cli->save());
        QTRY_COMPARE_WITH_TIMEOUT(seen->label(), QStringLiteral("Edited elsewhere"), 2000);
        // The app's own saves touch the same files without merging anything.
        seen->setNotes(QStringLiteral("mine"));
        QVERIFY(app->save());
        const qsizetype afterSave = merged.size();
        QTest::qWait(50);
        QCOMPARE(merged.size(), afterSave);
    }

    void aRefreshThatFailsHalfwayReportsWhatItTookIn()
    {
        auto context = openStore(m_path);
        QVERIFY(context);
        QList<Package *> reported;
        connect(context.get(), &ModelContext::objectsChanged, this,
                [&](const ModelChanges &changes) { reported.append(changes.insertedPackages); });
        {
            auto other = openStore(m_path);
            other->insert(new Package(QStringLiteral("ELSEWHERE"), QStringLiteral("ups")));
            QVERIFY(other->save());
        }
        TestSupport::SqlProbe raw(m_path);
        // For a moment a table that the merge reads after the packages is missing.
        QVERIFY(raw.exec(QStringLiteral("ALTER TABLE PackageGroupMembership RENAME TO Hidden")));
        QVERIFY(!context->refreshFromStore());
        QVERIFY(raw.exec(QStringLiteral("ALTER TABLE Hidden RENAME TO PackageGroupMembership")));
        QVERIFY(context->refreshFromStore());
        auto fetched = context->fetchPackages();
        QVERIFY2(fetched, fetched ? "" : qPrintable(fetched.error().fullDescription()));
        QCOMPARE(fetched.value().size(), 1);
        QCOMPARE(reported, fetched.value()); // told once, whichever refresh took it in
    }

    void picturesLiveBesideTheStore()
    {
        auto context = openStore(m_path);
        auto *package = new Package(QStringLiteral("PIC"), QStringLiteral("ups"));
        package->setCustomImageData(QByteArray(4096, 'a'));
        context->insert(package);
        QVERIFY(context->save());
        const QDir external(context->externalDataDirectory());
        QCOMPARE(external.entryList(QDir::Files).size(), 1);
        const QString firstFile = external.entryList(QDir::Files).first();
        {
            TestSupport::SqlProbe raw(m_path);
            QCOMPARE(raw.scalar(QStringLiteral("SELECT customImageFile FROM Package")).toString(), firstFile);
        }

        package->setCustomImageData(QByteArray(10, 'b'));
        QVERIFY(context->save());
        QStringList files = external.entryList(QDir::Files);
        QCOMPARE(files.size(), 1);
        QVERIFY(files.first() != firstFile); // the old file went after the commit
        context.reset();

        context = openStore(m_path);
        Package *stored = findByNumber(*context, QStringLiteral("PIC"));
        QVERIFY(stored->hasCustomImage());
        QCOMPARE(stored->customImageData(), std::optional(QByteArray(10, 'b')));
        stored->setCustomImageData(std::nullopt);
        QVERIFY(context->save());
        QVERIFY(external.entryList(QDir::Files).isEmpty());

        stored->setCustomImageData(QByteArray(3, 'c'));
        QVERIFY(context->save());
        QCOMPARE(external.entryList(QDir::Files).size(), 1);
        context->remove(stored);
        QVERIFY(context->save());
        QVERIFY(external.entryList(QDir::Files).isEmpty());
    }

    void failedSaveKeepsChangesPending()
    {
        auto context = openStore(m_path);
        auto *package = new Package(QStringLiteral("LOCK"), QStringLiteral("ups"));
        context->insert(package);
        QVERIFY(context->save());
        context->setBusyTimeout(std::chrono::milliseconds(50));
        package->setLabel(QStringLiteral("Pending"));
        package->appendEvent(makeEvent(m_base, QStringLiteral("pending event")));

        auto raw = std::make_unique<TestSupport::SqlProbe>(m_path);
        QVERIFY(raw->exec(QStringLiteral("BEGIN IMMEDIATE"))); // another process holds the write lock
        auto failed = context->save();
        QVERIFY(!failed);
        QCOMPARE(failed.error().code, ModelError::Code::queryFailed);
        QVERIFY2(failed.error().fullDescription().contains(QLatin1String("locked")),
                 qPrintable(failed.error().fullDescription()));
        QVERIFY(context->hasChanges());
        QCOMPARE(package->events().first()->persistentId(), 0);
        QVERIFY(raw->exec(QStringLiteral("ROLLBACK")));
        raw.reset();

        QVERIFY(context->save());
        QVERIFY(!context->hasChanges());
        QVERIFY(package->events().first()->persistentId() > 0);
        context.reset();
        context = openStore(m_path);
        Package *stored = findByNumber(*context, QStringLiteral("LOCK"));
        QCOMPARE(stored->label(), QStringLiteral("Pending"));
        QCOMPARE(stored->events().size(), 1);
    }

    void saveReportsWhatChanged()
    {
        auto context = openStore(m_path);
        auto *kept = new Package(QStringLiteral("K"), QStringLiteral("ups"));
        auto *dropped = new Package(QStringLiteral("D"), QStringLiteral("ups"));
        context->insert(kept);
        context->insert(dropped);
        QVERIFY(context->save());

        QList<ModelChanges> seen;
        connect(context.get(), &ModelContext::objectsChanged, this, [&](const ModelChanges &c) { seen.append(c); });
        auto *added = new Package(QStringLiteral("A"), QStringLiteral("ups"));
        context->insert(added);
        kept->setPinned(true);
        context->remove(dropped);
        QCOMPARE(seen.size(), 2); // the insert and the remove, before the save
        QCOMPARE(seen.at(0).origin, ModelChanges::Origin::pending);
        QVERIFY(context->save());
        QCOMPARE(seen.size(), 3);
        const ModelChanges &saved = seen.last();
        QCOMPARE(saved.origin, ModelChanges::Origin::saved);
        QCOMPARE(saved.insertedPackages, QList<Package *> {added});
        QCOMPARE(saved.updatedPackages, QList<Package *> {kept});
        QCOMPARE(saved.deletedPackages, QList<Package *> {dropped});
        QVERIFY(context->save()); // nothing left: an empty save succeeds without a signal
        QCOMPARE(seen.size(), 3);
    }

    void savingOverARowDeletedElsewhereDropsTheEdit()
    {
        {
            auto seed = openStore(m_path);
            seed->insert(new Package(QStringLiteral("RACE"), QStringLiteral("ups")));
            QVERIFY(seed->save());
        }
        auto app = openStore(m_path);
        Package *package = findByNumber(*app, QStringLiteral("RACE"));
        {
            auto cli = openStore(m_path);
            cli->remove(findByNumber(*cli, QStringLiteral("RACE")));
            QVERIFY(cli->save());
        }
        package->setLabel(QStringLiteral("Too late"));
        package->appendEvent(makeEvent(m_base, QStringLiteral("orphan")));
        QVERIFY(app->save());
        QVERIFY(package->isDeleted());
        TestSupport::SqlProbe raw(m_path);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM Package")).toInt(), 0);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM TrackingEvent")).toInt(), 0);
    }

    void sharedContainerUsesTheApplicationSupportFolder()
    {
        QCOMPARE(ModelContainer::defaultStorePath(),
                 QDir::homePath() + QStringLiteral("/.local/share/com.kestrove.app/Kestrove.sqlite"));
        QVERIFY(!ModelContainer::sharedContext());
        auto shared = ModelContainer::openShared();
        QVERIFY(shared);
        QCOMPARE(ModelContainer::sharedContext(), shared.value());
        QCOMPARE(ModelContainer::openShared().value(), shared.value());
        QVERIFY(QFile::exists(ModelContainer::defaultStorePath()));
    }
};

KESTROVE_TEST_MAIN(ModelTest)
#include "modeltest.moc"
