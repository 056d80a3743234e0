#include "download/report_queue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

TEST(ReportQueue, AWorkerFarAheadOfTheGuiWaitsForTheNextDrainAndLosesNothing)
{
    ReportQueue queue;
    std::atomic<int> added{0};
    std::thread worker([&] {
        for (int i = 0; i <= ReportQueue::kMaxPending; ++i) {
            queue.Hold();
            queue.Add(ReportKind::LogLine, QString::number(i));
            queue.Publish(TilePosition{i, i});
            ++added;
        }
    });
    // The queue is full now: the worker is held in its next Add, which
    // the first drain must not see, until that drain lets it through.
    while (added < ReportQueue::kMaxPending)
        std::this_thread::yield();
    EXPECT_EQ(added, ReportQueue::kMaxPending) << "the queue is full: the worker waits";

    const ReportBatch first = queue.Take();
    worker.join();
    ASSERT_EQ(first.Reports.size(), ReportQueue::kMaxPending);
    EXPECT_EQ(first.Reports.first().Text, "0");
    EXPECT_EQ(first.Reports.last().Text, QString::number(ReportQueue::kMaxPending - 1));
    EXPECT_EQ(first.Position.X, ReportQueue::kMaxPending - 1) << "the position that came with these reports";
    const ReportBatch second = queue.Take();
    ASSERT_EQ(second.Reports.size(), 1);
    EXPECT_EQ(second.Position.X, ReportQueue::kMaxPending);
}

TEST(ReportQueue, ReleaseLetsAWaitingWorkerEndWhenNobodyDrainsAnyMore)
{
    ReportQueue queue;
    std::thread worker([&] {
        for (int i = 0; i < 2 * ReportQueue::kMaxPending; ++i)
            queue.Add(ReportKind::LogLine, QString());
    });
    queue.Release();
    worker.join();
    EXPECT_EQ(queue.Take().Reports.size(), 2 * ReportQueue::kMaxPending);
}
