#pragma once

#include "combiner/scratch_file.h"

#include <QByteArray>
#include <QImage>
#include <memory>
#include <vector>

// The overviews of a tiled image, built as the tiles go by: each level half
// the size of the one above, tiled 256 x 256, every tile the 2 x 2 average
// (premultiplied) of the level above, compressed as soon as its four
// quarters are in and appended to a scratch file of its level. A tile whose
// upper half is in waits compressed for its lower half, so memory grows by
// a few kilobytes per column of the image.
class OverviewPyramid {
public:
    // Levels 1..levels of an image of `columns` x `rows` tiles.
    OverviewPyramid(qint64 columns, qint64 rows, int levels, const QString& folder, const QString& target);

    // How many overviews an image of `columns` x `rows` tiles needs so the
    // smallest fits one tile.
    static int LevelsFor(qint64 columns, qint64 rows);

    // The half-size image (premultiplied, 128 x 128; null when transparent)
    // of tile (column, row) of level `from` (0: the full image). Every tile
    // of a level comes, row by row, each row left to right.
    void AddHalf(int from, qint64 column, qint64 row, const QImage& half);

    struct Level {
        qint64 Columns = 0, Rows = 0;
        std::unique_ptr<ScratchFile> Data;
        std::vector<quint32> Sizes;      // of each tile in Data, row by row
        QImage Building;                 // the tile whose quarters are coming in
        std::vector<QByteArray> Upper;   // tiles of the row with their upper half in, packed; empty: transparent
    };
    int Levels() const { return int(levels_.size()); }
    const Level& At(int level) const { return levels_[size_t(level - 1)]; }

private:
    void Complete(int level, qint64 column, qint64 row, QImage tile);

    qint64 columnsOfFull_, rowsOfFull_;
    std::vector<Level> levels_;
};
