#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

class ModelContext;
class Package;

/** A user-defined, coloured group of packages. Observable through changed(). */
class PackageGroup : public QObject
{
    Q_OBJECT
public:
    /** The stored columns, in schema order: one list that the store derives everything from (recordcolumns.h). */
    struct Columns;

    /** One colour preset for groups and package colour tags. */
    struct PaletteColor {
        QString name;
        QString hex;
    };

    /** A new, uninserted group with a fresh random id and dateCreated = Clock::shared()->now(). */
    explicit PackageGroup(const QString &name, const QString &colorHex, int sortOrder, QObject *parent = nullptr);
    ~PackageGroup() override;

    /** The ten presets, Blue first and Gray last. */
    [[nodiscard]] static const QList<PaletteColor> &colorPalette();

    [[nodiscard]] QUuid id() const { return m_id; }
    [[nodiscard]] QString name() const { return m_name; }
    [[nodiscard]] QString colorHex() const { return m_colorHex; }
    [[nodiscard]] int sortOrder() const { return m_sortOrder; }
    [[nodiscard]] QDateTime dateCreated() const { return m_dateCreated; }

    void setName(const QString &value);
    void setColorHex(const QString &value);
    void setSortOrder(int value);

    /** Members (inverse of Package::groups()). */
    [[nodiscard]] const QList<Package *> &packages() const { return m_packages; }
    /** Adds a member, on both sides; nothing when it is one already. */
    void addPackage(Package *package);
    /** Removes a member, on both sides. */
    void removePackage(Package *package);

    /** Removes this group from every member's groups (matching by id), then empties packages(). */
    void prepareForDeletion();

    /** The context that owns this group; nullptr before insert() and once it was deleted. */
    [[nodiscard]] ModelContext *modelContext() const { return m_context; }
    /** The store's row id; 0 until the first save that writes it. */
    [[nodiscard]] qint64 persistentId() const { return m_rowId; }
    /** True once the group was deleted from its context. */
    [[nodiscard]] bool isDeleted() const { return m_deleted; }

Q_SIGNALS:
    /** A stored property or the member list changed. */
    void changed();

private:
    friend class ModelContext;
    friend class Package;
    friend class StoreMerge;
    friend class StoreSave;

    struct LoadTag {
    };
    PackageGroup(LoadTag, QObject *parent); // rows loaded by the store

    /** Sets a stored member; a change marks its column dirty and emits changed(). */
    template<auto Member, typename T> void assign(const T &value);
    void markDirty(int column);

    QUuid m_id;
    QString m_name;
    QString m_colorHex;
    int m_sortOrder = 0;
    QDateTime m_dateCreated;
    QList<Package *> m_packages;

    ModelContext *m_context = nullptr;
    qint64 m_rowId = 0;
    quint32 m_dirty = 0;
    bool m_deleted = false;
};
