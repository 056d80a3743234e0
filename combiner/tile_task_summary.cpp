#include "combiner/tile_task_summary.h"

#include "combiner/overview_pyramid.h"
#include "combiner/png_encode.h"
#include "combiner/task_tiles.h"
#include "combiner/tiff_tile_deflate.h"
#include "task/download_task.h"
#include "task/tile_file_read.h"
#include "task/tile_state.h"

#include <QFile>
#include <QFileInfo>
#include <algorithm>

TileTaskSummary SummariseTask(const MDTask& task, const std::function<bool(qint64 counted)>& carryOn)
{
    TileTaskSummary summary;
    summary.Geometry = MosaicGeometry::ForTask(task);
    // Only a file of the blank image's size is read: the summary of a large
    // task stays a walk over file sizes.
    const QByteArray blank = ReadShippedBlankImage();
    const TileStateRule rule(blank, ReadFailedTileNames(task.FailedFileName));
    const qint64 blankSize = blank.size();
    qint64 counted = 0;
    for (int y = task.MinY; y <= task.MaxY; ++y) {
        for (int x = task.MinX; x <= task.MaxX; ++x) {
            if (carryOn && !carryOn(counted++))
                return summary;
            const QString name = task.TileFileName(x, y);
            const QFileInfo info(task.ImageFolder + name);
            if (!info.exists()) {
                ++(rule.ForMissingFile(name) == TileState::Failed ? summary.Failed : summary.Missing);
                continue;
            }
            // What the combiner will refuse to read is not counted as stored,
            // nor its size in the estimate (a sparse file may claim gigabytes).
            if (info.isSymLink() || !info.isFile() || info.size() > kMaxTileFileBytes) {
                ++summary.Unreadable;
                continue;
            }
            const qint64 size = info.size();
            QFile file(info.filePath());
            if (size == blankSize && file.open(QIODevice::ReadOnly) && rule.IsBlank(file.readAll())) {
                ++summary.Blank;
                continue;
            }
            ++summary.Stored;
            summary.StoredBytes += size;
        }
    }
    summary.Sample = SampleEncodings(task);
    return summary;
}

EncodedSample SampleEncodings(const MDTask& task)
{
    EncodedSample sample;
    const TaskTileReader reader(task, TileStateRule::ForTask(task));
    const qint64 columns = task.MaxX - task.MinX + 1;
    const qint64 count = columns * (task.MaxY - task.MinY + 1);
    const qint64 places = std::min<qint64>(count, EncodedSample::kTiles);
    for (qint64 i = 0; i < places; ++i) {
        const qint64 place = (2 * i + 1) * count / (2 * places);
        SourceTile tile;
        tile.X = task.MinX + int(place % columns);
        tile.Y = task.MinY + int(place / columns);
        reader.ReadTile(tile, true);
        if (tile.State != TileState::Stored || tile.Pixels.isNull())
            continue;
        ++sample.Tiles;
        sample.FileBytes += tile.Bytes.size();
        sample.TiffBytes += DeflateTilePixels(tile.Pixels).size();
        sample.PngBytes += EncodePng(tile.Pixels).size();
    }
    return sample;
}

namespace {
constexpr qint64 kTransparentPngTileBytes = 75;
constexpr qint64 kTileSetRowBytes = 64;
constexpr qint64 kTileSetFileBytes = 65536;

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

qint64 EstimateOutputBytes(const TileTaskSummary& summary, OutputFormat format)
{
    const EncodedSample& sample = summary.Sample;
    const MosaicGeometry& g = summary.Geometry;
    const qint64 empty = g.TileCount() - summary.Stored;
    switch (format) {
    case OutputFormat::GeoTiff: {
        const double growth = Growth(sample, sample.TiffBytes, 1.5);
        const double transparent = double(TransparentTileData().size());
        const double share = StoredShare(summary);
        const qint64 overviewTiles = TilesBelow(g.Columns, g.Rows, OverviewPyramid::LevelsFor(g.Columns, g.Rows));
        const double overviews =
            double(overviewTiles) * (share * AverageTile(summary, sample.TiffBytes, growth) + (1 - share) * transparent);
        constexpr qint64 kTileTableBytes = 16;  // offset and byte count of a tile
        return qint64(double(summary.StoredBytes) * growth + double(empty) * transparent + overviews)
            + kTileTableBytes * (g.TileCount() + overviewTiles);
    }
    case OutputFormat::Png:
        return qint64(double(summary.StoredBytes) * Growth(sample, sample.PngBytes, 1.5))
            + empty * kTransparentPngTileBytes;
    case OutputFormat::MBTiles:
    case OutputFormat::GeoPackage: return summary.StoredBytes + summary.Stored * kTileSetRowBytes + kTileSetFileBytes;
    }
    return 0;
}

qint64 EstimateLowerZoomBytes(const TileTaskSummary& lowest, int levels)
{
    const MosaicGeometry& g = lowest.Geometry;
    const double perTile = AverageTile(lowest, lowest.Sample.PngBytes, Growth(lowest.Sample, lowest.Sample.PngBytes, 1.5));
    const qint64 tiles = TilesBelow(g.Columns, g.Rows, levels);
    return qint64(double(tiles) * StoredShare(lowest) * (perTile + kTileSetRowBytes));
}
