// Compiler facade of the suite (stand-in): the running compilation.
#pragma once

#include "dev.h"
#include "fio.h"
#include "rdb.h"

#include <string>

class HDB_NAMESPACE;

class CMP_FACADE
{
public:
    CMP_FACADE() = default;
    virtual ~CMP_FACADE() = default;
    CMP_FACADE(const CMP_FACADE&) = delete;
    CMP_FACADE& operator=(const CMP_FACADE&) = delete;

    virtual std::string get_revision_name() const { return m_revision_name; }
    virtual std::string get_cmp_name() const { return m_cmp_name; }
    // The project's directory, as a path without base name.
    virtual FIO_PATH get_project_path() const { return m_project_path; }
    // The compile instance namespace (not owned); null when none was set.
    virtual HDB_NAMESPACE* get_cap_inst() const { return m_cap_inst; }

    // The compilation's report (asm.rpt and the other stages' sections).
    virtual RDB_REPORT* get_report() { return &m_report; }

    // The id of the project option that holds the JTAG user code (1433
    // unless set; 0 means the compilation has none).
    virtual int get_jtag_user_code_option_id() const { return m_jtag_user_code_option_id; }
    void set_jtag_user_code_option_id(int id) { m_jtag_user_code_option_id = id; }

    // The part of the compilation: the part of the compile instance's chip
    // (DEV_PART_INVALID without a compile instance or chip).
    virtual DEV_PART get_part() const;

    void set_revision_name(const std::string& name) { m_revision_name = name; }
    void set_cmp_name(const std::string& name) { m_cmp_name = name; }
    void set_project_path(const FIO_PATH& path) { m_project_path = path; }
    void set_cap_inst(HDB_NAMESPACE* cap_inst) { m_cap_inst = cap_inst; }

private:
    std::string m_revision_name;
    std::string m_cmp_name;
    FIO_PATH m_project_path;
    HDB_NAMESPACE* m_cap_inst = nullptr;
    RDB_REPORT m_report;
    int m_jtag_user_code_option_id = 1433;
};
