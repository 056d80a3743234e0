#pragma once

#include "platform/work_pool.h"
#include "viewer/online/online_tile_fetch.h"

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPoint>
#include <QSet>
#include <QString>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

class TileDiskCache;

// Where the background map comes from: the address template with {z}, {x}
// and {y}, and how the viewer introduces itself (User-Agent, and the map
// site's home page as Referer).
struct OnlineMapSource {
    QString AddressTemplate;
    QString UserAgent;
    QString HomePage;
    QStringList Subdomains;   // for {s}
    QStringList HeaderLines;  // a map source's own header fields
};

// Tiles of an online map for interactive viewing, fetched the way the tile
// servers' usage policies allow:
// - at most kConnections connections at once (one persistent connection
//   per worker, a waiting job on the pool);
// - only the tiles the caller wishes for now, most wanted first; a new wish
//   replaces the old one, and tiles no longer wished are not fetched;
// - through a disk cache under `cacheFolder` (one folder per address
//   template) that follows the server's caching headers (see FetchTile)
//   and never holds more than kDiskCacheLimitBytes;
// - a tile that fails is not asked for again for a minute.
// Decoded images are kept in memory up to a byte limit, least recently used
// going first. Disk and network work happen on the worker threads; the
// GUI thread never waits for either. Destroying the loader aborts transfers
// under way and returns within about a second.
class OnlineTileLoader : public QObject {
    Q_OBJECT
public:
    static constexpr int kConnections = 2;
    static constexpr qint64 kFailedRetrySeconds = 60;
    static constexpr qsizetype kDefaultMemoryLimitBytes = 64 * 1024 * 1024;
    static constexpr qint64 kDiskCacheLimitBytes = 256 * 1024 * 1024;

    OnlineTileLoader(OnlineMapSource source, QString cacheFolder, QObject* parent = nullptr);
    ~OnlineTileLoader() override;

    // The tiles wanted now, most wanted first (in view, then one ring around
    // it); replaces the last wish. Tiles off the map are never asked for.
    void SetWantedTiles(int zoom, const QList<QPoint>& tiles);

    enum class Status { Absent, Loading, Ready, Failed };
    Status TileStatus(int zoom, int x, int y) const;
    QImage TileImage(int zoom, int x, int y) const;  // null unless Ready

    // The time freshness and retries are judged by; set before the first wish.
    void SetClock(Clock now);
    void SetMemoryLimit(qsizetype bytes);
    // Set before the first wish.
    void SetDiskCacheLimit(qint64 bytes);

signals:
    // The tile became Ready or Failed; emitted on the loader's own thread.
    void TileArrived(int zoom, int x, int y);
    // After each fetched tile: how the last one went, empty `reason` when
    // it came. `unreachable`: the server gave no answer at all.
    void FetchReported(const QString& reason, bool unreachable);

private:
    void StartWorkers();
    void Work(const PoolJobContext& job);
    std::optional<TileAddress> WaitForTile(const PoolJobContext& job);
    void Finish(const PoolJobContext& job, const TileAddress& tile, const QImage& image,
        const TileFetchFailure& failure);

    const OnlineMapSource source_;
    const QString sourceFolder_;
    // Where earlier versions kept the sources, one folder too deep; removed
    // at the start, as nothing would ever trim it again.
    const QString earlierFolder_;
    qint64 diskCacheLimit_ = kDiskCacheLimitBytes;
    std::unique_ptr<TileDiskCache> diskCache_;  // shared by the workers, made with them
    Clock now_;
    std::vector<PoolJob> workers_;

    mutable std::mutex mutex_;
    std::condition_variable wishChanged_;
    std::deque<TileAddress> queue_;  // wished, not yet taken by a worker
    QSet<TileAddress> queued_;
    QSet<TileAddress> inFlight_;
    mutable QCache<TileAddress, QImage> images_;
    QHash<TileAddress, QDateTime> failedAt_;
};
