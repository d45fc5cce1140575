// The option block builder's suite: a chip whose fitter chose what the
// settings' defaults ask (25 MHz initialisation clock, 100 MHz active serial
// clock) with 17 SDM I/O pins, a fresh builder per run, and the record it
// stored read back from the chip's "OPTIONS" section.
#pragma once

#include "asm_option2.h"
#include "entry_fixture.h"

#include <memory>
#include <string>
#include <vector>

class OPTION2_SUITE : public ENTRY_SUITE
{
protected:
    // The chip of the base family and a project of the revisions.
    void set_up_chip(int base_family, const std::vector<std::string>& revisions)
    {
        chip.set_base_family(base_family);
        chip.set_initialization_clock(3);
        chip.set_active_serial_clock(8);
        chip.set_num_of_sdm_io(17);
        ACF_MANAGER::get_acf_manager()->set_project(m_project_dir, revisions);
    }

    // A fresh builder runs.
    bool run()
    {
        option2 = std::make_unique<ASM_OPTION2>(&cmp, &chip, 0, &part_manager);
        return option2->process_option_data();
    }

    PB::OPTIONS stored_record() const
    {
        PB::OPTIONS record;
        const DBCM_SECTION_STORE* store = dbcm_chip->get_section_store();
        const DBCM_SECTION* section = store != nullptr ? store->find_section("OPTIONS") : nullptr;
        EXPECT_NE(section, nullptr);
        if (section != nullptr)
        {
            EXPECT_TRUE(record.ParseFromString(section->bytes));
        }
        return record;
    }

    DEV_PART_MANAGER part_manager;
    std::unique_ptr<ASM_OPTION2> option2;
};
