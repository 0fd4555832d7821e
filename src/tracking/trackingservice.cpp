#include "tracking/trackingservice.h"

#include "base/clock.h"
#include "base/logmanager.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagestore.h"
#include "model/preferences.h"
#include "model/trackingevent.h"
#include "notifications/notificationservice.h"

#include <exception>
#include <utility>

namespace
{
std::optional<QString> carrierOrNone(const QString &carrierCode)
{
    if (carrierCode.isEmpty())
        return std::nullopt;
    return carrierCode;
}

/**
 * The identity of an event for de-duplication: whole seconds since 1970 and the description
 * (written "seconds|description"; kept as a pair so that no text is built per event).
 */
using EventKey = std::pair<qint64, QString>;

EventKey eventKey(const QDateTime &timestamp, const QString &description)
{
    // Integer division drops the fraction (towards zero), like a conversion of seconds to an integer.
    return {timestamp.toMSecsSinceEpoch() / 1000, description};
}

QString exceptionText(std::exception_ptr exception)
{
    try {
        std::rethrow_exception(std::move(exception));
    } catch (const std::exception &e) {
        return QString::fromLocal8Bit(e.what());
    } catch (...) {
        return QStringLiteral("unexpected failure");
    }
}

/**
 * Picks up what another process committed before a result is merged, so that events it stored
 * count for de-duplication. False when the package is gone (deleted here or there).
 */
bool pickUpExternalChanges(ModelContext &context, const Package *package)
{
    [[maybe_unused]] const auto refreshed = context.refreshFromStore();
    return package && !package->isDeleted();
}
}

TrackingService::TrackingService(Collaborators collaborators, QObject *parent)
    : QObject(parent)
    , m_providerFactory(std::move(collaborators.providerFactory))
    , m_apiKey(std::move(collaborators.apiKey))
    , m_clock(collaborators.clock)
    , m_preferences(collaborators.preferences)
    , m_notifications(collaborators.notifications)
    , m_postNotifications(collaborators.postNotifications)
    , m_backgroundRetries(collaborators.backgroundRetries)
    , m_context(collaborators.context)
{
    Q_ASSERT(m_clock && m_preferences);
    Q_ASSERT(m_notifications || !m_postNotifications);
    AdaptivePollingManager::Options pollingOptions = std::move(collaborators.polling);
    if (!pollingOptions.clock)
        pollingOptions.clock = m_clock;
    if (!pollingOptions.preferences)
        pollingOptions.preferences = m_preferences;
    m_pollingManager = new AdaptivePollingManager(std::move(pollingOptions), this);

    if (collaborators.provider) {
        installProvider(std::move(collaborators.provider));
    } else {
        // An unrecognised stored value counts as 17TRACK, like every other choice.
        const auto type = TrackingProviderTypes::fromRawValue(m_preferences->selectedProvider());
        installProvider(makeProvider(type.value_or(TrackingProviderType::seventeenTrack)));
    }
}

TrackingService::~TrackingService() = default;

std::unique_ptr<TrackingProvider> TrackingService::makeProvider(TrackingProviderType) const
{
    // Only the 17TRACK client is served; the other types have placeholder clients that the
    // service never installs.
    const TrackingProviderType served = TrackingProviderType::seventeenTrack;
    if (m_providerFactory)
        return m_providerFactory(served);
    return TrackingProviderTypes::createProvider(served, m_apiKey, m_clock);
}

void TrackingService::installProvider(std::unique_ptr<TrackingProvider> provider)
{
    TrackingProvider *old = m_provider;
    m_provider = provider.release();
    if (m_provider)
        m_provider->setParent(this);
    if (old) {
        // An operation of the old provider may be running; it ends on its own once the object is gone.
        old->setParent(nullptr);
        old->deleteLater();
    }
    Q_EMIT providerChanged();
}

void TrackingService::switchProvider(TrackingProviderType type)
{
    installProvider(makeProvider(type));
}

void TrackingService::setRefreshing(bool refreshing)
{
    if (m_isRefreshing == refreshing)
        return;
    m_isRefreshing = refreshing;
    Q_EMIT isRefreshingChanged();
}

void TrackingService::setErrorMessage(const std::optional<QString> &message)
{
    if (m_errorMessage == message)
        return;
    m_errorMessage = message;
    Q_EMIT errorMessageChanged();
}

std::optional<QDateTime> TrackingService::rateLimitedUntil() const
{
    if (!m_rateLimitedUntil.isValid() || m_rateLimitedUntil <= m_clock->now())
        return std::nullopt;
    return m_rateLimitedUntil;
}

void TrackingService::noteRateLimit(const TrackingProviderError &error)
{
    const QDateTime until = error.retryNotBefore(m_clock->now());
    if (!until.isValid() || (m_rateLimitedUntil.isValid() && until <= m_rateLimitedUntil))
        return;
    m_rateLimitedUntil = until;
    m_pollingManager->deferUntil(until);
    Q_EMIT rateLimitChanged();
}

bool TrackingService::refuseWhileRateLimited()
{
    const auto until = rateLimitedUntil();
    if (!until)
        return false;
    const qint64 seconds = (m_clock->now().msecsTo(*until) + 999) / 1000;
    setErrorMessage(TrackingProviderError::rateLimited(double(seconds)).description());
    LogManager::log(QStringLiteral("Refresh not sent: rate limited until ") + until->toString(Qt::ISODate));
    return true;
}

void TrackingService::startServices(ModelContext &context)
{
    if (m_servicesStarted)
        return;
    m_servicesStarted = true;
    m_context = &context;

    // The answer does not matter: notifications are posted the same way either way.
    if (m_postNotifications) {
        [[maybe_unused]] auto authorization = [](QPointer<TrackingService> self) -> QCoro::Task<> {
            if (!self)
                co_return;
            try {
                [[maybe_unused]] const bool granted = co_await self->m_notifications->requestAuthorization();
            } catch (...) {
                LogManager::log(QStringLiteral("Notification authorization request failed: ")
                                + exceptionText(std::current_exception()));
            }
        }(this);
    }

    QPointer<TrackingService> self(this);
    QPointer<ModelContext> pollContext(&context);
    m_pollingManager->setOnRefreshNeeded([self, pollContext]() -> QCoro::Task<> {
        if (!self || !pollContext)
            co_return;
        co_await self->refreshAll(*pollContext);
    });
    if (!m_pollingManager->isRunning())
        m_pollingManager->start();

    // kestrove-cli writes to the same file; the window must see its additions, edits and deletions.
    context.setWatchingStore(true);

    // The clean-up looks at every package: when the store is still opening, once it is read whole.
    if (context.isFullyLoaded()) {
        cleanupDeliveredPackages(context);
    } else {
        connect(
            &context, &ModelContext::fullyLoaded, this,
            [this, pollContext] {
                if (pollContext)
                    cleanupDeliveredPackages(*pollContext);
            },
            Qt::SingleShotConnection);
    }
}

void TrackingService::cleanupDeliveredPackages(ModelContext &context)
{
    PackageStore::cleanupDeliveredPackages(context, *m_preferences, m_clock->now());
}

void TrackingService::markDelivered(const QString &trackingNumber)
{
    if (!m_servicesStarted || !m_context)
        return;
    markPackageDelivered(trackingNumber, *m_context);
}

int TrackingService::markPackageDelivered(const QString &trackingNumber, ModelContext &context)
{
    auto fetched
        = context.fetchPackages([&](const Package &package) { return package.trackingNumber() == trackingNumber; });
    if (!fetched) {
        LogManager::log(QStringLiteral("Failed to mark ") + trackingNumber + QStringLiteral(" delivered: ")
                        + fetched.error().description);
        return 0;
    }
    const QList<Package *> packages = fetched.value();
    for (Package *package : packages) {
        TrackingResult result;
        result.trackingNumber = package->trackingNumber();
        result.status = TrackingStatus::delivered;
        apply(result, *package, context, false);
        package->setLastErrorMessage(std::nullopt);
    }
    if (!packages.isEmpty()) [[maybe_unused]]
        const auto saved = PackageStore::save(context);
    return int(packages.size());
}

QCoro::Task<TrackingOutcome> TrackingService::fetch(QString trackingNumber, std::optional<QString> carrierCode)
{
    QPointer<TrackingService> self(this);
    QPointer<TrackingProvider> provider(m_provider);
    if (!provider)
        co_return TrackingOutcome::failure(TrackingProvider::providerGoneError());
    TrackingOutcome outcome = TrackingOutcome::failure(TrackingProvider::providerGoneError());
    try {
        outcome = co_await provider->fetchTracking(std::move(trackingNumber), std::move(carrierCode));
    } catch (...) {
        co_return TrackingOutcome::failure(
            TrackingProviderError::providerError(exceptionText(std::current_exception())));
    }
    if (self && !outcome.ok() && outcome.error().kind() == TrackingProviderError::Kind::rateLimited)
        self->noteRateLimit(outcome.error());
    co_return outcome;
}

QCoro::Task<BatchOutcome> TrackingService::fetchBatch(QList<TrackingRequest> requests)
{
    QPointer<TrackingService> self(this);
    QPointer<TrackingProvider> provider(m_provider);
    if (!provider)
        co_return BatchOutcome::failure(TrackingProvider::providerGoneError());
    BatchOutcome batch = BatchOutcome::failure(TrackingProvider::providerGoneError());
    try {
        batch = co_await provider->fetchTrackingBatch(std::move(requests));
    } catch (...) {
        co_return BatchOutcome::failure(TrackingProviderError::providerError(exceptionText(std::current_exception())));
    }
    if (!self)
        co_return batch;
    const auto noteIfLimited = [&](const TrackingProviderError &error) {
        if (error.kind() == TrackingProviderError::Kind::rateLimited)
            self->noteRateLimit(error);
    };
    if (!batch.ok()) {
        noteIfLimited(batch.error());
    } else {
        for (const TrackingOutcome &outcome : batch.value()) {
            if (!outcome.ok())
                noteIfLimited(outcome.error());
        }
    }
    co_return batch;
}

QCoro::Task<DetectionOutcome> TrackingService::detect(QString trackingNumber)
{
    QPointer<TrackingProvider> provider(m_provider);
    if (!provider)
        co_return DetectionOutcome::failure(TrackingProvider::providerGoneError());
    try {
        co_return co_await provider->detectCarrier(std::move(trackingNumber));
    } catch (...) {
        co_return DetectionOutcome::failure(
            TrackingProviderError::providerError(exceptionText(std::current_exception())));
    }
}

QCoro::Task<Package *> TrackingService::addPackage(QString trackingNumber, QString label,
                                                   std::optional<QString> carrierCode, ModelContext &contextRef)
{
    QPointer<TrackingService> self(this);
    QPointer<ModelContext> context(&contextRef);
    const QString number = Package::normalizeTrackingNumber(trackingNumber);

    auto *created = new Package(number, carrierCode.value_or(QString()), label, TrackingStatus::pending);
    QPointer<Package> package(created);
    context->insert(created);

    if (!carrierCode || carrierCode->isEmpty()) {
        const DetectionOutcome detection = co_await detect(number);
        if (!self || !context || !package)
            co_return package.data();
        if (!detection.ok()) {
            LogManager::log(QStringLiteral("Carrier detection failed: ") + detection.error().description());
        } else if (!detection.value().isEmpty() && detection.value().constFirst().confidence > 0.5) {
            package->setCarrierCode(detection.value().constFirst().carrierCode);
        }
    }

    // Arguments are named before co_await: GCC 12 mishandles some temporaries inside co_await expressions.
    const std::optional<QString> fetchCarrier = carrierOrNone(package->carrierCode());
    const TrackingOutcome outcome = co_await fetch(number, fetchCarrier);
    if (!self || !context || !package)
        co_return package.data();
    if (outcome.ok()) {
        if (pickUpExternalChanges(*context, package)) {
            apply(outcome.value(), *package, *context, true);
            package->setLastErrorMessage(std::nullopt);
        }
    } else {
        const QString description = outcome.error().description();
        package->setLastErrorMessage(description);
        LogManager::log(QStringLiteral("Initial fetch failed for ") + number + QStringLiteral(": ") + description);
    }
    [[maybe_unused]] const auto saved = PackageStore::save(*context);
    co_return package.data();
}

QCoro::Task<> TrackingService::refreshPackage(Package *packagePointer, ModelContext &contextRef)
{
    if (!packagePointer)
        co_return;
    QPointer<TrackingService> self(this);
    QPointer<ModelContext> context(&contextRef);
    QPointer<Package> package(packagePointer);
    const QString number = package->trackingNumber();
    if (refuseWhileRateLimited())
        co_return;

    const std::optional<QString> fetchCarrier = carrierOrNone(package->carrierCode());
    const TrackingOutcome outcome = co_await fetch(number, fetchCarrier);
    if (!self || !context || !package || package->isDeleted())
        co_return;
    if (outcome.ok()) {
        if (!pickUpExternalChanges(*context, package))
            co_return;
        apply(outcome.value(), *package, *context, true);
        package->setLastErrorMessage(std::nullopt);
        [[maybe_unused]] const auto saved = PackageStore::save(*context);
        if (!package->hasEvents() && outcome.value().events.isEmpty())
            scheduleBackgroundRetry(package, *context);
    } else {
        const QString description = outcome.error().description();
        package->setLastErrorMessage(description);
        [[maybe_unused]] const auto saved = PackageStore::save(*context);
        LogManager::log(QStringLiteral("Failed to refresh ") + number + QStringLiteral(": ") + description);
        if (!package->hasEvents())
            scheduleBackgroundRetry(package, *context);
    }
}

void TrackingService::finishRefreshAll()
{
    setRefreshing(false);
    m_lastRefreshDate = m_clock->now();
    Q_EMIT lastRefreshDateChanged();
}

QCoro::Task<> TrackingService::refreshAll(ModelContext &contextRef)
{
    QPointer<TrackingService> self(this);
    QPointer<ModelContext> context(&contextRef);

    // Whatever happens below, leaving ends the refresh and stamps its time.
    struct Finish {
        QPointer<TrackingService> service;
        ~Finish()
        {
            if (service)
                service->finishRefreshAll();
        }
    } finish {self};

    setRefreshing(true);
    setErrorMessage(std::nullopt);
    if (refuseWhileRateLimited())
        co_return;

    const auto failBatch = [&](const QString &description) {
        self->setErrorMessage(description);
        LogManager::log(QStringLiteral("Batch refresh failed: ") + description);
        if (context)
            self->cleanupDeliveredPackages(*context);
    };

    // Packages another process (kestrove-cli) added or archived a moment ago count as well.
    [[maybe_unused]] const auto merged = context->refreshFromStore();
    auto fetched = context->fetchPackages([](const Package &package) { return !package.isArchived(); });
    if (!fetched) {
        failBatch(fetched.error().description);
        co_return;
    }
    QList<QPointer<Package>> active;
    QList<TrackingRequest> requests;
    for (Package *package : std::as_const(fetched.value())) {
        if (!package->isActive())
            continue;
        active.append(package);
        requests.append(TrackingRequest {package->trackingNumber(), carrierOrNone(package->carrierCode())});
    }
    if (active.isEmpty())
        co_return;

    const BatchOutcome batch = co_await fetchBatch(requests);
    if (!self || !context)
        co_return;
    if (!batch.ok()) {
        failBatch(batch.error().description());
        co_return;
    }

    [[maybe_unused]] const auto refreshed = context->refreshFromStore();
    const QList<TrackingOutcome> &outcomes = batch.value();
    for (qsizetype i = 0; i < outcomes.size() && i < active.size(); ++i) {
        Package *package = active.at(i);
        // Deleted meanwhile (here or by another process): nothing to record it on.
        if (!package || package->isDeleted())
            continue;
        const TrackingOutcome &outcome = outcomes.at(i);
        if (outcome.ok()) {
            apply(outcome.value(), *package, *context, true);
            package->setLastErrorMessage(std::nullopt);
        } else if (outcome.error().kind() == TrackingProviderError::Kind::rateLimited) {
            // Not asked at all: the package stays as it was, and the service says when it tries again.
            setErrorMessage(outcome.error().description());
        } else {
            const QString description = outcome.error().description();
            package->setLastErrorMessage(description);
            LogManager::log(QStringLiteral("Failed to refresh ") + package->trackingNumber() + QStringLiteral(": ")
                            + description);
        }
    }
    [[maybe_unused]] const auto saved = PackageStore::save(*context);

    QList<Package *> stillThere;
    for (const QPointer<Package> &package : std::as_const(active)) {
        if (package && !package->isDeleted())
            stillThere.append(package);
    }
    m_pollingManager->scheduleNext(stillThere);
    cleanupDeliveredPackages(*context);
}

void TrackingService::applyTrackingResult(const TrackingResult &result, Package &package, ModelContext &context)
{
    apply(result, package, context, true);
}

void TrackingService::apply(const TrackingResult &result, Package &package, ModelContext &, bool notify)
{
    const TrackingStatus oldStatus = package.status();
    const auto isUninformative
        = [](TrackingStatus status) { return status == TrackingStatus::pending || status == TrackingStatus::unknown; };
    // A provider that knows nothing never downgrades what is known.
    const TrackingStatus effective
        = isUninformative(result.status) && !isUninformative(oldStatus) ? oldStatus : result.status;

    package.setStatus(effective);
    package.setLastUpdated(m_clock->now());
    if (result.estimatedDelivery)
        package.setEstimatedDelivery(result.estimatedDelivery);
    if (!result.carrierCode.isEmpty() && package.carrierCode().isEmpty())
        package.setCarrierCode(result.carrierCode);

    // Keys of the stored events only: two identical events inside one result are both kept.
    QSet<EventKey> existing;
    const QList<TrackingEvent *> &events = package.events();
    existing.reserve(events.size());
    for (const TrackingEvent *event : events)
        existing.insert(eventKey(event->timestamp(), event->eventDescription()));
    for (const TrackingResult::TrackingEventData &data : result.events) {
        if (existing.contains(eventKey(data.timestamp, data.description)))
            continue;
        package.appendEvent(std::make_unique<TrackingEvent>(data.timestamp, data.status, data.description,
                                                            data.location, data.rawStatusCode));
    }

    if (effective != oldStatus) {
        Q_EMIT statusChanged(&package, oldStatus, effective);
        if (notify && m_postNotifications) {
            if (effective == TrackingStatus::failedAttempt || effective == TrackingStatus::exception)
                m_notifications->notifyException(package);
            else if (effective == TrackingStatus::delivered)
                m_notifications->notifyDelivered(package);
            else
                m_notifications->notifyStatusChange(package, oldStatus, effective);
        }
    }

    if (oldStatus != TrackingStatus::delivered && effective == TrackingStatus::delivered
        && m_preferences->autoArchiveDelivered()) {
        package.setArchived(true);
        LogManager::log(QStringLiteral("Auto-archived delivered package: ") + package.trackingNumber());
    }
}

void TrackingService::scheduleBackgroundRetry(Package *package, ModelContext &context)
{
    const QString number = package->trackingNumber();
    if (!m_backgroundRetries || m_pendingRetries.contains(number))
        return;
    m_pendingRetries.insert(number);
    LogManager::log(QStringLiteral("Scheduling background retries for ") + number);
    [[maybe_unused]] auto task = runBackgroundRetries(package, &context, number, carrierOrNone(package->carrierCode()));
}

QCoro::Task<> TrackingService::runBackgroundRetries(QPointer<Package> package, QPointer<ModelContext> context,
                                                    QString number, std::optional<QString> carrierCode)
{
    QPointer<TrackingService> self(this);
    Clock *sleeper = m_clock;
    try {
        for (const std::chrono::seconds delay : retryDelays) {
            const std::chrono::milliseconds wait = delay;
            co_await sleeper->sleep(wait);
            if (!self)
                co_return;
            // Another process (kestrove-cli) may have deleted it or stored its data meanwhile.
            if (!package || !context || !pickUpExternalChanges(*context, package) || !package->modelContext()) {
                LogManager::log(QStringLiteral("Background retry: ") + number
                                + QStringLiteral(" was deleted, stopping retries"));
                break;
            }
            if (package->hasEvents()) {
                LogManager::log(QStringLiteral("Background retry: ") + number
                                + QStringLiteral(" now has data, stopping retries"));
                break;
            }
            LogManager::log(QStringLiteral("Background retry (") + QString::number(delay.count())
                            + QStringLiteral("s): fetching ") + number);
            const TrackingOutcome outcome = co_await self->fetch(number, carrierCode);
            if (!self)
                co_return;
            if (!outcome.ok()) {
                LogManager::log(QStringLiteral("Background retry failed for ") + number + QStringLiteral(": ")
                                + outcome.error().description());
                continue;
            }
            if (!package || !context || !pickUpExternalChanges(*context, package)) {
                LogManager::log(QStringLiteral("Background retry: ") + number
                                + QStringLiteral(" was deleted, stopping retries"));
                break;
            }
            self->apply(outcome.value(), *package, *context, true);
            package->setLastErrorMessage(std::nullopt);
            [[maybe_unused]] const auto saved = PackageStore::save(*context);
            if (!outcome.value().events.isEmpty() || outcome.value().status != TrackingStatus::pending) {
                LogManager::log(QStringLiteral("Background retry: got data for ") + number);
                break;
            }
        }
    } catch (...) {
        LogManager::log(QStringLiteral("Background retry failed for ") + number + QStringLiteral(": ")
                        + exceptionText(std::current_exception()));
    }
    if (self) {
        self->m_pendingRetries.remove(number);
        Q_EMIT self->backgroundRetriesFinished(number);
    }
}
