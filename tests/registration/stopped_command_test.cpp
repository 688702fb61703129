#include "check/check_run.h"
#include "check/report_text.h"
#include "common/command_stop.h"
#include "common/progress.h"
#include "registration/put_under_control.h"
#include "registration/remove_from_control.h"
#include "registration/update_control.h"
#include "storage/command_savepoint.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Asks the running command to stop at its given progress call, as a signal or
// the cancel button would between two files.
class StopAt : public Progress {
public:
    explicit StopAt(int call, bool inJudgingOnly = false) : m_left(call), m_inJudgingOnly(inJudgingOnly) {}

protected:
    void showWalking(const QString&, qint64) override
    {
        if (!m_inJudgingOnly)
            count();
    }
    void showJudging(const QString&, qint64, qint64) override { count(); }

private:
    void count()
    {
        if (--m_left == 0)
            CommandStop::ask(SIGINT);
    }
    int m_left;
    bool m_inJudgingOnly;
};

class StoppedCommandTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConnectDM1(dm, kDatabaseFileName);
        for (int i = 0; i < 30; ++i)
            tree.file(QStringLiteral("big/d%1/f%2.txt").arg(i % 3).arg(i), QByteArray::number(i));
        tree.file(QStringLiteral("small/a.txt"), "a");
        tree.file(QStringLiteral("small/b.txt"), "b");
    }

    // Runs a command as the front ends do, and expects it to end stopped.
    template<typename Body>
    void runStopped(Body body)
    {
        CommandStop::Running running;
        EXPECT_THROW(UndoIfFailed(dm, body), ECommandStopped);
    }

    QList<FileRow> rows(const char* table) { return ReadFileRows(dm, QString::fromLatin1(table)); }

    TempDatabase database;
    TempTree tree;
    TDM1 dm;
};

TEST_F(StoppedCommandTest, AStoppedAddLeavesNothingAndKeepsAnEarlierUncommittedAdd)
{
    PutUnderControl(dm, tree.path(QStringLiteral("small")), QStringLiteral("*"));
    const QList<FileRow> before = rows("table1");
    ASSERT_EQ(before.size(), 2);

    StopAt stop(10);
    runStopped([&] { PutUnderControl(dm, tree.path(QStringLiteral("big")), QStringLiteral("*"), &stop); });

    EXPECT_EQ(rows("table1"), before);
    EXPECT_EQ(CountRows(dm, QStringLiteral("tab")), 1);
    // The next command draws the ids the stopped one had drawn, as if it never ran.
    PutUnderControl(dm, tree.path(QStringLiteral("big")), QStringLiteral("*"));
    EXPECT_EQ(rows("table1").at(2).id, 3);
    dm.finish();
}

// Past the first batches of file and directory rows, so that there are rows
// of both to undo.
TEST_F(StoppedCommandTest, AStoppedAddUndoesItsDirectoryRowsAndFingerprintsWithItsFiles)
{
    for (int i = 0; i < 40; ++i)
        tree.file(QStringLiteral("many/d%1/f.txt").arg(i), "f");
    StopAt stop(75);
    runStopped([&] { PutUnderControl(dm, tree.path(QStringLiteral("many")), QStringLiteral("*"), &stop); });
    for (const char* table : {"tab", "table1", "fingerprint", "directory_print"})
        EXPECT_EQ(CountRows(dm, QString::fromLatin1(table)), 0) << table;
}

TEST_F(StoppedCommandTest, AStoppedRemoveKeepsTheDirectoryAndEveryRow)
{
    PutUnderControl(dm, tree.path(QStringLiteral("big")), QStringLiteral("*"));
    dm.finish();
    dm.IBTransaction1.startTransaction();
    const QList<FileRow> before = rows("table1");

    StopAt stop(5);
    runStopped([&] { RemoveFromControl(dm, tree.path(QStringLiteral("big")), &stop); });

    EXPECT_EQ(rows("table1"), before);
    EXPECT_EQ(CountRows(dm, QStringLiteral("tab")), 1);
}

TEST_F(StoppedCommandTest, AStoppedAddOrUpdateUndoesTheFingerprintsWithTheRows)
{
    const QString big = tree.path(QStringLiteral("big"));
    PutUnderControl(dm, big, QStringLiteral("*"));
    ASSERT_EQ(CountRows(dm, QStringLiteral("fingerprint")), 30);
    for (const auto& command : std::vector<std::function<void(Progress*)>>{
             [&](Progress* p) { PutUnderControl(dm, big, QStringLiteral("*"), p); },
             [&](Progress* p) { UpdateControl(dm, big, p); }}) {
        StopAt stop(3);
        runStopped([&] { command(&stop); });
        EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 30);
        EXPECT_EQ(CountRows(dm, QStringLiteral("fingerprint")), 30);
    }
}

TEST_F(StoppedCommandTest, ACheckStoppedInItsWalkLeavesTable2AsItWas)
{
    PutUnderControl(dm, tree.path(QStringLiteral("big")), QStringLiteral("*"));
    dm.finish();
    dm.IBTransaction1.startTransaction();
    // What an interrupted check of earlier left in table2 is emptied first by a
    // check, and comes back when that check is stopped before its commit.
    dm.IBQuery1.executeStatement(
        Statement(u"insert into table2 values(1,'left','/x',1,'0','A  ',0,0)"));
    const QList<FileRow> before = rows("table2");

    StopAt stop(10);
    runStopped([&] { RunCheck(dm, tree.path(QStringLiteral("big")), &stop); });

    EXPECT_EQ(rows("table2"), before);
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 30);
}

TEST_F(StoppedCommandTest, ACheckStoppedInItsJudgingKeepsItsCommittedScanForTheNextCheck)
{
    PutUnderControl(dm, tree.path(QStringLiteral("big")), QStringLiteral("*"));
    tree.file(QStringLiteral("big/new.txt"), "new");

    StopAt stop(2, true);
    runStopped([&] { RunCheck(dm, tree.path(QStringLiteral("big")), &stop); });
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 30);

    const ReportLists report = ReportLines(RunCheck(dm, tree.path(QStringLiteral("big"))));
    EXPECT_EQ(report.added, QStringList{tree.path(QStringLiteral("big/new.txt"))});
    EXPECT_TRUE(report.deleted.isEmpty() && report.moved.isEmpty() && report.changed.isEmpty());
    EXPECT_EQ(CountRows(dm, QStringLiteral("table2")), 0);
}

TEST_F(StoppedCommandTest, ACommandThatIsNotStoppedKeepsItsWorkAndSoDoesOneThatFails)
{
    {
        CommandStop::Running running;
        UndoIfFailed(dm, [&] { PutUnderControl(dm, tree.path(QStringLiteral("small")), QStringLiteral("*")); });
    }
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 2);
    {
        CommandStop::Running running;
        EXPECT_THROW(UndoIfFailed(dm, [&] { RemoveFromControl(dm, QStringLiteral("/not/under/control")); }),
                     Exception);
    }
    EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 2);
}

} // namespace
