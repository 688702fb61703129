#include "bits/bit_errors.h"
#include "rows/walk_rows.h"
#include "scan/dos_time.h"
#include "storage/dm1.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"
#include "support/reference/rows_current_rows.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DirectoryWalkTest : public DatabaseFixture {
protected:
    QStringList recordedNames(const QString& table = QStringLiteral("table1"))
    {
        return SortedFullNames(dm, table, tree.path() + u'/');
    }
};

TEST_F(DirectoryWalkTest, RecordsMatchingFilesAtEveryDepthAndWalksEveryDirectory)
{
    tree.file(QStringLiteral("a.txt"), "abc");
    tree.file(QStringLiteral(".hidden.txt"), "x");
    tree.file(QStringLiteral("b.doc"), "x");
    tree.file(QStringLiteral("sub/c.TXT"), "x");
    tree.file(QStringLiteral("sub/deeper/d.txt"), "x");
    tree.dir(QStringLiteral("x.txt"));
    tree.file(QStringLiteral("x.txt/e.txt"), "x");
    tree.dir(QStringLiteral("empty"));
    const QString odd = tree.dir(QStringLiteral("odd"));
    chmod(QFile::encodeName(odd).constData(), 07777); // extra mode bits change nothing
    tree.file(QStringLiteral("odd/f.txt"), "x");

    ScanToBaseline(dm, tree.path(), QStringLiteral("txt"));
    EXPECT_EQ(recordedNames(), (QStringList{QStringLiteral(".hidden.txt"), QStringLiteral("a.txt"),
                                            QStringLiteral("odd/f.txt"), QStringLiteral("sub/c.TXT"),
                                            QStringLiteral("sub/deeper/d.txt"), QStringLiteral("x.txt/e.txt")}));
    EXPECT_EQ(CountRows(dm, QStringLiteral("table2")), 0);

    ScanToCurrent(dm, tree.path(), QStringLiteral("*"));
    EXPECT_EQ(recordedNames(QStringLiteral("table2")).size(), 7);
}

TEST_F(DirectoryWalkTest, StoresEveryColumnOfTheRow)
{
    const QString abc = tree.file(QStringLiteral("dir/abc.txt"), "abc");
    const QString one = tree.file(QStringLiteral("dir/one.txt"), "a");
    chmod(QFile::encodeName(one).constData(), 0444);
    const QDateTime when(QDate(2004, 5, 17), QTime(13, 45, 21));
    const struct timespec times[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
    utimensat(AT_FDCWD, QFile::encodeName(abc).constData(), times, 0);

    ScanToBaseline(dm, tree.path(), QStringLiteral("*"));
    QList<FileRow> rows = ReadFileRows(dm, QStringLiteral("table1"));
    ASSERT_EQ(rows.size(), 2);
    std::sort(rows.begin(), rows.end(), [](const FileRow& a, const FileRow& b) { return a.name < b.name; });
    const QList<qint32> ids = {rows[0].id, rows[1].id};
    EXPECT_TRUE(ids.contains(1) && ids.contains(2));

    EXPECT_EQ(rows[0].name, QStringLiteral("abc.txt"));
    EXPECT_EQ(rows[0].path, tree.path(QStringLiteral("dir")));
    EXPECT_EQ(rows[0].size, 3);
    EXPECT_EQ(rows[0].data, QStringLiteral("816934314"));
    EXPECT_EQ(rows[0].atr, QStringLiteral("001"));
    EXPECT_EQ(rows[0].crc1, 4589);
    EXPECT_EQ(rows[0].crc2, 12994182);

    EXPECT_EQ(rows[1].atr, QStringLiteral("101")) << "no owner write permission is read-only";
    EXPECT_EQ(rows[1].crc1, 97);
    EXPECT_EQ(rows[1].crc2, 134);
}

TEST_F(DirectoryWalkTest, StoresTheWholeSizeOfAHugeFile)
{
    const QString big = tree.file(QStringLiteral("big.bin"));
    ASSERT_EQ(truncate(QFile::encodeName(big).constData(), 3000000000LL), 0);
    ScanToBaseline(dm, tree.path(), QStringLiteral("*"));
    const QList<FileRow> rows = ReadFileRows(dm, QStringLiteral("table1"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].size, 3000000000LL);
    EXPECT_EQ(rows[0].crc1, 0);
    EXPECT_EQ(rows[0].crc2, 0);
}

TEST_F(DirectoryWalkTest, StoresOddNamesExactly)
{
    const QStringList names = {QStringLiteral("O'Brien's notes.txt"), QStringLiteral("Отчёт за май.txt"),
                               QStringLiteral("报告.txt"), QStringLiteral("%_*?.txt"), QStringLiteral("trailing .txt")};
    for (const QString& name : names)
        tree.file(QStringLiteral("it's here/") + name, "x");
    ScanToBaseline(dm, tree.path(), QStringLiteral("txt"));
    QStringList expected;
    for (const QString& name : names)
        expected.append(QStringLiteral("it's here/") + name);
    expected.sort();
    EXPECT_EQ(recordedNames(), expected);
}

// Every name is seen: links, FIFOs and dangling links are rows like files;
// a link to a directory is recorded, not walked.
TEST_F(DirectoryWalkTest, RecordsLinksFifosAndDanglingLinksAndWalksNoLinkedDirectory)
{
    tree.file(QStringLiteral("real.txt"), "x");
    tree.dir(QStringLiteral("sub"));
    const QByteArray root = QFile::encodeName(tree.path());
    ASSERT_EQ(symlink(root.constData(), (root + "/sub/loop.txt").constData()), 0);
    ASSERT_EQ(symlink((root + "/real.txt").constData(), (root + "/link.txt").constData()), 0);
    ASSERT_EQ(symlink((root + "/nowhere").constData(), (root + "/dangling.txt").constData()), 0);
    ASSERT_EQ(mkfifo((root + "/pipe.txt").constData(), 0600), 0);

    ScanToBaseline(dm, tree.path(), QStringLiteral("txt"));
    EXPECT_EQ(recordedNames(), (QStringList{QStringLiteral("dangling.txt"), QStringLiteral("link.txt"),
                                            QStringLiteral("pipe.txt"), QStringLiteral("real.txt"),
                                            QStringLiteral("sub/loop.txt")}));
}

TEST_F(DirectoryWalkTest, AMissingStartOrAnUnlistableDirectoryAddsNothing)
{
    ScanToBaseline(dm, tree.path(QStringLiteral("missing")), QStringLiteral("*"));
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 0);

    // A directory whose path is longer than the system allows cannot be
    // listed, whoever runs the test.
    QByteArray part(200, 'd');
    int fd = open(QFile::encodeName(tree.path()).constData(), O_RDONLY | O_DIRECTORY);
    for (int level = 0; level < 25; ++level) {
        ASSERT_EQ(mkdirat(fd, part.constData(), 0755), 0);
        int next = openat(fd, part.constData(), O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = next;
    }
    int file = openat(fd, "lost.txt", O_CREAT | O_WRONLY, 0644);
    close(file);
    close(fd);
    tree.file(QStringLiteral("kept.txt"), "x");
    if (geteuid() != 0) {
        tree.file(QStringLiteral("closed/hidden.txt"), "x");
        chmod(QFile::encodeName(tree.path(QStringLiteral("closed"))).constData(), 0);
    }
    ScanToBaseline(dm, tree.path(), QStringLiteral("*"));
    EXPECT_EQ(recordedNames(), QStringList{QStringLiteral("kept.txt")});
    chmod(QFile::encodeName(tree.path(QStringLiteral("closed"))).constData(), 0755);
}

} // namespace
