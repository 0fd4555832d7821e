#include "providers/seventeentrackprovider.h"

#include "base/clock.h"
#include "base/endpoints.h"
#include "base/logmanager.h"
#include "carriers/carrier.h"
#include "providers/seventeentrackmapping.h"

#include <QCoreApplication>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>
#include <qcoro/qcorosignal.h>

#include <algorithm>
#include <cmath>

using namespace SeventeenTrack;

/** A place in the request queue; granted when the request ahead of it has been let through. */
class PacingTicket : public QObject
{
    Q_OBJECT
public:
    void grant() { Q_EMIT granted(); }
Q_SIGNALS:
    void granted();
};

namespace
{
constexpr auto registerPath = "/register";
constexpr auto trackInfoPath = "/gettrackinfo";
constexpr auto realTimeTrackInfoPath = "/getrealtimetrackinfo";
constexpr auto carrierPath = "/getcarrier";
constexpr auto deletePath = "/deletetrack";
constexpr auto quotaPath = "/getquota";

constexpr qint64 alreadyRegisteredCode = -18019901;
constexpr auto tooLargeProperty = "kestroveResponseTooLarge";

QNetworkAccessManager *sharedNetworkAccessManager()
{
    // One manager for the process, like the platform's shared HTTP session; it lives as long
    // as the application object, so no reply outlives its manager at exit.
    static QPointer<QNetworkAccessManager> manager;
    if (!manager) {
        manager = new QNetworkAccessManager(QCoreApplication::instance());
        // Deleted while the application still lives, so that its network thread closes its sockets
        // then: as a child it would go after the application object, and closing a TLS socket at
        // that point loads the TLS back end anew and warns of a connection to a null object.
        qAddPostRoutine([] { delete manager.data(); });
    }
    return manager;
}

QString standardReasonPhrase(int status)
{
    static const QHash<int, const char *> phrases = {
        {100, "Continue"},
        {101, "Switching Protocols"},
        {200, "OK"},
        {201, "Created"},
        {202, "Accepted"},
        {204, "No Content"},
        {300, "Multiple Choices"},
        {301, "Moved Permanently"},
        {302, "Found"},
        {303, "See Other"},
        {304, "Not Modified"},
        {307, "Temporary Redirect"},
        {308, "Permanent Redirect"},
        {400, "Bad Request"},
        {401, "Unauthorized"},
        {402, "Payment Required"},
        {403, "Forbidden"},
        {404, "Not Found"},
        {405, "Method Not Allowed"},
        {406, "Not Acceptable"},
        {407, "Proxy Authentication Required"},
        {408, "Request Timeout"},
        {409, "Conflict"},
        {410, "Gone"},
        {411, "Length Required"},
        {412, "Precondition Failed"},
        {413, "Content Too Large"},
        {414, "URI Too Long"},
        {415, "Unsupported Media Type"},
        {416, "Range Not Satisfiable"},
        {417, "Expectation Failed"},
        {418, "I'm a teapot"},
        {421, "Misdirected Request"},
        {422, "Unprocessable Content"},
        {425, "Too Early"},
        {426, "Upgrade Required"},
        {428, "Precondition Required"},
        {429, "Too Many Requests"},
        {431, "Request Header Fields Too Large"},
        {451, "Unavailable For Legal Reasons"},
        {500, "Internal Server Error"},
        {501, "Not Implemented"},
        {502, "Bad Gateway"},
        {503, "Service Unavailable"},
        {504, "Gateway Timeout"},
        {505, "HTTP Version Not Supported"},
        {507, "Insufficient Storage"},
        {508, "Loop Detected"},
        {511, "Network Authentication Required"},
    };
    if (const char *phrase = phrases.value(status))
        return QString::fromLatin1(phrase);
    switch (status / 100) {
    case 1:
        return QStringLiteral("Informational");
    case 2:
        return QStringLiteral("Success");
    case 3:
        return QStringLiteral("Redirection");
    case 4:
        return QStringLiteral("Client Error");
    case 5:
        return QStringLiteral("Server Error");
    default:
        return QStringLiteral("Unknown Status");
    }
}

/** "Retry-After" as a decimal number of seconds; a date or anything else gives none. */
std::optional<double> parseRetryAfter(const QByteArray &header)
{
    static const QRegularExpression decimal(QStringLiteral(R"(^[+-]?(\d+(\.\d*)?|\.\d+)([eE][+-]?\d+)?$)"));
    const QString text = QString::fromLatin1(header.trimmed());
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    const double seconds = text.toDouble();
    return std::isfinite(seconds) ? std::optional(seconds) : std::nullopt;
}

QString transportErrorText(const QNetworkReply *reply)
{
    // The request's deadline aborts it, which Qt reports as a cancelled operation: name it for what it is.
    if (reply->error() == QNetworkReply::OperationCanceledError || reply->error() == QNetworkReply::TimeoutError)
        return QStringLiteral("The request timed out.");
    return reply->errorString();
}

QString megabytes(qint64 bytes)
{
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'g', 3) + QStringLiteral(" MiB");
}
}

SeventeenTrackProvider::SeventeenTrackProvider(QObject *parent)
    : SeventeenTrackProvider(Options(), parent)
{ }

SeventeenTrackProvider::SeventeenTrackProvider(Options options, QObject *parent)
    : TrackingProvider(parent)
    , m_options(std::move(options))
{
    if (!m_options.clock)
        m_options.clock = new RealClock(this);
    if (!m_options.network)
        m_options.network = sharedNetworkAccessManager();
    if (m_options.baseURL.isEmpty())
        m_options.baseURL = Endpoints::seventeenTrackBaseUrl();
    if (!m_options.apiKey)
        m_options.apiKey = [] { return std::optional<QString>(); };
}

SeventeenTrackProvider::~SeventeenTrackProvider()
{
    // Requests still queued resume after this object is gone, notice it and end with an error.
    for (PacingTicket *ticket : std::as_const(m_pacingQueue))
        QMetaObject::invokeMethod(ticket, &PacingTicket::grant, Qt::QueuedConnection);
}

std::optional<QString> SeventeenTrackProvider::apiKey() const
{
    return m_options.apiKey();
}

bool SeventeenTrackProvider::hasUsableKey() const
{
    const auto key = apiKey();
    return key && !key->isEmpty();
}

bool SeventeenTrackProvider::isConfigured() const
{
    return hasUsableKey();
}

QCoro::Task<> SeventeenTrackProvider::waitForBackgroundTasks()
{
    if (m_backgroundTasks > 0)
        co_await qCoro(this, &SeventeenTrackProvider::backgroundTasksFinished);
}

QCoro::Task<bool> SeventeenTrackProvider::respectRateLimit()
{
    QPointer<SeventeenTrackProvider> self(this);
    // Every request of this object waits here in arrival order: single fetches, batches, carrier
    // look-ups and the unawaited background registration alike. So the spacing holds even when
    // callers overlap, which the spacing check alone could not promise.
    if (m_pacingBusy) {
        PacingTicket ticket;
        m_pacingQueue.append(&ticket);
        co_await qCoro(&ticket, &PacingTicket::granted);
        if (!self)
            co_return false;
    }
    m_pacingBusy = true;
    if (m_lastRequestTime.isValid()) {
        const qint64 elapsed = m_lastRequestTime.msecsTo(m_options.clock->now());
        const qint64 delay = rateLimitDelay.count();
        if (elapsed < delay) {
            // A clock set back must not stall requests for longer than one spacing.
            const qint64 wait = std::min(delay, delay - elapsed);
            co_await m_options.clock->sleep(std::chrono::milliseconds(wait));
            if (!self)
                co_return false;
        }
    }
    m_lastRequestTime = m_options.clock->now();
    if (m_pacingQueue.isEmpty()) {
        m_pacingBusy = false;
    } else {
        // Handed over on the next turn of the event loop, so a long queue never nests resumptions.
        QMetaObject::invokeMethod(m_pacingQueue.takeFirst(), &PacingTicket::grant, Qt::QueuedConnection);
    }
    co_return true;
}

QCoro::Task<SeventeenTrackProvider::Outcome<QByteArray>> SeventeenTrackProvider::performRequest(QString path,
                                                                                                QByteArray body)
{
    const QString address = m_options.baseURL + path;
    const QUrl url(address);
    const auto key = apiKey();
    if (!key)
        co_return Outcome<QByteArray>::failure(TrackingProviderError::apiKeyMissing());
    if (!Endpoints::mayCarryCredentials(url)) {
        co_return Outcome<QByteArray>::failure(TrackingProviderError::providerError(
            QStringLiteral("Refusing to send the API key to ") + address
            + QStringLiteral(": only HTTPS, or plain HTTP to this computer, is allowed.")));
    }

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("application/json"));
    request.setRawHeader(QByteArrayLiteral("17token"), key->toUtf8());
    // A redirect would carry the key to whatever address the answer names: report it instead.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);

    const qint64 limit = m_options.maxResponseBytes;
    QNetworkReply *reply = m_options.network->post(request, body);
    // One deadline for the whole request. A transfer time-out restarts with every byte, so a server
    // sending one byte every few seconds would hold it forever. Real time, like the socket itself:
    // the injected clock paces and schedules requests, it does not run the network.
    QTimer::singleShot(m_options.requestTimeout, reply, &QNetworkReply::abort);
    QObject::connect(reply, &QNetworkReply::downloadProgress, reply, [reply, limit](qint64 received, qint64 total) {
        if ((received > limit || total > limit) && !reply->property(tooLargeProperty).toBool()) {
            reply->setProperty(tooLargeProperty, true);
            // Not from inside the progress signal: aborting there would finish the reply mid-delivery.
            QTimer::singleShot(0, reply, &QNetworkReply::abort);
        }
    });
    co_await qCoro(reply).waitForFinished();
    // Only locals from here on: the provider may be gone, and the caller checks that.
    const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> cleanup(reply,
                                                                            [](QNetworkReply *r) { r->deleteLater(); });

    if (reply->property(tooLargeProperty).toBool()) {
        co_return Outcome<QByteArray>::failure(
            TrackingProviderError::providerError(QStringLiteral("The response from 17track was larger than ")
                                                 + megabytes(limit) + QStringLiteral(" and was not read.")));
    }
    const QVariant statusAttribute = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (statusAttribute.isValid()) {
        const int status = statusAttribute.toInt();
        if (status < 200 || status > 299) {
            if (status == 401 || status == 403)
                co_return Outcome<QByteArray>::failure(TrackingProviderError::apiKeyInvalid());
            if (status == 429) {
                co_return Outcome<QByteArray>::failure(
                    TrackingProviderError::rateLimited(parseRetryAfter(reply->rawHeader("Retry-After"))));
            }
            co_return Outcome<QByteArray>::failure(
                TrackingProviderError::providerError(QStringLiteral("HTTP ") + QString::number(status)
                                                     + QStringLiteral(": ") + standardReasonPhrase(status)));
        }
    }
    if (reply->error() != QNetworkReply::NoError) {
        co_return Outcome<QByteArray>::failure(
            TrackingProviderError::networkError(transportErrorText(reply), static_cast<int>(reply->error())));
    }
    co_return reply->readAll();
}

std::optional<TrackingProviderError> SeventeenTrackProvider::activeRateLimit() const
{
    if (!m_retryNotBefore.isValid())
        return std::nullopt;
    const qint64 left = m_options.clock->now().msecsTo(m_retryNotBefore);
    if (left <= 0)
        return std::nullopt;
    return TrackingProviderError::rateLimited(std::ceil(double(left) / 1000.0));
}

QCoro::Task<SeventeenTrackProvider::Outcome<QByteArray>> SeventeenTrackProvider::sendBody(QString path, QByteArray body)
{
    QPointer<SeventeenTrackProvider> self(this);
    if (const auto limit = activeRateLimit())
        co_return Outcome<QByteArray>::failure(*limit);
    // Awaited on its own: GCC 12 mishandles temporaries of a co_await inside a || or ?: operand.
    const bool granted = co_await respectRateLimit();
    if (!granted || !self)
        co_return Outcome<QByteArray>::failure(providerGoneError());
    // A request that queued behind the one that was told to wait must not go out either.
    if (const auto limit = activeRateLimit())
        co_return Outcome<QByteArray>::failure(*limit);
    auto outcome = co_await performRequest(std::move(path), std::move(body));
    if (!self)
        co_return outcome;
    if (!outcome.ok() && outcome.error().kind() == TrackingProviderError::Kind::rateLimited) {
        m_retryNotBefore = outcome.error().retryNotBefore(m_options.clock->now());
        LogManager::log(QStringLiteral("17track answered 429; no requests until ")
                        + m_retryNotBefore.toString(Qt::ISODate));
    }
    co_return outcome;
}

QCoro::Task<SeventeenTrackProvider::Outcome<QByteArray>> SeventeenTrackProvider::send(QString path,
                                                                                      QList<RequestItem> items)
{
    QJsonArray body;
    for (const RequestItem &item : std::as_const(items)) {
        QJsonObject object;
        object.insert(QStringLiteral("number"), item.number);
        if (item.carrier)
            object.insert(QStringLiteral("carrier"), *item.carrier);
        body.append(object);
    }
    return sendBody(std::move(path), QJsonDocument(body).toJson(QJsonDocument::Compact));
}

QCoro::Task<SeventeenTrackProvider::Outcome<SeventeenTrackProvider::RegistrationResult>>
SeventeenTrackProvider::registerTracking(QString number, std::optional<QString> carrierCode, bool attemptedCarrierFix)
{
    using Registration = Outcome<RegistrationResult>;
    QPointer<SeventeenTrackProvider> self(this);
    // Arguments are built before co_await: GCC 12 mishandles some temporaries inside co_await
    // expressions (initializer lists do not compile, a ?: temporary is destroyed twice).
    const QString path = QString::fromLatin1(registerPath);
    const QList<RequestItem> items {RequestItem {number, carrierNumberFor(carrierCode)}};
    const auto body = co_await send(path, items);
    if (!self)
        co_return Registration::failure(providerGoneError());
    if (!body.ok())
        co_return Registration::failure(body.error());
    const auto response = decodeRegisterResponse(body.value());
    if (!response)
        co_return Registration::failure(
            TrackingProviderError::providerError(QStringLiteral("Failed to parse register response")));
    if (response->code != 0)
        co_return Registration::failure(mapAPIError(response->code, response->message));

    const QList<qint64> expected
        = carrierCode && !carrierCode->isEmpty() ? allCarrierCodesFor17track(*carrierCode) : QList<qint64>();
    // The service picks a carrier itself when it disagrees with ours; a number registered under
    // the wrong carrier never gets data, so it is deleted and registered again, once.
    const auto isWrongCarrier = [&](const std::optional<QString> &reported) {
        if (attemptedCarrierFix || expected.isEmpty() || !reported)
            return false;
        const auto reportedNumber = parseWholeInteger(*reported);
        return reportedNumber && !expected.contains(*reportedNumber);
    };

    if (!response->data.accepted.isEmpty()) {
        const RegisterResponse::Item &item = response->data.accepted.constFirst();
        if (!isWrongCarrier(item.carrierCode))
            co_return RegistrationResult {item, true};
    } else if (!response->data.rejected.isEmpty()) {
        const RegisterResponse::RejectedError &error = response->data.rejected.constFirst().error;
        if (error.code != 0 && error.code != alreadyRegisteredCode) {
            co_return Registration::failure(TrackingProviderError::providerError(
                QStringLiteral("Registration rejected: ") + error.message.value_or(QStringLiteral("Unknown error"))));
        }
        // Already registered: fine, unless under another carrier than the caller's.
        if (!isWrongCarrier(error.carrier))
            co_return RegistrationResult {RegisterResponse::Item {number, error.carrier}, false};
    } else {
        co_return RegistrationResult {RegisterResponse::Item {number, std::nullopt}, true};
    }

    co_await deleteTrack(number);
    if (!self)
        co_return Registration::failure(providerGoneError());
    co_await m_options.clock->sleep(std::chrono::seconds(1));
    if (!self)
        co_return Registration::failure(providerGoneError());
    co_return co_await registerTracking(number, carrierCode, true);
}

QCoro::Task<> SeventeenTrackProvider::deleteTrack(QString number)
{
    // The answer and every failure are ignored: a registration that stays only costs quota.
    const QString path = QString::fromLatin1(deletePath);
    const QList<RequestItem> items {RequestItem {number, std::nullopt}};
    [[maybe_unused]] const auto outcome = co_await send(path, items);
}

QCoro::Task<SeventeenTrackProvider::Outcome<TrackInfoResponse>>
SeventeenTrackProvider::requestTrackInfo(QString path, QList<RequestItem> items, QString parseFailure)
{
    using Info = Outcome<TrackInfoResponse>;
    const auto body = co_await send(std::move(path), std::move(items));
    if (!body.ok())
        co_return Info::failure(body.error());
    auto response = decodeTrackInfoResponse(body.value());
    if (!response)
        co_return Info::failure(TrackingProviderError::providerError(parseFailure));
    if (response->code != 0)
        co_return Info::failure(mapAPIError(response->code, response->message));
    co_return std::move(*response);
}

QCoro::Task<SeventeenTrackProvider::Outcome<TrackInfoResponse>>
SeventeenTrackProvider::getTrackInfo(QList<RequestItem> items)
{
    return requestTrackInfo(QString::fromLatin1(trackInfoPath), std::move(items),
                            QStringLiteral("Failed to parse tracking response"));
}

QCoro::Task<SeventeenTrackProvider::Outcome<TrackInfoResponse>>
SeventeenTrackProvider::getRealTimeTrackInfo(QList<RequestItem> items)
{
    return requestTrackInfo(QString::fromLatin1(realTimeTrackInfoPath), std::move(items),
                            QStringLiteral("Failed to parse real-time tracking response"));
}

QCoro::Task<SeventeenTrackProvider::Outcome<GetCarrierResponse>> SeventeenTrackProvider::getCarrier(QString number)
{
    using Carriers = Outcome<GetCarrierResponse>;
    const QString path = QString::fromLatin1(carrierPath);
    const QList<RequestItem> items {RequestItem {number, std::nullopt}};
    const auto body = co_await send(path, items);
    if (!body.ok())
        co_return Carriers::failure(body.error());
    auto response = decodeGetCarrierResponse(body.value());
    if (!response)
        co_return Carriers::failure(
            TrackingProviderError::providerError(QStringLiteral("Failed to parse carrier response")));
    if (response->code != 0)
        co_return Carriers::failure(mapAPIError(response->code, response->message));
    co_return std::move(*response);
}

QCoro::Task<QuotaOutcome> SeventeenTrackProvider::fetchQuota()
{
    if (!hasUsableKey())
        co_return QuotaOutcome::failure(TrackingProviderError::apiKeyMissing());
    const auto body = co_await sendBody(QString::fromLatin1(quotaPath), QByteArray());
    if (!body.ok())
        co_return QuotaOutcome::failure(body.error());
    const auto response = decodeQuotaResponse(body.value());
    if (!response)
        co_return QuotaOutcome::failure(
            TrackingProviderError::providerError(QStringLiteral("Failed to parse quota response")));
    if (response->code != 0)
        co_return QuotaOutcome::failure(mapAPIError(response->code, response->message));
    const auto &[total, used, remain] = response->data;
    // Any two of the three figures give the third.
    const std::optional<qint64> remaining = remain ? remain
        : total && used                            ? std::optional(*total - *used)
                                                   : std::nullopt;
    const std::optional<qint64> allowance = total ? total
        : remain && used                          ? std::optional(*remain + *used)
                                                  : std::nullopt;
    if (!remaining || !allowance || *remaining < 0 || *allowance < 0 || *remaining > *allowance)
        co_return QuotaOutcome::failure(
            TrackingProviderError::providerError(QStringLiteral("The quota response holds no usable figures")));
    co_return TrackingQuota {*remaining, *allowance};
}

QCoro::Task<> SeventeenTrackProvider::registerInBackground(QString number, std::optional<QString> carrierCode)
{
    QPointer<SeventeenTrackProvider> self(this);
    ++m_backgroundTasks;
    // Step aside for one turn of the event loop, so that the caller's own next request queues
    // first: when the caller goes on to register the number itself, its registration is the one
    // the service treats as new, and this one merely finds it registered.
    co_await m_options.clock->sleep(std::chrono::milliseconds(0));
    if (!self)
        co_return;
    // Registering makes later refreshes work from stored data; its outcome does not matter now.
    [[maybe_unused]] const auto outcome = co_await registerTracking(std::move(number), std::move(carrierCode), false);
    if (!self)
        co_return;
    if (--m_backgroundTasks == 0)
        Q_EMIT backgroundTasksFinished();
}

QCoro::Task<TrackingOutcome> SeventeenTrackProvider::fetchTracking(QString trackingNumber,
                                                                   std::optional<QString> carrierCode)
{
    QPointer<SeventeenTrackProvider> self(this);
    if (!hasUsableKey())
        co_return TrackingOutcome::failure(TrackingProviderError::apiKeyMissing());
    const QString number = trackingNumber.trimmed();
    if (number.isEmpty())
        co_return TrackingOutcome::failure(TrackingProviderError::invalidTrackingNumber());
    const std::optional<qint64> requestedCarrier = carrierNumberFor(carrierCode);

    // Real-time first: it answers without a registration when the carrier supports it.
    const QList<RequestItem> realTimeItems {RequestItem {number, requestedCarrier}};
    const auto realTime = co_await getRealTimeTrackInfo(realTimeItems);
    if (!self)
        co_return TrackingOutcome::failure(providerGoneError());
    if (realTime.ok()) {
        if (!realTime.value().data.accepted.isEmpty()) {
            TrackingResult result
                = mapToTrackingResult(realTime.value().data.accepted.constFirst(), m_options.clock->now());
            [[maybe_unused]] auto background = registerInBackground(number, carrierCode);
            if (!self)
                co_return TrackingOutcome::failure(providerGoneError());
            if (!result.events.isEmpty() || result.status != TrackingStatus::pending)
                co_return result;
        }
        // A rejected real-time record says nothing the registered data would not say better.
    } else if (realTime.error().kind() == TrackingProviderError::Kind::apiKeyMissing) {
        co_return TrackingOutcome::failure(realTime.error());
    }

    const auto registration = co_await registerTracking(number, carrierCode, false);
    if (!self)
        co_return TrackingOutcome::failure(providerGoneError());
    if (!registration.ok())
        co_return TrackingOutcome::failure(registration.error());

    std::optional<qint64> followUpCarrier = requestedCarrier;
    if (!followUpCarrier && registration.value().item.carrierCode)
        followUpCarrier = parseWholeInteger(*registration.value().item.carrierCode);

    // A new registration needs time before the service has fetched the carrier's data: about
    // 50 seconds in four attempts. An existing one usually has data already.
    using namespace std::chrono_literals;
    const QList<std::chrono::seconds> schedule = registration.value().isNewRegistration
        ? QList<std::chrono::seconds> {5s, 10s, 15s, 20s}
        : QList<std::chrono::seconds> {0s, 3s};
    for (qsizetype attempt = 0; attempt < schedule.size(); ++attempt) {
        const bool last = attempt == schedule.size() - 1;
        if (schedule.at(attempt).count() > 0) {
            co_await m_options.clock->sleep(schedule.at(attempt));
            if (!self)
                co_return TrackingOutcome::failure(providerGoneError());
        }
        const QList<RequestItem> items {RequestItem {number, followUpCarrier}};
        const auto info = co_await getTrackInfo(items);
        if (!self)
            co_return TrackingOutcome::failure(providerGoneError());
        if (!info.ok())
            co_return TrackingOutcome::failure(info.error());

        const auto &rejected = info.value().data.rejected;
        const auto ours
            = std::find_if(rejected.cbegin(), rejected.cend(), [&](const TrackInfoResponse::RejectedTrack &r) {
                  return r.number == number && r.error && r.error->code != 0;
              });
        if (ours != rejected.cend()) {
            co_return TrackingOutcome::failure(TrackingProviderError::providerError(
                ours->error->message.value_or(QStringLiteral("Tracking number rejected by 17track"))));
        }
        if (info.value().data.accepted.isEmpty()) {
            if (last)
                co_return TrackingOutcome::failure(TrackingProviderError::trackingNotFound());
            continue;
        }
        TrackingResult result = mapToTrackingResult(info.value().data.accepted.constFirst(), m_options.clock->now());
        if (!result.events.isEmpty() || result.status != TrackingStatus::pending || last)
            co_return result;
    }
    co_return TrackingOutcome::failure(TrackingProviderError::trackingNotFound());
}

QCoro::Task<BatchOutcome> SeventeenTrackProvider::fetchTrackingBatch(QList<TrackingRequest> packages)
{
    QPointer<SeventeenTrackProvider> self(this);
    if (!hasUsableKey())
        co_return BatchOutcome::failure(TrackingProviderError::apiKeyMissing());
    const auto isRateLimit
        = [](const TrackingProviderError &error) { return error.kind() == TrackingProviderError::Kind::rateLimited; };

    QList<TrackingOutcome> outcomes;
    outcomes.reserve(packages.size());
    // Once the service says 429 no further chunk is sent: their numbers end with the rate limit.
    std::optional<TrackingProviderError> limited;
    for (qsizetype start = 0; start < packages.size(); start += maxBatchSize) {
        const QList<TrackingRequest> chunk = packages.mid(start, maxBatchSize);
        if (limited) {
            for (qsizetype i = 0; i < chunk.size(); ++i)
                outcomes.append(TrackingOutcome::failure(*limited));
            continue;
        }

        for (const TrackingRequest &request : chunk) {
            const QString number = request.trackingNumber.trimmed();
            const auto registration = co_await registerTracking(number, request.carrierCode, false);
            if (!self)
                co_return BatchOutcome::failure(providerGoneError());
            if (!registration.ok() && isRateLimit(registration.error())) {
                limited = registration.error();
                break;
            }
        }

        QList<RequestItem> items;
        for (const TrackingRequest &request : chunk)
            items.append({request.trackingNumber.trimmed(), carrierNumberFor(request.carrierCode)});

        // Results are filed under the number exactly as the service wrote it back.
        QHash<QString, TrackingResult> filed;
        if (!limited) {
            const auto realTime = co_await getRealTimeTrackInfo(items);
            if (!self)
                co_return BatchOutcome::failure(providerGoneError());
            if (realTime.ok()) {
                for (const auto &record : realTime.value().data.accepted)
                    filed.insert(record.number, mapToTrackingResult(record, m_options.clock->now()));
            } else if (isRateLimit(realTime.error())) {
                limited = realTime.error();
            }
        }

        QList<RequestItem> missing;
        for (const RequestItem &item : std::as_const(items)) {
            if (!filed.contains(item.number))
                missing.append(item);
        }
        if (!limited && !missing.isEmpty()) {
            const auto stored = co_await getTrackInfo(missing);
            if (!self)
                co_return BatchOutcome::failure(providerGoneError());
            if (stored.ok()) {
                for (const auto &record : stored.value().data.accepted)
                    filed.insert(record.number, mapToTrackingResult(record, m_options.clock->now()));
            } else if (isRateLimit(stored.error())) {
                limited = stored.error();
            } else {
                co_return BatchOutcome::failure(stored.error());
            }
        }

        for (const RequestItem &item : std::as_const(items)) {
            if (filed.contains(item.number) || limited)
                continue;
            TrackingResult placeholder;
            placeholder.trackingNumber = item.number;
            placeholder.carrierCode = item.carrier ? carrierCodeFromNumeric(*item.carrier) : QString();
            placeholder.status = TrackingStatus::pending;
            filed.insert(item.number, placeholder);
        }

        for (const TrackingRequest &request : chunk) {
            const auto it = filed.constFind(request.trackingNumber.trimmed());
            if (it != filed.constEnd())
                outcomes.append(*it);
            else
                outcomes.append(
                    TrackingOutcome::failure(limited ? *limited : TrackingProviderError::trackingNotFound()));
        }
    }
    co_return outcomes;
}

QCoro::Task<DetectionOutcome> SeventeenTrackProvider::detectCarrier(QString trackingNumber)
{
    QPointer<SeventeenTrackProvider> self(this);
    const QString number = trackingNumber.trimmed();
    if (number.isEmpty())
        co_return DetectionOutcome::failure(TrackingProviderError::invalidTrackingNumber());
    const QList<CarrierDetectionResult> local = CarrierDetector::detect(number);
    if (!hasUsableKey())
        co_return local;

    const auto lookup = co_await getCarrier(number);
    if (!self || !lookup.ok() || lookup.value().data.accepted.isEmpty())
        co_return local;

    QList<CarrierDetectionResult> guesses;
    const auto &carriers = lookup.value().data.accepted.constFirst().carriers;
    for (qsizetype i = 0; i < carriers.size(); ++i) {
        const GetCarrierResponse::CarrierInfo &carrier = carriers.at(i);
        const QString code = QString::number(carrier.key);
        QString name;
        if (carrier.name) {
            name = *carrier.name;
        } else {
            name = Carrier::knownDisplayName(Carrier::normalizeCode(code));
            if (name.isEmpty())
                name = code.toUpper();
        }
        // The service's order is its confidence: 0.98 for the first, 0.05 less for each next, at least 0.7.
        const double confidence = std::max(0.98 - 0.05 * static_cast<double>(i), 0.7);
        guesses.append({code, name, confidence});
    }
    if (guesses.isEmpty())
        co_return local;

    QList<CarrierDetectionResult> merged = guesses;
    for (const CarrierDetectionResult &guess : local) {
        const bool named = std::any_of(guesses.cbegin(), guesses.cend(), [&](const CarrierDetectionResult &g) {
            return g.carrierCode == guess.carrierCode;
        });
        if (!named)
            merged.append(guess);
    }
    std::stable_sort(
        merged.begin(), merged.end(),
        [](const CarrierDetectionResult &a, const CarrierDetectionResult &b) { return a.confidence > b.confidence; });
    co_return merged;
}

#include "seventeentrackprovider.moc"
