#include "cli/cli_run.h"
#include "support/database_holder.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <csignal>

namespace {

class CliStopTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0); }
    QString work() const { return home.path(); }
    QString databaseFile() const { return home.path(QStringLiteral("file.gdb")); }
    QString list() { return cli(work(), {QStringLiteral("list")}).out; }

    TempTree home;
    TempTree tree;
};

TEST_P(CliStopTest, ASignalStopsAnAddPartWayAndNothingOfItIsCommitted)
{
    const int signal = GetParam();
    tree.file(QStringLiteral("kept/a.txt"), "a");
    tree.file(QStringLiteral("kept/b.txt"), "b");
    for (int i = 0; i < 5000; ++i)
        tree.file(QStringLiteral("big/%1/f%2.txt").arg(i / 100).arg(i), QByteArray::number(i));
    ASSERT_EQ(cli(work(), {QStringLiteral("add"), tree.path(QStringLiteral("kept"))}).status, 0);
    const QString before = list();

    bool sent = false;
    // The first progress line comes with the first file: the walk has begun.
    const Result r = cliOnTerminal(work(), {QStringLiteral("add"), tree.path(QStringLiteral("big"))},
                                   [&](pid_t pid, const QByteArray& err) {
                                       if (!sent && err.contains("Постановка на учет: ")) {
                                           kill(pid, signal);
                                           sent = true;
                                       }
                                   });
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.status, 128 + signal) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("Команда остановлена сигналом %1, сделанное ею отменено\r\n")
                                   .arg(QString::fromLatin1(signal == SIGINT ? "SIGINT" : signal == SIGTERM ? "SIGTERM" : "SIGHUP"))))
        << r.err.toStdString();
    EXPECT_EQ(list(), before);
    EXPECT_EQ(before, tree.path(QStringLiteral("kept")) + QStringLiteral("\tТипы файлов: *\nНа учете находится: 2  файлов.\n"));
}

INSTANTIATE_TEST_SUITE_P(EndingSignals, CliStopTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP));

// Another program holding file.gdb.
class CliBusyTest : public CliStopTest {
protected:
    void hold() { ASSERT_TRUE(holder.hold(databaseFile())); }
    void release() { holder.release(); }
    DatabaseHolder holder;
};

TEST_F(CliBusyTest, ADatabaseHeldByAnotherProgramIsNamedInPlainWords)
{
    hold();
    const QString busy = QStringLiteral("База данных занята другой программой: ") + databaseFile() + u'\n';
    Result r = cli(work(), {QStringLiteral("list")});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.err, busy);
    EXPECT_EQ(r.out, QString());

    r = cli(work(), {QStringLiteral("--wait"), QStringLiteral("1"), QStringLiteral("add"), tree.dir(QStringLiteral("d"))});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.err, busy) << "off a terminal, waiting says nothing";
    release();
    EXPECT_EQ(list(), QStringLiteral("На учете находится: 0  файлов.\n"));
}

TEST_F(CliBusyTest, WaitRunsTheCommandOnceTheOtherProgramLetsGo)
{
    hold();
    bool released = false;
    const Result r = cliOnTerminal(work(), {QStringLiteral("--wait"), QStringLiteral("60"), QStringLiteral("list")},
                                   [&](pid_t, const QByteArray& err) {
                                       if (!released && err.contains("Ожидание базы данных, занятой другой программой")) {
                                           release();
                                           released = true;
                                       }
                                   });
    EXPECT_TRUE(released);
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 0  файлов.\n"));
}

TEST_F(CliBusyTest, ASignalWhileWaitingEndsTheProgramAtOnce)
{
    hold();
    const Result r = cliOnTerminal(work(), {QStringLiteral("--wait"), QStringLiteral("60"), QStringLiteral("list")},
                                   [&](pid_t pid, const QByteArray& err) {
                                       if (err.contains("Ожидание"))
                                           kill(pid, SIGTERM);
                                   });
    EXPECT_EQ(r.status, -1) << "ended by the signal itself, outside any command";
}

TEST_F(CliBusyTest, AFileThatIsNoDatabaseIsNamedBeforeTheEnginesText)
{
    for (const QByteArray& content : {QByteArray(), QByteArray("not a database at all\n").repeated(100)}) {
        QFile file(databaseFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        const Result r = cli(work(), {QStringLiteral("list")});
        EXPECT_EQ(r.status, 16);
        const QStringList lines = r.err.split(u'\n');
        ASSERT_GE(lines.size(), 3) << r.err.toStdString();
        EXPECT_EQ(lines.at(0), QStringLiteral("Не удалось открыть базу данных ") + databaseFile());
        EXPECT_FALSE(lines.at(1).isEmpty()) << "the engine's own text follows";
    }
}

} // namespace
