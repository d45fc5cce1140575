#include "asm_root.h"

#include "asm_asmre_dumper.h"
#include "asm_assemble_asmm.h"
#include "asm_dump_words.h"
#include "asm_hps.h"
#include "asm_option2.h"
#include "asm_options.h"
#include "asm_pof.h"
#include "asm_util.h"

#include <asm_bitfield.h>
#include <asm_model.h>
#include <asmdb.h>
#include <cdb.h>
#include <cfg.h>
#include <cmp.h>
#include <constra.h>
#include <cut.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <gen.h>
#include <hdb.h>
#include <pgmio.h>
#include <stl.h>
#include <u2b2.h>
#include <zasm.h>
#include <zcu.h>
#include <zsym.h>

#include <array>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#define ASM_SOURCE_TAG "comp/asm/asm_root"

namespace
{

const int OPTION_ASSIGNMENTS_FILE = 1492;
const int OPTION_ASSIGNMENTS_KEYWORD = 1422;

const DEV_FAMILY FAMILY_VK = 67;

// Runs an action when the scope ends, however it ends.
class AT_SCOPE_END
{
public:
    explicit AT_SCOPE_END(std::function<void()> action) : m_action(std::move(action)) {}
    ~AT_SCOPE_END() { m_action(); }
    AT_SCOPE_END(const AT_SCOPE_END&) = delete;
    AT_SCOPE_END& operator=(const AT_SCOPE_END&) = delete;

private:
    std::function<void()> m_action;
};

void dump_pre_asm_netlist(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip)
{
    CUT_ATOM_DUMPER dumper(chip);
    FIO_PATH file(cmp->get_revision_name() + ".pre_asm_netlist");
    dumper.dump_current_atom_netlist(file, true, true);
}

void check_attribute_coverage()
{
    std::vector<ZSYM> atom_types(2);
    atom_types[0].use(ZSYM_NAMESPACE_NAME, "la_lab");
    atom_types[1].use(ZSYM_NAMESPACE_NAME, "pm_iopll");
    DBCM_DB_MANAGER* dbcm_db_manager = DBCM_DB_MANAGER::get_or_create_instance();
    ASM_REQUIRE(dbcm_db_manager != NULL);
    U2B2_ATTRIBUTE_COVERAGE_CHECK_OP coverage_check(dbcm_db_manager->get_chip(0));
    coverage_check.work(&atom_types);
    coverage_check.post();
}

// The handoff block layout of family 29 follows the user name of the part's
// base device, lower-cased: a name that starts with "vw" takes the VW layout
// (its variant when it starts with "vw8revb"), any other the VR layout.
struct FAMILY_29_LAYOUT
{
    bool vw;
    bool variant;
};

FAMILY_29_LAYOUT family_29_layout(DEV_PART_MANAGER* part_manager, DEV_PART part)
{
    DEV_DEVICE_ENUM device = part_manager->get_device_of(part);
    DEV_DEVICE_ENUM base_device = part_manager->get_base_device_of(device);
    // An unknown device has no user name; it takes the VR layout.
    const char* user_name = dstr_get_user_string(base_device);
    std::string name = user_name != nullptr ? user_name : "";
    stl_tolower(name);
    FAMILY_29_LAYOUT layout{false, false};
    if (name.size() >= 2 && name.compare(0, 2, "vw") == 0)
    {
        layout.vw = true;
        layout.variant = name.size() >= 7 && name.compare(0, 7, "vw8revb") == 0;
    }
    return layout;
}

// Builds and stores the HPS handoff with the family's data builder and
// block; the block and the builder end as soon as the handoff is stored.
template <typename HANDOFF_DATA>
void build_hps_handoff(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                       DEV_PART_MANAGER* part_manager, const std::function<HPS_HANDOFF_BOX*()>& make_box)
{
    asm_debug_log(2, "%s", "ACID_HPS create object in ASM");
    HANDOFF_DATA handoff_data(cmp, chip, run_value, part_manager);
    handoff_data.set_handoff_box(make_box());
    handoff_data.add_hand_off_data_into_dbcm();
    // Deletes the block through its holder, which is left holding nothing.
    handoff_data.set_handoff_box(nullptr);
}

int run_option_block(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value, DEV_FAMILY family,
                     DEV_PART_MANAGER* part_manager)
{
    asm_debug_log(2, "%s", "SDM_OPTION create object in ASM");
    ASM_OPTION2 option2(cmp, chip, run_value, part_manager);
    if (!cfg_is_on("sdm_option_data_bypass", false) && !option2.process_option_data())
        return 0;
    return assemble_dev_device(cmp, chip, &option2, family, part_manager);
}

int dispatch_family(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value, DEV_FAMILY base_family,
                    DEV_FAMILY internal_family, DEV_PART part, DEV_PART_MANAGER* part_manager)
{
    const DEV_FAMILY family = internal_family == FAMILY_VK ? FAMILY_VK : base_family;
    switch (family)
    {
    case 15:
    case 54:
        if (cfg_is_on("attribute_coverage_check_asm", true))
            check_attribute_coverage();
        return assemble_dev_device(cmp, chip, nullptr, family, part_manager);
    case 29:
        if (!cfg_is_on("hps_bypass_handoff", false))
        {
            const FAMILY_29_LAYOUT layout = family_29_layout(part_manager, part);
            build_hps_handoff<VR_ASM_HPS_HANDOFF_DATA>(cmp, chip, run_value, part_manager,
                                                       [layout]() -> HPS_HANDOFF_BOX* {
                                                           if (layout.vw)
                                                               return new VW_HPS_HANDOFF_BOX(layout.variant);
                                                           return new VR_HPS_HANDOFF_BOX();
                                                       });
        }
        return run_option_block(cmp, chip, run_value, family, part_manager);
    case 44:
        return run_option_block(cmp, chip, run_value, family, part_manager);
    case 52:
        if (!cfg_is_on("hps_bypass_handoff", false))
            build_hps_handoff<YB_ASM_HPS_HANDOFF_DATA>(cmp, chip, run_value, part_manager,
                                                       [] { return new HPS_HANDOFF_BOX(); });
        return run_option_block(cmp, chip, run_value, family, part_manager);
    case FAMILY_VK:
        if (!cfg_is_on("hps_bypass_handoff", false))
            build_hps_handoff<VK_ASM_HPS_HANDOFF_DATA>(cmp, chip, run_value, part_manager,
                                                       [] { return new VK_HPS_HANDOFF_BOX(); });
        return run_option_block(cmp, chip, run_value, family, part_manager);
    default:
        internal_error("Unsupported family", ASM_SOURCE_TAG, __LINE__);
    }
}

// Everything between "ASM Begin" and "ASM End" when the assembly is not
// skipped. The registry is told to forget the objects of this call's stack
// before they end.
int assemble_registered(CMP_FACADE* cmp, uint32_t run_value)
{
    ASM_REQUIRE(cmp != NULL);
    ASM_MODEL::register_cmp(cmp);
    FIO_PATH project_path = cmp->get_project_path();
    ASM_MODEL::register_project_path(&project_path);
    AT_SCOPE_END forget_project_path([] { ASM_MODEL::unregister_project_path(); });

    HDB_NAMESPACE* cap_inst = cmp->get_cap_inst();
    ASM_REQUIRE(cap_inst != NULL);
    ASM_MODEL::register_cap(cap_inst);
    CDB_DB_ENTRIES* db_entries = CDB_CMP_ENTRY::get_db_entries_no_update(cap_inst);
    ASM_REQUIRE(db_entries != NULL);
    CDB_CHIP_DB_ENTRY* chip = db_entries->get_chip_db_entry();
    ASM_REQUIRE(chip != NULL);
    ASM_MODEL::register_chip(chip);

    if (cfg_is_on("asm_dump_pre_asm_netlist"))
        dump_pre_asm_netlist(cmp, chip);

    const DEV_FAMILY base_family = chip->get_base_family_enum();
    const DEV_FAMILY internal_family = chip->get_internal_family_view().get_internal_family_enum();
    const DEV_PART part = chip->get_part_enum();
    ASM_MODEL::register_base_family(base_family);
    ASM_MODEL::register_user_family(internal_family);
    DEV_FAMILY_MANAGER family_manager;
    DEV_PART_MANAGER part_manager;
    ASM_MODEL::register_dev_family_manager(&family_manager);
    ASM_MODEL::register_dev_part_manager(&part_manager);
    AT_SCOPE_END forget_managers([] {
        ASM_MODEL::unregister_dev_part_manager();
        ASM_MODEL::unregister_dev_family_manager();
    });

    ASM_OPTIONS* asm_options = new ASM_OPTIONS();
    ASM_MODEL::register_asm_options(asm_options);
    load_assembler_assignments_file(asm_options, cmp, cap_inst, chip);

    ASMCC_NETLIST_FAQ* netlist_faq = nullptr;
    if (asm_options->m_initialized)
        netlist_faq = asm_options->create_netlist_faq();
    if (netlist_faq == nullptr)
        netlist_faq = new ASMCC_NETLIST_FAQ(ASMCC_SOURCE_NETLIST_TYPE_FULL_PLACE_AND_ROUTE, true, true, true, false);
    ASM_MODEL::register_netlist_faq(netlist_faq);

    DBCM_DB_MANAGER* dbcm_db_manager = DBCM_DB_MANAGER::get_or_create_instance();
    ASM_REQUIRE(dbcm_db_manager != NULL);
    constra_check_bcm_chip(dbcm_db_manager->get_chip(0));

    const int result =
        dispatch_family(cmp, chip, run_value, base_family, internal_family, part, &part_manager);

    ASM_MODEL::unregister_netlist_faq();
    return result;
}

}  // namespace

int load_assembler_assignments_file(ASM_OPTIONS* options, CMP_FACADE* cmp, HDB_NAMESPACE* cap_inst,
                                    CDB_CHIP_DB_ENTRY* chip)
{
    FIO_PATH project_path = cmp->get_project_path();
    const auto* file_option =
        HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(cap_inst, OPTION_ASSIGNMENTS_FILE, true);
    const auto* keyword_option = HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(
        cap_inst, OPTION_ASSIGNMENTS_KEYWORD, true);
    if (file_option == nullptr)
        return 0;

    FIO_PATH file(file_option->get_value());
    if (!file.has_directory())
        file.directory(project_path.text());

    const std::string cmp_name = cmp->get_cmp_name();
    const std::string device_name = chip->get_device_name();
    const std::string keyword = keyword_option != nullptr ? keyword_option->get_value() : std::string();

    if (FIO_FILE_SYSTEM::exists(file))
    {
        options->initialize(file, cmp_name, device_name, keyword);
        return 1;
    }
    log_missing_assignments_file(file);
    return 0;
}

int asm_assemble(CMP_FACADE* cmp, uint32_t run_value, bool& out_flag, const FIO_PATH&)
{
    asm_debug_log(2, "%s", "ASM Begin");
    asm_memory_checkpoint("ASM Begin");
    out_flag = false;

    int result = 0;
    if (cfg_is_on("skip_asm"))
        asm_debug_log(2, "%s", "Skipping ASM because skip_asm = ON was found in your zorvane.ini file.");
    else
        result = assemble_registered(cmp, run_value);

    asm_debug_log(2, "%s", "ASM End");
    asm_memory_checkpoint("ASM End");
    return result;
}

namespace
{
ZASM_ACCESSOR_PROXY* held_accessor_proxy = nullptr;
}  // namespace

ZASM_ACCESSOR_PROXY* set_and_get_asm_zasm_accessor(ZASM_ACCESSOR_PROXY* proxy, bool set)
{
    if (set)
    {
        if (held_accessor_proxy != nullptr && held_accessor_proxy != proxy)
            delete held_accessor_proxy;
        held_accessor_proxy = proxy;
    }
    return held_accessor_proxy;
}

void asm_retrieve_rba_tag_data(std::vector<std::string>& block_list, std::string&, std::string& first_id_string,
                               std::string& second_id_string)
{
    DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
    ASM_REQUIRE(device != NULL);
    DEV_BASIC_INFO* basic_info = device->get_basic_info();
    ASM_REQUIRE(basic_info != NULL);
    DEV_ASM_INFO* asm_info = device->get_asm_info();
    ASM_REQUIRE(asm_info != NULL);
    if (!asm_info->load_data_from_pdb(basic_info))
        internal_error("Missing Assembler data", ASM_SOURCE_TAG, __LINE__);
    const ASMDB_DIE* asmdb_die = asm_info->get_asmdb_die();
    ASM_REQUIRE(asmdb_die != NULL);

    for (const auto& entry : asmdb_die->get_block_info_map())
    {
        const ASMDB_BLOCK_INFO& block_info = entry.second;
        const std::string& version = block_info.get_version_string();
        const std::string& name = block_info.get_icd_block_name();
        if (!name.empty())
            block_list.push_back((version.empty() ? std::string("NONE") : version) + " " + name);
    }

    first_id_string = asmdb_die->get_first_id_string();
    second_id_string = asmdb_die->get_second_id_string();
}

void asm_elaborate(const FIO_PATH&, const FIO_PATH&) {}

// Applying an assignments file's bit settings to an SRAM object file.

void asm_process_sof(const FIO_PATH& sof_path, const FIO_PATH& xml_path, bool write)
{
    asm_debug_log(2, "%s", "ASM Begin");
    std::unique_ptr<ASM_OPTIONS> asm_options(new ASM_OPTIONS());
    std::string part_name;

    PGMIO_BITFIELD* pgmio_bitfield = NULL;
    PGMIO_SENSITIVITY_MAP* sensitivity_map = NULL;
    PGMIO_PR_MASK* pr_mask = NULL;
    PGMIO_REGION_MASK* sp_mask = NULL;
    const bool read = PGMIO_ASSEMBLER_SCRIBE::read_pof(sof_path, &pgmio_bitfield, &sensitivity_map, &pr_mask,
                                                       &sp_mask, part_name);
    // The wrapper owns the file's bitstream from here on.
    std::unique_ptr<ASM_BITFIELD> bitfield(read ? new ASM_BITFIELD(pgmio_bitfield) : NULL);
    if (sensitivity_map != NULL)
        internal_error("Assembler XML script is not supported for a SOF with sensitivty data", ASM_SOURCE_TAG,
                       __LINE__);
    ASM_REQUIRE(pr_mask == NULL);
    ASM_REQUIRE(sp_mask == NULL);

    if (read)
    {
        // The device of the file is made before the options file is read, so
        // that the file's device check sees the device of this bitstream.
        const DEV_PART part = dstr_get_dev_part_enum_by_string(part_name.c_str());
        DMGR_UTILITY::destroy_device();
        const bool created_device = DMGR_UTILITY::create_device(part);
        ASM_REQUIRE(created_device);
        DEV_DEVICE* device = DMGR_UTILITY::get_current_device();
        ASM_REQUIRE(device != NULL);

        asm_options->initialize(xml_path, "", part_name, "");
        if (asm_options->m_initialized)
        {
            DEV_BASIC_INFO* basic_info = device->get_basic_info();
            ASM_REQUIRE(basic_info != NULL);
            DEV_ASM_INFO* asm_info = device->get_asm_info();
            ASM_REQUIRE(asm_info != NULL);
            if (!asm_info->load_data_from_pdb(basic_info))
                internal_error("Missing Assembler data", ASM_SOURCE_TAG, __LINE__);
            ASMDB_DIE* asmdb_die = asm_info->get_asmdb_die();
            ASM_REQUIRE(asmdb_die != NULL);
            ASMDB_DIRT* asmdb_dirt = asm_info->get_asmdb_dirt();
            DEV_DIE_INFO* die_info = device->get_die_info();
            ASM_REQUIRE(die_info != NULL);
            std::string device_data_text;
            if (!die_info->load_device_data(4, device_data_text))
                internal_error("Unable to load device data", ASM_SOURCE_TAG, __LINE__);

            std::vector<DB_BIT_SETTING> settings;
            asm_options->apply_bit_settings(settings, bitfield.get(), device, asmdb_die, asmdb_dirt, NULL);
            bitfield->silent_set_bits(settings);

            if (write)
            {
                PGMIO_FILE_OPTIONS options;
                options.set_option(2);
                std::vector<std::string> report_lines;
                PGMIO_ASSEMBLER_SCRIBE::write_all_files(sof_path, bitfield->get_pgmio_bitfield(), part_name, &options,
                                                        NULL, NULL, NULL, &report_lines);
            }
        }
    }

    asm_options.reset();
    bitfield.reset();
    asm_debug_log(2, "%s", "ASM End");
}

// Dumping the routed network, from the Tcl layer's words.

namespace
{

// The device handle word: a decimal number, clamped to the range of int;
// text that is no number gives 0.
int parse_device_handle(const char* word)
{
    if (word == nullptr)
        return 0;
    const long value = std::strtol(word, nullptr, 10);
    if (value > INT_MAX)
        return INT_MAX;
    if (value < INT_MIN)
        return INT_MIN;
    return static_cast<int>(value);
}

// The index of the word in the list of known words; 0 for any other word.
template <size_t COUNT>
uint32_t word_index(const char* word, const std::array<const char*, COUNT>& known)
{
    if (word == nullptr)
        return 0;
    for (size_t i = 0; i < known.size(); ++i)
        if (std::strcmp(word, known[i]) == 0)
            return static_cast<uint32_t>(i);
    return 0;
}

}  // namespace

void asm_dump_re_network(std::list<const char*>* str_list)
{
    std::printf("_____DBG_____ Calling asm_dump_re_network()\n");
    std::vector<const char*> words;
    if (str_list != nullptr)
        words.assign(str_list->begin(), str_list->end());
    if (words.size() < 2)
        internal_error("str_list->size() >=2", ASM_SOURCE_TAG, __LINE__);

    int device_handle = words.size() >= 3 ? parse_device_handle(words[2]) : -1;
    std::printf("outside dump bits and device_handle from tcl is %d\n", device_handle);
    const uint32_t dump_kind = word_index(words[0], ASM_DUMP_KIND_WORDS);
    const uint32_t format = word_index(words[1], ASM_DUMP_FORMAT_WORDS);

    HDB_NAME_MGR* hdb_mgr = hdb_get_current_name_mgr();
    ASM_REQUIRE(hdb_mgr != NULL);
    HDB_NAMESPACE* cap_inst = hdb_mgr->get_current_cap_inst();
    ASM_REQUIRE(cap_inst != NULL);
    CDB_DB_ENTRIES* db_entries = CDB_CMP_ENTRY::get_db_entries_no_update(cap_inst);
    ASM_REQUIRE(db_entries != NULL);
    CDB_CHIP_DB_ENTRY* chip = db_entries->get_chip_db_entry();
    ASM_REQUIRE(chip !=NULL);
    ZCU_FACADE_UTIL* facade_util = ZCU_FACADE_UTIL::get_instance();
    ASM_REQUIRE(facade_util!= NULL);
    CMP_FACADE* cmp = facade_util->get_facade();
    ASM_REQUIRE(cmp != NULL);

    CDB_ATOM_NETLIST* netlist = chip->get_atom_netlist();
    FIO_PATH output_path;
    chip_output_path(cmp, chip, output_path, true);
    const FIO_PATH directory(gen_get_project_output_directory());

    ASM_IASMRE_DUMPER& dumper = get_dumper_instance(chip, &device_handle);
    dumper.set_output_path(output_path, directory);
    dumper.set_dump_mode(dump_kind, format);
    dumper.dump(netlist);
}
