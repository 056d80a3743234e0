#include "geo/tile_math.h"

#include <gtest/gtest.h>

TEST(TileMath, LongitudeToColumnIsNotClampedAtTheEastEdge)
{
    EXPECT_EQ(LongitudeToTileX(-180, 13), 0);
    EXPECT_EQ(LongitudeToTileX(180, 13), 8192);
    EXPECT_DOUBLE_EQ(TileXToLongitude(8193, 13), 180.0439453125);
    EXPECT_EQ(LongitudeToTileX(116.0, 10), 841);
    EXPECT_EQ(LongitudeToTileX(116.5, 10), 843);
}

TEST(TileMath, LatitudeToRow)
{
    EXPECT_EQ(LatitudeToTileY(0, 13), 4096);
    EXPECT_EQ(LatitudeToTileY(0, 1), 1);
    EXPECT_EQ(LatitudeToTileY(85, 13), 13);
    EXPECT_EQ(LatitudeToTileY(85, 18), 429);
    EXPECT_EQ(LatitudeToTileY(-85, 13), 8178);
    EXPECT_EQ(LatitudeToTileY(-85, 18), 261714);
}

class TileEdgesAtEveryZoom : public testing::TestWithParam<int> {};

TEST_P(TileEdgesAtEveryZoom, OuterRowsAreTheProjectionLimits)
{
    const int zoom = GetParam();
    const double n = static_cast<double>(1 << zoom);
    EXPECT_NEAR(TileYToLatitude(0, zoom), 85.0511287798066, 1e-12);
    EXPECT_NEAR(TileYToLatitude(n, zoom), -85.0511287798066, 1e-12);
    EXPECT_NEAR(TileYToLatitude(n / 2, zoom), 0, 1e-12);
    EXPECT_DOUBLE_EQ(TileXToLongitude(0, zoom), -180);
    EXPECT_DOUBLE_EQ(TileXToLongitude(n, zoom), 180);
}

INSTANTIATE_TEST_SUITE_P(Zooms, TileEdgesAtEveryZoom, testing::Range(0, 31));

TEST(TileMath, EdgesOfTheTileListExample)
{
    EXPECT_DOUBLE_EQ(TileXToLongitude(841, 10), 115.6640625);
    EXPECT_DOUBLE_EQ(TileXToLongitude(842, 10), 116.015625);
    EXPECT_NEAR(TileYToLatitude(387, 10), 40.17887331434696, 1e-13);
    EXPECT_NEAR(TileYToLatitude(388, 10), 39.90973623453718, 1e-13);
}
