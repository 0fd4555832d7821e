#pragma once

#include <QList>
#include <QObject>
#include <QString>

class ModelContext;
class Package;

/**
 * The screens' saves. A save the user asked for must not fail unseen: every screen saves through
 * here, and a failure is emitted with the store's own text for the main window to show. The
 * tracking service saves on its own and stays silent. One reporter per context, its child.
 */
class SaveReporter : public QObject
{
    Q_OBJECT
public:
    /** The context's reporter, created on first use. */
    [[nodiscard]] static SaveReporter *of(ModelContext &context);

    /** Saves the context; a failure is reported. Returns whether it was written. */
    static bool save(ModelContext &context);
    /** Deletes the packages from their groups and the store, then saves; a failure is reported. */
    static bool deletePackages(const QList<Package *> &packages, ModelContext &context);

Q_SIGNALS:
    /** A save failed; description tells why (the store error's description). */
    void saveFailed(const QString &description);
    /** A save went through: whatever an earlier failure left unsaved is written now. */
    void saved();

private:
    explicit SaveReporter(ModelContext &context);
    template<typename R> bool report(const R &result);
};
