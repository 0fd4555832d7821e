#pragma once

#include "ui/coalescedcall.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class CapsuleButton;
class ChipStrip;
class ModelContext;
class PackageGroup;
class QPushButton;
class QToolButton;
struct ModelChanges;

/**
 * The sidebar's groups section: the caption "Groups" with a gear button and a sideways row of
 * group chips (colour dot, name, member count) in sort order; without groups, a button
 * "Add Groups" instead. Follows the store: chips and counts update after every change.
 */
class GroupChipBar : public QWidget
{
    Q_OBJECT
public:
    explicit GroupChipBar(ModelContext *context, QWidget *parent = nullptr);

    /** Marks the selected group's chip; nullptr for none. Emits nothing. */
    void setSelectedGroup(PackageGroup *group);
    /** The groups shown, in sort order. */
    [[nodiscard]] const QList<PackageGroup *> &groups() const { return m_groups; }
    /** The chip of a group (object name "groupChip"), or nullptr. */
    [[nodiscard]] CapsuleButton *chip(const PackageGroup *group) const;
    /** Rebuilds from the store now (otherwise once per event-loop turn after changes). */
    void reload();

Q_SIGNALS:
    /** A chip was clicked. */
    void groupClicked(PackageGroup *group);
    /** The gear, "Add Groups" or a chip's "Manage Groups..." was chosen. */
    void manageGroupsRequested();
    /** The list of groups was rebuilt (also when a group was added or deleted). */
    void groupsChanged();

protected:
    void changeEvent(QEvent *event) override;

private:
    void scheduleReload();
    void applyColors();

    QPointer<ModelContext> m_context;
    QList<PackageGroup *> m_groups;
    QList<CapsuleButton *> m_chips;
    QPointer<PackageGroup> m_selected;
    QWidget *m_withGroups;
    ChipStrip *m_strip;
    QPushButton *m_addGroups;
    CoalescedCall m_reloadCall {this, [this] { reload(); }};
};
