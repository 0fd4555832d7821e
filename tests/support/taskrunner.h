#pragma once

#include <QObject>
#include <QTest>
#include <qcoro/qcorotask.h>

#include <optional>

namespace TestSupport
{
/** Runs a task to its end on the event loop; empty (with a warning) when it takes longer than the limit. */
template<typename T> std::optional<T> runTask(QCoro::Task<T> &&task, int limitMs = 20000)
{
    std::optional<T> value;
    QObject context;
    QCoro::connect(std::move(task), &context, [&](T &&result) { value.emplace(std::move(result)); });
    if (!QTest::qWaitFor([&] { return value.has_value(); }, limitMs))
        qWarning("task still running after %d ms", limitMs);
    return value;
}

/** Runs a task without a value to its end; false when it did not finish within the limit. */
inline bool runTask(QCoro::Task<> &&task, int limitMs = 20000)
{
    bool done = false;
    QObject context;
    QCoro::connect(std::move(task), &context, [&] { done = true; });
    return QTest::qWaitFor([&] { return done; }, limitMs);
}
}
