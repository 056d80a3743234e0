#pragma once

#include "platform/work_pool.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <vector>

// Runs work(i) for i in 0..count-1 on the calling thread and the pool; the
// first exception thrown stops the rest and is raised again here.
template <typename Work>
void ParallelFor(int count, const Work& work)
{
    std::atomic<int> next{0};
    std::exception_ptr failure;
    std::atomic_flag failed;
    const auto run = [&] {
        try {
            for (int i = next++; i < count; i = next++)
                work(i);
        } catch (...) {
            if (!failed.test_and_set())
                failure = std::current_exception();
            next = count;
        }
    };
    std::vector<PoolJob> helpers;
    for (int t = 1; t < std::min(PoolThreadCount(), count); ++t)
        helpers.push_back(StartPoolJob(nullptr, [&run](const PoolJobContext&) { run(); }));
    run();
    for (PoolJob& helper : helpers)
        helper.Wait();  // a helper no thread has taken yet finds nothing left here
    if (failure)
        std::rethrow_exception(failure);
}
