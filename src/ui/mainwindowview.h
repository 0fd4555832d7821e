#pragma once

#include "model/deletedpackages.h"
#include "model/packagegroup.h"
#include "model/packagelistrule.h"
#include "model/trackingstatus.h"
#include "ui/screenservices.h"

#include <QPointer>
#include <QSet>
#include <QWidget>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <functional>
#include <vector>

class AddPackageDialog;
class BatchActionBar;
class CalendarView;
class CapsuleButton;
class EmptyStateView;
class FilterPillBar;
class GroupChipBar;
class ModelContext;
class Package;
class PackageListView;
class PackageDetailView;
class QAction;
class QDialog;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMessageBox;
class QSplitter;
class QStackedWidget;
class QToolBar;
class QToolButton;
class ShellActions;

/**
 * The content of the main window: the API-key banner, the toolbar (view picker, add, refresh,
 * sort, batch mode, CSV import and export, settings), and the split view of the sidebar
 * (search, filter pills, groups, batch actions, package list) and the detail pane. Handles
 * drops of text, the CSV import and export, batch archive, delete and add-to-group, taking
 * back deletions (a notice with "Undo", and undoLastDeletion()), and the add-package,
 * refresh-all, archive-selected and select-package requests.
 */
class MainWindowView : public QWidget
{
    Q_OBJECT
public:
    static constexpr int sidebarMinimumWidth = 220;
    static constexpr int sidebarMaximumWidth = 350;
    static constexpr int sidebarIdealWidth = 280;
    /** The name the export's save panel proposes. */
    static inline const QString exportFileName = QStringLiteral("Kestrove-Export.csv");

    /** Makes the group-management sheet (GroupManagementView by default); without one, its buttons do nothing. */
    using SheetFactory = std::function<QDialog *(ModelContext *context, QWidget *parent)>;

    /** The view works on the services' main context, follows their requests and reaches the shell through shell. */
    MainWindowView(const ScreenServices &services, ShellActions *shell, QWidget *parent = nullptr);
    ~MainWindowView() override;

    [[nodiscard]] ModelContext *modelContext() const { return m_context; }
    /** The toolbar; the window may move it into its own toolbar area. */
    [[nodiscard]] QToolBar *toolBar() const { return m_toolBar; }
    [[nodiscard]] PackageListView *packageList() const { return m_list; }
    /** The delivery calendar, made the first time it is asked for. */
    [[nodiscard]] CalendarView *calendar();
    /** The selected package's detail, made when a package is first chosen. */
    [[nodiscard]] PackageDetailView *detailView();

    // The view's state, as the screens around it see it.
    [[nodiscard]] PackageFilter selectedFilter() const { return m_filter; }
    [[nodiscard]] PackageGroup *selectedGroup() const { return m_group; }
    [[nodiscard]] Package *selectedPackage() const;
    [[nodiscard]] ViewMode viewMode() const { return m_viewMode; }
    [[nodiscard]] PackageSortMode sortMode() const { return m_sortMode; }
    [[nodiscard]] QString searchText() const;
    [[nodiscard]] bool isBatchMode() const { return m_batchMode; }
    [[nodiscard]] QSet<Package *> batchSelection() const;
    /** The add-package sheet while it is shown. */
    [[nodiscard]] AddPackageDialog *addPackageSheet() const;

    void setSelectedFilter(PackageFilter filter);
    /** Selects a group (its members replace the filter), or none with nullptr. */
    void setSelectedGroup(PackageGroup *group);
    void setSelectedPackage(Package *package);
    void setViewMode(ViewMode mode);
    void setSortMode(PackageSortMode mode);
    void setBatchMode(bool on);

    /** Shows the add-package sheet, prefilled with number when it is not empty. */
    void showAddPackage(const QString &number = {});
    /** Starts a refresh of all packages through the tracking service. */
    void refreshAll();
    /** Archives the batch selection, saves, and leaves batch mode. */
    void batchArchive();
    /** "Archive Selected": the ticked packages in batch mode, else the selected package. */
    void archiveSelected();
    /** How long the notice of a deletion offers "Undo". */
    static constexpr std::chrono::seconds undoNoticeDuration {10};
    /** Deletions that can still be taken back, at most. */
    static constexpr std::size_t undoLimit = 20;

    /** Deletes the batch selection without asking, and leaves batch mode. */
    void batchDelete();
    /**
     * Every deletion of the window: the selected package among them is deselected, the packages
     * leave their groups and the store, and "Undo" is offered for 10 seconds (and by
     * undoLastDeletion() until then and after).
     */
    void deletePackages(const QList<Package *> &packages);
    /** Puts the most recently deleted packages back as they were; false when there is nothing to undo. */
    bool undoLastDeletion();
    [[nodiscard]] bool canUndoDeletion() const { return !m_deletions.empty(); }
    /** Adds every package of the batch selection that is not a member to the group, and saves. */
    void batchAddToGroup(PackageGroup *group);
    /** Offers a dropped text: the first tracking number candidate opens the add sheet. */
    void handleDroppedText(const QByteArray &utf8);
    /** Chooses a CSV file and imports it, then shows the result alert. */
    void importCSV();
    /** Imports the file at path, then shows the result alert. */
    void importCSVFile(const QString &path);
    /** Chooses where to save and writes every package as CSV there. */
    void exportCSV();
    /** Opens the group-management sheet through the installed factory. */
    void showGroupManagement();

    static void setGroupManagementFactory(SheetFactory factory);

Q_SIGNALS:
    void selectedPackageChanged(Package *package);
    /** Whether undoLastDeletion() has something to put back changed. */
    void undoAvailableChanged(bool available);
    /** A CSV import ended and its alert is shown. */
    void csvImportFinished(qsizetype imported, qsizetype skipped);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildToolBar();
    /** A banner strip with a warning symbol in this tone; its contents go into layout. */
    QWidget *buildBanner(const QString &objectName, StatusColor tone, QHBoxLayout *&layout);
    QWidget *buildApiKeyBanner();
    QWidget *buildRateLimitBanner();
    QWidget *buildSaveErrorBanner();
    QWidget *buildSidebar();
    QWidget *buildDetail();
    QWidget *buildDeletionNotice();
    void showDeletionNotice(qsizetype count);
    QCoro::Task<> hideDeletionNoticeLater(quint64 generation);
    void selectPackageByNumber(const QString &trackingNumber);
    void updateApiKeyBanner();
    /** Shows when 17TRACK may be asked again, while it asked to wait. */
    void updateRateLimitBanner();
    void updateRefreshState();
    void updateDetail();
    void updateBatchBar();
    void showImportResult(qsizetype imported, qsizetype skipped, const QString &error);
    [[nodiscard]] QList<Package *> allPackages() const;
    [[nodiscard]] QList<PackageGroup *> sortedGroups() const;

    ScreenServices m_services;
    ModelContext *m_context;
    ShellActions *m_shell;

    PackageFilter m_filter = PackageFilter::all;
    QPointer<PackageGroup> m_group;
    ViewMode m_viewMode = ViewMode::list;
    PackageSortMode m_sortMode = PackageSortMode::lastUpdated;
    bool m_batchMode = false;

    QToolBar *m_toolBar = nullptr;
    CapsuleButton *m_listModeButton = nullptr;
    CapsuleButton *m_calendarModeButton = nullptr;
    QAction *m_refreshAction = nullptr;
    QAction *m_refreshIndicator = nullptr;
    QAction *m_batchAction = nullptr;
    QList<QAction *> m_sortActions;

    QWidget *m_apiKeyBanner = nullptr;
    QWidget *m_rateLimitBanner = nullptr;
    QLabel *m_rateLimitText = nullptr;
    QWidget *m_saveErrorBanner = nullptr;
    QLabel *m_saveErrorText = nullptr;
    QStackedWidget *m_content = nullptr;
    CalendarView *m_calendar = nullptr;
    QSplitter *m_splitter = nullptr;
    QLineEdit *m_search = nullptr;
    FilterPillBar *m_pills = nullptr;
    GroupChipBar *m_groups = nullptr;
    BatchActionBar *m_batchBar = nullptr;
    PackageListView *m_list = nullptr;
    QStackedWidget *m_detail = nullptr;
    EmptyStateView *m_detailEmpty = nullptr;
    PackageDetailView *m_detailView = nullptr;
    QWidget *m_deletionNotice = nullptr;
    QLabel *m_deletionText = nullptr;
    quint64 m_noticeGeneration = 0;

    /** One entry per deletion, the latest last; the selected package's number when it was among them. */
    struct Deletion {
        DeletedPackages packages;
        QString selectedNumber;
    };
    std::vector<Deletion> m_deletions;

    QPointer<AddPackageDialog> m_addSheet;
    QPointer<QDialog> m_groupSheet;
    QPointer<QMessageBox> m_importAlert;
    bool m_importRunning = false;
};
