#include "design_sld.h"

#include <fio.h>
#include <sci.h>
#include <zdb.h>
#include <zhd.h>

#include <memory>

void apply_design_sld(const DESIGN_SLD& sld, HDB_NAMESPACE* cap_inst, DEV_PART part)
{
    cap_inst->set_name_string(sld.compile_instance);
    for (const DESIGN_SLD_INSTANCE& instance : sld.instances)
    {
        SCI_INSTANCE added;
        added.name = instance.name;
        added.type = instance.type;
        added.node_id = instance.node_id;
        added.version = instance.version;
        SCI_INSTANCE_BUILDER::add_instance(added);
    }
    for (const std::string& file : sld.debug_files)
        SCI_INSTANCE_BUILDER::add_debug_filename(file);
    dev_set_device_jtag_ids(part, sld.jtag_ids);
    if (sld.sysconfiles.empty())
        return;
    ZDB_DATABASE* database = ZHD_ROOT::get()->add_project_database();
    for (const DESIGN_SLD_SYSCONFILES& sysconfiles : sld.sysconfiles)
    {
        // The partition's database directory, as the partition library
        // names it, holds the model "sld_sysconfiles".
        ZDB_PATH path = ZHD_PARTITION(sysconfiles.partition).get_db_directory_path(ZHD_PARTITION::s_unspecified);
        path.set_model_name("sld_sysconfiles");
        database->add_model(path, std::make_unique<ZDB_DIRECTORY_MODEL>(FIO_PATH(sysconfiles.directory)));
    }
}

void reset_design_sld() { SCI_INSTANCE_BUILDER::reset(); }
