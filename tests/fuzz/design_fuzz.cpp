// Fuzz target: the host's design.json reader. The input is design.json in a
// fresh design directory; a design that reads is handed to the stand-in
// suite (HOST_SUITE), which takes it back when it ends. JSON holds no NUL
// byte outside its strings' escapes, so a file with one that reads as a
// design has been read only in part: a finding.
#include "fuzz_support.h"

#include "design.h"

#include <msg.h>

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_DIRECTORY directory("asm_fuzz_design");
    const std::string path = directory.write("design.json", fuzz_bytes(data, size));
    msg_reset();
    try
    {
        const DESIGN design = load_design(path);
        if (size > 0 && std::memchr(data, 0, size) != nullptr)
            fuzz_finding("a design.json with a NUL byte was read as a design");
        HOST_SUITE suite(design);
        suite.set_project_directory(directory.path());
    }
    catch (const DESIGN_ERROR&)
    {
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION&)
    {
    }
    return 0;
}
