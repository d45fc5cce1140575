// The option block's project settings (typed getters by option id, the
// written-assignment test) and the device configuration settings: the
// configuration scheme, the two configuration clocks, the thermal threshold
// and the Configuration Block IP's I/O configuration select.
#include "asm_option2.h"

#include "asm_common.h"
#include "asm_messages.h"
#include "asm_revision_lock.h"
#include "asm_util.h"

#include <acf.h>
#include <cdb.h>
#include <cdb_atom.h>
#include <cut.h>
#include <dev.h>
#include <fio.h>
#include <hdb.h>

#include <memory>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

namespace
{

// The settings holder's global settings section: this type, an empty name.
const int GLOBAL_SETTINGS_SECTION_TYPE = 21;
// The extension kind of a revision's settings file.
const FIO_EXTENSION_TYPE SETTINGS_FILE_EXTENSION = FIO_EXTENSION_SETTINGS;

// Settings of the device configuration.
const int OPTION_CONFIGURATION_SCHEME = 788;
const int OPTION_INITIALIZATION_CLOCK = 831;
const int OPTION_ACTIVE_SERIAL_CLOCK = 1171;
const int OPTION_THRESHOLD_TEMPERATURE = 1581;

// Configuration scheme setting values.
const uint16_t SCHEME_AS_X1 = 192;
const uint16_t SCHEME_AS_X4 = 193;
const uint16_t SCHEME_SRST_X8 = 196;
const uint16_t SCHEME_SRST_X16 = 197;
const uint16_t SCHEME_SRST_X32 = 198;
const uint16_t SCHEME_INTERNAL = 199;

// Initialisation clock setting values.
const uint16_t INIT_CLOCK_INTERNAL_OSCILLATOR = 209;
const uint16_t INIT_CLOCK_25MHZ = 212;
const uint16_t INIT_CLOCK_100MHZ = 213;
const uint16_t INIT_CLOCK_125MHZ = 214;

// Active serial clock setting values, 319 to 333; 327 is the 166 MHz source.
const uint16_t AS_CLOCK_FIRST = 319;
const uint16_t AS_CLOCK_DEFAULT = 323;
const uint16_t AS_CLOCK_166MHZ = 327;
const uint16_t AS_CLOCK_LAST = 333;
const uint32_t AS_CLOCK_HZ[AS_CLOCK_LAST - AS_CLOCK_FIRST + 1] = {
    25000000,  50000000,  71500000,  80000000,  100000000, 108000000, 125000000, 133000000,
    166000000, 166600000, 25000000,  38000000,  58000000,  77000000,  115000000};

// Device traits: SRST x8 only; the 166 MHz active serial clock source; an
// active serial reset pin. Part trait: voltage identification.
const int DEVICE_TRAIT_SRST_X8_ONLY = 60;
const int DEVICE_TRAIT_AS_166MHZ = 58;
const int FAMILY_WITH_166MHZ_CHECK = 29;

const int THRESHOLD_TEMPERATURE_MIN = 95;
const int THRESHOLD_TEMPERATURE_MAX = 120;

const char* const CB_IP_ATOM_TYPE = "MOVARSIXTEEN_CB_CORE";
const char* const CB_IO_CONFIGSEL = "i_io_configsel";

// The assignments that a user writes into a revision's settings file, by
// file category.
bool is_written_category(int category)
{
    return category == 4 || category == 5 || category == 9 || category == 24 || category == 25;
}

// The setting of the kind: the holder's own, else its global section's.
template <int KIND>
const HDB_DERIVED_OPTION<KIND, 0>* find_setting(const HDB_OPTION_INTERFACE* holder, int id)
{
    const HDB_DERIVED_OPTION<KIND, 0>* option = HDB_DERIVED_OPTION<KIND, 0>::get_single_option(holder, id, true);
    if (option == nullptr)
    {
        const HDB_SECTION* global = holder->find_section(GLOBAL_SETTINGS_SECTION_TYPE, "");
        if (global != nullptr)
            option = HDB_DERIVED_OPTION<KIND, 0>::get_single_option(global, id, true);
    }
    return option;
}

uint32_t init_clock_hz(uint16_t value)
{
    switch (value)
    {
    case INIT_CLOCK_25MHZ:
        return 25000000;
    case INIT_CLOCK_100MHZ:
        return 100000000;
    case INIT_CLOCK_125MHZ:
        return 125000000;
    default:
        return 0;
    }
}

// The setting value of the fitter's initialisation clock code.
uint16_t init_clock_of_fitter(int code)
{
    switch (code)
    {
    case 3:
        return INIT_CLOCK_25MHZ;
    case 4:
        return INIT_CLOCK_100MHZ;
    case 5:
        return INIT_CLOCK_125MHZ;
    default:
        return INIT_CLOCK_INTERNAL_OSCILLATOR;
    }
}

uint32_t active_serial_clock_hz(uint16_t value)
{
    if (value < AS_CLOCK_FIRST || value > AS_CLOCK_LAST)
        return 0;
    return AS_CLOCK_HZ[value - AS_CLOCK_FIRST];
}

// The setting value of the fitter's active serial clock code.
uint16_t active_serial_clock_of_fitter(int code)
{
    switch (code)
    {
    case 4:
        return 319;
    case 5:
        return 320;
    case 6:
        return 321;
    case 7:
        return 322;
    case 9:
        return 324;
    case 10:
        return 325;
    case 11:
        return 326;
    case 12:
        return 328;
    case 13:
        return 327;
    case 14:
        return 329;
    case 15:
        return 330;
    case 16:
        return 331;
    case 17:
        return 332;
    case 18:
        return 333;
    default:
        return AS_CLOCK_DEFAULT;
    }
}

}  // namespace

bool ASM_OPTION2::get_bool_option(int id, bool default_value) const
{
    const auto* option = find_setting<HDB_OPTION_KIND_BOOLEAN>(m_flat_cap, id);
    return option != nullptr ? option->get_value() : default_value;
}

uint16_t ASM_OPTION2::get_enum_option(int id, uint32_t default_value) const
{
    const auto* option = find_setting<HDB_OPTION_KIND_ENUM>(m_flat_cap, id);
    return option != nullptr ? option->get_enum_value() : static_cast<uint16_t>(default_value);
}

int32_t ASM_OPTION2::get_int_option(int id, int32_t default_value) const
{
    const auto* option = find_setting<HDB_OPTION_KIND_INTEGER>(m_flat_cap, id);
    return option != nullptr ? option->get_value() : default_value;
}

std::string ASM_OPTION2::get_string_option_or_default(int id, std::string default_value) const
{
    const auto* option = find_setting<HDB_OPTION_KIND_STRING>(m_flat_cap, id);
    return option != nullptr ? option->get_value() : default_value;
}

void ASM_OPTION2::get_string_option(int id, std::string& value) const
{
    const auto* option = find_setting<HDB_OPTION_KIND_STRING>(m_flat_cap, id);
    value = option != nullptr ? option->get_string_value() : std::string();
}

bool ASM_OPTION2::is_assignment_set(std::string name) const
{
    ACF_MANAGER* acf_manager = ACF_MANAGER::get_acf_manager();
    ASM_REQUIRE(acf_manager != NULL);
    const std::string project_path = acf_manager->get_project_full_path();
    const std::string extension = fio_get_extension(SETTINGS_FILE_EXTENSION);

    bool found = false;
    // Every revision counts: the setting may be written in any of them.
    for (const std::string& revision : acf_manager->get_list_of_revisions_for_project(project_path))
    {
        const FIO_PATH settings_file(project_path, revision, extension);
        if (!FIO_FILE_SYSTEM::exists(settings_file))
            continue;
        REVISION_WRITE_LOCK lock;
        if (!lock.taken())
            continue;
        for (const ACF_ASSIGNMENT& assignment :
             acf_manager->read_assignment_setting_file(settings_file.fullpath(), nullptr, true))
        {
            if (is_written_category(assignment.get_file_category()) && assignment.get_variable_string() == name)
            {
                found = true;
                break;
            }
        }
    }
    return found;
}

PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME ASM_OPTION2::get_configuration_scheme(uint16_t& scheme_value)
{
    const DEV_DEVICE_ENUM device = m_part_manager->get_device_of(m_chip->get_part_enum());
    if (m_part_manager->test_device_trait_of(device, DEVICE_TRAIT_SRST_X8_ONLY))
    {
        scheme_value = get_enum_option(OPTION_CONFIGURATION_SCHEME, SCHEME_SRST_X8);
        if (!is_assignment_set("BELMORAV_CONFIGURATION_SCHEME"))
        {
            scheme_value = SCHEME_SRST_X8;
            post_message(msg_WASM_ASM_W_UNSUPPORTED_CONFIGURATION_SCHEME(acf_enum_type_to_user_string(SCHEME_SRST_X8)));
        }
        else if (scheme_value != SCHEME_SRST_X8)
        {
            post_message(msg_EASM_ASM_UNSUPPORTED_CONFIGURATION_SCHEME(acf_enum_type_to_user_string(scheme_value),
                                                                        m_chip->get_device_name()));
        }
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x8;
    }

    scheme_value = get_enum_option(OPTION_CONFIGURATION_SCHEME, SCHEME_AS_X1);
    switch (scheme_value)
    {
    case SCHEME_AS_X4:
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_Active_Serial_x4;
    case SCHEME_SRST_X8:
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x8;
    case SCHEME_SRST_X16:
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x16;
    case SCHEME_SRST_X32:
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_SRST_x32;
    case SCHEME_INTERNAL:
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_Internal_Configuration;
    default:
        return PB::OPTIONS_DEVICE_CONFIGURATION_SCHEME_Active_Serial_x1;
    }
}

uint32_t ASM_OPTION2::get_init_clock()
{
    const uint16_t setting = get_enum_option(OPTION_INITIALIZATION_CLOCK, INIT_CLOCK_25MHZ);
    const uint16_t fitter = init_clock_of_fitter(m_chip->get_initialization_clock());
    if (fitter != setting)
        post_message(msg_EASM_ASM_MISMATCH_FIT_ASSIGNMENT("INITIALIZATION_CLOCK", acf_enum_type_to_string(fitter),
                                                          acf_enum_type_to_string(setting)));
    return init_clock_hz(setting);
}

uint32_t ASM_OPTION2::get_active_serial_clock()
{
    bool refuse_166mhz = false;
    if (m_chip->get_base_family_enum() == FAMILY_WITH_166MHZ_CHECK)
    {
        const DEV_DEVICE_ENUM device = m_part_manager->get_device_of(m_chip->get_part_enum());
        refuse_166mhz = !m_part_manager->test_device_trait_of(device, DEVICE_TRAIT_AS_166MHZ);
    }

    uint16_t value = AS_CLOCK_DEFAULT;
    if (is_assignment_set("ACTIVE_SERIAL_CLOCK"))
    {
        value = get_enum_option(OPTION_ACTIVE_SERIAL_CLOCK, AS_CLOCK_DEFAULT);
    }
    else
    {
        // Unwritten, the clock follows from the initialisation clock.
        const uint16_t init_clock = get_enum_option(OPTION_INITIALIZATION_CLOCK, INIT_CLOCK_INTERNAL_OSCILLATOR);
        const char* related =
            acf_relate_to_variable_type_enum(OPTION_ACTIVE_SERIAL_CLOCK, OPTION_INITIALIZATION_CLOCK, init_clock);
        if (related != nullptr)
            value = acf_string_to_enum_type_enum(related);
    }

    const uint16_t scheme = get_enum_option(OPTION_CONFIGURATION_SCHEME, SCHEME_AS_X4);
    if (scheme == SCHEME_AS_X1 || scheme == SCHEME_AS_X4)
    {
        const uint16_t fitter = active_serial_clock_of_fitter(m_chip->get_active_serial_clock());
        if (fitter != value)
            post_message(msg_EASM_ASM_MISMATCH_FIT_ASSIGNMENT("ACTIVE_SERIAL_CLOCK", acf_enum_type_to_string(fitter),
                                                              acf_enum_type_to_string(value)));
    }

    if (value == AS_CLOCK_166MHZ && refuse_166mhz)
    {
        post_message(msg_EASM_ASM_UNSUPPORTED_CLOCK_SOURCE("AS_FREQ_166MHZ", m_chip->get_device_name()));
        return 0;
    }
    return active_serial_clock_hz(value);
}

int32_t ASM_OPTION2::get_threshold_temp()
{
    const int32_t threshold = get_int_option(OPTION_THRESHOLD_TEMPERATURE, THRESHOLD_TEMPERATURE_MAX);
    if (threshold < THRESHOLD_TEMPERATURE_MIN || threshold > THRESHOLD_TEMPERATURE_MAX)
    {
        asm_debug_log(2, "%s", "Error: Threshold temperature should be in range of 95-120 degree celsius.");
        post_message(msg_EASM_ASM_INVALID_TEMPERATURE_RANGE());
    }
    return threshold;
}

void ASM_OPTION2::find_cb_io_configsel()
{
    CDB_ATOM_NETLIST* atom_netlist = m_chip->get_atom_netlist();
    ASM_REQUIRE(atom_netlist != NULL);
    // Every Configuration Block is looked at; a later one's value wins.
    for (auto it = atom_netlist->begin_raw_node_list(); it != atom_netlist->end_raw_node_list(); ++it)
    {
        const CDB_ATOM_NODE* atom = *it;
        if (atom == nullptr || atom->type() != CB_IP_ATOM_TYPE)
            continue;
        m_cb_ip_found = true;
        asm_debug_log(2, "%s", "Found CB IP in the atom netlist");
        std::unique_ptr<CUT_UTIL> cut_util(CUT_UTIL::create(m_chip->get_base_family_enum()));
        ASM_REQUIRE(cut_util != 0);
        std::vector<CUT_PARAMETER> parameters;
        cut_util->get_parameter_util()->get_parameter_list(atom, parameters);
        for (const CUT_PARAMETER& parameter : parameters)
        {
            if (parameter.name != CB_IO_CONFIGSEL)
                continue;
            m_io_configsel_found = true;
            const std::string line = safe_sprintf("Found i_io_configsel parameter with val : %s ", parameter.value);
            asm_debug_log(2, "%s", line.c_str());
            m_io_configsel = parameter.value;
        }
    }
}
