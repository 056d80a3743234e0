#include "combiner/task_tiles.h"

#include "combiner/tile_decode_check.h"
#include "task/download_task.h"

#include <QFile>
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
    QFile file(task_.ImageFolder + tile.FileName);
    if (!file.open(QIODevice::ReadOnly)) {
        tile.State = file.exists() ? TileState::Unreadable : rule_.ForMissingFile(tile.FileName);
        return;
    }
    tile.Bytes = file.readAll();
    // Without pixels to keep, knowing that the file decodes is enough.
    QImage image;
    const QSize size = !wantPixels ? DecodedImageSize(tile.Bytes)
        : image.loadFromData(tile.Bytes) ? image.size() : QSize();
    tile.State = rule_.ForFile(tile.Bytes, size.isValid());
    if (tile.State != TileState::Stored) {
        tile.Bytes.clear();
        return;
    }
    constexpr int kSize = MosaicGeometry::kTileSize;
    tile.Scaled = size != QSize(kSize, kSize);
    if (!wantPixels)
        return;
    if (tile.Scaled) {
        // Scale with premultiplied colours, so transparent pixels do not bleed.
        image = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied)
                    .scaled(kSize, kSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    tile.Pixels = image.convertToFormat(QImage::Format_RGBA8888);
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
