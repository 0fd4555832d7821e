#include "carriers/carrierdetector.h"

#include "goldenfile.h"
#include "testmain.h"

#include <QFile>
#include <QObject>
#include <QRegularExpression>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace
{
// "code confidence" per result, best first.
QStringList describe(const QList<CarrierDetectionResult> &results)
{
    QStringList lines;
    for (const CarrierDetectionResult &result : results)
        lines.append(result.carrierCode + u' ' + QString::number(result.confidence));
    return lines;
}

QString digits(int count)
{
    QString text;
    for (int i = 0; text.size() < count; ++i)
        text.append(QChar(u'0' + (i * 7 + 3) % 10));
    return text;
}

/** A number as the fixture writes it: "{N}" for N generated digits, escapes for what does not show. */
QString expand(QString written)
{
    static const QRegularExpression generated(u"\\{(\\d+)\\}"_s);
    static const QRegularExpression escaped(u"\\\\u([0-9a-fA-F]{4})"_s);
    for (auto match = generated.match(written); match.hasMatch(); match = generated.match(written))
        written.replace(match.capturedStart(), match.capturedLength(), digits(match.captured(1).toInt()));
    for (auto match = escaped.match(written); match.hasMatch(); match = escaped.match(written))
        written.replace(match.capturedStart(), match.capturedLength(), QChar(match.captured(1).toUShort(nullptr, 16)));
    return written.replace(u"\\n"_s, u"\n"_s).replace(u"\\t"_s, u"\t"_s).replace(u"\\r"_s, u"\r"_s);
}
}

class CarrierDetectorTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    /** Every rule's boundaries, normalisation and non-ASCII input, one number per fixture line. */
    void detectionMatchesTheExpectedFile()
    {
        QFile file(QStringLiteral(KESTROVE_TEST_DATA_DIR "/carriers/detection.txt"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QString report;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            if (line.startsWith(u'#') || line.isEmpty()) {
                report += line + u'\n';
                continue;
            }
            const QString name = line.section(u" | "_s, 0, 0);
            report += name + u": "_s
                + describe(CarrierDetector::detect(expand(line.section(u" | "_s, 1)))).join(u", "_s) + u'\n';
        }
        KESTROVE_COMPARE_GOLDEN(report, "carriers/detection.expected");
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

    void sameAnswerFromManyThreads()
    {
        const QStringList numbers {QStringLiteral("LX123456789CN"),
                                   QStringLiteral("1z999aa10123456784"),
                                   u"9400"_s + digits(16),
                                   u"3"_s + digits(9),
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
