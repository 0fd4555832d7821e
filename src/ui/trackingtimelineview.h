#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QWidget>

class Package;
class QLabel;
class TrackingEvent;

/** A package's events, newest first (equal times keep their recorded order), as list rows. */
class TrackingTimelineModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        StatusRole = Qt::UserRole + 1, // int(TrackingStatus)
        TimestampRole,
        LocationRole,
        IsFirstRole,
        IsLastRole,
    };

    using QAbstractListModel::QAbstractListModel;

    /** Shows this package's events (none with nullptr) and follows new ones as they arrive. */
    void setPackage(Package *package);

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    /** DisplayRole and ToolTipRole: the description; AccessibleTextRole: "description, date, location". */
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    /** The date and time of an event as the rows show them, in the user's locale. */
    [[nodiscard]] static QString dateTimeText(const QDateTime &timestamp);

private:
    void reload();

    QPointer<Package> m_package;
    QList<TrackingEvent *> m_events;
};

/**
 * Paints one event of the timeline: the rail (a dot in the event status's colour, larger for
 * the newest event, and the line to the neighbouring dots), the description (semibold for the
 * newest), then the date and time and, when known, "--" and the location.
 */
class TimelineEventRow : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    [[nodiscard]] QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    /** Every row has this height for a font, so the list lays 1,000 events out at once. */
    [[nodiscard]] static int rowHeight(const QFont &font);
};

/**
 * The detail pane's event timeline: a painted list as tall as its rows (the pane scrolls, not
 * the list), or "No tracking events yet" without events. Arrow keys move through the events.
 */
class TrackingTimelineView : public QWidget
{
    Q_OBJECT
public:
    explicit TrackingTimelineView(QWidget *parent = nullptr);

    void setPackage(Package *package);
    [[nodiscard]] TrackingTimelineModel *model() const { return m_model; }
    [[nodiscard]] QListView *list() const { return m_list; }

Q_SIGNALS:
    /** The keyboard moved to an event; rect is its row in this view's coordinates (for the pane to scroll to). */
    void currentRowMoved(const QRect &rect);

protected:
    void changeEvent(QEvent *event) override;

private:
    void updateContent();

    TrackingTimelineModel *m_model;
    QListView *m_list;
    QWidget *m_empty;
    QLabel *m_emptyIcon;
};
