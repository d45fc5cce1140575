// The host reading a design.json of a million atoms (load_design: the file
// read, parsed with the duplicate-key check, every key read and checked)
// against its floor: the same file read and parsed plainly by nlohmann-json.
// Counters: both times and their ratio (target: at most 2).
#include "design.h"

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace
{

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The basic sample design with its netlist replaced by atoms of the count,
// every 1000th a port.
std::string design_text(size_t atoms)
{
    std::ifstream in(std::string(ASM_TEST_SOURCE_DIR) + "/examples/basic/design.json");
    nlohmann::json design = nlohmann::json::parse(in);
    design.erase("netlist");
    std::string text = design.dump(2);
    text.erase(text.rfind('}'));
    text += ",\n  \"netlist\": {\n    \"atoms\": [\n";
    for (size_t i = 0; i < atoms; ++i)
    {
        text += "      { \"name\": \"counter[" + std::to_string(i) + "]\", \"type\": \"la_lab\"";
        text += i % 1000 == 0 ? ", \"port\": true }" : " }";
        text += i + 1 < atoms ? ",\n" : "\n";
    }
    return text + "    ]\n  }\n}\n";
}

void BM_HostReadsDesign(benchmark::State& state)
{
    const size_t atoms = static_cast<size_t>(state.range(0));
    const fs::path file = fs::temp_directory_path() / ("asm_host_bench_" + std::to_string(getpid()) + ".json");
    std::ofstream(file, std::ios::binary) << design_text(atoms);
    double read_time = 0;
    double floor_time = 0;
    for (auto _ : state)
    {
        auto start = std::chrono::steady_clock::now();
        {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream text;
            text << in.rdbuf();
            nlohmann::json document = nlohmann::json::parse(text.str());
            benchmark::DoNotOptimize(document.size());
        }
        floor_time += seconds_since(start);

        start = std::chrono::steady_clock::now();
        {
            DESIGN design = load_design(file.string());
            if (!design.netlist || design.netlist->atoms.size() != atoms)
                std::abort();
        }
        const double elapsed = seconds_since(start);
        read_time += elapsed;
        state.SetIterationTime(elapsed);
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["read_ms"] = read_time / runs * 1e3;
    state.counters["floor_ms"] = floor_time / runs * 1e3;
    state.counters["ratio"] = read_time / floor_time;
    fs::remove(file);
}

}  // namespace

BENCHMARK(BM_HostReadsDesign)->Arg(1000000)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
