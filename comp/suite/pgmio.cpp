#include "pgmio.h"

#include "msg.h"

#include <string>

namespace
{

const unsigned ID_CANNOT_READ_FILE = 291001;
const unsigned ID_CANNOT_WRITE_FILE = 291002;

std::vector<PGMIO_CALL>& calls()
{
    static std::vector<PGMIO_CALL> list;
    return list;
}

void post_error(const char* literal, unsigned id, const std::string& first, const std::string& second)
{
    MSG_E message;
    message.fill_args(literal, first.c_str(), second.c_str());
    message.set_id(id);
    message.post();
}

bool write_file(const std::string& path, const std::string& bytes)
{
    std::string error;
    if (fio_write_file_atomically(path, bytes, &error))
        return true;
    post_error("Can't write file %1!s!: %2!s!/EPGMIO_CANNOT_WRITE_FILE", ID_CANNOT_WRITE_FILE, path, error);
    return false;
}

// The tabular text form of raw bytes.
std::string ttf_text(const std::string& bytes)
{
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i)
    {
        text += std::to_string(static_cast<unsigned char>(bytes[i]));
        const bool last = i + 1 == bytes.size();
        if (!last)
            text += (i % 16 == 15) ? ",\n" : ", ";
    }
    if (!bytes.empty())
        text += "\n";
    return text;
}

// The path with its extension replaced (or added).
std::string with_extension(const std::string& path, const std::string& extension)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    const bool has_extension = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (has_extension ? path.substr(0, dot) : path) + "." + extension;
}

}  // namespace

bool PGMIO_ASSEMBLER_SCRIBE::read_pof(const FIO_PATH& path, PGMIO_BITFIELD** bitfield,
                                      PGMIO_SENSITIVITY_MAP** sensitivity_map, PGMIO_PR_MASK** pr_mask,
                                      PGMIO_REGION_MASK** region_mask, std::string& part_name)
{
    calls().push_back(PGMIO_CALL{"read_pof", path.fullpath(), "", 0, false, false});
    if (bitfield != nullptr)
        *bitfield = nullptr;
    if (sensitivity_map != nullptr)
        *sensitivity_map = nullptr;
    if (pr_mask != nullptr)
        *pr_mask = nullptr;
    if (region_mask != nullptr)
        *region_mask = nullptr;
    part_name.clear();

    SOF_CONTENTS contents;
    uint32_t checksum = 0;
    std::string error;
    if (!sof_read_file(path.fullpath(), contents, &checksum, &error))
    {
        post_error("Can't read SRAM Object File %1!s!: %2!s!/EPGMIO_CANNOT_READ_FILE", ID_CANNOT_READ_FILE,
                   path.fullpath(), error);
        return false;
    }
    part_name = contents.part_name;
    if (bitfield != nullptr)
        *bitfield = new PGMIO_BITFIELD(std::move(contents), checksum);
    return true;
}

bool PGMIO_ASSEMBLER_SCRIBE::write_all_files(const FIO_PATH& path, const PGMIO_BITFIELD* bitfield,
                                             const std::string& part_name, const PGMIO_FILE_OPTIONS* options,
                                             const PGMIO_SENSITIVITY_MAP* sensitivity_map,
                                             const PGMIO_PR_DATA* pr_data,
                                             const PGMIO_PRESERVATION_DATA* preservation_data,
                                             std::vector<std::string>* report_lines)
{
    const std::string sof = path.fullpath();
    calls().push_back(
        PGMIO_CALL{"write_all_files", sof, "", options != nullptr ? options->get_options() : 0, false, false});
    if (bitfield == nullptr || options == nullptr)
    {
        post_error("Can't write file %1!s!: %2!s!/EPGMIO_CANNOT_WRITE_FILE", ID_CANNOT_WRITE_FILE, sof,
                   "no bitstream or no options");
        return false;
    }
    if (sensitivity_map != nullptr || pr_data != nullptr || preservation_data != nullptr)
    {
        post_error("Can't write file %1!s!: %2!s!/EPGMIO_CANNOT_WRITE_FILE", ID_CANNOT_WRITE_FILE, sof,
                   "sensitivity, partial-reconfiguration and preservation data are not supported");
        return false;
    }
    std::vector<std::string> lines;
    bool ok = true;
    if (options->has_option(PGMIO_OPTION_SOF))
    {
        SOF_CONTENTS contents = bitfield->contents();
        contents.part_name = part_name;
        ok = write_file(sof, sof_encode(contents));
        if (ok)
            lines.push_back("SRAM Object File ; " + sof);
    }
    const std::string rbf = with_extension(sof, "rbf");
    if (ok && options->has_option(PGMIO_OPTION_RBF))
    {
        ok = write_file(rbf, bitfield->contents().cram.bytes);
        if (ok)
            lines.push_back("Raw Binary File ; " + rbf);
    }
    if (ok && options->has_option(PGMIO_OPTION_TTF))
    {
        const std::string ttf = with_extension(sof, "ttf");
        ok = write_file(ttf, ttf_text(bitfield->contents().cram.bytes));
        if (ok)
            lines.push_back("Tabular Text File ; " + ttf);
    }
    if (report_lines != nullptr)
        report_lines->insert(report_lines->end(), lines.begin(), lines.end());
    return ok;
}

bool PGMIO_ASSEMBLER_SCRIBE::write_pmsf_secondary_file(const FIO_PATH& pmsf, const std::string& rbf_name,
                                                       const PGMIO_FILE_OPTIONS* options, bool option_flag,
                                                       bool enhanced_compression)
{
    calls().push_back(PGMIO_CALL{"write_pmsf_secondary_file", pmsf.fullpath(), rbf_name,
                                 options != nullptr ? options->get_options() : 0, option_flag,
                                 enhanced_compression});
    SOF_CONTENTS contents;
    std::string error;
    if (!sof_read_file(pmsf.fullpath(), contents, nullptr, &error))
    {
        post_error("Can't read SRAM Object File %1!s!: %2!s!/EPGMIO_CANNOT_READ_FILE", ID_CANNOT_READ_FILE,
                   pmsf.fullpath(), error);
        return false;
    }
    if (options == nullptr)
        return true;
    bool ok = true;
    if (options->has_option(PGMIO_OPTION_RBF))
        ok = write_file(rbf_name, contents.cram.bytes);
    if (ok && options->has_option(PGMIO_OPTION_TTF))
        ok = write_file(with_extension(rbf_name, "ttf"), ttf_text(contents.cram.bytes));
    return ok;
}

const std::vector<PGMIO_CALL>& pgmio_calls() { return calls(); }

void pgmio_reset() { calls().clear(); }
