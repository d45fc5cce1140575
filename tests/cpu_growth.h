// Linear-time guards that hold on a busy machine, in a Release build as with
// the sanitizers: the CPU time that one piece of work adds at size n,
// against what it adds at 16n. What the work costs at size 0 (starting a
// process, loading, the sample around the added items) is taken from both
// first: left in, it weighs on the small run most and squeezes linear and
// quadratic growth together. Each size runs three times, in rounds of all
// three sizes, and the least time of each size counts: noise (other jobs,
// a first run that finds nothing cached) only ever adds to a run's CPU time,
// and in a Release build it can add as much as n does, so that one run at 0
// could take longer than one at n. Each guard's n makes what n adds in a
// Release build stand well above what is left of that noise.
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

// How many times each size runs; the least time of each counts.
const int GROWTH_RUNS = 3;

// Runs run(0), run(n) and run(GROWTH_FACTOR * n) in turn, GROWTH_RUNS
// times, and succeeds when the least CPU time of the large run, beyond the
// least of run(0), is less than LINEAR_GROWTH_LIMIT times what the least of
// run(n) takes beyond it; the message gives the three times. run must be
// able to run again at a size it has run at.
inline testing::AssertionResult grows_linearly(size_t n, const std::function<void(size_t)>& run)
{
    const std::vector<size_t> sizes = growth_sizes(n);
    std::vector<double> least(sizes.size());
    for (int round = 0; round < GROWTH_RUNS; ++round)
        for (size_t i = 0; i < sizes.size(); ++i)
        {
            const double start = cpu_seconds();
            run(sizes[i]);
            const double taken = cpu_seconds() - start;
            least[i] = round == 0 ? taken : std::min(least[i], taken);
        }
    const double empty = least[0];
    const double small = least[1];
    const double large = least[2];
    // A floor of a millisecond: the clock's tick, and no division by zero.
    const double ratio = (large - empty) / std::max(small - empty, 1e-3);
    std::ostringstream text;
    text << "CPU time " << empty << " s at 0, " << small << " s at " << n << ", " << large << " s at "
         << GROWTH_FACTOR * n << " (the least of " << GROWTH_RUNS << " runs each; " << ratio
         << " times beyond the run at 0; the limit is " << LINEAR_GROWTH_LIMIT << ")";
    if (ratio < LINEAR_GROWTH_LIMIT)
        return testing::AssertionSuccess() << text.str();
    return testing::AssertionFailure() << text.str();
}
