// Shows the journey map section and the full-size journey window for a generated package,
// with a fake geocoder and tile server, and saves screenshots of both.
// Usage: journeymap-preview OUTPUT_DIR [--dark]
#include "base/clock.h"
#include "fakemapservers.h"
#include "model/package.h"
#include "services/geocoder.h"
#include "services/maptileservice.h"
#include "temporaryhome.h"
#include "testmain.h"
#include "ui/journeywindow.h"
#include "ui/mapcanvas.h"
#include "ui/packagemapsection.h"
#include "ui/packagemapview.h"

#include <QApplication>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QScreen>
#include <QStyleFactory>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char *argv[])
{
    TemporaryHome home;
    QApplication app(argc, argv);
    TestSupport::setApplicationIdentity();
    TestSupport::setUpIconTheme();
    const QString output = app.arguments().value(1, QStringLiteral("."));
    if (app.arguments().contains(QStringLiteral("--dark"))) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(TestSupport::darkPalette());
    }

    FakeMapServers::CityMap map;
    if (!map.start())
        return 1;
    QNetworkAccessManager network;
    RealClock clock;
    Geocoder geocoder(&network, &clock, Geocoder::defaultCacheDirectory());
    MapTileService tiles(&network, &clock, Geocoder::defaultCacheDirectory());
    map.serve(geocoder, tiles);

    Package package(QStringLiteral("9400111899223344556677"), QStringLiteral("usps"), QStringLiteral("New boots"),
                    TrackingStatus::outForDelivery);
    const QStringList route {QStringLiteral("DALLAS TX 75201"), QStringLiteral("OKLAHOMA CITY OK"),
                             QStringLiteral("KANSAS CITY MO NETWORK DISTRIBUTION CENTER"),
                             QStringLiteral("CHICAGO IL 60601")};
    const QDateTime start(QDate(2026, 6, 1), QTime(8, 0));
    for (qsizetype i = 0; i < route.size(); ++i) {
        const TrackingStatus status
            = i + 1 == route.size() ? TrackingStatus::outForDelivery : TrackingStatus::inTransit;
        package.appendEvent(
            std::make_unique<TrackingEvent>(start.addSecs(i * 20000), status, QStringLiteral("Scanned"), route.at(i)));
    }

    QWidget pane;
    pane.setWindowTitle(QStringLiteral("Detail pane"));
    auto *layout = new QVBoxLayout(&pane);
    layout->addWidget(new QLabel(QStringLiteral("(detail pane above the map)"), &pane));
    auto *section = new PackageMapSection(&package, {&geocoder, &tiles, &clock}, &pane);
    layout->addWidget(section);
    layout->addStretch();
    pane.resize(520, 380);
    pane.move(10, 10);
    pane.show();

    int step = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &app, [&] {
        ++step;
        if (step == 1) {
            pane.grab().save(output + QStringLiteral("/map-section-loading.png"));
        } else if (step == 10) {
            pane.grab().save(output + QStringLiteral("/map-section.png"));
            section->openJourneyWindow();
            section->journeyWindow()->resize(880, 580);
        } else if (step == 20) {
            section->journeyWindow()->grab().save(output + QStringLiteral("/journey-window.png"));
            if (QScreen *screen = QGuiApplication::primaryScreen())
                screen->grabWindow(0).save(output + QStringLiteral("/screen.png"));
            app.quit();
        }
    });
    timer.start(400);
    return app.exec();
}
