#pragma once

#include "geo/area_shape.h"
#include "geo/tile_cover.h"
#include "geo/tile_math.h"

#include <gtest/gtest.h>
#include <ogr_geometry.h>

#include <QByteArray>
#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

// Checks for shaped areas, worked out the slow and obvious way.

// Distance on the sphere in metres.
inline double HaversineMetres(double lon1, double lat1, double lon2, double lat2)
{
    const double r = std::numbers::pi / 180;
    const double h = std::pow(std::sin((lat2 - lat1) * r / 2), 2)
        + std::cos(lat1 * r) * std::cos(lat2 * r) * std::pow(std::sin((lon2 - lon1) * r / 2), 2);
    return 2 * 6371008.8 * std::asin(std::sqrt(h));
}

// Every tile of the shape's bounding rectangle whose square shares more
// than its edges with the shape, one GEOS test per tile, columns outer.
inline std::vector<std::pair<int, int>> BruteForceTiles(const AreaShape& shape, int zoom)
{
    OGREnvelope bounds;
    shape.Geometry().getEnvelope(&bounds);
    const int last = (1 << zoom) - 1;
    std::vector<std::pair<int, int>> tiles;
    for (int x = LongitudeToTileX(bounds.MinX, zoom); x <= std::min(last, LongitudeToTileX(bounds.MaxX, zoom)); ++x) {
        for (int y = LatitudeToTileY(bounds.MaxY, zoom); y <= std::min(last, LatitudeToTileY(bounds.MinY, zoom)); ++y) {
            OGRLinearRing ring;
            ring.addPoint(TileXToLongitude(x, zoom), TileYToLatitude(y + 1, zoom));
            ring.addPoint(TileXToLongitude(x + 1, zoom), TileYToLatitude(y + 1, zoom));
            ring.addPoint(TileXToLongitude(x + 1, zoom), TileYToLatitude(y, zoom));
            ring.addPoint(TileXToLongitude(x, zoom), TileYToLatitude(y, zoom));
            ring.closeRings();
            OGRPolygon square;
            square.addRing(&ring);
            if (shape.Geometry().Intersects(&square) && !shape.Geometry().Touches(&square))
                tiles.emplace_back(x, y);
        }
    }
    return tiles;
}

inline std::vector<std::pair<int, int>> CoverTiles(const TileCover& cover)
{
    std::vector<std::pair<int, int>> tiles;
    cover.ForEachTile([&](int x, int y) {
        tiles.emplace_back(x, y);
        return true;
    });
    return tiles;
}

// The cover holds exactly the brute-force tiles, walks them in task order,
// counts them, answers Contains for them and for their neighbours, and has
// their bounding rectangle.
inline void ExpectCoverMatchesBruteForce(const AreaShape& shape, int zoom)
{
    const TileCover cover(shape, zoom);
    const std::vector<std::pair<int, int>> expected = BruteForceTiles(shape, zoom);
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(CoverTiles(cover), expected);
    EXPECT_EQ(cover.Count(), static_cast<std::int64_t>(expected.size()));
    int minY = expected.front().second;
    int maxY = minY;
    for (auto [x, y] : expected) {
        minY = std::min(minY, y);
        maxY = std::max(maxY, y);
        EXPECT_TRUE(cover.Contains(x, y)) << x << "," << y;
        for (auto [dx, dy] : {std::pair {0, 1}, std::pair {0, -1}, std::pair {1, 0}, std::pair {-1, 0}}) {
            const bool inside = std::binary_search(expected.begin(), expected.end(), std::pair {x + dx, y + dy});
            EXPECT_EQ(cover.Contains(x + dx, y + dy), inside) << x + dx << "," << y + dy;
        }
    }
    EXPECT_EQ(cover.MinX(), expected.front().first);
    EXPECT_EQ(cover.MaxX(), expected.back().first);
    EXPECT_EQ(cover.MinY(), minY);
    EXPECT_EQ(cover.MaxY(), maxY);
}
