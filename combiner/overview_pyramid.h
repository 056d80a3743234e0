#pragma once

#include "platform/scratch_file.h"

#include <QByteArray>
#include <QImage>
#include <memory>
#include <vector>

// The overviews of a tiled image, built as the tiles go by: each level half
// the size of the one above, tiled 256 x 256, every tile the 2 x 2 average
// (premultiplied) of the level above, compressed once its four quarters are
// in and appended to a scratch file of its level. A tile whose upper half is
// in waits for its lower half as it is, or packed when the waiting halves of
// a wide image would pass kUnpackedUpperBytes: memory stays bounded. The
// tiles are built and compressed on all cores, a batch at a time, and come
// out in the same order whatever the threads do.
class OverviewPyramid {
public:
    // The most the upper halves waiting for their lower ones take unpacked.
    static constexpr qint64 kUnpackedUpperBytes = qint64(48) << 20;

    // Levels 1..levels of an image of `columns` x `rows` tiles; scratch
    // files in `folder`, errors naming `target`.
    OverviewPyramid(qint64 columns, qint64 rows, int levels, const QString& folder, const QString& target,
        qint64 unpackedUpperBytes = kUnpackedUpperBytes);
    ~OverviewPyramid();

    // How many overviews an image of `columns` x `rows` tiles needs so the
    // smallest fits one tile.
    static int LevelsFor(qint64 columns, qint64 rows);

    // The half-size image (premultiplied, 128 x 128; null when transparent)
    // of tile (column, row) of the full image. Every tile comes, row by
    // row, each row left to right.
    void AddHalf(qint64 column, qint64 row, QImage half);
    // Builds every overview tile whose quarters are in, and what follows
    // from them at the smaller levels.
    void Settle();

    // The upper half of a tile, waiting for its lower half: its quarters
    // (null: transparent), or all of it packed (empty: transparent).
    struct UpperHalf {
        QImage Left, Right;
        QByteArray Packed;
    };
    struct Level {
        qint64 Columns = 0, Rows = 0;
        std::unique_ptr<ScratchFile> Data;
        std::vector<quint32> Sizes;     // of each tile in Data, row by row
        std::vector<UpperHalf> Upper;   // of each column, while the row's lower halves come
        QImage Left;                    // the first quarter of a pair, while the second is coming
    };
    int Levels() const { return int(levels_.size()); }
    const Level& At(int level) const { return levels_[size_t(level - 1)]; }

private:
    struct Job;
    void Place(int level, qint64 column, qint64 row, QImage half);
    void Make(Job& job) const;

    qint64 columnsOfFull_, rowsOfFull_;
    bool packUpper_ = false;
    std::vector<Level> levels_;
    std::vector<Job> queued_;
};
