// The module's configuration records (PB::OPTIONS, PB::HANDOFF_HPS,
// PB::WRITEBACK), generated from options.proto, handoff_hps.proto and
// writeback.proto, and the one safe way to serialise them.
#pragma once

#include "handoff_hps.pb.h"
#include "options.pb.h"
#include "writeback.pb.h"

#include <string>

// The whole record in binary encoding into bytes (replacing their content).
// A record that lacks a required field is not serialised: the result is
// false and bytes are left as they were. The caller decides what that means.
bool serialize_record(const google::protobuf::Message& record, std::string& bytes);
