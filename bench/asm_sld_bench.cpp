// Packing debug files into the SLD blob, against its floor: zlib's compress2
// at the same level on the same bytes (the files above the threshold; the
// others copied), measured in the same run. Sizes from 25 MB to 200 MB show
// that the packing is linear in the total size; the counter "ratio" is the
// packing time over the floor's (target: 1.1 or less).
#include "asm_sld_utilities.h"

#include <cfg.h>
#include <gen.h>
#include <msg.h>

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace
{

const size_t MEGABYTE = 1024 * 1024;

// A set of mixed debug files on disk (text tables that compress well, binary
// captures that do not, and many small files that stay raw), with their
// bytes kept for the floor.
struct DEBUG_FILES
{
    fs::path directory;
    std::vector<std::string> paths;
    std::vector<std::string> contents;
    size_t total = 0;
};

std::string text_table(std::mt19937& random, size_t size)
{
    std::string bytes;
    while (bytes.size() < size)
        bytes += "node " + std::to_string(random() % 4096) + ": type=signal_tap width=" +
                 std::to_string(random() % 64) + " trigger=" + std::to_string(random() % 2) + "\n";
    bytes.resize(size);
    return bytes;
}

std::string capture(std::mt19937& random, size_t size)
{
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i % 7 == 0) ? 0 : (random() & 0xFF));
    return bytes;
}

// The file sets made in this run, by total size in megabytes.
std::map<size_t, DEBUG_FILES>& made_files()
{
    static std::map<size_t, DEBUG_FILES> made;
    return made;
}

const DEBUG_FILES& debug_files(size_t total_megabytes)
{
    std::map<size_t, DEBUG_FILES>& made = made_files();
    auto found = made.find(total_megabytes);
    if (found != made.end())
        return found->second;

    DEBUG_FILES& files = made[total_megabytes];
    char directory[] = "/tmp/asm_sld_bench_XXXXXX";
    if (mkdtemp(directory) == nullptr)
        return files;
    files.directory = directory;
    std::mt19937 random(static_cast<unsigned>(total_megabytes));
    const size_t target = total_megabytes * MEGABYTE;
    for (size_t n = 0; files.total < target; ++n)
    {
        std::string bytes;
        if (n % 4 == 3)
            bytes = text_table(random, 200 + random() % 800);
        else if (n % 4 == 0)
            bytes = capture(random, MEGABYTE + random() % (2 * MEGABYTE));
        else
            bytes = text_table(random, MEGABYTE + random() % (3 * MEGABYTE));
        bytes.resize(std::min(bytes.size(), target - files.total));
        const std::string path = (files.directory / ("debug_" + std::to_string(n) + ".bin")).string();
        std::ofstream(path, std::ios::binary) << bytes;
        files.paths.push_back(path);
        files.total += bytes.size();
        files.contents.push_back(std::move(bytes));
    }
    return files;
}

// What the packing cannot do faster: compress2 of every file above the
// threshold at zlib's default level, a copy of every other.
size_t floor_work(const DEBUG_FILES& files, uint64_t threshold)
{
    size_t stored = 0;
    std::vector<Bytef> output;
    for (const std::string& bytes : files.contents)
    {
        if (bytes.size() <= threshold)
        {
            output.resize(bytes.size());
            std::memcpy(output.data(), bytes.data(), bytes.size());
            stored += bytes.size();
            continue;
        }
        uLongf length = compressBound(bytes.size());
        output.resize(length);
        compress2(output.data(), &length, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size(),
                  Z_DEFAULT_COMPRESSION);
        stored += length;
    }
    return stored;
}

void BM_PackDebugFiles(benchmark::State& state)
{
    cfg_clear();
    msg_reset();
    const DEBUG_FILES& files = debug_files(static_cast<size_t>(state.range(0)));
    if (files.paths.empty())
    {
        state.SkipWithError("cannot write the debug files");
        return;
    }
    gen_set_project_output_directory(files.directory.string());
    const uint64_t threshold = sld_compression_threshold();

    double pack_seconds = 0;
    double floor_seconds = 0;
    size_t blob_size = 0;
    for (auto _ : state)
    {
        const auto start = std::chrono::steady_clock::now();
        std::ostringstream blob;
        ASM_SLD_FILESYS_FIO_WRAPPER source;
        for (const std::string& path : files.paths)
        {
            ASM_SLD_FILE_PACKET packet(&source, path.c_str());
            if (!packet.write(blob))
                state.SkipWithError("a debug file was not packed");
        }
        blob_size = blob.str().size();
        const auto packed = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(floor_work(files, threshold));
        const auto floored = std::chrono::steady_clock::now();

        const double pack = std::chrono::duration<double>(packed - start).count();
        pack_seconds += pack;
        floor_seconds += std::chrono::duration<double>(floored - packed).count();
        state.SetIterationTime(pack);
        // The debug log keeps every line in memory: start each round empty.
        msg_reset();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * files.total));
    state.SetComplexityN(static_cast<int64_t>(files.total));
    state.counters["files"] = static_cast<double>(files.paths.size());
    state.counters["blob_MB"] = static_cast<double>(blob_size) / MEGABYTE;
    state.counters["floor_s"] = floor_seconds / static_cast<double>(state.iterations());
    state.counters["ratio"] = floor_seconds > 0 ? pack_seconds / floor_seconds : 0;
    gen_set_project_output_directory("");
}

BENCHMARK(BM_PackDebugFiles)
    ->Arg(25)
    ->Arg(50)
    ->Arg(100)
    ->Arg(200)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(2)
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // The generated files go with the run.
    for (const auto& [megabytes, files] : made_files())
    {
        std::error_code ec;
        if (!files.directory.empty())
            fs::remove_all(files.directory, ec);
    }
    return 0;
}
