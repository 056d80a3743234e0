#pragma once

#include "platform/work_pool.h"
#include "task/tile_state.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <deque>
#include <mutex>
#include <vector>

class MDTask;

// One tile image at one size: Edge is the largest side it is decoded to.
struct TileKey {
    int X = 0;
    int Y = 0;
    int Edge = 0;
    bool operator==(const TileKey&) const = default;
};
size_t qHash(const TileKey& key, size_t seed = 0);

// Reads and decodes tile files on the pool, at most `jobs` at once, so the
// GUI never waits on the disk. The owner says which tiles it wants now, most wanted first; each
// wish replaces the last, so tiles panned out of view are not read at all.
// Decoded arrives on the owner's thread.
//
// The task must outlive the decoder; it is only read.
class TileDecoder : public QObject {
    Q_OBJECT
public:
    TileDecoder(const MDTask& task, TileStateRule rule, int jobs, QObject* parent = nullptr);
    ~TileDecoder() override;  // waits for the tiles being decoded

    void SetWanted(const QList<TileKey>& keys);
    // True while a wish is queued or being decoded.
    bool IsBusy() const;

signals:
    // `image` is null for a tile without a decodable file.
    void Decoded(const TileKey& key, const QImage& image, TileState state);

private:
    // One job's life: decode the most wanted tile nobody is decoding, until
    // none is left.
    void Drain(size_t slot, const PoolJobContext& job);

    const MDTask& task_;
    const TileStateRule rule_;
    mutable std::mutex mutex_;
    std::deque<TileKey> queue_;
    QList<TileKey> working_;
    std::vector<bool> draining_;  // by slot of jobs_
    std::vector<PoolJob> jobs_;
};
