#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

// What the benchmarks share: running a program with its output thrown away and timing it, and the median
// of several runs.
namespace BenchRun {

struct Ran
{
    bool ok = false; // it started and exited with status 0
    double wall = 0; // seconds on the clock
    double cpu = 0;  // processor seconds, user and system, of it and of every child it waited for
    long peakKb = 0; // its peak resident memory
};

// Runs a program (found on PATH) with standard input, output and error on /dev/null, and waits for it.
// With orphansToo the processes it leaves behind are waited for as well and their time counts: the
// caller must have made itself their subreaper (prctl PR_SET_CHILD_SUBREAPER).
Ran Quiet(const std::vector<std::string>& args, bool orphansToo = false);

// The median: the middle value, or the mean of the middle two; 0 for none.
template <typename List> double Median(List v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const auto n = static_cast<size_t>(v.size());
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A new folder "/tmp/NAME-XXXXXX"; empty when none could be made.
std::string ScratchFolder(const std::string& name);

} // namespace BenchRun
