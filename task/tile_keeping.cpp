#include "task/tile_keeping.h"

#include <utility>

RefreshCounts& RefreshCounts::operator+=(const RefreshCounts& other)
{
    Unchanged += other.Unchanged;
    Changed += other.Changed;
    Gone += other.Gone;
    NotAsked += other.NotAsked;
    BytesReceived += other.BytesReceived;
    FullDownloadBytes += other.FullDownloadBytes;
    return *this;
}

TileKeeping::TileKeeping(const RefreshSelection& selection, TileValidatorTable stored, QByteArray blankImage)
    : refresh_(selection), stored_(std::move(stored)), blankImage_(std::move(blankImage))
{
}

const TileValidators* TileKeeping::Stored(int x, int y) const
{
    const auto found = stored_.constFind(TileValidatorKey(x, y));
    return found == stored_.constEnd() ? nullptr : &*found;
}

void TileKeeping::Record(int x, int y, const TileValidators& validators)
{
    QByteArray record = TileValidatorsRecord(x, y, validators);
    const std::lock_guard lock(mutex_);
    records_ << std::move(record);
}

QByteArrayList TileKeeping::TakeRecords()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(records_, QByteArrayList());
}

void TileKeeping::Count(const RefreshCounts& tile)
{
    const std::lock_guard lock(mutex_);
    counts_ += tile;
}

RefreshCounts TileKeeping::Counts() const
{
    const std::lock_guard lock(mutex_);
    return counts_;
}
