#include "design_partitions.h"

#include <cdb_atom.h>
#include <hdb.h>
#include <zhd.h>
#include <zpr.h>

#include <string_view>
#include <unordered_map>

void populate_partition_tree(ZHD_DESIGN* current_design, const std::vector<ZHD_PARTITION*>& added,
                             const DESIGN& design, const SETTINGS_APPLIER& apply_settings)
{
    if (design.design_settings)
        apply_settings(current_design->get_option_interface(), *design.design_settings);
    // One lookup a parent: the loader checked that every parent names a
    // partition, each name once.
    std::unordered_map<std::string_view, ZHD_PARTITION*> by_name;
    by_name.reserve(added.size());
    for (size_t i = 0; i < added.size() && i < design.partitions.size(); ++i)
        by_name.emplace(design.partitions[i].name, added[i]);
    for (size_t i = 0; i < added.size() && i < design.partitions.size(); ++i)
    {
        const DESIGN_PARTITION& data = design.partitions[i];
        ZHD_PARTITION* partition = added[i];
        if (data.block_name)
            partition->set_block_name(*data.block_name);
        if (i > 0)
        {
            const auto parent = by_name.find(data.parent ? *data.parent : design.partitions[0].name);
            if (parent != by_name.end())
                partition->set_parent(parent->second);
        }
        partition->set_pr_partition(data.pr);
        partition->set_cots(data.cots);
        partition->set_checker(data.checker);
        if (data.instance)
            apply_settings(partition->add_instance(data.instance->path), data.instance->settings);
        if (data.netlist)
            add_generated_options(partition->add_netlist(data.netlist->modifiable)->get_namespace(),
                                  data.netlist->generated_options);
        const HDB_NAMESPACE* settings = partition->get_hdb();
        if (data.pr_pof_index)
            ZPR::UTILS::set_pr_pof_index(settings, *data.pr_pof_index);
        if (data.pr_pof_value)
            ZPR::UTILS::set_pr_pof_value(settings, *data.pr_pof_value);
        if (data.pr_pof_value_data)
            ZPR::UTILS::set_pr_pof_value_data(settings, *data.pr_pof_value_data);
    }
}
