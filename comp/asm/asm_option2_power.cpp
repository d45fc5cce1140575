// The option block's power management (the PMBus record: mode, delays,
// regulator type and addresses, voltage output format, the VID decision and
// the output voltage limits) and its SEU and scrubbing options.
#include "asm_option2.h"

#include "asm_common.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <acf.h>
#include <cdb.h>
#include <cfg.h>
#include <zhd.h>

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <locale>
#include <memory>
#include <sstream>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

namespace
{

// Settings of the power management.
const int OPTION_MODE = 789;
const uint16_t MODE_DEFAULT = 201;
const uint16_t MODE_SLAVE = 200;
const int OPTION_TABLE_VERSION = 1444;
const int OPTION_VOLTAGE_STABLE_DELAY = 1445;
const int OPTION_FPGA_RELEASE_DELAY = 1446;
const int OPTION_INITIAL_DELAY = 1447;
const int OPTION_BUS_SPEED = 1448;
const uint16_t BUS_SPEED_DEFAULT = 542;
const uint16_t BUS_SPEED_400KHZ = 543;
const int OPTION_SLAVE_DEVICE_TYPE = 1449;
const uint16_t SLAVE_DEVICE_TYPE_DEFAULT = 547;
const uint16_t SLAVE_DEVICE_TYPE_OTHER = 558;
const int OPTION_SLAVE_MODE_ADDRESS = 1450;
const int OPTION_DEVICE0_ADDRESS = 1451;
const int OPTION_DEVICE1_ADDRESS = 1452;
const int OPTION_DEVICE2_ADDRESS = 1453;
const int OPTION_VOUT_FORMAT = 1459;
const uint16_t VOUT_FORMAT_AUTO = 559;
const uint16_t VOUT_FORMAT_DIRECT = 560;
const uint16_t VOUT_FORMAT_LINEAR = 561;
const int OPTION_DIRECT_M = 1460;
const int OPTION_DIRECT_B = 1461;
const int OPTION_DIRECT_R = 1462;
const int OPTION_LINEAR_N = 1463;
const int OPTION_VOLTAGE_UNIT = 1464;
const uint16_t VOLTAGE_UNIT_DEFAULT = 563;
const uint16_t VOLTAGE_UNIT_MILLIVOLTS = 562;
const int OPTION_PAGE_COMMAND_ENABLE = 1469;
const int OPTION_VOUT_READING_ERR_MARGIN = 1470;
const int OPTION_PAGE_COMMAND_PAYLOAD = 1558;
const int OPTION_REGULATOR_COUNT = 1577;
const uint16_t REGULATOR_COUNT_DEFAULT = 591;
const int OPTION_DISABLE_VID = 1584;
const int OPTION_PMF_DIAGNOSTIC = 1585;
const int OPTION_CONFIGURATION_SCHEME = 788;
const uint16_t SCHEME_AS_X1 = 192;
const uint16_t SCHEME_AS_X4 = 193;

// Pins that VID needs.
const int OPTION_CONF_DONE_PIN = 790;
const int OPTION_SCL_PIN = 791;
const int OPTION_SDA_PIN = 792;
const int OPTION_ALERT_PIN = 793;

// Settings of the SEU options.
const int OPTION_SEU_ENABLE = 1161;
const int OPTION_SEU_AUTO_CORRECTION = 865;
const int OPTION_SEU_MIN_INTERVAL = 864;
const int OPTION_SEU_FAULT_INJECTION = 1162;
const int OPTION_SEU_EXTERNAL_CORRECTION = 1582;
const int OPTION_SEU_PIN_BEHAVIOR = 1586;
const uint16_t SEU_PIN_ONLY_UNCORRECTABLE = 598;
const uint16_t SEU_PIN_ANY = 599;
const int OPTION_SEU_ERROR_PIN = 796;
const int OPTION_ENABLE_STATUS_BYTE = 1583;

const DEV_FAMILY FAMILY_29 = 29;
const DEV_FAMILY FAMILY_WITH_PMF_DIAGNOSTIC = 67;
const DEV_FAMILY FAMILY_28 = 28;
const DEV_FAMILY FAMILY_WITH_EXTERNAL_SCRUBBING = 67;

const uint32_t ALL_0X3F_ADDRESS = 0x3F;
const int ALL_0X3F_COUNT = 7;
const char* const BYPASS_VID_SWITCH = "bypass_vid_when_pmbus_mode_master_all_slave_address_3f";

// The lowest and highest regulator output voltage of the device, in volts.
const double VOUT_MIN_VOLTS = 0.679;
const double VOUT_MAX_VOLTS = 0.927;
const int32_t VOUT_LIMIT = 0xFFFF;

void log_line(const std::string& line) { asm_debug_log(2, "%s", line.c_str()); }

// The name that debug lines give a setting: its variable name, else its id.
std::string setting_name(int option_id)
{
    const std::string name = acf_variable_type_to_string(option_id);
    return name.empty() ? "option " + std::to_string(option_id) : name;
}

// A setting's text as a decimal integer (leading blanks, a sign, the digits
// up to the first other character). Empty text gives 0; a text without
// digits gives 0 and a value beyond 32 bits saturates, each with a debug
// line that names the setting.
int32_t setting_integer(int option_id, const std::string& text)
{
    size_t pos = 0;
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    if (pos == text.size())
        return 0;
    const bool negative = text[pos] == '-';
    if (text[pos] == '-' || text[pos] == '+')
        ++pos;
    if (pos == text.size() || !std::isdigit(static_cast<unsigned char>(text[pos])))
    {
        log_line(safe_sprintf("SDM_OPTION: Warning: %s value \"%s\" is not a number, 0 is used",
                              setting_name(option_id).c_str(), text.c_str()));
        return 0;
    }
    int64_t value = 0;
    bool saturated = false;
    for (; pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos])); ++pos)
    {
        value = value * 10 + (text[pos] - '0');
        if (value > static_cast<int64_t>(INT32_MAX) + 1)
        {
            saturated = true;
            value = static_cast<int64_t>(INT32_MAX) + 1;
        }
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
    {
        value = INT32_MAX;
        saturated = true;
    }
    if (saturated)
        log_line(safe_sprintf("SDM_OPTION: Warning: %s value \"%s\" is out of range, %d is used",
                              setting_name(option_id).c_str(), text.c_str(), static_cast<int>(value)));
    return static_cast<int32_t>(value);
}

// A setting's text as a floating-point number, read in the C locale. A text
// that is not a number (empty included) gives 0 with a debug line.
double setting_number(int option_id, const std::string& text)
{
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    double value = 0.0;
    in >> value;
    if (in.fail() && value == 0.0)
    {
        log_line(safe_sprintf("SDM_OPTION: Warning: %s value \"%s\" is not a number, 0 is used",
                              setting_name(option_id).c_str(), text.c_str()));
        return 0.0;
    }
    return value;
}

// Truncation toward zero to 32 bits; a value outside the range (or NaN)
// gives INT32_MIN, as the processor's own conversion does.
int32_t truncate_to_int32(double value)
{
    if (std::isnan(value) || value >= 2147483648.0 || value <= -2147483649.0)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

// A hexadecimal address text as a 32-bit long: empty or invalid text gives
// 0, a value beyond 32 bits is clamped.
long address_value(const std::string& text)
{
    const long long value = std::strtoll(text.c_str(), nullptr, 16);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<long>(value);
}

// The slot number in a variable name: its decimal digits, in order.
int slot_index_of(const std::string& name)
{
    int index = 0;
    for (char c : name)
        if (std::isdigit(static_cast<unsigned char>(c)))
            index = index > (INT_MAX - 9) / 10 ? INT_MAX : index * 10 + (c - '0');
    return index;
}

// A pin setting is present when its text ends in a digit (SDM_IO<n>).
bool pin_present(const std::string& text)
{
    return !text.empty() && std::isdigit(static_cast<unsigned char>(text.back()));
}

// The VID requirements' warning: created at the first failure, posted once.
class VID_WARNING
{
public:
    void fail(const char* setting)
    {
        if (!m_warning)
            m_warning.reset(msg_WASM_ASM_VID_INCOMPLETE_PWMGT_SETTING());
        if (setting != nullptr)
            m_warning->add_sub_message(msg_WASM_ASM_VID_MISSING_PWMGT_SETTING(setting));
    }
    void post()
    {
        if (m_warning)
            post_message(m_warning.release());
    }

private:
    std::unique_ptr<MSG_BASE> m_warning;
};

}  // namespace

PB::OPTIONS_POWER_MANAGEMENT_SLAVE_DEVICE_TYPE ASM_OPTION2::get_slave_device_type() const
{
    const uint16_t value = get_enum_option(OPTION_SLAVE_DEVICE_TYPE, SLAVE_DEVICE_TYPE_DEFAULT);
    switch (value)
    {
    case 544:
        return PB::OPTIONS_POWER_MANAGEMENT::VX5310;
    case 545:
        return PB::OPTIONS_POWER_MANAGEMENT::VX63XX;
    case 546:
        return PB::OPTIONS_POWER_MANAGEMENT::VX64XX;
    case 547:
        return PB::OPTIONS_POWER_MANAGEMENT::LTM4677;
    case 548:
        return PB::OPTIONS_POWER_MANAGEMENT::LTC3888;
    case 550:
        return PB::OPTIONS_POWER_MANAGEMENT::ISL682XX;
    case 551:
        return PB::OPTIONS_POWER_MANAGEMENT::LTC3882;
    case 552:
        return PB::OPTIONS_POWER_MANAGEMENT::TPS53676;
    case 553:
        return PB::OPTIONS_POWER_MANAGEMENT::ISL681XX;
    case 554:
        return PB::OPTIONS_POWER_MANAGEMENT::ISL69260;
    case 555:
        return PB::OPTIONS_POWER_MANAGEMENT::PXE1410CDM_G005;
    case 556:
        return PB::OPTIONS_POWER_MANAGEMENT::XDPE12284C;
    case 557:
        return PB::OPTIONS_POWER_MANAGEMENT::XDPE15284D;
    case 558:
        return PB::OPTIONS_POWER_MANAGEMENT::OTHER;
    default:
        log_line(safe_sprintf("DM_OPTION: Error: Unsupported PWRMGT_SLAVE_DEVICE_TYPE enum: %d", value));
        return PB::OPTIONS_POWER_MANAGEMENT::LTM4677;
    }
}

PB::OPTIONS_POWER_MANAGEMENT_VOUT_FORMAT ASM_OPTION2::get_vout_format()
{
    switch (get_enum_option(OPTION_VOUT_FORMAT, VOUT_FORMAT_AUTO))
    {
    case VOUT_FORMAT_AUTO:
        if (m_chip->get_base_family_enum() == FAMILY_29 && is_assignment_set("PWRMGT_SLAVE_DEVICE_TYPE"))
            post_message(msg_EASM_INVALID_VOLTAGE_OUTPUT_FORMAT("Auto discovery"));
        return PB::OPTIONS_POWER_MANAGEMENT::AUTO;
    case VOUT_FORMAT_DIRECT:
        return PB::OPTIONS_POWER_MANAGEMENT::DIRECT;
    case VOUT_FORMAT_LINEAR:
        return PB::OPTIONS_POWER_MANAGEMENT::LINEAR;
    default:
        return PB::OPTIONS_POWER_MANAGEMENT::AUTO;
    }
}

void ASM_OPTION2::populate_slave_addresses(int option_id, PB::OPTIONS_POWER_MANAGEMENT* power, bool spare_slot)
{
    const std::string name = acf_variable_type_to_string(option_id);
    const int index = option_id == OPTION_SLAVE_MODE_ADDRESS ? 0 : slot_index_of(name);

    std::string text;
    if (m_chip->get_base_family_enum() == FAMILY_29 && spare_slot)
    {
        // A spare slot takes the default-settings file's value, which must
        // be a 7-bit address of at most two hexadecimal digits.
        text = ACF_MANAGER::get_acf_manager()->get_assignment_default_value(option_id);
        const long value = address_value(text);
        const bool valid = text.size() <= 2 && value >= 0 && value < 128 && (value != 0 || text == "00" || text == "0");
        if (!valid)
            post_message(msg_EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS_ZDF_INPUT(name));
    }
    else
    {
        get_string_option(option_id, text);
    }

    const long value = address_value(text);
    PB::OPTIONS_POWER_MANAGEMENT_SLAVE_ADDRESS* entry =
        index < power->slave_address_size() ? power->mutable_slave_address(index) : power->add_slave_address();
    entry->set_slave_address(static_cast<uint32_t>(value));

    if (index == 0)
        m_device0_slave_address = text;
    else if (get_slave_device_type() == PB::OPTIONS_POWER_MANAGEMENT::LTM4677 && m_device0_slave_address == "4F" &&
             text != "00")
        post_message(msg_EASM_ASM_OPTION2_INVALID_SLAVE_ADDRESS(name, "SLAVE_DEVICE_TYPE_LTM4677"));

    log_line(safe_sprintf("PWRMGT_SLAVE_ADDRESS %s = %s l= %ld slave_index = %d", name.c_str(), text.c_str(), value,
                          index));
}

bool ASM_OPTION2::populate_power_management(PB::OPTIONS_SDM* sdm)
{
    PB::OPTIONS_POWER_MANAGEMENT* power = sdm->mutable_power_management();

    if (get_int_option(OPTION_TABLE_VERSION, 1) != 1)
        post_message(msg_WASM_ASM_OPTION2_RESTRICTED_ZSF("PWRMGT_TABLE_VERSION"));
    power->set_version(1);

    const bool slave_mode = get_enum_option(OPTION_MODE, MODE_DEFAULT) == MODE_SLAVE;
    power->set_mode(slave_mode ? PB::OPTIONS_POWER_MANAGEMENT::PMBUS_SLAVE : PB::OPTIONS_POWER_MANAGEMENT::PMBUS_MASTER);
    power->set_voltage_stable_delay_millis(static_cast<uint32_t>(get_int_option(OPTION_VOLTAGE_STABLE_DELAY, 10)));
    power->set_fpga_release_delay_millis(static_cast<uint32_t>(get_int_option(OPTION_FPGA_RELEASE_DELAY, 10)));
    power->set_initial_delay_millis(static_cast<uint32_t>(get_int_option(OPTION_INITIAL_DELAY, 0)));
    power->set_bus_speed_mode_khz(get_enum_option(OPTION_BUS_SPEED, BUS_SPEED_DEFAULT) == BUS_SPEED_400KHZ
                                      ? PB::OPTIONS_POWER_MANAGEMENT::speed_400_KHz
                                      : PB::OPTIONS_POWER_MANAGEMENT::speed_100_KHz);
    power->set_slave_device_type(get_slave_device_type());

    // The regulator addresses: device 0, then devices 1 to 7, each slot
    // beyond the regulator count marked spare.
    const std::string count_text = acf_enum_type_to_string(get_enum_option(OPTION_REGULATOR_COUNT, REGULATOR_COUNT_DEFAULT));
    const int count = count_text == "ALL" ? 8 : setting_integer(OPTION_REGULATOR_COUNT, count_text);
    populate_slave_addresses(slave_mode ? OPTION_SLAVE_MODE_ADDRESS : OPTION_DEVICE0_ADDRESS, power, false);
    populate_slave_addresses(OPTION_DEVICE1_ADDRESS, power, count < 2);
    for (int i = 0; i < 6; ++i)
        populate_slave_addresses(OPTION_DEVICE2_ADDRESS + i, power, count <= i + 2);

    std::string m_text;
    std::string b_text;
    std::string r_text;
    std::string n_text;
    get_string_option(OPTION_DIRECT_M, m_text);
    get_string_option(OPTION_DIRECT_B, b_text);
    get_string_option(OPTION_DIRECT_R, r_text);
    get_string_option(OPTION_LINEAR_N, n_text);
    const int32_t m = setting_integer(OPTION_DIRECT_M, m_text);
    const int32_t n = setting_integer(OPTION_LINEAR_N, n_text);
    PB::OPTIONS_POWER_MANAGEMENT_DIRECT_FORMAT* direct = power->mutable_direct_format();
    direct->set_m(m);
    direct->set_b(setting_integer(OPTION_DIRECT_B, b_text));
    direct->set_r(setting_integer(OPTION_DIRECT_R, r_text));
    // Read once: its refusal is posted once a run.
    const PB::OPTIONS_POWER_MANAGEMENT_VOUT_FORMAT vout_format = get_vout_format();
    power->set_vout_format(vout_format);
    power->set_linear_format_n(n);
    const bool millivolts = get_enum_option(OPTION_VOLTAGE_UNIT, VOLTAGE_UNIT_DEFAULT) == VOLTAGE_UNIT_MILLIVOLTS;
    power->set_voltage_unit(millivolts ? PB::OPTIONS_POWER_MANAGEMENT::MILLIVOLTS : PB::OPTIONS_POWER_MANAGEMENT::VOLTS);

    int32_t payload = get_int_option(OPTION_PAGE_COMMAND_PAYLOAD, 255);
    if (payload < 0 || payload > 255)
    {
        log_line(safe_sprintf("SDM_OPTION: Warning: page_command_payload:%d is out of the range 0 - 255",
                              static_cast<unsigned>(payload)));
        post_message(msg_WASM_ASM_OPTION2_INVALID_PAGE_COMMAND_PAYLOAD_VALUE(payload));
        payload = 255;
    }
    const bool page_command = get_bool_option(OPTION_PAGE_COMMAND_ENABLE, false);
    if (!page_command)
        log_line(safe_sprintf("SDM_OPTION: Warning: page_command_payload:%d will be ignored when page_command_enable is "
                              "false",
                              static_cast<unsigned>(payload)));
    power->set_page_command_payload(static_cast<uint32_t>(payload));
    power->set_page_command_enable(page_command);

    const int32_t margin = get_int_option(OPTION_VOUT_READING_ERR_MARGIN, 8);
    power->set_vout_reading_err_margin(static_cast<uint32_t>(margin));
    if (static_cast<uint32_t>(margin) > 8)
    {
        log_line(safe_sprintf("SDM_OPTION: Warning: vout_reading_err_margin:%d out of range. The valid range is 0-8",
                              static_cast<unsigned>(margin)));
        post_message(msg_WASM_ASM_OPTION2_INVALID_VOUT_READING_ERR_MARGIN(margin));
    }

    // VID requirements: each missing setting turns VID off (all but the
    // CONF_DONE pin) and is named in one warning.
    bool vid_enable = false;
    PB::OPTIONS_POWER_MANAGEMENT_VID_MODE vid_mode = PB::OPTIONS_POWER_MANAGEMENT::NOT_VID_PART;
    if (is_vid_part())
    {
        vid_enable = true;
        vid_mode = PB::OPTIONS_POWER_MANAGEMENT::ENABLE;
        VID_WARNING warning;
        auto disable = [&](const char* setting, const char* line) {
            warning.fail(setting);
            vid_enable = false;
            vid_mode = PB::OPTIONS_POWER_MANAGEMENT::DISABLE_ON_VID_PART;
            log_line(line);
        };
        std::string pin;
        get_string_option(OPTION_SCL_PIN, pin);
        if (!pin_present(pin))
            disable("SDM PWRMGT SCL output", "SDM_OPTION: VID disable because missing SDM PWRMGT SCL output");
        get_string_option(OPTION_SDA_PIN, pin);
        if (!pin_present(pin))
            disable("SDM PWRMGT SDA output", "SDM_OPTION: VID disable because missing SDM PWRMGT SDA output");
        if (slave_mode && !cfg_is_on("force_pwrmgt_alert_pin_off", false))
        {
            get_string_option(OPTION_ALERT_PIN, pin);
            if (!pin_present(pin))
                disable("SDM PWRMGT Alert output", "SDM_OPTION: VID disable because missing SDM PWRMGT Alert output");
        }
        if (!cfg_is_on("force_conf_done_pin_off", false))
        {
            const uint16_t scheme = get_enum_option(OPTION_CONFIGURATION_SCHEME, SCHEME_AS_X4);
            get_string_option(OPTION_CONF_DONE_PIN, pin);
            if (scheme != SCHEME_AS_X1 && scheme != SCHEME_AS_X4 && !pin_present(pin))
                warning.fail("SDM CONF_DONE output");
        }
        if (power->slave_address_size() == 0)
            disable(nullptr, "SDM_OPTION: VID disable because PWRMGT slave address list empty");
        else if (power->slave_address(0).slave_address() == 0)
            disable(slave_mode ? "Device address in PMBus slave mode" : "PMBus device 0 slave address",
                    "SDM_OPTION: VID disable because slave address 0 is set with invalid value - 0");
        if (!slave_mode && vout_format == PB::OPTIONS_POWER_MANAGEMENT::DIRECT && m == 0)
            disable("Direct format coefficient m", "SDM_OPTION: VID disable because coefficient M is set with invalid "
                                                   "value - 0 in PMBus Master and direct vout format");
        if (!slave_mode && vout_format == PB::OPTIONS_POWER_MANAGEMENT::LINEAR && n == 0)
            disable("Linear format n", "SDM_OPTION: VID disable because linear format N is set with invalid value - 0 "
                                       "in PMBus Master and LINEAR format");
        warning.post();
    }

    // VID overrides. Seven 0x3F addresses in master mode are allowed only
    // with the bypass switch on.
    bool all_0x3f = !slave_mode && power->slave_address_size() >= ALL_0X3F_COUNT;
    for (int i = 0; all_0x3f && i < ALL_0X3F_COUNT; ++i)
        all_0x3f = power->slave_address(i).slave_address() == ALL_0X3F_ADDRESS;
    bool bypass = cfg_is_on(BYPASS_VID_SWITCH, false);
    if (!bypass && cfg_has_value(BYPASS_VID_SWITCH))
        log_line("SDM_OPTION: INI variable bypass_vid_when_pmbus_mode_master_all_slave_address_3f is used without "
                 "permisson");
    if (bypass)
    {
        if (!all_0x3f)
        {
            log_line("SDM_OPTION: INI:bypass_vid_when_pmbus_mode_master_all_slave_address_3f is ignored because use "
                     "scenario requirement not met");
            internal_error("SDM_OPTION: INI:bypass_vid_when_pmbus_mode_master_all_slave_address_3f is used in incorrect "
                           "scenario",
                           ASM_SOURCE_TAG, __LINE__);
        }
        vid_enable = true;
        vid_mode = PB::OPTIONS_POWER_MANAGEMENT::ENABLE;
        log_line("SDM_OPTION: vid_enable is set on ON because of "
                 "INI:bypass_vid_when_pmbus_mode_master_all_slave_address_3f and all requirements met");
    }
    else if (all_0x3f)
    {
        log_line("SDM_OPTION: A illegal VID use senario is entered without appropriate permission");
        internal_error("SDM_OPTION: A illegal VID use senario is entered without appropriate permission",
                       ASM_SOURCE_TAG, __LINE__);
    }
    if (cfg_is_on("force_vid_on", false))
    {
        vid_enable = true;
        vid_mode = PB::OPTIONS_POWER_MANAGEMENT::ENABLE;
    }
    if (cfg_is_on("force_vid_off", false))
    {
        vid_enable = false;
        vid_mode = PB::OPTIONS_POWER_MANAGEMENT::NOT_VID_PART;
    }
    else if (vid_enable && m_chip->get_user_family_enum() == FAMILY_WITH_PMF_DIAGNOSTIC &&
             get_bool_option(OPTION_DISABLE_VID, false))
    {
        vid_enable = false;
        vid_mode = PB::OPTIONS_POWER_MANAGEMENT::NOT_VID_PART;
        log_line("SDM_OPTION: Warning - ZSF assignment DISABLE_VID is set, hence setting vid_enable as false");
    }
    power->set_vid_enable(vid_enable);
    power->set_vid_mode(vid_mode);

    // Output voltage limits in the regulator's format (family 29 only).
    int32_t vout_min = 0;
    int32_t vout_max = 0;
    if (m_chip->get_base_family_enum() == FAMILY_29 && vout_format != PB::OPTIONS_POWER_MANAGEMENT::AUTO)
    {
        const double scale = millivolts ? 1000.0 : 1.0;
        const double low = VOUT_MIN_VOLTS * scale;
        const double high = VOUT_MAX_VOLTS * scale;
        if (vout_format == PB::OPTIONS_POWER_MANAGEMENT::DIRECT)
        {
            const double m_value = setting_number(OPTION_DIRECT_M, m_text);
            const double b_value = setting_number(OPTION_DIRECT_B, b_text);
            const double power_of_ten = std::pow(10.0, setting_number(OPTION_DIRECT_R, r_text));
            vout_min = truncate_to_int32((m_value * low + b_value) * power_of_ten);
            vout_max = truncate_to_int32((m_value * high + b_value) * power_of_ten);
        }
        else
        {
            const double power_of_two = std::pow(2.0, setting_number(OPTION_LINEAR_N, n_text));
            vout_min = truncate_to_int32(low / power_of_two);
            vout_max = truncate_to_int32(high / power_of_two);
        }
    }
    if (vout_min < 0 || vout_min > VOUT_LIMIT)
        post_message(msg_EASM_ASM_INVALID_VOUT_RANGE());
    if (vout_max < 0 || vout_max > VOUT_LIMIT)
        post_message(msg_EASM_ASM_INVALID_VOUT_RANGE());
    power->set_vout_min(vout_min);
    power->set_vout_max(vout_max);

    // The diagnostic boot of the regulators.
    const DEV_FAMILY user_family = m_chip->get_user_family_enum();
    if (user_family == FAMILY_WITH_PMF_DIAGNOSTIC ||
        ((user_family == FAMILY_28 || user_family == FAMILY_29) && cfg_is_on("enable_diagnostic_boot_checkbox", false)))
    {
        const bool diagnostic = get_bool_option(OPTION_PMF_DIAGNOSTIC, false);
        power->set_enable_pmf_diag(diagnostic);
        if (diagnostic)
            post_message(msg_WASM_ASM_ENABLED_PMF_DIAGNOSTIC());
    }
    return true;
}

void ASM_OPTION2::populate_seu_options(PB::OPTIONS_SDM* sdm)
{
    sdm->set_seu_enable(get_bool_option(OPTION_SEU_ENABLE, false));
    sdm->set_seu_auto_correction_enable(get_bool_option(OPTION_SEU_AUTO_CORRECTION, false));
    sdm->set_seu_min_interval(static_cast<uint32_t>(get_int_option(OPTION_SEU_MIN_INTERVAL, 10000)));
    sdm->set_seu_fault_injection(get_bool_option(OPTION_SEU_FAULT_INJECTION, false));

    if (m_chip->get_user_family_enum() == FAMILY_WITH_EXTERNAL_SCRUBBING)
    {
        const bool external = get_bool_option(OPTION_SEU_EXTERNAL_CORRECTION, false);
        sdm->set_seu_external_correction_enable(external);
        if (external && ZHD_DESIGN_UTILS::has_pr_partition(ZHD_ROOT::get()->get_design("")))
        {
            log_line("Error: external scrubbing should not be enabled for a pr design.");
            post_message(msg_EASM_ASM_SEU_ENABLE_EXTERNAL_SCRUBBING_PR_DESIGN());
        }
        const uint16_t behavior = get_enum_option(OPTION_SEU_PIN_BEHAVIOR, SEU_PIN_ONLY_UNCORRECTABLE);
        if (behavior == SEU_PIN_ONLY_UNCORRECTABLE)
            sdm->set_seu_detected_pin_behavior(PB::OPTIONS_SDM::ONLY_UNCORRECTABLE_SEU_ERROR);
        else if (behavior == SEU_PIN_ANY)
            sdm->set_seu_detected_pin_behavior(PB::OPTIONS_SDM::ANY_SEU_ERROR);
    }

    if (m_chip->get_base_family_enum() == FAMILY_29)
    {
        PB::OPTIONS_POWER_MANAGEMENT* power = sdm->mutable_power_management();
        if (get_enum_option(OPTION_SLAVE_DEVICE_TYPE, SLAVE_DEVICE_TYPE_DEFAULT) == SLAVE_DEVICE_TYPE_OTHER &&
            !is_assignment_set("ENABLE_STATUS_BYTE"))
        {
            // Unwritten, the status byte follows the regulator type's default.
            const char* related = acf_relate_to_variable_type_enum(OPTION_ENABLE_STATUS_BYTE, OPTION_SLAVE_DEVICE_TYPE,
                                                                   SLAVE_DEVICE_TYPE_OTHER);
            power->set_enable_status_byte(related != nullptr &&
                                          setting_integer(OPTION_ENABLE_STATUS_BYTE, related) != 0);
        }
        else
        {
            power->set_enable_status_byte(get_bool_option(OPTION_ENABLE_STATUS_BYTE, true));
        }
        return;
    }

    if (sdm->seu_enable())
        return;
    std::string pin;
    get_string_option(OPTION_SEU_ERROR_PIN, pin);
    if (pin_present(pin))
    {
        size_t first_digit = pin.size();
        while (first_digit > 0 && std::isdigit(static_cast<unsigned char>(pin[first_digit - 1])))
            --first_digit;
        const int number = setting_integer(OPTION_SEU_ERROR_PIN, pin.substr(first_digit));
        log_line(safe_sprintf("Error: SEU_ERROR output is assgined to SDM_IO%d but SEU error detection is not enabled",
                              number));
        post_message(msg_EASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_STATUS());
    }
    if (sdm->seu_auto_correction_enable())
    {
        log_line("Warning: Error correction is enabled but SEU error detection is not enabled");
        post_message(msg_WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_SCRUBBING());
    }
    if (sdm->seu_fault_injection())
    {
        log_line("Warning: fault injection is allowed but SEU error detection is not enabled");
        post_message(msg_WASM_ASM_SEU_MISSING_ERROR_DETECTION_ENABLE_FOR_FAULT_INJECTION());
    }
}
