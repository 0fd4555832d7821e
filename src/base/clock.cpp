#include "base/clock.h"

#include <QTimer>
#include <qcoro/qcorosignal.h>

namespace
{
Clock *s_override = nullptr;
}

Clock *Clock::shared()
{
    if (s_override)
        return s_override;
    static RealClock realClock;
    return &realClock;
}

void Clock::setShared(Clock *clock)
{
    s_override = clock;
}

QDateTime RealClock::now() const
{
    return QDateTime::currentDateTime();
}

QCoro::Task<> RealClock::sleep(std::chrono::milliseconds duration)
{
    // QTimer counts in an int of milliseconds (about 24.8 days), so long waits go a day at a time.
    constexpr std::chrono::milliseconds longestTimer = std::chrono::hours(24);
    auto remaining = std::max(duration, std::chrono::milliseconds(0));
    do {
        const auto step = std::min(remaining, longestTimer);
        // A coarse timer may fire up to 5% early, which would break the request pacing.
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        timer.setSingleShot(true);
        timer.start(step);
        co_await qCoro(&timer, &QTimer::timeout);
        remaining -= step;
    } while (remaining > std::chrono::milliseconds(0));
}
