// The assembler options file: the parsed XML file of assembler assignments.
#pragma once

#include <fio.h>

#include <string>

class ASMCC_NETLIST_FAQ;

class ASM_OPTIONS
{
public:
    ASM_OPTIONS();
    ~ASM_OPTIONS();
    ASM_OPTIONS(const ASM_OPTIONS&) = delete;
    ASM_OPTIONS& operator=(const ASM_OPTIONS&) = delete;

    // Loads the file with its includes and keeps the asm_assignments blocks
    // that match the three texts; m_initialized tells the outcome.
    void initialize(const FIO_PATH& file, const std::string& cmp_name, const std::string& device_name,
                    const std::string& keyword);

    // The netlist selection of the kept netlist_spec, owned by the caller;
    // null when there is none.
    ASMCC_NETLIST_FAQ* create_netlist_faq();

    bool m_initialized = false;
};
