// The words that asm_dump_re_network takes from the Tcl layer, in the order
// of their codes: the dump kind and the coordinate format. Any other word
// is taken as the first. A header without code, so that a caller can check
// its words against the same lists.
#pragma once

#include <array>

inline constexpr std::array<const char*, 3> ASM_DUMP_KIND_WORDS = {"pre_asm", "pre_asm_with_bits",
                                                                    "pre_asm_with_2d_bits"};
inline constexpr std::array<const char*, 3> ASM_DUMP_FORMAT_WORDS = {"mcfs", "mcfd", "sch"};
