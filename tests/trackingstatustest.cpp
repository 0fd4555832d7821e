#include "model/trackingstatus.h"

#include "testmain.h"

#include <QObject>
#include <QTest>

using namespace TrackingStatuses;

class TrackingStatusTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void rawValuesRoundTrip()
    {
        QCOMPARE(allCases().size(), std::size_t(8));
        QCOMPARE(allCases().front(), TrackingStatus::pending);
        QCOMPARE(allCases().back(), TrackingStatus::unknown);
        for (TrackingStatus status : allCases())
            QCOMPARE(fromRawValue(rawValue(status)), status);
    }

    void rawValueIsExact_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("display name is no raw value") << QStringLiteral("Delivered");
        QTest::newRow("upper case") << QStringLiteral("PENDING");
        QTest::newRow("underscore form") << QStringLiteral("in_transit");
        QTest::newRow("trailing space") << QStringLiteral("inTransit ");
        QTest::newRow("empty") << QString();
    }
    void rawValueIsExact()
    {
        QFETCH(QString, text);
        QVERIFY(!fromRawValue(text).has_value());
    }

    void presentation_data()
    {
        QTest::addColumn<TrackingStatus>("status");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("icon");
        QTest::addColumn<StatusColor>("badge");
        QTest::addColumn<StatusColor>("progress");
        QTest::addColumn<int>("rank");
        QTest::addColumn<bool>("explained");
        QTest::newRow("pending gray in progress")
            << TrackingStatus::pending << "Pending"
            << "clock" << StatusColor::secondary << StatusColor::gray << 0 << false;
        QTest::newRow("in transit") << TrackingStatus::inTransit << "In Transit"
                                    << "shippingbox" << StatusColor::blue << StatusColor::blue << 1 << false;
        QTest::newRow("out for delivery") << TrackingStatus::outForDelivery << "Out for Delivery"
                                          << "truck.box" << StatusColor::orange << StatusColor::orange << 2 << false;
        QTest::newRow("delivered fourth")
            << TrackingStatus::delivered << "Delivered"
            << "checkmark.circle.fill" << StatusColor::green << StatusColor::green << 3 << false;
        QTest::newRow("failed attempt") << TrackingStatus::failedAttempt << "Failed Attempt"
                                        << "exclamationmark.triangle" << StatusColor::yellow << StatusColor::yellow
                                        << 99 << true;
        QTest::newRow("exception") << TrackingStatus::exception << "Exception"
                                   << "exclamationmark.octagon" << StatusColor::red << StatusColor::red << 99 << true;
        QTest::newRow("expired gray in progress")
            << TrackingStatus::expired << "Expired"
            << "clock.badge.xmark" << StatusColor::secondary << StatusColor::gray << 99 << true;
        QTest::newRow("unknown stays secondary")
            << TrackingStatus::unknown << "Unknown"
            << "questionmark.circle" << StatusColor::secondary << StatusColor::secondary << 99 << true;
    }
    void presentation()
    {
        QFETCH(TrackingStatus, status);
        QFETCH(QString, name);
        QFETCH(QString, icon);
        QFETCH(StatusColor, badge);
        QFETCH(StatusColor, progress);
        QFETCH(int, rank);
        QFETCH(bool, explained);
        QCOMPARE(displayName(status), name);
        QCOMPARE(iconName(status), icon);
        QCOMPARE(color(status), badge);
        QCOMPARE(progressColor(status), progress);
        QCOMPARE(sortRank(status), rank);
        QCOMPARE(!explanation(status).isEmpty(), explained);
    }

    void firstProgressStepIsOrdered()
    {
        QCOMPARE(progressSteps().size(), 4);
        QCOMPARE(progressSteps().first().label, QStringLiteral("Ordered"));
        QCOMPARE(progressSteps().first().iconName, QStringLiteral("bag"));
        QCOMPARE(explanation(TrackingStatus::exception), QStringLiteral("There's an issue with this shipment"));
    }
};

KESTROVE_TEST_MAIN(TrackingStatusTest)
#include "trackingstatustest.moc"
