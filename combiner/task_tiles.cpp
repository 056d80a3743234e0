#include "combiner/task_tiles.h"

#include "image/tile_image.h"
#include "task/download_task.h"
#include "task/tile_file_read.h"

TaskTileReader::TaskTileReader(const MDTask& task, TileStateRule rule)
    : task_(task), rule_(std::move(rule))
{
}

void TaskTileReader::ReadTile(SourceTile& tile, bool wantPixels) const
{
    tile.FileName = task_.TileFileName(tile.X, tile.Y);
    TileFileBytes file = ReadTileFileBytes(task_.ImageFolder + tile.FileName);
    if (file.Result == TileFileBytes::Outcome::Missing) {
        tile.State = rule_.ForMissingFile(tile.FileName);
        return;
    }
    if (file.Result == TileFileBytes::Outcome::Refused) {
        tile.State = TileState::Unreadable;
        tile.Problem = file.Problem;
        return;
    }
    constexpr int kSize = MosaicGeometry::kTileSize;
    // Without pixels to keep, knowing that the file decodes is enough.
    // Scaled with premultiplied colours, so transparent pixels do not bleed.
    TileImage image = !wantPixels ? CheckTileImage(file.Bytes)
                                  : DecodeTileImage(file.Bytes, [](QSize) { return QSize(kSize, kSize); });
    tile.State = rule_.ForFile(file.Bytes, image.Decodes());
    tile.Problem = image.Problem;
    if (tile.State != TileState::Stored)
        return;
    tile.Bytes = std::move(file.Bytes);
    tile.Scaled = image.Size != QSize(kSize, kSize);
    if (wantPixels)
        tile.Pixels = image.Image.convertToFormat(QImage::Format_RGBA8888);
}
