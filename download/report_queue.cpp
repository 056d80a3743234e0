#include "download/report_queue.h"

void ReportQueue::Add(ReportKind kind, const QString& text)
{
    std::unique_lock lock(mutex_);
    if (holding_) {
        held_.append({kind, text});
        return;
    }
    drained_.wait(lock, [this] { return released_ || pending_.size() < kMaxPending; });
    pending_.append({kind, text});
}

void ReportQueue::Hold()
{
    const std::lock_guard lock(mutex_);
    holding_ = true;
}

void ReportQueue::Publish(std::optional<TilePosition> position)
{
    std::unique_lock lock(mutex_);
    holding_ = false;
    drained_.wait(lock, [this] { return released_ || pending_.size() < kMaxPending; });
    pending_.append(held_);
    held_.clear();
    if (position)
        position_ = *position;
}

TilePosition ReportQueue::Position() const
{
    const std::lock_guard lock(mutex_);
    return position_;
}

ReportBatch ReportQueue::Take()
{
    ReportBatch batch;
    {
        const std::lock_guard lock(mutex_);
        batch.Reports.swap(pending_);
        batch.Position = position_;
    }
    drained_.notify_all();
    return batch;
}

void ReportQueue::Release()
{
    {
        const std::lock_guard lock(mutex_);
        released_ = true;
    }
    drained_.notify_all();
}
