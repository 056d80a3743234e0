#include "measures.h"

#include <cstdio>
#include <ctime>
#include <sys/resource.h>

namespace {
double Seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) / 1e6;
}

double UsageSeconds(int who)
{
    rusage usage{};
    getrusage(who, &usage);
    return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}
}

double ProcessCpuSeconds()
{
    return UsageSeconds(RUSAGE_SELF);
}

double ChildrenCpuSeconds()
{
    return UsageSeconds(RUSAGE_CHILDREN);
}

double ThreadCpuSeconds()
{
    timespec time{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
    return double(time.tv_sec) + double(time.tv_nsec) / 1e9;
}

Spread SpreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    const double median = values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
    return {median, values.front(), values.back()};
}

void PrintSpread(const char* label, const std::vector<double>& values, const char* unit)
{
    const Spread spread = SpreadOf(values);
    std::printf("  %-34s %9.2f %s (min %.2f, max %.2f)\n", label, spread.Median, unit, spread.Min, spread.Max);
}
