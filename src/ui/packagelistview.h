#pragma once

#include "model/package.h"
#include "ui/screenservices.h"

#include <QListView>
#include <QPointer>

class EmptyStateView;
class ModelContext;
class PackageGroup;
class PackageListModel;
class QMenu;
class TrackingService;

/**
 * The package list of the main window's sidebar: the list model drawn by the row delegate,
 * the empty-state panel over an empty list, the per-package context menu, the Delete key,
 * and in batch mode ticking rows instead of selecting them. The selected package is a package,
 * not a row: only the user (a click, the keyboard) or setSelectedPackage() changes it. It stays
 * selected while the list does not show it (another filter, a search, archived) and becomes
 * none only when it is deleted.
 */
class PackageListView : public QListView
{
    Q_OBJECT
public:
    /** Lists context's packages; rows count down by clock, "Refresh" goes through tracking. */
    /** Works on the services' context with their tracking service, clock and carrier logos. */
    explicit PackageListView(const ScreenServices &services, QWidget *parent = nullptr);

    [[nodiscard]] PackageListModel *listModel() const { return m_model; }
    [[nodiscard]] EmptyStateView *emptyState() const { return m_emptyState; }
    [[nodiscard]] ModelContext *modelContext() const;

    [[nodiscard]] Package *selectedPackage() const { return m_selected; }
    /** Selects a package (nullptr clears); emits selectedPackageChanged() when it differs. */
    void setSelectedPackage(Package *package);
    /** Picks the first package when no package in the list is chosen; false when one was. */
    bool chooseFirstIfNoneChosen();

    /** Turns batch mode on or off; off empties the batch selection. */
    void setBatchMode(bool on);
    [[nodiscard]] bool isBatchMode() const;

    /** The context menu of a package's row; the caller owns it. */
    [[nodiscard]] QMenu *createContextMenu(Package *package, QWidget *parent);

    /** Adds the package to the group, or removes it when it is a member (matched by id), and saves. */
    void togglePackageInGroup(Package *package, PackageGroup *group);

Q_SIGNALS:
    void selectedPackageChanged(Package *package);
    /** Delete was pressed in batch mode. */
    void batchDeleteRequested();
    /** Delete (the key or the context menu) was chosen for a package; deleting is the window's, which can undo it. */
    void deleteRequested(Package *package);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
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
    // True while the view handles the user's own mouse or key input: only then may a move of the
    // current row select another package (rows moving under a filter or search must not).
    bool m_userInput = false;
};
