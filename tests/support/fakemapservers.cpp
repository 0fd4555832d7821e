#include "fakemapservers.h"

#include "services/geocoder.h"
#include "services/maptileservice.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QUrlQuery>

namespace FakeMapServers
{
const QList<Place> &cities()
{
    static const QList<Place> list = [] {
        const struct {
            const char *name;
            double latitude, longitude;
        } table[] = {
            {"Shenzhen, Guangdong, CN", 22.54, 114.06}, {"Guangzhou, Guangdong, CN", 23.13, 113.26},
            {"Hong Kong, HK, CN", 22.32, 114.17},       {"Shanghai, Shanghai, CN", 31.23, 121.47},
            {"Beijing, Beijing, CN", 39.90, 116.40},    {"Seoul, Seoul, KR", 37.57, 126.98},
            {"Tokyo, Tokyo, JP", 35.68, 139.69},        {"Osaka, Osaka, JP", 34.69, 135.50},
            {"Taipei, Taipei, TW", 25.03, 121.57},      {"Singapore, Central, SG", 1.35, 103.82},
            {"Bangkok, Bangkok, TH", 13.76, 100.50},    {"Dubai, Dubai, AE", 25.20, 55.27},
            {"Anchorage, AK, US", 61.22, -149.90},      {"Seattle, WA, US", 47.61, -122.33},
            {"Portland, OR, US", 45.52, -122.68},       {"San Francisco, CA, US", 37.77, -122.42},
            {"Los Angeles, CA, US", 34.05, -118.24},    {"San Diego, CA, US", 32.72, -117.16},
            {"Las Vegas, NV, US", 36.17, -115.14},      {"Phoenix, AZ, US", 33.45, -112.07},
            {"Salt Lake City, UT, US", 40.76, -111.89}, {"Denver, CO, US", 39.74, -104.99},
            {"Albuquerque, NM, US", 35.08, -106.65},    {"Dallas, TX, US", 32.78, -96.80},
            {"Houston, TX, US", 29.76, -95.37},         {"Austin, TX, US", 30.27, -97.74},
            {"Oklahoma City, OK, US", 35.47, -97.52},   {"Kansas City, MO, US", 39.10, -94.58},
            {"Omaha, NE, US", 41.26, -95.93},           {"Minneapolis, MN, US", 44.98, -93.27},
            {"Chicago, IL, US", 41.88, -87.63},         {"Milwaukee, WI, US", 43.04, -87.91},
            {"Indianapolis, IN, US", 39.77, -86.16},    {"Louisville, KY, US", 38.25, -85.76},
            {"Memphis, TN, US", 35.15, -90.05},         {"Nashville, TN, US", 36.16, -86.78},
            {"Atlanta, GA, US", 33.75, -84.39},         {"Jacksonville, FL, US", 30.33, -81.66},
            {"Miami, FL, US", 25.76, -80.19},           {"Charlotte, NC, US", 35.23, -80.84},
            {"Columbus, OH, US", 39.96, -83.00},        {"Detroit, MI, US", 42.33, -83.05},
            {"Pittsburgh, PA, US", 40.44, -79.99},      {"Philadelphia, PA, US", 39.95, -75.17},
            {"Newark, NJ, US", 40.74, -74.17},          {"New York, NY, US", 40.71, -74.01},
            {"Boston, MA, US", 42.36, -71.06},          {"Washington, DC, US", 38.91, -77.04},
            {"Baltimore, MD, US", 39.29, -76.61},       {"Richmond, VA, US", 37.54, -77.44},
            {"Toronto, ON, CA", 43.65, -79.38},         {"Montreal, QC, CA", 45.50, -73.57},
            {"Vancouver, BC, CA", 49.28, -123.12},      {"London, England, GB", 51.51, -0.13},
            {"Leipzig, Saxony, DE", 51.34, 12.37},      {"Frankfurt am Main, Hesse, DE", 50.11, 8.68},
            {"Paris, Ile-de-France, FR", 48.86, 2.35},  {"Amsterdam, North Holland, NL", 52.37, 4.90},
            {"Madrid, Madrid, ES", 40.42, -3.70},       {"Milan, Lombardy, IT", 45.46, 9.19},
        };
        QList<Place> places;
        for (const auto &row : table)
            places.append({QString::fromLatin1(row.name), {row.latitude, row.longitude}});
        return places;
    }();
    return list;
}

QString query(const Fake17TrackServer::Request &request)
{
    const QUrl url(QStringLiteral("http://x") + request.path);
    return QUrlQuery(url).queryItemValue(QStringLiteral("q"), QUrl::FullyDecoded);
}

QUrl rootUrl(const Fake17TrackServer &server)
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.port()));
}

namespace
{
// "Chicago, IL" and "CHICAGO, IL, US" name the same place, as they do for the real service.
QString lookupKey(const QString &name)
{
    QString key = name.toLower();
    if (key.endsWith(QLatin1String(", us")))
        key.chop(4);
    return key;
}
}

void serveGeocoder(Fake17TrackServer &server, const QList<Place> &places, GeocoderOverride override)
{
    QHash<QString, GeoCoordinate> byName;
    for (const Place &place : places)
        byName.insert(lookupKey(place.name), place.coordinate);
    server.setHandler(
        [byName, override](const Fake17TrackServer::Request &request) -> std::optional<Fake17TrackServer::Reply> {
            if (!request.path.startsWith(QLatin1String("/search?")))
                return Fake17TrackServer::Reply::httpStatus(404);
            const QString q = query(request);
            if (override) {
                if (auto reply = override(q))
                    return reply;
            }
            QJsonArray answer;
            if (const auto hit = byName.constFind(lookupKey(q)); hit != byName.constEnd()) {
                answer.append(QJsonObject {{QStringLiteral("lat"), QString::number(hit->latitude, 'f', 7)},
                                           {QStringLiteral("lon"), QString::number(hit->longitude, 'f', 7)},
                                           {QStringLiteral("display_name"), q}});
            }
            return Fake17TrackServer::Reply::raw(QJsonDocument(answer).toJson(QJsonDocument::Compact));
        });
}

QImage tileImage(int z, int x, int y)
{
    QImage image(256, 256, QImage::Format_RGB32);
    // Land and water in broad, stable patches, so a panned map visibly moves.
    const bool water = ((x * 7 + y * 13 + z) % 5) == 0;
    image.fill(water ? QColor(0xaa, 0xd3, 0xdf) : QColor(0xf2, 0xef, 0xe9));
    QPainter painter(&image);
    painter.setPen(QColor(0xd0, 0xcb, 0xc0));
    for (int i = 0; i < 256; i += 64) {
        painter.drawLine(i, 0, i, 255);
        painter.drawLine(0, i, 255, i);
    }
    painter.setPen(QColor(0xe8, 0x92, 0xa2));
    painter.drawLine(0, 128 + (x % 3) * 20, 255, 100 + (y % 4) * 30); // a "road"
    painter.setPen(QColor(0x99, 0x99, 0x99));
    painter.drawText(QRect(6, 4, 240, 20), Qt::AlignLeft, QStringLiteral("%1/%2/%3").arg(z).arg(x).arg(y));
    return image;
}

void serveTiles(Fake17TrackServer &server, QList<QPair<QByteArray, QByteArray>> headers, TileOverride override)
{
    server.setHandler([headers,
                       override](const Fake17TrackServer::Request &request) -> std::optional<Fake17TrackServer::Reply> {
        const QStringList parts = request.path.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (parts.size() != 4 || parts.at(0) != QLatin1String("tiles") || !parts.at(3).endsWith(QLatin1String(".png")))
            return Fake17TrackServer::Reply::httpStatus(404);
        const int z = parts.at(1).toInt();
        const int x = parts.at(2).toInt();
        const int y = parts.at(3).chopped(4).toInt();
        if (override) {
            if (auto reply = override(z, x, y))
                return reply;
        }
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        tileImage(z, x, y).save(&buffer, "PNG");
        Fake17TrackServer::Reply reply = Fake17TrackServer::Reply::raw(png);
        reply.withHeader("Content-Type", "image/png");
        for (const auto &[name, value] : headers)
            reply.withHeader(name, value);
        return reply;
    });
}

QString tileUrlTemplate(const Fake17TrackServer &server)
{
    return QStringLiteral("http://127.0.0.1:%1/tiles/{z}/{x}/{y}.png").arg(server.port());
}

bool CityMap::start()
{
    if (!geocoder.listen() || !tiles.listen())
        return false;
    serveGeocoder(geocoder, cities());
    serveTiles(tiles);
    return true;
}

void CityMap::serve(Geocoder &geocoderService, MapTileService &tileService) const
{
    geocoderService.setBaseUrl(rootUrl(geocoder));
    tileService.setUrlTemplate(tileUrlTemplate(tiles));
}
}
