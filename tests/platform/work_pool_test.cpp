#include "combiner/parallel_for.h"
#include "platform/work_pool.h"
#include "support/run_until.h"

#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <gtest/gtest.h>
#include <mutex>
#include <stdexcept>
#include <vector>

namespace {
// Holds a pool job until Open(); counts the jobs it holds.
class Gate {
public:
    void Pass()
    {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
    }
    void Open()
    {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void AwaitWaiting(int count)
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return waiting_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;
    bool open_ = false;
};

// Every place of the pool's computing work held at a gate.
std::vector<PoolJob> FillThePool(Gate& gate)
{
    std::vector<PoolJob> holders;
    for (int i = 0; i < PoolThreadCount(); ++i)
        holders.push_back(StartPoolJob(nullptr, [&gate](const PoolJobContext&) { gate.Pass(); }));
    gate.AwaitWaiting(PoolThreadCount());
    return holders;
}
}

TEST(WorkPool, ReportsArriveOnTheOwnersThreadInOrderAndNoneAfterTheOwnerLetGo)
{
    QObject owner;
    std::vector<int> reported;
    bool allOnOwnersThread = true;
    Gate moreReports;
    PoolJob job = StartPoolJob(&owner, [&](const PoolJobContext& context) {
        for (int i = 0; i < 100; ++i)
            context.Report([&, i] {
                reported.push_back(i);
                allOnOwnersThread = allOnOwnersThread && QThread::currentThread() == owner.thread();
            });
        moreReports.Pass();
        context.Report([&] { reported.push_back(-1); });
    });
    ASSERT_TRUE(RunEventsUntil([&] { return reported.size() == 100; }));
    EXPECT_TRUE(allOnOwnersThread);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(reported[size_t(i)], i);

    job.Drop();
    moreReports.Open();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents();
    EXPECT_EQ(reported.size(), 100u) << "a report after the owner let go";
}

TEST(WorkPool, AJobNoThreadHasTakenRunsOnTheThreadThatWaitsAndACancelledOneNever)
{
    Gate gate;
    std::vector<PoolJob> holders = FillThePool(gate);

    QThread* ranOn = nullptr;
    PoolJob waited = StartPoolJob(nullptr, [&](const PoolJobContext&) { ranOn = QThread::currentThread(); });
    bool cancelledRan = false;
    PoolJob cancelled = StartPoolJob(nullptr, [&](const PoolJobContext&) { cancelledRan = true; });
    waited.Wait();
    EXPECT_EQ(ranOn, QThread::currentThread());
    cancelled.Cancel();
    cancelled.Wait();
    EXPECT_FALSE(cancelledRan);
    gate.Open();
}

TEST(WorkPool, WaitingJobsLeaveThePoolToComputingWork)
{
    Gate gate;
    std::vector<PoolJob> waiting;
    for (int i = 0; i < PoolThreadCount(); ++i)
        waiting.push_back(StartPoolJob(nullptr, [&gate](const PoolJobContext&) { gate.Pass(); }, PoolWork::Waiting));
    gate.AwaitWaiting(PoolThreadCount());

    std::atomic<bool> computed{false};
    PoolJob computing = StartPoolJob(nullptr, [&](const PoolJobContext&) { computed = true; });
    EXPECT_TRUE(RunEventsUntil([&] { return computed.load(); })) << "computing work queued behind waiting jobs";
    gate.Open();
}

TEST(WorkPool, CancelEndsAPauseAndWhatEscapesTheWorkComesBackAtWait)
{
    std::atomic<bool> started{false};
    bool cancelSeen = false;
    PoolJob pausing = StartPoolJob(nullptr, [&](const PoolJobContext& context) {
        started = true;
        context.Pause(24 * 3600 * 1000);
        cancelSeen = context.CancelRequested();
    }, PoolWork::Waiting);
    ASSERT_TRUE(RunEventsUntil([&] { return started.load(); }));
    pausing.Cancel();
    pausing.Wait();
    EXPECT_TRUE(cancelSeen);

    PoolJob failing = StartPoolJob(nullptr, [](const PoolJobContext&) { throw std::runtime_error("broken"); });
    EXPECT_THROW(failing.Wait(), std::runtime_error);
}

// Spans of the combiner run ParallelFor inside pool jobs: nested use must
// neither lose an index nor wait for a thread that never comes.
TEST(WorkPool, ParallelForInsideEveryPoolJobAtOnceFinishesEachIndexOnce)
{
    constexpr int kIndexes = 1000;
    std::vector<std::atomic<int>> done(size_t(PoolThreadCount() + 1) * kIndexes);
    std::vector<PoolJob> jobs;
    for (int j = 0; j <= PoolThreadCount(); ++j)
        jobs.push_back(StartPoolJob(nullptr, [&, j](const PoolJobContext&) {
            ParallelFor(kIndexes, [&](int i) { ++done[size_t(j * kIndexes + i)]; });
        }));
    for (PoolJob& job : jobs)
        job.Wait();
    for (const std::atomic<int>& count : done)
        ASSERT_EQ(count.load(), 1);

    EXPECT_THROW(ParallelFor(100, [](int i) {
        if (i == 50)
            throw std::runtime_error("at 50");
    }), std::runtime_error);
}
