#pragma once

#include <QtGlobal>

#include <cstddef>
#include <vector>

// Groups the rows 0 .. count-1 of a list by a key that several rows may share,
// each group in the rows' order, and finds a group by its key: an open hash
// table of row numbers, a few bytes a row where a node-based map would take
// dozens. The rows themselves stay where they are; the key is whatever the
// hash and equality functions given make of a row.
class ChainIndex {
public:
    static constexpr qint64 kNone = -1;

    // hash(row) gives a row's hash, same(a, b) whether two rows' keys agree.
    template<typename Hash, typename Same>
    ChainIndex(qint64 count, Hash hash, Same same)
        : m_next(std::size_t(count), kNoRow)
    {
        std::size_t size = 16;
        while (size < std::size_t(count) * 2)
            size *= 2;
        m_mask = size - 1;
        m_slots.assign(size, Slot{});
        // Last row first, each put at the head of its group: the groups come
        // out in the rows' order without a slot keeping its last row.
        for (quint32 row = quint32(count); row-- > 0;) {
            const std::size_t h = hash(row);
            for (std::size_t at = h & m_mask;; at = (at + 1) & m_mask) {
                Slot& slot = m_slots[at];
                if (slot.first == kNoRow) {
                    slot = Slot{row, quint32(h)};
                    break;
                }
                if (slot.hash == quint32(h) && same(slot.first, row)) {
                    m_next[row] = slot.first;
                    slot.first = row;
                    break;
                }
            }
        }
    }

    // The first row of the group whose hash is h and whose rows match
    // (matches(row) tells of one row of a group); kNone when there is none.
    template<typename Matches>
    qint64 find(std::size_t h, Matches matches) const
    {
        for (std::size_t at = h & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.first == kNoRow)
                return kNone;
            if (slot.hash == quint32(h) && matches(slot.first))
                return slot.first;
        }
    }

    // The row after row in its group; kNone after the last.
    qint64 next(qint64 row) const
    {
        const quint32 after = m_next[std::size_t(row)];
        return after == kNoRow ? kNone : qint64(after);
    }

private:
    static constexpr quint32 kNoRow = 0xFFFFFFFFu;
    struct Slot {
        quint32 first = kNoRow;
        quint32 hash = 0;
    };
    std::vector<Slot> m_slots;
    std::vector<quint32> m_next;
    std::size_t m_mask = 0;
};
