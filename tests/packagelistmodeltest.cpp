#include "testmain.h"
#include "virtualclock.h"

#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagelistrule.h"
#include "ui/packagelistmodel.h"

#include <QAbstractItemModelTester>
#include <QObject>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace
{
QStringList numbers(const QList<Package *> &packages)
{
    QStringList result;
    for (const Package *p : packages)
        result.append(p->trackingNumber());
    return result;
}

QStringList rows(const PackageListModel &model)
{
    QStringList result;
    for (int i = 0; i < model.rowCount(); ++i)
        result.append(model.index(i).data(PackageListModel::TrackingNumberRole).toString());
    return result;
}
}

class PackageListModelTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    VirtualClock m_clock{QDateTime(QDate(2026, 6, 15), QTime(12, 0), QTimeZone::utc())};
    std::unique_ptr<ModelContext> m_context;
    int m_stores = 0;

    Package *add(const QString &number, TrackingStatus status, int minutesAgo, bool archived = false,
                 const QString &label = {})
    {
        auto *p = new Package(number, QStringLiteral("ups"), label, status);
        p->setLastUpdated(m_clock.now().addSecs(-60 * minutesAgo));
        p->setArchived(archived);
        m_context->insert(p);
        return p;
    }

    /** What the shared rule says the model must show. */
    QStringList expected(const PackageListModel &model)
    {
        auto all = m_context->fetchPackages(
            {}, [](const Package &a, const Package &b) { return a.lastUpdated() > b.lastUpdated(); });
        PackageListRule::Criteria criteria;
        criteria.filter = model.filter();
        criteria.group = model.group();
        criteria.searchText = model.searchText();
        criteria.sortMode = model.sortMode();
        return numbers(PackageListRule::visiblePackages(all.value(), criteria));
    }

private Q_SLOTS:
    void initTestCase() { Clock::setShared(&m_clock); }
    void cleanupTestCase() { Clock::setShared(nullptr); }

    void init()
    {
        auto opened = ModelContainer::open(m_dir.filePath(QStringLiteral("list%1.sqlite").arg(++m_stores)));
        QVERIFY(opened);
        m_context = std::move(opened).value();
    }

    void cleanup() { m_context.reset(); }

    void filtersFollowTheSharedRule_data()
    {
        QTest::addColumn<PackageFilter>("filter");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("all hides archived, keeps expired and unknown")
            << PackageFilter::all << QStringList{QStringLiteral("P1"), QStringLiteral("T1"), QStringLiteral("O1"),
                                                 QStringLiteral("D1"), QStringLiteral("F1"), QStringLiteral("E1"),
                                                 QStringLiteral("X1"), QStringLiteral("U1")};
        QTest::newRow("transit holds pending, in transit and out for delivery")
            << PackageFilter::inTransit << QStringList{QStringLiteral("P1"), QStringLiteral("T1"), QStringLiteral("O1")};
        QTest::newRow("delivered") << PackageFilter::delivered << QStringList{QStringLiteral("D1")};
        QTest::newRow("issues hold failed attempts and exceptions")
            << PackageFilter::exceptions << QStringList{QStringLiteral("F1"), QStringLiteral("E1")};
        QTest::newRow("archived holds any archived status")
            << PackageFilter::archived << QStringList{QStringLiteral("A1"), QStringLiteral("A2")};
    }

    void filtersFollowTheSharedRule()
    {
        QFETCH(PackageFilter, filter);
        QFETCH(QStringList, shown);
        add(QStringLiteral("P1"), TrackingStatus::pending, 1);
        add(QStringLiteral("T1"), TrackingStatus::inTransit, 2);
        add(QStringLiteral("O1"), TrackingStatus::outForDelivery, 3);
        add(QStringLiteral("D1"), TrackingStatus::delivered, 4);
        add(QStringLiteral("F1"), TrackingStatus::failedAttempt, 5);
        add(QStringLiteral("E1"), TrackingStatus::exception, 6);
        add(QStringLiteral("X1"), TrackingStatus::expired, 7);
        add(QStringLiteral("U1"), TrackingStatus::unknown, 8);
        add(QStringLiteral("A1"), TrackingStatus::delivered, 9, true);
        add(QStringLiteral("A2"), TrackingStatus::inTransit, 10, true);
        QVERIFY(m_context->save());

        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setFilter(filter);
        QCOMPARE(rows(model), shown);
        QCOMPARE(rows(model), expected(model));
    }

    void storeChangesArriveAsRowSignals()
    {
        Package *a = add(QStringLiteral("A"), TrackingStatus::inTransit, 1);
        Package *b = add(QStringLiteral("B"), TrackingStatus::inTransit, 2);
        Package *c = add(QStringLiteral("C"), TrackingStatus::inTransit, 3);
        QVERIFY(m_context->save());
        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(rows(model), (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // A new package updated "now" comes first.
        add(QStringLiteral("N"), TrackingStatus::pending, 0);
        QTRY_COMPARE(rows(model), (QStringList{QStringLiteral("N"), QStringLiteral("A"), QStringLiteral("B"),
                                               QStringLiteral("C")}));
        QCOMPARE(inserted.size(), 1);

        // Archiving leaves the "All" list; a label change is a data change in place.
        b->setArchived(true);
        c->setLabel(QStringLiteral("Lamp"));
        QTRY_COMPARE(rows(model), (QStringList{QStringLiteral("N"), QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(removed.size(), 1);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(model.index(2).data(Qt::DisplayRole).toString(), QStringLiteral("Lamp"));

        // Deleting takes the row away; no reset for small changes.
        a->prepareForDeletion();
        m_context->remove(a);
        QTRY_COMPARE(rows(model), (QStringList{QStringLiteral("N"), QStringLiteral("C")}));
        QCOMPARE(reset.size(), 0);
    }

    void pinningMovesRowAndKeepsPersistentIndexes()
    {
        add(QStringLiteral("A"), TrackingStatus::inTransit, 1);
        add(QStringLiteral("B"), TrackingStatus::inTransit, 2);
        Package *c = add(QStringLiteral("C"), TrackingStatus::inTransit, 3);
        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex held = model.index(2);
        QCOMPARE(held.data(PackageListModel::TrackingNumberRole).toString(), QStringLiteral("C"));
        QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);

        c->setPinned(true);
        QTRY_COMPARE(rows(model), (QStringList{QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(layout.size(), 1);
        QCOMPARE(held.row(), 0);
        QCOMPARE(held.data(PackageListModel::IsPinnedRole).toBool(), true);
    }

    void groupShowsItsMembersWhateverTheFilter()
    {
        auto *group = new PackageGroup(QStringLiteral("Gifts"), QStringLiteral("#FF2D55"), 0);
        m_context->insert(group);
        Package *archived = add(QStringLiteral("ARCH"), TrackingStatus::delivered, 1, true);
        Package *active = add(QStringLiteral("ACT"), TrackingStatus::inTransit, 2);
        add(QStringLiteral("OTHER"), TrackingStatus::inTransit, 3);
        archived->addToGroup(group);
        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        model.setFilter(PackageFilter::delivered);
        model.setGroup(group);
        QCOMPARE(rows(model), QStringList{QStringLiteral("ARCH")});

        active->addToGroup(group);
        QTRY_COMPARE(rows(model), (QStringList{QStringLiteral("ARCH"), QStringLiteral("ACT")}));
        model.setGroup(nullptr);
        QCOMPARE(rows(model), QStringList());
    }

    void searchNarrowsAndWidens()
    {
        for (int i = 0; i < 300; ++i)
            add(QStringLiteral("N%1").arg(i, 4, 10, QLatin1Char('0')), TrackingStatus::inTransit, i, false,
                i % 3 == 0 ? QStringLiteral("Shoes %1").arg(i) : QStringLiteral("Lamp"));
        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);

        // One row in three stays: far more separate removals than signals are worth, so one reset.
        model.setSearchText(QStringLiteral("shoes"));
        QCOMPARE(model.rowCount(), 100);
        QCOMPARE(rows(model), expected(model));
        QCOMPARE(reset.size(), 1);

        // A longer search removes a few scattered rows exactly.
        model.setSearchText(QStringLiteral("shoes 2"));
        QCOMPARE(rows(model), expected(model));
        model.setSearchText(QStringLiteral("SHOES"));
        QCOMPARE(rows(model), expected(model));
        model.setSearchText(QString());
        QCOMPARE(model.rowCount(), 300);
        QCOMPARE(rows(model), expected(model));
    }

    void randomEditsAlwaysMatchTheRule()
    {
        QRandomGenerator random(20260615);
        QList<Package *> packages;
        for (int i = 0; i < 60; ++i)
            packages.append(add(QStringLiteral("R%1").arg(i), TrackingStatuses::allCases()[random.bounded(8)],
                                random.bounded(1000), random.bounded(5) == 0));
        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QList<PackageSortMode> sorts(PackageSortModes::allCases().begin(), PackageSortModes::allCases().end());
        for (int step = 0; step < 200; ++step) {
            Package *p = packages.at(random.bounded(int(packages.size())));
            switch (random.bounded(8)) {
            case 0:
                p->setPinned(!p->isPinned());
                break;
            case 1:
                p->setArchived(!p->isArchived());
                break;
            case 2:
                p->setStatus(TrackingStatuses::allCases()[random.bounded(8)]);
                break;
            case 3:
                p->setLastUpdated(m_clock.now().addSecs(-random.bounded(100000)));
                break;
            case 4:
                model.setFilter(PackageFilters::allCases()[random.bounded(5)]);
                break;
            case 5:
                model.setSortMode(sorts.at(random.bounded(int(sorts.size()))));
                break;
            case 6:
                model.setSearchText(random.bounded(2) ? QStringLiteral("R1") : QString());
                break;
            case 7:
                if (!p->isDeleted() && packages.size() > 10) {
                    packages.removeOne(p);
                    p->prepareForDeletion();
                    m_context->remove(p);
                }
                break;
            }
            model.updateNow();
            QCOMPARE(rows(model), expected(model));
        }
    }

    void batchSelection()
    {
        Package *a = add(QStringLiteral("A"), TrackingStatus::inTransit, 1);
        Package *b = add(QStringLiteral("B"), TrackingStatus::inTransit, 2);
        PackageListModel model(m_context.get());
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy selectionChanged(&model, &PackageListModel::batchSelectionChanged);
        model.setBatchMode(true);
        QCOMPARE(model.index(0).data(PackageListModel::BatchModeRole).toBool(), true);
        model.toggleBatchSelection(a);
        model.toggleBatchSelection(b);
        model.toggleBatchSelection(a);
        QCOMPARE(model.batchSelection(), QSet<Package *>{b});
        QCOMPARE(model.index(1).data(PackageListModel::InBatchSelectionRole).toBool(), true);
        QCOMPARE(model.index(0).data(PackageListModel::InBatchSelectionRole).toBool(), false);

        // A deleted package leaves the selection.
        b->prepareForDeletion();
        m_context->remove(b);
        QVERIFY(model.batchSelection().isEmpty());

        model.toggleBatchSelection(a);
        model.setBatchMode(false);
        QVERIFY(model.batchSelection().isEmpty());
        QVERIFY(selectionChanged.size() >= 5);
    }
};

KESTROVE_TEST_MAIN(PackageListModelTest)
#include "packagelistmodeltest.moc"
