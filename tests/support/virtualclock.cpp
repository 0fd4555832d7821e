#include "virtualclock.h"

#include <QTimer>
#include <qcoro/qcorosignal.h>

#include <algorithm>

class VirtualClockWaiter : public QObject
{
    Q_OBJECT
public:
    QDateTime deadline;
    quint64 sequence = 0;
Q_SIGNALS:
    void woken();
};

VirtualClock::VirtualClock(const QDateTime &start, QObject *parent)
    : Clock(parent)
    , m_now(start)
{ }

VirtualClock::~VirtualClock() = default;

QDateTime VirtualClock::now() const
{
    return m_now;
}

QCoro::Task<> VirtualClock::sleep(std::chrono::milliseconds duration)
{
    m_requested.append(duration);
    VirtualClockWaiter waiter;
    waiter.deadline = m_now.addMSecs(std::max<qint64>(duration.count(), 0));
    waiter.sequence = m_sequence++;
    m_waiters.append(&waiter);
    if (duration.count() <= 0 || m_autoAdvance)
        scheduleAutoAdvance();
    co_await qCoro(&waiter, &VirtualClockWaiter::woken);
}

void VirtualClock::setNow(const QDateTime &time)
{
    m_now = time;
    wakeDue();
}

void VirtualClock::advance(std::chrono::milliseconds duration)
{
    const QDateTime target = m_now.addMSecs(duration.count());
    // Step through the deadlines so that each sleeper sees its own wake-up time.
    while (true) {
        QDateTime earliest;
        for (const auto &waiter : std::as_const(m_waiters)) {
            if (waiter && waiter->deadline <= target && (!earliest.isValid() || waiter->deadline < earliest))
                earliest = waiter->deadline;
        }
        if (!earliest.isValid())
            break;
        m_now = std::max(m_now, earliest);
        wakeDue();
    }
    m_now = target;
}

bool VirtualClock::advanceToNextDeadline()
{
    QDateTime earliest;
    for (const auto &waiter : std::as_const(m_waiters)) {
        if (waiter && (!earliest.isValid() || waiter->deadline < earliest))
            earliest = waiter->deadline;
    }
    if (!earliest.isValid())
        return false;
    m_now = std::max(m_now, earliest);
    wakeDue();
    return true;
}

void VirtualClock::setAutoAdvance(bool enabled)
{
    m_autoAdvance = enabled;
    if (enabled && pendingSleepers() > 0)
        scheduleAutoAdvance();
}

qsizetype VirtualClock::pendingSleepers() const
{
    return std::count_if(m_waiters.begin(), m_waiters.end(), [](const auto &w) { return !w.isNull(); });
}

void VirtualClock::wakeDue()
{
    m_waiters.removeIf([](const auto &w) { return w.isNull(); });
    QList<QPointer<VirtualClockWaiter>> due;
    for (const auto &waiter : std::as_const(m_waiters)) {
        if (waiter->deadline <= m_now)
            due.append(waiter);
    }
    std::sort(due.begin(), due.end(), [](const auto &a, const auto &b) {
        return a->deadline != b->deadline ? a->deadline < b->deadline : a->sequence < b->sequence;
    });
    for (const auto &waiter : std::as_const(due))
        m_waiters.removeOne(waiter);
    // A woken coroutine may end other sleepers' frames, hence the guarded pointers.
    for (const auto &waiter : std::as_const(due)) {
        if (waiter)
            Q_EMIT waiter->woken();
    }
}

void VirtualClock::scheduleAutoAdvance()
{
    if (m_autoAdvanceScheduled)
        return;
    m_autoAdvanceScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_autoAdvanceScheduled = false;
        if (m_autoAdvance) {
            advanceToNextDeadline();
        } else {
            wakeDue(); // zero-length sleeps
        }
        if (m_autoAdvance && pendingSleepers() > 0)
            scheduleAutoAdvance();
    });
}

#include "virtualclock.moc"
