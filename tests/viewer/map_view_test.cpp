#include "image/tile_image.h"
#include "support/checker_tiles.h"
#include "support/run_until.h"
#include "viewer/tile_style.h"
#include "viewer/viewed_task.h"
#include "viewer/window/map_view.h"
#include "viewer/window/tile_cell_painter.h"
#include "viewer_task_fixture.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {
QColor PixelAt(MapView& view, QPointF map)
{
    return view.grab().toImage().pixelColor(view.Geometry().ToScreen(map).toPoint());
}
}

TEST(MapView, SmallTilesShowTheCoverageMapInTheRightPlaces)
{
    ViewerTask fixture;
    fixture.WriteOneTileOfEachState();
    ViewedTask viewed(fixture.ProjectFile());
    ASSERT_TRUE(RunEventsUntil([&] { return viewed.IsCounted(); }));
    MapView view;
    view.resize(40, 40);
    view.SetTask(&viewed);
    ASSERT_TRUE(view.IsCoverageMode());
    EXPECT_EQ(PixelAt(view, QPointF(841.5, 387.5)), TileStateColor(TileState::Stored));
    EXPECT_EQ(PixelAt(view, QPointF(843.5, 387.5)), TileStateColor(TileState::Unreadable));
    EXPECT_EQ(PixelAt(view, QPointF(841.5, 388.5)), TileStateColor(TileState::Failed));
    EXPECT_EQ(PixelAt(view, QPointF(843.5, 389.5)), TileStateColor(TileState::Missing));
}

TEST(MapView, LargeTilesShowTheirImagesOnceDecodedAndAPlaceholderBefore)
{
    ViewerTask fixture;
    fixture.WriteOneTileOfEachState();
    ViewedTask viewed(fixture.ProjectFile());
    MapView view;
    view.resize(800, 600);
    view.SetTask(&viewed);
    ASSERT_FALSE(view.IsCoverageMode());
    EXPECT_EQ(PixelAt(view, QPointF(841.5, 387.5)), UnknownTileColor());
    ASSERT_TRUE(RunEventsUntil([&] {
        view.grab();
        return !viewed.IsDecoding() && viewed.IsListed();
    }));
    EXPECT_EQ(PixelAt(view, QPointF(841.5, 387.5)), QColor(Qt::darkGreen));
    // Scaled into its cell: the 100 x 50 image fills all of it.
    EXPECT_EQ(PixelAt(view, QPointF(842.1, 388.9)), QColor(Qt::blue));
    // A failed tile is tinted, a missing one left clear.
    EXPECT_NE(PixelAt(view, QPointF(841.4, 388.6)), TileStateColor(TileState::Missing));
    EXPECT_EQ(PixelAt(view, QPointF(843.4, 389.6)), TileStateColor(TileState::Missing));
}

// A tile image larger than its cell, as while the cell's own size is being
// decoded, is drawn smoothly: at half size every pixel mixes four.
TEST(TileCellPainter, ImagesLargerThanTheirCellAreDrawnSmoothly)
{
    for (const CheckerTile& tile : checker::AllKinds(256)) {
        SCOPED_TRACE(tile.Kind);
        const QImage image = DecodeTileImage(tile.Png).Image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage canvas(128, 128, QImage::Format_ARGB32_Premultiplied);
        canvas.fill(Qt::transparent);
        QPainter painter(&canvas);
        PaintTileImage(painter, QRectF(0, 0, 128, 128), image, TileState::Stored);
        painter.end();
        EXPECT_LE(checker::LargestDifference(canvas, tile.Mix), 4);
    }
}
