#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "services/csvservice.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run cli(const QStringList &arguments)
{
    QProcess process;
    process.start(TestSupport::executablePath(QStringLiteral("kestrove-cli")), arguments);
    if (!process.waitForStarted(10000) || !process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    return Run {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                QString::fromUtf8(process.readAllStandardOutput()), QString::fromUtf8(process.readAllStandardError())};
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void removeStore()
{
    const QString path = ModelContainer::defaultStorePath();
    for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
        QFile::remove(path + suffix);
}

QStringList storedNumbers()
{
    auto context = ModelContainer::open(ModelContainer::defaultStorePath());
    if (!context)
        return {};
    QStringList numbers;
    for (const Package *p : context.value()->fetchPackages().value())
        numbers.append(p->trackingNumber());
    numbers.sort();
    return numbers;
}
}

class CsvCliTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private Q_SLOTS:
    void init() { removeStore(); }

    void importPrintsTheApplicationsResultText()
    {
        const QString path = m_dir.filePath(QStringLiteral("in.csv"));
        QVERIFY(
            writeFile(path, "trackingNumber,label,status\n1z 999-aa1,Shoes,inTransit\n,empty\nJD0001234567,,bogus\n"));
        Run run = cli({QStringLiteral("import"), path});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("2 package(s) imported, 1 skipped (duplicate or invalid).\n"));
        QCOMPARE(storedNumbers(), (QStringList {QStringLiteral("1Z999AA1"), QStringLiteral("JD0001234567")}));

        // Running it again finds both numbers stored.
        run = cli({QStringLiteral("import"), path});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("0 package(s) imported, 3 skipped (duplicate or invalid).\n"));
        QCOMPARE(storedNumbers().size(), 2);
    }

    void importFailures_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("createFile");
        QTest::addColumn<QString>("error");
        QTest::newRow("only a header") << QByteArray("trackingNumber\n\n") << true
                                       << QStringLiteral("The CSV file is empty or contains only headers.");
        QTest::newRow("no number column")
            << QByteArray("number\nX1\n") << true
            << QStringLiteral("Required column 'trackingNumber' not found in CSV headers.");
        QTest::newRow("binary bytes") << QByteArray("\x89PNG\r\n\x1a\n\xff\xfe", 10) << true
                                      << QStringLiteral("The file is not UTF-8 text.");
        QTest::newRow("a missing file") << QByteArray() << false << QStringLiteral("cannot read");
    }

    void importFailures()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, createFile);
        QFETCH(QString, error);
        const QString path = m_dir.filePath(QStringLiteral("bad.csv"));
        QFile::remove(path);
        if (createFile)
            QVERIFY(writeFile(path, content));
        const Run run = cli({QStringLiteral("import"), path});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.out, QString());
        QVERIFY2(run.err.startsWith(QStringLiteral("kestrove-cli: ")) && run.err.contains(error), qPrintable(run.err));
        QCOMPARE(storedNumbers(), QStringList());
    }

    void exportWritesFileAndStandardOutput()
    {
        {
            auto context = ModelContainer::open(ModelContainer::defaultStorePath());
            QVERIFY(context);
            auto *older = new Package(QStringLiteral("OLD00001"), QStringLiteral("ups"), QStringLiteral("a, b"));
            older->setLastUpdated(QDateTime::currentDateTimeUtc().addDays(-2));
            auto *newer = new Package(QStringLiteral("NEW00001"), QStringLiteral("dhl"));
            newer->setArchived(true);
            context.value()->insert(older);
            context.value()->insert(newer);
            QVERIFY(context.value()->save());
        }
        const QString path = m_dir.filePath(QStringLiteral("sub/out.csv"));
        QVERIFY(QDir().mkpath(m_dir.filePath(QStringLiteral("sub"))));
        Run run = cli({QStringLiteral("export"), path});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("Exported 2 package(s) to %1\n").arg(path));
        const QStringList lines = QString::fromUtf8(readFile(path)).split(u'\n');
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines[0], CSVService::exportHeader);
        // Newest update first, archived packages included.
        QVERIFY(lines[1].startsWith(QStringLiteral("NEW00001,dhl,,pending,")));
        QVERIFY(lines[2].startsWith(QStringLiteral("OLD00001,ups,\"a, b\",pending,")));

        run = cli({QStringLiteral("export")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, lines.join(u'\n') + u'\n');

        // The exported file imports into an empty store with the same numbers.
        removeStore();
        run = cli({QStringLiteral("import"), path});
        QCOMPARE(run.out, QStringLiteral("2 package(s) imported, 0 skipped (duplicate or invalid).\n"));
        QCOMPARE(storedNumbers(), (QStringList {QStringLiteral("NEW00001"), QStringLiteral("OLD00001")}));
    }

    void exportToAnUnwritablePlaceFails()
    {
        const Run run = cli({QStringLiteral("export"), m_dir.filePath(QStringLiteral("no/such/folder/out.csv"))});
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.startsWith(QStringLiteral("kestrove-cli: cannot write")));
    }

    void usageErrors()
    {
        QCOMPARE(cli({QStringLiteral("import")}).exitCode, 2);
        QCOMPARE(cli({QStringLiteral("export"), QStringLiteral("a"), QStringLiteral("b")}).exitCode, 2);
    }
};

KESTROVE_TEST_MAIN(CsvCliTest)
#include "csvclitest.moc"
