#include "asm2.h"

#include "dbcm.h"
#include "dev.h"
#include "dygr.h"
#include "msg.h"
#include "fio.h"
#include "pgmio_sof.h"

#include <zlib.h>

#include <cstdio>
#include <memory>

namespace
{

// Errors of the library, posted into the active report.
void post_error(const char* literal, unsigned id, const std::string& first, const std::string& second)
{
    MSG_E message;
    message.fill_args(literal, first.c_str(), second.c_str());
    message.set_id(id);
    message.post();
}

const unsigned ID_NO_CRAM = 290001;
const unsigned ID_BIT_OUTSIDE_IMAGE = 290002;
const unsigned ID_CANNOT_WRITE_FILE = 290003;
const unsigned ID_NOT_ASSEMBLED = 290004;

std::string hex8(uint32_t value)
{
    char text[9];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// The hashes of one image under tags (see asm2.h): the checksum of the tag
// followed by the image's bytes. The image is read once; each hash joins the
// tag's checksum to the image's, and nothing is copied.
class IMAGE_HASHES
{
public:
    explicit IMAGE_HASHES(const SOF_IMAGE& image)
        : m_image_checksum(sof_checksum(image.bytes.data(), image.bytes.size())), m_image_size(image.bytes.size())
    {
    }

    uint32_t image_checksum() const { return static_cast<uint32_t>(m_image_checksum); }

    std::string operator()(const std::string& tag) const
    {
        const uLong tag_checksum = sof_checksum(tag.data(), tag.size());
        return hex8(static_cast<uint32_t>(
            crc32_combine(tag_checksum, m_image_checksum, static_cast<z_off_t>(m_image_size))));
    }

private:
    uLong m_image_checksum;
    size_t m_image_size;
};

class ROUTE_INFO : public ASM2_IROUTE_INFO
{
public:
    ROUTE_INFO(uint32_t cram_bits, bool hps_io, std::string family_name)
        : m_cram_bits(cram_bits), m_hps_io(hps_io), m_family_name(std::move(family_name))
    {
    }
    uint32_t get_cram_bit_count() const override { return m_cram_bits; }
    const char* get_family_name() const override { return m_family_name.c_str(); }
    bool has_hps_io() const { return m_hps_io; }

private:
    uint32_t m_cram_bits;
    bool m_hps_io;
    std::string m_family_name;
};

// The library's own copy of a revision description.
class REVISION_INFO : public ASM2_IPROJECT_REVISION_INFO
{
public:
    REVISION_INFO() = default;
    explicit REVISION_INFO(ASM2_IPROJECT_REVISION_INFO& from, int count)
        : m_output_directory(from.get_output_directory() ? from.get_output_directory() : ""),
          m_file_name(from.get_file_name() ? from.get_file_name() : "")
    {
        for (int i = 0; i < count; ++i)
            m_records.push_back(from.get_region_revision(i));
    }
    const char* get_output_directory() override { return m_output_directory.c_str(); }
    const char* get_file_name() override { return m_file_name.c_str(); }
    const REGION_REVISION& get_region_revision(int index) override
    {
        return m_records.at(static_cast<size_t>(index));
    }
    std::vector<std::string>* get_string_list() override { return &m_lines; }

private:
    std::string m_output_directory;
    std::string m_file_name;
    std::vector<REGION_REVISION> m_records;
    std::vector<std::string> m_lines;
};

// A file name part made of a region name: letters, digits, "_" and "-" are
// kept, anything else becomes "_".
std::string file_name_part(const std::string& name)
{
    std::string part = name;
    for (char& c : part)
    {
        const unsigned char u = static_cast<unsigned char>(c);
        if (!((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' || u == '-'))
            c = '_';
    }
    return part;
}

std::string join_path(const std::string& directory, const std::string& name)
{
    if (directory.empty())
        return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

// The settings of a region's report line: its name, then its PR POF ids
// (the option record's text, else each (value, index) pair as
// "0xVALUE:0xINDEX", separated by blanks) and its base revision's MSF and
// SOF, each only when set.
std::string region_settings(const std::string& name, const ASM2_IPROJECT_REVISION_INFO::REGION_REVISION& record)
{
    std::string settings = "Region = " + name;
    std::string pof_ids = record.pr_pof_id_text;
    if (pof_ids.empty())
    {
        for (const auto& id : record.pr_pof_ids)
            pof_ids += (pof_ids.empty() ? "0x" : " 0x") + hex8(id.first) + ":0x" + hex8(id.second);
    }
    if (!pof_ids.empty())
        settings += ",PR POF IDs = " + pof_ids;
    if (!record.base_msf.empty())
        settings += ",Base MSF = " + record.base_msf;
    if (!record.base_sof.empty())
        settings += ",Base SOF = " + record.base_sof;
    return settings;
}

class PARTITIONS : public ASM2_IPARTITIONS
{
public:
    PARTITIONS() : m_type(TYPE_PARTIAL_RECONFIGURATION) {}
    PARTITIONS(const DBCM_REGIONS& regions, TYPE type, ASM2_IPROJECT_REVISION_INFO& info)
        : m_type(type), m_names(regions.names()), m_info(info, type == TYPE_PARTIAL_RECONFIGURATION ? regions.get_count() : 0)
    {
    }
    int get_count() override { return static_cast<int>(m_names.size()); }
    ASM2_IPROJECT_REVISION_INFO* get_revision_info() override { return &m_info; }

    const std::vector<std::string>& names() const { return m_names; }

    // Writes the files of the regions and lists them as report lines.
    bool write_files(const SOF_CONTENTS& project)
    {
        std::vector<std::string>& lines = *m_info.get_string_list();
        lines.clear();
        if (m_names.empty())
            return true;
        const std::string file_name = m_info.get_file_name();
        const std::string directory = m_info.get_output_directory();
        if (m_type == TYPE_ERROR_DETECTION)
        {
            std::string text;
            for (const std::string& name : m_names)
                text += name + "\n";
            const std::string path = join_path(directory, file_name);
            if (!write(path, text))
                return false;
            lines.push_back("Error detection regions = " + std::to_string(m_names.size()) + " ; " + path);
            return true;
        }
        const size_t dot = file_name.rfind('.');
        const std::string stem = dot == std::string::npos ? file_name : file_name.substr(0, dot);
        const std::string extension = dot == std::string::npos ? std::string() : file_name.substr(dot);
        for (size_t i = 0; i < m_names.size(); ++i)
        {
            const ASM2_IPROJECT_REVISION_INFO::REGION_REVISION& record = m_info.get_region_revision(static_cast<int>(i));
            if (record.no_output_files)
                continue;
            SOF_CONTENTS region;
            region.part_name = project.part_name;
            region.jtag_user_code = project.jtag_user_code;
            region.pof_id = project.pof_id;
            region.design_hash = record.design_hash;
            region.sld_blob = record.sld_data;
            region.cram = project.cram;
            if (!record.pr_options_data.empty())
                region.sections.push_back(SOF_SECTION{"PR_OPTIONS", 0, 0, record.pr_options_data});
            const std::string path = join_path(directory, stem + "." + file_name_part(m_names[i]) + extension);
            if (!write(path, sof_encode(region)))
                return false;
            lines.push_back(region_settings(m_names[i], record) + " ; " + path);
        }
        return true;
    }

private:
    static bool write(const std::string& path, const std::string& bytes)
    {
        std::string error;
        if (fio_write_file_atomically(path, bytes, &error))
            return true;
        post_error("Can't write file %1!s!: %2!s!/EASM2_CANNOT_WRITE_FILE", ID_CANNOT_WRITE_FILE, path, error);
        return false;
    }

    TYPE m_type;
    std::vector<std::string> m_names;
    REVISION_INFO m_info;
};

struct PROJECT
{
    ASM2_IPROJECT* adapter;
    std::vector<std::string> called;
    bool assembled = false;
    SOF_CONTENTS contents;
    uint32_t checksum = 0;
    // The checksum of contents.cram's bytes, from the assembly.
    uint32_t cram_checksum = 0;
};

class SCRIPTING : public ASM2_ISCRIPTING0
{
public:
    int add_project(ASM2_IPROJECT* project) override
    {
        if (project == nullptr)
            return -1;
        m_projects.push_back(PROJECT{project, {}, false, {}, 0, 0});
        return static_cast<int>(m_projects.size() - 1);
    }

    bool assemble(int sof_index) override
    {
        PROJECT* project = find(sof_index);
        if (project == nullptr)
            return false;
        ASM2_IPROJECT* adapter = project->adapter;
        project->assembled = false;

        SOF_CONTENTS& contents = project->contents;
        contents = SOF_CONTENTS();
        contents.part_name = call(*project, "get_part_name").get_part_name();
        call(*project, "device_specific_tcl").device_specific_tcl();
        const uint32_t cram_bits = call(*project, "route_info_op9").route_info_op9();
        if (cram_bits == 0)
        {
            m_last_error = "the device has no configuration RAM";
            post_error("Can't assemble part %1!s!: %2!s!/EASM2_NO_CRAM", ID_NO_CRAM, contents.part_name, m_last_error);
            return false;
        }
        contents.cram = SOF_IMAGE::zeros(cram_bits);
        DBCM_CHIP* chip = call(*project, "get_dbcm_chip").get_dbcm_chip();
        if (chip != nullptr)
        {
            for (uint32_t address : chip->config_bits())
            {
                if (!contents.cram.set_bit(address, true))
                {
                    m_last_error = "configuration bit " + std::to_string(address) + " lies outside the " +
                                   std::to_string(cram_bits) + "-bit image";
                    post_error("Can't assemble part %1!s!: %2!s!/EASM2_BIT_OUTSIDE_IMAGE", ID_BIT_OUTSIDE_IMAGE,
                               contents.part_name, m_last_error);
                    return false;
                }
            }
        }
        contents.jtag_user_code = call(*project, "get_jtag_user_code").get_jtag_user_code();
        contents.pof_id = call(*project, "get_pof_id").get_pof_id();
        contents.design_hash = call(*project, "get_design_hash").get_design_hash();
        const ASM2_SLD_INFO& sld = call(*project, "get_sld_info").get_sld_info();
        if (sld.sld_blob != nullptr)
            contents.sld_blob = *sld.sld_blob;

        const IMAGE_HASHES image_hash(contents.cram);
        project->cram_checksum = image_hash.image_checksum();
        adapter->set_cram_hash(called(*project, "set_cram_hash", image_hash("CRAM")).c_str());
        adapter->set_cvp_hash(called(*project, "set_cvp_hash", image_hash("CVP")).c_str());
        adapter->set_io_hash(called(*project, "set_io_hash", image_hash("IO")).c_str());

        // Only a die with HPS I/O banks has HPS I/O sectors to ask for.
        const auto* route_info = dynamic_cast<const ROUTE_INFO*>(call(*project, "get_route_info").get_route_info());
        if (route_info != nullptr && route_info->has_hps_io())
        {
            bool hps_boot_from_hbm = false;
            const ASM2_HPIO_SECTORS sectors =
                call(*project, "get_hpio_sectors").get_hpio_sectors(&hps_boot_from_hbm);
            if (!sectors.empty())
            {
                std::string tag = "HPIO";
                for (const auto& sector : sectors)
                    tag += ":" + std::to_string(sector.first) + "," + std::to_string(sector.second);
                adapter->set_hpio_hash(called(*project, "set_hpio_hash", image_hash(tag)).c_str());
            }
        }

        ASM2_IPARTITIONS* pr = call(*project, "get_pr_partitions").get_pr_partitions();
        if (pr != nullptr && pr->get_count() > 0)
        {
            if (auto* own = dynamic_cast<PARTITIONS*>(pr))
            {
                // Region 0 is the static region; the others are reconfigurable.
                for (size_t i = 1; i < own->names().size(); ++i)
                {
                    const std::string& name = own->names()[i];
                    const std::string hash = image_hash("PR:" + name);
                    called(*project, "set_pr_region_hash", hash);
                    adapter->set_pr_region_hash(name.c_str(), hash.c_str());
                }
            }
            adapter->set_static_region_hash(
                called(*project, "set_static_region_hash", image_hash("STATIC")).c_str());
        }
        project->assembled = true;
        m_last_error.clear();
        return true;
    }

    bool write_sof(int sof_index, const char* path) override
    {
        PROJECT* project = find(sof_index);
        if (project == nullptr)
            return false;
        const std::string file = path != nullptr ? path : "";
        if (!project->assembled)
        {
            m_last_error = "the project is not assembled";
            post_error("Can't write file %1!s!: %2!s!/EASM2_NOT_ASSEMBLED", ID_NOT_ASSEMBLED, file, m_last_error);
            return false;
        }
        SOF_CONTENTS& contents = project->contents;
        contents.sections.clear();
        DBCM_CHIP* chip = call(*project, "get_dbcm_chip").get_dbcm_chip();
        if (chip != nullptr && chip->get_section_store() != nullptr)
        {
            for (const DBCM_SECTION& section : chip->get_section_store()->get_sections())
                contents.sections.push_back(SOF_SECTION{section.name, section.major, section.minor, section.bytes});
        }
        std::string error;
        if (!sof_write_file(file, contents, &project->checksum, &error, &project->cram_checksum))
        {
            m_last_error = error;
            post_error("Can't write file %1!s!: %2!s!/EASM2_CANNOT_WRITE_FILE", ID_CANNOT_WRITE_FILE, file, error);
            return false;
        }
        ASM2_IPARTITIONS* const partitions[] = {
            call(*project, "get_pr_partitions").get_pr_partitions(),
            call(*project, "get_error_detection_partitions").get_error_detection_partitions()};
        bool ok = true;
        for (ASM2_IPARTITIONS* each : partitions)
        {
            if (auto* own = dynamic_cast<PARTITIONS*>(each))
                ok = own->write_files(contents) && ok;
        }
        if (!ok)
            m_last_error = "a partition file could not be written";
        return ok;
    }

    uint32_t get_checksum(int sof_index) override
    {
        PROJECT* project = find(sof_index);
        return project != nullptr ? project->checksum : 0;
    }

    std::vector<std::string> called_operations(int sof_index) const override
    {
        if (sof_index < 0 || static_cast<size_t>(sof_index) >= m_projects.size())
            return {};
        return m_projects[static_cast<size_t>(sof_index)].called;
    }

    const std::string& get_last_error() const override { return m_last_error; }

    void reset() override
    {
        m_projects.clear();
        m_last_error.clear();
    }

private:
    PROJECT* find(int sof_index)
    {
        if (sof_index < 0 || static_cast<size_t>(sof_index) >= m_projects.size())
        {
            m_last_error = "no project of index " + std::to_string(sof_index);
            return nullptr;
        }
        return &m_projects[static_cast<size_t>(sof_index)];
    }

    // Notes the operation and gives the adapter to call it on.
    static ASM2_IPROJECT& call(PROJECT& project, const char* operation)
    {
        project.called.push_back(operation);
        return *project.adapter;
    }

    // Notes a setter and passes its value through.
    static const std::string& called(PROJECT& project, const char* operation, const std::string& value)
    {
        project.called.push_back(operation);
        return value;
    }

    std::vector<PROJECT> m_projects;
    std::string m_last_error;
};

}  // namespace

ASM2_IROUTE_INFO* stage_asm2_create_iroute_info(DYGR_DIE_INFO* die_info, std::string family_name, DEV_DEVICE*)
{
    if (die_info == nullptr)
        return nullptr;
    return new ROUTE_INFO(die_info->get_cram_bit_count(), die_info->has_hps_io(), std::move(family_name));
}

ASM2_IPARTITIONS* stage_asm2_create_ipartitions(const DBCM_REGIONS& regions, ASM2_IPARTITIONS::TYPE type,
                                                ASM2_IPROJECT_REVISION_INFO& revision_info)
{
    return new PARTITIONS(regions, type, revision_info);
}

ASM2_IPARTITIONS* stage_asm2_get_empty_partitions()
{
    static PARTITIONS* empty = new PARTITIONS();
    return empty;
}

ASM2_ISCRIPTING0* asm2_get_iscripting0()
{
    static SCRIPTING* scripting = new SCRIPTING();
    return scripting;
}
