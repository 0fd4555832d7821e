#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <chrono>

class Clock;
class ModelContext;
class Package;

/**
 * The screens' saves. A save the user asked for must not fail unseen: every screen saves through
 * here, and a failure is emitted with the store's own text for the main window to show. The
 * changes stay pending in the context and are tried again until they are written, by whoever
 * saves the context next or by the retries here. One reporter per context, its child.
 */
class SaveReporter : public QObject
{
    Q_OBJECT
public:
    /** How long a screen's save waits for another process's write lock: the window must not freeze. */
    static constexpr std::chrono::milliseconds lockWait {250};
    /** The pause between retries of changes that could not be saved. */
    static constexpr std::chrono::seconds retryInterval {3};

    /** The context's reporter, created on first use. */
    [[nodiscard]] static SaveReporter *of(ModelContext &context);

    /** Saves the context; a failure is reported. Returns whether it was written. */
    static bool save(ModelContext &context);
    /** Deletes the packages from their groups and the store, then saves; a failure is reported. */
    static bool deletePackages(const QList<Package *> &packages, ModelContext &context);

    /** After a failed save, tries again every retryInterval on clock until the changes are written. */
    void setRetryClock(Clock *clock);
    /** True from a failed save until the context's changes are written. */
    [[nodiscard]] bool hasUnsavedChanges() const { return m_unsaved; }

Q_SIGNALS:
    /** A save failed; description tells why (the store error's description). */
    void saveFailed(const QString &description);
    /** A save went through: whatever an earlier failure left unsaved is written now. */
    void saved();

private:
    explicit SaveReporter(ModelContext &context);
    template<typename R> bool report(const R &result);
    QCoro::Task<> retryUntilSaved();

    ModelContext &m_context;
    Clock *m_clock = nullptr;
    bool m_unsaved = false;
    bool m_retrying = false;
};
