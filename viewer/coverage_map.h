#pragma once

#include "task/tile_state.h"

#include <QByteArray>
#include <QImage>
#include <QRect>
#include <optional>

class MDTask;

// The state of every tile of a task as one cell each, kept as an image that
// the view draws scaled, so a task of a million tiles pans like one of ten.
// A task wider or taller than kMaxCellsPerSide tiles gets one cell per square
// block of tiles, which shows the most telling state of its tiles.
class CoverageMap {
public:
    static constexpr int kMaxCellsPerSide = 2048;

    CoverageMap() = default;
    // `tiles`: the task's range, columns MinX..MaxX and rows MinY..MaxY. All cells unknown.
    explicit CoverageMap(QRect tiles);
    // The map of `task`'s range. A shaped task's cells that hold none of its
    // tiles lie outside: transparent, with no state, and no state ever set.
    static CoverageMap ForTask(const MDTask& task);

    QRect Tiles() const { return tiles_; }
    int BlockSize() const { return block_; }
    bool IsNull() const { return image_.isNull(); }

    // Every cell within the task in `state` (a listed task: tiles without files are missing).
    void Fill(TileState state);
    // Records a tile's state (merged into its block's when blocks are larger than one tile).
    void SetTileState(int x, int y, TileState state);
    // A tile's state: only when known and blocks are single tiles.
    std::optional<TileState> TileStateAt(int x, int y) const;

    // One pixel per cell; cell (0, 0) holds tile (MinX, MinY).
    const QImage& Image() const { return image_; }
    // The tiles the cell at `cell` stands for.
    QRect CellTiles(QPoint cell) const;

private:
    std::optional<QPoint> CellOf(int x, int y) const;

    QRect tiles_;
    int block_ = 1;
    QByteArray cells_;  // 0 unknown, kOutside outside a shaped task, else 1 + TileState
    QImage image_;
};
