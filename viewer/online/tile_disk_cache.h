#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <optional>

// One tile as the server last sent it: the bytes, when they arrived and the
// reply's cache lines (see CacheHeaderLines).
struct CachedTile {
    QDateTime ReceivedAt;
    QList<QByteArray> HeaderLines;
    QByteArray Bytes;
};

// Tiles of one map source on disk, one file per tile (<zoom>/<x>/<y>.tile:
// a short text head, an empty line, the tile's bytes). Each file is replaced
// whole through a temporary file, so a crash or a reader at the wrong moment
// never sees half a tile. Different tiles may be read and written from
// different threads at once; one tile from one thread at a time.
class TileDiskCache {
public:
    explicit TileDiskCache(QString folder);

    // Nothing when the tile was never stored or its file is damaged.
    std::optional<CachedTile> Read(int zoom, int x, int y) const;
    // False when the file could not be written (disk full, no permission):
    // the cache is a convenience, so callers carry on without it.
    bool Write(int zoom, int x, int y, const CachedTile& tile) const;
    void Remove(int zoom, int x, int y) const;

    // Above `maxBytes` in all, removes the files written longest ago until a
    // quarter of the limit is free again. Checks `shouldStop` between files.
    void Trim(qint64 maxBytes, const std::function<bool()>& shouldStop) const;

private:
    QString FilePath(int zoom, int x, int y) const;

    QString folder_;
};
