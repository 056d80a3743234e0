#include "viewer/tile_image_cache.h"

namespace {
constexpr int kSmallestEdge = 16;
constexpr int kFullEdge = 256;

qsizetype CostKb(const QImage& image)
{
    // An entry without an image still holds its key and state.
    return std::max<qsizetype>(1, image.sizeInBytes() / 1024);
}
}

TileImageCache::TileImageCache(qint64 limitBytes) : cache_(qsizetype(limitBytes / 1024))
{
}

void TileImageCache::Insert(const TileKey& key, const QImage& image, TileState state)
{
    cache_.insert(key, new Entry{image, state}, CostKb(image));
}

const TileImageCache::Entry* TileImageCache::Find(const TileKey& key)
{
    return cache_.object(key);
}

const TileImageCache::Entry* TileImageCache::FindAnySize(const TileKey& key)
{
    for (int edge = kFullEdge; edge >= kSmallestEdge; edge /= 2)
        if (edge != key.Edge)
            if (const Entry* entry = cache_.object(TileKey{key.X, key.Y, edge}))
                return entry;
    return nullptr;
}

void TileImageCache::ForgetOtherThan(int x, int y, TileState state)
{
    for (int edge = kFullEdge; edge >= kSmallestEdge; edge /= 2) {
        const TileKey key{x, y, edge};
        if (const Entry* entry = cache_.object(key); entry && entry->State != state)
            cache_.remove(key);
    }
}

qint64 TileImageCache::UsedBytes() const
{
    return qint64(cache_.totalCost()) * 1024;
}

int DecodeEdgeFor(double pixelsPerTile)
{
    int edge = kSmallestEdge;
    while (edge < kFullEdge && edge < pixelsPerTile)
        edge *= 2;
    return edge;
}
