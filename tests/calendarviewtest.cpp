#include "ui/calendarview.h"

#include "model/modelcontext.h"
#include "model/package.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QLabel>
#include <QListView>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace
{
QDateTime at(const QString &localTime, const char *zone)
{
    return QDateTime(QDate::fromString(localTime.left(10), Qt::ISODate),
                     QTime::fromString(localTime.mid(11), u"HH:mm"_s), QTimeZone(zone));
}
}

class CalendarViewTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<ModelContext> m_context;
    VirtualClock m_clock {QDateTime(QDate(2026, 3, 15), QTime(12, 0), QTimeZone("Europe/Berlin"))};
    int m_stores = 0;

    Package *addPackage(const QString &number, std::optional<QDateTime> delivery, bool archived = false)
    {
        auto *package = new Package(number, u"ups"_s);
        package->setEstimatedDelivery(delivery);
        package->setArchived(archived);
        m_context->insert(package);
        return package;
    }

    std::unique_ptr<CalendarView> makeView()
    {
        auto view = std::make_unique<CalendarView>(m_context.get(), &m_clock);
        view->setTimeZone(QTimeZone("Europe/Berlin"));
        view->setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        view->resize(800, 600);
        return view;
    }

    static CalendarDayCell *cellOf(const CalendarView &view, QDate date)
    {
        for (CalendarDayCell *cell : view.cells()) {
            if (cell->date() == date)
                return cell;
        }
        return nullptr;
    }

private Q_SLOTS:
    void init()
    {
        auto opened = ModelContext::open(m_dir.filePath(u"store-%1.sqlite"_s.arg(++m_stores)));
        QVERIFY(opened);
        m_context = std::move(opened).value();
    }

    void cleanup() { m_context.reset(); }

    void gridHasSixWeeksFromTheFirstWeekday_data()
    {
        QTest::addColumn<QDate>("month");
        QTest::addColumn<int>("firstDay");
        QTest::addColumn<QDate>("first");
        QTest::addColumn<QDate>("last");
        QTest::newRow("month starting on the first weekday still shows six weeks")
            << QDate(2026, 2, 10) << int(Qt::Sunday) << QDate(2026, 2, 1) << QDate(2026, 3, 14);
        QTest::newRow("weeks from Monday start in the month before")
            << QDate(2026, 2, 28) << int(Qt::Monday) << QDate(2026, 1, 26) << QDate(2026, 3, 8);
        QTest::newRow("December runs into the next year")
            << QDate(2026, 12, 31) << int(Qt::Sunday) << QDate(2026, 11, 29) << QDate(2027, 1, 9);
    }

    void gridHasSixWeeksFromTheFirstWeekday()
    {
        QFETCH(QDate, month);
        QFETCH(int, firstDay);
        QFETCH(QDate, first);
        QFETCH(QDate, last);
        const QList<QDate> days = DeliveryCalendar::gridDays(month, Qt::DayOfWeek(firstDay));
        QCOMPARE(days.size(), 42);
        QCOMPARE(days.constFirst(), first);
        QCOMPARE(days.constLast(), last);
        QCOMPARE(DeliveryCalendar::weekdayHeadings(Qt::DayOfWeek(firstDay)).constFirst(),
                 QLocale::c().dayName(firstDay, QLocale::ShortFormat));
    }

    void placesOnTheLocalDeliveryDay_data()
    {
        QTest::addColumn<QDateTime>("delivery");
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDate>("day");
        QTest::newRow("23:30 local stays on its day, though it is the next day in UTC")
            << at(u"2026-07-14 23:30"_s, "America/New_York") << "America/New_York"_ba << QDate(2026, 7, 14);
        QTest::newRow("00:30 on the day clocks go forward")
            << at(u"2026-03-29 00:30"_s, "Europe/Berlin") << "Europe/Berlin"_ba << QDate(2026, 3, 29);
        QTest::newRow("23:30 on the day clocks go forward")
            << at(u"2026-03-29 23:30"_s, "Europe/Berlin") << "Europe/Berlin"_ba << QDate(2026, 3, 29);
        QTest::newRow("00:30 on the day clocks go back")
            << at(u"2026-10-25 00:30"_s, "Europe/Berlin") << "Europe/Berlin"_ba << QDate(2026, 10, 25);
        QTest::newRow("Tokyo morning is the previous evening in New York")
            << at(u"2026-07-15 08:00"_s, "Asia/Tokyo") << "America/New_York"_ba << QDate(2026, 7, 14);
    }

    void placesOnTheLocalDeliveryDay()
    {
        QFETCH(QDateTime, delivery);
        QFETCH(QByteArray, zone);
        QFETCH(QDate, day);
        Package *package = addPackage(u"1Z1"_s, delivery.toUTC());
        addPackage(u"ARCHIVED"_s, delivery, true);
        addPackage(u"UNDATED"_s, std::nullopt);
        const auto byDay = DeliveryCalendar::packagesByDay(m_context->fetchPackages().value(), QTimeZone(zone));
        QCOMPARE(byDay.keys(), QList<QDate> {day});
        QCOMPARE(byDay.value(day), QList<Package *> {package});
    }

    void jumpsToTheMonthThatMatters_data()
    {
        QTest::addColumn<QList<QDateTime>>("deliveries");
        QTest::addColumn<QDate>("month");
        const auto berlin = [](int month, int day, int hour = 12) {
            return QDateTime(QDate(2026, month, day), QTime(hour, 0), QTimeZone("Europe/Berlin"));
        };
        QTest::newRow("the next delivery's month")
            << QList {berlin(1, 10), berlin(5, 5), berlin(7, 1)} << QDate(2026, 5, 5);
        QTest::newRow("all past: the latest one's month") << QList {berlin(2, 20), berlin(1, 10)} << QDate(2026, 2, 20);
        QTest::newRow("earlier today still counts as ahead")
            << QList {berlin(3, 15, 8), berlin(6, 1)} << QDate(2026, 3, 15);
        QTest::newRow("no deliveries: no jump") << QList<QDateTime> {} << QDate();
    }

    void jumpsToTheMonthThatMatters()
    {
        QFETCH(QList<QDateTime>, deliveries);
        QFETCH(QDate, month);
        const std::optional<QDate> target
            = DeliveryCalendar::relevantMonth(deliveries, m_clock.now(), QTimeZone("Europe/Berlin"));
        QCOMPARE(target.value_or(QDate()), month);
    }

    void jumpsOnceOnFirstShowing()
    {
        addPackage(u"MAY"_s, at(u"2026-05-05 09:00"_s, "Europe/Berlin"));
        const auto view = makeView();
        QCOMPARE(view->displayedMonth().month(), 3);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        QCOMPARE(view->monthTitle(), u"May 2026"_s);
        view->moveMonth(-2);
        view->hide();
        view->show();
        QCOMPARE(view->monthTitle(), u"March 2026"_s);
    }

    void busyDayShowsTwoAndCountsTheRest_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("more");
        QTest::newRow("two fit") << 2 << QString();
        QTest::newRow("three show one more") << 3 << u"+1 more"_s;
        QTest::newRow("two thousand") << 2000 << u"+1998 more"_s;
    }

    void busyDayShowsTwoAndCountsTheRest()
    {
        QFETCH(int, count);
        QFETCH(QString, more);
        const QDate day(2026, 3, 20);
        for (int i = 0; i < count; ++i)
            addPackage(u"N%1"_s.arg(i, 4, 10, QLatin1Char('0')),
                       day.startOfDay(QTimeZone("Europe/Berlin")).addSecs(3600 + i));
        const auto view = makeView();
        CalendarDayCell *cell = cellOf(*view, day);
        QCOMPARE(cell->packages().size(), count);
        QCOMPARE(cell->moreText(), more);

        QTest::mouseClick(cell, Qt::LeftButton);
        QCOMPARE(view->selectedDate(), std::optional<QDate>(day));
        QCOMPARE(view->dayList()->model()->rowCount(), count);
        QCOMPARE(view->dayList()->model()->index(0, 0).data(Qt::AccessibleTextRole).toString(),
                 u"N0000, UPS, Pending, in 5d"_s);
    }

    void headingsNameTheColumnsInTheLocale()
    {
        const auto view = makeView();
        view->setLocale(QLocale(QLocale::German, QLocale::Germany));
        QStringList headings;
        for (const QLabel *label : view->findChildren<QLabel *>(u"calendar-heading"_s))
            headings.append(label->text());
        QCOMPARE(headings, (QStringList {u"Mon"_s, u"Tue"_s, u"Wed"_s, u"Thu"_s, u"Fri"_s, u"Sat"_s, u"Sun"_s}));
        QCOMPARE(view->cells().constFirst()->date(), QDate(2026, 2, 23));
    }

    void arrowKeysMoveBetweenDaysAndReturnOpensOne()
    {
        const auto view = makeView();
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        CalendarDayCell *today = cellOf(*view, QDate(2026, 3, 15));
        today->setFocus();
        QTest::keyClick(today, Qt::Key_Right);
        QCOMPARE(qobject_cast<CalendarDayCell *>(view->focusWidget())->date(), QDate(2026, 3, 16));
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(view->focusWidget(), Qt::Key_Down);
        // Past the month's end the calendar turns to April.
        QCOMPARE(view->monthTitle(), u"April 2026"_s);
        QCOMPARE(qobject_cast<CalendarDayCell *>(view->focusWidget())->date(), QDate(2026, 4, 6));
        QTest::keyClick(view->focusWidget(), Qt::Key_Return);
        QCOMPARE(view->selectedDate(), std::optional<QDate>(QDate(2026, 4, 6)));
        QVERIFY(view->findChild<QLabel *>(u"calendar-no-deliveries"_s)->isVisible());
    }
};

KESTROVE_GUI_TEST_MAIN(CalendarViewTest)
#include "calendarviewtest.moc"
