#include "platform/work_pool.h"

#include <QRunnable>
#include <QThread>
#include <QThreadPool>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

struct PoolJobState {
    std::function<void(const PoolJobContext&)> Work;
    QThreadPool* Pool = nullptr;
    std::atomic<bool> CancelRequested{false};
    std::mutex Mutex;
    std::condition_variable Changed;  // finished or cancelled
    QObject* Owner = nullptr;     // null once the owner let go
    QRunnable* Queued = nullptr;  // valid while not Started
    bool Started = false;
    bool Finished = false;
    std::exception_ptr Escaped;
};

namespace {
// Spare work has threads of its own: a pool thread's priority cannot be
// raised again once lowered (not without privileges).
QThreadPool& SparePool()
{
    static QThreadPool pool;
    static const bool prepared = [] {
        pool.setThreadPriority(QThread::IdlePriority);
        pool.setMaxThreadCount(QThreadPool::globalInstance()->maxThreadCount());
        return true;
    }();
    Q_UNUSED(prepared);
    return pool;
}

void Execute(const std::shared_ptr<PoolJobState>& state)
{
    try {
        if (!state->CancelRequested)
            state->Work(PoolJobContext(state));
    } catch (...) {
        state->Escaped = std::current_exception();
    }
    state->Work = nullptr;  // what it holds goes on this thread
    std::lock_guard lock(state->Mutex);
    state->Finished = true;
    state->Changed.notify_all();
}

class JobRunnable final : public QRunnable {
public:
    JobRunnable(std::shared_ptr<PoolJobState> state, PoolWork kind) : state_(std::move(state)), kind_(kind) {}

    void run() override
    {
        {
            std::lock_guard lock(state_->Mutex);
            state_->Started = true;
        }
        // A waiting job lends its place in the pool to others meanwhile.
        if (kind_ == PoolWork::Waiting)
            state_->Pool->releaseThread();
        Execute(state_);
        if (kind_ == PoolWork::Waiting)
            state_->Pool->reserveThread();
    }

private:
    std::shared_ptr<PoolJobState> state_;
    PoolWork kind_;
};
}

bool PoolJobContext::CancelRequested() const
{
    return state_->CancelRequested;
}

const std::atomic<bool>& PoolJobContext::CancelFlag() const
{
    return state_->CancelRequested;
}

void PoolJobContext::Pause(int ms) const
{
    std::unique_lock lock(state_->Mutex);
    state_->Changed.wait_for(lock, std::chrono::milliseconds(ms), [this] { return state_->CancelRequested.load(); });
}

void PoolJobContext::Report(std::function<void()> report) const
{
    // Posted while the owner cannot let go: a post to an object destroyed
    // later is dropped with it.
    std::lock_guard lock(state_->Mutex);
    if (state_->Owner)
        QMetaObject::invokeMethod(state_->Owner, std::move(report), Qt::QueuedConnection);
}

PoolJob& PoolJob::operator=(PoolJob&& other) noexcept
{
    if (this != &other) {
        End();
        state_ = std::move(other.state_);
    }
    return *this;
}

PoolJob::~PoolJob()
{
    End();
}

void PoolJob::End() noexcept
{
    LetGo();
    try {
        Wait();
    } catch (...) {
        // The owner let go: nobody is left to tell.
    }
}

void PoolJob::Drop()
{
    LetGo();
    state_.reset();
}

void PoolJob::LetGo()
{
    if (!state_)
        return;
    Cancel();
    std::lock_guard lock(state_->Mutex);
    state_->Owner = nullptr;
}

void PoolJob::Cancel()
{
    if (!state_)
        return;
    std::lock_guard lock(state_->Mutex);
    state_->CancelRequested = true;
    state_->Changed.notify_all();
}

void PoolJob::Wait()
{
    if (!state_)
        return;
    std::unique_lock lock(state_->Mutex);
    // Not started means the runnable still exists: it marks the start first.
    if (!state_->Started && state_->Pool->tryTake(state_->Queued)) {
        const std::unique_ptr<QRunnable> taken(state_->Queued);
        state_->Started = true;
        lock.unlock();
        Execute(state_);
        lock.lock();
    }
    state_->Changed.wait(lock, [this] { return state_->Finished; });
    if (state_->Escaped)
        std::rethrow_exception(std::exchange(state_->Escaped, nullptr));
}

PoolJob StartPoolJob(QObject* owner, std::function<void(const PoolJobContext&)> work, PoolWork kind)
{
    auto state = std::make_shared<PoolJobState>();
    state->Work = std::move(work);
    state->Owner = owner;
    state->Pool = kind == PoolWork::Spare ? &SparePool() : QThreadPool::globalInstance();
    auto* runnable = new JobRunnable(state, kind);
    state->Queued = runnable;
    state->Pool->start(runnable);
    return PoolJob(std::move(state));
}

int PoolThreadCount()
{
    return QThreadPool::globalInstance()->maxThreadCount();
}
