#include "common/exception.h"
#include "registration/directory_text.h"
#include "registration/extension_list.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "storage/dm1.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"

#include <QDir>
#include <gtest/gtest.h>

namespace {

TEST(BuildExtensionListTest, ChecksFirstThenMemoLinesAsTheyStand)
{
    const struct {
        QStringList checked;
        QStringList memo;
        const char* list;
    } cases[] = {
        {{QStringLiteral("exe"), QStringLiteral("txt")}, {}, "exe,txt"},
        {{}, {QStringLiteral("jpg"), QStringLiteral("png")}, "jpg,png"},
        {{QStringLiteral("doc")}, {QString(), QStringLiteral("rtf")}, "doc,rtf"},
        {{}, {}, "*"},
        {{}, {QString(), QString()}, "*"},
        {{QStringLiteral("*"), QStringLiteral("exe")}, {}, "*,exe"},
        {{}, {QStringLiteral(".txt")}, ".txt"},
        {{}, {QStringLiteral("  ")}, "  "},
        {{QStringLiteral("txt")}, {QStringLiteral("a,b")}, "txt,a,b"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BuildExtensionList(c.checked, c.memo), QString::fromLatin1(c.list));
}

TEST(CleanDirectoryTextTest, MakesTheSameTextTheDialogGives)
{
    TempTree tree;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(tree.path());
    EXPECT_EQ(CleanDirectoryText(QStringLiteral(".")), tree.path());
    EXPECT_EQ(CleanDirectoryText(QStringLiteral("sub/../x/./")), tree.path(QStringLiteral("x")));
    QDir::setCurrent(previous);
    EXPECT_EQ(CleanDirectoryText(QStringLiteral("/a//b/")), QStringLiteral("/a/b"));
    EXPECT_EQ(CleanDirectoryText(QStringLiteral("/")), QStringLiteral("/"));
    EXPECT_EQ(CleanDirectoryText(QStringLiteral("/..")), QStringLiteral("/"));
}

class RegistrationTest : public DatabaseFixture {
protected:
    QStringList baselinePaths()
    {
        return SortedFullNames(dm, QStringLiteral("table1"), tree.path());
    }
};

TEST_F(RegistrationTest, PuttingADirectoryTwiceGivesTwoTabRowsAndTwoRowsPerFile)
{
    tree.file(QStringLiteral("d/a.txt"), "1");
    tree.file(QStringLiteral("d/b.doc"), "2");
    const QString d = tree.path(QStringLiteral("d"));
    PutUnderControl(dm, d, QStringLiteral("txt"));
    PutUnderControl(dm, d, QStringLiteral("txt"));
    EXPECT_EQ(registrations(), (QStringList{QStringLiteral("1 ") + d + QStringLiteral(" txt"),
                                             QStringLiteral("2 ") + d + QStringLiteral(" txt")}));
    EXPECT_EQ(baselinePaths(), (QStringList{QStringLiteral("/d/a.txt"), QStringLiteral("/d/a.txt")}));
}

TEST_F(RegistrationTest, ADirectoryWithoutMatchingFilesStillGetsItsTabRow)
{
    tree.file(QStringLiteral("d/a.doc"), "1");
    PutUnderControl(dm, tree.path(QStringLiteral("d")), QStringLiteral("txt"));
    EXPECT_EQ(registrations().size(), 1);
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 0);
}

TEST_F(RegistrationTest, RemovingTakesExactlyTheDirectoryAndWhatLiesBelowIt)
{
    for (const char* dir : {"data", "data/sub", "data2", "Data", "other/data"})
        tree.file(QString::fromLatin1(dir) + QStringLiteral("/f.txt"), dir);
    for (const char* dir : {"data", "data2", "Data", "other"})
        PutUnderControl(dm, tree.path(QString::fromLatin1(dir)), QStringLiteral("*"));
    ASSERT_EQ(CountRows(dm, QStringLiteral("table1")), 5);

    RemoveFromControl(dm, tree.path(QStringLiteral("data")));
    EXPECT_EQ(baselinePaths(), (QStringList{QStringLiteral("/Data/f.txt"), QStringLiteral("/data2/f.txt"),
                                            QStringLiteral("/other/data/f.txt")}));
    EXPECT_EQ(registrations().size(), 3);
    EXPECT_FALSE(registrations().join(u'\n').contains(tree.path(QStringLiteral("data")) + u' '));
}

// Each registration owns its rows; rows written before registrations owned
// them go with the first registration taken out, every copy of them.
TEST_F(RegistrationTest, RemovingADirectoryPutTwiceDeletesOneTabRowAndItsRows)
{
    tree.file(QStringLiteral("d/a.txt"), "1");
    const QString d = tree.path(QStringLiteral("d"));
    for (const bool owned : {true, false}) {
        PutUnderControl(dm, d, QStringLiteral("*"));
        PutUnderControl(dm, d, QStringLiteral("*"));
        if (!owned)
            ForgetOwners(dm);
        RemoveFromControl(dm, d);
        EXPECT_EQ(registrations().size(), 1);
        EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), owned ? 1 : 0);
        RemoveFromControl(dm, d);
        EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 0);
    }
}

TEST_F(RegistrationTest, RemovingADirectoryNotUnderControlIsAnErrorAndDeletesNothing)
{
    tree.file(QStringLiteral("d/a.txt"), "1");
    PutUnderControl(dm, tree.path(QStringLiteral("d")), QStringLiteral("*"));
    try {
        RemoveFromControl(dm, tree.path());
        FAIL() << "no error";
    } catch (const Exception& error) {
        EXPECT_EQ(error.message(), QStringLiteral("Директория не стоит на учете: ") + tree.path());
    }
    EXPECT_EQ(registrations().size(), 1);
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 1);
}

// The rows of a directory lie in several runs of ids when directories were
// put under control in turn; its fingerprints go with them, and no others.
TEST_F(RegistrationTest, RemovingDeletesTheFingerprintsOfExactlyItsRows)
{
    for (const char* dir : {"o'brien", "o'brien/sub", "o'brien2", "other"})
        for (int i = 0; i < 40; ++i)
            tree.file(QString::fromUtf8(dir) + QStringLiteral("/f%1.txt").arg(i), QByteArray::number(i));
    for (const char* dir : {"o'brien2", "o'brien/sub", "o'brien", "other", "o'brien/sub"})
        PutUnderControl(dm, tree.path(QString::fromUtf8(dir)), QStringLiteral("*"));
    // Its own 80 rows; then, as rows without owners, every row at or below it.
    for (const qint32 left : {160, 80}) {
        if (left == 80) {
            PutUnderControl(dm, tree.path(QStringLiteral("o'brien")), QStringLiteral("*"));
            ForgetOwners(dm);
        }
        RemoveFromControl(dm, tree.path(QStringLiteral("o'brien")));
        EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), left);
        EXPECT_EQ(CountRows(dm, QStringLiteral("fingerprint")), left);
        dm.IBQuery1.openStatement(Statement(u"select count(*) from table1 join fingerprint on file_id=id"));
        EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("count")), left);
    }
}

TEST_F(RegistrationTest, TheRootTakesInEveryRowBelowIt)
{
    tree.file(QStringLiteral("d/a.txt"), "1");
    PutUnderControl(dm, tree.path(QStringLiteral("d")), QStringLiteral("*"));
    dm.IBQuery1.executeStatement(Statement(u"insert into tab values(9,'/','*')"));
    ForgetOwners(dm);
    RemoveFromControl(dm, QStringLiteral("/"));
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 0);
}

} // namespace
