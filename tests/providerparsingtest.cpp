// The 17TRACK records and their mapping, without a network: fixture files in tests/data/17track
// with expected-output files beside them.
#include "goldenfile.h"
#include "providers/seventeentrackmapping.h"
#include "providers/seventeentrackrecords.h"
#include "testmain.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QObject>
#include <QTest>
#include <QTimeZone>

using namespace SeventeenTrack;
using namespace Qt::Literals::StringLiterals;

// Dates without a zone are local: pin the zone so that the expected files hold everywhere.
static const bool s_timeZonePinned = [] {
    qputenv("TZ", "America/New_York");
    return true;
}();

namespace
{
const QDateTime mappingTime(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC);

/** The lines of a fixture file "name | field | field...", comments and blank lines skipped. */
QList<QStringList> readCases(const QString &name)
{
    QFile file(QStringLiteral(KESTROVE_TEST_DATA_DIR "/17track/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(name));
    QList<QStringList> cases;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.isEmpty() && !line.startsWith(u'#'))
            cases.append(line.split(u" | "_s));
    }
    return cases;
}

QString compact(const QJsonValue &value)
{
    return QString::fromUtf8(QJsonDocument(QJsonArray {value}).toJson(QJsonDocument::Compact)).mid(1).chopped(1);
}

void insertIf(QJsonObject &object, const QString &key, const std::optional<QString> &value)
{
    if (value)
        object.insert(key, *value);
}

QString envelope(qint64 code, const std::optional<QString> &message, const QJsonArray &accepted,
                 const QJsonArray &rejected)
{
    QJsonObject summary {{u"code"_s, code}, {u"accepted"_s, accepted}, {u"rejected"_s, rejected}};
    insertIf(summary, u"message"_s, message);
    return compact(summary);
}

/** What survived decoding, as JSON; "FAIL" when the answer was refused as a whole. */
QString decoded(const QString &endpoint, const QByteArray &body)
{
    QJsonArray accepted;
    QJsonArray rejected;
    if (endpoint == u"register"_s) {
        const auto response = decodeRegisterResponse(body);
        if (!response)
            return u"FAIL"_s;
        for (const auto &item : response->data.accepted) {
            QJsonObject object {{u"number"_s, item.number}};
            insertIf(object, u"carrier"_s, item.carrierCode);
            accepted.append(object);
        }
        for (const auto &item : response->data.rejected) {
            QJsonObject error {{u"code"_s, item.error.code}};
            insertIf(error, u"message"_s, item.error.message);
            insertIf(error, u"carrier"_s, item.error.carrier);
            rejected.append(QJsonObject {{u"number"_s, item.number}, {u"error"_s, error}});
        }
        return envelope(response->code, response->message, accepted, rejected);
    }
    if (endpoint == u"track"_s) {
        const auto response = decodeTrackInfoResponse(body);
        if (!response)
            return u"FAIL"_s;
        for (const auto &data : response->data.accepted)
            accepted.append(encodeTrackData(data));
        for (const auto &item : response->data.rejected) {
            QJsonObject object {{u"number"_s, item.number}};
            if (item.error) {
                QJsonObject error {{u"code"_s, item.error->code}};
                insertIf(error, u"message"_s, item.error->message);
                object.insert(u"error"_s, error);
            }
            rejected.append(object);
        }
        return envelope(response->code, response->message, accepted, rejected);
    }
    const auto response = decodeGetCarrierResponse(body);
    if (!response)
        return u"FAIL"_s;
    for (const auto &match : response->data.accepted) {
        QJsonArray carriers;
        for (const auto &carrier : match.carriers) {
            QJsonObject object {{u"key"_s, carrier.key}};
            insertIf(object, u"name"_s, carrier.name);
            carriers.append(object);
        }
        accepted.append(QJsonObject {{u"number"_s, match.number}, {u"carriers"_s, carriers}});
    }
    for (const auto &item : response->data.rejected)
        rejected.append(QJsonObject {{u"number"_s, item.number}});
    return envelope(response->code, response->message, accepted, rejected);
}

/** One mapped result on one line: every field the application stores. */
QString mapped(const QByteArray &record)
{
    const auto response = decodeTrackInfoResponse("{\"code\":0,\"data\":{\"accepted\":[" + record + "]}}");
    if (!response || response->data.accepted.size() != 1)
        return u"DOES NOT DECODE"_s;
    const TrackingResult result = mapToTrackingResult(response->data.accepted.constFirst(), mappingTime);
    QStringList parts {result.trackingNumber, result.carrierCode, TrackingStatuses::rawValue(result.status)};
    if (result.estimatedDelivery)
        parts.append(u"eta "_s + result.estimatedDelivery->toUTC().toString(Qt::ISODateWithMs));
    for (const auto &event : result.events) {
        parts.append(u"event %1 %2 (%3) \"%4\" @%5"_s.arg(event.timestamp.toUTC().toString(Qt::ISODate),
                                                          TrackingStatuses::rawValue(event.status), event.rawStatusCode,
                                                          event.description, event.location));
    }
    parts.append(u"raw "_s + QString::fromUtf8(result.rawResponse.value_or("none")));
    return parts.join(u" | "_s);
}
}

class ProviderParsingTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QCOMPARE(QTimeZone::systemTimeZoneId(), QByteArray("America/New_York")); }

    /** Envelopes, lenient lists and fields of the wrong type, one answer per fixture line. */
    void decodingMatchesTheExpectedFile()
    {
        QString report;
        for (const QStringList &c : readCases(u"decoding.txt"_s))
            report += c.at(0) + u": "_s + decoded(c.at(1), c.at(2).toUtf8()) + u'\n';
        KESTROVE_COMPARE_GOLDEN(report, "17track/decoding.expected");
    }

    /** Status rules, event order and conversion, estimates and the stored raw record. */
    void mappingMatchesTheExpectedFile()
    {
        QString report;
        for (const QStringList &c : readCases(u"mapping.txt"_s))
            report += c.at(0) + u":\n    "_s + mapped(c.at(1).toUtf8()) + u'\n';
        KESTROVE_COMPARE_GOLDEN(report, "17track/mapping.expected");
    }

    void encodingRoundTrips()
    {
        const auto decodedOnce = decodeTrackInfoResponse(
            R"({"code":0,"data":{"accepted":[{"number":"A","carrier":100002,"track_info":{"latest_status":)"
            R"({"status":10,"sub_status":"InTransit_Other"},"tracking":{"providers":[{"events":[{"time_iso":)"
            R"("2026-03-01T10:00:00Z","description":"Arrived","location":"Köln","status":10}]},{}]},)"
            R"("time_metrics":{"estimated_delivery_date":{"source":"carrier","from":"2026-03-05","to":null}}}}]}})");
        QVERIFY(decodedOnce);
        const QJsonObject encoded = encodeTrackData(decodedOnce->data.accepted.constFirst());
        const auto again = decodeTrackInfoResponse("{\"code\":0,\"data\":{\"accepted\":["
                                                   + QJsonDocument(encoded).toJson(QJsonDocument::Compact) + "]}}");
        QVERIFY(again);
        QCOMPARE(encodeTrackData(again->data.accepted.constFirst()), encoded);
    }

    void parseDates_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QDateTime>("expected");
        const QTimeZone local = QTimeZone::systemTimeZone();
        const auto utc = [](int h, int m, int s, int ms = 0) {
            return QDateTime({2026, 3, 1}, {h, m, s, ms}, Qt::UTC);
        };
        QTest::newRow("fractional seconds with offset") << "2026-03-01T14:05:09.123+01:00" << utc(13, 5, 9, 123);
        QTest::newRow("one fractional digit") << "2026-03-01T14:05:09.5Z" << utc(14, 5, 9, 500);
        QTest::newRow("six fractional digits keep milliseconds")
            << "2026-03-01T14:05:09.123456-05:30" << utc(19, 35, 9, 123);
        QTest::newRow("without fraction, negative offset") << "2026-03-01T08:00:00-08:00" << utc(16, 0, 0);
        QTest::newRow("date and time in the device zone")
            << "2026-03-01 14:05:09" << QDateTime({2026, 3, 1}, {14, 5, 9}, local);
        QTest::newRow("date alone is local midnight") << "2026-03-01" << QDateTime({2026, 3, 1}, {0, 0}, local);
        QTest::newRow("US date is month first") << "03/01/2026" << QDateTime({2026, 3, 1}, {0, 0}, local);
        QTest::newRow("single-digit fields are read") << "2026-3-5" << QDateTime({2026, 3, 5}, {0, 0}, local);
        for (const char *refused :
             {"1 March 2026", "", "2026-03-01T14:05:09", "2026-03-01t14:05:09Z", "2026-02-30", "2026-03-01T25:00:00Z",
              "13/01/2026", "2026-03-01 extra", "2026-03-01T14:05:09+0100", "2026-03-01T14:05:09.Z"})
            QTest::newRow(qPrintable(u"refused: \"%1\""_s.arg(QLatin1String(refused)))) << refused << QDateTime();
    }
    void parseDates()
    {
        QFETCH(QString, text);
        QFETCH(QDateTime, expected);
        const auto parsed = parseDate(text);
        QCOMPARE(parsed.has_value(), expected.isValid());
        if (parsed)
            QCOMPARE(parsed->toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
        QVERIFY(!parseDate(std::nullopt));
    }

    void wholeIntegers_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<std::optional<qint64>>("value");
        QTest::newRow("plus sign") << "+5" << std::optional<qint64>(5);
        QTest::newRow("minus sign") << "-18019901" << std::optional<qint64>(-18019901);
        QTest::newRow("largest") << "9223372036854775807" << std::optional(std::numeric_limits<qint64>::max());
        QTest::newRow("smallest") << "-9223372036854775808" << std::optional(std::numeric_limits<qint64>::min());
        for (const QString &refused : {u"9223372036854775808"_s, u"-"_s, u""_s, u" 5"_s, u"5.0"_s, u"\u0665"_s})
            QTest::newRow(qPrintable(u"refused: \"%1\""_s.arg(refused))) << refused << std::optional<qint64>();
    }
    void wholeIntegers()
    {
        QFETCH(QString, text);
        QFETCH(std::optional<qint64>, value);
        QCOMPARE(parseWholeInteger(text), value);
    }

    void apiErrors_data()
    {
        QTest::addColumn<qint64>("code");
        QTest::addColumn<std::optional<QString>>("message");
        QTest::addColumn<QString>("description");
        QTest::newRow("bad key") << qint64(-18019904) << std::optional(u"whatever"_s)
                                 << TrackingProviderError::apiKeyInvalid().description();
        QTest::newRow("carrier undetected ignores the service's message")
            << qint64(-18019903) << std::optional(u"Carrier cannot be detected."_s)
            << u"Provider error: Carrier could not be detected. Please select a carrier manually."_s;
        QTest::newRow("already registered with message")
            << qint64(-18019901) << std::optional(u"Already there."_s) << u"Provider error: Already there."_s;
        QTest::newRow("already registered without message")
            << qint64(-18019901) << std::optional<QString>() << u"Provider error: Tracking number already registered"_s;
        QTest::newRow("unknown code without message")
            << qint64(-1) << std::optional<QString>() << u"Provider error: Unknown API error (code: -1)"_s;
        QTest::newRow("unknown code with message")
            << qint64(42) << std::optional(u"Quota exhausted"_s) << u"Provider error: Quota exhausted"_s;
    }
    void apiErrors()
    {
        QFETCH(qint64, code);
        QFETCH(std::optional<QString>, message);
        QFETCH(QString, description);
        QCOMPARE(mapAPIError(code, message).description(), description);
    }

    void statusCodesAndPhrases()
    {
        QCOMPARE(mapStatus(35), TrackingStatus::exception);
        QCOMPARE(mapStatus(60), TrackingStatus::exception);
        QCOMPARE(mapStatus(25), TrackingStatus::unknown);
        QCOMPARE(mapStatus(-1), TrackingStatus::unknown);
        QVERIFY(isOutForDeliveryDescription(u"departed facility, out for delivery soon"_s));
        QVERIFY(isOutForDeliveryDescription(u"departed facility.*delivery"_s)); // a phrase, not a pattern
        QVERIFY(!isOutForDeliveryDescription(u"departed facility for delivery"_s));
        QVERIFY(!isOutForDeliveryDescription(u"Out for Delivery"_s)); // the caller lower-cases
        QVERIFY(!isOutForDeliveryDescription(u"delivered, front porch"_s));
    }

    void carrierNumbersFollowTheCatalogue()
    {
        QCOMPARE(stringToNumeric(u"USPS"_s), qint64(21051));
        QVERIFY(!stringToNumeric(u" ups"_s));
        QVERIFY(!stringToNumeric(u"100002"_s));
        QCOMPARE(allCarrierCodesFor17track(u"Usps"_s), (QList<qint64> {21051, 100025}));
        QVERIFY(!carrierNumberFor(QString()));
        QCOMPARE(carrierNumberFor(u"UPS"_s), qint64(100002));
        QCOMPARE(carrierCodeFromNumeric(100025), u"usps"_s);
        QCOMPARE(carrierCodeFromNumeric(999), u"999"_s);
    }

    /** The fuzzer's seed corpus, replayed: every file decodes as its name says, or fails cleanly. */
    void corpusReplays()
    {
        const QDir corpus(QStringLiteral(KESTROVE_TEST_DATA_DIR "/17track/corpus"));
        const QStringList files = corpus.entryList(QDir::Files, QDir::Name);
        QVERIFY2(files.size() >= 10, "the seed corpus is missing");
        for (const QString &name : files) {
            QFile file(corpus.filePath(name));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray body = file.readAll();
            const auto track = decodeTrackInfoResponse(body);
            const auto registration = decodeRegisterResponse(body);
            const auto carriers = decodeGetCarrierResponse(body);
            for (const auto &data : track ? track->data.accepted : QList<TrackInfoResponse::TrackData> {}) {
                const TrackingResult result = mapToTrackingResult(data, mappingTime);
                QVERIFY(result.rawResponse.has_value());
                for (qsizetype i = 1; i < result.events.size(); ++i)
                    QVERIFY(result.events.at(i - 1).timestamp >= result.events.at(i).timestamp);
            }
            const bool decodes = name.startsWith(u"register"_s) ? registration.has_value()
                : name.startsWith(u"getcarrier"_s)              ? carriers.has_value()
                : name.startsWith(u"malformed"_s)               ? !(track || registration || carriers)
                                                                : track.has_value();
            QVERIFY2(decodes, qPrintable(name));
        }
    }
};

KESTROVE_TEST_MAIN(ProviderParsingTest)
#include "providerparsingtest.moc"
