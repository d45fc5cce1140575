#include "sci.h"
#include "fio.h"

namespace
{

struct SCI_STATE
{
    std::vector<SCI_INSTANCE> instances;
    std::set<std::string> debug_files;
    std::vector<uint8_t> hash;
};

SCI_STATE& state()
{
    static SCI_STATE s;
    return s;
}

// FNV-1a over the bytes, from the given offset basis.
void digest(uint64_t& value, const std::string& bytes)
{
    for (unsigned char c : bytes)
    {
        value ^= c;
        value *= 0x100000001B3ull;
    }
    // A separator, so that "ab"+"c" and "a"+"bc" differ.
    value ^= 0xFF;
    value *= 0x100000001B3ull;
}

}  // namespace

std::vector<SCI_INSTANCE> SCI_INSTANCE_BUILDER::get_instances() { return state().instances; }

void SCI_INSTANCE_BUILDER::get_debug_filenames(std::set<std::string>& names)
{
    names.insert(state().debug_files.begin(), state().debug_files.end());
}

std::string SCI_INSTANCE_BUILDER::get_design_hash(const uint8_t** hash, uint64_t* size,
                                                  const std::set<std::string>& debug_files)
{
    SCI_STATE& s = state();
    s.hash.clear();
    if (!s.instances.empty())
    {
        uint64_t halves[2] = {0xCBF29CE484222325ull, 0x84222325CBF29CE4ull};
        for (uint64_t& half : halves)
        {
            for (const SCI_INSTANCE& instance : s.instances)
                digest(half, instance.name + '\n' + instance.type + '\n' + std::to_string(instance.node_id) + '\n' +
                                 std::to_string(instance.version));
            for (const std::string& name : debug_files)
            {
                digest(half, name);
                std::string bytes;
                if (fio_read_regular_file(name, bytes))
                    digest(half, bytes);
            }
        }
        for (uint64_t half : halves)
            for (int i = 0; i < 8; ++i)
                s.hash.push_back(static_cast<uint8_t>(half >> (56 - 8 * i)));
    }
    if (hash != nullptr)
        *hash = s.hash.empty() ? nullptr : s.hash.data();
    if (size != nullptr)
        *size = s.hash.size();
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t byte : s.hash)
    {
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}

void SCI_INSTANCE_BUILDER::add_instance(const SCI_INSTANCE& instance) { state().instances.push_back(instance); }

void SCI_INSTANCE_BUILDER::add_debug_filename(const std::string& name) { state().debug_files.insert(name); }

void SCI_INSTANCE_BUILDER::reset() { state() = SCI_STATE(); }
