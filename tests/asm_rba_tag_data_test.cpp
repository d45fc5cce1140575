// The block-version list of the current die (asm_retrieve_rba_tag_data) and
// asm_elaborate.
#include "asm_root.h"

#include <asm_model.h>
#include <asmdb.h>
#include <dev.h>
#include <dmgr.h>
#include <msg.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace
{

typedef std::vector<std::string> TEXTS;

const DEV_PART PART = static_cast<DEV_PART>(201);
const DEV_PART OTHER_PART = static_cast<DEV_PART>(202);

}  // namespace

class RbaTagData : public testing::Test
{
protected:
    void SetUp() override
    {
        msg_reset();
        dev_reset();
        auto asm_info = std::make_unique<DEV_ASM_INFO>();
        asm_info->add_pdb_part(PART);
        auto die_owned = std::make_unique<ASMDB_DIE>();
        die = die_owned.get();
        die->set_id_strings("die-id-A", "die-id-B");
        asm_info->set_asmdb_die(std::move(die_owned));
        device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(PART));
        device.set_asm_info(std::move(asm_info));
        DMGR_UTILITY::set_current_device(&device);
    }

    void TearDown() override { DMGR_UTILITY::set_current_device(nullptr); }

    void retrieve() { asm_retrieve_rba_tag_data(blocks, unread, first, second); }

    // The condition and source of the internal error the call raised, "" for
    // none.
    std::string retrieve_error()
    {
        try
        {
            retrieve();
        }
        catch (const MSG_INTERNAL_ERROR_EXCEPTION& e)
        {
            EXPECT_EQ(e.component(), "ASM");
            return e.condition() + " @" + e.file();
        }
        return "";
    }

    DEV_DEVICE device;
    ASMDB_DIE* die = nullptr;
    TEXTS blocks;
    std::string unread = "not read";
    std::string first = "old first";
    std::string second = "old second";
};

TEST_F(RbaTagData, ListsNamedBlocksInAscendingKeyOrder)
{
    die->set_block_info(30, ASMDB_BLOCK_INFO("v3.0", "pcie_hip"));
    die->set_block_info(-4, ASMDB_BLOCK_INFO("v0.1", "io_bank"));
    die->set_block_info(10, ASMDB_BLOCK_INFO("v1.2", "hssi_tile"));
    die->set_block_info(20, ASMDB_BLOCK_INFO("2", "sdm"));
    retrieve();
    EXPECT_EQ(blocks, (TEXTS{"v0.1 io_bank", "v1.2 hssi_tile", "2 sdm", "v3.0 pcie_hip"}));
}

TEST_F(RbaTagData, EmptyVersionReadsNone)
{
    die->set_block_info(1, ASMDB_BLOCK_INFO("", "sdm"));
    die->set_block_info(2, ASMDB_BLOCK_INFO(" ", "lab"));
    retrieve();
    EXPECT_EQ(blocks, (TEXTS{"NONE sdm", "  lab"}));
}

TEST_F(RbaTagData, BlocksWithoutANameAddNothing)
{
    die->set_block_info(1, ASMDB_BLOCK_INFO("v1", ""));
    die->set_block_info(2, ASMDB_BLOCK_INFO("v2", "named"));
    die->set_block_info(3, ASMDB_BLOCK_INFO("", ""));
    retrieve();
    EXPECT_EQ(blocks, (TEXTS{"v2 named"}));
}

TEST_F(RbaTagData, AppendsToTheCallersListAndAssignsBothStrings)
{
    die->set_block_info(5, ASMDB_BLOCK_INFO("v5", "five"));
    blocks = {"kept", "also kept"};
    retrieve();
    EXPECT_EQ(blocks, (TEXTS{"kept", "also kept", "v5 five"}));
    EXPECT_EQ(first, "die-id-A");
    EXPECT_EQ(second, "die-id-B");
    EXPECT_EQ(unread, "not read");

    // A second call appends again.
    retrieve();
    EXPECT_EQ(blocks, (TEXTS{"kept", "also kept", "v5 five", "v5 five"}));
}

TEST_F(RbaTagData, DieWithoutNamedBlocksStillAssignsTheStrings)
{
    die->set_block_info(1, ASMDB_BLOCK_INFO("v1", ""));
    die->set_id_strings("", "only second");
    retrieve();
    EXPECT_TRUE(blocks.empty());
    EXPECT_EQ(first, "");
    EXPECT_EQ(second, "only second");
}

TEST_F(RbaTagData, NoCurrentDeviceIsAnInternalError)
{
    DMGR_UTILITY::set_current_device(nullptr);
    EXPECT_EQ(retrieve_error(), "device != NULL @comp/asm/asm_root");
}

TEST_F(RbaTagData, MissingBasicInfoIsAnInternalError)
{
    device.set_basic_info(nullptr);
    EXPECT_EQ(retrieve_error(), "basic_info != NULL @comp/asm/asm_root");
}

TEST_F(RbaTagData, MissingAssemblerInfoIsAnInternalError)
{
    device.set_asm_info(nullptr);
    EXPECT_EQ(retrieve_error(), "asm_info != NULL @comp/asm/asm_root");
}

TEST_F(RbaTagData, PartWithoutAssemblerDataIsAnInternalError)
{
    die->set_block_info(1, ASMDB_BLOCK_INFO("v1", "one"));
    device.set_basic_info(std::make_unique<DEV_BASIC_INFO>(OTHER_PART));
    EXPECT_EQ(retrieve_error(), "Missing Assembler data @comp/asm/asm_root");
    EXPECT_TRUE(blocks.empty());
    EXPECT_EQ(first, "old first");
    EXPECT_EQ(second, "old second");
}

TEST_F(RbaTagData, AssemblerDataWithoutDieIsAnInternalError)
{
    device.get_asm_info()->set_asmdb_die(nullptr);
    die = nullptr;
    EXPECT_EQ(retrieve_error(), "asmdb_die != NULL @comp/asm/asm_root");
    EXPECT_EQ(first, "old first");
}

TEST(Elaborate, DoesNothing)
{
    msg_reset();
    ASM_MODEL::reset();
    asm_elaborate(FIO_PATH("/tmp/a.txt"), FIO_PATH("/tmp/b.txt"));
    EXPECT_TRUE(msg_debug_lines().empty());
    EXPECT_TRUE(MSG_REPORT::active().messages().empty());
    // Nothing is registered with the assembler model either.
    EXPECT_TRUE(ASM_MODEL::calls().empty());
}
