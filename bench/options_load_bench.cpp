// The options-file load (ASM_OPTIONS::initialize) of generated files of each
// shape, at about 1 and 10 MB (and the balanced shape, many indented blocks,
// at 40 MB too), against its floor: a bare validating DOM parse
// of the same files with the same parser settings, the schema compiled once.
// Counters: load and floor time of one run, their ratio (target: at most
// 1.2), and the load's time per MB, which should not grow with the size
// (target: 10x the file within 11x the time).
#include "asm_options.h"

#include <cfg.h>
#include <fio.h>
#include <gen.h>
#include <msg.h>

#include <benchmark/benchmark.h>

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/LocalFileInputSource.hpp>
#include <xercesc/framework/XMLGrammarPoolImpl.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLString.hpp>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using xercesc::XMLPlatformUtils;
using xercesc::XMLString;

namespace
{

const char HEAD[] = "<?xml version=\"1.0\"?>\n<assembler_options>\n";
const char TAIL[] = "</assembler_options>\n";

enum SHAPE
{
    WIDE_SECTION,  // one bit section with many bits
    MANY_BLOCKS,   // many blocks at the root, every other one matching
    BIG_MERGE,     // a second matching block with many children to merge
    MANY_INCLUDES, // a top file that includes many small files
    BALANCED,      // blocks of moderate sections
};

const char* const SHAPE_NAMES[] = {"wide_section", "many_blocks", "big_merge", "many_includes", "balanced"};

std::string bits(size_t first, size_t count)
{
    std::string text;
    for (size_t i = first; i < first + count; ++i)
        text += "      <address_1d addr=\"" + std::to_string(i) + "\" value=\"1\" desc=\"bit\"/>\n";
    return text;
}

std::string section_block(size_t first, size_t count)
{
    return "  <asm_assignments>\n    <bit_settings action=\"override\">\n    <cram>\n" + bits(first, count) +
           "    </cram>\n    </bit_settings>\n  </asm_assignments>\n";
}

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Writes the files of the shape, about size bytes in all, into the
// directory; the top file first.
std::vector<std::string> generate(SHAPE shape, size_t size, const fs::path& directory)
{
    fs::remove_all(directory);
    fs::create_directories(directory);
    std::vector<std::string> files{(directory / "top.xml").string()};
    std::string body;
    switch (shape)
    {
    case WIDE_SECTION:
        body = section_block(0, size / 56);
        break;
    case MANY_BLOCKS:
        for (size_t i = 0; body.size() < size; ++i)
            body += std::string("  <asm_assignments cmp=\"") + (i % 2 ? "other" : "any") +
                    "\"><token_file filename=\"b" + std::to_string(i) + ".tok\"/></asm_assignments>\n";
        break;
    case BIG_MERGE:
        body = "  <asm_assignments><token_file filename=\"first.tok\"/></asm_assignments>\n  <asm_assignments>\n";
        for (size_t i = 0; body.size() < size; ++i)
            body += "    <token_file filename=\"t" + std::to_string(i) + ".tok\"/>\n";
        body += "  </asm_assignments>\n";
        break;
    case MANY_INCLUDES:
    {
        // Files of about 4 KB.
        const size_t count = size / 4096 + 1;
        for (size_t i = 0; i < count; ++i)
        {
            const fs::path file = directory / ("inc" + std::to_string(i) + ".xml");
            write(file, HEAD + section_block(i * 64, 64) + TAIL);
            files.push_back(file.string());
            body += "  <include path=\"" + file.string() + "\"/>\n";
        }
        break;
    }
    case BALANCED:
        for (size_t i = 0; body.size() < size; ++i)
            body += section_block(i * 50, 50);
        break;
    }
    write(files[0], HEAD + body + TAIL);
    return files;
}

// A bare validating parse of each file, with the loader's parser settings
// and one compiled schema; the documents are released.
class FLOOR
{
public:
    explicit FLOOR(const std::string& schema)
        : m_schema(XMLString::transcode(schema.c_str())),
          m_pool(new xercesc::XMLGrammarPoolImpl(XMLPlatformUtils::fgMemoryManager))
    {
    }
    ~FLOOR()
    {
        XMLString::release(&m_schema);
        delete m_pool;
    }

    size_t parse(const std::vector<std::string>& files)
    {
        m_pool->clear();
        size_t nodes = 0;
        for (const std::string& file : files)
        {
            xercesc::XercesDOMParser parser(nullptr, XMLPlatformUtils::fgMemoryManager, m_pool);
            parser.setValidationScheme(xercesc::XercesDOMParser::Val_Auto);
            parser.setDoNamespaces(true);
            parser.setDoSchema(true);
            parser.setExternalNoNamespaceSchemaLocation(m_schema);
            parser.setValidationSchemaFullChecking(true);
            parser.setValidationConstraintFatal(true);
            parser.setLoadSchema(false);
            parser.setLoadExternalDTD(false);
            parser.setDisableDefaultEntityResolution(true);
            xercesc::HandlerBase handler;
            parser.setErrorHandler(&handler);
            if (!m_pool->getGrammarEnumerator().hasMoreElements())
                parser.loadGrammar(xercesc::LocalFileInputSource(m_schema), xercesc::Grammar::SchemaGrammarType, true);
            parser.useCachedGrammarInParse(true);
            XMLCh* name = XMLString::transcode(file.c_str());
            parser.parse(xercesc::LocalFileInputSource(name));
            XMLString::release(&name);
            xercesc::DOMDocument* document = parser.adoptDocument();
            if (document != nullptr && document->getDocumentElement() != nullptr)
                nodes += document->getDocumentElement()->getChildElementCount();
            if (document != nullptr)
                document->release();
            if (parser.getErrorCount() != 0)
                std::abort();
        }
        return nodes;
    }

private:
    XMLCh* m_schema;
    xercesc::XMLGrammarPool* m_pool;
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_OptionsLoad(benchmark::State& state)
{
    const SHAPE shape = static_cast<SHAPE>(state.range(0));
    const size_t size = static_cast<size_t>(state.range(1)) << 20;
    const fs::path directory = fs::temp_directory_path() / ("asm_options_bench_" + std::to_string(getpid()));
    const std::vector<std::string> files = generate(shape, size, directory);
    size_t bytes = 0;
    for (const std::string& file : files)
        bytes += fs::file_size(file);

    XMLPlatformUtils::Initialize();
    {
        FLOOR floor(gen_get_module_path() + "assembler_asgn.xsd");
        double load_time = 0;
        double floor_time = 0;
        for (auto _ : state)
        {
            msg_reset();
            auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(floor.parse(files));
            floor_time += seconds_since(start);

            start = std::chrono::steady_clock::now();
            {
                ASM_OPTIONS options;
                options.initialize(FIO_PATH(files[0]), "top", "DEV", "");
                if (!options.m_initialized)
                    std::abort();
            }
            const double elapsed = seconds_since(start);
            load_time += elapsed;
            state.SetIterationTime(elapsed);
        }
        const double runs = static_cast<double>(state.iterations());
        state.counters["load_ms"] = load_time / runs * 1e3;
        state.counters["floor_ms"] = floor_time / runs * 1e3;
        state.counters["ratio"] = load_time / floor_time;
        state.counters["load_ms_per_MB"] = load_time / runs * 1e3 / (static_cast<double>(bytes) / (1 << 20));
        state.SetLabel(SHAPE_NAMES[shape]);
        state.SetBytesProcessed(static_cast<int64_t>(bytes) * state.iterations());
    }
    XMLPlatformUtils::Terminate();
    fs::remove_all(directory);
}

void shapes(benchmark::internal::Benchmark* benchmark)
{
    for (int shape = WIDE_SECTION; shape <= BALANCED; ++shape)
        for (int megabytes : {1, 10})
            benchmark->Args({shape, megabytes});
    // Many indented blocks: the whitespace text between elements at a size
    // where work per element that grows with the file shows.
    benchmark->Args({BALANCED, 40});
}

}  // namespace

BENCHMARK(BM_OptionsLoad)->Apply(shapes)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
