#include "model/packagestore.h"

#include "base/logmanager.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/preferences.h"
#include "model/storesearch.h"

#include <algorithm>

namespace PackageStore
{
QString StoreError::description() const
{
    return QStringLiteral("PackageStore save failed: ") + underlying.description;
}

Result<void, StoreError> save(ModelContext &context)
{
    auto saved = context.save();
    if (saved)
        return {};
    const ModelError &error = saved.error();
    LogManager::log(QStringLiteral("PackageStore.save failed: ") + error.description + QStringLiteral(" \u2014 ")
                    + error.fullDescription());
    return Result<void, StoreError>::failure({StoreError::Kind::saveFailed, error});
}

Result<void, StoreError> deletePackages(const QList<Package *> &packages, ModelContext &context)
{
    for (Package *package : packages)
        package->prepareForDeletion();
    for (Package *package : packages)
        context.remove(package);
    return save(context);
}

Result<void, StoreError> deletePackages(const QSet<Package *> &packages, ModelContext &context)
{
    return deletePackages(QList<Package *>(packages.begin(), packages.end()), context);
}

Result<QList<PackageGroup *>, ModelError> fetchGroupsInOrder(ModelContext &context,
                                                             const ModelContext::GroupPredicate &predicate)
{
    return context.fetchGroups(
        predicate, [](const PackageGroup &a, const PackageGroup &b) { return a.sortOrder() < b.sortOrder(); });
}

Result<QList<Package *>, ModelError> fetchVisiblePackages(ModelContext &context,
                                                          const PackageListRule::Criteria &criteria)
{
    // Newest update first, like the main window's query; the rule keeps this order among ties.
    const auto newestFirst = [](const Package &a, const Package &b) { return a.lastUpdated() > b.lastUpdated(); };
    if (context.hasChanges() || (criteria.group && criteria.group->persistentId() == 0)) {
        auto all = context.fetchPackages({}, newestFirst);
        if (!all)
            return all;
        return PackageListRule::visiblePackages(all.value(), criteria);
    }

    // The rows the rule would keep; it then runs again on just those, for the order.
    QStringList conditions;
    QVariantList values;
    if (criteria.group) {
        conditions.append(QStringLiteral("id IN (SELECT packageId FROM PackageGroupMembership WHERE groupId = ?)"));
        values.append(criteria.group->persistentId());
    } else {
        const PackageFilters::Rule rule = PackageFilters::rule(criteria.filter);
        conditions.append(rule.archived ? QStringLiteral("isArchived <> 0") : QStringLiteral("isArchived = 0"));
        if (!rule.statuses.empty()) {
            QStringList placeholders;
            for (const TrackingStatus status : rule.statuses) {
                placeholders.append(QStringLiteral("?"));
                values.append(TrackingStatuses::rawValue(status));
            }
            conditions.append(QStringLiteral("status IN (%1)").arg(placeholders.join(u", ")));
        }
    }
    if (!criteria.searchText.isEmpty()) {
        conditions.append(StoreSearch::condition.toString());
        values.append(criteria.searchText);
    }
    auto found = context.packagesWhere(conditions.join(u" AND "), values);
    if (!found)
        return found;
    QList<Package *> candidates = std::move(found).value();
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const Package *a, const Package *b) { return newestFirst(*a, *b); });
    return PackageListRule::visiblePackages(candidates, criteria);
}

void cleanupDeliveredPackages(ModelContext &context, const Preferences &preferences, const QDateTime &now)
{
    if (!preferences.autoDeleteEnabled())
        return;
    // autoDeleteDelay() already counts a value not greater than 0 as 12 hours. A delay of millions of
    // years (someone's "never") is capped so that the milliseconds stay within range: nothing is that old.
    constexpr double longestDelayMs = 1e18;
    const auto delay = static_cast<qint64>(std::min(preferences.autoDeleteDelay() * 1000.0, longestDelayMs));
    const QDateTime cutoff = now.addMSecs(-delay);

    // Judged on what the file holds now: another process may have refreshed or deleted packages meanwhile.
    if (auto merged = context.refreshFromStore(); !merged) {
        LogManager::log(QStringLiteral("Auto-delete cleanup fetch failed: ") + merged.error().description);
        return;
    }
    auto fetched = context.fetchPackages([&](const Package &package) { return package.lastUpdated() < cutoff; });
    if (!fetched) {
        LogManager::log(QStringLiteral("Auto-delete cleanup fetch failed: ") + fetched.error().description);
        return;
    }
    QList<Package *> delivered;
    for (Package *package : fetched.value()) {
        if (package->status() == TrackingStatus::delivered)
            delivered.append(package);
    }
    if (delivered.isEmpty())
        return;

    const QString cutoffText
        = cutoff.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + QStringLiteral(" +0000");
    for (const Package *package : std::as_const(delivered)) {
        LogManager::log(QStringLiteral("Auto-deleting delivered package: ") + package->trackingNumber()
                        + QStringLiteral(" (delivered before ") + cutoffText + QLatin1Char(')'));
    }
    const qsizetype count = delivered.size();
    if (auto deleted = deletePackages(delivered, context); deleted)
        LogManager::log(QStringLiteral("Auto-deleted %1 delivered package(s)").arg(count));
    else
        LogManager::log(QStringLiteral("Auto-delete cleanup failed during save: ") + deleted.error().description());
}
}
