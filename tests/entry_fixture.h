// A populated stand-in suite for the assembly entry and the device run: one
// compilation of one chip, with its compile instance, the current design,
// chip 0 of the chip bundle database, a part with its device and base
// device, and the current device with its die data. Every piece is plain
// and can be changed by the test before the call.
#pragma once

#include <acf.h>
#include <asm2.h>
#include <asm_model.h>
#include <cdb.h>
#include <cdb_atom.h>
#include <cfg.h>
#include <cmp.h>
#include <dbcm.h>
#include <dev.h>
#include <dmgr.h>
#include <dstr.h>
#include <flow.h>
#include <gen.h>
#include <hdb.h>
#include <msg.h>
#include <pgmio.h>
#include <zasm.h>
#include <zhd.h>
#include <zpr.h>

#include "asm_root.h"
#include "asm_trace.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

// The host's accessor proxy: it notes the devices it is asked to select.
class RECORDING_PROXY : public ZASM_ACCESSOR_PROXY
{
public:
    bool get_bit_value(uint32_t, int) override { return false; }
    uint32_t get_cram_address_width(int, int, int) override { return 0; }
    void select_device(DEV_DEVICE_ENUM device, DEV_PART part) override { selected.emplace_back(device, part); }

    std::vector<std::pair<DEV_DEVICE_ENUM, DEV_PART>> selected;
};

class ENTRY_SUITE : public testing::Test
{
protected:
    static constexpr DEV_PART PART = static_cast<DEV_PART>(101);
    static constexpr DEV_DEVICE_ENUM DEVICE = static_cast<DEV_DEVICE_ENUM>(1001);
    static constexpr DEV_DEVICE_ENUM BASE_DEVICE = static_cast<DEV_DEVICE_ENUM>(1000);
    static constexpr uint32_t CRAM_BITS = 64;

    void SetUp() override
    {
        cfg_clear();
        msg_reset();
        ASM_MODEL::reset();
        dev_reset();
        CDB_CMP_ENTRY::reset();
        ZHD_ROOT::get()->reset();
        DBCM_DB_MANAGER::get_or_create_instance()->reset();
        DBCM_BUNDLE_SINGLETON::reset();
        dstr_clear();
        acf_reset();
        flow_reset();
        ZPR::UTILS::reset();
        pgmio_reset();
        asm2_get_iscripting0()->reset();
        asm_set_trace_observer(&ENTRY_SUITE::observe);
        timeline().clear();
        seen_calls() = 0;

        char dir[] = "/tmp/asm_entry_XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_project_dir = dir;
        m_old_cwd = std::filesystem::current_path();

        top_settings = ZHD_ROOT::get()->add_design("")->add_partition("top")->get_hdb();
        dbcm_chip = DBCM_DB_MANAGER::get_or_create_instance()->add_chip();
        dbcm_chip->add_device("DEV_101");
        gen_set_project_output_directory(m_project_dir);
        proxy = new RECORDING_PROXY();
        set_and_get_asm_zasm_accessor(proxy, true);

        dev_add_part(PART, "PART_101", DEVICE);
        dev_add_device(DEVICE, BASE_DEVICE, "vr_device");
        dev_add_device(BASE_DEVICE, BASE_DEVICE, "vr_base");
        dev_set_resource_count(PART, DEV_RESOURCE_CPU_CORE, 4);

        netlist.add_atom(std::make_unique<CDB_ATOM_NODE>("lab_0", "la_lab"));
        chip.set_base_family(44);
        chip.set_part(PART);
        chip.set_device_name("DEV_101");
        chip.set_atom_netlist(&netlist);
        chip.set_chip(&hdb_chip);
        db_entries.set_chip_db_entry(&chip);
        CDB_CMP_ENTRY::set_db_entries(&cap_inst, &db_entries);

        auto die_info = std::make_unique<DEV_DIE_INFO>();
        die_info->add_device_data(4);
        die_info->add_device_data(2);
        die_info->add_device_data(1);
        die_info->get_dygr_die_info()->set_cram_bit_count(CRAM_BITS);
        device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(PART));
        device.set_die_info(std::move(die_info));
        DMGR_UTILITY::set_current_device(&device);

        cmp.set_revision_name("rev1");
        cmp.set_cmp_name("cmp1");
        cmp.set_project_path(FIO_PATH(m_project_dir, "", ""));
        cmp.set_cap_inst(&cap_inst);
        cap_inst.set_chip(&hdb_chip);
    }

    void TearDown() override
    {
        asm_set_trace_observer(nullptr);
        std::filesystem::current_path(m_old_cwd);
        ASM_MODEL::reset();
        CDB_CMP_ENTRY::reset();
        DMGR_UTILITY::set_current_device(nullptr);
        set_and_get_asm_zasm_accessor(nullptr, true);
        gen_set_project_output_directory("");
        std::filesystem::remove_all(m_project_dir);
    }

    // The base device's user name decides the family 29 layout.
    void set_base_device_name(const std::string& name) { dev_add_device(BASE_DEVICE, BASE_DEVICE, name); }

    // Lifecycle events and registry calls, merged in the order they happened.
    static std::vector<std::string>& timeline()
    {
        static std::vector<std::string> events;
        return events;
    }

    // Brings the registry calls made since the last event into the timeline.
    static void catch_up_registry()
    {
        const std::vector<std::string>& calls = ASM_MODEL::calls();
        for (; seen_calls() < calls.size(); ++seen_calls())
            timeline().push_back(calls[seen_calls()]);
    }

    // Lifecycle events only.
    static std::vector<std::string> events()
    {
        catch_up_registry();
        std::vector<std::string> only;
        for (const std::string& e : timeline())
            if (e.rfind("register_", 0) != 0 && e.rfind("unregister_", 0) != 0)
                only.push_back(e);
        return only;
    }

    // The module's debug lines, in order.
    static std::vector<std::string> debug_texts()
    {
        std::vector<std::string> texts;
        for (const MSG_DEBUG_LINE& line : msg_debug_lines())
            if (line.component == "ASM")
                texts.push_back(line.text);
        return texts;
    }

    static bool has_debug_line(const std::string& text)
    {
        for (const std::string& line : debug_texts())
            if (line == text)
                return true;
        return false;
    }

    static size_t count_posted(const std::string& id_name)
    {
        size_t n = 0;
        for (const MSG_RECORD& record : MSG_REPORT::active().messages())
            n += record.id_name == id_name ? 1 : 0;
        return n;
    }

    HDB_NAMESPACE cap_inst;
    HDB_NAMESPACE* top_settings = nullptr;
    HDB_CHIP hdb_chip{"top_chip"};
    CDB_ATOM_NETLIST netlist;
    CDB_CHIP_DB_ENTRY chip;
    CDB_DB_ENTRIES db_entries;
    CMP_FACADE cmp;
    DEV_DEVICE device;
    DBCM_CHIP* dbcm_chip = nullptr;
    // Held (and deleted) by the module.
    RECORDING_PROXY* proxy = nullptr;
    std::string m_project_dir;
    std::filesystem::path m_old_cwd;

private:
    static size_t& seen_calls()
    {
        static size_t n = 0;
        return n;
    }

    static void observe(const std::string& event)
    {
        catch_up_registry();
        timeline().push_back(event);
    }
};

// Runs the call and gives back the condition of the internal error it
// raised ("" when it raised none).
template <typename CALL>
std::string internal_error_of(CALL call)
{
    try
    {
        call();
    }
    catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
    {
        return e.condition() + " @" + e.file();
    }
    return "";
}
