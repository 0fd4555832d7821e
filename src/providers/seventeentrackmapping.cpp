#include "providers/seventeentrackmapping.h"

#include "carriers/carrier.h"

#include <QHash>
#include <QJsonDocument>

#include <algorithm>
#include <utility>

namespace SeventeenTrack
{
namespace
{
const QHash<QString, qint64> &numberByCode()
{
    static const QHash<QString, qint64> table = [] {
        QHash<QString, qint64> t;
        for (const CarrierMapping &pair : carrierMapping()) {
            if (!t.contains(pair.code)) // the first pair of a code wins
                t.insert(pair.code, pair.trackCode);
        }
        return t;
    }();
    return table;
}

// Texts carriers use for a parcel that is on the van. Matched as plain substrings, so the
// ".*" of "departed facility.*delivery" is literal. Duplicates are harmless and kept.
constexpr const char *outForDeliveryPhrases[] = {
    "out for delivery",
    "out-for-delivery",
    "with delivery courier",
    "out for delivery, expected delivery",
    "out for delivery today",
    "on fedex vehicle for delivery",
    "on vehicle for delivery",
    "at local fedex facility",
    "out for delivery today",
    "on ups vehicle for delivery",
    "loaded on delivery vehicle",
    "with delivery courier",
    "shipment is out for delivery",
    "en route to delivery",
    "package is out for delivery",
    "out for delivery with amazon",
    "arriving today",
    "package has left the facility",
    "package is on the vehicle for delivery",
    "on the vehicle for delivery",
    "package out for delivery",
    "driver assigned",
    "departed facility.*delivery",
    "on delivery vehicle",
    "with carrier for delivery",
    "last mile delivery",
    "dispatched for delivery",
    "being delivered",
    "delivery in progress",
};
}

const QList<CarrierMapping> &carrierMapping()
{
    static const QList<CarrierMapping> mapping = [] {
        QList<CarrierMapping> list;
        for (const Carrier::Entry &entry : Carrier::entries()) {
            for (qint64 number : entry.numbers)
                list.append({entry.code, number});
        }
        return list;
    }();
    return mapping;
}

std::optional<qint64> stringToNumeric(const QString &code)
{
    const auto &table = numberByCode();
    const auto it = table.constFind(code.toLower());
    return it == table.constEnd() ? std::nullopt : std::optional(*it);
}

std::optional<QString> numericToString(qint64 number)
{
    return Carrier::codeForTrackNumber(number);
}

QList<qint64> allCarrierCodesFor17track(const QString &code)
{
    QList<qint64> numbers;
    for (const CarrierMapping &pair : carrierMapping()) {
        if (pair.code.compare(code, Qt::CaseInsensitive) == 0)
            numbers.append(pair.trackCode);
    }
    return numbers;
}

QString carrierCodeFromNumeric(qint64 number)
{
    return numericToString(number).value_or(QString::number(number));
}

std::optional<qint64> carrierNumberFor(const std::optional<QString> &carrierCode)
{
    if (!carrierCode || carrierCode->isEmpty())
        return std::nullopt;
    return stringToNumeric(*carrierCode);
}

TrackingStatus mapStatus(qint64 code)
{
    switch (code) {
    case 0:
        return TrackingStatus::pending;
    case 10:
        return TrackingStatus::inTransit;
    case 20:
        return TrackingStatus::expired;
    case 30:
    case 35:
    case 60:
        return TrackingStatus::exception;
    case 40:
        return TrackingStatus::outForDelivery;
    case 50:
        return TrackingStatus::delivered;
    default:
        return TrackingStatus::unknown;
    }
}

bool isOutForDeliveryDescription(const QString &lowerCasedText)
{
    return std::any_of(std::begin(outForDeliveryPhrases), std::end(outForDeliveryPhrases), [&](const char *phrase) {
        return lowerCasedText.contains(QLatin1String(phrase), Qt::CaseSensitive);
    });
}

bool isOutForDeliverySubStatus(const QString &subStatus)
{
    return subStatus == QLatin1String("1003") || subStatus == QLatin1String("Out for Delivery")
        || subStatus.toLower().contains(QLatin1String("out for delivery"));
}

TrackingResult::TrackingEventData convertEvent(const TrackInfoResponse::TrackEvent &event, const QDateTime &now)
{
    const qint64 code = event.status.value_or(0);
    TrackingResult::TrackingEventData converted;
    converted.status = mapStatus(code);
    if (converted.status == TrackingStatus::inTransit && event.description
        && isOutForDeliveryDescription(event.description->toLower()))
        converted.status = TrackingStatus::outForDelivery;
    converted.timestamp = parseDate(event.time_iso).value_or(now);
    converted.description = event.description.value_or(QString());
    converted.location = event.location.value_or(QString());
    converted.rawStatusCode = QString::number(code);
    return converted;
}

TrackingResult mapToTrackingResult(const TrackInfoResponse::TrackData &data, const QDateTime &now)
{
    const auto &info = data.track_info;
    const auto &latest = info ? info->latest_status : std::nullopt;
    const TrackingStatus baseStatus = mapStatus(latest ? latest->status.value_or(0) : 0);

    QList<TrackingResult::TrackingEventData> events;
    if (info && info->tracking && info->tracking->providers) {
        for (const auto &provider : *info->tracking->providers) {
            if (!provider.events)
                continue;
            for (const auto &event : *provider.events)
                events.append(convertEvent(event, now));
        }
        std::stable_sort(events.begin(), events.end(),
                         [](const auto &a, const auto &b) { return a.timestamp > b.timestamp; });
    }

    TrackingStatus status = baseStatus;
    if ((baseStatus == TrackingStatus::pending || baseStatus == TrackingStatus::unknown) && !events.isEmpty()) {
        const TrackingStatus newest = events.constFirst().status;
        status = (newest == TrackingStatus::pending || newest == TrackingStatus::unknown) ? TrackingStatus::inTransit
                                                                                          : newest;
    }
    if (status == TrackingStatus::inTransit) {
        const QString subStatus = latest ? latest->sub_status.value_or(QString()) : QString();
        bool outForDelivery = isOutForDeliverySubStatus(subStatus);
        if (!outForDelivery && !events.isEmpty()) {
            const auto &newest = events.constFirst();
            const QString lowered = newest.description.toLower();
            outForDelivery = newest.status == TrackingStatus::outForDelivery
                || (!lowered.isEmpty() && isOutForDeliveryDescription(lowered));
        }
        if (outForDelivery)
            status = TrackingStatus::outForDelivery;
    }

    std::optional<QDateTime> estimatedDelivery;
    if (info && info->time_metrics && info->time_metrics->estimated_delivery_date) {
        const auto &estimate = *info->time_metrics->estimated_delivery_date;
        estimatedDelivery = parseDate(estimate.from);
        if (!estimatedDelivery)
            estimatedDelivery = parseDate(estimate.to);
    }

    TrackingResult result;
    result.trackingNumber = data.number;
    result.carrierCode = data.carrier ? carrierCodeFromNumeric(*data.carrier) : QString();
    result.status = status;
    result.estimatedDelivery = estimatedDelivery;
    result.events = std::move(events);
    result.rawResponse = QJsonDocument(encodeTrackData(data)).toJson(QJsonDocument::Compact);
    return result;
}
}
