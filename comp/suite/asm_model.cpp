#include "asm_model.h"

namespace
{

struct REGISTRY
{
    CMP_FACADE* cmp = nullptr;
    const FIO_PATH* project_path = nullptr;
    HDB_NAMESPACE* cap = nullptr;
    CDB_CHIP_DB_ENTRY* chip = nullptr;
    int base_family = -1;
    int user_family = -1;
    DEV_FAMILY_MANAGER* family_manager = nullptr;
    DEV_PART_MANAGER* part_manager = nullptr;
    void* options = nullptr;
    void (*destroy_options)(void*) = nullptr;
    ASMCC_NETLIST_FAQ* netlist_faq = nullptr;
    std::vector<std::string> calls;
};

// Never destroyed: what it owns may belong to a module that is unloaded
// before the process ends, so only reset() releases it.
REGISTRY& registry()
{
    static REGISTRY* instance = new REGISTRY;
    return *instance;
}

void note(const char* call) { registry().calls.push_back(call); }

void release_options()
{
    REGISTRY& r = registry();
    if (r.options != nullptr)
        r.destroy_options(r.options);
    r.options = nullptr;
    r.destroy_options = nullptr;
}

void release_netlist_faq()
{
    delete registry().netlist_faq;
    registry().netlist_faq = nullptr;
}

}  // namespace

void ASM_MODEL::register_cmp(CMP_FACADE* cmp)
{
    note("register_cmp");
    registry().cmp = cmp;
}

void ASM_MODEL::register_project_path(const FIO_PATH* path)
{
    note("register_project_path");
    registry().project_path = path;
}

void ASM_MODEL::register_cap(HDB_NAMESPACE* cap_inst)
{
    note("register_cap");
    registry().cap = cap_inst;
}

void ASM_MODEL::register_chip(CDB_CHIP_DB_ENTRY* chip)
{
    note("register_chip");
    registry().chip = chip;
}

void ASM_MODEL::register_base_family(int family)
{
    note("register_base_family");
    registry().base_family = family;
}

void ASM_MODEL::register_user_family(int family)
{
    note("register_user_family");
    registry().user_family = family;
}

void ASM_MODEL::register_dev_family_manager(DEV_FAMILY_MANAGER* manager)
{
    note("register_dev_family_manager");
    registry().family_manager = manager;
}

void ASM_MODEL::register_dev_part_manager(DEV_PART_MANAGER* manager)
{
    note("register_dev_part_manager");
    registry().part_manager = manager;
}

void ASM_MODEL::adopt_asm_options(void* options, void (*destroy)(void*))
{
    note("register_asm_options");
    if (options == registry().options)
        return;
    release_options();
    registry().options = options;
    registry().destroy_options = destroy;
}

void ASM_MODEL::register_netlist_faq(ASMCC_NETLIST_FAQ* faq)
{
    note("register_netlist_faq");
    if (faq == registry().netlist_faq)
        return;
    release_netlist_faq();
    registry().netlist_faq = faq;
}

void ASM_MODEL::unregister_netlist_faq()
{
    note("unregister_netlist_faq");
    release_netlist_faq();
}

void ASM_MODEL::unregister_project_path()
{
    note("unregister_project_path");
    registry().project_path = nullptr;
}

void ASM_MODEL::unregister_dev_family_manager()
{
    note("unregister_dev_family_manager");
    registry().family_manager = nullptr;
}

void ASM_MODEL::unregister_dev_part_manager()
{
    note("unregister_dev_part_manager");
    registry().part_manager = nullptr;
}

CMP_FACADE* ASM_MODEL::get_cmp() { return registry().cmp; }
const FIO_PATH* ASM_MODEL::get_project_path() { return registry().project_path; }
HDB_NAMESPACE* ASM_MODEL::get_cap() { return registry().cap; }
CDB_CHIP_DB_ENTRY* ASM_MODEL::get_chip() { return registry().chip; }
int ASM_MODEL::get_base_family() { return registry().base_family; }
int ASM_MODEL::get_user_family() { return registry().user_family; }
DEV_FAMILY_MANAGER* ASM_MODEL::get_dev_family_manager() { return registry().family_manager; }
DEV_PART_MANAGER* ASM_MODEL::get_dev_part_manager() { return registry().part_manager; }
ASM_OPTIONS* ASM_MODEL::get_asm_options() { return static_cast<ASM_OPTIONS*>(registry().options); }
ASMCC_NETLIST_FAQ* ASM_MODEL::get_netlist_faq() { return registry().netlist_faq; }

const std::vector<std::string>& ASM_MODEL::calls() { return registry().calls; }

void ASM_MODEL::reset()
{
    release_options();
    release_netlist_faq();
    registry() = REGISTRY();
}

const HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>* asmcc_get_bool_option(const HDB_NAMESPACE* cap_inst,
                                                                          const HDB_CHIP*, int id)
{
    return HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(cap_inst, id, true);
}

const HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>* asmcc_get_string_option(const HDB_NAMESPACE* cap_inst,
                                                                           const HDB_CHIP*, int id)
{
    return HDB_DERIVED_OPTION<HDB_OPTION_KIND_STRING, 0>::get_single_option(cap_inst, id, true);
}

bool asmcc_get_bool_option(const HDB_NAMESPACE* cap_inst, int id, bool default_value)
{
    const auto* option = HDB_DERIVED_OPTION<HDB_OPTION_KIND_BOOLEAN, 0>::get_single_option(cap_inst, id, true);
    return option != nullptr ? option->get_value() : default_value;
}
