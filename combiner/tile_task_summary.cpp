#include "combiner/tile_task_summary.h"

#include "task/task_walk_of.h"
#include "task/download_task.h"
#include "task/tile_file_read.h"
#include "task/tile_state.h"

#include <QFile>
#include <QFileInfo>

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
            if (!TaskHoldsTile(task, x, y))
                continue;
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
    return summary;
}

qint64 EstimateOutputBytes(const TileTaskSummary& summary, OutputFormat format)
{
    constexpr qint64 kTransparentTileBytes = 300;
    const qint64 empty = summary.Geometry.TileCount() - summary.Stored;
    switch (format) {
    // With overviews, a third more.
    case OutputFormat::GeoTiff: return (summary.StoredBytes * 3 / 2 + empty * kTransparentTileBytes + 16 * summary.Geometry.TileCount()) * 4 / 3;
    case OutputFormat::Png: return summary.StoredBytes * 3 / 2 + empty * kTransparentTileBytes / 4;
    case OutputFormat::MBTiles:
    case OutputFormat::GeoPackage: return summary.StoredBytes + summary.Stored * 64 + 65536;
    }
    return 0;
}
