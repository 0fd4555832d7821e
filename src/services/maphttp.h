#pragma once

#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <chrono>

class QNetworkReply;

/** What the geocoder and the tile loader share about talking to OpenStreetMap's servers. */
namespace MapHttp
{
/** "Kestrove/VERSION (+https://kestrove.app)": the servers' usage policies ask every client to name itself. */
[[nodiscard]] QByteArray userAgent();

/** A GET request with the User-Agent and a transfer time-out; it never carries credentials. */
[[nodiscard]] QNetworkRequest request(const QUrl &url, std::chrono::milliseconds transferTimeout);

/** How a finished reply went. */
struct Status {
    int httpStatus = 0; // 0 when no answer came
    bool ok = false; // 2xx without a transport error
    /** The server is unreachable, overloaded or turning us away: stop asking it for a while. */
    bool serviceTrouble = false;
    qint64 retryAfterSeconds = 0;
    QString message;
};
[[nodiscard]] Status status(const QNetworkReply &reply);
}
