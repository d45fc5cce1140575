#include "dygr_zdl.h"

namespace
{

struct ZDL_TABLES
{
    std::map<const DEV_DEVICE*, std::shared_ptr<DYGR_ZDL::EMULATOR>> emulators;
    std::map<const DEV_DEVICE*, std::shared_ptr<DYGR_ZDL_TRANSLATOR>> translators;
};

ZDL_TABLES& tables()
{
    static ZDL_TABLES instance;
    return instance;
}

}  // namespace

const ZDL::MUX* ZDL::MUX_LOOKUP::find(DAV_GID from, DAV_GID to) const
{
    auto found = m_muxes.find(std::make_pair(from, to));
    return found == m_muxes.end() ? nullptr : &found->second;
}

ZDL::DAV_GID ZDL::ITRANSLATE::convert_dev_global_id_to_dav_gid(uint32_t global_id) const
{
    auto found = m_dav_gids.find(global_id);
    return found == m_dav_gids.end() ? -1 : found->second;
}

std::shared_ptr<DYGR_ZDL_TRANSLATOR> DYGR_ZDL_TRANSLATOR::obtain_translator(const DEV_DEVICE* device)
{
    auto found = tables().translators.find(device);
    return found == tables().translators.end() ? nullptr : found->second;
}

bool DYGR_ZDL::EDGE_API::update_edge(const EM_GID& from, const EM_GID& to)
{
    auto found = m_data->edges.find(std::make_pair(from, to));
    m_edge = found == m_data->edges.end() ? nullptr : &found->second;
    return m_edge != nullptr;
}

std::string DYGR_ZDL::NODE_API::get_mapped_port(const EM_GID& node, int map_type) const
{
    auto found = m_data->mapped_ports.find(std::make_pair(node, map_type));
    return found == m_data->mapped_ports.end() ? std::string() : found->second;
}

std::pair<std::string, std::string> DYGR_ZDL::NODE_API::get_inst_port_pair(const EM_GID& node) const
{
    auto found = m_data->inst_port_pairs.find(node);
    return found == m_data->inst_port_pairs.end() ? std::pair<std::string, std::string>() : found->second;
}

std::shared_ptr<DYGR_ZDL::EMULATOR> DYGR_ZDL::EMULATOR::obtain(const DEV_DEVICE* device, bool)
{
    auto found = tables().emulators.find(device);
    return found == tables().emulators.end() ? nullptr : found->second;
}

DYGR_ZDL::EM_GID DYGR_ZDL::EMULATOR::get_emulator_gid(uint32_t global_id, bool) const
{
    auto found = m_data->em_gids.find(global_id);
    return found == m_data->em_gids.end() ? EM_GID() : found->second;
}

DYGR_ZDL::EDGE_API* DYGR_ZDL::EMULATOR::get_edge_api(const EM_GID& from, const EM_GID& to) const
{
    auto* api = new EDGE_API(m_data);
    api->update_edge(from, to);
    return api;
}

void dygr_zdl_set_emulator(const DEV_DEVICE* device, std::shared_ptr<DYGR_ZDL::EMULATOR> emulator)
{
    if (emulator)
        tables().emulators[device] = std::move(emulator);
    else
        tables().emulators.erase(device);
}

void dygr_zdl_set_translator(const DEV_DEVICE* device, std::shared_ptr<DYGR_ZDL_TRANSLATOR> translator)
{
    if (translator)
        tables().translators[device] = std::move(translator);
    else
        tables().translators.erase(device);
}

void dygr_zdl_reset()
{
    tables().emulators.clear();
    tables().translators.clear();
}
