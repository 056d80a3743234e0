#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "support/temp_folder.h"
#include "task/opened_task.h"
#include "viewer/selection_task.h"

#include <QDir>
#include <gtest/gtest.h>

TEST(SelectionTask, WrittenProjectFileOpensAsTheSameTaskAndCreatesNothingElse)
{
    TempFolder folder;
    const QRectF mapRect(QPointF(841.3, 387.2), QPointF(843.6, 389.9));  // zoom 10, tiles
    const GeoArea area = AreaOfMapRect(mapRect, 10);
    const TaskParameters p = SelectionTaskParameters(area, 12, CYCLE, folder.Path(), QStringLiteral("chosen.qtsk"));
    EXPECT_EQ(p.ThreadCount, 8);
    WriteSelectionTask(p);

    EXPECT_EQ(QDir(folder.Path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"chosen.qtsk"});
    const OpenedTask opened = OpenTaskReadOnly(folder.File(QStringLiteral("chosen.qtsk")));
    EXPECT_EQ(opened.Parameters->Zoom, 12);
    EXPECT_EQ(opened.Parameters->MapsType, CYCLE);
    EXPECT_DOUBLE_EQ(opened.Parameters->LeftLongitude, area.Left);
    EXPECT_DOUBLE_EQ(opened.Parameters->BottomLatitude, area.Bottom);
    // The selection at zoom 10 spans these tiles at zoom 12.
    EXPECT_EQ(opened.Task->MinX, LongitudeToTileX(area.Left, 12));
    EXPECT_EQ(opened.Task->MaxY, LatitudeToTileY(area.Bottom, 12));
    EXPECT_EQ(opened.Task->TotalCount, TaskTileCount(p));
}

TEST(SelectionTask, AreaIsClampedToWhatATaskAcceptsAndCopiedInTheMainWindowsOrder)
{
    const GeoArea world = AreaOfMapRect(QRectF(QPointF(-5, -5), QPointF(1030, 1030)), 10);
    EXPECT_EQ(world.Left, -180);
    EXPECT_EQ(world.Right, 180);
    EXPECT_EQ(world.Top, 85);
    EXPECT_EQ(world.Bottom, -85);
    EXPECT_EQ(BoundsText(GeoArea{116.25, 116.5, 40, 39.5}), QStringLiteral("116.25 116.5 40 39.5"));
}

TEST(SelectionTask, SmallAreasLowerTheThreadCountAndHugeOnesAreRefused)
{
    const TaskParameters one = SelectionTaskParameters(GeoArea{116.1, 116.1, 40, 40}, 10, MAPNIK, "/x/", "a.qtsk");
    EXPECT_EQ(one.ThreadCount, 1);
    EXPECT_THROW(SelectionTaskParameters(GeoArea{-180, 180, 85, -85}, 18, MAPNIK, "/x/", "a.qtsk"), AppError);
    EXPECT_EQ(AverageTileBytes(nullptr), 15 * 1024);
    TileCounts counts;
    counts.Stored = 3;
    counts.Blank = 1;
    counts.BytesOnDisk = 4000;
    EXPECT_EQ(AverageTileBytes(&counts), 1000);
}
