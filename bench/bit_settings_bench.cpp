// asm_process_sof forcing N bits (N from 100k to 1M, 32 bits per
// address_1d range) into the 32 MiB CRAM image of an SRAM object file and
// rewriting it, against its floor: reading and rewriting the same file
// without changes through the programming-file library. Each iteration times
// both; the counter ratio_to_floor is forced time / floor time (target: at
// most 2), and ns_per_bit shows whether the cost grows linearly with N.
#include "asm_root.h"
#include "../tests/sof_device_builder.h"

#include <asm_model.h>
#include <cfg.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen.h>
#include <msg.h>
#include <pgmio.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace
{

const uint32_t CRAM_BITS = 32u * 1024u * 1024u * 8u;
const int COLUMNS = 8192;

struct FIXTURE
{
    fs::path dir;
    std::string sof;

    FIXTURE()
    {
        std::string pattern = (fs::temp_directory_path() / "asm_bits_bench_XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr)
            throw std::runtime_error("cannot make a scratch directory");
        dir = pattern;
        sof = (dir / "bench.sof").string();
        SOF_CONTENTS contents;
        contents.part_name = "zxbench";
        contents.cram = SOF_IMAGE::zeros(CRAM_BITS);
        if (!sof_write_file(sof, contents, nullptr))
            throw std::runtime_error("cannot write the benchmark's .sof");

        dev_add_part(static_cast<DEV_PART>(9001), "ZXBENCH", static_cast<DEV_DEVICE_ENUM>(900));
        set_sof_device_builder(static_cast<DEV_DEVICE_ENUM>(900), COLUMNS);
    }

    ~FIXTURE()
    {
        dmgr_reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // An assignments file forcing the bits: ranges of 32 bits, spread over
    // the image with a stride of 256 bits.
    std::string options_for(int64_t bits) const
    {
        const std::string path = (dir / ("force_" + std::to_string(bits) + ".xml")).string();
        std::ofstream out(path);
        out << "<?xml version=\"1.0\"?>\n<assembler_options><asm_assignments><bit_settings action=\"override\"><cram>\n";
        for (int64_t range = 0; range < bits / 32; ++range)
        {
            const int64_t first = range * 256;
            out << "<address_1d addr=\"" << first << ":" << first + 31 << "\" value=\"A5A5A5A5\"/>\n";
        }
        out << "</cram></bit_settings></asm_assignments></assembler_options>\n";
        return path;
    }
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Reads and rewrites the file unchanged.
void floor_run(const std::string& sof)
{
    PGMIO_BITFIELD* bitfield = nullptr;
    std::string part_name;
    if (!PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(sof), &bitfield, nullptr, nullptr, nullptr, part_name))
        throw std::runtime_error("cannot read the benchmark's .sof");
    PGMIO_FILE_OPTIONS options;
    options.set_option(PGMIO_OPTION_SOF);
    std::vector<std::string> lines;
    const bool written = PGMIO_ASSEMBLER_SCRIBE::write_all_files(FIO_PATH(sof), bitfield, part_name, &options,
                                                                 nullptr, nullptr, nullptr, &lines);
    delete bitfield;
    if (!written)
        throw std::runtime_error("cannot rewrite the benchmark's .sof");
}

void BM_ForceBits(benchmark::State& state)
{
    msg_set_debug_echo_descriptor(-1);
    FIXTURE fixture;
    const std::string options = fixture.options_for(state.range(0));
    double forced_total = 0;
    double floor_total = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        asm_process_sof(FIO_PATH(fixture.sof), FIO_PATH(options), true);
        const double forced = seconds_since(start);
        start = std::chrono::steady_clock::now();
        floor_run(fixture.sof);
        const double floor = seconds_since(start);
        state.SetIterationTime(forced);
        forced_total += forced;
        floor_total += floor;
        msg_reset();
    }
    state.counters["floor_ms"] = 1000.0 * floor_total / static_cast<double>(state.iterations());
    state.counters["ratio_to_floor"] = forced_total / floor_total;
    state.counters["ns_per_bit"] =
        1e9 * (forced_total - floor_total) / static_cast<double>(state.iterations()) / static_cast<double>(state.range(0));
}

BENCHMARK(BM_ForceBits)->Arg(100000)->Arg(500000)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
