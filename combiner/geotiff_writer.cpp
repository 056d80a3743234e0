#include "combiner/geotiff_writer.h"

#include "platform/app_error.h"

#include <QDir>
#include <cstdarg>
#include <libdeflate.h>
#include <memory>

#include <geotiffio.h>
#include <geovalues.h>
#include <xtiffio.h>

namespace {
constexpr int kDeflateLevel = 6;  // zlib's and GDAL's default
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

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};
}

QByteArray DeflateTileData(const uchar* data, size_t size)
{
    thread_local std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(kDeflateLevel));
    if (!compressor)
        throw std::bad_alloc();
    QByteArray out(qsizetype(libdeflate_zlib_compress_bound(compressor.get(), size)), Qt::Uninitialized);
    const size_t written = libdeflate_zlib_compress(compressor.get(), data, size, out.data(), size_t(out.size()));
    out.truncate(qsizetype(written));
    return out;
}

bool GeoTiffWriter::NeedsBigTiff(const MosaicGeometry& geometry)
{
    constexpr qint64 kClassicLimit = qint64(4) << 30;
    constexpr qint64 kHeadroom = qint64(64) << 20;  // tile tables, tags, DEFLATE's own overhead
    return geometry.TileCount() * qint64(kTileBytes + kTileBytes / 1000) + kHeadroom >= kClassicLimit;
}

GeoTiffWriter::GeoTiffWriter(const QString& target, const MosaicGeometry& geometry)
    : geometry_(geometry), output_(target)
{
    if (geometry.WidthPixels() > 0xFFFFFFFFll || geometry.HeightPixels() > 0xFFFFFFFFll)
        throw AppError(QStringLiteral("A GeoTIFF cannot be wider or higher than 4294967295 pixels; this task makes one of %1 x %2 pixels.")
                           .arg(geometry.WidthPixels()).arg(geometry.HeightPixels()));
    TIFFSetErrorHandler(RecordTiffError);
    TIFFSetWarningHandler(nullptr);
    lastTiffError.clear();
    tiff_ = XTIFFOpen(QFile::encodeName(output_.TemporaryName()).constData(), NeedsBigTiff(geometry) ? "w8" : "w");
    if (!tiff_)
        Fail(target, QStringLiteral("the file cannot be created"));
    const uint16_t alpha[] = {EXTRASAMPLE_UNASSALPHA};
    TIFFSetField(tiff_, TIFFTAG_IMAGEWIDTH, uint32_t(geometry.WidthPixels()));
    TIFFSetField(tiff_, TIFFTAG_IMAGELENGTH, uint32_t(geometry.HeightPixels()));
    TIFFSetField(tiff_, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tiff_, TIFFTAG_SAMPLESPERPIXEL, 4);
    TIFFSetField(tiff_, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_UINT);
    TIFFSetField(tiff_, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tiff_, TIFFTAG_EXTRASAMPLES, 1, alpha);
    TIFFSetField(tiff_, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff_, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tiff_, TIFFTAG_TILEWIDTH, kSize);
    TIFFSetField(tiff_, TIFFTAG_TILELENGTH, kSize);
    TIFFSetField(tiff_, TIFFTAG_SOFTWARE, "quiltry");
    WriteGeoreference();

    const std::vector<uchar> clear(kTileBytes, 0);
    transparentTile_ = DeflateTileData(clear.data(), clear.size());
}

GeoTiffWriter::~GeoTiffWriter()
{
    Close();
}

void GeoTiffWriter::WriteGeoreference()
{
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
    tile.Encoded = DeflateTileData(tile.Pixels.constBits(), kTileBytes);
    tile.Pixels = QImage();
}

void GeoTiffWriter::WriteSpan(const std::vector<SourceTile>& tiles)
{
    for (const SourceTile& tile : tiles) {
        const QByteArray& data = tile.State == TileState::Stored ? tile.Encoded : transparentTile_;
        const uint32_t column = uint32_t(tile.X - geometry_.MinX);
        const uint32_t row = uint32_t(tile.Y - geometry_.MinY);
        const uint32_t index = TIFFComputeTile(tiff_, column * kSize, row * kSize, 0, 0);
        // The QByteArray is not changed: libtiff takes a non-const pointer only by habit.
        if (TIFFWriteRawTile(tiff_, index, const_cast<char*>(data.constData()), tmsize_t(data.size())) < 0)
            Fail(output_.Target(), QStringLiteral("the disk may be full"));
    }
}

void GeoTiffWriter::Finish()
{
    if (!TIFFFlush(tiff_))
        Fail(output_.Target(), QStringLiteral("the disk may be full"));
    Close();
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
