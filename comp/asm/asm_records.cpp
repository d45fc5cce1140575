#include "asm_records.h"

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
