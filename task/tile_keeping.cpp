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
    const QByteArray record = TileValidatorsRecord(x, y, validators);
    const std::lock_guard lock(mutex_);
    records_ += record;
    records_ += "\r\n";
}

QByteArray TileKeeping::TakeRecords()
{
    const std::lock_guard lock(mutex_);
    // A copy made by the caller's thread; the buffer the workers fill keeps
    // its room. Handing the buffer itself over made the workers grow a new
    // one after every save, and the heap grew with the task.
    QByteArray taken(records_.constData(), records_.size());
    records_.resize(0);
    return taken;
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
