#include "combiner/lower_zoom_area.h"
#include "geo/tile_cover.h"
#include "shaped_combiner_task.h"
#include "task/task_walk.h"

#include <QImage>
#include <gtest/gtest.h>
#include <ogr_geometry.h>
#include <set>
#include <sqlite3.h>

namespace {
qint64 TileRows(const QString& file)
{
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT count(*) FROM tiles", -1, &statement, nullptr);
    const qint64 rows = sqlite3_step(statement) == SQLITE_ROW ? sqlite3_column_int64(statement, 0) : -1;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return rows;
}
}

// Places outside the area are neither missing nor refused by --strict: the
// image leaves them transparent and a tile set holds only the area's tiles.
TEST(ShapedTaskCombine, PlacesOutsideTheAreaAreTransparentAndNotMissing)
{
    ShapedCombinerTask t;
    EXPECT_EQ(t.shaped->TotalCount, 3);
    for (const auto& [name, format] : {std::pair{"map.png", OutputFormat::Png}, std::pair{"map.mbtiles", OutputFormat::MBTiles}}) {
        RecordingObserver observer;
        CombineRequest request{{t.ProjectFile()}, t.folder.File(name), format};
        request.Strict = true;
        const CombineCounts counts = Combine(request, observer);
        EXPECT_EQ(counts.Stored, 3) << name;
        EXPECT_EQ(counts.Missing, 0) << name;
        EXPECT_TRUE(observer.notes.isEmpty()) << observer.notes.join('\n').toStdString();
    }
    EXPECT_EQ(TileRows(t.folder.File("map.mbtiles")), 3);
    const QImage image = QImage(t.folder.File("map.png")).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(image.size(), QSize(512, 512)) << "the area's columns and rows";
    EXPECT_EQ(image.pixelColor(256 + 128, 256 + 128).alpha(), 0) << "842/388 lies outside";
    EXPECT_EQ(image.pixelColor(128, 256 + 128), CombinerTask::TileImage(841, 388).pixelColor(128, 128));
}

// Lower zooms of a shaped task cover the places over its tiles only, level
// after level: a ring's hole and corners stay out.
TEST(LowerZoomArea, HalvingKeepsThePlacesOverAShapesTiles)
{
    const ShapeResult outer = PolygonShape({{8.0, 47.6}, {8.9, 47.75}, {8.6, 47.2}, {8.0, 47.2}}, "outer");
    const ShapeResult hole = PolygonShape({{8.15, 47.5}, {8.5, 47.5}, {8.5, 47.3}, {8.15, 47.3}}, "hole");
    const AreaShape ring(std::unique_ptr<OGRGeometry>(outer.Shape->Geometry().Difference(&hole.Shape->Geometry())));
    const auto cover = std::make_shared<const TileCover>(ring, 13);
    LowerZoomArea area(TileRect{13, cover->MinX(), cover->MinY(), cover->MaxX(), cover->MaxY()}, TaskWalk(cover));
    for (int level = 1; level <= 5; ++level) {
        area = area.Halved();
        std::set<std::pair<qint64, qint64>> expected;
        cover->ForEachTile([&](int x, int y) {
            expected.emplace(x >> level, y >> level);
            return true;
        });
        std::vector<std::pair<qint64, qint64>> places;
        area.ForEachPlace([&](qint64 x, qint64 y) { places.emplace_back(x, y); });
        EXPECT_EQ(area.Zoom(), 13 - level);
        EXPECT_EQ(std::set(places.begin(), places.end()), expected) << level;
        EXPECT_EQ(places.size(), expected.size()) << "each place once, level " << level;
        EXPECT_EQ(area.Count(), qint64(expected.size()));
        const TileRect bounds = TileRect{13, cover->MinX(), cover->MinY(), cover->MaxX(), cover->MaxY()};
        qint64 outside = 0;
        for (qint64 x = bounds.MinX >> level; x <= bounds.MaxX >> level; ++x)
            for (qint64 y = bounds.MinY >> level; y <= bounds.MaxY >> level; ++y) {
                EXPECT_EQ(area.Contains(x, y), expected.contains({x, y})) << x << "," << y;
                outside += expected.contains({x, y}) ? 0 : 1;
            }
        if (level == 1) {
            EXPECT_GT(outside, 10) << "the hole and the corners";
        }
    }
}

// A tile set with lower zooms of a shaped task walks only the places over
// its area: three of zoom 9 above the L, not the four above its rectangle.
TEST(ShapedTaskCombine, LowerZoomsCountOnlyThePlacesOverTheArea)
{
    ShapedCombinerTask t;
    RecordingObserver observer;
    CombineRequest request{{t.ProjectFile()}, t.folder.File("lower.mbtiles"), OutputFormat::MBTiles};
    request.LowerZooms = 9;
    const CombineCounts counts = Combine(request, observer);
    EXPECT_EQ(counts.Built, 3);
    EXPECT_EQ(observer.last.Total, 4 + 3) << "the mosaic's 2 x 2 places, then zoom 9's";
    EXPECT_EQ(observer.last.Done, observer.last.Total);
    EXPECT_EQ(TileRows(t.folder.File("lower.mbtiles")), 6);
}
