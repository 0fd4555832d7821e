#include "services/locationrules.h"

#include "model/trackingevent.h"
#include "services/mapprojection.h"
#include "testmain.h"

#include <QElapsedTimer>

using namespace LocationRules;

class LocationRulesTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void geocodeStringOfEvent_data()
    {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("expected"); // empty: no place

        const QString none;
        QTest::newRow("facility and ZIP removed, US appended") << "MEMPHIS TN NETWORK DISTRIBUTION CENTER 38118"
                                                               << ""
                                                               << "MEMPHIS, TN, US";
        QTest::newRow("facility phrase matched without regard to case") << "Chicago IL processing & distribution center"
                                                                        << ""
                                                                        << "Chicago, IL, US";
        QTest::newRow("ZIP+4 removed") << "AUSTIN TX 78701-1234"
                                       << ""
                                       << "AUSTIN, TX, US";
        QTest::newRow("comma text kept and specific") << "Shenzhen, Guangdong, CN"
                                                      << ""
                                                      << "Shenzhen, Guangdong, CN";
        QTest::newRow("country in capitals is vague") << "CHINA"
                                                      << "" << none;
        QTest::newRow("country in any case is vague") << "China"
                                                      << "" << none;
        QTest::newRow("listed two-word country is vague") << "Hong Kong"
                                                          << "" << none;
        QTest::newRow("three capitals are a code") << "LAX"
                                                   << "" << none;
        QTest::newRow("one word is vague") << "Frankfurt"
                                           << "" << none;
        QTest::newRow("province gets no US") << "TORONTO ON"
                                             << ""
                                             << "TORONTO ON";
        QTest::newRow("vague location falls back to description") << "USA"
                                                                  << "Departed from Chicago IL"
                                                                  << "Chicago, IL";
        QTest::newRow("first pattern is greedy from the first letter") << ""
                                                                       << "Departed USPS Facility MEMPHIS, TN 38101"
                                                                       << "Departed USPS Facility MEMPHIS, TN";
        QTest::newRow("province never extracted") << ""
                                                  << "Arrived in Toronto ON" << none;
        QTest::newRow("control characters separate words") << QStringLiteral("Los\tAngeles\u0001 CA\n90001\u001b") << ""
                                                           << "Los Angeles, CA, US";
        QTest::newRow("only punctuation is skipped") << "-- ... ,,, //"
                                                     << "" << none;
        QTest::newRow("only digits and punctuation are skipped") << "12-34 / 56"
                                                                 << "" << none;
        QTest::newRow("ten thousand characters are skipped")
            << QString(QStringLiteral("WAREHOUSE ")).repeated(1000) << QString(10000, QLatin1Char('a')) << none;
    }

    void geocodeStringOfEvent()
    {
        QFETCH(QString, location);
        QFETCH(QString, description);
        QFETCH(QString, expected);
        const TrackingEvent event(QDateTime::currentDateTime(), TrackingStatus::inTransit, description, location);
        QElapsedTimer timer;
        timer.start();
        const auto place = geocodeString(event);
        QVERIFY2(timer.elapsed() < 200, "long texts must be handled in linear time");
        QCOMPARE(place.value_or(QString()), expected);
    }

    void smartCamera()
    {
        const QDateTime t0(QDate(2026, 3, 1), QTime(9, 0));
        TrackingEvent first(t0, TrackingStatus::inTransit, {});
        TrackingEvent second(t0.addDays(1), TrackingStatus::inTransit, {});
        TrackingEvent third(t0.addDays(2), TrackingStatus::outForDelivery, {});

        QVERIFY(!computeSmartCameraPosition({}));

        // A regional route: framed by its box, never tighter than 2 degrees.
        const auto regional = computeSmartCameraPosition(
            {{&first, {40.0, -74.0}, {}}, {&second, {42.0, -71.0}, {}}, {&third, {42.0, -71.0}, {}}});
        QVERIFY(regional);
        QCOMPARE(regional->center, (GeoCoordinate {41.0, -72.5}));
        QCOMPARE(regional->latitudeDelta, 3.0);
        QCOMPARE(regional->longitudeDelta, 4.5);
        QCOMPARE(computeSmartCameraPosition({{&first, {10.0, 10.0}, {}}})->latitudeDelta, 2.0);

        // A long route, listed out of time order: the newest event pulls the centre.
        const auto longRoute = computeSmartCameraPosition(
            {{&third, {40.0, -74.0}, {}}, {&first, {22.0, 114.0}, {}}, {&second, {34.0, -118.0}, {}}});
        QVERIFY(longRoute);
        QCOMPARE(longRoute->center.latitude, 0.3 * 31.0 + 0.7 * 40.0);
        QCOMPARE(longRoute->center.longitude, 0.3 * -2.0 + 0.7 * -74.0);
        QCOMPARE(longRoute->latitudeDelta, std::max(15.0, 1.4 * 18.0));
        QCOMPARE(longRoute->longitudeDelta, 1.4 * 232.0);
    }

    void regionBecomesDeepestFittingZoom()
    {
        const CameraRegion region {{41.0, -72.5}, 3.0, 4.5};
        const QSizeF view(600, 250);
        const int zoom = MapProjection::zoomForRegion(region, view);
        const auto spans = [&](int z) {
            const QPointF a = MapProjection::project({42.5, -74.75}, z);
            const QPointF b = MapProjection::project({39.5, -70.25}, z);
            return QSizeF(b.x() - a.x(), b.y() - a.y());
        };
        QVERIFY(spans(zoom).width() <= view.width() && spans(zoom).height() <= view.height());
        QVERIFY(spans(zoom + 1).width() > view.width() || spans(zoom + 1).height() > view.height());
        const GeoCoordinate back = MapProjection::unproject(MapProjection::project(region.center, zoom), zoom);
        QVERIFY(qAbs(back.latitude - 41.0) < 1e-9 && qAbs(back.longitude + 72.5) < 1e-9);
    }
};

KESTROVE_TEST_MAIN(LocationRulesTest)
#include "locationrulestest.moc"
