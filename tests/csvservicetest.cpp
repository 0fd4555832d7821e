#include "services/csvservice.h"

#include "model/modelcontainer.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "model/packagegroup.h"
#include "testmain.h"
#include "virtualclock.h"

#include <QBuffer>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

namespace
{
QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), QTimeZone::utc());
}
}

class CsvServiceTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    VirtualClock m_clock {utc(2026, 6, 15, 12)};
    int m_storeCount = 0;

    std::unique_ptr<ModelContext> openStore(const QString &path = {})
    {
        auto opened = ModelContainer::open(
            path.isEmpty() ? m_dir.filePath(QStringLiteral("store%1.sqlite").arg(++m_storeCount)) : path);
        if (!opened)
            qFatal("cannot open the test store: %s", qPrintable(opened.error()));
        return std::move(opened).value();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        Clock::setShared(&m_clock);
    }

    void cleanupTestCase() { Clock::setShared(nullptr); }

    void parseLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("fields");
        const auto row = [](const char *name, const QString &line, const QStringList &fields) {
            QTest::newRow(name) << line << fields;
        };
        row("an empty line is one empty field", QString(), {QString()});
        row("a trailing comma gives a trailing empty field", QStringLiteral("a,"), {QStringLiteral("a"), QString()});
        row("a quoted comma belongs to the field", QStringLiteral("\"a,b\",c"),
            {QStringLiteral("a,b"), QStringLiteral("c")});
        row("doubled quotes inside quotes give one quote", QStringLiteral("\"a\"\"b\""), {QStringLiteral("a\"b")});
        row("a quote in the middle of a field opens quoting", QStringLiteral("ab\"c,d\"e,f"),
            {QStringLiteral("abc,de"), QStringLiteral("f")});
        row("an unterminated quote runs to the end of the line", QStringLiteral("a,\"b,c"),
            {QStringLiteral("a"), QStringLiteral("b,c")});
        row("spaces are kept", QStringLiteral(" a , b "), {QStringLiteral(" a "), QStringLiteral(" b ")});
        row("four quotes give one quote", QStringLiteral("\"\"\"\""), {QStringLiteral("\"")});
    }

    void parseLine()
    {
        QFETCH(QString, line);
        QFETCH(QStringList, fields);
        QCOMPARE(CSVService::parseCSVLine(line), fields);
    }

    void escapeField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("escaped");
        QTest::newRow("surrounding spaces are not trimmed") << QStringLiteral(" x ") << QStringLiteral(" x ");
        QTest::newRow("a comma is quoted") << QStringLiteral("a,b") << QStringLiteral("\"a,b\"");
        QTest::newRow("quotes are doubled") << QStringLiteral("say \"hi\"") << QStringLiteral("\"say \"\"hi\"\"\"");
        QTest::newRow("a line feed is quoted") << QStringLiteral("a\nb") << QStringLiteral("\"a\nb\"");
        QTest::newRow("a lone carriage return is not quoted") << QStringLiteral("a\rb") << QStringLiteral("a\rb");
        QTest::newRow("empty stays empty") << QString() << QString();
    }

    void escapeField()
    {
        QFETCH(QString, field);
        QFETCH(QString, escaped);
        QCOMPARE(CSVService::escapeField(field), escaped);
        // Whatever is escaped reads back as the same single field, unless it spans lines.
        if (!field.contains(u'\n'))
            QCOMPARE(CSVService::parseCSVLine(escaped), QStringList {field});
    }

    void isoDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        QTest::newRow("UTC with Z") << QStringLiteral("2026-03-05T14:07:00Z") << utc(2026, 3, 5, 14, 7);
        QTest::newRow("offset without colon") << QStringLiteral("2026-03-05T09:07:00-0500") << utc(2026, 3, 5, 14, 7);
        QTest::newRow("date only is rejected") << QStringLiteral("2026-03-05") << QDateTime();
        QTest::newRow("missing zone is rejected") << QStringLiteral("2026-03-05T14:07:00") << QDateTime();
        QTest::newRow("fractional seconds are rejected") << QStringLiteral("2026-03-05T14:07:00.5Z") << QDateTime();
        QTest::newRow("a display date is rejected") << QStringLiteral("March 5, 2026") << QDateTime();
    }

    void isoDates()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const std::optional<QDateTime> parsed = CSVService::parseISODate(text);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed) {
            QCOMPARE(*parsed, expected);
            QCOMPARE(CSVService::formatISODate(*parsed), CSVService::formatISODate(expected));
        }
    }

    void formatDropsMilliseconds()
    {
        const QDateTime withMs = utc(2026, 3, 5, 14, 7).addMSecs(987);
        QCOMPARE(CSVService::formatISODate(withMs), QStringLiteral("2026-03-05T14:07:00Z"));
        const QDateTime local(QDate(2026, 3, 5), QTime(15, 7), QTimeZone(3600));
        QCOMPARE(CSVService::formatISODate(local), QStringLiteral("2026-03-05T14:07:00Z"));
    }

    void importFailures_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("description");
        const QString empty = QStringLiteral("The CSV file is empty or contains only headers.");
        const QString missing = QStringLiteral("Required column 'trackingNumber' not found in CSV headers.");
        QTest::newRow("an empty text is empty") << QString() << empty;
        QTest::newRow("only a header is empty") << QStringLiteral("trackingNumber,carrier") << empty;
        QTest::newRow("non-breaking spaces count as blank")
            << QStringLiteral("trackingNumber\n\u00a0\u3000\n") << empty;
        QTest::newRow("no tracking-number column")
            << QStringLiteral("number,carrier\n1Z999AA10123456784,ups") << missing;
        QTest::newRow("a header name with a leading space does not match")
            << QStringLiteral("carrier, trackingNumber\nups,1Z999AA10123456784") << missing;
    }

    void importFailures()
    {
        QFETCH(QString, text);
        QFETCH(QString, description);
        auto context = openStore();
        const auto result = CSVService::importCSV(text, {}, context.get());
        QVERIFY(!result);
        QCOMPARE(result.error().errorDescription(), description);
        QVERIFY(!context->hasChanges());
        QCOMPARE(context->fetchPackages().value().size(), 0);
    }

    void importRows_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QStringList>("numbers");
        QTest::addColumn<int>("skipped");

        QTest::newRow("numbers are upper-cased without spaces and hyphens")
            << QStringLiteral("TrackingNumber\n1z 999-aa1") << QStringList() << QStringList {QStringLiteral("1Z999AA1")}
            << 0;
        QTest::newRow("a stored number is skipped")
            << QStringLiteral("trackingNumber\nNEW0000001\nold-0000001") << QStringList {QStringLiteral("OLD0000001")}
            << QStringList {QStringLiteral("NEW0000001")} << 1;
        QTest::newRow("stored numbers compare exactly")
            << QStringLiteral("trackingNumber\nabc12345") << QStringList {QStringLiteral("abc12345")}
            << QStringList {QStringLiteral("ABC12345")} << 0;
        QTest::newRow("an empty number is skipped")
            << QStringLiteral("label,trackingNumber\nno number,\nshort row\nok, - \nfine,N1") << QStringList()
            << QStringList {QStringLiteral("N1")} << 3;
        QTest::newRow("a number repeated in the file gives two packages")
            << QStringLiteral("trackingNumber\nDUP12345\nDUP12345") << QStringList()
            << QStringList {QStringLiteral("DUP12345"), QStringLiteral("DUP12345")} << 0;
        QTest::newRow("lone CR and Unicode line separators split lines")
            << QStringLiteral("trackingNumber\rA1\u2028B2\u2029C3\u0085D4\fE5\vF6") << QStringList()
            << QStringList {QStringLiteral("A1"), QStringLiteral("B2"), QStringLiteral("C3"),
                            QStringLiteral("D4"), QStringLiteral("E5"), QStringLiteral("F6")}
            << 0;
        QTest::newRow("the first of two equal header names wins")
            << QStringLiteral("trackingNumber,TRACKINGNUMBER\nFIRST1,SECOND2") << QStringList()
            << QStringList {QStringLiteral("FIRST1")} << 0;
        QTest::newRow("a quoted number with a comma keeps the comma")
            << QStringLiteral("trackingNumber\n\"a,b\"") << QStringList() << QStringList {QStringLiteral("A,B")} << 0;
    }

    void importRows()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, existing);
        QFETCH(QStringList, numbers);
        QFETCH(int, skipped);
        auto context = openStore();
        const auto result = CSVService::importCSV(text, QSet<QString>(existing.begin(), existing.end()), context.get());
        QVERIFY2(result, result ? "" : qPrintable(result.error().errorDescription()));
        QStringList imported;
        for (const Package *package : result.value().imported)
            imported.append(package->trackingNumber());
        QCOMPARE(imported, numbers);
        QCOMPARE(result.value().skippedCount, skipped);
        QCOMPARE(context->fetchPackages().value().size(), numbers.size());
        // Saved once: nothing is left pending.
        QVERIFY(!context->hasChanges());
    }

    void importValues()
    {
        auto context = openStore();
        const QString text
            = QStringLiteral("trackingNumber,carrier,label,status,dateAdded,estimatedDelivery,notes,groups,colorTag\n"
                             "A0000001,ups,Shoes,delivered,2020-01-01T00:00:00Z,2026-03-05T14:07:00Z,\"left, at "
                             "\"\"door\"\"\",Home,#FF9500\n"
                             "A0000002,,,Delivered,,2026-03-05,,,not-a-colour\n"
                             "A0000003,fedex\n"
                             "A0000004,dhl,Lamp,inTransit,,garbage,,,");
        const auto result = CSVService::importCSV(text, {}, context.get());
        QVERIFY(result);
        const QList<Package *> &p = result.value().imported;
        QCOMPARE(p.size(), 4);

        QCOMPARE(p[0]->carrierCode(), QStringLiteral("ups"));
        QCOMPARE(p[0]->status(), TrackingStatus::delivered);
        QCOMPARE(p[0]->estimatedDelivery(), std::optional<QDateTime>(utc(2026, 3, 5, 14, 7)));
        QCOMPARE(p[0]->notes(), QStringLiteral("left, at \"door\""));
        QCOMPARE(p[0]->colorTag(), std::optional<QString>(QStringLiteral("#FF9500")));
        // The date added is the import time and groups are not read.
        QCOMPARE(p[0]->dateAdded(), m_clock.now());
        QVERIFY(p[0]->groups().isEmpty());

        // A display name is not a raw status; a date without time does not parse; the colour is taken as is.
        QCOMPARE(p[1]->status(), TrackingStatus::pending);
        QCOMPARE(p[1]->estimatedDelivery(), std::nullopt);
        QCOMPARE(p[1]->colorTag(), std::optional<QString>(QStringLiteral("not-a-colour")));
        QCOMPARE(p[1]->carrierCode(), QString());

        // A short row reads the missing columns as empty or absent.
        QCOMPARE(p[2]->carrierCode(), QStringLiteral("fedex"));
        QCOMPARE(p[2]->status(), TrackingStatus::pending);
        QCOMPARE(p[2]->colorTag(), std::nullopt);

        QCOMPARE(p[3]->status(), TrackingStatus::inTransit);
        QCOMPARE(p[3]->estimatedDelivery(), std::nullopt);
    }

    void exportLayout()
    {
        QCOMPARE(CSVService::exportPackages({}), CSVService::exportHeader);

        auto context = openStore();
        auto *home = new PackageGroup(QStringLiteral("Home"), QStringLiteral("#007AFF"), 0);
        auto *gifts = new PackageGroup(QStringLiteral("Gifts, 2026"), QStringLiteral("#FF2D55"), 1);
        context->insert(home);
        context->insert(gifts);
        auto *a = new Package(QStringLiteral("1Z999AA10123456784"), QStringLiteral("ups"), QStringLiteral("Shoe \"X\""),
                              TrackingStatus::outForDelivery, utc(2026, 3, 5, 14, 7), QStringLiteral("line1\nline2"));
        context->insert(a);
        a->addToGroup(gifts);
        a->addToGroup(home);
        a->setColorTag(QStringLiteral("#34C759"));
        auto *b = new Package(QStringLiteral("B1"), QString());
        context->insert(b);

        const QString csv = CSVService::exportPackages({a, b});
        QCOMPARE(csv,
                 CSVService::exportHeader
                     + QStringLiteral("\n1Z999AA10123456784,ups,\"Shoe \"\"X\"\"\",outForDelivery,2026-06-15T12:00:00Z,"
                                      "2026-03-05T14:07:00Z,\"line1\nline2\",\"Gifts, 2026;Home\",#34C759"
                                      "\nB1,,,pending,2026-06-15T12:00:00Z,,,,"));
        QVERIFY(!csv.endsWith(u'\n'));
    }

    void roundTrip()
    {
        auto source = openStore();
        auto *group = new PackageGroup(QStringLiteral("Work"), QStringLiteral("#5856D6"), 0);
        source->insert(group);
        QList<Package *> packages;
        for (int i = 0; i < int(TrackingStatuses::allCases().size()); ++i) {
            const TrackingStatus status = TrackingStatuses::allCases()[i];
            auto *p = new Package(QStringLiteral("RT%1000000").arg(i),
                                  i % 2 ? QStringLiteral("dhl") : QStringLiteral("weird code"),
                                  i % 3 ? QStringLiteral("Label, %1 \"q\"").arg(i) : QString(), status,
                                  i % 2 ? std::optional<QDateTime>(utc(2026, 7, i + 1, 9, 30)) : std::nullopt,
                                  QStringLiteral("note %1; with, commas").arg(i));
            if (i % 2 == 0)
                p->setColorTag(PackageGroup::colorPalette().at(i).hex);
            source->insert(p);
            p->addToGroup(group);
            packages.append(p);
        }
        const QString csv = CSVService::exportPackages(packages);

        m_clock.advance(std::chrono::hours(5));
        auto target = openStore();
        const auto result = CSVService::importCSV(csv, {}, target.get());
        QVERIFY(result);
        QCOMPARE(result.value().skippedCount, 0);
        const QList<Package *> &imported = result.value().imported;
        QCOMPARE(imported.size(), packages.size());
        for (int i = 0; i < packages.size(); ++i) {
            const Package *was = packages[i];
            const Package *now = imported[i];
            QCOMPARE(now->trackingNumber(), was->trackingNumber());
            QCOMPARE(now->carrierCode(), was->carrierCode());
            QCOMPARE(now->label(), was->label());
            QCOMPARE(now->status(), was->status());
            QCOMPARE(now->estimatedDelivery(), was->estimatedDelivery());
            QCOMPARE(now->notes(), was->notes());
            QCOMPARE(now->colorTag(), was->colorTag());
            QCOMPARE(now->dateAdded(), m_clock.now());
            QVERIFY(now->groups().isEmpty());
        }
    }

    void noteWithLineBreakSplitsOnImport()
    {
        auto source = openStore();
        auto *p = new Package(QStringLiteral("NL000001"), QStringLiteral("ups"), QString(), TrackingStatus::pending,
                              std::nullopt, QStringLiteral("ring twice\nthen wait"));
        source->insert(p);
        p->setColorTag(QStringLiteral("#FF3B30"));
        const QString csv = CSVService::exportPackages({p});
        QCOMPARE(csv.count(u'\n'), 2);

        auto target = openStore();
        const auto result = CSVService::importCSV(csv, {}, target.get());
        QVERIFY(result);
        // The record is cut in two: its first half keeps the number with the note's first line,
        // the second half becomes a row of its own whose "number" is what follows the break.
        QCOMPARE(result.value().imported.size(), 2);
        QCOMPARE(result.value().imported[0]->trackingNumber(), QStringLiteral("NL000001"));
        QCOMPARE(result.value().imported[0]->notes(), QStringLiteral("ring twice"));
        QCOMPARE(result.value().imported[0]->colorTag(), std::nullopt);
        QCOMPARE(result.value().imported[1]->trackingNumber(), QStringLiteral("THENWAIT,,#FF3B30"));
    }

    void decodeFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QString>("text");
        QTest::newRow("UTF-8 text") << QByteArray("trackingNumber\n\xc3\xa9t\xc3\xa9") << true
                                    << QStringLiteral("trackingNumber\n\u00e9t\u00e9");
        QTest::newRow("a byte-order mark is dropped")
            << QByteArray("\xef\xbb\xbftrackingNumber") << true << QStringLiteral("trackingNumber");
        QTest::newRow("a PNG header is not text")
            << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16) << false << QString();
        QTest::newRow("Latin-1 bytes are not UTF-8") << QByteArray("trackingNumber\n\xe9t\xe9") << false << QString();
        QTest::newRow("a sequence cut off at the end is not UTF-8")
            << QByteArray("trackingNumber\nA\xc3") << false << QString();
        // The line reader reads 256 KiB at a time; this character straddles the first boundary.
        const QByteArray long1(256 * 1024 - 16, 'a');
        QTest::newRow("a character across the reader's read boundary")
            << QByteArray("trackingNumber\n" + long1 + "\xc3\xa9") << true
            << QStringLiteral("trackingNumber\n") + QString::fromLatin1(long1) + u'\u00e9';
    }

    void decodeFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, readable);
        QFETCH(QString, text);
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        CSVService::CSVLineReader reader(buffer);
        QStringList lines;
        auto line = reader.next();
        for (; line && line.value(); line = reader.next())
            lines.append(*line.value());
        QCOMPARE(line.ok(), readable);
        if (readable)
            QCOMPARE(lines.join(u'\n'), text);
    }

    void binaryTextNeverCrashes()
    {
        // Arbitrary characters, NULs and stray quotes included: the import either refuses the
        // text with one of its two errors or imports something, never anything else.
        auto context = openStore();
        QString text = QStringLiteral("trackingNumber,status\n");
        for (int i = 0; i < 4000; ++i)
            text.append(QChar(char16_t((i * 7919) % 0xD7FF)));
        const auto result = CSVService::importCSV(text, {}, context.get());
        if (result) {
            for (const Package *p : result.value().imported) {
                QVERIFY(!p->trackingNumber().isEmpty());
                QVERIFY(!p->trackingNumber().contains(u' '));
                QVERIFY(!p->trackingNumber().contains(u'-'));
            }
        }
    }
};

KESTROVE_TEST_MAIN(CsvServiceTest)
#include "csvservicetest.moc"
