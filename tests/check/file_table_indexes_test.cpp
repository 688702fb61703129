#include "check/check_run.h"
#include "registration/put_under_control.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "storage/file_table_indexes.h"
#include "support/temp_tree.h"

#include <QFile>
#include <gtest/gtest.h>

// A database of an earlier version keeps indexes on the file tables; a check
// whose transaction has changed nothing drops them on its second connection,
// and only when no other connection is using them.
namespace {

class FileTableIndexesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConnectDM1(dm, kDatabaseFileName);
        for (int i = 0; i < 20; ++i)
            tree.file(QStringLiteral("d/s%1/f%2.txt").arg(i % 3).arg(i), QByteArray::number(i));
        PutUnderControl(dm, dir(), QStringLiteral("*"));
        // Something to find, and a scan of earlier left to clear away; this
        // transaction has changed data, so the check leaves table2 as it is.
        QFile::remove(tree.path(QStringLiteral("d/s0/f0.txt")));
        tree.file(QStringLiteral("d/new.txt"), "new");
        expectReport(RunCheck(dm, dir()));
        // As the earlier versions made them.
        dm.IBQuery1.executeStatement(Statement(u"create descending index table1_id on table1 (id)"));
        dm.IBQuery1.executeStatement(Statement(u"create index table1_file_name on table1 (file_name)"));
        dm.IBQuery1.executeStatement(Statement(u"create descending index table2_id on table2 (id)"));
        dm.IBQuery1.executeStatement(Statement(u"create index table2_file_name on table2 (file_name)"));
        commit();
        ASSERT_EQ(indexes().size(), 4);
    }

    // Connects other and runs a lookup through the index on file_name in its
    // transaction, left open: the engine counts the index in use by that
    // connection until it closes.
    static void useTheIndex(TDM1& other)
    {
        ConnectDM1(other, kDatabaseFileName);
        other.IBQuery1.openStatement(Statement(u"select count(*) from table2 where file_name=").quoted(QStringLiteral("x")));
    }

    QString dir() const { return tree.path(QStringLiteral("d")); }
    QStringList indexes() { return FileTableIndexes(dm.IBQuery1); }
    void commit()
    {
        dm.IBTransaction1.commit();
        dm.IBTransaction1.startTransaction();
    }
    void expectReport(const CheckReport& report)
    {
        EXPECT_EQ(report.deleted, QStringList{tree.path(QStringLiteral("d/s0/f0.txt"))});
        EXPECT_EQ(report.added, QStringList{tree.path(QStringLiteral("d/new.txt"))});
        EXPECT_TRUE(report.moved.isEmpty() && report.changed.isEmpty());
    }

    TempDatabase database;
    TempTree tree;
    TDM1 dm;
};

TEST_F(FileTableIndexesTest, ACheckWithNothingChangedYetDropsThem)
{
    expectReport(RunCheck(dm, dir()));
    commit();
    EXPECT_TRUE(indexes().isEmpty());
    expectReport(RunCheck(dm, dir()));
}

TEST_F(FileTableIndexesTest, ACheckAfterChangesOfItsTransactionKeepsThem)
{
    tree.file(QStringLiteral("e/a.txt"), "a");
    PutUnderControl(dm, tree.path(QStringLiteral("e")), QStringLiteral("*"));
    expectReport(RunCheck(dm, dir()));
    commit();
    EXPECT_EQ(indexes().size(), 4);
}

TEST_F(FileTableIndexesTest, AnotherConnectionUsingThemMakesTheDropGiveUpAtOnce)
{
    TDM1 other;
    useTheIndex(other); // a drop that waited for it would wait for good
    TDM1 own;
    ConnectDM1(own, kDatabaseFileName);
    EXPECT_FALSE(DropIndexes(own.IBDatabase1, indexes()));
    EXPECT_EQ(indexes().size(), 4);
}

TEST_F(FileTableIndexesTest, OnceTheOtherConnectionHasClosedTheyAreDropped)
{
    {
        TDM1 other;
        useTheIndex(other);
    }
    expectReport(RunCheck(dm, dir()));
    commit();
    EXPECT_TRUE(indexes().isEmpty());
}

TEST_F(FileTableIndexesTest, ACheckWhileAnotherConnectionUsesThemKeepsThemAndFindsTheSame)
{
    TDM1 other;
    useTheIndex(other);
    expectReport(RunCheck(dm, dir()));
    commit();
    EXPECT_EQ(indexes().size(), 4);
}

} // namespace
