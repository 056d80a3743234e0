#pragma once

#include <QThread>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

// Runs work(i) for i in 0..count-1 on all cores; the first exception thrown
// stops the rest and is raised again here.
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
    std::vector<std::jthread> helpers;
    for (int t = 1; t < std::min(std::max(1, QThread::idealThreadCount()), count); ++t)
        helpers.emplace_back(run);
    run();
    helpers.clear();  // joins
    if (failure)
        std::rethrow_exception(failure);
}
