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
};

// Reads a task's tiles a span of one row at a time, on all cores: each tile
// is read, given its state by the same rule as the viewer's and decoded;
// then `prepare` (a writer's per-tile work, such as compressing) runs on the
// same thread. Only the span is held in memory.
class TaskTileReader {
public:
    TaskTileReader(const MDTask& task, TileStateRule rule);

    // The tiles (firstX .. firstX + count - 1, y), in column order. Without
    // `wantPixels` a stored tile is only checked to decode, and its pixels
    // are not kept.
    std::vector<SourceTile> ReadSpan(int y, int firstX, int count, bool wantPixels,
        const std::function<void(SourceTile&)>& prepare) const;

    const MosaicGeometry& Geometry() const { return geometry_; }

private:
    void ReadTile(SourceTile& tile, bool wantPixels) const;

    const MDTask& task_;
    TileStateRule rule_;
    MosaicGeometry geometry_;
    int threadCount_;
};
