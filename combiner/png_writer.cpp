#include "combiner/png_writer.h"

#include "combiner/parallel_for.h"
#include "combiner/tile_bands.h"
#include "platform/app_error.h"
#include "task/task_size_estimate.h"

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
        throw AppError(QStringLiteral("A PNG image wider or higher than %1 pixels cannot be opened by GDAL, QGIS and most viewers; these tiles make one of %2 x %3 pixels. Choose GeoTIFF (.tif) instead.")
                           .arg(GroupedNumber(PngWriter::kMaxSide), GroupedNumber(geometry.WidthPixels()),
                               GroupedNumber(geometry.HeightPixels())));
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

    bool Start(std::FILE* stream, png_uint_32 width, png_uint_32 height)
    {
        file = stream;
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

QByteArray PngWriter::AuxXmlText(const QString& attribution)
{
    const QByteArray metadata = attribution.isEmpty()
        ? QByteArray()
        : "  <Metadata>\n    <MDI key=\"COPYRIGHT\">" + attribution.toHtmlEscaped().toUtf8() + "</MDI>\n  </Metadata>\n";
    return "<PAMDataset>\n  <SRS dataAxisToSRSAxisMapping=\"1,2\">" + QByteArray(kWebMercatorWkt) + "</SRS>\n" + metadata
        + "</PAMDataset>\n";
}

PngWriter::PngWriter(const QString& target, const MosaicGeometry& geometry, const QString& attribution)
    : attribution_(attribution),
      geometry_((RefuseTooLarge(geometry), geometry)),
      image_(target),
      worldFile_(SidecarName(target, QStringLiteral("pgw"))),
      projectionFile_(SidecarName(target, QStringLiteral("prj"))),
      auxFile_(target + QStringLiteral(".aux.xml")),
      stream_(std::make_unique<PngStream>()),
      row_(size_t(geometry.Columns)),
      band_(size_t(geometry.WidthPixels()) * 4 * kBandLines)
{
    if (!stream_->Start(image_.File().DuplicateStream(), png_uint_32(geometry.WidthPixels()), png_uint_32(geometry.HeightPixels())))
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
    return int(std::min<qint64>(geometry_.Columns, kTilesPerSpan));
}

void PngWriter::PrepareTile(SourceTile& tile) const
{
    tile.Bytes.clear();
    if (tile.State == TileState::Stored)
        tile.Encoded = PackTileBands(tile.Pixels);
    tile.Pixels = QImage();
}

void PngWriter::WriteSpan(const std::vector<SourceTile>& tiles)
{
    for (const SourceTile& tile : tiles) {
        const qint64 column = tile.X - geometry_.MinX;
        row_[size_t(column)] = tile.State == TileState::Stored ? tile.Encoded : QByteArray();
        if (column == geometry_.Columns - 1)
            WriteRow();
    }
}

void PngWriter::WriteRow()
{
    constexpr size_t kTileRowBytes = size_t(kSize) * 4;
    const size_t lineBytes = size_t(geometry_.WidthPixels()) * 4;
    for (int band = 0; band < kBandsPerTile; ++band) {
        ParallelFor(int(row_.size()), [&](int column) {
            thread_local std::vector<unsigned char> lines(kTileRowBytes * kBandLines);
            if (row_[size_t(column)].isEmpty())
                std::fill(lines.begin(), lines.end(), 0);
            else
                UnpackTileBand(row_[size_t(column)], band, lines.data());
            for (int line = 0; line < kBandLines; ++line)
                std::memcpy(band_.data() + line * lineBytes + size_t(column) * kTileRowBytes,
                    lines.data() + line * kTileRowBytes, kTileRowBytes);
        });
        for (int line = 0; line < kBandLines; ++line)
            if (!stream_->WriteRow(band_.data() + line * lineBytes))
                Fail(QStringLiteral("the disk may be full"));
    }
    std::fill(row_.begin(), row_.end(), QByteArray());
}

void PngWriter::Finish()
{
    if (!stream_->End())
        Fail(QStringLiteral("the disk may be full"));
    stream_.reset();
    WritePendingBytes(worldFile_, WorldFileText(geometry_));
    WritePendingBytes(projectionFile_, kWebMercatorWkt);
    WritePendingBytes(auxFile_, AuxXmlText(attribution_));
    CommitImageWithSidecars(image_, {&worldFile_, &projectionFile_, &auxFile_});
}
