#include "task/start_inputs.h"
#include "run/task_progress.h"
#include "task/task_size_estimate.h"
#include "support/temp_folder.h"
#include "task/download_task.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {
// Servers off the Foundation's hosts, so no usage limit applies.
TileServers LoopbackServers()
{
    TileServers servers;
    servers.Mapnik = QStringLiteral("http://127.0.0.1:1/{z}/{x}/{y}.png");
    return servers;
}
}

TEST(TaskSizeEstimate, CountIsTheTaskCoresAndNothingWhereStartRefuses)
{
    TempFolder work;
    TaskInputs inputs{"116", "116.5", "40", "39.5", 10, MAPNIK, work.Path(), "newtask.qtsk"};
    ASSERT_EQ(AcceptedTileCount(ReadCheckedInputs(inputs), LoopbackServers()), 9);

    TaskParameters parameters;
    parameters.LeftLongitude = -180;
    parameters.RightLongitude = 180;
    parameters.TopLatitude = 85;
    parameters.BottomLatitude = -85;
    parameters.Path = work.Path();
    parameters.Servers = LoopbackServers();
    inputs = {"-180", "180", "85", "-85", 0, MAPNIK, work.Path(), "world.qtsk"};
    for (const int zoom : {0, 5, 15}) {
        parameters.Zoom = inputs.Zoom = zoom;
        EXPECT_EQ(AcceptedTileCount(ReadCheckedInputs(inputs), LoopbackServers()), MDTask(&parameters).TotalCount) << zoom;
    }
    // 2^16 x 2^16 tiles at zoom 16 do not fit the workers' 32-bit places.
    parameters.Zoom = inputs.Zoom = 16;
    EXPECT_THROW(MDTask{&parameters}, std::exception);
    EXPECT_FALSE(AcceptedTileCount(ReadCheckedInputs(inputs), LoopbackServers()));
    inputs.Zoom = 31;
    EXPECT_FALSE(AcceptedTileCount(ReadCheckedInputs(inputs), LoopbackServers()));
    inputs.Zoom = 4;
    EXPECT_FALSE(AcceptedTileCount(ReadCheckedInputs(inputs), TileServers())) << "272 tiles from openstreetmap.org";
    EXPECT_EQ(AcceptedTileCount(ReadCheckedInputs(inputs), LoopbackServers()), 17 * 16) << "longitude 180 adds column 16";

    const auto refused = [&](auto change) {
        TaskInputs changed = inputs;
        change(changed);
        return !AcceptedTileCount(ReadCheckedInputs(changed), LoopbackServers());
    };
    EXPECT_TRUE(refused([](TaskInputs& i) { i.TypedFolder.clear(); }));
    EXPECT_TRUE(refused([&](TaskInputs& i) { i.TypedFolder = work.File("missing/deeper"); }));
    EXPECT_FALSE(refused([&](TaskInputs& i) { i.TypedFolder = work.File("made-by-start"); }));
    EXPECT_TRUE(refused([](TaskInputs& i) { i.LeftLongitude = "east"; }));
    EXPECT_TRUE(refused([](TaskInputs& i) { i.TopLatitude = "85.01"; }));
    EXPECT_TRUE(refused([](TaskInputs& i) { std::swap(i.TopLatitude, i.BottomLatitude); }));
    EXPECT_FALSE(QDir(work.File("made-by-start")).exists()) << "a preview creates nothing";
}

TEST(TaskSizeEstimate, SizesRoundToTwoSignificantDigits)
{
    EXPECT_EQ(TileCountAndSizeText(4096, kDefaultTileBytes), "4,096 tiles, about 60 MiB");
    EXPECT_EQ(TileCountAndSizeText(1, kDefaultTileBytes), "1 tile, about 15 KiB");
    EXPECT_EQ(ApproximateSizeText(500), "0.49 KiB");
    EXPECT_EQ(ApproximateSizeText(999 * 1024.0), "0.98 MiB") << "1000 KB would be a longer number";
    EXPECT_EQ(ApproximateSizeText(9.96 * 1024 * 1024), "10 MiB");
    EXPECT_EQ(ApproximateSizeText(1.234 * 1024 * 1024 * 1024), "1.2 GiB");
    EXPECT_EQ(ApproximateSizeText(30000.0 * 1024 * 1024 * 1024), "30,000 GiB");
    EXPECT_EQ(TwoSignificantDigits(7.84), "7.8");
    EXPECT_EQ(TwoSignificantDigits(0), "0");
}

TEST(TaskSizeEstimate, AverageComesFromTheMapTypesTilesInTheImageFolders)
{
    TempFolder work;
    QDir(work.Path()).mkpath("a");
    QDir(work.Path()).mkpath("b");
    work.Write("a/os_1_2_3.png", QByteArray(1000, 'x'));
    work.Write("b/os_4_5_6.png", QByteArray(3000, 'x'));
    work.Write("b/oc_4_5_6.png", QByteArray(90000, 'x'));
    work.Write("b/os_notes.txt", QByteArray(90000, 'x'));
    work.Write("os_7_8_9.png", QByteArray(90000, 'x'));
    const std::atomic<bool> go{false};
    const TileSizeSample sample = SampleTileSizes(work.Path(), "os", 1000, go);
    EXPECT_EQ(sample.Files, 2);
    EXPECT_DOUBLE_EQ(sample.AverageTileBytes(), 2000);
    EXPECT_DOUBLE_EQ(SampleTileSizes(work.Path(), "oo", 1000, go).AverageTileBytes(), kDefaultTileBytes);
    EXPECT_LE(SampleTileSizes(work.Path(), "os", 2, go).Files, 1) << "the entries looked at are bounded";
}

TEST(TaskSizeEstimate, StartAsksAboveTheTileAndZoomThresholds)
{
    EXPECT_FALSE(StartAsksFirst(100000, 18));
    EXPECT_TRUE(StartAsksFirst(100001, 18));
    EXPECT_TRUE(StartAsksFirst(1, 19));
    EXPECT_FALSE(StartAsksFirst(1, 0));
}

TEST(TaskProgress, WorkerSharesAddUpToThePlacesWalked)
{
    for (int threads = 1; threads <= 8; ++threads)
        for (qint64 places = 0; places <= 30; ++places) {
            qint64 sum = 0;
            for (int i = 0; i < threads; ++i)
                sum += ShareTilesUpToPlace(places, i, threads);
            EXPECT_EQ(sum, places) << threads << " threads, " << places << " places";
        }
    EXPECT_EQ(ShareTilesUpToPlace(7, 0, 8), 0);
    EXPECT_EQ(ShareTilesUpToPlace(8, 0, 8), 1);
    EXPECT_EQ(ShareTilesUpToPlace(9, 1, 8), 2);
}

TEST(TaskProgress, FinishedTilesFollowThePositionOrElseTheResumePoint)
{
    TempFolder work;
    TaskParameters parameters;  // zoom 4, columns 8..12, rows 7..8: 10 places
    parameters.LeftLongitude = 10;
    parameters.RightLongitude = 100;
    parameters.TopLatitude = 10;
    parameters.BottomLatitude = -10;
    parameters.Zoom = 4;
    parameters.ThreadCount = 3;
    parameters.Path = work.Path();
    parameters.TaskName = "t.qtsk";
    MDTask task(&parameters);
    ASSERT_EQ(task.TotalCount, 10);
    EXPECT_EQ(PlaceInWalk(task, 8, 7), 1);
    EXPECT_EQ(PlaceInWalk(task, 10, 8), 6);

    EXPECT_EQ(WorkerFinishedTiles(task, 1, {}), 0) << "a new task starts from nothing";
    EXPECT_EQ(WorkerFinishedTiles(task, 1, {10, 7}), 2) << "places 1 and 4 of 1, 4, 7, 10";
    task.ResumeX[1] = 10;
    task.ResumeY[1] = 7;
    EXPECT_EQ(WorkerFinishedTiles(task, 1, {}), 2) << "a continued worker starts from its resume point";
    EXPECT_EQ(WorkerFinishedTiles(task, 1, {12, 8}), 4);
    task.ResumeX[2] = 40;  // hand-edited, beyond the range
    task.ResumeY[2] = 7;
    EXPECT_EQ(WorkerFinishedTiles(task, 2, {}), 3) << "places 2, 5, 8 at most";
}

TEST(TaskProgress, RateCoversTheLastThirtySecondsAndGivesTheTimeLeft)
{
    ProgressRate rate;
    rate.AddSample(0, 100);
    EXPECT_FALSE(rate.TilesPerSecond());
    for (qint64 second = 1; second <= 60; ++second)
        rate.AddSample(second * 1000, 100 + (second <= 30 ? 100 * second : 3000 + 8 * (second - 30)));
    EXPECT_DOUBLE_EQ(*rate.TilesPerSecond(), 8) << "the fast first half is outside the window";

    EXPECT_EQ(ProgressText(1234, 4096, 7.84), "1,234 / 4,096 \u00b7 30% \u00b7 7.8 tiles/s \u00b7 about 6 min left");
    EXPECT_EQ(ProgressText(0, 10, std::nullopt), "0 / 10 \u00b7 0%");
    EXPECT_EQ(ProgressText(4095, 4096, 0), "4,095 / 4,096 \u00b7 99% \u00b7 0 tiles/s");
    EXPECT_EQ(ProgressText(10, 10, 2), "10 / 10 \u00b7 100% \u00b7 2.0 tiles/s");
    EXPECT_EQ(TimeLeftText(44.6), "about 45 s left");
    EXPECT_EQ(TimeLeftText(3 * 3600 + 5 * 60), "about 3 h 5 min left");
    EXPECT_EQ(TimeLeftText(5 * 86400), "about 5 days left");
}
