#include "bits/bit_errors.h"
#include "scan/directory_entries.h"
#include "scan/file_walker.h"
#include "support/temp_tree.h"

#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The walk as a plain recursion over ListDirectory would make it.
void listInOrder(const QString& dir, QStringList& out)
{
    std::vector<DirectoryEntry> entries;
    DirectoryHandle handle;
    struct stat self {};
    if (DirectoryHandle::open(dir, handle, self) != 0 || !ListDirectory(handle, dir, PseudoFileSystems::mounted(), entries))
        return;
    out.append(QStringLiteral("> ") + dir);
    for (const DirectoryEntry& entry : entries) {
        if (entry.walkInto)
            listInOrder(JoinPath(dir, entry.rec.Name), out);
        else
            out.append(JoinPath(dir, entry.rec.Name));
    }
}

QStringList walked(FileWalker& walker, int limit = -1)
{
    QStringList out;
    FileWalker::Step step;
    while ((limit < 0 || out.size() < limit) && walker.next(step)) {
        if (step.error)
            std::rethrow_exception(step.error);
        out.append(step.entered ? QStringLiteral("> ") + step.dir : JoinPath(step.dir, step.entry.Name));
    }
    return out;
}

TEST(FileWalkerTest, HandsOverEveryStepInTheOrderOfAPlainWalk)
{
    TempTree tree;
    for (int i = 0; i < 3000; ++i)
        tree.file(QStringLiteral("%1/%2/f%3").arg(i % 7).arg(i % 13).arg(i), QByteArray::number(i));
    tree.dir(QStringLiteral("empty/deeper"));
    QStringList expected;
    listInOrder(tree.path(), expected);

    FileWalker walker(tree.path(), QStringLiteral("*"));
    EXPECT_EQ(walked(walker), expected);
}

TEST(FileWalkerTest, GivesBothChecksumsOfEachFile)
{
    TempTree tree;
    tree.file(QStringLiteral("abc"), "abc");
    FileWalker walker(tree.path(), QStringLiteral("*"));
    FileWalker::Step step;
    ASSERT_TRUE(walker.next(step));
    EXPECT_TRUE(step.entered);
    ASSERT_TRUE(walker.next(step));
    EXPECT_EQ(step.entry.Name, QStringLiteral("abc"));
    EXPECT_EQ(step.sums.crc1, 4589);
    EXPECT_EQ(step.sums.crc2, 12994182);
    EXPECT_FALSE(walker.next(step));
}

TEST(FileWalkerTest, StopsWithoutWaitingWhenLeftEarly)
{
    TempTree tree;
    for (int i = 0; i < 6000; ++i)
        tree.file(QStringLiteral("d/f%1").arg(i));
    // More steps than the walker holds back: its thread is left waiting to
    // hand over more when the caller goes.
    FileWalker walker(tree.path(), QStringLiteral("*"));
    EXPECT_EQ(walked(walker, 10).size(), 10);
}

// Whatever order the file system lists the tree in, the steps are those of a
// plain walk without the unreadable file, which is named among what was not
// examined, and the walk goes on after it.
TEST(FileWalkerTest, AnUnreadableFileIsNamedAndTheWalkGoesOn)
{
    TempTree tree;
    for (int i = 0; i < 40; ++i)
        tree.file(QStringLiteral("%1/f%2").arg(i % 3).arg(i), "x");
    const QString bad = tree.path(QStringLiteral("1/bad"));
    ASSERT_TRUE(MakeUnreadableFile(bad));
    const WithoutOverridingPermissions asAnyUser;
    if (!asAnyUser.holds())
        GTEST_SKIP() << "root's permissions cannot be given up here";
    QStringList plain;
    listInOrder(tree.path(), plain);
    FileWalker walker(tree.path(), QStringLiteral("*"));
    const QStringList seen = walked(walker);
    plain.removeOne(bad);
    EXPECT_EQ(seen, plain);
    EXPECT_EQ(walker.notExamined(), (NotExaminedList{{bad, QStringLiteral("нет доступа")}}));
}

timespec accessTime(const QString& path)
{
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_atim;
}

TEST(FileWalkerTest, LeavesTheAccessTimesOfWhatItReadsAsTheyWere)
{
    TempTree tree;
    const QString file = tree.file(QStringLiteral("d/sub/a.txt"), "contents");
    const QStringList read{tree.path(QStringLiteral("d")), tree.path(QStringLiteral("d/sub")), file};
    // Access times older than the modification times: reading would bring
    // them up to date, as the file system's relatime does once a day.
    const timespec old[2] = {{978307200, 0}, {0, UTIME_NOW}};
    for (const QString& path : read)
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, 0), 0);

    FileWalker walker(tree.path(QStringLiteral("d")), QStringLiteral("*"));
    EXPECT_EQ(walked(walker).size(), 3);
    for (const QString& path : read)
        EXPECT_EQ(accessTime(path).tv_sec, old[0].tv_sec) << path.toStdString();
}

} // namespace
