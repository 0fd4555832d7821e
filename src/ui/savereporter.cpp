#include "ui/savereporter.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/packagestore.h"

#include <QPointer>

#include <algorithm>

namespace
{
/** Runs the save with at most a short wait for another process's lock, then restores the context's own wait. */
template<typename Save> auto withShortLockWait(ModelContext &context, Save save)
{
    const std::chrono::milliseconds usual = context.busyTimeout();
    context.setBusyTimeout(std::min(usual, SaveReporter::lockWait));
    auto result = save();
    context.setBusyTimeout(usual);
    return result;
}
}

SaveReporter::SaveReporter(ModelContext &context)
    : QObject(&context)
    , m_context(context)
{
    // The tracking service saves the same context on its own; what it writes counts as saved too.
    connect(&context, &ModelContext::objectsChanged, this, [this](const ModelChanges &changes) {
        if (m_unsaved && changes.origin == ModelChanges::Origin::saved && !m_context.hasChanges()) {
            m_unsaved = false;
            Q_EMIT saved();
        }
    });
}

SaveReporter *SaveReporter::of(ModelContext &context)
{
    if (auto *reporter = context.findChild<SaveReporter *>(QString(), Qt::FindDirectChildrenOnly))
        return reporter;
    return new SaveReporter(context);
}

void SaveReporter::setRetryClock(Clock *clock)
{
    m_clock = clock;
}

template<typename R> bool SaveReporter::report(const R &result)
{
    if (result) {
        m_unsaved = false;
        Q_EMIT saved();
        return true;
    }
    m_unsaved = true;
    // The store's text names the cause (a full disk, a read-only file, a lock held too long).
    Q_EMIT saveFailed(result.error().underlying.description);
    if (m_clock && !m_retrying)
        (void)retryUntilSaved();
    return false;
}

QCoro::Task<> SaveReporter::retryUntilSaved()
{
    m_retrying = true;
    QPointer<SaveReporter> self(this);
    while (true) {
        co_await m_clock->sleep(retryInterval);
        if (!self)
            co_return;
        if (!m_unsaved || !m_context.hasChanges())
            break;
        // Not through PackageStore: the first failure is in the log, a retry every few seconds is not.
        const auto retried = withShortLockWait(m_context, [this] { return m_context.save(); });
        if (retried) {
            m_unsaved = false;
            Q_EMIT saved();
            break;
        }
    }
    m_retrying = false;
}

bool SaveReporter::save(ModelContext &context)
{
    return of(context)->report(withShortLockWait(context, [&] { return PackageStore::save(context); }));
}

bool SaveReporter::deletePackages(const QList<Package *> &packages, ModelContext &context)
{
    return of(context)->report(
        withShortLockWait(context, [&] { return PackageStore::deletePackages(packages, context); }));
}
