// Feeds arbitrary bytes to the 17TRACK response decoders and the result mapping, and checks
// the promises they make: no crash or undefined behaviour, events newest first, and a
// re-encoded record that decodes to itself.

#include "providers/seventeentrackmapping.h"
#include "providers/seventeentrackrecords.h"

#include <QByteArray>
#include <QJsonDocument>

#include <cstddef>
#include <cstdint>

using namespace SeventeenTrack;

namespace
{
void require(bool condition)
{
    if (!condition)
        __builtin_trap();
}

void checkTrackRecord(const TrackInfoResponse::TrackData &record)
{
    static const QDateTime now(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC);
    const TrackingResult result = mapToTrackingResult(record, now);
    require(result.trackingNumber == record.number);
    require(result.rawResponse.has_value());
    for (qsizetype i = 1; i < result.events.size(); ++i)
        require(!(result.events.at(i - 1).timestamp < result.events.at(i).timestamp));

    const QJsonObject encoded = encodeTrackData(record);
    const QByteArray wrapped
        = "{\"code\":0,\"data\":{\"accepted\":[" + QJsonDocument(encoded).toJson(QJsonDocument::Compact) + "]}}";
    const auto again = decodeTrackInfoResponse(wrapped);
    require(again.has_value() && again->data.accepted.size() == 1);
    require(encodeTrackData(again->data.accepted.constFirst()) == encoded);
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));

    if (const auto track = decodeTrackInfoResponse(body)) {
        for (const auto &record : track->data.accepted)
            checkTrackRecord(record);
        for (const auto &rejected : track->data.rejected) {
            if (rejected.error)
                (void)mapAPIError(rejected.error->code, rejected.error->message).description();
        }
        (void)mapAPIError(track->code, track->message).description();
    }
    if (const auto registration = decodeRegisterResponse(body)) {
        for (const auto &item : registration->data.accepted) {
            if (item.carrierCode)
                (void)parseWholeInteger(*item.carrierCode);
        }
    }
    (void)decodeGetCarrierResponse(body);

    // The date and integer readers also see raw service text.
    const QString text = QString::fromUtf8(body.left(64));
    (void)parseDate(text);
    (void)parseWholeInteger(text);
    (void)isOutForDeliveryDescription(text.toLower());
    return 0;
}
