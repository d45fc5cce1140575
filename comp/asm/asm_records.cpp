#include "asm_records.h"

#include "asm_common.h"

#include <dbcm.h>

bool serialize_record(const google::protobuf::Message& record, std::string& bytes)
{
    // The runtime stops the process on a record with a missing required field.
    if (!record.IsInitialized())
        return false;
    std::string serialised;
    if (!record.SerializeToString(&serialised))
        return false;
    bytes.swap(serialised);
    return true;
}

std::vector<std::string> load_record_sections(DBCM_CHIP* chip, const char* name, const char* owner)
{
    std::vector<std::string> found;
    DBCM_SECTION_STORE* sections = chip->get_section_store();
    if (sections == nullptr)
    {
        const std::string line = std::string(owner) + " cannot load vsection";
        asm_debug_log(2, "%s", line.c_str());
        return found;
    }
    // A copy of the list: the caller may store into the same chip meanwhile.
    const std::vector<DBCM_SECTION> stored = sections->get_sections();
    for (const DBCM_SECTION& section : stored)
        if (section.name == name)
            found.push_back(section.bytes);
    return found;
}

std::string store_record_section(DBCM_CHIP* chip, const char* name, int major, int minor,
                                 const google::protobuf::Message& record, const char* owner,
                                 const char* source_tag)
{
    std::string bytes;
    // A record without its required fields would be stored cut short.
    if (!serialize_record(record, bytes))
        internal_error("serialize_record(record, bytes)", source_tag, __LINE__);

    DBCM_SECTION_STORE* vsections = chip->get_section_store();
    if (vsections != nullptr)
    {
        const std::string line = std::string(owner) + " vsections has something. Data will be overwritten ";
        asm_debug_log(2, "%s", line.c_str());
    }
    else
    {
        const std::string line = std::string(owner) + " vsections is Null., Add Section";
        asm_debug_log(2, "%s", line.c_str());
        vsections = chip->create_section_store();
        if (vsections == nullptr)
            internal_error("vsections != nullptr", source_tag, __LINE__);
    }
    vsections->add_section(name, major, minor, bytes, true);
    return bytes;
}
