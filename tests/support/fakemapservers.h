#pragma once

#include "fake17trackserver.h"
#include "services/locationrules.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QString>
#include <QUrl>

#include <functional>

class Geocoder;
class MapTileService;
#include <optional>

/**
 * A Nominatim search endpoint and an OpenStreetMap-style tile server, each a real HTTP server
 * on 127.0.0.1 (Fake17TrackServer's, answering through a handler).
 */
namespace FakeMapServers
{
struct Place {
    QString name;
    GeoCoordinate coordinate;
};
/** Sixty cities on four continents, as "City, Region" place texts a carrier might write. */
const QList<Place> &cities();

/** Answers an exceptional query (429, garbage, silence...) instead of the place table. */
using GeocoderOverride = std::function<std::optional<Fake17TrackServer::Reply>(const QString &query)>;
/** "/search?q=...&format=jsonv2&limit=1" answered from the table (keys compared in lower case), else []. */
void serveGeocoder(Fake17TrackServer &server, const QList<Place> &places, GeocoderOverride override = {});
/** The "q" parameter of a geocoder request. */
[[nodiscard]] QString query(const Fake17TrackServer::Request &request);
/** "http://127.0.0.1:PORT" */
[[nodiscard]] QUrl rootUrl(const Fake17TrackServer &server);

/** Answers "/tiles/{z}/{x}/{y}.png" with a drawn tile and these extra headers; other paths get 404. */
using TileOverride = std::function<std::optional<Fake17TrackServer::Reply>(int z, int x, int y)>;
void serveTiles(Fake17TrackServer &server, QList<QPair<QByteArray, QByteArray>> headers = {},
                TileOverride override = {});
[[nodiscard]] QString tileUrlTemplate(const Fake17TrackServer &server);
/** A recognisable drawn tile: paper colour, a graticule and its own address. */
[[nodiscard]] QImage tileImage(int z, int x, int y);

/** A geocoder that knows cities() and a tile server, both on 127.0.0.1: the map of the tools and benchmarks. */
struct CityMap {
    Fake17TrackServer geocoder;
    Fake17TrackServer tiles;
    /** Listens and starts answering; false when a port could not be had. */
    [[nodiscard]] bool start();
    /** Sends an application's geocoder and tile service to these two servers. */
    void serve(Geocoder &geocoderService, MapTileService &tileService) const;
};
}
