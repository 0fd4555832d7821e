#include "tracking/adaptivepollingmanager.h"

#include "base/clock.h"
#include "model/package.h"
#include "model/preferences.h"

#include <QPointer>

#include <algorithm>
#include <cmath>

namespace
{
using std::chrono::milliseconds;

constexpr milliseconds longestSleep = std::chrono::hours(24);

milliseconds fromSeconds(double seconds)
{
    // A stored interval of 1e300 s would overflow into a negative wait and poll in a tight loop.
    constexpr double longest = double(AdaptivePollingManager::maximumInterval.count());
    return milliseconds(std::llround(std::min(seconds, longest) * 1000.0));
}

/** How often one active package wants to be looked at, by what it is doing. */
double packageIntervalSeconds(const Package &package, const QDateTime &now)
{
    if (const auto custom = package.customRefreshInterval(); custom && *custom > 0)
        return *custom;
    switch (package.status()) {
    case TrackingStatus::pending:
        return 3600;
    case TrackingStatus::inTransit:
        // A shipment that has not moved for a day is unlikely to move in the next quarter hour.
        return package.lastUpdated().secsTo(now) >= 24 * 3600 ? 1800 : 900;
    case TrackingStatus::outForDelivery:
        return 120;
    case TrackingStatus::failedAttempt:
    case TrackingStatus::exception:
        return 900;
    case TrackingStatus::unknown:
        return 1800;
    case TrackingStatus::delivered:
    case TrackingStatus::expired:
        break; // never active
    }
    return 1800;
}
}

AdaptivePollingManager::AdaptivePollingManager(Options options, QObject *parent)
    : QObject(parent)
    , m_clock(options.clock)
    , m_preferences(options.preferences)
{
    Q_ASSERT(m_clock && m_preferences);
    // A new refresh interval counts from now, not from the next poll of the old one.
    connect(m_preferences, &Preferences::valueChanged, this, [this](const QString &key) {
        if (key == PreferenceKeys::refreshInterval && m_planned)
            scheduleNext({});
    });
    if (!options.observeSystemSleep)
        return;
    QDBusConnection bus = options.systemBus.value_or(QDBusConnection::systemBus());
    // Without a system bus there is no one to tell us about sleep, and polling never pauses.
    if (!bus.isConnected())
        return;
    m_observingSleep = bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                                   QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                                   this, SLOT(handlePrepareForSleep(bool)));
}

AdaptivePollingManager::~AdaptivePollingManager() = default;

std::chrono::milliseconds AdaptivePollingManager::computeInterval(const QList<Package *> &packages,
                                                                  double refreshIntervalSeconds, const QDateTime &now)
{
    const double global = refreshIntervalSeconds > 0 ? refreshIntervalSeconds : double(defaultGlobalInterval.count());

    std::optional<double> smallest;
    for (const Package *package : packages) {
        if (!package || !package->isActive())
            continue;
        const double interval = packageIntervalSeconds(*package, now);
        smallest = smallest ? std::min(*smallest, interval) : interval;
    }
    if (!smallest)
        return fromSeconds(std::max(global, double(minimumInterval.count())));
    return fromSeconds(std::max(std::min(*smallest, global), double(minimumInterval.count())));
}

std::chrono::milliseconds AdaptivePollingManager::computeInterval(const QList<Package *> &packages) const
{
    // Within its documented range: a hand-edited 0.001 s would otherwise poll without pause.
    return computeInterval(packages, m_preferences->refreshInterval(), m_clock->now());
}

void AdaptivePollingManager::setOnRefreshNeeded(RefreshCallback callback)
{
    m_onRefreshNeeded = std::move(callback);
}

void AdaptivePollingManager::setRunning()
{
    if (m_running)
        return;
    m_running = true;
    Q_EMIT isRunningChanged();
}

void AdaptivePollingManager::start()
{
    if (m_running)
        return;
    setRunning();
    scheduleNext({});
}

void AdaptivePollingManager::cancelPlannedPoll()
{
    ++m_generation;
    m_planned = false;
}

void AdaptivePollingManager::scheduleNext(const QList<Package *> &packages)
{
    cancelPlannedPoll();
    if (!m_running)
        return;

    milliseconds interval = computeInterval(packages);
    if (m_notBefore.isValid())
        interval = std::max(interval, milliseconds(m_clock->now().msecsTo(m_notBefore)));
    m_nextPollDate = m_clock->now().addMSecs(interval.count());
    Q_EMIT nextPollDateChanged();

    m_planned = true;
    [[maybe_unused]] auto task = runPoll(m_generation, interval);
}

QCoro::Task<> AdaptivePollingManager::runPoll(quint64 generation, std::chrono::milliseconds interval)
{
    QPointer<AdaptivePollingManager> self(this);
    Clock *clock = m_clock;
    // A timer cannot wait much longer than 24 days, so a longer interval is slept a day at a time
    // until its due time.
    const QDateTime due = clock->now().addMSecs(interval.count());
    for (milliseconds left = interval;;) {
        const milliseconds part = std::min(left, longestSleep);
        co_await clock->sleep(part);
        if (part == left || !self || self->m_generation != generation)
            break;
        left = milliseconds(clock->now().msecsTo(due));
        if (left <= milliseconds(0))
            break;
    }

    // A newer plan, a system sleep or the manager's end all cancel this poll.
    if (!self || !self->m_running || self->m_generation != generation || !self->m_systemAwake)
        co_return;
    self->m_planned = false;

    Q_EMIT self->pollStarted();
    if (self->m_onRefreshNeeded) {
        // Copied, so that replacing the callback while it runs cannot destroy the running one.
        const RefreshCallback callback = self->m_onRefreshNeeded;
        co_await callback();
        if (!self)
            co_return;
    }
    Q_EMIT self->pollFinished();
    // Automatic polls keep the steady rhythm of the global interval; this replaces whatever
    // the refresh itself planned from its active packages.
    if (self->m_running)
        self->scheduleNext({});
}

void AdaptivePollingManager::deferUntil(const QDateTime &time)
{
    m_notBefore = time;
    if (m_planned && m_nextPollDate && *m_nextPollDate < time)
        scheduleNext({});
}

void AdaptivePollingManager::handlePrepareForSleep(bool start)
{
    if (start)
        systemWillSleep();
    else
        systemDidWake();
}

void AdaptivePollingManager::systemWillSleep()
{
    m_systemAwake = false;
    cancelPlannedPoll();
}

void AdaptivePollingManager::systemDidWake()
{
    m_systemAwake = true;
    if (m_running)
        scheduleNext({});
}
