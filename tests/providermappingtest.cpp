#include "carriers/carrier.h"
#include "providers/seventeentrackmapping.h"
#include "testmain.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QObject>
#include <QTest>
#include <QTimeZone>

using namespace SeventeenTrack;
using namespace Qt::Literals::StringLiterals;

namespace
{
const QDateTime mappingTime(QDate(2026, 6, 15), QTime(12, 0), Qt::UTC);

/** Decodes one accepted record written with single quotes, as the service would send it. */
TrackInfoResponse::TrackData record(const char *text)
{
    const QByteArray body = "{\"code\":0,\"data\":{\"accepted\":[" + QByteArray(text).replace('\'', '"') + "]}}";
    const auto response = decodeTrackInfoResponse(body);
    if (!response || response->data.accepted.size() != 1)
        qFatal("test record does not decode: %s", text);
    return response->data.accepted.constFirst();
}

QStringList eventSummary(const TrackingResult &result)
{
    QStringList summary;
    for (const auto &event : result.events)
        summary.append(event.timestamp.toUTC().toString(u"HH:mm"_s) + u' ' + TrackingStatuses::rawValue(event.status));
    return summary;
}
}

class ProviderMappingTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void statusCodes_data()
    {
        QTest::addColumn<qint64>("code");
        QTest::addColumn<TrackingStatus>("status");
        QTest::newRow("0 pending") << qint64(0) << TrackingStatus::pending;
        QTest::newRow("10 in transit") << qint64(10) << TrackingStatus::inTransit;
        QTest::newRow("20 expired") << qint64(20) << TrackingStatus::expired;
        QTest::newRow("30 exception") << qint64(30) << TrackingStatus::exception;
        QTest::newRow("35 exception") << qint64(35) << TrackingStatus::exception;
        QTest::newRow("60 exception") << qint64(60) << TrackingStatus::exception;
        QTest::newRow("40 out for delivery") << qint64(40) << TrackingStatus::outForDelivery;
        QTest::newRow("50 delivered") << qint64(50) << TrackingStatus::delivered;
        QTest::newRow("25 unknown") << qint64(25) << TrackingStatus::unknown;
        QTest::newRow("negative unknown") << qint64(-1) << TrackingStatus::unknown;
    }
    void statusCodes()
    {
        QFETCH(qint64, code);
        QFETCH(TrackingStatus, status);
        QCOMPARE(mapStatus(code), status);
    }

    void outForDeliveryPhrases_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("matches");
        for (const char *phrase : {"out for delivery",
                                   "out-for-delivery",
                                   "with delivery courier",
                                   "out for delivery today",
                                   "on fedex vehicle for delivery",
                                   "on vehicle for delivery",
                                   "at local fedex facility",
                                   "on ups vehicle for delivery",
                                   "loaded on delivery vehicle",
                                   "shipment is out for delivery",
                                   "en route to delivery",
                                   "package is out for delivery",
                                   "out for delivery with amazon",
                                   "arriving today",
                                   "package has left the facility",
                                   "package is on the vehicle for delivery",
                                   "on the vehicle for delivery",
                                   "package out for delivery",
                                   "driver assigned",
                                   "departed facility.*delivery",
                                   "on delivery vehicle",
                                   "with carrier for delivery",
                                   "last mile delivery",
                                   "dispatched for delivery",
                                   "being delivered",
                                   "delivery in progress"})
            QTest::newRow(phrase) << QString::fromLatin1(phrase) << true;
        QTest::newRow("phrase inside a longer text") << "departed facility, out for delivery soon" << true;
        QTest::newRow("departed facility for delivery is no pattern match")
            << "departed facility for delivery" << false;
        QTest::newRow("case-sensitive: caller lower-cases") << "Out for Delivery" << false;
        QTest::newRow("delivered") << "delivered, front porch" << false;
        QTest::newRow("empty") << "" << false;
    }
    void outForDeliveryPhrases()
    {
        QFETCH(QString, text);
        QFETCH(bool, matches);
        QCOMPARE(isOutForDeliveryDescription(text), matches);
    }

    void recordStatus_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<TrackingStatus>("status");
        const auto row = [](const char *name, const char *json, TrackingStatus status) {
            QTest::newRow(name) << QByteArray(json) << status;
        };
        using S = TrackingStatus;
        row("latest 10 without events is in transit", "{'number':'A','track_info':{'latest_status':{'status':10}}}",
            S::inTransit);
        row("sub-status Out for Delivery upgrades",
            "{'number':'A','track_info':{'latest_status':{'status':10,'sub_status':'Out for Delivery'}}}",
            S::outForDelivery);
        row("sub-status 1003 sent as number upgrades",
            "{'number':'A','track_info':{'latest_status':{'status':10,'sub_status':1003}}}", S::outForDelivery);
        row("sub-status containing the phrase in any case upgrades",
            "{'number':'A','track_info':{'latest_status':{'status':10,'sub_status':'InTransit_OUT FOR DELIVERY'}}}",
            S::outForDelivery);
        row("sub-status 1002 does not upgrade",
            "{'number':'A','track_info':{'latest_status':{'status':10,'sub_status':'1002'}}}", S::inTransit);
        row("no track info is pending", "{'number':'A','carrier':100003}", S::pending);
        row("latest status text counts as pending",
            "{'number':'A','track_info':{'latest_status':{'status':'Delivered'}}}", S::pending);
        row("pending with newest event 40 is out for delivery",
            "{'number':'A','track_info':{'latest_status':{'status':0},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','status':40},{'time_iso':'2026-03-01T08:00:00Z','status':10}]}]}}}",
            S::outForDelivery);
        row("pending with newest event 50 is delivered",
            "{'number':'A','track_info':{'latest_status':{'status':0},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T08:00:00Z','status':10},{'time_iso':'2026-03-01T10:00:00Z','status':50}]}]}}}",
            S::delivered);
        row("pending with a status-less newest event is in transit",
            "{'number':'A','track_info':{'latest_status':{'status':0},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','description':'Scanned'}]}]}}}",
            S::inTransit);
        row("pending with status-less newest event naming the van is out for delivery",
            "{'number':'A','track_info':{'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','description':'Loaded on Delivery Vehicle'}]}]}}}",
            S::outForDelivery);
        row("unknown code with a newest exception event is exception",
            "{'number':'A','track_info':{'latest_status':{'status':25},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','status':30}]}]}}}",
            S::exception);
        row("latest 40 stands whatever the events say",
            "{'number':'A','track_info':{'latest_status':{'status':40},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','status':50}]}]}}}",
            S::outForDelivery);
        row("latest 50 stands over an out-for-delivery event",
            "{'number':'A','track_info':{'latest_status':{'status':50},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','status':40}]}]}}}",
            S::delivered);
        row("latest 30 is exception", "{'number':'A','track_info':{'latest_status':{'status':30}}}", S::exception);
        row("latest 25 without events is unknown", "{'number':'A','track_info':{'latest_status':{'status':25}}}",
            S::unknown);
        row("latest 10 with newest event on the van is out for delivery",
            "{'number':'A','track_info':{'latest_status':{'status':10},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','description':'On FedEx vehicle for delivery','status':10}]}]}}}",
            S::outForDelivery);
        row("an older van event does not upgrade",
            "{'number':'A','track_info':{'latest_status':{'status':10},'tracking':{'providers':[{'events':["
            "{'time_iso':'2026-03-01T10:00:00Z','description':'Arrived at facility','status':10},"
            "{'time_iso':'2026-03-01T08:00:00Z','description':'Out for delivery','status':10}]}]}}}",
            S::inTransit);
    }
    void recordStatus()
    {
        QFETCH(QByteArray, json);
        QFETCH(TrackingStatus, status);
        QCOMPARE(mapToTrackingResult(record(json.constData()), mappingTime).status, status);
    }

    void eventConversion_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<TrackingStatus>("status");
        QTest::addColumn<QString>("rawCode");
        QTest::newRow("status 10 on the van in any case becomes out for delivery")
            << QByteArray("{'description':'LOADED ON DELIVERY VEHICLE','status':10}") << TrackingStatus::outForDelivery
            << "10";
        QTest::newRow("status 50 with the same text stays delivered")
            << QByteArray("{'description':'Loaded on Delivery Vehicle','status':50}") << TrackingStatus::delivered
            << "50";
        QTest::newRow("no status is code 0 and pending")
            << QByteArray("{'description':'Out for delivery'}") << TrackingStatus::pending << "0";
        QTest::newRow("unknown code kept verbatim") << QByteArray("{'status':77}") << TrackingStatus::unknown << "77";
    }
    void eventConversion()
    {
        QFETCH(QByteArray, json);
        QFETCH(TrackingStatus, status);
        QFETCH(QString, rawCode);
        const QByteArray text = "{'number':'A','track_info':{'tracking':{'providers':[{'events':[" + json + "]}]}}}";
        const auto data = record(text.constData());
        const TrackingResult result = mapToTrackingResult(data, mappingTime);
        QCOMPARE(result.events.size(), 1);
        QCOMPARE(result.events.constFirst().status, status);
        QCOMPARE(result.events.constFirst().rawStatusCode, rawCode);
    }

    void eventsNewestFirstAcrossProviders()
    {
        const TrackingResult result = mapToTrackingResult(
            record("{'number':'A','track_info':{'latest_status':{'status':10},'tracking':{'providers':["
                   "{'events':[{'time_iso':'2026-03-01T10:00:00Z','status':10,'description':'first of equal'},"
                   "{'time_iso':'2026-03-01T09:00:00Z','status':10}]},"
                   "{},"
                   "{'events':[{'time_iso':'2026-03-01T11:00:00Z','status':10},"
                   "{'time_iso':'2026-03-01T10:00:00Z','status':0,'description':'second of equal'}]}]}}}"),
            mappingTime);
        QCOMPARE(eventSummary(result),
                 (QStringList {u"11:00 inTransit"_s, u"10:00 inTransit"_s, u"10:00 pending"_s, u"09:00 inTransit"_s}));
        QCOMPARE(result.events.at(1).description, u"first of equal"_s);
        QCOMPARE(result.events.at(2).description, u"second of equal"_s);
    }

    void eventWithoutTimeGetsMappingTime()
    {
        const TrackingResult result
            = mapToTrackingResult(record("{'number':'A','track_info':{'tracking':{'providers':[{'events':["
                                         "{'time_iso':'2026-03-01T10:00:00Z','status':10,'description':'dated'},"
                                         "{'status':10,'description':'undated','location':'Hub'}]}]}}}"),
                                  mappingTime);
        QCOMPARE(result.events.size(), 2);
        QCOMPARE(result.events.constFirst().description, u"undated"_s);
        QCOMPARE(result.events.constFirst().timestamp, mappingTime);
        QCOMPARE(result.events.constFirst().location, u"Hub"_s);
        QCOMPARE(result.events.at(1).location, QString());
    }

    void estimatedDelivery_data()
    {
        QTest::addColumn<QByteArray>("estimate");
        QTest::addColumn<QDateTime>("expected");
        const QTimeZone local = QTimeZone::systemTimeZone();
        QTest::newRow("from wins") << QByteArray("{'from':'2026-03-04T00:00:00Z','to':'2026-03-06T00:00:00Z'}")
                                   << QDateTime(QDate(2026, 3, 4), QTime(0, 0), Qt::UTC);
        QTest::newRow("unparsable from falls back to to, local midnight")
            << QByteArray("{'from':'soon','to':'2026-03-05'}") << QDateTime(QDate(2026, 3, 5), QTime(0, 0), local);
        QTest::newRow("source is not used") << QByteArray("{'source':'2026-03-01'}") << QDateTime();
        QTest::newRow("no bounds") << QByteArray("{}") << QDateTime();
    }
    void estimatedDelivery()
    {
        QFETCH(QByteArray, estimate);
        QFETCH(QDateTime, expected);
        const QByteArray text
            = "{'number':'A','track_info':{'time_metrics':{'estimated_delivery_date':" + estimate + "}}}";
        const TrackingResult result = mapToTrackingResult(record(text.constData()), mappingTime);
        QCOMPARE(result.estimatedDelivery.has_value(), expected.isValid());
        if (expected.isValid())
            QCOMPARE(result.estimatedDelivery->toMSecsSinceEpoch(), expected.toMSecsSinceEpoch());
    }

    void recordWithoutTrackInfo()
    {
        const TrackingResult result = mapToTrackingResult(record("{'number':'a1b2','carrier':100003}"), mappingTime);
        QCOMPARE(result.trackingNumber, u"a1b2"_s);
        QCOMPARE(result.carrierCode, u"fedex"_s);
        QCOMPARE(result.status, TrackingStatus::pending);
        QVERIFY(result.events.isEmpty());
        QVERIFY(!result.estimatedDelivery);
        QCOMPARE(mapToTrackingResult(record("{'number':'A'}"), mappingTime).carrierCode, QString());
    }

    void carrierCodes_data()
    {
        QTest::addColumn<qint64>("number");
        QTest::addColumn<QString>("code");
        QTest::newRow("first USPS number") << qint64(21051) << "usps";
        QTest::newRow("second USPS number") << qint64(100025) << "usps";
        QTest::newRow("DHL eCommerce") << qint64(100069) << "dhl_ecommerce";
        QTest::newRow("unknown number as text") << qint64(999) << "999";
    }
    void carrierCodes()
    {
        QFETCH(qint64, number);
        QFETCH(QString, code);
        QCOMPARE(carrierCodeFromNumeric(number), code);
    }

    void carrierTablesFollowTheCatalogue()
    {
        QCOMPARE(carrierMapping().size(), 29);
        QCOMPARE(stringToNumeric(u"usps"_s), qint64(21051));
        QCOMPARE(stringToNumeric(u"USPS"_s), qint64(21051));
        QCOMPARE(stringToNumeric(u"4px"_s), qint64(190233));
        QVERIFY(!stringToNumeric(u" ups"_s));
        QVERIFY(!stringToNumeric(u"100002"_s));
        QCOMPARE(allCarrierCodesFor17track(u"Usps"_s), (QList<qint64> {21051, 100025}));
        QVERIFY(allCarrierCodesFor17track(u"acme"_s).isEmpty());
        QVERIFY(!carrierNumberFor(std::nullopt));
        QVERIFY(!carrierNumberFor(QString()));
        QCOMPARE(carrierNumberFor(u"UPS"_s), qint64(100002));
        for (const CarrierMapping &pair : carrierMapping())
            QCOMPARE(Carrier::codeForTrackNumber(pair.trackCode), pair.code);

        // The client keeps its own order of the pairs; the pairs themselves are the catalogue's.
        QStringList order;
        for (const CarrierMapping &pair : carrierMapping())
            order.append(pair.code + u':' + QString::number(pair.trackCode));
        QCOMPARE(order.mid(0, 10),
                 (QStringList {u"usps:21051"_s, u"usps:100025"_s, u"ups:100002"_s, u"fedex:100003"_s, u"dhl:100001"_s,
                               u"dhl_ecommerce:100069"_s, u"amazon:190271"_s, u"ontrac:100049"_s, u"lasership:100042"_s,
                               u"china-post:3011"_s}));
        QCOMPARE(order.last(), u"india-post:12012"_s);
        QStringList catalogue;
        for (const Carrier::Entry &entry : Carrier::entries()) {
            for (qint64 number : entry.numbers)
                catalogue.append(entry.code + u':' + QString::number(number));
        }
        catalogue.sort();
        order.sort();
        QCOMPARE(order, catalogue);
    }

    void rawResponseKeepsTheServiceKeys()
    {
        const TrackingResult result = mapToTrackingResult(
            record("{'number':'A','carrier':'100002','unknown_field':1,'track_info':{'latest_status':{'status':10,"
                   "'sub_status':1003},'tracking':{'providers':[{'events':[{'time_iso':'x','status':10}]}]}}}"),
            mappingTime);
        QVERIFY(result.rawResponse);
        const QJsonObject raw = QJsonDocument::fromJson(*result.rawResponse).object();
        QCOMPARE(raw.keys(), (QStringList {u"carrier"_s, u"number"_s, u"track_info"_s}));
        QCOMPARE(raw.value(u"carrier"_s).toInteger(), 100002);
        const QJsonObject info = raw.value(u"track_info"_s).toObject();
        QCOMPARE(info.keys(), (QStringList {u"latest_status"_s, u"tracking"_s}));
        QCOMPARE(info.value(u"latest_status"_s).toObject().value(u"sub_status"_s).toString(), u"1003"_s);
        const QJsonObject event = info.value(u"tracking"_s)
                                      .toObject()
                                      .value(u"providers"_s)
                                      .toArray()
                                      .first()
                                      .toObject()
                                      .value(u"events"_s)
                                      .toArray()
                                      .first()
                                      .toObject();
        QCOMPARE(event.keys(), (QStringList {u"status"_s, u"time_iso"_s}));
    }
};

KESTROVE_TEST_MAIN(ProviderMappingTest)
#include "providermappingtest.moc"
