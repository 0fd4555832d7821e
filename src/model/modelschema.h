#pragma once

#include "base/result.h"
#include "model/modelcontext.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;

/** The store's tables, their forward migrations, and the checks made before a file is written. */
namespace ModelSchema
{
/** PRAGMA application_id of a Kestrove store ("KSTV"); tells our files from other SQLite files. */
inline constexpr qint32 applicationId = 0x4B535456;

/** One step forward: the statements that turn schema version toVersion - 1 into toVersion. */
struct Migration {
    int toVersion;
    QStringList statements;
};

/** Every migration, oldest first; the last one reaches ModelContext::schemaVersion. */
[[nodiscard]] const QList<Migration> &migrations();

/**
 * Opens the store file under the given connection name: checks an existing file read-only
 * (damaged, foreign or newer files are refused before anything is written), then switches
 * to WAL, turns foreign keys on and applies the missing migrations in one transaction.
 * On failure the connection is removed again.
 */
[[nodiscard]] Result<QSqlDatabase, ModelError> openDatabase(const QString &path, const QString &connectionName);

/** A ModelError from a failed statement; damaged-file codes become ModelError::Code::corrupt. */
[[nodiscard]] ModelError sqlError(ModelError::Code code, const QString &description, const QSqlError &error,
                                  const QString &statement = {});
}
