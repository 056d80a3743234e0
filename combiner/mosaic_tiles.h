#pragma once

#include "combiner/mosaic_geometry.h"
#include "combiner/task_tiles.h"

#include <functional>
#include <vector>

struct OpenedTask;

// The tiles of one span of a mosaic's row.
struct MosaicSpan {
    // One per place, left to right: the tile of the first task (in the order
    // given) that stores it; where none does, the first covering task's tile
    // as it is, or a tile of no task (Task -1) where no task covers the place.
    std::vector<SourceTile> Shown;
    // Every other task's tile at those places, read to be reported only:
    // without pixels or bytes.
    std::vector<SourceTile> Hidden;
};

// Several tasks of one zoom level read as one image over the rectangle (in
// tiles) that holds them all.
class MosaicTileReader {
public:
    // `chosen`: indexes into `tasks` of one zoom level, in the order given.
    MosaicTileReader(const std::vector<OpenedTask>& tasks, const std::vector<size_t>& chosen);

    const MosaicGeometry& Geometry() const { return geometry_; }

    // The places (firstX .. firstX + count - 1, y), read on all cores; then
    // `prepare` (a writer's per-tile work, such as compressing) runs on each
    // shown tile on the same thread. A shown tile has its pixels when
    // `wantPixels` and it is stored. Only the span is held in memory.
    MosaicSpan ReadSpan(int y, int firstX, int count, bool wantPixels,
        const std::function<void(SourceTile&)>& prepare) const;

private:
    struct Source {
        size_t Index;  // into the run's tasks
        TaskTileReader Reader;
    };
    std::vector<SourceTile> ReadPlace(int x, int y, bool wantPixels) const;

    std::vector<Source> sources_;
    MosaicGeometry geometry_;
};
