// Linear-time guards that hold on a busy machine: the CPU time of one piece
// of work at size n against the same work at 4n, in the same process. Linear
// work grows about 4 times (less where a fixed cost weighs in), quadratic
// work about 16 times; the limit lies far from both. Wall-clock time is
// never compared: on a shared machine it says more about the other jobs.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <functional>
#include <sstream>
#include <sys/resource.h>

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

// How many times the CPU time of run(4n) may exceed that of run(n).
const double LINEAR_GROWTH_LIMIT = 10.0;

// Runs run(n), then run(4n), and succeeds when the second took less than
// LINEAR_GROWTH_LIMIT times the CPU time of the first; the message gives
// both times.
inline testing::AssertionResult grows_linearly(size_t n, const std::function<void(size_t)>& run)
{
    const double start = cpu_seconds();
    run(n);
    const double middle = cpu_seconds();
    run(4 * n);
    const double small = middle - start;
    const double large = cpu_seconds() - middle;
    // A floor of a millisecond: the clock's tick, and no division by zero.
    const double ratio = large / std::max(small, 1e-3);
    std::ostringstream text;
    text << "CPU time " << small << " s at " << n << ", " << large << " s at " << 4 * n << " (" << ratio
         << " times; the limit is " << LINEAR_GROWTH_LIMIT << ")";
    if (ratio < LINEAR_GROWTH_LIMIT)
        return testing::AssertionSuccess() << text.str();
    return testing::AssertionFailure() << text.str();
}
