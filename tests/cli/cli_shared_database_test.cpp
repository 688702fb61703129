#include "cli/cli_run.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/temp_tree.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <memory>
#include <set>

namespace {

class CliSharedDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
        for (int d = 0; d < kDirectories; ++d)
            for (int f = 0; f < 200; ++f)
                tree.file(QStringLiteral("d%1/s%2/f%3.txt").arg(d).arg(f % 7).arg(f), QByteArray::number(d * 1000 + f));
    }
    QString work() const { return home.path(); }
    QString databaseFile() const { return home.path(QStringLiteral("file.gdb")); }
    QString dir(int d) const { return tree.path(QStringLiteral("d%1").arg(d)); }
    QStringList listed()
    {
        QStringList lines = cli(work(), {QStringLiteral("list")}).out.split(u'\n', Qt::SkipEmptyParts);
        lines.removeLast(); // the count
        for (QString& line : lines)
            line = line.section(u'\t', 0, 0); // the directory
        return lines;
    }

    static constexpr int kDirectories = 8;
    TempTree home;
    TempTree tree;
};

// The engine's own validation of the whole file, in its default mode: nothing
// else may have the file open by then.
QString validationErrors(const QString& file)
{
    QProcess gfix;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("FIREBIRD"));
    gfix.setProcessEnvironment(environment);
    gfix.setProcessChannelMode(QProcess::MergedChannels);
    gfix.start(QStringLiteral("gfix"), {QStringLiteral("-v"), QStringLiteral("-full"), file});
    gfix.waitForFinished(120000);
    const QString out = QString::fromLocal8Bit(gfix.readAll()).trimmed();
    return gfix.exitCode() == 0 ? out : QStringLiteral("exit %1 %2").arg(gfix.exitCode()).arg(out);
}

// Four programs at once doing random adds, updates, removes and checks, each
// on directories of its own (a check also on the others'), some stopped by
// one of the signals that stop a command, at a random moment; afterwards the
// database must be whole.
TEST_F(CliSharedDatabaseTest, FourProgramsAtRandomLeaveEveryIdUniqueAndEveryDirectoryClean)
{
    enum class State { Out, In, Unknown };
    struct Slot {
        std::unique_ptr<QProcess> process;
        QString command;
        int index = 0;
        int dir = 0;
        bool signalled = false;
        QElapsedTimer running;
    };
    std::vector<State> state(kDirectories, State::Out);
    std::vector<QString> history(kDirectories);
    std::vector<Slot> programs(4);
    QRandomGenerator random(20261208);
    QStringList failures;
    int runs = 0, stopped = 0, busy = 0;

    const auto start = [&](Slot& slot, int index) {
        // A program's own directories are 2*index and 2*index+1.
        slot.index = index;
        slot.dir = 2 * index + int(random.bounded(2));
        const State s = state[slot.dir];
        QStringList args;
        if (random.bounded(4) == 0) { // a check of any directory, listed or not
            slot.dir = int(random.bounded(kDirectories));
            slot.command = QStringLiteral("check");
        } else if (s == State::Unknown) {
            slot.command = QStringLiteral("list");
        } else if (s == State::Out) {
            slot.command = QStringLiteral("add");
        } else {
            slot.command = random.bounded(2) ? QStringLiteral("update") : QStringLiteral("remove");
        }
        if (slot.command != QLatin1StringView("check") && random.bounded(3) != 0)
            args << QStringLiteral("--wait") << QStringLiteral("10");
        args << slot.command;
        if (slot.command != QLatin1StringView("list"))
            args << dir(slot.dir);
        slot.process = std::make_unique<QProcess>();
        slot.process->setWorkingDirectory(work());
        slot.process->start(cliPath(), args);
        slot.signalled = false;
        slot.running.start();
        ++runs;
    };
    const auto finished = [&](Slot& slot) {
        QProcess& p = *slot.process;
        const int status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        const QString out = QString::fromUtf8(p.readAllStandardOutput());
        const QString err = QString::fromUtf8(p.readAllStandardError());
        // What happened to the directory before, for a failure to tell.
        QString& past = history[slot.dir];
        const QString before = past;
        past += QStringLiteral(" | %1%2 %3").arg(slot.command, slot.signalled ? QStringLiteral("!") : QString()).arg(status);
        const bool writes = slot.command == QLatin1StringView("add") || slot.command == QLatin1StringView("remove")
            || slot.command == QLatin1StringView("update");
        if (slot.command == QLatin1StringView("list") && status == 0) {
            // Only the program's own directories: no other program changes
            // them while it lists.
            for (int d = 2 * slot.index; d < 2 * slot.index + 2; ++d)
                if (state[d] == State::Unknown)
                    state[d] = out.split(u'\n').contains(dir(d) + QStringLiteral("\tТипы файлов: *")) ? State::In : State::Out;
            return;
        }
        if (status == 0) {
            if (slot.command == QLatin1StringView("add") || slot.command == QLatin1StringView("update"))
                state[slot.dir] = State::In;
            else if (slot.command == QLatin1StringView("remove"))
                state[slot.dir] = State::Out;
            return;
        }
        if (status == 16 && err.startsWith(QStringLiteral("База данных занята другой программой: "))) {
            ++busy;
            return;
        }
        if (slot.signalled) {
            ++stopped;
            if (writes && status == -1)
                state[slot.dir] = State::Unknown; // ended outside the command: its commit may have been reached
            else if (writes && status != 128 + SIGTERM && status != 128 + SIGINT && status != 128 + SIGHUP)
                failures << slot.command + QStringLiteral(" stopped: ") + QString::number(status) + u' ' + err + before;
            return;
        }
        if (status == 16 && err.startsWith(QStringLiteral("Директория не стоит на учете: ")))
            return;
        failures << slot.command + u' ' + dir(slot.dir) + QStringLiteral(": ") + QString::number(status) + u' ' + err
                 + before;
    };

    const QDeadlineTimer deadline(15000);
    for (std::size_t i = 0; i < programs.size(); ++i)
        start(programs[i], int(i));
    while (!deadline.hasExpired()) {
        QThread::msleep(20);
        for (std::size_t i = 0; i < programs.size(); ++i) {
            Slot& slot = programs[i];
            if (slot.process->state() == QProcess::NotRunning || slot.process->waitForFinished(0)) {
                finished(slot);
                start(slot, int(i));
            } else if (slot.running.hasExpired(40000)) {
                failures << slot.command + u' ' + dir(slot.dir) + QStringLiteral(": still running after 40 s");
                slot.process->kill();
                slot.process->waitForFinished(5000);
                start(slot, int(i));
            } else if (!slot.signalled && random.bounded(40) == 0) {
                const int endings[] = {SIGTERM, SIGINT, SIGHUP};
                kill(pid_t(slot.process->processId()), endings[random.bounded(3)]);
                slot.signalled = true;
            }
        }
    }
    for (Slot& slot : programs) {
        slot.process->waitForFinished(60000);
        finished(slot);
    }
    EXPECT_TRUE(failures.isEmpty()) << failures.join(u'\n').toStdString();
    EXPECT_GT(runs, 40);
    EXPECT_GT(stopped, 0);

    {
        TDM1 dm;
        ConnectDM1(dm, databaseFile());
        for (const QString& table : {QStringLiteral("tab"), QStringLiteral("table1")}) {
            dm.IBQuery1.openStatement(Statement(QStringLiteral("select count(*) - count(distinct id) as doubled from ") + table));
            EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("doubled")), 0) << table.toStdString();
        }
        dm.IBQuery1.openStatement(Statement(u"select count(*) as loose from fingerprint f "
                                            u"where not exists (select 1 from table1 t where t.id = f.file_id)"));
        EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("loose")), 0);
        dm.IBQuery1.openStatement(Statement(u"select count(*) - count(distinct file_id) as doubled from fingerprint"));
        EXPECT_EQ(dm.IBQuery1.fieldAsInteger(QStringLiteral("doubled")), 0);
        dm.finish();
    }
    const QStringList remaining = listed();
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out.split(u'\n', Qt::SkipEmptyParts).last(),
              QStringLiteral("На учете находится: %1  файлов.").arg(200 * remaining.size()))
        << "every row belongs to one listed directory: " << remaining.join(u' ').toStdString();
    for (const QString& d : remaining) {
        const Result r = cli(work(), {QStringLiteral("check"), d});
        EXPECT_EQ(r.status, 0) << d.toStdString() << '\n' << r.out.toStdString() << r.err.toStdString();
    }
    EXPECT_EQ(validationErrors(databaseFile()), QString());
}

// Programs that cannot share the file with one that has it open are refused,
// and the database stays whole.
TEST_F(CliSharedDatabaseTest, ProgramsThatCannotShareTheFileAreRefusedAndTheDatabaseStaysWhole)
{
    ASSERT_EQ(cli(work(), {QStringLiteral("add"), dir(0)}).status, 0);
    auto open = std::make_unique<TDM1>();
    ConnectDM1(*open, databaseFile());
    open->IBQuery1.openStatement(Statement(u"select count(*) from table1"));

    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    QProcessEnvironment defaultMode = system;
    defaultMode.remove(QStringLiteral("FIREBIRD"));
    QProcess isql;
    isql.setProcessEnvironment(defaultMode);
    isql.setProcessChannelMode(QProcess::MergedChannels);
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), databaseFile()});
    isql.write("delete from table1;\ncommit;\n");
    isql.closeWriteChannel();
    isql.waitForFinished(30000);
    EXPECT_TRUE(isql.readAll().contains("Database already opened with engine instance, incompatible with current"));

    QProcessEnvironment otherLocks = system;
    TempTree otherLockDirectory;
    otherLocks.insert(QStringLiteral("FIREBIRD_LOCK"), otherLockDirectory.path());
    for (const QStringList& command : {QStringList{QStringLiteral("list")}, QStringList{QStringLiteral("remove"), dir(0)}}) {
        const Result r = cli(work(), command, otherLocks);
        EXPECT_EQ(r.status, 16) << command.join(u' ').toStdString();
        EXPECT_EQ(r.err, QStringLiteral("База данных открыта программой другого пользователя или с другим каталогом "
                                        "блокировок (FIREBIRD_LOCK): ")
                             + databaseFile() + u'\n');
    }

    open->finish();
    open.reset();
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out,
              dir(0) + QStringLiteral("\tТипы файлов: *\nНа учете находится: 200  файлов.\n"));
    EXPECT_EQ(cli(work(), {QStringLiteral("check"), dir(0)}).status, 0);
    EXPECT_EQ(validationErrors(databaseFile()), QString());
}

} // namespace
