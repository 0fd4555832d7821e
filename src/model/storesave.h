#pragma once

#include "model/modelcontext.h"
#include "model/picturefiles.h"

#include <QHash>
#include <QSet>
#include <QSqlQuery>

#include <map>

/**
 * One save of a context: every inserted, changed and deleted record in one transaction. Changed
 * records write only their dirty columns, so that another process's edits to other columns of
 * the same row survive. The objects take their new state (row ids, clean dirty bits) only after
 * COMMIT; on failure nothing is written and the changes stay pending.
 */
class StoreSave
{
public:
    explicit StoreSave(ModelContext &context);

    Result<void, ModelError> run();

private:
    template<typename Record>
    bool insertRows(const QString &table, const QList<Record *> &records, QHash<Record *, qint64> &ids);
    template<typename Record> bool updateRow(const QString &table, Record *record, bool &vanished);
    bool updatePackages(QList<Package *> &withEventChanges);
    bool writeEvents(const QList<Package *> &packages);
    bool writeMemberships();
    bool deleteRows();
    ModelChanges adoptCommitted(const QList<Package *> &withEventChanges);

    /** The statement for sql, prepared once per save. */
    QSqlQuery *prepared(const QString &sql);
    bool exec(QSqlQuery &query);
    bool exec(const QString &statement);
    Result<void, ModelError> failure();

    ModelContext &m_context;
    PictureFiles m_pictures;
    QString m_failed; // the start of every error text
    std::map<QString, QSqlQuery> m_statements; // a map: pointers to its queries stay valid as it grows
    QSqlQuery *m_failing = nullptr;
    QString m_statement;

    QHash<PackageGroup *, qint64> m_newGroupIds;
    QHash<Package *, qint64> m_newPackageIds;
    QHash<TrackingEvent *, qint64> m_newEventIds;
    QSet<Package *> m_vanishedPackages; // deleted by another process before this save
    QSet<PackageGroup *> m_vanishedGroups;
};
