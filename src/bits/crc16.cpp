#include "bits/crc16.h"

#include <QtEndian>

#include <array>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define KVAREN_HAVE_CLMUL 1
#endif

namespace {

using Tables = std::array<std::array<quint16, 256>, 8>;

// tables[k][i]: the CRC of byte i followed by k zero bytes.
constexpr Tables makeTables()
{
    Tables tables{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) ? (crc >> 1) ^ 0x8408u : crc >> 1;
        tables[0][i] = quint16(crc);
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
        for (unsigned i = 0; i < 256; ++i) {
            const unsigned previous = tables[k - 1][i];
            tables[k][i] = quint16((previous >> 8) ^ tables[0][previous & 0xFFu]);
        }
    return tables;
}

constexpr Tables kTables = makeTables();

#ifdef KVAREN_HAVE_CLMUL

// x^n mod P, bit k the coefficient of x^k.
constexpr quint32 xPowerModP(unsigned n)
{
    quint32 r = 1;
    for (unsigned i = 0; i < n; ++i) {
        r <<= 1;
        if (r & 0x10000u)
            r ^= 0x11021u;
    }
    return r;
}

constexpr quint64 reflect16To64(quint32 v)
{
    quint64 r = 0;
    for (int k = 0; k < 16; ++k)
        if (v & (1u << k))
            r |= quint64(1) << (63 - k);
    return r;
}

// A folding constant for a register part that must be multiplied by x^n.
// Register bit t stands for x^(127 - t); multiplying two such 64-bit halves
// yields the product times x, so the constant is x^(n - 1).
constexpr qint64 foldConstant(unsigned n)
{
    return qint64(reflect16To64(xPowerModP(n - 1)));
}

__attribute__((target("pclmul,sse4.1"))) inline __m128i fold(__m128i x, __m128i constants, __m128i next)
{
    // The low half holds the higher powers, hence the larger constant.
    const __m128i high = _mm_clmulepi64_si128(x, constants, 0x00);
    const __m128i low = _mm_clmulepi64_si128(x, constants, 0x11);
    return _mm_xor_si128(_mm_xor_si128(high, low), next);
}

__attribute__((target("sse2"))) inline __m128i load(const quint8* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

#endif

} // namespace

quint16 Crc16UpdatePortable(quint16 crc, const quint8* data, std::size_t size)
{
    const auto& t = kTables;
    while (size >= 8) {
        const quint64 w = qFromLittleEndian<quint64>(data) ^ crc;
        crc = quint16(t[7][w & 0xFF] ^ t[6][(w >> 8) & 0xFF] ^ t[5][(w >> 16) & 0xFF] ^ t[4][(w >> 24) & 0xFF]
                      ^ t[3][(w >> 32) & 0xFF] ^ t[2][(w >> 40) & 0xFF] ^ t[1][(w >> 48) & 0xFF] ^ t[0][w >> 56]);
        data += 8;
        size -= 8;
    }
    while (size-- != 0)
        crc = quint16((crc >> 8) ^ t[0][(crc ^ *data++) & 0xFFu]);
    return crc;
}

#ifdef KVAREN_HAVE_CLMUL

bool Crc16HasClmul()
{
    static const bool supported = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    return supported;
}

// Folds the data 128 bits at a time into registers that stay congruent, modulo
// P, to the bytes folded so far, four registers at once to hide the
// multiplier's latency; the last register is then reduced through the tables.
__attribute__((target("pclmul,sse4.1"))) quint16 Crc16UpdateClmul(quint16 crc, const quint8* data,
                                                                   std::size_t size)
{
    if (size < 64)
        return Crc16UpdatePortable(crc, data, size);
    // The running CRC goes into the first two bytes: (C * x^(8L - 16) + B) * x^16
    // is the CRC of the earlier bytes followed by these L bytes.
    __m128i x0 = _mm_xor_si128(load(data), _mm_cvtsi32_si128(crc));
    __m128i x1 = load(data + 16);
    __m128i x2 = load(data + 32);
    __m128i x3 = load(data + 48);
    data += 64;
    size -= 64;
    const __m128i by512 = _mm_set_epi64x(foldConstant(512), foldConstant(576));
    while (size >= 64) {
        x0 = fold(x0, by512, load(data));
        x1 = fold(x1, by512, load(data + 16));
        x2 = fold(x2, by512, load(data + 32));
        x3 = fold(x3, by512, load(data + 48));
        data += 64;
        size -= 64;
    }
    const __m128i by128 = _mm_set_epi64x(foldConstant(128), foldConstant(192));
    x1 = fold(x0, by128, x1);
    x2 = fold(x1, by128, x2);
    x3 = fold(x2, by128, x3);
    while (size >= 16) {
        x3 = fold(x3, by128, load(data));
        data += 16;
        size -= 16;
    }
    alignas(16) quint8 folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), x3);
    return Crc16UpdatePortable(Crc16UpdatePortable(0, folded, sizeof folded), data, size);
}

quint16 Crc16Update(quint16 crc, const quint8* data, std::size_t size)
{
    static const auto implementation = Crc16HasClmul() ? Crc16UpdateClmul : Crc16UpdatePortable;
    return implementation(crc, data, size);
}

#else

bool Crc16HasClmul()
{
    return false;
}

quint16 Crc16UpdateClmul(quint16 crc, const quint8* data, std::size_t size)
{
    return Crc16UpdatePortable(crc, data, size);
}

quint16 Crc16Update(quint16 crc, const quint8* data, std::size_t size)
{
    return Crc16UpdatePortable(crc, data, size);
}

#endif
