#include "combiner_fixture.h"
#include "combiner/sqlite_database.h"
#include "gdal_tools.h"
#include "image/decode_memory_budget.h"
#include "support/run_until.h"
#include "support/test_map_source.h"
#include "platform/app_error.h"

#include <QBuffer>
#include <QJsonArray>
#include <memory>
#include <thread>

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <webp/encode.h>

namespace {
struct Database {
    sqlite3* db = nullptr;
    explicit Database(const QString& file) { sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr); }
    ~Database() { sqlite3_close(db); }

    // The first column of every row, as text (blobs as their bytes).
    QList<QByteArray> Column(const char* sql) const
    {
        QList<QByteArray> values;
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            return {"error: " + QByteArray(sqlite3_errmsg(db))};
        while (sqlite3_step(statement) == SQLITE_ROW)
            values << QByteArray(static_cast<const char*>(sqlite3_column_blob(statement, 0)), sqlite3_column_bytes(statement, 0));
        sqlite3_finalize(statement);
        return values;
    }
};
}

TEST(MBTilesOutput, StoredTilesUnchangedInTmsRowsWithMetadata)
{
    CombinerTask t;
    const QString target = t.CombineWithout(843, 388, QStringLiteral("map.mbtiles"), OutputFormat::MBTiles);

    const Database db(target);
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'name'"), QList<QByteArray>{"area"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'format'"), QList<QByteArray>{"png"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'type'"), QList<QByteArray>{"baselayer"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'minzoom'"), QList<QByteArray>{"10"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'maxzoom'"), QList<QByteArray>{"10"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'bounds'"),
        QList<QByteArray>{"115.66406250,39.63953756,116.71875000,40.17887331"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'center'"),
        QList<QByteArray>{"116.19140625,39.90920544,10"});

    EXPECT_EQ(db.Column("SELECT count(*) FROM tiles"), QList<QByteArray>{"5"});
    // Row 388 from the north is row 1023 - 388 = 635 from the south.
    EXPECT_EQ(db.Column("SELECT tile_data FROM tiles WHERE zoom_level = 10 AND tile_column = 842 AND tile_row = 635"),
        QList<QByteArray>{t.folder.Read("area/os_842_388_10.png")});
    EXPECT_TRUE(db.Column("SELECT tile_row FROM tiles WHERE tile_column = 843 AND tile_row = 635").isEmpty());
    EXPECT_EQ(db.Column("PRAGMA application_id"), QList<QByteArray>{"1297105496"});
    EXPECT_EQ(db.Column("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND sql LIKE 'CREATE UNIQUE INDEX%'"),
        QList<QByteArray>{"1"});
}

namespace {
QByteArray TileAt(const Database& db, int zoom, int x, qint64 row)
{
    const QByteArray sql = "SELECT tile_data FROM tiles WHERE zoom_level = " + QByteArray::number(zoom) + " AND tile_column = "
        + QByteArray::number(x) + " AND tile_row = " + QByteArray::number(row);
    const QList<QByteArray> found = db.Column(sql.constData());
    return found.size() == 1 ? found[0] : QByteArray();
}

qint64 TmsRow(int zoom, int y)
{
    return (qint64(1) << zoom) - 1 - y;
}

CombineCounts CombineTasks(const QStringList& projectFiles, const QString& target, OutputFormat format,
    RecordingObserver& observer, int lowerZooms = -1)
{
    CombineRequest request{projectFiles, target, format};
    request.LowerZooms = lowerZooms;
    return Combine(request, observer);
}

// The premultiplied average of four pixels, back in unassociated RGBA.
QColor AverageOf(const QList<QColor>& pixels)
{
    double r = 0, g = 0, b = 0, a = 0;
    for (const QColor& p : pixels) {
        r += p.red() * p.alpha() / 255.0, g += p.green() * p.alpha() / 255.0, b += p.blue() * p.alpha() / 255.0;
        a += p.alpha();
    }
    if (a == 0)
        return QColor(0, 0, 0, 0);
    return QColor(qRound(r * 255 / a), qRound(g * 255 / a), qRound(b * 255 / a), qRound(a / pixels.size()));
}

void ExpectNear(const QColor& actual, const QColor& expected, int tolerance)
{
    EXPECT_NEAR(actual.alpha(), expected.alpha(), 1);
    EXPECT_NEAR(actual.red(), expected.red(), tolerance);
    EXPECT_NEAR(actual.green(), expected.green(), tolerance);
    EXPECT_NEAR(actual.blue(), expected.blue(), tolerance);
}
}

TEST(TileSetOutputs, ZoomSeriesInMBTilesAndGeoPackageEveryTileUnchanged)
{
    CombinerTask t;
    const OtherTask deeper(t, QStringLiteral("area_z11.qtsk"), 11);
    const MDTask& z11 = *deeper.task;
    const int z11Tiles = (z11.MaxX - z11.MinX + 1) * (z11.MaxY - z11.MinY + 1);
    for (OutputFormat format : {OutputFormat::MBTiles, OutputFormat::GeoPackage}) {
        SCOPED_TRACE(OutputFormatName(format).toStdString());
        RecordingObserver observer;
        const QString target = t.folder.File("series.") + OutputFormatSuffix(format);
        const CombineCounts counts = CombineTasks({t.ProjectFile(), deeper.ProjectFile()}, target, format, observer);
        EXPECT_EQ(counts.Stored, 6 + z11Tiles);
        const Database db(target);
        const bool mbtiles = format == OutputFormat::MBTiles;
        EXPECT_EQ(db.Column("PRAGMA application_id"), QList<QByteArray>{mbtiles ? "1297105496" : "1196444487"});
        EXPECT_EQ(db.Column("SELECT count(*) FROM tiles"), QList<QByteArray>{QByteArray::number(6 + z11Tiles)});
        for (int x = z11.MinX; x <= z11.MaxX; ++x)
            for (int y = z11.MinY; y <= z11.MaxY; ++y)
                EXPECT_EQ(TileAt(db, 11, x, mbtiles ? TmsRow(11, y) : y), QFile(z11.TileFilePath(x, y)).open(QIODevice::ReadOnly)
                        ? t.folder.Read(QStringLiteral("area_z11/") + z11.TileFileName(x, y)) : QByteArray()) << x << "," << y;
        EXPECT_EQ(TileAt(db, 10, 842, mbtiles ? TmsRow(10, 388) : 388), t.folder.Read("area/os_842_388_10.png"));
        if (mbtiles) {
            EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'minzoom'"), QList<QByteArray>{"10"});
            EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'maxzoom'"), QList<QByteArray>{"11"});
            EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'attribution'"),
                QList<QByteArray>{"\xC2\xA9 OpenStreetMap contributors"});
            continue;
        }
        EXPECT_EQ(db.Column("PRAGMA user_version"), QList<QByteArray>{"10200"});
        EXPECT_EQ(db.Column("SELECT data_type || ' ' || srs_id || ' ' || description FROM gpkg_contents"),
            QList<QByteArray>{"tiles 3857 \xC2\xA9 OpenStreetMap contributors"});
        EXPECT_EQ(db.Column("SELECT count(*) FROM gpkg_spatial_ref_sys WHERE srs_id IN (-1, 0, 4326, 3857)"), QList<QByteArray>{"4"});
        EXPECT_EQ(db.Column("SELECT zoom_level || ' ' || matrix_width || ' ' || matrix_height FROM gpkg_tile_matrix ORDER BY zoom_level"),
            (QList<QByteArray>{"10 1024 1024", "11 2048 2048"}));
        const QJsonObject info = GdalInfo(target);
        if (!info.isEmpty()) {
            EXPECT_EQ(info[QStringLiteral("driverShortName")].toString(), "GPKG");
            const QJsonArray size = info[QStringLiteral("size")].toArray();
            // The bounds of all (zoom 10's three tiles) at the deepest zoom.
            EXPECT_EQ(size[0].toInt(), 3 * 2 * 256);
            EXPECT_EQ(info[QStringLiteral("bands")].toArray()[0].toObject()[QStringLiteral("overviews")].toArray().size(), 1);
        }
        if (const auto validated = RunGdalValidator(QStringLiteral("validate_gpkg.py"), {target}))
            EXPECT_EQ(validated->ExitCode, 0) << validated->Output.toStdString();
    }
}

TEST(TileSetOutputs, FirstGivenTaskWinsWhereTwoHoldATileAndTheReportNamesTheOther)
{
    CombinerTask t;
    // Half a degree east: column 843 belongs to both.
    const OtherTask east(t, QStringLiteral("east.qtsk"), 10, 200, 0.5);
    ASSERT_EQ(east.task->MinX, 843);
    RecordingObserver observer;
    const QString target = t.folder.File("both.mbtiles");
    const CombineCounts counts = CombineTasks({east.ProjectFile(), t.ProjectFile()}, target, OutputFormat::MBTiles, observer);
    EXPECT_EQ(counts.Duplicate, 2);
    EXPECT_TRUE(observer.notes.contains("duplicate: os_843_387_10.png of area.qtsk, kept from east.qtsk")) << observer.notes.join(u'\n').toStdString();
    const Database db(target);
    EXPECT_EQ(TileAt(db, 10, 843, TmsRow(10, 387)), t.folder.Read("east/os_843_387_10.png"));
    EXPECT_EQ(TileAt(db, 10, 842, TmsRow(10, 387)), t.folder.Read("area/os_842_387_10.png"));

    OtherTask cycle(t, QStringLiteral("cycle.qtsk"), 10);
    cycle.parameters.MapsType = CYCLE;
    cycle.task->WriteProjectFile();
    try {
        CombineTasks({t.ProjectFile(), cycle.ProjectFile()}, t.folder.File("mixed.gpkg"), OutputFormat::GeoPackage, observer);
        FAIL() << "tasks of two map types were combined";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Tasks of different map types cannot be combined"))) << error.Message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(t.folder.File("mixed.gpkg")));
}

TEST(TileSetOutputs, LowerZoomsAreAveragesAndNeverReplaceADownloadedTile)
{
    CombinerTask t;
    RecordingObserver observer;
    const QString target = t.folder.File("lower.mbtiles");
    const CombineCounts counts = CombineTasks({t.ProjectFile()}, target, OutputFormat::MBTiles, observer, 8);
    const Database db(target);
    EXPECT_EQ(db.Column("SELECT zoom_level || ':' || count(*) FROM tiles GROUP BY zoom_level ORDER BY zoom_level"),
        (QList<QByteArray>{"8:2", "9:4", "10:6"}));
    EXPECT_EQ(counts.Built, 6);
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'minzoom'"), QList<QByteArray>{"8"});
    EXPECT_EQ(TileAt(db, 10, 841, TmsRow(10, 387)), t.folder.Read("area/os_841_387_10.png"));

    // Tile (420, 193) of zoom 9: its lower right quarter is tile (841, 387) halved, the rest is empty.
    const QImage built = QImage::fromData(TileAt(db, 9, 420, TmsRow(9, 193))).convertToFormat(QImage::Format_RGBA8888);
    ASSERT_EQ(built.size(), QSize(256, 256));
    const QImage source = CombinerTask::TileImage(841, 387);
    const auto sourceSquare = [&](int px, int py) {
        return QList<QColor>{source.pixelColor(2 * px, 2 * py), source.pixelColor(2 * px + 1, 2 * py),
            source.pixelColor(2 * px, 2 * py + 1), source.pixelColor(2 * px + 1, 2 * py + 1)};
    };
    ExpectNear(built.pixelColor(128, 128), AverageOf(sourceSquare(0, 0)), 1);
    ExpectNear(built.pixelColor(200, 170), AverageOf(sourceSquare(72, 42)), 1);
    ExpectNear(built.pixelColor(255, 255), AverageOf(sourceSquare(127, 127)), 1);
    EXPECT_EQ(built.pixelColor(10, 10).alpha(), 0);
    EXPECT_EQ(built.pixelColor(200, 10).alpha(), 0);

    // With a task of zoom 9 given, zoom 9 is its own and only zoom 8 is built from it.
    const OtherTask z9(t, QStringLiteral("area_z9.qtsk"), 9, 30);
    const QString series = t.folder.File("series.mbtiles");
    CombineTasks({t.ProjectFile(), z9.ProjectFile()}, series, OutputFormat::MBTiles, observer, 8);
    const Database seriesDb(series);
    for (int x = z9.task->MinX; x <= z9.task->MaxX; ++x)
        for (int y = z9.task->MinY; y <= z9.task->MaxY; ++y)
            EXPECT_EQ(TileAt(seriesDb, 9, x, TmsRow(9, y)), t.folder.Read(QStringLiteral("area_z9/") + z9.task->TileFileName(x, y)));
    EXPECT_EQ(seriesDb.Column("SELECT count(*) FROM tiles WHERE zoom_level = 8"), QList<QByteArray>{"2"});
}

TEST(TileSetOutputs, LowerZoomsDecodeWithinTheProgramsDecodeMemory)
{
    CombinerTask t;
    QImage large(4096, 4096, QImage::Format_RGBA8888);
    large.fill(QColor(10, 200, 30));
    t.WriteTile(841, 387, large);
    // While another decode holds the whole budget, building zoom 9 over the
    // large tile must wait for it instead of decoding beside it.
    auto held = std::make_unique<DecodeMemoryBudget::Share>(DecodeMemoryBudget::ForProgram(), DecodeMemoryBudget::kBytes);
    RecordingObserver observer;
    const QString target = t.folder.File("lower.mbtiles");
    std::thread combine([&] { CombineTasks({t.ProjectFile()}, target, OutputFormat::MBTiles, observer, 9); });
    const bool waited = RunEventsUntil([] { return DecodeMemoryBudget::ForProgram().Waiting() > 0; });
    held.reset();
    combine.join();
    EXPECT_TRUE(waited);
    const Database db(target);
    const QImage built = QImage::fromData(TileAt(db, 9, 420, TmsRow(9, 193))).convertToFormat(QImage::Format_RGBA8888);
    EXPECT_EQ(built.pixelColor(200, 200), QColor(10, 200, 30));
    EXPECT_EQ(built.pixelColor(10, 10).alpha(), 0);
}

TEST(TileSetOutputs, AJpegTileIsStoredAsPngAndReported)
{
    CombinerTask t;
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    CombinerTask::TileImage(842, 387).convertToFormat(QImage::Format_RGB888).save(&buffer, "JPEG", 95);
    t.WriteTileBytes(842, 387, jpeg);
    for (OutputFormat format : {OutputFormat::MBTiles, OutputFormat::GeoPackage}) {
        RecordingObserver observer;
        const QString target = t.folder.File("jpeg.") + OutputFormatSuffix(format);
        const CombineCounts counts = CombineTasks({t.ProjectFile()}, target, format, observer);
        EXPECT_EQ(counts.Converted, 1);
        EXPECT_EQ(observer.notes, QStringList{"converted: os_842_387_10.png"});
        const Database db(target);
        const QByteArray stored = TileAt(db, 10, 842, format == OutputFormat::MBTiles ? TmsRow(10, 387) : 387);
        EXPECT_TRUE(stored.startsWith("\x89PNG\r\n\x1a\n"));
        const QImage image = QImage::fromData(stored, "PNG");
        ASSERT_EQ(image.size(), QSize(256, 256));
        ExpectNear(image.pixelColor(100, 100), CombinerTask::TileImage(842, 387).pixelColor(100, 100), 6);
    }
}

// A blob past SQLite's length limit is refused at the bind: reported, not stored as NULL.
TEST(TileSetOutputs, ATileSqliteDoesNotTakeIsAnErrorNotANullTile)
{
    const TempFolder folder;
    SqliteDatabase db(folder.File("limit.db"), folder.File("limit.mbtiles"));
    db.Execute("CREATE TABLE tiles (tile_data blob)");
    sqlite3_limit(db.Handle(), SQLITE_LIMIT_LENGTH, 1000);
    {
        SqliteStatement insert(db, "INSERT INTO tiles (tile_data) VALUES (?)");
        insert.BindBlob(1, QByteArray(900, 'x')).Run();
        try {
            insert.BindBlob(1, QByteArray(2000, 'x')).Run();
            FAIL() << "a blob past the limit was taken";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Cannot write %1: ").arg(folder.File("limit.mbtiles"))))
                << error.Message().toStdString();
        }
    }
    db.Close();
    const Database check(folder.File("limit.db"));
    EXPECT_EQ(check.Column("SELECT count(*) FROM tiles WHERE tile_data IS NOT NULL"), QList<QByteArray>{"1"});
    EXPECT_EQ(check.Column("SELECT count(*) FROM tiles"), QList<QByteArray>{"1"});
}

namespace {
QByteArray WebpBytes(const QImage& image)
{
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    uint8_t* out = nullptr;
    const size_t size = WebPEncodeLosslessRGBA(rgba.constBits(), rgba.width(), rgba.height(), int(rgba.bytesPerLine()), &out);
    const QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    WebPFree(out);
    return bytes;
}
}

// A source's task of 512-pixel JPEG and WebP tiles: every output takes them
// as 256-pixel tiles with the credit line the task recorded.
TEST(TileSetOutputs, JpegAndWebpTilesOfFiveHundredTwelvePixelsFromASourceTask)
{
    CombinerTask t;
    t.parameters.MapsType = kMapSourceType;
    t.parameters.Source = JpegTestSource();
    t.parameters.TaskName = QStringLiteral("ortho.qtsk");
    MDTask task(&t.parameters);
    task.WriteProjectFile();
    task.CreateFailedTileList();
    for (int x = task.MinX; x <= task.MaxX; ++x)
        for (int y = task.MinY; y <= task.MaxY; ++y) {
            const QImage image = CombinerTask::TileImage(x, y, 512).convertToFormat(QImage::Format_RGB888);
            QFile file(task.TileFilePath(x, y));
            file.open(QIODevice::WriteOnly);
            file.write(x == 843 ? WebpBytes(image) : JpegBytes(image));
        }

    RecordingObserver observer;
    const QString target = t.folder.File("ortho.mbtiles");
    const CombineCounts counts = CombineTasks({t.folder.File("ortho.qtsk")}, target, OutputFormat::MBTiles, observer);
    EXPECT_EQ(counts.Stored, 6);
    EXPECT_EQ(counts.Converted, 6);
    const Database db(target);
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'format'"), QList<QByteArray>{"png"});
    EXPECT_EQ(db.Column("SELECT value FROM metadata WHERE name = 'attribution'"), QList<QByteArray>{"(c) Ortho Office"});
    for (const int x : {841, 843}) {
        const QImage stored = QImage::fromData(TileAt(db, 10, x, TmsRow(10, 388)), "PNG");
        ASSERT_EQ(stored.size(), QSize(256, 256)) << x;
        ExpectNear(stored.pixelColor(100, 100), CombinerTask::TileImage(x, 388).pixelColor(100, 100), 6);
    }

    RecordingObserver imageObserver;
    const QString image = t.folder.File("ortho.png");
    EXPECT_EQ(CombineTasks({t.folder.File("ortho.qtsk")}, image, OutputFormat::Png, imageObserver).Stored, 6);
    EXPECT_TRUE(t.folder.Read("ortho.png.aux.xml").contains("<MDI key=\"COPYRIGHT\">(c) Ortho Office</MDI>"));
    EXPECT_EQ(QImage(image).size(), QSize(3 * 256, 2 * 256));
}
