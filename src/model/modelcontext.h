#pragma once

#include "base/result.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDatabase>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

class Package;
class PackageGroup;
class StoreWatcher;
class TrackingEvent;

/** Why the object store failed: a user-presentable description plus the engine's own words. */
struct ModelError {
    enum class Code {
        driverUnavailable, // the SQLite driver is missing
        cannotOpen, // the file or its directory cannot be opened or created
        readOnly, // the file can be read but not written
        notAStore, // an SQLite file of another application
        corrupt, // not an SQLite file, or a damaged one
        newerSchema, // written by a newer Kestrove
        migrationFailed, // an older schema could not be brought forward
        queryFailed, // a statement failed (locked database, full disk, ...)
        externalDataFailed, // a picture file beside the store could not be written
    };

    Code code = Code::queryFailed;
    /** The localised description shown to the user. */
    QString description;
    /** Engine details: the driver's message, its error code and the statement. */
    QString details;

    /** The full textual form, for logs: "ModelError.queryFailed(description: ..., details: ...)". */
    [[nodiscard]] QString fullDescription() const;
};

/** What one insert, remove, save or merge of another process's changes did. */
struct ModelChanges {
    enum class Origin {
        pending, // insert() or remove(), not saved yet
        saved, // this context's save()
        external, // another connection's commits, picked up by refreshFromStore()
        loaded, // rows read after openProgressively() returned
    };
    Origin origin = Origin::pending;
    QList<Package *> insertedPackages;
    QList<Package *> updatedPackages;
    QList<Package *> deletedPackages;
    QList<PackageGroup *> insertedGroups;
    QList<PackageGroup *> updatedGroups;
    QList<PackageGroup *> deletedGroups;

    [[nodiscard]] bool isEmpty() const;
};

/**
 * The object store: one SQLite file and one in-memory object per row (identity map).
 * insert() and remove() change the context; save() writes every inserted, changed and
 * deleted record in one transaction, and for changed records only the columns that
 * changed, so that two processes editing different fields of one package keep both edits.
 * Events load per package on first access; each package's latest event loads with the
 * package, so list rows stay cheap. Reads (fetchPackages(), fetchGroups(), package()) never
 * write and never merge: other processes' commits come in through refreshFromStore(), which
 * the store watcher calls as soon as they reach the file. A deleted record stays a valid object
 * (with a null modelContext()) while its deletion waits for save(); once the row is gone (or was
 * never written) it is freed on the event-loop turn after objectsChanged announced it, so views
 * drop their raw pointers to deleted records in their objectsChanged handler (or hold QPointers).
 * A progressive opening reads the first packages at once and the rest later, from one snapshot
 * plus a merge of what changed since.
 *
 * The work is spread over a few files: storemerge.cpp reads the file into the identity map,
 * storesave.cpp writes the save transaction, picturefiles.cpp keeps the pictures beside the
 * store, storewatcher.cpp notices other processes' commits, recordcolumns.h lists the columns.
 */
class ModelContext : public QObject
{
    Q_OBJECT
public:
    /** The schema version this build writes, kept in PRAGMA user_version. */
    static constexpr int schemaVersion = 2;

    using PackagePredicate = std::function<bool(const Package &)>;
    using PackageComparator = std::function<bool(const Package &, const Package &)>;
    using GroupPredicate = std::function<bool(const PackageGroup &)>;
    using GroupComparator = std::function<bool(const PackageGroup &, const PackageGroup &)>;

    /**
     * Opens the store at path, creating the file (not its directory) when it does not exist,
     * and reads every package and group. A file of a newer schema, another application's
     * database or a damaged file is refused and left untouched.
     */
    [[nodiscard]] static Result<std::unique_ptr<ModelContext>, ModelError> open(const QString &path);
    /**
     * Opens the store like open() but reads nothing: the context knows only what is inserted into
     * it. For bulk imports, whose batches each go through a context of their own, so that memory
     * holds one batch rather than the whole store.
     */
    [[nodiscard]] static Result<std::unique_ptr<ModelContext>, ModelError> openForInserting(const QString &path);
    /**
     * Opens the store like open() but reads every group and only the first firstPackages packages in
     * the list's first order (pinned first, latest update first), so that a window can show at once.
     * loadRestInBackground() reads the others; fetchPackages() reads them at once when asked first.
     */
    [[nodiscard]] static Result<std::unique_ptr<ModelContext>, ModelError> openProgressively(const QString &path,
                                                                                             int firstPackages);
    ~ModelContext() override;

    [[nodiscard]] QString storePath() const { return m_path; }
    /** The folder beside the store that holds picture bytes. */
    [[nodiscard]] QString externalDataDirectory() const { return m_externalDataDirectory; }

    /** Adds a new record (and its events); the context takes ownership. */
    void insert(Package *package);
    /** Adds a new group; the context takes ownership. */
    void insert(PackageGroup *group);
    /** Deletes a package with its events; its groups stay, without it. */
    void remove(Package *package);
    /** Deletes a group; its packages stay, without it. */
    void remove(PackageGroup *group);

    /**
     * Packages matching the predicate (all without one), sorted by lessThan (else in store order).
     * Reads the packages that a progressive opening has not read yet first.
     */
    [[nodiscard]] Result<QList<Package *>, ModelError> fetchPackages(const PackagePredicate &predicate = {},
                                                                     const PackageComparator &lessThan = {});
    /** Groups matching the predicate, sorted by lessThan (else in store order). */
    [[nodiscard]] Result<QList<PackageGroup *>, ModelError> fetchGroups(const GroupPredicate &predicate = {},
                                                                        const GroupComparator &lessThan = {}) const;
    /**
     * The packages read so far, in store order: all of them, unless a progressive opening is still
     * reading. For views, which follow objectsChanged as the rest arrives.
     */
    [[nodiscard]] const QList<Package *> &loadedPackages() const { return m_packages; }
    /** False while a progressive opening has packages left to read. */
    [[nodiscard]] bool isFullyLoaded() const { return !m_restPending; }
    /**
     * Reads the packages a progressive opening left, a batch per event-loop turn (each announced by
     * objectsChanged), then emits fullyLoaded(). Does nothing once everything is read.
     */
    void loadRestInBackground();
    /** Reads every package not read yet, at once. */
    Result<void, ModelError> loadRest();

    /**
     * The live packages with this tracking number, in store order. While a progressive opening is
     * reading, asks the store for just those rows rather than reading the rest.
     */
    [[nodiscard]] Result<QList<Package *>, ModelError> packagesWithTrackingNumber(const QString &trackingNumber);
    /**
     * The packages whose stored row meets an SQL condition on the Package table's columns, with a
     * ? for each of values, in store order. Reads just those rows when they have not been read yet
     * (a progressive opening), so that only they become objects. The condition sees what is
     * stored: a caller that holds unsaved edits checks the packages again in memory.
     */
    [[nodiscard]] Result<QList<Package *>, ModelError> packagesWhere(const QString &condition,
                                                                     const QVariantList &values);

    /** The live package with this persistent identifier, or nullptr. */
    [[nodiscard]] Package *package(qint64 persistentId) const;
    /** The live group with this persistent identifier, or nullptr. */
    [[nodiscard]] PackageGroup *group(qint64 persistentId) const;

    /** True when something was inserted, changed or deleted since the last save. */
    [[nodiscard]] bool hasChanges() const;
    /**
     * Writes all changes in one transaction. On failure nothing is written and the
     * changes stay pending, so a later save tries again.
     */
    Result<void, ModelError> save();

    /**
     * Picks up what other connections (another process) committed since this context last
     * read: new, changed and deleted rows. Local unsaved edits win over the stored values of
     * the same column. Returns true when anything changed. Cheap when nothing did: it asks
     * SQLite's data_version first.
     */
    Result<bool, ModelError> refreshFromStore();
    /**
     * Watches the store file and its -wal file and calls refreshFromStore() soon after they
     * change, so that long-lived views see another process's commits (kestrove-cli) at once.
     */
    void setWatchingStore(bool watching);

    /** How long a save waits for another process's write lock, unless setBusyTimeout() says otherwise. */
    static constexpr std::chrono::milliseconds defaultBusyTimeout {5000};
    /** How long a save waits for another process's write lock before it fails. */
    void setBusyTimeout(std::chrono::milliseconds timeout);
    [[nodiscard]] std::chrono::milliseconds busyTimeout() const { return m_busyTimeout; }
    /** Test seam: runs inside save()'s transaction just before COMMIT. */
    void setBeforeCommitHook(std::function<void()> hook) { m_beforeCommitHook = std::move(hook); }

Q_SIGNALS:
    /** After insert(), remove(), save() and merges of other processes' changes. */
    void objectsChanged(const ModelChanges &changes);
    /** After a progressive opening has read the last package. */
    void fullyLoaded();

private:
    friend class Package;
    friend class PackageGroup;
    friend class StoreMerge;
    friend class StoreSave;

    struct LinkOp {
        Package *package;
        PackageGroup *group;
        bool add;
    };

    ModelContext(const QString &path, QSqlDatabase database, QObject *parent = nullptr);
    // Opens for inserting, then lets read fill the identity map.
    [[nodiscard]] static Result<std::unique_ptr<ModelContext>, ModelError>
    openAndRead(const QString &path, const std::function<Result<void, ModelError>(ModelContext &)> &read);

    // Bookkeeping called by the records.
    void noteChanged(Package *package);
    void noteChanged(PackageGroup *group);
    void noteLink(Package *package, PackageGroup *group, bool add);
    bool loadEvents(Package *package);
    // Reads up to limit packages of the rest (all for a negative limit).
    Result<void, ModelError> loadRestBatch(int limit);
    void continueLoadingRest();

    // Runs a read of rows loaded after opening, then tells observers (groups, then objectsChanged) what it brought.
    Result<int, ModelError> readAndAnnounce(const std::function<Result<int, ModelError>(ModelChanges &)> &read);
    // Emits objectsChanged, then frees on a later turn the deleted records that no DELETE waits for.
    void announce(const ModelChanges &changes);
    // Takes a record out of the identity map after the store lost its row (saved deletion, another process).
    void detachDeleted(Package *package, ModelChanges &changes);
    void detachDeleted(PackageGroup *group, ModelChanges &changes);
    // Adopts a record read from the file.
    void adopt(Package *package, qint64 rowId);
    void adopt(PackageGroup *group, qint64 rowId);

    QString m_path;
    QString m_externalDataDirectory;
    QString m_connectionName;
    QSqlDatabase m_db;

    // What the context last read: SQLite's data_version and the highest event row id.
    std::chrono::milliseconds m_busyTimeout = defaultBusyTimeout;
    bool m_loaded = false;
    qint64 m_dataVersion = -1;
    qint64 m_maxEventRowId = 0;
    // A progressive opening's rest: read in row order after this id, skipping the rows already read.
    bool m_restPending = false;
    bool m_restLoading = false;
    qint64 m_restAfterId = 0;

    // The identity map.
    QList<Package *> m_packages; // live packages in store order, pending inserts last
    QList<PackageGroup *> m_groups;
    QHash<qint64, Package *> m_packagesById;
    QHash<qint64, PackageGroup *> m_groupsById;

    // Unsaved changes.
    QList<Package *> m_insertedPackages;
    QList<PackageGroup *> m_insertedGroups;
    QSet<Package *> m_changedPackages;
    QSet<PackageGroup *> m_changedGroups;
    QList<Package *> m_deletedPackages; // saved rows waiting for DELETE
    QList<PackageGroup *> m_deletedGroups;
    QList<LinkOp> m_linkOps;

    std::vector<std::unique_ptr<TrackingEvent>> m_retiredEvents; // preloaded rows that vanished; kept valid

    std::function<void()> m_beforeCommitHook;
    StoreWatcher *m_watcher = nullptr;
};
