#pragma once

#include "base/result.h"
#include "services/locationrules.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QUrl>
#include <qcoro/qcorotask.h>

#include <chrono>
#include <optional>

class Clock;
class QNetworkAccessManager;

/** Why a place could not be looked up this time (never cached; a later showing of the map asks again). */
struct GeocodeError {
    enum class Kind {
        unavailable, // network down, time-out, HTTP 429 or 5xx: the geocoder rests for a while
        badAnswer, // an answer that is no list of places
        invalidPlace, // empty or oversized place text, never sent
    };
    Kind kind = Kind::unavailable;
    QString message;
};

/** What the geocoder knows of a place: a coordinate, or that there is none. */
struct GeocodeAnswer {
    std::optional<GeoCoordinate> coordinate;
    /** True when this answer cost a request (false: it came from the cache). */
    bool requested = false;
};

/**
 * Forward geocoding over OpenStreetMap Nominatim. One instance serves the whole application,
 * so its limit holds across every open map: at most one request per second, one at a time.
 * Every answer, "no such place" included, is kept in an SQLite file for good, keyed by the
 * place's normalised text, so showing a map again or the same city on another package costs
 * no request. When the service is unreachable or asks us to slow down, it rests for a minute
 * and answers from the cache only; a place whose lookup failed is not asked again within a minute.
 */
class Geocoder : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds requestSpacing {1000};
    static constexpr std::chrono::seconds restAfterFailure {60};

    /** cacheDirectory holds "geocoder.sqlite"; it is created when missing. Network and clock are not owned. */
    Geocoder(QNetworkAccessManager *network, Clock *clock, const QString &cacheDirectory, QObject *parent = nullptr);
    ~Geocoder() override;

    /** The folder Kestrove keeps map caches in: the user cache folder + "/com.kestrove.app/". */
    [[nodiscard]] static QString defaultCacheDirectory();

    /** Looks a place text up: from the cache when known, else with one paced request. */
    QCoro::Task<Result<GeocodeAnswer, GeocodeError>> geocode(QString placeText);

    /** The cached answer for a place text, if any; never makes a request. */
    [[nodiscard]] std::optional<std::optional<GeoCoordinate>> cached(const QString &placeText) const;

    /** The root of the service (default: Endpoints::geocoderUrl()). */
    void setBaseUrl(const QUrl &url) { m_baseUrl = url; }
    /** How long one request may stay silent before it counts as failed (default 15 s). */
    void setTransferTimeout(std::chrono::milliseconds timeout) { m_transferTimeout = timeout; }
    /** Requests sent since construction. */
    [[nodiscard]] int requestCount() const { return m_requestCount; }

Q_SIGNALS:
    /** The request slot was handed back; one waiting caller may go. */
    void slotReleased();

private:
    QCoro::Task<Result<GeocodeAnswer, GeocodeError>> request(QString placeText);
    void store(const QString &key, const std::optional<GeoCoordinate> &coordinate);
    /** Every cached answer by place key; the cache file is opened and read on the first call. */
    [[nodiscard]] const QHash<QString, std::optional<GeoCoordinate>> &places() const;
    void loadCache() const;
    [[nodiscard]] bool resting() const;
    [[nodiscard]] bool failedRecently(const QString &key) const;
    Result<GeocodeAnswer, GeocodeError> fail(const QString &key, GeocodeError::Kind kind, const QString &message);

    QNetworkAccessManager *m_network;
    Clock *m_clock;
    QUrl m_baseUrl;
    QString m_connectionName;
    QString m_cacheDirectory;
    std::chrono::milliseconds m_transferTimeout {15000};
    mutable QHash<QString, std::optional<GeoCoordinate>> m_cache;
    mutable bool m_cacheLoaded = false;
    QHash<QString, QDateTime> m_failedAt;
    QDateTime m_lastRequestStart;
    QDateTime m_restUntil;
    bool m_busy = false;
    int m_requestCount = 0;
};
