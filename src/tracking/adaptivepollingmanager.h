#pragma once

#include <QDBusConnection>
#include <QDateTime>
#include <QList>
#include <QObject>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <optional>

class Clock;
class Package;
class Preferences;

/**
 * Decides when the next automatic refresh of all packages happens and triggers it. The
 * interval adapts to the tracked packages, is capped by the "refreshInterval" preference and
 * never drops below 30 seconds. Polling pauses between logind's PrepareForSleep(true) and
 * PrepareForSleep(false); without a system bus it simply never pauses.
 */
class AdaptivePollingManager : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool isRunning READ isRunning NOTIFY isRunningChanged)
    Q_PROPERTY(QDateTime nextPollDate READ nextPollDateOrNull NOTIFY nextPollDateChanged)
public:
    /** Awaited when a poll is due. */
    using RefreshCallback = std::function<QCoro::Task<>()>;

    /** Collaborators; clock and preferences are required and not owned. */
    struct Options {
        Clock *clock = nullptr;
        Preferences *preferences = nullptr;
        /** The bus that carries logind's sleep signal; none means QDBusConnection::systemBus(). */
        std::optional<QDBusConnection> systemBus;
        /** False leaves the system bus alone (the command-line front end never polls). */
        bool observeSystemSleep = true;
    };

    static constexpr std::chrono::seconds defaultGlobalInterval {900};
    static constexpr std::chrono::seconds minimumInterval {30};
    /** Longer stored intervals count as this (about 100 years): never in practice, but never an overflow. */
    static constexpr std::chrono::seconds maximumInterval {100LL * 365 * 24 * 3600};

    explicit AdaptivePollingManager(Options options, QObject *parent = nullptr);
    ~AdaptivePollingManager() override;

    /**
     * The interval rule: the smallest interval of the active packages (their custom interval, else
     * one by status), capped by the global interval; the global interval alone when no package is
     * active; never less than 30 s. refreshIntervalSeconds not greater than 0 counts as 900.
     */
    [[nodiscard]] static std::chrono::milliseconds computeInterval(const QList<Package *> &packages,
                                                                   double refreshIntervalSeconds, const QDateTime &now);
    /** The interval rule with the stored preference and the clock's time. */
    [[nodiscard]] std::chrono::milliseconds computeInterval(const QList<Package *> &packages) const;

    /** Installs the callback a due poll awaits (the tracking service's refresh of all packages). */
    void setOnRefreshNeeded(RefreshCallback callback);

    [[nodiscard]] bool isRunning() const { return m_running; }
    /** Marks polling as active; there is no way back. */
    void setRunning();
    /** When not running yet: marks running and plans the first poll at the global interval. */
    void start();

    /**
     * Replaces the planned poll with one computed from these packages, never before the time of
     * deferUntil(); nothing while not running.
     */
    void scheduleNext(const QList<Package *> &packages);
    /** No poll before this time (the service asked to wait); a poll planned earlier moves to it. */
    void deferUntil(const QDateTime &time);

    /** When the planned poll is due; absent before the first plan. Left as it was by a system sleep. */
    [[nodiscard]] std::optional<QDateTime> nextPollDate() const { return m_nextPollDate; }
    /** True while a planned poll waits for its time. */
    [[nodiscard]] bool hasPlannedPoll() const { return m_planned; }
    /** False between the system's will-sleep and did-wake. */
    [[nodiscard]] bool isSystemAwake() const { return m_systemAwake; }
    /** True when logind's sleep signal is subscribed on a connected system bus. */
    [[nodiscard]] bool isObservingSystemSleep() const { return m_observingSleep; }

public Q_SLOTS:
    /** logind's PrepareForSleep(bool): true before the system sleeps, false after it woke. */
    void handlePrepareForSleep(bool start);
    /** Pauses polling: the planned poll is cancelled and nothing is planned until systemDidWake(). */
    void systemWillSleep();
    /** Resumes polling one global interval from now. */
    void systemDidWake();

Q_SIGNALS:
    void isRunningChanged();
    void nextPollDateChanged();
    /** A planned poll became due and is about to await the refresh callback. */
    void pollStarted();
    /** The refresh callback of a poll has returned. */
    void pollFinished();

private:
    [[nodiscard]] QDateTime nextPollDateOrNull() const { return m_nextPollDate.value_or(QDateTime()); }
    void cancelPlannedPoll();
    QCoro::Task<> runPoll(quint64 generation, std::chrono::milliseconds interval);

    Clock *m_clock;
    Preferences *m_preferences;
    RefreshCallback m_onRefreshNeeded;
    bool m_running = false;
    bool m_systemAwake = true;
    bool m_planned = false;
    bool m_observingSleep = false;
    std::optional<QDateTime> m_nextPollDate;
    QDateTime m_notBefore;
    // Each plan gets a new generation; a sleeping poll whose generation is outdated was cancelled.
    quint64 m_generation = 0;
};
