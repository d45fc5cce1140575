// Debug-instance library of the suite (stand-in): the design's debug
// instances (the on-chip debugging IP the compiler found), the names of
// the design's debug files and the design hash computed from both.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

// One debug instance of the design.
struct SCI_INSTANCE
{
    std::string name;  // hierarchical instance name
    std::string type;  // the kind of debug IP, such as "signal_tap"
    uint32_t node_id = 0;
    uint32_t version = 0;
};

class SCI_INSTANCE_BUILDER
{
public:
    // The design's debug instances, in the order they were added.
    static std::vector<SCI_INSTANCE> get_instances();
    // The names (paths) of the design's debug files.
    static void get_debug_filenames(std::set<std::string>& names);
    // The design hash: 16 bytes digested from the debug instances and the
    // named debug files (each name and its content, in name order; a file
    // that cannot be read counts as its name alone). A design without debug
    // instances has no hash: *hash null and *size 0. The bytes stay the
    // library's, valid until the next call or reset. Returns the hash as
    // hexadecimal text ("" for none).
    static std::string get_design_hash(const uint8_t** hash, uint64_t* size, const std::set<std::string>& debug_files);

    // Population.
    static void add_instance(const SCI_INSTANCE& instance);
    static void add_debug_filename(const std::string& name);
    // Forgets every instance, file name and hash.
    static void reset();
};
