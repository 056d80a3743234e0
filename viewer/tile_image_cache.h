#pragma once

#include "task/tile_state.h"
#include "viewer/tile_decoder.h"

#include <QCache>
#include <QImage>
#include <optional>

// Decoded tiles, bounded by the memory their images take (about 200 MB);
// the tiles used least recently go first.
class TileImageCache {
public:
    static constexpr qint64 kDefaultLimitBytes = qint64(200) << 20;

    explicit TileImageCache(qint64 limitBytes = kDefaultLimitBytes);

    struct Entry {
        QImage Image;  // null for a tile without a decodable file
        TileState State = TileState::Missing;
    };

    void Insert(const TileKey& key, const QImage& image, TileState state);
    const Entry* Find(const TileKey& key);
    // The tile decoded at another size, the largest first: what to show
    // while the wanted size is not decoded yet.
    const Entry* FindAnySize(const TileKey& key);

    // Drops the tile's images decoded in another state than `state`, at
    // every size: its file has changed since they were decoded.
    void ForgetOtherThan(int x, int y, TileState state);

    qint64 UsedBytes() const;
    void Clear() { cache_.clear(); }

private:
    QCache<TileKey, Entry> cache_;  // cost in kilobytes
};

// The sizes tiles are decoded to, from a few pixels to full tiles.
int DecodeEdgeFor(double pixelsPerTile);
