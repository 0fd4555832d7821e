#include "app/kestroveapp.h"
#include "app/singleinstance.h"
#include "model/modelcontainer.h"
#include "model/modelschema.h"
#include "testmain.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

// The real kestrove binary, started as a user would: one copy per session, and a clear
// stop when the store cannot be opened.
class AppProcessTest : public QObject
{
    Q_OBJECT

    /** A started kestrove whose standard error is collected as it comes. */
    struct Kestrove {
        QProcess process;
        QByteArray errors;

        explicit Kestrove(const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
        {
            process.setProcessEnvironment(environment);
            QObject::connect(&process, &QProcess::readyReadStandardError, &process,
                             [this] { errors += process.readAllStandardError(); });
            process.start(TestSupport::executablePath(QStringLiteral("kestrove")), {});
        }
        ~Kestrove()
        {
            if (process.state() != QProcess::NotRunning) {
                process.terminate();
                if (!process.waitForFinished(5000))
                    process.kill();
                process.waitForFinished(5000);
            }
        }
    };

    static bool nameOwned()
    {
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(SingleInstance::serviceName);
    }

    static void removeStore() { QDir(ModelContainer::defaultDirectory()).removeRecursively(); }

    static QProcessEnvironment offscreen()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // Offscreen has no one to read a message box, so kestrove only prints the error.
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return environment;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::exists(TestSupport::executablePath(QStringLiteral("kestrove"))));
        if (!QDBusConnection::sessionBus().isConnected())
            QSKIP("No session bus: run through scripts/run-tests.sh");
    }

    void cleanup()
    {
        // The next start must find the name free, or it would only activate a leftover.
        QTRY_VERIFY_WITH_TIMEOUT(!nameOwned(), 10000);
        removeStore();
    }

    void startCreatesTheStore()
    {
        Kestrove kestrove(offscreen());
        QVERIFY(kestrove.process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ModelContainer::defaultStorePath()), 10000);
        QCOMPARE(QFileInfo(ModelContainer::defaultStorePath()).fileName(), QStringLiteral("Kestrove.sqlite"));
        QCOMPARE(kestrove.process.state(), QProcess::Running);
    }

    void secondStartActivatesTheFirstAndEnds()
    {
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            QSKIP("Needs a display (Xvfb) for the real windows");
        Kestrove first;
        QVERIFY(first.process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(nameOwned(), 10000);

        QElapsedTimer elapsed;
        elapsed.start();
        Kestrove second;
        QVERIFY(second.process.waitForFinished(10000));
        QCOMPARE(second.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.process.exitCode(), 0);
        QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));

        QTRY_VERIFY_WITH_TIMEOUT(first.errors.contains("Another start of Kestrove asked for the main window"), 5000);
        QCOMPARE(first.process.state(), QProcess::Running);
        QVERIFY2(!second.errors.contains("ModelContainer"), second.errors.constData());
    }

    void unopenableStoreStopsWithAMessage_data()
    {
        QTest::addColumn<QString>("obstacle");
        QTest::newRow("a directory where the store file belongs") << "directory";
        QTest::newRow("a store written by a newer Kestrove") << "newer";
        QTest::newRow("a text file in place of the store") << "text";
    }
    void unopenableStoreStopsWithAMessage()
    {
        QFETCH(QString, obstacle);
        const QString path = ModelContainer::defaultStorePath();
        QVERIFY(QDir().mkpath(ModelContainer::defaultDirectory()));
        if (obstacle == QLatin1String("directory")) {
            QVERIFY(QDir().mkpath(path));
        } else if (obstacle == QLatin1String("text")) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("trackingNumber,carrier\n1Z999AA10123456784,ups\n").repeated(50));
        } else {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("newer"));
                db.setDatabaseName(path);
                QVERIFY(db.open());
                QSqlQuery query(db);
                QVERIFY(query.exec(QStringLiteral("PRAGMA application_id = %1").arg(ModelSchema::applicationId)));
                QVERIFY(query.exec(QStringLiteral("PRAGMA user_version = %1").arg(ModelContext::schemaVersion + 1)));
                QVERIFY(query.exec(QStringLiteral("CREATE TABLE future (id INTEGER PRIMARY KEY)")));
            }
            QSqlDatabase::removeDatabase(QStringLiteral("newer"));
        }
        const QByteArray before = QFileInfo(path).isFile() ? [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }()
                                                           : QByteArray();

        Kestrove kestrove(offscreen());
        QVERIFY(kestrove.process.waitForFinished(20000));
        kestrove.errors += kestrove.process.readAllStandardError();
        QCOMPARE(kestrove.process.exitStatus(), QProcess::NormalExit);
        QVERIFY(kestrove.process.exitCode() != 0);
        const QByteArray prefix(KestroveApp::containerErrorPrefix);
        const qsizetype at = kestrove.errors.indexOf(prefix);
        QVERIFY2(at >= 0, kestrove.errors.constData());
        // The prefix is followed by the store's own description of what went wrong.
        const QByteArray description = kestrove.errors.mid(at + prefix.size()).split('\n').first().trimmed();
        QVERIFY2(!description.isEmpty(), kestrove.errors.constData());

        // Nothing was written over what stood in the way.
        if (QFileInfo(path).isFile()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            QCOMPARE(file.readAll(), before);
        } else {
            QVERIFY(QFileInfo(path).isDir());
        }
    }
};

KESTROVE_TEST_MAIN(AppProcessTest)
#include "appprocesstest.moc"
