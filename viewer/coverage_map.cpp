#include "viewer/coverage_map.h"

#include "viewer/tile_style.h"
#include "task/download_task.h"

namespace {
// Which state a block shows when its tiles differ: problems first.
int Weight(TileState state)
{
    switch (state) {
    case TileState::Unreadable: return 5;
    case TileState::Failed: return 4;
    case TileState::Stored: return 3;
    case TileState::Blank: return 2;
    case TileState::Missing: return 1;
    }
    return 0;
}

quint8 CellCode(TileState state)
{
    return quint8(1 + int(state));
}

constexpr char kOutside = char(0xff);
}

CoverageMap::CoverageMap(QRect tiles) : tiles_(tiles)
{
    const qint64 side = std::max(tiles.width(), tiles.height());
    block_ = int((side + kMaxCellsPerSide - 1) / kMaxCellsPerSide);
    const int columns = int((qint64(tiles.width()) + block_ - 1) / block_);
    const int rows = int((qint64(tiles.height()) + block_ - 1) / block_);
    cells_ = QByteArray(qsizetype(columns) * rows, '\0');
    // Opaque: drawn as a plain copy, the cheapest way to paint a million cells.
    image_ = QImage(columns, rows, QImage::Format_RGB32);
    image_.fill(UnknownTileColor());
}

CoverageMap CoverageMap::ForTask(const MDTask& task)
{
    CoverageMap map(QRect(QPoint(task.MinX, task.MinY), QPoint(task.MaxX, task.MaxY)));
    if (!task.Walk.IsShaped())
        return map;
    map.cells_.fill(kOutside);
    map.image_ = QImage(map.image_.size(), QImage::Format_ARGB32_Premultiplied);
    map.image_.fill(Qt::transparent);
    for (int x = task.MinX; x <= task.MaxX; ++x) {
        const int column = (x - task.MinX) / map.block_;
        for (const RowSpan& span : task.Walk.Column(x)) {
            for (int row = (span.First - task.MinY) / map.block_; row <= (span.Last - task.MinY) / map.block_; ++row) {
                map.cells_[qsizetype(row) * map.image_.width() + column] = 0;
                map.image_.setPixelColor(column, row, UnknownTileColor());
            }
        }
    }
    return map;
}

std::optional<QPoint> CoverageMap::CellOf(int x, int y) const
{
    if (!tiles_.contains(x, y))
        return std::nullopt;
    return QPoint((x - tiles_.left()) / block_, (y - tiles_.top()) / block_);
}

void CoverageMap::Fill(TileState state)
{
    if (!cells_.contains(kOutside)) {
        cells_.fill(char(CellCode(state)));
        image_.fill(TileStateColor(state));
        return;
    }
    for (qsizetype i = 0; i < cells_.size(); ++i) {
        if (cells_[i] == kOutside)
            continue;
        cells_[i] = char(CellCode(state));
        image_.setPixelColor(int(i % image_.width()), int(i / image_.width()), TileStateColor(state));
    }
}

void CoverageMap::SetTileState(int x, int y, TileState state)
{
    const auto cell = CellOf(x, y);
    if (!cell)
        return;
    char& code = cells_[qsizetype(cell->y()) * image_.width() + cell->x()];
    if (code == kOutside)
        return;
    if (block_ > 1 && code != 0 && Weight(TileState(quint8(code) - 1)) >= Weight(state))
        return;
    code = char(CellCode(state));
    image_.setPixelColor(*cell, TileStateColor(state));
}

std::optional<TileState> CoverageMap::TileStateAt(int x, int y) const
{
    const auto cell = CellOf(x, y);
    if (!cell || block_ != 1)
        return std::nullopt;
    const quint8 code = quint8(cells_[qsizetype(cell->y()) * image_.width() + cell->x()]);
    if (code == 0 || char(code) == kOutside)
        return std::nullopt;
    return TileState(code - 1);
}

QRect CoverageMap::CellTiles(QPoint cell) const
{
    const QRect block(tiles_.left() + cell.x() * block_, tiles_.top() + cell.y() * block_, block_, block_);
    return block.intersected(tiles_);
}
