// Graph library of the suite (stand-in): a forest of trees whose nodes and
// edges carry values.
#pragma once

#include <cstddef>
#include <vector>

namespace ZGL
{

template <typename NODE, typename EDGE>
class FOREST
{
public:
    // Adds a node under the parent (-1: a new root), reached by an edge of
    // the value; returns the node's index.
    int add_node(const NODE& value, int parent = -1, const EDGE& edge = EDGE())
    {
        m_nodes.push_back(ENTRY{value, parent, edge});
        return static_cast<int>(m_nodes.size() - 1);
    }
    size_t size() const { return m_nodes.size(); }
    const NODE& value(int node) const { return m_nodes.at(static_cast<size_t>(node)).value; }
    int parent(int node) const { return m_nodes.at(static_cast<size_t>(node)).parent; }

private:
    struct ENTRY
    {
        NODE value;
        int parent;
        EDGE edge;
    };
    std::vector<ENTRY> m_nodes;
};

}  // namespace ZGL
