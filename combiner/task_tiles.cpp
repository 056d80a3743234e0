#include "combiner/task_tiles.h"

#include "image/tile_image.h"
#include "task/download_task.h"
#include "task/tile_file_read.h"

#include <QThread>
#include <atomic>
#include <exception>
#include <thread>

TaskTileReader::TaskTileReader(const MDTask& task, TileStateRule rule)
    : task_(task), rule_(std::move(rule)), geometry_(MosaicGeometry::ForTask(task)),
      threadCount_(std::max(1, QThread::idealThreadCount()))
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

std::vector<SourceTile> TaskTileReader::ReadSpan(int y, int firstX, int count, bool wantPixels,
    const std::function<void(SourceTile&)>& prepare) const
{
    std::vector<SourceTile> tiles(count);
    for (int i = 0; i < count; ++i) {
        tiles[i].X = firstX + i;
        tiles[i].Y = y;
    }
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::atomic_flag failed;
    const auto work = [&] {
        try {
            for (int i = next++; i < count; i = next++) {
                ReadTile(tiles[i], wantPixels);
                if (prepare)
                    prepare(tiles[i]);
            }
        } catch (...) {
            if (!failed.test_and_set())
                failure = std::current_exception();
            next = count;
        }
    };
    std::vector<std::jthread> helpers;
    for (int t = 1; t < std::min(threadCount_, count); ++t)
        helpers.emplace_back(work);
    work();
    helpers.clear();  // joins
    if (failure)
        std::rethrow_exception(failure);
    return tiles;
}
