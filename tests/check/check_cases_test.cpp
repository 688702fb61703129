#include "bits/crc16_accumulator.h"
#include "bits/xor32_accumulator.h"
#include "registration/put_under_control.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <random>
#include <sys/stat.h>
#include <unordered_map>

namespace {

// Checks through RunCheck, as the window and the console run them.
using CheckCasesTest = DatabaseFixture;

struct Sums {
    qint32 crc1;
    qint32 crc2;
};

Sums sumsOf(const QByteArray& contents)
{
    Crc16Accumulator crc;
    Xor32Accumulator sum;
    crc.add(reinterpret_cast<const quint8*>(contents.constData()), std::size_t(contents.size()));
    sum.add(reinterpret_cast<const quint8*>(contents.constData()), std::size_t(contents.size()));
    return {crc.result(), sum.result()};
}

// Two contents of the same size with the same crc1 and different crc2.
std::pair<QByteArray, QByteArray> sameCrc1OtherCrc2()
{
    std::mt19937 random(61);
    std::unordered_map<qint32, QByteArray> seen;
    while (true) {
        QByteArray contents(8, '\0');
        for (char& c : contents)
            c = char(random());
        const Sums sums = sumsOf(contents);
        const auto [it, added] = seen.emplace(sums.crc1, contents);
        if (!added && sumsOf(it->second).crc2 != sums.crc2)
            return {it->second, contents};
    }
}

// Put under control twice, a place has two baseline rows. A change is
// reported only when neither row agrees, whichever row the lookup finds first.
TEST_F(CheckCasesTest, ADirectoryPutUnderControlTwiceReportsOnlyWhatNeitherBaselineAgreesWith)
{
    file(QStringLiteral("a.txt"), "AAAA", 0444);
    file(QStringLiteral("b.txt"), "x");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    file(QStringLiteral("a.txt"), "BBBBB");
    file(QStringLiteral("b.txt"), "yy");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    ForgetOwners(dm); // both baselines count as the directory's, as before rows had owners
    ASSERT_EQ(CountRows(dm, QStringLiteral("table1")), 4);

    // a.txt: the size and contents of the first, the attributes of the second.
    file(QStringLiteral("a.txt"), "AAAA");
    // b.txt: like neither.
    file(QStringLiteral("b.txt"), "zzz", 0444);
    const Checked report = check();
    EXPECT_EQ(report.changed, (QStringList{QStringLiteral("b.txt изменен размер файла,"),
                                           QStringLiteral("b.txt изменены атрибуты файла,"),
                                           QStringLiteral("b.txt изменено содержание файла,")}));
    EXPECT_TRUE(report.deleted.isEmpty() && report.moved.isEmpty() && report.added.isEmpty());
}

TEST_F(CheckCasesTest, EachChangeAloneAgainstADirectoryPutTwice)
{
    file(QStringLiteral("size.txt"), "1234");
    file(QStringLiteral("atr.txt"), "1234");
    file(QStringLiteral("contents.txt"), "1234");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    file(QStringLiteral("size.txt"), "12345");
    file(QStringLiteral("atr.txt"), "1234", 0444);
    file(QStringLiteral("contents.txt"), "4321");
    EXPECT_EQ(sorted(check().changed), (QStringList{QStringLiteral("atr.txt изменены атрибуты файла,"),
                                           QStringLiteral("contents.txt изменено содержание файла,"),
                                           QStringLiteral("size.txt изменен размер файла,"),
                                           QStringLiteral("size.txt изменено содержание файла,")}));
}

TEST_F(CheckCasesTest, ADirectoryGoneFromDiskHasEveryBaselineFileDeleted)
{
    file(QStringLiteral("a.txt"), "a");
    file(QStringLiteral("sub/b.txt"), "b");
    file(QStringLiteral("sub/deeper/c.txt"), "c");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    ASSERT_TRUE(QDir(dir()).removeRecursively());
    const Checked report = check();
    EXPECT_EQ(sorted(report.deleted), (QStringList{QString(), QStringLiteral("a.txt"), QStringLiteral("sub/"),
                                                   QStringLiteral("sub/b.txt"), QStringLiteral("sub/deeper/"),
                                                   QStringLiteral("sub/deeper/c.txt")}));
    EXPECT_TRUE(report.moved.isEmpty() && report.added.isEmpty() && report.changed.isEmpty());
    EXPECT_EQ(report.foundBits(), 2);
}

// Only the file whose own directory lost it is deleted.
TEST_F(CheckCasesTest, AFileDeletedInOneSubdirectoryWhileItsNamesakeStaysInAnother)
{
    file(QStringLiteral("x/a.txt"), "in x");
    file(QStringLiteral("y/a.txt"), "in y");
    file(QStringLiteral("a.txt"), "at the top");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("d/x/a.txt"))));
    Checked report = check();
    EXPECT_EQ(report.deleted, QStringList{QStringLiteral("x/a.txt")});
    EXPECT_EQ(report.foundBits(), 2);

    ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("d/a.txt"))));
    report = check();
    EXPECT_EQ(sorted(report.deleted), (QStringList{QStringLiteral("a.txt"), QStringLiteral("x/a.txt")}));
}

// Moved needs both checksums: one equal and the other not is a new file, and
// its old place is deleted.
TEST_F(CheckCasesTest, AMoveNeedsBothChecksumsEqual)
{
    const auto [before, after] = sameCrc1OtherCrc2();
    ASSERT_EQ(sumsOf(before).crc1, sumsOf(after).crc1);
    ASSERT_NE(sumsOf(before).crc2, sumsOf(after).crc2);
    file(QStringLiteral("old/same-crc1.bin"), before);
    // The other way round: exclusive or of 4-byte groups in another order.
    file(QStringLiteral("old/same-crc2.bin"), "abcdefgh");
    ASSERT_EQ(sumsOf("abcdefgh").crc2, sumsOf("efghabcd").crc2);
    ASSERT_NE(sumsOf("abcdefgh").crc1, sumsOf("efghabcd").crc1);
    file(QStringLiteral("old/same.bin"), "unchanged");
    tree.dir(QStringLiteral("d/new"));
    PutUnderControl(dm, dir(), QStringLiteral("*"));

    for (const char* name : {"same-crc1.bin", "same-crc2.bin", "same.bin"})
        ASSERT_TRUE(QFile::rename(tree.path(QStringLiteral("d/old/") + QLatin1String(name)),
                                  tree.path(QStringLiteral("d/new/") + QLatin1String(name))));
    file(QStringLiteral("new/same-crc1.bin"), after);
    file(QStringLiteral("new/same-crc2.bin"), "efghabcd");
    const Checked report = check();
    EXPECT_EQ(report.moved, QStringList{QStringLiteral("old/same.bin перемещен в new/same.bin")});
    EXPECT_EQ(sorted(report.added), (QStringList{QStringLiteral("new/same-crc1.bin"), QStringLiteral("new/same-crc2.bin")}));
    EXPECT_EQ(sorted(report.deleted), (QStringList{QStringLiteral("old/same-crc1.bin"), QStringLiteral("old/same-crc2.bin")}));
    EXPECT_TRUE(report.changed.isEmpty());
}

// A file that came from another directory under control, outside the one
// checked, is new there: a move is only looked for inside the checked one.
TEST_F(CheckCasesTest, AFileFromAnotherDirectoryUnderControlIsNew)
{
    tree.file(QStringLiteral("e/a.txt"), "the same");
    PutUnderControl(dm, tree.path(QStringLiteral("e")), QStringLiteral("*"));
    file(QStringLiteral("b.txt"), "b");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    ASSERT_TRUE(QFile::rename(tree.path(QStringLiteral("e/a.txt")), tree.path(QStringLiteral("d/a.txt"))));
    const Checked report = check();
    EXPECT_EQ(report.added, QStringList{QStringLiteral("a.txt")});
    EXPECT_TRUE(report.moved.isEmpty());
    EXPECT_TRUE(report.deleted.isEmpty());
    EXPECT_EQ(report.foundBits(), 1);

    // The directory it left reports it deleted, not moved.
    const Checked left = check(tree.path(QStringLiteral("e")));
    EXPECT_EQ(left.deleted, QStringList{QStringLiteral("a.txt")});
    EXPECT_TRUE(left.moved.isEmpty());
}

} // namespace
