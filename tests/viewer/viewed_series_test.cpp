#include "support/run_until.h"
#include "viewer/viewed_series.h"
#include "viewer_task_fixture.h"

#include <cmath>
#include <gtest/gtest.h>

TEST(ViewedSeries, TheZoomShownIsTheOneWhoseTilesAreDrawnClosestToTheirSize)
{
    const QList<int> zooms{10, 11, 12};
    // Map positions in tiles of zoom 12: its tiles at 80 px make zoom 10's 320 px.
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 80), 0);
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 160), 1);
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 300), 2);
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 1024), 2);
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 0.01), 0);
    // Either side of halfway (in scale) between two levels.
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 256 / std::sqrt(2.0) + 1), 2);
    EXPECT_EQ(ZoomClosestToTileSize(zooms, 12, 256 / std::sqrt(2.0) - 1), 1);
    // Levels need not be neighbours.
    EXPECT_EQ(ZoomClosestToTileSize({3, 9}, 9, 256.0 / 64), 0);
    EXPECT_EQ(ZoomClosestToTileSize({3, 9}, 9, 256.0 / 7), 1);
    EXPECT_EQ(ZoomClosestToTileSize({7}, 7, 3), 0);
}

TEST(ViewedSeries, AnyMemberOpensTheWholeSeriesAndOnlyIt)
{
    ViewerSeries fixture;
    // Same stem, another area: not of the series.
    fixture.members.push_back(std::make_unique<TaskParameters>(fixture.parameters));
    TaskParameters& other = *fixture.members.back();
    other.Zoom = 13;
    other.TaskName = QStringLiteral("alps_z13.qtsk");
    other.RightLongitude = 116.4;
    MDTask(&other).WriteProjectFile();

    ViewedSeries series(fixture.MemberFile(11));
    EXPECT_EQ(series.Zooms(), (QList<int>{10, 11, 12}));
    EXPECT_TRUE(series.IsSeries());
    EXPECT_EQ(series.Opened().Zoom(), 11);
    EXPECT_EQ(series.ProjectFile(), fixture.MemberFile(11));
    EXPECT_EQ(series.DeepestZoom(), 12);
    ASSERT_TRUE(RunEventsUntil([&] { return series.IsCounted(); }));
    qint64 tiles = 0;
    for (ViewedTask* task : series.Tasks()) {
        EXPECT_EQ(task->Counts().Stored, task->Task().TotalCount) << task->Zoom();
        tiles += task->Task().TotalCount;
    }
    EXPECT_EQ(series.FilesChecked(), tiles);

    // A task outside any series is a series of one.
    ViewedSeries single(fixture.ProjectFile());
    EXPECT_FALSE(single.IsSeries());
    EXPECT_EQ(single.Zooms(), QList<int>{10});
}
