// Support of the suite's device libraries (stand-in): a table of values by
// routing-element global id. Ids are mostly dense from 0, so values live in
// an array indexed by id as long as the array stays within a few times the
// number of values (or below a bound the owner gives, when it knows how
// many ids it will hold); other ids go to a hash map, with a bit per id
// (below 2^28) that spares the map the lookups of ids it does not hold.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <vector>

template <typename T>
class GID_TABLE
{
public:
    // Ids below dense_ids always live in the array.
    explicit GID_TABLE(uint64_t dense_ids = 0) : m_dense_ids(dense_ids) {}

    // Null when the id has no value.
    const T* find(uint32_t gid) const
    {
        if (gid < m_dense.size())
            return (m_present[gid / 64] >> (gid % 64) & 1) ? &m_dense[gid] : nullptr;
        if (gid < SPARSE_BIT_LIMIT && (gid / 64 >= m_sparse_bits.size() || !(m_sparse_bits[gid / 64] >> (gid % 64) & 1)))
            return nullptr;
        auto found = m_sparse.find(gid);
        return found == m_sparse.end() ? nullptr : &found->second;
    }

    // The value of the id, default-constructed when new.
    T& operator[](uint32_t gid)
    {
        if (gid >= m_dense.size() && m_sparse.count(gid) == 0 &&
            (gid < m_dense_ids || static_cast<uint64_t>(gid) + 1 <= 8 * (static_cast<uint64_t>(m_count) + 1) + 4096))
        {
            m_dense.resize(static_cast<size_t>(gid) + 1);
            m_present.resize(static_cast<size_t>(gid) / 64 + 1, 0);
        }
        if (gid < m_dense.size())
        {
            if (!(m_present[gid / 64] >> (gid % 64) & 1))
            {
                m_present[gid / 64] |= uint64_t(1) << (gid % 64);
                ++m_count;
            }
            return m_dense[gid];
        }
        auto inserted = m_sparse.emplace(gid, T());
        if (inserted.second)
        {
            ++m_count;
            if (gid < SPARSE_BIT_LIMIT)
            {
                if (gid / 64 >= m_sparse_bits.size())
                    m_sparse_bits.resize(gid / 64 + 1, 0);
                m_sparse_bits[gid / 64] |= uint64_t(1) << (gid % 64);
            }
        }
        return inserted.first->second;
    }

    size_t size() const { return m_count; }

    // Empties the table, keeping its memory for the values to come; ids
    // below dense_ids will live in the array.
    void reset(uint64_t dense_ids)
    {
        m_dense.clear();
        m_present.clear();
        m_sparse.clear();
        m_sparse_bits.clear();
        m_count = 0;
        m_dense_ids = dense_ids;
    }

private:
    static const uint32_t SPARSE_BIT_LIMIT = 1u << 28;
    uint64_t m_dense_ids = 0;
    std::vector<T> m_dense;
    std::vector<uint64_t> m_sparse_bits;
    // A bit per id of the array: the id has a value.
    std::vector<uint64_t> m_present;
    std::unordered_map<uint32_t, T> m_sparse;
    size_t m_count = 0;
};
