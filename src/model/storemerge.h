#pragma once

#include "model/modelcontext.h"

#include <QSqlQuery>

/**
 * Reads what the store file holds into a context's identity map: everything on the first run,
 * afterwards what other connections committed (new, changed and deleted rows, memberships,
 * appended events and coordinates). Local unsaved edits win over the stored value of the same
 * column. One read transaction, so every table comes from the same snapshot.
 */
class StoreMerge
{
public:
    explicit StoreMerge(ModelContext &context);

    /**
     * Merges; true when anything changed. What it applied before a failure stays applied and
     * is in changes, so that observers hear of it all the same.
     */
    Result<bool, ModelError> run(ModelChanges &changes);
    /** Which package rows readSome() reads. */
    struct Selection {
        QString where; // an SQL condition with ? for values, or empty for every row
        QVariantList values;
        QString orderBy = QStringLiteral("id");
        int limit = -1; // no limit when negative
        bool restCursor = false; // only rows after the context's rest cursor, which then moves on
    };
    /**
     * Reads some package rows, for a progressive opening or a look-up by number. The first read of
     * a context also reads every group and takes the snapshot that later merges start from. Rows
     * already in the identity map (or deleted here) are skipped; new packages come with their
     * memberships and latest events. Returns the number of rows the query gave; rowIds, when
     * given, receives their ids in query order.
     */
    Result<int, ModelError> readSome(const Selection &selection, ModelChanges &changes,
                                     QList<qint64> *rowIds = nullptr);
    /** Reads a package's event list on first access, keeping the preloaded latest event's identity. */
    bool loadEvents(Package *package);

private:
    /** Reads every row of a record's table into applyRow(id); detaches the records whose row is gone. */
    template<typename Record, typename ApplyRow>
    bool mergeRows(const QString &table, const QList<Record *> &pendingDeletes, ModelChanges &changes,
                   ApplyRow &&applyRow);
    bool mergeGroups(ModelChanges &changes);
    bool mergePackages(ModelChanges &changes, QList<Package *> &newPackages);
    bool mergeMemberships(ModelChanges &changes, const QList<Package *> &newPackages);
    bool loadLatestEvents(const QList<Package *> &packages, bool everyPackage, const QString &idList = {});
    bool mergeAppendedEvents(ModelChanges &changes, const QList<Package *> &newPackages);
    bool mergeCoordinates(ModelChanges &changes);

    bool exec(const QString &statement);
    Result<bool, ModelError> failure();
    static TrackingEvent *eventFromRow(const QSqlQuery &query);
    static void noteUpdated(ModelChanges &changes, Package *package);

    ModelContext &m_context;
    QSqlQuery m_query;
    QString m_statement;
    bool m_readingLatestEvents = false; // a failure then says that the events could not be read
    QSet<Package *> m_reloaded; // packages whose whole event list was read again during this merge
};
