#include "bits/bit_errors.h"
#include "support/reference/bits_bit_file.h"

#include "bits_test_support.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

std::vector<int> stringBits(const TBitFile& f)
{
    std::vector<int> bits;
    for (qint32 k = 0; k < f.length(); ++k)
        bits.push_back((f.bits()[k / 8] >> (k % 8)) & 1);
    return bits;
}

std::vector<int> fileBits(const QByteArray& bytes, qint64 from, qint64 count, bool reversed = false)
{
    std::vector<int> bits;
    for (qint64 k = from; k < from + count; ++k)
        bits.push_back((quint8(bytes[qsizetype(k / 8)]) >> (reversed ? 7 - k % 8 : k % 8)) & 1);
    return bits;
}

template<typename E, typename F>
void expectError(F f, const QString& text)
{
    try {
        f();
        ADD_FAILURE() << "no exception";
    } catch (const E& e) {
        EXPECT_EQ(e.message(), text);
    }
}

} // namespace

TEST(BitFile, BitReverse)
{
    const int pairs[][2] = {{1, 128}, {2, 64}, {3, 192}, {6, 96}, {255, 255}, {0x0F, 0xF0}};
    for (const auto& pair : pairs)
        EXPECT_EQ(BitReverse[pair[0]], pair[1]);
    quint8 bytes[] = {0x01, 0x80};
    TranslateBytes(bytes, 2);
    EXPECT_EQ(bytes[0], 0x80);
    EXPECT_EQ(bytes[1], 0x01);
}

// Pieces of random sizes, with buffers of several sizes and either bit order,
// give back the file's bits in order, and then status 9 with an empty string.
TEST(BitFile, PiecesReassembleTheFile)
{
    TestFiles files;
    std::mt19937 random(13);
    for (int round = 0; round < 14; ++round) {
        const qsizetype size = round < 2 ? round * 3 : qsizetype(random() % 40000);
        const QByteArray bytes = randomBytes(random, size);
        const bool reversed = round % 2 == 1;
        TBitFile f;
        f.Open(files.write(bytes), bfRead, round % 3 == 0 ? 8192 : 30000);
        EXPECT_EQ(f.BitSize(), qint64(size) * 8);
        if (reversed)
            f.SetReversed();
        qint64 position = 0;
        for (;;) {
            const qint32 n = round < 2 ? 17 : round == 2 ? 65535 : qint32(random() % 200);
            const quint16 status = f.ReadBits(n);
            if (status == kBitFileEnd)
                break;
            ASSERT_EQ(status, kBitFileOk);
            const qint64 expected = std::min<qint64>(n, qint64(size) * 8 - position);
            ASSERT_EQ(stringBits(f), fileBits(bytes, position, expected, reversed)) << round;
            position += expected;
        }
        EXPECT_EQ(f.length(), 0);
        EXPECT_EQ(position, qint64(size) * 8);
    }
}

TEST(BitFile, BlockBoundaries)
{
    TestFiles files;
    std::mt19937 random(12);
    const QByteArray exact = randomBytes(random, 8192);
    TBitFile f;
    f.Open(files.write(exact), bfRead, 8192);
    for (int i = 1; i <= 2048; ++i)
        ASSERT_EQ(f.ReadBits(32), kBitFileOk);
    EXPECT_EQ(f.bufferPosition(), 0); // the 2048th read ended at the buffer's end and refilled it
    EXPECT_EQ(f.ReadBits(32), kBitFileEnd);
    f.Close();

    const QByteArray spanning = randomBytes(random, 8200);
    f.Open(files.write(spanning), bfRead, 8192);
    for (int i = 0; i < 6553; ++i)
        f.ReadBits(10);
    ASSERT_EQ(f.position(), 65530);
    EXPECT_EQ(f.ReadBits(17), kBitFileOk);
    EXPECT_EQ(stringBits(f), fileBits(spanning, 65530, 17));
    EXPECT_EQ(f.bufferPosition(), 11);
}

TEST(BitFile, BufferSizeRounding)
{
    TestFiles files;
    const QString name = files.write("x");
    const qint32 cases[][2] = {{0, 8192}, {-5, 8192}, {8191, 8192}, {16382, 8192}, {16383, 16384}, {20000, 16384}};
    for (const auto& c : cases) {
        TBitFile f;
        f.Open(name, bfRead, c[0]);
        EXPECT_EQ(f.bufferSize(), c[1]) << c[0];
    }
}

TEST(BitFile, Errors)
{
    TestFiles files;
    const QString name = files.write("abc");
    TBitFile f;
    expectError<EFileBitError>([&] { f.Open(name, 0x1234, 8192); }, kFileInitErrorText);
    expectError<EFileBitError>([&] { f.Open(files.path(QStringLiteral("missing")), bfRead, 8192); },
                               kFileInitErrorText);
    expectError<EFileBitError>([&] { f.SetReversed(); }, kFileInitErrorText);
    expectError<EFileBitZacr>([&] { f.Close(); }, kFileCloseErrorText);
    // The exact texts, not the constants the code raises them with. The close
    // error's second word is spelt with a Latin p (U+0070), as it always was.
    EXPECT_EQ(kFileInitErrorText, QStringLiteral("Ошибка инициализации файла "));
    EXPECT_EQ(kFileCloseErrorText, QStringLiteral("Ошибка п") + QChar(0x70) + QStringLiteral("и записи конца файла "));
    EXPECT_EQ(EFileBitZacr().message(), QStringLiteral("Ошибка п") + QChar(0x70) + QStringLiteral("и записи конца файла "));
    EXPECT_EQ(EFileBitError().message(), QStringLiteral("Ошибка инициализации файла "));
    EXPECT_EQ(EFileBitError(QStringLiteral("/x")).message(), QStringLiteral("Ошибка инициализации файла /x"));
    EXPECT_EQ(EStrBitError().message(), QStringLiteral("Bits index out of range"));
    f.Open(name, bfRead, 8192);
    expectError<EFileBitError>([&] { f.Open(name, bfRead, 8192); }, kFileInitErrorText);
    expectError<EStrBitError>([&] { f.ReadBits(-1); }, QStringLiteral("Bits index out of range"));
    expectError<EStrBitError>([&] { f.ReadBits(65536); }, QStringLiteral("Bits index out of range"));
    EXPECT_EQ(f.ReadBits(8), kBitFileOk); // still open on the first file, unharmed
    EXPECT_EQ(f.GetBits(0, 8), quint32('a'));
}

TEST(BitFile, CloseDestroyAndReopen)
{
    TestFiles files;
    const QString name = files.write("abcdef");
    FaultyFileAccess access;
    {
        TBitFile f(access);
        f.Open(name, bfRead, 8192);
        f.ReadBits(12);
        f.Close();
        EXPECT_EQ(f.length(), 0);
        EXPECT_EQ(f.mode(), 0);
        EXPECT_EQ(f.status(), kBitFileEnd);
        f.Open(name, bfRead, 8192);
        EXPECT_EQ(f.ReadBits(8), kBitFileOk);
        EXPECT_EQ(f.GetBits(0, 8), quint32('a'));
    }
    {
        // A directory opens but fails on its first block; it is left open.
        TBitFile f(access);
        expectError<EFileBitError>([&] { f.Open(files.path(QStringLiteral(".")), bfRead, 8192); },
                                   kFileInitErrorText);
        EXPECT_EQ(f.mode(), bfRead);
    }
    EXPECT_EQ(access.openCount, 3);
    EXPECT_EQ(access.closeCount, 3);
}

TEST(BitFile, CreateModeEmptiesTheFile)
{
    TestFiles files;
    for (const QString& name : {files.write("not empty"), files.path(QStringLiteral("new.bin"))}) {
        TBitFile f;
        f.Open(name, bfCreate, 8192);
        EXPECT_EQ(f.ReadBits(8), kBitFileEnd);
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
        f.ReadBits(10);
    EXPECT_EQ(f.ReadBits(17), kBitFileReadFailed);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 65530, 6));
    EXPECT_EQ(f.position(), 65530);
    // The retry reads the second block; the status stays until a read within the buffer.
    EXPECT_EQ(f.ReadBits(17), kBitFileReadFailed);
    EXPECT_EQ(stringBits(f), fileBits(bytes, 65536, 17));
    EXPECT_EQ(f.ReadBits(17), kBitFileOk);
}

// Bit counts past 2^31: a sparse file just over 256 MiB with data at its end.
TEST(BitFile, FilesOf256MiBAndMore)
{
    TestFiles files;
    const qint64 zeros = (qint64(1) << 28) + 3;
    const QString name = files.path(QStringLiteral("sparse.bin"));
    {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.seek(zeros));
        ASSERT_EQ(file.write("\x5A\xC3\x01", 3), 3);
    }
    TBitFile f;
    f.Open(name, bfRead, 1 << 20);
    const qint64 bits = (zeros + 3) * 8;
    EXPECT_EQ(f.BitSize(), bits);
    while (bits - f.position() > 65535)
        ASSERT_EQ(f.ReadBits(65535), kBitFileOk);
    const qint64 rest = bits - f.position();
    ASSERT_EQ(f.ReadBits(qint32(rest)), kBitFileOk);
    EXPECT_EQ(f.GetBits(qint32(rest - 24), 24), 0x01C35Au);
    EXPECT_EQ(f.ReadBits(1), kBitFileEnd);
}
