#include "combiner/geotiff_writer.h"
#include "combiner/mosaic_geometry.h"
#include "combiner/png_writer.h"
#include "combiner_fixture.h"
#include "geo/tile_math.h"
#include "platform/app_error.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
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

// gdalinfo -json of a file; empty when GDAL's tools are not installed.
QJsonObject GdalInfo(const QString& file)
{
    if (QStandardPaths::findExecutable(QStringLiteral("gdalinfo")).isEmpty())
        return {};
    QProcess gdal;
    gdal.start(QStringLiteral("gdalinfo"), {QStringLiteral("-json"), file});
    gdal.waitForFinished(60000);
    return QJsonDocument::fromJson(gdal.readAllStandardOutput()).object();
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
    // GDAL reads the .prj of a PNG only when asked.
    QProcess srs;
    srs.start(QStringLiteral("gdalsrsinfo"), {QStringLiteral("-o"), QStringLiteral("epsg"), t.folder.File("map.prj")});
    srs.waitForFinished(60000);
    EXPECT_TRUE(srs.readAllStandardOutput().contains("EPSG:3857"));
}

TEST(PngOutput, RefusesAnImageWiderThanPngAllows)
{
    MosaicGeometry g;
    g.Columns = PngWriter::kMaxSide / 256 + 1;
    g.Rows = 1;
    TempFolder folder;
    try {
        PngWriter writer(folder.File("huge.png"), g);
        FAIL() << "a PNG wider than 2^31-1 pixels was started";
    } catch (const AppError& error) {
        EXPECT_TRUE(error.Message().startsWith(QStringLiteral("A PNG image cannot be wider or higher than 2147483647 pixels")));
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
