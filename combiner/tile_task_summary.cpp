#include "combiner/tile_task_summary.h"

#include "combiner/overview_pyramid.h"
#include "combiner/png_encode.h"
#include "combiner/task_tiles.h"
#include "combiner/tiff_tile_deflate.h"
#include "task/task_walk_of.h"
#include "task/download_task.h"
#include "task/tile_file_read.h"
#include "task/tile_state.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <cmath>
#include <tuple>

TileTaskSummary SummariseTask(const MDTask& task, const std::function<bool(qint64 counted)>& carryOn)
{
    TileTaskSummary summary;
    summary.Geometry = MosaicGeometry::ForTask(task);
    // Only a file of the blank image's size is read: the summary of a large
    // task stays a walk over file sizes.
    const QByteArray blank = ReadShippedBlankImage(task.ImageExtension());
    const TileStateRule rule(blank, ReadFailedTileNames(task.FailedFileName));
    const qint64 blankSize = blank.size();
    summary.Tiles = task.TotalCount;
    qint64 counted = 0;
    bool stopped = false;
    WalkOf(task).ForEachTile([&](int x, int y) {
        if (carryOn && !carryOn(counted++)) {
            stopped = true;
            return false;
        }
        const QString name = task.TileFileName(x, y);
        const QFileInfo info(task.ImageFolder + name);
        if (!info.exists()) {
            ++(rule.ForMissingFile(name) == TileState::Failed ? summary.Failed : summary.Missing);
            return true;
        }
        // What the combiner will refuse to read is not counted as stored,
        // nor its size in the estimate (a sparse file may claim gigabytes).
        if (info.isSymLink() || !info.isFile() || info.size() > kMaxTileFileBytes) {
            ++summary.Unreadable;
            return true;
        }
        const qint64 size = info.size();
        QFile file(info.filePath());
        if (size == blankSize && file.open(QIODevice::ReadOnly) && rule.IsBlank(file.readAll())) {
            ++summary.Blank;
            return true;
        }
        ++summary.Stored;
        summary.StoredBytes += size;
        return true;
    });
    if (stopped)
        return summary;
    summary.Sample = SampleEncodings(task);
    return summary;
}

namespace {
// The tile halved in the top-left quarter of a transparent overview tile:
// halved pixels compress less well than the tile's own.
QImage QuarterOfOverviewTile(const QImage& tile)
{
    QImage quarter(MosaicGeometry::kTileSize, MosaicGeometry::kTileSize, QImage::Format_RGBA8888_Premultiplied);
    quarter.fill(Qt::transparent);
    const QImage half = tile.convertToFormat(QImage::Format_RGBA8888_Premultiplied)
                            .scaled(tile.size() / 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    for (int y = 0; y < half.height(); ++y)
        std::copy_n(half.constScanLine(y), half.bytesPerLine(), quarter.scanLine(y));
    return quarter;
}
}

EncodedSample SampleEncodings(const MDTask& task)
{
    EncodedSample sample;
    const TaskTileReader reader(task, TileStateRule::ForTask(task));
    const qint64 columns = task.MaxX - task.MinX + 1;
    // A shaped task's places are those of its walk: its rectangle's lie mostly outside.
    const bool shaped = task.Walk.IsShaped();
    const qint64 count = shaped ? task.TotalCount : columns * (task.MaxY - task.MinY + 1);
    const qint64 places = std::min<qint64>(count, EncodedSample::kTiles);
    for (qint64 i = 0; i < places; ++i) {
        const qint64 place = (2 * i + 1) * count / (2 * places);
        SourceTile tile;
        if (shaped) {
            std::tie(tile.X, tile.Y) = task.Walk.TileAt(place + 1);
        } else {
            tile.X = task.MinX + int(place % columns);
            tile.Y = task.MinY + int(place / columns);
        }
        reader.ReadTile(tile, true);
        if (tile.State != TileState::Stored || tile.Pixels.isNull())
            continue;
        ++sample.Tiles;
        sample.FileBytes += tile.Bytes.size();
        sample.TiffBytes += DeflateTilePixels(tile.Pixels).size();
        sample.PngBytes += EncodePng(tile.Pixels).size();
        sample.OverviewBytes += 4 * DeflateOverviewTile(QuarterOfOverviewTile(tile.Pixels)).size();
    }
    return sample;
}

namespace {
constexpr qint64 kTransparentPngTileBytes = 75;
// The tile databases' pages: a row of a tile lives on a page with as many
// others as fit whole, or spills onto pages of its own.
constexpr qint64 kTileSetRowBytes = 64;
constexpr double kPageBytes = 65536;
constexpr double kPagePayloadBytes = 65501;
// The pages of an empty file: the schema, the metadata tables, the indexes.
constexpr qint64 kMBTilesFilePages = 4;
constexpr qint64 kGeoPackageFilePages = 11;

qint64 TileSetPages(double rows, double rowBytes)
{
    if (rows <= 0)
        return 0;
    if (rowBytes > kPagePayloadBytes)
        return qint64(std::ceil(rows * std::ceil(rowBytes / kPagePayloadBytes)));
    return qint64(std::ceil(rows / std::floor(kPagePayloadBytes / rowBytes)));
}

// The sampled bytes per file byte; `fallback` without a sample.
double Growth(const EncodedSample& sample, qint64 encoded, double fallback)
{
    return sample.FileBytes > 0 ? double(encoded) / double(sample.FileBytes) : fallback;
}

// An average encoded tile of the sample, or of the stored files grown by `growth`.
double AverageTile(const TileTaskSummary& summary, qint64 sampled, double growth)
{
    if (summary.Sample.Tiles > 0)
        return double(sampled) / summary.Sample.Tiles;
    return summary.Stored > 0 ? double(summary.StoredBytes) * growth / double(summary.Stored) : 0;
}

// Tiles of the levels below a grid of `columns` x `rows` tiles, each level
// half the one above, `levels` of them.
qint64 TilesBelow(qint64 columns, qint64 rows, int levels)
{
    qint64 tiles = 0;
    for (int level = 0; level < levels; ++level) {
        columns = (columns + 1) / 2;
        rows = (rows + 1) / 2;
        tiles += columns * rows;
    }
    return tiles;
}

// The share of the grid that holds stored tiles.
double StoredShare(const TileTaskSummary& summary)
{
    const qint64 tiles = summary.Geometry.TileCount();
    return tiles > 0 ? double(summary.Stored) / double(tiles) : 0;
}
}

qint64 EstimateOutputBytes(const TileTaskSummary& summary, OutputFormat format, bool overviews)
{
    const EncodedSample& sample = summary.Sample;
    const MosaicGeometry& g = summary.Geometry;
    const qint64 empty = g.TileCount() - summary.Stored;
    switch (format) {
    case OutputFormat::GeoTiff: {
        const double growth = Growth(sample, sample.TiffBytes, 1.5);
        const double transparent = double(TransparentTileData().size());
        const double share = StoredShare(summary);
        const qint64 overviewTiles =
            overviews ? TilesBelow(g.Columns, g.Rows, OverviewPyramid::LevelsFor(g.Columns, g.Rows)) : 0;
        const double overviews =
            double(overviewTiles) * (share * AverageTile(summary, sample.OverviewBytes, growth) + (1 - share) * transparent);
        constexpr qint64 kTileTableBytes = 16;  // offset and byte count of a tile
        return qint64(double(summary.StoredBytes) * growth + double(empty) * transparent + overviews)
            + kTileTableBytes * (g.TileCount() + overviewTiles);
    }
    case OutputFormat::Png:
        return qint64(double(summary.StoredBytes) * Growth(sample, sample.PngBytes, 1.5))
            + empty * kTransparentPngTileBytes;
    case OutputFormat::MBTiles:
    case OutputFormat::GeoPackage: {
        const double rowBytes = summary.Stored > 0 ? double(summary.StoredBytes) / double(summary.Stored) : 0;
        const qint64 filePages = format == OutputFormat::MBTiles ? kMBTilesFilePages : kGeoPackageFilePages;
        return qint64(kPageBytes) * (TileSetPages(double(summary.Stored), rowBytes + kTileSetRowBytes) + filePages);
    }
    }
    return 0;
}

qint64 EstimateLowerZoomBytes(const TileTaskSummary& lowest, int levels)
{
    const MosaicGeometry& g = lowest.Geometry;
    const double perTile = AverageTile(lowest, lowest.Sample.PngBytes, Growth(lowest.Sample, lowest.Sample.PngBytes, 1.5));
    const double tiles = double(TilesBelow(g.Columns, g.Rows, levels)) * StoredShare(lowest);
    return qint64(kPageBytes) * TileSetPages(tiles, perTile + kTileSetRowBytes);
}
