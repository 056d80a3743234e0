#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <mutex>
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
//
// The folder never holds more than `maxBytes`: one walk (Trim(), or else the
// first write) learns what it holds, and from then on every write keeps a
// running total and makes room first, removing the files written longest ago
// until a quarter of the limit is free.
class TileDiskCache {
public:
    TileDiskCache(QString folder, qint64 maxBytes);

    // Nothing when the tile was never stored or its file is damaged.
    std::optional<CachedTile> Read(int zoom, int x, int y) const;
    // False when the file could not be written (disk full, no permission):
    // the cache is a convenience, so callers carry on without it.
    bool Write(int zoom, int x, int y, const CachedTile& tile);
    void Remove(int zoom, int x, int y);

    // Walks the folder once to learn its total; above the limit, makes room
    // as a write would. Checks `shouldStop` between files.
    void Trim(const std::function<bool()>& shouldStop);

    qint64 TotalBytes() const;

private:
    QString FilePath(int zoom, int x, int y) const;
    // Walks the folder; above `above` bytes, removes the oldest files until at
    // most `target` are left. The walk's result becomes the total.
    void TrimTo(qint64 above, qint64 target, const std::function<bool()>& shouldStop);
    // Sets `bytes` aside for a file about to be written, when they fit.
    bool Reserve(qint64 bytes);

    const QString folder_;
    const qint64 maxBytes_;
    mutable std::mutex totalMutex_;
    qint64 total_ = 0;    // files on disk
    qint64 pending_ = 0;  // files being written
    bool known_ = false;  // total_ is what the folder holds: the first write walks it first
    // One trim at a time: two would walk the folder twice for one need.
    std::mutex trimMutex_;
};
