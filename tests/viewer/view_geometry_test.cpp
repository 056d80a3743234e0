#include "viewer/coordinate_text.h"
#include "viewer/coverage_map.h"
#include "viewer/online_tile_wish.h"
#include "viewer/tile_image_cache.h"
#include "viewer/view_geometry.h"

#include <gtest/gtest.h>

namespace {
ViewGeometry FittedView(QRectF area)
{
    ViewGeometry view;
    view.SetViewportSize(QSizeF(800, 600));
    view.SetArea(area);
    return view;
}

void ExpectNear(QPointF actual, QPointF expected)
{
    EXPECT_NEAR(actual.x(), expected.x(), 1e-6);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-6);
}
}

TEST(ViewGeometry, FitsTheWholeAreaAndZoomsOutNoFurther)
{
    ViewGeometry view = FittedView(QRectF(100, 200, 1000, 10));
    const QRectF visible = view.VisibleMap();
    EXPECT_TRUE(visible.contains(QRectF(100, 200, 1000, 10)));
    view.ZoomAt(QPointF(10, 10), 0.1);
    EXPECT_DOUBLE_EQ(view.PixelsPerTile(), view.MinPixelsPerTile());
}

TEST(ViewGeometry, ZoomKeepsThePointUnderTheCursorUntilFourTimesOverZoom)
{
    ViewGeometry view = FittedView(QRectF(0, 0, 50, 50));
    const QPointF cursor(123, 456);
    const QPointF anchor = view.ToMap(cursor);
    view.ZoomAt(cursor, 3);
    ExpectNear(view.ToMap(cursor), anchor);
    for (int i = 0; i < 20; ++i)
        view.ZoomAt(cursor, 2);
    EXPECT_DOUBLE_EQ(view.PixelsPerTile(), 4 * 256);
    ExpectNear(view.ToMap(cursor), anchor);
}

TEST(ViewGeometry, OneTileTaskStopsAtFourTimesOverZoomEvenWhenFitted)
{
    ViewGeometry view;
    view.SetViewportSize(QSizeF(4000, 3000));
    view.SetArea(QRectF(5, 5, 1, 1));
    EXPECT_DOUBLE_EQ(view.PixelsPerTile(), 4 * 256);
}

TEST(ViewGeometry, PanningCannotLoseTheArea)
{
    ViewGeometry view = FittedView(QRectF(0, 0, 10, 10));
    view.ZoomAt(QPointF(400, 300), 8);
    view.PanBy(QPointF(1e7, -1e7));
    EXPECT_TRUE(view.VisibleMap().intersects(QRectF(0, 0, 10, 10)));
    EXPECT_DOUBLE_EQ(view.Center().x(), 0);
    EXPECT_DOUBLE_EQ(view.Center().y(), 10);
}

TEST(CoverageMap, OneCellPerTileUntilTheTaskIsWiderThanTheLimit)
{
    CoverageMap small(QRect(QPoint(10, 20), QPoint(12, 21)));
    EXPECT_EQ(small.BlockSize(), 1);
    EXPECT_EQ(small.Image().size(), QSize(3, 2));
    EXPECT_FALSE(small.TileStateAt(10, 20));
    small.SetTileState(12, 21, TileState::Failed);
    EXPECT_EQ(small.TileStateAt(12, 21), TileState::Failed);
    small.SetTileState(12, 21, TileState::Stored);
    EXPECT_EQ(small.TileStateAt(12, 21), TileState::Stored);
    small.SetTileState(13, 21, TileState::Stored);  // outside: ignored

    // 100,000 columns: blocks of 49 x 49 tiles, each showing its most telling state.
    CoverageMap wide(QRect(0, 0, 100000, 3));
    EXPECT_EQ(wide.BlockSize(), 49);
    EXPECT_LE(wide.Image().width(), CoverageMap::kMaxCellsPerSide);
    EXPECT_EQ(wide.Image().height(), 1);
    wide.SetTileState(0, 0, TileState::Unreadable);
    wide.SetTileState(1, 0, TileState::Missing);
    EXPECT_FALSE(wide.TileStateAt(1, 0));
    const QColor unreadable = wide.Image().pixelColor(0, 0);
    wide.SetTileState(2, 0, TileState::Stored);
    EXPECT_EQ(wide.Image().pixelColor(0, 0), unreadable);
}

TEST(CoordinateText, DegreesMinutesSecondsRoundOnceAndNameTheHemisphere)
{
    EXPECT_EQ(LongitudeDmsText(116.1234), QStringLiteral("116°07'24.2\"E"));
    EXPECT_EQ(LatitudeDmsText(-33.5), QStringLiteral("33°30'00.0\"S"));
    // 59.99" rounds up into the next minute and degree, never to 60.0".
    EXPECT_EQ(LongitudeDmsText(-(9 + 59.0 / 60 + 59.99 / 3600)), QStringLiteral("10°00'00.0\"W"));
    EXPECT_EQ(LatitudeDmsText(-0.00000001), QStringLiteral("0°00'00.0\"N"));
    EXPECT_EQ(DecimalDegreesText(-0.5), QStringLiteral("-0.500000"));
}

TEST(TileImageCache, StaysWithinItsBytesAndOffersOtherSizesMeanwhile)
{
    TileImageCache cache(qint64(1) << 20);  // 1 MB: four full tiles
    QImage full(256, 256, QImage::Format_ARGB32_Premultiplied);
    for (int x = 0; x < 10; ++x)
        cache.Insert(TileKey{x, 0, 256}, full, TileState::Stored);
    EXPECT_LE(cache.UsedBytes(), qint64(1) << 20);
    EXPECT_TRUE(cache.Find(TileKey{9, 0, 256}));
    EXPECT_FALSE(cache.Find(TileKey{0, 0, 256}));
    EXPECT_TRUE(cache.FindAnySize(TileKey{9, 0, 64}));
    EXPECT_EQ(DecodeEdgeFor(3), 16);
    EXPECT_EQ(DecodeEdgeFor(100), 128);
    EXPECT_EQ(DecodeEdgeFor(1024), 256);
}

TEST(OnlineTileWish, TilesNearTheirOwnSizeInViewThenOneRingWithinTheWorld)
{
    // Task tiles of zoom 10 drawn at 64 px: online tiles of zoom 8 are 256 px.
    const OnlineTileWish wish = OnlineTilesFor(QRectF(QPointF(841.5, 387.0), QPointF(849.5, 391.0)), 10, 64);
    EXPECT_EQ(wish.Zoom, 8);
    EXPECT_DOUBLE_EQ(wish.Scale, 0.25);
    EXPECT_EQ(wish.Visible, QRect(QPoint(210, 96), QPoint(212, 97)));
    ASSERT_EQ(wish.Tiles.size(), 5 * 4);
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(wish.Visible.contains(wish.Tiles[i]));
    EXPECT_FALSE(wish.Visible.contains(wish.Tiles[6]));

    // At the world's corner the ring stops at the edge; deep over-zoom stays at the server's last zoom.
    const OnlineTileWish corner = OnlineTilesFor(QRectF(0, 0, 0.5, 0.5), 18, 1024, 19);
    EXPECT_EQ(corner.Zoom, 19);
    EXPECT_EQ(corner.Visible, QRect(0, 0, 1, 1));
    EXPECT_EQ(corner.Tiles, (QList<QPoint>{QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}));
}
