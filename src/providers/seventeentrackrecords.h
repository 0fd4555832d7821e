#pragma once

#include "providers/trackingresult.h"

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

/**
 * The 17TRACK API v2.2 records and their decoding. Pure: no network, no clock.
 *
 * Decoding is written out by hand over QJsonValue because the service's answers are only
 * partly reliable, and each field has one of three rules:
 * - required: a missing, null or ill-typed value fails the record that holds it;
 * - optional: absent or null gives no value, an ill-typed value fails the record;
 * - lenient: any problem (including a failure inside the value) gives no value or the default.
 * A failed record fails its holder, up to the nearest lenient field, which then takes no value;
 * when no lenient field stops it, the whole response fails to decode.
 */
namespace SeventeenTrack
{
/** Answer of "/register". */
struct RegisterResponse {
    struct Item {
        QString number; // required
        std::optional<QString> carrierCode; // "carrier", lenient: integer as decimal text, or text
    };
    struct RejectedError {
        qint64 code = 0; // optional, absent counts as 0
        std::optional<QString> message; // optional
        std::optional<QString> carrier; // lenient, as Item::carrierCode
    };
    struct RejectedItem {
        QString number; // required
        RejectedError error; // required
    };
    struct Data {
        QList<Item> accepted; // lenient, default empty
        QList<RejectedItem> rejected; // lenient, default empty
    };

    qint64 code = 0; // required, 0 is success
    std::optional<QString> message; // optional
    Data data; // required
};

/** Answer of "/gettrackinfo" and "/getrealtimetrackinfo". Encodable with the same keys. */
struct TrackInfoResponse {
    struct LatestStatus {
        std::optional<qint64> status; // lenient: anything but an integer gives none
        std::optional<QString> sub_status; // lenient: text, or integer as decimal text
    };
    struct TrackEvent {
        std::optional<QString> time_iso; // optional
        std::optional<QString> description; // optional
        std::optional<QString> location; // optional
        std::optional<qint64> status; // optional
    };
    struct ProviderTracking {
        std::optional<QList<TrackEvent>> events; // optional
    };
    struct TrackingProviders {
        std::optional<QList<ProviderTracking>> providers; // optional
    };
    struct EstimatedDeliveryDate {
        std::optional<QString> source; // optional
        std::optional<QString> from; // optional
        std::optional<QString> to; // optional
    };
    struct TimeMetrics {
        std::optional<EstimatedDeliveryDate> estimated_delivery_date; // lenient
    };
    struct TrackInfo {
        std::optional<LatestStatus> latest_status; // lenient
        std::optional<TrackingProviders> tracking; // lenient
        std::optional<TimeMetrics> time_metrics; // lenient
    };
    struct TrackData {
        QString number; // required
        std::optional<qint64> carrier; // lenient: integer, or text holding a whole decimal integer
        std::optional<TrackInfo> track_info; // lenient
    };
    struct RejectedTrack {
        struct RejectedError {
            qint64 code = 0; // optional, absent counts as 0
            std::optional<QString> message; // optional
        };
        QString number; // required
        std::optional<RejectedError> error; // optional
    };
    struct Data {
        QList<TrackData> accepted; // lenient, default empty
        QList<RejectedTrack> rejected; // lenient, default empty
    };

    qint64 code = 0;
    std::optional<QString> message;
    Data data;
};

/** Answer of "/getcarrier". */
struct GetCarrierResponse {
    struct CarrierInfo {
        qint64 key = 0; // required: the 17TRACK carrier number
        std::optional<QString> name; // optional
    };
    struct CarrierMatch {
        QString number; // required
        QList<CarrierInfo> carriers; // lenient, default empty
    };
    struct RejectedCarrier {
        QString number; // required
    };
    struct Data {
        QList<CarrierMatch> accepted;
        QList<RejectedCarrier> rejected;
    };

    qint64 code = 0;
    std::optional<QString> message;
    Data data;
};

/** Answer of "/getquota"; every figure is lenient (an integer, or text holding a whole decimal integer). */
struct QuotaResponse {
    struct Data {
        std::optional<qint64> quota_total;
        std::optional<qint64> quota_used;
        std::optional<qint64> quota_remain;
    };

    qint64 code = 0;
    std::optional<QString> message;
    Data data;
};

/** Decodes a response body; no value when it does not decode by the rules above. */
[[nodiscard]] std::optional<RegisterResponse> decodeRegisterResponse(const QByteArray &body);
[[nodiscard]] std::optional<TrackInfoResponse> decodeTrackInfoResponse(const QByteArray &body);
[[nodiscard]] std::optional<GetCarrierResponse> decodeGetCarrierResponse(const QByteArray &body);
[[nodiscard]] std::optional<QuotaResponse> decodeQuotaResponse(const QByteArray &body);

/** One accepted track record as JSON with the service's keys; absent values are left out. */
[[nodiscard]] QJsonObject encodeTrackData(const TrackInfoResponse::TrackData &data);

/** A whole decimal integer: an optional sign and digits only, within 64 bits ("+12", "-3"; not " 1", "1.0"). */
[[nodiscard]] std::optional<qint64> parseWholeInteger(QStringView text);

/**
 * The service's date texts: ISO 8601 internet date-time with, then without, fractional seconds;
 * then "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd" and "MM/dd/yyyy" in the device's time zone.
 * An absent, empty or unrecognised text gives no date.
 */
[[nodiscard]] std::optional<QDateTime> parseDate(const std::optional<QString> &text);

/** The error a non-zero service code stands for. */
[[nodiscard]] TrackingProviderError mapAPIError(qint64 code, const std::optional<QString> &message);
}
