#pragma once

#include <QByteArray>
#include <QCache>
#include <QDateTime>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>
#include <qcoro/qcorotask.h>

#include <chrono>

class Clock;
class QNetworkAccessManager;

/** One raster tile: zoom level and column and row at that level. */
struct TileId {
    int zoom = 0;
    int x = 0;
    int y = 0;

    friend bool operator==(const TileId &, const TileId &) = default;
};
size_t qHash(const TileId &tile, size_t seed = 0) noexcept;

/**
 * OpenStreetMap raster tiles for every map of the application: at most two downloads at a
 * time, a memory cache of decoded tiles in front of a disk cache that honours the tiles'
 * expiry headers and keeps each tile at least a week. Stale tiles are still shown while they
 * are fetched again, and with the network down the maps show whatever the caches hold; a
 * failed tile is not asked for again within a minute, and when the server is unreachable or
 * overloaded no tile is.
 */
class MapTileService : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxConcurrentDownloads = 2;
    static constexpr std::chrono::hours minimumKeep {7 * 24};
    static constexpr std::chrono::seconds retryAfterFailure {60};

    /** cacheDirectory gets a "tiles" folder; network and clock are not owned. */
    MapTileService(QNetworkAccessManager *network, Clock *clock, const QString &cacheDirectory,
                   QObject *parent = nullptr);
    ~MapTileService() override;

    /** The tile's image from memory or disk, fresh or stale; a null image when neither holds it. */
    [[nodiscard]] QImage tile(const TileId &tile);

    /**
     * The tiles a view shows now, most important first. Replaces that view's earlier list; tiles
     * that no view wants any more are not downloaded. The list is dropped when the view is destroyed.
     */
    void setWantedTiles(const QObject *view, const QList<TileId> &tiles);

    /** Address template with {z}, {x} and {y} (default: Endpoints::tileUrlTemplate()). */
    void setUrlTemplate(const QString &urlTemplate);
    void setTransferTimeout(std::chrono::milliseconds timeout) { m_transferTimeout = timeout; }
    /** The most bytes of decoded tiles kept in memory (default 64 MiB). */
    void setMemoryLimit(qint64 bytes) { m_memory.setMaxCost(bytes); }
    [[nodiscard]] qint64 memoryBytes() const { return m_memory.totalCost(); }
    /** Downloads started since construction. */
    [[nodiscard]] int downloadCount() const { return m_downloadCount; }
    [[nodiscard]] int downloadsInFlight() const { return int(m_inFlight.size()); }

Q_SIGNALS:
    /** A tile arrived or was confirmed fresh; views showing it repaint. */
    void tileReady(const TileId &tile);

private:
    struct Entry {
        QImage image;
        QDateTime expires;
        QByteArray etag;
        QByteArray lastModified;
    };

    [[nodiscard]] QString filePath(const TileId &tile, const char *suffix) const;
    Entry *load(const TileId &tile);
    void insert(const TileId &tile, Entry *entry);
    void writeMeta(const TileId &tile, const Entry &entry) const;
    [[nodiscard]] bool needsDownload(const TileId &tile);
    [[nodiscard]] bool resting() const;
    void rebuildQueue();
    void pump();
    QCoro::Task<> download(TileId tile);
    QCoro::Task<> wakeAfterRest(std::chrono::milliseconds wait);

    QNetworkAccessManager *m_network;
    Clock *m_clock;
    QString m_cacheDirectory;
    QString m_urlTemplate;
    std::chrono::milliseconds m_transferTimeout {20000};
    QCache<TileId, Entry> m_memory;
    QHash<const QObject *, QList<TileId>> m_wanted;
    QList<TileId> m_queue;
    QList<TileId> m_inFlight;
    QHash<TileId, QDateTime> m_failedAt;
    QDateTime m_restUntil;
    bool m_wakeScheduled = false;
    int m_downloadCount = 0;
};
