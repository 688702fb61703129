#include "bits/crc16_accumulator.h"

#include "bits/crc16.h"

#include <QtEndian>

#include <bit>
#include <cstring>
#include <optional>

namespace {

// Polynomials of degree below 16 are kept with bit k the coefficient of x^k.
// x^-1 mod P is x^15 + x^11 + x^4, since x * (x^15 + x^11 + x^4) = P + 1.
constexpr quint32 kInverseX = 0x8810;

// The remainder one bit earlier: R(p) = R(p-1) * x + m(p), so
// R(p-1) = (R(p) + m(p)) * x^-1.
quint32 stepBack(quint32 remainder, unsigned bit)
{
    const quint32 t = remainder ^ bit;
    return (t >> 1) ^ ((t & 1u) ? kInverseX : 0u);
}

quint32 reverse16(quint32 v)
{
    quint32 r = 0;
    for (int k = 0; k < 16; ++k)
        r |= ((v >> k) & 1u) << (15 - k);
    return r;
}

// The register holds the remainder from its highest non-zero term, in bit 0,
// down to the constant term.
qint32 fromHighestTerm(quint32 remainder)
{
    if (remainder == 0)
        return 0;
    const int degree = std::bit_width(remainder) - 1;
    return qint32(reverse16(remainder) >> (15 - degree));
}

} // namespace

void Crc16Accumulator::add(const quint8* data, std::size_t size)
{
    if (size == 0)
        return;
    m_crc = Crc16Update(m_crc, data, size);
    if (size >= 2) {
        m_tail = {data[size - 2], data[size - 1]};
    } else {
        m_tail[0] = m_tail[1];
        m_tail[1] = data[0];
    }
    // The last non-zero bytes of this piece, found from its end; a run of zero
    // words is skipped eight bytes at a time.
    std::array<NonzeroByte, kNonzeroKept> found{};
    int count = 0;
    std::size_t i = size;
    while (i > 0 && count < kNonzeroKept) {
        if (i >= 8) {
            quint64 word;
            std::memcpy(&word, data + i - 8, 8);
            if (word == 0) {
                i -= 8;
                continue;
            }
        }
        --i;
        if (data[i] != 0)
            found[count++] = {m_bytes + i, data[i]};
    }
    for (int k = 0; count < kNonzeroKept && k < m_nonzeroCount; ++k)
        found[count++] = m_nonzero[k];
    m_nonzero = found;
    m_nonzeroCount = count;
    m_bytes += size;
}

qint32 Crc16Accumulator::result() const
{
    if (m_bytes == 0)
        return 0;
    // Positions count the bits read: m(p) is the stream's bit p - 1 and R(p) the
    // remainder of m(1) .. m(p); R(0) = 0.
    const quint64 n = m_bytes * 8;
    quint32 remainder = reverse16(m_crc);
    for (int i = 0; i < 16; ++i)
        remainder = stepBack(remainder, 0); // the CRC is R(n) * x^16
    const unsigned tailBits = m_bytes >= 2 ? 16 : 8;
    const quint32 tail = m_bytes >= 2 ? quint32(m_tail[0]) | quint32(m_tail[1]) << 8 : m_tail[1];
    const quint64 tailStart = n - tailBits; // the position before the tail's first bit

    // The last zero remainder among the last 16 positions (n - 16 .. n).
    std::optional<quint64> runEnd;
    quint32 r = remainder;
    for (quint64 p = n;; --p) {
        if (r == 0) {
            runEnd = p;
            break;
        }
        if (p == tailStart)
            break;
        r = stepBack(r, (tail >> (p - 1 - tailStart)) & 1u);
    }
    if (!runEnd)
        return fromHighestTerm(remainder);

    // The run of zero remainders started at the last 1 bit at or before its end.
    quint64 runStart = 0;
    for (int k = 0; k < m_nonzeroCount; ++k) {
        const quint64 firstPosition = m_nonzero[k].index * 8 + 1;
        if (firstPosition > *runEnd)
            continue;
        const quint64 usable = std::min<quint64>(8, *runEnd - firstPosition + 1);
        const unsigned ones = m_nonzero[k].value & ((1u << usable) - 1);
        if (ones != 0) {
            runStart = firstPosition + unsigned(std::bit_width(ones)) - 1;
            break;
        }
    }
    const quint64 restart = runStart + (*runEnd - runStart) / 17 * 17;
    const quint64 left = n - restart;
    if (left >= 17)
        return fromHighestTerm(remainder);
    return qint32((tail >> (restart - tailStart)) & ((1u << left) - 1));
}
