#include "combiner/overview_pyramid.h"

#include "combiner/mosaic_geometry.h"
#include "combiner/parallel_for.h"
#include "combiner/tiff_tile_deflate.h"
#include "combiner/tile_bands.h"
#include "combiner/tile_halving.h"

#include <algorithm>

namespace {
constexpr qint64 kHalfTileBytes = qint64(MosaicGeometry::kTileSize) * MosaicGeometry::kTileSize * 4 / 2;
}

// A tile whose quarters are in, to be made whole, or an upper half to be
// packed while it waits for its lower half.
struct OverviewPyramid::Job {
    int Level = 0;  // of the tile (1: half the full image)
    qint64 Column = 0, Row = 0;
    bool Whole = false;  // false: the upper half alone, to be packed
    QImage Quarters[4];  // upper left, upper right, lower left, lower right; null: transparent
    QByteArray Packed;   // the upper half, packed instead of in Quarters; empty: none
    // What the job makes: the packed upper half, or the tile's TIFF data and
    // its half for the next level (null when transparent or not needed).
    QByteArray Data;
    QImage Half;
};

OverviewPyramid::OverviewPyramid(qint64 columns, qint64 rows, int levels, const QString& folder, const QString& target,
    qint64 unpackedUpperBytes)
    : columnsOfFull_(columns), rowsOfFull_(rows)
{
    for (int level = 1; level <= levels; ++level) {
        columns = (columns + 1) / 2, rows = (rows + 1) / 2;
        Level l;
        l.Columns = columns, l.Rows = rows;
        l.Data = std::make_unique<ScratchFile>(folder, target);
        l.Sizes.reserve(size_t(columns * rows));
        l.Upper.resize(size_t(columns));
        levels_.push_back(std::move(l));
    }
    qint64 upperBytes = 0;
    for (const Level& l : levels_)
        upperBytes += l.Columns * kHalfTileBytes;
    packUpper_ = upperBytes > unpackedUpperBytes;
}

OverviewPyramid::~OverviewPyramid() = default;

int OverviewPyramid::LevelsFor(qint64 columns, qint64 rows)
{
    int levels = 0;
    while ((qint64(1) << levels) < std::max(columns, rows))
        ++levels;
    return levels;
}

void OverviewPyramid::AddHalf(qint64 column, qint64 row, QImage half)
{
    Place(1, column, row, std::move(half));
}

// Quarter (column, row) of the level above `level`: a job once its pair is in.
void OverviewPyramid::Place(int level, qint64 column, qint64 row, QImage half)
{
    if (level > Levels())
        return;
    Level& l = levels_[size_t(level - 1)];
    const qint64 columnsAbove = level == 1 ? columnsOfFull_ : levels_[size_t(level - 2)].Columns;
    const qint64 rowsAbove = level == 1 ? rowsOfFull_ : levels_[size_t(level - 2)].Rows;
    if (column % 2 == 0 && column != columnsAbove - 1) {
        l.Left = std::move(half);
        return;
    }
    QImage left = column % 2 == 0 ? std::move(half) : std::exchange(l.Left, QImage());
    QImage right = column % 2 == 0 ? QImage() : std::move(half);
    UpperHalf& upper = l.Upper[size_t(column / 2)];
    const bool lower = row % 2 == 1;
    if (!lower && row != rowsAbove - 1 && !packUpper_) {
        upper = UpperHalf{std::move(left), std::move(right), {}};
        return;
    }
    Job job;
    job.Level = level, job.Column = column / 2, job.Row = row / 2;
    job.Whole = lower || row == rowsAbove - 1;
    job.Quarters[lower ? 2 : 0] = std::move(left);
    job.Quarters[lower ? 3 : 1] = std::move(right);
    // The upper half came in an earlier Settle: rows of a level are made
    // whole by different rows of the full image.
    if (lower) {
        UpperHalf waiting = std::exchange(upper, UpperHalf());
        job.Quarters[0] = std::move(waiting.Left), job.Quarters[1] = std::move(waiting.Right);
        job.Packed = std::move(waiting.Packed);
    }
    queued_.push_back(std::move(job));
}

void OverviewPyramid::Make(Job& job) const
{
    const bool transparent = std::all_of(std::begin(job.Quarters), std::end(job.Quarters), [](const QImage& q) { return q.isNull(); });
    if (transparent && job.Packed.isEmpty()) {
        if (job.Whole)
            job.Data = TransparentTileData();
        return;
    }
    QImage tile = job.Packed.isEmpty() ? PremultipliedTile(QImage()) : UnpackTile(job.Packed);
    job.Packed.clear();
    for (int i = 0; i < 4; ++i)
        if (!job.Quarters[i].isNull())
            PlaceQuarter(tile, std::exchange(job.Quarters[i], QImage()), i % 2, i / 2);
    if (!job.Whole) {
        job.Data = PackTileBands(tile);
        return;
    }
    job.Data = DeflateOverviewTile(tile);
    if (job.Level < Levels())
        job.Half = HalveImage(tile);
}

void OverviewPyramid::Settle()
{
    while (!queued_.empty()) {
        std::vector<Job> batch = std::exchange(queued_, {});
        ParallelFor(int(batch.size()), [&](int i) { Make(batch[size_t(i)]); });
        // In order, so the files are the same whatever the threads did.
        for (Job& job : batch) {
            Level& l = levels_[size_t(job.Level - 1)];
            if (!job.Whole) {
                l.Upper[size_t(job.Column)].Packed = std::move(job.Data);
                continue;
            }
            l.Data->Append(job.Data);
            l.Sizes.push_back(quint32(job.Data.size()));
            Place(job.Level + 1, job.Column, job.Row, std::move(job.Half));
        }
    }
}
