// The SLD (debug-file) processing of the project adapter.
#pragma once

class ASM_ISLD_DEBUG;
class ZHD_PARTITION;

class ASM_SLD_PROCESSOR
{
public:
    // A partition revision's SLD data for the sink: not produced yet, so the
    // sink receives nothing (a debug line says so).
    void process_partition(ZHD_PARTITION* partition, ASM_ISLD_DEBUG* sink);
};
