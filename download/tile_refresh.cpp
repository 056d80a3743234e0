#include "download/tile_refresh.h"

#include "download/http_cache_policy.h"
#include "task/download_task.h"
#include "task/tile_keeping.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace {
bool HoldsBlankImage(const QString& path, qint64 size, const QByteArray& blankImage)
{
    if (blankImage.isEmpty() || size != blankImage.size())
        return false;
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && file.readAll() == blankImage;
}

bool WantsAsking(const RefreshSelection& refresh, qint64 fetchedAt, std::optional<qint64> freshUntil)
{
    switch (refresh.Which) {
    case RefreshSelection::Choice::NoLongerFresh:
        return !freshUntil || *freshUntil <= refresh.Now;
    case RefreshSelection::Choice::FetchedBefore:
        return fetchedAt < refresh.Now - refresh.OlderThanSeconds;
    case RefreshSelection::Choice::All:
        break;
    }
    return true;
}

// Status line and header lines as they came, with their line ends.
qint64 HeadBytes(const HttpResult& result)
{
    if (result.StatusCode == 0)
        return 0;
    qint64 bytes = qstrlen("HTTP/1.1 200 OK\r\n\r\n");
    for (const QByteArray& line : result.HeaderLines)
        bytes += line.size() + 2;
    return bytes;
}

qint64 Seconds(const QDateTime& time)
{
    return time.isValid() ? time.toSecsSinceEpoch() : 0;
}

TileValidators ValidatorsOfStored(const HttpResult& result, const QDateTime& now)
{
    const CacheValidity validity = ValidityFromReply(result.HeaderLines, now);
    return {Seconds(now), Seconds(validity.FreshUntil), result.Body.size(), validity.ETag, validity.LastModified};
}

// A 304 renews the entry: what it repeats replaces the stored values; a
// lifetime it does not give is the one the tile had.
TileValidators ValidatorsRenewed(const TileAsk& ask, const HttpResult& result, const QDateTime& now)
{
    const CacheValidity validity = ValidityFromReply(result.HeaderLines, now);
    const TileValidators old = ask.Validators.value_or(TileValidators{});
    TileValidators renewed{Seconds(now), Seconds(validity.FreshUntil), ask.StoredBytes,
        validity.ETag.isEmpty() ? old.ETag : validity.ETag,
        validity.LastModified.isEmpty() ? old.LastModified : validity.LastModified};
    const bool givesLifetime = std::any_of(result.HeaderLines.begin(), result.HeaderLines.end(), [](const QByteArray& line) {
        return line.toLower().startsWith("cache-control") || line.toLower().startsWith("expires");
    });
    if (!givesLifetime && old.FreshUntil > old.FetchedAt)
        renewed.FreshUntil = renewed.FetchedAt + (old.FreshUntil - old.FetchedAt);
    return renewed;
}
}

TileAsk AskForTile(const MDTask& task, int x, int y)
{
    const TileKeeping* keeping = task.Parameters->Keeping.get();
    if (!keeping || !keeping->Refresh())
        return {};
    const RefreshSelection& refresh = *keeping->Refresh();
    const QString path = task.TileFilePath(x, y);
    const QFileInfo file(path);
    TileAsk ask;
    if (!file.isFile() || HoldsBlankImage(path, file.size(), keeping->BlankImage()))
        return ask;
    ask.Stored = true;
    ask.StoredBytes = file.size();
    const TileValidators* stored = keeping->Stored(x, y);
    if (stored && stored->Bytes == ask.StoredBytes) {
        ask.Validators = *stored;
        ask.Asked = WantsAsking(refresh, stored->FetchedAt,
            stored->FreshUntil > 0 ? std::optional(stored->FreshUntil) : std::nullopt);
        CacheValidity validity;
        validity.ETag = stored->ETag;
        validity.LastModified = stored->LastModified;
        ask.RequestLines = RevalidationLines(validity);
    } else {
        ask.Asked = WantsAsking(refresh, Seconds(file.lastModified()), std::nullopt);
    }
    if (ask.RequestLines.isEmpty())
        ask.RequestLines << QStringLiteral("If-Modified-Since: ") + QString::fromLatin1(HttpDateText(file.lastModified()));
    return ask;
}

TileReply JudgeTileReply(const TileAsk& ask, const HttpResult& result)
{
    if (result.Ok)
        return TileReply::Store;
    if (ask.Stored && result.StatusCode == 304)
        return TileReply::Unchanged;
    if (ask.Stored && (result.StatusCode == 404 || result.StatusCode == 410))
        return TileReply::Gone;
    return TileReply::Failed;
}

void KeepTileOutcome(const MDTask& task, int x, int y, const TileAsk& ask, TileReply reply,
    const HttpResult& result, const QDateTime& now)
{
    TileKeeping* keeping = task.Parameters->Keeping.get();
    if (!keeping || reply == TileReply::Failed)
        return;
    const qint64 head = HeadBytes(result);
    RefreshCounts tile;
    tile.BytesReceived = head + result.Body.size();
    switch (reply) {
    case TileReply::Store:
        keeping->Record(x, y, ValidatorsOfStored(result, now));
        tile.Changed = 1;
        tile.FullDownloadBytes = tile.BytesReceived;
        break;
    case TileReply::Unchanged:
        keeping->Record(x, y, ValidatorsRenewed(ask, result, now));
        tile.Unchanged = 1;
        tile.FullDownloadBytes = head + ask.StoredBytes;
        break;
    case TileReply::Gone:
        tile.Gone = 1;
        tile.FullDownloadBytes = tile.BytesReceived;
        break;
    case TileReply::Failed:
        break;
    }
    if (keeping->Refresh())
        keeping->Count(tile);
}

void KeepTileNotAsked(const MDTask& task, const TileAsk& ask)
{
    RefreshCounts tile;
    tile.NotAsked = 1;
    tile.FullDownloadBytes = ask.StoredBytes;
    task.Parameters->Keeping->Count(tile);
}
