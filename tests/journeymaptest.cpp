#include "fakemapservers.h"
#include "model/modelcontext.h"
#include "model/package.h"
#include "services/geocoder.h"
#include "services/mapprojection.h"
#include "services/maptileservice.h"
#include "testmain.h"
#include "ui/journeywindow.h"
#include "ui/mapcanvas.h"
#include "ui/packagemapsection.h"
#include "ui/packagemapview.h"
#include "virtualclock.h"

#include <QLabel>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <memory>

using Reply = Fake17TrackServer::Reply;
using namespace std::chrono_literals;

class JourneyMapTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<QNetworkAccessManager> m_network;
    std::unique_ptr<Fake17TrackServer> m_server;
    QObject m_view; // the "view" whose wish list the tile tests set

    std::unique_ptr<MapTileService> tileService()
    {
        auto service = std::make_unique<MapTileService>(m_network.get(), m_clock.get(), m_dir->path());
        service->setUrlTemplate(FakeMapServers::tileUrlTemplate(*m_server));
        service->setTransferTimeout(300ms);
        return service;
    }

    static QList<TileId> someTiles(int count)
    {
        QList<TileId> tiles;
        for (int i = 0; i < count; ++i)
            tiles.append({3, i, 2});
        return tiles;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_clock = std::make_unique<VirtualClock>();
        m_network = std::make_unique<QNetworkAccessManager>();
        m_server = std::make_unique<Fake17TrackServer>(m_clock.get());
        QVERIFY(m_server->listen());
    }

    void tilesHonourExpiryAndKeepAWeek_data()
    {
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<int>("daysLater");
        QTest::addColumn<bool>("fetchedAgain");
        const QByteArray inTwentyDays = QDateTime(QDate(2026, 7, 5), QTime(12, 0), Qt::UTC)
                                            .toString(Qt::RFC2822Date)
                                            .toLatin1()
                                            .replace("+0000", "GMT");
        QTest::newRow("short max-age still kept six days")
            << QByteArray("Cache-Control") << QByteArray("max-age=60") << 6 << false;
        QTest::newRow("short max-age stale after eight days")
            << QByteArray("Cache-Control") << QByteArray("max-age=60") << 8 << true;
        QTest::newRow("long max-age honoured")
            << QByteArray("Cache-Control") << QByteArray("public, max-age=2592000") << 20 << false;
        QTest::newRow("Expires header honoured") << QByteArray("Expires") << inTwentyDays << 19 << false;
        QTest::newRow("Expires header passed") << QByteArray("Expires") << inTwentyDays << 21 << true;
    }

    void tilesHonourExpiryAndKeepAWeek()
    {
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, value);
        QFETCH(int, daysLater);
        QFETCH(bool, fetchedAgain);
        FakeMapServers::serveTiles(*m_server, {{header, value}, {"ETag", "\"v1\""}},
                                   [this](int, int, int) -> std::optional<Reply> {
                                       if (m_server->requests().constLast().header("if-none-match") == "\"v1\"")
                                           return Reply::raw({}, 304);
                                       return std::nullopt;
                                   });
        auto first = tileService();
        QSignalSpy ready(first.get(), &MapTileService::tileReady);
        first->setWantedTiles(&m_view, someTiles(3));
        QTRY_COMPARE(ready.size(), 3);
        QCOMPARE(first->tile({3, 1, 2}).size(), QSize(256, 256));

        // After a restart the disk answers; later the server is asked again only once the tile expired.
        first.reset();
        auto second = tileService();
        QVERIFY(!second->tile({3, 1, 2}).isNull());
        m_clock->advance(std::chrono::days(daysLater));
        second->setWantedTiles(&m_view, someTiles(3));
        if (!fetchedAgain) {
            QTest::qWait(100);
            QCOMPARE(m_server->requests().size(), 3);
        } else {
            QTRY_COMPARE(m_server->requests().size(), 6);
            QTRY_COMPARE(second->downloadsInFlight(), 0);
            QCOMPARE(m_server->requests().constLast().header("if-none-match"), QByteArray("\"v1\""));
            second->setWantedTiles(&m_view, someTiles(3)); // the 304 renewed them
            QTest::qWait(50);
            QCOMPARE(m_server->requests().size(), 6);
            QVERIFY(!second->tile({3, 1, 2}).isNull());
        }
    }

    void badTilesAndOfflineNeverStallTheMap()
    {
        FakeMapServers::serveTiles(*m_server, {}, [](int, int x, int) -> std::optional<Reply> {
            if (x == 0)
                return Reply::httpStatus(404);
            if (x == 1)
                return Reply::raw("<html>not a picture</html>");
            return Reply::neverAnswer();
        });
        auto service = tileService();
        service->setWantedTiles(&m_view, someTiles(6));
        QTRY_COMPARE(m_server->requests().size(), 4);
        QTest::qWait(100); // two at a time: the other two silent tiles wait their turn
        QCOMPARE(m_server->requests().size(), 4);
        QCOMPARE(service->downloadsInFlight(), 2);
        QVERIFY(service->tile({3, 0, 2}).isNull() && service->tile({3, 1, 2}).isNull());

        // The silent server times out: nothing more is asked, and nothing again, for a minute.
        QTRY_COMPARE(service->downloadsInFlight(), 0);
        service->setWantedTiles(&m_view, someTiles(6));
        QTest::qWait(400);
        QCOMPARE(m_server->requests().size(), 4);
        m_clock->advance(61s);
        QTRY_VERIFY(m_server->requests().size() > 4);
    }

    void keysWheelAndDragMoveTheMap_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("zoomChange");
        QTest::addColumn<int>("eastward"); // sign of the change of the centre's longitude
        QTest::addColumn<int>("northward");
        QTest::newRow("plus key zooms in") << "+" << 1 << 0 << 0;
        QTest::newRow("equals key zooms in") << "=" << 1 << 0 << 0;
        QTest::newRow("minus key zooms out") << "-" << -1 << 0 << 0;
        QTest::newRow("wheel up two notches") << "wheel+240" << 2 << 0 << 0;
        QTest::newRow("wheel half notches add up") << "wheel-60,-60" << -1 << 0 << 0;
        QTest::newRow("left arrow pans west") << "left" << 0 << -1 << 0;
        QTest::newRow("up arrow pans north") << "up" << 0 << 0 << 1;
        QTest::newRow("dragging right pans west") << "drag" << 0 << -1 << 0;
        QTest::newRow("zoom-out button") << "button-" << -1 << 0 << 0;
    }

    void keysWheelAndDragMoveTheMap()
    {
        QFETCH(QString, action);
        QFETCH(int, zoomChange);
        QFETCH(int, eastward);
        QFETCH(int, northward);
        FakeMapServers::serveTiles(*m_server);
        auto tiles = tileService();
        MapCanvas canvas(tiles.get());
        canvas.resize(400, 300);
        canvas.show();
        QVERIFY(QTest::qWaitForWindowExposed(&canvas));
        canvas.setCenter({40.0, -74.0});
        canvas.setZoom(6);
        const QPoint pointer(300, 80);
        const auto coordinateAt = [&](QPoint p) {
            const QPointF world
                = MapProjection::project(canvas.center(), canvas.zoom()) + QPointF(p) - QPointF(200, 150);
            return MapProjection::unproject(world, canvas.zoom());
        };
        const GeoCoordinate underPointer = coordinateAt(pointer);

        if (action.startsWith(QLatin1String("wheel"))) {
            for (const QString &delta : action.mid(5).split(QLatin1Char(','))) {
                QWheelEvent wheel(pointer, canvas.mapToGlobal(pointer), {}, {0, delta.toInt()}, Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(&canvas, &wheel);
            }
        } else if (action == QLatin1String("drag")) {
            QTest::mousePress(&canvas, Qt::LeftButton, {}, {100, 100});
            QTest::mouseMove(&canvas, {150, 100});
            QTest::mouseMove(&canvas, {200, 100});
            QTest::mouseRelease(&canvas, Qt::LeftButton, {}, {200, 100});
        } else if (action == QLatin1String("button-")) {
            canvas.findChild<QToolButton *>(QStringLiteral("zoomOutButton"))->click();
        } else if (action == QLatin1String("left") || action == QLatin1String("up")) {
            QTest::keyClick(&canvas, action == QLatin1String("left") ? Qt::Key_Left : Qt::Key_Up);
        } else {
            QTest::keyClicks(&canvas, action);
        }

        QCOMPARE(canvas.zoom(), 6 + zoomChange);
        const auto sign = [](double d) { return qAbs(d) < 1e-9 ? 0 : d > 0 ? 1 : -1; };
        if (zoomChange == 0) {
            QCOMPARE(sign(canvas.center().longitude + 74.0), eastward);
            QCOMPARE(sign(canvas.center().latitude - 40.0), northward);
        }
        if (action.startsWith(QLatin1String("wheel"))) { // the place under the pointer stays there
            QVERIFY(qAbs(coordinateAt(pointer).latitude - underPointer.latitude) < 1e-6);
            QVERIFY(qAbs(coordinateAt(pointer).longitude - underPointer.longitude) < 1e-6);
        }
    }

    void sectionShowsStatesAndOpensTheWindow()
    {
        FakeMapServers::serveGeocoder(*m_server, FakeMapServers::cities());
        m_clock->setAutoAdvance(true);
        QNetworkAccessManager tileNetwork;
        MapTileService tiles(&tileNetwork, m_clock.get(), m_dir->path());
        tiles.setUrlTemplate(QStringLiteral("http://127.0.0.1:9/{z}/{x}/{y}.png")); // nothing listens: offline
        Geocoder geocoder(m_network.get(), m_clock.get(), m_dir->path());
        geocoder.setBaseUrl(FakeMapServers::rootUrl(*m_server));
        const JourneyMapServices services {&geocoder, &tiles, m_clock.get()};

        const auto event = [](int hour, const QString &location) {
            return std::make_unique<TrackingEvent>(QDateTime(QDate(2026, 6, 1), QTime(hour, 0)),
                                                   TrackingStatus::inTransit, QStringLiteral("Scan"), location);
        };
        Package routed(QStringLiteral("9400111"), QStringLiteral("usps"), QStringLiteral("New boots"));
        routed.appendEvent(event(8, QStringLiteral("CHICAGO IL 60601")));
        routed.appendEvent(event(9, QStringLiteral("DENVER CO")));
        Package vague(QStringLiteral("LX123"), QStringLiteral("usps"));
        vague.appendEvent(event(8, QStringLiteral("CHINA")));
        Package bare(QStringLiteral("LX456"), QStringLiteral("usps"));
        bare.appendEvent(event(8, QString()));

        QWidget pane;
        auto *layout = new QVBoxLayout(&pane);
        auto *withRoute = new PackageMapSection(&routed, services, &pane);
        auto *withVague = new PackageMapSection(&vague, services, &pane);
        for (QWidget *section : {withRoute, withVague})
            layout->addWidget(section);
        pane.resize(600, 800);
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        // Made while the pane is on screen, as the detail pane makes it when the selection changes.
        auto *without = new PackageMapSection(&bare, services, &pane);
        layout->addWidget(without);
        QCoreApplication::processEvents();

        QVERIFY(without->isHidden());
        QCOMPARE(withRoute->mapView()->content(), PackageMapView::Content::loading);
        QTRY_COMPARE(withRoute->mapView()->canvas()->markers().size(), 2);
        QCOMPARE(withRoute->mapView()->content(), PackageMapView::Content::map);
        QVERIFY(withRoute->mapView()->height() >= 200);
        QCOMPARE(withRoute->mapView()->canvas()->markers().constLast().label, QStringLiteral("DENVER, CO, US"));
        QCOMPARE(withVague->mapView()->content(), PackageMapView::Content::noLocationData);

        // A first location makes the section appear.
        bare.appendEvent(event(9, QStringLiteral("BOSTON MA")));
        QVERIFY(!without->isHidden());

        QTest::mouseDClick(withRoute->mapView()->canvas(), Qt::LeftButton);
        QPointer<JourneyWindow> window = withRoute->journeyWindow();
        QVERIFY(window && window->isVisible());
        QCOMPARE(window->windowTitle(), QStringLiteral("Package Journey"));
        QCOMPARE(window->findChild<QLabel *>(QStringLiteral("journeySubtitle"))->text(), QStringLiteral("New boots"));
        QTRY_COMPARE(window->mapView()->content(), PackageMapView::Content::map);
        QVERIFY(QTest::qWaitForWindowActive(window));
        QTest::keyClick(window, Qt::Key_Escape);
        QTRY_VERIFY(!window);
    }
};

KESTROVE_GUI_TEST_MAIN(JourneyMapTest)
#include "journeymaptest.moc"
