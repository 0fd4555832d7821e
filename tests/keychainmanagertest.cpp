#include "services/keychainmanager.h"

#include "base/logmanager.h"
#include "services/apikeystore.h"
#include "taskrunner.h"
#include "testmain.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <qt6keychain/keychain.h>

#include <atomic>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <vector>

/*
 * Runs twice: against the private Secret Service that run-tests.sh starts, and (entry
 * keychainmanagertest_nosecret, KESTROVE_TEST_NO_SECRET_SERVICE=1) with no session bus at
 * all, where only the fallback file can answer.
 *
 * The Secret Service item is inspected and deleted from a child process (this executable
 * with --keychain-helper), outside the code under test, as another program would.
 */

namespace
{
constexpr auto helperFlag = "--keychain-helper";

/** Child-process mode: "read KEY" prints the item's bytes in hex, "delete KEY" removes it. */
int runKeychainHelper(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString action = QString::fromLocal8Bit(argv[2]);
    const QString key = QString::fromLocal8Bit(argv[3]);
    QKeychain::Job *job = nullptr;
    if (action == QLatin1String("read"))
        job = new QKeychain::ReadPasswordJob(QLatin1String(KeychainManager::service), &app);
    else
        job = new QKeychain::DeletePasswordJob(QLatin1String(KeychainManager::service), &app);
    job->setAutoDelete(false);
    job->setKey(key);
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    job->start();
    loop.exec();
    if (job->error() == QKeychain::EntryNotFound) {
        std::puts("missing");
        return 0;
    }
    if (job->error() != QKeychain::NoError) {
        std::printf("error %d\n", int(job->error()));
        return 1;
    }
    if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(job))
        std::printf("value %s\n", read->binaryData().toHex().constData());
    else
        std::puts("deleted");
    return 0;
}

QString fileMode(const QString &path)
{
    struct stat info {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return QStringLiteral("missing");
    return QString::number(info.st_mode & 07777, 8);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}
}

class KeychainManagerTest : public QObject
{
    Q_OBJECT
public:
    explicit KeychainManagerTest(TemporaryHome &home)
        : m_home(home)
    { }

private:
    [[nodiscard]] QString fallbackPath(const QString &key) const
    {
        return m_home.applicationSupportPath() + QStringLiteral("/.") + key;
    }

    /** What the Secret Service holds for the key: "value <hex>", "missing" or "error N". */
    QString keychainItem(const QString &action, const QString &key)
    {
        QProcess helper;
        helper.start(QCoreApplication::applicationFilePath(), {QLatin1String(helperFlag), action, key});
        if (!helper.waitForFinished(20000))
            return QStringLiteral("helper hung");
        return QString::fromLatin1(helper.readAllStandardOutput()).trimmed();
    }

    static QString hexValue(const QString &value)
    {
        return QStringLiteral("value ") + QString::fromLatin1(value.toUtf8().toHex());
    }

    // A fresh account per test: items in the shared session keyring outlive this process.
    QString freshKey(const char *name)
    {
        return QStringLiteral("kestrove_test_%1_%2").arg(QLatin1String(name)).arg(QCoreApplication::applicationPid());
    }

    TemporaryHome &m_home;
    bool m_secretService = true;
    QStringList m_logged;
    QStringList m_secrets;

private Q_SLOTS:
    void initTestCase()
    {
        m_secretService = qEnvironmentVariableIsEmpty("KESTROVE_TEST_NO_SECRET_SERVICE");
        if (!m_secretService)
            QVERIFY2(qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"), "the no-service run must have no bus");
        else if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
            QSKIP("no session bus: run through scripts/run-tests.sh for the Secret Service");
        LogManager::setObserver([this](const QString &message) { m_logged.append(message); });
    }

    void saveWritesItemAndPrivateFile()
    {
        const QString key = freshKey("save");
        const QString value = QStringLiteral("cl\u00e9-\u043a\u043b\u044e\u0447-\u5bc6\u94a5-\U0001F511");
        m_secrets.append(value);
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(KeychainManager::save(key, value).value(), m_secretService);
        // Without a service the keychain must fail fast, not run into the time-out.
        QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));

        QCOMPARE(fileBytes(fallbackPath(key)), value.toUtf8());
        QCOMPARE(fileMode(fallbackPath(key)), QStringLiteral("600"));
        // The atomic write leaves no temporary file behind.
        const QStringList leftovers
            = QDir(m_home.applicationSupportPath()).entryList({QStringLiteral("*save*")}, QDir::Files | QDir::Hidden);
        QCOMPARE(leftovers, QStringList {QStringLiteral(".") + key});
        if (m_secretService)
            QCOMPARE(keychainItem(QStringLiteral("read"), key), hexValue(value));
        QCOMPARE(KeychainManager::retrieve(key), std::optional<QString>(value));
    }

    void emptyValueReadsAsAbsentAndEverySaveNarrowsTheFile()
    {
        const QString key = freshKey("empty");
        m_secrets.append(QStringLiteral("soon-replaced"));
        QVERIFY(KeychainManager::save(key, QStringLiteral("soon-replaced")));
        // Someone widened the file; the next save narrows it again.
        QVERIFY(::chmod(QFile::encodeName(fallbackPath(key)).constData(), 0666) == 0);
        QVERIFY(KeychainManager::save(key, QString()));
        QCOMPARE(fileBytes(fallbackPath(key)), QByteArray());
        QCOMPARE(fileMode(fallbackPath(key)), QStringLiteral("600"));
        QCOMPARE(KeychainManager::retrieve(key), std::nullopt);
    }

    void fileOnlyValueMigratesBack()
    {
        const QString key = freshKey("migrate");
        const QString value = QStringLiteral("migrating-key-42");
        m_secrets.append(value);
        QVERIFY(KeychainManager::save(key, value));
        const auto changeTime
            = [&] { return QFileInfo(fallbackPath(key)).fileTime(QFileDevice::FileMetadataChangeTime); };
        const QDateTime written = changeTime();
        QTest::qWait(20);
        if (m_secretService) {
            QCOMPARE(keychainItem(QStringLiteral("delete"), key), QStringLiteral("deleted"));
            QCOMPARE(keychainItem(QStringLiteral("read"), key), QStringLiteral("missing"));
        }

        QCOMPARE(KeychainManager::retrieve(key), std::optional<QString>(value));
        if (m_secretService)
            QCOMPARE(keychainItem(QStringLiteral("read"), key), hexValue(value));
        // Read, never rewritten: a rewrite on a full disk could leave an empty file behind.
        QCOMPARE(changeTime(), written);
    }

    void keychainAnswersBeforeTheFile()
    {
        if (!m_secretService)
            QSKIP("needs the Secret Service");
        const QString key = freshKey("order");
        m_secrets.append(QStringLiteral("keychain-value"));
        QVERIFY(KeychainManager::save(key, QStringLiteral("keychain-value")).value());
        QFile file(fallbackPath(key));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write("stale-file-value");
        file.close();
        QCOMPARE(KeychainManager::retrieve(key), std::optional<QString>(QStringLiteral("keychain-value")));
    }

    void neverSavedIsAbsentAndCreatesNothing()
    {
        m_home.reset();
        QCOMPARE(KeychainManager::retrieve(freshKey("never")), std::nullopt);
        QVERIFY(!QFileInfo::exists(m_home.applicationSupportPath()));
        if (m_secretService)
            QCOMPARE(keychainItem(QStringLiteral("read"), freshKey("never")), QStringLiteral("missing"));
    }

    void unusableFileReadsAsAbsent_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("directory");
        QTest::newRow("invalid UTF-8") << QByteArray("\xff\xfe key") << false;
        QTest::newRow("truncated UTF-8 sequence") << QByteArray("key\xe2\x82") << false;
        QTest::newRow("a directory in the file's place") << QByteArray() << true;
    }
    void unusableFileReadsAsAbsent()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, directory);
        const QString key = freshKey("unusable") + QString::fromLatin1(QTest::currentDataTag()).remove(u' ');
        QDir().mkpath(m_home.applicationSupportPath());
        if (directory) {
            QVERIFY(QDir().mkpath(fallbackPath(key)));
        } else {
            QFile file(fallbackPath(key));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
        }
        QCOMPARE(KeychainManager::retrieve(key), std::nullopt);
        if (m_secretService)
            QCOMPARE(keychainItem(QStringLiteral("read"), key), QStringLiteral("missing"));
    }

    void usableFromAnyThread()
    {
        const QString key = freshKey("threads");
        const QStringList values {QStringLiteral("thread-a"), QStringLiteral("thread-b"), QStringLiteral("thread-c")};
        m_secrets.append(values);
        std::atomic<int> failures {0};
        std::vector<std::thread> threads;
        for (const QString &value : values) {
            threads.emplace_back([&, value] {
                for (int i = 0; i < 5; ++i) {
                    if (KeychainManager::save(key, value).value() != m_secretService)
                        ++failures;
                    const auto read = KeychainManager::retrieve(key);
                    if (!read || !values.contains(*read))
                        ++failures;
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(failures.load(), 0);
        // Whichever save came last wins, in both stores.
        const auto final = KeychainManager::retrieve(key);
        QVERIFY(final && values.contains(*final));
        QCOMPARE(QString::fromUtf8(fileBytes(fallbackPath(key))), *final);
        QCOMPARE(fileMode(fallbackPath(key)), QStringLiteral("600"));
    }

    void keyStoreSavesTrimmedAndReadsBack()
    {
        const QString key = freshKey("store");
        ApiKeyStore store(ApiKeyStore::keychain(key));
        QVERIFY(TestSupport::runTask(store.load()));
        QVERIFY(store.isLoaded() && !store.apiKey());
        QSignalSpy changed(&store, &ApiKeyStore::apiKeyChanged);
        const auto saved = TestSupport::runTask(store.save(QStringLiteral("  store-key\n")));
        QVERIFY(saved && saved->ok());
        QCOMPARE(saved->value(), m_secretService);
        QCOMPARE(store.apiKey(), QStringLiteral("store-key"));
        QCOMPARE(changed.size(), 1);
        m_secrets.append(QStringLiteral("store-key"));

        ApiKeyStore later(ApiKeyStore::keychain(key));
        QVERIFY(TestSupport::runTask(later.load()));
        QCOMPARE(later.apiKey(), QStringLiteral("store-key"));
    }

    // A keyring that takes seconds to answer (locked, waiting for its prompt) never stalls the loop.
    void keyStoreNeverStallsTheEventLoop()
    {
        ApiKeyStore store({[] {
                               std::this_thread::sleep_for(std::chrono::milliseconds(1500));
                               return std::optional<QString>(QStringLiteral("slow-key"));
                           },
                           {}});
        QElapsedTimer sinceLastTick;
        qint64 longestStall = 0;
        QTimer ticker;
        ticker.setInterval(5);
        connect(&ticker, &QTimer::timeout, this,
                [&] { longestStall = std::max(longestStall, sinceLastTick.restart()); });
        sinceLastTick.start();
        ticker.start();
        QElapsedTimer total;
        total.start();
        QVERIFY(TestSupport::runTask(store.load()));
        QVERIFY(total.elapsed() >= 1400);
        QCOMPARE(store.apiKey(), QStringLiteral("slow-key"));
        QVERIFY2(longestStall < 250, qPrintable(QString::number(longestStall)));
    }

    void keysNeverLogged()
    {
        for (const QString &message : std::as_const(m_logged)) {
            for (const QString &secret : std::as_const(m_secrets))
                QVERIFY2(!message.contains(secret), qPrintable(message));
        }
    }

    void cleanupTestCase() { LogManager::setObserver({}); }
};

int main(int argc, char *argv[])
{
    if (argc == 4 && qstrcmp(argv[1], helperFlag) == 0)
        return runKeychainHelper(argc, argv);

    // Pin QtKeychain to the Secret Service: under a KDE session it would pick KWallet.
    for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION", "KDE_SESSION_VERSION"})
        qunsetenv(name);
    TemporaryHome home;
    QCoreApplication app(argc, argv);
    TestSupport::setApplicationIdentity();
    KeychainManagerTest test(home);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "keychainmanagertest.moc"
