#include "rows/id_allocation.h"
#include "storage/connect.h"
#include "storage/database_error.h"
#include "storage/dm1.h"
#include "storage/statement_handle.h"
#include "support/temp_tree.h"

#include <QSqlQuery>
#include <QSqlResult>
#include <gtest/gtest.h>
#include <ibase.h>

namespace {

class StorageTest : public ::testing::Test {
protected:
    void SetUp() override { ConnectDM1(dm, kDatabaseFileName); }

    void insertTab(qint32 id, const QString& dir, const QString& ext = QStringLiteral("*"))
    {
        dm.IBQuery1.executeStatement(Statement(u"insert into tab values(").number(id).sql(u",").quoted(dir).sql(u",").quoted(ext).sql(u")"));
    }
    void insertFile(const QString& table, qint32 id, const QString& name, const QString& path)
    {
        dm.IBQuery1.executeStatement(Statement(QString(QStringLiteral("insert into ") + table + QStringLiteral(" values ("))).number(id)
                                         .sql(u",").quoted(name).sql(u",").quoted(path)
                                         .sql(u",1,'0','001',2,3)"));
    }
    qint32 count(const Statement& statement)
    {
        dm.IBQuery1.openStatement(statement);
        return dm.IBQuery1.fieldAsInteger(QStringLiteral("count"));
    }

    TempDatabase database;
    TDM1 dm;
};

TEST(StatementTest, DoublesApostrophesInTheLineAndKeepsValuesApart)
{
    Statement s(u"select * from tab where file_name=");
    s.quoted(QStringLiteral("/home/o'brien")).sql(u" and id=").number(-5);
    EXPECT_EQ(s.line(), QStringLiteral("select * from tab where file_name='/home/o''brien' and id=-5"));
    EXPECT_EQ(s.shape(), QStringLiteral("select * from tab where file_name=? and id=?"));
    ASSERT_EQ(s.values().size(), 2);
    EXPECT_EQ(s.values()[0].toString(), QStringLiteral("/home/o'brien"));
    EXPECT_EQ(s.values()[1].toInt(), -5);
}

TEST_F(StorageTest, IdsStartAtOneFollowTheMaximumAndAreReusedAfterTheTopRowsGo)
{
    EXPECT_EQ(NextId(dm.IBQuery1, QStringLiteral("tab")), 1);
    insertTab(1, QStringLiteral("/a"));
    insertTab(5, QStringLiteral("/b"));
    insertTab(3, QStringLiteral("/c"));
    EXPECT_EQ(NextId(dm.IBQuery1, QStringLiteral("tab")), 6);
    EXPECT_FALSE(dm.IBQuery1.active()) << "the idiom leaves the query closed";
    dm.IBQuery1.executeStatement(Statement(u"delete from tab where id=").number(5));
    EXPECT_EQ(NextId(dm.IBQuery1, QStringLiteral("tab")), 4);
}

TEST_F(StorageTest, ResultsWithoutRowsReadAsNullAndColumnsAreFoundWithoutRegardToCase)
{
    dm.IBQuery1.openStatement(Statement(u"select max(id) from table1"));
    EXPECT_TRUE(dm.IBQuery1.fieldIsNull(QStringLiteral("max")));
    EXPECT_TRUE(dm.IBQuery1.fieldIsNull(QStringLiteral("MAX")));

    dm.IBQuery1.openStatement(Statement(u"select * from table1"));
    EXPECT_TRUE(dm.IBQuery1.fieldIsNull(QStringLiteral("File_name")));
    EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("full_path")), QString());
    EXPECT_THROW(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")), EDatabaseError)
        << "a missing id cannot be read as an integer";
    EXPECT_THROW(dm.IBQuery1.fieldByName(QStringLiteral("no_such_column")), EDatabaseError);

    insertFile(QStringLiteral("table1"), 1, QStringLiteral("a.txt"), QStringLiteral("/d"));
    dm.IBQuery1.openStatement(Statement(u"select * from table1"));
    EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("File_name")), QStringLiteral("a.txt"));
    EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("FILE_NAME")), QStringLiteral("a.txt"));
    EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("data")), QStringLiteral("0"));
    EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("atr")), QStringLiteral("001"));
    EXPECT_EQ(count(Statement(u"select count(*) from table1")), 1);
}

TEST_F(StorageTest, NextStaysOnTheLastRow)
{
    insertTab(1, QStringLiteral("/a"));
    insertTab(2, QStringLiteral("/b"));
    dm.IBQuery1.openStatement(Statement(u"select id from tab order by id"));
    EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")), 1);
    dm.IBQuery1.next();
    EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")), 2);
    dm.IBQuery1.next();
    dm.IBQuery1.next();
    EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")), 2);
}

TEST_F(StorageTest, CommitClosesBothQueriesAndKeepsTheChanges)
{
    insertTab(1, QStringLiteral("/a"));
    dm.IBQuery1.openStatement(Statement(u"select * from tab"));
    dm.IBQuery2.openStatement(Statement(u"select * from tab"));
    dm.IBTransaction1.commit();
    EXPECT_FALSE(dm.IBQuery1.active());
    EXPECT_FALSE(dm.IBQuery2.active());
    EXPECT_THROW(dm.IBQuery1.fieldByName(QStringLiteral("id")), EDatabaseError);
    EXPECT_THROW(dm.IBQuery1.openStatement(Statement(u"select * from tab")), EDatabaseError)
        << "no statement runs outside the transaction";

    dm.IBTransaction1.startTransaction();
    EXPECT_EQ(count(Statement(u"select count(*) from tab")), 1);
}

TEST_F(StorageTest, TheTwoQueriesKeepTheirRowsWhateverTheOtherDoes)
{
    insertFile(QStringLiteral("table2"), 1, QStringLiteral("one"), QStringLiteral("/d"));
    insertFile(QStringLiteral("table2"), 2, QStringLiteral("two"), QStringLiteral("/d"));
    insertTab(1, QStringLiteral("/a"));
    insertTab(2, QStringLiteral("/b"));

    dm.IBQuery2.openStatement(Statement(u"select * from table2 order by id"));
    dm.IBQuery2.next();
    ASSERT_EQ(dm.IBQuery2.fieldAsInteger(QStringLiteral("id")), 2);
    dm.IBQuery1.openStatement(Statement(u"select * from tab order by id"));
    dm.IBQuery1.next();
    EXPECT_EQ(dm.IBQuery2.fieldAsInteger(QStringLiteral("id")), 2) << "opening and moving IBQuery1 re-runs nothing";
    EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")), 2);

    // A delete on one query leaves the other open on its row.
    dm.IBQuery2.executeStatement(Statement(u"delete from table2 where id=").number(1));
    EXPECT_TRUE(dm.IBQuery1.active());
    EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("id")), 2);
    EXPECT_FALSE(dm.IBQuery2.active());
}

TEST_F(StorageTest, NamesAndPathsAreComparedByteForByte)
{
    insertFile(QStringLiteral("table1"), 1, QStringLiteral("a"), QStringLiteral("/home/Данные/x"));
    insertFile(QStringLiteral("table1"), 2, QStringLiteral("a "), QStringLiteral("/home/Данные/x "));
    EXPECT_EQ(count(Statement(u"select count(*) from table1 where full_path=").quoted(QStringLiteral("/home/данные/x"))), 0);
    EXPECT_EQ(count(Statement(u"select count(*) from table1 where file_name=").quoted(QStringLiteral("a"))), 1);
    EXPECT_EQ(count(Statement(u"select count(*) from table1 where full_path=").quoted(QStringLiteral("/home/Данные/x "))), 1);
    EXPECT_EQ(count(Statement(u"select count(*) from table1 where full_path starting with ").quoted(QStringLiteral("/home/Данные/"))), 2);
}

TEST_F(StorageTest, ATextLongerThanItsColumnIsRefusedRatherThanCut)
{
    const QString longest = u'/' + QString(4095, u'x');
    insertFile(QStringLiteral("table1"), 1, QString(255, u'я'), longest);
    // Two bytes per letter: 2048 letters are one byte too many.
    for (const QString& tooLong : {longest + u'x', u'/' + QString(2048, u'я')}) {
        try {
            insertFile(QStringLiteral("table1"), 2, QStringLiteral("b"), tooLong);
            FAIL() << "stored a path of " << tooLong.toUtf8().size() << " bytes";
        } catch (const EDatabaseError& error) {
            EXPECT_TRUE(error.message().contains(QStringLiteral("4096"))) << error.what();
        }
        // Nor may a lookup find the rows of a cut text.
        EXPECT_THROW(count(Statement(u"select count(*) from table1 where full_path=").quoted(tooLong)), EDatabaseError);
    }
    EXPECT_EQ(count(Statement(u"select count(*) from table1")), 1);
}

TEST_F(StorageTest, ApostrophesAndNonLatinNamesAreStoredAsThemselves)
{
    const QStringList names = {QStringLiteral("O'Brien's.txt"), QStringLiteral("Привет мир.doc"),
                               QStringLiteral("中文 😀 é ü ß"), QStringLiteral("''"), QString(255, u'я')};
    qint32 id = 0;
    for (const QString& name : names)
        insertFile(QStringLiteral("table1"), ++id, name, QStringLiteral("/it's/") + name);
    for (const QString& name : names) {
        dm.IBQuery1.openStatement(Statement(u"select * from table1 where file_name=").quoted(name));
        EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("file_name")), name);
        EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("full_path")), QStringLiteral("/it's/") + name);
    }
    const QString longPath = u'/' + QString(4095, u'x');
    insertFile(QStringLiteral("table1"), ++id, QStringLiteral("deep"), longPath);
    dm.IBQuery1.openStatement(Statement(u"select full_path from table1 where file_name='deep'"));
    EXPECT_EQ(dm.IBQuery1.fieldAsString(QStringLiteral("full_path")), longPath);
}

TEST_F(StorageTest, AStatementShapeIsPreparedOnceAndRunWithNewValues)
{
    for (qint32 id = 1; id <= 20; ++id)
        insertTab(id, QStringLiteral("/d%1").arg(id));
    EXPECT_EQ(dm.IBQuery1.prepareCount(), 1);
    EXPECT_EQ(count(Statement(u"select count(*) from tab")), 20);
}

// The client library's close of a statement without a cursor fails unless
// the statement was marked first; the mark must not run it.
TEST_F(StorageTest, AMarkedInsertClosesWithoutAnErrorAndRunsOnce)
{
    QSqlQuery insert(dm.IBDatabase1.handle());
    ASSERT_TRUE(insert.prepare(QStringLiteral("insert into tab values (?, ?, ?)")));
    isc_stmt_handle handle = insert.result()->handle().value<isc_stmt_handle>();
    ISC_STATUS_ARRAY status{};
    EXPECT_NE(isc_dsql_free_statement(status, &handle, DSQL_close), 0) << "an unmarked close succeeds";
    PrepareCursorlessRun(CursorlessHandle(insert));
    EXPECT_EQ(isc_dsql_free_statement(status, &handle, DSQL_close), 0);
    for (int id = 1; id <= 2; ++id) {
        insert.bindValue(0, id);
        insert.bindValue(1, QStringLiteral("/d"));
        insert.bindValue(2, QStringLiteral("*"));
        PrepareCursorlessRun(CursorlessHandle(insert));
        ASSERT_TRUE(insert.exec());
    }
    insert.finish();
    EXPECT_EQ(count(Statement(u"select count(*) from tab")), 2);
}

TEST_F(StorageTest, ARejectedStatementRaisesTheDatabaseErrorAndLeavesTheQueryClosed)
{
    try {
        dm.IBQuery1.openStatement(Statement(u"select * from no_such_table"));
        FAIL() << "no error";
    } catch (const EDatabaseError& error) {
        EXPECT_TRUE(error.message().contains(QStringLiteral("NO_SUCH_TABLE"))) << error.what();
    }
    EXPECT_FALSE(dm.IBQuery1.active());
}

TEST(StorageConnectTest, AMissingDatabaseFileIsNamedInTheError)
{
    TempTree tree;
    TDM1 dm;
    try {
        ConnectDM1(dm, tree.path(QStringLiteral("file.gdb")));
        FAIL() << "connected to a missing file";
    } catch (const EDatabaseError& error) {
        EXPECT_TRUE(error.message().contains(tree.path(QStringLiteral("file.gdb")))) << error.what();
    }
    EXPECT_THROW(dm.IBQuery1.openStatement(Statement(u"select count(*) from tab")), EDatabaseError);
}

} // namespace
