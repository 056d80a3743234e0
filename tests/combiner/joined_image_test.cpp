#include "combiner/mosaic_geometry.h"
#include "combiner/png_writer.h"
#include "combiner_fixture.h"
#include "gdal_tools.h"
#include "geo/tile_math.h"
#include "platform/app_error.h"
#include "tiff_levels.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {
// A task beside a CombinerTask over the tiles minX..maxX x minY..maxY of
// zoom `zoom`, every tile written in the colour of its place with the blue
// `shade` of its task and a marked corner.
struct AreaTask {
    TaskParameters parameters;
    std::unique_ptr<MDTask> task;

    AreaTask(const CombinerTask& base, const QString& name, QRect tiles, int shade, int zoom = 10, bool writeTiles = true)
        : parameters(base.parameters)
    {
        parameters.TaskName = name;
        parameters.Zoom = zoom;
        parameters.LeftLongitude = TileXToLongitude(tiles.left() + 0.5, zoom);
        parameters.RightLongitude = TileXToLongitude(tiles.right() + 0.5, zoom);
        parameters.TopLatitude = TileYToLatitude(tiles.top() + 0.5, zoom);
        parameters.BottomLatitude = TileYToLatitude(tiles.bottom() + 0.5, zoom);
        task = std::make_unique<MDTask>(&parameters);
        task->WriteProjectFile();
        task->CreateFailedTileList();
        if (!writeTiles)
            return;
        for (int x = task->MinX; x <= task->MaxX; ++x)
            for (int y = task->MinY; y <= task->MaxY; ++y) {
                QImage image(256, 256, QImage::Format_RGBA8888);
                image.fill(QColor(x % 256, y % 256, shade, 255));
                image.setPixelColor(3, 250, QColor(shade, 0, 0, 128));
                QFile file(task->TileFilePath(x, y));
                file.open(QIODevice::WriteOnly);
                file.write(PngBytes(image));
            }
    }
    QString ProjectFile() const { return parameters.Path + parameters.TaskName; }
};

// The tile at column `column`, row `row` of the image (counted from its corner).
QImage TileOf(const QImage& image, int column, int row)
{
    return image.copy(column * 256, row * 256, 256, 256);
}

QImage TileFile(const MDTask& task, int x, int y)
{
    return QImage(task.TileFilePath(x, y)).convertToFormat(QImage::Format_RGBA8888);
}

bool Transparent(const QImage& tile)
{
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x)
            if (tile.pixelColor(x, y).alpha() != 0)
                return false;
    return true;
}

struct ImageCase {
    OutputFormat Format;
    bool Overviews;
    const char* Name;
};
const ImageCase kImageCases[] = {
    {OutputFormat::GeoTiff, true, "joined.tif"},
    {OutputFormat::GeoTiff, false, "plain.tif"},
    {OutputFormat::Png, true, "joined.png"},
};

// What one image format made of the tasks.
struct ImageRun {
    ImageCase Case;
    QString Target;
    CombineCounts Counts;
    RecordingObserver Observer;
    QImage Image;
};

// The tasks combined into a COG, a GeoTIFF without overviews and a PNG.
std::vector<ImageRun> CombineIntoEachImageFormat(const TempFolder& folder, const QStringList& projectFiles)
{
    std::vector<ImageRun> runs(std::size(kImageCases));
    for (size_t i = 0; i < runs.size(); ++i) {
        ImageRun& run = runs[i];
        run.Case = kImageCases[i];
        run.Target = folder.File(run.Case.Name);
        CombineRequest request{projectFiles, run.Target, run.Case.Format};
        request.Overviews = run.Case.Overviews;
        run.Counts = Combine(request, run.Observer);
        run.Image = (run.Case.Format == OutputFormat::Png ? QImage(run.Target) : ReadTiffLevel(run.Target, 0))
                        .convertToFormat(QImage::Format_RGBA8888);
    }
    return runs;
}

// The geotransform GDAL reads puts the image's corners on the outer edges of
// tiles minX..maxX x minY..maxY.
void ExpectGeoreferencedAt(const QString& file, int zoom, QRect tiles)
{
    const QJsonObject info = GdalInfo(file);
    if (info.isEmpty())
        return;
    const QJsonArray transform = info[QStringLiteral("geoTransform")].toArray();
    ASSERT_EQ(transform.size(), 6) << file.toStdString();
    const QJsonArray size = info[QStringLiteral("size")].toArray();
    ASSERT_EQ(size.size(), 2);
    const double west = transform[0].toDouble(), north = transform[3].toDouble();
    const double east = west + transform[1].toDouble() * size[0].toDouble();
    const double south = north + transform[5].toDouble() * size[1].toDouble();
    EXPECT_NEAR(MercatorXToLongitude(west), TileXToLongitude(tiles.left(), zoom), 1e-6);
    EXPECT_NEAR(MercatorXToLongitude(east), TileXToLongitude(tiles.right() + 1, zoom), 1e-6);
    EXPECT_NEAR(MercatorYToLatitude(north), TileYToLatitude(tiles.top(), zoom), 1e-6);
    EXPECT_NEAR(MercatorYToLatitude(south), TileYToLatitude(tiles.bottom() + 1, zoom), 1e-6);
    EXPECT_TRUE(info[QStringLiteral("coordinateSystem")].toObject()[QStringLiteral("wkt")].toString()
                    .contains(QStringLiteral("ID[\"EPSG\",3857]")));
}
}

TEST(JoinedImage, SideBySideTasksMakeOneImageWhosePixelsAreTheTiles)
{
    CombinerTask t;  // columns 841..843, rows 387..388
    const AreaTask east(t, QStringLiteral("east.qtsk"), QRect(QPoint(844, 387), QPoint(846, 388)), 200);
    ASSERT_EQ(east.task->MinX, 844);
    ASSERT_EQ(east.task->MaxY, 388);
    for (const ImageRun& run : CombineIntoEachImageFormat(t.folder, {t.ProjectFile(), east.ProjectFile()})) {
        SCOPED_TRACE(run.Case.Name);
        EXPECT_EQ(run.Counts.Stored, 12);
        EXPECT_EQ(run.Counts.Duplicate, 0);
        EXPECT_TRUE(run.Observer.notes.isEmpty()) << run.Observer.notes.join(u'\n').toStdString();
        EXPECT_EQ(run.Observer.last.Done, 12);
        ASSERT_EQ(run.Image.size(), QSize(6 * 256, 2 * 256));
        for (int x = 841; x <= 846; ++x)
            for (int y = 387; y <= 388; ++y)
                EXPECT_EQ(TileOf(run.Image, x - 841, y - 387), TileFile(x < 844 ? *t.task : *east.task, x, y)) << "tile " << x << "," << y;
        ExpectGeoreferencedAt(run.Target, 10, QRect(QPoint(841, 387), QPoint(846, 388)));
    }
    // The overviews cover the joined image too.
    EXPECT_EQ(ReadTiffLevel(t.folder.File("joined.tif"), 1).size(), QSize(768, 256));
}

TEST(JoinedImage, WhereTasksOverlapTheFirstGivenThatStoresATileWinsAndTheOtherIsReported)
{
    CombinerTask t;  // columns 841..843
    const AreaTask east(t, QStringLiteral("east.qtsk"), QRect(QPoint(843, 387), QPoint(845, 388)), 200);
    QFile::remove(east.task->TileFilePath(843, 388));  // the later task's tile shows there
    for (const ImageRun& run : CombineIntoEachImageFormat(t.folder, {east.ProjectFile(), t.ProjectFile()})) {
        SCOPED_TRACE(run.Case.Name);
        EXPECT_EQ(run.Counts.Duplicate, 1);
        EXPECT_EQ(run.Counts.Stored, 11);
        EXPECT_EQ(run.Counts.Missing, 1);
        EXPECT_EQ(run.Observer.notes, QStringList({"duplicate: os_843_387_10.png of area.qtsk, kept from east.qtsk",
                                          "missing: os_843_388_10.png"}));
        ASSERT_EQ(run.Image.size(), QSize(5 * 256, 2 * 256));
        EXPECT_EQ(TileOf(run.Image, 2, 0), TileFile(*east.task, 843, 387));
        EXPECT_EQ(TileOf(run.Image, 2, 1), TileFile(*t.task, 843, 388));
        EXPECT_EQ(TileOf(run.Image, 0, 1), TileFile(*t.task, 841, 388));
        EXPECT_EQ(TileOf(run.Image, 4, 0), TileFile(*east.task, 845, 387));
    }
    // MBTiles tells the same story of the same tasks.
    RecordingObserver observer;
    const CombineCounts counts = Combine({{east.ProjectFile(), t.ProjectFile()}, t.folder.File("joined.mbtiles"), OutputFormat::MBTiles}, observer);
    EXPECT_EQ(counts.Text(), QStringLiteral("11 stored, 1 missing, 0 failed, 0 blank, 0 unreadable, 0 scaled, 1 duplicate"));
}

TEST(JoinedImage, AGapBetweenTasksIsTransparentUnreportedAndTheGeoreferenceCoversTheWholeRectangle)
{
    CombinerTask t;  // columns 841..843, rows 387..388
    const QRect farTiles(QPoint(848, 390), QPoint(849, 391));
    const AreaTask far(t, QStringLiteral("far.qtsk"), farTiles, 50);
    const AreaTask low(t, QStringLiteral("low.qtsk"), QRect(QPoint(420, 193), QPoint(421, 194)), 10, 9);
    const QRect joined(QPoint(841, 387), farTiles.bottomRight());
    for (const ImageRun& run : CombineIntoEachImageFormat(t.folder, {t.ProjectFile(), low.ProjectFile(), far.ProjectFile()})) {
        SCOPED_TRACE(run.Case.Name);
        EXPECT_EQ(run.Counts.Text(), QStringLiteral("10 stored, 0 missing, 0 failed, 0 blank, 0 unreadable, 0 scaled"));
        const QString format = run.Case.Format == OutputFormat::Png ? QStringLiteral("a PNG") : QStringLiteral("a GeoTIFF");
        EXPECT_EQ(run.Observer.notes, QStringList(QStringLiteral("left out: low.qtsk (zoom 9): %1 holds one zoom level, zoom 10 of area.qtsk, far.qtsk").arg(format)));
        EXPECT_EQ(run.Observer.last.Total, joined.width() * joined.height());
        ASSERT_EQ(run.Image.size(), joined.size() * 256);
        for (int x = joined.left(); x <= joined.right(); ++x)
            for (int y = joined.top(); y <= joined.bottom(); ++y) {
                const QImage tile = TileOf(run.Image, x - joined.left(), y - joined.top());
                if (t.task->MinX <= x && x <= t.task->MaxX && t.task->MinY <= y && y <= t.task->MaxY)
                    EXPECT_EQ(tile, TileFile(*t.task, x, y)) << "tile " << x << "," << y;
                else if (farTiles.contains(x, y))
                    EXPECT_EQ(tile, TileFile(*far.task, x, y)) << "tile " << x << "," << y;
                else
                    EXPECT_TRUE(Transparent(tile)) << "tile " << x << "," << y;
            }
        ExpectGeoreferencedAt(run.Target, 10, joined);
    }
    const MosaicGeometry g = MosaicGeometry::ForArea(10, joined.left(), joined.top(), joined.right(), joined.bottom());
    EXPECT_EQ(t.folder.Read("joined.pgw"), PngWriter::WorldFileText(g));
    EXPECT_NEAR(g.WestMetres, -20037508.342789244 + 841 * 2 * 20037508.342789244 / 1024, 1e-6);
    EXPECT_NEAR(g.SouthMetres, 20037508.342789244 - 392 * 2 * 20037508.342789244 / 1024, 1e-6);
}

TEST(JoinedImage, ARectangleTooLargeForTheFormatIsRefusedBeforeAnyWork)
{
    CombinerTask t;
    // Two tiles at zoom 24 near opposite corners of the map a task may cover
    // (latitudes 85 north and south): some 16.7 million tiles a side.
    const int side = 1 << 24;
    const AreaTask northWest(t, QStringLiteral("nw.qtsk"), QRect(1, 30000, 1, 1), 0, 24, false);
    const AreaTask southEast(t, QStringLiteral("se.qtsk"), QRect(side - 2, side - 30001, 1, 1), 0, 24, false);
    const QStringList both = {northWest.ProjectFile(), southEast.ProjectFile()};
    const auto refusal = [&](const QString& name, OutputFormat format) {
        RecordingObserver observer;
        try {
            Combine({both, t.folder.File(name), format}, observer);
        } catch (const AppError& error) {
            EXPECT_EQ(observer.last.Done, 0);
            return error.Message();
        }
        return QStringLiteral("written");
    };
    const QString tif = refusal(QStringLiteral("huge.tif"), OutputFormat::GeoTiff);
    EXPECT_TRUE(tif.startsWith(QStringLiteral("Not enough memory for a GeoTIFF of "))) << tif.toStdString();
    const QString png = refusal(QStringLiteral("huge.png"), OutputFormat::Png);
    EXPECT_TRUE(png.startsWith(QStringLiteral("A PNG image wider or higher than 1,000,000 pixels cannot be opened by GDAL"))) << png.toStdString();
    EXPECT_TRUE(OutputsIn(t.folder).filter(QStringLiteral("huge")).isEmpty()) << OutputsIn(t.folder).join(u' ').toStdString();
}
