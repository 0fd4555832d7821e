#pragma once

#include "base/result.h"
#include "model/modelcontext.h"
#include "model/packagelistrule.h"

#include <QList>
#include <QSet>
#include <QString>

class Package;
class PackageGroup;
class Preferences;
class QDateTime;

/** Save, delete and the retention clean-up over a ModelContext; no state of its own. */
namespace PackageStore
{
/** A save that the object store refused. */
struct StoreError {
    enum class Kind {
        saveFailed,
    };
    Kind kind = Kind::saveFailed;
    /** The error the object store raised. */
    ModelError underlying;

    /** "PackageStore save failed: " + the underlying error's description. */
    [[nodiscard]] QString description() const;
};

/** Saves the context; a failure is logged and returned as StoreError::Kind::saveFailed. */
Result<void, StoreError> save(ModelContext &context);

/**
 * Detaches every package from its groups, deletes them (their events go with them) and
 * saves. An empty list only saves. A failed save leaves them deleted in the context.
 */
Result<void, StoreError> deletePackages(const QList<Package *> &packages, ModelContext &context);
Result<void, StoreError> deletePackages(const QSet<Package *> &packages, ModelContext &context);

/** The groups that match (all by default), lowest sortOrder first: the order of every list of groups. */
[[nodiscard]] Result<QList<PackageGroup *>, ModelError>
fetchGroupsInOrder(ModelContext &context, const ModelContext::GroupPredicate &predicate = {});

/**
 * PackageListRule::visiblePackages() of every package, newest update first: the rows the filter or
 * group and the search let through are picked by SQLite, so only those become objects. With unsaved
 * changes in the context the rule runs on every package instead, as the rows would not show them.
 */
[[nodiscard]] Result<QList<Package *>, ModelError> fetchVisiblePackages(ModelContext &context,
                                                                        const PackageListRule::Criteria &criteria);

/**
 * Deletes delivered packages whose lastUpdated lies strictly before now minus
 * "autoDeleteDelay" (43200 s when not greater than 0), when "autoDeleteEnabled" is on in
 * preferences; reports only through the log.
 */
void cleanupDeliveredPackages(ModelContext &context, const Preferences &preferences, const QDateTime &now);
}
