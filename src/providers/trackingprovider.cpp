#include "providers/trackingprovider.h"

#include "providers/seventeentrackprovider.h"

#include <QPointer>

#include <exception>

QCoro::Task<BatchOutcome> TrackingProvider::fetchTrackingBatch(QList<TrackingRequest> packages)
{
    QPointer<TrackingProvider> self(this);
    QList<TrackingOutcome> outcomes;
    outcomes.reserve(packages.size());
    for (const TrackingRequest &request : std::as_const(packages)) {
        if (!self) {
            outcomes.append(TrackingOutcome::failure(providerGoneError()));
            continue;
        }
        try {
            outcomes.append(co_await fetchTracking(request.trackingNumber, request.carrierCode));
        } catch (const std::exception &e) {
            // Failures are values here; a stray exception of a provider still ends only its own entry.
            outcomes.append(
                TrackingOutcome::failure(TrackingProviderError::networkError(QString::fromLocal8Bit(e.what()))));
        }
    }
    co_return outcomes;
}

QCoro::Task<QuotaOutcome> TrackingProvider::fetchQuota()
{
    co_return QuotaOutcome::failure(
        TrackingProviderError::providerError(providerName() + QStringLiteral(" reports no quota")));
}

TrackingProviderError TrackingProvider::providerGoneError()
{
    return TrackingProviderError::networkError(QStringLiteral("The request was cancelled."));
}

namespace TrackingProviderTypes
{
const std::array<TrackingProviderType, 4> &allCases()
{
    static constexpr std::array<TrackingProviderType, 4> cases = {
        TrackingProviderType::seventeenTrack,
        TrackingProviderType::ship24,
        TrackingProviderType::afterShip,
        TrackingProviderType::trackingMore,
    };
    return cases;
}

QString rawValue(TrackingProviderType type)
{
    switch (type) {
    case TrackingProviderType::seventeenTrack:
        return QStringLiteral("17track");
    case TrackingProviderType::ship24:
        return QStringLiteral("ship24");
    case TrackingProviderType::afterShip:
        return QStringLiteral("aftership");
    case TrackingProviderType::trackingMore:
        return QStringLiteral("trackingmore");
    }
    return QString();
}

std::optional<TrackingProviderType> fromRawValue(QStringView raw)
{
    for (TrackingProviderType type : allCases()) {
        if (rawValue(type) == raw)
            return type;
    }
    return std::nullopt;
}

QString displayName(TrackingProviderType type)
{
    switch (type) {
    case TrackingProviderType::seventeenTrack:
        return QStringLiteral("17track");
    case TrackingProviderType::ship24:
        return QStringLiteral("Ship24");
    case TrackingProviderType::afterShip:
        return QStringLiteral("AfterShip");
    case TrackingProviderType::trackingMore:
        return QStringLiteral("TrackingMore");
    }
    return QString();
}

QString providerDescription(TrackingProviderType type)
{
    switch (type) {
    case TrackingProviderType::seventeenTrack:
        return QStringLiteral("2000+ carriers worldwide");
    case TrackingProviderType::ship24:
        return QStringLiteral("Real-time tracking, 1400+ carriers");
    case TrackingProviderType::afterShip:
        return QStringLiteral("1000+ carriers globally");
    case TrackingProviderType::trackingMore:
        return QStringLiteral("1100+ carriers, webhook support");
    }
    return QString();
}

std::unique_ptr<TrackingProvider> createProvider(TrackingProviderType type, ApiKeySource apiKey, Clock *clock)
{
    if (type == TrackingProviderType::seventeenTrack) {
        SeventeenTrackProvider::Options options;
        options.apiKey = std::move(apiKey);
        options.clock = clock;
        return std::make_unique<SeventeenTrackProvider>(std::move(options));
    }
    return std::make_unique<PlaceholderProvider>(displayName(type));
}
}

PlaceholderProvider::PlaceholderProvider(const QString &providerName, QObject *parent)
    : TrackingProvider(parent)
    , m_providerName(providerName)
{ }

QCoro::Task<TrackingOutcome> PlaceholderProvider::fetchTracking(QString trackingNumber,
                                                                std::optional<QString> carrierCode)
{
    Q_UNUSED(trackingNumber)
    Q_UNUSED(carrierCode)
    co_return TrackingOutcome::failure(TrackingProviderError::providerError(
        m_providerName + QStringLiteral(" support coming soon. Please use 17track for now.")));
}

QCoro::Task<DetectionOutcome> PlaceholderProvider::detectCarrier(QString trackingNumber)
{
    co_return CarrierDetector::detect(trackingNumber);
}
