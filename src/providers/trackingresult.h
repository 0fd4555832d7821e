#pragma once

#include "model/trackingstatus.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <chrono>
#include <optional>

/** One provider answer for one tracking number, independent of the provider that gave it. */
struct TrackingResult {
    /** One scan event as the provider reported it. */
    struct TrackingEventData {
        QDateTime timestamp;
        TrackingStatus status = TrackingStatus::unknown;
        QString description;
        QString location; // empty when unknown
        QString rawStatusCode; // the provider's own code, verbatim

        friend bool operator==(const TrackingEventData &, const TrackingEventData &) = default;
    };

    QString trackingNumber; // as the provider reports it
    QString carrierCode;
    TrackingStatus status = TrackingStatus::pending;
    std::optional<QDateTime> estimatedDelivery;
    QList<TrackingEventData> events; // in the provider's order (17TRACK: newest first)
    std::optional<QByteArray> rawResponse; // the provider's own record as JSON

    friend bool operator==(const TrackingResult &, const TrackingResult &) = default;
};

/** Why a provider could not answer; description() is the text the user sees. */
class TrackingProviderError
{
public:
    enum class Kind {
        networkError,
        rateLimited,
        providerError,
        invalidTrackingNumber,
        carrierNotFound,
        apiKeyMissing,
        apiKeyInvalid,
        trackingNotFound,
    };

    /** An empty provider error; exists so that error values can be default-constructed. */
    TrackingProviderError() = default;

    /** A transport failure; underlyingDescription is the transport's own readable text. */
    static TrackingProviderError networkError(const QString &underlyingDescription, int underlyingCode = 0);
    static TrackingProviderError rateLimited(std::optional<double> retryAfterSeconds = std::nullopt);
    static TrackingProviderError providerError(const QString &message);
    static TrackingProviderError invalidTrackingNumber() { return TrackingProviderError(Kind::invalidTrackingNumber); }
    static TrackingProviderError carrierNotFound() { return TrackingProviderError(Kind::carrierNotFound); }
    static TrackingProviderError apiKeyMissing() { return TrackingProviderError(Kind::apiKeyMissing); }
    static TrackingProviderError apiKeyInvalid() { return TrackingProviderError(Kind::apiKeyInvalid); }
    static TrackingProviderError trackingNotFound() { return TrackingProviderError(Kind::trackingNotFound); }

    [[nodiscard]] Kind kind() const { return m_kind; }
    /** The message of providerError, or the underlying error's text of networkError. */
    [[nodiscard]] QString message() const { return m_message; }
    /** The underlying error's code of networkError (for Qt transport errors a QNetworkReply::NetworkError). */
    [[nodiscard]] int underlyingCode() const { return m_code; }
    /** Seconds to wait, of rateLimited. */
    [[nodiscard]] std::optional<double> retryAfter() const { return m_retryAfter; }

    /** How long a rate limit without a retry time holds. */
    static constexpr std::chrono::seconds defaultRetryAfter {60};
    /** The longest wait a service may ask for; a longer retry time counts as this. */
    static constexpr std::chrono::seconds longestRetryAfter {24 * 3600};
    /**
     * For rateLimited: when the service may be asked again, seen from now (its retry time, one
     * minute when it gave none, never before now and never more than a day ahead). Invalid otherwise.
     */
    [[nodiscard]] QDateTime retryNotBefore(const QDateTime &now) const;

    /** The user-facing description ("Rate limited. Try again in 30 seconds."). */
    [[nodiscard]] QString description() const;

    friend bool operator==(const TrackingProviderError &, const TrackingProviderError &) = default;

private:
    explicit TrackingProviderError(Kind kind)
        : m_kind(kind)
    { }

    Kind m_kind = Kind::providerError;
    QString m_message;
    int m_code = 0;
    std::optional<double> m_retryAfter;
};
