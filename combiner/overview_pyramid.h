#pragma once

#include "combiner/scratch_file.h"

#include <QImage>
#include <memory>
#include <vector>

// The overviews of a tiled image, built as the rows of its tiles go by: each
// level half the size of the one above, tiled 256 x 256, every tile the
// 2 x 2 average (premultiplied) of the level above, compressed as it is
// completed into a scratch file of its level. Only one row of tiles of each
// level is held.
class OverviewPyramid {
public:
    // Levels 1..levels of an image of `columns` x `rows` tiles.
    OverviewPyramid(qint64 columns, qint64 rows, int levels, const QString& folder, const QString& target);

    // How many overviews an image of `columns` x `rows` tiles needs so the
    // smallest fits one tile.
    static int LevelsFor(qint64 columns, qint64 rows);

    // The half-size image (premultiplied, 128 x 128; null when transparent)
    // of tile (column, row) of level `from` (0: the full image).
    void AddHalf(int from, qint64 column, qint64 row, const QImage& half);
    // Row `row` of level `from` is complete.
    void RowDone(int from, qint64 row);

    struct Level {
        qint64 Columns = 0, Rows = 0;
        std::unique_ptr<ScratchFile> Data;
        std::vector<quint32> Sizes;  // of each tile in Data, row by row
        std::vector<QImage> Row;     // the row being built; null where nothing is placed yet
    };
    int Levels() const { return int(levels_.size()); }
    const Level& At(int level) const { return levels_[size_t(level - 1)]; }

private:
    void FlushRow(int level, qint64 row);

    qint64 rowsOfFull_;
    std::vector<Level> levels_;
};
