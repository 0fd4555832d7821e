#pragma once

#include "providers/seventeentrackrecords.h"
#include "providers/trackingprovider.h"

#include <QDateTime>
#include <QJsonArray>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class Clock;
class QNetworkAccessManager;
class PacingTicket;

/**
 * The client of the 17TRACK tracking API v2.2: paced requests, registration with a fix for a
 * wrong carrier, a real-time attempt with fall-back to registered data, batches of 40 and
 * carrier look-ups.
 */
class SeventeenTrackProvider final : public TrackingProvider
{
    Q_OBJECT
public:
    /** Collaborators and settings; every empty field takes the production default. */
    struct Options {
        Clock *clock = nullptr; // none: a real clock of its own
        QNetworkAccessManager *network = nullptr; // one process-wide manager
        QString baseURL; // Endpoints::seventeenTrackBaseUrl()
        /** From sending to the last byte: a server that trickles its answer cannot hold a request longer. */
        std::chrono::milliseconds requestTimeout = std::chrono::seconds(60);
        ApiKeySource apiKey; // none: no key is configured
        qint64 maxResponseBytes = 8 * 1024 * 1024;
    };

    static constexpr qsizetype maxBatchSize = 40;
    static constexpr std::chrono::milliseconds rateLimitDelay {350};

    explicit SeventeenTrackProvider(QObject *parent = nullptr);
    explicit SeventeenTrackProvider(Options options, QObject *parent = nullptr);
    ~SeventeenTrackProvider() override;

    [[nodiscard]] QString providerName() const override { return QStringLiteral("17track"); }
    [[nodiscard]] bool isConfigured() const override;
    QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString> carrierCode) override;
    QCoro::Task<BatchOutcome> fetchTrackingBatch(QList<TrackingRequest> packages) override;
    QCoro::Task<DetectionOutcome> detectCarrier(QString trackingNumber) override;
    /** "/getquota": the figures may come as numbers or as text; remaining or total may be derived from used. */
    QCoro::Task<QuotaOutcome> fetchQuota() override;

    /**
     * After an answer of 429 the client sends nothing until this time (the answer's Retry-After,
     * one minute without one): every request fails with rateLimited at once. Invalid when no
     * limit holds.
     */
    [[nodiscard]] QDateTime retryNotBefore() const { return m_retryNotBefore; }

    [[nodiscard]] QString baseURL() const { return m_options.baseURL; }
    /** When the last request was let through; invalid (the distant past) before the first one. */
    [[nodiscard]] QDateTime lastRequestTime() const { return m_lastRequestTime; }
    /** Background registrations started by fetchTracking that have not ended yet. */
    [[nodiscard]] int backgroundTaskCount() const { return m_backgroundTasks; }
    /** Resumes once no background registration runs (at once when none does). Keep the provider alive meanwhile. */
    QCoro::Task<> waitForBackgroundTasks();

Q_SIGNALS:
    /** The last running background registration has ended. */
    void backgroundTasksFinished();

private:
    template<typename T> using Outcome = Result<T, TrackingProviderError>;

    struct RequestItem {
        QString number;
        std::optional<qint64> carrier;
    };
    struct RegistrationResult {
        SeventeenTrack::RegisterResponse::Item item;
        bool isNewRegistration = false;
    };

    [[nodiscard]] std::optional<QString> apiKey() const;
    [[nodiscard]] bool hasUsableKey() const;

    QCoro::Task<bool> respectRateLimit();
    QCoro::Task<Outcome<QByteArray>> performRequest(QString path, QByteArray body);
    /** Pacing and the rate limit, then performRequest; a 429 answer starts a rate limit. */
    QCoro::Task<Outcome<QByteArray>> send(QString path, QList<RequestItem> items);
    QCoro::Task<Outcome<QByteArray>> sendBody(QString path, QByteArray body);
    /** The rateLimited error while a rate limit holds. */
    [[nodiscard]] std::optional<TrackingProviderError> activeRateLimit() const;

    QCoro::Task<Outcome<RegistrationResult>> registerTracking(QString number, std::optional<QString> carrierCode,
                                                              bool attemptedCarrierFix);
    QCoro::Task<Outcome<SeventeenTrack::TrackInfoResponse>> getTrackInfo(QList<RequestItem> items);
    QCoro::Task<Outcome<SeventeenTrack::TrackInfoResponse>> getRealTimeTrackInfo(QList<RequestItem> items);
    QCoro::Task<Outcome<SeventeenTrack::GetCarrierResponse>> getCarrier(QString number);
    QCoro::Task<> deleteTrack(QString number);
    QCoro::Task<> registerInBackground(QString number, std::optional<QString> carrierCode);
    QCoro::Task<Outcome<SeventeenTrack::TrackInfoResponse>> requestTrackInfo(QString path, QList<RequestItem> items,
                                                                             QString parseFailure);

    Options m_options;
    QDateTime m_lastRequestTime;
    QDateTime m_retryNotBefore;
    bool m_pacingBusy = false;
    QList<PacingTicket *> m_pacingQueue;
    int m_backgroundTasks = 0;
};
