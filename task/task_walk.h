#pragma once

#include "geo/tile_cover.h"

#include <QtGlobal>
#include <memory>
#include <span>
#include <utility>
#include <vector>

// The tiles a task walks, in the order its workers walk them: columns west
// to east, within a column rows north to south. A rectangle task walks its
// whole range; a shaped task only the tiles of its cover. A tile's place is
// its 1-based number in this walk; workers take places modulo their count
// and save the last tile they finished, so a continued task finds every
// worker's place again.
class TaskWalk {
public:
    TaskWalk() = default;
    TaskWalk(int minX, int minY, int maxX, int maxY);
    explicit TaskWalk(std::shared_ptr<const TileCover> cover);

    bool IsShaped() const { return cover_ != nullptr; }
    std::span<const RowSpan> Column(int x) const;
    // Whether (x, y) is one of the walked tiles.
    bool Holds(int x, int y) const;

    // The number of walked tiles up to and including (x, y). A tile outside a
    // rectangle's range gets the place its column and row would have.
    qint64 PlaceOf(int x, int y) const;
    // The walked tile at `place` (1..the number of walked tiles), the inverse
    // of PlaceOf.
    std::pair<int, int> TileAt(qint64 place) const;

    template <typename Visit>
    void ForEachTile(Visit visit) const
    {
        for (int x = minX_; x <= maxX_; ++x) {
            for (const RowSpan& span : Column(x)) {
                for (int y = span.First; y <= span.Last; ++y) {
                    if (!visit(x, y))
                        return;
                }
            }
        }
    }

private:
    int minX_ = 0, minY_ = 0, maxX_ = -1, maxY_ = -1;
    RowSpan rectangleColumn_;
    std::shared_ptr<const TileCover> cover_;
    std::vector<qint64> placesBefore_;  // shaped: tiles in the columns west of minX_ + i
};
