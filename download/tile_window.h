#pragma once

#include "download/report_queue.h"

#include <QtGlobal>
#include <chrono>
#include <deque>
#include <optional>

// One tile a worker has taken from its walk.
struct WindowTile {
    using Clock = std::chrono::steady_clock;
    enum class State { Waiting, InFlight, Finished };

    int X = 0;
    int Y = 0;
    qint64 Seq = 0;       // its place in the walk
    int Attempts = 0;
    State Now = State::Waiting;
    Clock::time_point DueAt;  // a waiting tile's next attempt
};

// The tiles a worker has taken and its position has not yet passed, in walk
// order. Tiles may finish in any order; the position only moves over tiles
// that are all finished, so a worker's saved position is the last place
// before which every one of its tiles is finished, and a continued task
// fetches at most the window again and skips none.
class TileWindow {
public:
    // Appends the next tile of the walk, due at once.
    void Take(int x, int y, qint64 seq);
    bool Empty() const { return tiles_.empty(); }
    // Tiles taken and not yet passed, finished or not. Bounding this, not
    // only the tiles under way, bounds what a continue fetches again.
    int Held() const { return int(tiles_.size()); }

    // The first waiting tile due at `now`, in walk order; none when no tile is.
    WindowTile* NextDue(WindowTile::Clock::time_point now);
    // The waiting tile due first; none without a waiting tile.
    WindowTile* FirstDue();
    // The tile of place `seq`; it must be in the window.
    WindowTile& At(qint64 seq);

    void Finish(WindowTile& tile);
    // Drops the finished tiles at the front; the last of them, which the
    // position may now name, or none when the first tile is unfinished.
    std::optional<TilePosition> PassFinished();

private:
    std::deque<WindowTile> tiles_;
};
