#include "cli/cli_run.h"
#include "support/firebird_server.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <memory>

namespace {

// kvaren-cli against a real Firebird server of the test's own, reached over
// TCP with the login in ISC_USER and ISC_PASSWORD, as a host that keeps its
// baseline on another machine would.
class CliServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!FirebirdServer::installed())
            GTEST_SKIP() << FirebirdServer::notInstalledMessage().toStdString();
        server = std::make_unique<FirebirdServer>();
        const QString error = server->start();
        ASSERT_TRUE(error.isEmpty()) << error.toStdString();
        database = server->databaseName(QStringLiteral("file.gdb"));
    }

    QProcessEnvironment login(const QString& password) const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("KVAREN_DATABASE"));
        environment.insert(QStringLiteral("ISC_USER"), server->user());
        environment.insert(QStringLiteral("ISC_PASSWORD"), password);
        return environment;
    }

    Result run(const QStringList& command) const
    {
        return cli(work.path(), QStringList{QStringLiteral("--database"), database} + command,
                   login(server->password()));
    }

    std::unique_ptr<FirebirdServer> server;
    QString database;
    TempTree work;
    TempTree tree;
};

TEST_F(CliServerTest, InitAddCheckAndListKeepTheBaselineOnTheServer)
{
    Result r = run({QStringLiteral("init")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(server->dataDirectory() + QStringLiteral("/file.gdb")));
    EXPECT_FALSE(QFileInfo::exists(work.path(QStringLiteral("file.gdb"))));

    tree.file(QStringLiteral("d/keep.txt"), "keep");
    tree.file(QStringLiteral("d/grow.txt"), "grow");
    const QString d = tree.path(QStringLiteral("d"));
    r = run({QStringLiteral("add"), d, QStringLiteral("txt")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 2  файлов.\n"));

    tree.file(QStringLiteral("d/grow.txt"), "grown");
    r = run({QStringLiteral("check"), d});
    EXPECT_EQ(r.status, 4) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Удаленные файлы\nНе обнаружено\n\nПеремещенные файлы\nНе обнаружено\n\n"
                                    "Новые файлы\nНе обнаружено\n\nИзмененные файлы\n")
                         + d + QStringLiteral("/grow.txt изменен размер файла,\n") + d
                         + QStringLiteral("/grow.txt изменено содержание файла,\n"));

    TempTree otherHost;
    r = cli(otherHost.path(), {QStringLiteral("--database"), database, QStringLiteral("list")},
            login(server->password()));
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, d + QStringLiteral("\tТипы файлов: txt\nНа учете находится: 2  файлов.\n"));
}

TEST_F(CliServerTest, InitRefusesADatabaseThatExistsAndLeavesItAsItWas)
{
    ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
    tree.file(QStringLiteral("d/a.txt"), "a");
    ASSERT_EQ(run({QStringLiteral("add"), tree.path(QStringLiteral("d"))}).status, 0);

    Result r = run({QStringLiteral("init")});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("База данных уже существует: ") + database + u'\n'))
        << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    r = run({QStringLiteral("list")});
    EXPECT_EQ(r.out, tree.path(QStringLiteral("d")) + QStringLiteral("\tТипы файлов: *\nНа учете находится: 1  файлов.\n"))
        << r.err.toStdString();
}

TEST_F(CliServerTest, InitWhereTheServerCannotWriteSaysSoAndNotThatItExists)
{
    database = server->databaseName(QStringLiteral("missing/file.gdb"));
    const Result r = run({QStringLiteral("init")});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Не удалось создать базу данных ") + database + QStringLiteral(": ")))
        << r.err.toStdString();
}

TEST_F(CliServerTest, AWrongPasswordIsRefusedWithStatus16AndNamesTheDatabase)
{
    const QProcessEnvironment wrong = login(server->password() + QStringLiteral("x"));
    Result r = cli(work.path(), {QStringLiteral("--database"), database, QStringLiteral("init")}, wrong);
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Не удалось создать базу данных ") + database)) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(server->dataDirectory() + QStringLiteral("/file.gdb")));

    ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
    r = cli(work.path(), {QStringLiteral("--database"), database, QStringLiteral("list")}, wrong);
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Не удалось открыть базу данных ") + database + u'\n'))
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("password"))) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
}

// A nightly check's account, granted nothing but SELECT on the tables: it
// lists and checks, even past what an interrupted check left in table2 and
// in a database of an earlier layout, which it leaves as it is; its changes
// are refused with nothing changed.
TEST_F(CliServerTest, AnAccountThatMayOnlyReadChecksAndItsChangesAreRefused)
{
    ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
    tree.file(QStringLiteral("d/a.txt"), "a");
    const QString d = tree.path(QStringLiteral("d"));
    ASSERT_EQ(run({QStringLiteral("add"), d}).status, 0);
    const auto isql = [&](const QByteArray& script) {
        QProcess run;
        run.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-user"), server->user(),
                                              QStringLiteral("-password"), server->password(), database});
        run.write(script + "commit;\n");
        run.closeWriteChannel();
        EXPECT_TRUE(run.waitForFinished(30000));
        EXPECT_EQ(run.readAllStandardError(), QByteArray()) << script.toStdString();
        return QString::fromUtf8(run.readAllStandardOutput()).simplified();
    };
    QByteArray script = "create user checker password 'only-reads';\n"
                        "insert into table2 values (1,'left','/x',1,'0','001',0,0);\n"
                        "drop table seal;\ndrop table directory_print;\ndrop table package_record;\n"
                        "drop table package_files;\ndrop table event_log;\n"
                        "alter table fingerprint drop xattrs, drop device_or_flags;\n";
    for (const char* table : {"tab", "table1", "table2", "fingerprint"})
        script += QByteArray("grant select on ") + table + " to checker;\n";
    isql(script);

    QProcessEnvironment checker = login(QStringLiteral("only-reads"));
    checker.insert(QStringLiteral("ISC_USER"), QStringLiteral("CHECKER"));
    const auto asChecker = [&](const QStringList& command) {
        return cli(work.path(), QStringList{QStringLiteral("--database"), database} + command, checker);
    };
    Result r = asChecker({QStringLiteral("check"), d});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Удаленные файлы\nНе обнаружено\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("База данных ") + database + QStringLiteral(" записана прежней")))
        << r.err.toStdString();
    EXPECT_EQ(asChecker({QStringLiteral("list")}).status, 0);
    EXPECT_EQ(isql("select count(*) from rdb$relations where rdb$relation_name in ('SEAL','DIRECTORY_PRINT');"),
              QStringLiteral("COUNT ===================== 0"))
        << "the database is left as it is";
    tree.file(QStringLiteral("d/b.txt"), "b");
    for (const QString& command : {QStringLiteral("update"), QStringLiteral("remove")}) {
        r = asChecker({command, d});
        EXPECT_EQ(r.status, 16) << command.toStdString();
        // After the line that says the database is used as it is.
        EXPECT_TRUE(r.err.trimmed().section(u'\n', -1).startsWith(QStringLiteral("Нет прав на изменение базы данных: ")))
            << r.err.toStdString();
    }
    r = run({QStringLiteral("check"), d});
    EXPECT_EQ(r.status, 1) << "the owner's check sees the new file, nothing else changed: " << r.err.toStdString();
    EXPECT_EQ(run({QStringLiteral("list")}).out, d + QStringLiteral("\tТипы файлов: *\nНа учете находится: 1  файлов.\n"));
}

} // namespace
