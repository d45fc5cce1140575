// The routing dump over synthetic routed designs of 10k and 100k atoms
// (about 400k and 4M hops). Each run reports:
//   - the dump's time per hop (a linear dump keeps it flat: the 100k design
//     within 11x the time of the 10k design, printed at the end);
//   - floor_ratio: the dump's time against writing the same bytes, line by
//     line, through the same kind of stream (target: within 2x). Both write
//     a new file: the earlier copy is removed before each timed run, as the
//     truncating open of a file written just before waits for the write-back
//     of its pages, a wait that depends on the file system's state and not
//     on the writer;
//   - peak_ratio: the peak memory of the dump above the design, against the
//     memory the design itself takes (target: the peak within 1.5x of the
//     design's own size, i.e. a ratio of at most 0.5).
#include "asmre_generator.h"

#include "asm_asmre_dumper.h"
#include "asm_fstream.h"
#include "asm_root.h"

#include <gen.h>
#include <msg.h>
#include <zasm.h>

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

// The process's resident and peak resident memory in bytes (Linux).
size_t status_bytes(const char* field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field, 0) == 0)
            return std::strtoull(line.c_str() + std::strlen(field), nullptr, 10) * 1024;
    return 0;
}

// Starts a new peak: the kernel's high-water mark goes back to the current
// resident size.
void reset_peak()
{
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

fs::path scratch_directory()
{
    char dir[] = "/tmp/asmre_bench_XXXXXX";
    return mkdtemp(dir) != nullptr ? fs::path(dir) : fs::temp_directory_path();
}

// Every third CRAM bit is set; rows of 4096 bits.
class BENCH_PROXY : public ZASM_ACCESSOR_PROXY
{
public:
    bool get_bit_value(uint32_t flat_bit_address, int) override { return flat_bit_address % 3 == 0; }
    void select_device(DEV_DEVICE_ENUM, DEV_PART) override {}
    uint32_t get_cram_address_width(int, int, int) override { return 4096; }
};

// A routing-only dump's time, hops and bytes by design size.
struct DUMP_SIZE
{
    double seconds = 0;
    double hops = 0;
    double bytes = 0;
};
std::map<int64_t, DUMP_SIZE>& dumps_by_size()
{
    static std::map<int64_t, DUMP_SIZE> dumps;
    return dumps;
}

void dump_with_floor(benchmark::State& state, uint32_t dump_kind)
{
    const uint32_t atom_count = static_cast<uint32_t>(state.range(0));
    const fs::path scratch = scratch_directory();
    // Memory that an earlier run freed goes back to the system first, so
    // that the design's growth shows in the resident size.
    malloc_trim(0);
    const size_t before = status_bytes("VmRSS:");
    ASMRE_SYNTHETIC_DESIGN design(atom_count, 12345);
    const size_t design_bytes = status_bytes("VmRSS:") - before;

    ASM_ASMRE_DUMPER dumper(design.chip(), 0);
    dumper.set_output_path(FIO_PATH((scratch / "synthetic").string()), FIO_PATH(""));
    dumper.set_dump_mode(dump_kind, 0);
    const std::string path = dumper.output_path().fullpath();

    double dump_seconds = 0;
    size_t peak_above = 0;
    for (auto _ : state)
    {
        std::error_code removed;
        fs::remove(path, removed);
        const size_t resident = status_bytes("VmRSS:");
        reset_peak();
        const auto start = std::chrono::steady_clock::now();
        dumper.dump(design.netlist());
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const size_t peak = status_bytes("VmHWM:");
        peak_above = std::max(peak_above, peak > resident ? peak - resident : 0);
        dump_seconds += seconds;
        state.SetIterationTime(seconds);
    }
    const double per_dump = dump_seconds / static_cast<double>(state.iterations());

    // The floor: the same text, line by line, through the same stream.
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
    }
    const size_t bytes = fs::file_size(path);
    double floor_seconds = 0;
    const int floor_runs = 3;
    for (int run = 0; run < floor_runs; ++run)
    {
        std::error_code removed;
        fs::remove(scratch / "floor.txt", removed);
        const auto start = std::chrono::steady_clock::now();
        asm_io::kestil_ofstream out;
        out.open((scratch / "floor.txt").c_str(), std::ios_base::out | std::ios_base::trunc);
        for (const std::string& line : lines)
            out << line << "\n";
        out.close();
        floor_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    floor_seconds /= floor_runs;

    if (dump_kind == 0)
        dumps_by_size()[atom_count] =
            DUMP_SIZE{per_dump, static_cast<double>(design.hop_count()), static_cast<double>(bytes)};
    state.counters["hops"] = static_cast<double>(design.hop_count());
    state.counters["sinks"] = static_cast<double>(design.sink_count());
    state.counters["largest_fanout"] = design.largest_fanout();
    state.counters["bytes"] = static_cast<double>(bytes);
    state.counters["ns_per_hop"] = per_dump * 1e9 / static_cast<double>(design.hop_count());
    state.counters["floor_ratio"] = per_dump / floor_seconds;
    state.counters["design_MB"] = static_cast<double>(design_bytes) / 1e6;
    state.counters["peak_ratio"] = static_cast<double>(peak_above) / static_cast<double>(design_bytes);
    std::error_code ec;
    fs::remove_all(scratch, ec);
}

void BM_dump_routing_only(benchmark::State& state) { dump_with_floor(state, 0); }
void BM_dump_with_bits(benchmark::State& state)
{
    set_and_get_asm_zasm_accessor(new BENCH_PROXY(), true);
    dump_with_floor(state, 1);
    set_and_get_asm_zasm_accessor(nullptr, true);
}

}  // namespace

BENCHMARK(BM_dump_routing_only)->Arg(10000)->Arg(100000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_dump_with_bits)->Arg(10000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const auto& dumps = dumps_by_size();
    if (dumps.count(10000) != 0 && dumps.count(100000) != 0)
    {
        const DUMP_SIZE& small = dumps.at(10000);
        const DUMP_SIZE& large = dumps.at(100000);
        std::cout << "scaling: 100k atoms took " << large.seconds / small.seconds
                  << "x the time of 10k atoms (linear: within 11x) for " << large.hops / small.hops
                  << "x the hops and " << large.bytes / small.bytes << "x the bytes" << std::endl;
    }
    return 0;
}
