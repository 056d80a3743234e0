#pragma once

#include <cstdint>
#include <span>
#include <vector>

class AreaShape;

// Rows first..last of one column, both included.
struct RowSpan {
    int First = 0;
    int Last = 0;
};

// The tiles at one zoom whose square the area covers in part: for every
// column the sorted, disjoint spans of its rows. A tile's square is the
// rectangle [TileXToLongitude(x), TileXToLongitude(x + 1)] x
// [TileYToLatitude(y + 1), TileYToLatitude(y)] in degrees, the area's edges
// straight in degrees. A square that only shares an edge or a corner with
// the area is not covered: an area drawn along tile edges holds just the
// tiles inside. Memory and the time to work it out follow the number
// of columns and spans of the area, never its bounding rectangle.
class TileCover {
public:
    TileCover(const AreaShape& shape, int zoom);

    int Zoom() const { return zoom_; }
    bool IsEmpty() const { return count_ == 0; }
    std::int64_t Count() const { return count_; }
    bool Contains(int x, int y) const;

    // The smallest tile rectangle holding every tile; meaningless when empty.
    int MinX() const { return minX_; }
    int MaxX() const { return minX_ + static_cast<int>(columnStart_.size()) - 2; }
    int MinY() const { return minY_; }
    int MaxY() const { return maxY_; }

    // The row spans of column `x` (none outside MinX..MaxX).
    std::span<const RowSpan> Column(int x) const;

    // Every tile in the order tasks walk them: columns west to east, within a
    // column rows north to south. `visit(x, y)` returns false to stop early.
    template <typename Visit>
    void ForEachTile(Visit visit) const
    {
        for (int x = MinX(); x <= MaxX(); ++x) {
            for (const RowSpan& span : Column(x)) {
                for (int y = span.First; y <= span.Last; ++y) {
                    if (!visit(x, y))
                        return;
                }
            }
        }
    }

private:
    friend class TileCoverBuilder;

    int zoom_ = 0;
    int minX_ = 0;
    int minY_ = 0;
    int maxY_ = -1;
    std::int64_t count_ = 0;
    std::vector<std::uint32_t> columnStart_ {0};  // spans_ of column minX_ + i: [start[i], start[i + 1])
    std::vector<RowSpan> spans_;
};
