#pragma once

#include <QDateTime>
#include <QObject>
#include <qcoro/qcorotask.h>

#include <chrono>

/**
 * The one source of time. Every wait in Kestrove (request pacing, retry schedules,
 * polling) goes through a Clock, so tests can run long schedules in virtual time.
 */
class Clock : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    /** The current time. */
    [[nodiscard]] virtual QDateTime now() const = 0;

    /** Suspends the caller for the given duration; zero or negative resumes on the next event-loop turn. */
    virtual QCoro::Task<> sleep(std::chrono::milliseconds duration) = 0;

    /** The process-wide real clock, unless a test installed another one with setShared(). */
    static Clock *shared();
    /** Replaces the shared clock (tests); nullptr restores the real clock. Not owned. */
    static void setShared(Clock *clock);
};

/** Wall-clock time and precise timers. */
class RealClock final : public Clock
{
    Q_OBJECT
public:
    using Clock::Clock;
    [[nodiscard]] QDateTime now() const override;
    QCoro::Task<> sleep(std::chrono::milliseconds duration) override;
};
