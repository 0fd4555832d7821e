#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>

class TrackingEvent;

/** A point on the earth, in degrees. */
struct GeoCoordinate {
    double latitude = 0;
    double longitude = 0;

    friend bool operator==(const GeoCoordinate &, const GeoCoordinate &) = default;
};

/** One pin on the journey map: an event, where its place was found, and the place text that was looked up. */
struct GeocodedEvent {
    TrackingEvent *event = nullptr;
    GeoCoordinate coordinate;
    QString locationLabel;
};

/** A camera region: its centre and how many degrees of latitude and longitude it shows. */
struct CameraRegion {
    GeoCoordinate center;
    double latitudeDelta = 0;
    double longitudeDelta = 0;
};

/** The camera of a map; absent means automatic (the map frames what it shows by itself). */
using CameraPosition = std::optional<CameraRegion>;

/**
 * Turns the free-text locations of scan events into place names a geocoder can resolve,
 * and chooses the first camera of a journey map.
 */
namespace LocationRules
{
/** Longer place texts are not place names (pasted logs, garbled data) and are never looked up. */
inline constexpr qsizetype maxPlaceLength = 200;

/**
 * Removes facility phrases ("DISTRIBUTION CENTER", ...) and ZIP codes, folds white space and
 * control characters, trims commas, and rewrites "CITY ST" with a US state code as "CITY, ST, US".
 */
[[nodiscard]] QString cleanLocation(const QString &text);

/** Whether a place text is precise enough to look up: not a lone country, a three-letter code or one word. */
[[nodiscard]] bool isSpecificLocation(const QString &text);

/** A "City, ST" place named in an event description ("Departed from Chicago IL"), US states only. */
[[nodiscard]] std::optional<QString> extractLocation(const QString &description);

/** The place text to look up for an event: its cleaned location when specific, else one found in its description. */
[[nodiscard]] std::optional<QString> geocodeString(const TrackingEvent &event);

/** The cache key of a place text: lower case, trimmed, inner white space folded. */
[[nodiscard]] QString placeKey(const QString &placeText);

/**
 * The first camera for these pins: a regional route is framed by its bounding box; a long
 * route centres mostly on its newest half. No pins: automatic.
 */
[[nodiscard]] CameraPosition computeSmartCameraPosition(const QList<GeocodedEvent> &events);
}
