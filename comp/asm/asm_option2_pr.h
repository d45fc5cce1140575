// Partial-reconfiguration option data of the device option block: the PR
// settings and the PR POF ids of the design's PR partitions, gathered once,
// and the PR option record of a partition built from them.
#pragma once

#include "asm_records.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class DBCM_CHIP;
class FIO_PATH;
class ZHD_PARTITION;

class ASM_OPTION2_PR_INFO
{
public:
    // Reads the partial-reconfiguration settings of the current design and
    // the PR POF ids of its PR partitions.
    ASM_OPTION2_PR_INFO();

    // Builds the record of the top partition and stores it as the chip's
    // "PR_OPTIONS" section. False when its PR POF ids are incomplete while
    // ENABLE_PR_POF_ID is on (nothing is stored then).
    bool process_pr_options(DBCM_CHIP* chip, std::string* text);
    // The serialised PR option record of the partition; empty when its PR
    // POF ids are incomplete. The text, when given, receives the record's
    // PR POF id list, also when the result is empty.
    std::string build_pr_option_data(ZHD_PARTITION& partition, std::string* text);

    bool populate_pr_options(PB::OPTIONS& record, ZHD_PARTITION& partition);
    // Appends the PR POF ids of the partition's PR subtree, sorted; false
    // when one is incomplete.
    bool populate_pr_partitions(PB::OPTIONS& record, ZHD_PARTITION& partition);
    // The entries of the partition's PR children and, below each complete
    // one, of its own PR subtree.
    bool collect_pr_subtree(ZHD_PARTITION& partition, std::vector<std::pair<uint32_t, std::string>>& list);
    void collect_pr_pof_ids();
    // Stores the whole key file in design_zky.
    void read_pr_zky_file(const FIO_PATH& path, PB::OPTIONS_DEVICE* device);

    // The record's PR POF ids as format_hex_id texts, one blank between.
    static std::string format_prpof_ids(const PB::OPTIONS& record);

    // Boolean project setting 1254 (PR bitstream security); false when the
    // setting is absent.
    bool m_pr_security;
    // ENABLE_PR_POF_ID (setting 1520); true when absent.
    bool m_enable_pr_pof_id;
    struct PR_POF_ID
    {
        uint32_t index;
        std::string value;
    };
    // By partition name.
    std::unordered_map<std::string, PR_POF_ID> m_pr_pof_ids;
    bool m_has_zky_file;
    bool m_encryption;
    bool m_multi_authority;

private:
    // The partition's own entry appended to the list; false when it has none
    // (a PR partition whose PR POF value was missing), which counts as
    // incomplete.
    bool append_pr_pof_id(const ZHD_PARTITION& partition, std::vector<std::pair<uint32_t, std::string>>& list,
                          uint32_t& index) const;
};

// Two upper-case hexadecimal digits per byte, in order, no separator.
std::string format_hash_text(const std::string& bytes);
// "0x", the rid as eight lower-case hexadecimal digits, ":" and the hash's
// format_hash_text.
std::string format_hex_id(uint32_t rid, const std::string& hash);
