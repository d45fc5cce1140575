// Port-name translation library of the suite (stand-in): the debug names of
// atom port types. Port types are numbered from 1 in the order they are
// added; 0 is no port type.
#pragma once

#include <string>

typedef int DBS_PORT_TYPE;

class DBS_TRANSLATOR
{
public:
    // The debug name of the port type; null for an unknown type.
    static const char* get_debug_string_name(DBS_PORT_TYPE type);
};

// Population: the port type of the name, added when new (the names are
// unique). 0 for an empty name.
DBS_PORT_TYPE dbs_add_port_type(const std::string& name);
// Forgets every port type.
void dbs_reset();
