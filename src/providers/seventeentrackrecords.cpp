#include "providers/seventeentrackrecords.h"

#include <QDate>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>
#include <QTime>

#include <limits>

namespace SeventeenTrack
{
namespace
{
using TI = TrackInfoResponse;

bool isAbsent(const QJsonValue &value)
{
    return value.isUndefined() || value.isNull();
}

/** A JSON number that is a whole number within 64 bits; 3.0 counts, 3.5 and true do not. */
std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // toInteger() answers its default for anything that is not a representable whole number,
    // so two different defaults tell a real value from the fallback.
    const qint64 first = value.toInteger(0);
    if (first != value.toInteger(1))
        return std::nullopt;
    return first;
}

// Each reader answers false when the field fails the record that holds it.

bool readRequired(const QJsonObject &object, QLatin1String key, QString &out)
{
    const QJsonValue value = object.value(key);
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool readRequired(const QJsonObject &object, QLatin1String key, qint64 &out)
{
    const auto number = integerValue(object.value(key));
    if (!number)
        return false;
    out = *number;
    return true;
}

bool readOptional(const QJsonObject &object, QLatin1String key, std::optional<QString> &out)
{
    const QJsonValue value = object.value(key);
    out.reset();
    if (isAbsent(value))
        return true;
    if (!value.isString())
        return false;
    out = value.toString();
    return true;
}

bool readOptional(const QJsonObject &object, QLatin1String key, std::optional<qint64> &out)
{
    const QJsonValue value = object.value(key);
    out.reset();
    if (isAbsent(value))
        return true;
    out = integerValue(value);
    return out.has_value();
}

/** Optional integer where absence counts as 0. */
bool readOptionalOrZero(const QJsonObject &object, QLatin1String key, qint64 &out)
{
    std::optional<qint64> value;
    if (!readOptional(object, key, value))
        return false;
    out = value.value_or(0);
    return true;
}

/** A list whose elements must all decode; no value when it is no array or any element fails. */
template<typename Decode>
auto decodeList(const QJsonValue &value, Decode decodeElement)
    -> std::optional<QList<typename decltype(decodeElement(QJsonValue()))::value_type>>
{
    using Element = typename decltype(decodeElement(QJsonValue()))::value_type;
    if (!value.isArray())
        return std::nullopt;
    const QJsonArray array = value.toArray();
    QList<Element> list;
    list.reserve(array.size());
    for (const QJsonValue &element : array) {
        auto decoded = decodeElement(element);
        if (!decoded)
            return std::nullopt;
        list.append(std::move(*decoded));
    }
    return list;
}

template<typename Element, typename Decode>
bool readOptionalList(const QJsonObject &object, QLatin1String key, Decode decodeElement,
                      std::optional<QList<Element>> &out)
{
    const QJsonValue value = object.value(key);
    out.reset();
    if (isAbsent(value))
        return true;
    out = decodeList(value, decodeElement);
    return out.has_value();
}

/** Lenient carrier text: an integer as its decimal text, or a text unchanged. */
std::optional<QString> lenientCarrierText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (const auto number = integerValue(value))
        return QString::number(*number);
    return std::nullopt;
}

// Register records

std::optional<RegisterResponse::Item> decodeRegisterItem(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    RegisterResponse::Item item;
    if (!readRequired(object, QLatin1String("number"), item.number))
        return std::nullopt;
    item.carrierCode = lenientCarrierText(object.value(QLatin1String("carrier")));
    return item;
}

std::optional<RegisterResponse::RejectedError> decodeRegisterRejectedError(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    RegisterResponse::RejectedError error;
    if (!readOptionalOrZero(object, QLatin1String("code"), error.code)
        || !readOptional(object, QLatin1String("message"), error.message))
        return std::nullopt;
    error.carrier = lenientCarrierText(object.value(QLatin1String("carrier")));
    return error;
}

std::optional<RegisterResponse::RejectedItem> decodeRegisterRejectedItem(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    RegisterResponse::RejectedItem item;
    if (!readRequired(object, QLatin1String("number"), item.number))
        return std::nullopt;
    auto error = decodeRegisterRejectedError(object.value(QLatin1String("error")));
    if (!error)
        return std::nullopt;
    item.error = std::move(*error);
    return item;
}

// Track-info records

std::optional<TI::LatestStatus> decodeLatestStatus(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::LatestStatus status;
    status.status = integerValue(object.value(QLatin1String("status")));
    status.sub_status = lenientCarrierText(object.value(QLatin1String("sub_status")));
    return status;
}

std::optional<TI::TrackEvent> decodeTrackEvent(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::TrackEvent event;
    if (!readOptional(object, QLatin1String("time_iso"), event.time_iso)
        || !readOptional(object, QLatin1String("description"), event.description)
        || !readOptional(object, QLatin1String("location"), event.location)
        || !readOptional(object, QLatin1String("status"), event.status))
        return std::nullopt;
    return event;
}

std::optional<TI::ProviderTracking> decodeProviderTracking(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    TI::ProviderTracking provider;
    if (!readOptionalList(value.toObject(), QLatin1String("events"), decodeTrackEvent, provider.events))
        return std::nullopt;
    return provider;
}

std::optional<TI::TrackingProviders> decodeTrackingProviders(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    TI::TrackingProviders tracking;
    if (!readOptionalList(value.toObject(), QLatin1String("providers"), decodeProviderTracking, tracking.providers))
        return std::nullopt;
    return tracking;
}

std::optional<TI::EstimatedDeliveryDate> decodeEstimatedDeliveryDate(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::EstimatedDeliveryDate date;
    if (!readOptional(object, QLatin1String("source"), date.source)
        || !readOptional(object, QLatin1String("from"), date.from)
        || !readOptional(object, QLatin1String("to"), date.to))
        return std::nullopt;
    return date;
}

std::optional<TI::TimeMetrics> decodeTimeMetrics(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    TI::TimeMetrics metrics;
    metrics.estimated_delivery_date
        = decodeEstimatedDeliveryDate(value.toObject().value(QLatin1String("estimated_delivery_date")));
    return metrics;
}

std::optional<TI::TrackInfo> decodeTrackInfo(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::TrackInfo info;
    info.latest_status = decodeLatestStatus(object.value(QLatin1String("latest_status")));
    info.tracking = decodeTrackingProviders(object.value(QLatin1String("tracking")));
    info.time_metrics = decodeTimeMetrics(object.value(QLatin1String("time_metrics")));
    return info;
}

std::optional<TI::TrackData> decodeTrackData(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::TrackData data;
    if (!readRequired(object, QLatin1String("number"), data.number))
        return std::nullopt;
    const QJsonValue carrier = object.value(QLatin1String("carrier"));
    data.carrier = carrier.isString() ? parseWholeInteger(carrier.toString()) : integerValue(carrier);
    data.track_info = decodeTrackInfo(object.value(QLatin1String("track_info")));
    return data;
}

std::optional<TI::RejectedTrack::RejectedError> decodeRejectedTrackError(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::RejectedTrack::RejectedError error;
    if (!readOptionalOrZero(object, QLatin1String("code"), error.code)
        || !readOptional(object, QLatin1String("message"), error.message))
        return std::nullopt;
    return error;
}

std::optional<TI::RejectedTrack> decodeRejectedTrack(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    TI::RejectedTrack track;
    if (!readRequired(object, QLatin1String("number"), track.number))
        return std::nullopt;
    const QJsonValue error = object.value(QLatin1String("error"));
    if (!isAbsent(error)) {
        track.error = decodeRejectedTrackError(error);
        if (!track.error)
            return std::nullopt;
    }
    return track;
}

// Carrier-lookup records

std::optional<GetCarrierResponse::CarrierInfo> decodeCarrierInfo(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    GetCarrierResponse::CarrierInfo info;
    if (!readRequired(object, QLatin1String("key"), info.key)
        || !readOptional(object, QLatin1String("name"), info.name))
        return std::nullopt;
    return info;
}

std::optional<GetCarrierResponse::CarrierMatch> decodeCarrierMatch(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    const QJsonObject object = value.toObject();
    GetCarrierResponse::CarrierMatch match;
    if (!readRequired(object, QLatin1String("number"), match.number))
        return std::nullopt;
    match.carriers = decodeList(object.value(QLatin1String("carriers")), decodeCarrierInfo)
                         .value_or(QList<GetCarrierResponse::CarrierInfo>());
    return match;
}

std::optional<GetCarrierResponse::RejectedCarrier> decodeRejectedCarrier(const QJsonValue &value)
{
    if (!value.isObject())
        return std::nullopt;
    GetCarrierResponse::RejectedCarrier rejected;
    if (!readRequired(value.toObject(), QLatin1String("number"), rejected.number))
        return std::nullopt;
    return rejected;
}

/** The envelope shared by every answer: "code" required, "message" optional, "data" required. */
template<typename Response, typename DecodeAccepted, typename DecodeRejected>
std::optional<Response> decodeEnvelope(const QByteArray &body, DecodeAccepted decodeAccepted,
                                       DecodeRejected decodeRejected)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    Response response;
    if (!readRequired(object, QLatin1String("code"), response.code)
        || !readOptional(object, QLatin1String("message"), response.message))
        return std::nullopt;
    const QJsonValue data = object.value(QLatin1String("data"));
    if (!data.isObject())
        return std::nullopt;
    const QJsonObject dataObject = data.toObject();
    using Accepted = decltype(response.data.accepted);
    using Rejected = decltype(response.data.rejected);
    response.data.accepted
        = decodeList(dataObject.value(QLatin1String("accepted")), decodeAccepted).value_or(Accepted());
    response.data.rejected
        = decodeList(dataObject.value(QLatin1String("rejected")), decodeRejected).value_or(Rejected());
    return response;
}

void insertIfPresent(QJsonObject &object, QLatin1String key, const std::optional<QString> &value)
{
    if (value)
        object.insert(key, *value);
}

void insertIfPresent(QJsonObject &object, QLatin1String key, const std::optional<qint64> &value)
{
    if (value)
        object.insert(key, *value);
}

std::optional<QDate> makeDate(const QString &year, const QString &month, const QString &day)
{
    const QDate date(year.toInt(), month.toInt(), day.toInt());
    return date.isValid() ? std::optional(date) : std::nullopt;
}

std::optional<QTime> makeTime(const QString &hour, const QString &minute, const QString &second, int msec = 0)
{
    const QTime time(hour.toInt(), minute.toInt(), second.toInt(), msec);
    return time.isValid() ? std::optional(time) : std::nullopt;
}

/** A wall-clock time in the device's time zone; a time skipped by a clock change moves forward, as calendars do. */
std::optional<QDateTime> localDateTime(QDate date, QTime time)
{
    QDateTime dateTime(date, time, Qt::LocalTime);
    if (!dateTime.isValid())
        dateTime = QDateTime(date, time.addSecs(3600), Qt::LocalTime);
    return dateTime.isValid() ? std::optional(dateTime) : std::nullopt;
}

std::optional<QDateTime> parseInternetDateTime(const QString &text, bool withFraction)
{
    static const QRegularExpression withFractionPattern(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})\.(\d{1,9})(Z|([+-])(\d{2}):(\d{2}))$)"));
    static const QRegularExpression withoutFractionPattern(
        QStringLiteral(R"(^(\d{4})-(\d{2})-(\d{2})T(\d{2}):(\d{2}):(\d{2})()(Z|([+-])(\d{2}):(\d{2}))$)"));
    const QRegularExpressionMatch match = (withFraction ? withFractionPattern : withoutFractionPattern).match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const int msec = withFraction ? match.captured(7).left(3).leftJustified(3, QLatin1Char('0')).toInt() : 0;
    const auto date = makeDate(match.captured(1), match.captured(2), match.captured(3));
    const auto time = makeTime(match.captured(4), match.captured(5), match.captured(6), msec);
    if (!date || !time)
        return std::nullopt;
    int offsetSeconds = 0;
    if (match.captured(8) != QLatin1String("Z")) {
        const int hours = match.captured(10).toInt();
        const int minutes = match.captured(11).toInt();
        if (hours > 23 || minutes > 59)
            return std::nullopt;
        offsetSeconds = (hours * 3600 + minutes * 60) * (match.captured(9) == QLatin1String("-") ? -1 : 1);
    }
    const QDateTime dateTime(*date, *time, Qt::OffsetFromUTC, offsetSeconds);
    return dateTime.isValid() ? std::optional(dateTime) : std::nullopt;
}

std::optional<QDateTime> parseLocalPatterns(const QString &text)
{
    // Fixed patterns read the way a POSIX-locale formatter reads them: numeric fields may drop
    // their leading zero, nothing else is accepted, and the fields must form a real date.
    static const QRegularExpression dateTimePattern(
        QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2}) (\d{1,2}):(\d{1,2}):(\d{1,2})$)"));
    static const QRegularExpression isoDatePattern(QStringLiteral(R"(^(\d{4})-(\d{1,2})-(\d{1,2})$)"));
    static const QRegularExpression usDatePattern(QStringLiteral(R"(^(\d{1,2})/(\d{1,2})/(\d{4})$)"));

    QRegularExpressionMatch match = dateTimePattern.match(text);
    if (match.hasMatch()) {
        const auto date = makeDate(match.captured(1), match.captured(2), match.captured(3));
        const auto time = makeTime(match.captured(4), match.captured(5), match.captured(6));
        if (date && time)
            return localDateTime(*date, *time);
    }
    match = isoDatePattern.match(text);
    if (match.hasMatch()) {
        if (const auto date = makeDate(match.captured(1), match.captured(2), match.captured(3)))
            return localDateTime(*date, QTime(0, 0));
    }
    match = usDatePattern.match(text);
    if (match.hasMatch()) {
        if (const auto date = makeDate(match.captured(3), match.captured(1), match.captured(2)))
            return localDateTime(*date, QTime(0, 0));
    }
    return std::nullopt;
}
}

std::optional<RegisterResponse> decodeRegisterResponse(const QByteArray &body)
{
    return decodeEnvelope<RegisterResponse>(body, decodeRegisterItem, decodeRegisterRejectedItem);
}

std::optional<TrackInfoResponse> decodeTrackInfoResponse(const QByteArray &body)
{
    return decodeEnvelope<TrackInfoResponse>(body, decodeTrackData, decodeRejectedTrack);
}

std::optional<GetCarrierResponse> decodeGetCarrierResponse(const QByteArray &body)
{
    return decodeEnvelope<GetCarrierResponse>(body, decodeCarrierMatch, decodeRejectedCarrier);
}

std::optional<QuotaResponse> decodeQuotaResponse(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    QuotaResponse response;
    if (!readRequired(object, QLatin1String("code"), response.code)
        || !readOptional(object, QLatin1String("message"), response.message))
        return std::nullopt;
    const QJsonObject data = object.value(QLatin1String("data")).toObject();
    const auto figure = [&data](const char *key) -> std::optional<qint64> {
        const QJsonValue value = data.value(QLatin1String(key));
        if (value.isString())
            return parseWholeInteger(value.toString().trimmed());
        return integerValue(value);
    };
    response.data = {figure("quota_total"), figure("quota_used"), figure("quota_remain")};
    return response;
}

QJsonObject encodeTrackData(const TrackInfoResponse::TrackData &data)
{
    QJsonObject object;
    object.insert(QLatin1String("number"), data.number);
    insertIfPresent(object, QLatin1String("carrier"), data.carrier);
    if (!data.track_info)
        return object;

    const TI::TrackInfo &info = *data.track_info;
    QJsonObject trackInfo;
    if (info.latest_status) {
        QJsonObject latest;
        insertIfPresent(latest, QLatin1String("status"), info.latest_status->status);
        insertIfPresent(latest, QLatin1String("sub_status"), info.latest_status->sub_status);
        trackInfo.insert(QLatin1String("latest_status"), latest);
    }
    if (info.tracking) {
        QJsonObject tracking;
        if (info.tracking->providers) {
            QJsonArray providers;
            for (const TI::ProviderTracking &provider : *info.tracking->providers) {
                QJsonObject providerObject;
                if (provider.events) {
                    QJsonArray events;
                    for (const TI::TrackEvent &event : *provider.events) {
                        QJsonObject eventObject;
                        insertIfPresent(eventObject, QLatin1String("time_iso"), event.time_iso);
                        insertIfPresent(eventObject, QLatin1String("description"), event.description);
                        insertIfPresent(eventObject, QLatin1String("location"), event.location);
                        insertIfPresent(eventObject, QLatin1String("status"), event.status);
                        events.append(eventObject);
                    }
                    providerObject.insert(QLatin1String("events"), events);
                }
                providers.append(providerObject);
            }
            tracking.insert(QLatin1String("providers"), providers);
        }
        trackInfo.insert(QLatin1String("tracking"), tracking);
    }
    if (info.time_metrics) {
        QJsonObject metrics;
        if (const auto &estimate = info.time_metrics->estimated_delivery_date) {
            QJsonObject estimateObject;
            insertIfPresent(estimateObject, QLatin1String("source"), estimate->source);
            insertIfPresent(estimateObject, QLatin1String("from"), estimate->from);
            insertIfPresent(estimateObject, QLatin1String("to"), estimate->to);
            metrics.insert(QLatin1String("estimated_delivery_date"), estimateObject);
        }
        trackInfo.insert(QLatin1String("time_metrics"), metrics);
    }
    object.insert(QLatin1String("track_info"), trackInfo);
    return object;
}

std::optional<qint64> parseWholeInteger(QStringView text)
{
    qsizetype position = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.front() == QLatin1Char('+') || text.front() == QLatin1Char('-'))) {
        negative = text.front() == QLatin1Char('-');
        position = 1;
    }
    if (position == text.size())
        return std::nullopt;
    // Accumulate towards the negative end, which holds one more value than the positive end.
    qint64 value = 0;
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    for (; position < text.size(); ++position) {
        const char16_t c = text.at(position).unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (lowest + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == lowest)
            return std::nullopt;
        value = -value;
    }
    return value;
}

std::optional<QDateTime> parseDate(const std::optional<QString> &text)
{
    if (!text || text->isEmpty())
        return std::nullopt;
    if (auto date = parseInternetDateTime(*text, true))
        return date;
    if (auto date = parseInternetDateTime(*text, false))
        return date;
    return parseLocalPatterns(*text);
}

TrackingProviderError mapAPIError(qint64 code, const std::optional<QString> &message)
{
    const auto serviceMessageOr = [&](const char *fallback) {
        return TrackingProviderError::providerError(message.value_or(QString::fromLatin1(fallback)));
    };
    switch (code) {
    case -18019904:
        return TrackingProviderError::apiKeyInvalid();
    case -18019903:
        return TrackingProviderError::providerError(
            QStringLiteral("Carrier could not be detected. Please select a carrier manually."));
    case -18019902:
        return serviceMessageOr("Tracking number not yet registered");
    case -18019901:
        return serviceMessageOr("Tracking number already registered");
    case -18019818:
        return serviceMessageOr("Carrier not supported for real-time tracking");
    case -18019912:
        return serviceMessageOr(
            "Unauthorized access to real-time tracking. Upgrade your 17track plan or use standard tracking.");
    case -18019909:
        return serviceMessageOr("Tracking data not yet available. Please wait and refresh.");
    default:
        return TrackingProviderError::providerError(
            message.value_or(QStringLiteral("Unknown API error (code: ") + QString::number(code) + QLatin1Char(')')));
    }
}
}
