#include "ui/packagelistmodel.h"

#include "base/clock.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/packagelistrule.h"
#include "testmain.h"
#include "ui/deliverycountdown.h"
#include "ui/hexcolor.h"
#include "ui/packagerowview.h"
#include "ui/trackingnumberdrop.h"
#include "virtualclock.h"

#include <QAbstractItemModelTester>
#include <QColor>
#include <QObject>
#include <QPalette>
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
    VirtualClock m_clock {QDateTime(QDate(2026, 6, 15), QTime(12, 0), QTimeZone::utc())};
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

    void storeChangesArriveAsRowSignals()
    {
        Package *a = add(QStringLiteral("A"), TrackingStatus::inTransit, 1);
        Package *b = add(QStringLiteral("B"), TrackingStatus::inTransit, 2);
        Package *c = add(QStringLiteral("C"), TrackingStatus::inTransit, 3);
        QVERIFY(m_context->save());
        PackageListModel model(m_context.get(), &m_clock);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QCOMPARE(rows(model), (QStringList {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));

        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);

        // A new package updated "now" comes first.
        add(QStringLiteral("N"), TrackingStatus::pending, 0);
        QTRY_COMPARE(
            rows(model),
            (QStringList {QStringLiteral("N"), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}));
        QCOMPARE(inserted.size(), 1);

        // Archiving leaves the "All" list; a label change is a data change in place.
        b->setArchived(true);
        c->setLabel(QStringLiteral("Lamp"));
        QTRY_COMPARE(rows(model), (QStringList {QStringLiteral("N"), QStringLiteral("A"), QStringLiteral("C")}));
        QCOMPARE(removed.size(), 1);
        QVERIFY(!changed.isEmpty());
        QCOMPARE(model.index(2).data(Qt::DisplayRole).toString(), QStringLiteral("Lamp"));

        // Deleting takes the row away; no reset for small changes.
        a->prepareForDeletion();
        m_context->remove(a);
        QTRY_COMPARE(rows(model), (QStringList {QStringLiteral("N"), QStringLiteral("C")}));
        QCOMPARE(reset.size(), 0);
    }

    void pinningMovesRowAndKeepsPersistentIndexes()
    {
        add(QStringLiteral("A"), TrackingStatus::inTransit, 1);
        add(QStringLiteral("B"), TrackingStatus::inTransit, 2);
        Package *c = add(QStringLiteral("C"), TrackingStatus::inTransit, 3);
        PackageListModel model(m_context.get(), &m_clock);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        const QPersistentModelIndex held = model.index(2);
        QCOMPARE(held.data(PackageListModel::TrackingNumberRole).toString(), QStringLiteral("C"));
        QSignalSpy layout(&model, &QAbstractItemModel::layoutChanged);

        c->setPinned(true);
        QTRY_COMPARE(rows(model), (QStringList {QStringLiteral("C"), QStringLiteral("A"), QStringLiteral("B")}));
        QCOMPARE(layout.size(), 1);
        QCOMPARE(held.row(), 0);
        QCOMPARE(held.data(PackageListModel::IsPinnedRole).toBool(), true);
    }

    void searchNarrowsAndWidens()
    {
        for (int i = 0; i < 300; ++i)
            add(QStringLiteral("N%1").arg(i, 4, 10, QLatin1Char('0')), TrackingStatus::inTransit, i, false,
                i % 3 == 0 ? QStringLiteral("Shoes %1").arg(i) : QStringLiteral("Lamp"));
        PackageListModel model(m_context.get(), &m_clock);
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
        PackageListModel model(m_context.get(), &m_clock);
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
        PackageListModel model(m_context.get(), &m_clock);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy selectionChanged(&model, &PackageListModel::batchSelectionChanged);
        model.setBatchMode(true);
        QCOMPARE(model.index(0).data(PackageListModel::BatchModeRole).toBool(), true);
        model.toggleBatchSelection(a);
        model.toggleBatchSelection(b);
        model.toggleBatchSelection(a);
        QCOMPARE(model.batchSelection(), QSet<Package *> {b});
        QCOMPARE(model.index(1).data(PackageListModel::InBatchSelectionRole).toBool(), true);
        QCOMPARE(model.index(0).data(PackageListModel::InBatchSelectionRole).toBool(), false);

        // A deleted package leaves the selection.
        b->prepareForDeletion();
        m_context->remove(b);
        QVERIFY(model.batchSelection().isEmpty());
        QVERIFY(selectionChanged.size() >= 4);
    }
    void hexColors_data()
    {
        QTest::addColumn<QString>("hex");
        QTest::addColumn<QColor>("color");
        QTest::newRow("with number sign") << QStringLiteral("#FF9500") << QColor(255, 149, 0);
        QTest::newRow("without number sign") << QStringLiteral("34c759") << QColor(0x34, 0xc7, 0x59);
        QTest::newRow("surrounding white space and line breaks")
            << QStringLiteral(" \t#5856D6\n") << QColor(0x58, 0x56, 0xd6);
        QTest::newRow("three digits are rejected") << QStringLiteral("#FFF") << QColor();
        QTest::newRow("two number signs are rejected") << QStringLiteral("##FF9500") << QColor();
        QTest::newRow("a non-hex digit is rejected") << QStringLiteral("#FF95G0") << QColor();
    }

    void hexColors()
    {
        QFETCH(QString, hex);
        QFETCH(QColor, color);
        const std::optional<QColor> converted = HexColor::color(hex);
        QCOMPARE(converted.has_value(), color.isValid());
        if (converted)
            QCOMPARE(converted->rgba(), color.rgba());
    }

    void countdowns_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("label"); // the list row's
        QTest::addColumn<int>("style");
        QTest::addColumn<QString>("banner"); // the detail pane's, for a package in transit
        QTest::addColumn<int>("color");
        const QDateTime noon(QDate(2026, 6, 15), QTime(12, 0));
        const int soon = int(DeliveryCountdown::Style::soon), later = int(DeliveryCountdown::Style::later),
                  late = int(DeliveryCountdown::Style::late);
        const int green = int(StatusColor::green), orange = int(StatusColor::orange), red = int(StatusColor::red);
        QTest::newRow("later today") << noon << noon.addSecs(3600 * 8) << QStringLiteral("Today") << soon
                                     << QStringLiteral("Arriving Today") << green;
        QTest::newRow("earlier today still today") << noon << noon.addSecs(-3600 * 10) << QStringLiteral("Today")
                                                   << soon << QStringLiteral("Arriving Today") << green;
        QTest::newRow("a minute before midnight, tomorrow just after")
            << QDateTime(QDate(2026, 6, 15), QTime(23, 59)) << QDateTime(QDate(2026, 6, 16), QTime(0, 1))
            << QStringLiteral("Tomorrow") << soon << QStringLiteral("Arriving Tomorrow") << green;
        QTest::newRow("three days") << noon << noon.addDays(3) << QStringLiteral("in 3d") << later
                                    << QStringLiteral("Arriving in 3 days") << orange;
        QTest::newRow("four days and more are blue") << noon << noon.addDays(4) << QStringLiteral("in 4d") << later
                                                     << QStringLiteral("Arriving in 4 days") << int(StatusColor::blue);
        QTest::newRow("yesterday is one day late")
            << noon << noon.addDays(-1) << QStringLiteral("1d late") << late << QStringLiteral("1 day overdue") << red;
        QTest::newRow("three days overdue") << noon << noon.addDays(-3).addSecs(3600 * 11) << QStringLiteral("3d late")
                                            << late << QStringLiteral("3 days overdue") << red;
    }

    void countdowns()
    {
        QFETCH(QDateTime, now);
        QFETCH(QDateTime, date);
        const DeliveryCountdown::Label label = DeliveryCountdown::label(date, now);
        QTEST(label.text, "label");
        QTEST(int(label.style), "style");
        const int days = DeliveryCountdown::daysUntil(date, now);
        const DeliveryCountdown::Banner banner = DeliveryCountdown::banner(TrackingStatus::inTransit, days);
        QTEST(banner.text, "banner");
        QTEST(int(banner.color), "color");
        // Delivered reads "Delivered" in green, however the dates stand.
        QCOMPARE(DeliveryCountdown::banner(TrackingStatus::delivered, days).text, QStringLiteral("Delivered"));
        QCOMPARE(DeliveryCountdown::banner(TrackingStatus::delivered, days).color, StatusColor::green);
    }

    void relativeTimes_data()
    {
        QTest::addColumn<qint64>("secondsAgo");
        QTest::addColumn<QString>("text");
        QTest::newRow("seconds") << qint64(20) << QStringLiteral("now");
        QTest::newRow("minutes") << qint64(5 * 60 + 10) << QStringLiteral("5 min ago");
        QTest::newRow("hours") << qint64(3 * 3600 + 100) << QStringLiteral("3 hr ago");
        QTest::newRow("days") << qint64(4 * 86400) << QStringLiteral("4 days ago");
        QTest::newRow("future") << qint64(-2 * 3600) << QStringLiteral("in 2 hr");
    }

    void relativeTimes()
    {
        QFETCH(qint64, secondsAgo);
        QFETCH(QString, text);
        const QDateTime now(QDate(2026, 6, 15), QTime(12, 0), QTimeZone::utc());
        QCOMPARE(DeliveryCountdown::relativeTime(now.addSecs(-secondsAgo), now), text);
    }

    void rowColorsAndBackgrounds()
    {
        auto *group = new PackageGroup(QStringLiteral("Home"), QStringLiteral("#007AFF"), 0);
        m_context->insert(group);
        Package *p = add(QStringLiteral("C1"), TrackingStatus::outForDelivery, 1);
        QCOMPARE(PackageRowView::effectiveColor(*p), std::nullopt);
        p->addToGroup(group);
        QCOMPARE(PackageRowView::effectiveColor(*p)->rgb(), QColor(0x00, 0x7a, 0xff).rgb());
        // The tag wins over the group; a tag that does not convert draws no dot at all.
        p->setColorTag(QStringLiteral("#FF2D55"));
        QCOMPARE(PackageRowView::effectiveColor(*p)->rgb(), QColor(0xff, 0x2d, 0x55).rgb());
        p->setColorTag(QStringLiteral("red"));
        QCOMPARE(PackageRowView::effectiveColor(*p), std::nullopt);

        // Out for delivery is tinted, but a pin's tint replaces it; an ordinary row has none.
        const QPalette palette;
        const std::optional<QColor> urgent = PackageRowView::backgroundColor(*p, palette);
        QVERIFY(urgent);
        p->setPinned(true);
        QVERIFY(PackageRowView::backgroundColor(*p, palette) != urgent);
        p->setPinned(false);
        p->setStatus(TrackingStatus::inTransit);
        QCOMPARE(PackageRowView::backgroundColor(*p, palette), std::nullopt);
    }

    void dropCandidates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("candidates");
        QTest::newRow("trimmed of punctuation at both ends")
            << QStringLiteral("(1Z999AA10123456784).") << QStringList {QStringLiteral("1Z999AA10123456784")};
        QTest::newRow("hyphens removed after splitting")
            << QStringLiteral("ab-cd-ef-gh") << QStringList {QStringLiteral("ABCDEFGH")};
        QTest::newRow("blocks split at spaces are too short") << QStringLiteral("9400 1118 9922") << QStringList();
        QTest::newRow("seven characters are too short") << QStringLiteral("ABC-1234") << QStringList();
        QTest::newRow("symbols inside reject the piece")
            << QStringLiteral("AB$CD1234 GOOD12345") << QStringList {QStringLiteral("GOOD12345")};
        QTest::newRow("every line and word is a piece, in order")
            << QStringLiteral("first: LX123456789CN\nthen RR123456785GB")
            << QStringList {QStringLiteral("LX123456789CN"), QStringLiteral("RR123456785GB")};
        QTest::newRow("letters outside ASCII count")
            << QStringLiteral("ÄÖÜ12345") << QStringList {QStringLiteral("ÄÖÜ12345")};
        QTest::newRow("a letter with a combining mark counts once") << QStringLiteral("E\u0301ABC123") << QStringList();
        QTest::newRow("eight letters with combining marks are enough")
            << QStringLiteral("E\u0301ABC1234") << QStringList {QStringLiteral("E\u0301ABC1234")};
    }

    void dropCandidates()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, candidates);
        QCOMPARE(TrackingNumberDrop::candidates(text), candidates);
        QCOMPARE(TrackingNumberDrop::decode(text.toUtf8()), std::optional<QString>(text));
    }
};

KESTROVE_TEST_MAIN(PackageListModelTest)
#include "packagelistmodeltest.moc"
