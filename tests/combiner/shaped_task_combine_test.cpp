#include "combiner_fixture.h"
#include "geo/area_shape.h"
#include "task/stored_shape.h"

#include <QImage>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {
// The example task made shaped: an L over tiles 841/387, 842/387 and
// 841/388 of its 3 x 2; every other place lies outside and has no file.
struct ShapedCombinerTask : CombinerTask {
    ShapedCombinerTask()
    {
        const ShapeResult drawn = PolygonShape({{115.7, 40.15}, {116.3, 40.15}, {116.3, 39.95}, {116.0, 39.95},
            {116.0, 39.7}, {115.7, 39.7}}, QStringLiteral("drawn"));
        EXPECT_TRUE(drawn.Ok());
        parameters.Shape = MakeShapedArea(*drawn.Shape, QStringLiteral("area.area.geojson"), QStringLiteral("drawn"), 0);
        parameters.Cover = parameters.Shape->CoverAt(parameters.Zoom);
        shaped = std::make_unique<MDTask>(&parameters);
        shaped->WriteAreaFile();
        QFile::remove(ProjectFile());
        shaped->WriteProjectFile();
        for (auto [x, y] : {std::pair{842, 388}, std::pair{843, 387}, std::pair{843, 388}})
            QFile::remove(TilePath(x, y));
    }
    std::unique_ptr<MDTask> shaped;
};

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
