#include "bits/crc16.h"
#include "bits/crc16_accumulator.h"
#include "bits/xor32_accumulator.h"

#include "bits_test_support.h"

#include <gtest/gtest.h>

TEST(Crc16, PublishedCheckValueAndBothImplementations)
{
    const auto* check = reinterpret_cast<const quint8*>("123456789");
    EXPECT_EQ(Crc16UpdatePortable(0, check, 9), 0x2189);
    EXPECT_EQ(Crc16Update(0, check, 9), 0x2189);
    if (!Crc16HasClmul())
        GTEST_SKIP() << "no PCLMULQDQ on this processor";
    // Lengths around the 64- and 16-byte steps, unaligned starts, continued CRCs.
    std::mt19937 random(21);
    const QByteArray bytes = randomBytes(random, 5000);
    const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
    for (std::size_t size = 0; size < 600; ++size)
        for (std::size_t start : {0, 1, 7}) {
            const auto crc = quint16(random());
            ASSERT_EQ(Crc16UpdateClmul(crc, data + start, size), Crc16UpdatePortable(crc, data + start, size))
                << size << ' ' << start;
        }
    EXPECT_EQ(Crc16UpdateClmul(0, data, 4999), Crc16UpdatePortable(0, data, 4999));
}

// Feeding a stream in pieces, one byte at a time included, changes nothing,
// also when the pieces cut runs of zero bytes and the last bytes apart.
TEST(Crc16, AccumulatorsDoNotDependOnPieces)
{
    std::mt19937 random(22);
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = randomBytes(random, qsizetype(random() % 300));
        if (round % 2 == 0)
            bytes.insert(qsizetype(random() % (bytes.size() + 1)), QByteArray(qsizetype(random() % 100), '\0'));
        const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
        const auto size = std::size_t(bytes.size());
        Crc16Accumulator wholeCrc, piecesCrc;
        Xor32Accumulator wholeXor, piecesXor;
        wholeCrc.add(data, size);
        wholeXor.add(data, size);
        for (std::size_t at = 0, piece; at < size; at += piece) {
            piece = std::min<std::size_t>(size - at, random() % 4 == 0 ? 1 : random() % 70);
            piecesCrc.add(data + at, piece);
            piecesXor.add(data + at, piece);
        }
        ASSERT_EQ(piecesCrc.result(), wholeCrc.result()) << bytes.toHex().constData();
        ASSERT_EQ(piecesXor.result(), wholeXor.result()) << bytes.toHex().constData();
    }
}
