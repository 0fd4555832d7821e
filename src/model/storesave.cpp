#include "model/storesave.h"

#include "model/modelschema.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/recordcolumns.h"
#include "model/trackingevent.h"

#include <QDir>
#include <QSqlError>

namespace
{
QString placeholders(int count)
{
    return QStringList(count, QStringLiteral("?")).join(u", ");
}
}

StoreSave::StoreSave(ModelContext &context)
    : m_context(context)
    , m_pictures(context.externalDataDirectory())
    , m_failed(QStringLiteral("The changes could not be saved to %1.").arg(QDir::toNativeSeparators(context.m_path)))
{ }

QSqlQuery *StoreSave::prepared(const QString &sql)
{
    auto found = m_statements.find(sql);
    if (found == m_statements.end()) {
        found = m_statements.emplace(sql, QSqlQuery(m_context.m_db)).first;
        if (!found->second.prepare(sql)) {
            m_failing = &found->second;
            m_statement = sql;
            return nullptr;
        }
    }
    return &found->second;
}

bool StoreSave::exec(QSqlQuery &query)
{
    if (query.exec())
        return true;
    m_failing = &query;
    m_statement = query.lastQuery();
    return false;
}

bool StoreSave::exec(const QString &statement)
{
    QSqlQuery *query = prepared(statement);
    return query && exec(*query);
}

Result<void, ModelError> StoreSave::failure()
{
    const ModelError error = ModelSchema::sqlError(ModelError::Code::queryFailed, m_failed,
                                                   m_failing ? m_failing->lastError() : QSqlError(), m_statement);
    m_statements.clear(); // finishes every statement before the rollback
    QSqlQuery(m_context.m_db).exec(QStringLiteral("ROLLBACK"));
    m_pictures.rollBack();
    return Result<void, ModelError>::failure(error);
}

Result<void, ModelError> StoreSave::run()
{
    ModelContext &c = m_context;

    // Pictures first: a committed row may only name a file that exists.
    QList<Package *> pictureChanges = c.m_insertedPackages;
    for (Package *package : std::as_const(c.m_changedPackages)) {
        if (package->m_dirty & StoreColumns::bit(Package::Columns::picture))
            pictureChanges.append(package);
    }
    if (auto staged = m_pictures.stage(pictureChanges, m_failed); !staged)
        return staged;

    // BEGIN IMMEDIATE takes the write lock up front, so a busy store fails here, before any work.
    if (!exec(QStringLiteral("BEGIN IMMEDIATE")))
        return failure();
    if (!insertRows(QStringLiteral("PackageGroup"), c.m_insertedGroups, m_newGroupIds)
        || !insertRows(QStringLiteral("Package"), c.m_insertedPackages, m_newPackageIds))
        return failure();
    for (PackageGroup *group : std::as_const(c.m_changedGroups)) {
        bool vanished = false;
        if (group->m_dirty && !updateRow(QStringLiteral("PackageGroup"), group, vanished))
            return failure();
        if (vanished)
            m_vanishedGroups.insert(group); // another process deleted it
    }
    QList<Package *> withEventChanges = c.m_insertedPackages;
    if (!updatePackages(withEventChanges) || !writeEvents(withEventChanges) || !writeMemberships() || !deleteRows())
        return failure();

    if (c.m_beforeCommitHook)
        c.m_beforeCommitHook();
    if (!exec(QStringLiteral("COMMIT")))
        return failure();
    m_statements.clear();

    const ModelChanges changes = adoptCommitted(withEventChanges);
    c.announce(changes);
    return {};
}

template<typename Record>
bool StoreSave::insertRows(const QString &table, const QList<Record *> &records, QHash<Record *, qint64> &ids)
{
    if (records.isEmpty())
        return true;
    const auto &columns = Record::Columns::all;
    QSqlQuery *query
        = prepared(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                       .arg(table, StoreColumns::names(columns), placeholders(StoreColumns::count(columns))));
    if (!query)
        return false;
    for (Record *record : records) {
        StoreColumns::bind(columns, *record, *query);
        if (!exec(*query))
            return false;
        ids.insert(record, query->lastInsertId().toLongLong());
    }
    return true;
}

template<typename Record> bool StoreSave::updateRow(const QString &table, Record *record, bool &vanished)
{
    const auto &columns = Record::Columns::all;
    QStringList assignments = StoreColumns::nameList(columns, record->m_dirty);
    for (QString &assignment : assignments)
        assignment += QStringLiteral(" = ?");
    QSqlQuery *query = prepared(QStringLiteral("UPDATE %1 SET %2 WHERE id = ?").arg(table, assignments.join(u", ")));
    if (!query)
        return false;
    StoreColumns::bind(columns, *record, *query, record->m_dirty);
    query->addBindValue(record->m_rowId);
    if (!exec(*query))
        return false;
    vanished = query->numRowsAffected() == 0;
    return true;
}

bool StoreSave::updatePackages(QList<Package *> &withEventChanges)
{
    for (Package *package : std::as_const(m_context.m_changedPackages)) {
        bool vanished = false;
        if (package->m_dirty) {
            if (!updateRow(QStringLiteral("Package"), package, vanished))
                return false;
        } else if (package->m_hasEventChanges) {
            // Only events changed: the row must still be there for them.
            QSqlQuery *exists = prepared(QStringLiteral("SELECT 1 FROM Package WHERE id = ?"));
            if (!exists)
                return false;
            exists->addBindValue(package->m_rowId);
            if (!exec(*exists))
                return false;
            vanished = !exists->next();
            exists->finish();
        }
        if (vanished)
            m_vanishedPackages.insert(package);
        else if (package->m_hasEventChanges)
            withEventChanges.append(package);
    }
    return true;
}

bool StoreSave::writeEvents(const QList<Package *> &packages)
{
    // New events, and coordinates of stored ones.
    const auto &columns = TrackingEvent::Columns::all;
    const QString insertSql = QStringLiteral("INSERT INTO TrackingEvent (packageId, %1) VALUES (?, %2)")
                                  .arg(StoreColumns::names(columns), placeholders(StoreColumns::count(columns)));
    for (Package *package : packages) {
        if (!package->m_eventsLoaded)
            continue; // nothing appended: appending loads the list first
        const qint64 packageId = package->m_rowId != 0 ? package->m_rowId : m_newPackageIds.value(package);
        for (TrackingEvent *event : std::as_const(package->m_events)) {
            if (event->m_rowId == 0) {
                QSqlQuery *insert = prepared(insertSql);
                if (!insert)
                    return false;
                insert->addBindValue(packageId);
                StoreColumns::bind(columns, *event, *insert);
                if (!exec(*insert))
                    return false;
                m_newEventIds.insert(event, insert->lastInsertId().toLongLong());
            } else if (event->m_dirty) {
                bool vanished = false;
                if (!updateRow(QStringLiteral("TrackingEvent"), event, vanished))
                    return false;
            }
        }
    }
    return true;
}

bool StoreSave::writeMemberships()
{
    // In the order they were made; a pair whose record is gone is skipped.
    if (m_context.m_linkOps.isEmpty())
        return true;
    QSqlQuery *add = prepared(QStringLiteral("INSERT OR IGNORE INTO PackageGroupMembership (packageId, groupId) "
                                             "SELECT ?, ? WHERE EXISTS (SELECT 1 FROM Package WHERE id = ?) "
                                             "AND EXISTS (SELECT 1 FROM PackageGroup WHERE id = ?)"));
    QSqlQuery *remove = add
        ? prepared(QStringLiteral("DELETE FROM PackageGroupMembership WHERE packageId = ? AND groupId = ?"))
        : nullptr;
    if (!remove)
        return false;
    for (const ModelContext::LinkOp &op : std::as_const(m_context.m_linkOps)) {
        if (op.package->m_deleted || op.group->m_deleted || op.package->m_context != &m_context
            || op.group->m_context != &m_context)
            continue;
        const qint64 packageId = op.package->m_rowId != 0 ? op.package->m_rowId : m_newPackageIds.value(op.package);
        const qint64 groupId = op.group->m_rowId != 0 ? op.group->m_rowId : m_newGroupIds.value(op.group);
        if (packageId == 0 || groupId == 0)
            continue;
        QSqlQuery &link = op.add ? *add : *remove;
        link.addBindValue(packageId);
        link.addBindValue(groupId);
        if (op.add) {
            link.addBindValue(packageId);
            link.addBindValue(groupId);
        }
        if (!exec(link))
            return false;
    }
    return true;
}

bool StoreSave::deleteRows()
{
    // Events and memberships follow by cascade.
    const auto deleteAll = [this](const QString &table, const auto &records) {
        for (const auto *record : records) {
            QSqlQuery *query = prepared(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(table));
            if (!query)
                return false;
            query->addBindValue(record->m_rowId);
            if (!exec(*query))
                return false;
        }
        return true;
    };
    return deleteAll(QStringLiteral("Package"), m_context.m_deletedPackages)
        && deleteAll(QStringLiteral("PackageGroup"), m_context.m_deletedGroups);
}

ModelChanges StoreSave::adoptCommitted(const QList<Package *> &withEventChanges)
{
    ModelContext &c = m_context;
    ModelChanges changes;
    changes.origin = ModelChanges::Origin::saved;
    for (auto it = m_newGroupIds.cbegin(); it != m_newGroupIds.cend(); ++it) {
        it.key()->m_rowId = it.value();
        c.m_groupsById.insert(it.value(), it.key());
    }
    for (auto it = m_newPackageIds.cbegin(); it != m_newPackageIds.cend(); ++it) {
        it.key()->m_rowId = it.value();
        c.m_packagesById.insert(it.value(), it.key());
    }
    for (auto it = m_newEventIds.cbegin(); it != m_newEventIds.cend(); ++it)
        it.key()->m_rowId = it.value();
    m_pictures.commit(c.m_deletedPackages);
    for (Package *package : withEventChanges) {
        package->m_hasEventChanges = false;
        for (TrackingEvent *event : std::as_const(package->m_events))
            event->m_dirty = 0;
    }

    changes.insertedGroups = c.m_insertedGroups;
    changes.insertedPackages = c.m_insertedPackages;
    changes.deletedPackages = c.m_deletedPackages;
    changes.deletedGroups = c.m_deletedGroups;
    for (PackageGroup *group : std::as_const(c.m_insertedGroups))
        group->m_dirty = 0;
    for (Package *package : std::as_const(c.m_insertedPackages))
        package->m_dirty = 0;
    for (PackageGroup *group : std::as_const(c.m_changedGroups)) {
        group->m_dirty = 0;
        if (!m_vanishedGroups.contains(group))
            changes.updatedGroups.append(group);
    }
    for (Package *package : std::as_const(c.m_changedPackages)) {
        package->m_dirty = 0;
        package->m_hasEventChanges = false;
        if (!m_vanishedPackages.contains(package))
            changes.updatedPackages.append(package);
    }
    c.m_insertedGroups.clear();
    c.m_insertedPackages.clear();
    c.m_changedGroups.clear();
    c.m_changedPackages.clear();
    c.m_deletedGroups.clear();
    c.m_deletedPackages.clear();
    c.m_linkOps.clear();
    for (PackageGroup *group : std::as_const(m_vanishedGroups))
        c.detachDeleted(group, changes);
    for (Package *package : std::as_const(m_vanishedPackages))
        c.detachDeleted(package, changes);
    return changes;
}
