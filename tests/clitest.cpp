#include "clirunner.h"
#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "model/preferences.h"
#include "model/trackingevent.h"
#include "testmain.h"

#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QTest>
#include <QTimeZone>

using namespace Qt::StringLiterals;

namespace
{
using TestSupport::CliRun;
using TestSupport::runCli;

QByteArray fileHash(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}
}

class CliTest : public QObject
{
    Q_OBJECT

private:
    const QDateTime m_base = QDateTime(QDate(2026, 5, 1), QTime(8, 0), Qt::UTC);

    void seed()
    {
        const auto store = TestSupport::openDefaultStore();
        QVERIFY(store);
        ModelContext &context = *store;
        const auto add = [&](const QString &number, const QString &carrier, int daysAfterBase) {
            auto *package = new Package(number, carrier, QStringLiteral("label of ") + number);
            package->setDateAdded(m_base.addDays(daysAfterBase));
            context.insert(package);
            return package;
        };
        Package *oldest = add(QStringLiteral("OLDEST1"), QStringLiteral("zz_post"), 0);
        Package *pinned = add(QStringLiteral("1Z999AA1"), QStringLiteral("ups"), 1);
        Package *newest = add(QStringLiteral("9400111"), QStringLiteral("usps"), 5);
        pinned->setPinned(true);
        pinned->setStatus(TrackingStatus::inTransit);
        pinned->setEstimatedDelivery(m_base.addDays(7));
        pinned->addToGroup(new PackageGroup(QStringLiteral("Gifts"), QStringLiteral("#FF2D55"), 0));
        pinned->appendEvent(std::make_unique<TrackingEvent>(m_base.addSecs(3600), TrackingStatus::inTransit,
                                                            QStringLiteral("Departed"),
                                                            QStringLiteral("Louisville, KY"), QStringLiteral("DP")));
        pinned->appendEvent(std::make_unique<TrackingEvent>(
            m_base, TrackingStatus::pending, QStringLiteral("Label created"), QString(), QStringLiteral("MP")));
        newest->setStatus(TrackingStatus::delivered);
        newest->setArchived(true);
        oldest->setLastErrorMessage(QStringLiteral("Not found"));
        QVERIFY(context.save());
    }

private Q_SLOTS:
    void init() { TestSupport::removeStoreAndPreferences(); }

    void emptyStore()
    {
        CliRun json = runCli({QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(json.exitCode, 0);
        QCOMPARE(json.out, QStringLiteral("[]\n"));
        QVERIFY(json.err.isEmpty());

        CliRun text = runCli({QStringLiteral("list")});
        QCOMPARE(text.exitCode, 0);
        QCOMPARE(text.out, QStringLiteral("No packages.\n"));

        CliRun show = runCli({QStringLiteral("show"), QStringLiteral("1Z0")});
        QCOMPARE(show.exitCode, 1);
        QVERIFY(show.out.isEmpty());
        QVERIFY2(show.err.contains(QLatin1String("No package with tracking number 1Z0")), qPrintable(show.err));
    }

    void listShowsTheMainWindowsDefaultView()
    {
        seed();
        // Like the main window: the "all" filter hides archived packages; pinned first.
        CliRun run = runCli({QStringLiteral("list"), QStringLiteral("--json")});
        QCOMPARE(run.exitCode, 0);
        const QJsonArray array = QJsonDocument::fromJson(run.out.toUtf8()).array();
        QStringList numbers;
        for (const QJsonValue &value : array)
            numbers.append(value[QLatin1String("trackingNumber")].toString());
        QCOMPARE(numbers, (QStringList {QStringLiteral("1Z999AA1"), QStringLiteral("OLDEST1")}));

        const QJsonObject pinned = array.at(0).toObject();
        QCOMPARE(pinned[QLatin1String("carrierCode")].toString(), QStringLiteral("ups"));
        QCOMPARE(pinned[QLatin1String("status")].toString(), QStringLiteral("inTransit"));
        QCOMPARE(pinned[QLatin1String("isPinned")].toBool(), true);
        QVERIFY(!pinned.contains(QLatin1String("events")));
        const QString added = pinned[QLatin1String("dateAdded")].toString();
        QVERIFY2(added.endsWith(QLatin1String("+00:00")), qPrintable(added)); // ISO 8601 with its offset
        QCOMPARE(QDateTime::fromString(added, Qt::ISODate), m_base.addDays(1));
        QCOMPARE(QDateTime::fromString(pinned[QLatin1String("estimatedDelivery")].toString(), Qt::ISODate),
                 m_base.addDays(7));
        QCOMPARE(array.at(1)[QLatin1String("lastErrorMessage")].toString(), QStringLiteral("Not found"));
        QCOMPARE(array.at(1)[QLatin1String("carrierName")].toString(), QStringLiteral("ZZ_POST"));

        CliRun archived = runCli(
            {QStringLiteral("list"), QStringLiteral("--filter"), QStringLiteral("archived"), QStringLiteral("--json")});
        const QJsonArray archivedArray = QJsonDocument::fromJson(archived.out.toUtf8()).array();
        QCOMPARE(archivedArray.size(), 1);
        QCOMPARE(archivedArray.at(0)[QLatin1String("trackingNumber")].toString(), QStringLiteral("9400111"));
        QVERIFY(archivedArray.at(0)[QLatin1String("estimatedDelivery")].isNull());

        CliRun text = runCli({QStringLiteral("list")});
        QCOMPARE(text.exitCode, 0);
        const QStringList lines = text.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith(QLatin1String("* 1Z999AA1")), qPrintable(lines.at(0)));
        QVERIFY(lines.at(0).contains(QLatin1String("In Transit")));
        QVERIFY(lines.at(1).startsWith(QLatin1String("  OLDEST1")));
    }

    void showPrintsEventsNewestFirst()
    {
        seed();
        // Typed the way people do: lower case with spaces and hyphens.
        CliRun run = runCli({QStringLiteral("show"), QStringLiteral("1z999-aa 1"), QStringLiteral("--json")});
        QCOMPARE(run.exitCode, 0);
        const QJsonObject package = QJsonDocument::fromJson(run.out.toUtf8()).object();
        QCOMPARE(package[QLatin1String("trackingNumber")].toString(), QStringLiteral("1Z999AA1"));
        QCOMPARE(package[QLatin1String("groups")].toArray(), QJsonArray {QStringLiteral("Gifts")});
        const QJsonArray events = package[QLatin1String("events")].toArray();
        QCOMPARE(events.size(), 2);
        QCOMPARE(events.at(0)[QLatin1String("eventDescription")].toString(), QStringLiteral("Departed"));
        QCOMPARE(events.at(0)[QLatin1String("status")].toString(), QStringLiteral("inTransit"));
        QCOMPARE(events.at(0)[QLatin1String("location")].toString(), QStringLiteral("Louisville, KY"));
        QCOMPARE(events.at(0)[QLatin1String("rawStatusCode")].toString(), QStringLiteral("DP"));
        QCOMPARE(QDateTime::fromString(events.at(0)[QLatin1String("timestamp")].toString(), Qt::ISODate),
                 m_base.addSecs(3600));
        QCOMPARE(events.at(1)[QLatin1String("eventDescription")].toString(), QStringLiteral("Label created"));

        CliRun text = runCli({QStringLiteral("show"), QStringLiteral("1Z999AA1")});
        QCOMPARE(text.exitCode, 0);
        QVERIFY(text.out.startsWith(QLatin1String("1Z999AA1\n")));
        QVERIFY(text.out.contains(QLatin1String("Carrier:            UPS (ups)\n")));
        QVERIFY(text.out.contains(QLatin1String("Groups:             Gifts\n")));
        QVERIFY(text.out.indexOf(QLatin1String("Departed")) < text.out.indexOf(QLatin1String("Label created")));

        CliRun missing = runCli({QStringLiteral("show"), QStringLiteral("NOPE")});
        QCOMPARE(missing.exitCode, 1);
        QVERIFY(missing.err.contains(QLatin1String("No package with tracking number NOPE")));
        CliRun usage = runCli({QStringLiteral("show")});
        QCOMPARE(usage.exitCode, 2);
    }

    void refusedStoreIsReportedAndUntouched()
    {
        QFile file(ModelContainer::defaultStorePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(8192, 'x'));
        file.close();
        const QByteArray before = fileHash(file.fileName());
        for (const QStringList &arguments :
             {QStringList {QStringLiteral("list")}, QStringList {QStringLiteral("show"), QStringLiteral("X1")}}) {
            CliRun run = runCli(arguments);
            QCOMPARE(run.exitCode, 1);
            QVERIFY2(run.err.contains(QLatin1String("Could not create ModelContainer: The store file ")),
                     qPrintable(run.err));
            QVERIFY(run.out.isEmpty());
        }
        QCOMPARE(fileHash(file.fileName()), before);
    }

    void configGetAndSet()
    {
        CliRun fallback = runCli({QStringLiteral("config"), QStringLiteral("get"), QStringLiteral("refreshInterval")});
        QCOMPARE(fallback.exitCode, 0);
        QCOMPARE(fallback.out, QStringLiteral("900\n"));

        QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("refreshInterval"),
                         QStringLiteral("600")})
                     .exitCode,
                 0);
        QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("set"), QStringLiteral("autoDeleteEnabled"),
                         QStringLiteral("true")})
                     .exitCode,
                 0);
        QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("get"), QStringLiteral("refreshInterval")}).out,
                 QStringLiteral("600\n"));
        // The application's preferences read what the other process wrote.
        Preferences preferences;
        QCOMPARE(preferences.refreshInterval(), 600.0);
        QVERIFY(preferences.autoDeleteEnabled());

        preferences.setQuietHoursStart(0);
        QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("get"), QStringLiteral("quietHoursStart")}).out,
                 QStringLiteral("0\n"));
        preferences.setValue(PreferenceKeys::notificationsEnabled, QStringLiteral("sometimes"));
        QCOMPARE(runCli({QStringLiteral("config"), QStringLiteral("get"), QStringLiteral("notificationsEnabled")}).out,
                 QStringLiteral("true\n"));
    }

    void configRefusesBadInput_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("text for a number")
            << QStringList {u"set"_s, u"refreshInterval"_s, u"abc"_s} << "expects a number";
        QTest::newRow("word for a flag") << QStringList {u"set"_s, u"autoDeleteEnabled"_s, u"yes"_s}
                                         << "expects true or false";
        QTest::newRow("unknown key to set")
            << QStringList {u"set"_s, u"refreshIntervall"_s, u"5"_s} << "unknown preference key";
        QTest::newRow("unknown key to get") << QStringList {u"get"_s, u"colour"_s} << "unknown preference key";
        QTest::newRow("unknown action") << QStringList {u"reset"_s, u"refreshInterval"_s} << "expected";
        QTest::newRow("set without a value") << QStringList {u"set"_s, u"refreshInterval"_s} << "expected";
    }
    void configRefusesBadInput()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        Preferences preferences;
        preferences.setRefreshInterval(1200);
        const QString path = preferences.filePath();
        const QByteArray before = fileHash(path);

        CliRun run = runCli(QStringList {QStringLiteral("config")} + arguments);
        QCOMPARE(run.exitCode, 2);
        QVERIFY2(run.err.contains(message), qPrintable(run.err));
        QVERIFY(run.out.isEmpty());
        QCOMPARE(fileHash(path), before); // nothing written
        QCOMPARE(preferences.refreshInterval(), 1200.0);
    }
};

KESTROVE_TEST_MAIN(CliTest)
#include "clitest.moc"
