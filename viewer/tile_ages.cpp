#include "viewer/tile_ages.h"

#include <utility>

TileAges::TileAges(TileValidatorTable validators, const QDateTime& now)
    : validators_(std::move(validators)), now_(now.toSecsSinceEpoch())
{
    qint64 oldest = 0, newest = 0;
    for (const TileValidators& tile : std::as_const(validators_)) {
        if (oldest == 0 || tile.FetchedAt < oldest)
            oldest = tile.FetchedAt;
        newest = std::max(newest, tile.FetchedAt);
        if (tile.FreshUntil <= now_)
            ++pastFreshness_;
    }
    if (!validators_.isEmpty()) {
        oldest_ = QDateTime::fromSecsSinceEpoch(oldest, Qt::UTC);
        newest_ = QDateTime::fromSecsSinceEpoch(newest, Qt::UTC);
    }
}

TileAge TileAges::AgeOf(int x, int y) const
{
    const auto found = validators_.constFind(TileValidatorKey(x, y));
    if (found == validators_.constEnd())
        return TileAge::Unknown;
    return found->FreshUntil > now_ ? TileAge::Fresh : TileAge::Stale;
}

QColor TileAgeColor(TileAge age)
{
    switch (age) {
    case TileAge::Fresh: return QColor(0x43, 0xa0, 0x47, 96);
    case TileAge::Stale: return QColor(0xfb, 0x8c, 0x00, 96);
    case TileAge::Unknown: break;
    }
    return QColor(0x78, 0x78, 0x78, 96);
}
