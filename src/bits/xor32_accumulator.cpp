#include "bits/xor32_accumulator.h"

#include "bits/bit_reverse.h"

#include <QtEndian>

void Xor32Accumulator::add(const quint8* data, std::size_t size)
{
    std::size_t i = 0;
    const auto addByte = [this](quint8 byte) {
        m_lanes ^= quint32(byte) << (8 * (m_bytes % 4));
        ++m_bytes;
    };
    while (i < size && m_bytes % 4 != 0)
        addByte(data[i++]);
    // From a multiple of four on, both halves of every 64-bit word cover lanes 0 .. 3.
    const std::size_t bulkStart = i;
    quint64 a0 = 0, a1 = 0, a2 = 0, a3 = 0;
    for (; i + 32 <= size; i += 32) {
        a0 ^= qFromLittleEndian<quint64>(data + i);
        a1 ^= qFromLittleEndian<quint64>(data + i + 8);
        a2 ^= qFromLittleEndian<quint64>(data + i + 16);
        a3 ^= qFromLittleEndian<quint64>(data + i + 24);
    }
    for (; i + 8 <= size; i += 8)
        a0 ^= qFromLittleEndian<quint64>(data + i);
    const quint64 words = a0 ^ a1 ^ a2 ^ a3;
    m_lanes ^= quint32(words) ^ quint32(words >> 32);
    m_bytes += i - bulkStart;
    while (i < size)
        addByte(data[i++]);
}

qint32 Xor32Accumulator::result() const
{
    quint32 value = 0;
    for (int k = 0; k < 4; ++k)
        value |= quint32(BitReverse[(m_lanes >> (8 * k)) & 0xFFu]) << (8 * k);
    return qint32(value);
}
