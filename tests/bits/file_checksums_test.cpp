#include "bits/bit_errors.h"
#include "bits/file_checksums.h"
#include "support/reference/bits_reference_checksums.h"

#include "bits_test_support.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

constexpr quint32 kPolynomial = 0x11021; // x^16 + x^12 + x^5 + 1

// The remainder of bits (the first the highest power) modulo the polynomial.
quint32 remainderOf(const std::vector<int>& bits)
{
    quint32 r = 0;
    for (int bit : bits) {
        r = r << 1 | quint32(bit);
        if (r & 0x10000u)
            r ^= kPolynomial;
    }
    return r;
}

// Appends the 16 bits that make the whole sequence divide exactly.
void appendCancellingBits(std::vector<int>& bits)
{
    quint32 t = remainderOf(bits);
    for (int i = 0; i < 16; ++i) {
        t <<= 1;
        if (t & 0x10000u)
            t ^= kPolynomial;
    }
    for (int i = 15; i >= 0; --i)
        bits.push_back(int((t >> i) & 1u));
}

void appendRandom(std::vector<int>& bits, std::mt19937& random, unsigned count)
{
    for (unsigned i = 0; i < count; ++i)
        bits.push_back(int(random() & 1));
}

// Contents whose prefixes divide exactly at random bit positions, often
// followed by runs of zero bits and often near the end; some start with zeros.
QByteArray adversarialContents(std::mt19937& random)
{
    std::vector<int> bits(random() % 4 == 0 ? random() % 120 : 0, 0);
    const unsigned segments = 1 + random() % 4;
    for (unsigned s = 0; s < segments; ++s) {
        appendRandom(bits, random, random() % 40);
        appendCancellingBits(bits);
        bits.insert(bits.end(), random() % 3 == 0 ? random() % 80 : 0, 0);
    }
    appendRandom(bits, random, random() % 3 == 0 ? 0 : random() % 20);
    while (bits.size() % 8 != 0)
        bits.push_back(random() % 2 == 0 ? 0 : int(random() & 1));
    return packBits(bits);
}

struct Expected {
    qint32 crc;
    qint32 xor32;
};

Expected reference(const QString& name)
{
    return {FileCrc16Reference(name), FileXor32Reference(name)};
}

void expectSameAsReference(const QString& name, const QByteArray& contents)
{
    const Expected want = reference(name);
    const FileSums sums = FileChecksums(name);
    const QByteArray shown = contents.left(80).toHex();
    ASSERT_EQ(sums.crc1, want.crc) << contents.size() << ": " << shown.constData();
    ASSERT_EQ(sums.crc2, want.xor32) << contents.size() << ": " << shown.constData();
    ASSERT_EQ(FileCrc16(name), want.crc);
    ASSERT_EQ(FileXor32(name), want.xor32);
}

template<typename F>
void expectFileError(F f, const QString& text)
{
    try {
        f();
        FAIL() << "no EFileBitError";
    } catch (const EFileBitError& e) {
        EXPECT_EQ(e.message(), text);
    }
}

} // namespace

TEST(FileChecksums, KnownValues)
{
    const struct {
        QByteArray contents;
        qint32 crc;
        std::optional<qint32> xor32;
    } cases[] = {
        {QByteArray(), 0, 0},
        {QByteArray("abc"), 4589, 12994182},
        {QByteArray("a"), 97, 134},
        {QByteArray("ab"), 25185, 18054},
        {QByteArray("abcd"), 11389, 650528390},
        {QByteArray("abca"), 12029, -2033826170},
        {QByteArray("hello world"), 4879, std::nullopt},
        {QByteArray("\x11\x08\x09", 3), 4, std::nullopt}, // the first 17 bits are the divisor
        {QByteArray("\x80\x08\x84", 3), 0, std::nullopt}, // divides exactly
    };
    TestFiles files;
    for (const auto& c : cases) {
        const QString name = files.write(c.contents);
        SCOPED_TRACE(c.contents.toHex().constData());
        EXPECT_EQ(FileCrc16Reference(name), c.crc);
        EXPECT_EQ(FileChecksums(name).crc1, c.crc);
        if (c.xor32) {
            EXPECT_EQ(FileXor32Reference(name), *c.xor32);
            EXPECT_EQ(FileChecksums(name).crc2, *c.xor32);
        }
    }
}

TEST(FileChecksums, UnopenableFiles)
{
    TestFiles files;
    const QString missing = files.path(QStringLiteral("missing.txt"));
    const QString directory = files.path(QStringLiteral("."));
    for (const QString& name : {missing, directory}) {
        expectFileError([&] { FileCrc16(name); }, kFileInitErrorText + name);
        expectFileError([&] { FileXor32(name); }, kFileInitErrorText + name);
        expectFileError([&] { FileChecksums(name); }, kFileInitErrorText + name);
        expectFileError([&] { FileCrc16Reference(name); }, kFileInitErrorText);
        expectFileError([&] { FileXor32Reference(name); }, kFileInitErrorText);
    }
}

// A block that cannot be read, first or later, gives no checksum at all.
TEST(FileChecksums, FailedBlockReadRaises)
{
    TestFiles files;
    std::mt19937 random(31);
    const QString name = files.write(randomBytes(random, 600 * 1024));
    for (int failing : {1, 2, 3}) {
        FaultyFileAccess access(failing);
        expectFileError([&] { FileChecksums(name, access); }, kFileInitErrorText + name);
        EXPECT_EQ(access.closeCount, access.openCount);
    }
    FaultyFileAccess crcAccess(4);
    expectFileError([&] { FileCrc16Reference(name, crcAccess); }, kFileInitErrorText + name);
    FaultyFileAccess xorAccess(4);
    expectFileError([&] { FileXor32Reference(name, xorAccess); }, kFileInitErrorText + name);
    FaultyFileAccess firstBlock(1);
    expectFileError([&] { FileCrc16Reference(name, firstBlock); }, kFileInitErrorText);
}

TEST(FileChecksums, EveryShortSizeEqualsReference)
{
    TestFiles files;
    std::mt19937 random(32);
    for (int size = 0; size <= 64; ++size)
        for (int round = 0; round < 20; ++round) {
            QByteArray contents = randomBytes(random, size);
            if (round == 1)
                contents.fill('\0');
            if (round == 2)
                contents.fill('\xFF');
            expectSameAsReference(files.write(contents), contents);
        }
}

TEST(FileChecksums, ExactDivisionsAndZeroRunsEqualReference)
{
    TestFiles files;
    std::mt19937 random(33);
    for (int round = 0; round < 3000; ++round) {
        const QByteArray contents = adversarialContents(random);
        expectSameAsReference(files.write(contents), contents);
    }
}

TEST(FileChecksums, BlockBoundariesEqualReference)
{
    TestFiles files;
    std::mt19937 random(35);
    // The bit file's blocks, the production blocks, and a few megabytes.
    for (qsizetype size : {8191, 8192, 8193, 16385, 262143, 262144, 262145, 3 * 1024 * 1024 + 7}) {
        QByteArray contents = randomBytes(random, size);
        expectSameAsReference(files.write(contents), contents);
        if (size < 1024 * 1024) {
            contents.replace(8000, 500, QByteArray(500, '\0')); // zeros across a block boundary
            expectSameAsReference(files.write(contents), contents);
        }
    }
}

// A sparse file just over 2^28 bytes: a run of Z zero bytes, then data D. Its
// bits as a polynomial are D's, so the plain remainder does not depend on Z;
// the division restarts every 17 bits through the zero run, so Z matters
// only modulo 17, and the exclusive or only modulo 4. A file of Z' zero bytes
// with Z' = Z (mod 68) followed by D has the same checksums, and is short
// enough for the step-by-step definition.
TEST(FileChecksums, SparseFileOver256MiB)
{
    TestFiles files;
    std::mt19937 random(38);
    const qint64 zeros = (qint64(1) << 28) + 45;
    const QByteArray tails[] = {randomBytes(random, 100), QByteArray("\x00\x80", 2), QByteArray("\x10\x00", 2),
                                QByteArray("\x01", 1)};
    for (const QByteArray& tail : tails) {
        const QString name = files.path(QStringLiteral("sparse.bin"));
        QFile::remove(name);
        {
            QFile file(name);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            ASSERT_TRUE(file.seek(zeros));
            ASSERT_EQ(file.write(tail), tail.size());
        }
        const QByteArray equivalent = QByteArray(qsizetype(68 + zeros % 68), '\0') + tail;
        const Expected want = reference(files.write(equivalent));
        const FileSums sums = FileChecksums(name);
        EXPECT_EQ(sums.crc1, want.crc) << tail.toHex().constData();
        EXPECT_EQ(sums.crc2, want.xor32) << tail.toHex().constData();
    }
}

// A file reported as 0 bytes is still read once: one whose read fails raises
// the read error instead of giving the checksums of an empty file.
TEST(FileChecksums, AnEmptyFileWhoseReadFailsRaises)
{
    TestFiles files;
    const QString empty = files.write(QByteArray());
    FaultyFileAccess access(1);
    expectFileError([&] { FileChecksums(empty, access); }, QStringLiteral("Ошибка инициализации файла ") + empty);
    EXPECT_EQ(access.closeCount, access.openCount);
    FaultyFileAccess reads(0);
    const FileSums sums = FileChecksums(empty, reads);
    EXPECT_EQ(sums.crc1, 0);
    EXPECT_EQ(sums.crc2, 0);

    // The kernel's own: a process's memory stats as 0 bytes, and its first
    // page is never mapped, so reading from the start fails for anyone.
    const QString memory = QStringLiteral("/proc/self/mem");
    QFile probe(memory);
    if (!probe.open(QIODevice::ReadOnly) || probe.size() != 0 || !probe.read(1).isEmpty() || probe.error() == QFile::NoError)
        GTEST_SKIP() << "no 0-byte file that fails on reading here";
    expectFileError([&] { FileChecksums(memory); }, QStringLiteral("Ошибка инициализации файла ") + memory);
}
