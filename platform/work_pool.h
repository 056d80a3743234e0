#pragma once

#include <QObject>
#include <atomic>
#include <functional>
#include <memory>

// The one way the three programs run work off the GUI thread (the download
// workers aside: threads of their own, one connection each). Every job goes
// to Qt's global thread pool, sized to the cores.
//
// Life of a pool job
// - StartPoolJob(owner, work, kind): `work` runs on a pool thread and sees
//   its PoolJobContext.
// - Running: the work looks at CancelRequested() as it goes, and hands what
//   it has to tell (progress, results, the user's text of a problem) to
//   Report(), which runs it on the owner's thread, in order.
// - End: the work returns. The owner keeps the PoolJob: Cancel() asks the
//   work to end; Wait() blocks until it has; destroying the PoolJob cancels
//   and waits, and after that no report reaches the owner.
//
// A job cancelled before it started never runs its work. A job nobody has
// taken from the queue when it is waited for runs on the waiting thread
// instead, so work on the pool may start jobs and wait for them without
// running out of threads.
enum class PoolWork {
    Computing,  // keeps a core busy while it runs
    Spare,      // computing that only uses time the machine has to spare (idle priority)
    Waiting,    // mostly waits for the network, a disk or a timer: the pool starts other work meanwhile
};

struct PoolJobState;

// What the work of a job sees; copies refer to the same job.
class PoolJobContext {
public:
    explicit PoolJobContext(std::shared_ptr<PoolJobState> state) : state_(std::move(state)) {}

    bool CancelRequested() const;
    // The same request, for functions that watch a flag.
    const std::atomic<bool>& CancelFlag() const;
    // Waits up to `ms`, or less when the job is cancelled meanwhile.
    void Pause(int ms) const;
    // Runs `report` on the owner's thread, unless the owner has let go of
    // the job by then (or there is no owner).
    void Report(std::function<void()> report) const;

private:
    std::shared_ptr<PoolJobState> state_;
};

// The owner's hold on a job.
class PoolJob {
public:
    PoolJob() = default;  // no job
    explicit PoolJob(std::shared_ptr<PoolJobState> state) : state_(std::move(state)) {}
    PoolJob(PoolJob&&) noexcept = default;
    PoolJob& operator=(PoolJob&& other) noexcept;
    ~PoolJob();

    void Cancel();
    // Until the work has returned; raises again what escaped from it.
    void Wait();
    // Cancels the job and lets go of it without waiting: for work that holds
    // nothing of the owner's. No report arrives after this.
    void Drop();

private:
    void LetGo();
    void End() noexcept;

    std::shared_ptr<PoolJobState> state_;
};

// `owner` may be null: the work then reports nothing.
PoolJob StartPoolJob(QObject* owner, std::function<void(const PoolJobContext&)> work,
    PoolWork kind = PoolWork::Computing);

// How many jobs of computing work the pool runs at once.
int PoolThreadCount();
