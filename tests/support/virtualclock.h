#pragma once

#include "base/clock.h"

#include <QList>
#include <QPointer>

#include <chrono>

class VirtualClockWaiter;

/**
 * A clock whose time moves only when the test says so. In auto-advance mode every
 * sleep ends on the next event-loop turn and time jumps to its deadline, so that
 * minutes of schedule run in milliseconds while network I/O stays real.
 */
class VirtualClock final : public Clock
{
    Q_OBJECT
public:
    explicit VirtualClock(const QDateTime &start = QDateTime(QDate(2026, 6, 15), QTime(12, 0)),
                          QObject *parent = nullptr);
    ~VirtualClock() override;

    [[nodiscard]] QDateTime now() const override;
    QCoro::Task<> sleep(std::chrono::milliseconds duration) override;

    void setNow(const QDateTime &time);
    /** Moves time forward, waking every sleeper whose deadline is reached, in deadline order. */
    void advance(std::chrono::milliseconds duration);
    /** Jumps to the earliest pending deadline and wakes those sleepers; false when none sleeps. */
    bool advanceToNextDeadline();
    void setAutoAdvance(bool enabled);

    [[nodiscard]] qsizetype pendingSleepers() const;
    /** Every sleep duration requested so far, in order. */
    [[nodiscard]] QList<std::chrono::milliseconds> requestedSleeps() const { return m_requested; }

private:
    void wakeDue();
    void scheduleAutoAdvance();

    QDateTime m_now;
    QList<QPointer<VirtualClockWaiter>> m_waiters;
    QList<std::chrono::milliseconds> m_requested;
    bool m_autoAdvance = false;
    bool m_autoAdvanceScheduled = false;
    quint64 m_sequence = 0;
};
