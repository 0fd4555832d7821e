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
    QString text; // the name, elided to the badge's width
    int textWidth = 0;
    int height;
};

Metrics metrics(TrackingStatus status, StatusBadgeView::BadgeSize size, const QFont &base, int maxWidth)
{
    const bool regular = size == StatusBadgeView::BadgeSize::regular;
    Metrics m;
    m.textFont = UiStyle::font(UiStyle::TextStyle::caption, base, QFont::Medium);
    const QFont iconFont = UiStyle::font(regular ? UiStyle::TextStyle::caption : UiStyle::TextStyle::caption2, base);
    m.iconSize = QFontMetrics(iconFont).ascent();
    m.padX = regular ? 8 : 6;
    m.padY = regular ? 4 : 3;
    m.gap = regular ? 4 : 0;
    if (regular) {
        const QFontMetrics text(m.textFont);
        const int room = maxWidth - 2 * m.padX - m.iconSize - m.gap;
        m.text = text.elidedText(TrackingStatuses::displayName(status), Qt::ElideRight, qMax(0, room));
        m.textWidth = text.horizontalAdvance(m.text);
    }
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

QSize StatusBadgeView::sizeFor(TrackingStatus status, BadgeSize size, const QFont &base, int maxWidth)
{
    const Metrics m = metrics(status, size, base, maxWidth);
    return {2 * m.padX + m.iconSize + m.gap + m.textWidth, m.height};
}

void StatusBadgeView::paint(QPainter &painter, const QPoint &topLeft, TrackingStatus status, BadgeSize size,
                            const QPalette &palette, const QFont &base, qreal devicePixelRatio, int maxWidth)
{
    const Metrics m = metrics(status, size, base, maxWidth);
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
        painter.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft, m.text);
    }
    painter.restore();
}

void StatusBadgeView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, QPoint(0, 0), m_status, m_size, palette(), font(), devicePixelRatioF());
}
