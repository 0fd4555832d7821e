#include "ui/deliverycountdown.h"

#include "model/package.h"
#include "ui/uistyle.h"

#include <QCoreApplication>

#include <cmath>

namespace DeliveryCountdown
{
int daysUntil(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid() || !now.isValid())
        return 0;
    return int(now.toLocalTime().date().daysTo(date.toLocalTime().date()));
}

std::optional<Label> forPackage(const Package &package, const QDateTime &now)
{
    const std::optional<QDateTime> delivery = package.estimatedDelivery();
    if (!delivery || !TrackingStatuses::isInFlight(package.status()))
        return std::nullopt;
    return label(*delivery, now);
}

QColor color(Style style, const QPalette &palette)
{
    switch (style) {
    case Style::soon:
        return UiStyle::named(StatusColor::green, palette);
    case Style::late:
        return UiStyle::named(StatusColor::red, palette);
    case Style::later:
        break;
    }
    return UiStyle::secondary(palette);
}

Label label(const QDateTime &date, const QDateTime &now)
{
    const int days = daysUntil(date, now);
    if (days == 0)
        return {QCoreApplication::translate("DeliveryCountdown", "Today"), Style::soon};
    if (days == 1)
        return {QCoreApplication::translate("DeliveryCountdown", "Tomorrow"), Style::soon};
    if (days >= 2)
        return {QCoreApplication::translate("DeliveryCountdown", "in %1d").arg(days), Style::later};
    return {QCoreApplication::translate("DeliveryCountdown", "%1d late").arg(-days), Style::late};
}

Banner banner(TrackingStatus status, int days)
{
    if (status == TrackingStatus::delivered)
        return {QCoreApplication::translate("DeliveryCountdown", "Delivered"), StatusColor::green};
    if (days < 0) {
        const int overdue = -days;
        return {overdue == 1 ? QCoreApplication::translate("DeliveryCountdown", "1 day overdue")
                             : QCoreApplication::translate("DeliveryCountdown", "%1 days overdue").arg(overdue),
                StatusColor::red};
    }
    if (days == 0)
        return {QCoreApplication::translate("DeliveryCountdown", "Arriving Today"), StatusColor::green};
    if (days == 1)
        return {QCoreApplication::translate("DeliveryCountdown", "Arriving Tomorrow"), StatusColor::green};
    return {QCoreApplication::translate("DeliveryCountdown", "Arriving in %1 days").arg(days),
            days <= 3 ? StatusColor::orange : StatusColor::blue};
}

QString span(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid() || !now.isValid())
        return {};
    const qint64 span = std::llabs(date.secsTo(now));
    if (span < 60)
        return QCoreApplication::translate("DeliveryCountdown", "%1 sec").arg(span);
    if (span < 3600)
        return QCoreApplication::translate("DeliveryCountdown", "%1 min").arg(span / 60);
    if (span < 86400)
        return QCoreApplication::translate("DeliveryCountdown", "%1 hr").arg(span / 3600);
    if (span < 7 * 86400)
        return span / 86400 == 1 ? QCoreApplication::translate("DeliveryCountdown", "1 day")
                                 : QCoreApplication::translate("DeliveryCountdown", "%1 days").arg(span / 86400);
    if (span < 30 * 86400)
        return QCoreApplication::translate("DeliveryCountdown", "%1 wk").arg(span / (7 * 86400));
    if (span < 365 * 86400)
        return QCoreApplication::translate("DeliveryCountdown", "%1 mo").arg(span / (30 * 86400));
    return QCoreApplication::translate("DeliveryCountdown", "%1 yr").arg(span / (365 * 86400));
}

QString relativeTime(const QDateTime &date, const QDateTime &now)
{
    if (!date.isValid() || !now.isValid())
        return {};
    const qint64 seconds = date.secsTo(now);
    if (std::llabs(seconds) < 60)
        return QCoreApplication::translate("DeliveryCountdown", "now");
    return (seconds >= 0 ? QCoreApplication::translate("DeliveryCountdown", "%1 ago")
                         : QCoreApplication::translate("DeliveryCountdown", "in %1"))
        .arg(span(date, now));
}
}
