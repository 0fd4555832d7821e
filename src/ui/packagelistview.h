#pragma once

#include "model/package.h"

#include <QListView>
#include <QPointer>

class Clock;
class EmptyStateView;
class ModelContext;
class PackageGroup;
class PackageListModel;
class QMenu;
class TrackingService;

/**
 * The package list of the main window's sidebar: the list model drawn by the row delegate,
 * the empty-state panel over an empty list, the per-package context menu, the Delete key,
 * and in batch mode ticking rows instead of selecting them. The selected package is kept
 * here even while the list does not show it (another filter, a search).
 */
class PackageListView : public QListView
{
    Q_OBJECT
public:
    /** Lists context's packages; rows count down by clock, "Refresh" goes through tracking. */
    PackageListView(ModelContext *context, TrackingService *tracking, Clock *clock, QWidget *parent = nullptr);

    [[nodiscard]] PackageListModel *listModel() const { return m_model; }
    [[nodiscard]] EmptyStateView *emptyState() const { return m_emptyState; }
    [[nodiscard]] ModelContext *modelContext() const;

    [[nodiscard]] Package *selectedPackage() const { return m_selected; }
    /** Selects a package (nullptr clears); emits selectedPackageChanged() when it differs. */
    void setSelectedPackage(Package *package);

    /** Turns batch mode on or off; off empties the batch selection. */
    void setBatchMode(bool on);
    [[nodiscard]] bool isBatchMode() const;

    /** The context menu of a package's row; the caller owns it. */
    [[nodiscard]] QMenu *createContextMenu(Package *package, QWidget *parent);

    /** Deletes a package without asking; clears the selection first when it is the selected one. */
    void deletePackage(Package *package);
    /** Adds the package to the group, or removes it when it is a member (matched by id), and saves. */
    void togglePackageInGroup(Package *package, PackageGroup *group);

Q_SIGNALS:
    void selectedPackageChanged(Package *package);
    /** Delete was pressed in batch mode. */
    void batchDeleteRequested();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void currentChanged(const QModelIndex &current, const QModelIndex &previous) override;

private:
    void syncSelection();
    void updateEmptyState();
    void save();

    TrackingService *m_tracking;
    PackageListModel *m_model;
    EmptyStateView *m_emptyState;
    QPointer<Package> m_selected;
    bool m_syncing = false;
};
