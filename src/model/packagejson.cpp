#include "model/packagejson.h"

#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <QJsonArray>

namespace PackageJson
{
namespace
{
template<typename T> QJsonValue optional(const std::optional<T> &value)
{
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}
}

QJsonValue date(const QDateTime &value)
{
    if (!value.isValid())
        return QJsonValue::Null;
    // An explicit offset, so the text carries it whatever kind of time the value held (local, UTC or an offset).
    const QDateTime withOffset = value.toOffsetFromUtc(value.offsetFromUtc());
    const bool wholeSeconds = withOffset.time().msec() == 0;
    QString text = withOffset.toString(wholeSeconds ? Qt::ISODate : Qt::ISODateWithMs);
    if (text.endsWith(QLatin1Char('Z'))) {
        text.chop(1);
        text += QStringLiteral("+00:00");
    }
    return text;
}

QJsonObject toJson(const TrackingEvent &event)
{
    return {
        {QStringLiteral("timestamp"), date(event.timestamp())},
        {QStringLiteral("status"), TrackingStatuses::rawValue(event.status())},
        {QStringLiteral("eventDescription"), event.eventDescription()},
        {QStringLiteral("location"), event.location()},
        {QStringLiteral("rawStatusCode"), event.rawStatusCode()},
        {QStringLiteral("latitude"), optional(event.latitude())},
        {QStringLiteral("longitude"), optional(event.longitude())},
    };
}

QJsonObject toJson(const Package &package, Events events)
{
    QJsonArray groups;
    for (const PackageGroup *group : package.groups())
        groups.append(group->name());
    QJsonObject object {
        {QStringLiteral("trackingNumber"), package.trackingNumber()},
        {QStringLiteral("carrierCode"), package.carrierCode()},
        {QStringLiteral("carrierName"), package.carrierDisplayName()},
        {QStringLiteral("label"), package.label()},
        {QStringLiteral("status"), TrackingStatuses::rawValue(package.status())},
        {QStringLiteral("estimatedDelivery"),
         package.estimatedDelivery() ? date(*package.estimatedDelivery()) : QJsonValue(QJsonValue::Null)},
        {QStringLiteral("dateAdded"), date(package.dateAdded())},
        {QStringLiteral("lastUpdated"), date(package.lastUpdated())},
        {QStringLiteral("isArchived"), package.isArchived()},
        {QStringLiteral("notes"), package.notes()},
        {QStringLiteral("lastErrorMessage"), optional(package.lastErrorMessage())},
        {QStringLiteral("colorTag"), optional(package.colorTag())},
        {QStringLiteral("customRefreshInterval"), optional(package.customRefreshInterval())},
        {QStringLiteral("notificationsEnabled"), package.notificationsEnabled()},
        {QStringLiteral("notifyOnStatusChange"), package.notifyOnStatusChange()},
        {QStringLiteral("notifyOnLocationUpdate"), package.notifyOnLocationUpdate()},
        {QStringLiteral("notifyOnEstimatedDeliveryChange"), package.notifyOnEstimatedDeliveryChange()},
        {QStringLiteral("isPinned"), package.isPinned()},
        {QStringLiteral("hasCustomImage"), package.hasCustomImage()},
        {QStringLiteral("groups"), groups},
    };
    if (events == Events::newestFirst) {
        QJsonArray list;
        for (const TrackingEvent *event : package.eventsNewestFirst())
            list.append(toJson(*event));
        object.insert(QStringLiteral("events"), list);
    }
    return object;
}
}
