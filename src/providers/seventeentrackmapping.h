#pragma once

#include "providers/seventeentrackrecords.h"
#include "providers/trackingresult.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

/** Turning 17TRACK records into provider-neutral results, and the carrier number tables. Pure. */
namespace SeventeenTrack
{
struct CarrierMapping {
    QString code;
    qint64 trackCode = 0;
};

/** Every (code, 17TRACK number) pair of the carrier catalogue, in catalogue order; USPS has two, 21051 first. */
[[nodiscard]] const QList<CarrierMapping> &carrierMapping();
/** The number of a code, looked up lower-cased; the first pair of a code wins ("usps" gives 21051). */
[[nodiscard]] std::optional<qint64> stringToNumeric(const QString &code);
/** The catalogue code of a number (21051 and 100025 both give "usps"). */
[[nodiscard]] std::optional<QString> numericToString(qint64 number);
/** Every number of a code, compared ignoring letter case, in table order. */
[[nodiscard]] QList<qint64> allCarrierCodesFor17track(const QString &code);
/** The catalogue code of a number, or else the number's decimal text. */
[[nodiscard]] QString carrierCodeFromNumeric(qint64 number);
/** The "carrier" of a request item: the number of a non-empty code, or none (the key is then left out). */
[[nodiscard]] std::optional<qint64> carrierNumberFor(const std::optional<QString> &carrierCode);

/** The service's numeric status codes: 0 pending, 10 in transit, 20 expired, 30/35/60 exception, 40 out for delivery,
 * 50 delivered. */
[[nodiscard]] TrackingStatus mapStatus(qint64 code);
/** True when an already lower-cased event text contains one of the carriers' out-for-delivery phrases. */
[[nodiscard]] bool isOutForDeliveryDescription(const QString &lowerCasedText);
/** True for the sub-status texts that mean out for delivery ("1003", "Out for Delivery", ...). */
[[nodiscard]] bool isOutForDeliverySubStatus(const QString &subStatus);

/** One scan event; an event without a usable time gets `now`. */
[[nodiscard]] TrackingResult::TrackingEventData convertEvent(const TrackInfoResponse::TrackEvent &event,
                                                             const QDateTime &now);
/** One accepted record as a result: status inference, events newest first, estimated delivery, raw record. */
[[nodiscard]] TrackingResult mapToTrackingResult(const TrackInfoResponse::TrackData &data, const QDateTime &now);
}
