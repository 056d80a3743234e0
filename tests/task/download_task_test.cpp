#include "platform/app_error.h"
#include "task_fixture.h"

#include <QFileInfo>
#include <gtest/gtest.h>

TEST(MDTask, TileRangeEdgesAndCountOfTheWorkedExample)
{
    ExampleTask example;
    const MDTask task(&example.parameters);
    EXPECT_EQ(task.MinX, 841);
    EXPECT_EQ(task.MaxX, 843);
    EXPECT_EQ(task.MinY, 387);
    EXPECT_EQ(task.MaxY, 389);
    EXPECT_EQ(task.TotalCount, 9);
    EXPECT_DOUBLE_EQ(task.LeftLongitudeDownload, 115.6640625);
    EXPECT_DOUBLE_EQ(task.RightLongitudeDownload, 116.71875);
    EXPECT_NEAR(task.TopLatitudeDownload, 40.178873, 1e-6);
    EXPECT_NEAR(task.BottomLatitudeDownload, 39.368279, 1e-6);
}

TEST(MDTask, PointsAndLinesGiveOneColumnOrRow)
{
    ExampleTask example;
    example.parameters.RightLongitude = example.parameters.LeftLongitude;
    const MDTask column(&example.parameters);
    EXPECT_EQ(column.MinX, column.MaxX);
    EXPECT_EQ(column.TotalCount, 3);

    example.parameters.BottomLatitude = example.parameters.TopLatitude;
    const MDTask point(&example.parameters);
    EXPECT_EQ(point.MinY, point.MaxY);
    EXPECT_EQ(point.TotalCount, 1);
}

TEST(MDTask, FileNamesComeFromTheTaskNameUpToItsLastDot)
{
    ExampleTask example;
    const QString path = example.folder.Path();
    const MDTask task(&example.parameters);
    EXPECT_EQ(task.LogFileName, path + "newtask_log.txt");
    EXPECT_EQ(task.FailedFileName, path + "newtask_failed.ftl");
    EXPECT_EQ(task.ListFileName, path + "newtask_list.txt");
    EXPECT_EQ(task.ImageFolder, path + "newtask" + FolderSeparator());
    EXPECT_TRUE(QFileInfo(task.ImageFolder).isDir());

    EXPECT_EQ(MDTask::TaskBase("area.north.qtsk"), "area.north");
    EXPECT_EQ(MDTask::TaskBase("plain"), "plain");
}

TEST(MDTask, TileNamesAndAddressesOfEachMapType)
{
    ExampleTask example;
    example.parameters.Zoom = 13;
    const MDTask task(&example.parameters);
    EXPECT_EQ(task.TileFileName(6743, 3104), "os_6743_3104_13.png");
    EXPECT_EQ(task.TileFilePath(6743, 3104), task.ImageFolder + "os_6743_3104_13.png");
    EXPECT_EQ(task.ImageExtension(), "png");

    example.parameters.Zoom = 4;
    EXPECT_EQ(task.TileUrl(8, 5), "http://tile.openstreetmap.org/4/8/5.png");
    example.parameters.MapsType = OSMARENDER;
    EXPECT_EQ(task.TileUrl(8, 5), "http://tah.openstreetmap.org/Tiles/tile/4/8/5.png");
    EXPECT_EQ(task.TileFileName(8, 5), "oo_8_5_4.png");
    example.parameters.MapsType = CYCLE;
    EXPECT_EQ(task.TileUrl(8, 5), "http://tile.opencyclemap.org/cycle/4/8/5.png");
    EXPECT_EQ(task.TileFileName(8, 5), "oc_8_5_4.png");
    example.parameters.MapsType = 11;
    EXPECT_EQ(task.TileUrl(8, 5), "");

    example.parameters.MapsType = MAPNIK;
    example.parameters.Servers.Mapnik = "http://127.0.0.1:8080/tiles/{z}/{x}/{y}.png?key=k";
    EXPECT_EQ(task.TileUrl(8, 5), "http://127.0.0.1:8080/tiles/4/8/5.png?key=k");
}

TEST(MDTask, ContinuingReadsResumePointsAndEmptyKeysCountAsNone)
{
    ExampleTask example;
    example.folder.Write("newtask.qtsk",
        "[THREADS]\r\nThreadCount=8\r\nT1X=842\r\nT1Y=388\r\nT2X=843\r\nT2Y=\r\nT3X=\r\nT3Y=\r\n"
        "t8x = 841\r\nT8Y=junk\r\n");
    example.parameters.Continue = true;
    const MDTask task(&example.parameters);
    EXPECT_EQ(task.ResumeX[0], 842);
    EXPECT_EQ(task.ResumeY[0], 388);
    EXPECT_EQ(task.ResumeX[1], 843);
    EXPECT_EQ(task.ResumeY[1], 0);
    EXPECT_EQ(task.ResumeX[2], 0);
    EXPECT_EQ(task.ResumeX[7], 841);
    EXPECT_EQ(task.ResumeY[7], 0);

    example.parameters.Continue = false;
    const MDTask fresh(&example.parameters);
    EXPECT_EQ(fresh.ResumeX[0], 0);
}

namespace {
QString ConstructionError(const TaskParameters& parameters)
{
    try {
        MDTask task(&parameters);
    } catch (const AppError& error) {
        return error.Message();
    }
    return {};
}
}

TEST(MDTask, RefusesWhatTheGridCannotHoldBeforeTouchingTheDisk)
{
    ExampleTask example;
    example.parameters.Zoom = 31;
    EXPECT_EQ(ConstructionError(example.parameters),
        "Zoom level 31 is not supported: it must lie between 0 and 30.");
    example.parameters.Zoom = -1;
    EXPECT_FALSE(ConstructionError(example.parameters).isEmpty());

    // The whole world at zoom 18: 262145 columns x 261286 rows.
    example.parameters.Zoom = 18;
    example.parameters.LeftLongitude = -180;
    example.parameters.RightLongitude = 180;
    example.parameters.TopLatitude = 85;
    example.parameters.BottomLatitude = -85;
    EXPECT_TRUE(ConstructionError(example.parameters).startsWith("The area holds 68494818470 tiles at zoom level 18"));
    EXPECT_FALSE(QFileInfo::exists(example.folder.File("newtask")));
}

TEST(MDTask, AnImageFolderThatCannotBeCreatedIsReported)
{
    ExampleTask example;
    example.parameters.Path = example.folder.File("missing") + FolderSeparator();
    EXPECT_EQ(ConstructionError(example.parameters),
        "Create directory " + example.parameters.Path + "newtask" + FolderSeparator() + " Failed.");
}
