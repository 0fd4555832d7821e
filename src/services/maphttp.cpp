#include "services/maphttp.h"

#include <QCoreApplication>
#include <QNetworkReply>

namespace MapHttp
{
QByteArray userAgent()
{
    QString version = QCoreApplication::applicationVersion();
    if (version.isEmpty())
        version = QStringLiteral(KESTROVE_VERSION);
    return "Kestrove/" + version.toUtf8() + " (+https://kestrove.app)";
}

QNetworkRequest request(const QUrl &url, std::chrono::milliseconds transferTimeout)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, userAgent());
    request.setTransferTimeout(static_cast<int>(transferTimeout.count()));
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    return request;
}

Status status(const QNetworkReply &reply)
{
    Status status;
    status.httpStatus = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    status.ok = status.httpStatus >= 200 && status.httpStatus < 300 && reply.error() == QNetworkReply::NoError;
    status.serviceTrouble
        = status.httpStatus == 0 || status.httpStatus == 403 || status.httpStatus == 429 || status.httpStatus >= 500;
    status.retryAfterSeconds = std::clamp<qint64>(reply.rawHeader("Retry-After").trimmed().toLongLong(), 0, 3600);
    status.message
        = status.httpStatus == 0 ? reply.errorString() : QStringLiteral("HTTP ") + QString::number(status.httpStatus);
    return status;
}
}
