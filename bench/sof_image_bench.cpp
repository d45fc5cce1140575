// A 32 MiB configuration image assembled by the core library stand-in,
// written as an SRAM object file, and the project directory's files digested
// as the host does after a run; against its floor, a plain copy of the
// written file. Counters: both times and their ratio (target: at most 2).
#include "project.h"

#include <asm2.h>
#include <dbcm.h>
#include <msg.h>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

const uint32_t CRAM_BITS = 32u << 23;  // 32 MiB

// The project as the library queries it: a die of CRAM_BITS bits with a few
// bits set, no partitions, no HPS I/O.
class BENCH_PROJECT : public ASM2_IPROJECT
{
public:
    BENCH_PROJECT()
    {
        for (uint32_t address = 0; address < CRAM_BITS; address += CRAM_BITS / 64)
            m_chip.set_config_bit(address);
    }

    const std::string& get_part_name() const override { return m_part; }
    DBCM_CHIP* get_dbcm_chip() override { return &m_chip; }
    DBCM_DEVICE* get_dbcm_device() override { return nullptr; }
    ASM2_IPARTITIONS* get_pr_partitions() override { return stage_asm2_get_empty_partitions(); }
    ASM2_IPARTITIONS* get_error_detection_partitions() override { return stage_asm2_get_empty_partitions(); }
    void device_specific_tcl() override {}
    ZGL::FOREST<int, int>* get_crf_re_network() override { return nullptr; }
    ASM2_IROUTE_INFO* get_route_info() override { return nullptr; }
    uint32_t route_info_op9() override { return CRAM_BITS; }
    const char* route_info_op10() override { return "bench"; }

    const char* get_sof_path() override { return ""; }
    uint32_t get_jtag_user_code() override { return 0xC0FFEE; }
    bool get_device_option_flag() override { return false; }
    void set_cvp_hash(const char*) override {}
    void set_io_hash(const char*) override {}
    void set_pr_region_hash(const char*, const char*) override {}
    void set_static_region_hash(const char*) override {}
    ASM2_HPIO_SECTORS get_hpio_sectors(bool*) override { return {}; }
    void set_hpio_hash(const char*) override {}
    void set_cram_hash(const char*) override {}
    ASM2_SLD_INFO& get_sld_info() override { return m_sld; }
    void* get_project_object() override { return nullptr; }
    uint32_t get_pof_id() override { return 4; }
    void set_pof_id(unsigned int) override {}
    const std::string& get_design_hash() override { return m_hash; }
    int get_construction_int() override { return -1; }
    uint32_t get_user_pr_pof_id() override { return 0; }
    bool has_mailbox_abort_feature() override { return false; }
    bool get_option_flag_1556() override { return true; }

private:
    DBCM_CHIP m_chip;
    std::string m_part = "BENCH32";
    std::string m_hash = "bench-1";
    ASM2_SLD_INFO m_sld;
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A plain copy: the whole file read, then written to a new file.
void plain_copy(const fs::path& from, const fs::path& to)
{
    std::ifstream in(from, std::ios::binary);
    std::string bytes(fs::file_size(from), '\0');
    in.read(&bytes[0], static_cast<std::streamsize>(bytes.size()));
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!in || !out)
        std::abort();
}

void BM_AssembleAndWriteImage(benchmark::State& state)
{
    const fs::path directory = fs::temp_directory_path() / ("asm_sof_bench_" + std::to_string(getpid()));
    fs::remove_all(directory);
    fs::create_directories(directory / "project");
    const fs::path sof = directory / "project" / "bench.sof";
    BENCH_PROJECT project;
    ASM2_ISCRIPTING0* scripting = asm2_get_iscripting0();
    double run_time = 0;
    double copy_time = 0;
    for (auto _ : state)
    {
        scripting->reset();
        msg_reset();
        auto start = std::chrono::steady_clock::now();
        const int index = scripting->add_project(&project);
        if (!scripting->assemble(index) || !scripting->write_sof(index, sof.c_str()))
            std::abort();
        benchmark::DoNotOptimize(snapshot_directory(directory / "project"));
        const double elapsed = seconds_since(start);
        run_time += elapsed;
        state.SetIterationTime(elapsed);

        start = std::chrono::steady_clock::now();
        plain_copy(sof, directory / "copy.sof");
        copy_time += seconds_since(start);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["run_ms"] = run_time / runs * 1e3;
    state.counters["copy_ms"] = copy_time / runs * 1e3;
    state.counters["ratio"] = run_time / copy_time;
    state.SetBytesProcessed(static_cast<int64_t>(fs::file_size(sof)) * state.iterations());
    scripting->reset();
    fs::remove_all(directory);
}

}  // namespace

BENCHMARK(BM_AssembleAndWriteImage)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
