#include "design_sld.h"
#include "design_sld_read.h"

#include "design_json.h"

#include <fio.h>
#include <sci.h>
#include <zdb.h>
#include <zhd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

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

void read_design_sld(design_json::OBJECT& top, DESIGN& design)
{
    DESIGN_SLD& sld = design.sld;
    if (auto name = top.optional("compile_instance"))
    {
        sld.compile_instance = name->file_name_part("a compile instance name", 12);
    }
    else
    {
        sld.compile_instance = design.revision;
    }

    auto debug_value = top.optional("debug");
    if (!debug_value)
        return;
    design_json::OBJECT debug(*debug_value);

    design_json::UNIQUE<std::string> instance_names("debug instance");
    debug.each_object("instances", false, [&](design_json::OBJECT& entry) {
        DESIGN_SLD_INSTANCE instance;
        auto name = entry.required("name");
        instance.name = name.nonempty_string();
        instance_names.check(instance.name, name);
        instance.type = entry.required("type").nonempty_string();
        instance.node_id = entry.required("node_id").uint32();
        if (auto version = entry.optional("version"))
            instance.version = version->uint32();
        sld.instances.push_back(instance);
    });

    if (auto files = debug.optional("debug_files"))
    {
        design_json::UNIQUE<std::string> seen("debug file");
        for (const auto& file : files->elements())
        {
            const std::string name = file.nonempty_string();
            seen.check(name, file);
            sld.debug_files.push_back(name);
        }
    }

    if (auto ids = debug.optional("jtag_ids"))
        for (const auto& id : ids->elements())
            sld.jtag_ids.push_back(id.nonempty_string());

    const std::filesystem::path design_file(top.value().file());
    std::error_code ec;
    const bool check_directories = std::filesystem::is_regular_file(design_file, ec);
    std::set<std::string> partition_names;
    if (debug.value().json_value().contains("sysconfiles"))
        for (const DESIGN_PARTITION& listed : design.partitions)
            partition_names.insert(listed.name);
    design_json::UNIQUE<std::string> partitions_with_directory("partition");
    debug.each_object("sysconfiles", false, [&](design_json::OBJECT& entry) {
        DESIGN_SLD_SYSCONFILES sysconfiles;
        auto partition = entry.required("partition");
        sysconfiles.partition = partition.nonempty_string();
        if (partition_names.count(sysconfiles.partition) == 0)
            partition.fail("no partition " + sysconfiles.partition + " in partitions");
        partitions_with_directory.check(sysconfiles.partition, partition);
        auto directory = entry.required("directory");
        sysconfiles.directory = directory.nonempty_string();
        if (std::filesystem::path(sysconfiles.directory).is_absolute())
            directory.fail("expected a directory relative to the design directory");
        if (check_directories &&
            !std::filesystem::is_directory(design_file.parent_path() / sysconfiles.directory, ec))
            directory.fail("not a directory of the design directory");
        sld.sysconfiles.push_back(sysconfiles);
    });
    debug.finish();
}
