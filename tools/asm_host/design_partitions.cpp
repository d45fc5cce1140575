#include "design_partitions.h"

#include <cdb_atom.h>
#include <hdb.h>
#include <zhd.h>
#include <zpr.h>

void populate_partition_tree(ZHD_DESIGN* current_design, const std::vector<ZHD_PARTITION*>& added,
                             const DESIGN& design, const SETTINGS_APPLIER& apply_settings)
{
    if (design.design_settings)
        apply_settings(current_design->get_option_interface(), *design.design_settings);
    for (size_t i = 0; i < added.size() && i < design.partitions.size(); ++i)
    {
        const DESIGN_PARTITION& data = design.partitions[i];
        ZHD_PARTITION* partition = added[i];
        if (data.block_name)
            partition->set_block_name(*data.block_name);
        // The loader checked that every parent names a partition.
        if (i > 0)
        {
            const std::string parent_name = data.parent ? *data.parent : design.partitions[0].name;
            for (size_t j = 0; j < added.size(); ++j)
                if (design.partitions[j].name == parent_name)
                    partition->set_parent(added[j]);
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
