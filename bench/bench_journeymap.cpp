// The journey map of a package with 200 events in 60 distinct places.
//
//   bench_journeymap
//
// Run it in a private home on the offscreen platform (scripts/run-benchmarks.sh does both).
// A fake geocoder and tile server run in the process; a first, cold showing fills the caches.
// Prints:
//   first draw  - from building the map section (new geocoder and tile services reading the warm
//                 disk caches, as after a restart) to the first painted map with all 60 places;
//   tile cache  - memory held by decoded tiles after panning from Lisbon to Moscow at zoom 6,
//                 with the number of tiles downloaded on the way.

#include "base/clock.h"
#include "fakemapservers.h"
#include "model/package.h"
#include "services/geocoder.h"
#include "services/maptileservice.h"
#include "ui/mapcanvas.h"
#include "ui/packagemapsection.h"
#include "ui/packagemapview.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

namespace
{
/** Time that moves only by what is slept, at once: the geocoder's one-per-second pacing costs nothing here. */
class InstantClock final : public Clock
{
public:
    [[nodiscard]] QDateTime now() const override { return m_now; }
    QCoro::Task<> sleep(std::chrono::milliseconds duration) override
    {
        m_now = m_now.addMSecs(std::max<qint64>(0, duration.count()));
        co_return;
    }

private:
    QDateTime m_now = QDateTime::currentDateTime();
};

std::unique_ptr<Package> journeyPackage()
{
    auto package = std::make_unique<Package>(QStringLiteral("BENCH200"), QStringLiteral("usps"));
    const QList<FakeMapServers::Place> &places = FakeMapServers::cities();
    const QDateTime start(QDate(2026, 5, 1), QTime(8, 0));
    for (int i = 0; i < 200; ++i) {
        package->appendEvent(std::make_unique<TrackingEvent>(start.addSecs(i * 1800), TrackingStatus::inTransit,
                                                             QStringLiteral("Processed"),
                                                             places.at(i % places.size()).name));
    }
    return package;
}

struct Services {
    std::unique_ptr<Geocoder> geocoder;
    std::unique_ptr<MapTileService> tiles;
};

Services services(QNetworkAccessManager &network, Clock &clock, const QString &cache,
                  const FakeMapServers::CityMap &map)
{
    Services s {std::make_unique<Geocoder>(&network, &clock, cache),
                std::make_unique<MapTileService>(&network, &clock, cache)};
    map.serve(*s.geocoder, *s.tiles);
    return s;
}

bool settled(const PackageMapSection &section, const MapTileService &tiles)
{
    return !section.journey()->isGeocoding() && section.journey()->geocodedEvents().size() == 200
        && tiles.downloadsInFlight() == 0;
}
}

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir cache;
    FakeMapServers::CityMap map;
    if (!map.start())
        return 1;
    QNetworkAccessManager network;
    InstantClock clock;
    const auto package = journeyPackage();

    {
        // Cold: fills the geocoder's and the tiles' disk caches.
        Services cold = services(network, clock, cache.path(), map);
        PackageMapSection section(package.get(), {cold.geocoder.get(), cold.tiles.get(), &clock});
        section.resize(900, 320);
        section.show();
        if (!QTest::qWaitFor([&] { return settled(section, *cold.tiles); }, 60000))
            return 1;
        QTest::qWait(200);
    }

    const qsizetype geocoderRequests = map.geocoder.requests().size();
    QElapsedTimer timer;
    timer.start();
    Services warm = services(network, clock, cache.path(), map);
    auto section = std::make_unique<PackageMapSection>(
        package.get(), JourneyMapServices {warm.geocoder.get(), warm.tiles.get(), &clock});
    section->resize(900, 320);
    section->show();
    if (!QTest::qWaitFor([&] { return section->mapView()->canvas()->markers().size() == 200; }, 10000))
        return 1;
    (void)section->mapView()->canvas()->grab();
    const qint64 firstDraw = timer.elapsed();
    std::printf(
        "first draw, warm cache, 200 events in 60 places: %lld ms (%lld geocoder requests, %d tile downloads)\n",
        static_cast<long long>(firstDraw), static_cast<long long>(map.geocoder.requests().size() - geocoderRequests),
        warm.tiles->downloadCount());

    MapCanvas *canvas = section->mapView()->canvas();
    canvas->setZoom(6);
    const GeoCoordinate lisbon {38.72, -9.14};
    const GeoCoordinate moscow {55.76, 37.62};
    constexpr int steps = 60;
    for (int i = 0; i <= steps; ++i) {
        const double t = double(i) / steps;
        canvas->setCenter({lisbon.latitude + t * (moscow.latitude - lisbon.latitude),
                           lisbon.longitude + t * (moscow.longitude - lisbon.longitude)});
        (void)canvas->grab();
        (void)QTest::qWaitFor([&] { return warm.tiles->downloadsInFlight() == 0; }, 5000);
    }
    std::printf("tile cache after panning Lisbon to Moscow at zoom 6: %.1f MiB in memory, %d tiles downloaded\n",
                double(warm.tiles->memoryBytes()) / (1024.0 * 1024.0), warm.tiles->downloadCount());
    return 0;
}
