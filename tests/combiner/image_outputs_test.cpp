#include "combiner/geotiff_writer.h"
#include "combiner/mosaic_geometry.h"
#include "combiner/png_writer.h"
#include "combiner_fixture.h"
#include "gdal_tools.h"
#include "tiff_levels.h"
#include "geo/tile_math.h"
#include "platform/app_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <cstring>
#include <gtest/gtest.h>
#include <tiffio.h>

namespace {
// A tile's pixel, as RGBA bytes, at (px, py) of its 256 x 256.
QColor PixelOf(const uchar* rgba, int px, int py)
{
    const uchar* p = rgba + (py * 256 + px) * 4;
    return QColor(p[0], p[1], p[2], p[3]);
}

void ExpectTileCorners(const uchar* rgba, int x, int y)
{
    const QImage source = CombinerTask::TileImage(x, y);
    for (const QPoint at : {QPoint(0, 0), QPoint(255, 255), QPoint(255, 0), QPoint(0, 255), QPoint(100, 100)})
        EXPECT_EQ(PixelOf(rgba, at.x(), at.y()), source.pixelColor(at)) << "tile " << x << "," << y << " at " << at.x() << "," << at.y();
}

void ExpectTransparent(const uchar* rgba)
{
    for (int i = 0; i < 256 * 256; ++i)
        if (rgba[i * 4 + 3] != 0)
            FAIL() << "pixel " << i << " is not transparent";
}

// The file's upper-left corner and pixel size, converted back to degrees,
// lie on the task's tile edges.
void ExpectPlacedOnTileEdges(const QJsonObject& info, const MDTask& task)
{
    const QJsonArray transform = info[QStringLiteral("geoTransform")].toArray();
    ASSERT_EQ(transform.size(), 6);
    const int zoom = task.Parameters->Zoom;
    const double west = transform[0].toDouble(), north = transform[3].toDouble();
    const double east = west + transform[1].toDouble() * 256 * (task.MaxX - task.MinX + 1);
    const double south = north + transform[5].toDouble() * 256 * (task.MaxY - task.MinY + 1);
    EXPECT_NEAR(MercatorXToLongitude(west), TileXToLongitude(task.MinX, zoom), 1e-6);
    EXPECT_NEAR(MercatorXToLongitude(east), TileXToLongitude(task.MaxX + 1, zoom), 1e-6);
    EXPECT_NEAR(MercatorYToLatitude(north), TileYToLatitude(task.MinY, zoom), 1e-6);
    EXPECT_NEAR(MercatorYToLatitude(south), TileYToLatitude(task.MaxY + 1, zoom), 1e-6);
}

void ExpectWebMercator(const QJsonObject& info)
{
    const QString wkt = info[QStringLiteral("coordinateSystem")].toObject()[QStringLiteral("wkt")].toString();
    EXPECT_TRUE(wkt.contains(QStringLiteral("ID[\"EPSG\",3857]"))) << wkt.toStdString();
}
}

TEST(GeoTiffOutput, EachTileIsOneTiffTileAtItsPlaceWithMissingTilesTransparent)
{
    CombinerTask t;
    const QString target = t.CombineWithout(842, 388, QStringLiteral("map.tif"), OutputFormat::GeoTiff);

    TIFF* tiff = TIFFOpen(QFile::encodeName(target).constData(), "r");
    ASSERT_NE(tiff, nullptr);
    uint32_t width = 0, height = 0, tileWidth = 0, tileHeight = 0;
    uint16_t samples = 0, compression = 0, extraCount = 0;
    uint16_t* extra = nullptr;
    TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
    TIFFGetField(tiff, TIFFTAG_TILEWIDTH, &tileWidth);
    TIFFGetField(tiff, TIFFTAG_TILELENGTH, &tileHeight);
    TIFFGetField(tiff, TIFFTAG_SAMPLESPERPIXEL, &samples);
    TIFFGetField(tiff, TIFFTAG_COMPRESSION, &compression);
    TIFFGetField(tiff, TIFFTAG_EXTRASAMPLES, &extraCount, &extra);
    EXPECT_EQ(width, 768u);
    EXPECT_EQ(height, 512u);
    EXPECT_EQ(tileWidth, 256u);
    EXPECT_EQ(tileHeight, 256u);
    EXPECT_EQ(samples, 4);
    EXPECT_EQ(compression, COMPRESSION_ADOBE_DEFLATE);
    ASSERT_EQ(extraCount, 1);
    EXPECT_EQ(extra[0], EXTRASAMPLE_UNASSALPHA);

    std::vector<uchar> rgba(256 * 256 * 4);
    for (int x = 841; x <= 843; ++x)
        for (int y = 387; y <= 388; ++y) {
            const uint32_t index = TIFFComputeTile(tiff, (x - 841) * 256, (y - 387) * 256, 0, 0);
            ASSERT_EQ(TIFFReadEncodedTile(tiff, index, rgba.data(), tmsize_t(rgba.size())), tmsize_t(rgba.size()));
            if (x == 842 && y == 388)
                ExpectTransparent(rgba.data());
            else
                ExpectTileCorners(rgba.data(), x, y);
        }
    TIFFClose(tiff);

    const QJsonObject info = GdalInfo(target);
    if (info.isEmpty())
        GTEST_SKIP() << "gdalinfo is not installed";
    ExpectPlacedOnTileEdges(info, *t.task);
    ExpectWebMercator(info);
}

TEST(PngOutput, RowsOfTilesWithWorldAndProjectionFiles)
{
    CombinerTask t;
    const QString target = t.CombineWithout(841, 387, QStringLiteral("map.png"), OutputFormat::Png);

    QImage image(target);
    ASSERT_EQ(image.size(), QSize(768, 512));
    EXPECT_TRUE(image.hasAlphaChannel());
    image = image.convertToFormat(QImage::Format_RGBA8888);
    for (int x = 841; x <= 843; ++x)
        for (int y = 387; y <= 388; ++y) {
            const QImage tile = image.copy((x - 841) * 256, (y - 387) * 256, 256, 256);
            if (x == 841 && y == 387)
                ExpectTransparent(tile.constBits());
            else
                ExpectTileCorners(tile.constBits(), x, y);
        }

    const MosaicGeometry g = MosaicGeometry::ForTask(*t.task);
    const QStringList world = QString::fromLatin1(t.folder.Read("map.pgw")).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    ASSERT_EQ(world.size(), 6);
    const double pixel = 2 * 20037508.342789244 / 1024 / 256;
    EXPECT_NEAR(world[0].toDouble(), pixel, 1e-6);
    EXPECT_EQ(world[1].toDouble(), 0);
    EXPECT_EQ(world[2].toDouble(), 0);
    EXPECT_NEAR(world[3].toDouble(), -pixel, 1e-6);
    // The centre of the upper-left pixel, half a pixel inside the tile edges.
    EXPECT_NEAR(world[4].toDouble(), -20037508.342789244 + 841 * 256 * pixel + pixel / 2, 0.01);
    EXPECT_NEAR(world[5].toDouble(), 20037508.342789244 - 387 * 256 * pixel - pixel / 2, 0.01);
    EXPECT_NEAR(world[4].toDouble(), g.WestMetres + pixel / 2, 1e-6);
    EXPECT_TRUE(t.folder.Read("map.prj").contains("AUTHORITY[\"EPSG\",\"3857\"]]"));

    const QJsonObject info = GdalInfo(target);
    if (info.isEmpty())
        GTEST_SKIP() << "gdalinfo is not installed";
    ExpectPlacedOnTileEdges(info, *t.task);
    // The .aux.xml gives GDAL (and QGIS) the coordinate system; the .prj is read only when asked.
    ExpectWebMercator(info);
    QProcess srs;
    srs.start(QStringLiteral("gdalsrsinfo"), {QStringLiteral("-o"), QStringLiteral("epsg"), t.folder.File("map.prj")});
    srs.waitForFinished(60000);
    EXPECT_TRUE(srs.readAllStandardOutput().contains("EPSG:3857"));
}

TEST(PngOutput, RefusesAnImageThatGdalAndQgisCouldNotOpen)
{
    TempFolder folder;
    for (const auto& [columns, rows] : {std::pair{3907, 1}, std::pair{1, 3907}, std::pair{int(0x7FFFFFFF / 256 + 1), 1}}) {
        MosaicGeometry g;
        g.Columns = columns;
        g.Rows = rows;
        try {
            PngWriter writer(folder.File("huge.png"), g);
            FAIL() << "a PNG of " << columns << " x " << rows << " tiles was started";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.Message().startsWith(QStringLiteral("A PNG image wider or higher than 1,000,000 pixels cannot be opened by GDAL, QGIS and most viewers; these tiles make one of ")))
                << error.Message().toStdString();
            EXPECT_TRUE(error.Message().endsWith(QStringLiteral("Choose GeoTIFF (.tif) instead.")));
        }
    }
    EXPECT_TRUE(QDir(folder.Path()).isEmpty());
}

TEST(GeoTiffOutput, RefusesTablesBeyondHalfThePhysicalMemoryBeforeWritingAnything)
{
    // Where the system promises memory it does not have, trying to allocate
    // the tables succeeds; the refusal must not depend on that.
    MosaicGeometry g;
    g.Columns = 1 << 20;
    g.Rows = int(GeoTiffWriter::TableMemoryLimit() / 16 / g.Columns + 1);
    ASSERT_GT(GeoTiffWriter::TileTableBytes(g, false), GeoTiffWriter::TableMemoryLimit());
    TempFolder folder;
    for (const bool overviews : {false, true}) {
        try {
            GeoTiffWriter writer(folder.File("huge.tif"), g, GeoTiffOptions{overviews, {}});
            FAIL() << "a GeoTIFF whose tables pass the limit was started";
        } catch (const AppError& error) {
            EXPECT_TRUE(error.Message().startsWith(QStringLiteral("Not enough memory for a GeoTIFF of "))) << error.Message().toStdString();
        }
    }
    EXPECT_TRUE(QDir(folder.Path()).isEmpty());
}

TEST(GeoTiffOutput, BigTiffOnlyWhenTheTilesCouldPassFourGigabytes)
{
    MosaicGeometry g;
    g.Columns = 100;
    g.Rows = 100;  // 2.4 GiB of pixels
    EXPECT_FALSE(GeoTiffWriter::NeedsBigTiff(g, false));
    g.Rows = 162;  // 3.96 GiB of pixels: with DEFLATE's worst case and the tile tables, past 4 GiB
    EXPECT_TRUE(GeoTiffWriter::NeedsBigTiff(g, false));
    g.Rows = 200;
    EXPECT_TRUE(GeoTiffWriter::NeedsBigTiff(g, false));
}

namespace {
// The reference: the premultiplied average of each `factor` x `factor`
// square of `full`, in unassociated RGBA.
QColor SquareAverage(const QImage& full, int px, int py, int factor)
{
    double r = 0, g = 0, b = 0, a = 0;
    for (int y = py * factor; y < (py + 1) * factor; ++y)
        for (int x = px * factor; x < (px + 1) * factor; ++x) {
            const QColor c = x < full.width() && y < full.height() ? full.pixelColor(x, y) : QColor(0, 0, 0, 0);
            r += c.red() * c.alpha(), g += c.green() * c.alpha(), b += c.blue() * c.alpha(), a += c.alpha();
        }
    return a == 0 ? QColor(0, 0, 0, 0) : QColor(qRound(r / a), qRound(g / a), qRound(b / a), qRound(a / (factor * factor)));
}
}

TEST(GeoTiffOutput, CloudOptimizedWithOverviewsThatAverageTheTiles)
{
    CombinerTask t;
    const QString target = t.CombineWithout(842, 388, QStringLiteral("map.tif"), OutputFormat::GeoTiff);

    // 768 x 512, then 384 x 256 and 192 x 128: the first that fits one tile.
    const QImage full = ReadTiffLevel(target, 0);
    const QImage half = ReadTiffLevel(target, 1);
    const QImage quarter = ReadTiffLevel(target, 2);
    ASSERT_EQ(full.size(), QSize(768, 512));
    ASSERT_EQ(half.size(), QSize(384, 256));
    ASSERT_EQ(quarter.size(), QSize(192, 128));
    EXPECT_TRUE(ReadTiffLevel(target, 3).isNull());
    int compared = 0;
    for (auto [level, factor] : {std::pair{&half, 2}, std::pair{&quarter, 4}})
        for (int y = 0; y < level->height(); ++y)
            for (int x = 0; x < level->width(); ++x) {
                const QColor expected = SquareAverage(full, x, y, factor), actual = level->pixelColor(x, y);
                // Colours of nearly transparent pixels are lost to rounding.
                const int tolerance = expected.alpha() >= 128 ? factor / 2 : 255;
                if (std::abs(actual.alpha() - expected.alpha()) > 1 || std::abs(actual.red() - expected.red()) > tolerance
                    || std::abs(actual.green() - expected.green()) > tolerance || std::abs(actual.blue() - expected.blue()) > tolerance)
                    FAIL() << "level " << factor << " pixel " << x << "," << y << ": " << actual.name(QColor::HexArgb).toStdString()
                           << " instead of " << expected.name(QColor::HexArgb).toStdString();
                ++compared;
            }
    EXPECT_EQ(compared, 384 * 256 + 192 * 128);
    EXPECT_EQ(half.pixelColor(200, 200).alpha(), 0);  // over the missing tile

    const QJsonObject info = GdalInfo(target);
    if (info.isEmpty())
        GTEST_SKIP() << "gdalinfo is not installed";
    EXPECT_EQ(info[QStringLiteral("metadata")].toObject()[QStringLiteral("IMAGE_STRUCTURE")].toObject()[QStringLiteral("LAYOUT")].toString(), "COG");
    EXPECT_EQ(info[QStringLiteral("metadata")].toObject()[QStringLiteral("")].toObject()[QStringLiteral("TIFFTAG_COPYRIGHT")].toString(),
        QStringLiteral("\u00A9 OpenStreetMap contributors"));
    ExpectWebMercator(info);
    const auto validated = RunGdalValidator(QStringLiteral("validate_cloud_optimized_geotiff.py"), {QStringLiteral("--full-check=yes"), target});
    if (!validated)
        GTEST_SKIP() << "GDAL's Python package is not installed";
    EXPECT_EQ(validated->ExitCode, 0) << validated->Output.toStdString();
    EXPECT_TRUE(validated->Output.contains(QStringLiteral("is a valid cloud optimized GeoTIFF"))) << validated->Output.toStdString();
}

TEST(GeoTiffOutput, WithoutOverviewsOneImageAndNoLayoutClaim)
{
    CombinerTask t;
    RecordingObserver observer;
    CombineRequest request{{t.ProjectFile()}, t.folder.File("plain.tif"), OutputFormat::GeoTiff};
    request.Overviews = false;
    Combine(request, observer);
    EXPECT_EQ(ReadTiffLevel(request.Target, 0).size(), QSize(768, 512));
    EXPECT_TRUE(ReadTiffLevel(request.Target, 1).isNull());
    const QJsonObject info = GdalInfo(request.Target);
    if (!info.isEmpty()) {
        EXPECT_FALSE(info[QStringLiteral("metadata")].toObject()[QStringLiteral("IMAGE_STRUCTURE")].toObject().contains(QStringLiteral("LAYOUT")));
    }
}

TEST(ImageOutputs, SeveralTasksGiveTheDeepestZoomAndTheReportSaysSo)
{
    CombinerTask t;
    const OtherTask deeper(t, QStringLiteral("area_z11.qtsk"), 11);
    for (OutputFormat format : {OutputFormat::GeoTiff, OutputFormat::Png}) {
        RecordingObserver observer;
        const QString target = t.folder.File("deep.") + OutputFormatSuffix(format);
        Combine({{t.ProjectFile(), deeper.ProjectFile()}, target, format}, observer);
        EXPECT_EQ(observer.notes.size(), 1);
        EXPECT_TRUE(observer.notes.value(0).startsWith(QStringLiteral("left out: area.qtsk (zoom 10): "))) << observer.notes.value(0).toStdString();
        EXPECT_TRUE(observer.notes.value(0).endsWith(QStringLiteral("holds one zoom level, zoom 11 of area_z11.qtsk")));
        const int columns = deeper.task->MaxX - deeper.task->MinX + 1;
        EXPECT_EQ(format == OutputFormat::Png ? QImage(target).width() : ReadTiffLevel(target, 0).width(), columns * 256);
    }
}
