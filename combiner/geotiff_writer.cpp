#include "combiner/geotiff_writer.h"

#include "combiner/overview_pyramid.h"
#include "combiner/tiff_tile_deflate.h"
#include "combiner/tile_halving.h"
#include "platform/app_error.h"
#include "platform/physical_memory.h"
#include "platform/scratch_file.h"
#include "task/task_size_estimate.h"

#include <QDir>
#include <QFileInfo>
#include <QtEndian>
#include <cstdarg>
#include <memory>

#include <geotiffio.h>
#include <geovalues.h>
#include <xtiffio.h>

namespace {
constexpr int kSize = MosaicGeometry::kTileSize;
constexpr size_t kTileBytes = size_t(kSize) * kSize * 4;
constexpr int kWebMercator = 3857;

// libtiff reports through one global handler; the last error of this thread
// becomes the user's message.
thread_local QString lastTiffError;

void RecordTiffError(const char* module, const char* format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    lastTiffError = module ? QStringLiteral("%1: %2").arg(QString::fromLocal8Bit(module), QString::fromLocal8Bit(text))
                           : QString::fromLocal8Bit(text);
}

[[noreturn]] void Fail(const QString& target, const QString& what)
{
    const QString reason = lastTiffError.isEmpty() ? what : what + QStringLiteral(" (") + lastTiffError + u')';
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(target), reason));
}

// What tells GDAL (and readers that know it) that the file is laid out as a
// Cloud Optimized GeoTIFF: directories before data, tiles row by row, each
// with its size before it and its last 4 bytes repeated after it.
QByteArray StructuralMetadata()
{
    const QByteArray content = "LAYOUT=IFDS_BEFORE_DATA\nBLOCK_ORDER=ROW_MAJOR\nBLOCK_LEADER=SIZE_AS_UINT4\n"
                               "BLOCK_TRAILER=LAST_4_BYTES_REPEATED\nKNOWN_INCOMPATIBLE_EDITION=NO\n ";
    return "GDAL_STRUCTURAL_METADATA_SIZE=" + QByteArray::number(content.size()).rightJustified(6, '0') + " bytes\n" + content;
}

// The pixels of a level: the full image halved `level` times, rounded up.
qint64 LevelPixels(qint64 pixels, int level)
{
    return (pixels + (qint64(1) << level) - 1) >> level;
}

// Refuses, before any work, a file whose tile tables could not be held: a
// task too large is refused at once, naming memory, instead of failing on
// the way (or, where the system promises memory it does not have, being
// killed hours later).
void RefuseWithoutTableMemory(const MosaicGeometry& geometry, bool overviews)
{
    const qint64 need = GeoTiffWriter::TileTableBytes(geometry, overviews);
    if (need > GeoTiffWriter::TableMemoryLimit())
        throw AppError(QStringLiteral("Not enough memory for a GeoTIFF of %1 tiles: its tile tables need %2 MiB. Choose MBTiles or GeoPackage, or a smaller area.")
                           .arg(GroupedNumber(geometry.TileCount()), GroupedNumber(need >> 20)));
}
}

bool GeoTiffWriter::NeedsBigTiff(const MosaicGeometry& geometry, bool overviews)
{
    constexpr qint64 kClassicLimit = qint64(4) << 30;
    constexpr qint64 kHeadroom = qint64(64) << 20;  // tile tables, tags, DEFLATE's own overhead
    const qint64 tiles = overviews ? geometry.TileCount() * 4 / 3 + 64 : geometry.TileCount();
    return tiles * qint64(kTileBytes + kTileBytes / 1000 + 8) + kHeadroom >= kClassicLimit;
}

qint64 GeoTiffWriter::TileTableBytes(const MosaicGeometry& geometry, bool overviews)
{
    // libtiff holds an offset and a size of 8 bytes each for every tile of
    // the directory it writes; the scratch files' sizes take 4 bytes a tile.
    const qint64 tiles = geometry.TileCount();
    return tiles * 16 + (overviews ? (tiles + tiles / 3 + 64) * 4 : 0);
}

qint64 GeoTiffWriter::TableMemoryLimit()
{
    const qint64 physical = PhysicalMemoryBytes();
    return physical > 0 ? physical / 2 : qint64(1) << 30;
}

GeoTiffWriter::GeoTiffWriter(const QString& target, const MosaicGeometry& geometry, const GeoTiffOptions& options)
    : geometry_(geometry), options_(options), output_(target)
{
    if (geometry.WidthPixels() > 0xFFFFFFFFll || geometry.HeightPixels() > 0xFFFFFFFFll)
        throw AppError(QStringLiteral("A GeoTIFF cannot be wider or higher than 4294967295 pixels; this task makes one of %1 x %2 pixels.")
                           .arg(geometry.WidthPixels()).arg(geometry.HeightPixels()));
    RefuseWithoutTableMemory(geometry, options.Overviews);
    TIFFSetErrorHandler(RecordTiffError);
    TIFFSetWarningHandler(nullptr);
    lastTiffError.clear();
    TransparentTileData();
    if (options.Overviews) {
        const QString folder = QFileInfo(target).absolutePath();
        fullTiles_ = std::make_unique<ScratchFile>(folder, target);
        fullSizes_.reserve(size_t(geometry.TileCount()));
        overviews_ = std::make_unique<OverviewPyramid>(geometry.Columns, geometry.Rows,
            OverviewPyramid::LevelsFor(geometry.Columns, geometry.Rows), folder, target);
        return;
    }
    tiff_ = XTIFFFdOpen(output_.File().DuplicateHandle(), QFile::encodeName(output_.TemporaryName()).constData(),
        NeedsBigTiff(geometry, false) ? "w8" : "w");
    if (!tiff_)
        Fail(target, QStringLiteral("the file cannot be created"));
    StartDirectory(0);
}

GeoTiffWriter::~GeoTiffWriter()
{
    Close();
}

// The tags of level `level` (0: the full image) in the current directory.
void GeoTiffWriter::StartDirectory(int level)
{
    const uint16_t alpha[] = {EXTRASAMPLE_UNASSALPHA};
    if (level > 0)
        TIFFSetField(tiff_, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, uint32_t(LevelPixels(geometry_.WidthPixels(), level)));
    TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, uint32_t(LevelPixels(geometry_.HeightPixels(), level)));
    TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tiff_, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff_, TIFFTAG_EXTRASAMPLES, 1, alpha);
    TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff_, TIFFTAG_TILEWIDTH, kSize);
    TIFFSetField(tiff_, TIFFTAG_TILELENGTH, kSize);
    if (level > 0)
        return;
    TIFFSetField(tiff_, TIFFTAG_SOFTWARE, "quiltry");
    if (!options_.Attribution.isEmpty())
        TIFFSetField(tiff_, TIFFTAG_COPYRIGHT, options_.Attribution.toUtf8().constData());

    const MosaicGeometry& g = geometry_;
    double scale[3] = {g.PixelWidthMetres(), g.PixelHeightMetres(), 0};
    double tiePoint[6] = {0, 0, 0, g.WestMetres, g.NorthMetres, 0};
    TIFFSetField(tiff_, TIFFTAG_GEOPIXELSCALE, 3, scale);
    TIFFSetField(tiff_, TIFFTAG_GEOTIEPOINTS, 6, tiePoint);
    GTIF* keys = GTIFNew(tiff_);
    if (!keys)
        Fail(output_.Target(), QStringLiteral("the georeference cannot be written"));
    GTIFKeySet(keys, GTModelTypeGeoKey, TYPE_SHORT, 1, ModelTypeProjected);
    GTIFKeySet(keys, GTRasterTypeGeoKey, TYPE_SHORT, 1, RasterPixelIsArea);
    GTIFKeySet(keys, GTCitationGeoKey, TYPE_ASCII, 0, "WGS 84 / Pseudo-Mercator");
    GTIFKeySet(keys, ProjectedCSTypeGeoKey, TYPE_SHORT, 1, kWebMercator);
    GTIFKeySet(keys, ProjLinearUnitsGeoKey, TYPE_SHORT, 1, Linear_Meter);
    const bool written = GTIFWriteKeys(keys);
    GTIFFree(keys);
    if (!written)
        Fail(output_.Target(), QStringLiteral("the georeference cannot be written"));
}

int GeoTiffWriter::SpanLength() const
{
    return int(std::min<qint64>(geometry_.Columns, kTilesPerSpan));
}

void GeoTiffWriter::PrepareTile(SourceTile& tile) const
{
    tile.Bytes.clear();
    if (tile.State != TileState::Stored)
        return;
    tile.Encoded = DeflateTilePixels(tile.Pixels);
    // What the overviews need of the tile: its half, premultiplied.
    tile.Pixels = overviews_ ? HalveImage(tile.Pixels) : QImage();
}

void GeoTiffWriter::WriteSpan(const std::vector<SourceTile>& tiles)
{
    for (const SourceTile& tile : tiles) {
        const QByteArray& data = tile.State == TileState::Stored ? tile.Encoded : TransparentTileData();
        const qint64 column = tile.X - geometry_.MinX;
        const qint64 row = tile.Y - geometry_.MinY;
        if (!overviews_) {
            AppendTile(uint32_t(row * ((geometry_.Columns)) + column), data, false);
            continue;
        }
        fullTiles_->Append(data);
        fullSizes_.push_back(quint32(data.size()));
        overviews_->AddHalf(column, row, tile.Pixels);
    }
    if (overviews_)
        overviews_->Settle();
}

void GeoTiffWriter::WriteOrFail(const std::function<void()>& write)
{
    try {
        write();
    } catch (const FileWriteError&) {
        Fail(output_.Target(), QStringLiteral("the disk may be full"));
    }
}

void GeoTiffWriter::AppendTile(uint32_t index, const QByteArray& data, bool framed)
{
    // A framed tile has its size in the 4 bytes before it and its last 4
    // bytes repeated after it; libtiff appends each tile at the file's end.
    if (framed) {
        const quint32 size = qToLittleEndian(quint32(data.size()));
        WriteOrFail([&] { output_.File().Write(QByteArrayView(reinterpret_cast<const char*>(&size), 4)); });
    }
    // The QByteArray is not changed: libtiff takes a non-const pointer only by habit.
    if (TIFFWriteRawTile(tiff_, index, const_cast<char*>(data.constData()), tmsize_t(data.size())) < 0)
        Fail(output_.Target(), QStringLiteral("the disk may be full"));
    if (framed)
        WriteOrFail([&] { output_.File().Write(QByteArrayView(data).last(4)); });
}

void GeoTiffWriter::WriteCloudOptimized()
{
    const QByteArray name = QFile::encodeName(output_.TemporaryName());
    const bool big = NeedsBigTiff(geometry_, true);
    tiff_ = XTIFFFdOpen(output_.File().DuplicateHandle(), name.constData(), big ? "w8" : "w");
    if (!tiff_)
        Fail(output_.Target(), QStringLiteral("the file cannot be created"));
    const QByteArray layout = StructuralMetadata();
    WriteOrFail([&] { output_.File().WriteAt(big ? 16 : 8, layout); });
    // Every directory first, with room for its tile table but no tiles yet.
    for (int level = 0; level <= overviews_->Levels(); ++level) {
        StartDirectory(level);
        TIFFDeferStrileArrayWriting(tiff_);
        if (!TIFFWriteCheck(tiff_, 1, "quiltry") || !TIFFWriteDirectory(tiff_))
            Fail(output_.Target(), QStringLiteral("the directories cannot be written"));
    }
    Close();
    // libtiff reads the header from where the shared file offset stands,
    // which the duplicate puts at the start.
    tiff_ = XTIFFFdOpen(output_.File().DuplicateHandle(), name.constData(), "r+");
    if (!tiff_)
        Fail(output_.Target(), QStringLiteral("the file cannot be reopened"));
    for (int level = 0; level <= overviews_->Levels(); ++level)
        if (!TIFFSetDirectory(tiff_, tdir_t(level)) || !TIFFForceStrileArrayWriting(tiff_))
            Fail(output_.Target(), QStringLiteral("the tile tables cannot be written"));
    // Then the tiles: the smallest overview's first, the full image's last.
    for (int level = overviews_->Levels(); level >= 0; --level)
        CopyLevel(level);
    Close();
}

void GeoTiffWriter::CopyLevel(int level)
{
    const ScratchFile& data = level == 0 ? *fullTiles_ : *overviews_->At(level).Data;
    const std::vector<quint32>& sizes = level == 0 ? fullSizes_ : overviews_->At(level).Sizes;
    if (!TIFFSetDirectory(tiff_, tdir_t(level)))
        Fail(output_.Target(), QStringLiteral("the directories cannot be read back"));
    QByteArray tile;
    qint64 offset = 0;
    for (size_t index = 0; index < sizes.size(); ++index) {
        data.Read(offset, sizes[index], tile);
        offset += sizes[index];
        AppendTile(uint32_t(index), tile, true);
    }
    if (!TIFFForceStrileArrayWriting(tiff_))
        Fail(output_.Target(), QStringLiteral("the tile tables cannot be written"));
}

void GeoTiffWriter::Finish()
{
    if (overviews_) {
        WriteCloudOptimized();
    } else {
        if (!TIFFFlush(tiff_))
            Fail(output_.Target(), QStringLiteral("the disk may be full"));
        Close();
    }
    if (!lastTiffError.isEmpty())
        Fail(output_.Target(), QStringLiteral("the file could not be completed"));
    output_.Commit();
}

void GeoTiffWriter::Close()
{
    if (tiff_)
        XTIFFClose(tiff_);
    tiff_ = nullptr;
}
