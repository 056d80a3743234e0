#include "combiner/mosaic_tiles.h"

#include "combiner/parallel_for.h"
#include "task/download_task.h"
#include "task/opened_task.h"
#include "task/task_walk_of.h"

#include <algorithm>
#include <iterator>

namespace {
MosaicGeometry Joined(const std::vector<OpenedTask>& tasks, const std::vector<size_t>& chosen)
{
    const MDTask& first = *tasks[chosen.front()].Task;
    int minX = first.MinX, minY = first.MinY, maxX = first.MaxX, maxY = first.MaxY;
    for (size_t index : chosen) {
        const MDTask& task = *tasks[index].Task;
        minX = std::min(minX, task.MinX), minY = std::min(minY, task.MinY);
        maxX = std::max(maxX, task.MaxX), maxY = std::max(maxY, task.MaxY);
    }
    return MosaicGeometry::ForArea(first.Parameters->Zoom, minX, minY, maxX, maxY);
}

bool Covers(const MDTask& task, int x, int y)
{
    return TaskHoldsTile(task, x, y);
}
}

MosaicTileReader::MosaicTileReader(const std::vector<OpenedTask>& tasks, const std::vector<size_t>& chosen)
    : geometry_(Joined(tasks, chosen))
{
    sources_.reserve(chosen.size());
    for (size_t index : chosen) {
        const MDTask& task = *tasks[index].Task;
        sources_.push_back({index, TaskTileReader(task, TileStateRule::ForTask(task))});
    }
}

// Every covering task's tile at (x, y), in the order given; pixels only
// until one is stored, since only that one is shown.
std::vector<SourceTile> MosaicTileReader::ReadPlace(int x, int y, bool wantPixels) const
{
    std::vector<SourceTile> tiles;
    bool stored = false;
    for (const Source& source : sources_) {
        if (!Covers(source.Reader.Task(), x, y))
            continue;
        SourceTile& tile = tiles.emplace_back();
        tile.X = x;
        tile.Y = y;
        tile.Task = int(source.Index);
        source.Reader.ReadTile(tile, wantPixels && !stored);
        stored = stored || tile.State == TileState::Stored;
    }
    return tiles;
}

MosaicSpan MosaicTileReader::ReadSpan(int y, int firstX, int count, bool wantPixels,
    const std::function<void(SourceTile&)>& prepare) const
{
    MosaicSpan span;
    span.Shown.resize(size_t(count));
    std::vector<std::vector<SourceTile>> hidden(static_cast<size_t>(count));
    ParallelFor(count, [&](int i) {
        const int x = firstX + i;
        std::vector<SourceTile> tiles = ReadPlace(x, y, wantPixels);
        SourceTile& shown = span.Shown[size_t(i)];
        if (tiles.empty()) {
            shown.X = x;
            shown.Y = y;
        } else {
            const auto first = std::find_if(tiles.begin(), tiles.end(),
                [](const SourceTile& tile) { return tile.State == TileState::Stored; });
            const size_t chosen = first == tiles.end() ? 0 : size_t(first - tiles.begin());
            shown = std::move(tiles[chosen]);
            tiles.erase(tiles.begin() + std::ptrdiff_t(chosen));
            for (SourceTile& other : tiles) {
                other.Bytes.clear();
                other.Pixels = QImage();
            }
            hidden[size_t(i)] = std::move(tiles);
        }
        if (prepare)
            prepare(shown);
    });
    for (std::vector<SourceTile>& tiles : hidden)
        std::move(tiles.begin(), tiles.end(), std::back_inserter(span.Hidden));
    return span;
}
