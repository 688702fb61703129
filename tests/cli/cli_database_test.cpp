#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFileInfo>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

// The database somewhere else than the working directory, reached from
// working directories that hold no file.gdb.
class CliDatabaseTest : public ::testing::Test {
protected:
    QProcessEnvironment withDatabase(const QString& name) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("KVAREN_DATABASE"), name);
        return environment;
    }

    TempTree first;     // a working directory
    TempTree second;    // another one
    TempTree elsewhere; // where the database lives
    TempTree tree;
};

TEST_F(CliDatabaseTest, DatabaseOptionNamesAFileElsewhereFromAnyWorkingDirectory)
{
    const QString database = elsewhere.path(QStringLiteral("x.gdb"));
    const QString option = QStringLiteral("--database=") + database;
    Result r = cli(first.path(), {QStringLiteral("--database"), database, QStringLiteral("init")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(database));
    EXPECT_FALSE(QFileInfo::exists(first.path(QStringLiteral("file.gdb"))));

    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/b.txt"), "b");
    const QString d = tree.path(QStringLiteral("d"));
    r = cli(first.path(), {option, QStringLiteral("add"), d});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = cli(second.path(), {option, QStringLiteral("list")});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, d + QStringLiteral("\tТипы файлов: *\nНа учете находится: 2  файлов.\n"));
    EXPECT_FALSE(QFileInfo::exists(second.path(QStringLiteral("file.gdb"))));

    r = cli(second.path(), {option, QStringLiteral("init")});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.contains(database)) << r.err.toStdString();
}

TEST_F(CliDatabaseTest, EnvironmentNamesTheDatabaseAndTheOptionOverridesIt)
{
    const QString fromEnvironment = elsewhere.path(QStringLiteral("env.gdb"));
    const QString fromOption = elsewhere.path(QStringLiteral("option.gdb"));
    const QProcessEnvironment environment = withDatabase(fromEnvironment);
    ASSERT_EQ(cli(first.path(), {QStringLiteral("init")}, environment).status, 0);
    EXPECT_TRUE(QFileInfo::exists(fromEnvironment));
    tree.file(QStringLiteral("d/a.txt"), "a");
    const QString d = tree.path(QStringLiteral("d"));
    ASSERT_EQ(cli(first.path(), {QStringLiteral("add"), d}, environment).status, 0);
    Result r = cli(second.path(), {QStringLiteral("list")}, environment);
    EXPECT_EQ(r.out, d + QStringLiteral("\tТипы файлов: *\nНа учете находится: 1  файлов.\n")) << r.err.toStdString();

    r = cli(second.path(), {QStringLiteral("--database"), fromOption, QStringLiteral("init")}, environment);
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(fromOption));
    r = cli(second.path(), {QStringLiteral("--database"), fromOption, QStringLiteral("list")}, environment);
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 0  файлов.\n")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(first.path(QStringLiteral("file.gdb"))));
    EXPECT_FALSE(QFileInfo::exists(second.path(QStringLiteral("file.gdb"))));
}

} // namespace
