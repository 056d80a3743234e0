#pragma once

#include <QtGlobal>

class MDTask;

// Where a task's tiles (or a rectangle of tiles) lie as one image: the grid of columns and rows, the
// outer tile edges in degrees (from the same tile math as the tile list) and
// the same edges in Web Mercator (EPSG:3857) metres, the projection of the
// tiles themselves.
struct MosaicGeometry {
    static constexpr int kTileSize = 256;

    int Zoom = 0;
    int MinX = 0, MinY = 0;
    qint64 Columns = 0, Rows = 0;
    double West = 0, East = 0, North = 0, South = 0;                      // degrees
    double WestMetres = 0, EastMetres = 0, NorthMetres = 0, SouthMetres = 0;

    static MosaicGeometry ForTask(const MDTask& task);
    // The tiles minX..maxX x minY..maxY of zoom level `zoom`.
    static MosaicGeometry ForArea(int zoom, int minX, int minY, int maxX, int maxY);

    qint64 TileCount() const { return Columns * Rows; }
    qint64 WidthPixels() const { return Columns * kTileSize; }
    qint64 HeightPixels() const { return Rows * kTileSize; }
    double PixelWidthMetres() const { return (EastMetres - WestMetres) / double(WidthPixels()); }
    double PixelHeightMetres() const { return (NorthMetres - SouthMetres) / double(HeightPixels()); }
};

// EPSG:3857 as WKT, the way GIS programs read a .prj.
extern const char kWebMercatorWkt[];

// Spherical Web Mercator on the WGS 84 semi-major axis.
double LongitudeToMercatorX(double longitude);
double LatitudeToMercatorY(double latitude);
double MercatorYToLatitude(double metres);
double MercatorXToLongitude(double metres);
