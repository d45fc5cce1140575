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
