// The debug-instance extension library: writes the design's SLD file, a
// text listing the design's debug instances and its design hash, from the
// debug-instance library.
#include <sci.h>

#include <ostream>
#include <set>
#include <string>

// Writes the SLD file text into the stream and sets design_hash to the
// design hash as hexadecimal text ("" when the design has none). False when
// the stream failed.
extern "C" __attribute__((visibility("default"))) bool kovx_create_sld_file(std::ostream& out,
                                                                             std::string& design_hash)
{
    const std::vector<SCI_INSTANCE> instances = SCI_INSTANCE_BUILDER::get_instances();
    std::set<std::string> debug_files;
    SCI_INSTANCE_BUILDER::get_debug_filenames(debug_files);
    const uint8_t* hash = nullptr;
    uint64_t hash_size = 0;
    design_hash = SCI_INSTANCE_BUILDER::get_design_hash(&hash, &hash_size, debug_files);

    out << "SLD_FILE 1\n";
    out << "INSTANCES " << instances.size() << "\n";
    for (const SCI_INSTANCE& instance : instances)
        out << "INSTANCE " << instance.node_id << " " << instance.type << " " << instance.version << " "
            << instance.name << "\n";
    out << "DESIGN_HASH " << (design_hash.empty() ? "none" : design_hash) << "\n";
    out.flush();
    return out.good();
}
