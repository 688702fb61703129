#pragma once

#include <QtGlobal>

#include <cstddef>

// FileXor32 of a byte stream fed in pieces of any size: byte k of the value
// (k = 0 the least significant) is the bit-reversal of the exclusive or of
// the stream's bytes k, k+4, k+8, ...
class Xor32Accumulator {
public:
    void add(const quint8* data, std::size_t size);
    qint32 result() const;

private:
    quint32 m_lanes = 0; // lane k: the exclusive or of the bytes at k mod 4
    quint64 m_bytes = 0;
};
