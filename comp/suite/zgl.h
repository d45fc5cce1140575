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
        const int node = static_cast<int>(m_nodes.size());
        m_nodes.push_back(ENTRY{value, parent, edge});
        // A new node is the last child of its parent, or the last root.
        int& last = parent < 0 ? m_last_root : m_nodes.at(static_cast<size_t>(parent)).last_child;
        if (last < 0)
        {
            if (parent < 0)
                m_first_root = node;
            else
                m_nodes[static_cast<size_t>(parent)].first_child = node;
        }
        else
        {
            m_nodes[static_cast<size_t>(last)].next_sibling = node;
        }
        last = node;
        return node;
    }
    size_t size() const { return m_nodes.size(); }
    const NODE& value(int node) const { return m_nodes.at(static_cast<size_t>(node)).value; }
    int parent(int node) const { return m_nodes.at(static_cast<size_t>(node)).parent; }

    // The tree links; -1 marks no node. Children and roots keep the order in
    // which they were added.
    int first_root() const { return m_first_root; }
    int first_child(int node) const { return m_nodes.at(static_cast<size_t>(node)).first_child; }
    int next_sibling(int node) const { return m_nodes.at(static_cast<size_t>(node)).next_sibling; }
    bool is_root(int node) const { return parent(node) < 0; }
    bool is_leaf(int node) const { return first_child(node) < 0; }
    int count_children(int node) const
    {
        int count = 0;
        for (int child = first_child(node); child >= 0; child = next_sibling(child))
            ++count;
        return count;
    }

private:
    struct ENTRY
    {
        NODE value;
        int parent;
        EDGE edge;
        int first_child = -1;
        int last_child = -1;
        int next_sibling = -1;
    };
    std::vector<ENTRY> m_nodes;
    int m_first_root = -1;
    int m_last_root = -1;
};

}  // namespace ZGL
