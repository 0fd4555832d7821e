// Decoding and mapping of a full 17TRACK batch answer: 40 accepted records (the batch chunk
// size), each with two data sources of 15 events, as "/getrealtimetrackinfo" sends them.
//
//   bench_17track_decoding [ITERATIONS]     answers decoded (default 300)

#include "providers/seventeentrackmapping.h"
#include "providers/seventeentrackrecords.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>
#include <cstdlib>

namespace
{
QByteArray batchAnswer(int records, int eventsPerProvider)
{
    QJsonArray accepted;
    for (int r = 0; r < records; ++r) {
        QJsonArray providers;
        for (int p = 0; p < 2; ++p) {
            QJsonArray events;
            for (int e = 0; e < eventsPerProvider; ++e) {
                const QDateTime time = QDateTime(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC).addSecs(-3600 * (e * 2 + p));
                events.append(QJsonObject {
                    {QStringLiteral("time_iso"), time.toString(Qt::ISODate)},
                    {QStringLiteral("time_utc"), time.toString(Qt::ISODate)},
                    {QStringLiteral("description"),
                     QStringLiteral("Departed from facility, on the way to the next hub %1").arg(e)},
                    {QStringLiteral("location"), QStringLiteral("Louisville, KY, US")},
                    {QStringLiteral("stage"), QStringLiteral("InTransit")},
                    {QStringLiteral("sub_status"), QStringLiteral("InTransit_Other")},
                    {QStringLiteral("status"), e == 0 && p == 0 ? 40 : 10},
                });
            }
            providers.append(QJsonObject {{QStringLiteral("provider"), QJsonObject {{QStringLiteral("key"), 100002}}},
                                          {QStringLiteral("events"), events}});
        }
        accepted.append(QJsonObject {
            {QStringLiteral("number"), QStringLiteral("1Z999AA1012345%1").arg(r, 4, 10, QLatin1Char('0'))},
            {QStringLiteral("carrier"), 100002},
            {QStringLiteral("track_info"),
             QJsonObject {{QStringLiteral("latest_status"),
                           QJsonObject {{QStringLiteral("status"), 10},
                                        {QStringLiteral("sub_status"), QStringLiteral("InTransit_Other")}}},
                          {QStringLiteral("tracking"), QJsonObject {{QStringLiteral("providers"), providers}}},
                          {QStringLiteral("time_metrics"),
                           QJsonObject {{QStringLiteral("estimated_delivery_date"),
                                         QJsonObject {{QStringLiteral("from"),
                                                       QStringLiteral("2026-03-04T00:00:00-05:00")}}}}}}},
        });
    }
    const QJsonObject envelope {
        {QStringLiteral("code"), 0},
        {QStringLiteral("data"),
         QJsonObject {{QStringLiteral("accepted"), accepted}, {QStringLiteral("rejected"), QJsonArray()}}}};
    return QJsonDocument(envelope).toJson(QJsonDocument::Compact);
}
}

int main(int argc, char *argv[])
{
    const int iterations = argc > 1 ? std::atoi(argv[1]) : 300;
    const QByteArray body = batchAnswer(40, 15);
    const QDateTime now = QDateTime::currentDateTime();

    qint64 decodeNs = 0;
    qint64 mapNs = 0;
    qsizetype events = 0;
    QElapsedTimer timer;
    for (int i = 0; i < iterations; ++i) {
        timer.start();
        const auto response = SeventeenTrack::decodeTrackInfoResponse(body);
        decodeNs += timer.nsecsElapsed();
        if (!response || response->data.accepted.size() != 40) {
            std::fprintf(stderr, "the answer did not decode\n");
            return 1;
        }
        timer.start();
        for (const auto &record : response->data.accepted)
            events += SeventeenTrack::mapToTrackingResult(record, now).events.size();
        mapNs += timer.nsecsElapsed();
    }
    std::printf("answer: %lld bytes, 40 records, %lld events decoded and mapped over %d iterations\n",
                static_cast<long long>(body.size()), static_cast<long long>(events), iterations);
    std::printf("decode: %.2f ms per answer\n", decodeNs / 1e6 / iterations);
    std::printf("map:    %.2f ms per answer (%.1f us per record)\n", mapNs / 1e6 / iterations,
                mapNs / 1e3 / iterations / 40);
    return 0;
}
