#include "combiner/mosaic_geometry.h"

#include "geo/tile_math.h"
#include "task/download_task.h"

#include <cmath>
#include <numbers>

namespace {
constexpr double kEarthRadius = 6378137.0;
constexpr double kDegree = std::numbers::pi / 180.0;
}

double LongitudeToMercatorX(double longitude)
{
    return kEarthRadius * longitude * kDegree;
}

double LatitudeToMercatorY(double latitude)
{
    return kEarthRadius * std::log(std::tan(std::numbers::pi / 4 + latitude * kDegree / 2));
}

double MercatorXToLongitude(double metres)
{
    return metres / kEarthRadius / kDegree;
}

double MercatorYToLatitude(double metres)
{
    return (2 * std::atan(std::exp(metres / kEarthRadius)) - std::numbers::pi / 2) / kDegree;
}

MosaicGeometry MosaicGeometry::ForTask(const MDTask& task)
{
    MosaicGeometry g;
    g.Zoom = task.Parameters->Zoom;
    g.MinX = task.MinX;
    g.MinY = task.MinY;
    g.Columns = qint64(task.MaxX) - task.MinX + 1;
    g.Rows = qint64(task.MaxY) - task.MinY + 1;
    g.West = TileXToLongitude(task.MinX, g.Zoom);
    g.East = TileXToLongitude(double(task.MaxX) + 1, g.Zoom);
    g.North = TileYToLatitude(task.MinY, g.Zoom);
    g.South = TileYToLatitude(double(task.MaxY) + 1, g.Zoom);
    g.WestMetres = LongitudeToMercatorX(g.West);
    g.EastMetres = LongitudeToMercatorX(g.East);
    g.NorthMetres = LatitudeToMercatorY(g.North);
    g.SouthMetres = LatitudeToMercatorY(g.South);
    return g;
}
