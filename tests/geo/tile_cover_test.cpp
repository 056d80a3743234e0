#include "geo/tile_cover.h"
#include "shape_checks.h"

#include <gtest/gtest.h>
#include <ogr_geometry.h>

namespace {
AreaShape FromWkt(const char* wkt)
{
    OGRGeometry* geometry = nullptr;
    OGRGeometryFactory::createFromWkt(wkt, nullptr, &geometry);
    return AreaShape(std::unique_ptr<OGRGeometry>(geometry));
}
}  // namespace

TEST(TileCover, SmallAreaInsideOneTileIsThatTile)
{
    const TileCover cover(FromWkt("POLYGON ((8.5411 47.3711, 8.5413 47.3711, 8.5413 47.3713, 8.5411 47.3711))"), 10);
    EXPECT_EQ(cover.Count(), 1);
    EXPECT_TRUE(cover.Contains(LongitudeToTileX(8.5412, 10), LatitudeToTileY(47.3712, 10)));
    EXPECT_EQ(cover.MinX(), cover.MaxX());
    EXPECT_EQ(cover.MinY(), cover.MaxY());
}

TEST(TileCover, AreaAlongTileEdgesHoldsJustTheTilesInside)
{
    const int zoom = 12;
    const double west = TileXToLongitude(2100, zoom);
    const double east = TileXToLongitude(2103, zoom);
    const double north = TileYToLatitude(1400, zoom);
    const double south = TileYToLatitude(1402, zoom);
    const double middle = TileYToLatitude(1401, zoom);
    // An L of five tiles: three in the top row, two below.
    const ShapeResult shape = PolygonShape({{west, north}, {east, north}, {east, middle},
                                            {TileXToLongitude(2102, zoom), middle},
                                            {TileXToLongitude(2102, zoom), south}, {west, south}}, "L");
    ASSERT_TRUE(shape.Ok());
    ExpectCoverMatchesBruteForce(*shape.Shape, zoom);
    const TileCover cover(*shape.Shape, zoom);
    EXPECT_EQ(CoverTiles(cover), (std::vector<std::pair<int, int>> {
                                     {2100, 1400}, {2100, 1401}, {2101, 1400}, {2101, 1401}, {2102, 1400}}));
}

TEST(TileCover, ColumnsWithGapsAndPartsApart)
{
    // Two diamonds side by side and a ring around a hole: columns with two
    // row spans, columns the area skips, and a thin sliver.
    const AreaShape shape = FromWkt(
        "MULTIPOLYGON (((-3.71 40.02, -2.13 41.27, -0.47 40.13, -2.11 38.71, -3.71 40.02)),"
        "((3.13 40.11, 5.71 41.93, 7.43 40.07, 5.02 38.19, 3.13 40.11),"
        " (4.31 40.03, 5.22 40.91, 6.02 40.01, 5.11 39.23, 4.31 40.03)),"
        "((9.01 35.01, 14.97 35.02, 14.98 35.03, 9.01 35.01)))");
    ExpectCoverMatchesBruteForce(shape, 9);
    const TileCover cover(shape, 9);
    EXPECT_EQ(cover.Column(cover.MaxX() + 1).size(), 0u);
    EXPECT_FALSE(cover.Contains(LongitudeToTileX(1.5, 9), LatitudeToTileY(40.1, 9)));  // between the parts
}

TEST(TileCover, StopsWhenTheVisitSaysSo)
{
    const TileCover cover(FromWkt("POLYGON ((1.01 1.01, 2.99 1.01, 2.99 2.99, 1.01 2.99, 1.01 1.01))"), 8);
    int visited = 0;
    cover.ForEachTile([&](int, int) { return ++visited < 3; });
    EXPECT_EQ(visited, 3);
}
