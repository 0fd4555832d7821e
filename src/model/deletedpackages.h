#pragma once

#include <QList>
#include <QUuid>

#include <memory>
#include <vector>

class ModelContext;
class Package;

/**
 * What a deletion took away, so that it can be put back: a detached copy of each package with
 * every stored field, its events (with their coordinates) and its picture, and the ids of its
 * groups. Capture before deleting; restore at most once.
 */
class DeletedPackages
{
public:
    DeletedPackages();
    DeletedPackages(DeletedPackages &&) noexcept;
    DeletedPackages &operator=(DeletedPackages &&) noexcept;
    ~DeletedPackages();

    /** Copies the packages as they are now (reads their events and pictures). */
    [[nodiscard]] static DeletedPackages capture(const QList<Package *> &packages);

    [[nodiscard]] qsizetype size() const { return qsizetype(m_copies.size()); }
    [[nodiscard]] bool isEmpty() const { return m_copies.empty(); }

    /**
     * Inserts the copies into the context and makes them members of their groups that still
     * exist; does not save. A copy whose tracking number is in the store again (added anew
     * meanwhile) is left out. Returns the packages inserted; afterwards this holds nothing.
     */
    QList<Package *> restore(ModelContext &context);

private:
    struct Copy {
        std::unique_ptr<Package> package;
        QList<QUuid> groupIds;
    };
    std::vector<Copy> m_copies;
};
