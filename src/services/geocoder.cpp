#include "services/geocoder.h"

#include "base/clock.h"
#include "base/endpoints.h"
#include "base/logmanager.h"
#include "services/maphttp.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrlQuery>
#include <qcoro/qcoronetworkreply.h>
#include <qcoro/qcorosignal.h>

#include <cmath>
#include <memory>

namespace
{
constexpr qint64 maxAnswerBytes = 1024 * 1024;

using Outcome = Result<GeocodeAnswer, GeocodeError>;

Outcome failure(GeocodeError::Kind kind, const QString &message)
{
    return Outcome::failure(GeocodeError {kind, message});
}

std::optional<double> number(const QJsonValue &value)
{
    // Nominatim writes coordinates as strings; accept numbers too.
    bool ok = value.isDouble();
    double parsed = value.toDouble();
    if (value.isString())
        parsed = value.toString().toDouble(&ok);
    if (!ok || !std::isfinite(parsed))
        return std::nullopt;
    return parsed;
}

bool openCache(QSqlDatabase &db)
{
    if (!db.open())
        return false;
    QSqlQuery query(db);
    // WAL keeps the file whole when the process is killed in the middle of a write.
    return query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        && query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS places (key TEXT PRIMARY KEY NOT NULL, "
                                     "latitude REAL, longitude REAL, saved_at INTEGER NOT NULL)"));
}
}

Geocoder::Geocoder(QNetworkAccessManager *network, Clock *clock, const QString &cacheDirectory, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_clock(clock)
    , m_baseUrl(Endpoints::geocoderUrl())
    , m_connectionName(QStringLiteral("kestrove-geocoder-%1").arg(quintptr(this), 0, 16))
    , m_cacheDirectory(cacheDirectory)
{ }

// Read on the first look-up, not at construction: the application builds its geocoder at start-up,
// and most starts never show a map.
const QHash<QString, std::optional<GeoCoordinate>> &Geocoder::places() const
{
    if (!m_cacheLoaded) {
        m_cacheLoaded = true;
        loadCache();
    }
    return m_cache;
}

void Geocoder::loadCache() const
{
    QDir().mkpath(m_cacheDirectory);
    const QString path = QDir(m_cacheDirectory).filePath(QStringLiteral("geocoder.sqlite"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(path);
    if (!openCache(db)) {
        // A damaged cache is worth nothing: start a new one rather than ask every place again each time.
        LogManager::log(QStringLiteral("Geocoder cache unreadable, starting a new one: ") + db.lastError().text());
        db.close();
        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(path + suffix);
        if (!openCache(db)) {
            LogManager::log(QStringLiteral("Geocoder cache unavailable, answers are kept in memory only: ")
                            + db.lastError().text());
            return;
        }
    }
    QSqlQuery rows(db);
    if (!rows.exec(QStringLiteral("SELECT key, latitude, longitude FROM places")))
        return;
    while (rows.next()) {
        std::optional<GeoCoordinate> coordinate;
        if (!rows.value(1).isNull() && !rows.value(2).isNull())
            coordinate = GeoCoordinate {rows.value(1).toDouble(), rows.value(2).toDouble()};
        m_cache.insert(rows.value(0).toString(), coordinate);
    }
}

Geocoder::~Geocoder()
{
    if (!m_cacheLoaded)
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connectionName);
}

QString Geocoder::defaultCacheDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/com.kestrove.app");
}

std::optional<std::optional<GeoCoordinate>> Geocoder::cached(const QString &placeText) const
{
    const auto hit = places().constFind(LocationRules::placeKey(placeText));
    if (hit == places().constEnd())
        return std::nullopt;
    return *hit;
}

bool Geocoder::failedRecently(const QString &key) const
{
    const auto failed = m_failedAt.constFind(key);
    return failed != m_failedAt.constEnd() && failed->secsTo(m_clock->now()) < restAfterFailure.count();
}

Outcome Geocoder::fail(const QString &key, GeocodeError::Kind kind, const QString &message)
{
    m_failedAt.insert(key, m_clock->now());
    return failure(kind, message);
}

bool Geocoder::resting() const
{
    return m_restUntil.isValid() && m_clock->now() < m_restUntil;
}

QCoro::Task<Outcome> Geocoder::geocode(QString placeText)
{
    const QString key = LocationRules::placeKey(placeText);
    if (key.isEmpty() || key.size() > LocationRules::maxPlaceLength)
        co_return failure(GeocodeError::Kind::invalidPlace, QStringLiteral("Not a place name."));
    if (const auto hit = places().constFind(key); hit != places().constEnd())
        co_return GeocodeAnswer {*hit, false};
    if (failedRecently(key))
        co_return failure(GeocodeError::Kind::unavailable, QStringLiteral("This place failed less than a minute ago."));

    QPointer<Geocoder> self(this);
    while (m_busy) {
        co_await qCoro(this, &Geocoder::slotReleased);
        if (!self)
            co_return failure(GeocodeError::Kind::unavailable, QStringLiteral("The geocoder was closed."));
    }
    m_busy = true;
    Outcome outcome = co_await request(placeText);
    if (self) {
        m_busy = false;
        // Handed over on the next turn of the event loop, so a long queue never nests resumptions.
        QMetaObject::invokeMethod(this, &Geocoder::slotReleased, Qt::QueuedConnection);
    }
    co_return outcome;
}

QCoro::Task<Outcome> Geocoder::request(QString placeText)
{
    QPointer<Geocoder> self(this);
    const QString key = LocationRules::placeKey(placeText);
    if (m_lastRequestStart.isValid()) {
        const qint64 elapsed = m_lastRequestStart.msecsTo(m_clock->now());
        if (elapsed < requestSpacing.count()) {
            // A clock set back must not stall requests for longer than one spacing.
            const auto wait
                = std::chrono::milliseconds(std::min<qint64>(requestSpacing.count(), requestSpacing.count() - elapsed));
            co_await m_clock->sleep(wait);
            if (!self)
                co_return failure(GeocodeError::Kind::unavailable, QStringLiteral("The geocoder was closed."));
        }
    }
    // Another map may have asked for this place while this one waited.
    if (const auto hit = places().constFind(key); hit != places().constEnd())
        co_return GeocodeAnswer {*hit, false};
    if (resting())
        co_return failure(GeocodeError::Kind::unavailable, QStringLiteral("The geocoder is resting after a failure."));

    QUrl url = m_baseUrl;
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    url.setPath(path + QStringLiteral("search"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("q"), placeText);
    query.addQueryItem(QStringLiteral("format"), QStringLiteral("jsonv2"));
    query.addQueryItem(QStringLiteral("limit"), QStringLiteral("1"));
    url.setQuery(query);

    m_lastRequestStart = m_clock->now();
    ++m_requestCount;
    QNetworkReply *reply = m_network->get(MapHttp::request(url, m_transferTimeout));
    co_await qCoro(reply).waitForFinished();
    const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> cleanup(reply,
                                                                            [](QNetworkReply *r) { r->deleteLater(); });
    if (!self)
        co_return failure(GeocodeError::Kind::unavailable, QStringLiteral("The geocoder was closed."));

    const MapHttp::Status status = MapHttp::status(*reply);
    if (status.serviceTrouble) {
        m_restUntil = m_clock->now().addSecs(std::max<qint64>(restAfterFailure.count(), status.retryAfterSeconds));
        LogManager::log(QStringLiteral("Geocoder unavailable, resting for a minute: ") + status.message);
        co_return fail(key, GeocodeError::Kind::unavailable, status.message);
    }
    const QJsonDocument document = QJsonDocument::fromJson(reply->read(maxAnswerBytes));
    if (!status.ok || !document.isArray())
        co_return fail(key, GeocodeError::Kind::badAnswer,
                       QStringLiteral("The geocoder's answer is no list of places."));
    const QJsonArray places = document.array();
    if (places.isEmpty()) {
        store(key, std::nullopt);
        co_return GeocodeAnswer {std::nullopt, true};
    }
    const QJsonObject first = places.first().toObject();
    const auto latitude = number(first.value(QStringLiteral("lat")));
    const auto longitude = number(first.value(QStringLiteral("lon")));
    if (!latitude || !longitude || std::abs(*latitude) > 90 || std::abs(*longitude) > 180)
        co_return fail(key, GeocodeError::Kind::badAnswer, QStringLiteral("The geocoder's place has no coordinate."));
    const GeoCoordinate coordinate {*latitude, *longitude};
    store(key, coordinate);
    co_return GeocodeAnswer {coordinate, true};
}

void Geocoder::store(const QString &key, const std::optional<GeoCoordinate> &coordinate)
{
    (void)places(); // the file is open before the first answer goes in
    m_cache.insert(key, coordinate);
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    if (!db.isOpen())
        return;
    QSqlQuery query(db);
    query.prepare(
        QStringLiteral("INSERT OR REPLACE INTO places (key, latitude, longitude, saved_at) VALUES (?, ?, ?, ?)"));
    query.addBindValue(key);
    query.addBindValue(coordinate ? QVariant(coordinate->latitude) : QVariant(QMetaType(QMetaType::Double)));
    query.addBindValue(coordinate ? QVariant(coordinate->longitude) : QVariant(QMetaType(QMetaType::Double)));
    query.addBindValue(m_clock->now().toSecsSinceEpoch());
    if (!query.exec())
        LogManager::log(QStringLiteral("Geocoder cache write failed: ") + query.lastError().text());
}
