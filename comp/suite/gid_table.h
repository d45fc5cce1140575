// Support of the suite's device libraries (stand-in): a table of values by
// routing-element global id. Ids are mostly dense from 0, so values live in
// an array indexed by id as long as the array stays within a few times the
// number of values; other ids go to a hash map.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

template <typename T>
class GID_TABLE
{
public:
    // Null when the id has no value.
    const T* find(uint32_t gid) const
    {
        if (gid < m_dense.size())
            return m_present[gid] ? &m_dense[gid] : nullptr;
        auto found = m_sparse.find(gid);
        return found == m_sparse.end() ? nullptr : &found->second;
    }

    // The value of the id, default-constructed when new.
    T& operator[](uint32_t gid)
    {
        if (gid >= m_dense.size() && m_sparse.count(gid) == 0 &&
            static_cast<uint64_t>(gid) + 1 <= 8 * (static_cast<uint64_t>(m_count) + 1) + 4096)
        {
            m_dense.resize(static_cast<size_t>(gid) + 1);
            m_present.resize(static_cast<size_t>(gid) + 1, 0);
        }
        if (gid < m_dense.size())
        {
            if (!m_present[gid])
            {
                m_present[gid] = 1;
                ++m_count;
            }
            return m_dense[gid];
        }
        auto inserted = m_sparse.emplace(gid, T());
        if (inserted.second)
            ++m_count;
        return inserted.first->second;
    }

    size_t size() const { return m_count; }

private:
    std::vector<T> m_dense;
    std::vector<uint8_t> m_present;
    std::unordered_map<uint32_t, T> m_sparse;
    size_t m_count = 0;
};
