// Files whose exact divisions fall near the end, just past a read block of
// the production reader (256 KiB): the division's last restart then lies in
// an earlier block than the file's last bytes, so what the accumulator kept
// from earlier blocks decides the result.

#include "bits/crc16_accumulator.h"
#include "bits/file_checksums.h"
#include "support/reference/bits_reference_checksums.h"

#include "bits_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr qint64 kBlock = 256 * 1024;
constexpr quint32 kPolynomial = 0x11021; // x^16 + x^12 + x^5 + 1

// Bits of a file, bit 0 of each byte first, with the remainder of the bits so
// far (the first bit the highest power) kept as they are appended.
class Bits {
public:
    void push(int bit)
    {
        m_bits.push_back(bit);
        m_remainder = m_remainder << 1 | quint32(bit);
        if (m_remainder & 0x10000u)
            m_remainder ^= kPolynomial;
    }
    void random(std::mt19937& random, qint64 count)
    {
        for (qint64 i = 0; i < count; ++i)
            push(int(random() & 1));
    }
    void zeros(qint64 count)
    {
        for (qint64 i = 0; i < count; ++i)
            push(0);
    }
    // The 16 bits after which everything so far divides exactly.
    void cancel()
    {
        quint32 t = m_remainder;
        for (int i = 0; i < 16; ++i) {
            t <<= 1;
            if (t & 0x10000u)
                t ^= kPolynomial;
        }
        for (int i = 15; i >= 0; --i)
            push(int((t >> i) & 1u));
        EXPECT_EQ(m_remainder, 0u);
    }
    // A byte that is not zero, as a whole byte; only at a byte boundary.
    void nonzeroByte(std::mt19937& random)
    {
        const unsigned value = 1 + random() % 255;
        for (int k = 0; k < 8; ++k)
            push(int((value >> k) & 1u));
    }
    qint64 size() const { return qint64(m_bits.size()); }
    QByteArray bytes() const { return packBits(m_bits); }

private:
    std::vector<int> m_bits;
    quint32 m_remainder = 0;
};

// Files just past one or two blocks whose division ends exactly in the last
// 20 bits, followed by zeros or by the bits of the file's end.
std::vector<QByteArray> exactDivisionsInTheLastBits(std::mt19937& random)
{
    std::vector<QByteArray> files;
    for (qint64 size : {kBlock + 1, kBlock + 2, kBlock + 3, 2 * kBlock + 2}) {
        for (qint64 after = 0; after <= 20; after += size > 2 * kBlock ? 5 : 2) {
            Bits bits;
            bits.random(random, size * 8 - after - 16);
            bits.cancel();
            if (after % 4 == 0)
                bits.zeros(after);
            else
                bits.random(random, after);
            files.push_back(bits.bytes());
        }
    }
    return files;
}

// Files whose division ends exactly a little before a block's end, with zeros
// across the edge and at most two non-zero bytes after it, at the very end.
std::vector<QByteArray> zerosAcrossTheEdge(std::mt19937& random)
{
    std::vector<QByteArray> files;
    for (qint64 edge : {kBlock, 2 * kBlock}) {
        for (int before : {1, 3, 8, 16, 17, 30, 64, 200}) {
            for (int nonzeroAfter : {1, 2}) {
                const int bytesAfter = nonzeroAfter + int(random() % 3); // zero bytes first
                Bits bits;
                bits.random(random, edge * 8 - before - 16);
                bits.cancel();
                bits.zeros(before + (bytesAfter - nonzeroAfter) * 8);
                for (int k = 0; k < nonzeroAfter; ++k)
                    bits.nonzeroByte(random);
                files.push_back(bits.bytes());
                if (edge == 2 * kBlock && before > 17)
                    break; // the long files cost the yardstick most
            }
        }
    }
    return files;
}

// Pieces of random sizes, a single byte and a block of the reader's included.
qint32 crcInPieces(const QByteArray& contents, std::mt19937& random)
{
    Crc16Accumulator crc;
    const auto* data = reinterpret_cast<const quint8*>(contents.constData());
    const auto size = std::size_t(contents.size());
    for (std::size_t at = 0, piece; at < size; at += piece) {
        switch (random() % 4) {
        case 0: piece = 1; break;
        case 1: piece = 1 + random() % 40; break;
        case 2: piece = 1 + random() % 70000; break;
        default: piece = std::size_t(kBlock); break;
        }
        piece = std::min(piece, size - at);
        crc.add(data + at, piece);
    }
    return crc.result();
}

void expectAllAgree(const std::vector<QByteArray>& files, std::mt19937& random)
{
    TestFiles disk;
    for (const QByteArray& contents : files) {
        const QString name = disk.write(contents);
        const qint32 want = FileCrc16Reference(name);
        SCOPED_TRACE(testing::Message() << contents.size() << " bytes ending " << contents.right(6).toHex().constData());
        ASSERT_EQ(FileChecksums(name).crc1, want);
        ASSERT_EQ(FileCrc16(name), want);
        for (int round = 0; round < 3; ++round)
            ASSERT_EQ(crcInPieces(contents, random), want);
    }
}

TEST(Crc16BlockEdges, ExactDivisionsInTheLastBitsOfAFileJustPastABlock)
{
    std::mt19937 random(51);
    expectAllAgree(exactDivisionsInTheLastBits(random), random);
}

TEST(Crc16BlockEdges, ZerosAcrossTheEdgeWithAtMostTwoNonZeroBytesAfterIt)
{
    std::mt19937 random(52);
    expectAllAgree(zerosAcrossTheEdge(random), random);
}

} // namespace
