#pragma once

#include "base/result.h"
#include "carriers/carrierdetector.h"
#include "providers/trackingresult.h"

#include <QList>
#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>

class Clock;

/** One number of a batch request. */
struct TrackingRequest {
    QString trackingNumber;
    std::optional<QString> carrierCode; // none: the provider chooses the carrier

    friend bool operator==(const TrackingRequest &, const TrackingRequest &) = default;
};

/** What is left of the account's tracking allowance. */
struct TrackingQuota {
    qint64 remaining = 0;
    qint64 total = 0;
};

using TrackingOutcome = Result<TrackingResult, TrackingProviderError>;
using QuotaOutcome = Result<TrackingQuota, TrackingProviderError>;
using BatchOutcome = Result<QList<TrackingOutcome>, TrackingProviderError>;
using DetectionOutcome = Result<QList<CarrierDetectionResult>, TrackingProviderError>;
/** Where a provider reads its API key at every request; nothing when none is stored. */
using ApiKeySource = std::function<std::optional<QString>()>;

/**
 * An online tracking service. Every operation is a coroutine that suspends the caller on the
 * GUI thread; failures come back as values. Coroutine arguments are taken by value because
 * they must outlive the caller's expression. A provider may be destroyed while an operation
 * runs: the operation then ends with a networkError instead of touching the dead object.
 */
class TrackingProvider : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /** Short name ("17track", or the shown name of a placeholder). */
    [[nodiscard]] virtual QString providerName() const = 0;
    /** Whether the provider can be used now (for 17TRACK: an API key is stored). */
    [[nodiscard]] virtual bool isConfigured() const = 0;

    /** One number; a carrier code of none lets the provider choose the carrier. */
    virtual QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString> carrierCode) = 0;

    /**
     * Many numbers: one outcome per request, in request order. The default asks fetchTracking
     * for each request in turn, never concurrently, and never fails as a whole.
     */
    virtual QCoro::Task<BatchOutcome> fetchTrackingBatch(QList<TrackingRequest> packages);

    /** Carrier guesses for a number, best first. */
    virtual QCoro::Task<DetectionOutcome> detectCarrier(QString trackingNumber) = 0;

    /** The account's remaining allowance; the default says the service has no such figure. */
    virtual QCoro::Task<QuotaOutcome> fetchQuota();

    /** The error an operation ends with when its provider was destroyed while it ran. */
    [[nodiscard]] static TrackingProviderError providerGoneError();
};

/** The provider services Kestrove names; the raw value is what the "selectedProvider" preference stores. */
enum class TrackingProviderType {
    seventeenTrack,
    ship24,
    afterShip,
    trackingMore,
};

namespace TrackingProviderTypes
{
/** Every case, in the order settings list them. */
[[nodiscard]] const std::array<TrackingProviderType, 4> &allCases();
/** "17track", "ship24", "aftership", "trackingmore". */
[[nodiscard]] QString rawValue(TrackingProviderType type);
/** Exact, case-sensitive match of a raw value. */
[[nodiscard]] std::optional<TrackingProviderType> fromRawValue(QStringView raw);
/** "17track", "Ship24", "AfterShip", "TrackingMore". */
[[nodiscard]] QString displayName(TrackingProviderType type);
/** The one-line description shown in settings. */
[[nodiscard]] QString providerDescription(TrackingProviderType type);
/**
 * A new provider: the 17TRACK client with its fixed settings, reading its key from apiKey and its
 * time from clock (its own real clock when null), or a placeholder for the others.
 */
[[nodiscard]] std::unique_ptr<TrackingProvider> createProvider(TrackingProviderType type, ApiKeySource apiKey = {},
                                                               Clock *clock = nullptr);
}

/** Stands in for a provider service that has no client yet: every fetch fails with "coming soon". */
class PlaceholderProvider final : public TrackingProvider
{
    Q_OBJECT
public:
    explicit PlaceholderProvider(const QString &providerName, QObject *parent = nullptr);

    [[nodiscard]] QString providerName() const override { return m_providerName; }
    [[nodiscard]] bool isConfigured() const override { return false; }
    QCoro::Task<TrackingOutcome> fetchTracking(QString trackingNumber, std::optional<QString> carrierCode) override;
    /** The offline guesses of CarrierDetector, unchanged; never fails. */
    QCoro::Task<DetectionOutcome> detectCarrier(QString trackingNumber) override;

private:
    QString m_providerName;
};
