#pragma once

#include <algorithm>
#include <vector>

// CPU clocks and the spread of a few runs, for the benchmarks.

// User plus system CPU seconds.
double ProcessCpuSeconds();   // every thread of this process
double ThreadCpuSeconds();    // the calling thread
double ChildrenCpuSeconds();  // child processes that have ended and been waited for

// Median, lowest and highest of a few runs.
struct Spread {
    double Median = 0;
    double Min = 0;
    double Max = 0;
};
Spread SpreadOf(std::vector<double> values);

// "  <label>  <median> <unit> (min .., max ..)" on stdout.
void PrintSpread(const char* label, const std::vector<double>& values, const char* unit);
