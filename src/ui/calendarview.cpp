#include "ui/calendarview.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/trackingstatus.h"
#include "ui/carriericonview.h"
#include "ui/hexcolor.h"
#include "ui/packagerowview.h"
#include "ui/statusbadgeview.h"
#include "ui/uistyle.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QListView>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStandardItemModel>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace
{
constexpr int packageRole = Qt::UserRole + 1;

// Column headings in the week's order from Sunday; the grid rotates them to its first weekday.
const char *const weekdayNames[] = {
    QT_TRANSLATE_NOOP("CalendarView", "Sun"), QT_TRANSLATE_NOOP("CalendarView", "Mon"),
    QT_TRANSLATE_NOOP("CalendarView", "Tue"), QT_TRANSLATE_NOOP("CalendarView", "Wed"),
    QT_TRANSLATE_NOOP("CalendarView", "Thu"), QT_TRANSLATE_NOOP("CalendarView", "Fri"),
    QT_TRANSLATE_NOOP("CalendarView", "Sat"),
};

/** One delivery of the day list: colour-tag mark, carrier icon, title over carrier, status badge. */
class DayRowDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int markWidth = 14;
    static constexpr int gap = 8;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto *package = index.data(packageRole).value<Package *>();
        if (!package)
            return;
        const QPalette &palette = option.palette;
        const qreal dpr = painter->device()->devicePixelRatioF();
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        if (selected || option.state.testFlag(QStyle::State_MouseOver)) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(selected ? UiStyle::withAlpha(UiStyle::accent(palette), 0.22)
                                       : UiStyle::withAlpha(UiStyle::secondary(palette), 0.08));
            painter->drawRoundedRect(QRectF(option.rect).adjusted(2, 1, -2, -1), 6, 6);
        }

        QRect area = option.rect.adjusted(8, 0, -8, 0);
        if (const std::optional<QColor> tag = HexColor::color(package->colorTag().value_or(QString()))) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(*tag);
            painter->drawEllipse(QRectF(area.left(), area.center().y() - 3.5, 8, 8));
        }
        area.setLeft(area.left() + markWidth);

        const int iconEdge = CarrierIconView::frameSize(CarrierIconView::IconSize::small);
        const std::optional<QByteArray> picture = package->hasCustomImage() ? package->customImageData() : std::nullopt;
        const QString pictureKey
            = picture ? QStringLiteral("%1-%2").arg(qHash(*picture)).arg(picture->size()) : QString();
        CarrierIconView::paint(
            *painter, QPoint(area.left(), area.center().y() - iconEdge / 2), CarrierIconView::IconSize::small,
            package->carrierCode(), [&picture] { return picture; }, pictureKey, palette, dpr);
        area.setLeft(area.left() + iconEdge + gap);

        const QSize badge
            = StatusBadgeView::sizeFor(package->status(), StatusBadgeView::BadgeSize::regular, option.font);
        StatusBadgeView::paint(*painter, QPoint(area.right() - badge.width(), area.center().y() - badge.height() / 2),
                               package->status(), StatusBadgeView::BadgeSize::regular, palette, option.font, dpr);
        area.setRight(area.right() - badge.width() - gap);

        const QFont titleFont = UiStyle::font(UiStyle::TextStyle::subheadline, option.font, QFont::Medium);
        const QFont carrierFont = UiStyle::font(UiStyle::TextStyle::caption, option.font);
        const QFontMetrics titleMetrics(titleFont);
        const QFontMetrics carrierMetrics(carrierFont);
        const int top = area.center().y() - (titleMetrics.height() + carrierMetrics.height()) / 2;
        painter->setFont(titleFont);
        painter->setPen(UiStyle::primary(palette));
        painter->drawText(QRect(area.left(), top, area.width(), titleMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          titleMetrics.elidedText(PackageRowView::title(*package), Qt::ElideRight, area.width()));
        painter->setFont(carrierFont);
        painter->setPen(UiStyle::secondary(palette));
        painter->drawText(QRect(area.left(), top + titleMetrics.height(), area.width(), carrierMetrics.height()),
                          Qt::AlignLeft | Qt::AlignVCenter,
                          carrierMetrics.elidedText(package->carrierDisplayName(), Qt::ElideRight, area.width()));
        painter->restore();
    }

    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const override
    {
        return {240, PackageRowView::rowHeight(option.font)};
    }
};

QToolButton *navigationButton(const QString &objectName, const QString &symbol, const QString &name, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(objectName);
    UiStyle::setSymbol(button, symbol);
    button->setAutoRaise(true);
    button->setToolTip(name);
    button->setAccessibleName(name);
    return button;
}
}

// ---- Rules ---------------------------------------------------------------------------------

namespace DeliveryCalendar
{
QList<QDate> gridDays(QDate month, Qt::DayOfWeek firstDay)
{
    const QDate first(month.year(), month.month(), 1);
    const int back = (first.dayOfWeek() - int(firstDay) + 7) % 7;
    QList<QDate> days;
    days.reserve(weeks * 7);
    for (int i = 0; i < weeks * 7; ++i)
        days.append(first.addDays(i - back));
    return days;
}

QStringList weekdayHeadings(Qt::DayOfWeek firstDay)
{
    QStringList headings;
    for (int i = 0; i < 7; ++i)
        headings.append(CalendarView::tr(weekdayNames[(int(firstDay) + i) % 7]));
    return headings;
}

std::optional<QDate> deliveryDay(const Package &package, const QTimeZone &zone)
{
    const std::optional<QDateTime> delivery = package.estimatedDelivery();
    if (package.isArchived() || !delivery || !delivery->isValid())
        return std::nullopt;
    return delivery->toTimeZone(zone).date();
}

QHash<QDate, QList<Package *>> packagesByDay(const QList<Package *> &packages, const QTimeZone &zone)
{
    QHash<QDate, QList<Package *>> byDay;
    for (Package *package : packages) {
        if (const std::optional<QDate> day = deliveryDay(*package, zone))
            byDay[*day].append(package);
    }
    for (QList<Package *> &day : byDay) {
        std::stable_sort(day.begin(), day.end(), [](const Package *a, const Package *b) {
            if (*a->estimatedDelivery() != *b->estimatedDelivery())
                return *a->estimatedDelivery() < *b->estimatedDelivery();
            return PackageRowView::title(*a).localeAwareCompare(PackageRowView::title(*b)) < 0;
        });
    }
    return byDay;
}

std::optional<QDate> relevantMonth(const QList<QDateTime> &deliveries, const QDateTime &now, const QTimeZone &zone)
{
    if (deliveries.isEmpty())
        return std::nullopt;
    const QDateTime startOfToday = now.toTimeZone(zone).date().startOfDay(zone);
    std::optional<QDateTime> earliestAhead;
    QDateTime latest = deliveries.constFirst();
    for (const QDateTime &delivery : deliveries) {
        latest = std::max(latest, delivery);
        if (delivery >= startOfToday && (!earliestAhead || delivery < *earliestAhead))
            earliestAhead = delivery;
    }
    return earliestAhead.value_or(latest).toTimeZone(zone).date();
}
}

// ---- Day cell ------------------------------------------------------------------------------

CalendarDayCell::CalendarDayCell(QWidget *parent)
    : QAbstractButton(parent)
{
    setObjectName(QStringLiteral("calendar-day"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setAttribute(Qt::WA_Hover);
    // One cell at a time takes part in the tab chain (the view moves it with the arrow keys).
    setFocusPolicy(Qt::ClickFocus);
}

void CalendarDayCell::setDay(QDate date, bool isCurrentMonth, bool isToday, bool isSelected, QList<Package *> packages)
{
    m_date = date;
    m_isCurrentMonth = isCurrentMonth;
    m_isToday = isToday;
    m_isSelected = isSelected;
    m_packages = std::move(packages);
    const QString day = locale().toString(date, QLocale::LongFormat);
    const qsizetype count = m_packages.size();
    if (count == 0)
        setAccessibleName(day);
    else if (count == 1)
        setAccessibleName(tr("%1, 1 delivery: %2").arg(day, PackageRowView::title(*m_packages.constFirst())));
    else
        setAccessibleName(tr("%1, %2 deliveries").arg(day).arg(count));
    setText(QString::number(date.day()));
    update();
}

QString CalendarDayCell::moreText() const
{
    const qsizetype others = m_packages.size() - shownPackages;
    return others > 0 ? tr("+%1 more").arg(others) : QString();
}

QSize CalendarDayCell::sizeHint() const
{
    const QFont caption = UiStyle::font(UiStyle::TextStyle::caption2, font());
    return {96, fontMetrics().height() + 3 * QFontMetrics(caption).height() + 14};
}

QSize CalendarDayCell::minimumSizeHint() const
{
    const QFont caption = UiStyle::font(UiStyle::TextStyle::caption2, font());
    return {44, fontMetrics().height() + 3 * QFontMetrics(caption).height() + 8};
}

void CalendarDayCell::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette pal = palette();
    const QRectF card = QRectF(rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    p.setPen(QPen(UiStyle::withAlpha(UiStyle::secondary(pal), 0.18), 1));
    QColor fill = Qt::transparent;
    if (m_isSelected)
        fill = UiStyle::withAlpha(UiStyle::accent(pal), 0.2);
    else if (isDown() || underMouse())
        fill = UiStyle::withAlpha(UiStyle::secondary(pal), 0.08);
    p.setBrush(fill);
    p.drawRoundedRect(card, 6, 6);
    if (hasFocus()) {
        p.setPen(QPen(UiStyle::accent(pal), 2));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    }

    const QRect inner = rect().adjusted(6, 4, -6, -4);
    QFont dayFont = font();
    dayFont.setWeight(m_isToday ? QFont::Bold : QFont::Normal);
    p.setFont(dayFont);
    const QFontMetrics dayMetrics(dayFont);
    const QString number = text();
    const QRect numberRect(inner.left(), inner.top(), dayMetrics.horizontalAdvance(number), dayMetrics.height());
    if (m_isToday) {
        const int edge = dayMetrics.height() + 2;
        const QRectF disc(numberRect.center().x() - edge / 2.0 + 0.5, numberRect.center().y() - edge / 2.0 + 0.5, edge,
                          edge);
        p.setPen(Qt::NoPen);
        p.setBrush(UiStyle::accent(pal));
        p.drawEllipse(disc.adjusted(-2, 0, 2, 0));
        p.setPen(UiStyle::onAccent(pal));
    } else {
        p.setPen(m_isCurrentMonth ? UiStyle::primary(pal) : UiStyle::tertiary(pal));
    }
    p.drawText(numberRect.adjusted(m_isToday ? 1 : 0, 0, m_isToday ? 1 : 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
               number);

    const QFont caption = UiStyle::font(UiStyle::TextStyle::caption2, font());
    const QFontMetrics captionMetrics(caption);
    p.setFont(caption);
    int y = numberRect.bottom() + 3;
    const int markEdge = 6;
    for (const Package *package : m_packages.mid(0, shownPackages)) {
        if (y + captionMetrics.height() > inner.bottom() + 1)
            return;
        const QColor color = UiStyle::named(TrackingStatuses::color(package->status()), pal);
        p.setPen(Qt::NoPen);
        p.setBrush(m_isCurrentMonth ? color : UiStyle::withAlpha(color, 0.5));
        p.drawRoundedRect(QRectF(inner.left(), y + (captionMetrics.height() - markEdge) / 2.0, markEdge, markEdge), 2,
                          2);
        const QRect textRect(inner.left() + markEdge + 4, y, inner.width() - markEdge - 4, captionMetrics.height());
        p.setPen(m_isCurrentMonth ? UiStyle::primary(pal) : UiStyle::tertiary(pal));
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter,
                   captionMetrics.elidedText(PackageRowView::title(*package), Qt::ElideRight, textRect.width()));
        y += captionMetrics.height();
    }
    const QString more = moreText();
    if (!more.isEmpty() && y + captionMetrics.height() <= inner.bottom() + 1) {
        p.setPen(UiStyle::secondary(pal));
        p.drawText(QRect(inner.left(), y, inner.width(), captionMetrics.height()), Qt::AlignLeft | Qt::AlignVCenter,
                   captionMetrics.elidedText(more, Qt::ElideRight, inner.width()));
    }
}

void CalendarDayCell::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        click();
        return;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The view moves between days; a button would move to the next widget in the tab chain.
        event->ignore();
        return;
    default:
        QAbstractButton::keyPressEvent(event);
    }
}

// ---- View ----------------------------------------------------------------------------------

CalendarView::CalendarView(ModelContext *context, Clock *clock, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_clock(clock)
    , m_zone(QTimeZone::systemTimeZone())
    , m_displayedMonth(today())
{
    setObjectName(QStringLiteral("calendar-view"));
    setAccessibleName(tr("Delivery calendar"));

    auto *previous = navigationButton(QStringLiteral("calendar-previous"), QStringLiteral("chevron.left"),
                                      tr("Previous Month"), this);
    connect(previous, &QToolButton::clicked, this, [this] { moveMonth(-1); });
    auto *next
        = navigationButton(QStringLiteral("calendar-next"), QStringLiteral("chevron.right"), tr("Next Month"), this);
    connect(next, &QToolButton::clicked, this, [this] { moveMonth(1); });
    auto *todayButton = new QPushButton(tr("Today"), this);
    todayButton->setObjectName(QStringLiteral("calendar-today"));
    connect(todayButton, &QPushButton::clicked, this, &CalendarView::showToday);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("calendar-title"));
    m_title->setFont(UiStyle::font(UiStyle::TextStyle::title3, font(), QFont::DemiBold));

    auto *navigation = new QHBoxLayout;
    navigation->addWidget(previous);
    navigation->addWidget(m_title);
    navigation->addStretch();
    navigation->addWidget(todayButton);
    navigation->addWidget(next);

    m_notice = new QWidget(this);
    m_notice->setObjectName(QStringLiteral("calendar-notice"));
    auto *noticeIcon = new QLabel(m_notice);
    noticeIcon->setPixmap(
        UiStyle::symbol(QStringLiteral("info.circle"), 16, UiStyle::secondary(palette()), devicePixelRatioF()));
    auto *noticeText = new QLabel(tr("No packages have estimated delivery dates. Set a delivery date when adding a "
                                     "package or from the package detail view."),
                                  m_notice);
    noticeText->setWordWrap(true);
    UiStyle::makeSecondary(noticeText);
    auto *noticeLayout = new QHBoxLayout(m_notice);
    noticeLayout->setContentsMargins(0, 0, 0, 0);
    noticeLayout->addWidget(noticeIcon, 0, Qt::AlignTop);
    noticeLayout->addWidget(noticeText, 1);

    auto *grid = new QGridLayout;
    grid->setSpacing(2);
    const QFont headingFont = UiStyle::font(UiStyle::TextStyle::caption, font(), QFont::DemiBold);
    for (int column = 0; column < 7; ++column) {
        auto *heading = new QLabel(this);
        heading->setObjectName(QStringLiteral("calendar-heading"));
        heading->setAlignment(Qt::AlignCenter);
        heading->setFont(headingFont);
        UiStyle::makeSecondary(heading);
        grid->addWidget(heading, 0, column);
        grid->setColumnStretch(column, 1);
        m_headings.append(heading);
    }
    for (int i = 0; i < DeliveryCalendar::weeks * 7; ++i) {
        auto *cell = new CalendarDayCell(this);
        connect(cell, &CalendarDayCell::clicked, this, [this, cell] { setSelectedDate(cell->date()); });
        grid->addWidget(cell, 1 + i / 7, i % 7);
        m_cells.append(cell);
    }
    for (int row = 1; row <= DeliveryCalendar::weeks; ++row)
        grid->setRowStretch(row, 1);

    m_dayPanel = new QWidget(this);
    m_dayPanel->setObjectName(QStringLiteral("calendar-day-panel"));
    m_dayHeading = new QLabel(m_dayPanel);
    m_dayHeading->setObjectName(QStringLiteral("calendar-day-heading"));
    m_dayHeading->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, font(), QFont::DemiBold));
    m_noDeliveries = new QLabel(tr("No deliveries expected"), m_dayPanel);
    m_noDeliveries->setObjectName(QStringLiteral("calendar-no-deliveries"));
    UiStyle::makeSecondary(m_noDeliveries);
    m_dayModel = new QStandardItemModel(this);
    m_dayList = new QListView(m_dayPanel);
    m_dayList->setObjectName(QStringLiteral("calendar-day-list"));
    m_dayList->setAccessibleName(tr("Deliveries"));
    m_dayList->setModel(m_dayModel);
    m_dayList->setItemDelegate(new DayRowDelegate(m_dayList));
    // Every row has the same height, so that a day of thousands scrolls without measuring each.
    m_dayList->setUniformItemSizes(true);
    m_dayList->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    m_dayList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_dayList->setMouseTracking(true);
    m_dayList->setFrameShape(QFrame::NoFrame);
    connect(m_dayList->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &index) {
        auto *package = index.data(packageRole).value<Package *>();
        if (package && package != m_selectedPackage) {
            m_selectedPackage = package;
            Q_EMIT packageSelected(package);
        }
    });
    connect(m_dayList, &QListView::activated, this, [this](const QModelIndex &index) {
        if (auto *package = index.data(packageRole).value<Package *>())
            Q_EMIT packageActivated(package);
    });
    auto *dayLayout = new QVBoxLayout(m_dayPanel);
    dayLayout->setContentsMargins(0, 0, 0, 0);
    dayLayout->addWidget(m_dayHeading);
    dayLayout->addWidget(m_noDeliveries);
    dayLayout->addWidget(m_dayList, 1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->addLayout(navigation);
    layout->addWidget(m_notice);
    layout->addLayout(grid, 3);
    layout->addWidget(m_dayPanel, 2);

    // Inserts, deletes and saves here; edits of a package through its own signal (rebuild() connects each).
    // Deleted packages are freed soon after this signal: the days drop them at once, shown or not.
    if (m_context) {
        connect(m_context, &ModelContext::objectsChanged, this, [this](const ModelChanges &changes) {
            if (changes.deletedPackages.isEmpty())
                scheduleRebuild();
            else
                rebuild();
        });
    }
    rebuild();
}

CalendarView::~CalendarView() = default;

QDate CalendarView::today() const
{
    return m_clock->now().toTimeZone(m_zone).date();
}

void CalendarView::setTimeZone(const QTimeZone &zone)
{
    m_zone = zone;
    rebuild();
}

void CalendarView::scheduleRebuild()
{
    // Hidden behind the list, the calendar catches up when it is shown again.
    if (isVisible())
        m_rebuildCall.schedule();
    else
        m_stale = true;
}

void CalendarView::updateNow()
{
    if (m_rebuildCall.isPending() || m_stale)
        rebuild();
}

void CalendarView::rebuild()
{
    m_rebuildCall.cancel();
    m_stale = false;
    QList<Package *> all;
    if (m_context)
        all = m_context->loadedPackages();
    for (Package *package : std::as_const(all))
        connect(package, &Package::changed, this, &CalendarView::scheduleRebuild, Qt::UniqueConnection);
    m_byDay = DeliveryCalendar::packagesByDay(all, m_zone);
    m_datedCount = 0;
    for (const QList<Package *> &day : std::as_const(m_byDay))
        m_datedCount += day.size();
    m_notice->setVisible(m_datedCount == 0);
    updateGrid();
    updateDayPanel();
}

void CalendarView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateNow();
    if (m_hasAutoNavigated)
        return;
    m_hasAutoNavigated = true;
    QList<QDateTime> deliveries;
    for (const QList<Package *> &day : std::as_const(m_byDay)) {
        for (const Package *package : day)
            deliveries.append(*package->estimatedDelivery());
    }
    if (const std::optional<QDate> month = DeliveryCalendar::relevantMonth(deliveries, m_clock->now(), m_zone))
        setDisplayedMonth(*month);
}

void CalendarView::setDisplayedMonth(QDate date)
{
    if (!date.isValid())
        return;
    m_displayedMonth = date;
    updateGrid();
}

void CalendarView::moveMonth(int months)
{
    setDisplayedMonth(m_displayedMonth.addMonths(months));
}

void CalendarView::showToday()
{
    setDisplayedMonth(today());
}

void CalendarView::setSelectedDate(std::optional<QDate> date)
{
    m_selectedDate = date;
    updateGrid();
    updateDayPanel();
}

void CalendarView::setSelectedPackage(Package *package)
{
    m_selectedPackage = package;
    for (int row = 0; row < m_dayModel->rowCount(); ++row) {
        const QModelIndex index = m_dayModel->index(row, 0);
        if (index.data(packageRole).value<Package *>() == package) {
            m_dayList->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
            return;
        }
    }
}

QString CalendarView::monthTitle() const
{
    return locale().standaloneMonthName(m_displayedMonth.month()) + u' ' + QString::number(m_displayedMonth.year());
}

void CalendarView::updateGrid()
{
    const Qt::DayOfWeek firstDay = locale().firstDayOfWeek();
    const QStringList headings = DeliveryCalendar::weekdayHeadings(firstDay);
    for (int column = 0; column < 7; ++column)
        m_headings[column]->setText(headings.at(column));
    m_title->setText(monthTitle());

    const QList<QDate> days = DeliveryCalendar::gridDays(m_displayedMonth, firstDay);
    const QDate now = today();
    // The tab stop: the selected day when it is shown, else today, else the month's first day.
    QDate tabStop(m_displayedMonth.year(), m_displayedMonth.month(), 1);
    if (m_selectedDate && days.contains(*m_selectedDate))
        tabStop = *m_selectedDate;
    else if (now.year() == m_displayedMonth.year() && now.month() == m_displayedMonth.month())
        tabStop = now;
    for (int i = 0; i < m_cells.size(); ++i) {
        const QDate day = days.at(i);
        CalendarDayCell *cell = m_cells.at(i);
        cell->setDay(day, day.month() == m_displayedMonth.month() && day.year() == m_displayedMonth.year(), day == now,
                     m_selectedDate == day, m_byDay.value(day));
        if (!cell->hasFocus())
            cell->setFocusPolicy(day == tabStop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

void CalendarView::updateDayPanel()
{
    m_dayPanel->setVisible(m_selectedDate.has_value());
    if (!m_selectedDate)
        return;
    m_dayHeading->setText(locale().toString(*m_selectedDate, QLocale::LongFormat));
    m_dayList->setAccessibleName(tr("Deliveries on %1").arg(m_dayHeading->text()));
    const QList<Package *> packages = m_byDay.value(*m_selectedDate);
    m_noDeliveries->setVisible(packages.isEmpty());
    m_dayList->setVisible(!packages.isEmpty());

    m_dayModel->clear();
    const QDateTime now = m_clock->now();
    QList<QStandardItem *> items;
    items.reserve(packages.size());
    for (Package *package : packages) {
        auto *item = new QStandardItem(PackageRowView::title(*package));
        item->setData(QVariant::fromValue(package), packageRole);
        item->setData(PackageRowView::accessibleText(*package, now), Qt::AccessibleTextRole);
        item->setEditable(false);
        items.append(item);
    }
    m_dayModel->invisibleRootItem()->appendRows(items);
    if (m_selectedPackage)
        setSelectedPackage(m_selectedPackage);
}

void CalendarView::focusDay(QDate date)
{
    if (date.month() != m_displayedMonth.month() || date.year() != m_displayedMonth.year())
        setDisplayedMonth(date);
    const QList<QDate> shown = DeliveryCalendar::gridDays(m_displayedMonth, locale().firstDayOfWeek());
    const qsizetype index = shown.indexOf(date);
    if (index < 0)
        return;
    for (CalendarDayCell *cell : std::as_const(m_cells))
        cell->setFocusPolicy(cell == m_cells.at(index) ? Qt::StrongFocus : Qt::ClickFocus);
    m_cells.at(index)->setFocus(Qt::TabFocusReason);
}

void CalendarView::keyPressEvent(QKeyEvent *event)
{
    const auto *cell = qobject_cast<CalendarDayCell *>(focusWidget());
    int step = 0;
    switch (event->key()) {
    case Qt::Key_Left:
        step = layoutDirection() == Qt::RightToLeft ? 1 : -1;
        break;
    case Qt::Key_Right:
        step = layoutDirection() == Qt::RightToLeft ? -1 : 1;
        break;
    case Qt::Key_Up:
        step = -7;
        break;
    case Qt::Key_Down:
        step = 7;
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        if (cell) {
            focusDay(cell->date().addMonths(event->key() == Qt::Key_PageUp ? -1 : 1));
            return;
        }
        break;
    default:
        break;
    }
    if (!cell || step == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    focusDay(cell->date().addDays(step));
}

void CalendarView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::LocaleChange)
        updateGrid();
    else if (event->type() == QEvent::PaletteChange)
        UiStyle::retintSymbols(this);
}
