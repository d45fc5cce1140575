// Linear-time guards that hold on a busy machine, in a Release build as with
// the sanitizers: the CPU time that one piece of work adds at size n,
// against what it adds at 16n. What the work costs at size 0 (starting a
// process, loading, the sample around the added items) is taken from both
// first: left in, it weighs on the small run most and squeezes linear and
// quadratic growth together. Sizes 0 and n are each run three times and the
// least time of each counts: a run's CPU time only ever grows with the
// machine's noise (a busy machine, a first run that finds nothing cached),
// and in a Release build that noise can be as large as what n adds, so a
// single run could even take longer at 0 than at n. The run at 16n is long
// enough that its noise is a small share; it runs once. A guard's n is
// chosen so that what n adds stands well above the noise in a Release build.
// Linear work then grows about 16 times, quadratic work about 256 times, and
// the limit lies four times from each. Wall-clock time is never compared: on
// a shared machine it says more about the other jobs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <sstream>
#include <sys/resource.h>
#include <vector>

// The CPU time (user and system) that this process and the children it has
// waited for have used, in seconds. A child's time counts once it is reaped
// (pclose, waitpid), so a host run measures itself whole.
inline double cpu_seconds()
{
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN})
    {
        rusage usage{};
        if (getrusage(who, &usage) == 0)
            total += static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    }
    return total;
}

// How much larger the large run is than the small one.
const size_t GROWTH_FACTOR = 16;
// How many times the CPU time that the large run adds may exceed what the
// small one adds.
const double LINEAR_GROWTH_LIMIT = 64.0;

// The sizes that grows_linearly(n, ...) runs, for a test to make its inputs.
inline std::vector<size_t> growth_sizes(size_t n)
{
    return {0, n, GROWTH_FACTOR * n};
}

// How many times sizes 0 and n run; the least time of each counts.
const int SMALL_RUNS = 3;

// Runs run(0) and run(n) SMALL_RUNS times each, in turn, then
// run(GROWTH_FACTOR * n) once, and succeeds when the CPU time that the large
// run takes beyond the least run(0) is less than LINEAR_GROWTH_LIMIT times
// what the least run(n) takes beyond it; the message gives the three times.
// run must be able to run again at a size it has run at.
inline testing::AssertionResult grows_linearly(size_t n, const std::function<void(size_t)>& run)
{
    const auto timed = [&run](size_t size) {
        const double start = cpu_seconds();
        run(size);
        return cpu_seconds() - start;
    };
    double empty = 0;
    double small = 0;
    for (int i = 0; i < SMALL_RUNS; ++i)
    {
        const double empty_run = timed(0);
        const double small_run = timed(n);
        empty = i == 0 ? empty_run : std::min(empty, empty_run);
        small = i == 0 ? small_run : std::min(small, small_run);
    }
    const double large = timed(GROWTH_FACTOR * n);
    // A floor of a millisecond: the clock's tick, and no division by zero.
    const double ratio = (large - empty) / std::max(small - empty, 1e-3);
    std::ostringstream text;
    text << "CPU time " << empty << " s at 0, " << small << " s at " << n << " (the least of " << SMALL_RUNS
         << " runs each), " << large << " s at " << GROWTH_FACTOR * n << " (" << ratio
         << " times beyond the run at 0; the limit is " << LINEAR_GROWTH_LIMIT << ")";
    if (ratio < LINEAR_GROWTH_LIMIT)
        return testing::AssertionSuccess() << text.str();
    return testing::AssertionFailure() << text.str();
}
