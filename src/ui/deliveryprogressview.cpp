#include "ui/deliveryprogressview.h"

#include "ui/uistyle.h"

#include <QFontMetrics>
#include <QPainter>

namespace
{
constexpr int circleSize = 28;
constexpr int labelGap = 4;
constexpr int panelPadding = 12;

QFont stepFont(const QFont &base, bool current)
{
    QFont f = base;
    f.setPointSizeF(9);
    f.setWeight(current ? QFont::DemiBold : QFont::Normal);
    return f;
}

QColor progressColor(TrackingStatus status, const QPalette &palette)
{
    return UiStyle::named(TrackingStatuses::progressColor(status), palette);
}
}

DeliveryProgressView::DeliveryProgressView(TrackingStatus status, QWidget *parent)
    : QWidget(parent)
    , m_status(status)
{
    setObjectName(QStringLiteral("deliveryProgress"));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DeliveryProgressView::setStatus(TrackingStatus status)
{
    if (m_status == status)
        return;
    m_status = status;
    updateGeometry();
    update();
}

DeliveryProgressView::StepState DeliveryProgressView::stepState(int index, TrackingStatus status)
{
    const int current = TrackingStatuses::sortRank(status);
    if (index < current)
        return StepState::completed;
    if (index == current)
        return StepState::current;
    return StepState::upcoming;
}

QSize DeliveryProgressView::sizeHint() const
{
    if (TrackingStatuses::isLinear(m_status))
        return {360, circleSize + labelGap + QFontMetrics(stepFont(font(), true)).height()};
    const QFont title = UiStyle::font(UiStyle::TextStyle::subheadline, font(), QFont::DemiBold);
    const QFont text = UiStyle::font(UiStyle::TextStyle::caption, font());
    return {360, 2 * panelPadding + QFontMetrics(title).height() + QFontMetrics(text).height() + 2};
}

QSize DeliveryProgressView::minimumSizeHint() const
{
    return {240, sizeHint().height()};
}

void DeliveryProgressView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (TrackingStatuses::isLinear(m_status))
        paintLinear(painter);
    else
        paintNonLinear(painter);
}

void DeliveryProgressView::paintLinear(QPainter &painter)
{
    const QList<TrackingStatuses::ProgressStep> &steps = TrackingStatuses::progressSteps();
    const QPalette pal = palette();
    const QColor accent = UiStyle::accent(pal);
    const QColor secondary = UiStyle::secondary(pal);
    const int count = int(steps.size());
    const int current = TrackingStatuses::sortRank(m_status);
    // Steps share the width evenly; each circle sits in the middle of its column.
    const qreal column = qreal(width()) / count;
    const qreal cy = circleSize / 2.0;
    for (int i = 0; i < count; ++i) {
        const qreal cx = column * (i + 0.5);
        if (i > 0) {
            const qreal previous = column * (i - 0.5);
            painter.setPen(QPen(i <= current ? accent : UiStyle::withAlpha(secondary, 0.2), 2));
            painter.drawLine(QPointF(previous + circleSize / 2.0 + 2, cy), QPointF(cx - circleSize / 2.0 - 2, cy));
        }
        const StepState state = stepState(i, m_status);
        const QRectF circle(cx - circleSize / 2.0, 0, circleSize, circleSize);
        painter.setPen(Qt::NoPen);
        painter.setBrush(state == StepState::upcoming ? UiStyle::withAlpha(secondary, 0.15) : accent);
        painter.drawEllipse(circle);

        const QString icon = state == StepState::completed ? QStringLiteral("checkmark") : steps.at(i).iconName;
        const QColor iconColor = state == StepState::upcoming ? secondary : UiStyle::onAccent(pal);
        const int iconSize = 14;
        painter.drawPixmap(QRectF(cx - iconSize / 2.0, cy - iconSize / 2.0, iconSize, iconSize).toRect(),
                           UiStyle::symbol(icon, iconSize, iconColor, devicePixelRatioF()));

        const QFont labelFont = stepFont(font(), state == StepState::current);
        painter.setFont(labelFont);
        painter.setPen(state == StepState::upcoming ? UiStyle::tertiary(pal) : secondary);
        const QRectF labelRect(column * i, circleSize + labelGap, column, QFontMetrics(labelFont).height());
        painter.drawText(labelRect, Qt::AlignHCenter | Qt::AlignTop, steps.at(i).label);
    }
}

void DeliveryProgressView::paintNonLinear(QPainter &painter)
{
    const QPalette pal = palette();
    const QColor color = progressColor(m_status, pal);
    const QRectF panel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(UiStyle::withAlpha(color, 0.1));
    painter.drawRoundedRect(panel, 10, 10);

    const QFont titleFont = UiStyle::font(UiStyle::TextStyle::subheadline, font(), QFont::DemiBold);
    const QFont textFont = UiStyle::font(UiStyle::TextStyle::caption, font());
    const int iconSize = QFontMetrics(UiStyle::font(UiStyle::TextStyle::title3, font())).height();
    const int iconLeft = panelPadding;
    painter.drawPixmap(QRect(iconLeft, (height() - iconSize) / 2, iconSize, iconSize),
                       UiStyle::symbol(TrackingStatuses::iconName(m_status), iconSize, color, devicePixelRatioF()));

    const int textLeft = iconLeft + iconSize + 10;
    const int textWidth = width() - textLeft - panelPadding;
    painter.setFont(titleFont);
    painter.setPen(UiStyle::primary(pal));
    const int titleHeight = QFontMetrics(titleFont).height();
    painter.drawText(QRect(textLeft, panelPadding, textWidth, titleHeight), Qt::AlignLeft | Qt::AlignVCenter,
                     TrackingStatuses::displayName(m_status));
    painter.setFont(textFont);
    painter.setPen(UiStyle::secondary(pal));
    painter.drawText(
        QRect(textLeft, panelPadding + titleHeight + 2, textWidth, QFontMetrics(textFont).height()),
        Qt::AlignLeft | Qt::AlignVCenter,
        QFontMetrics(textFont).elidedText(TrackingStatuses::explanation(m_status), Qt::ElideRight, textWidth));
}

DeliveryProgressDotsView::DeliveryProgressDotsView(TrackingStatus status, int totalSteps, QWidget *parent)
    : QWidget(parent)
    , m_status(status)
    , m_totalSteps(totalSteps)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void DeliveryProgressDotsView::setStatus(TrackingStatus status)
{
    if (m_status == status)
        return;
    m_status = status;
    updateGeometry();
    update();
}

QSize DeliveryProgressDotsView::sizeHint() const
{
    return {widthFor(m_status, m_totalSteps), dotSize};
}

int DeliveryProgressDotsView::widthFor(TrackingStatus status, int totalSteps)
{
    if (!TrackingStatuses::isLinear(status) || totalSteps <= 0)
        return 0;
    return totalSteps * dotSize + (totalSteps - 1) * dotSpacing;
}

void DeliveryProgressDotsView::paint(QPainter &painter, int left, int centreY, TrackingStatus status, int totalSteps,
                                     const QPalette &palette)
{
    if (!TrackingStatuses::isLinear(status))
        return;
    const int position = TrackingStatuses::sortRank(status);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (int i = 0; i < totalSteps; ++i) {
        painter.setBrush(i <= position ? UiStyle::accent(palette)
                                       : UiStyle::withAlpha(UiStyle::secondary(palette), 0.2));
        painter.drawEllipse(QRectF(left + i * (dotSize + dotSpacing), centreY - dotSize / 2.0, dotSize, dotSize));
    }
    painter.restore();
}

void DeliveryProgressDotsView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, 0, height() / 2, m_status, m_totalSteps, palette());
}
