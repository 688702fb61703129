#include "bits/bit_errors.h"
#include "bits/str_bit.h"

#include "bits_test_support.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

using Bits = std::vector<int>;

// The string's bits as its storage holds them.
Bits bitsOf(const TStr_Bit& s)
{
    Bits bits(std::size_t(s.length()));
    for (qint32 k = 0; k < s.length(); ++k)
        bits[std::size_t(k)] = (s.bits()[k / 8] >> (k % 8)) & 1;
    return bits;
}

void load(TStr_Bit& s, const Bits& bits)
{
    std::vector<quint8> values(bits.begin(), bits.end());
    s.LoadBits(qint32(values.size()), values.data());
}

Bits randomBits(std::mt19937& random, std::size_t n)
{
    Bits bits(n);
    for (int& b : bits)
        b = int(random() & 1);
    return bits;
}

template<typename F>
void expectBitsError(F f)
{
    try {
        f();
        FAIL() << "no EStrBitError";
    } catch (const EStrBitError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("Bits index out of range"));
    }
}

} // namespace

TEST(StrBit, NewStringIsEmpty)
{
    TStr_Bit s;
    EXPECT_EQ(s.length(), 0);
    EXPECT_EQ(s.bits(), nullptr);
    EXPECT_EQ(s.FirstZero(), 0);
    s.Invert();
    EXPECT_EQ(s.length(), 0);

    TStr_Bit other;
    load(other, {1, 0, 1});
    other.AddBits(s);
    EXPECT_EQ(bitsOf(other), (Bits{1, 0, 1}));
}

TEST(StrBit, StorageIsReplacedOnlyWhenTheWordCountChanges)
{
    std::mt19937 random(1);
    const Bits bits = randomBits(random, 17);
    TStr_Bit s;
    load(s, bits);
    const quint8* storage = s.bits();
    s.SetLen(30);
    EXPECT_EQ(s.bits(), storage);
    s.SetLen(17);
    EXPECT_EQ(bitsOf(s), bits);

    s.SetLen(33);
    EXPECT_NE(s.bits(), storage);
    s.SetLen(17);
    EXPECT_EQ(bitsOf(s), bits);

    s.SetLen(0);
    EXPECT_EQ(s.bits(), nullptr);
}

TEST(StrBit, LoadStrTakesTheLowestBitOfEachCharacter)
{
    TStr_Bit s;
    s.LoadStr(QStringLiteral("10001000000100001"));
    EXPECT_EQ(s.length(), 17);
    EXPECT_EQ(s.GetBits(0, 17), 67601u);

    s.LoadStr(QStringLiteral("13a0b"));
    EXPECT_EQ(bitsOf(s), (Bits{1, 1, 1, 0, 0}));

    s.LoadStr(QString());
    EXPECT_EQ(s.length(), 0);
}

TEST(StrBit, GetBitsKnownValues)
{
    struct Case {
        std::vector<quint8> storage;
        qint32 offset;
        quint8 count;
        quint32 expected;
    } cases[] = {
        {{0x86, 0x46, 0xC6, 0x00}, 0, 32, 12994182u},
        {{0xF8, 0x01}, 3, 8, 63u},
        {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 7, 32, 0xFFFFFFFFu}, // five bytes
        {{0x00, 0x80}, 15, 1, 1u},
    };
    for (const Case& c : cases) {
        Bits bits;
        for (quint8 byte : c.storage)
            for (int i = 0; i < 8; ++i)
                bits.push_back((byte >> i) & 1);
        TStr_Bit s;
        load(s, bits);
        EXPECT_EQ(s.GetBits(c.offset, c.count), c.expected) << c.offset << ' ' << int(c.count);
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

TEST(StrBit, InvalidArgumentsRaiseAndChangeNothing)
{
    std::mt19937 random(3);
    const Bits bits = randomBits(random, 17);
    TStr_Bit s;
    load(s, bits);
    const quint8 value = 1;
    expectBitsError([&] { s.GetBits(0, 0); });
    expectBitsError([&] { s.GetBits(0, 33); });
    expectBitsError([&] { s.GetBits(-1, 8); });
    expectBitsError([&] { s.SetLen(-1); });
    expectBitsError([&] { s.Fill(-5, 0xFF); });
    expectBitsError([&] { s.Clear(-1); });
    expectBitsError([&] { s.LoadBits(-1, &value); });
    expectBitsError([&] { s.DelBits(3, 0); });
    expectBitsError([&] { s.DelBits(-1, 2); });
    expectBitsError([&] { s.DelBits(18, 1); });
    EXPECT_EQ(bitsOf(s), bits);
}

TEST(StrBit, DelBits)
{
    std::mt19937 random(4);
    const Bits b17 = randomBits(random, 17);
    const Bits b40 = randomBits(random, 40);
    struct Case {
        const Bits& before;
        qint32 start;
        qint32 count;
    } cases[] = {
        {b17, 0, 5}, {b17, 0, 17}, {b17, 0, 40}, {b40, 2, 3}, {b40, 1, 38},
        {b40, 9, 8}, {b40, 31, 9}, {b40, 39, 1}, {b40, 40, 3}, {b17, 16, 1},
    };
    for (const Case& c : cases) {
        TStr_Bit s;
        load(s, c.before);
        s.DelBits(c.start, c.count);
        Bits expected = c.before;
        const auto end = std::min<std::size_t>(expected.size(), std::size_t(c.start + c.count));
        expected.erase(expected.begin() + c.start, expected.begin() + qsizetype(end));
        EXPECT_EQ(bitsOf(s), expected) << c.before.size() << ' ' << c.start << ' ' << c.count;
    }
}

TEST(StrBit, FirstZero)
{
    // 17 ones, and zeros after them in the same storage word.
    Bits bits(32, 0);
    std::fill(bits.begin(), bits.begin() + 17, 1);
    TStr_Bit s;
    load(s, bits);
    s.SetLen(17);
    EXPECT_EQ(s.FirstZero(), 17);

    for (qint32 zeroAt : {0, 7, 8, 31, 32, 33, 63, 64, 95}) {
        Bits bits(100, 1);
        bits[std::size_t(zeroAt)] = 0;
        load(s, bits);
        EXPECT_EQ(s.FirstZero(), zeroAt);
    }
}

TEST(StrBit, CombineTakesTheShorterLength)
{
    std::mt19937 random(5);
    const Bits a = randomBits(random, 32);
    const Bits b = randomBits(random, 17);
    struct Case {
        quint8 code;
        int (*op)(int, int);
    } cases[] = {
        {boXor, [](int x, int y) { return x ^ y; }},
        {boAnd, [](int x, int y) { return x & y; }},
        {boOr, [](int x, int y) { return x | y; }},
        {7, [](int x, int y) { return x ^ y; }},
    };
    for (const Case& c : cases) {
        TStr_Bit x;
        load(x, a);
        TStr_Bit y;
        load(y, b);
        x.Combine(y, c.code);
        Bits expected(17);
        for (std::size_t i = 0; i < 17; ++i)
            expected[i] = c.op(a[i], b[i]);
        EXPECT_EQ(bitsOf(x), expected) << int(c.code);
    }
}

TEST(StrBit, FillSetsWholeBytes)
{
    TStr_Bit s;
    s.Fill(10, 0x0F);
    EXPECT_EQ(bitsOf(s), (Bits{1, 1, 1, 1, 0, 0, 0, 0, 1, 1}));
    s.Clear(3);
    EXPECT_EQ(bitsOf(s), (Bits{0, 0, 0}));
}

TEST(StrBit, AddBitsAppends)
{
    std::mt19937 random(6);
    const Bits a = randomBits(random, 12);
    const Bits b = randomBits(random, 7);
    TStr_Bit x;
    load(x, a);
    TStr_Bit y;
    load(y, b);
    x.AddBits(y);
    Bits expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(bitsOf(x), expected);
}

// CopyBits against a bit-by-bit model, across every alignment of source and
// destination, with the bits around the destination checked too.
TEST(StrBit, CopyBitsEveryAlignment)
{
    std::mt19937 random(7);
    for (int round = 0; round < 3000; ++round) {
        const quint32 a = random() % 40;
        const quint32 n = random() % 70;
        const quint32 c = random() % 40;
        const QByteArray source = randomBytes(random, 16);
        QByteArray dest = randomBytes(random, 16);
        const QByteArray before = dest;
        CopyBits(a, n, c, reinterpret_cast<const quint8*>(source.constData()), reinterpret_cast<quint8*>(dest.data()));
        for (quint32 k = 0; k < c; ++k)
            ASSERT_EQ(bitAt(dest, k), bitAt(before, k)) << a << ' ' << n << ' ' << c;
        for (quint32 i = 0; i < n; ++i)
            ASSERT_EQ(bitAt(dest, c + i), bitAt(source, a + i)) << a << ' ' << n << ' ' << c;
        const quint32 endOfLastByte = n == 0 ? c : (c + n + 7) / 8 * 8;
        for (quint32 k = std::max(c + n, endOfLastByte); k < 128; ++k)
            ASSERT_EQ(bitAt(dest, k), bitAt(before, k)) << a << ' ' << n << ' ' << c;
    }
}

TEST(StrBit, CopyBitsMovesDownWithinOneBuffer)
{
    std::mt19937 random(8);
    for (int round = 0; round < 2000; ++round) {
        const quint32 c = random() % 40;
        const quint32 a = c + 1 + random() % 40;
        const quint32 n = random() % 40;
        QByteArray buffer = randomBytes(random, 16);
        const QByteArray before = buffer;
        auto* p = reinterpret_cast<quint8*>(buffer.data());
        CopyBits(a, n, c, p, p);
        for (quint32 i = 0; i < n; ++i)
            ASSERT_EQ(bitAt(buffer, c + i), bitAt(before, a + i)) << a << ' ' << n << ' ' << c;
        for (quint32 k = 0; k < c; ++k)
            ASSERT_EQ(bitAt(buffer, k), bitAt(before, k));
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
        case 0: {
            model = randomBits(random, random() % 90);
            load(s, model);
            break;
        }
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
                const auto start = qint32(random() % model.size());
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
            s.Combine(o, boXor);
            model.resize(std::min(model.size(), other.size()));
            for (std::size_t i = 0; i < model.size(); ++i)
                model[i] ^= other[i];
            break;
        }
        case 5: {
            TStr_Bit copy;
            copy.AssignBits(s);
            s.AssignBits(copy);
            break;
        }
        case 6:
            s.AddBits(s);
            model.insert(model.end(), model.begin(), model.end());
            if (model.size() > 400) {
                model.resize(50);
                s.SetLen(50);
            }
            break;
        }
        ASSERT_EQ(bitsOf(s), model) << "step " << step;
        qint32 firstZero = qint32(model.size());
        for (std::size_t i = 0; i < model.size(); ++i)
            if (model[i] == 0) {
                firstZero = qint32(i);
                break;
            }
        ASSERT_EQ(s.FirstZero(), firstZero) << "step " << step;
    }
}
