// The HPS boot handoff: the per-family data builders and the handoff
// blocks they fill.
#pragma once

#include <cstdint>
#include <vector>

class CMP_FACADE;
class CDB_CHIP_DB_ENTRY;
class DEV_PART_MANAGER;
class HDB_OPTION_INTERFACE;
class DBCM_CHIP;

// The handoff block: a fixed-size, zero-filled buffer of big-endian words in
// the base layout (the YB family's).
class HPS_HANDOFF_BOX
{
public:
    HPS_HANDOFF_BOX();
    virtual ~HPS_HANDOFF_BOX();
    HPS_HANDOFF_BOX(const HPS_HANDOFF_BOX&) = delete;
    HPS_HANDOFF_BOX& operator=(const HPS_HANDOFF_BOX&) = delete;

    uint32_t size() const { return m_size; }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

protected:
    // Gives the block a layout's size; new bytes are zero.
    void resize(uint32_t size);

    std::vector<uint8_t> m_bytes;
    uint32_t m_size;
    // Dedicated HPS IO pins: the length of the block's pair tables.
    uint32_t m_dedicated_io;
};

class VR_HPS_HANDOFF_BOX : public HPS_HANDOFF_BOX
{
public:
    VR_HPS_HANDOFF_BOX();
};

class VW_HPS_HANDOFF_BOX : public HPS_HANDOFF_BOX
{
public:
    // The variant is the longer form with the memory-type and HBM words.
    explicit VW_HPS_HANDOFF_BOX(bool variant);
    bool variant() const { return m_variant; }

private:
    bool m_variant;
};

class VK_HPS_HANDOFF_BOX : public HPS_HANDOFF_BOX
{
public:
    VK_HPS_HANDOFF_BOX();
};

// The HPS data builder of one run: gathers the HPS configuration of the
// design into the handoff block it holds. One subclass per HPS family.
class ASM_HPS_HANDOFF_DATA
{
public:
    virtual ~ASM_HPS_HANDOFF_DATA();
    ASM_HPS_HANDOFF_DATA(const ASM_HPS_HANDOFF_DATA&) = delete;
    ASM_HPS_HANDOFF_DATA& operator=(const ASM_HPS_HANDOFF_DATA&) = delete;

    // Takes the block (null allowed); a block held before is deleted.
    void set_handoff_box(HPS_HANDOFF_BOX* box);
    HPS_HANDOFF_BOX* get_handoff_box() const { return m_handoff_box; }

    // The whole HPS step; does nothing when the part has no HPS.
    void add_hand_off_data_into_dbcm();

    bool has_hps() const { return m_has_hps; }

    CMP_FACADE* m_cmp;
    CDB_CHIP_DB_ENTRY* m_chip;
    uint32_t m_run_value;
    DEV_PART_MANAGER* m_part_manager;
    HDB_OPTION_INTERFACE* m_flat_cap;
    DBCM_CHIP* m_dbcm_chip;
    bool m_dump_handoff_data;
    bool m_has_hps;
    const uint32_t M_HPS_DEDICATED_IO;

protected:
    // Keeps the arguments (the run value is only kept), takes the project's
    // settings holder, chip 0 of the chip bundle database and the current
    // device, and counts the part's HPS CPU cores.
    ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                         DEV_PART_MANAGER* part_manager);

private:
    HPS_HANDOFF_BOX* m_handoff_box;
};

class VR_ASM_HPS_HANDOFF_DATA : public ASM_HPS_HANDOFF_DATA
{
public:
    VR_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                            DEV_PART_MANAGER* part_manager);
};

class YB_ASM_HPS_HANDOFF_DATA : public ASM_HPS_HANDOFF_DATA
{
public:
    YB_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                            DEV_PART_MANAGER* part_manager);
};

class VK_ASM_HPS_HANDOFF_DATA : public ASM_HPS_HANDOFF_DATA
{
public:
    VK_ASM_HPS_HANDOFF_DATA(CMP_FACADE* cmp, CDB_CHIP_DB_ENTRY* chip, uint32_t run_value,
                            DEV_PART_MANAGER* part_manager);
};

// Debug line "ACID_HPS DEV_RESOURCE_CPU_CORE: %d".
void hps_log_cpu_core_count(int count);
