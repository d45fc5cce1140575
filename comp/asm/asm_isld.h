// The sinks through which the SLD processing hands the packed debug-file blob
// to the project adapter, which implements both.
#pragma once

#include <cstdint>

class ASM_ISLD_DEBUG
{
public:
    virtual ~ASM_ISLD_DEBUG() {}

    // The packed blob: length bytes at data. The callee copies them.
    virtual void set_sld_blob(uint32_t length, const uint8_t* data) = 0;
};

class ASM_ISLD : public ASM_ISLD_DEBUG
{
public:
    ~ASM_ISLD() override {}

    void set_sld_blob(uint32_t length, const uint8_t* data) override = 0;
    virtual uint32_t get_jtag_user_code() = 0;
    virtual void set_pfl_present(bool present) = 0;
    virtual void set_zpfl_present(bool present) = 0;
    virtual void set_sfl_present(bool present) = 0;
    // The version is below 16.
    virtual void set_sfl_version(int32_t version) = 0;
    // CRC information: length bytes at data.
    virtual void set_crc_info(uint32_t length, const uint8_t* data) = 0;
};
