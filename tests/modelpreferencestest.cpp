#include "model/preferences.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

namespace
{
/** Writes the preferences file as another process (or a hand edit) would: raw INI text. */
void writeRaw(const QString &path, const QByteArray &general)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("[General]\n" + general);
}
}

class ModelPreferencesTest : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_path = m_dir->filePath(QStringLiteral("Kestrove.conf"));
    }

    void storedValuesAndFallbacks_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("zero interval counts as unset")
            << QByteArray("refreshInterval=0") << "refreshInterval" << QVariant(900.0);
        QTest::newRow("text under a number key")
            << QByteArray("refreshInterval=abc") << "refreshInterval" << QVariant(900.0);
        QTest::newRow("zero retention delay counts as 12 hours")
            << QByteArray("autoDeleteDelay=0") << "autoDeleteDelay" << QVariant(43200.0);
        QTest::newRow("quiet hours may start at midnight")
            << QByteArray("quietHoursStart=0") << "quietHoursStart" << QVariant(0.0);
        QTest::newRow("text under a flag key")
            << QByteArray("notificationsEnabled=sometimes") << "notificationsEnabled" << QVariant(true);
        QTest::newRow("flag written as false")
            << QByteArray("notificationsEnabled=false") << "notificationsEnabled" << QVariant(false);
        QTest::newRow("empty flag") << QByteArray("autoArchiveDelivered=") << "autoArchiveDelivered" << QVariant(false);
        QTest::newRow("infinite number") << QByteArray("quietHoursEnd=inf") << "quietHoursEnd" << QVariant(25200.0);
        QTest::newRow("provider text") << QByteArray("selectedProvider=aftership") << "selectedProvider"
                                       << QVariant(QStringLiteral("aftership"));
        QTest::newRow("provider list is no text")
            << QByteArray("selectedProvider=a, b") << "selectedProvider" << QVariant(QStringLiteral("17track"));
        QTest::newRow("unknown provider")
            << QByteArray("selectedProvider=bogus") << "selectedProvider" << QVariant(QStringLiteral("17track"));
        QTest::newRow("a hand-edited interval under a minute reads as a minute")
            << QByteArray("refreshInterval=0.001") << "refreshInterval" << QVariant(60.0);
        QTest::newRow("an interval beyond a week reads as a week")
            << QByteArray("refreshInterval=1e300") << "refreshInterval" << QVariant(604800.0);
        QTest::newRow("a negative time of day reads as midnight")
            << QByteArray("quietHoursStart=-5") << "quietHoursStart" << QVariant(0.0);
    }
    void storedValuesAndFallbacks()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, key);
        QFETCH(QVariant, expected);
        writeRaw(m_path, line + '\n');
        Preferences preferences(m_path);
        QCOMPARE(preferences.value(key), expected);
        QCOMPARE(Preferences(m_dir->filePath(QStringLiteral("never-written.conf"))).value(key),
                 Preferences::key(key)->readerFallback);
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("never-written.conf")))); // reading writes nothing
    }

    void appStorageBackedFallsBackOnOtherTypes_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("flag");
        QTest::addColumn<double>("number");
        QTest::newRow("absent") << QByteArray() << true << 79200.0;
        QTest::newRow("text under both") << QByteArray("notificationsEnabled=yes please\nquietHoursStart=ten") << true
                                         << 79200.0;
        QTest::newRow("proper values") << QByteArray("notificationsEnabled=false\nquietHoursStart=3600") << false
                                       << 3600.0;
    }
    void appStorageBackedFallsBackOnOtherTypes()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, flag);
        QFETCH(double, number);
        writeRaw(m_path, line + '\n');
        Preferences preferences(m_path);
        AppStorageBacked<bool> enabled(PreferenceKeys::notificationsEnabled, true, &preferences);
        AppStorageBacked<double> start(PreferenceKeys::quietHoursStart, 79200, &preferences);
        QCOMPARE(enabled.value(), flag);
        QCOMPARE(start.value(), number);
    }

    void writesRoundTripAndSignal()
    {
        Preferences preferences(m_path);
        QStringList changed;
        connect(&preferences, &Preferences::valueChanged, this, [&](const QString &key) { changed.append(key); });
        preferences.setRefreshInterval(300);
        preferences.setAutoDeleteEnabled(true);
        preferences.setSelectedProvider(QStringLiteral("17track"));
        preferences.setRefreshInterval(300); // same value: no signal
        QCOMPARE(changed,
                 (QStringList {PreferenceKeys::refreshInterval, PreferenceKeys::autoDeleteEnabled,
                               PreferenceKeys::selectedProvider}));

        Preferences reader(m_path);
        QCOMPARE(reader.refreshInterval(), 300.0);
        QVERIFY(reader.autoDeleteEnabled());
        QCOMPARE(reader.storedValue(PreferenceKeys::autoDeleteEnabled).toString(), QStringLiteral("true"));
        reader.remove(PreferenceKeys::refreshInterval);
        QCOMPARE(preferences.refreshInterval(), 900.0);
    }

    void changesByAnotherProcessAreSeenAtTheNextRead()
    {
        Preferences preferences(m_path);
        QVERIFY(!preferences.autoDeleteEnabled());
        // Written behind QSettings' back, as kestrove-cli would; QSettings notices by time stamp and size,
        // and some file systems keep whole seconds only.
        QTest::qWait(1100);
        writeRaw(m_path, "autoDeleteEnabled=true\nautoDeleteDelay=60\n");
        QVERIFY(preferences.autoDeleteEnabled());
        QCOMPARE(preferences.autoDeleteDelay(), 60.0);
    }

    void commandLineParsing_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVariant>("parsed"); // invalid: refused
        QTest::newRow("flag true") << "autoDeleteEnabled"
                                   << "true" << QVariant(true);
        QTest::newRow("flag refuses yes") << "autoDeleteEnabled"
                                          << "yes" << QVariant();
        QTest::newRow("number") << "refreshInterval"
                                << "600" << QVariant(600.0);
        QTest::newRow("number refuses abc") << "refreshInterval"
                                            << "abc" << QVariant();
        QTest::newRow("number refuses nan") << "refreshInterval"
                                            << "nan" << QVariant();
        QTest::newRow("number refuses a value under its range") << "refreshInterval"
                                                                << "0.001" << QVariant();
        QTest::newRow("number refuses a value over its range") << "quietHoursEnd"
                                                               << "86400" << QVariant();
        QTest::newRow("text from its choices") << "selectedProvider"
                                               << "ship24" << QVariant(QStringLiteral("ship24"));
        QTest::newRow("text refuses other choices") << "selectedProvider"
                                                    << "bogusprovider" << QVariant();
    }
    void commandLineParsing()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        QFETCH(QVariant, parsed);
        auto result = Preferences::parse(*Preferences::key(key), text);
        QCOMPARE(result.ok(), parsed.isValid());
        if (parsed.isValid())
            QCOMPARE(result.value(), parsed);
        else
            QVERIFY(result.error().contains(text));
    }
};

KESTROVE_TEST_MAIN(ModelPreferencesTest)
#include "modelpreferencestest.moc"
