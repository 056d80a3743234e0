#include "geo/tile_math.h"

#include <cmath>

namespace {
constexpr double kPi = 3.141592653589793;

double TilesPerSide(int zoom)
{
    return static_cast<double>(1 << zoom);
}
}

int LongitudeToTileX(double longitude, int zoom)
{
    return static_cast<int>(LongitudeToTileXFraction(longitude, zoom));
}

int LatitudeToTileY(double latitude, int zoom)
{
    return static_cast<int>(LatitudeToTileYFraction(latitude, zoom));
}

double LongitudeToTileXFraction(double longitude, int zoom)
{
    return (longitude + 180) * (1.0 / 360) * TilesPerSide(zoom);
}

double LatitudeToTileYFraction(double latitude, int zoom)
{
    const double phi = kPi * latitude * (1.0 / 180);
    const double s = std::sin(phi);
    const double v = 0.5 * std::log((1 + s) / (1 - s));
    return (1 - v / kPi) * 0.5 * TilesPerSide(zoom);
}

double TileXToLongitude(double x, int zoom)
{
    return x * 360 / TilesPerSide(zoom) - 180;
}

double TileYToLatitude(double y, int zoom)
{
    const double twoT = 2 * kPi - 4 * kPi * y / TilesPerSide(zoom);
    const double r = std::exp(twoT);
    const double w = (r - 1) / (r + 1);
    return std::asin(w) * 180 / kPi;
}
