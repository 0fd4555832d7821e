#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/modelschema.h"
#include "model/package.h"
#include "model/trackingevent.h"
#include "sqlprobe.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <unistd.h>

namespace
{
QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

/** Runs statements on a connection of its own, then closes it (which checkpoints a WAL file). */
bool runSql(const QString &path, const QStringList &statements)
{
    const TestSupport::SqlProbe probe(path);
    return std::all_of(statements.begin(), statements.end(), [&](const QString &sql) { return probe.exec(sql); });
}

QVariant scalar(const QString &path, const QString &sql)
{
    return TestSupport::SqlProbe(path).scalar(sql);
}

void seedStore(const QString &path, int packages)
{
    auto opened = ModelContext::open(path);
    QVERIFY(opened);
    ModelContext &context = *opened.value();
    const QDateTime start(QDate(2026, 3, 1), QTime(10, 0), Qt::UTC);
    for (int i = 0; i < packages; ++i) {
        auto *package = new Package(QStringLiteral("BASE%1").arg(i), QStringLiteral("ups"), QStringLiteral("baseline"));
        context.insert(package);
        for (int e = 0; e < 3; ++e)
            package->appendEvent(std::make_unique<TrackingEvent>(start.addSecs(e), TrackingStatus::inTransit,
                                                                 QStringLiteral("scan %1").arg(e)));
    }
    QVERIFY(context.save());
}
}

class StoreTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("Kestrove.sqlite"));
    }

    void newStoreIsStampedAndInWalMode()
    {
        {
            auto opened = ModelContext::open(m_path);
            QVERIFY2(opened, opened ? "" : qPrintable(opened.error().fullDescription()));
            // Read while our connection is open, so the WAL setting is not undone by a checkpoint question.
            QCOMPARE(scalar(m_path, QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        }
        QCOMPARE(scalar(m_path, QStringLiteral("PRAGMA user_version")).toInt(), ModelContext::schemaVersion);
        QCOMPARE(scalar(m_path, QStringLiteral("PRAGMA application_id")).toInt(), ModelSchema::applicationId);
        QCOMPARE(ModelSchema::migrations().last().toVersion, ModelContext::schemaVersion);
    }

    // A store of the first version gains the list-order index and keeps its packages.
    void firstVersionStoreIsBroughtUpToDate()
    {
        seedStore(m_path, 3);
        QVERIFY(
            runSql(m_path, {QStringLiteral("DROP INDEX PackageListOrder"), QStringLiteral("PRAGMA user_version = 1")}));
        auto opened = ModelContext::openProgressively(m_path, 2);
        QVERIFY2(opened, opened ? "" : qPrintable(opened.error().fullDescription()));
        QVERIFY(!opened.value()->isFullyLoaded());
        QCOMPARE(opened.value()->fetchPackages().value().size(), 3);
        opened.value().reset();
        QCOMPARE(scalar(m_path, QStringLiteral("PRAGMA user_version")).toInt(), ModelContext::schemaVersion);
        QCOMPARE(scalar(m_path, QStringLiteral("SELECT count(*) FROM Package")).toInt(), 3);
        QCOMPARE(scalar(m_path, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = 'PackageListOrder'"))
                     .toInt(),
                 1);
    }

    void emptyFileBecomesAStore()
    {
        QFile file(m_path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        auto opened = ModelContext::open(m_path);
        QVERIFY(opened);
        opened.value()->insert(new Package(QStringLiteral("X"), QStringLiteral("ups")));
        QVERIFY(opened.value()->save());
    }

    void foreignKeysAreEnforced()
    {
        auto opened = ModelContext::open(m_path);
        QVERIFY(opened);
        // The cascade rules depend on it: an event row pointing at no package must be refused.
        QVERIFY(!runSql(m_path,
                        {QStringLiteral("PRAGMA foreign_keys = ON"),
                         QStringLiteral("INSERT INTO TrackingEvent (packageId, status, eventDescription, "
                                        "location, rawStatusCode) VALUES (42, 'pending', '', '', '')")}));
    }

    void refusedFilesAreLeftUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<ModelError::Code>("code");
        QTest::addColumn<QString>("wording");
        QTest::newRow("newer schema in WAL mode") << "newer-wal" << ModelError::Code::newerSchema << "newer version";
        QTest::newRow("newer schema with a rollback journal")
            << "newer-rollback" << ModelError::Code::newerSchema << "newer version";
        QTest::newRow("text file") << "text" << ModelError::Code::corrupt << "damaged";
        QTest::newRow("header without pages") << "truncated" << ModelError::Code::corrupt << "damaged";
        QTest::newRow("garbage schema page") << "garbage-page" << ModelError::Code::corrupt << "damaged";
        QTest::newRow("database of another application")
            << "foreign" << ModelError::Code::notAStore << "another application";
    }
    void refusedFilesAreLeftUntouched()
    {
        QFETCH(QString, kind);
        QFETCH(ModelError::Code, code);
        QFETCH(QString, wording);

        if (kind.startsWith(QLatin1String("newer"))) {
            seedStore(m_path, 2);
            QStringList statements = {QStringLiteral("PRAGMA user_version = 7")};
            if (kind == QLatin1String("newer-rollback"))
                statements.prepend(QStringLiteral("PRAGMA journal_mode = DELETE"));
            QVERIFY(runSql(m_path, statements));
        } else if (kind == QLatin1String("text")) {
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("These are my shopping notes, not a database.\n");
        } else if (kind == QLatin1String("truncated") || kind == QLatin1String("garbage-page")) {
            seedStore(m_path, 20);
            QFile file(m_path);
            QVERIFY(file.open(QIODevice::ReadWrite));
            if (kind == QLatin1String("truncated")) {
                QVERIFY(file.resize(100));
            } else {
                file.seek(100);
                file.write(QByteArray(3000, '\xAB'));
            }
        } else if (kind == QLatin1String("foreign")) {
            QVERIFY(runSql(m_path,
                           {QStringLiteral("CREATE TABLE recipes (name TEXT)"),
                            QStringLiteral("INSERT INTO recipes VALUES ('soup')")}));
        }
        QVERIFY(QFile::exists(m_path));
        const QByteArray before = fileHash(m_path);
        const QStringList filesBefore = QDir(m_dir->path()).entryList(QDir::Files);

        auto opened = ModelContext::open(m_path);
        QVERIFY(!opened);
        QCOMPARE(opened.error().code, code);
        QVERIFY2(opened.error().description.contains(wording), qPrintable(opened.error().description));
        QVERIFY2(opened.error().description.contains(QFileInfo(m_path).absoluteFilePath()),
                 qPrintable(opened.error().description));
        QCOMPARE(fileHash(m_path), before);
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files), filesBefore);

        // The container reports the same text the application shows.
        auto viaContainer = ModelContainer::open(m_path);
        QVERIFY(!viaContainer);
        QCOMPARE(viaContainer.error(), opened.error().description);
        QCOMPARE(fileHash(m_path), before);
    }

    void uncreatableLocationsGiveAClearError_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("wording");
        QTest::newRow("missing folder") << "missing"
                                        << "does not exist";
        QTest::newRow("a file where the folder should be") << "file-parent"
                                                           << "is not a folder";
        QTest::newRow("read-only folder") << "read-only"
                                          << "not writable";
        QTest::newRow("a folder where the file should be") << "folder"
                                                           << "is a folder";
    }
    void uncreatableLocationsGiveAClearError()
    {
        QFETCH(QString, kind);
        QFETCH(QString, wording);
        QString path;
        if (kind == QLatin1String("missing")) {
            path = m_dir->filePath(QStringLiteral("no/such/folder/Kestrove.sqlite"));
        } else if (kind == QLatin1String("file-parent")) {
            QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
            QVERIFY(blocker.open(QIODevice::WriteOnly));
            path = blocker.fileName() + QStringLiteral("/Kestrove.sqlite");
        } else if (kind == QLatin1String("read-only")) {
            if (::geteuid() == 0)
                QSKIP("root writes into read-only folders");
            const QString folder = m_dir->filePath(QStringLiteral("locked"));
            QVERIFY(QDir().mkpath(folder));
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
            path = folder + QStringLiteral("/Kestrove.sqlite");
        } else {
            QVERIFY(QDir().mkpath(m_path));
            path = m_path;
        }
        auto opened = ModelContext::open(path);
        if (kind == QLatin1String("read-only"))
            QFile::setPermissions(QFileInfo(path).absolutePath(),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QVERIFY(!opened);
        QCOMPARE(opened.error().code, ModelError::Code::cannotOpen);
        QVERIFY2(opened.error().description.contains(wording), qPrintable(opened.error().description));
        QVERIFY(!QFileInfo(path).isFile());
    }

    void otherContextsKeepTheStoreLockOfTheFirst_data()
    {
        QTest::addColumn<QString>("second");
        QTest::newRow("no second context") << "none";
        QTest::newRow("a second context opened and closed again") << "closed";
        QTest::newRow("a second context opened and kept open") << "open";
    }
    void otherContextsKeepTheStoreLockOfTheFirst()
    {
        // Opening another context on the same file must not drop the locks the first one holds on it:
        // without them the next process to close the store would take it for the last user, checkpoint
        // and delete the WAL and shared-memory files under the first context, which then misses
        // every later change (and may read a damaged mix of old and new pages).
        QFETCH(QString, second);
        auto openedFirst = ModelContext::open(m_path);
        QVERIFY2(openedFirst, openedFirst ? "" : qPrintable(openedFirst.error().fullDescription()));
        ModelContext &first = *openedFirst.value();
        auto *package = new Package(QStringLiteral("N1"), QStringLiteral("ups"), QStringLiteral("first"));
        first.insert(package);
        QVERIFY(first.save());

        std::unique_ptr<ModelContext> other;
        if (second != QLatin1String("none")) {
            auto opened = ModelContext::open(m_path);
            QVERIFY2(opened, opened ? "" : qPrintable(opened.error().fullDescription()));
            other = std::move(opened).value();
            QCOMPARE(other->fetchPackages().value().size(), 1);
            if (second == QLatin1String("closed"))
                other.reset();
        }

        const auto editInChild = [&](const QString &property, const QString &value) {
            QProcess child;
            child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            child.start(TestSupport::executablePath(QStringLiteral("storekillhelper")),
                        {m_path, QStringLiteral("edit"), QStringLiteral("N1"), property, value});
            return child.waitForFinished(30000) && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
        };

        QVERIFY(editInChild(QStringLiteral("pinned"), QStringLiteral("true")));
        // The child closed its connection, but we still use the store: its WAL must stay.
        QVERIFY(QFile::exists(m_path + QStringLiteral("-wal")));
        QVERIFY(QFile::exists(m_path + QStringLiteral("-shm")));
        auto refreshed = first.refreshFromStore();
        QVERIFY2(refreshed, refreshed ? "" : qPrintable(refreshed.error().fullDescription()));
        QVERIFY(refreshed.value());
        QVERIFY(package->isPinned());

        QVERIFY(editInChild(QStringLiteral("archived"), QStringLiteral("true")));
        refreshed = first.refreshFromStore();
        QVERIFY2(refreshed, refreshed ? "" : qPrintable(refreshed.error().fullDescription()));
        QVERIFY(refreshed.value());
        QVERIFY(package->isArchived());

        QVERIFY(editInChild(QStringLiteral("label"), QStringLiteral("third")));
        refreshed = first.refreshFromStore();
        QVERIFY2(refreshed, refreshed ? "" : qPrintable(refreshed.error().fullDescription()));
        QCOMPARE(package->label(), QStringLiteral("third"));
        if (other) {
            QVERIFY(other->refreshFromStore());
            QCOMPARE(other->package(package->persistentId())->label(), QStringLiteral("third"));
        }

        // Our own writes still reach the others, and the file stays sound.
        package->setNotes(QStringLiteral("written by the first context"));
        QVERIFY(first.save());
        QVERIFY(editInChild(QStringLiteral("label"), QStringLiteral("fourth")));
        QVERIFY(first.refreshFromStore());
        QCOMPARE(package->label(), QStringLiteral("fourth"));
        QCOMPARE(package->notes(), QStringLiteral("written by the first context"));
        QCOMPARE(scalar(m_path, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    }

    void storesWithoutAccessAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<ModelError::Code>("code");
        QTest::addColumn<QString>("wording");
        QTest::newRow("read-only file") << "read-only file" << ModelError::Code::readOnly << "is read-only.";
        QTest::newRow("existing store in a read-only folder")
            << "read-only folder" << ModelError::Code::readOnly << "is read-only: its folder";
        QTest::newRow("unreadable file") << "unreadable file" << ModelError::Code::cannotOpen
                                         << "could not be read: permission denied.";
    }
    void storesWithoutAccessAreRefused()
    {
        // A read-only file system answers like these permissions, for root as well.
        QFETCH(QString, kind);
        QFETCH(ModelError::Code, code);
        QFETCH(QString, wording);
        if (::geteuid() == 0)
            QSKIP("root reads and writes whatever the permissions say");
        const QString folder = m_dir->filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/Kestrove.sqlite");
        seedStore(path, 2);
        QVERIFY(!QFile::exists(path + QStringLiteral("-wal"))); // checkpointed and removed on close
        const QByteArray before = fileHash(path);
        const QString locked = kind == QLatin1String("read-only folder") ? folder : path;
        const QFileDevice::Permissions allowed = QFile::permissions(locked);
        const QFileDevice::Permissions taken = kind == QLatin1String("unreadable file")
            ? (QFileDevice::ReadOwner | QFileDevice::ReadUser)
            : (QFileDevice::WriteOwner | QFileDevice::WriteUser);
        QFile::setPermissions(locked, allowed & ~taken);

        auto opened = ModelContext::open(path);
        QFile::setPermissions(locked, allowed);
        QVERIFY(!opened);
        QCOMPARE(opened.error().code, code);
        QVERIFY2(opened.error().description.contains(wording), qPrintable(opened.error().description));
        QVERIFY2(opened.error().description.contains(QFileInfo(path).absoluteFilePath()),
                 qPrintable(opened.error().description));
        QCOMPARE(fileHash(path), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files), QStringList {QStringLiteral("Kestrove.sqlite")});
    }

    void fullDiskKeepsChangesPending()
    {
        auto opened = ModelContext::open(m_path);
        QVERIFY(opened);
        ModelContext &context = *opened.value();
        auto *stored = new Package(QStringLiteral("STORED"), QStringLiteral("ups"), QStringLiteral("before"));
        context.insert(stored);
        QVERIFY(context.save());

        // The disk fills up: the store may not grow by a single page any more.
        QStringList names;
        for (const QString &name : QSqlDatabase::connectionNames()) {
            if (name.startsWith(QLatin1String("kestrove-store-")))
                names.append(name);
        }
        QCOMPARE(names.size(), 1);
        QSqlDatabase connection = QSqlDatabase::database(names.first(), false);
        const auto setMaxPages = [&](const QString &pages) {
            QSqlQuery query(connection);
            return query.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
        };
        QSqlQuery pageCount(connection);
        QVERIFY(pageCount.exec(QStringLiteral("PRAGMA page_count")) && pageCount.next());
        const QString full = pageCount.value(0).toString();
        pageCount.finish();
        QVERIFY(setMaxPages(full));

        stored->setLabel(QStringLiteral("after"));
        stored->setCustomImageData(QByteArray(5000, 'p'));
        QList<Package *> added;
        const QDateTime start(QDate(2026, 5, 1), QTime(8, 0), Qt::UTC);
        for (int i = 0; i < 200; ++i) {
            auto *package = new Package(QStringLiteral("FULL%1").arg(i), QStringLiteral("dhl"));
            context.insert(package);
            package->appendEvent(std::make_unique<TrackingEvent>(start, TrackingStatus::inTransit,
                                                                 QStringLiteral("A long description %1").arg(i)));
            added.append(package);
        }
        auto failed = context.save();
        QVERIFY(!failed);
        QCOMPARE(failed.error().code, ModelError::Code::queryFailed);
        QVERIFY2(failed.error().description.contains(QLatin1String("Database or disk is full.")),
                 qPrintable(failed.error().fullDescription()));
        QVERIFY(context.hasChanges());
        QCOMPARE(added.first()->persistentId(), 0);
        QCOMPARE(added.first()->events().first()->persistentId(), 0);
        QCOMPARE(stored->label(), QStringLiteral("after"));
        QCOMPARE(QDir(context.externalDataDirectory()).entryList(QDir::Files), QStringList());
        QCOMPARE(scalar(m_path, QStringLiteral("SELECT label FROM Package")).toString(), QStringLiteral("before"));
        QCOMPARE(scalar(m_path, QStringLiteral("SELECT count(*) FROM Package")).toInt(), 1);

        // Space again: the same changes go through.
        QVERIFY(setMaxPages(QStringLiteral("1073741823")));
        auto saved = context.save();
        QVERIFY2(saved, saved ? "" : qPrintable(saved.error().fullDescription()));
        QVERIFY(!context.hasChanges());
        auto reopened = ModelContext::open(m_path);
        QVERIFY(reopened);
        const QList<Package *> packages = reopened.value()->fetchPackages().value();
        QCOMPARE(packages.size(), 201);
        QCOMPARE(packages.first()->label(), QStringLiteral("after"));
        QCOMPARE(packages.first()->customImageData(), QByteArray(5000, 'p'));
        QCOMPARE(packages.last()->events().size(), 1);
    }

    void saveWaitsForAnotherProcessesWriteLock_data()
    {
        QTest::addColumn<int>("holdMs");
        QTest::addColumn<int>("busyTimeoutMs"); // 0: the store's default
        QTest::addColumn<bool>("saved");
        QTest::newRow("a lock released within the default wait lets the save through") << 800 << 0 << true;
        QTest::newRow("a lock held past the wait fails the save, which keeps its changes") << 3000 << 200 << false;
    }
    void saveWaitsForAnotherProcessesWriteLock()
    {
        QFETCH(int, holdMs);
        QFETCH(int, busyTimeoutMs);
        QFETCH(bool, saved);
        seedStore(m_path, 1);
        auto opened = ModelContext::open(m_path);
        QVERIFY(opened);
        ModelContext &context = *opened.value();
        if (busyTimeoutMs > 0)
            context.setBusyTimeout(std::chrono::milliseconds(busyTimeoutMs));
        Package *package = context.fetchPackages().value().first();

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(TestSupport::executablePath(QStringLiteral("storekillhelper")),
                    {m_path, QStringLiteral("hold"), QString::number(holdMs)});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        QByteArray output;
        while (!output.contains("LOCKED") && child.state() == QProcess::Running && child.waitForReadyRead(30000))
            output += child.readAllStandardOutput();
        QVERIFY2(output.contains("LOCKED"), output.constData());

        // A reader opens and reads at once: only writers wait for the lock.
        QElapsedTimer opening;
        opening.start();
        auto reader = ModelContext::open(m_path);
        QVERIFY2(reader && opening.elapsed() < holdMs / 2, qPrintable(QString::number(opening.elapsed())));
        QCOMPARE(reader.value()->fetchPackages().value().size(), 1);

        package->setLabel(QStringLiteral("while locked"));
        QElapsedTimer timer;
        timer.start();
        auto result = context.save();
        const qint64 waited = timer.elapsed();
        QCOMPARE(result.ok(), saved);
        if (saved) {
            QVERIFY2(waited >= holdMs / 2, qPrintable(QString::number(waited)));
            QVERIFY(!context.hasChanges());
        } else {
            QVERIFY2(waited >= busyTimeoutMs && waited < holdMs, qPrintable(QString::number(waited)));
            QVERIFY2(result.error().description.contains(QLatin1String("Database is locked.")),
                     qPrintable(result.error().fullDescription()));
            QVERIFY(context.hasChanges());
        }
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitCode(), 0);
        QVERIFY(context.save());
        QVERIFY(context.refreshFromStore());
        QCOMPARE(context.fetchPackages().value().size(), 2); // ours and the child's
        QCOMPARE(scalar(m_path, QStringLiteral("SELECT label FROM Package WHERE trackingNumber = 'BASE0'")).toString(),
                 QStringLiteral("while locked"));
    }

    void killedSaveLeavesTheLastCommittedState_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("count");
        QTest::newRow("killed just before COMMIT") << "hook" << 2000;
        QTest::newRow("killed at an arbitrary moment of the save") << "plain" << 2000;
    }
    void killedSaveLeavesTheLastCommittedState()
    {
        QFETCH(QString, mode);
        QFETCH(int, count);
        seedStore(m_path, 3);

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(TestSupport::executablePath(QStringLiteral("storekillhelper")),
                    {m_path, mode, QString::number(count)});
        QVERIFY2(child.waitForStarted(), qPrintable(child.errorString()));
        const QByteArray marker = mode == QLatin1String("hook") ? "COMMITTING" : "SAVING";
        QByteArray output;
        while (!output.contains(marker) && child.state() == QProcess::Running && child.waitForReadyRead(60000))
            output += child.readAllStandardOutput();
        QVERIFY2(output.contains(marker), output.constData());
        if (mode == QLatin1String("plain"))
            QTest::qWait(40); // somewhere inside the save
        child.kill(); // SIGKILL: no destructor, no rollback, no checkpoint
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        output += child.readAllStandardOutput();

        if (mode == QLatin1String("hook")) {
            // The uncommitted pages did reach the WAL file before the kill.
            QVERIFY(QFileInfo(m_path + QStringLiteral("-wal")).size() > 1024 * 1024);
        }
        auto reopened = ModelContext::open(m_path);
        QVERIFY2(reopened, reopened ? "" : qPrintable(reopened.error().fullDescription()));
        const QList<Package *> packages = reopened.value()->fetchPackages().value();
        const bool committed = output.contains("SAVED");
        qInfo("the child %s before it was killed", committed ? "had committed" : "had not committed");
        if (mode == QLatin1String("hook") || !committed) {
            QCOMPARE(packages.size(), 3);
            for (const Package *package : packages) {
                QCOMPARE(package->label(), QStringLiteral("baseline"));
                QCOMPARE(package->events().size(), 3);
            }
            QCOMPARE(scalar(m_path, QStringLiteral("SELECT count(*) FROM TrackingEvent")).toInt(), 9);
        } else {
            // The save won the race: then all of it is there.
            QCOMPARE(packages.size(), 2 + count);
            QCOMPARE(scalar(m_path, QStringLiteral("SELECT count(*) FROM TrackingEvent")).toInt(), 6 + 50 * count);
        }
        QCOMPARE(scalar(m_path, QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    }
};

KESTROVE_TEST_MAIN(StoreTest)
#include "storetest.moc"
