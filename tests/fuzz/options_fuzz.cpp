// Fuzz target: the assignments file with its includes. The input is the
// main file, loaded from a fresh directory that also offers what an include
// or a token file may name: a valid included file (valid.xml, with a token
// file tokens.tok), a directory (sub/, holding another valid file) and a
// FIFO (fifo), which no reader may wait on. Absolute names such as
// /dev/zero reach the devices themselves.
#include "fuzz_bit_settings.h"

#include <sys/stat.h>

namespace
{

const char VALID_INCLUDE[] =
    "<?xml version=\"1.0\"?>\n"
    "<assembler_options>\n"
    "  <asm_assignments>\n"
    "    <token_file filename=\"tokens.tok\"/>\n"
    "    <bit_settings action=\"override\"><cram><token_1d name=\"INC\" value=\"3\"/></cram></bit_settings>\n"
    "  </asm_assignments>\n"
    "</assembler_options>\n";

const char SUB_INCLUDE[] =
    "<?xml version=\"1.0\"?>\n"
    "<assembler_options>\n"
    "  <asm_assignments><bit_settings action=\"read\"><cram><address_1d addr=\"12:13\" value=\"0\"/></cram>"
    "<debug_mode value=\"true\" filename=\"read.txt\"/></bit_settings></asm_assignments>\n"
    "</assembler_options>\n";

const char TOKENS[] = "# name, range, optional column range\nINC 40:41\nA 30\nB 31\n$AB A B\nCELL 2 3\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_DIRECTORY directory("asm_fuzz_options");
    directory.write("valid.xml", VALID_INCLUDE);
    directory.write("tokens.tok", TOKENS);
    directory.write("sub/valid.xml", SUB_INCLUDE);
    if (mkfifo((directory.path() + "/fifo").c_str(), 0600) != 0)
        fuzz_finding("cannot make the FIFO in " + directory.path());
    const std::string path = directory.write("options.xml", fuzz_bytes(data, size));
    fuzz_load_and_apply(path);
    return 0;
}
