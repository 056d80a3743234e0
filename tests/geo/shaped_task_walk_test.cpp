#include "geo/area_file.h"
#include "geo/area_shape.h"
#include "geo/tile_cover.h"
#include "platform/text_files.h"
#include "task/stored_shape.h"
#include "task/task_fixture.h"

#include <QFile>
#include <gtest/gtest.h>
#include <ogr_geometry.h>

namespace {
// A ring with a hole at zoom 12: columns whose rows come in two spans.
AreaShape Ring()
{
    const ShapeResult outer = PolygonShape({{8.0, 47.6}, {8.6, 47.6}, {8.6, 47.2}, {8.0, 47.2}}, "ring");
    const ShapeResult hole = PolygonShape({{8.15, 47.5}, {8.45, 47.5}, {8.45, 47.3}, {8.15, 47.3}}, "hole");
    return AreaShape(std::unique_ptr<OGRGeometry>(outer.Shape->Geometry().Difference(&hole.Shape->Geometry())));
}

struct ShapedExampleTask : ExampleTask {
    ShapedExampleTask()
    {
        parameters.Zoom = 12;
        parameters.Shape = MakeShapedArea(Ring(), "newtask.area.geojson", "ring", 0);
        parameters.Cover = parameters.Shape->CoverAt(parameters.Zoom);
    }
};
}

// Places count the walked tiles in the workers' order; a tile outside the
// cover has the place of the last walked tile before it.
TEST(ShapedTaskWalk, PlacesNumberTheCoversTilesInWalkOrder)
{
    ShapedExampleTask t;
    const MDTask task(&t.parameters, MDTask::ReadOnly{});
    ASSERT_TRUE(task.Walk.IsShaped());
    EXPECT_EQ(task.TotalCount, t.parameters.Cover->Count());
    qint64 place = 0;
    bool someColumnHasTwoSpans = false;
    task.Walk.ForEachTile([&](int x, int y) {
        EXPECT_EQ(task.Walk.PlaceOf(x, y), ++place) << x << "," << y;
        EXPECT_EQ(task.Walk.TileAt(place), std::pair(x, y)) << place;
        EXPECT_TRUE(task.Walk.Holds(x, y));
        someColumnHasTwoSpans = someColumnHasTwoSpans || task.Walk.Column(x).size() == 2;
        return true;
    });
    EXPECT_EQ(place, task.TotalCount);
    ASSERT_TRUE(someColumnHasTwoSpans);
    for (int x = task.MinX; x <= task.MaxX; ++x) {
        const auto spans = task.Walk.Column(x);
        if (spans.size() != 2)
            continue;
        const int inHole = spans[0].Last + 1;
        EXPECT_FALSE(task.Walk.Holds(x, inHole));
        EXPECT_EQ(task.Walk.PlaceOf(x, inHole), task.Walk.PlaceOf(x, spans[0].Last));
    }
    EXPECT_EQ(task.Walk.PlaceOf(task.MinX - 1, task.MinY), 0);
    EXPECT_EQ(task.Walk.PlaceOf(task.MaxX + 1, task.MinY), task.TotalCount);
}

// The tile list holds the cover's tiles in walk order, and a continued task
// knows a complete list by its size (a list of other size is written again).
TEST(ShapedTaskWalk, TileListHoldsTheCoverAndItsSizeIsKnownInAdvance)
{
    ShapedExampleTask t;
    {
        const MDTask task(&t.parameters);
        task.WriteTaskFiles();
        const QStringList lines = ReadTextLines(task.ListFileName);
        ASSERT_EQ(lines.size(), task.TotalCount + 1);
        qint64 line = 1;
        task.Walk.ForEachTile([&](int x, int y) {
            EXPECT_TRUE(lines[line++].startsWith(task.TileFileName(x, y) + ": "));
            return true;
        });
        EXPECT_TRUE(ReadTextLines(task.LogFileName).contains("Area file: newtask.area.geojson"));
    }
    // Same size, one character changed: kept. One line short: written again.
    const QString list = t.folder.File("newtask_list.txt");
    QByteArray bytes = t.folder.Read("newtask_list.txt");
    const QByteArray original = bytes;
    bytes[0] = 'X';
    t.folder.Write("newtask_list.txt", bytes);
    t.parameters.Continue = true;
    MDTask(&t.parameters).WriteTileList();
    EXPECT_EQ(t.folder.Read("newtask_list.txt"), bytes);
    t.folder.Write("newtask_list.txt", original.left(original.lastIndexOf("\r\n", original.size() - 3) + 2));
    MDTask(&t.parameters).WriteTileList();
    EXPECT_EQ(t.folder.Read("newtask_list.txt"), original);
    EXPECT_TRUE(ReadAreaFile(t.folder.File("newtask.area.geojson")).Ok());
}

TEST(TaskWalk, ARectanglesTileAtAPlaceIsTheInverseOfItsPlace)
{
    const TaskWalk walk(10, 20, 12, 23);
    qint64 place = 0;
    walk.ForEachTile([&](int x, int y) {
        EXPECT_EQ(walk.TileAt(++place), std::pair(x, y)) << place;
        return true;
    });
    EXPECT_EQ(place, 12);
}
