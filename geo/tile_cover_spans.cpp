// What a built tile cover answers; building one needs GEOS (tile_cover.cpp),
// asking it does not, so the task core walks a cover without GDAL.

#include "geo/tile_cover.h"

#include <algorithm>
#include <iterator>

bool TileCover::Contains(int x, int y) const
{
    const std::span<const RowSpan> spans = Column(x);
    const auto after = std::upper_bound(spans.begin(), spans.end(), y,
                                        [](int row, RowSpan span) { return row < span.First; });
    return after != spans.begin() && y <= std::prev(after)->Last;
}

std::span<const RowSpan> TileCover::Column(int x) const
{
    if (x < MinX() || x > MaxX())
        return {};
    const std::size_t i = static_cast<std::size_t>(x - minX_);
    return std::span<const RowSpan>(spans_).subspan(columnStart_[i], columnStart_[i + 1] - columnStart_[i]);
}
