#include "support/reference/bits_str_bit.h"

#include "bits_test_support.h"

#include <gtest/gtest.h>

namespace {

using Bits = std::vector<int>;

Bits bitsOf(const TStr_Bit& s)
{
    Bits bits;
    for (qint32 k = 0; k < s.length(); ++k)
        bits.push_back((s.bits()[k / 8] >> (k % 8)) & 1);
    return bits;
}

void load(TStr_Bit& s, const Bits& bits)
{
    const std::vector<quint8> values(bits.begin(), bits.end());
    s.LoadBits(qint32(values.size()), values.data());
}

Bits randomBits(std::mt19937& random, std::size_t n)
{
    Bits bits(n);
    for (int& b : bits)
        b = int(random() & 1);
    return bits;
}

} // namespace

TEST(StrBit, EdgeCases)
{
    TStr_Bit empty;
    EXPECT_EQ(empty.FirstZero(), 0);
    empty.Invert();
    EXPECT_EQ(empty.bits(), nullptr);

    TStr_Bit s;
    s.LoadStr(QStringLiteral("10001000000100001"));
    EXPECT_EQ(s.GetBits(0, 17), 67601u);
    s.AddBits(empty);
    EXPECT_EQ(s.length(), 17);
    const Bits before = bitsOf(s);
    const quint8* storage = s.bits();
    s.SetLen(30); // same word: storage and bits kept
    EXPECT_EQ(s.bits(), storage);
    s.SetLen(33); // another word: new storage, the bits copied over
    EXPECT_NE(s.bits(), storage);
    s.SetLen(17);
    EXPECT_EQ(bitsOf(s), before);
    s.LoadStr(QString());
    EXPECT_EQ(s.bits(), nullptr);

    s.Fill(10, 0x0F);
    EXPECT_EQ(bitsOf(s), (Bits{1, 1, 1, 1, 0, 0, 0, 0, 1, 1}));
    s.Fill(32, 0x00);
    s.Fill(17, 0xFF); // the storage past bit 16 stays 0
    EXPECT_EQ(s.FirstZero(), 17);

    const quint8 bytes[] = {0x86, 0x46, 0xC6, 0x00, 0xF8, 0x01};
    Bits fromBytes;
    for (quint8 byte : bytes)
        for (int i = 0; i < 8; ++i)
            fromBytes.push_back((byte >> i) & 1);
    load(s, fromBytes);
    EXPECT_EQ(s.GetBits(0, 32), 12994182u);
    EXPECT_EQ(s.GetBits(32 + 3, 8), 63u);
}

TEST(StrBit, InvalidArgumentsRaiseAndChangeNothing)
{
    std::mt19937 random(3);
    const Bits bits = randomBits(random, 17);
    TStr_Bit s;
    load(s, bits);
    const quint8 value = 1;
    const std::function<void()> calls[] = {
        [&] { s.GetBits(0, 0); },     [&] { s.GetBits(0, 33); },     [&] { s.GetBits(-1, 8); },
        [&] { s.SetLen(-1); },        [&] { s.Fill(-5, 0xFF); },     [&] { s.Clear(-1); },
        [&] { s.LoadBits(-1, &value); }, [&] { s.DelBits(3, 0); }, [&] { s.DelBits(-1, 2); },
        [&] { s.DelBits(18, 1); },
    };
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "no EStrBitError";
        } catch (const EStrBitError& e) {
            EXPECT_EQ(e.message(), QStringLiteral("Bits index out of range"));
        }
        EXPECT_EQ(bitsOf(s), bits);
    }
}

TEST(StrBit, GetBitsAtEveryOffsetAndCount)
{
    std::mt19937 random(2);
    const Bits bits = randomBits(random, 100);
    TStr_Bit s;
    load(s, bits);
    for (qint32 offset = 0; offset < 100; ++offset)
        for (int count = 1; count <= 32 && offset + count <= 100; ++count) {
            quint32 expected = 0;
            for (int i = 0; i < count; ++i)
                expected |= quint32(bits[std::size_t(offset + i)]) << i;
            ASSERT_EQ(s.GetBits(offset, quint8(count)), expected) << offset << ' ' << count;
        }
}

// Every alignment of source and destination, between two buffers and moving
// down within one; the bits around the destination must stay.
TEST(StrBit, CopyBitsEveryAlignment)
{
    std::mt19937 random(7);
    for (int round = 0; round < 6000; ++round) {
        const bool inPlace = round % 2 == 1;
        const quint32 c = random() % 40;
        const quint32 a = inPlace ? c + 1 + random() % 40 : random() % 40;
        const quint32 n = random() % 70;
        const QByteArray source = randomBytes(random, 24);
        QByteArray dest = inPlace ? source : randomBytes(random, 24);
        const QByteArray before = dest;
        CopyBits(a, n, c, reinterpret_cast<const quint8*>(inPlace ? dest.constData() : source.constData()),
                 reinterpret_cast<quint8*>(dest.data()));
        const quint32 mayChangeUpTo = n == 0 ? c : (c + n + 7) / 8 * 8;
        for (quint32 k = 0; k < 192; ++k) {
            const int expected = k >= c && k < c + n ? bitAt(source, a + k - c) : bitAt(before, k);
            if (k < c || k >= mayChangeUpTo || k < c + n) {
                ASSERT_EQ(bitAt(dest, k), expected) << a << ' ' << n << ' ' << c << ' ' << k;
            }
        }
    }
}

// Random sequences of operations on a string and on a plain model of it.
TEST(StrBit, OperationsAgreeWithAModel)
{
    std::mt19937 random(9);
    TStr_Bit s;
    Bits model;
    for (int step = 0; step < 20000; ++step) {
        switch (random() % 7) {
        case 0:
            model = randomBits(random, random() % 90);
            load(s, model);
            break;
        case 1: {
            const Bits more = randomBits(random, random() % 50);
            TStr_Bit other;
            load(other, more);
            s.AddBits(other);
            model.insert(model.end(), more.begin(), more.end());
            break;
        }
        case 2:
            if (!model.empty()) {
                const auto start = qint32(random() % (model.size() + 1));
                const auto count = qint32(1 + random() % 40);
                s.DelBits(start, count);
                model.erase(model.begin() + start,
                            model.begin() + qsizetype(std::min<std::size_t>(model.size(), std::size_t(start + count))));
            }
            break;
        case 3:
            s.Invert();
            for (int& b : model)
                b ^= 1;
            break;
        case 4: {
            const Bits other = randomBits(random, 1 + random() % 90);
            TStr_Bit o;
            load(o, other);
            if (model.empty())
                break;
            const quint8 code = quint8(random() % 4); // 3 acts as boXor
            s.Combine(o, code);
            model.resize(std::min(model.size(), other.size()));
            for (std::size_t i = 0; i < model.size(); ++i)
                model[i] = code == boAnd ? model[i] & other[i] : code == boOr ? model[i] | other[i] : model[i] ^ other[i];
            break;
        }
        case 5: {
            TStr_Bit copy;
            copy.AssignBits(s);
            s.AssignBits(copy);
            break;
        }
        case 6: {
            s.AddBits(s);
            // Inserting a vector's own range into it is undefined: copy it first.
            const auto before = model;
            model.insert(model.end(), before.begin(), before.end());
            if (model.size() > 400) {
                model.resize(50);
                s.SetLen(50);
            }
            break;
        }
        }
        ASSERT_EQ(bitsOf(s), model) << "step " << step;
        const auto zero = std::find(model.begin(), model.end(), 0);
        ASSERT_EQ(s.FirstZero(), qint32(zero - model.begin())) << "step " << step;
    }
}
