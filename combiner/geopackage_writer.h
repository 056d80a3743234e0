#pragma once

#include "combiner/tile_database.h"

// An OGC GeoPackage 1.2 of tiles: EPSG:3857, a tile matrix set on the web-map
// grid of the whole world, so tile_column and tile_row are the tiles' own x
// and y, one tile matrix per zoom level, and the PNG bytes unchanged.
class GeoPackageWriter : public TileDatabase {
public:
    static constexpr int kApplicationId = 0x47504B47;  // "GPKG"
    static constexpr int kUserVersion = 10200;
    // The table of the tiles, as gpkg_contents names it.
    static constexpr char kTable[] = "tiles";

    GeoPackageWriter(const QString& target, const TileSetDescription& description);

private:
    qint64 StoredRow(int, int y) const override { return y; }
    void CreateTables();
    void Describe(const TileSetDescription& description);
};
