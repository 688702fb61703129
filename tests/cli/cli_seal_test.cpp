#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

namespace {

// A sealed database against changes made behind the program's back, by SQL
// on the database file itself, and against changes without the key.
class CliSealTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        environment.insert(QStringLiteral("KVAREN_KEY_PASSPHRASE"), QStringLiteral("correct horse"));
        environment.remove(QStringLiteral("KVAREN_PUBLIC_KEY"));
        environment.remove(QStringLiteral("KVAREN_DATABASE"));
        ASSERT_EQ(run({QStringLiteral("key"), key(), publicKey()}).status, 0);
        ASSERT_EQ(run({QStringLiteral("key"), other(), work.path(QStringLiteral("other.pub"))}).status, 0);
        tree.file(QStringLiteral("d/a.txt"), "a");
        tree.file(QStringLiteral("d/sub/b.txt"), "b");
        tree.file(QStringLiteral("e/c.txt"), "c");
        ASSERT_EQ(run({QStringLiteral("init")}).status, 0);
        ASSERT_EQ(run({QStringLiteral("add"), dir()}).status, 0);
        ASSERT_EQ(run({QStringLiteral("add"), tree.path(QStringLiteral("e"))}).status, 0);
        ASSERT_EQ(run({QStringLiteral("seal"), key()}).status, 0);
    }

    Result run(const QStringList& args) const { return cli(work.path(), args, environment); }
    Result check() const { return run({QStringLiteral("--public-key"), publicKey(), QStringLiteral("check"), dir()}); }

    // Runs SQL on the database file, as an intruder with the file would.
    void sql(const QByteArray& script) const
    {
        QProcess isql;
        isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"),
                                               work.path(QStringLiteral("file.gdb"))});
        isql.write(script + "\ncommit;\n");
        isql.closeWriteChannel();
        ASSERT_TRUE(isql.waitForFinished(30000));
        ASSERT_EQ(isql.readAllStandardError(), QByteArray()) << script.toStdString();
    }

    QString dir() const { return tree.path(QStringLiteral("d")); }
    QString key() const { return work.path(QStringLiteral("seal.key")); }
    QString publicKey() const { return work.path(QStringLiteral("seal.pub")); }
    QString other() const { return work.path(QStringLiteral("other.key")); }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    TempTree work;
    TempTree tree;
};

TEST_F(CliSealTest, EveryChangeBehindTheProgramsBackIsReportedBeforeTheLists)
{
    const QString rows = QStringLiteral("Записи директории изменены помимо программы: ") + dir();
    const QString list = QStringLiteral("Печать базы данных не совпадает");
    struct Case {
        const char* what;
        QByteArray sql;
        QString line; // the report's first line begins so
        int found;    // what the lists find besides
    };
    const QList<Case> cases{
        {"a digest rewritten", "update fingerprint set sha256=lpad('', 64, '0') where file_id=1;", rows, 4},
        {"a row deleted", "delete from table1 where id=1;", rows, 1},
        {"a row inserted", "insert into table1 values (100,'x.txt','" + dir().toUtf8() + "',1,'0','001',1,1);"
         "insert into fingerprint (file_id,tab_id,mode) values (100,1,33188);", rows, 2},
        {"a row given to another registration", "update fingerprint set tab_id=2 where file_id=1;", rows, 1},
        {"a registration deleted", "delete from tab where id=2;", list, 0},
        {"a directory row changed", "update directory_print set mode=16895 where tab_id=1;", rows, 4},
        {"the seal deleted", "delete from seal;", QStringLiteral("База данных не запечатана"), 0},
    };
    const QByteArray sealed = [&] {
        QFile file(work.path(QStringLiteral("file.gdb")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    const auto restore = [&] {
        QFile file(work.path(QStringLiteral("file.gdb")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(sealed);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        restore();
        sql(c.sql);
        const Result r = check();
        EXPECT_EQ(r.status, 64 | c.found) << r.err.toStdString();
        EXPECT_TRUE(r.out.startsWith(c.line)) << r.out.toStdString();
        EXPECT_TRUE(r.out.contains(QStringLiteral("\n\nУдаленные файлы\n"))) << "the lists still follow";
    }
    // Nor does a change with the key bless one: the list no longer holds.
    restore();
    sql("delete from tab where id=2;");
    const Result refused = run({QStringLiteral("--key"), key(), QStringLiteral("update"), dir()});
    EXPECT_EQ(refused.status, 16);
    EXPECT_TRUE(refused.err.startsWith(list)) << refused.err.toStdString();
    // Sealed again with another key.
    ASSERT_EQ(run({QStringLiteral("seal"), other()}).status, 0);
    const Result r = check();
    EXPECT_EQ(r.status, 64);
    EXPECT_TRUE(r.out.startsWith(list)) << r.out.toStdString();
}

TEST_F(CliSealTest, OnlyTheKeyChangesASealedDatabaseAndWhatItChangesChecksClean)
{
    const QString verified = QStringLiteral("Печать базы данных проверена ключом ");
    Result r = check();
    ASSERT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_TRUE(r.out.startsWith(verified)) << r.out.toStdString();
    const QString fingerprint = r.out.section(u'\n', 0, 0).mid(verified.size());
    EXPECT_EQ(fingerprint.size(), 64);

    tree.file(QStringLiteral("d/a.txt"), "trojan of another size");
    EXPECT_EQ(check().status, 4);
    const QByteArray before = [&] {
        QFile file(work.path(QStringLiteral("file.gdb")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    r = run({QStringLiteral("update"), dir()});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("База данных запечатана"))) << r.err.toStdString();
    QProcessEnvironment wrong = environment;
    wrong.insert(QStringLiteral("KVAREN_KEY_PASSPHRASE"), QStringLiteral("wrong"));
    r = cli(work.path(), {QStringLiteral("--key"), key(), QStringLiteral("update"), dir()}, wrong);
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("Неверный пароль"))) << r.err.toStdString();
    EXPECT_EQ(check().status, 4) << "nothing was accepted";

    for (const QStringList& change : {QStringList{QStringLiteral("update"), dir(), QStringLiteral("a.txt")},
                                      QStringList{QStringLiteral("update"), dir()},
                                      QStringList{QStringLiteral("remove"), tree.path(QStringLiteral("e"))},
                                      QStringList{QStringLiteral("add"), tree.path(QStringLiteral("e"))}}) {
        r = run(QStringList{QStringLiteral("--key"), key()} + change);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_EQ(check().status, 0) << change.join(u' ').toStdString();
    }
    r = check();
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_EQ(r.out.section(u'\n', 0, 0), verified + fingerprint);
    r = run({QStringLiteral("--public-key"), publicKey(), QStringLiteral("list")});
    EXPECT_EQ(r.status, 0) << r.out.toStdString();
    EXPECT_EQ(run({QStringLiteral("check"), dir()}).status, 64) << "a sealed database with no public key set up";
    EXPECT_NE(run({QStringLiteral("key"), key(), work.path(QStringLiteral("new.pub"))}).status, 0)
        << "a key never over a file that exists";
}

} // namespace
