#include "cli/cli_run.h"
#include "storage/shared_engine.h"
#include "support/temp_tree.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/stat.h>

namespace {

// A watch running in the background, its output read as it comes.
class RunningWatch {
public:
    // Runs kvaren-cli watch args in dir; with a wrapper, as the last
    // argument of the wrapper's command line.
    RunningWatch(const QString& dir, const QStringList& args, const QStringList& wrapper = {})
    {
        m_process.setWorkingDirectory(dir);
        const QStringList command = QStringList{cliPath(), QStringLiteral("watch")} + args;
        if (wrapper.isEmpty())
            m_process.start(command.first(), command.mid(1));
        else
            m_process.start(wrapper.first(), wrapper.mid(1) + command);
        m_process.waitForStarted();
    }
    ~RunningWatch()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Waits up to seconds for what is true of the output so far.
    bool waitFor(const std::function<bool()>& done, int seconds)
    {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > seconds * 1000 || m_process.state() == QProcess::NotRunning)
                return done();
            m_process.waitForReadyRead(100);
            read();
        }
        return true;
    }
    // The watch has checked its directories and watches them.
    bool ready() { return waitFor([&] { return m_err.contains(QStringLiteral("Отслеживается: ")); }, 120); }
    // Lets the output of the next seconds come in.
    void idle(int seconds) { waitFor([] { return false; }, seconds); }

    QStringList lines() const { return m_out.split(u'\n', Qt::SkipEmptyParts); }
    const QString& err() const { return m_err; }
    pid_t pid() const { return pid_t(m_process.processId()); }

    // Ends the watch by signal; its exit status, -1 when it did not end within
    // seconds or the signal killed it.
    int stop(int signal, int seconds)
    {
        kill(pid(), signal);
        if (!m_process.waitForFinished(seconds * 1000))
            return -1;
        read();
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

private:
    void read()
    {
        m_out += QString::fromUtf8(m_process.readAllStandardOutput());
        m_err += QString::fromUtf8(m_process.readAllStandardError());
    }

    QProcess m_process;
    QString m_out;
    QString m_err;
};

class CliWatchTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0); }
    QString work() const { return home.path(); }
    QString d(const QString& relative = QString()) const
    {
        return relative.isEmpty() ? tree.path(QStringLiteral("d")) : tree.path(QStringLiteral("d/") + relative);
    }
    void add() { ASSERT_EQ(cli(work(), {QStringLiteral("add"), d()}).status, 0); }

    TempTree home;
    TempTree tree;
};

void write(const QString& path, const QByteArray& contents, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    ASSERT_TRUE(file.open(mode));
    file.write(contents);
}

TEST_F(CliWatchTest, EachChangeIsReportedOnceAsTheCheckReportsIt)
{
    for (const char* name : {"a.txt", "b.txt", "c.txt", "burst.txt", "before.txt", "old/m.txt", "sw/f.txt", "sf/g.txt"})
        tree.file(QStringLiteral("d/") + QLatin1StringView(name), QByteArray("contents of ") + name);
    tree.dir(QStringLiteral("d/new"));
    tree.file(QStringLiteral("elsewhere/secret.txt"), "not the tree's");
    add();
    QFile::remove(d(QStringLiteral("before.txt"))); // while nothing watched

    RunningWatch watch(work(), {QStringLiteral("--settle"), QStringLiteral("1"), d()});
    ASSERT_TRUE(watch.ready()) << watch.err().toStdString();
    EXPECT_EQ(watch.lines(), QStringList{QStringLiteral("Удаленные файлы: ") + d(QStringLiteral("before.txt"))})
        << "the check at the start";

    const struct {
        const char* what;
        std::function<void()> change;
        QStringList expected;
    } cases[] = {
        {"a new file", [&] { write(d(QStringLiteral("n.txt")), "new"); },
         {QStringLiteral("Новые файлы: ") + d(QStringLiteral("n.txt"))}},
        {"a changed file", [&] { write(d(QStringLiteral("a.txt")), "more", QIODevice::Append); },
         {QStringLiteral("Измененные файлы: ") + d(QStringLiteral("a.txt")) + QStringLiteral(" изменен размер файла,"),
          QStringLiteral("Измененные файлы: ") + d(QStringLiteral("a.txt")) + QStringLiteral(" изменено содержание файла,")}},
        {"a deleted file", [&] { QFile::remove(d(QStringLiteral("b.txt"))); },
         {QStringLiteral("Удаленные файлы: ") + d(QStringLiteral("b.txt"))}},
        {"a moved file", [&] { QFile::rename(d(QStringLiteral("old/m.txt")), d(QStringLiteral("new/m.txt"))); },
         {QStringLiteral("Перемещенные файлы: ") + d(QStringLiteral("old/m.txt")) + QStringLiteral(" перемещен в ")
          + d(QStringLiteral("new/m.txt"))}},
        {"a new directory, filled at once", [&] { tree.file(QStringLiteral("d/nd/deep/x.txt"), "x"); },
         {QStringLiteral("Новые файлы: ") + d(QStringLiteral("nd/")),
          QStringLiteral("Новые файлы: ") + d(QStringLiteral("nd/deep/")),
          QStringLiteral("Новые файлы: ") + d(QStringLiteral("nd/deep/x.txt"))}},
        {"a directory swapped for a link", [&] {
             QFile::rename(d(QStringLiteral("sw")), tree.path(QStringLiteral("sw-away")));
             QFile::link(tree.path(QStringLiteral("elsewhere")), d(QStringLiteral("sw")));
         },
         {QStringLiteral("Удаленные файлы: ") + d(QStringLiteral("sw/")),
          QStringLiteral("Удаленные файлы: ") + d(QStringLiteral("sw/f.txt")),
          QStringLiteral("Новые файлы: ") + d(QStringLiteral("sw"))}},
        {"a directory swapped for a FIFO", [&] {
             QFile::rename(d(QStringLiteral("sf")), tree.path(QStringLiteral("sf-away")));
             ASSERT_EQ(mkfifo(QFile::encodeName(d(QStringLiteral("sf"))).constData(), 0644), 0);
         },
         {QStringLiteral("Удаленные файлы: ") + d(QStringLiteral("sf/")),
          QStringLiteral("Удаленные файлы: ") + d(QStringLiteral("sf/g.txt")),
          QStringLiteral("Новые файлы: ") + d(QStringLiteral("sf"))}},
        {"a change undone", [&] {
             write(d(QStringLiteral("c.txt")), "something else entirely");
             write(d(QStringLiteral("c.txt")), "contents of c.txt");
         }, {}},
        {"a burst of writes", [&] {
             for (int i = 0; i < 200; ++i)
                 write(d(QStringLiteral("burst.txt")), QByteArray::number(i) + " of the burst");
         },
         {QStringLiteral("Измененные файлы: ") + d(QStringLiteral("burst.txt")) + QStringLiteral(" изменен размер файла,"),
          QStringLiteral("Измененные файлы: ") + d(QStringLiteral("burst.txt")) + QStringLiteral(" изменено содержание файла,")}},
    };
    QStringList expected = watch.lines();
    for (const auto& each : cases) {
        each.change();
        expected += each.expected;
    }
    QElapsedTimer sinceChanges;
    sinceChanges.start();
    expected.sort();
    const auto sortedLines = [&] {
        QStringList lines = watch.lines();
        lines.sort();
        return lines;
    };
    // Settled after a second; the rest is margin for a loaded machine.
    EXPECT_TRUE(watch.waitFor([&] { return watch.lines().size() >= expected.size(); }, 1 + 30))
        << watch.lines().join(u'\n').toStdString();
    EXPECT_LT(sinceChanges.elapsed(), (1 + 30) * 1000);
    watch.idle(4); // nothing more, nothing twice
    EXPECT_EQ(sortedLines(), expected) << watch.err().toStdString();

    QElapsedTimer stopping;
    stopping.start();
    EXPECT_EQ(watch.stop(SIGTERM, 10), 143);
    EXPECT_LT(stopping.elapsed(), 10000);
    EXPECT_TRUE(watch.err().endsWith(QStringLiteral("Наблюдение остановлено сигналом SIGTERM\n")))
        << watch.err().toStdString();
    EXPECT_EQ(cli(work(), {QStringLiteral("check"), d()}).status, 1 | 2 | 4 | 8) << "the baseline is as it was";
}

// A finding that no longer holds is withdrawn on a line of its own. The seal
// (here, the digests of a database kept without a key) is verified as the
// watch starts and again after the changes it judges, which see what another
// program committed: rows forged behind the program are told in the check's
// words, once.
TEST_F(CliWatchTest, FindingsThatNoLongerHoldAreWithdrawnAndTheSealIsVerifiedAgain)
{
    const QString engine = SharedEngineRoot();
    if (engine.isEmpty())
        GTEST_SKIP() << "no installed engine to share the database with";
    tree.file(QStringLiteral("d/a.txt"), "contents of a");
    add();
    RunningWatch watch(work(), {QStringLiteral("--settle"), QStringLiteral("1"), d()});
    ASSERT_TRUE(watch.ready()) << watch.err().toStdString();
    EXPECT_EQ(watch.lines(), QStringList()) << "the digests hold";

    const struct {
        const char* what;
        std::function<void()> change;
        std::function<void()> undo;
        QString found;
        QString name;
    } cases[] = {
        {"a new file removed again", [&] { write(d(QStringLiteral("n.txt")), "new"); },
         [&] { QFile::remove(d(QStringLiteral("n.txt"))); }, QStringLiteral("Новые файлы: ") + d(QStringLiteral("n.txt")),
         d(QStringLiteral("n.txt"))},
        {"a changed file put back", [&] { write(d(QStringLiteral("a.txt")), "more", QIODevice::Append); },
         [&] { write(d(QStringLiteral("a.txt")), "contents of a"); },
         QStringLiteral("Измененные файлы: ") + d(QStringLiteral("a.txt")) + QStringLiteral(" изменен размер файла,"),
         d(QStringLiteral("a.txt"))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.change();
        ASSERT_TRUE(watch.waitFor([&] { return watch.lines().contains(c.found); }, 30)) << watch.lines().join(u'\n').toStdString();
        c.undo();
        const QString withdrawn = QStringLiteral("Больше не отличается от учтенного: ") + c.name;
        EXPECT_TRUE(watch.waitFor([&] { return watch.lines().contains(withdrawn); }, 30))
            << watch.lines().join(u'\n').toStdString();
        EXPECT_EQ(watch.lines().count(withdrawn), 1);
    }

    // Forged by SQL on the file while the watch runs, through an engine run
    // as this program runs it, which shares the file.
    QProcess isql;
    QProcessEnvironment shared = QProcessEnvironment::systemEnvironment();
    shared.insert(QStringLiteral("FIREBIRD"), engine);
    isql.setProcessEnvironment(shared);
    isql.start(QStringLiteral("isql-fb"), {QStringLiteral("-q"), QStringLiteral("-u"), QStringLiteral("sysdba"),
                                           home.path(QStringLiteral("file.gdb"))});
    isql.write("update table1 set file_size=99 where file_name='a.txt';\ncommit;\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(30000));
    ASSERT_EQ(isql.readAllStandardError(), QByteArray());
    const QString forged = QStringLiteral("Записи директории изменены помимо программы: ") + d();
    for (const char* name : {"x.txt", "y.txt"}) {
        const QString found = QStringLiteral("Новые файлы: ") + d(QString::fromLatin1(name));
        write(d(QString::fromLatin1(name)), name);
        EXPECT_TRUE(watch.waitFor([&] { return watch.lines().contains(found) && watch.lines().contains(forged); }, 30))
            << watch.lines().join(u'\n').toStdString();
    }
    watch.idle(3);
    EXPECT_EQ(watch.lines().count(forged), 1) << watch.lines().join(u'\n').toStdString();
    const Result check = cli(work(), {QStringLiteral("check"), d()});
    EXPECT_EQ(check.status & 64, 64);
    EXPECT_TRUE(check.out.startsWith(forged + u'\n')) << check.out.toStdString();

    EXPECT_EQ(watch.stop(SIGTERM, 10), 143);
    EXPECT_TRUE(watch.err().endsWith(QStringLiteral("Наблюдение остановлено сигналом SIGTERM\n"))) << watch.err().toStdString();
}

TEST_F(CliWatchTest, NotificationsTheKernelDroppedLeadToACheckOfAll)
{
    QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_queued_events"));
    ASSERT_TRUE(limit.open(QIODevice::ReadOnly));
    const int queued = limit.readAll().trimmed().toInt();
    if (queued > 1000000)
        GTEST_SKIP() << "the kernel's queue holds " << queued << " events";
    for (const char* name : {"c.txt", "x.txt", "y.txt"})
        tree.file(QStringLiteral("d/") + QLatin1StringView(name), name);
    add();
    RunningWatch watch(work(), {QStringLiteral("--json"), QStringLiteral("--settle"), QStringLiteral("1"), d()});
    ASSERT_TRUE(watch.ready()) << watch.err().toStdString();

    // While the watch reads nothing, more events than the queue holds: one
    // real change, then attributes changed back and forth. Two files take
    // turns, as the kernel merges an event with the same one before it.
    kill(watch.pid(), SIGSTOP);
    write(d(QStringLiteral("c.txt")), "changed");
    const QByteArray x = QFile::encodeName(d(QStringLiteral("x.txt"))), y = QFile::encodeName(d(QStringLiteral("y.txt")));
    for (int i = 0; i <= queued; ++i) {
        const mode_t mode = i % 2 ? 0644 : 0600;
        chmod(x.constData(), i == queued ? 0644 : mode);
        chmod(y.constData(), i == queued ? 0644 : mode);
    }
    kill(watch.pid(), SIGCONT);

    const auto linesOf = [&](const QString& piece) {
        return watch.lines().filter(piece).size();
    };
    EXPECT_TRUE(watch.waitFor([&] { return linesOf(QStringLiteral("c.txt")) > 0; }, 60)) << watch.err().toStdString();
    watch.idle(4);
    EXPECT_TRUE(watch.err().contains(QStringLiteral("Изменения могли пройти незамеченными: очередь уведомлений ядра "
                                                    "переполнилась (fs.inotify.max_queued_events), часть изменений могла "
                                                    "пройти незамеченной; директория проверяется полностью: ")
                                     + d()))
        << watch.err().toStdString();
    const QStringList lines = watch.lines();
    ASSERT_EQ(lines.size(), 2) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(lines[0].startsWith(QStringLiteral(R"({"directory":")") + d() + QStringLiteral(R"(","lost":"очередь)")))
        << lines[0].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral(R"("contents":true)"))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].contains(QStringLiteral(R"("file":")") + d(QStringLiteral("c.txt")))) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral(R"({"changed":)"))) << lines[1].toStdString();
    EXPECT_EQ(watch.stop(SIGTERM, 10), 143);
}

TEST_F(CliWatchTest, ADirectoryBeyondTheWatchLimitIsSaidSoAndLeadsToACheckOfAll)
{
    tree.file(QStringLiteral("d/sub/a.txt"), "a");
    add();
    // A user namespace of its own has a watch limit of its own: two, the
    // directories there are. The engine's lock files there are its own too,
    // as the namespace may not enter the others' directory.
    TempTree locks;
    const QStringList limited{QStringLiteral("unshare"), QStringLiteral("--user"), QStringLiteral("--map-root-user"),
                              QStringLiteral("env"), QStringLiteral("FIREBIRD_LOCK=") + locks.path(),
                              QStringLiteral("sh"), QStringLiteral("-c"),
                              QStringLiteral("echo 2 > /proc/sys/user/max_inotify_watches && exec \"$@\""),
                              QStringLiteral("sh")};
    if (QProcess::execute(limited.first(), limited.mid(1) + QStringList{QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "no user namespace of its own here";
    RunningWatch watch(work(), {QStringLiteral("--settle"), QStringLiteral("1"), d()}, limited);
    ASSERT_TRUE(watch.ready()) << watch.err().toStdString();
    EXPECT_EQ(watch.lines(), QStringList());

    tree.file(QStringLiteral("d/new/x.txt"), "x");
    const QStringList expected{QStringLiteral("Новые файлы: ") + d(QStringLiteral("new/")),
                               QStringLiteral("Новые файлы: ") + d(QStringLiteral("new/x.txt"))};
    EXPECT_TRUE(watch.waitFor([&] { return watch.lines().size() >= 2; }, 30)) << watch.err().toStdString();
    watch.idle(3);
    EXPECT_EQ(watch.lines(), expected) << "once, by the check of all";
    EXPECT_TRUE(watch.err().contains(QStringLiteral("Изменения могли пройти незамеченными: директория ")
                                     + d(QStringLiteral("new"))
                                     + QStringLiteral(" не отслеживается: достигнут предел числа отслеживаемых директорий "
                                                      "(fs.inotify.max_user_watches = ")))
        << watch.err().toStdString();
    EXPECT_TRUE(watch.err().contains(QStringLiteral("/proc/sys/fs/inotify/max_user_watches); поднять его: sudo sysctl "
                                                    "fs.inotify.max_user_watches=")))
        << watch.err().toStdString();
    EXPECT_TRUE(watch.err().contains(QStringLiteral("; директория проверяется полностью: ") + d() + u'\n'));
    EXPECT_EQ(watch.stop(SIGTERM, 10), 143);
}

TEST_F(CliWatchTest, WhatCannotBeWatchedIsRefusedAtOnce)
{
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{QStringLiteral("watch")}, QStringLiteral("Нет директорий на учете\n")},
        {{QStringLiteral("watch"), QStringLiteral("--settle"), QStringLiteral("0")},
         QStringLiteral("Значение --settle должно быть числом секунд больше нуля: 0\n")},
        {{QStringLiteral("check"), QStringLiteral("--settle"), QStringLiteral("1"), QStringLiteral("/d")},
         QStringLiteral("Неизвестный параметр: --settle: kvaren-cli check [--json] [--explain | --unexplained] DIR | [--json] "
                        "[--explain | --unexplained] --all\n")},
    };
    for (const auto& each : cases) {
        const Result r = cli(work(), each.args);
        EXPECT_EQ(r.status, 16) << each.args.join(u' ').toStdString();
        EXPECT_EQ(r.err, each.message) << each.args.join(u' ').toStdString();
    }
    tree.dir(QStringLiteral("d"));
    const Result r = cli(work(), {QStringLiteral("watch"), d()});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.err, cli(work(), {QStringLiteral("check"), d()}).err) << "as a check names it";
}

} // namespace
