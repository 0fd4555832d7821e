#include "carriers/carrierdetector.h"

#include "testmain.h"

#include <QObject>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
// "code confidence" per result, best first: compact enough for one table row per fact.
QStringList describe(const QList<CarrierDetectionResult> &results)
{
    QStringList lines;
    for (const CarrierDetectionResult &result : results)
        lines.append(result.carrierCode + QLatin1Char(' ') + QString::number(result.confidence));
    return lines;
}

QString digits(int count, const char *prefix = "")
{
    QString text = QString::fromLatin1(prefix);
    for (int i = 0; text.size() < count + qsizetype(qstrlen(prefix)); ++i)
        text.append(QChar(u'0' + (i * 7 + 3) % 10));
    return text;
}

QStringList list(std::initializer_list<const char *> items)
{
    QStringList result;
    for (const char *item : items)
        result.append(QString::fromLatin1(item));
    return result;
}
}

class CarrierDetectorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void detect_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QStringList>("expected");

        // Normalisation.
        QTest::newRow("empty") << "" << QStringList();
        QTest::newRow("blank") << " \t\n " << QStringList();
        QTest::newRow("lower-case UPS") << "1z999aa10123456784" << list({"ups 0.95"});
        QTest::newRow("white space and line breaks around") << "\n 1Z999AA10123456784\t\r\n" << list({"ups 0.95"});
        QTest::newRow("no-break spaces around")
            << QStringLiteral("\u00a01Z999AA10123456784\u3000") << list({"ups 0.95"});
        QTest::newRow("inner space") << "1Z999AA1 0123456784" << QStringList();
        QTest::newRow("inner dash") << "1Z999AA1-0123456784" << QStringList();

        // 1 Amazon Logistics.
        QTest::newRow("TBA and 12 digits") << digits(12, "TBA") << list({"amazon 0.95"});
        QTest::newRow("TBA and 40 digits") << digits(40, "TBA") << list({"amazon 0.95"});
        QTest::newRow("TBA and 11 digits") << digits(11, "TBA") << QStringList();
        QTest::newRow("lower-case tba") << digits(12, "tba") << list({"amazon 0.95"});

        // 2 UPS.
        QTest::newRow("1Z and 15") << "1Z999AA1012345678" << QStringList();
        QTest::newRow("1Z and 17") << "1Z999AA101234567845" << QStringList();

        // 3 USPS.
        QTest::newRow("9400 and 16 digits") << digits(16, "9400") << list({"usps 0.95", "fedex 0.6"});
        QTest::newRow("9400 and 18 digits") << digits(18, "9400") << list({"usps 0.95", "fedex 0.55"});
        QTest::newRow("9290 and 22 digits") << digits(22, "9290") << list({"usps 0.95"});
        QTest::newRow("9400 and 23 digits falls to the long 9 form") << digits(23, "9400") << list({"usps 0.65"});
        QTest::newRow("9400 and 15 digits") << digits(15, "9400") << QStringList();
        QTest::newRow("9 and 27 digits") << digits(27, "9") << list({"usps 0.65"});
        QTest::newRow("9 and 28 digits") << digits(28, "9") << QStringList();
        QTest::newRow("21 digits from 9") << digits(20, "9") << list({"usps 0.7"});
        QTest::newRow("UPU with US") << "RR123456789US" << list({"usps 0.9", "dhl 0.6", "unknown 0.4"});
        QTest::newRow("20 digits from 12") << digits(18, "12") << list({"usps 0.7", "fedex 0.6"});
        QTest::newRow("21 digits from 12") << digits(19, "12") << list({"usps 0.7"});
        QTest::newRow("22 digits from 12") << digits(20, "12") << list({"usps 0.7", "fedex 0.55"});
        QTest::newRow("23 digits from 12") << digits(21, "12") << QStringList();

        // 4 USPS (short forms).
        QTest::newRow("70 and 14 digits") << digits(14, "70") << list({"usps 0.9", "canada-post 0.55"});
        QTest::newRow("14 and 14 digits") << digits(14, "14") << list({"usps 0.9", "canada-post 0.55"});
        QTest::newRow("23 and 14 digits") << digits(14, "23") << list({"usps 0.9", "canada-post 0.55"});
        QTest::newRow("03 and 14 digits") << digits(14, "03") << list({"usps 0.9", "canada-post 0.55"});
        QTest::newRow("70 and 13 digits") << digits(13, "70") << list({"fedex 0.85"});
        QTest::newRow("other 16 digits") << digits(14, "12") << list({"canada-post 0.55"});
        QTest::newRow("M0 and 8 digits") << digits(8, "M0") << list({"usps 0.85", "dhl 0.6"});
        QTest::newRow("M0 and 7 digits") << digits(7, "M0") << QStringList();
        QTest::newRow("82 and 8 digits") << digits(8, "82") << list({"usps 0.85", "dhl 0.5"});
        QTest::newRow("82 and 9 digits") << digits(9, "82") << list({"dhl 0.55", "gls 0.45"});

        // 5 FedEx.
        QTest::newRow("12 digits") << digits(12) << list({"fedex 0.8"});
        QTest::newRow("13 digits") << digits(13) << QStringList();
        QTest::newRow("14 digits") << digits(14) << list({"fedex 0.7"});
        QTest::newRow("15 digits") << digits(15) << list({"fedex 0.85"});

        // 6 DHL Express.
        QTest::newRow("JD and 18 digits") << digits(18, "JD") << list({"dhl 0.95"});
        QTest::newRow("JD and 17 digits") << digits(17, "JD") << QStringList();
        QTest::newRow("JVGL and one digit") << "JVGL1" << list({"dhl 0.95"});
        QTest::newRow("JVGL alone") << "JVGL" << QStringList();
        QTest::newRow("G and 9") << "G12345678A" << list({"dhl 0.6"});
        QTest::newRow("G and 8") << "G12345678" << QStringList();
        QTest::newRow("X and 38") << digits(38, "X") << list({"dhl 0.6"});
        QTest::newRow("X and 39") << digits(39, "X") << QStringList();
        QTest::newRow("10 digits from 5") << digits(9, "5") << list({"dhl 0.75"});
        QTest::newRow("10 digits from 1") << digits(9, "1") << list({"dhl 0.5"});
        QTest::newRow("10 digits from 3") << digits(9, "3") << list({"dpd 0.7", "dhl 0.5"});
        QTest::newRow("11 digits") << digits(11) << list({"dhl 0.55", "gls 0.45"});
        QTest::newRow("9 digits") << digits(9) << QStringList();

        // 7 to 14, 18 to 21 and 24: the international postal shape by country.
        QTest::newRow("R and CN") << "RA123456789CN" << list({"china-post 0.9", "dhl 0.6", "unknown 0.4"});
        QTest::newRow("other CN") << "AB123456789CN" << list({"china-post 0.85", "unknown 0.4"});
        QTest::newRow("CH") << "AB123456789CH" << list({"china-post 0.8", "unknown 0.4"});
        QTest::newRow("EMS") << "EE123456789CN" << list({"china-ems 0.92", "china-post 0.9", "unknown 0.4"});
        QTest::newRow("GB") << "AB123456789GB" << list({"royal-mail 0.9", "unknown 0.4"});
        QTest::newRow("CA") << "AB123456789CA" << list({"canada-post 0.9", "unknown 0.4"});
        QTest::newRow("AU") << "AB123456789AU" << list({"australia-post 0.9", "unknown 0.4"});
        QTest::newRow("JP") << "AB123456789JP" << list({"japan-post 0.9", "unknown 0.4"});
        QTest::newRow("KR") << "AB123456789KR" << list({"korea-post 0.9", "unknown 0.4"});
        QTest::newRow("IN") << "AB123456789IN" << list({"india-post 0.9", "unknown 0.4"});
        QTest::newRow("DK") << "AB123456789DK" << list({"postnord 0.9", "unknown 0.4"});
        QTest::newRow("FI") << "AB123456789FI" << list({"postnord 0.9", "unknown 0.4"});
        QTest::newRow("DE") << "AB123456789DE" << list({"deutsche-post 0.9", "unknown 0.4"});
        QTest::newRow("FR") << "AB123456789FR" << list({"la-poste 0.9", "unknown 0.4"});
        QTest::newRow("ES") << "AB123456789ES" << list({"correos 0.9", "unknown 0.4"});
        QTest::newRow("country no rule names") << "AB123456789ZZ" << list({"unknown 0.4"});
        QTest::newRow("eight digits in the postal shape") << "AB12345678GB" << QStringList();
        QTest::newRow("ten digits in the postal shape") << "AB1234567890GB" << QStringList();

        // 15 YunExpress, 16 Yanwen, 17 4PX.
        QTest::newRow("YE and letters") << "YE12AB" << list({"yunexpress 0.85"});
        QTest::newRow("YE alone") << "YE" << QStringList();
        QTest::newRow("YWPT digits CN") << "YWPT123CN" << list({"yanwen 0.9"});
        QTest::newRow("YWPT without digits") << "YWPTCN" << QStringList();
        QTest::newRow("YT and letters") << "YT1A" << list({"yanwen 0.8"});
        QTest::newRow("LX and CN") << "LX123456789CN"
                                   << list({"4px 0.85", "china-post 0.85", "dhl 0.6", "unknown 0.4"});
        QTest::newRow("LX and HK") << "LX123456789HK" << list({"4px 0.85", "dhl 0.6", "unknown 0.4"});
        QTest::newRow("RX and CN") << "RX123456789CN" << list({"china-post 0.9", "4px 0.85", "dhl 0.6", "unknown 0.4"});
        QTest::newRow("LX and TW") << "LX123456789TW" << list({"dhl 0.6", "unknown 0.4"});

        // 22 GLS, 23 DPD.
        QTest::newRow("GL digits and country") << "GL123456789AB" << list({"gls 0.8", "dhl 0.6", "unknown 0.4"});
        QTest::newRow("8 digits") << digits(8) << list({"gls 0.4"});
        QTest::newRow("7 digits") << digits(7) << QStringList();
        QTest::newRow("J and 9") << "J12345678A" << list({"dpd 0.7"});
        QTest::newRow("J and 8") << "J12345678" << QStringList();
        QTest::newRow("J and 10") << "J12345678AB" << QStringList();

        // Only ASCII letters and digits count.
        QTest::newRow("Arabic-Indic digits") << QStringLiteral("\u0661\u0662\u0663\u0664\u0665\u0666\u0667\u0668\u0669"
                                                               "\u0660\u0661\u0662")
                                             << QStringList();
        QTest::newRow("full-width digits") << QStringLiteral("\uff11\uff12\uff13\uff14\uff15\uff16\uff17\uff18\uff19"
                                                             "\uff10\uff11\uff12")
                                           << QStringList();
        QTest::newRow("one Devanagari digit among ASCII") << QStringLiteral("12345678901\u0968") << QStringList();
        QTest::newRow("sharp s that upper-cases to SS") << QStringLiteral("1z999aa101234567\u00df") << QStringList();
        QTest::newRow("dotless i that upper-cases to I") << QStringLiteral("AB123456789\u0131N") << QStringList();
        QTest::newRow("full-width letters") << QStringLiteral("\uff21\uff22123456789GB") << QStringList();

        // No length cap: the open-ended rules accept very long numbers.
        QTest::newRow("10000 letters") << QString(10000, u'A') << QStringList();
        QTest::newRow("10000 digits") << digits(10000) << QStringList();
        QTest::newRow("JVGL and 9996 digits") << digits(9996, "JVGL") << list({"dhl 0.95"});
    }
    void detect()
    {
        QFETCH(QString, number);
        QFETCH(QStringList, expected);
        QCOMPARE(describe(CarrierDetector::detect(number)), expected);
    }

    void resultsNameTheRule()
    {
        const QList<CarrierDetectionResult> expected {
            {QStringLiteral("4px"), QStringLiteral("4PX"), 0.85},
            {QStringLiteral("china-post"), QStringLiteral("China Post"), 0.85},
            {QStringLiteral("dhl"), QStringLiteral("DHL Express"), 0.6},
            {QStringLiteral("unknown"), QStringLiteral("International Postal"), 0.4},
        };
        QCOMPARE(CarrierDetector::detect(QStringLiteral("lx123456789cn")), expected);

        const QList<CarrierDetectionResult> ups {{QStringLiteral("ups"), QStringLiteral("UPS"), 0.95}};
        QCOMPARE(CarrierDetector::detect(QStringLiteral("1Z999AA10123456784")), ups);
    }

    void everyRuleNamesItsCarrier_data()
    {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("name");
        QTest::newRow("amazon") << "TBA123456789012"
                                << "Amazon Logistics";
        QTest::newRow("usps") << "RR123456789US"
                              << "USPS";
        QTest::newRow("fedex") << "123456789012"
                               << "FedEx";
        QTest::newRow("dhl") << "JVGL1"
                             << "DHL Express";
        QTest::newRow("china-ems") << "EE123456789CN"
                                   << "China EMS";
        QTest::newRow("royal-mail") << "AB123456789GB"
                                    << "Royal Mail";
        QTest::newRow("canada-post") << "AB123456789CA"
                                     << "Canada Post";
        QTest::newRow("australia-post") << "AB123456789AU"
                                        << "Australia Post";
        QTest::newRow("japan-post") << "AB123456789JP"
                                    << "Japan Post";
        QTest::newRow("korea-post") << "AB123456789KR"
                                    << "Korea Post";
        QTest::newRow("india-post") << "AB123456789IN"
                                    << "India Post";
        QTest::newRow("yunexpress") << "YE1"
                                    << "YunExpress";
        QTest::newRow("yanwen") << "YT1"
                                << "Yanwen";
        QTest::newRow("postnord") << "AB123456789SE"
                                  << "PostNord";
        QTest::newRow("deutsche-post") << "AB123456789DE"
                                       << "Deutsche Post";
        QTest::newRow("la-poste") << "AB123456789FR"
                                  << "La Poste";
        QTest::newRow("correos") << "AB123456789ES"
                                 << "Correos";
        QTest::newRow("gls") << "12345678"
                             << "GLS";
        QTest::newRow("dpd") << "J12345678A"
                             << "DPD";
    }
    void everyRuleNamesItsCarrier()
    {
        QFETCH(QString, number);
        QFETCH(QString, name);
        const QList<CarrierDetectionResult> results = CarrierDetector::detect(number);
        QVERIFY(!results.isEmpty());
        QCOMPARE(results.constFirst().carrierName, name);
        QCOMPARE(results.constFirst().carrierCode, QString::fromLatin1(QTest::currentDataTag()));
    }

    void sameAnswerFromManyThreads()
    {
        const QStringList numbers {QStringLiteral("LX123456789CN"),
                                   QStringLiteral("1z999aa10123456784"),
                                   digits(16, "9400"),
                                   digits(9, "3"),
                                   QStringLiteral("AB123456789ZZ"),
                                   QStringLiteral("nothing"),
                                   digits(11)};
        QList<QStringList> expected;
        for (const QString &number : numbers)
            expected.append(describe(CarrierDetector::detect(number)));

        std::atomic<int> mismatches {0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int round = 0; round < 500; ++round) {
                    for (qsizetype i = 0; i < numbers.size(); ++i) {
                        if (describe(CarrierDetector::detect(numbers.at(i))) != expected.at(i))
                            ++mismatches;
                    }
                }
            });
        }
        for (std::thread &thread : threads)
            thread.join();
        QCOMPARE(mismatches.load(), 0);
    }
};

KESTROVE_TEST_MAIN(CarrierDetectorTest)
#include "carrierdetectortest.moc"
