#include "asm_options.h"

#include "asm_common.h"

#include <asm_model.h>

#define ASM_SOURCE_TAG "comp/asm/asm_options"

ASM_OPTIONS::ASM_OPTIONS() = default;

ASM_OPTIONS::~ASM_OPTIONS() = default;

// The loader is not written yet: nothing is read and the object stays
// uninitialised, so callers take the default selection.
void ASM_OPTIONS::initialize(const FIO_PATH&, const std::string&, const std::string&, const std::string&) {}

ASMCC_NETLIST_FAQ* ASM_OPTIONS::create_netlist_faq()
{
    ASM_REQUIRE(m_initialized);
    return nullptr;
}
