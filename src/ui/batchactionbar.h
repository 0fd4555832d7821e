#pragma once

#include <QList>
#include <QWidget>

class PackageGroup;
class QLabel;
class QMenu;
class QToolButton;

/** The row shown in batch mode: "N selected", then "Archive", the "Add to Group" menu and "Delete". */
class BatchActionBar : public QWidget
{
    Q_OBJECT
public:
    explicit BatchActionBar(QWidget *parent = nullptr);

    /** Shows the count as "%lld selected". */
    void setSelectedCount(qsizetype count);
    /** The groups the "Add to Group" menu offers, in order. */
    void setGroups(const QList<PackageGroup *> &groups);
    [[nodiscard]] QMenu *addToGroupMenu() const { return m_groupMenu; }

Q_SIGNALS:
    void archiveRequested();
    void deleteRequested();
    void addToGroupRequested(PackageGroup *group);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void rebuildGroupMenu();

    QLabel *m_count;
    QToolButton *m_addToGroup;
    QMenu *m_groupMenu;
    QList<PackageGroup *> m_groups;
};
