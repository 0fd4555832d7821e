#include "model/modelcontext.h"

#include "model/modelschema.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/storemerge.h"
#include "model/storesave.h"
#include "model/storewatcher.h"
#include "model/trackingevent.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTimer>

#include <algorithm>

namespace
{
QAtomicInteger<quint64> s_connectionCounter;
}

QString ModelError::fullDescription() const
{
    static const char *const names[]
        = {"driverUnavailable", "cannotOpen",      "readOnly",    "notAStore",         "corrupt",
           "newerSchema",       "migrationFailed", "queryFailed", "externalDataFailed"};
    return QStringLiteral("ModelError.%1(description: \"%2\", details: \"%3\")")
        .arg(QLatin1String(names[static_cast<int>(code)]), description, details);
}

bool ModelChanges::isEmpty() const
{
    return insertedPackages.isEmpty() && updatedPackages.isEmpty() && deletedPackages.isEmpty()
        && insertedGroups.isEmpty() && updatedGroups.isEmpty() && deletedGroups.isEmpty();
}

Result<std::unique_ptr<ModelContext>, ModelError> ModelContext::openForInserting(const QString &path)
{
    using R = Result<std::unique_ptr<ModelContext>, ModelError>;
    const QString connectionName = QStringLiteral("kestrove-store-%1").arg(s_connectionCounter.fetchAndAddRelaxed(1));
    auto database = ModelSchema::openDatabase(path, connectionName);
    if (!database)
        return R::failure(database.error());
    std::unique_ptr<ModelContext> context(new ModelContext(QFileInfo(path).absoluteFilePath(), database.value()));
    context->m_connectionName = connectionName;
    return R(std::move(context));
}

Result<std::unique_ptr<ModelContext>, ModelError> ModelContext::open(const QString &path)
{
    return openAndRead(path, [](ModelContext &context) -> Result<void, ModelError> {
        ModelChanges ignored;
        if (auto loaded = StoreMerge(context).run(ignored); !loaded)
            return Result<void, ModelError>::failure(loaded.error());
        return {};
    });
}

Result<std::unique_ptr<ModelContext>, ModelError> ModelContext::openProgressively(const QString &path,
                                                                                  int firstPackages)
{
    return openAndRead(path, [firstPackages](ModelContext &context) -> Result<void, ModelError> {
        ModelChanges ignored;
        StoreMerge::Selection selection;
        selection.orderBy = QStringLiteral("isPinned DESC, lastUpdated DESC, id");
        selection.limit = firstPackages;
        auto first = StoreMerge(context).readSome(selection, ignored);
        if (!first)
            return Result<void, ModelError>::failure(first.error());
        context.m_loaded = true;
        context.m_restPending = first.value() >= firstPackages;
        return {};
    });
}

Result<std::unique_ptr<ModelContext>, ModelError>
ModelContext::openAndRead(const QString &path, const std::function<Result<void, ModelError>(ModelContext &)> &read)
{
    using R = Result<std::unique_ptr<ModelContext>, ModelError>;
    auto opened = openForInserting(path);
    if (!opened)
        return opened;
    std::unique_ptr<ModelContext> context = std::move(opened).value();
    if (auto done = read(*context); !done)
        return R::failure(done.error());
    return R(std::move(context));
}

ModelContext::ModelContext(const QString &path, QSqlDatabase database, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_externalDataDirectory(QFileInfo(path).absolutePath() + QLatin1Char('/') + QFileInfo(path).completeBaseName()
                              + QStringLiteral("-external"))
    , m_db(std::move(database))
{ }

ModelContext::~ModelContext()
{
    delete m_watcher; // no merge while the records go
    m_watcher = nullptr;
    // Children go in creation order; emptying the relationship lists first keeps that linear.
    for (QObject *child : children()) {
        if (auto *package = qobject_cast<Package *>(child))
            package->m_groups.clear();
        else if (auto *group = qobject_cast<PackageGroup *>(child))
            group->m_packages.clear();
    }
    const QString name = m_connectionName;
    m_db.close();
    m_db = QSqlDatabase();
    if (!name.isEmpty())
        QSqlDatabase::removeDatabase(name);
}

// ---- Identity map and unsaved changes --------------------------------------------------------

void ModelContext::insert(Package *package)
{
    if (!package || package->m_context == this)
        return;
    if (package->m_context || package->m_deleted) {
        qWarning("ModelContext::insert: the package belongs to another context or was deleted");
        return;
    }
    package->setParent(this);
    package->m_context = this;
    package->m_imageDirectory = m_externalDataDirectory; // shared, not copied per package
    m_packages.append(package);
    m_insertedPackages.append(package);
    for (PackageGroup *group : std::as_const(package->m_groups)) {
        if (!group->m_context)
            insert(group);
        if (group->m_context == this)
            noteLink(package, group, true);
    }
    ModelChanges changes;
    changes.insertedPackages = {package};
    announce(changes);
}

void ModelContext::insert(PackageGroup *group)
{
    if (!group || group->m_context == this)
        return;
    if (group->m_context || group->m_deleted) {
        qWarning("ModelContext::insert: the group belongs to another context or was deleted");
        return;
    }
    group->setParent(this);
    group->m_context = this;
    m_groups.append(group);
    m_insertedGroups.append(group);
    for (Package *package : std::as_const(group->m_packages)) {
        if (!package->m_context)
            insert(package);
        if (package->m_context == this)
            noteLink(package, group, true);
    }
    ModelChanges changes;
    changes.insertedGroups = {group};
    announce(changes);
}

void ModelContext::remove(Package *package)
{
    if (!package || package->m_context != this)
        return;
    if (package->m_rowId != 0)
        m_deletedPackages.append(package);
    else
        m_insertedPackages.removeOne(package);
    // Nullify: the groups stay, without this package. The store drops the membership rows by cascade.
    ModelChanges changes;
    detachDeleted(package, changes);
    for (PackageGroup *group : std::as_const(changes.updatedGroups))
        Q_EMIT group->changed();
    Q_EMIT package->changed();
    announce(changes);
}

void ModelContext::remove(PackageGroup *group)
{
    if (!group || group->m_context != this)
        return;
    if (group->m_rowId != 0)
        m_deletedGroups.append(group);
    else
        m_insertedGroups.removeOne(group);
    ModelChanges changes;
    detachDeleted(group, changes);
    for (Package *package : std::as_const(changes.updatedPackages))
        Q_EMIT package->changed();
    Q_EMIT group->changed();
    announce(changes);
}

void ModelContext::noteChanged(Package *package)
{
    // A record that was never saved is written whole by its INSERT.
    if (package->m_rowId != 0)
        m_changedPackages.insert(package);
}

void ModelContext::noteChanged(PackageGroup *group)
{
    if (group->m_rowId != 0)
        m_changedGroups.insert(group);
}

void ModelContext::noteLink(Package *package, PackageGroup *group, bool add)
{
    m_linkOps.append({package, group, add});
}

bool ModelContext::hasChanges() const
{
    return !m_insertedPackages.isEmpty() || !m_insertedGroups.isEmpty() || !m_changedPackages.isEmpty()
        || !m_changedGroups.isEmpty() || !m_deletedPackages.isEmpty() || !m_deletedGroups.isEmpty()
        || !m_linkOps.isEmpty();
}

Package *ModelContext::package(qint64 persistentId) const
{
    return m_packagesById.value(persistentId);
}

PackageGroup *ModelContext::group(qint64 persistentId) const
{
    return m_groupsById.value(persistentId);
}

void ModelContext::adopt(Package *package, qint64 rowId)
{
    package->m_rowId = rowId;
    package->m_context = this;
    package->m_imageDirectory = m_externalDataDirectory; // shared, not copied per package
    m_packages.append(package);
    m_packagesById.insert(rowId, package);
}

void ModelContext::adopt(PackageGroup *group, qint64 rowId)
{
    group->m_rowId = rowId;
    group->m_context = this;
    m_groups.append(group);
    m_groupsById.insert(rowId, group);
}

void ModelContext::announce(const ModelChanges &changes)
{
    Q_EMIT objectsChanged(changes);
    // Every observer has had its turn. What still waits for its DELETE stays until save().
    for (Package *package : changes.deletedPackages) {
        if (!m_deletedPackages.contains(package))
            package->deleteLater();
    }
    for (PackageGroup *group : changes.deletedGroups) {
        if (!m_deletedGroups.contains(group))
            group->deleteLater();
    }
}

void ModelContext::detachDeleted(Package *package, ModelChanges &changes)
{
    for (PackageGroup *group : std::as_const(package->m_groups)) {
        group->m_packages.removeAll(package);
        if (!changes.updatedGroups.contains(group))
            changes.updatedGroups.append(group);
    }
    package->m_groups.clear();
    m_packages.removeOne(package);
    m_packagesById.remove(package->m_rowId);
    m_changedPackages.remove(package);
    package->m_context = nullptr;
    package->m_deleted = true;
    changes.deletedPackages.append(package);
}

void ModelContext::detachDeleted(PackageGroup *group, ModelChanges &changes)
{
    for (Package *package : std::as_const(group->m_packages)) {
        package->m_groups.removeAll(group);
        if (!changes.updatedPackages.contains(package))
            changes.updatedPackages.append(package);
    }
    group->m_packages.clear();
    m_groups.removeOne(group);
    m_groupsById.remove(group->m_rowId);
    m_changedGroups.remove(group);
    group->m_context = nullptr;
    group->m_deleted = true;
    changes.deletedGroups.append(group);
}

// ---- Reads -----------------------------------------------------------------------------------

Result<QList<Package *>, ModelError> ModelContext::fetchPackages(const PackagePredicate &predicate,
                                                                 const PackageComparator &lessThan)
{
    if (auto loaded = loadRest(); !loaded)
        return Result<QList<Package *>, ModelError>::failure(loaded.error());
    QList<Package *> result;
    if (!predicate) {
        result = m_packages;
    } else {
        for (Package *package : std::as_const(m_packages)) {
            if (predicate(*package))
                result.append(package);
        }
    }
    if (lessThan) {
        std::stable_sort(result.begin(), result.end(),
                         [&](const Package *a, const Package *b) { return lessThan(*a, *b); });
    }
    return result;
}

Result<QList<PackageGroup *>, ModelError> ModelContext::fetchGroups(const GroupPredicate &predicate,
                                                                    const GroupComparator &lessThan) const
{
    QList<PackageGroup *> result;
    for (PackageGroup *group : std::as_const(m_groups)) {
        if (!predicate || predicate(*group))
            result.append(group);
    }
    if (lessThan) {
        std::stable_sort(result.begin(), result.end(),
                         [&](const PackageGroup *a, const PackageGroup *b) { return lessThan(*a, *b); });
    }
    return result;
}

bool ModelContext::loadEvents(Package *package)
{
    return StoreMerge(*this).loadEvents(package);
}

Result<QList<Package *>, ModelError> ModelContext::packagesWithTrackingNumber(const QString &trackingNumber)
{
    if (m_restPending) {
        if (auto read = packagesWhere(QStringLiteral("trackingNumber = ?"), {trackingNumber}); !read)
            return read;
    }
    QList<Package *> found;
    for (Package *package : std::as_const(m_packages)) {
        if (package->trackingNumber() == trackingNumber)
            found.append(package);
    }
    return found;
}

Result<QList<Package *>, ModelError> ModelContext::packagesWhere(const QString &condition, const QVariantList &values)
{
    StoreMerge::Selection selection;
    selection.where = condition;
    selection.values = values;
    QList<qint64> rowIds;
    auto read = readAndAnnounce(
        [&](ModelChanges &changes) { return StoreMerge(*this).readSome(selection, changes, &rowIds); });
    if (!read)
        return Result<QList<Package *>, ModelError>::failure(read.error());
    QList<Package *> found;
    found.reserve(rowIds.size());
    for (const qint64 id : std::as_const(rowIds)) {
        if (Package *package = m_packagesById.value(id))
            found.append(package);
    }
    return found;
}

Result<int, ModelError>
ModelContext::readAndAnnounce(const std::function<Result<int, ModelError>(ModelChanges &)> &read)
{
    ModelChanges changes;
    changes.origin = ModelChanges::Origin::loaded;
    auto result = read(changes);
    if (!changes.isEmpty()) {
        for (PackageGroup *group : std::as_const(changes.updatedGroups))
            Q_EMIT group->changed();
        announce(changes);
    }
    return result;
}

void ModelContext::loadRestInBackground()
{
    if (!m_restPending || m_restLoading)
        return;
    m_restLoading = true;
    QTimer::singleShot(0, this, &ModelContext::continueLoadingRest);
}

void ModelContext::continueLoadingRest()
{
    // Small enough that a batch with the views' updates after it fits between two frames.
    constexpr int batchSize = 250;
    if (m_restPending) {
        if (auto loaded = loadRestBatch(batchSize); !loaded)
            qWarning("ModelContext: %s", qPrintable(loaded.error().fullDescription()));
        else if (m_restPending)
            return QTimer::singleShot(0, this, &ModelContext::continueLoadingRest);
    }
    // Done, or failed: a later fetchPackages() or merge reads what is left.
    m_restLoading = false;
}

Result<void, ModelError> ModelContext::loadRest()
{
    while (m_restPending) {
        if (auto loaded = loadRestBatch(-1); !loaded)
            return loaded;
    }
    return {};
}

Result<void, ModelError> ModelContext::loadRestBatch(int limit)
{
    StoreMerge::Selection selection;
    selection.limit = limit;
    selection.restCursor = true;
    auto read = readAndAnnounce([&](ModelChanges &changes) {
        auto rows = StoreMerge(*this).readSome(selection, changes);
        // Before observers hear of the batch: one that reads everything must not start on the rest again.
        if (rows && (limit < 0 || rows.value() < limit))
            m_restPending = false;
        return rows;
    });
    if (!read)
        return Result<void, ModelError>::failure(read.error());
    if (!m_restPending) {
        // What other processes committed since the first read.
        if (auto merged = refreshFromStore(); !merged)
            qWarning("ModelContext: %s", qPrintable(merged.error().fullDescription()));
        Q_EMIT fullyLoaded();
    }
    return {};
}

// ---- Other processes' commits and saving ------------------------------------------------------

Result<bool, ModelError> ModelContext::refreshFromStore()
{
    ModelChanges changes;
    changes.origin = ModelChanges::Origin::external;
    const bool restWasPending = m_restPending;
    // What a merge applied before it failed is in the objects already: observers hear of it all the same,
    // because the next merge sees those rows as known and would not report them again.
    auto merged = StoreMerge(*this).run(changes);
    if (!changes.isEmpty()) {
        for (Package *package : std::as_const(changes.updatedPackages))
            Q_EMIT package->changed();
        for (PackageGroup *group : std::as_const(changes.updatedGroups))
            Q_EMIT group->changed();
        for (Package *package : std::as_const(changes.deletedPackages))
            Q_EMIT package->changed();
        for (PackageGroup *group : std::as_const(changes.deletedGroups))
            Q_EMIT group->changed();
        announce(changes);
    }
    if (restWasPending && !m_restPending)
        Q_EMIT fullyLoaded();
    if (!merged)
        return merged;
    return !changes.isEmpty();
}

void ModelContext::setWatchingStore(bool watching)
{
    if (!watching) {
        delete m_watcher;
        m_watcher = nullptr;
        return;
    }
    if (m_watcher)
        return;
    m_watcher = new StoreWatcher(m_path, this);
    connect(m_watcher, &StoreWatcher::storeChanged, this, [this] {
        if (auto refreshed = refreshFromStore(); !refreshed)
            qWarning("ModelContext: %s", qPrintable(refreshed.error().fullDescription()));
    });
}

Result<void, ModelError> ModelContext::save()
{
    if (!hasChanges())
        return {};
    return StoreSave(*this).run();
}

void ModelContext::setBusyTimeout(std::chrono::milliseconds timeout)
{
    m_busyTimeout = timeout;
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(timeout.count()));
}
