// A scripted 17TRACK stand-in for trying Kestrove by hand, without a real API key:
//
//   build/bin/fake17track-server &          # prints the base address
//   export KESTROVE_17TRACK_BASE_URL=http://127.0.0.1:PORT/track/v2.2
//   printf demo-key | kestrove-cli key set
//   kestrove-cli add 1Z999AA10123456784
//
// It knows three numbers (a UPS parcel in transit, a USPS one out for delivery and a
// delivered DHL one); any other number registers and stays pending. The key must be "demo-key".

#include "fake17trackserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QJsonArray>
#include <QTextStream>
#include <QTimeZone>

#include <csignal>

namespace
{
QString hoursAgo(int hours)
{
    return QDateTime::currentDateTimeUtc().addSecs(-3600LL * hours).toString(Qt::ISODate);
}

void script(Fake17TrackServer &server)
{
    using F = Fake17TrackServer;
    server.setTrackInfo(
        QStringLiteral("1Z999AA10123456784"),
        F::trackInfo(10,
                     QJsonArray {F::event(hoursAgo(3), QStringLiteral("Departed from facility"), 10,
                                          QStringLiteral("Louisville, KY, US")),
                                 F::event(hoursAgo(20), QStringLiteral("Arrived at facility"), 10,
                                          QStringLiteral("Chicago, IL, US")),
                                 F::event(hoursAgo(30), QStringLiteral("Shipment information received"), 0)}),
        100002);
    server.setTrackInfo(QStringLiteral("9400111899223197428490"),
                        F::trackInfo(40,
                                     QJsonArray {F::event(hoursAgo(1), QStringLiteral("Out for delivery"), 40,
                                                          QStringLiteral("Portland, OR, US")),
                                                 F::event(hoursAgo(12), QStringLiteral("Arrived at post office"), 10,
                                                          QStringLiteral("Portland, OR, US"))}),
                        21051);
    server.setTrackInfo(
        QStringLiteral("JD014600006281230571"),
        F::trackInfo(50,
                     QJsonArray {F::event(hoursAgo(5), QStringLiteral("Delivered"), 50, QStringLiteral("Berlin, DE")),
                                 F::event(hoursAgo(26), QStringLiteral("With delivery courier"), 40,
                                          QStringLiteral("Berlin, DE"))}),
        100001);
    server.setExpectedToken("demo-key");
}
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Fake17TrackServer server;
    if (!server.listen()) {
        QTextStream(stderr) << "fake17track-server: could not listen on 127.0.0.1\n";
        return 1;
    }
    script(server);
    QObject::connect(&server, &Fake17TrackServer::requestReceived, &app, [&server] {
        const auto request = server.requests().constLast();
        QTextStream(stderr) << "fake17track-server: " << request.endpoint << ' ' << QString::fromUtf8(request.body)
                            << '\n';
    });
    std::signal(SIGTERM, [](int) { QCoreApplication::quit(); });
    std::signal(SIGINT, [](int) { QCoreApplication::quit(); });
    QTextStream(stdout) << server.baseUrl() << Qt::endl;
    return app.exec();
}
