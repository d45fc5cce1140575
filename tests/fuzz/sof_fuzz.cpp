// Fuzz target: the programming-file library's reader of SRAM object files.
// The input is a .sof read with read_pof. A file that reads must come back
// the same through the format's encoder and decoder: what the reader keeps
// is all the file says.
#include "fuzz_support.h"

#include <fio.h>
#include <msg.h>
#include <pgmio.h>
#include <pgmio_sof.h>

#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_DIRECTORY directory("asm_fuzz_sof");
    const std::string path = directory.write("input.sof", fuzz_bytes(data, size));
    msg_reset();
    pgmio_reset();

    PGMIO_BITFIELD* read = nullptr;
    PGMIO_SENSITIVITY_MAP* sensitivity_map = nullptr;
    PGMIO_PR_MASK* pr_mask = nullptr;
    PGMIO_REGION_MASK* region_mask = nullptr;
    std::string part_name;
    if (!PGMIO_ASSEMBLER_SCRIBE::read_pof(FIO_PATH(path), &read, &sensitivity_map, &pr_mask, &region_mask,
                                          part_name))
    {
        if (read != nullptr || !part_name.empty())
            fuzz_finding("a failed read gave a bitfield or a part name");
        return 0;
    }
    std::unique_ptr<PGMIO_BITFIELD> bitfield(read);
    if (bitfield == nullptr)
        fuzz_finding("a read that succeeded gave no bitfield");
    if (part_name != bitfield->contents().part_name)
        fuzz_finding("the part name given differs from the file's");

    const std::string encoded = sof_encode(bitfield->contents());
    SOF_CONTENTS decoded;
    std::string error;
    if (!sof_decode(encoded, decoded, &error))
        fuzz_finding("the encoding of a file read is refused by the decoder: " + error);
    if (sof_encode(decoded) != encoded)
        fuzz_finding("a file read does not come back the same through the encoder and decoder");
    return 0;
}
