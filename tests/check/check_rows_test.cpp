#include "check/check_rows.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

// A check takes its scan from the rows it has just written, in the order the
// database returns table2's rows: asking the engine whether that is the order
// written, else reading their ids alone; anything in table2 besides those
// rows makes it read the table instead.
namespace {

class InTableOrderTest : public ::testing::Test {
protected:
    void SetUp() override { ConnectDM1(dm, kDatabaseFileName); }

    // Writes rows with the given ids, one statement each, in that order, and
    // commits: a fresh table returns them as written.
    void insert(std::initializer_list<qint32> ids)
    {
        for (qint32 id : ids)
            dm.IBQuery1.executeStatement(Statement(u"insert into table2 values (")
                                             .number(id)
                                             .sql(u",")
                                             .quoted(name(id))
                                             .sql(u",'/d',1,'0','000',0,0)"));
        dm.IBTransaction1.commit();
        dm.IBTransaction1.startTransaction();
    }
    static QString name(qint32 id) { return QStringLiteral("f%1").arg(id); }

    // The rows a walk would have written with ids first, first + 1, ...
    static QList<CheckRow> written(qint32 first, int count)
    {
        QList<CheckRow> rows;
        for (qint32 id = first; id < first + count; ++id)
            rows.append(CheckRow{name(id), QStringLiteral("/d"), 1, QStringLiteral("000"), 0, 0});
        return rows;
    }
    static QStringList names(const QList<CheckRow>& rows)
    {
        QStringList result;
        for (const CheckRow& row : rows)
            result.append(row.name);
        return result;
    }

    TempDatabase database;
    TDM1 dm;
    qint64 lastRead = -1;
    std::function<void(qint64)> read = [this](qint64 count) { lastRead = count; };
};

TEST_F(InTableOrderTest, GivesTheWrittenRowsInTheOrderTheTableReturnsThem)
{
    insert({7, 5, 6, 8});
    const std::optional<QList<CheckRow>> ordered = InTableOrder(dm.IBQuery1, written(5, 4), read);
    ASSERT_TRUE(ordered.has_value());
    EXPECT_EQ(names(*ordered), (QStringList{name(7), name(5), name(6), name(8)}));
    EXPECT_EQ(lastRead, 4);
}

TEST_F(InTableOrderTest, TheEngineTellsWhetherTheRowsComeBackAsWritten)
{
    EXPECT_TRUE(ReturnedAsWritten(dm.IBQuery1, 0)) << "an empty scan of an empty table";
    insert({3, 4, 5});
    EXPECT_TRUE(ReturnedAsWritten(dm.IBQuery1, 3));
    EXPECT_FALSE(ReturnedAsWritten(dm.IBQuery1, 2)) << "a row besides the written ones";
    EXPECT_FALSE(ReturnedAsWritten(dm.IBQuery1, 4)) << "a written row missing";
    insert({7, 6});
    EXPECT_FALSE(ReturnedAsWritten(dm.IBQuery1, 5)) << "7 before 6";
    dm.IBQuery1.executeStatement(Statement(u"delete from table2 where id>5"));
    dm.IBQuery1.executeStatement(Statement(u"insert into table2 (id) values (null)"));
    EXPECT_FALSE(ReturnedAsWritten(dm.IBQuery1, 4)) << "an id missing";
}

TEST_F(InTableOrderTest, GivesNothingWhenTheTableHoldsOtherRowsOrLacksSome)
{
    insert({1, 2, 3});
    EXPECT_FALSE(InTableOrder(dm.IBQuery1, written(1, 2), read)) << "a row besides the written ones";
    EXPECT_FALSE(InTableOrder(dm.IBQuery1, written(1, 4), read)) << "a written row missing";

    insert({2});
    EXPECT_FALSE(InTableOrder(dm.IBQuery1, written(1, 4), read)) << "an id twice";
}

TEST_F(InTableOrderTest, AnEmptyScanOfAnEmptyTableIsEmpty)
{
    const std::optional<QList<CheckRow>> ordered = InTableOrder(dm.IBQuery1, {}, read);
    ASSERT_TRUE(ordered.has_value());
    EXPECT_TRUE(ordered->isEmpty());
    insert({1});
    EXPECT_FALSE(InTableOrder(dm.IBQuery1, {}, read));
}

} // namespace
