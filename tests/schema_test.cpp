// The configuration records: their registered descriptors, wire and text
// forms, required fields, and an independent decode by protoc.
#include "asm_records.h"

#include <google/protobuf/descriptor.h>
#include <google/protobuf/descriptor.pb.h>
#include <google/protobuf/text_format.h>
#include <google/protobuf/util/message_differencer.h>

#include "protoc_decode.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using google::protobuf::DescriptorPool;
using google::protobuf::FileDescriptorProto;
using google::protobuf::util::MessageDifferencer;

namespace
{

std::string bytes(std::initializer_list<int> values)
{
    std::string out;
    for (int v : values)
        out.push_back(static_cast<char>(v));
    return out;
}

template <typename RECORD>
std::string serialised(const RECORD& record)
{
    std::string out;
    EXPECT_TRUE(serialize_record(record, out));
    return out;
}

template <typename RECORD>
void expect_round_trip(const RECORD& record)
{
    std::string wire;
    ASSERT_TRUE(serialize_record(record, wire));
    RECORD parsed;
    ASSERT_TRUE(parsed.ParseFromString(wire));
    EXPECT_TRUE(MessageDifferencer::Equals(record, parsed)) << parsed.DebugString();
    EXPECT_EQ(parsed.DebugString(), record.DebugString());
}

// Counts the message and enum types of a file, nested ones included.
void count_types(const google::protobuf::DescriptorProto& message, int& messages, int& enums)
{
    ++messages;
    enums += message.enum_type_size();
    for (const auto& nested : message.nested_type())
        count_types(nested, messages, enums);
}

PB::OPTIONS filled_options()
{
    PB::OPTIONS options;
    PB::OPTIONS_DEVICE* device = options.mutable_device();
    device->set_device_init_clock_hz(125000000);
    device->set_configuration_scheme(PB::OPTIONS_DEVICE::Active_Serial_x4);
    device->set_jtag_user_code(0xFFFFFFFFu);
    device->set_cvp_hash(bytes({0x00, 0xFF, 0x10}));
    device->set_design_zky(std::string("key\0file", 8));
    device->set_threshold_temp(-40);
    device->set_use_additional_qspi_flash(PB::OPTIONS_DEVICE::CS3);
    device->set_repair_clk_divider(3);

    PB::OPTIONS_SDM* sdm = device->mutable_sdm();
    sdm->set_encryption_key_select(PB::OPTIONS_SDM::UDSEFUSEWRAP);
    sdm->set_anti_tamper(PB::OPTIONS_SDM::BBRAM_KEY_CLEANING);
    sdm->set_mailbox_feature("mbox");
    sdm->add_pinmux()->set_usage("NA");
    sdm->add_ins()->set_usage("nCONFIG");
    PB::OPTIONS_GPIO* out = sdm->add_outs();
    out->set_enabled(false);
    out->set_timingseq("t0");
    sdm->add_interrupts()->set_enabled(true);

    PB::OPTIONS_POWER_MANAGEMENT* power = sdm->mutable_power_management();
    power->set_mode(PB::OPTIONS_POWER_MANAGEMENT::PMBUS_SLAVE);
    power->set_bus_speed_mode_khz(PB::OPTIONS_POWER_MANAGEMENT::speed_400_KHz);
    power->set_slave_device_type(PB::OPTIONS_POWER_MANAGEMENT::OTHER);
    power->add_slave_address()->set_slave_address(0x47);
    power->add_slave_address()->set_slave_address(0x48);
    power->mutable_direct_format()->set_m(-3);
    power->set_linear_format_n(-12);
    power->set_vid_mode(PB::OPTIONS_POWER_MANAGEMENT::DISABLE_ON_VID_PART);
    power->set_vout_min(-1);

    PB::OPTIONS_HPS* hps = device->mutable_hps();
    hps->set_hps_present(true);
    hps->set_hps_dap_split_mode(PB::OPTIONS_HPS::USE_HPS_PINS);
    hps->set_hps_ddr_mode(PB::OPTIONS_HPS::DDR_72);
    hps->set_hps_wachdog_expiration(PB::OPTIONS_HPS::COLD_RESET_WITH_RSU);
    hps->set_hps_io_num(PB::OPTIONS_HPS::HPS_IO_INVALID);
    hps->set_l3_cache_size(PB::OPTIONS_HPS::HALF_ON);
    hps->set_fips_mode(PB::OPTIONS_HPS::LEVEL_2);
    hps->set_hps_hbm_present(true);

    device->mutable_fuse()->set_disable_jtag(PB::OPTIONS_FUSE::OFF);
    device->mutable_fuse()->set_user_uds_puf(PB::OPTIONS_FUSE::ON_CHECK);
    device->mutable_anti_tamper()->set_response(PB::OPTIONS_ANTI_TAMPER::INVALID);
    device->mutable_anti_tamper()->set_temperature_detection_lower_value(-40);
    device->mutable_attestation()->set_tcb_info_vendor("");
    PB::OPTIONS_PR_REGION_MASK* mask = device->add_pr_region_masks();
    mask->set_name("region_a");
    mask->set_hash("0a1b");

    PB::OPTIONS_SECTOR* sector = options.add_sectors();
    sector->set_x0(1);
    sector->set_type(PB::OPTIONS_SECTOR::ESRAM);
    sector->set_brask_type("brask_p");
    sector->set_brask_state(PB::OPTIONS_SECTOR::UNPOWERED);
    sector->mutable_lsm()->add_irqs()->set_usage("irq0");
    options.add_sectors()->mutable_lsm();

    PB::OPTIONS_REQUIRED_FEATURE* feature = options.add_features();
    feature->set_id(PB::OPTIONS_REQUIRED_FEATURE::FEATURE_RELEASE_22_3);
    feature->set_name("FEATURE_RELEASE_22_3");
    feature = options.add_features();
    feature->set_id(PB::OPTIONS_REQUIRED_FEATURE::ISTART);
    feature->set_name("");

    options.add_prpof_id()->set_rid(7);
    options.add_prpof_id();
    options.set_cvp_brask_coords(0x00010002);
    options.set_row_clkmux_split(PB::OPTIONS::ENABLED);
    return options;
}

PB::HANDOFF_HPS filled_handoff()
{
    PB::HANDOFF_HPS handoff;
    PB::HANDOFF_HPS_CLOCKS* clock = handoff.add_clocks();
    clock->set_clcok_name("osc1");
    clock->set_clock_hz(25000000);
    PB::HANDOFF_HPS_PERIPHERALS* peripheral = handoff.add_peripherals();
    peripheral->set_peri_name("EMAC0");
    peripheral->set_used(true);
    peripheral->set_setting("RGMII");
    peripheral->set_width(8);
    handoff.add_pinmux_select()->set_value(3);
    PB::HANDOFF_HPS_PINMUX_CONTROL* control = handoff.add_pinmux_control();
    control->set_iodt_en(true);
    control->set_iodt_config(13);
    PB::HANDOFF_HPS_IO_DELAY* delay = handoff.add_io_delay();
    delay->set_output_val(1);
    delay->set_input_val(2);
    PB::HANDOFF_HPS_REG* reg = handoff.add_reg();
    reg->set_reg_name("dbctrl_stay_osc1");
    reg->set_reg_value(1);
    handoff.mutable_device()->set_handoff_binary(bytes({0x49, 0x4F, 0x00, 0x00, 0xFF}));
    return handoff;
}


}  // namespace

TEST(SchemaDescriptor, SerialisedDescriptorsHaveTheirFormatSizes)
{
    const struct
    {
        const char* file;
        size_t size;
        int messages;
        int enums;
    } expected[] = {
        {"handoff_hps.proto", 913, 8, 0},
        {"options.proto", 9700, 17, 28},
        {"writeback.proto", 326, 4, 0},
    };
    for (const auto& e : expected)
    {
        SCOPED_TRACE(e.file);
        const google::protobuf::FileDescriptor* file = DescriptorPool::generated_pool()->FindFileByName(e.file);
        ASSERT_NE(file, nullptr);
        FileDescriptorProto proto;
        file->CopyTo(&proto);
        EXPECT_EQ(proto.SerializeAsString().size(), e.size);
        EXPECT_EQ(proto.package(), "PB");
        EXPECT_EQ(proto.dependency_size(), 0);
        EXPECT_FALSE(proto.has_options());
        EXPECT_FALSE(proto.has_syntax());
        EXPECT_EQ(proto.service_size(), 0);
        EXPECT_EQ(proto.enum_type_size(), 0);
        ASSERT_EQ(proto.message_type_size(), 1);
        int messages = 0;
        int enums = 0;
        count_types(proto.message_type(0), messages, enums);
        EXPECT_EQ(messages, e.messages);
        EXPECT_EQ(enums, e.enums);
    }
}

namespace
{

typedef std::vector<std::pair<std::string, std::string>> LAYOUT;

// The fields of a message and of its nested messages, a message before its
// nested ones, each field as "number label type name" in declaration order;
// the enums with their values, the nested messages' before the message's own.
void describe(const google::protobuf::Descriptor* message, LAYOUT& fields, LAYOUT& enums)
{
    std::string text;
    for (int i = 0; i < message->field_count(); ++i)
    {
        const google::protobuf::FieldDescriptor* field = message->field(i);
        const std::string label = field->is_required() ? "required" : field->is_repeated() ? "repeated" : "optional";
        std::string type = field->type_name();
        if (field->message_type() != nullptr)
            type = field->message_type()->full_name().substr(3);
        else if (field->enum_type() != nullptr)
            type = field->enum_type()->full_name().substr(3);
        text += (i > 0 ? ", " : "") + std::to_string(field->number()) + " " + label + " " + type + " " + field->name();
    }
    fields.emplace_back(message->full_name(), text);
    for (int i = 0; i < message->nested_type_count(); ++i)
        describe(message->nested_type(i), fields, enums);
    for (int i = 0; i < message->enum_type_count(); ++i)
    {
        const google::protobuf::EnumDescriptor* type = message->enum_type(i);
        std::string values;
        for (int v = 0; v < type->value_count(); ++v)
            values += (v > 0 ? ", " : "") + type->value(v)->name() + "=" + std::to_string(type->value(v)->number());
        enums.emplace_back(type->full_name(), values);
    }
}

}  // namespace

// Names, numbers, labels, types and the order of declaration are the stored
// format; the descriptor sizes alone would not tell two swapped numbers or
// a signed field made unsigned.
TEST(SchemaDescriptor, EveryMessageAndEnumHasItsFieldsAndValues)
{
    const LAYOUT expected_fields = {
        {"PB.OPTIONS",
         "1 optional OPTIONS.DEVICE device, 2 repeated OPTIONS.SECTOR sectors, "
         "3 repeated OPTIONS.REQUIRED_FEATURE features, 4 repeated OPTIONS.PRPOF_ID prpof_id, "
         "5 optional uint32 cvp_brask_coords, 6 optional OPTIONS.ROW_CLKMUX_SPLIT row_clkmux_split"},
        {"PB.OPTIONS.POWER_MANAGEMENT",
         "1 optional uint32 version, 2 optional OPTIONS.POWER_MANAGEMENT.MODE mode, "
         "3 optional uint32 voltage_stable_delay_millis, 4 optional uint32 fpga_release_delay_millis, "
         "5 optional uint32 initial_delay_millis, "
         "6 optional OPTIONS.POWER_MANAGEMENT.BUS_SPEED bus_speed_mode_khz, "
         "7 optional OPTIONS.POWER_MANAGEMENT.SLAVE_DEVICE_TYPE slave_device_type, "
         "8 optional bool vid_enable, 9 repeated OPTIONS.POWER_MANAGEMENT.SLAVE_ADDRESS slave_address, "
         "10 optional OPTIONS.POWER_MANAGEMENT.DIRECT_FORMAT direct_format, "
         "11 optional OPTIONS.POWER_MANAGEMENT.VOUT_FORMAT vout_format, "
         "12 optional int32 linear_format_n, "
         "13 optional OPTIONS.POWER_MANAGEMENT.VOLTAGE_UNIT voltage_unit, "
         "14 optional uint32 data_setup_nanos, 15 optional uint32 data_hold_nanos, "
         "16 optional uint32 clock_data_fall_nanos, 17 optional uint32 clock_data_rise_nanos, "
         "18 optional bool page_command_enable, 19 optional OPTIONS.POWER_MANAGEMENT.VID_MODE vid_mode, "
         "20 optional uint32 vout_reading_err_margin, 21 optional uint32 page_command_payload, "
         "22 optional int32 vout_min, 23 optional int32 vout_max, 24 optional bool enable_status_byte, "
         "25 optional bool enable_pmf_diag"},
        {"PB.OPTIONS.POWER_MANAGEMENT.SLAVE_ADDRESS",
         "1 optional uint32 slave_address"},
        {"PB.OPTIONS.POWER_MANAGEMENT.DIRECT_FORMAT",
         "1 optional int32 m, 2 optional int32 b, 3 optional int32 r"},
        {"PB.OPTIONS.GPIO",
         "1 optional bool enabled, 2 optional string usage, 3 optional string timingseq"},
        {"PB.OPTIONS.SDM_IO_PINMUX",
         "1 optional string usage, 2 optional uint32 rpcdn, 3 optional uint32 rpcdp, "
         "4 optional bool rslewn, 5 optional bool rslewp, 6 optional bool ropdrain, "
         "7 optional uint32 input_sel, 8 optional uint32 wkpullup_dn"},
        {"PB.OPTIONS.SDM",
         "1 optional OPTIONS.POWER_MANAGEMENT power_management, 2 repeated OPTIONS.SDM_IO_PINMUX pinmux, "
         "3 repeated OPTIONS.GPIO ins, 4 repeated OPTIONS.GPIO outs, 5 repeated OPTIONS.GPIO interrupts, "
         "6 optional uint32 ed_crc_divisor, 7 optional bool seu_enable, "
         "8 optional bool seu_auto_correction_enable, 9 optional uint32 seu_min_interval, "
         "10 optional bool seu_fault_injection, 11 optional bool encryption, "
         "12 optional OPTIONS.SDM.KEY_SELECT encryption_key_select, "
         "13 optional uint32 encryption_update_ratio, 14 optional bool cnoc_scrambling, "
         "15 optional OPTIONS.SDM.ANTI_TAMPER_ACTION anti_tamper, 16 optional uint32 rsu_max_retry_count, "
         "17 optional string mailbox_feature, 18 optional bool seu_external_correction_enable, "
         "19 optional OPTIONS.SDM.SEU_DETECTED_PIN_BEHAVIOR seu_detected_pin_behavior, "
         "20 optional bool ownership_transfer_mode"},
        {"PB.OPTIONS.HPS",
         "1 optional bool HPS_PRESENT, 2 optional bool HPS_DDR_PRESENT, "
         "3 optional OPTIONS.HPS.CONFIG_ORDER config_order, "
         "4 optional OPTIONS.HPS.HPS_DAP HPS_DAP_SPLIT_MODE, "
         "5 optional OPTIONS.HPS.HPS_DDR_MODE_OPTIONS HPS_DDR_MODE, "
         "6 optional OPTIONS.HPS.RESET_PIN_MODE hps_cold_reset_pin_mode, "
         "7 optional OPTIONS.HPS.RESET_PIN_MODE hps_warm_reset_pin_mode, "
         "8 optional OPTIONS.HPS.WATCHDOG_RESET hps_wachdog_expiration, "
         "9 optional OPTIONS.HPS.HPS_DDR_OPERATING_MODE hps_ddr_data_rate, "
         "10 optional bool allow_hps_debug_wo_certificate, 11 optional bool retain_ddr_content, "
         "12 optional bytes ddr_hash, 13 optional OPTIONS.HPS.HPS_IO_NUM_OPTIONS HPS_IO_NUM, "
         "14 optional uint32 cores_power_state, 15 optional uint32 boot_core, "
         "16 optional OPTIONS.HPS.L3_CACHE_SIZE l3_cache_size, "
         "17 optional OPTIONS.HPS.INTFCSEL f2soc_intfcsel, "
         "18 optional OPTIONS.HPS.INTFCSEL f2sdram_intfcsel, 19 optional OPTIONS.HPS.FIPS_MODE fips_mode, "
         "20 optional bool HPS_HBM_PRESENT"},
        {"PB.OPTIONS.FUSE",
         "1 optional OPTIONS.FUSE.ENUM_VALUE disable_jtag, "
         "2 optional OPTIONS.FUSE.ENUM_VALUE force_sdm_clock_to_int_osc, "
         "3 optional OPTIONS.FUSE.ENUM_VALUE force_encryption_key_update, "
         "4 optional OPTIONS.FUSE.ENUM_VALUE disable_virtual_efuses, "
         "5 optional OPTIONS.FUSE.ENUM_VALUE lock_security_efuses, "
         "6 optional OPTIONS.FUSE.ENUM_VALUE disable_hps_debug, "
         "7 optional OPTIONS.FUSE.ENUM_VALUE disable_encryption_key_in_efuses, "
         "8 optional OPTIONS.FUSE.ENUM_VALUE disable_encryption_key_in_bbram, "
         "9 optional OPTIONS.FUSE.ENUM_VALUE disable_puf_wrapped_encryption_key, "
         "10 optional OPTIONS.FUSE.ENUM_VALUE disable_alias_level_one, "
         "11 optional OPTIONS.FUSE.ENUM_VALUE disable_beta, "
         "12 optional OPTIONS.FUSE.ENUM_VALUE use_uds_puf, "
         "13 optional OPTIONS.FUSE.ENUM_VALUE user_uds_puf"},
        {"PB.OPTIONS.ANTI_TAMPER",
         "1 optional bool enable_frequency_detection, 2 optional bool enable_temperature_detection, "
         "3 optional bool enable_voltage_detection, "
         "5 optional OPTIONS.ANTI_TAMPER.RESPONSE_LEVEL response, "
         "6 optional uint32 frequency_range_detection_in_percentage, "
         "7 optional int32 temperature_detection_upper_value, "
         "8 optional int32 temperature_detection_lower_value, "
         "9 optional bool enable_vccl_voltage_detection, "
         "10 optional uint32 vccl_voltage_range_detection_in_percentage, "
         "11 optional bool enable_vccl_sdm_voltage_detection, "
         "12 optional uint32 vccl_sdm_voltage_range_detection_in_percentage, "
         "13 optional uint32 voltage_range_detection_in_percentage, "
         "14 optional bool enable_fpga_tamper_detection, "
         "15 optional bool enable_self_kill_frequency_tamper, "
         "16 optional bool enable_self_kill_temperature_tamper, "
         "17 optional bool enable_self_kill_voltage_tamper, "
         "18 optional bool enable_self_kill_fpga_tamper, "
         "19 optional bool enable_vccl_hps_voltage_detection"},
        {"PB.OPTIONS.ATTESTATION",
         "1 optional string tcb_info_vendor, 2 optional string tcb_info_model, "
         "3 optional string crl_distribution_point, 4 optional string rim_uri_prefix, "
         "5 optional string rim_uri_suffix, 6 optional string sub_alt_name_manufacturer, "
         "7 optional string sub_alt_name_product"},
        {"PB.OPTIONS.PR_REGION_MASK",
         "1 required string name, 2 required string hash"},
        {"PB.OPTIONS.DEVICE",
         "1 optional uint32 device_init_clock_hz, 2 optional uint32 active_serial_clock_hz, "
         "3 optional OPTIONS.DEVICE.CONFIGURATION_SCHEME configuration_scheme, "
         "4 optional OPTIONS.SDM sdm, 5 optional uint32 jtag_user_code, 7 optional bool cvp_capable, "
         "8 optional bytes cvp_hash, 9 optional OPTIONS.HPS hps, 10 optional bool test_burnin_mode, "
         "11 optional uint32 test_burnin_argument0, 12 optional uint32 test_burnin_argument1, "
         "13 optional bool enable_no_hipi_initialization_flow, 14 optional bool asic_prototyping, "
         "15 optional bool pr_security, 16 optional bytes design_zky, 17 optional bool enable_pr_pof_id, "
         "18 optional uint32 bitstream_scrambler_ratio, 19 optional bytes design_zek, "
         "20 optional bytes io_hash, 21 optional bytes hpio_hash, 22 optional OPTIONS.FUSE fuse, "
         "23 optional OPTIONS.ANTI_TAMPER anti_tamper, "
         "24 optional uint32 permitted_owner_cancellation_id, "
         "25 optional bool run_config_cpu_from_int_osc, 26 optional bytes alias_key_tweak, "
         "27 optional OPTIONS.ATTESTATION attestation, 28 optional bool allow_jtag_debug_wo_certificate, "
         "29 optional bool allow_fabric_jtag_wo_certificate, 30 optional bool use_alias_level_one, "
         "31 optional bool enable_b10_attestation_commands, 32 optional bool enable_multi_authority, "
         "33 optional bool low_voltage_mode, 34 optional bytes static_region_mask_hash, "
         "35 repeated OPTIONS.PR_REGION_MASK pr_region_masks, "
         "36 optional OPTIONS.DEVICE.QSPI_CHIP_SELECT use_additional_qspi_flash, "
         "37 optional uint32 xcvr32_acjtag_config, 38 optional bytes cram_hash, "
         "39 optional int32 threshold_temp, 40 optional bool enable_external_voltage_reference, "
         "41 optional bool conf_sel, 42 optional uint32 repair_clk_divider"},
        {"PB.OPTIONS.LSM",
         "1 repeated OPTIONS.GPIO ins, 2 repeated OPTIONS.GPIO outs, 3 repeated OPTIONS.GPIO irqs"},
        {"PB.OPTIONS.SECTOR",
         "1 optional OPTIONS.LSM lsm, 2 optional uint32 x0, 3 optional uint32 x1, "
         "4 optional OPTIONS.SECTOR.TYPE type, 5 optional string brask_type, "
         "6 optional bool brask_presence, 7 optional OPTIONS.SECTOR.BRASK_STATE brask_state, "
         "8 optional OPTIONS.SECTOR.BRASK_COMPATIBILITY brask_compatibility, "
         "9 optional uint32 seu_min_interval, 10 optional bool seu_priority, "
         "11 optional bool blacklisted, 12 optional bool cvp_enable"},
        {"PB.OPTIONS.PRPOF_ID",
         "1 optional uint32 rid, 2 optional bytes hash"},
        {"PB.OPTIONS.REQUIRED_FEATURE",
         "1 required uint32 id, 2 required string name"},
        {"PB.HANDOFF_HPS",
         "1 repeated HANDOFF_HPS.CLOCKS clocks, 2 repeated HANDOFF_HPS.PERIPHERALS peripherals, "
         "3 repeated HANDOFF_HPS.PINMUX_SELECT pinmux_select, "
         "4 repeated HANDOFF_HPS.PINMUX_CONTROL pinmux_control, 5 repeated HANDOFF_HPS.IO_DELAY io_delay, "
         "6 repeated HANDOFF_HPS.REG reg, 7 optional HANDOFF_HPS.DEVICE device"},
        {"PB.HANDOFF_HPS.CLOCKS",
         "1 optional string clcok_name, 2 optional uint32 clock_hz"},
        {"PB.HANDOFF_HPS.PERIPHERALS",
         "1 optional string peri_name, 2 optional bool used, 4 optional uint32 width, "
         "3 optional string setting"},
        {"PB.HANDOFF_HPS.PINMUX_SELECT",
         "1 optional uint32 value, 2 optional uint32 offset"},
        {"PB.HANDOFF_HPS.IO_DELAY",
         "1 optional uint32 output_val, 2 optional uint32 input_val"},
        {"PB.HANDOFF_HPS.REG",
         "1 optional string reg_name, 2 optional uint32 reg_value"},
        {"PB.HANDOFF_HPS.PINMUX_CONTROL",
         "1 optional uint32 rpcdn, 2 optional uint32 rpcdp, 3 optional bool rslewn, "
         "4 optional bool rslewp, 5 optional bool ropdrain, 6 optional uint32 input_sel, "
         "7 optional uint32 wkpullup_dn, 8 optional uint32 idrvctrl, 9 optional bool islewctrl, "
         "10 optional uint32 ihysen, 11 optional uint32 iwkpullctrl, 12 optional bool iodt_en, "
         "13 optional uint32 iodt_config"},
        {"PB.HANDOFF_HPS.DEVICE",
         "1 optional bytes handoff_binary"},
        {"PB.WRITEBACK",
         "1 required string device, 2 repeated WRITEBACK.WRITEBACK_REG register, "
         "3 repeated WRITEBACK.WRITEBACK_M20K m20k, 4 repeated WRITEBACK.WRITEBACK_LUTRAM lutram"},
        {"PB.WRITEBACK.WRITEBACK_REG",
         "1 required uint32 id, 2 required bool value"},
        {"PB.WRITEBACK.WRITEBACK_M20K",
         "1 required uint32 id, 2 required bytes value"},
        {"PB.WRITEBACK.WRITEBACK_LUTRAM",
         "1 required uint32 id, 2 required bytes value"},
    };
    const LAYOUT expected_enums = {
        {"PB.OPTIONS.POWER_MANAGEMENT.MODE",
         "PMBUS_MASTER=0, PMBUS_SLAVE=1, PWM_MASTER=2"},
        {"PB.OPTIONS.POWER_MANAGEMENT.BUS_SPEED",
         "speed_100_KHz=0, speed_400_KHz=1"},
        {"PB.OPTIONS.POWER_MANAGEMENT.SLAVE_DEVICE_TYPE",
         "LTM4677=0, ISL82XX=1, VX5310=3, VX63XX=6, VX64XX=7, LTC3888=8, ISL68236=9, MP2975=10, "
         "ISL682XX=11, LTC3882=12, TPS53676=13, ISL681XX=14, ISL69260=15, PXE1410CDM_G005=16, "
         "XDPE12284C=17, XDPE15284D=18, OTHER=255"},
        {"PB.OPTIONS.POWER_MANAGEMENT.VOUT_FORMAT",
         "AUTO=0, DIRECT=1, LINEAR=2"},
        {"PB.OPTIONS.POWER_MANAGEMENT.VOLTAGE_UNIT",
         "VOLTS=0, MILLIVOLTS=1"},
        {"PB.OPTIONS.POWER_MANAGEMENT.VID_MODE",
         "NOT_VID_PART=0, ENABLE=1, DISABLE_ON_VID_PART=2"},
        {"PB.OPTIONS.SDM.KEY_SELECT",
         "BBRAM=0, EFUSE=1, IIDPUFWRAP=2, UDSIIDPUFWRAP=3, UDSMOVARPUFWRAP=4, UDSEFUSEWRAP=5, FLASH=6"},
        {"PB.OPTIONS.SDM.ANTI_TAMPER_ACTION",
         "DEVICE_WIPE=0, DISABLE_UNTIL_POR=1, BBRAM_KEY_CLEANING=2"},
        {"PB.OPTIONS.SDM.SEU_DETECTED_PIN_BEHAVIOR",
         "ONLY_UNCORRECTABLE_SEU_ERROR=0, ANY_SEU_ERROR=1"},
        {"PB.OPTIONS.HPS.CONFIG_ORDER",
         "HPS_FIRST=0, HPS_AFTER_INIT_DONE=1, HPS_BY_FPGA=2"},
        {"PB.OPTIONS.HPS.HPS_DAP",
         "DISABLED=0, USE_SDM_PINS=1, USE_HPS_PINS=2"},
        {"PB.OPTIONS.HPS.HPS_DDR_MODE_OPTIONS",
         "NO_DDR=0, DDR_16=1, DDR_24=2, DDR_32=4, DDR_40=8, DDR_64=16, DDR_72=32"},
        {"PB.OPTIONS.HPS.RESET_PIN_MODE",
         "INPUT_ONLY=0, BIDIRECTIONAL=1"},
        {"PB.OPTIONS.HPS.WATCHDOG_RESET",
         "WARM_RESET=0, COLD_RESET=1, COLD_RESET_WITH_RSU=2"},
        {"PB.OPTIONS.HPS.HPS_DDR_OPERATING_MODE",
         "HALF_RATE=0, QUARTER_RATE=1"},
        {"PB.OPTIONS.HPS.HPS_IO_NUM_OPTIONS",
         "NO_HPS_IO=0, HPS_IO_1=1, HPS_IO_2=2, HPS_IO_INVALID=3"},
        {"PB.OPTIONS.HPS.L3_CACHE_SIZE",
         "OFF=0, HALF_ON=2, FULL_ON=3"},
        {"PB.OPTIONS.HPS.INTFCSEL",
         "DISABLE=0, ENABLE=1"},
        {"PB.OPTIONS.HPS.FIPS_MODE",
         "NON_FIPS=0, LEVEL_1=1, LEVEL_2=2"},
        {"PB.OPTIONS.FUSE.ENUM_VALUE",
         "OFF=0, ON=1, ON_STICKY=2, ON_CHECK=3"},
        {"PB.OPTIONS.ANTI_TAMPER.RESPONSE_LEVEL",
         "DISABLE=0, TYPEI=1, TYPEII=2, TYPEIII=3, TYPEIV=4, TYPEV=5, INVALID=6"},
        {"PB.OPTIONS.DEVICE.CONFIGURATION_SCHEME",
         "Active_Serial_x1=0, Active_Serial_x2=1, SRST_x8=2, SRST_x16=3, SRST_x32=4, Active_Serial_x4=5, "
         "Internal_Configuration=6"},
        {"PB.OPTIONS.DEVICE.QSPI_CHIP_SELECT",
         "NO_CHIP_SELECTED=0, CS0=1, CS1=2, CS2=4, CS3=8"},
        {"PB.OPTIONS.SECTOR.TYPE",
         "CORE=0, HSSI=1, IO=2, AIB=3, UIB=4, ESRAM=5"},
        {"PB.OPTIONS.SECTOR.BRASK_STATE",
         "POWERED=0, UNPOWERED=1"},
        {"PB.OPTIONS.SECTOR.BRASK_COMPATIBILITY",
         "REGULAR=0, ALLNA=1"},
        {"PB.OPTIONS.REQUIRED_FEATURE.TYPE",
         "ISTART=0, PR_SECURITY=1, ENCRYPTION=2, MAILBOX_ABORT=3, ENCRYPTION_UPDATE=4, "
         "PM_PAGE_COMMAND_PAYLOAD=5, USER_RESET_RELEASE=6, USE_ALIAS_LEVEL_ONE=7, "
         "ENABLE_B10_ATTESTATION_COMMANDS=8, ENABLE_MULTI_AUTHORITY=9, ATTESTATION_TABLE=10, "
         "ENABLE_ANTI_TAMPER=11, ENABLE_ANTI_TAMPER_OR_ATTESTATION_YB=12, RNR_REVA_CXL=13, "
         "NW_CLK_DIVIDER_NOT_TWO=14, USE_ALIAS_LEVEL_ONE_NEW=15, RNR_REVA_CXL_21WW362A=16, "
         "USE_ADDITIONAL_QSPI_FLASH=17, ENCRYPTION_KEY_SELECT_UDS_IID_PUF=18, RNR_REVA_CXL_22WW024A=19, "
         "SRMM_FROM_SOF=20, GDR_SRMM_FROM_SOF=21, ENABLE_EXTERNAL_SCRUB=22, PMF_ENABLE_STATUS_BYTE=23, "
         "ENABLE_OWNERSHIP_TRANSFER=24, FEATURE_RELEASE_22_3=1000"},
        {"PB.OPTIONS.ROW_CLKMUX_SPLIT",
         "DISABLED=0, ENABLED=1"},
    };
    LAYOUT fields;
    LAYOUT enums;
    for (const char* file_name : {"options.proto", "handoff_hps.proto", "writeback.proto"})
    {
        const google::protobuf::FileDescriptor* file = DescriptorPool::generated_pool()->FindFileByName(file_name);
        ASSERT_NE(file, nullptr) << file_name;
        ASSERT_EQ(file->message_type_count(), 1) << file_name;
        describe(file->message_type(0), fields, enums);
    }
    ASSERT_EQ(fields.size(), expected_fields.size());
    for (size_t i = 0; i < fields.size(); ++i)
        EXPECT_EQ(fields[i], expected_fields[i]);
    ASSERT_EQ(enums.size(), expected_enums.size());
    for (size_t i = 0; i < enums.size(); ++i)
        EXPECT_EQ(enums[i], expected_enums[i]);
}

TEST(OptionsRecord, EmptyRecordAndEmptyDevice)
{
    PB::OPTIONS options;
    EXPECT_EQ(serialised(options), "");
    ASSERT_TRUE(options.ParseFromString(""));
    EXPECT_FALSE(options.has_device());

    options.mutable_device();
    EXPECT_EQ(serialised(options), bytes({0x0A, 0x00}));
    PB::OPTIONS parsed;
    ASSERT_TRUE(parsed.ParseFromString(bytes({0x0A, 0x00})));
    EXPECT_TRUE(parsed.has_device());
    EXPECT_EQ(parsed.row_clkmux_split(), PB::OPTIONS::DISABLED);
}

TEST(OptionsRecord, FilledRecordRoundTrips)
{
    PB::OPTIONS options = filled_options();
    expect_round_trip(options);

    // Lists keep their order.
    PB::OPTIONS parsed;
    ASSERT_TRUE(parsed.ParseFromString(serialised(options)));
    ASSERT_EQ(parsed.features_size(), 2);
    EXPECT_EQ(parsed.features(0).id(), 1000u);
    EXPECT_EQ(parsed.features(1).id(), 0u);
    ASSERT_EQ(parsed.device().sdm().power_management().slave_address_size(), 2);
    EXPECT_EQ(parsed.device().sdm().power_management().slave_address(1).slave_address(), 0x48u);
    EXPECT_EQ(parsed.device().threshold_temp(), -40);
}

TEST(OptionsRecord, FieldsEncodeWithTheirNumbersAndTypes)
{
    PB::OPTIONS_DEVICE device;
    device.set_configuration_scheme(PB::OPTIONS_DEVICE::Active_Serial_x1);
    EXPECT_EQ(serialised(device), bytes({0x18, 0x00}));
    device.Clear();
    device.set_threshold_temp(-1);
    EXPECT_EQ(serialised(device),
              bytes({0xB8, 0x02, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}));

    PB::OPTIONS_HPS hps;
    hps.set_hps_ddr_mode(PB::OPTIONS_HPS::DDR_72);
    hps.set_hps_hbm_present(true);
    EXPECT_EQ(serialised(hps), bytes({0x28, 0x20, 0xA0, 0x01, 0x01}));

    PB::OPTIONS_POWER_MANAGEMENT power;
    power.set_bus_speed_mode_khz(PB::OPTIONS_POWER_MANAGEMENT::speed_400_KHz);
    power.set_clock_data_fall_nanos(5);
    EXPECT_EQ(serialised(power), bytes({0x30, 0x01, 0x80, 0x01, 0x05}));

    PB::OPTIONS_FUSE fuse;
    fuse.set_disable_jtag(PB::OPTIONS_FUSE::OFF);
    fuse.set_user_uds_puf(PB::OPTIONS_FUSE::ON);
    EXPECT_EQ(serialised(fuse), bytes({0x08, 0x00, 0x68, 0x01}));

    PB::OPTIONS_REQUIRED_FEATURE feature;
    feature.set_id(0);
    feature.set_name("");
    EXPECT_EQ(serialised(feature), bytes({0x08, 0x00, 0x12, 0x00}));
}

TEST(OptionsRecord, EnumChecksAcceptExactlyTheListedNumbers)
{
    for (int n : {0, 1, 2, 4, 8})
        EXPECT_TRUE(PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_IsValid(n)) << n;
    for (int n : {3, 5, 12, 16})
        EXPECT_FALSE(PB::OPTIONS_DEVICE_QSPI_CHIP_SELECT_IsValid(n)) << n;
    EXPECT_TRUE(PB::OPTIONS_POWER_MANAGEMENT_SLAVE_DEVICE_TYPE_IsValid(255));
    EXPECT_TRUE(PB::OPTIONS_POWER_MANAGEMENT_SLAVE_DEVICE_TYPE_IsValid(18));
    for (int n : {2, 4, 5, 19, 254})
        EXPECT_FALSE(PB::OPTIONS_POWER_MANAGEMENT_SLAVE_DEVICE_TYPE_IsValid(n)) << n;
    EXPECT_TRUE(PB::OPTIONS_HPS_HPS_DDR_MODE_OPTIONS_IsValid(32));
    EXPECT_FALSE(PB::OPTIONS_HPS_HPS_DDR_MODE_OPTIONS_IsValid(3));
    EXPECT_FALSE(PB::OPTIONS_HPS_L3_CACHE_SIZE_IsValid(1));
    EXPECT_TRUE(PB::OPTIONS_HPS_HPS_IO_NUM_OPTIONS_IsValid(3));
    EXPECT_TRUE(PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_IsValid(6));
    EXPECT_FALSE(PB::OPTIONS_ANTI_TAMPER_RESPONSE_LEVEL_IsValid(7));
    EXPECT_FALSE(PB::OPTIONS_SECTOR_TYPE_IsValid(6));
    EXPECT_EQ(PB::OPTIONS_DEVICE::Active_Serial_x4, 5);
}

TEST(OptionsRecord, UnlistedEnumNumbersTravelAsUnknownFields)
{
    PB::OPTIONS options;
    ASSERT_TRUE(options.ParseFromString(bytes({0x30, 0x02})));
    EXPECT_FALSE(options.has_row_clkmux_split());
    EXPECT_EQ(options.row_clkmux_split(), PB::OPTIONS::DISABLED);
    options.set_cvp_brask_coords(1);
    EXPECT_EQ(serialised(options), bytes({0x28, 0x01, 0x30, 0x02}));

    PB::OPTIONS_HPS hps;
    ASSERT_TRUE(hps.ParseFromString(bytes({0x98, 0x01, 0x03, 0x80, 0x01, 0x01})));
    EXPECT_FALSE(hps.has_fips_mode());
    EXPECT_FALSE(hps.has_l3_cache_size());
    const auto& unknown = hps.GetReflection()->GetUnknownFields(hps);
    ASSERT_EQ(unknown.field_count(), 2);
    EXPECT_EQ(unknown.field(0).number(), 19);
    EXPECT_EQ(unknown.field(0).varint(), 3u);
    EXPECT_EQ(unknown.field(1).number(), 16);
}

TEST(OptionsRecord, MissingRequiredFieldIsTheCallersFailure)
{
    PB::OPTIONS options;
    options.add_features()->set_id(PB::OPTIONS_REQUIRED_FEATURE::ENCRYPTION);
    EXPECT_FALSE(options.IsInitialized());
    std::string wire = "unchanged";
    EXPECT_FALSE(serialize_record(options, wire));
    EXPECT_EQ(wire, "unchanged");

    // Bytes written without the check do not parse back.
    std::string partial;
    ASSERT_TRUE(options.SerializePartialToString(&partial));
    PB::OPTIONS parsed;
    EXPECT_FALSE(parsed.ParseFromString(partial));

    options.mutable_features(0)->set_name("ENCRYPTION");
    EXPECT_TRUE(serialize_record(options, wire));

    options.mutable_device()->add_pr_region_masks()->set_name("region_a");
    EXPECT_FALSE(options.IsInitialized());
    EXPECT_FALSE(serialize_record(options, wire));
}

TEST(OptionsRecord, DebugStringIsProtobufTextFormat)
{
    const PB::OPTIONS options = filled_options();
    const std::string text = options.DebugString();
    for (const char* line : {"  configuration_scheme: Active_Serial_x4\n", "    HPS_PRESENT: true\n",
                             "    HPS_DDR_MODE: DDR_72\n", "    hps_wachdog_expiration: COLD_RESET_WITH_RSU\n",
                             "      bus_speed_mode_khz: speed_400_KHz\n", "    user_uds_puf: ON_CHECK\n",
                             "  threshold_temp: -40\n", "row_clkmux_split: ENABLED\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << "\nin\n" << text;

    PB::OPTIONS parsed;
    ASSERT_TRUE(google::protobuf::TextFormat::ParseFromString(text, &parsed));
    EXPECT_TRUE(MessageDifferencer::Equals(options, parsed));
}

TEST(OptionsRecord, ProtocDecodesTheBytesTheModuleWrites)
{
    const PB::OPTIONS options = filled_options();
    EXPECT_EQ(protoc_decode("PB.OPTIONS", "options.proto", serialised(options)), options.DebugString());

    const PB::HANDOFF_HPS handoff = filled_handoff();
    EXPECT_EQ(protoc_decode("PB.HANDOFF_HPS", "handoff_hps.proto", serialised(handoff)), handoff.DebugString());
}

TEST(HandoffRecord, RoundTripsAndKeepsItsFieldNames)
{
    PB::HANDOFF_HPS handoff;
    EXPECT_EQ(serialised(handoff), "");
    handoff.mutable_device();
    EXPECT_EQ(serialised(handoff), bytes({0x3A, 0x00}));

    handoff = filled_handoff();
    expect_round_trip(handoff);
    EXPECT_NE(handoff.DebugString().find("clocks {\n  clcok_name: \"osc1\"\n  clock_hz: 25000000\n}\n"),
              std::string::npos);

    // setting (3) goes on the wire before width (4).
    PB::HANDOFF_HPS_PERIPHERALS peripheral;
    peripheral.set_width(4);
    peripheral.set_setting("x");
    EXPECT_EQ(serialised(peripheral), bytes({0x1A, 0x01, 'x', 0x20, 0x04}));

    PB::HANDOFF_HPS_IO_DELAY copy(handoff.io_delay(0));
    EXPECT_TRUE(copy.has_input_val());
    EXPECT_EQ(copy.input_val(), 2u);
}

TEST(WritebackRecord, RoundTripsWithDeviceAndElements)
{
    PB::WRITEBACK writeback;
    writeback.set_device("dev_a");
    EXPECT_TRUE(writeback.IsInitialized());
    PB::WRITEBACK_WRITEBACK_REG* reg = writeback.add_register_();
    reg->set_id(9);
    reg->set_value(true);
    PB::WRITEBACK_WRITEBACK_M20K* m20k = writeback.add_m20k();
    m20k->set_id(10);
    m20k->set_value("");
    PB::WRITEBACK_WRITEBACK_LUTRAM* lutram = writeback.add_lutram();
    lutram->set_id(11);
    lutram->set_value(bytes({0x00, 0x01}));
    expect_round_trip(writeback);
    EXPECT_NE(writeback.DebugString().find("register {\n  id: 9\n  value: true\n}\n"), std::string::npos);
}

TEST(WritebackRecord, IncompleteRecordsDoNotSerialiseOrParse)
{
    PB::WRITEBACK writeback;
    writeback.add_register_()->set_id(1);
    std::string wire;
    EXPECT_FALSE(serialize_record(writeback, wire));
    std::string partial;
    ASSERT_TRUE(writeback.SerializePartialToString(&partial));
    PB::WRITEBACK parsed;
    EXPECT_FALSE(parsed.ParseFromString(partial));

    // With the device set, the register entry without a value still fails.
    writeback.set_device("dev_a");
    EXPECT_FALSE(writeback.IsInitialized());
    writeback.mutable_register_(0)->set_value(false);
    EXPECT_TRUE(serialize_record(writeback, wire));
    EXPECT_TRUE(parsed.ParseFromString(wire));
}
