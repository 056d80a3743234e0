#include "viewer/tile_decoder.h"

#include "task/download_task.h"
#include "viewer/tile_file_check.h"

size_t qHash(const TileKey& key, size_t seed)
{
    return qHashMulti(seed, key.X, key.Y, key.Edge);
}

TileDecoder::TileDecoder(const MDTask& task, TileStateRule rule, int jobs, QObject* parent)
    : QObject(parent), task_(task), rule_(std::move(rule)), draining_(size_t(jobs)), jobs_(size_t(jobs))
{
}

TileDecoder::~TileDecoder()
{
    jobs_.clear();
}

void TileDecoder::SetWanted(const QList<TileKey>& keys)
{
    std::vector<size_t> idle;
    {
        std::lock_guard lock(mutex_);
        queue_.clear();
        for (const TileKey& key : keys)
            if (!working_.contains(key))
                queue_.push_back(key);
        for (size_t slot = 0; slot < jobs_.size() && idle.size() < queue_.size(); ++slot)
            if (!draining_[slot]) {
                draining_[slot] = true;
                idle.push_back(slot);
            }
    }
    for (size_t slot : idle)
        jobs_[slot] = StartPoolJob(this, [this, slot](const PoolJobContext& job) { Drain(slot, job); });
}

bool TileDecoder::IsBusy() const
{
    std::lock_guard lock(mutex_);
    return !queue_.empty() || !working_.isEmpty();
}

void TileDecoder::Drain(size_t slot, const PoolJobContext& job)
{
    while (!job.CancelRequested()) {
        TileKey key;
        {
            std::lock_guard lock(mutex_);
            if (queue_.empty()) {
                draining_[slot] = false;
                return;
            }
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
        job.Report([this, key, content] {
            {
                std::lock_guard lock(mutex_);
                working_.removeOne(key);
            }
            emit Decoded(key, content.Image, content.State);
        });
    }
}
