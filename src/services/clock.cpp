#include "services/clock.h"

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
    // A coarse timer may fire up to 5% early, which would break the request pacing.
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    timer.start(std::max(duration, std::chrono::milliseconds(0)));
    co_await qCoro(&timer, &QTimer::timeout);
}
