// Assembler core library of the suite (stand-in): computes a project's
// configuration image and writes its SRAM object file. The library sees the
// project through the adapter the module hands it (ASM2_IPROJECT, which
// extends ASM2_ICHIP) and calls back its operations.
//
// What this stand-in does:
// - add_project keeps the adapter under a new index.
// - assemble asks the adapter, through its operations, for the part name,
//   the device-specific script, the die's CRAM size (route information,
//   operation 9), the chip's configuration bits, the JTAG user code, the POF
//   id, the design hash, the SLD blob, the partitions and, on a die with
//   HPS I/O banks (DYGR_DIE_INFO::has_hps_io, seen through the route
//   information), the HPS I/O sectors. It builds a configuration image of the CRAM size, all zero but
//   the bits the chip sets, and hands back hashes computed from that image:
//   CRAM, CvP and I/O always; HPIO when the project has HPS I/O sectors; one
//   per partial-reconfiguration region and the static-region hash when it
//   has such regions. A hash is the text of eight upper-case hexadecimal
//   digits of the CRC-32 of a tag ("CRAM", "CVP", "IO", "STATIC", "PR:" and
//   the region name, "HPIO" and each sector as ":first,second") followed by
//   the image's bytes.
// - write_sof writes the SRAM object file (pgmio_sof.h) with the chip's
//   stored sections as they are at that moment, then the files of the
//   project's partitions: a mask file per partial-reconfiguration region
//   whose record does not turn its output files off (with the record's PR
//   option data as its section "PR_OPTIONS"), reported as "Region = <name>"
//   followed by ",PR POF IDs = ...", ",Base MSF = ..." and ",Base SOF = ..."
//   when the record sets them; one error-detection region list.
// - get_checksum gives the written file's checksum: its trailing checksum
//   field, the CRC-32 of every byte before it.
// - It records, per project, the name of every adapter operation it called,
//   in order.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class DBCM_CHIP;
class DBCM_DEVICE;
class DBCM_REGIONS;
class DEV_DEVICE;
class DYGR_DIE_INFO;
namespace ZGL
{
template <typename NODE, typename EDGE>
class FOREST;
}

// The route information of a die, made by stage_asm2_create_iroute_info.
class ASM2_IROUTE_INFO
{
public:
    virtual ~ASM2_IROUTE_INFO() = default;
    // Operation 9: the number of CRAM bits of the die.
    virtual uint32_t get_cram_bit_count() const = 0;
    // Operation 10: the family name the information was made for.
    virtual const char* get_family_name() const = 0;
};

// A new route information object for the die (null for a null die), owned
// by the caller.
ASM2_IROUTE_INFO* stage_asm2_create_iroute_info(DYGR_DIE_INFO* die_info, std::string family_name,
                                                DEV_DEVICE* device);

// The description of one region set's revision, from which the library
// builds a partitions object.
class ASM2_IPROJECT_REVISION_INFO
{
public:
    // One region's record; the library reads these fields directly.
    struct REGION_REVISION
    {
        std::string sld_data;
        std::string base_msf;
        std::string base_sof;
        std::vector<std::pair<uint32_t, uint32_t>> pr_pof_ids;  // (POF value, POF index)
        std::string pr_options_data;
        std::string pr_pof_id_text;
        std::string design_hash;
        std::string pr_pof_value_data;
        uint32_t pr_pof_index = 0;
        uint8_t no_output_files = 0;
        uint8_t is_cots = 0;
        uint8_t is_checker = 0;
    };

    virtual ~ASM2_IPROJECT_REVISION_INFO() = default;
    virtual const char* get_output_directory() = 0;
    virtual const char* get_file_name() = 0;
    virtual const REGION_REVISION& get_region_revision(int index) = 0;
    // The lines that report the files of the partitions ("settings ; path");
    // the object keeps ownership.
    virtual std::vector<std::string>* get_string_list() = 0;
};

class ASM2_IPARTITIONS
{
public:
    enum TYPE
    {
        TYPE_PARTIAL_RECONFIGURATION = 0,
        TYPE_ERROR_DETECTION = 1,
    };

    virtual ~ASM2_IPARTITIONS() = default;
    virtual int get_count() = 0;
    virtual ASM2_IPROJECT_REVISION_INFO* get_revision_info() = 0;
};

// A new partitions object of the region set (owned by the caller). The
// library copies what it keeps of the revision description during the call.
ASM2_IPARTITIONS* stage_asm2_create_ipartitions(const DBCM_REGIONS& regions, ASM2_IPARTITIONS::TYPE type,
                                                ASM2_IPROJECT_REVISION_INFO& revision_info);
// The library's shared partitions object of count 0; never deleted.
ASM2_IPARTITIONS* stage_asm2_get_empty_partitions();

// What the project's debug-file (SLD) processing left for the library.
struct ASM2_SLD_INFO
{
    const std::string* crc_info = nullptr;
    const std::string* sld_blob = nullptr;
    uint8_t pfl_present = 0;
    uint8_t sfl_present = 0;
    uint8_t zpfl_present = 0;
    uint8_t sfl_version = 0;  // 0 to 15
};

// The HPS I/O sectors of a project: pairs of two 32-bit words.
typedef std::vector<std::pair<int32_t, int32_t>> ASM2_HPIO_SECTORS;

// The chip as the library queries it (operations 1 to 10).
class ASM2_ICHIP
{
public:
    virtual ~ASM2_ICHIP() = default;
    virtual const std::string& get_part_name() const = 0;
    virtual DBCM_CHIP* get_dbcm_chip() = 0;
    virtual DBCM_DEVICE* get_dbcm_device() = 0;
    virtual ASM2_IPARTITIONS* get_pr_partitions() = 0;
    virtual ASM2_IPARTITIONS* get_error_detection_partitions() = 0;
    virtual void device_specific_tcl() = 0;
    virtual ZGL::FOREST<int, int>* get_crf_re_network() = 0;
    virtual ASM2_IROUTE_INFO* get_route_info() = 0;
    // Operations 9 and 10 of the route information.
    virtual uint32_t route_info_op9() = 0;
    virtual const char* route_info_op10() = 0;
};

// The project as the library queries it (operations 11 to 29).
class ASM2_IPROJECT : public ASM2_ICHIP
{
public:
    virtual const char* get_sof_path() = 0;
    virtual uint32_t get_jtag_user_code() = 0;
    virtual bool get_device_option_flag() = 0;
    virtual void set_cvp_hash(const char* hash) = 0;
    virtual void set_io_hash(const char* hash) = 0;
    virtual void set_pr_region_hash(const char* region, const char* hash) = 0;
    virtual void set_static_region_hash(const char* hash) = 0;
    virtual ASM2_HPIO_SECTORS get_hpio_sectors(bool* hps_boot_from_hbm) = 0;
    virtual void set_hpio_hash(const char* hash) = 0;
    virtual void set_cram_hash(const char* hash) = 0;
    virtual ASM2_SLD_INFO& get_sld_info() = 0;
    // An object of the project's own that the library may use; may be null.
    virtual void* get_project_object() = 0;
    virtual uint32_t get_pof_id() = 0;
    virtual void set_pof_id(unsigned int id) = 0;
    virtual const std::string& get_design_hash() = 0;
    virtual int get_construction_int() = 0;
    virtual uint32_t get_user_pr_pof_id() = 0;
    virtual bool has_mailbox_abort_feature() = 0;
    virtual bool get_option_flag_1556() = 0;
};

// The library's scripting interface: one object for the process.
class ASM2_ISCRIPTING0
{
public:
    virtual ~ASM2_ISCRIPTING0() = default;
    // Keeps the project (not owned; it must outlive the calls for its index)
    // and returns its index; -1 for a null project.
    virtual int add_project(ASM2_IPROJECT* project) = 0;
    // Computes the project's configuration image; false, with the reason in
    // get_last_error, for an unknown index or a project the library cannot
    // assemble (no CRAM, a configuration bit outside the image).
    virtual bool assemble(int sof_index) = 0;
    // Writes the SRAM object file of an assembled project to the path;
    // false, with the reason, when the project is not assembled or a file
    // cannot be written.
    virtual bool write_sof(int sof_index, const char* path) = 0;
    // The checksum of the written file; 0 before it was written.
    virtual uint32_t get_checksum(int sof_index) = 0;

    // The adapter operations called for the project, in order.
    virtual std::vector<std::string> called_operations(int sof_index) const = 0;
    virtual const std::string& get_last_error() const = 0;
    // Forgets every project.
    virtual void reset() = 0;
};

ASM2_ISCRIPTING0* asm2_get_iscripting0();
