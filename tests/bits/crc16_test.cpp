#include "bits/crc16.h"
#include "bits/crc16_accumulator.h"
#include "bits/xor32_accumulator.h"

#include "bits_test_support.h"

#include <gtest/gtest.h>

#include <random>

TEST(Crc16, PublishedCheckValue)
{
    const QByteArray check("123456789");
    const auto* data = reinterpret_cast<const quint8*>(check.constData());
    EXPECT_EQ(Crc16UpdatePortable(0, data, 9), 0x2189);
    EXPECT_EQ(Crc16Update(0, data, 9), 0x2189);
}

// The carry-less multiplication path against the tables, over lengths around
// its 64- and 16-byte steps, unaligned starts and continued CRCs.
TEST(Crc16, ClmulEqualsTables)
{
    if (!Crc16HasClmul())
        GTEST_SKIP() << "no PCLMULQDQ on this processor";
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
        if (round % 3 == 0 && bytes.size() > 10)
            bytes.replace(qsizetype(random() % 5), qsizetype(random() % (bytes.size() - 5)),
                          QByteArray(qsizetype(random() % 100), '\0'));
        if (round % 5 == 0)
            bytes.append(QByteArray(qsizetype(random() % 40), '\0'));
        const auto* data = reinterpret_cast<const quint8*>(bytes.constData());
        Crc16Accumulator wholeCrc;
        Xor32Accumulator wholeXor;
        wholeCrc.add(data, std::size_t(bytes.size()));
        wholeXor.add(data, std::size_t(bytes.size()));
        Crc16Accumulator piecesCrc;
        Xor32Accumulator piecesXor;
        std::size_t at = 0;
        while (at < std::size_t(bytes.size())) {
            const std::size_t piece = std::min<std::size_t>(std::size_t(bytes.size()) - at, random() % 4 == 0 ? 1 : random() % 70);
            piecesCrc.add(data + at, piece);
            piecesXor.add(data + at, piece);
            at += piece;
        }
        ASSERT_EQ(piecesCrc.result(), wholeCrc.result()) << bytes.toHex().constData();
        ASSERT_EQ(piecesXor.result(), wholeXor.result()) << bytes.toHex().constData();
    }
}

// Files of one or two bytes are not divided: the value is the bytes as a
// little-endian number, for every such file.
TEST(Crc16, ShortStreamsAreTheirOwnValue)
{
    for (unsigned v = 0; v < 65536; ++v) {
        const quint8 bytes[2] = {quint8(v), quint8(v >> 8)};
        Crc16Accumulator two;
        two.add(bytes, 2);
        ASSERT_EQ(two.result(), qint32(v));
        if (v < 256) {
            Crc16Accumulator one;
            one.add(bytes, 1);
            ASSERT_EQ(one.result(), qint32(v));
        }
    }
}
