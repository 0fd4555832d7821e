#include "model/modelcontext.h"

#include "model/modelschema.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/trackingevent.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>
#include <QVariant>

#include <algorithm>
#include <array>

namespace
{
using PackageColumn = Package::Column;
using GroupColumn = PackageGroup::Column;

// Column names in Package::Column order; the picture column holds the name of its file.
constexpr std::array<const char16_t *, Package::columnCount> s_packageColumns = {
    u"trackingNumber",
    u"carrierCode",
    u"label",
    u"status",
    u"estimatedDelivery",
    u"dateAdded",
    u"lastUpdated",
    u"isArchived",
    u"notes",
    u"lastErrorMessage",
    u"colorTag",
    u"customRefreshInterval",
    u"notificationsEnabled",
    u"notifyOnStatusChange",
    u"notifyOnLocationUpdate",
    u"notifyOnEstimatedDeliveryChange",
    u"isPinned",
    u"customImageFile",
};
constexpr std::array<const char16_t *, PackageGroup::columnCount> s_groupColumns = {
    u"uuid", u"name", u"colorHex", u"sortOrder", u"dateCreated",
};
const QString s_eventColumns = QStringLiteral(
    "id, packageId, timestamp, status, eventDescription, location, rawStatusCode, latitude, longitude");

QString columnName(const char16_t *name)
{
    return QString::fromUtf16(name);
}

QString joinedColumns(const auto &columns, const QString &prefix = {})
{
    QStringList names;
    for (const char16_t *column : columns)
        names.append(prefix + columnName(column));
    return names.join(u", ");
}

QString placeholders(qsizetype count)
{
    QStringList marks(count, QStringLiteral("?"));
    return marks.join(u", ");
}

quint32 bit(auto column)
{
    return 1u << static_cast<unsigned>(column);
}

// Dates are stored as milliseconds since 1970 (UTC), which sorts and compares in SQL.
QVariant dateValue(const QDateTime &date)
{
    return date.isValid() ? QVariant(date.toMSecsSinceEpoch()) : QVariant(QMetaType::fromType<qint64>());
}

QDateTime dateFrom(const QVariant &value)
{
    return value.isNull() ? QDateTime() : QDateTime::fromMSecsSinceEpoch(value.toLongLong());
}

std::optional<QDateTime> optionalDateFrom(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(value.toLongLong());
}

// A null QString would be bound as NULL, which the NOT NULL text columns refuse.
QVariant textValue(const QString &text)
{
    return text.isNull() ? QVariant(QStringLiteral("")) : QVariant(text);
}

QVariant optionalTextValue(const std::optional<QString> &text)
{
    return text ? textValue(*text) : QVariant(QMetaType::fromType<QString>());
}

std::optional<QString> optionalTextFrom(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toString();
}

QVariant optionalDoubleValue(const std::optional<double> &number)
{
    return number ? QVariant(*number) : QVariant(QMetaType::fromType<double>());
}

std::optional<double> optionalDoubleFrom(const QVariant &value)
{
    if (value.isNull())
        return std::nullopt;
    return value.toDouble();
}

TrackingStatus statusFrom(const QVariant &value)
{
    // A raw value this build does not know (a newer one) reads as unknown.
    return TrackingStatuses::fromRawValue(value.toString()).value_or(TrackingStatus::unknown);
}

QVariant packageValue(const Package &package, PackageColumn column, const QString &imageFile)
{
    switch (column) {
    case PackageColumn::trackingNumber:
        return textValue(package.trackingNumber());
    case PackageColumn::carrierCode:
        return textValue(package.carrierCode());
    case PackageColumn::label:
        return textValue(package.label());
    case PackageColumn::status:
        return TrackingStatuses::rawValue(package.status());
    case PackageColumn::estimatedDelivery:
        return package.estimatedDelivery() ? dateValue(*package.estimatedDelivery()) : dateValue({});
    case PackageColumn::dateAdded:
        return dateValue(package.dateAdded());
    case PackageColumn::lastUpdated:
        return dateValue(package.lastUpdated());
    case PackageColumn::isArchived:
        return int(package.isArchived());
    case PackageColumn::notes:
        return textValue(package.notes());
    case PackageColumn::lastErrorMessage:
        return optionalTextValue(package.lastErrorMessage());
    case PackageColumn::colorTag:
        return optionalTextValue(package.colorTag());
    case PackageColumn::customRefreshInterval:
        return optionalDoubleValue(package.customRefreshInterval());
    case PackageColumn::notificationsEnabled:
        return int(package.notificationsEnabled());
    case PackageColumn::notifyOnStatusChange:
        return int(package.notifyOnStatusChange());
    case PackageColumn::notifyOnLocationUpdate:
        return int(package.notifyOnLocationUpdate());
    case PackageColumn::notifyOnEstimatedDeliveryChange:
        return int(package.notifyOnEstimatedDeliveryChange());
    case PackageColumn::isPinned:
        return int(package.isPinned());
    case PackageColumn::customImageData:
        return imageFile.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(imageFile);
    }
    return {};
}

QVariant groupValue(const PackageGroup &group, GroupColumn column)
{
    switch (column) {
    case GroupColumn::id:
        return group.id().toString(QUuid::WithoutBraces);
    case GroupColumn::name:
        return textValue(group.name());
    case GroupColumn::colorHex:
        return textValue(group.colorHex());
    case GroupColumn::sortOrder:
        return group.sortOrder();
    case GroupColumn::dateCreated:
        return dateValue(group.dateCreated());
    }
    return {};
}

template<typename T> bool update(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

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

Result<std::unique_ptr<ModelContext>, ModelError> ModelContext::open(const QString &path)
{
    using R = Result<std::unique_ptr<ModelContext>, ModelError>;
    const QString connectionName = QStringLiteral("kestrove-store-%1").arg(s_connectionCounter.fetchAndAddRelaxed(1));
    auto database = ModelSchema::openDatabase(path, connectionName);
    if (!database)
        return R::failure(database.error());
    std::unique_ptr<ModelContext> context(new ModelContext(QFileInfo(path).absoluteFilePath(), database.value()));
    context->m_connectionName = connectionName;
    ModelChanges ignored;
    if (auto loaded = context->merge(ignored); !loaded)
        return R::failure(loaded.error());
    return R(std::move(context));
}

ModelContext::ModelContext(const QString &path, QSqlDatabase database, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_db(std::move(database))
{ }

ModelContext::~ModelContext()
{
    m_destroying = true;
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

QString ModelContext::externalDataDirectory() const
{
    const QFileInfo info(m_path);
    return info.absolutePath() + QLatin1Char('/') + info.completeBaseName() + QStringLiteral("-external");
}

QString ModelContext::imagePath(const QString &fileName) const
{
    return externalDataDirectory() + QLatin1Char('/') + fileName;
}

// ---- Bookkeeping -----------------------------------------------------------------------------

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
    Q_EMIT objectsChanged(changes);
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
    Q_EMIT objectsChanged(changes);
}

void ModelContext::remove(Package *package)
{
    if (!package || package->m_context != this)
        return;
    ModelChanges changes;
    // Nullify: the groups stay, without this package. The store drops the membership rows by cascade.
    for (PackageGroup *group : std::as_const(package->m_groups)) {
        group->m_packages.removeAll(package);
        changes.updatedGroups.append(group);
    }
    package->m_groups.clear();
    m_packages.removeOne(package);
    if (package->m_rowId != 0) {
        m_packagesById.remove(package->m_rowId);
        m_deletedPackages.append(package);
    } else {
        m_insertedPackages.removeOne(package);
    }
    m_changedPackages.remove(package);
    package->m_context = nullptr;
    package->m_deleted = true;
    changes.deletedPackages = {package};
    for (PackageGroup *group : std::as_const(changes.updatedGroups))
        Q_EMIT group->changed();
    Q_EMIT package->changed();
    Q_EMIT objectsChanged(changes);
}

void ModelContext::remove(PackageGroup *group)
{
    if (!group || group->m_context != this)
        return;
    ModelChanges changes;
    for (Package *package : std::as_const(group->m_packages)) {
        package->m_groups.removeAll(group);
        changes.updatedPackages.append(package);
    }
    group->m_packages.clear();
    m_groups.removeOne(group);
    if (group->m_rowId != 0) {
        m_groupsById.remove(group->m_rowId);
        m_deletedGroups.append(group);
    } else {
        m_insertedGroups.removeOne(group);
    }
    m_changedGroups.remove(group);
    group->m_context = nullptr;
    group->m_deleted = true;
    changes.deletedGroups = {group};
    for (Package *package : std::as_const(changes.updatedPackages))
        Q_EMIT package->changed();
    Q_EMIT group->changed();
    Q_EMIT objectsChanged(changes);
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

Package *ModelContext::package(qint64 persistentId)
{
    return m_packagesById.value(persistentId);
}

PackageGroup *ModelContext::group(qint64 persistentId)
{
    return m_groupsById.value(persistentId);
}

// ---- Fetch -----------------------------------------------------------------------------------

Result<QList<Package *>, ModelError> ModelContext::fetchPackages(const PackagePredicate &predicate,
                                                                 const PackageComparator &lessThan)
{
    using R = Result<QList<Package *>, ModelError>;
    if (auto refreshed = refreshFromStore(); !refreshed)
        return R::failure(refreshed.error());
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
                                                                    const GroupComparator &lessThan)
{
    using R = Result<QList<PackageGroup *>, ModelError>;
    if (auto refreshed = refreshFromStore(); !refreshed)
        return R::failure(refreshed.error());
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

// ---- Reading rows ----------------------------------------------------------------------------

bool ModelContext::applyPackageRow(Package *p, const QSqlQuery &q, quint32 keep) const
{
    // Column i of Package::Column is query column i + 1 (column 0 is the row id).
    const auto take = [&](PackageColumn column) { return !(keep & bit(column)); };
    const auto value = [&](PackageColumn column) { return q.value(static_cast<int>(column) + 1); };
    bool changed = false;
    if (take(PackageColumn::trackingNumber))
        changed |= update(p->m_trackingNumber, value(PackageColumn::trackingNumber).toString());
    if (take(PackageColumn::carrierCode))
        changed |= update(p->m_carrierCode, value(PackageColumn::carrierCode).toString());
    if (take(PackageColumn::label))
        changed |= update(p->m_label, value(PackageColumn::label).toString());
    if (take(PackageColumn::status))
        changed |= update(p->m_status, statusFrom(value(PackageColumn::status)));
    if (take(PackageColumn::estimatedDelivery))
        changed |= update(p->m_estimatedDelivery, optionalDateFrom(value(PackageColumn::estimatedDelivery)));
    if (take(PackageColumn::dateAdded))
        changed |= update(p->m_dateAdded, dateFrom(value(PackageColumn::dateAdded)));
    if (take(PackageColumn::lastUpdated))
        changed |= update(p->m_lastUpdated, dateFrom(value(PackageColumn::lastUpdated)));
    if (take(PackageColumn::isArchived))
        changed |= update(p->m_isArchived, value(PackageColumn::isArchived).toBool());
    if (take(PackageColumn::notes))
        changed |= update(p->m_notes, value(PackageColumn::notes).toString());
    if (take(PackageColumn::lastErrorMessage))
        changed |= update(p->m_lastErrorMessage, optionalTextFrom(value(PackageColumn::lastErrorMessage)));
    if (take(PackageColumn::colorTag))
        changed |= update(p->m_colorTag, optionalTextFrom(value(PackageColumn::colorTag)));
    if (take(PackageColumn::customRefreshInterval))
        changed |= update(p->m_customRefreshInterval, optionalDoubleFrom(value(PackageColumn::customRefreshInterval)));
    if (take(PackageColumn::notificationsEnabled))
        changed |= update(p->m_notificationsEnabled, value(PackageColumn::notificationsEnabled).toBool());
    if (take(PackageColumn::notifyOnStatusChange))
        changed |= update(p->m_notifyOnStatusChange, value(PackageColumn::notifyOnStatusChange).toBool());
    if (take(PackageColumn::notifyOnLocationUpdate))
        changed |= update(p->m_notifyOnLocationUpdate, value(PackageColumn::notifyOnLocationUpdate).toBool());
    if (take(PackageColumn::notifyOnEstimatedDeliveryChange))
        changed |= update(p->m_notifyOnEstimatedDeliveryChange,
                          value(PackageColumn::notifyOnEstimatedDeliveryChange).toBool());
    if (take(PackageColumn::isPinned))
        changed |= update(p->m_isPinned, value(PackageColumn::isPinned).toBool());
    if (take(PackageColumn::customImageData)) {
        const QString file = value(PackageColumn::customImageData).toString();
        const QString path = file.isEmpty() ? QString() : imagePath(file);
        if (path != p->m_imagePath) {
            p->m_imagePath = path;
            // The bytes are read again from the new file on next access.
            p->m_imageData.reset();
            p->m_imageLoaded = path.isEmpty();
            changed = true;
        }
    }
    return changed;
}

bool ModelContext::applyGroupRow(PackageGroup *g, const QSqlQuery &q, quint32 keep)
{
    const auto take = [&](GroupColumn column) { return !(keep & bit(column)); };
    const auto value = [&](GroupColumn column) { return q.value(static_cast<int>(column) + 1); };
    bool changed = false;
    if (take(GroupColumn::id))
        changed |= update(g->m_id, QUuid::fromString(value(GroupColumn::id).toString()));
    if (take(GroupColumn::name))
        changed |= update(g->m_name, value(GroupColumn::name).toString());
    if (take(GroupColumn::colorHex))
        changed |= update(g->m_colorHex, value(GroupColumn::colorHex).toString());
    if (take(GroupColumn::sortOrder))
        changed |= update(g->m_sortOrder, value(GroupColumn::sortOrder).toInt());
    if (take(GroupColumn::dateCreated))
        changed |= update(g->m_dateCreated, dateFrom(value(GroupColumn::dateCreated)));
    return changed;
}

TrackingEvent *ModelContext::eventFromRow(const QSqlQuery &q)
{
    auto *event = new TrackingEvent();
    event->m_rowId = q.value(0).toLongLong();
    event->m_timestamp = dateFrom(q.value(2));
    event->m_status = statusFrom(q.value(3));
    event->m_eventDescription = q.value(4).toString();
    event->m_location = q.value(5).toString();
    event->m_rawStatusCode = q.value(6).toString();
    event->m_latitude = optionalDoubleFrom(q.value(7));
    event->m_longitude = optionalDoubleFrom(q.value(8));
    return event;
}

bool ModelContext::loadEvents(Package *package)
{
    if (package->m_eventsLoaded)
        return true;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM TrackingEvent WHERE packageId = ? ORDER BY id").arg(s_eventColumns));
    query.addBindValue(package->m_rowId);
    if (!query.exec()) {
        qWarning("ModelContext: could not read the events of a package: %s", qPrintable(query.lastError().text()));
        return false;
    }
    std::unique_ptr<TrackingEvent> preloaded = std::move(package->m_preloadedLatest);
    QList<TrackingEvent *> events;
    while (query.next()) {
        TrackingEvent *event = nullptr;
        if (preloaded && preloaded->m_rowId == query.value(0).toLongLong()) {
            event = preloaded.release(); // keep the object that latestEvent() already handed out
        } else {
            event = eventFromRow(query);
        }
        event->m_package = package;
        events.append(event);
    }
    if (preloaded)
        m_retiredEvents.push_back(std::move(preloaded));
    events.append(package->m_events); // none in practice: appending loads first
    package->m_events = events;
    package->m_eventsLoaded = true;
    package->m_latestValid = false;
    return true;
}

Result<void, ModelError> ModelContext::loadLatestEvents(const QList<Package *> &packages, bool everyPackage)
{
    using R = Result<void, ModelError>;
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    const QString failed = QStringLiteral("The events of the store could not be read.");
    const auto adopt = [&]() {
        Package *package = m_packagesById.value(query.value(1).toLongLong());
        if (!package || package->m_eventsLoaded || package->m_preloadedLatest)
            return;
        TrackingEvent *event = eventFromRow(query);
        event->m_package = package;
        package->m_preloadedLatest.reset(event);
    };
    if (everyPackage) {
        // One index lookup per package: newest timestamp first, lowest id among equal timestamps.
        const QString statement
            = QStringLiteral("SELECT %1 FROM Package p JOIN TrackingEvent e ON e.id = (SELECT id FROM TrackingEvent "
                             "WHERE packageId = p.id ORDER BY timestamp DESC, id ASC LIMIT 1)")
                  .arg(QString(s_eventColumns).replace(QLatin1String(", "), QLatin1String(", e.")).prepend(u"e."));
        if (!query.exec(statement))
            return R::failure(
                ModelSchema::sqlError(ModelError::Code::queryFailed, failed, query.lastError(), statement));
        while (query.next())
            adopt();
        return {};
    }
    const QString statement = QStringLiteral("SELECT %1 FROM TrackingEvent WHERE packageId = ? "
                                             "ORDER BY timestamp DESC, id ASC LIMIT 1")
                                  .arg(s_eventColumns);
    query.prepare(statement);
    for (Package *package : packages) {
        query.addBindValue(package->m_rowId);
        if (!query.exec())
            return R::failure(
                ModelSchema::sqlError(ModelError::Code::queryFailed, failed, query.lastError(), statement));
        if (query.next())
            adopt();
    }
    return {};
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

Result<bool, ModelError> ModelContext::refreshFromStore()
{
    ModelChanges changes;
    changes.origin = ModelChanges::Origin::external;
    // What a merge applied before it failed is in the objects already: observers hear of it all the same,
    // because the next merge sees those rows as known and would not report them again.
    auto merged = merge(changes);
    if (!changes.isEmpty()) {
        for (Package *package : std::as_const(changes.updatedPackages))
            Q_EMIT package->changed();
        for (PackageGroup *group : std::as_const(changes.updatedGroups))
            Q_EMIT group->changed();
        for (Package *package : std::as_const(changes.deletedPackages))
            Q_EMIT package->changed();
        for (PackageGroup *group : std::as_const(changes.deletedGroups))
            Q_EMIT group->changed();
        Q_EMIT objectsChanged(changes);
    }
    if (!merged)
        return merged;
    return !changes.isEmpty();
}

Result<bool, ModelError> ModelContext::merge(ModelChanges &changes)
{
    using R = Result<bool, ModelError>;
    const QString failed = QStringLiteral("The store file %1 could not be read.").arg(QDir::toNativeSeparators(m_path));
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    QString statement;
    const auto fail = [&]() {
        ModelError error = ModelSchema::sqlError(ModelError::Code::queryFailed, failed, query.lastError(), statement);
        query.finish();
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        return R::failure(error);
    };
    const auto run = [&](const QString &sql) {
        statement = sql;
        return query.exec(sql);
    };

    // One read transaction: every table from the same snapshot.
    if (!run(QStringLiteral("BEGIN")))
        return fail();
    if (!run(QStringLiteral("PRAGMA data_version")) || !query.next())
        return fail();
    const qint64 version = query.value(0).toLongLong();
    query.finish();
    if (m_loaded && version == m_dataVersion) {
        QSqlQuery(m_db).exec(QStringLiteral("COMMIT"));
        return false;
    }

    // Groups.
    QSet<qint64> pendingDeletedGroups;
    for (PackageGroup *group : std::as_const(m_deletedGroups))
        pendingDeletedGroups.insert(group->m_rowId);
    if (!run(QStringLiteral("SELECT id, %1 FROM PackageGroup ORDER BY id").arg(joinedColumns(s_groupColumns))))
        return fail();
    QSet<qint64> seenGroups;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        seenGroups.insert(id);
        if (pendingDeletedGroups.contains(id))
            continue;
        if (PackageGroup *group = m_groupsById.value(id)) {
            if (applyGroupRow(group, query, group->m_dirty))
                changes.updatedGroups.append(group);
        } else {
            auto *created = new PackageGroup(PackageGroup::LoadTag {}, this);
            created->m_rowId = id;
            created->m_context = this;
            applyGroupRow(created, query, 0);
            m_groups.append(created);
            m_groupsById.insert(id, created);
            changes.insertedGroups.append(created);
        }
    }
    query.finish();
    for (PackageGroup *group : QList<PackageGroup *>(m_groups)) {
        if (group->m_rowId != 0 && !seenGroups.contains(group->m_rowId))
            detachDeleted(group, changes);
    }

    // Packages.
    QSet<qint64> pendingDeletedPackages;
    for (Package *package : std::as_const(m_deletedPackages))
        pendingDeletedPackages.insert(package->m_rowId);
    if (!run(QStringLiteral("SELECT id, %1 FROM Package ORDER BY id").arg(joinedColumns(s_packageColumns))))
        return fail();
    QSet<qint64> seenPackages;
    QList<Package *> newPackages;
    while (query.next()) {
        const qint64 id = query.value(0).toLongLong();
        seenPackages.insert(id);
        if (pendingDeletedPackages.contains(id))
            continue;
        if (Package *package = m_packagesById.value(id)) {
            if (applyPackageRow(package, query, package->m_dirty))
                changes.updatedPackages.append(package);
        } else {
            auto *created = new Package(Package::LoadTag {}, this);
            created->m_rowId = id;
            created->m_context = this;
            created->m_eventsLoaded = false;
            applyPackageRow(created, query, 0);
            m_packages.append(created);
            m_packagesById.insert(id, created);
            newPackages.append(created);
        }
    }
    query.finish();
    for (Package *package : QList<Package *>(m_packages)) {
        if (package->m_rowId != 0 && !seenPackages.contains(package->m_rowId))
            detachDeleted(package, changes);
    }
    // Reported from here on, so that a failure further down still tells about the objects already adopted.
    changes.insertedPackages.append(newPackages);

    // Memberships: stored links win, except where this context has an unsaved change to the same pair.
    if (!run(QStringLiteral("SELECT packageId, groupId FROM PackageGroupMembership ORDER BY rowid")))
        return fail();
    QHash<Package *, QList<PackageGroup *>> storedLinks;
    while (query.next()) {
        Package *package = m_packagesById.value(query.value(0).toLongLong());
        PackageGroup *group = m_groupsById.value(query.value(1).toLongLong());
        if (package && group)
            storedLinks[package].append(group);
    }
    query.finish();
    QHash<QPair<Package *, PackageGroup *>, bool> pendingLinks;
    for (const LinkOp &op : std::as_const(m_linkOps))
        pendingLinks.insert({op.package, op.group}, op.add);
    const auto markUpdated = [&](Package *package, PackageGroup *group) {
        if (!newPackages.contains(package) && !changes.updatedPackages.contains(package))
            changes.updatedPackages.append(package);
        if (!changes.insertedGroups.contains(group) && !changes.updatedGroups.contains(group))
            changes.updatedGroups.append(group);
    };
    for (Package *package : std::as_const(m_packages)) {
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

    // Latest events of new packages, so list rows need no event list.
    if (!newPackages.isEmpty()) {
        if (auto latest = loadLatestEvents(newPackages, !m_loaded || newPackages.size() > 64); !latest) {
            QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
            return R::failure(latest.error());
        }
    }

    // Events other connections appended to packages this context already knew.
    if (m_loaded) {
        if (!run(QStringLiteral("SELECT %1 FROM TrackingEvent WHERE id > %2 ORDER BY id")
                     .arg(s_eventColumns)
                     .arg(m_maxEventRowId)))
            return fail();
        QSet<Package *> reload;
        QHash<Package *, QSet<qint64>> known;
        QSet<Package *> fresh(newPackages.begin(), newPackages.end());
        while (query.next()) {
            Package *package = m_packagesById.value(query.value(1).toLongLong());
            if (!package || fresh.contains(package))
                continue;
            if (!package->m_eventsLoaded) {
                reload.insert(package);
                continue;
            }
            auto knownIds = known.find(package);
            if (knownIds == known.end()) {
                QSet<qint64> ids;
                for (const TrackingEvent *event : std::as_const(package->m_events))
                    ids.insert(event->m_rowId);
                knownIds = known.insert(package, ids);
            }
            const qint64 id = query.value(0).toLongLong();
            if (knownIds->contains(id))
                continue; // written by this context
            TrackingEvent *event = eventFromRow(query);
            event->m_package = package;
            package->m_events.append(event);
            package->m_latestValid = false;
            knownIds->insert(id);
            if (!changes.updatedPackages.contains(package))
                changes.updatedPackages.append(package);
        }
        query.finish();
        for (Package *package : std::as_const(reload)) {
            // The preloaded latest event may be outdated; reading the whole list settles it.
            if (loadEvents(package) && !changes.updatedPackages.contains(package))
                changes.updatedPackages.append(package);
        }

        // Coordinates written by another process to events this context holds.
        QStringList loadedIds;
        QHash<qint64, TrackingEvent *> loadedEvents;
        for (Package *package : std::as_const(m_packages)) {
            if (package->m_rowId == 0 || !package->m_eventsLoaded || reload.contains(package))
                continue;
            loadedIds.append(QString::number(package->m_rowId));
            for (TrackingEvent *event : std::as_const(package->m_events)) {
                if (event->m_rowId != 0)
                    loadedEvents.insert(event->m_rowId, event);
            }
        }
        if (!loadedIds.isEmpty()) {
            if (!run(QStringLiteral("SELECT id, latitude, longitude FROM TrackingEvent WHERE packageId IN (%1)")
                         .arg(loadedIds.join(u','))))
                return fail();
            while (query.next()) {
                TrackingEvent *event = loadedEvents.value(query.value(0).toLongLong());
                if (!event)
                    continue;
                bool changed = false;
                if (!(event->m_dirty & TrackingEvent::LatitudeDirty))
                    changed |= update(event->m_latitude, optionalDoubleFrom(query.value(1)));
                if (!(event->m_dirty & TrackingEvent::LongitudeDirty))
                    changed |= update(event->m_longitude, optionalDoubleFrom(query.value(2)));
                if (changed && !changes.updatedPackages.contains(event->m_package))
                    changes.updatedPackages.append(event->m_package);
            }
            query.finish();
        }
    }

    if (!run(QStringLiteral("SELECT coalesce(max(id), 0) FROM TrackingEvent")) || !query.next())
        return fail();
    m_maxEventRowId = std::max(m_maxEventRowId, query.value(0).toLongLong());
    query.finish();
    if (!run(QStringLiteral("COMMIT")))
        return fail();

    m_dataVersion = version;
    m_loaded = true;
    return !changes.isEmpty();
}

// ---- Save ------------------------------------------------------------------------------------

Result<void, ModelError> ModelContext::save()
{
    using R = Result<void, ModelError>;
    if (!hasChanges())
        return {};
    const QString failed
        = QStringLiteral("The changes could not be saved to %1.").arg(QDir::toNativeSeparators(m_path));

    // Pictures first: a committed row may only name a file that exists.
    struct ImageChange {
        Package *package;
        QString newPath; // empty: the picture was removed
    };
    QList<ImageChange> imageChanges;
    QStringList writtenFiles;
    const auto discardWritten = [&] {
        for (const QString &file : std::as_const(writtenFiles))
            QFile::remove(file);
    };
    QList<Package *> imageCandidates = m_insertedPackages;
    for (Package *package : std::as_const(m_changedPackages)) {
        if (package->m_dirty & bit(PackageColumn::customImageData))
            imageCandidates.append(package);
    }
    for (Package *package : std::as_const(imageCandidates)) {
        const std::optional<QByteArray> data = package->customImageData();
        const bool isNew = package->m_rowId == 0;
        if (!data) {
            if (!isNew)
                imageChanges.append({package, QString()});
            continue;
        }
        if (!QDir().mkpath(externalDataDirectory())) {
            discardWritten();
            return R::failure({ModelError::Code::externalDataFailed,
                               failed + QStringLiteral(" The folder for pictures could not be created."),
                               externalDataDirectory()});
        }
        const QString path = imagePath(QUuid::createUuid().toString(QUuid::WithoutBraces) + QStringLiteral(".data"));
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(*data) != data->size() || !file.commit()) {
            const QString reason = file.errorString();
            discardWritten();
            return R::failure({ModelError::Code::externalDataFailed,
                               failed + QStringLiteral(" A picture could not be written: %1.").arg(reason), path});
        }
        writtenFiles.append(path);
        imageChanges.append({package, path});
    }
    QHash<Package *, QString> imageFileFor;
    for (const ImageChange &change : std::as_const(imageChanges))
        imageFileFor.insert(change.package, QFileInfo(change.newPath).fileName());
    const auto imageFile = [&](Package *package) {
        if (auto it = imageFileFor.constFind(package); it != imageFileFor.constEnd())
            return *it;
        return package->m_imagePath.isEmpty() ? QString() : QFileInfo(package->m_imagePath).fileName();
    };

    QSqlQuery query(m_db);
    QString statement;
    const auto failWith = [&](QSqlQuery &failing) {
        ModelError error = ModelSchema::sqlError(ModelError::Code::queryFailed, failed, failing.lastError(), statement);
        failing.finish();
        QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
        discardWritten();
        return R::failure(error);
    };
    const auto fail = [&]() { return failWith(query); };
    const auto prepare = [&](const QString &sql) {
        statement = sql;
        return query.prepare(sql);
    };

    // BEGIN IMMEDIATE takes the write lock up front, so a busy store fails here, before any work.
    statement = QStringLiteral("BEGIN IMMEDIATE");
    if (!query.exec(statement))
        return fail();

    QHash<PackageGroup *, qint64> newGroupIds;
    QHash<Package *, qint64> newPackageIds;
    QHash<TrackingEvent *, qint64> newEventIds;
    QSet<Package *> vanishedPackages;
    QSet<PackageGroup *> vanishedGroups;

    if (!m_insertedGroups.isEmpty()) {
        if (!prepare(QStringLiteral("INSERT INTO PackageGroup (%1) VALUES (%2)")
                         .arg(joinedColumns(s_groupColumns), placeholders(PackageGroup::columnCount))))
            return fail();
        for (PackageGroup *group : std::as_const(m_insertedGroups)) {
            for (int c = 0; c < PackageGroup::columnCount; ++c)
                query.addBindValue(groupValue(*group, static_cast<GroupColumn>(c)));
            if (!query.exec())
                return fail();
            newGroupIds.insert(group, query.lastInsertId().toLongLong());
        }
    }
    if (!m_insertedPackages.isEmpty()) {
        if (!prepare(QStringLiteral("INSERT INTO Package (%1) VALUES (%2)")
                         .arg(joinedColumns(s_packageColumns), placeholders(Package::columnCount))))
            return fail();
        for (Package *package : std::as_const(m_insertedPackages)) {
            const QString file = imageFile(package);
            for (int c = 0; c < Package::columnCount; ++c)
                query.addBindValue(packageValue(*package, static_cast<PackageColumn>(c), file));
            if (!query.exec())
                return fail();
            newPackageIds.insert(package, query.lastInsertId().toLongLong());
        }
    }

    // Changed records: only the columns that changed, so another process's edits to other columns survive.
    for (PackageGroup *group : std::as_const(m_changedGroups)) {
        if (!group->m_dirty)
            continue;
        QStringList assignments;
        QVariantList values;
        for (int c = 0; c < PackageGroup::columnCount; ++c) {
            if (group->m_dirty & (1u << c)) {
                assignments.append(columnName(s_groupColumns[c]) + QStringLiteral(" = ?"));
                values.append(groupValue(*group, static_cast<GroupColumn>(c)));
            }
        }
        if (!prepare(QStringLiteral("UPDATE PackageGroup SET %1 WHERE id = ?").arg(assignments.join(u", "))))
            return fail();
        for (const QVariant &value : std::as_const(values))
            query.addBindValue(value);
        query.addBindValue(group->m_rowId);
        if (!query.exec())
            return fail();
        if (query.numRowsAffected() == 0)
            vanishedGroups.insert(group); // another process deleted it
    }
    QList<Package *> withEventChanges = m_insertedPackages;
    for (Package *package : std::as_const(m_changedPackages)) {
        if (package->m_dirty) {
            QStringList assignments;
            QVariantList values;
            const QString file = imageFile(package);
            for (int c = 0; c < Package::columnCount; ++c) {
                if (package->m_dirty & (1u << c)) {
                    assignments.append(columnName(s_packageColumns[c]) + QStringLiteral(" = ?"));
                    values.append(packageValue(*package, static_cast<PackageColumn>(c), file));
                }
            }
            if (!prepare(QStringLiteral("UPDATE Package SET %1 WHERE id = ?").arg(assignments.join(u", "))))
                return fail();
            for (const QVariant &value : std::as_const(values))
                query.addBindValue(value);
            query.addBindValue(package->m_rowId);
            if (!query.exec())
                return fail();
            if (query.numRowsAffected() == 0) {
                vanishedPackages.insert(package);
                continue;
            }
        } else if (package->m_hasEventChanges) {
            if (!prepare(QStringLiteral("SELECT 1 FROM Package WHERE id = ?")))
                return fail();
            query.addBindValue(package->m_rowId);
            if (!query.exec())
                return fail();
            const bool exists = query.next();
            query.finish();
            if (!exists) {
                vanishedPackages.insert(package);
                continue;
            }
        }
        if (package->m_hasEventChanges)
            withEventChanges.append(package);
    }

    // Events: new ones, and coordinates of stored ones.
    QSqlQuery insertEvent(m_db);
    QSqlQuery updateLatitude(m_db);
    QSqlQuery updateLongitude(m_db);
    bool eventStatementsReady = false;
    for (Package *package : std::as_const(withEventChanges)) {
        if (!package->m_eventsLoaded)
            continue; // nothing appended: appending loads the list first
        if (!eventStatementsReady) {
            statement = QStringLiteral("INSERT INTO TrackingEvent (packageId, timestamp, status, eventDescription, "
                                       "location, rawStatusCode, latitude, longitude) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
            if (!insertEvent.prepare(statement)
                || !updateLatitude.prepare(QStringLiteral("UPDATE TrackingEvent SET latitude = ? WHERE id = ?"))
                || !updateLongitude.prepare(QStringLiteral("UPDATE TrackingEvent SET longitude = ? WHERE id = ?")))
                return failWith(insertEvent.lastError().isValid()          ? insertEvent
                                    : updateLatitude.lastError().isValid() ? updateLatitude
                                                                           : updateLongitude);
            eventStatementsReady = true;
        }
        const qint64 packageId = package->m_rowId != 0 ? package->m_rowId : newPackageIds.value(package);
        for (TrackingEvent *event : std::as_const(package->m_events)) {
            if (event->m_rowId == 0) {
                insertEvent.addBindValue(packageId);
                insertEvent.addBindValue(dateValue(event->m_timestamp));
                insertEvent.addBindValue(TrackingStatuses::rawValue(event->m_status));
                insertEvent.addBindValue(textValue(event->m_eventDescription));
                insertEvent.addBindValue(textValue(event->m_location));
                insertEvent.addBindValue(textValue(event->m_rawStatusCode));
                insertEvent.addBindValue(optionalDoubleValue(event->m_latitude));
                insertEvent.addBindValue(optionalDoubleValue(event->m_longitude));
                if (!insertEvent.exec())
                    return failWith(insertEvent);
                newEventIds.insert(event, insertEvent.lastInsertId().toLongLong());
            } else if (event->m_dirty) {
                const std::pair<TrackingEvent::DirtyBit, QSqlQuery *> updates[] = {
                    {TrackingEvent::LatitudeDirty, &updateLatitude}, {TrackingEvent::LongitudeDirty, &updateLongitude}};
                for (const auto &[dirtyBit, update] : updates) {
                    if (!(event->m_dirty & dirtyBit))
                        continue;
                    update->addBindValue(optionalDoubleValue(
                        dirtyBit == TrackingEvent::LatitudeDirty ? event->m_latitude : event->m_longitude));
                    update->addBindValue(event->m_rowId);
                    if (!update->exec())
                        return failWith(*update);
                }
            }
        }
    }

    // Memberships, in the order they were made; a pair whose record is gone is skipped.
    if (!m_linkOps.isEmpty()) {
        QSqlQuery addLink(m_db);
        QSqlQuery removeLink(m_db);
        statement = QStringLiteral("INSERT OR IGNORE INTO PackageGroupMembership (packageId, groupId) "
                                   "SELECT ?, ? WHERE EXISTS (SELECT 1 FROM Package WHERE id = ?) "
                                   "AND EXISTS (SELECT 1 FROM PackageGroup WHERE id = ?)");
        if (!addLink.prepare(statement)
            || !removeLink.prepare(
                QStringLiteral("DELETE FROM PackageGroupMembership WHERE packageId = ? AND groupId = ?")))
            return failWith(addLink.lastError().isValid() ? addLink : removeLink);
        for (const LinkOp &op : std::as_const(m_linkOps)) {
            if (op.package->m_deleted || op.group->m_deleted || op.package->m_context != this
                || op.group->m_context != this)
                continue;
            const qint64 packageId = op.package->m_rowId != 0 ? op.package->m_rowId : newPackageIds.value(op.package);
            const qint64 groupId = op.group->m_rowId != 0 ? op.group->m_rowId : newGroupIds.value(op.group);
            if (packageId == 0 || groupId == 0)
                continue;
            QSqlQuery &link = op.add ? addLink : removeLink;
            link.addBindValue(packageId);
            link.addBindValue(groupId);
            if (op.add) {
                link.addBindValue(packageId);
                link.addBindValue(groupId);
            }
            if (!link.exec())
                return failWith(link);
        }
    }

    // Deletions; events and memberships follow by cascade.
    if (!m_deletedPackages.isEmpty()) {
        if (!prepare(QStringLiteral("DELETE FROM Package WHERE id = ?")))
            return fail();
        for (Package *package : std::as_const(m_deletedPackages)) {
            query.addBindValue(package->m_rowId);
            if (!query.exec())
                return fail();
        }
    }
    if (!m_deletedGroups.isEmpty()) {
        if (!prepare(QStringLiteral("DELETE FROM PackageGroup WHERE id = ?")))
            return fail();
        for (PackageGroup *group : std::as_const(m_deletedGroups)) {
            query.addBindValue(group->m_rowId);
            if (!query.exec())
                return fail();
        }
    }

    if (m_beforeCommitHook)
        m_beforeCommitHook();
    statement = QStringLiteral("COMMIT");
    if (!query.exec(statement))
        return fail();

    // Committed: now the objects take their new state.
    ModelChanges changes;
    changes.origin = ModelChanges::Origin::saved;
    for (auto it = newGroupIds.cbegin(); it != newGroupIds.cend(); ++it) {
        it.key()->m_rowId = it.value();
        m_groupsById.insert(it.value(), it.key());
    }
    for (auto it = newPackageIds.cbegin(); it != newPackageIds.cend(); ++it) {
        it.key()->m_rowId = it.value();
        m_packagesById.insert(it.value(), it.key());
    }
    for (auto it = newEventIds.cbegin(); it != newEventIds.cend(); ++it)
        it.key()->m_rowId = it.value();
    QStringList obsoleteFiles;
    for (const ImageChange &change : std::as_const(imageChanges)) {
        Package *package = change.package;
        if (!package->m_imagePath.isEmpty() && package->m_imagePath != change.newPath)
            obsoleteFiles.append(package->m_imagePath);
        package->m_imagePath = change.newPath;
    }
    for (Package *package : std::as_const(m_deletedPackages)) {
        if (!package->m_imagePath.isEmpty())
            obsoleteFiles.append(package->m_imagePath);
    }
    for (Package *package : std::as_const(withEventChanges)) {
        package->m_hasEventChanges = false;
        for (TrackingEvent *event : std::as_const(package->m_events))
            event->m_dirty = 0;
    }
    changes.insertedGroups = m_insertedGroups;
    changes.insertedPackages = m_insertedPackages;
    changes.deletedPackages = m_deletedPackages;
    changes.deletedGroups = m_deletedGroups;
    for (PackageGroup *group : std::as_const(m_insertedGroups))
        group->m_dirty = 0;
    for (Package *package : std::as_const(m_insertedPackages))
        package->m_dirty = 0;
    for (PackageGroup *group : std::as_const(m_changedGroups)) {
        group->m_dirty = 0;
        if (!vanishedGroups.contains(group))
            changes.updatedGroups.append(group);
    }
    for (Package *package : std::as_const(m_changedPackages)) {
        package->m_dirty = 0;
        package->m_hasEventChanges = false;
        if (!vanishedPackages.contains(package))
            changes.updatedPackages.append(package);
    }
    m_insertedGroups.clear();
    m_insertedPackages.clear();
    m_changedGroups.clear();
    m_changedPackages.clear();
    m_deletedGroups.clear();
    m_deletedPackages.clear();
    m_linkOps.clear();
    for (PackageGroup *group : std::as_const(vanishedGroups))
        detachDeleted(group, changes);
    for (Package *package : std::as_const(vanishedPackages))
        detachDeleted(package, changes);
    for (const QString &file : std::as_const(obsoleteFiles))
        QFile::remove(file);

    Q_EMIT objectsChanged(changes);
    return {};
}

void ModelContext::setExternalChangePolling(std::chrono::milliseconds interval)
{
    if (interval.count() <= 0) {
        delete m_pollTimer;
        m_pollTimer = nullptr;
        return;
    }
    if (!m_pollTimer) {
        m_pollTimer = new QTimer(this);
        connect(m_pollTimer, &QTimer::timeout, this, [this] {
            if (auto refreshed = refreshFromStore(); !refreshed)
                qWarning("ModelContext: %s", qPrintable(refreshed.error().fullDescription()));
        });
    }
    m_pollTimer->start(interval);
}

void ModelContext::setBusyTimeout(std::chrono::milliseconds timeout)
{
    QSqlQuery(m_db).exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(timeout.count()));
}
