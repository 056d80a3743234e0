#include "viewer/online/online_tiles.h"

#include "download/http_client.h"
#include "task/map_type.h"
#include "viewer/online/tile_disk_cache.h"

#include <QCryptographicHash>
#include <QDir>

namespace {
constexpr int kMaxZoom = 30;

// Tiles of different servers never mix, even in one cache folder.
QString SourceFolder(const QString& cacheFolder, const QString& addressTemplate)
{
    const QByteArray digest = QCryptographicHash::hash(addressTemplate.toUtf8(), QCryptographicHash::Sha1);
    return cacheFolder + u'/' + QString::fromLatin1(digest.toHex().left(16));
}

// Tiles beyond the map's edge do not exist: asking for them would only earn 404s.
bool IsOnTheMap(int zoom, const QPoint& tile)
{
    if (zoom < 0 || zoom > kMaxZoom)
        return false;
    const int tilesPerSide = 1 << zoom;
    return tile.x() >= 0 && tile.y() >= 0 && tile.x() < tilesPerSide && tile.y() < tilesPerSide;
}

HttpClientSettings ViewerRequestSettings(const OnlineMapSource& source)
{
    HttpClientSettings settings;
    settings.Referer = source.HomePage;
    settings.UserAgent = source.UserAgent;
    settings.ExtraHeaderLines = source.HeaderLines;
    settings.ConnectTimeoutMs = 15000;
    settings.StallTimeoutMs = 20000;
    settings.MaxBodyBytes = 4 * 1024 * 1024;
    return settings;
}
}

OnlineTileLoader::OnlineTileLoader(OnlineMapSource source, QString cacheFolder, QObject* parent)
    : QObject(parent),
      source_(std::move(source)),
      sourceFolder_(SourceFolder(cacheFolder, source_.AddressTemplate)),
      earlierFolder_(cacheFolder + QStringLiteral("/online-tiles")),
      now_([] { return QDateTime::currentDateTimeUtc(); }),
      images_(kDefaultMemoryLimitBytes)
{
    // Done once per program; the workers that need it start later, on the first wish.
    InitializeHttp();
}

OnlineTileLoader::~OnlineTileLoader()
{
    {
        // Under the lock: a worker between its look at the wish and its wait sees it.
        std::lock_guard lock(mutex_);
        for (PoolJob& worker : workers_)
            worker.Cancel();
    }
    wishChanged_.notify_all();
    workers_.clear();
}

void OnlineTileLoader::SetClock(Clock now)
{
    std::lock_guard lock(mutex_);
    now_ = std::move(now);
}

void OnlineTileLoader::SetMemoryLimit(qsizetype bytes)
{
    std::lock_guard lock(mutex_);
    images_.setMaxCost(bytes);
}

void OnlineTileLoader::SetDiskCacheLimit(qint64 bytes)
{
    diskCacheLimit_ = bytes;
}

void OnlineTileLoader::SetWantedTiles(int zoom, const QList<QPoint>& tiles)
{
    {
        std::lock_guard lock(mutex_);
        const QDateTime now = now_();
        queue_.clear();
        queued_.clear();
        failedAt_.removeIf([&](const auto& failure) { return failure.value().secsTo(now) >= kFailedRetrySeconds; });
        for (const QPoint& point : tiles) {
            if (!IsOnTheMap(zoom, point))
                continue;
            const TileAddress tile{zoom, point.x(), point.y()};
            // Looking a wished image up keeps it from being the next to go.
            if (images_.object(tile) || inFlight_.contains(tile) || failedAt_.contains(tile)
                || queued_.contains(tile))
                continue;
            queue_.push_back(tile);
            queued_.insert(tile);
        }
    }
    wishChanged_.notify_all();
    if (workers_.empty())
        StartWorkers();
}

OnlineTileLoader::Status OnlineTileLoader::TileStatus(int zoom, int x, int y) const
{
    const TileAddress tile{zoom, x, y};
    std::lock_guard lock(mutex_);
    if (images_.contains(tile))
        return Status::Ready;
    if (failedAt_.contains(tile))
        return Status::Failed;
    if (inFlight_.contains(tile) || queued_.contains(tile))
        return Status::Loading;
    return Status::Absent;
}

QImage OnlineTileLoader::TileImage(int zoom, int x, int y) const
{
    std::lock_guard lock(mutex_);
    const QImage* image = images_.object({zoom, x, y});
    return image ? *image : QImage();
}

void OnlineTileLoader::StartWorkers()
{
    diskCache_ = std::make_unique<TileDiskCache>(sourceFolder_, diskCacheLimit_);
    for (int i = 0; i < kConnections; ++i)
        workers_.push_back(StartPoolJob(this, [this, i](const PoolJobContext& job) {
            // One worker learns what the disk cache holds while the other serves the first tiles.
            if (i == 0) {
                QDir(earlierFolder_).removeRecursively();
                diskCache_->Trim([&job] { return job.CancelRequested(); });
            }
            Work(job);
        }, PoolWork::Waiting));
}

// A worker's life: one client (one connection) for the whole run; take the
// most wanted tile nobody is fetching, fetch it, report it; end when the
// loader stops. A stop aborts the transfer under way through the client's
// abort check, and its tile is not reported.
void OnlineTileLoader::Work(const PoolJobContext& job)
{
    HttpClient client(ViewerRequestSettings(source_));
    client.SetAbortCheck([&job] { return job.CancelRequested(); });
    const Clock now = [this] {
        std::lock_guard lock(mutex_);
        return now_();
    };
    while (const std::optional<TileAddress> tile = WaitForTile(job)) {
        QImage image;
        TileFetchFailure failure;
        try {
            image = FetchTile(client, *diskCache_, FillTileAddress(source_.AddressTemplate, tile->Zoom, tile->X, tile->Y, source_.Subdomains),
                *tile, now, &failure);
        } catch (const std::exception& error) {
            // Out of memory while decoding, say: this tile fails, the viewer lives on.
            failure.Reason = QString::fromLocal8Bit(error.what());
        }
        if (job.CancelRequested())
            return;
        Finish(job, *tile, image, failure);
    }
}

std::optional<TileAddress> OnlineTileLoader::WaitForTile(const PoolJobContext& job)
{
    std::unique_lock lock(mutex_);
    wishChanged_.wait(lock, [&] { return job.CancelRequested() || !queue_.empty(); });
    if (job.CancelRequested())
        return std::nullopt;
    const TileAddress tile = queue_.front();
    queue_.pop_front();
    queued_.remove(tile);
    inFlight_.insert(tile);
    return tile;
}

void OnlineTileLoader::Finish(const PoolJobContext& job, const TileAddress& tile, const QImage& image,
    const TileFetchFailure& failure)
{
    {
        std::lock_guard lock(mutex_);
        inFlight_.remove(tile);
        if (image.isNull())
            failedAt_.insert(tile, now_());
        else
            images_.insert(tile, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));
    }
    const TileFetchFailure reported = image.isNull() ? failure : TileFetchFailure{};
    job.Report([this, tile, reported] {
        emit TileArrived(tile.Zoom, tile.X, tile.Y);
        emit FetchReported(reported.Reason, reported.Unreachable);
    });
}
