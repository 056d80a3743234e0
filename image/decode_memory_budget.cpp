#include "image/decode_memory_budget.h"

#include <algorithm>

DecodeMemoryBudget::Share::Share(DecodeMemoryBudget& budget, qint64 bytes)
    : budget_(budget), bytes_(std::clamp<qint64>(bytes, 0, budget.total_))
{
    std::unique_lock lock(budget_.mutex_);
    ++budget_.waiting_;
    budget_.released_.wait(lock, [this] { return budget_.free_ >= bytes_; });
    --budget_.waiting_;
    budget_.free_ -= bytes_;
}

DecodeMemoryBudget::Share::~Share()
{
    {
        std::lock_guard lock(budget_.mutex_);
        budget_.free_ += bytes_;
    }
    budget_.released_.notify_all();
}

int DecodeMemoryBudget::Waiting() const
{
    std::lock_guard lock(mutex_);
    return waiting_;
}

DecodeMemoryBudget& DecodeMemoryBudget::ForProgram()
{
    static DecodeMemoryBudget budget(kBytes);
    return budget;
}
