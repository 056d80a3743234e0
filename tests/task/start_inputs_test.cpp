#include "task/start_inputs.h"
#include "task/tile_usage_policy.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

TEST(StartInputs, AreaNumbersAcceptEitherDecimalMarkAndRefuseTextWithoutANumber)
{
    EXPECT_EQ(ReadAreaNumber("116,39"), ReadAreaNumber("116.39"));
    EXPECT_DOUBLE_EQ(*ReadAreaNumber(" -12.5east"), -12.5);
    EXPECT_DOUBLE_EQ(*ReadAreaNumber("1e2"), 100);
    for (const char* text : {"", "   ", "east", "-", ".", "1e999"})
        EXPECT_FALSE(ReadAreaNumber(text)) << text;
}

TEST(StartInputs, AreaChecksAcceptTheirBoundsAndNameTheFirstFault)
{
    EXPECT_FALSE(AreaProblem({180, 180, 85, 85}));
    EXPECT_FALSE(AreaProblem({-180, 180, 85, -85}));
    EXPECT_EQ(*AreaProblem({-180.5, 190, 90, 90}), "Left Longitude should be between -180 and 180.");
    EXPECT_EQ(*AreaProblem({0, 0, 85.01, 0}), "Top Latitude should be between -85 and 85.");
    EXPECT_EQ(*AreaProblem({1, 0, 20, 10}), "Left Longitude should less than Right Longitude!");
    EXPECT_EQ(*AreaProblem({0, 1, 10, 20}), "Bottom Latitude should less than Top Latitude!");
}

TEST(StartInputs, TaskNamesGetTheProjectExtensionUnlessTheyHaveItExactly)
{
    EXPECT_EQ(ProjectFileNameFor("newtask"), "newtask.qtsk");
    EXPECT_EQ(ProjectFileNameFor("newtask.qtsk"), "newtask.qtsk");
    EXPECT_EQ(ProjectFileNameFor("my.task"), "my.task.qtsk");
    EXPECT_EQ(ProjectFileNameFor("x.QTSK"), "x.QTSK.qtsk");
    EXPECT_EQ(ProjectFileNameFor("dir.qtsk/name"), "dir.qtsk/name.qtsk");
}

TEST(StartInputs, OnlyTheSameInputsAsTypedContinueAProject)
{
    TempFolder folder;
    folder.Write("a.qtsk", "[MapsType]\r\nMapsType=8\r\n[AREA]\r\nLeftLongitude=116.3\r\nRightLongitude=116.4\r\n"
                           "TopLatitude=40\r\nBottomLatitude=39.9\r\n[Zoom]\r\nZoom=15\r\n");
    const QString typedFolder = folder.Path().chopped(1);
    const TaskInputs same{"116.3", "116.4", "40", "39.9", 15, 8, typedFolder, "a.qtsk"};
    EXPECT_TRUE(ContinuesProject(folder.File("a.qtsk"), same));

    TaskInputs changed = same;
    changed.LeftLongitude = "116.30";
    EXPECT_FALSE(ContinuesProject(folder.File("a.qtsk"), changed));
    changed = same;
    changed.TypedTaskName = "a";
    EXPECT_FALSE(ContinuesProject(folder.File("a.qtsk"), changed)) << "a name typed without .qtsk never continues";
    changed = same;
    changed.MapsType = 9;
    EXPECT_FALSE(ContinuesProject(folder.File("a.qtsk"), changed));
    changed = same;
    changed.Zoom = 14;
    EXPECT_FALSE(ContinuesProject(folder.File("a.qtsk"), changed));
    EXPECT_FALSE(ContinuesProject(folder.File("missing.qtsk"), same));
}

TEST(TileUsagePolicy, LimitsBulkTasksOnOpenStreetMapHostsOnly)
{
    EXPECT_TRUE(IsOpenStreetMapAddress("http://tile.openstreetmap.org/{z}/{x}/{y}.png"));
    EXPECT_TRUE(IsOpenStreetMapAddress("https://user@OpenStreetMap.org:8080/{z}/{x}/{y}.png"));
    EXPECT_FALSE(IsOpenStreetMapAddress("http://tile.opencyclemap.org/cycle/{z}/{x}/{y}.png"));
    EXPECT_FALSE(IsOpenStreetMapAddress("http://openstreetmap.org.example.com/{z}/{x}/{y}.png"));
    EXPECT_FALSE(IsOpenStreetMapAddress("http://127.0.0.1:8080/openstreetmap.org/{z}.png"));

    TaskParameters p;
    p.Zoom = 4;  // 16 x 16 tiles
    p.LeftLongitude = -180;
    p.RightLongitude = 180;
    p.TopLatitude = 85;
    p.BottomLatitude = -85;
    EXPECT_TRUE(TileUsagePolicyRefusal(p));
    p.MapsType = CYCLE;
    EXPECT_FALSE(TileUsagePolicyRefusal(p)) << "other servers have no limit";
    p.MapsType = MAPNIK;
    p.Zoom = 3;  // 8 x 8 tiles
    EXPECT_FALSE(TileUsagePolicyRefusal(p));
    p.Zoom = 40;
    EXPECT_FALSE(TileUsagePolicyRefusal(p)) << "the task core refuses that zoom";
}
