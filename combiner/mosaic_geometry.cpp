#include "combiner/mosaic_geometry.h"

#include "geo/tile_math.h"
#include "task/download_task.h"

#include <cmath>
#include <numbers>

namespace {
constexpr double kEarthRadius = 6378137.0;
constexpr double kDegree = std::numbers::pi / 180.0;
}

const char kWebMercatorWkt[] =
    "PROJCS[\"WGS 84 / Pseudo-Mercator\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
    "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,AUTHORITY[\"EPSG\",\"8901\"]],"
    "UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\",\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]],"
    "PROJECTION[\"Mercator_1SP\"],PARAMETER[\"central_meridian\",0],PARAMETER[\"scale_factor\",1],"
    "PARAMETER[\"false_easting\",0],PARAMETER[\"false_northing\",0],UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],"
    "AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH],"
    "EXTENSION[\"PROJ4\",\"+proj=merc +a=6378137 +b=6378137 +lat_ts=0 +lon_0=0 +x_0=0 +y_0=0 +k=1 +units=m +nadgrids=@null +wktext +no_defs\"],"
    "AUTHORITY[\"EPSG\",\"3857\"]]";

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
    return ForArea(task.Parameters->Zoom, task.MinX, task.MinY, task.MaxX, task.MaxY);
}

MosaicGeometry MosaicGeometry::ForArea(int zoom, int minX, int minY, int maxX, int maxY)
{
    MosaicGeometry g;
    g.Zoom = zoom;
    g.MinX = minX;
    g.MinY = minY;
    g.Columns = qint64(maxX) - minX + 1;
    g.Rows = qint64(maxY) - minY + 1;
    g.West = TileXToLongitude(minX, zoom);
    g.East = TileXToLongitude(double(maxX) + 1, zoom);
    g.North = TileYToLatitude(minY, zoom);
    g.South = TileYToLatitude(double(maxY) + 1, zoom);
    g.WestMetres = LongitudeToMercatorX(g.West);
    g.EastMetres = LongitudeToMercatorX(g.East);
    g.NorthMetres = LatitudeToMercatorY(g.North);
    g.SouthMetres = LatitudeToMercatorY(g.South);
    return g;
}
