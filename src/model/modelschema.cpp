#include "model/modelschema.h"

#include "model/recordcolumns.h"
#include "model/storesearch.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <algorithm>

namespace ModelSchema
{
namespace
{
constexpr int sqliteCorrupt = 11;
constexpr int sqliteNotADatabase = 26;
constexpr int sqliteReadOnly = 8;

QString nativePath(const QString &path)
{
    return QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}

int primaryCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : -1;
}

struct Inspection {
    qint64 userVersion = 0;
    qint64 applicationId = 0;
    qint64 tableCount = 0;
};

/** Reads the version stamps through a read-only connection, which never writes the file. */
Result<Inspection, ModelError> inspect(const QString &path, const QString &connectionName)
{
    const QString name = connectionName + QStringLiteral("-inspect");
    Result<Inspection, ModelError> result = Inspection {};
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        if (QFile::exists(path + QStringLiteral("-wal"))) {
            // Committed pages may still sit in the WAL; only a real (read-only) connection sees them.
            db.setDatabaseName(path);
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        } else {
            // Without a WAL the file is all there is: "immutable" reads it without creating lock or WAL files.
            db.setDatabaseName(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded)
                               + QStringLiteral("?immutable=1"));
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_OPEN_URI"));
        }
        const QString unreadable = QStringLiteral("The store file %1 could not be read.").arg(nativePath(path));
        if (!db.open()) {
            result = Result<Inspection, ModelError>::failure(
                sqlError(ModelError::Code::cannotOpen, unreadable, db.lastError()));
        } else {
            Inspection inspection;
            QSqlQuery query(db);
            const auto readValue = [&](const QString &statement, qint64 &target) {
                if (!query.exec(statement) || !query.next())
                    return false;
                target = query.value(0).toLongLong();
                return true;
            };
            const QStringList statements
                = {QStringLiteral("PRAGMA user_version"), QStringLiteral("PRAGMA application_id"),
                   QStringLiteral("SELECT count(*) FROM sqlite_master")};
            qint64 *targets[] = {&inspection.userVersion, &inspection.applicationId, &inspection.tableCount};
            bool ok = true;
            for (int i = 0; ok && i < statements.size(); ++i) {
                ok = readValue(statements[i], *targets[i]);
                if (!ok)
                    result = Result<Inspection, ModelError>::failure(
                        sqlError(ModelError::Code::cannotOpen, unreadable, query.lastError(), statements[i]));
            }
            query.finish();
            if (ok)
                result = inspection;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

Result<void, ModelError> exec(QSqlDatabase &db, const QString &statement, ModelError::Code code,
                              const QString &description)
{
    QSqlQuery query(db);
    if (!query.exec(statement))
        return Result<void, ModelError>::failure(sqlError(code, description, query.lastError(), statement));
    return {};
}

Result<void, ModelError> migrate(QSqlDatabase &db, const QString &path)
{
    const QString failed = QStringLiteral("The store file %1 could not be prepared.").arg(nativePath(path));
    {
        // A store of this version needs no write lock: in WAL mode readers never wait for a writer,
        // so opening one while another process imports must not either.
        QSqlQuery current(db);
        if (current.exec(QStringLiteral("PRAGMA user_version")) && current.next()
            && current.value(0).toLongLong() == ModelContext::schemaVersion)
            return {};
    }
    if (auto begun = exec(db, QStringLiteral("BEGIN IMMEDIATE"), ModelError::Code::migrationFailed, failed); !begun)
        return begun;
    const auto rollback = [&](ModelError error) {
        QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
        return Result<void, ModelError>::failure(std::move(error));
    };

    // Read again inside the write lock: another process may have migrated since the check.
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return rollback(sqlError(ModelError::Code::migrationFailed, failed, query.lastError(),
                                 QStringLiteral("PRAGMA user_version")));
    const qint64 version = query.value(0).toLongLong();
    query.finish();
    if (version > ModelContext::schemaVersion) {
        return rollback({ModelError::Code::newerSchema,
                         QStringLiteral("The store file %1 was written by a newer version of Kestrove (schema "
                                        "version %2; this version reads up to %3). Update Kestrove to open it.")
                             .arg(nativePath(path))
                             .arg(version)
                             .arg(ModelContext::schemaVersion),
                         QStringLiteral("user_version %1").arg(version)});
    }
    if (version == ModelContext::schemaVersion)
        return exec(db, QStringLiteral("COMMIT"), ModelError::Code::migrationFailed, failed);

    for (const Migration &migration : migrations()) {
        if (migration.toVersion <= version)
            continue;
        for (const QString &statement : migration.statements) {
            if (!query.exec(statement))
                return rollback(sqlError(ModelError::Code::migrationFailed, failed, query.lastError(), statement));
        }
    }
    const QStringList stamps = {QStringLiteral("PRAGMA application_id = %1").arg(applicationId),
                                QStringLiteral("PRAGMA user_version = %1").arg(ModelContext::schemaVersion)};
    for (const QString &statement : stamps) {
        if (!query.exec(statement))
            return rollback(sqlError(ModelError::Code::migrationFailed, failed, query.lastError(), statement));
    }
    if (auto committed = exec(db, QStringLiteral("COMMIT"), ModelError::Code::migrationFailed, failed); !committed)
        return rollback(committed.error());
    return {};
}
}

namespace
{
/** CREATE TABLE for a record's columns of schema version 1, after the row id and any leading columns. */
template<typename Columns>
QString createTable(const QString &table, const Columns &columns, const QStringList &leading = {})
{
    const QStringList declarations = QStringList {QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")} + leading
        + StoreColumns::declarations(columns, 1);
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(table, declarations.join(u", "));
}

/** ALTER TABLE for the columns a later schema version added. */
template<typename Columns> QStringList addColumns(const QString &table, const Columns &columns, int version)
{
    QStringList statements;
    for (const QString &declaration : StoreColumns::declarations(columns, version))
        statements.append(QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(table, declaration));
    return statements;
}
}

const QList<Migration> &migrations()
{
    static const QList<Migration> list = [] {
        QList<Migration> list = {
            {1,
             {
                 createTable(QStringLiteral("Package"), Package::Columns::all),
                 QStringLiteral("CREATE INDEX PackageTrackingNumber ON Package(trackingNumber)"),
                 createTable(QStringLiteral("TrackingEvent"), TrackingEvent::Columns::all,
                             {QStringLiteral("packageId INTEGER REFERENCES Package(id) ON DELETE CASCADE")}),
                 // Serves both a package's event list and its latest event (newest first, lowest id on ties).
                 QStringLiteral("CREATE INDEX TrackingEventPackage ON TrackingEvent(packageId, timestamp DESC, id)"),
                 createTable(QStringLiteral("PackageGroup"), PackageGroup::Columns::all),
                 QStringLiteral("CREATE TABLE PackageGroupMembership ("
                                "packageId INTEGER NOT NULL REFERENCES Package(id) ON DELETE CASCADE, "
                                "groupId INTEGER NOT NULL REFERENCES PackageGroup(id) ON DELETE CASCADE, "
                                "UNIQUE (packageId, groupId))"),
                 QStringLiteral("CREATE INDEX PackageGroupMembershipGroup ON PackageGroupMembership(groupId)"),
             }},
            // The list's order: the first screen of rows is read without sorting the whole table.
            {2, {QStringLiteral("CREATE INDEX PackageListOrder ON Package(isPinned DESC, lastUpdated DESC, id)")}},
        };
        // Columns added after the first version; their statements run before that version's own.
        for (int version = 2; version <= ModelContext::schemaVersion; ++version) {
            QStringList statements = addColumns(QStringLiteral("Package"), Package::Columns::all, version)
                + addColumns(QStringLiteral("TrackingEvent"), TrackingEvent::Columns::all, version)
                + addColumns(QStringLiteral("PackageGroup"), PackageGroup::Columns::all, version);
            auto existing = std::find_if(list.begin(), list.end(),
                                         [&](const Migration &migration) { return migration.toVersion == version; });
            if (existing != list.end())
                existing->statements = statements + existing->statements;
            else
                list.append({version, statements});
        }
        return list;
    }();
    return list;
}

ModelError sqlError(ModelError::Code code, const QString &description, const QSqlError &error, const QString &statement)
{
    const int primary = primaryCode(error);
    if (primary == sqliteCorrupt || primary == sqliteNotADatabase)
        code = ModelError::Code::corrupt;
    QString details = error.text().trimmed();
    if (!error.nativeErrorCode().isEmpty())
        details += QStringLiteral(" (SQLite error %1)").arg(error.nativeErrorCode());
    if (!statement.isEmpty())
        details += QStringLiteral(" in \"%1\"").arg(statement.left(200));
    QString text = description;
    if (code == ModelError::Code::corrupt && !description.contains(QLatin1String("damaged")))
        text += QStringLiteral(" The file is damaged or is not a database.");
    else if (QString engine = error.databaseText().trimmed(); !engine.isEmpty()) {
        engine[0] = engine[0].toUpper(); // SQLite's messages start in lower case
        text += QLatin1Char(' ') + engine + (engine.endsWith(QLatin1Char('.')) ? QString() : QStringLiteral("."));
    }
    return {code, text, details};
}

Result<QSqlDatabase, ModelError> openDatabase(const QString &path, const QString &connectionName)
{
    using R = Result<QSqlDatabase, ModelError>;
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        return R::failure({ModelError::Code::driverUnavailable,
                           QStringLiteral("The SQLite driver of Qt (QSQLITE) is not installed."),
                           QStringLiteral("available drivers: %1").arg(QSqlDatabase::drivers().join(u", "))});
    }

    const QFileInfo info(path);
    const QString shownPath = nativePath(path);
    if (info.exists()) {
        if (info.isDir()) {
            return R::failure({ModelError::Code::cannotOpen,
                               QStringLiteral("The store path %1 is a folder, not a file.").arg(shownPath),
                               {}});
        }
        // Only SQLite opens the file. Closing any descriptor of it, even one of a plain read, drops
        // every POSIX lock this process holds on it, including the shared lock a live context keeps
        // in WAL mode; another process would then take itself for the last user, checkpoint and
        // delete the WAL under that context. SQLite's own connections share their locks instead.
        if (!info.isReadable()) {
            return R::failure({ModelError::Code::cannotOpen,
                               QStringLiteral("The store file %1 could not be read: permission denied.").arg(shownPath),
                               QStringLiteral("no read access to the file")});
        }
        auto inspection = inspect(path, connectionName);
        if (!inspection) {
            ModelError error = inspection.error();
            if (error.code == ModelError::Code::corrupt)
                error.description = QStringLiteral("The store file %1 is damaged or is not a database.").arg(shownPath);
            return R::failure(error);
        }
        const Inspection &found = inspection.value();
        if (found.userVersion > ModelContext::schemaVersion) {
            return R::failure({ModelError::Code::newerSchema,
                               QStringLiteral("The store file %1 was written by a newer version of Kestrove "
                                              "(schema version %2; this version reads up to %3). Update "
                                              "Kestrove to open it.")
                                   .arg(shownPath)
                                   .arg(found.userVersion)
                                   .arg(ModelContext::schemaVersion),
                               QStringLiteral("user_version %1").arg(found.userVersion)});
        }
        const bool ours = found.applicationId == applicationId;
        const bool blank = found.applicationId == 0 && found.userVersion == 0 && found.tableCount == 0;
        if (!ours && !blank) {
            return R::failure({ModelError::Code::notAStore,
                               QStringLiteral("The file %1 is a database of another application, not a "
                                              "Kestrove store.")
                                   .arg(shownPath),
                               QStringLiteral("application_id %1, user_version %2, %3 schema objects")
                                   .arg(found.applicationId)
                                   .arg(found.userVersion)
                                   .arg(found.tableCount)});
        }
        // Say so plainly before SQLite, which would fail on the first write or on the WAL files with a vaguer
        // message. access() also answers for read-only file systems, where even root cannot write.
        const QFileInfo folder(info.absolutePath());
        const bool sideFilesExist
            = QFileInfo::exists(path + QStringLiteral("-wal")) && QFileInfo::exists(path + QStringLiteral("-shm"));
        if (!QFileInfo(path).isWritable()) {
            return R::failure({ModelError::Code::readOnly,
                               QStringLiteral("The store file %1 is read-only.").arg(shownPath),
                               QStringLiteral("no write access to the file")});
        }
        if (!sideFilesExist && !folder.isWritable()) {
            // WAL mode keeps two files beside the store, created by the first connection.
            return R::failure({ModelError::Code::readOnly,
                               QStringLiteral("The store file %1 is read-only: its folder %2 is not writable.")
                                   .arg(shownPath, QDir::toNativeSeparators(folder.absoluteFilePath())),
                               QStringLiteral("no write access to the folder for the -wal and -shm files")});
        }
    } else {
        const QFileInfo dir(info.absolutePath());
        if (dir.exists() && !dir.isDir()) {
            return R::failure({ModelError::Code::cannotOpen,
                               QStringLiteral("The store file %1 cannot be created: %2 is not a folder.")
                                   .arg(shownPath, QDir::toNativeSeparators(dir.absoluteFilePath())),
                               {}});
        }
        if (!dir.exists()) {
            return R::failure({ModelError::Code::cannotOpen,
                               QStringLiteral("The store file %1 cannot be created: the folder %2 does not exist.")
                                   .arg(shownPath, QDir::toNativeSeparators(dir.absoluteFilePath())),
                               {}});
        }
        if (!dir.isWritable()) {
            return R::failure({ModelError::Code::cannotOpen,
                               QStringLiteral("The store file %1 cannot be created: the folder %2 is not writable.")
                                   .arg(shownPath, QDir::toNativeSeparators(dir.absoluteFilePath())),
                               {}});
        }
    }

    Result<QSqlDatabase, ModelError> result = QSqlDatabase();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(ModelContext::defaultBusyTimeout.count()));
        if (!db.open()) {
            result = R::failure(sqlError(ModelError::Code::cannotOpen,
                                         QStringLiteral("The store file %1 could not be opened.").arg(shownPath),
                                         db.lastError()));
        } else if (!StoreSearch::install(db)) {
            result = R::failure(
                {ModelError::Code::driverUnavailable,
                 QStringLiteral("The SQLite driver of Qt (QSQLITE) gives no SQLite connection."),
                 QStringLiteral("driver handle of type %1").arg(QLatin1String(db.driver()->handle().typeName()))});
        } else {
            const QString failed = QStringLiteral("The store file %1 could not be opened for writing.").arg(shownPath);
            QSqlQuery query(db);
            bool ok = true;
            for (const QString &statement :
                 {QStringLiteral("PRAGMA foreign_keys = ON"), QStringLiteral("PRAGMA journal_mode = WAL"),
                  QStringLiteral("PRAGMA synchronous = NORMAL")}) {
                if (!query.exec(statement)) {
                    ModelError error = sqlError(ModelError::Code::cannotOpen, failed, query.lastError(), statement);
                    if (primaryCode(query.lastError()) == sqliteReadOnly) {
                        error.code = ModelError::Code::readOnly;
                        error.description = QStringLiteral("The store file %1 is read-only.").arg(shownPath);
                    }
                    result = R::failure(error);
                    ok = false;
                    break;
                }
                if (statement.contains(QLatin1String("journal_mode")) && query.next()
                    && query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
                    // SQLite keeps the old journal when it cannot create the WAL files (read-only folder).
                    result = R::failure({ModelError::Code::readOnly,
                                         QStringLiteral("The store file %1 is read-only.").arg(shownPath),
                                         QStringLiteral("journal_mode stayed %1").arg(query.value(0).toString())});
                    ok = false;
                    break;
                }
            }
            query.finish();
            if (ok) {
                if (auto migrated = migrate(db, path); !migrated)
                    result = R::failure(migrated.error());
                else
                    result = db;
            }
            if (!result)
                db.close();
        }
    }
    if (!result)
        QSqlDatabase::removeDatabase(connectionName);
    return result;
}
}
