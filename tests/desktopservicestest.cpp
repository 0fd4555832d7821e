// The update checker against a manifest server, the bug-report address and the autostart entry.
#include "fake17trackserver.h"
#include "model/preferences.h"
#include "services/bugreport.h"
#include "services/loginitem.h"
#include "services/updatechecker.h"
#include "taskrunner.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrlQuery>

using Reply = Fake17TrackServer::Reply;
Q_DECLARE_METATYPE(Reply)

namespace
{
Reply manifest(const QString &version, const QString &url = QStringLiteral("download"))
{
    return Reply::json(QJsonObject {{QStringLiteral("version"), version},
                                    {QStringLiteral("build"), QStringLiteral("42")},
                                    {QStringLiteral("url"), url},
                                    {QStringLiteral("notes"), QStringLiteral("Fixes")}});
}
}

class DesktopServicesTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<Fake17TrackServer> m_server;
    std::optional<Reply> m_reply;

    std::unique_ptr<UpdateChecker> makeChecker()
    {
        UpdateChecker::Options options;
        options.clock = m_clock.get();
        options.preferences = m_preferences.get();
        options.manifestUrl = QUrl(QStringLiteral("http://127.0.0.1:%1/app/update.json").arg(m_server->port()));
        options.currentVersion = QStringLiteral("1.9.9");
        return std::make_unique<UpdateChecker>(options);
    }

private Q_SLOTS:
    void init()
    {
        m_preferences = std::make_unique<Preferences>(m_dir.filePath(QStringLiteral("prefs.ini")));
        m_preferences->remove(PreferenceKeys::lastUpdateCheck);
        m_clock = std::make_unique<VirtualClock>();
        m_server = std::make_unique<Fake17TrackServer>();
        m_server->setHandler([this](const Fake17TrackServer::Request &) { return m_reply; });
        QVERIFY(m_server->listen());
    }

    void versionComparison_data()
    {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("newer");
        const auto row = [](const char *name, const char *remote, const char *local, bool newer) {
            QTest::newRow(name) << QString::fromLatin1(remote) << QString::fromLatin1(local) << newer;
        };
        row("trailing zero is the same", "1.2.0", "1.2", false);
        row("numbers, not text", "1.10.0", "1.9.9", true);
        row("suffix dropped", "2.0-beta", "1.9", true);
        row("fourth number ignored", "1.2.3.4", "1.2.3", false);
        row("missing local version", "0.0.1", "0.0.0", true);
        row("older", "1.2.3", "1.3", false);
        row("letters only", "v2", "0.0.0", false);
        row("beyond 64 bits dropped", "99999999999999999999.1", "1.0", false);
    }
    void versionComparison()
    {
        QFETCH(QString, remote);
        QFETCH(QString, local);
        QFETCH(bool, newer);
        QCOMPARE(UpdateChecker::isNewer(remote, local), newer);
    }

    // Each row runs after a check that found 2.0.0: a failed check keeps it and the old check
    // time, a successful one replaces both.
    void manifestCheck_data()
    {
        QTest::addColumn<Reply>("reply");
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("succeeds");
        const auto kept = [](const char *name, const Reply &reply) {
            QTest::newRow(name) << reply << QStringLiteral("2.0.0") << QStringLiteral("/app/download") << false;
        };
        QTest::newRow("relative address against the manifest's")
            << manifest(QStringLiteral("1.10.0")) << QStringLiteral("1.10.0") << QStringLiteral("/app/download")
            << true;
        QTest::newRow("absolute https address")
            << manifest(QStringLiteral("3.0"), QStringLiteral("https://example.org/get")) << QStringLiteral("3.0")
            << QStringLiteral("https://example.org/get") << true;
        QTest::newRow("same version clears the update")
            << manifest(QStringLiteral("1.9.9")) << QString() << QString() << true;
        kept("key missing", Reply::json({{QStringLiteral("version"), QStringLiteral("3.0")}}));
        kept("not JSON", Reply::raw("<html>"));
        kept("huge version", manifest(QString(10000, QLatin1Char('9'))));
        kept("file address", manifest(QStringLiteral("3.0"), QStringLiteral("file:///etc/passwd")));
        kept("script address", manifest(QStringLiteral("3.0"), QStringLiteral("javascript:alert(1)")));
        kept("304", Reply::httpStatus(304));
        kept("500", Reply::httpStatus(500));
        kept("connection reset", Reply::resetConnection());
    }

    void manifestCheck()
    {
        QFETCH(Reply, reply);
        QFETCH(QString, version);
        QFETCH(QString, url);
        QFETCH(bool, succeeds);
        auto checker = makeChecker();
        m_reply = manifest(QStringLiteral("2.0.0"));
        QVERIFY(TestSupport::runTask(checker->checkForUpdates()));
        const double firstCheck = m_preferences->lastUpdateCheck();
        QVERIFY(firstCheck > 0);

        m_clock->advance(std::chrono::hours(1));
        m_reply = reply;
        QVERIFY(TestSupport::runTask(checker->checkForUpdates()));
        QVERIFY(!checker->isChecking());
        QCOMPARE(checker->updateAvailable().has_value(), !version.isEmpty());
        if (!version.isEmpty()) {
            QCOMPARE(checker->updateAvailable()->version, version);
            const QString address = checker->updateAvailable()->downloadURL.toString();
            QVERIFY2(address.endsWith(url), qPrintable(address));
        }
        QCOMPARE(m_preferences->lastUpdateCheck(), succeeds ? firstCheck + 3600 : firstCheck);
    }

    void weeklyRule_data()
    {
        QTest::addColumn<int>("daysSinceLastCheck");
        QTest::addColumn<int>("requests");
        QTest::newRow("3 days ago: nothing") << 3 << 0;
        QTest::newRow("8 days ago: one check") << 8 << 1;
    }
    void weeklyRule()
    {
        QFETCH(int, daysSinceLastCheck);
        QFETCH(int, requests);
        const QDateTime last = m_clock->now().addDays(-daysSinceLastCheck);
        m_preferences->setLastUpdateCheck(double(last.toSecsSinceEpoch()));
        m_reply = manifest(QStringLiteral("1.0"));
        auto checker = makeChecker();
        QVERIFY(TestSupport::runTask(checker->checkIfNeeded()));
        QCOMPARE(m_server->requests().size(), requests);
    }

    void bugReportAddress_data()
    {
        QTest::addColumn<QString>("operatingSystem");
        QTest::addColumn<QString>("encodedOs");
        QTest::newRow("plain") << "Debian GNU/Linux 12 (bookworm)"
                               << "Debian%20GNU%2FLinux%2012%20%28bookworm%29";
        QTest::newRow("query characters stay in the body") << "A&B=C #1?"
                                                           << "A%26B%3DC%20%231%3F";
    }
    void bugReportAddress()
    {
        QFETCH(QString, operatingSystem);
        QFETCH(QString, encodedOs);
        const BugReport::SystemInfo info {QStringLiteral("1.2"), QStringLiteral("1"), operatingSystem,
                                          QStringLiteral("6.1.0-18-amd64"), QStringLiteral("x86_64")};
        const QString address
            = BugReport::mailtoUrl(QStringLiteral("support@kestrove.app"), info).toString(QUrl::FullyEncoded);
        QVERIFY2(address.startsWith(QLatin1String(
                     "mailto:support@kestrove.app?subject=Kestrove%20Bug%20Report%20-%20v1.2%20%281%29&body=")),
                 qPrintable(address));
        QVERIFY2(
            address.contains(
                QStringLiteral("%0AOS%3A%20") + encodedOs
                + QStringLiteral("%0AKernel%3A%206.1.0-18-amd64%0AArchitecture%3A%20x86_64%0A%0A---%20Bug%20Report")),
            qPrintable(address));
        const QString body = QUrlQuery(QUrl(address)).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded);
        QVERIFY(body.contains(QStringLiteral("\nOS: ") + operatingSystem + QStringLiteral("\nKernel: ")));
    }

    void loginItemWrittenAndRemoved()
    {
        const QString path = LoginItem::entryPath();
        QVERIFY(LoginItem::setEnabled(true, QStringLiteral("/opt/My Apps/kestrove")).ok());
        QFile entry(path);
        QVERIFY(entry.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(entry.readAll());
        QVERIFY2(text.contains(QStringLiteral("\nExec=\"/opt/My Apps/kestrove\" --autostart\n")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("\nX-GNOME-Autostart-enabled=true\n")));
        QVERIFY(LoginItem::setEnabled(false, QStringLiteral("/opt/My Apps/kestrove")).ok());
        QVERIFY(!QFile::exists(path));
    }
};

KESTROVE_TEST_MAIN(DesktopServicesTest)
#include "desktopservicestest.moc"
