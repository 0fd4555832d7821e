#pragma once

#include "ui/coalescedcall.h"

#include <QDialog>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUuid>

class EmptyStateView;
class GroupColorPicker;
class ModelContext;
class Package;
class PackageGroup;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QStackedWidget;
class QToolButton;

/**
 * The group-management sheet: the groups in sort order on the left (create, rename, recolour,
 * drag to reorder, delete), and on the right the non-archived packages with a toggle of their
 * membership in the selected group. Every edit is saved at once; a failed save is ignored.
 */
class GroupManagementView : public QDialog
{
    Q_OBJECT
public:
    explicit GroupManagementView(ModelContext *context, QWidget *parent = nullptr);
    ~GroupManagementView() override;

    [[nodiscard]] PackageGroup *selectedGroup() const { return m_selected; }
    /** Selects a group (nullptr for none) and shows its packages on the right. */
    void setSelectedGroup(PackageGroup *group);
    [[nodiscard]] QString newGroupColor() const { return m_newGroupColor; }
    /** The id of the group whose name is being edited; null when none is. */
    [[nodiscard]] QUuid editingGroupID() const { return m_editingGroupID; }
    /** The groups as listed, in sort order. */
    [[nodiscard]] const QList<PackageGroup *> &groups() const { return m_groups; }

    /** Creates a group from the name field (trimmed) and the chosen colour; nothing when the name is empty. */
    void addGroup();
    /** Moves the group at from to position to (both in list order) and renumbers every sortOrder from 0. */
    void reorderGroups(int from, int to);
    /** Opens the group's name for editing in the list. */
    void renameGroup(PackageGroup *group);
    void setGroupColor(PackageGroup *group, const QString &hex);
    /** Deletes the group; its packages stay, without it. */
    void deleteGroup(PackageGroup *group);
    /** Adds the package to the group, or removes it when it is a member, and saves. */
    void togglePackageInGroup(Package *package, PackageGroup *group);

    /** The context menu of a group's row: "Rename", "Change Color", "Delete". The caller owns it. */
    [[nodiscard]] QMenu *createGroupMenu(PackageGroup *group, QWidget *parent);

protected:
    void changeEvent(QEvent *event) override;

private:
    QWidget *buildGroupsColumn();
    QWidget *buildAssignmentColumn();
    void scheduleReload();
    void reload();
    void reloadGroups();
    void reloadAssignment();
    void updateAddButton();
    void save();
    [[nodiscard]] QListWidgetItem *itemFor(const PackageGroup *group) const;

    QPointer<ModelContext> m_context;
    QList<PackageGroup *> m_groups;
    QList<QPointer<Package>> m_packages; // the rows on the right, in list order
    QPointer<PackageGroup> m_selected;
    QString m_newGroupColor;
    QUuid m_editingGroupID;
    CoalescedCall m_reloadCall {this, [this] { reload(); }};
    bool m_reloading = false;

    QToolButton *m_closeButton = nullptr;
    QStackedWidget *m_groupsStack = nullptr;
    QListWidget *m_groupList = nullptr;
    EmptyStateView *m_groupsEmpty = nullptr;
    QLineEdit *m_newGroupName = nullptr;
    GroupColorPicker *m_colorPicker = nullptr;
    QToolButton *m_addButton = nullptr;

    QStackedWidget *m_assignmentStack = nullptr;
    EmptyStateView *m_assignmentEmpty = nullptr;
    QLabel *m_assignmentDot = nullptr;
    QLabel *m_assignmentName = nullptr;
    QLabel *m_assignmentCount = nullptr;
    QListWidget *m_packageList = nullptr;
};
