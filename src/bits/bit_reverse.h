#pragma once

#include <QtGlobal>

#include <array>

// Entry i is i with its eight bits in reverse order.
inline constexpr std::array<quint8, 256> BitReverse = [] {
    std::array<quint8, 256> table{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned reversed = 0;
        for (unsigned bit = 0; bit < 8; ++bit)
            reversed |= ((i >> bit) & 1u) << (7 - bit);
        table[i] = quint8(reversed);
    }
    return table;
}();
