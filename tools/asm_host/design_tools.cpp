// The design's assignments and the internal Tcl directory: what the
// external programming-file tools and the device-specific Tcl script read.
#include "design.h"

#include <acf.h>

void check_design_assignments(const std::vector<DESIGN_SETTING>& assignments, const std::string& file)
{
    for (size_t i = 0; i < assignments.size(); ++i)
    {
        const HDB_OPTION_KIND kind = assignments[i].kind;
        if (kind != HDB_OPTION_KIND_BOOLEAN && kind != HDB_OPTION_KIND_STRING)
            throw DESIGN_ERROR(file, "assignments[" + std::to_string(i) + "].type",
                               "expected \"boolean\" or \"string\" (an assignment is a flag or a text)");
    }
}

void apply_design_assignments(const std::vector<DESIGN_SETTING>& assignments)
{
    ACF_REVISION_MANAGER* revision = ACF_MANAGER::get_acf_manager()->get_revision_manager();
    for (const DESIGN_SETTING& assignment : assignments)
    {
        if (assignment.kind == HDB_OPTION_KIND_BOOLEAN)
            revision->set_assignment(assignment.id, assignment.bool_value);
        else
            revision->set_assignment(assignment.id, assignment.string_value);
    }
}

std::string design_tcl_directory(const std::string& project_directory, const std::string& tcl_directory)
{
    if (tcl_directory.empty() || tcl_directory[0] == '/' || project_directory.empty())
        return tcl_directory;
    return project_directory.back() == '/' ? project_directory + tcl_directory
                                           : project_directory + "/" + tcl_directory;
}
