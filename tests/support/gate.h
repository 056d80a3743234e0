#pragma once

#include <condition_variable>
#include <mutex>

// A gate that worker threads wait at while a test holds it shut; opening
// it wakes them at once. Assigned like a flag: `gate = false;` shuts it.
class Gate {
public:
    explicit Gate(bool open) : open_(open) {}

    Gate& operator=(bool open)
    {
        {
            const std::lock_guard lock(mutex_);
            open_ = open;
        }
        changed_.notify_all();
        return *this;
    }

    void WaitUntilOpen()
    {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.wait(lock, [this] { return open_; });
        --waiting_;
    }

    // Threads waiting at the gate now.
    int Waiting()
    {
        const std::lock_guard lock(mutex_);
        return waiting_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_;
    int waiting_ = 0;
};
