#pragma once

#include "task/tile_state.h"

#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
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

// Reads and decodes tile files on worker threads, so the GUI never waits on
// the disk. The owner says which tiles it wants now, most wanted first; each
// wish replaces the last, so tiles panned out of view are not read at all.
// Decoded arrives on the owner's thread.
//
// The task must outlive the decoder; it is only read.
class TileDecoder : public QObject {
    Q_OBJECT
public:
    TileDecoder(const MDTask& task, TileStateRule rule, int threads, QObject* parent = nullptr);
    ~TileDecoder() override;  // waits for the tiles being decoded

    void SetWanted(const QList<TileKey>& keys);
    // True while a wish is queued or being decoded.
    bool IsBusy() const;

signals:
    // `image` is null for a tile without a decodable file.
    void Decoded(const TileKey& key, const QImage& image, TileState state);

private:
    void Work();

    const MDTask& task_;
    const TileStateRule rule_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<TileKey> queue_;
    QList<TileKey> working_;
    bool stop_ = false;
    std::vector<std::thread> threads_;
};
