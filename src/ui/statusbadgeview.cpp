#include "ui/statusbadgeview.h"

#include "ui/uistyle.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace
{
struct Metrics {
    QFont textFont;
    int iconSize;
    int padX;
    int padY;
    int gap;
    int textWidth;
    int height;
};

Metrics metrics(TrackingStatus status, StatusBadgeView::BadgeSize size, const QFont &base)
{
    const bool regular = size == StatusBadgeView::BadgeSize::regular;
    Metrics m;
    m.textFont = UiStyle::font(UiStyle::TextStyle::caption, base, QFont::Medium);
    const QFont iconFont = UiStyle::font(regular ? UiStyle::TextStyle::caption : UiStyle::TextStyle::caption2, base);
    m.iconSize = QFontMetrics(iconFont).ascent();
    m.padX = regular ? 8 : 6;
    m.padY = regular ? 4 : 3;
    m.gap = regular ? 4 : 0;
    m.textWidth = regular ? QFontMetrics(m.textFont).horizontalAdvance(TrackingStatuses::displayName(status)) : 0;
    const int content = regular ? qMax(m.iconSize, QFontMetrics(m.textFont).height()) : m.iconSize;
    m.height = content + 2 * m.padY;
    return m;
}
}

StatusBadgeView::StatusBadgeView(TrackingStatus status, BadgeSize size, QWidget *parent)
    : QWidget(parent)
    , m_status(status)
    , m_size(size)
{
    setObjectName(QStringLiteral("statusBadge"));
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(TrackingStatuses::displayName(status));
}

void StatusBadgeView::setStatus(TrackingStatus status)
{
    if (m_status == status)
        return;
    m_status = status;
    setAccessibleName(TrackingStatuses::displayName(status));
    updateGeometry();
    update();
}

QSize StatusBadgeView::sizeHint() const
{
    return sizeFor(m_status, m_size, font());
}

QSize StatusBadgeView::sizeFor(TrackingStatus status, BadgeSize size, const QFont &base)
{
    const Metrics m = metrics(status, size, base);
    return {2 * m.padX + m.iconSize + m.gap + m.textWidth, m.height};
}

void StatusBadgeView::paint(QPainter &painter, const QPoint &topLeft, TrackingStatus status, BadgeSize size,
                            const QPalette &palette, const QFont &base, qreal devicePixelRatio)
{
    const Metrics m = metrics(status, size, base);
    const QRect rect(topLeft, QSize(2 * m.padX + m.iconSize + m.gap + m.textWidth, m.height));
    const QColor color = UiStyle::named(TrackingStatuses::color(status), palette);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(UiStyle::withAlpha(color, 0.12));
    painter.drawRoundedRect(rect, rect.height() / 2.0, rect.height() / 2.0);

    const QRect iconRect(rect.left() + m.padX, rect.top() + (rect.height() - m.iconSize) / 2, m.iconSize, m.iconSize);
    painter.drawPixmap(iconRect,
                       UiStyle::symbol(TrackingStatuses::iconName(status), m.iconSize, color, devicePixelRatio));
    if (size == BadgeSize::regular) {
        painter.setFont(m.textFont);
        painter.setPen(color);
        const QRect textRect(iconRect.right() + 1 + m.gap, rect.top(), m.textWidth, rect.height());
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, TrackingStatuses::displayName(status));
    }
    painter.restore();
}

void StatusBadgeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QPoint(0, 0), m_status, m_size, palette(), font(), devicePixelRatioF());
}
