// Fuzz target: the programming-file library's reader of SRAM object files.
// The input is read with read_pof as given and, so that mutations reach the
// fields behind the file's trailing checksum, once more with that checksum
// made right (the CRC-32 of the bytes before it, docs/sof-format.md). A
// file that reads must be written back by the format's encoder byte for
// byte: what the reader keeps is all the file says.
#include "fuzz_support.h"

#include <fio.h>
#include <msg.h>
#include <pgmio.h>
#include <pgmio_sof.h>

#include <memory>

namespace
{

// The header's reserved u16 follows the magic and the version.
const size_t RESERVED_OFFSET = 6;
const size_t RESERVED_SIZE = 2;
const size_t CHECKSUM_SIZE = 4;

bool same_but_reserved(const std::string& written, const std::string& read)
{
    if (written.size() != read.size() || read.size() < RESERVED_OFFSET + RESERVED_SIZE + CHECKSUM_SIZE)
        return written == read;
    const size_t body_end = read.size() - CHECKSUM_SIZE;
    return written.compare(0, RESERVED_OFFSET, read, 0, RESERVED_OFFSET) == 0 &&
           written.compare(RESERVED_OFFSET + RESERVED_SIZE, body_end - RESERVED_OFFSET - RESERVED_SIZE, read,
                           RESERVED_OFFSET + RESERVED_SIZE, body_end - RESERVED_OFFSET - RESERVED_SIZE) == 0;
}

void read_and_check(const FUZZ_DIRECTORY& directory, const std::string& bytes)
{
    const std::string path = directory.write("input.sof", bytes);
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
        return;
    }
    std::unique_ptr<PGMIO_BITFIELD> bitfield(read);
    if (bitfield == nullptr)
        fuzz_finding("a read that succeeded gave no bitfield");
    if (part_name != bitfield->contents().part_name)
        fuzz_finding("the part name given differs from the file's");

    // The format has one encoding of each content: a file read is written
    // back byte for byte, or the reader dropped or changed what it holds.
    // Only the reserved field (which a reader does not look at) and with it
    // the trailing checksum may differ.
    if (!same_but_reserved(sof_encode(bitfield->contents()), bytes))
        fuzz_finding("a file read is not written back the same: the reader lost or changed part of it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FUZZ_DIRECTORY directory("asm_fuzz_sof");
    std::string bytes = fuzz_bytes(data, size);
    read_and_check(directory, bytes);
    if (bytes.size() >= 4)
    {
        const uint32_t checksum = sof_checksum(bytes.data(), bytes.size() - 4);
        std::string fixed = bytes;
        for (size_t i = 0; i < 4; ++i)
            fixed[fixed.size() - 4 + i] = static_cast<char>((checksum >> (8 * i)) & 0xFFu);
        if (fixed != bytes)
            read_and_check(directory, fixed);
    }
    return 0;
}
