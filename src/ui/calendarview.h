#pragma once

#include "ui/coalescedcall.h"

#include <QAbstractButton>
#include <QDate>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTimeZone>
#include <QWidget>

#include <optional>

class Clock;
class ModelContext;
class Package;
class QLabel;
class QListView;
class QStandardItemModel;

/** The rules of the delivery calendar, apart from any screen. */
namespace DeliveryCalendar
{
/** Weeks the grid always shows, so that its height never jumps from month to month. */
inline constexpr int weeks = 6;

/** The 42 days shown for the month of month: six weeks from the week, starting on firstDay, holding its first day. */
[[nodiscard]] QList<QDate> gridDays(QDate month, Qt::DayOfWeek firstDay);
/** The short weekday names ("Sun", "Mon", ...) in column order, starting with firstDay. */
[[nodiscard]] QStringList weekdayHeadings(Qt::DayOfWeek firstDay);
/** The day a package is placed on: its estimated delivery's date in zone; none for archived or undated ones. */
[[nodiscard]] std::optional<QDate> deliveryDay(const Package &package, const QTimeZone &zone);
/** The placed packages by day, each day's in order of delivery time, then title. */
[[nodiscard]] QHash<QDate, QList<Package *>> packagesByDay(const QList<Package *> &packages, const QTimeZone &zone);
/**
 * The month to open on: that of the earliest delivery from the start of today (in zone) on, else
 * that of the latest one; none without deliveries.
 */
[[nodiscard]] std::optional<QDate> relevantMonth(const QList<QDateTime> &deliveries, const QDateTime &now,
                                                 const QTimeZone &zone);
}

/**
 * One day of the calendar grid: its number, up to two of its packages as a status-coloured
 * mark with the title, and "+N more" for the others. A button: clicking, Space or Return
 * opens the day.
 */
class CalendarDayCell : public QAbstractButton
{
    Q_OBJECT
public:
    /** How many packages a cell names; the rest are counted. */
    static constexpr int shownPackages = 2;

    explicit CalendarDayCell(QWidget *parent = nullptr);

    void setDay(QDate date, bool isCurrentMonth, bool isToday, bool isSelected, QList<Package *> packages);
    [[nodiscard]] QDate date() const { return m_date; }
    [[nodiscard]] const QList<Package *> &packages() const { return m_packages; }
    /** "+N more" for the packages beyond the two shown; empty when there are none. */
    [[nodiscard]] QString moreText() const;

    [[nodiscard]] QSize sizeHint() const override;
    [[nodiscard]] QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    QDate m_date;
    bool m_isCurrentMonth = false;
    bool m_isToday = false;
    bool m_isSelected = false;
    QList<Package *> m_packages;
};

/**
 * The main window's calendar: a month of six weeks with every dated, non-archived package on
 * its local delivery day, month navigation, Today, and the list of the deliveries of a chosen
 * day. On first showing it opens on the month of the next delivery (else the last one). Arrow
 * keys move between days (across months), Return opens the day.
 */
class CalendarView : public QWidget
{
    Q_OBJECT
public:
    /** Works on the store's main context; "today" comes from clock. */
    CalendarView(ModelContext *context, Clock *clock, QWidget *parent = nullptr);
    ~CalendarView() override;

    /** The zone whose days the packages are placed on (the system's by default). */
    void setTimeZone(const QTimeZone &zone);

    [[nodiscard]] QDate displayedMonth() const { return m_displayedMonth; }
    void setDisplayedMonth(QDate date);
    /** Moves the displayed month by months (negative: back). */
    void moveMonth(int months);
    void showToday();
    [[nodiscard]] std::optional<QDate> selectedDate() const { return m_selectedDate; }
    void setSelectedDate(std::optional<QDate> date);
    /** Marks the main window's selected package in the day list. */
    void setSelectedPackage(Package *package);

    [[nodiscard]] QString monthTitle() const;
    /** The 42 cells, week by week. */
    [[nodiscard]] const QList<CalendarDayCell *> &cells() const { return m_cells; }
    [[nodiscard]] QListView *dayList() const { return m_dayList; }
    /** The placed packages, rebuilt on the next event-loop turn after a store change (when shown). */
    [[nodiscard]] const QHash<QDate, QList<Package *>> &packagesByDay() const { return m_byDay; }
    /** Applies pending store changes now. */
    void updateNow();

Q_SIGNALS:
    /** A package of the day list was chosen. */
    void packageSelected(Package *package);
    /** A package of the day list was opened (double-click or Return): show it in the list. */
    void packageActivated(Package *package);

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rebuild();
    void scheduleRebuild();
    void updateGrid();
    void updateDayPanel();
    void focusDay(QDate date);
    [[nodiscard]] QDate today() const;

    QPointer<ModelContext> m_context;
    Clock *m_clock;
    QTimeZone m_zone;
    CoalescedCall m_rebuildCall {this, [this] { rebuild(); }};

    QDate m_displayedMonth;
    std::optional<QDate> m_selectedDate;
    QPointer<Package> m_selectedPackage;
    bool m_hasAutoNavigated = false;
    bool m_stale = false;
    QHash<QDate, QList<Package *>> m_byDay;
    qsizetype m_datedCount = 0;

    QLabel *m_title = nullptr;
    QWidget *m_notice = nullptr;
    QList<QLabel *> m_headings;
    QList<CalendarDayCell *> m_cells;
    QWidget *m_dayPanel = nullptr;
    QLabel *m_dayHeading = nullptr;
    QLabel *m_noDeliveries = nullptr;
    QListView *m_dayList = nullptr;
    QStandardItemModel *m_dayModel = nullptr;
};
