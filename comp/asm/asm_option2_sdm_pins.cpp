// The SDM pin functions of the option block: which function each of the 17
// SDM I/O pins carries (the user-assigned status and control functions and
// the pins of the configuration scheme), the conflicts between them and the
// additional QSPI flash chip select.
#include "asm_option2.h"

#include "asm_common.h"
#include "asm_messages.h"
#include "asm_util.h"

#include <cdb.h>
#include <dev.h>

#include <climits>

#define ASM_SOURCE_TAG "comp/asm/asm_option2"

namespace
{

const char* const FREE_PIN = "NA";
const int HIGHEST_SDM_PIN = 16;

// The setting that names the pin of the additional QSPI flash chip select.
const int OPTION_QSPI_CHIP_SELECT_PIN = 1281;
const char* const QSPI_CHIP_SELECT_FUNCTION = "AS_nCSO";

const int PART_TRAIT_VID = 32;
const int DEVICE_TRAIT_AS_RESET_PIN = 62;
const int FAMILY_29 = 29;
const int FAMILY_52 = 52;

const uint16_t SCHEME_AS_X1 = 192;
const uint16_t SCHEME_AS_X4 = 193;
const uint16_t SCHEME_SRST_X8 = 196;
const uint16_t SCHEME_SRST_X16 = 197;
const uint16_t SCHEME_SRST_X32 = 198;

struct USER_PIN
{
    int setting;
    const char* function;
    bool vid_only;
};

// The user-assignable functions, in the order they are placed.
const USER_PIN USER_PINS[] = {
    {791, "PWRMGT_SCL", true},
    {792, "PWRMGT_SDA", true},
    {793, "PWRMGT_ALERT", true},
    {790, "CONF_DONE", false},
    {794, "INIT_DONE", false},
    {795, "CVP_DONE", false},
    {796, "SEU_ERROR", false},
    {797, "nHPS_COLD_RESET", false},
    {798, "nHPS_WARM_RESET", false},
    {801, "CATTRIP", false},
    {802, "nCATTRIP", false},
    {808, "DATA_UNLOCK", false},
    {806, "PCIE_CALIB_START", false},
    {807, "LOADFACTORY", false},
    {804, "TAMPERDETECTION", false},
    {805, "TAMPERZEROIZATIONSTATUS", false},
};

struct PIN_FUNCTION
{
    int pin;
    const char* function;
};

const PIN_FUNCTION AS_X1_PINS[] = {{2, "AS_CLK"}, {4, "AS_DATA0"}, {5, "AS_nCSO0"}};
const PIN_FUNCTION AS_X4_PINS[] = {{7, "AS_nCSO2"}, {8, "AS_nCSO3"}, {9, "AS_nCSO1"},
                                   {1, "AS_DATA1"}, {3, "AS_DATA2"}, {6, "AS_DATA3"},
                                   {2, "AS_CLK"},   {4, "AS_DATA0"}, {5, "AS_nCSO0"}};
const PIN_FUNCTION AS_RESET_PIN = {15, "AS_RESET"};
const PIN_FUNCTION SRST_X8_PINS[] = {{1, "SRSTx8_DATA2"},  {2, "SRSTx8_DATA0"},  {3, "SRSTx8_DATA3"},
                                     {4, "SRSTx8_DATA1"},  {6, "SRSTx8_DATA4"},  {8, "SRSTx8_READY"},
                                     {10, "SRSTx8_DATA7"}, {11, "SRSTx8_VALID"}, {13, "SRSTx8_DATA5"},
                                     {14, "SRSTx8_CLK"},   {15, "SRSTx8_DATA6"}};
// SRST x16 and x32 on family 29 with an additional QSPI flash.
const PIN_FUNCTION QSPI_DATA_PINS[] = {{1, "AS_DATA1"}, {3, "AS_DATA2"}, {6, "AS_DATA3"}, {2, "AS_CLK"}, {4, "AS_DATA0"}};
const PIN_FUNCTION SRST_READY_PIN = {8, "SRSTx8_READY"};
// The chip selects of the additional QSPI flash.
const PIN_FUNCTION QSPI_CHIP_SELECT_PINS[] = {{5, "AS_nCSO0"}, {9, "AS_nCSO1"}, {7, "AS_nCSO2"}, {8, "AS_nCSO3"}};

bool is_srst_x16_or_x32(uint16_t scheme_value)
{
    return scheme_value == SCHEME_SRST_X16 || scheme_value == SCHEME_SRST_X32;
}

// The number that a pin text ends in: each digit extends it, any other
// character starts it again at 0. A long run of digits stays at INT_MAX
// (above every pin) rather than wrapping.
int trailing_pin_number(const std::string& text, bool& ends_in_digit)
{
    int number = 0;
    ends_in_digit = false;
    for (char c : text)
    {
        if (c >= '0' && c <= '9')
        {
            const int digit = c - '0';
            number = number > (INT_MAX - digit) / 10 ? INT_MAX : number * 10 + digit;
            ends_in_digit = true;
        }
        else
        {
            number = 0;
            ends_in_digit = false;
        }
    }
    return number;
}

}  // namespace

void ASM_OPTION2::init_pinmux(PB::OPTIONS_SDM* sdm)
{
    if (sdm->pinmux_size() == 0)
        for (int32_t i = 0; i < M_SMD_PINMUX; ++i)
            sdm->add_pinmux();
    for (PB::OPTIONS_SDM_IO_PINMUX& pin : *sdm->mutable_pinmux())
        pin.set_usage(FREE_PIN);
}

bool ASM_OPTION2::is_vid_part() const
{
    const DEV_PART dev_part_enum = m_chip->get_part_enum();
    ASM_REQUIRE((dev_part_enum != DEV_PART_INVALID) && (dev_part_enum != DEV_PART_GENERIC));
    return m_part_manager->test_part_trait_of(dev_part_enum, PART_TRAIT_VID);
}

void ASM_OPTION2::populate_sdm_pins(PB::OPTIONS_SDM* sdm, uint16_t scheme_value)
{
    init_pinmux(sdm);
    ASM_REQUIRE(sdm->pinmux_size() == M_SMD_PINMUX);

    const bool vid_part = is_vid_part();
    for (const USER_PIN& user_pin : USER_PINS)
        if (!user_pin.vid_only || vid_part)
            assign_sdm_io_pin(user_pin.setting, user_pin.function, sdm);
    const DEV_FAMILY base_family = m_chip->get_base_family_enum();
    if (base_family == FAMILY_29 && is_srst_x16_or_x32(scheme_value))
        assign_sdm_io_pin(OPTION_QSPI_CHIP_SELECT_PIN, QSPI_CHIP_SELECT_FUNCTION, sdm);

    const DEV_DEVICE_ENUM device = m_part_manager->get_device_of(m_chip->get_part_enum());
    const bool as_reset_pin = m_part_manager->test_device_trait_of(device, DEVICE_TRAIT_AS_RESET_PIN);
    std::string qspi_pin;
    get_string_option(OPTION_QSPI_CHIP_SELECT_PIN, qspi_pin);

    auto place = [&](const PIN_FUNCTION& pin) { assign_sdm_io_usage(pin.pin, pin.function, sdm); };
    switch (scheme_value)
    {
    case SCHEME_AS_X1:
        for (const PIN_FUNCTION& pin : AS_X1_PINS)
            place(pin);
        if (as_reset_pin)
            place(AS_RESET_PIN);
        break;
    case SCHEME_AS_X4:
        for (const PIN_FUNCTION& pin : AS_X4_PINS)
            place(pin);
        if (as_reset_pin)
            place(AS_RESET_PIN);
        break;
    case SCHEME_SRST_X8:
        for (const PIN_FUNCTION& pin : SRST_X8_PINS)
            place(pin);
        break;
    case SCHEME_SRST_X16:
    case SCHEME_SRST_X32:
        if (base_family == FAMILY_29)
        {
            if (!qspi_pin.empty() && qspi_pin.find("SDM_IO") != std::string::npos)
                for (const PIN_FUNCTION& pin : QSPI_DATA_PINS)
                    place(pin);
        }
        else if (base_family == FAMILY_52)
        {
            place(SRST_READY_PIN);
        }
        break;
    default:
        internal_error("Unsupported CONFIGURATION_SCHEME", ASM_SOURCE_TAG, __LINE__);
    }
}

bool ASM_OPTION2::assign_sdm_io_pin(int setting_id, const std::string& function, PB::OPTIONS_SDM* sdm)
{
    std::string sdm_use_pin;
    get_string_option(setting_id, sdm_use_pin);
    bool ends_in_digit = false;
    const int pin = trailing_pin_number(sdm_use_pin, ends_in_digit);

    const std::string line = safe_sprintf("The number of sdm pins retrieved are %d", m_chip->get_num_of_sdm_io());
    asm_debug_log(2, "%s", line.c_str());

    if (pin > HIGHEST_SDM_PIN)
    {
        post_message(msg_EASM_ASM_SDM_IO_ILLEGAL_VALUE_ERROR(function, pin));
        ++option_error_count;
        return false;
    }
    if (!ends_in_digit)
        return false;
    if (sdm_use_pin.compare(0, 6, "SDM_IO") != 0)
        internal_error("sdm_use_pin.compare(0, 6, \"SDM_IO\") == 0", ASM_SOURCE_TAG, __LINE__);

    if (setting_id == OPTION_QSPI_CHIP_SELECT_PIN)
    {
        for (const PIN_FUNCTION& chip_select : QSPI_CHIP_SELECT_PINS)
        {
            check_sdm_io_conflict(sdm, chip_select.function, chip_select.pin);
            sdm->mutable_pinmux(chip_select.pin)->set_usage(chip_select.function);
        }
        uint16_t scheme_value = 0;
        get_configuration_scheme(scheme_value);
        if (is_srst_x16_or_x32(scheme_value) && m_chip->get_base_family_enum() == FAMILY_29)
            set_qspi_chip_selects(pin);
        return true;
    }

    check_sdm_io_conflict(sdm, function, pin);
    sdm->mutable_pinmux(pin)->set_usage(function);
    return true;
}

void ASM_OPTION2::check_sdm_io_conflict(PB::OPTIONS_SDM* sdm, const std::string& function, int pin)
{
    const std::string used = sdm->pinmux(pin).usage();
    if (used == FREE_PIN)
        return;
    const std::string line =
        safe_sprintf("SDM IO %d  has conflicting values of \"%s\" and \"%s\"", pin, used, function);
    asm_debug_log(2, "%s", line.c_str());
    ++option_error_count;
    post_message(msg_EASM_ASM_SDM_IO_DUPLICATE_USAGE_ERROR(pin, used, function));
}

void ASM_OPTION2::assign_sdm_io_usage(int pin, const std::string& function, PB::OPTIONS_SDM* sdm)
{
    check_sdm_io_conflict(sdm, function, pin);
    sdm->mutable_pinmux(pin)->set_usage(function);
}

void ASM_OPTION2::set_qspi_chip_selects(int pin)
{
    PB::OPTIONS_SDM* sdm = m_options.mutable_device()->mutable_sdm();
    const std::string& usage = sdm->pinmux(pin).usage();
    PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT chip_select = PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_NO_CHIP_SELECTED;
    if (usage == "AS_nCSO0")
        chip_select = PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_CS0;
    else if (usage == "AS_nCSO1")
        chip_select = PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_CS1;
    else if (usage == "AS_nCSO2")
        chip_select = PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_CS2;
    else if (usage == "AS_nCSO3")
        chip_select = PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_CS3;
    m_options.mutable_device()->set_use_additional_qspi_flash(chip_select);
}
