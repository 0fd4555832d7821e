#pragma once

#include "model/trackingstatus.h"
#include "providers/trackingprovider.h"
#include "tracking/adaptivepollingmanager.h"

#include <QDBusConnection>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <qcoro/qcorotask.h>

#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class Clock;
class ModelContext;
class NotificationService;
class Package;
class Preferences;

/**
 * The one place where tracking results enter the data: owns the provider and the polling
 * manager, adds packages with their first fetch, refreshes one or all active packages,
 * applies results (status rule, new events by key, notification, automatic archiving) and
 * retries fresh numbers in the background. Lives on the GUI thread. No failure escapes an
 * operation: it ends as the package's lastErrorMessage or the service's errorMessage, plus a
 * log line.
 */
class TrackingService : public QObject
{
    Q_OBJECT
    Q_PROPERTY(TrackingProvider *provider READ provider NOTIFY providerChanged)
    Q_PROPERTY(bool isRefreshing READ isRefreshing NOTIFY isRefreshingChanged)
    Q_PROPERTY(QDateTime lastRefreshDate READ lastRefreshDateOrNull NOTIFY lastRefreshDateChanged)
    Q_PROPERTY(QString errorMessage READ errorMessageOrEmpty NOTIFY errorMessageChanged)
public:
    /** Makes a provider of a type; the default is TrackingProviderTypes::createProvider. */
    using ProviderFactory = std::function<std::unique_ptr<TrackingProvider>(TrackingProviderType)>;

    /** What the service works with; clock and preferences are required, none is owned. */
    struct Collaborators {
        /** Used as is when given; otherwise the factory makes one from "selectedProvider". */
        std::unique_ptr<TrackingProvider> provider;
        /** None: TrackingProviderTypes::createProvider with apiKey and clock. */
        ProviderFactory providerFactory;
        /** Where the default factory's 17TRACK client reads its key. */
        ApiKeySource apiKey;
        Clock *clock = nullptr;
        Preferences *preferences = nullptr;
        /** Required while postNotifications is true. */
        NotificationService *notifications = nullptr;
        /** False: status changes only emit statusChanged() (the command-line front end prints them). */
        bool postNotifications = true;
        /** False: no background retries (a command-line run ends long before the first would fire). */
        bool backgroundRetries = true;
        /** The context for work the service starts by itself until startServices() names one. */
        ModelContext *context = nullptr;
        /** Passed to the polling manager (the system bus for logind's sleep signal). */
        AdaptivePollingManager::Options polling;
    };

    /** The waits of a background retry sequence, in order. */
    static constexpr std::array<std::chrono::seconds, 3> retryDelays {
        std::chrono::seconds(30), std::chrono::seconds(60), std::chrono::seconds(120)};

    explicit TrackingService(Collaborators collaborators, QObject *parent = nullptr);
    ~TrackingService() override;

    [[nodiscard]] TrackingProvider *provider() const { return m_provider; }
    [[nodiscard]] AdaptivePollingManager *pollingManager() const { return m_pollingManager; }
    [[nodiscard]] bool isRefreshing() const { return m_isRefreshing; }
    /** End time of the last refreshAll(), successful or not. */
    [[nodiscard]] std::optional<QDateTime> lastRefreshDate() const { return m_lastRefreshDate; }
    /** Description of the last failed refreshAll(); cleared when one starts. */
    [[nodiscard]] std::optional<QString> errorMessage() const { return m_errorMessage; }
    [[nodiscard]] bool servicesStarted() const { return m_servicesStarted; }
    /**
     * While the provider has asked to wait (HTTP 429): the time of the next try. Refreshes started
     * before it send nothing and say so in errorMessage; polling waits for it. Nothing otherwise.
     */
    [[nodiscard]] std::optional<QDateTime> rateLimitedUntil() const;
    /** Tracking numbers whose background retry sequence runs. */
    [[nodiscard]] QSet<QString> pendingRetries() const { return m_pendingRetries; }

    /**
     * Once per process: asks for notification permission, starts polling with refreshAll() on
     * this context, keeps the context in step with other processes' commits, makes markDelivered()
     * work on it, and runs the retention clean-up. A second call does nothing.
     */
    void startServices(ModelContext &context);

    /** Installs a new provider for the user's choice; only the 17TRACK client is served. */
    void switchProvider(TrackingProviderType type);

    /**
     * Creates and inserts a package (number normalised, status pending), detects the carrier when
     * none was given, fetches once, applies the result or records the error, saves, and returns it.
     */
    QCoro::Task<Package *> addPackage(QString trackingNumber, QString label, std::optional<QString> carrierCode,
                                      ModelContext &context);
    /** Fetches one package, applies the result or records the error, saves; retries later while it has no data. */
    QCoro::Task<> refreshPackage(Package *package, ModelContext &context);
    /** Fetches every active package in one batch, applies each result, saves, plans the next poll, cleans up. */
    QCoro::Task<> refreshAll(ModelContext &context);

    /**
     * Applies a provider result to a package without saving: the status rule, estimated delivery,
     * carrier code, new events by key, the notification of a status change and automatic archiving.
     */
    void applyTrackingResult(const TrackingResult &result, Package &package, ModelContext &context);

    /**
     * The "Mark Delivered" action: marks every package with this number delivered through the
     * result path (status rule, automatic archiving) and saves. The user caused the change, so no
     * notification is posted. Returns the number of packages marked.
     */
    int markPackageDelivered(const QString &trackingNumber, ModelContext &context);

public Q_SLOTS:
    /** markPackageDelivered() on the context startServices() named; nothing before the services run. */
    void markDelivered(const QString &trackingNumber);

Q_SIGNALS:
    void providerChanged();
    void isRefreshingChanged();
    void lastRefreshDateChanged();
    void errorMessageChanged();
    /** The provider asked to wait until rateLimitedUntil(). */
    void rateLimitChanged();
    /** A result changed a package's status (emitted whether or not a notification is posted). */
    void statusChanged(Package *package, TrackingStatus oldStatus, TrackingStatus newStatus);
    /** A background retry sequence ended; the number left pendingRetries(). */
    void backgroundRetriesFinished(const QString &trackingNumber);

private:
    [[nodiscard]] QDateTime lastRefreshDateOrNull() const { return m_lastRefreshDate.value_or(QDateTime()); }
    [[nodiscard]] QString errorMessageOrEmpty() const { return m_errorMessage.value_or(QString()); }
    [[nodiscard]] std::unique_ptr<TrackingProvider> makeProvider(TrackingProviderType type) const;
    void installProvider(std::unique_ptr<TrackingProvider> provider);
    void setRefreshing(bool refreshing);
    void setErrorMessage(const std::optional<QString> &message);
    void finishRefreshAll();
    /** Starts or extends the wait a rateLimited error asks for. */
    void noteRateLimit(const TrackingProviderError &error);
    /** True (with the reason in errorMessage) while a refresh must not ask the provider. */
    bool refuseWhileRateLimited();

    void apply(const TrackingResult &result, Package &package, ModelContext &context, bool notify);
    void scheduleBackgroundRetry(Package *package, ModelContext &context);
    QCoro::Task<> runBackgroundRetries(QPointer<Package> package, QPointer<ModelContext> context, QString number,
                                       std::optional<QString> carrierCode);
    void cleanupDeliveredPackages(ModelContext &context);

    // Provider calls that turn an exception of a misbehaving provider into an error value.
    QCoro::Task<TrackingOutcome> fetch(QString trackingNumber, std::optional<QString> carrierCode);
    QCoro::Task<BatchOutcome> fetchBatch(QList<TrackingRequest> requests);
    QCoro::Task<DetectionOutcome> detect(QString trackingNumber);

    ProviderFactory m_providerFactory;
    ApiKeySource m_apiKey;
    Clock *m_clock;
    Preferences *m_preferences;
    NotificationService *m_notifications;
    bool m_postNotifications;
    bool m_backgroundRetries;
    QPointer<ModelContext> m_context;

    TrackingProvider *m_provider = nullptr; // child of this service
    AdaptivePollingManager *m_pollingManager;
    bool m_isRefreshing = false;
    std::optional<QDateTime> m_lastRefreshDate;
    std::optional<QString> m_errorMessage;
    QDateTime m_rateLimitedUntil;
    QSet<QString> m_pendingRetries;
    bool m_servicesStarted = false;
};
