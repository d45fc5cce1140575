// The small entries of the module.
#include "asm_root.h"

#include <zasm.h>

#include <gtest/gtest.h>

namespace
{

// Counts its own destruction so a test can see who deletes it.
class COUNTING_PROXY : public ZASM_ACCESSOR_PROXY
{
public:
    explicit COUNTING_PROXY(int& deleted) : m_deleted(deleted) {}
    ~COUNTING_PROXY() override { ++m_deleted; }
    bool get_bit_value(uint32_t, int) override { return false; }
    uint32_t get_cram_address_width(int, int, int) override { return 0; }
    void select_device(DEV_DEVICE_ENUM, DEV_PART) override {}

private:
    int& m_deleted;
};

}  // namespace

TEST(AccessorProxy, SetReplacesAndDeletesTheHeldProxyReadReturnsIt)
{
    int first_deleted = 0;
    int second_deleted = 0;
    auto* first = new COUNTING_PROXY(first_deleted);
    auto* second = new COUNTING_PROXY(second_deleted);

    EXPECT_EQ(set_and_get_asm_zasm_accessor(nullptr, false), nullptr);
    EXPECT_EQ(set_and_get_asm_zasm_accessor(first, true), first);
    // Reading does not look at the argument.
    EXPECT_EQ(set_and_get_asm_zasm_accessor(second, false), first);
    EXPECT_EQ(first_deleted, 0);

    // Setting the held proxy again changes nothing and deletes nothing.
    EXPECT_EQ(set_and_get_asm_zasm_accessor(first, true), first);
    EXPECT_EQ(first_deleted, 0);

    EXPECT_EQ(set_and_get_asm_zasm_accessor(second, true), second);
    EXPECT_EQ(first_deleted, 1);
    EXPECT_EQ(set_and_get_asm_zasm_accessor(nullptr, false), second);

    // Null with set deletes the held proxy and holds null.
    EXPECT_EQ(set_and_get_asm_zasm_accessor(nullptr, true), nullptr);
    EXPECT_EQ(second_deleted, 1);
    EXPECT_EQ(set_and_get_asm_zasm_accessor(nullptr, false), nullptr);
}
