#include "viewer/tile_decoder.h"

#include "task/download_task.h"
#include "viewer/tile_file_check.h"

size_t qHash(const TileKey& key, size_t seed)
{
    return qHashMulti(seed, key.X, key.Y, key.Edge);
}

TileDecoder::TileDecoder(const MDTask& task, TileStateRule rule, int threads, QObject* parent)
    : QObject(parent), task_(task), rule_(std::move(rule))
{
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { Work(); });
}

TileDecoder::~TileDecoder()
{
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void TileDecoder::SetWanted(const QList<TileKey>& keys)
{
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        for (const TileKey& key : keys)
            if (!working_.contains(key))
                queue_.push_back(key);
    }
    wake_.notify_all();
}

bool TileDecoder::IsBusy() const
{
    std::lock_guard lock(mutex_);
    return !queue_.empty() || !working_.isEmpty();
}

void TileDecoder::Work()
{
    for (;;) {
        TileKey key;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
            if (stop_)
                return;
            key = queue_.front();
            queue_.pop_front();
            working_.append(key);
        }
        const QString name = task_.TileFileName(key.X, key.Y);
        TileFileContent content = ReadTileFile(task_.ImageFolder + name, name, rule_, key.Edge);
        // In the screen's own formats images draw without a conversion at
        // every paint, and opaque ones as a plain copy.
        if (!content.Image.isNull())
            content.Image.convertTo(content.Image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                                    : QImage::Format_RGB32);
        QMetaObject::invokeMethod(this, [this, key, content] {
            {
                std::lock_guard lock(mutex_);
                working_.removeOne(key);
            }
            emit Decoded(key, content.Image, content.State);
        }, Qt::QueuedConnection);
    }
}
