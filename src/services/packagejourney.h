#pragma once

#include "services/locationrules.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <qcoro/qcorotask.h>

#include <chrono>

class Clock;
class Geocoder;
class MapTileService;
class Package;

/** The application-wide services every journey map uses (one rate limit, one set of caches). Not owned. */
struct JourneyMapServices {
    Geocoder *geocoder = nullptr;
    MapTileService *tiles = nullptr;
    Clock *clock = nullptr;
};

/**
 * Where a package has been: finds a place text for each event, looks the places up one at a
 * time (each distinct place once per run), writes the coordinates onto the events, saves them,
 * and picks the first camera. A map panel owns one and calls reload() when it is shown; the
 * journey reloads by itself whenever the package gets new events or a new update time.
 * A run that a newer one replaced (another package, a reload) stops at its next step and
 * changes nothing from then on, so late answers never overwrite the newer run's pins.
 */
class PackageJourney : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds pauseAfterRequest {200};

    PackageJourney(Package *package, Geocoder *geocoder, Clock *clock, QObject *parent = nullptr);
    ~PackageJourney() override;

    [[nodiscard]] Package *package() const;
    /** Shows another package: the running run is abandoned and, once reloaded, a new one starts. */
    void setPackage(Package *package);

    /** Clears the pins and the events' coordinates and geocodes the package's events again. */
    void reload();

    /** Pins of the current run so far (all of them once it ended), oldest event first. */
    [[nodiscard]] const QList<GeocodedEvent> &geocodedEvents() const { return m_geocodedEvents; }
    /** True while a run with at least one place to look up goes on. */
    [[nodiscard]] bool isGeocoding() const { return m_isGeocoding; }
    /** The camera chosen at the end of the last run; automatic before. */
    [[nodiscard]] CameraPosition mapPosition() const { return m_mapPosition; }
    /** Events that have a place text to look up, in the current run. */
    [[nodiscard]] int candidateCount() const { return m_candidateCount; }
    /** Places looked up so far in the current run, placed or not. */
    [[nodiscard]] int lookedUpCount() const { return m_lookedUpCount; }
    /** True when at least one event of the package names a location (the map section is shown). */
    [[nodiscard]] static bool hasLocations(const Package &package);
    /** Tracking number + "-" + a counter that grows when the package's update time or event count changes. */
    [[nodiscard]] QString loadingKey() const;

Q_SIGNALS:
    /** Pins, progress, the camera or isGeocoding changed. */
    void stateChanged();
    /** A run ended (not emitted for abandoned runs). */
    void finished();

private:
    void watch(Package *package);
    void onPackageChanged();
    QCoro::Task<> geocodeEvents(quint64 run);
    [[nodiscard]] bool isCurrent(quint64 run) const;

    QPointer<Package> m_package;
    Geocoder *m_geocoder;
    Clock *m_clock;
    QList<GeocodedEvent> m_geocodedEvents;
    CameraPosition m_mapPosition;
    bool m_isGeocoding = false;
    bool m_loaded = false;
    int m_candidateCount = 0;
    int m_lookedUpCount = 0;
    quint64 m_run = 0;
    int m_refreshToken = 0;
    QDateTime m_seenLastUpdated;
    qsizetype m_seenEventCount = 0;
};
