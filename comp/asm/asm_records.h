// The module's configuration records (PB::OPTIONS, PB::HANDOFF_HPS,
// PB::WRITEBACK), generated from options.proto, handoff_hps.proto and
// writeback.proto, the one safe way to serialise them, and the one way to
// keep them as named sections of a chip.
#pragma once

#include "handoff_hps.pb.h"
#include "options.pb.h"
#include "writeback.pb.h"

#include <string>
#include <vector>

class DBCM_CHIP;

// The whole record in binary encoding into bytes (replacing their content).
// A record that lacks a required field is not serialised: the result is
// false and bytes are left as they were. The caller decides what that means.
bool serialize_record(const google::protobuf::Message& record, std::string& bytes);

// The bytes of every section of the chip named `name`, in the store's order
// (copies). Without a section store, logs "<owner> cannot load vsection"
// and gives nothing.
std::vector<std::string> load_record_sections(DBCM_CHIP* chip, const char* name, const char* owner);

// Stores the record whole as the chip's section `name` with the numbers
// major and minor, replacing a section of that name; creates the section
// store when the chip has none, logging "<owner> vsections is Null., Add
// Section", else "<owner> vsections has something. Data will be
// overwritten ". A record that cannot be serialised, or a store that cannot
// be created, is an internal error reported against source_tag. Returns the
// stored bytes.
std::string store_record_section(DBCM_CHIP* chip, const char* name, int major, int minor,
                                 const google::protobuf::Message& record, const char* owner,
                                 const char* source_tag);
