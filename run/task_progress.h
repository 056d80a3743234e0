#pragma once

#include "download/down_thread.h"

#include <QString>
#include <QtGlobal>
#include <deque>
#include <optional>

class MDTask;

// How far a running task has come, from what the monitor reads each second:
// the workers' positions. No widgets here.

// The tiles of worker `threadIndex`'s share among the first `places` places
// of the walk (its share: the places whose number mod `threadCount` equals
// its index).
qint64 ShareTilesUpToPlace(qint64 places, int threadIndex, int threadCount);

// The 1-based place of tile (x, y) in the task's walk, columns outer.
qint64 PlaceInWalk(const MDTask& task, int x, int y);

// The tiles a worker has finished (stored, failed or blank): its share up
// to its position, or, before its first tile of this run, up to the resume
// point it continues from.
qint64 WorkerFinishedTiles(const MDTask& task, int threadIndex, TilePosition position);

// Tiles per second over the last 30 seconds of samples.
class ProgressRate {
public:
    static constexpr qint64 kWindowMs = 30000;

    void Clear() { samples_.clear(); }
    void AddSample(qint64 timeMs, qint64 finishedTiles);
    // Nothing until the samples span at least a second.
    std::optional<double> TilesPerSecond() const;

private:
    struct Sample {
        qint64 TimeMs;
        qint64 Finished;
    };
    std::deque<Sample> samples_;
};

// "about 45 s left", "about 6 min left", "about 2 h 5 min left", "about 3 days left".
QString TimeLeftText(double seconds);

// "1,234 / 4,096 · 30% · 7.8 tiles/s · about 6 min left": the rate once it
// is known, the time left while tiles remain and the rate is above 0. A
// stage ("zoom 12 (3 of 4)") goes after the percentage.
QString ProgressText(qint64 finished, qint64 total, std::optional<double> tilesPerSecond,
    const QString& stage = QString());
