#include "services/maptileservice.h"

#include "base/clock.h"
#include "base/endpoints.h"
#include "services/maphttp.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimer>
#include <qcoro/qcoronetworkreply.h>

#include <memory>

namespace
{
constexpr qint64 maxTileBytes = 2 * 1024 * 1024;
constexpr qint64 defaultMemoryLimit = 64 * 1024 * 1024;

// When the server says a tile expires: max-age wins over Expires, as HTTP caches do.
QDateTime serverExpiry(const QNetworkReply &reply, const QDateTime &now)
{
    static const QRegularExpression maxAge(QStringLiteral("(?:^|[,\\s])max-age\\s*=\\s*(\\d+)"));
    const QRegularExpressionMatch match = maxAge.match(QString::fromLatin1(reply.rawHeader("Cache-Control")));
    if (match.hasMatch())
        return now.addSecs(std::min<qint64>(match.captured(1).toLongLong(), 10LL * 365 * 24 * 3600));
    // HTTP dates end in "GMT", which the RFC 2822 parser reads only as a numeric offset.
    QString expires = QString::fromLatin1(reply.rawHeader("Expires")).trimmed();
    if (expires.endsWith(QLatin1String(" GMT")))
        expires = expires.chopped(3) + QStringLiteral("+0000");
    return QDateTime::fromString(expires, Qt::RFC2822Date);
}

QDateTime keptUntil(const QNetworkReply &reply, const QDateTime &now)
{
    const QDateTime week = now.addSecs(std::chrono::seconds(MapTileService::minimumKeep).count());
    const QDateTime server = serverExpiry(reply, now);
    return server.isValid() && server > week ? server : week;
}
}

size_t qHash(const TileId &tile, size_t seed) noexcept
{
    return qHashMulti(seed, tile.zoom, tile.x, tile.y);
}

MapTileService::MapTileService(QNetworkAccessManager *network, Clock *clock, const QString &cacheDirectory,
                               QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_clock(clock)
    , m_memory(defaultMemoryLimit)
{
    m_cacheDirectory = cacheDirectory;
    setUrlTemplate(Endpoints::tileUrlTemplate());
}

MapTileService::~MapTileService() = default;

void MapTileService::setUrlTemplate(const QString &urlTemplate)
{
    m_urlTemplate = urlTemplate;
    m_memory.clear();
}

QString MapTileService::filePath(const TileId &tile, const char *suffix) const
{
    // Each tile server gets its own folder, so pointing Kestrove at another one never mixes their tiles.
    const QByteArray server
        = QCryptographicHash::hash(m_urlTemplate.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return m_cacheDirectory + QStringLiteral("/tiles/") + QString::fromLatin1(server) + QLatin1Char('/')
        + QString::number(tile.zoom) + QLatin1Char('/') + QString::number(tile.x) + QLatin1Char('/')
        + QString::number(tile.y) + QLatin1String(suffix);
}

void MapTileService::insert(const TileId &tile, Entry *entry)
{
    const qint64 cost = std::max<qint64>(1, entry->image.sizeInBytes());
    m_memory.insert(tile, entry, cost);
}

MapTileService::Entry *MapTileService::load(const TileId &tile)
{
    if (Entry *entry = m_memory.object(tile))
        return entry;
    QImage image(filePath(tile, ".png"));
    if (image.isNull())
        return nullptr;
    auto *entry = new Entry;
    entry->image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile meta(filePath(tile, ".json"));
    if (meta.open(QIODevice::ReadOnly)) {
        const QJsonObject object = QJsonDocument::fromJson(meta.read(4096)).object();
        entry->expires = QDateTime::fromSecsSinceEpoch(object.value(QStringLiteral("expires")).toInteger());
        entry->etag = object.value(QStringLiteral("etag")).toString().toLatin1();
        entry->lastModified = object.value(QStringLiteral("lastModified")).toString().toLatin1();
    }
    // Without its note (a kill between the two writes) the tile counts as stale: shown, and fetched again.
    insert(tile, entry);
    return m_memory.object(tile);
}

void MapTileService::writeMeta(const TileId &tile, const Entry &entry) const
{
    QSaveFile meta(filePath(tile, ".json"));
    if (!meta.open(QIODevice::WriteOnly))
        return;
    const QJsonObject object {{QStringLiteral("expires"), entry.expires.toSecsSinceEpoch()},
                              {QStringLiteral("etag"), QString::fromLatin1(entry.etag)},
                              {QStringLiteral("lastModified"), QString::fromLatin1(entry.lastModified)}};
    meta.write(QJsonDocument(object).toJson(QJsonDocument::Compact));
    meta.commit();
}

QImage MapTileService::tile(const TileId &tile)
{
    const Entry *entry = load(tile);
    return entry ? entry->image : QImage();
}

bool MapTileService::resting() const
{
    return m_restUntil.isValid() && m_clock->now() < m_restUntil;
}

bool MapTileService::needsDownload(const TileId &tile)
{
    if (m_inFlight.contains(tile) || m_queue.contains(tile))
        return false;
    const auto failed = m_failedAt.constFind(tile);
    if (failed != m_failedAt.constEnd() && failed->secsTo(m_clock->now()) < retryAfterFailure.count())
        return false;
    const Entry *entry = load(tile);
    return !entry || !entry->expires.isValid() || entry->expires <= m_clock->now();
}

void MapTileService::setWantedTiles(const QObject *view, const QList<TileId> &tiles)
{
    if (!m_wanted.contains(view)) {
        connect(view, &QObject::destroyed, this, [this, view] {
            m_wanted.remove(view);
            rebuildQueue();
        });
    }
    m_wanted.insert(view, tiles);
    rebuildQueue();
}

void MapTileService::rebuildQueue()
{
    m_queue.clear();
    for (const QList<TileId> &list : std::as_const(m_wanted)) {
        for (const TileId &tile : list) {
            if (needsDownload(tile))
                m_queue.append(tile);
        }
    }
    pump();
}

void MapTileService::pump()
{
    if (resting()) {
        if (!m_wakeScheduled) {
            m_wakeScheduled = true;
            (void)wakeAfterRest(std::chrono::milliseconds(m_clock->now().msecsTo(m_restUntil)));
        }
        return;
    }
    while (m_inFlight.size() < maxConcurrentDownloads && !m_queue.isEmpty()) {
        const TileId tile = m_queue.takeFirst();
        m_inFlight.append(tile);
        (void)download(tile);
    }
}

QCoro::Task<> MapTileService::wakeAfterRest(std::chrono::milliseconds wait)
{
    QPointer<MapTileService> self(this);
    co_await m_clock->sleep(wait);
    if (!self)
        co_return;
    m_wakeScheduled = false;
    // Ask again for what the views want now; each tile gets one more try.
    rebuildQueue();
}

QCoro::Task<> MapTileService::download(TileId tile)
{
    QPointer<MapTileService> self(this);
    QString address = m_urlTemplate;
    address.replace(QStringLiteral("{z}"), QString::number(tile.zoom))
        .replace(QStringLiteral("{x}"), QString::number(tile.x))
        .replace(QStringLiteral("{y}"), QString::number(tile.y));
    QNetworkRequest request = MapHttp::request(QUrl(address), m_transferTimeout);
    if (const Entry *stale = m_memory.object(tile)) {
        if (!stale->etag.isEmpty())
            request.setRawHeader("If-None-Match", stale->etag);
        if (!stale->lastModified.isEmpty())
            request.setRawHeader("If-Modified-Since", stale->lastModified);
    }
    ++m_downloadCount;
    QNetworkReply *reply = m_network->get(request);
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received, qint64 total) {
        if (received > maxTileBytes || total > maxTileBytes)
            QTimer::singleShot(0, reply, &QNetworkReply::abort);
    });
    co_await qCoro(reply).waitForFinished();
    const std::unique_ptr<QNetworkReply, void (*)(QNetworkReply *)> cleanup(reply,
                                                                            [](QNetworkReply *r) { r->deleteLater(); });
    if (!self)
        co_return;
    m_inFlight.removeOne(tile);

    const QDateTime now = m_clock->now();
    const MapHttp::Status status = MapHttp::status(*reply);
    if (status.httpStatus == 304) {
        if (Entry *entry = load(tile)) {
            entry->expires = keptUntil(*reply, now);
            writeMeta(tile, *entry);
            Q_EMIT tileReady(tile);
        }
    } else if (status.ok) {
        const QByteArray bytes = reply->read(maxTileBytes);
        QImage image;
        if (image.loadFromData(bytes)) {
            auto *entry = new Entry {image.convertToFormat(QImage::Format_ARGB32_Premultiplied), keptUntil(*reply, now),
                                     reply->rawHeader("ETag"), reply->rawHeader("Last-Modified")};
            QDir().mkpath(QFileInfo(filePath(tile, ".png")).absolutePath());
            QSaveFile file(filePath(tile, ".png"));
            if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
                writeMeta(tile, *entry);
            insert(tile, entry);
            m_failedAt.remove(tile);
            Q_EMIT tileReady(tile);
        } else {
            m_failedAt.insert(tile, now);
        }
    } else if (status.serviceTrouble) {
        m_restUntil = now.addSecs(std::max<qint64>(retryAfterFailure.count(), status.retryAfterSeconds));
        m_failedAt.insert(tile, now);
    } else {
        m_failedAt.insert(tile, now);
    }
    // Old failures are forgotten, so the table stays small however far the user pans.
    for (auto it = m_failedAt.begin(); it != m_failedAt.end();)
        it = it->secsTo(now) >= retryAfterFailure.count() ? m_failedAt.erase(it) : std::next(it);
    pump();
}
