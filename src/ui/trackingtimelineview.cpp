#include "ui/trackingtimelineview.h"

#include "model/package.h"
#include "model/trackingevent.h"
#include "ui/uistyle.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QRadialGradient>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace
{
constexpr int railWidth = 24;
constexpr int railCentre = 10;
constexpr int padding = 6;

// Unlike the badges, the rail draws every status without a clear colour in gray.
StatusColor dotColor(TrackingStatus status)
{
    return status == TrackingStatus::unknown ? StatusColor::gray : TrackingStatuses::progressColor(status);
}

QFont descriptionFont(const QFont &base, bool first)
{
    return UiStyle::font(UiStyle::TextStyle::subheadline, base, first ? QFont::DemiBold : QFont::Normal);
}

/** The list inside the timeline: as tall as its rows, so the wheel scrolls the pane around it. */
class TimelineList final : public QListView
{
public:
    using QListView::QListView;

protected:
    void wheelEvent(QWheelEvent *event) override { event->ignore(); }
};
}

// ---- Model ---------------------------------------------------------------------------------

void TrackingTimelineModel::setPackage(Package *package)
{
    if (m_package == package)
        return;
    if (m_package)
        disconnect(m_package, nullptr, this, nullptr);
    m_package = package;
    if (m_package) {
        // Events are only ever appended; other edits of the package (its label as it is typed) change nothing here.
        connect(m_package, &Package::changed, this, [this] {
            if (m_package && m_package->events().size() != m_events.size())
                reload();
        });
    }
    reload();
}

void TrackingTimelineModel::reload()
{
    beginResetModel();
    m_events = m_package && !m_package->isDeleted() ? m_package->eventsNewestFirst() : QList<TrackingEvent *>();
    endResetModel();
}

int TrackingTimelineModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_events.size());
}

QString TrackingTimelineModel::dateTimeText(const QDateTime &timestamp)
{
    const QLocale locale;
    const QDateTime local = timestamp.toLocalTime();
    return locale.toString(local.date(), QLocale::ShortFormat) + QStringLiteral("  ")
        + locale.toString(local.time(), QLocale::ShortFormat);
}

QVariant TrackingTimelineModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_events.size())
        return {};
    const TrackingEvent &event = *m_events.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return event.eventDescription();
    case Qt::AccessibleTextRole: {
        QString text = event.eventDescription() + QStringLiteral(", ") + dateTimeText(event.timestamp());
        if (!event.location().isEmpty())
            text += QStringLiteral(", ") + event.location();
        return text;
    }
    case StatusRole:
        return int(event.status());
    case TimestampRole:
        return event.timestamp();
    case LocationRole:
        return event.location();
    case IsFirstRole:
        return index.row() == 0;
    case IsLastRole:
        return index.row() == m_events.size() - 1;
    default:
        return {};
    }
}

// ---- Row -----------------------------------------------------------------------------------

int TimelineEventRow::rowHeight(const QFont &font)
{
    const QFontMetrics description(descriptionFont(font, true));
    const QFontMetrics caption(UiStyle::font(UiStyle::TextStyle::caption, font));
    return padding + description.height() + 2 + caption.height() + padding + 4;
}

QSize TimelineEventRow::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &) const
{
    return {railWidth + 120, rowHeight(option.font)};
}

void TimelineEventRow::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const QRect row = option.rect;
    const QPalette &palette = option.palette;
    const bool first = index.data(TrackingTimelineModel::IsFirstRole).toBool();
    const bool last = index.data(TrackingTimelineModel::IsLastRole).toBool();
    const auto status = static_cast<TrackingStatus>(index.data(TrackingTimelineModel::StatusRole).toInt());

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (option.state.testFlag(QStyle::State_HasFocus)) {
        painter->setPen(Qt::NoPen);
        painter->setBrush(UiStyle::withAlpha(UiStyle::accent(palette), 0.15));
        painter->drawRoundedRect(QRectF(row).adjusted(1, 1, -1, -1), 6, 6);
    }

    // The rail: segments join this dot to its neighbours' dots, which sit at the same height in their rows.
    const QFont descFont = descriptionFont(option.font, first);
    const qreal dotY = row.top() + padding + QFontMetrics(descFont).height() / 2.0;
    const qreal diameter = first ? 12 : 8;
    const QPointF centre(row.left() + railCentre, dotY);
    const QColor line = UiStyle::withAlpha(UiStyle::secondary(palette), 0.2);
    painter->setPen(QPen(line, 2));
    if (!first)
        painter->drawLine(QPointF(centre.x(), row.top()), QPointF(centre.x(), dotY - diameter / 2));
    if (!last)
        painter->drawLine(QPointF(centre.x(), dotY + diameter / 2), QPointF(centre.x(), row.bottom() + 1));
    const QColor color = UiStyle::named(dotColor(status), palette);
    QRadialGradient gradient(centre - QPointF(diameter / 6, diameter / 6), diameter);
    gradient.setColorAt(0, color.lighter(135));
    gradient.setColorAt(1, color);
    painter->setPen(Qt::NoPen);
    painter->setBrush(gradient);
    painter->drawEllipse(centre, diameter / 2, diameter / 2);

    const int textLeft = row.left() + railWidth;
    const int textWidth = qMax(0, row.right() - textLeft - 4);
    painter->setFont(descFont);
    painter->setPen(UiStyle::primary(palette));
    const QFontMetrics descMetrics(descFont);
    const QRect descRect(textLeft, row.top() + padding, textWidth, descMetrics.height());
    painter->drawText(descRect, Qt::AlignLeft | Qt::AlignVCenter,
                      descMetrics.elidedText(index.data(Qt::DisplayRole).toString(), Qt::ElideRight, textWidth));

    const QFont captionFont = UiStyle::font(UiStyle::TextStyle::caption, option.font);
    const QFontMetrics captionMetrics(captionFont);
    const QString when
        = TrackingTimelineModel::dateTimeText(index.data(TrackingTimelineModel::TimestampRole).toDateTime());
    const QRect metaRect(textLeft, descRect.bottom() + 3, textWidth, captionMetrics.height());
    painter->setFont(captionFont);
    painter->setPen(UiStyle::secondary(palette));
    painter->drawText(metaRect, Qt::AlignLeft | Qt::AlignVCenter, when);
    const QString location = index.data(TrackingTimelineModel::LocationRole).toString();
    if (!location.isEmpty()) {
        const int used = captionMetrics.horizontalAdvance(when);
        const QString separator = QStringLiteral("  --  ");
        painter->drawText(metaRect.adjusted(used, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, separator);
        const QFont locationFont = UiStyle::font(UiStyle::TextStyle::caption2, option.font);
        const QFontMetrics locationMetrics(locationFont);
        const QRect locationRect = metaRect.adjusted(used + captionMetrics.horizontalAdvance(separator), 0, 0, 0);
        painter->setFont(locationFont);
        painter->drawText(locationRect, Qt::AlignLeft | Qt::AlignVCenter,
                          locationMetrics.elidedText(location, Qt::ElideRight, locationRect.width()));
    }
    painter->restore();
}

// ---- View ----------------------------------------------------------------------------------

TrackingTimelineView::TrackingTimelineView(QWidget *parent)
    : QWidget(parent)
    , m_model(new TrackingTimelineModel(this))
    , m_list(new TimelineList(this))
    , m_empty(new QWidget(this))
    , m_emptyIcon(new QLabel(m_empty))
{
    setObjectName(QStringLiteral("trackingTimeline"));
    m_list->setObjectName(QStringLiteral("timelineList"));
    m_list->setAccessibleName(tr("Tracking History"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new TimelineEventRow(m_list));
    m_list->setUniformItemSizes(true);
    m_list->setSelectionMode(QAbstractItemView::NoSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setFrameShape(QFrame::NoFrame);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_list->viewport()->setAutoFillBackground(false);
    m_list->setFocusPolicy(Qt::TabFocus);

    m_emptyIcon->setAlignment(Qt::AlignCenter);
    auto *emptyText = new QLabel(tr("No tracking events yet"), m_empty);
    emptyText->setObjectName(QStringLiteral("timelineEmptyText"));
    emptyText->setAlignment(Qt::AlignCenter);
    emptyText->setFont(UiStyle::font(UiStyle::TextStyle::subheadline, font()));
    UiStyle::makeSecondary(emptyText);
    auto *emptyLayout = new QVBoxLayout(m_empty);
    emptyLayout->setContentsMargins(0, 12, 0, 12);
    emptyLayout->setSpacing(6);
    emptyLayout->addWidget(m_emptyIcon);
    emptyLayout->addWidget(emptyText);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_empty);
    layout->addWidget(m_list);

    connect(m_model, &QAbstractItemModel::modelReset, this, &TrackingTimelineView::updateContent);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex &current) {
        if (current.isValid())
            Q_EMIT currentRowMoved(m_list->visualRect(current).translated(m_list->viewport()->mapTo(this, QPoint())));
    });
    updateContent();
}

void TrackingTimelineView::setPackage(Package *package)
{
    m_model->setPackage(package);
}

void TrackingTimelineView::updateContent()
{
    const int rows = m_model->rowCount();
    m_empty->setVisible(rows == 0);
    m_list->setVisible(rows > 0);
    m_list->setFixedHeight(rows * TimelineEventRow::rowHeight(m_list->font()));
    m_emptyIcon->setPixmap(UiStyle::symbol(QStringLiteral("clock.badge.questionmark"),
                                           QFontMetrics(UiStyle::font(UiStyle::TextStyle::title2, font())).height(),
                                           UiStyle::secondary(palette()), devicePixelRatioF()));
}

void TrackingTimelineView::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::FontChange)
        updateContent();
}
