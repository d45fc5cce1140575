// Reads the debug (SLD) keys of design.json: "compile_instance" and the
// "debug" object. A template over the reader's own value and object classes
// (those of design.cpp), so that these keys are checked and reported like
// every other key.
#pragma once

#include "design.h"

#include <filesystem>
#include <set>
#include <string>

// Reads the keys from the top object of the file into design.sld; the
// partitions must have been read. The directories are checked against the
// design directory when the file's label is a path of an existing file.
template <typename OBJECT_T>
void read_design_sld(OBJECT_T& top, DESIGN& design)
{
    DESIGN_SLD& sld = design.sld;
    if (auto name = top.optional("compile_instance"))
    {
        sld.compile_instance = name->nonempty_string();
        if (sld.compile_instance.find('/') != std::string::npos)
            name->fail("a compile instance name names a file of the project directory and cannot hold \"/\"");
    }
    else
    {
        sld.compile_instance = design.revision;
    }

    auto debug_value = top.optional("debug");
    if (!debug_value)
        return;
    OBJECT_T debug(*debug_value);

    std::set<std::string> instance_names;
    debug.each_object("instances", false, [&](OBJECT_T& entry) {
        DESIGN_SLD_INSTANCE instance;
        auto name = entry.required("name");
        instance.name = name.nonempty_string();
        if (!instance_names.insert(instance.name).second)
            name.fail("debug instance " + instance.name + " is given twice");
        instance.type = entry.required("type").nonempty_string();
        instance.node_id = entry.required("node_id").uint32();
        if (auto version = entry.optional("version"))
            instance.version = version->uint32();
        sld.instances.push_back(instance);
    });

    if (auto files = debug.optional("debug_files"))
    {
        std::set<std::string> seen;
        for (const auto& file : files->elements())
        {
            const std::string name = file.nonempty_string();
            if (!seen.insert(name).second)
                file.fail("debug file " + name + " is given twice");
            sld.debug_files.push_back(name);
        }
    }

    if (auto ids = debug.optional("jtag_ids"))
        for (const auto& id : ids->elements())
            sld.jtag_ids.push_back(id.nonempty_string());

    const std::filesystem::path design_file(top.value().file());
    std::error_code ec;
    const bool check_directories = std::filesystem::is_regular_file(design_file, ec);
    std::set<std::string> partitions_with_directory;
    debug.each_object("sysconfiles", false, [&](OBJECT_T& entry) {
        DESIGN_SLD_SYSCONFILES sysconfiles;
        auto partition = entry.required("partition");
        sysconfiles.partition = partition.nonempty_string();
        bool known = false;
        for (const DESIGN_PARTITION& listed : design.partitions)
            known = known || listed.name == sysconfiles.partition;
        if (!known)
            partition.fail("no partition " + sysconfiles.partition + " in partitions");
        if (!partitions_with_directory.insert(sysconfiles.partition).second)
            partition.fail("partition " + sysconfiles.partition + " is given twice");
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
