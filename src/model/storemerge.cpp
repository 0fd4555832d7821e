#include "model/storemerge.h"

#include "model/modelschema.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/recordcolumns.h"
#include "model/trackingevent.h"

#include <QDir>
#include <QSqlError>

#include <type_traits>

namespace
{
using PackageColumns = Package::Columns;
using GroupColumns = PackageGroup::Columns;
using EventColumns = TrackingEvent::Columns;

// Event rows: id, packageId, then the event's own columns.
constexpr int firstEventColumn = 2;

QString eventSelect(QStringView prefix = {})
{
    return prefix.toString() + QStringLiteral("id, ") + prefix.toString() + QStringLiteral("packageId, ")
        + StoreColumns::names(EventColumns::all, prefix);
}
}

StoreMerge::StoreMerge(ModelContext &context)
    : m_context(context)
    , m_query(context.m_db)
{
    m_query.setForwardOnly(true);
}

bool StoreMerge::exec(const QString &statement)
{
    m_statement = statement;
    return m_query.exec(statement);
}

Result<bool, ModelError> StoreMerge::failure()
{
    const QString failed = m_readingLatestEvents
        ? QStringLiteral("The events of the store could not be read.")
        : QStringLiteral("The store file %1 could not be read.").arg(QDir::toNativeSeparators(m_context.m_path));
    const ModelError error
        = ModelSchema::sqlError(ModelError::Code::queryFailed, failed, m_query.lastError(), m_statement);
    m_query.finish();
    QSqlQuery(m_context.m_db).exec(QStringLiteral("ROLLBACK"));
    return Result<bool, ModelError>::failure(error);
}

void StoreMerge::noteUpdated(ModelChanges &changes, Package *package)
{
    if (!changes.updatedPackages.contains(package))
        changes.updatedPackages.append(package);
}

TrackingEvent *StoreMerge::eventFromRow(const QSqlQuery &query)
{
    auto *event = new TrackingEvent();
    event->m_rowId = query.value(0).toLongLong();
    StoreColumns::read(EventColumns::all, *event, query, firstEventColumn);
    return event;
}

Result<bool, ModelError> StoreMerge::run(ModelChanges &changes)
{
    // One read transaction: every table from the same snapshot.
    if (!exec(QStringLiteral("BEGIN")))
        return failure();
    if (!exec(QStringLiteral("PRAGMA data_version")) || !m_query.next())
        return failure();
    const qint64 version = m_query.value(0).toLongLong();
    m_query.finish();
    if (m_context.m_loaded && version == m_context.m_dataVersion) {
        QSqlQuery(m_context.m_db).exec(QStringLiteral("COMMIT"));
        return false;
    }

    QList<Package *> newPackages;
    if (!mergeGroups(changes) || !mergePackages(changes, newPackages))
        return failure();
    // Reported from here on, so that a failure further down still tells about the objects already adopted.
    changes.insertedPackages.append(newPackages);
    if (!mergeMemberships(changes, newPackages))
        return failure();
    // Latest events of new packages, so list rows need no event list.
    if (!newPackages.isEmpty() && !loadLatestEvents(newPackages, !m_context.m_loaded || newPackages.size() > 64))
        return failure();
    if (m_context.m_loaded && (!mergeAppendedEvents(changes, newPackages) || !mergeCoordinates(changes)))
        return failure();

    if (!exec(QStringLiteral("SELECT coalesce(max(id), 0) FROM TrackingEvent")) || !m_query.next())
        return failure();
    m_context.m_maxEventRowId = std::max(m_context.m_maxEventRowId, m_query.value(0).toLongLong());
    m_query.finish();
    if (!exec(QStringLiteral("COMMIT")))
        return failure();

    m_context.m_dataVersion = version;
    m_context.m_loaded = true;
    m_context.m_restPending = false; // every row was read
    return !changes.isEmpty();
}

Result<int, ModelError> StoreMerge::readSome(const Selection &selection, ModelChanges &changes, QList<qint64> *rowIds)
{
    const bool first = m_context.m_dataVersion < 0;
    const auto failed = [this] { return Result<int, ModelError>::failure(failure().error()); };
    if (!exec(QStringLiteral("BEGIN")))
        return failed();
    qint64 version = m_context.m_dataVersion;
    if (first) {
        if (!exec(QStringLiteral("PRAGMA data_version")) || !m_query.next())
            return failed();
        version = m_query.value(0).toLongLong();
        m_query.finish();
        if (!mergeGroups(changes))
            return failed();
    }

    QSet<qint64> deletedHere;
    for (const Package *package : std::as_const(m_context.m_deletedPackages))
        deletedHere.insert(package->m_rowId);
    QStringList conditions;
    if (!selection.where.isEmpty())
        conditions.append(selection.where);
    if (selection.restCursor)
        conditions.append(QStringLiteral("id > %1").arg(m_context.m_restAfterId));
    m_statement = QStringLiteral("SELECT id, %1 FROM Package%2 ORDER BY %3 LIMIT %4")
                      .arg(StoreColumns::names(PackageColumns::all),
                           conditions.isEmpty() ? QString() : QStringLiteral(" WHERE ") + conditions.join(u" AND "),
                           selection.orderBy)
                      .arg(selection.limit);
    if (!m_query.prepare(m_statement))
        return failed();
    for (const QVariant &value : selection.values)
        m_query.addBindValue(value);
    if (!m_query.exec())
        return failed();
    int rows = 0;
    // A read of everything left asks for every membership and latest event rather than naming thousands of ids.
    const bool everyRow = selection.limit < 0 && selection.where.isEmpty();
    QList<Package *> newPackages;
    QStringList newIds;
    while (m_query.next()) {
        ++rows;
        const qint64 id = m_query.value(0).toLongLong();
        if (selection.restCursor)
            m_context.m_restAfterId = id;
        if (rowIds)
            rowIds->append(id);
        if (m_context.m_packagesById.contains(id) || deletedHere.contains(id))
            continue;
        auto *package = new Package(Package::LoadTag {}, &m_context);
        package->m_eventsLoaded = false;
        StoreColumns::read(PackageColumns::all, *package, m_query, 1);
        m_context.adopt(package, id);
        newPackages.append(package);
        if (!everyRow)
            newIds.append(QString::number(id));
    }
    m_query.finish();
    changes.insertedPackages.append(newPackages);

    if (!newPackages.isEmpty()) {
        const QString idList = everyRow ? QString() : newIds.join(u',');
        const QSet<Package *> fresh(newPackages.cbegin(), newPackages.cend());
        if (!exec(QStringLiteral("SELECT packageId, groupId FROM PackageGroupMembership%1 ORDER BY rowid")
                      .arg(everyRow ? QString() : QStringLiteral(" WHERE packageId IN (%1)").arg(idList))))
            return failed();
        while (m_query.next()) {
            Package *package = m_context.m_packagesById.value(m_query.value(0).toLongLong());
            PackageGroup *group = m_context.m_groupsById.value(m_query.value(1).toLongLong());
            if (!package || !group || !fresh.contains(package) || package->m_groups.contains(group))
                continue;
            package->m_groups.append(group);
            group->m_packages.append(package);
            if (!changes.insertedGroups.contains(group) && !changes.updatedGroups.contains(group))
                changes.updatedGroups.append(group);
        }
        m_query.finish();
        if (!loadLatestEvents(newPackages, true, idList))
            return failed();
    }

    if (first) {
        if (!exec(QStringLiteral("SELECT coalesce(max(id), 0) FROM TrackingEvent")) || !m_query.next())
            return failed();
        m_context.m_maxEventRowId = m_query.value(0).toLongLong();
        m_query.finish();
    }
    if (!exec(QStringLiteral("COMMIT")))
        return failed();
    // Commits of other processes after this first snapshot are merged once every row is read.
    m_context.m_dataVersion = version;
    return rows;
}

template<typename Record, typename ApplyRow>
bool StoreMerge::mergeRows(const QString &table, const QList<Record *> &pendingDeletes, ModelChanges &changes,
                           ApplyRow &&applyRow)
{
    QSet<qint64> deletedHere;
    for (const Record *record : pendingDeletes)
        deletedHere.insert(record->m_rowId);
    if (!exec(
            QStringLiteral("SELECT id, %1 FROM %2 ORDER BY id").arg(StoreColumns::names(Record::Columns::all), table)))
        return false;
    QSet<qint64> seen;
    while (m_query.next()) {
        const qint64 id = m_query.value(0).toLongLong();
        seen.insert(id);
        if (!deletedHere.contains(id))
            applyRow(id);
    }
    m_query.finish();
    // Rows that are gone were deleted by another process.
    QList<Record *> live;
    if constexpr (std::is_same_v<Record, Package>)
        live = m_context.m_packages;
    else
        live = m_context.m_groups;
    for (Record *record : std::as_const(live)) {
        if (record->m_rowId != 0 && !seen.contains(record->m_rowId))
            m_context.detachDeleted(record, changes);
    }
    return true;
}

bool StoreMerge::mergeGroups(ModelChanges &changes)
{
    return mergeRows(QStringLiteral("PackageGroup"), m_context.m_deletedGroups, changes, [&](qint64 id) {
        if (PackageGroup *group = m_context.m_groupsById.value(id)) {
            if (StoreColumns::read(GroupColumns::all, *group, m_query, 1, group->m_dirty))
                changes.updatedGroups.append(group);
            return;
        }
        auto *created = new PackageGroup(PackageGroup::LoadTag {}, &m_context);
        StoreColumns::read(GroupColumns::all, *created, m_query, 1);
        m_context.adopt(created, id);
        changes.insertedGroups.append(created);
    });
}

bool StoreMerge::mergePackages(ModelChanges &changes, QList<Package *> &newPackages)
{
    return mergeRows(QStringLiteral("Package"), m_context.m_deletedPackages, changes, [&](qint64 id) {
        Package *package = m_context.m_packagesById.value(id);
        const bool known = package != nullptr;
        if (!known) {
            package = new Package(Package::LoadTag {}, &m_context);
            package->m_eventsLoaded = false;
        }
        const quint32 changed = StoreColumns::read(PackageColumns::all, *package, m_query, 1, package->m_dirty);
        if (changed & StoreColumns::bit(PackageColumns::picture))
            package->pictureFileReplaced();
        if (!known) {
            m_context.adopt(package, id);
            newPackages.append(package);
        } else if (changed) {
            changes.updatedPackages.append(package);
        }
    });
}

bool StoreMerge::mergeMemberships(ModelChanges &changes, const QList<Package *> &newPackages)
{
    // Stored links win, except where this context has an unsaved change to the same pair.
    if (!exec(QStringLiteral("SELECT packageId, groupId FROM PackageGroupMembership ORDER BY rowid")))
        return false;
    QHash<Package *, QList<PackageGroup *>> storedLinks;
    while (m_query.next()) {
        Package *package = m_context.m_packagesById.value(m_query.value(0).toLongLong());
        PackageGroup *group = m_context.m_groupsById.value(m_query.value(1).toLongLong());
        if (package && group)
            storedLinks[package].append(group);
    }
    m_query.finish();
    QHash<QPair<Package *, PackageGroup *>, bool> pendingLinks;
    for (const ModelContext::LinkOp &op : std::as_const(m_context.m_linkOps))
        pendingLinks.insert({op.package, op.group}, op.add);
    const auto markUpdated = [&](Package *package, PackageGroup *group) {
        if (!newPackages.contains(package))
            noteUpdated(changes, package);
        if (!changes.insertedGroups.contains(group) && !changes.updatedGroups.contains(group))
            changes.updatedGroups.append(group);
    };
    for (Package *package : std::as_const(m_context.m_packages)) {
        if (package->m_rowId == 0)
            continue;
        const QList<PackageGroup *> stored = storedLinks.value(package);
        for (PackageGroup *group : stored) {
            if (!package->m_groups.contains(group) && !pendingLinks.contains({package, group})) {
                package->m_groups.append(group);
                group->m_packages.append(package);
                markUpdated(package, group);
            }
        }
        for (PackageGroup *group : QList<PackageGroup *>(package->m_groups)) {
            if (group->m_rowId != 0 && !stored.contains(group) && !pendingLinks.contains({package, group})) {
                package->m_groups.removeAll(group);
                group->m_packages.removeAll(package);
                markUpdated(package, group);
            }
        }
    }
    return true;
}

bool StoreMerge::loadLatestEvents(const QList<Package *> &packages, bool everyPackage, const QString &idList)
{
    m_readingLatestEvents = true;
    const auto adopt = [&]() {
        Package *package = m_context.m_packagesById.value(m_query.value(1).toLongLong());
        if (!package || package->m_eventsLoaded || package->m_preloadedLatest)
            return;
        TrackingEvent *event = eventFromRow(m_query);
        event->m_package = package;
        package->m_preloadedLatest.reset(event);
    };
    if (everyPackage) {
        // One index lookup per package: newest timestamp first, lowest id among equal timestamps.
        const QString only = idList.isEmpty() ? QString() : QStringLiteral(" WHERE p.id IN (%1)").arg(idList);
        if (!exec(QStringLiteral("SELECT %1 FROM Package p JOIN TrackingEvent e ON e.id = (SELECT id FROM "
                                 "TrackingEvent WHERE packageId = p.id ORDER BY timestamp DESC, id ASC LIMIT 1)%2")
                      .arg(eventSelect(u"e."), only)))
            return false;
        while (m_query.next())
            adopt();
        m_query.finish();
        m_readingLatestEvents = false;
        return true;
    }
    m_statement = QStringLiteral("SELECT %1 FROM TrackingEvent WHERE packageId = ? ORDER BY timestamp DESC, id ASC "
                                 "LIMIT 1")
                      .arg(eventSelect());
    if (!m_query.prepare(m_statement))
        return false;
    for (Package *package : packages) {
        m_query.addBindValue(package->m_rowId);
        if (!m_query.exec())
            return false;
        if (m_query.next())
            adopt();
    }
    m_query.finish();
    m_readingLatestEvents = false;
    return true;
}

bool StoreMerge::mergeAppendedEvents(ModelChanges &changes, const QList<Package *> &newPackages)
{
    if (!exec(QStringLiteral("SELECT %1 FROM TrackingEvent WHERE id > %2 ORDER BY id")
                  .arg(eventSelect())
                  .arg(m_context.m_maxEventRowId)))
        return false;
    QHash<Package *, QSet<qint64>> known;
    const QSet<Package *> fresh(newPackages.begin(), newPackages.end());
    while (m_query.next()) {
        Package *package = m_context.m_packagesById.value(m_query.value(1).toLongLong());
        if (!package || fresh.contains(package))
            continue;
        if (!package->m_eventsLoaded) {
            m_reloaded.insert(package);
            continue;
        }
        auto knownIds = known.find(package);
        if (knownIds == known.end()) {
            QSet<qint64> ids;
            for (const TrackingEvent *event : std::as_const(package->m_events))
                ids.insert(event->m_rowId);
            knownIds = known.insert(package, ids);
        }
        const qint64 id = m_query.value(0).toLongLong();
        if (knownIds->contains(id))
            continue; // written by this context, or read when the list loaded
        TrackingEvent *event = eventFromRow(m_query);
        event->m_package = package;
        package->m_events.append(event);
        package->m_latestValid = false;
        knownIds->insert(id);
        noteUpdated(changes, package);
    }
    m_query.finish();
    for (Package *package : std::as_const(m_reloaded)) {
        // The preloaded latest event may be outdated; reading the whole list settles it.
        if (loadEvents(package))
            noteUpdated(changes, package);
    }
    return true;
}

bool StoreMerge::mergeCoordinates(ModelChanges &changes)
{
    // Coordinates written by another process to events this context holds.
    QStringList loadedIds;
    QHash<qint64, TrackingEvent *> loadedEvents;
    for (Package *package : std::as_const(m_context.m_packages)) {
        if (package->m_rowId == 0 || !package->m_eventsLoaded || m_reloaded.contains(package))
            continue;
        loadedIds.append(QString::number(package->m_rowId));
        for (TrackingEvent *event : std::as_const(package->m_events)) {
            if (event->m_rowId != 0)
                loadedEvents.insert(event->m_rowId, event);
        }
    }
    if (loadedIds.isEmpty())
        return true;
    if (!exec(QStringLiteral("SELECT %1 FROM TrackingEvent WHERE packageId IN (%2)")
                  .arg(eventSelect(), loadedIds.join(u','))))
        return false;
    // Only the coordinates change after an event was recorded; the other columns are kept as they are.
    constexpr quint32 coordinates
        = StoreColumns::bit(StoreColumns::indexOf(EventColumns::all, &TrackingEvent::m_latitude))
        | StoreColumns::bit(StoreColumns::indexOf(EventColumns::all, &TrackingEvent::m_longitude));
    while (m_query.next()) {
        TrackingEvent *event = loadedEvents.value(m_query.value(0).toLongLong());
        if (event
            && StoreColumns::read(EventColumns::all, *event, m_query, firstEventColumn, ~coordinates | event->m_dirty))
            noteUpdated(changes, event->m_package);
    }
    m_query.finish();
    return true;
}

bool StoreMerge::loadEvents(Package *package)
{
    if (package->m_eventsLoaded)
        return true;
    QSqlQuery query(m_context.m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM TrackingEvent WHERE packageId = ? ORDER BY id").arg(eventSelect()));
    query.addBindValue(package->m_rowId);
    if (!query.exec()) {
        qWarning("ModelContext: could not read the events of a package: %s", qPrintable(query.lastError().text()));
        return false;
    }
    std::unique_ptr<TrackingEvent> preloaded = std::move(package->m_preloadedLatest);
    QList<TrackingEvent *> events;
    while (query.next()) {
        TrackingEvent *event = nullptr;
        if (preloaded && preloaded->m_rowId == query.value(0).toLongLong())
            event = preloaded.release(); // keep the object that latestEvent() already handed out
        else
            event = eventFromRow(query);
        event->m_package = package;
        events.append(event);
    }
    if (preloaded)
        m_context.m_retiredEvents.push_back(std::move(preloaded));
    events.append(package->m_events); // none in practice: appending loads first
    package->m_events = events;
    package->m_eventsLoaded = true;
    package->m_latestValid = false;
    return true;
}
