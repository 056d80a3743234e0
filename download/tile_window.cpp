#include "download/tile_window.h"

#include <algorithm>

void TileWindow::Take(int x, int y, qint64 seq)
{
    tiles_.push_back({x, y, seq, 0, WindowTile::State::Waiting, WindowTile::Clock::time_point(), {}});
}

WindowTile* TileWindow::NextDue(WindowTile::Clock::time_point now)
{
    for (WindowTile& tile : tiles_)
        if (tile.Now == WindowTile::State::Waiting && tile.DueAt <= now)
            return &tile;
    return nullptr;
}

WindowTile* TileWindow::FirstDue()
{
    WindowTile* first = nullptr;
    for (WindowTile& tile : tiles_)
        if (tile.Now == WindowTile::State::Waiting && (!first || tile.DueAt < first->DueAt))
            first = &tile;
    return first;
}

WindowTile& TileWindow::At(qint64 seq)
{
    return *std::lower_bound(
        tiles_.begin(), tiles_.end(), seq, [](const WindowTile& tile, qint64 place) { return tile.Seq < place; });
}

void TileWindow::Finish(WindowTile& tile)
{
    tile.Now = WindowTile::State::Finished;
}

std::optional<TilePosition> TileWindow::PassFinished()
{
    std::optional<TilePosition> passed;
    while (!tiles_.empty() && tiles_.front().Now == WindowTile::State::Finished) {
        passed = TilePosition{tiles_.front().X, tiles_.front().Y};
        tiles_.pop_front();
    }
    return passed;
}
