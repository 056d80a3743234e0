#include "task/tile_range.h"

#include "geo/tile_cover.h"
#include "geo/tile_math.h"
#include "task/download_task.h"

#include <utility>

namespace {
// Workers number their tiles with 32-bit places.
constexpr qint64 kMaxTileCount = INT32_MAX;

TileRange AreaTileRange(const TaskParameters& p)
{
    const int zoom = p.Zoom;
    TileRange range;
    range.MinX = LongitudeToTileX(p.LeftLongitude, zoom);
    range.MaxX = LongitudeToTileX(p.RightLongitude, zoom);
    const int southRow = LatitudeToTileY(p.BottomLatitude, zoom);
    const int northRow = LatitudeToTileY(p.TopLatitude, zoom);
    range.MinY = southRow;
    range.MaxY = northRow;
    range.LeftLongitude = TileXToLongitude(range.MinX, zoom);
    range.RightLongitude = TileXToLongitude(static_cast<double>(range.MaxX) + 1, zoom);
    range.TopLatitude = TileYToLatitude(northRow, zoom);
    range.BottomLatitude = TileYToLatitude(static_cast<double>(southRow) + 1, zoom);
    if (range.MaxY < range.MinY)
        std::swap(range.MinY, range.MaxY);
    range.TotalCount = (qint64(range.MaxX) - range.MinX + 1) * (qint64(range.MaxY) - range.MinY + 1);
    return range;
}

// A shaped task's range is its cover's rectangle; it counts the cover's tiles.
TileRange CoverTileRange(const TileCover& cover)
{
    const int zoom = cover.Zoom();
    TileRange range;
    if (cover.IsEmpty())
        return range;
    range.MinX = cover.MinX();
    range.MaxX = cover.MaxX();
    range.MinY = cover.MinY();
    range.MaxY = cover.MaxY();
    range.LeftLongitude = TileXToLongitude(range.MinX, zoom);
    range.RightLongitude = TileXToLongitude(static_cast<double>(range.MaxX) + 1, zoom);
    range.TopLatitude = TileYToLatitude(range.MinY, zoom);
    range.BottomLatitude = TileYToLatitude(static_cast<double>(range.MaxY) + 1, zoom);
    range.TotalCount = cover.Count();
    return range;
}
}

TaskTileRange ComputeTaskTileRange(const TaskParameters& p)
{
    if (p.Zoom < kMinZoom || p.Zoom > kMaxZoom)
        return {{}, QStringLiteral("Zoom level %1 is not supported: it must lie between %2 and %3.")
                        .arg(p.Zoom).arg(kMinZoom).arg(kMaxZoom)};
    if (p.Cover && p.Cover->IsEmpty())
        return {{}, QStringLiteral("The area holds no tile at zoom level %1.").arg(p.Zoom)};
    const TileRange range = p.Cover ? CoverTileRange(*p.Cover) : AreaTileRange(p);
    if (range.TotalCount > kMaxTileCount)
        return {range, QStringLiteral("The area holds %1 tiles at zoom level %2, more than one task can "
                                      "download (at most %3). Choose a smaller area or a lower zoom level.")
                           .arg(range.TotalCount).arg(p.Zoom).arg(kMaxTileCount)};
    return {range, std::nullopt};
}
