#include "support/temp_folder.h"
#include "task/download_task.h"
#include "task/zoom_series.h"

#include <gtest/gtest.h>

namespace {
// A project file as a task writes it, for the given zoom, edges and map type.
void WriteProject(const TempFolder& folder, const QString& name, int zoom, double left = 116.0, int mapsType = MAPNIK)
{
    TaskParameters parameters;
    parameters.LeftLongitude = left;
    parameters.RightLongitude = 116.5;
    parameters.TopLatitude = 40.0;
    parameters.BottomLatitude = 39.5;
    parameters.Zoom = zoom;
    parameters.MapsType = mapsType;
    parameters.Path = folder.Path();
    parameters.TaskName = name;
    MDTask(&parameters, MDTask::ReadOnly{}).WriteProjectFile();
}

QList<int> Zooms(const QList<SeriesTask>& series)
{
    QList<int> zooms;
    for (const SeriesTask& task : series)
        zooms.append(task.Zoom);
    return zooms;
}
}

TEST(ZoomSeriesNames, CarryTheZoomAndReadBack)
{
    EXPECT_EQ(SeriesProjectFileName(QStringLiteral("alps.qtsk"), 10), QStringLiteral("alps_z10.qtsk"));
    EXPECT_EQ(SeriesProjectFileName(QStringLiteral("/maps/alps.v2.qtsk"), 3), QStringLiteral("/maps/alps.v2_z3.qtsk"));

    const auto parsed = ParseSeriesProjectFileName(QStringLiteral("/maps/alps_z10.qtsk"));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->BaseProjectFile, QStringLiteral("/maps/alps.qtsk"));
    EXPECT_EQ(parsed->Zoom, 10);
    // A stem that itself ends in a zoom-like part keeps it.
    EXPECT_EQ(ParseSeriesProjectFileName(QStringLiteral("a_z1_z2.qtsk"))->BaseProjectFile, QStringLiteral("a_z1.qtsk"));

    for (const char* notMember : {"alps.qtsk", "_z10.qtsk", "alps_z010.qtsk", "alps_z31.qtsk", "alps_z-1.qtsk",
             "alps_z10.QTSK", "alps_z10.qtsk.bak", "/maps_z3/alps.qtsk"})
        EXPECT_FALSE(ParseSeriesProjectFileName(QString::fromLatin1(notMember))) << notMember;
}

TEST(ZoomSeriesFind, GathersMembersOfTheSameAreaAndMapTypeLowestZoomFirst)
{
    TempFolder folder;
    WriteProject(folder, QStringLiteral("alps_z12.qtsk"), 12);
    WriteProject(folder, QStringLiteral("alps_z10.qtsk"), 10);
    WriteProject(folder, QStringLiteral("alps_z11.qtsk"), 11);
    WriteProject(folder, QStringLiteral("alps_z13.qtsk"), 13, 115.0);         // another area
    WriteProject(folder, QStringLiteral("alps_z14.qtsk"), 14, 116.0, CYCLE);  // another map type
    WriteProject(folder, QStringLiteral("alps_z15.qtsk"), 9);                 // name and zoom disagree
    WriteProject(folder, QStringLiteral("alpine_z9.qtsk"), 9);                // another stem
    WriteProject(folder, QStringLiteral("alps.qtsk"), 16);                    // the single task of that name

    const QList<SeriesTask> series = FindSeriesBeside(folder.File(QStringLiteral("alps_z11.qtsk")));
    EXPECT_EQ(Zooms(series), (QList<int>{10, 11, 12}));
    EXPECT_EQ(series[0].ProjectFile, folder.File(QStringLiteral("alps_z10.qtsk")));

    // A member of another area sees only itself.
    EXPECT_EQ(Zooms(FindSeriesBeside(folder.File(QStringLiteral("alps_z13.qtsk")))), (QList<int>{13}));
    // A task not named as a member is alone, with the zoom it stores.
    EXPECT_EQ(Zooms(FindSeriesBeside(folder.File(QStringLiteral("alps.qtsk")))), (QList<int>{16}));
}

TEST(ZoomSeriesFind, AnUnreadableFileGivesItselfAlone)
{
    TempFolder folder;
    WriteProject(folder, QStringLiteral("alps_z10.qtsk"), 10);
    folder.Write(QStringLiteral("alps_z11.qtsk"), "[AREA]\r\nLeftLongitude=116\r\n");
    const QList<SeriesTask> series = FindSeriesBeside(folder.File(QStringLiteral("alps_z11.qtsk")));
    ASSERT_EQ(series.size(), 1);
    EXPECT_EQ(series[0].ProjectFile, folder.File(QStringLiteral("alps_z11.qtsk")));
    EXPECT_EQ(Zooms(FindSeriesBeside(folder.File(QStringLiteral("alps_z10.qtsk")))), (QList<int>{10}));
    EXPECT_FALSE(ReadSeriesIdentity(folder.File(QStringLiteral("missing.qtsk"))));
}
