#pragma once

#include "combiner/mosaic_geometry.h"
#include "task/tile_state.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <functional>
#include <vector>

class MDTask;

// One tile of a task as the combiner reads it.
struct SourceTile {
    int X = 0, Y = 0;  // tile column and row
    QString FileName;
    TileState State = TileState::Missing;
    QString Problem;         // why an unreadable tile is, e.g. "larger than 16 MB"
    bool Scaled = false;     // decoded at another size than 256 x 256
    bool Converted = false;  // Bytes were made PNG from another image format
    QByteArray Bytes;        // the file's bytes (stored tiles)
    QImage Pixels;           // 256 x 256, RGBA with unassociated alpha (stored tiles, when asked for)
    QByteArray Encoded;      // what a writer made of the pixels on a reading thread
    int Task = -1;           // which of the run's tasks it was read from; -1: a place no task covers
};

// Reads the tiles of one task: each tile is read, given its state by the
// same rule as the viewer's and decoded. Safe to use from several threads.
class TaskTileReader {
public:
    TaskTileReader(const MDTask& task, TileStateRule rule);

    // Fills `tile` (whose X and Y are set) from its file. Without
    // `wantPixels` a stored tile is only checked to decode, and its pixels
    // are not kept.
    void ReadTile(SourceTile& tile, bool wantPixels) const;

    const MDTask& Task() const { return task_; }

private:
    const MDTask& task_;
    TileStateRule rule_;
};
