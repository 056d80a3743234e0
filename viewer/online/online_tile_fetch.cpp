#include "viewer/online/online_tile_fetch.h"

#include "download/failure_reason.h"
#include "download/http_client.h"
#include "image/tile_image.h"
#include "download/http_cache_policy.h"
#include "viewer/online/tile_disk_cache.h"

#include <QHashFunctions>
#include <optional>

size_t qHash(const TileAddress& tile, size_t seed) noexcept
{
    return qHashMulti(seed, tile.Zoom, tile.X, tile.Y);
}

namespace {
QImage Decode(const QByteArray& bytes)
{
    return DecodeTileImage(bytes).Image;
}

bool ServerCouldNotAnswer(const HttpResult& result)
{
    return result.StatusCode == 0 || result.StatusCode >= 500;
}
}

QImage FetchTile(HttpClient& client, TileDiskCache& cache, const QString& url, const TileAddress& tile,
    const Clock& now, TileFetchFailure* failure)
{
    // A copy that does not decode is no copy: revalidating it could only
    // confirm the damage.
    std::optional<CachedTile> stored = cache.Read(tile.Zoom, tile.X, tile.Y);
    QImage storedImage = stored ? Decode(stored->Bytes) : QImage();
    if (stored && storedImage.isNull()) {
        cache.Remove(tile.Zoom, tile.X, tile.Y);
        stored.reset();
    }
    CacheValidity storedValidity;
    if (stored) {
        storedValidity = ValidityFromReply(stored->HeaderLines, stored->ReceivedAt);
        if (IsFresh(storedValidity, now()))
            return storedImage;
    }

    const HttpResult result = client.Get(url, stored ? RevalidationLines(storedValidity) : QStringList());
    const QDateTime receivedAt = now();
    if (result.Ok) {
        const QImage image = Decode(result.Body);
        const QList<QByteArray> cacheLines = CacheHeaderLines(result.HeaderLines);
        if (image.isNull() || ValidityFromReply(cacheLines, receivedAt).NoStore)
            cache.Remove(tile.Zoom, tile.X, tile.Y);
        else
            cache.Write(tile.Zoom, tile.X, tile.Y, {receivedAt, cacheLines, result.Body});
        if (image.isNull() && failure)
            *failure = {QStringLiteral("the tile's image cannot be read"), false};
        return image;
    }
    if (result.StatusCode == 304 && stored) {
        stored->HeaderLines = NotModifiedUpdate(stored->HeaderLines, result.HeaderLines);
        stored->ReceivedAt = receivedAt;
        cache.Write(tile.Zoom, tile.X, tile.Y, *stored);
        return storedImage;
    }
    if (stored && ServerCouldNotAnswer(result) && !storedValidity.MustRevalidate)
        return storedImage;
    if (failure)
        *failure = {FailureReasonText(result.FailureText.value_or(QString()), url), result.StatusCode == 0};
    return {};
}
