#include "ui/packagelistmodel.h"

#include "base/clock.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "ui/packagerowview.h"

#include <QTimer>

#include <algorithm>

PackageListModel::PackageListModel(ModelContext *context, Clock *clock, QObject *parent)
    : QAbstractListModel(parent)
    , m_context(context)
    , m_clock(clock)
{
    if (m_context)
        connect(m_context, &ModelContext::objectsChanged, this, &PackageListModel::onObjectsChanged);
    m_rows = PackageListRule::visiblePackages(allPackages(), m_criteria);
    if (m_context) {
        if (auto groups = m_context->fetchGroups())
            for (PackageGroup *group : groups.value())
                watch(group);
    }
}

PackageListModel::~PackageListModel() = default;

int PackageListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant PackageListModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    Package *package = m_rows.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return PackageRowView::title(*package);
    case Qt::AccessibleTextRole:
        return PackageRowView::accessibleText(*package, m_clock->now());
    case Qt::ToolTipRole:
        return package->trackingNumber();
    case PackageRole:
        return QVariant::fromValue(package);
    case TrackingNumberRole:
        return package->trackingNumber();
    case LabelRole:
        return package->label();
    case StatusRole:
        return TrackingStatuses::rawValue(package->status());
    case CarrierNameRole:
        return package->carrierDisplayName();
    case IsPinnedRole:
        return package->isPinned();
    case IsArchivedRole:
        return package->isArchived();
    case InBatchSelectionRole:
        return m_batchSelection.contains(package);
    case BatchModeRole:
        return m_batchMode;
    default:
        return {};
    }
}

QHash<int, QByteArray> PackageListModel::roleNames() const
{
    QHash<int, QByteArray> names = QAbstractListModel::roleNames();
    names.insert(PackageRole, "package");
    names.insert(TrackingNumberRole, "trackingNumber");
    names.insert(LabelRole, "label");
    names.insert(StatusRole, "status");
    names.insert(CarrierNameRole, "carrierDisplayName");
    names.insert(IsPinnedRole, "isPinned");
    names.insert(IsArchivedRole, "isArchived");
    names.insert(InBatchSelectionRole, "inBatchSelection");
    names.insert(BatchModeRole, "batchMode");
    return names;
}

Qt::ItemFlags PackageListModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

void PackageListModel::setFilter(PackageFilter filter)
{
    if (m_criteria.filter == filter)
        return;
    m_criteria.filter = filter;
    updateNow();
}

void PackageListModel::setGroup(PackageGroup *group)
{
    if (m_group == group)
        return;
    m_group = group;
    updateNow();
}

void PackageListModel::setSearchText(const QString &text)
{
    if (m_criteria.searchText == text)
        return;
    m_criteria.searchText = text;
    updateNow();
}

void PackageListModel::setSortMode(PackageSortMode mode)
{
    if (m_criteria.sortMode == mode)
        return;
    m_criteria.sortMode = mode;
    updateNow();
}

void PackageListModel::setBatchMode(bool on)
{
    if (m_batchMode == on)
        return;
    m_batchMode = on;
    if (!on)
        m_batchSelection.clear();
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1), {BatchModeRole, InBatchSelectionRole});
    Q_EMIT batchSelectionChanged();
}

void PackageListModel::toggleBatchSelection(Package *package)
{
    if (!package)
        return;
    if (!m_batchSelection.remove(package))
        m_batchSelection.insert(package);
    if (const int row = rowOf(package); row >= 0)
        Q_EMIT dataChanged(index(row), index(row), {InBatchSelectionRole});
    Q_EMIT batchSelectionChanged();
}

void PackageListModel::clearBatchSelection()
{
    if (m_batchSelection.isEmpty())
        return;
    const QSet<Package *> previous = std::exchange(m_batchSelection, {});
    emitRowsChanged(previous);
    Q_EMIT batchSelectionChanged();
}

const QList<Package *> &PackageListModel::allPackages()
{
    if (m_allValid)
        return m_all;
    m_allValid = true;
    m_all.clear();
    if (!m_context)
        return m_all;
    // What is read so far: while the store opens, the rest arrives through objectsChanged.
    m_all = m_context->loadedPackages();
    std::stable_sort(m_all.begin(), m_all.end(),
                     [](const Package *a, const Package *b) { return a->lastUpdated() > b->lastUpdated(); });
    for (Package *package : std::as_const(m_all))
        watch(package);
    return m_all;
}

Package *PackageListModel::packageAt(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row) : nullptr;
}

int PackageListModel::rowOf(const Package *package) const
{
    if (!m_rowOfValid) {
        m_rowOf.clear();
        m_rowOf.reserve(m_rows.size());
        for (int i = 0; i < m_rows.size(); ++i)
            m_rowOf.insert(m_rows.at(i), i);
        m_rowOfValid = true;
    }
    return m_rowOf.value(package, -1);
}

QModelIndex PackageListModel::indexOf(const Package *package) const
{
    const int row = rowOf(package);
    return row >= 0 ? index(row) : QModelIndex();
}

void PackageListModel::watch(Package *package)
{
    if (m_watched.contains(package))
        return;
    m_watched.insert(package);
    connect(package, &Package::changed, this, [this, package] { onPackageChanged(package); });
    connect(package, &QObject::destroyed, this, [this, package] {
        m_watched.remove(package);
        m_batchSelection.remove(package);
    });
}

void PackageListModel::watch(PackageGroup *group)
{
    if (m_watched.contains(group))
        return;
    m_watched.insert(group);
    connect(group, &PackageGroup::changed, this, [this] {
        // Members or colour changed: the group's list and every row's colour dot may differ.
        m_allRowsDirty = true;
        scheduleUpdate();
    });
    connect(group, &QObject::destroyed, this, [this, group] { m_watched.remove(group); });
}

void PackageListModel::onObjectsChanged(const ModelChanges &changes)
{
    if (!changes.insertedPackages.isEmpty() || !changes.deletedPackages.isEmpty())
        m_allValid = false;
    for (Package *package : changes.updatedPackages)
        m_dirtyPackages.insert(package);
    for (PackageGroup *group : changes.insertedGroups)
        watch(group);
    if (!changes.insertedGroups.isEmpty() || !changes.updatedGroups.isEmpty() || !changes.deletedGroups.isEmpty())
        m_allRowsDirty = true;
    bool selectionChanged = false;
    for (Package *package : changes.deletedPackages)
        selectionChanged |= m_batchSelection.remove(package);
    if (!changes.deletedPackages.isEmpty()) {
        // The context frees deleted packages soon after this signal: no row may outlive it.
        const QSet<Package *> deleted(changes.deletedPackages.cbegin(), changes.deletedPackages.cend());
        for (Package *package : deleted) {
            m_dirtyPackages.remove(package);
            m_watched.remove(package);
        }
        m_all.removeIf([&](Package *package) { return deleted.contains(package); });
        QList<Package *> rows = m_rows;
        rows.removeIf([&](Package *package) { return deleted.contains(package); });
        applyRows(rows);
    }
    if (selectionChanged)
        Q_EMIT batchSelectionChanged();
    scheduleUpdate();
}

void PackageListModel::onPackageChanged(Package *package)
{
    // Any property may move the package in or out of the list or change its place; the
    // query's own order (last update) may change too.
    m_allValid = false;
    m_dirtyPackages.insert(package);
    scheduleUpdate();
}

void PackageListModel::scheduleUpdate()
{
    if (m_updateScheduled)
        return;
    m_updateScheduled = true;
    QTimer::singleShot(0, this, [this] {
        if (m_updateScheduled)
            updateNow();
    });
}

void PackageListModel::updateNow()
{
    m_updateScheduled = false;
    PackageListRule::Criteria criteria = m_criteria;
    criteria.group = m_group.data();
    applyRows(PackageListRule::visiblePackages(allPackages(), criteria));
    if (m_allRowsDirty) {
        if (!m_rows.isEmpty())
            Q_EMIT dataChanged(index(0), index(int(m_rows.size()) - 1));
    } else {
        emitRowsChanged(m_dirtyPackages);
    }
    m_allRowsDirty = false;
    m_dirtyPackages.clear();
    Q_EMIT listUpdated();
}

void PackageListModel::emitRowsChanged(const QSet<Package *> &packages)
{
    int first = -1;
    int last = -1;
    for (const Package *package : packages) {
        const int row = rowOf(package);
        if (row < 0)
            continue;
        first = first < 0 ? row : qMin(first, row);
        last = qMax(last, row);
    }
    if (first >= 0)
        Q_EMIT dataChanged(index(first), index(last));
}

void PackageListModel::applyRows(const QList<Package *> &rows)
{
    if (rows == m_rows)
        return;
    const auto invalidateRowIndex = [this] { m_rowOfValid = false; };

    if (m_rows.isEmpty() || rows.isEmpty()) {
        if (!m_rows.isEmpty()) {
            beginRemoveRows({}, 0, int(m_rows.size()) - 1);
            m_rows.clear();
            invalidateRowIndex();
            endRemoveRows();
        }
        if (!rows.isEmpty()) {
            beginInsertRows({}, 0, int(rows.size()) - 1);
            m_rows = rows;
            invalidateRowIndex();
            endInsertRows();
        }
        return;
    }

    const QSet<const Package *> oldSet(m_rows.cbegin(), m_rows.cend());
    const QSet<const Package *> newSet(rows.cbegin(), rows.cend());

    // Plan: removals (runs of old rows not kept), then a reorder of the kept rows when their
    // order differs, then insertions (runs of new rows). Count the separate signals needed.
    QList<QPair<int, int>> removals; // [first, last] in old row numbers
    QList<Package *> kept;
    kept.reserve(m_rows.size());
    for (int i = 0; i < m_rows.size(); ++i) {
        if (newSet.contains(m_rows.at(i))) {
            kept.append(m_rows.at(i));
        } else if (!removals.isEmpty() && removals.last().second == i - 1) {
            removals.last().second = i;
        } else {
            removals.append({i, i});
        }
    }
    QList<Package *> keptInNewOrder;
    keptInNewOrder.reserve(kept.size());
    QList<QPair<int, int>> insertions; // [first, last] in new row numbers
    for (int i = 0; i < rows.size(); ++i) {
        if (oldSet.contains(rows.at(i))) {
            keptInNewOrder.append(rows.at(i));
        } else if (!insertions.isEmpty() && insertions.last().second == i - 1) {
            insertions.last().second = i;
        } else {
            insertions.append({i, i});
        }
    }
    const bool reorder = kept != keptInNewOrder;

    if (removals.size() + insertions.size() + (reorder ? 1 : 0) > maxIncrementalRanges) {
        beginResetModel();
        m_rows = rows;
        invalidateRowIndex();
        endResetModel();
        return;
    }

    for (auto it = removals.crbegin(); it != removals.crend(); ++it) {
        beginRemoveRows({}, it->first, it->second);
        m_rows.remove(it->first, it->second - it->first + 1);
        invalidateRowIndex();
        endRemoveRows();
    }

    if (reorder) {
        Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
        QHash<const Package *, int> newRowOf;
        newRowOf.reserve(keptInNewOrder.size());
        for (int i = 0; i < keptInNewOrder.size(); ++i)
            newRowOf.insert(keptInNewOrder.at(i), i);
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (const QModelIndex &old : from)
            to.append(index(newRowOf.value(m_rows.at(old.row()))));
        m_rows = keptInNewOrder;
        invalidateRowIndex();
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    }

    for (const auto &[first, last] : std::as_const(insertions)) {
        beginInsertRows({}, first, last);
        m_rows.insert(first, last - first + 1, nullptr);
        for (int i = first; i <= last; ++i)
            m_rows[i] = rows.at(i);
        invalidateRowIndex();
        endInsertRows();
    }
    Q_ASSERT(m_rows == rows);
}
