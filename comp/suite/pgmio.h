// Programming-file library of the suite (stand-in): reads SRAM object files
// and writes the programming files made from them. Files are read and
// written with the one SRAM object file codec (pgmio_sof.h); every file is
// written through a temporary file that is renamed into place.
#pragma once

#include "fio.h"
#include "pgmio_sof.h"

#include <cstdint>
#include <string>
#include <vector>

// Options of a write: a set of flags.
enum PGMIO_OPTION : uint32_t
{
    // Write the SRAM object file itself.
    PGMIO_OPTION_SOF = 2,
    // Write the tabular text form (.ttf) of the raw binary file: the image's
    // bytes as decimal numbers, 16 a line, separated by ", ".
    PGMIO_OPTION_TTF = 4,
    // Write the raw binary file (.rbf): the configuration image's bytes.
    PGMIO_OPTION_RBF = 8,
};

class PGMIO_FILE_OPTIONS
{
public:
    void set_option(uint32_t flag) { m_flags |= flag; }
    bool has_option(uint32_t flag) const { return (m_flags & flag) == flag; }
    uint32_t get_options() const { return m_flags; }

private:
    uint32_t m_flags = 0;
};

// The bitstream and the rest of an SRAM object file, as read or as to be
// written.
class PGMIO_BITFIELD
{
public:
    PGMIO_BITFIELD() = default;
    PGMIO_BITFIELD(SOF_CONTENTS contents, uint32_t file_checksum)
        : m_contents(std::move(contents)), m_file_checksum(file_checksum)
    {
    }
    const SOF_CONTENTS& contents() const { return m_contents; }
    SOF_CONTENTS& contents() { return m_contents; }
    // The checksum of the file it was read from (0 for a bitfield made in
    // memory).
    uint32_t get_file_checksum() const { return m_file_checksum; }

private:
    SOF_CONTENTS m_contents;
    uint32_t m_file_checksum = 0;
};

// Data the stand-in's files never hold: a read gives none of them and a
// write takes none.
class PGMIO_SENSITIVITY_MAP;
class PGMIO_PR_MASK;
class PGMIO_REGION_MASK;
class PGMIO_PR_DATA;
class PGMIO_PRESERVATION_DATA;

// One call of the library, as it was made.
struct PGMIO_CALL
{
    std::string operation;
    std::string path;
    std::string second_path;
    uint32_t options;
    bool first_flag;
    bool second_flag;
};

class PGMIO_ASSEMBLER_SCRIBE
{
public:
    // Reads the SRAM object file. On success a new bitfield (the caller
    // deletes it) and the part name; the three masks are always null. False,
    // with every out value null or empty and an error posted, when the file
    // cannot be read or is not a complete, intact SRAM object file.
    static bool read_pof(const FIO_PATH& path, PGMIO_BITFIELD** bitfield, PGMIO_SENSITIVITY_MAP** sensitivity_map,
                         PGMIO_PR_MASK** pr_mask, PGMIO_REGION_MASK** region_mask, std::string& part_name);

    // Writes the programming files of the bitfield beside the path, as the
    // options ask: the SRAM object file at the path (with the part name), the
    // raw binary file and its text form with the extensions rbf and ttf. Each
    // file written adds the line "<kind> ; <full path>" to the report lines
    // (when given). False, with an error posted, for a null bitfield or
    // options, for data the stand-in cannot write (a mask or map), or when a
    // file cannot be written.
    static bool write_all_files(const FIO_PATH& path, const PGMIO_BITFIELD* bitfield, const std::string& part_name,
                                const PGMIO_FILE_OPTIONS* options, const PGMIO_SENSITIVITY_MAP* sensitivity_map,
                                const PGMIO_PR_DATA* pr_data, const PGMIO_PRESERVATION_DATA* preservation_data,
                                std::vector<std::string>* report_lines);

    // Writes the raw binary companion of a partial-reconfiguration mask
    // file: the configuration image of the .pmsf, as the options ask (RBF:
    // the raw file at rbf_name; TTF: its text form beside it, extension
    // ttf). The stand-in writes uncompressed images: the two flags (the
    // project's option bit and the enhanced compression switch) are only
    // recorded. False, with an error posted, when the .pmsf cannot be read or
    // a file cannot be written.
    static bool write_pmsf_secondary_file(const FIO_PATH& pmsf, const std::string& rbf_name,
                                          const PGMIO_FILE_OPTIONS* options, bool option_flag,
                                          bool enhanced_compression);
};

// Every call of the library so far, in order; and the reset to none.
const std::vector<PGMIO_CALL>& pgmio_calls();
void pgmio_reset();
