#pragma once

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

// A sequence of many small values kept in large blocks of their own: unlike a
// vector it grows without ever holding a copy of itself, and unlike a deque,
// whose nodes are a few hundred bytes each, it loses next to nothing to
// allocation. Values stay where they are while others are added.
template<typename T>
class BlockList {
public:
    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }

    T& operator[](std::size_t at) { return m_blocks[at >> kBlockBits][at & kInBlock]; }
    const T& operator[](std::size_t at) const { return m_blocks[at >> kBlockBits][at & kInBlock]; }

    T& emplace_back(const T& value = T())
    {
        if ((m_size >> kBlockBits) == m_blocks.size())
            m_blocks.push_back(std::make_unique<T[]>(kInBlock + 1));
        T& added = (*this)[m_size++];
        added = value;
        return added;
    }

    // Keeps the first count values, and the blocks they need.
    void truncate(std::size_t count)
    {
        m_size = std::min(count, m_size);
        m_blocks.resize((m_size + kInBlock) >> kBlockBits);
    }

    void clear() { truncate(0); }

private:
    static constexpr std::size_t kBlockBits = 12;
    static constexpr std::size_t kInBlock = (std::size_t(1) << kBlockBits) - 1;
    std::vector<std::unique_ptr<T[]>> m_blocks;
    std::size_t m_size = 0;
};
