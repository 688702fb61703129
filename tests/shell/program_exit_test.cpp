#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/temp_tree.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The real program, started in dir with arguments, with a driver that
// presses its buttons as a user would.
int runProgram(const QString& dir, const QString& presses, const QStringList& arguments = {})
{
    QProcess program;
    program.setWorkingDirectory(dir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("LD_PRELOAD"), QStringLiteral(KVAREN_EXIT_DRIVER_PATH));
    env.insert(QStringLiteral("KVAREN_PRESS"), presses);
    env.remove(QStringLiteral("KVAREN_DATABASE"));
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(KVAREN_PATH), arguments);
    if (!program.waitForFinished(60000)) {
        program.kill();
        program.waitForFinished();
        return -1;
    }
    return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
}

qint32 committedRows(const QString& table, const QString& database = kDatabaseFileName)
{
    TDM1 dm;
    ConnectDM1(dm, database);
    return CountRows(dm, table);
}

// The exit command ends the program without the window's close event; the
// program itself commits the open transaction on its way out.
TEST(ProgramExitTest, WhatACommandDidIsCommittedWhenTheExitCommandEndsTheProgram)
{
    TempDatabase database;
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        dm.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/x','*')"));
        dm.IBQuery1.executeStatement(Statement(u"insert into table1 values (1,'f','/x',1,'0','001',1,1)"));
        dm.finish();
    }
    ASSERT_EQ(runProgram(database.directory(), QStringLiteral("ToolButton2,ToolButton8")), 0);
    EXPECT_EQ(committedRows(QStringLiteral("tab")), 0);
    EXPECT_EQ(committedRows(QStringLiteral("table1")), 0);
}

TEST(ProgramExitTest, TheExitMenuItemCommitsToo)
{
    TempDatabase database;
    {
        TDM1 dm;
        ConnectDM1(dm, kDatabaseFileName);
        dm.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/x','*')"));
        dm.finish();
    }
    ASSERT_EQ(runProgram(database.directory(), QStringLiteral("N3,N7")), 0);
    EXPECT_EQ(committedRows(QStringLiteral("tab")), 0);
}

// The command line is read before the application object takes Qt's options
// out of it: the database it names, among those options too, is the one the
// window opens, started in a directory that holds none.
TEST(ProgramExitTest, TheWindowOpensTheDatabaseItsCommandLineNames)
{
    TempDatabase database;
    const QTemporaryDir elsewhere;
    const QStringList commandLines[] = {
        {QStringLiteral("--database"), database.file()},
        {QStringLiteral("-reverse"), QStringLiteral("--database=") + database.file(), QStringLiteral("-platform"),
         QStringLiteral("offscreen")},
    };
    for (const QStringList& arguments : commandLines) {
        {
            TDM1 dm;
            ConnectDM1(dm, database.file());
            // As an earlier version left it: without digests to tell the row
            // added behind the program.
            dm.IBQuery1.executeStatement(Statement(u"delete from seal"));
            dm.IBQuery1.executeStatement(Statement(u"insert into tab values(1,'/x','*')"));
            dm.finish();
        }
        EXPECT_EQ(runProgram(elsewhere.path(), QStringLiteral("N3,N7"), arguments), 0) << arguments.join(u' ').toStdString();
        EXPECT_EQ(committedRows(QStringLiteral("tab"), database.file()), 0) << arguments.join(u' ').toStdString();
    }
}

} // namespace
