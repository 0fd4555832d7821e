#pragma once

#include "model/modelcontext.h"
#include "model/packagegroup.h"
#include "model/packagelistrule.h"

#include <QAbstractListModel>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QSet>

class Clock;
class Package;
struct ModelChanges;

/**
 * The main window's package list as an item model: the visible packages (the shared list rule
 * over a live query of every package, newest update first) for the current filter, group,
 * search and sort, plus the batch selection. Store changes and record edits are gathered and
 * applied once per event-loop turn, as exact row removals, insertions and moves, or as one
 * reset when the list changed too much for that to be cheaper.
 */
class PackageListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    enum Role {
        PackageRole = Qt::UserRole + 1, // Package *
        TrackingNumberRole,
        LabelRole,
        StatusRole, // raw status string
        CarrierNameRole,
        IsPinnedRole,
        IsArchivedRole,
        InBatchSelectionRole,
        BatchModeRole,
    };

    /** Above this many separate row changes one reset is cheaper than exact signals. */
    static constexpr int maxIncrementalRanges = 64;

    /** The packages of context; rows read their countdowns to screen readers from clock's time. */
    PackageListModel(ModelContext *context, Clock *clock, QObject *parent = nullptr);
    ~PackageListModel() override;

    [[nodiscard]] int rowCount(const QModelIndex &parent = {}) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;
    [[nodiscard]] Qt::ItemFlags flags(const QModelIndex &index) const override;

    [[nodiscard]] ModelContext *modelContext() const { return m_context; }

    [[nodiscard]] PackageFilter filter() const { return m_criteria.filter; }
    [[nodiscard]] PackageGroup *group() const { return m_group; }
    [[nodiscard]] QString searchText() const { return m_criteria.searchText; }
    [[nodiscard]] PackageSortMode sortMode() const { return m_criteria.sortMode; }
    void setFilter(PackageFilter filter);
    /** The group whose members replace the filtered set; nullptr for none. */
    void setGroup(PackageGroup *group);
    void setSearchText(const QString &text);
    void setSortMode(PackageSortMode mode);

    [[nodiscard]] bool isBatchMode() const { return m_batchMode; }
    /** Turning batch mode off empties the batch selection. */
    void setBatchMode(bool on);
    [[nodiscard]] const QSet<Package *> &batchSelection() const { return m_batchSelection; }
    /** Removes the package from the batch selection when it is in it, else adds it. */
    void toggleBatchSelection(Package *package);
    void clearBatchSelection();

    /** The visible packages, in row order. */
    [[nodiscard]] const QList<Package *> &packages() const { return m_rows; }
    /** Every package of the live query (archived ones included), newest update first. */
    [[nodiscard]] const QList<Package *> &allPackages();
    [[nodiscard]] Package *packageAt(int row) const;
    /** The row of a visible package, or -1. */
    [[nodiscard]] int rowOf(const Package *package) const;
    [[nodiscard]] QModelIndex indexOf(const Package *package) const;

    /** Applies pending store changes now instead of on the next event-loop turn. */
    void updateNow();

Q_SIGNALS:
    void batchSelectionChanged();
    /** The visible list was re-evaluated (after store changes or a new filter, group, search or sort). */
    void listUpdated();

private:
    void onObjectsChanged(const ModelChanges &changes);
    void onPackageChanged(Package *package);
    void scheduleUpdate();
    void refreshAll();
    void watch(Package *package);
    void watch(PackageGroup *group);
    void applyRows(const QList<Package *> &rows);
    void emitRowsChanged(const QSet<Package *> &packages);

    QPointer<ModelContext> m_context;
    Clock *m_clock;
    PackageListRule::Criteria m_criteria;
    QPointer<PackageGroup> m_group;
    bool m_batchMode = false;
    QSet<Package *> m_batchSelection;

    QList<Package *> m_rows;
    mutable QHash<const Package *, int> m_rowOf;
    mutable bool m_rowOfValid = false;
    QList<Package *> m_all;
    bool m_allValid = false;
    bool m_updateScheduled = false;
    QSet<Package *> m_dirtyPackages;
    bool m_allRowsDirty = false;
    QSet<const QObject *> m_watched;
};
