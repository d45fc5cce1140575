// Shared by the fuzz targets: the libFuzzer entry point each target defines,
// a fresh directory per input (made the current directory while it lives,
// removed with everything in it afterwards) and the report of a finding.
//
// A target treats the code's expected failures as normal outcomes: an
// internal error (MSG_INTERNAL_ERROR_EXCEPTION), a posted error or a refused
// design. What is left for the fuzzer is a crash, a sanitizer report, a
// hang, an unbounded allocation, or an outcome that the target checks and
// finds false (fuzz_finding).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <stdlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

// A wrong outcome that no sanitizer would see: reported and ended like a
// crash, so that the fuzzer keeps the input.
[[noreturn]] inline void fuzz_finding(const std::string& what)
{
    std::fprintf(stderr, "fuzz finding: %s\n", what.c_str());
    std::fflush(stderr);
    std::abort();
}

class FUZZ_DIRECTORY
{
public:
    explicit FUZZ_DIRECTORY(const char* prefix)
    {
        std::error_code ec;
        m_start = std::filesystem::current_path(ec);
        std::string pattern = (std::filesystem::temp_directory_path() / (std::string(prefix) + "_XXXXXX")).string();
        if (mkdtemp(pattern.data()) == nullptr)
            fuzz_finding("cannot make a directory for the input below " + pattern);
        m_path = pattern;
        std::filesystem::current_path(m_path, ec);
        if (ec)
            fuzz_finding("cannot enter " + m_path);
    }
    ~FUZZ_DIRECTORY()
    {
        std::error_code ec;
        std::filesystem::current_path(m_start, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    FUZZ_DIRECTORY(const FUZZ_DIRECTORY&) = delete;
    FUZZ_DIRECTORY& operator=(const FUZZ_DIRECTORY&) = delete;

    const std::string& path() const { return m_path; }

    // Writes the bytes as the file of that name (relative to the directory)
    // and gives its full path.
    std::string write(const std::string& name, const std::string& bytes) const
    {
        const std::filesystem::path path = std::filesystem::path(m_path) / name;
        std::error_code ec;
        std::filesystem::create_directories(path.parent_path(), ec);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            fuzz_finding("cannot write " + path.string());
        return path.string();
    }

private:
    std::filesystem::path m_start;
    std::string m_path;
};

inline std::string fuzz_bytes(const uint8_t* data, size_t size)
{
    return size == 0 ? std::string() : std::string(reinterpret_cast<const char*>(data), size);
}
