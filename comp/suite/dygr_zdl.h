// Routing emulator library of the suite (stand-in): the names of the muxes
// that routing edges pass, seen either through the translator of the
// device's description (emulator mode 0) or through the emulator's own edge
// and node interfaces (any other mode).
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class DEV_DEVICE;

namespace NS_SYMBOL
{
class SYM
{
public:
    explicit SYM(std::string name) : m_name(std::move(name)) {}
    const std::string& get_name() const { return m_name; }

private:
    std::string m_name;
};
}  // namespace NS_SYMBOL

namespace ZDL
{

// A global id of the device description; negative: none.
typedef int64_t DAV_GID;

// A mux of the description with the names of its inputs and outputs.
struct MUX
{
    NS_SYMBOL::SYM symbol;
    std::vector<std::string> inputs;
    std::vector<std::string> outputs;
};

// Finds the mux that an edge between two description ids passes.
class MUX_LOOKUP
{
public:
    // Null when the edge passes no mux of this lookup.
    const MUX* find(DAV_GID from, DAV_GID to) const;
    void add(DAV_GID from, DAV_GID to, const MUX& mux) { m_muxes.emplace(std::make_pair(from, to), mux); }

private:
    std::map<std::pair<DAV_GID, DAV_GID>, MUX> m_muxes;
};

class ITRANSLATE
{
public:
    static const int MUX_LOOKUP_COUNT = 3;

    // The description id of a device global id; -1 when it has none.
    DAV_GID convert_dev_global_id_to_dav_gid(uint32_t global_id) const;
    // One of the three mux lookups (0 to 2); null for another number.
    const MUX_LOOKUP* get_mux_lookup(int which) const
    {
        return which >= 0 && which < MUX_LOOKUP_COUNT ? &m_lookups[which] : nullptr;
    }

    void set_dav_gid(uint32_t global_id, DAV_GID dav_gid) { m_dav_gids[global_id] = dav_gid; }
    MUX_LOOKUP* mux_lookup(int which) { return &m_lookups[which]; }

private:
    std::map<uint32_t, DAV_GID> m_dav_gids;
    MUX_LOOKUP m_lookups[MUX_LOOKUP_COUNT];
};

}  // namespace ZDL

class DYGR_ZDL_TRANSLATOR
{
public:
    // The translator of the device; null when it has none.
    static std::shared_ptr<DYGR_ZDL_TRANSLATOR> obtain_translator(const DEV_DEVICE* device);
    ZDL::ITRANSLATE* get_dav_translator() { return &m_translate; }

private:
    ZDL::ITRANSLATE m_translate;
};

namespace DYGR_ZDL
{

// An emulator id; default-constructed: not valid.
class EM_GID
{
public:
    EM_GID() = default;
    explicit EM_GID(uint32_t value) : m_value(value), m_valid(true) {}
    bool is_valid() const { return m_valid; }
    uint32_t value() const { return m_value; }
    bool operator<(const EM_GID& other) const { return std::make_pair(m_valid, m_value) < std::make_pair(other.m_valid, other.m_value); }

private:
    uint32_t m_value = 0;
    bool m_valid = false;
};

// What the emulator knows of its edges and nodes.
struct EMULATOR_DATA
{
    struct EDGE
    {
        std::string uid;
        EM_GID mux_input;
        EM_GID mux_output;
    };
    std::map<uint32_t, EM_GID> em_gids;
    std::map<std::pair<EM_GID, EM_GID>, EDGE> edges;
    std::map<std::pair<EM_GID, int>, std::string> mapped_ports;
    std::map<EM_GID, std::pair<std::string, std::string>> inst_port_pairs;
};

class EDGE_API
{
public:
    explicit EDGE_API(std::shared_ptr<const EMULATOR_DATA> data) : m_data(std::move(data)) {}
    // Makes the edge between the two ids the current one; false (and no
    // current edge) when the emulator has no such edge.
    bool update_edge(const EM_GID& from, const EM_GID& to);
    // The current edge's uid and its mux's input and output nodes; "" and
    // ids that are not valid without a current edge.
    std::string get_uid() const { return m_edge ? m_edge->uid : std::string(); }
    EM_GID get_mux_input() const { return m_edge ? m_edge->mux_input : EM_GID(); }
    EM_GID get_mux_output() const { return m_edge ? m_edge->mux_output : EM_GID(); }

private:
    std::shared_ptr<const EMULATOR_DATA> m_data;
    const EMULATOR_DATA::EDGE* m_edge = nullptr;
};

class NODE_API
{
public:
    explicit NODE_API(std::shared_ptr<const EMULATOR_DATA> data) : m_data(std::move(data)) {}
    // The port a node maps to in the map of the type; "" when none.
    std::string get_mapped_port(const EM_GID& node, int map_type) const;
    // The (instance, port) pair of a node; empty texts when none.
    std::pair<std::string, std::string> get_inst_port_pair(const EM_GID& node) const;

private:
    std::shared_ptr<const EMULATOR_DATA> m_data;
};

class EMULATOR
{
public:
    explicit EMULATOR(int mode) : m_mode(mode), m_data(std::make_shared<EMULATOR_DATA>()) {}

    // The emulator of the device; null when it has none.
    static std::shared_ptr<EMULATOR> obtain(const DEV_DEVICE* device, bool create);

    int get_mode() const { return m_mode; }
    // The emulator id of a device global id; not valid when it has none.
    EM_GID get_emulator_gid(uint32_t global_id, bool create) const;
    // New interfaces, owned by the caller.
    EDGE_API* get_edge_api(const EM_GID& from, const EM_GID& to) const;
    NODE_API* get_node_api() const { return new NODE_API(m_data); }

    // Population.
    EMULATOR_DATA& data() { return *m_data; }

private:
    int m_mode;
    std::shared_ptr<EMULATOR_DATA> m_data;
};

}  // namespace DYGR_ZDL

// Population of the process-wide tables: the emulator and the translator of
// a device (null: none), and a reset that forgets both.
void dygr_zdl_set_emulator(const DEV_DEVICE* device, std::shared_ptr<DYGR_ZDL::EMULATOR> emulator);
void dygr_zdl_set_translator(const DEV_DEVICE* device, std::shared_ptr<DYGR_ZDL_TRANSLATOR> translator);
void dygr_zdl_reset();
