#include "check/check_run.h"
#include "common/exception.h"
#include "registration/put_under_control.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"

#include <QDateTime>
#include <QFile>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class CheckRunTest : public DatabaseFixture {
protected:
    void putUnderControl(const QString& list = QStringLiteral("*")) { PutUnderControl(dm, dir(), list); }
    void rename(const char* from, const char* to)
    {
        ASSERT_TRUE(QFile::rename(tree.path(QStringLiteral("d/") + QString::fromUtf8(from)),
                                  tree.path(QStringLiteral("d/") + QString::fromUtf8(to))));
    }
    void remove(const char* name) { ASSERT_TRUE(QFile::remove(tree.path(QStringLiteral("d/") + QString::fromUtf8(name)))); }
};

const QString kMoved = QStringLiteral(" перемещен в ");

TEST_F(CheckRunTest, NothingChangedFindsNothingTwiceInARow)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/sub/b.txt"), "b");
    putUnderControl();
    for (int run = 0; run < 2; ++run) {
        const Checked report = check();
        EXPECT_TRUE(report.deleted.isEmpty() && report.moved.isEmpty() && report.added.isEmpty() && report.changed.isEmpty());
        EXPECT_EQ(report.foundBits(), 0);
    }
    EXPECT_EQ(ShownLines({}), QStringList{QStringLiteral("Не обнаружено")});
}

TEST_F(CheckRunTest, AFileMovedToAnotherSubdirectoryIsMovedAndNotDeleted)
{
    tree.file(QStringLiteral("d/old/a.txt"), "a");
    tree.dir(QStringLiteral("d/new"));
    putUnderControl();
    rename("old/a.txt", "new/a.txt");
    const Checked report = check();
    EXPECT_EQ(report.moved, QStringList{QStringLiteral("old/a.txt") + kMoved + QStringLiteral("new/a.txt")});
    EXPECT_TRUE(report.deleted.isEmpty());
    EXPECT_TRUE(report.added.isEmpty());
    EXPECT_EQ(report.foundBits(), 8);
}

TEST_F(CheckRunTest, ARenamedFileIsDeletedAndNew)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    putUnderControl();
    rename("a.txt", "b.txt");
    const Checked report = check();
    EXPECT_EQ(report.deleted, QStringList{QStringLiteral("a.txt")});
    EXPECT_EQ(report.added, QStringList{QStringLiteral("b.txt")});
    EXPECT_TRUE(report.moved.isEmpty());
    EXPECT_EQ(report.foundBits(), 3);
}

// Nothing left its place, so nothing moved: the copy is a new file.
TEST_F(CheckRunTest, ACopyWithItsSourceLeftIsNewAndNothingIsDeleted)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    putUnderControl();
    tree.file(QStringLiteral("d/copy/a.txt"), "a");
    const Checked report = check();
    EXPECT_TRUE(report.moved.isEmpty());
    EXPECT_EQ(report.added, (QStringList{QStringLiteral("copy/"), QStringLiteral("copy/a.txt")}));
    EXPECT_TRUE(report.deleted.isEmpty());
}

TEST_F(CheckRunTest, OnlyTheOldPlacesOfMovedFilesAreStruckFromTheDeletedList)
{
    for (const char* name : {"x.txt", "y.txt", "z.txt", "a.txt", "a.txt.bak"})
        tree.file(QStringLiteral("d/") + QString::fromLatin1(name), name);
    tree.dir(QStringLiteral("d/sub"));
    putUnderControl();
    for (const char* name : {"x.txt", "y.txt", "z.txt", "a.txt"})
        remove(name);
    rename("a.txt.bak", "sub/a.txt.bak");
    const Checked report = check();
    EXPECT_EQ(sorted(report.deleted), (QStringList{QStringLiteral("a.txt"), QStringLiteral("x.txt"),
                                                   QStringLiteral("y.txt"), QStringLiteral("z.txt")}));
    EXPECT_EQ(report.moved.size(), 1);
}

TEST_F(CheckRunTest, SizeAndContentsChangedGiveTwoLinesSizeFirst)
{
    tree.file(QStringLiteral("d/a.txt"), "abc");
    tree.file(QStringLiteral("d/same-size.txt"), "abc");
    putUnderControl();
    tree.file(QStringLiteral("d/a.txt"), "abcd");
    tree.file(QStringLiteral("d/same-size.txt"), "abd");
    const Checked report = check();
    QStringList expected = {QStringLiteral("a.txt изменен размер файла,"), QStringLiteral("a.txt изменено содержание файла,")};
    const qsizetype first = report.changed.indexOf(expected[0]);
    ASSERT_GE(first, 0) << report.changed.join(u'|').toStdString();
    EXPECT_EQ(report.changed.value(first + 1), expected[1]);
    EXPECT_TRUE(report.changed.contains(QStringLiteral("same-size.txt изменено содержание файла,")));
    EXPECT_EQ(report.changed.size(), 3);
    EXPECT_EQ(report.foundBits(), 4);
}

TEST_F(CheckRunTest, ALostWritePermissionIsAChangeOfAttributes)
{
    const QString file = tree.file(QStringLiteral("d/a.txt"), "a");
    putUnderControl();
    chmod(QFile::encodeName(file).constData(), 0444);
    EXPECT_EQ(check().changed, QStringList{QStringLiteral("a.txt изменены атрибуты файла,")});
}

TEST_F(CheckRunTest, ANewDateAloneIsNoChange)
{
    const QString file = tree.file(QStringLiteral("d/a.txt"), "a");
    putUnderControl();
    const qint64 then = QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6)).toSecsSinceEpoch();
    const struct timespec times[2] = {{then, 0}, {then, 0}};
    utimensat(AT_FDCWD, QFile::encodeName(file).constData(), times, 0);
    EXPECT_EQ(check().foundBits(), 0);
}

TEST_F(CheckRunTest, AnEmptyBaselineMakesEveryFileNewAndAnEmptiedDirectoryEveryFileDeleted)
{
    tree.dir(QStringLiteral("d"));
    putUnderControl(QStringLiteral("txt"));
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/b.txt"), "b");
    Checked report = check();
    EXPECT_EQ(sorted(report.added), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    EXPECT_TRUE(report.deleted.isEmpty());

    tree.file(QStringLiteral("e/c.txt"), "c");
    PutUnderControl(dm, tree.path(QStringLiteral("e")), QStringLiteral("*"));
    QFile::remove(tree.path(QStringLiteral("e/c.txt")));
    report = check(tree.path(QStringLiteral("e")));
    EXPECT_EQ(report.deleted, QStringList{QStringLiteral("c.txt")});
    EXPECT_EQ(report.foundBits(), 2);
}

TEST_F(CheckRunTest, OddNamesReachEveryList)
{
    tree.file(QStringLiteral("d/it's gone.txt"), "1");
    tree.file(QStringLiteral("d/Привет.txt"), "2");
    tree.file(QStringLiteral("d/o'moved.txt"), "3");
    tree.dir(QStringLiteral("d/Новая папка"));
    putUnderControl();
    remove("it's gone.txt");
    tree.file(QStringLiteral("d/Привет.txt"), "22");
    rename("o'moved.txt", "Новая папка/o'moved.txt");
    tree.file(QStringLiteral("d/new'файл.txt"), "4");
    const Checked report = check();
    EXPECT_EQ(report.deleted, QStringList{QStringLiteral("it's gone.txt")});
    EXPECT_EQ(report.moved, QStringList{QStringLiteral("o'moved.txt") + kMoved + QStringLiteral("Новая папка/o'moved.txt")});
    EXPECT_EQ(report.added, QStringList{QStringLiteral("new'файл.txt")});
    EXPECT_EQ(report.changed, (QStringList{QStringLiteral("Привет.txt изменен размер файла,"),
                                           QStringLiteral("Привет.txt изменено содержание файла,")}));
    EXPECT_EQ(report.foundBits(), 15);
}

TEST_F(CheckRunTest, NamesThatDifferOnlyInTrailingBlanksAreDifferentFiles)
{
    tree.file(QStringLiteral("d/x"), "short");
    tree.file(QStringLiteral("d/x "), "a longer one");
    tree.file(QStringLiteral("d/sub /y"), "1");
    tree.file(QStringLiteral("d/sub/y"), "2");
    putUnderControl();
    Checked report = check();
    EXPECT_EQ(report.foundBits(), 0) << report.changed.join(u'|').toStdString();

    tree.file(QStringLiteral("d/x "), "a longer one still");
    remove("sub/y");
    report = check();
    EXPECT_EQ(report.changed, (QStringList{QStringLiteral("x  изменен размер файла,"),
                                           QStringLiteral("x  изменено содержание файла,")}));
    EXPECT_EQ(report.deleted, QStringList{QStringLiteral("sub/y")});
    EXPECT_TRUE(report.moved.isEmpty() && report.added.isEmpty());
}

TEST_F(CheckRunTest, ASimilarlyNamedDirectoryIsNoPartOfTheCheck)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d2/b.txt"), "b");
    tree.file(QStringLiteral("D/c.txt"), "c");
    putUnderControl();
    PutUnderControl(dm, tree.path(QStringLiteral("d2")), QStringLiteral("*"));
    PutUnderControl(dm, tree.path(QStringLiteral("D")), QStringLiteral("*"));
    QFile::remove(tree.path(QStringLiteral("d2/b.txt")));
    EXPECT_EQ(check().foundBits(), 0);
}

TEST_F(CheckRunTest, RowsLeftInTable2ByAnInterruptedCheckAreNotReported)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    putUnderControl();
    dm.IBQuery1.executeStatement(Statement(u"insert into table2 values (1,'ghost.txt','/elsewhere',1,'0','001',1,1)"));
    dm.IBTransaction1.commit();
    dm.IBTransaction1.startTransaction();
    EXPECT_EQ(check().foundBits(), 0);
}

TEST_F(CheckRunTest, ADirectoryNotUnderControlIsAnError)
{
    tree.dir(QStringLiteral("d"));
    EXPECT_THROW(RunCheck(dm, dir()), Exception);
    EXPECT_EQ(CountRows(dm, QStringLiteral("table2")), 0);
}

} // namespace
