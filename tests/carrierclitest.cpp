#include "clirunner.h"
#include "testmain.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

namespace
{
using Run = TestSupport::CliRun;
using TestSupport::apiKeyFilePath;

/** Runs kestrove-cli; noBus hides the session bus, so only the private key file can answer. */
Run cli(const QStringList &arguments, const QByteArray &input = {}, bool noBus = false)
{
    return noBus ? TestSupport::runCli(arguments, input, TestSupport::environmentWithoutSessionBus())
                 : TestSupport::runCli(arguments, input);
}
}

class CarrierCliTest : public QObject
{
    Q_OBJECT
private:
    static QJsonDocument json(const Run &run)
    {
        QJsonParseError error {};
        const QJsonDocument document = QJsonDocument::fromJson(run.out.toUtf8(), &error);
        [&] { QCOMPARE(error.error, QJsonParseError::NoError); }();
        return document;
    }

private Q_SLOTS:
    void detectText()
    {
        const Run run = cli({QStringLiteral("detect"), QStringLiteral("lx123456789cn")});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.err, QString());
        QStringList rows;
        for (const QString &line : run.out.split(u'\n', Qt::SkipEmptyParts))
            rows.append(line.split(QRegularExpression(QStringLiteral("\\s{2,}"))).join(u'|'));
        QCOMPARE(
            rows,
            (QStringList {QStringLiteral("4px|4PX|85%"), QStringLiteral("china-post|China Post|85%"),
                          QStringLiteral("dhl|DHL Express|60%"), QStringLiteral("unknown|International Postal|40%")}));
    }

    void detectTextSeveralNumbers()
    {
        const Run run = cli({QStringLiteral("detect"), QStringLiteral("1Z999AA10123456784"), QStringLiteral("hello")});
        QCOMPARE(run.exitCode, 0);
        QVERIFY2(run.out.contains(QStringLiteral("1Z999AA10123456784:\n  ups  UPS  95%\n")), qPrintable(run.out));
        QVERIFY2(run.out.contains(QStringLiteral("hello:\n  no carrier recognised\n")), qPrintable(run.out));
    }

    void detectJsonOneNumber()
    {
        const Run run = cli({QStringLiteral("detect"), QStringLiteral("EE123456789CN"), QStringLiteral("--json")});
        QCOMPARE(run.exitCode, 0);
        const QJsonArray guesses = json(run).array();
        QCOMPARE(guesses.size(), 3);
        const QJsonObject best = guesses.at(0).toObject();
        QCOMPARE(best.value(QStringLiteral("carrierCode")).toString(), QStringLiteral("china-ems"));
        QCOMPARE(best.value(QStringLiteral("carrierName")).toString(), QStringLiteral("China EMS"));
        QCOMPARE(best.value(QStringLiteral("confidence")).toDouble(), 0.92);
        QCOMPARE(guesses.at(2).toObject().value(QStringLiteral("carrierCode")).toString(), QStringLiteral("unknown"));
    }

    void detectJsonSeveralNumbers()
    {
        const Run run = cli({QStringLiteral("detect"), QStringLiteral("--json"), QStringLiteral("123456789012"),
                             QStringLiteral("not a number")});
        QCOMPARE(run.exitCode, 0);
        const QJsonArray all = json(run).array();
        QCOMPARE(all.size(), 2);
        QCOMPARE(all.at(0).toArray().size(), 1);
        QCOMPARE(all.at(0).toArray().at(0).toObject().value(QStringLiteral("carrierCode")).toString(),
                 QStringLiteral("fedex"));
        QCOMPARE(all.at(0).toArray().at(0).toObject().value(QStringLiteral("confidence")).toDouble(), 0.8);
        QVERIFY(all.at(1).isArray());
        QCOMPARE(all.at(1).toArray().size(), 0);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("detect without a number") << QStringList {QStringLiteral("detect")};
        QTest::newRow("carrier without a code") << QStringList {QStringLiteral("carrier")};
        QTest::newRow("carrier with a blank code") << QStringList {QStringLiteral("carrier"), QStringLiteral("  ")};
        QTest::newRow("url without a number") << QStringList {QStringLiteral("url")};
        QTest::newRow("url with a blank number") << QStringList {QStringLiteral("url"), QStringLiteral(" ")};
        QTest::newRow("url with two numbers")
            << QStringList {QStringLiteral("url"), QStringLiteral("A"), QStringLiteral("B")};
        QTest::newRow("key without an action") << QStringList {QStringLiteral("key")};
        QTest::newRow("key with an unknown action") << QStringList {QStringLiteral("key"), QStringLiteral("show")};
        QTest::newRow("unknown option") << QStringList {QStringLiteral("detect"), QStringLiteral("--xml"),
                                                        QStringLiteral("1")};
    }
    void usageErrors()
    {
        QFETCH(QStringList, arguments);
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, 2);
        QCOMPARE(run.out, QString());
        QVERIFY(run.err.startsWith(QStringLiteral("kestrove-cli")));
    }

    void carrier_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("expected");
        QTest::newRow("normalised code") << " Royal-Mail "
                                         << "code: royal-mail\nname: Royal Mail\nicon: globe.europe.africa.fill\n";
        QTest::newRow("17TRACK number") << "100069"
                                        << "code: dhl_ecommerce\nname: DHL eCommerce\nicon: globe\n";
        QTest::newRow("outside the catalogue") << "acme"
                                               << "code: acme\nname: ACME\nicon: shippingbox.fill\n";
    }
    void carrier()
    {
        QFETCH(QString, code);
        QFETCH(QString, expected);
        const Run run = cli({QStringLiteral("carrier"), code});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, expected);
    }

    void carrierJson()
    {
        const Run run = cli({QStringLiteral("carrier"), QStringLiteral("21051"), QStringLiteral("--json")});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject object = json(run).object();
        QCOMPARE(object.value(QStringLiteral("carrierCode")).toString(), QStringLiteral("usps"));
        QCOMPARE(object.value(QStringLiteral("carrierName")).toString(), QStringLiteral("USPS"));
        QCOMPARE(object.value(QStringLiteral("systemImage")).toString(), QStringLiteral("envelope.fill"));
    }

    void url_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("expected");
        QTest::newRow("chosen carrier") << QStringList {QStringLiteral("1Z999"), QStringLiteral("--carrier"),
                                                        QStringLiteral("UPS")}
                                        << "https://www.ups.com/track?tracknum=1Z999";
        QTest::newRow("best detection") << QStringList {QStringLiteral("AB123456789JP")}
                                        << "https://trackings.post.japanpost.jp/services/srv/search/"
                                           "?requestNo1=AB123456789JP&locale=en";
        QTest::newRow("best of several guesses") << QStringList {QStringLiteral("EE123456789CN")}
                                                 << "https://track.chinapost.com.cn/en/querydel?nums=EE123456789CN";
        QTest::newRow("no guess: general page, space encoded")
            << QStringList {QStringLiteral("hello world")} << "https://t.17track.net/en#nums=hello%20world";
        QTest::newRow("carrier without a page of its own")
            << QStringList {QStringLiteral("AB123456789FR"), QStringLiteral("--carrier"), QStringLiteral("la-poste")}
            << "https://t.17track.net/en#nums=AB123456789FR";
    }
    void url()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, expected);
        arguments.prepend(QStringLiteral("url"));
        const Run run = cli(arguments);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, expected + QLatin1Char('\n'));
    }

    void keyStatusWithoutKey()
    {
        QFile::remove(apiKeyFilePath());
        const Run run = cli({QStringLiteral("key"), QStringLiteral("status")}, {}, true);
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.out, QStringLiteral("API key: not configured\n"));
    }

    void keySetRejectsBadInput_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::newRow("nothing") << QByteArray();
        QTest::newRow("a bare line break") << QByteArray("\n");
        QTest::newRow("a bare CRLF") << QByteArray("\r\n");
        QTest::newRow("two lines") << QByteArray("key-one\nkey-two\n");
        QTest::newRow("invalid UTF-8") << QByteArray("key\xff\n");
    }
    void keySetRejectsBadInput()
    {
        QFETCH(QByteArray, input);
        QFile::remove(apiKeyFilePath());
        const Run run = cli({QStringLiteral("key"), QStringLiteral("set")}, input, true);
        QCOMPARE(run.exitCode, 1);
        QVERIFY(run.err.startsWith(QStringLiteral("kestrove-cli: ")));
        QVERIFY(!run.err.contains(QStringLiteral("key-one")));
        QVERIFY(!QFile::exists(apiKeyFilePath()));
    }

    void keySetWithoutKeychain_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("stored");
        QTest::newRow("line break trimmed")
            << QByteArray("k3y-without-keychain\n") << QStringLiteral("k3y-without-keychain");
        QTest::newRow("CRLF trimmed") << QByteArray("k3y-crlf\r\n") << QStringLiteral("k3y-crlf");
        QTest::newRow("no line break") << QByteArray("k3y-bare") << QStringLiteral("k3y-bare");
        QTest::newRow("inner spaces kept") << QByteArray(" k3y with spaces \n") << QStringLiteral(" k3y with spaces ");
        QTest::newRow("non-ASCII") << QByteArray("cl\xc3\xa9-\xe5\xaf\x86\n") << QStringLiteral("cl\u00e9-\u5bc6");
    }
    void keySetWithoutKeychain()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, stored);
        QFile::remove(apiKeyFilePath());
        const Run set = cli({QStringLiteral("key"), QStringLiteral("set")}, input, true);
        QCOMPARE(set.exitCode, 0);
        QCOMPARE(set.out, QStringLiteral("API key saved.\n"));
        QVERIFY(set.err.contains(QStringLiteral("warning")));
        QVERIFY(!set.out.contains(stored.trimmed()) && !set.err.contains(stored.trimmed()));

        QFile file(apiKeyFilePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(file.readAll()), stored);
        struct stat info {
        };
        QVERIFY(::stat(QFile::encodeName(apiKeyFilePath()).constData(), &info) == 0);
        QCOMPARE(info.st_mode & 0777, 0600u);

        const Run status = cli({QStringLiteral("key"), QStringLiteral("status")}, {}, true);
        QCOMPARE(status.exitCode, 0);
        QCOMPARE(status.out, QStringLiteral("API key: configured\n"));
        QVERIFY(!status.out.contains(stored.trimmed()) && !status.err.contains(stored.trimmed()));
    }

    void keySetIntoPrivateSecretService()
    {
        // A Secret Service of its own, so the shared test keyring's API-key item stays untouched:
        // set the key, remove the file copy, and the keychain alone must still answer.
        if (QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty()
            || QStandardPaths::findExecutable(QStringLiteral("dbus-run-session")).isEmpty())
            QSKIP("gnome-keyring-daemon and dbus-run-session are needed");
        const QString script
            = QStringLiteral("eval \"$(printf pw | gnome-keyring-daemon --unlock --components=secrets 2>/dev/null)\"\n"
                             "printf 'private-k3y-2024\\n' | \"$1\" key set || exit 10\n"
                             "rm -f \"$2\" || exit 11\n"
                             "\"$1\" key status || exit 12\n");
        QProcess process;
        process.setProcessEnvironment(TestSupport::environmentWithoutSessionBus());
        process.start(QStringLiteral("dbus-run-session"),
                      {QStringLiteral("--"), QStringLiteral("sh"), QStringLiteral("-c"), script, QStringLiteral("sh"),
                       TestSupport::executablePath(QStringLiteral("kestrove-cli")), apiKeyFilePath()});
        QVERIFY(process.waitForFinished(60000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString err = QString::fromUtf8(process.readAllStandardError());
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(out, QStringLiteral("API key saved.\nAPI key: configured\n"));
        QVERIFY2(!err.contains(QStringLiteral("warning")), qPrintable(err));
        QVERIFY(!out.contains(QStringLiteral("private-k3y")) && !err.contains(QStringLiteral("private-k3y")));
        // The keychain answered on its own: a value found there leaves the removed file alone.
        QVERIFY(!QFile::exists(apiKeyFilePath()));
    }
};

KESTROVE_TEST_MAIN(CarrierCliTest)
#include "carrierclitest.moc"
