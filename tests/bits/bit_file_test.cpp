#include "bits/bit_errors.h"
#include "bits/bit_file.h"

#include "bits_test_support.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <random>

namespace {

// The bit file's current string.
std::vector<int> stringBits(const TBitFile& f)
{
    std::vector<int> bits(std::size_t(f.length()));
    for (qint32 k = 0; k < f.length(); ++k)
        bits[std::size_t(k)] = (f.bits()[k / 8] >> (k % 8)) & 1;
    return bits;
}

std::vector<int> fileBits(const QByteArray& bytes, qint64 from, qint64 count, bool reversed = false)
{
    std::vector<int> bits;
    for (qint64 k = from; k < from + count; ++k) {
        const int bit = int(k % 8);
        bits.push_back((quint8(bytes[qsizetype(k / 8)]) >> (reversed ? 7 - bit : bit)) & 1);
    }
    return bits;
}

template<typename E, typename F>
void expectError(F f, const QString& text)
{
    try {
        f();
        FAIL() << "no exception";
    } catch (const E& e) {
        EXPECT_EQ(e.message(), text);
    }
}

} // namespace

TEST(BitFile, BitReverseTable)
{
    EXPECT_EQ(BitReverse[1], 128);
    EXPECT_EQ(BitReverse[2], 64);
    EXPECT_EQ(BitReverse[3], 192);
    EXPECT_EQ(BitReverse[6], 96);
    EXPECT_EQ(BitReverse[255], 255);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(BitReverse[BitReverse[i]], i);
    quint8 bytes[] = {0x01, 0x80, 0x0F};
    TranslateBytes(bytes, 3);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x01);
    EXPECT_EQ(bytes[2], 0xF0);
}

TEST(BitFile, EmptyFile)
{
    TestFiles files;
    TBitFile f;
    f.Open(files.write({}), bfRead, 8192);
    EXPECT_EQ(f.BitSize(), 0);
    EXPECT_EQ(f.ReadBits(17), kBitFileEnd);
    EXPECT_EQ(f.length(), 0);
}

TEST(BitFile, ThreeBytesInPiecesOf17)
{
    TestFiles files;
    const QByteArray bytes("\x61\x62\x63", 3);
    TBitFile f;
    f.Open(files.write(bytes), bfRead, 8192);
    EXPECT_EQ(f.BitSize(), 24);
    EXPECT_EQ(f.ReadBits(17), kBitFileOk);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 0, 17));
    EXPECT_EQ(f.ReadBits(17), kBitFileOk);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 17, 7));
    EXPECT_EQ(f.ReadBits(17), kBitFileEnd);
    EXPECT_EQ(f.length(), 0);
    EXPECT_EQ(f.position(), 24);
}

TEST(BitFile, ExactBlockReadIn32BitPieces)
{
    TestFiles files;
    std::mt19937 random(11);
    const QByteArray bytes = randomBytes(random, 8192);
    TBitFile f;
    f.Open(files.write(bytes), bfRead, 8192);
    for (int i = 1; i <= 2048; ++i) {
        ASSERT_EQ(f.ReadBits(32), kBitFileOk) << i;
        ASSERT_EQ(f.length(), 32) << i;
        ASSERT_EQ(stringBits(f), fileBits(bytes, qint64(i - 1) * 32, 32)) << i;
    }
    // The 2048th read ended exactly at the buffer's end and refilled it.
    EXPECT_EQ(f.bufferPosition(), 0);
    EXPECT_EQ(f.ReadBits(32), kBitFileEnd);
    EXPECT_EQ(f.length(), 0);
}

TEST(BitFile, ReadSpanningTwoBlocks)
{
    TestFiles files;
    std::mt19937 random(12);
    const QByteArray bytes = randomBytes(random, 8200);
    TBitFile f;
    f.Open(files.write(bytes), bfRead, 8192);
    for (int i = 0; i < 6553; ++i)
        ASSERT_EQ(f.ReadBits(10), kBitFileOk);
    ASSERT_EQ(f.position(), 65530);
    EXPECT_EQ(f.ReadBits(17), kBitFileOk);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 65530, 17));
    EXPECT_EQ(f.bufferPosition(), 11);
    EXPECT_EQ(f.position(), 65547);
}

TEST(BitFile, ReversalSwitch)
{
    TestFiles files;
    const QString name = files.write(QByteArray("\x01", 1));
    TBitFile f;
    f.Open(name, bfRead, 8192);
    f.ReadBits(8);
    EXPECT_EQ(f.GetBits(0, 8), 1u);
    f.Close();
    f.Open(name, bfRead, 8192);
    f.SetReversed();
    EXPECT_TRUE(f.isReversed());
    f.ReadBits(8);
    EXPECT_EQ(f.GetBits(0, 8), 128u);
}

TEST(BitFile, BufferSizeRounding)
{
    TestFiles files;
    const QString name = files.write("x");
    const struct {
        qint32 requested;
        qint32 expected;
    } cases[] = {{0, 8192}, {-5, 8192}, {8191, 8192}, {8192, 8192}, {16382, 8192},
                 {16383, 16384}, {20000, 16384}, {24575, 24576}};
    for (const auto& c : cases) {
        TBitFile f;
        f.Open(name, bfRead, c.requested);
        EXPECT_EQ(f.bufferSize(), c.expected) << c.requested;
    }
}

// Pieces of random sizes, with buffers of several sizes and either bit order,
// give back the file's bits in order.
TEST(BitFile, RandomPiecesReassembleTheFile)
{
    TestFiles files;
    std::mt19937 random(13);
    for (int round = 0; round < 12; ++round) {
        const QByteArray bytes = randomBytes(random, qsizetype(random() % 40000));
        const qint32 request = round % 3 == 0 ? 8192 : round % 3 == 1 ? 16383 : 30000;
        const bool reversed = round % 2 == 1;
        TBitFile f;
        f.Open(files.write(bytes), bfRead, request);
        if (reversed)
            f.SetReversed();
        qint64 position = 0;
        for (;;) {
            const qint32 n = round == 0 ? 65535 : qint32(random() % 200);
            const quint16 status = f.ReadBits(n);
            if (status == kBitFileEnd)
                break;
            ASSERT_EQ(status, kBitFileOk);
            const qint64 expected = std::min<qint64>(n, qint64(bytes.size()) * 8 - position);
            ASSERT_EQ(f.length(), expected);
            ASSERT_EQ(stringBits(f), fileBits(bytes, position, expected, reversed));
            position += expected;
        }
        EXPECT_EQ(position, qint64(bytes.size()) * 8);
    }
}

TEST(BitFile, OpenAndCloseErrors)
{
    TestFiles files;
    const QString name = files.write("abc");
    TBitFile f;
    expectError<EFileBitError>([&] { f.Open(name, 0x1234, 8192); }, kFileInitErrorText);
    expectError<EFileBitError>([&] { f.Open(files.path(QStringLiteral("missing")), bfRead, 8192); },
                               kFileInitErrorText);
    expectError<EFileBitError>([&] { f.SetReversed(); }, kFileInitErrorText);
    expectError<EFileBitZacr>([&] { f.Close(); }, kFileCloseErrorText);
    EXPECT_EQ(kFileInitErrorText.size(), 27);
    EXPECT_EQ(kFileCloseErrorText.size(), 30);

    f.Open(name, bfRead, 8192);
    expectError<EFileBitError>([&] { f.Open(name, bfRead, 8192); }, kFileInitErrorText);
    EXPECT_EQ(f.mode(), bfRead); // still open on the first file
    expectError<EStrBitError>([&] { f.ReadBits(-1); }, QStringLiteral("Bits index out of range"));
    expectError<EStrBitError>([&] { f.ReadBits(65536); }, QStringLiteral("Bits index out of range"));
}

TEST(BitFile, DirectoryFailsOnItsFirstBlock)
{
    TestFiles files;
    FaultyFileAccess access;
    {
        TBitFile f(access);
        expectError<EFileBitError>([&] { f.Open(files.path(QStringLiteral(".")), bfRead, 8192); }, kFileInitErrorText);
        EXPECT_EQ(f.mode(), bfRead); // left open, and the destructor closes it
    }
    EXPECT_EQ(access.openCount, 1);
    EXPECT_EQ(access.closeCount, 1);
}

TEST(BitFile, CloseResetsAndAllowsReopening)
{
    TestFiles files;
    const QString name = files.write("abcdef");
    TBitFile f;
    f.Open(name, bfRead, 8192);
    f.ReadBits(12);
    f.Close();
    EXPECT_EQ(f.length(), 0);
    EXPECT_EQ(f.mode(), 0);
    EXPECT_EQ(f.status(), kBitFileEnd);
    EXPECT_EQ(f.ReadBits(8), kBitFileEnd);
    f.Open(name, bfRead, 8192);
    EXPECT_EQ(f.ReadBits(8), kBitFileOk);
    EXPECT_EQ(f.GetBits(0, 8), quint32('a'));
}

TEST(BitFile, DestroyingAnOpenFileClosesIt)
{
    TestFiles files;
    FaultyFileAccess access;
    {
        TBitFile f(access);
        f.Open(files.write("abc"), bfRead, 8192);
    }
    EXPECT_EQ(access.openCount, 1);
    EXPECT_EQ(access.closeCount, 1);
}

TEST(BitFile, CreateModeEmptiesTheFile)
{
    TestFiles files;
    const QString existing = files.write("not empty");
    const QString fresh = files.path(QStringLiteral("new.bin"));
    for (const QString& name : {existing, fresh}) {
        TBitFile f;
        f.Open(name, bfCreate, 8192);
        EXPECT_EQ(f.BitSize(), 0);
        EXPECT_EQ(f.ReadBits(8), kBitFileEnd);
        f.SetReversed();
        f.Close();
        EXPECT_TRUE(QFileInfo::exists(name));
        EXPECT_EQ(QFileInfo(name).size(), 0);
    }
}

// A failed block read delivers what was left in the buffer, empties it and
// does not advance the position; the next read tries the file again.
TEST(BitFile, FailedBlockReadGivesStatusFive)
{
    TestFiles files;
    std::mt19937 random(14);
    const QByteArray bytes = randomBytes(random, 10000);
    FaultyFileAccess access(2); // the first refill fails, once
    TBitFile f(access);
    f.Open(files.write(bytes), bfRead, 8192);
    for (int i = 0; i < 6553; ++i)
        ASSERT_EQ(f.ReadBits(10), kBitFileOk);
    EXPECT_EQ(f.ReadBits(17), kBitFileReadFailed);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 65530, 6));
    EXPECT_EQ(f.position(), 65530);
    EXPECT_EQ(f.bufferPosition(), 0);
    // The retry reads the file's second block, and the status stays as it was.
    EXPECT_EQ(f.ReadBits(17), kBitFileReadFailed);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 65536, 17));
    EXPECT_EQ(f.ReadBits(17), kBitFileOk);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 65536 + 17, 17));
}

// Bit counts past 2^31: a sparse file just over 256 MiB with data at its end.
TEST(BitFile, FilesOf256MiBAndMore)
{
    TestFiles files;
    const qint64 zeros = (qint64(1) << 28) + 3;
    const QByteArray data("\x5A\xC3\x01", 3);
    const QString name = files.path(QStringLiteral("sparse.bin"));
    {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.seek(zeros));
        ASSERT_EQ(file.write(data), data.size());
    }
    TBitFile f;
    f.Open(name, bfRead, 1 << 20);
    const qint64 bits = (zeros + data.size()) * 8;
    EXPECT_EQ(f.BitSize(), bits);
    qint64 position = 0;
    while (bits - position > 65535) {
        ASSERT_EQ(f.ReadBits(65535), kBitFileOk);
        position += 65535;
    }
    const qint64 rest = bits - position;
    ASSERT_EQ(f.ReadBits(qint32(rest)), kBitFileOk);
    EXPECT_EQ(f.position(), bits);
    const qint64 zeroBitsInLastPiece = rest - 24;
    EXPECT_EQ(f.GetBits(qint32(zeroBitsInLastPiece), 24), 0x01C35Au);
    EXPECT_EQ(f.ReadBits(1), kBitFileEnd);
}
