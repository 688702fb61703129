#include "bits/bit_errors.h"
#include "scan/directory_entries.h"
#include "scan/file_walker.h"
#include "support/temp_tree.h"

#include <QFile>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The walk as a plain recursion over ListDirectory would make it.
void listInOrder(const QString& dir, QStringList& out)
{
    std::vector<TSearchRec> entries;
    if (!ListDirectory(dir, entries))
        return;
    out.append(QStringLiteral("> ") + dir);
    for (const TSearchRec& entry : entries) {
        if (entry.Attr & faDirectory)
            listInOrder(JoinPath(dir, entry.Name), out);
        else
            out.append(JoinPath(dir, entry.Name));
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

TEST(FileWalkerTest, AnUnreadableFileIsTheLastStep)
{
    TempTree tree;
    tree.dir(QStringLiteral("d"));
    if (!MakeUnreadableFile(tree.path(QStringLiteral("d/bad"))))
        GTEST_SKIP() << "no way to make an unreadable file here";
    tree.file(QStringLiteral("e/after"), "x");
    FileWalker walker(tree.path(), QStringLiteral("*"));
    QStringList seen;
    try {
        seen = walked(walker);
        FAIL() << "the walk went on past the unreadable file";
    } catch (const EFileBitError& error) {
        EXPECT_EQ(error.message(), kFileInitErrorText + tree.path(QStringLiteral("d/bad")));
    }
}

} // namespace
