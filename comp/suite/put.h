// Parallel-processing library of the suite (stand-in): the thread cap.
#pragma once

class PUT_PROCESSOR_MANAGER
{
public:
    // The number of threads a parallel step may use when it asks for at
    // most the requested number: the smaller of the request and the
    // machine's hardware threads (at least 1).
    static int get_max_threads(int requested);
};
