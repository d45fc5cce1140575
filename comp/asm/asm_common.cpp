#define ASM_SOURCE_TAG "comp/asm/asm_common"

#include "asm_common.h"

#include <zhd.h>

#include <cdb_atom.h>
#include <zsym.h>

#include <boost/assert.hpp>

#include <cstdarg>

void internal_error(const char* condition, const char* file, int line)
{
    MSG_INTERNAL_ERROR::report(condition, "ASM", file, line);
}

namespace boost
{

// boost's assertions end in an internal error with the asserted expression;
// the function text is dropped.
void assertion_failed(char const* expr, char const* /*function*/, char const* file, long line)
{
    MSG_INTERNAL_ERROR::report(expr, "ASM", file, static_cast<int>(line));
}

// The same for assertions with a message: the report names the expression,
// as for the plain assertions.
void assertion_failed_msg(char const* expr, char const* /*msg*/, char const* /*function*/, char const* file,
                          long line)
{
    MSG_INTERNAL_ERROR::report(expr, "ASM", file, static_cast<int>(line));
}

}  // namespace boost

bool asm_debug_log(MSG_D_LEVEL level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    bool written = msg_local_vdebug("ASM", level, format, args);
    va_end(args);
    return written;
}

bool try_vsprintf(std::string& result, fmt::string_view format, fmt::printf_args args)
{
    try
    {
        result = fmt::vsprintf(format, args);
        return true;
    }
    catch (...)
    {
        result = "(unprintable)";
        return false;
    }
}

void format_mismatch_diagnostic(std::string& result, fmt::string_view format, size_t count, fmt::format_args args)
{
    result = fmt::format("ERROR: args not compatible with format string\nformat: {}\n", format);
    for (size_t i = 0; i < count; ++i)
    {
        result += fmt::format("arg[{}]: ", i);
        std::string index_format = fmt::sprintf("{%d}\n", static_cast<int>(i));
        try
        {
            result += fmt::vformat(index_format, args);
        }
        catch (...)
        {
            result += "(unprintable)\n";
        }
    }
}

void report_invalid_element(int element)
{
    std::string text = safe_sprintf("Invalid element %d", element);
    internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
}

const char* device_element_name(DEV_ELEMENT_ENUM element)
{
    if (element == 0 || element >= dsym_get_generic_dev_element_enum())
        report_invalid_element(element);
    return dsym_enum_to_symbol(element).cname();
}

void CDB_ATOM_ITERATOR::descend()
{
    if (m_mode == 0 || m_mode == 3)
        return;

    if (m_current.it != get_atom_iterator_end(m_current.netlist))
    {
        // Enter child netlists as long as the current atom is a blackbox
        // whose child has atoms in the chosen list.
        for (;;)
        {
            CDB_ATOM_NODE* atom = *m_current.it;
            ASM_REQUIRE(atom);
            if (!atom->is_blackbox())
                break;
            CDB_ATOM_NETLIST* child = atom->get_blackbox()->get_child_netlist();
            if (child == nullptr || child->begin_raw_node_list() == child->end_raw_node_list())
                break;
            CDB_ATOM_NODE_LIST::iterator first = get_atom_iterator_begin(child);
            if (first == get_atom_iterator_end(child))
                break;
            m_stack.push_back(m_current);
            m_current = CDB_ATOM_POSITION{first, child};
        }
    }
    else if (!m_stack.empty())
    {
        // The child list is done: climb back to its blackbox atom.
        ASM_REQUIRE(m_current.it == get_atom_iterator_end(m_current.netlist));
        ASM_REQUIRE(!m_stack.empty());
        m_current = m_stack.back();
        m_stack.pop_back();
        ASM_REQUIRE(m_current.it != get_atom_iterator_end(m_current.netlist));
    }
}

void CDB_ATOM_ITERATOR::next()
{
    descend();
    for (;;)
    {
        if (m_mode == 3)
            return;
        if (m_stack.empty() && m_current.it == get_atom_iterator_end(m_current.netlist))
            return;

        CDB_ATOM_NODE* atom = *m_current.it;
        ASM_REQUIRE(atom);
        bool accepted;
        if (!m_keep_marked && atom->m_skip)
            accepted = false;
        else if (m_mode != 1)
            accepted = true;
        else if (atom->is_blackbox())
        {
            // A blackbox whose child netlist was walked is not visited itself.
            CDB_ATOM_NETLIST* child = atom->get_blackbox()->get_child_netlist();
            accepted = child == nullptr || child->begin_raw_node_list() == child->end_raw_node_list();
        }
        else
        {
            // Port atoms of child netlists are not visited.
            accepted = !atom->is_port() || m_stack.empty();
        }
        if (accepted)
            return;

        ++m_current.it;
        descend();
    }
}

std::string join_strings(const std::vector<std::string>& strings, const char* separator)
{
    std::string joined;
    for (size_t i = 0; i < strings.size(); ++i)
    {
        if (i > 0 && separator)
            joined += separator;
        joined += strings[i];
    }
    return joined;
}

void log_missing_assignments_file(const FIO_PATH& file)
{
    std::string line = "Failed to find Assembler assignments file " + file.fullpath();
    asm_debug_log(2, "%s", line.c_str());
}

ZSYM::ZSYM(const char* name) { use(zsym_current_namespace(), name); }

void report_symbol_not_in_namespace(const char* symbol, const char* name_space)
{
    const std::string text = safe_sprintf("Symbol %s does not belong to namespace %s", symbol ? symbol : "",
                                          name_space ? name_space : "");
    internal_error(text.c_str(), ASM_SOURCE_TAG, __LINE__);
}

HDB_NAMESPACE* top_partition_settings()
{
    ZHD_ROOT* root = ZHD_ROOT::get();
    ZHD_DESIGN* design = root != nullptr ? root->get_design("") : nullptr;
    ZHD_PARTITION* top = design != nullptr ? design->get_top_partition() : nullptr;
    return top != nullptr ? top->get_hdb() : nullptr;
}
