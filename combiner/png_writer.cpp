#include "combiner/png_writer.h"

#include "platform/app_error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <csetjmp>
#include <cstring>
#include <png.h>

namespace {
constexpr int kSize = MosaicGeometry::kTileSize;

void RefuseTooLarge(const MosaicGeometry& geometry)
{
    if (geometry.WidthPixels() > PngWriter::kMaxSide || geometry.HeightPixels() > PngWriter::kMaxSide)
        throw AppError(QStringLiteral("A PNG image cannot be wider or higher than 2147483647 pixels; this task makes one of %1 x %2 pixels. Choose GeoTIFF or MBTiles instead.")
                           .arg(geometry.WidthPixels()).arg(geometry.HeightPixels()));
}

QString Number(double value)
{
    return QString::number(value, 'f', 10);
}
}

// libpng reports errors by longjmp: every call into it sits in a function
// that sets the jump point and holds no object with a destructor.
struct PngStream {
    FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    char error[256] = {};

    static void OnError(png_structp png, png_const_charp message)
    {
        auto* self = static_cast<PngStream*>(png_get_error_ptr(png));
        std::snprintf(self->error, sizeof self->error, "%s", message);
        png_longjmp(png, 1);
    }

    bool Start(const char* fileName, png_uint_32 width, png_uint_32 height)
    {
        file = std::fopen(fileName, "wb");
        if (!file)
            return false;
        png = png_create_write_struct(PNG_LIBPNG_VER_STRING, this, OnError, nullptr);
        if (!png)
            return false;
        info = png_create_info_struct(png);
        if (!info)
            return false;
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);  // the default stops at a million pixels
        png_init_io(png, file);
        png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
            PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_compression_level(png, 6);
        // Paeth alone: a fifth faster than trying every filter per row, files as small.
        png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_PAETH);
        png_write_info(png, info);
        return true;
    }

    bool WriteRow(const unsigned char* row)
    {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_write_row(png, row);
        return true;
    }

    bool End()
    {
        if (setjmp(png_jmpbuf(png)))
            return false;
        png_write_end(png, info);
        return std::fflush(file) == 0;
    }

    ~PngStream()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file)
            std::fclose(file);
    }
};

QString SidecarName(const QString& imageName, const QString& suffix)
{
    const QFileInfo image(imageName);
    const QString base = image.suffix().isEmpty() ? imageName : imageName.chopped(image.suffix().size() + 1);
    return base + u'.' + suffix;
}

QByteArray PngWriter::WorldFileText(const MosaicGeometry& g)
{
    const double width = g.PixelWidthMetres();
    const double height = g.PixelHeightMetres();
    const QStringList lines = {Number(width), Number(0), Number(0), Number(-height),
        Number(g.WestMetres + width / 2), Number(g.NorthMetres - height / 2)};
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

QByteArray PngWriter::ProjectionText()
{
    return "PROJCS[\"WGS 84 / Pseudo-Mercator\",GEOGCS[\"WGS 84\",DATUM[\"WGS_1984\",SPHEROID[\"WGS 84\",6378137,298.257223563,"
           "AUTHORITY[\"EPSG\",\"7030\"]],AUTHORITY[\"EPSG\",\"6326\"]],PRIMEM[\"Greenwich\",0,AUTHORITY[\"EPSG\",\"8901\"]],"
           "UNIT[\"degree\",0.0174532925199433,AUTHORITY[\"EPSG\",\"9122\"]],AUTHORITY[\"EPSG\",\"4326\"]],"
           "PROJECTION[\"Mercator_1SP\"],PARAMETER[\"central_meridian\",0],PARAMETER[\"scale_factor\",1],"
           "PARAMETER[\"false_easting\",0],PARAMETER[\"false_northing\",0],UNIT[\"metre\",1,AUTHORITY[\"EPSG\",\"9001\"]],"
           "AXIS[\"Easting\",EAST],AXIS[\"Northing\",NORTH],"
           "EXTENSION[\"PROJ4\",\"+proj=merc +a=6378137 +b=6378137 +lat_ts=0 +lon_0=0 +x_0=0 +y_0=0 +k=1 +units=m +nadgrids=@null +wktext +no_defs\"],"
           "AUTHORITY[\"EPSG\",\"3857\"]]";
}

PngWriter::PngWriter(const QString& target, const MosaicGeometry& geometry)
    : geometry_((RefuseTooLarge(geometry), geometry)),
      image_(target),
      worldFile_(SidecarName(target, QStringLiteral("pgw"))),
      projectionFile_(SidecarName(target, QStringLiteral("prj"))),
      stream_(std::make_unique<PngStream>()),
      scanline_(size_t(geometry.WidthPixels()) * 4)
{
    if (!stream_->Start(QFile::encodeName(image_.TemporaryName()).constData(), png_uint_32(geometry.WidthPixels()),
            png_uint_32(geometry.HeightPixels())))
        Fail(QStringLiteral("the file cannot be created"));
}

PngWriter::~PngWriter() = default;

void PngWriter::Fail(const QString& what) const
{
    const QString reason = stream_->error[0] ? QStringLiteral("%1 (%2)").arg(what, QString::fromLocal8Bit(stream_->error))
                                             : what;
    throw AppError(QStringLiteral("Cannot write %1: %2.").arg(QDir::toNativeSeparators(image_.Target()), reason));
}

int PngWriter::SpanLength() const
{
    return int(geometry_.Columns);
}

void PngWriter::PrepareTile(SourceTile& tile) const
{
    tile.Bytes.clear();
}

void PngWriter::WriteSpan(const std::vector<SourceTile>& tiles)
{
    constexpr size_t kTileRowBytes = size_t(kSize) * 4;
    for (int line = 0; line < kSize; ++line) {
        unsigned char* out = scanline_.data();
        for (const SourceTile& tile : tiles) {
            if (tile.State == TileState::Stored)
                std::memcpy(out, tile.Pixels.constScanLine(line), kTileRowBytes);
            else
                std::memset(out, 0, kTileRowBytes);
            out += kTileRowBytes;
        }
        if (!stream_->WriteRow(scanline_.data()))
            Fail(QStringLiteral("the disk may be full"));
    }
}

void PngWriter::Finish()
{
    if (!stream_->End())
        Fail(QStringLiteral("the disk may be full"));
    stream_.reset();
    WritePendingBytes(worldFile_, WorldFileText(geometry_));
    WritePendingBytes(projectionFile_, ProjectionText());
    worldFile_.Commit();
    projectionFile_.Commit();
    image_.Commit();
}
