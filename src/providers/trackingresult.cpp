#include "providers/trackingresult.h"

#include <algorithm>
#include <cmath>

TrackingProviderError TrackingProviderError::networkError(const QString &underlyingDescription, int underlyingCode)
{
    TrackingProviderError error(Kind::networkError);
    error.m_message = underlyingDescription;
    error.m_code = underlyingCode;
    return error;
}

TrackingProviderError TrackingProviderError::rateLimited(std::optional<double> retryAfterSeconds)
{
    TrackingProviderError error(Kind::rateLimited);
    error.m_retryAfter = retryAfterSeconds;
    return error;
}

TrackingProviderError TrackingProviderError::providerError(const QString &message)
{
    TrackingProviderError error(Kind::providerError);
    error.m_message = message;
    return error;
}

QDateTime TrackingProviderError::retryNotBefore(const QDateTime &now) const
{
    if (m_kind != Kind::rateLimited)
        return {};
    double seconds = double(defaultRetryAfter.count());
    if (m_retryAfter && !std::isnan(*m_retryAfter))
        seconds = std::clamp(*m_retryAfter, 0.0, double(longestRetryAfter.count()));
    return now.addMSecs(qint64(std::ceil(seconds * 1000.0)));
}

QString TrackingProviderError::description() const
{
    switch (m_kind) {
    case Kind::networkError:
        return QStringLiteral("Network error: ") + m_message;
    case Kind::rateLimited: {
        // The retry time is shown truncated towards zero, whatever its sign; only a value that has no
        // whole-number form in 64 bits (infinite, NaN, huge) reads as "later".
        constexpr double limit = 9223372036854775808.0; // 2^63
        if (!m_retryAfter || !std::isfinite(*m_retryAfter) || *m_retryAfter >= limit || *m_retryAfter < -limit)
            return QStringLiteral("Rate limited. Please try again later.");
        const auto seconds = static_cast<qint64>(std::trunc(*m_retryAfter));
        return QStringLiteral("Rate limited. Try again in ") + QString::number(seconds) + QStringLiteral(" seconds.");
    }
    case Kind::providerError:
        return QStringLiteral("Provider error: ") + m_message;
    case Kind::invalidTrackingNumber:
        return QStringLiteral("The tracking number format is invalid.");
    case Kind::carrierNotFound:
        return QStringLiteral("Could not determine the carrier for this tracking number.");
    case Kind::apiKeyMissing:
        return QStringLiteral("API key not configured. Please add your API key in Settings.");
    case Kind::apiKeyInvalid:
        return QStringLiteral("API key is invalid. Please check your API key in Settings.");
    case Kind::trackingNotFound:
        return QStringLiteral("No tracking information found for this number.");
    }
    return QString();
}
