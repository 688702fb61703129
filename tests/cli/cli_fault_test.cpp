#include "cli/cli_run.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <functional>
#include <fcntl.h>
#include <iostream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

constexpr uid_t kNobody = 65534;

// One case's world: a database with the directory d under control, worked on
// by kvaren-cli as a normal user (nobody, when the test runs as root, so that
// permissions count), and, where asked, on a file system of 4 MiB.
class FaultWorld {
public:
    explicit FaultWorld(bool smallDisk)
    {
        QFile::setPermissions(top.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadOther
                                              | QFile::ExeOther);
        QDir().mkpath(home());
        QDir().mkpath(top.path(QStringLiteral("lock")));
        if (smallDisk) {
            mounted = geteuid() == 0
                && mount("tmpfs", QFile::encodeName(home()).constData(), "tmpfs", 0, "size=4m") == 0;
        }
        // The program, where a normal user may run it.
        QFile::copy(cliPath(), program());
        for (int i = 0; i < 20; ++i)
            file(QStringLiteral("d/sub%1/f%2.txt").arg(i % 3).arg(i), QByteArray::number(i));
        file(QStringLiteral("d/a.txt"), "a");
        handOver();
        run({QStringLiteral("init")});
        run({QStringLiteral("add"), dir()});
    }
    ~FaultWorld()
    {
        if (mounted)
            umount2(QFile::encodeName(home()).constData(), MNT_DETACH);
        // Whatever a case took away, so that the tree can be removed.
        QDirIterator it(top.path(), QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            chmod(QFile::encodeName(it.next()).constData(), 0700);
        // Qt cannot name what is not UTF-8.
        QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), top.path()});
    }

    QString home() const { return top.path(QStringLiteral("home")); }
    QString program() const { return top.path(QStringLiteral("kvaren-cli")); }
    QString dir() const { return top.path(QStringLiteral("d")); }
    QString path(const QString& relative) const { return top.path(relative); }
    QString file(const QString& relative, const QByteArray& content = "x") { return top.file(relative, content); }

    // Gives everything made so far to the user the program runs as.
    void handOver()
    {
        if (geteuid() != 0)
            return;
        QDirIterator it(top.path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        const auto give = [](const QString& path) {
            // Past the longest path there is nothing to give: the walk stops short of it.
            const int given = lchown(QFile::encodeName(path).constData(), kNobody, kNobody);
            ASSERT_TRUE(given == 0 || errno == ENAMETOOLONG) << path.toStdString();
        };
        give(top.path());
        while (it.hasNext())
            give(it.next());
    }

    Result run(const QStringList& args)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("FIREBIRD_LOCK"), top.path(QStringLiteral("lock")));
        environment.remove(QStringLiteral("FIREBIRD")); // this process's engine root, which is root's own
        return cliAsOrdinaryUser(home(), args, environment, program());
    }

    // What the database holds of what is under control.
    struct Rows {
        QList<FileRow> files;
        qint32 registrations = 0;
        qint32 fingerprints = 0;
        friend bool operator==(const Rows&, const Rows&) = default;
        friend void PrintTo(const Rows& rows, std::ostream* os)
        {
            *os << rows.files.size() << " file rows, " << rows.registrations << " registrations, "
                << rows.fingerprints << " fingerprints";
        }
    };
    Rows rows()
    {
        TDM1 dm;
        ConnectDM1(dm, home() + QStringLiteral("/file.gdb"));
        Rows all{ReadFileRows(dm, QStringLiteral("table1")), CountRows(dm, QStringLiteral("tab")),
                 CountRows(dm, QStringLiteral("fingerprint"))};
        dm.finish();
        return all;
    }

    bool mounted = false;

private:
    TempTree top;
};

// Faults met while a command runs: each command ends with its status and
// message, and one that fails leaves the rows exactly as they were.
TEST(CliFaultTest, FaultsEndWithTheirStatusAndMessageAndAFailedCommandChangesNothing)
{
    struct Case {
        const char* what;
        bool smallDisk;
        std::function<bool(FaultWorld&)> fault; // false: not possible here
        QStringList command;                    // after the directory d
        int status;
        QString err; // a line stderr must hold; {} when it must be empty
        bool changesRows = false; // it did its work, but for what it named
    };
    const auto unreadable = [](FaultWorld& w) {
        w.file(QStringLiteral("d/a.txt"), "tampered");
        const QString locked = w.file(QStringLiteral("d/sub0/locked.txt"));
        return geteuid() == 0 ? chmod(QFile::encodeName(locked).constData(), 0) == 0 : MakeUnreadableFile(locked);
    };
    const Case cases[] = {
        // A file that cannot be read costs only itself.
        {"update with an unreadable file", false, unreadable, {QStringLiteral("update")}, 32,
         QStringLiteral("Не проверено: %1/sub0/locked.txt: нет доступа"), true},
        {"add with an unreadable file", false, unreadable, {QStringLiteral("add")}, 32,
         QStringLiteral("Не проверено: %1/sub0/locked.txt: нет доступа"), true},
        {"check with an unreadable file beside a changed one", false, unreadable, {QStringLiteral("check")}, 32 | 4,
         QStringLiteral("Не проверено: %1/sub0/locked.txt: нет доступа")},
        {"update on a full disk", true,
         [](FaultWorld& w) {
             if (!w.mounted)
                 return false;
             for (int i = 0; i < 8000; ++i)
                 w.file(QStringLiteral("d/many/%1.txt").arg(i, 200, 10, QLatin1Char('0')));
             return true;
         },
         {QStringLiteral("update")}, 16, QStringLiteral("No space left on device")},
        {"check with a FIFO in a file's place", false,
         [](FaultWorld& w) {
             QFile::remove(w.path(QStringLiteral("d/a.txt")));
             return mkfifo(QFile::encodeName(w.path(QStringLiteral("d/a.txt"))).constData(), 0644) == 0;
         },
         {QStringLiteral("check")}, 4, {}},
        {"check with a path too long", false,
         [](FaultWorld& w) { return MakeTooLongPath(w.dir()) > 16; },
         {QStringLiteral("check")}, 32 | 1, QStringLiteral(": слишком длинный путь")},
        {"check with a directory that may not be listed", false,
         [](FaultWorld& w) { return chmod(QFile::encodeName(w.path(QStringLiteral("d/sub1"))).constData(), 0) == 0; },
         {QStringLiteral("check")}, 32 | 2, QStringLiteral("Не проверено: %1/sub1: нет доступа")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultWorld world(c.smallDisk);
        if (!c.fault(world)) {
            std::cout << "[ SKIPPED  ] " << c.what << ": not possible here\n";
            continue;
        }
        world.handOver();
        const FaultWorld::Rows before = world.rows();
        QStringList args = c.command;
        args.insert(1, world.dir());
        const Result r = world.run(args);
        EXPECT_EQ(r.status, c.status) << r.err.toStdString();
        if (c.err.isEmpty())
            EXPECT_EQ(r.err, QString());
        else
            EXPECT_TRUE(r.err.contains(QString(c.err).replace(QStringLiteral("%1"), world.dir()))) << r.err.toStdString();
        if (c.changesRows)
            EXPECT_NE(world.rows(), before) << "nothing was recorded";
        else
            EXPECT_EQ(world.rows(), before) << "the rows changed";
    }
}

// Names are bytes: one that is not UTF-8, in a directory that is not either,
// is recorded byte for byte and checks clean; a name can say anything, even a
// report's line, and shown escaped it stays on its own line.
TEST(CliFaultTest, NamesAreRecordedByteForByteAndShownEscaped)
{
    FaultWorld world(false);
    const QByteArray dir = QFile::encodeName(world.dir());
    ASSERT_EQ(mkdir(QByteArray(dir + "/sub\xfe").constData(), 0755), 0);
    for (const QByteArray& name : {dir + "/evil\xff.sh", dir + "/sub\xfe/in.txt"}) {
        const int fd = open(name.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(write(fd, "x", 1), 1);
        close(fd);
    }
    world.handOver();
    ASSERT_EQ(world.run({QStringLiteral("update"), world.dir()}).status, 0);
    EXPECT_EQ(world.run({QStringLiteral("check"), world.dir()}).status, 0);

    const int fd = open(QByteArray(dir + "/evil\xff.sh").constData(), O_WRONLY | O_APPEND);
    ASSERT_EQ(write(fd, "y", 1), 1);
    close(fd);
    const QString forged = QStringLiteral("etc_passwd изменено содержание файла,");
    world.file(QStringLiteral("d/x\n") + forged + QStringLiteral("\t\x1b[2K"));
    world.handOver();
    const Result r = world.run({QStringLiteral("check"), world.dir()});
    EXPECT_EQ(r.status, 1 | 4);
    const QStringList lines = r.out.split(u'\n');
    EXPECT_TRUE(lines.contains(world.dir() + QStringLiteral("/x\\n") + forged + QStringLiteral("\\t\\x1b[2K")))
        << r.out.toStdString();
    EXPECT_TRUE(lines.contains(world.dir() + QStringLiteral("/evil\\xff.sh изменено содержание файла,")))
        << r.out.toStdString();
    const QString json = world.run({QStringLiteral("check"), QStringLiteral("--json"), world.dir()}).out;
    EXPECT_TRUE(json.contains(QStringLiteral("/x\\n") + forged + QStringLiteral("\\t\\u001b[2K"))) << json.toStdString();
    EXPECT_TRUE(json.contains(QStringLiteral("/evil\\\\xff.sh"))) << json.toStdString();
}

// Files that come and go while a check walks (a spool, a cache) are there or
// not; they never make the check fail.
TEST(CliFaultTest, FilesComingAndGoingDuringACheckAreNoError)
{
    FaultWorld world(false);
    std::atomic<bool> done{false};
    // A spool: each new file makes the one made 150 files before it go, so
    // that most of the files a walk lists are gone by the time it reads them.
    std::thread writer([&] {
        const auto spooled = [&](int i) { return world.path(QStringLiteral("d/sub2/tmp%1.txt").arg(i % 300)); };
        for (int i = 0; !done; ++i) {
            QFile file(spooled(i));
            if (file.open(QIODevice::WriteOnly))
                file.write("spool");
            file.close();
            QFile::remove(spooled(i + 150));
        }
    });
    QList<int> statuses;
    for (int i = 0; i < 5; ++i)
        statuses.append(world.run({QStringLiteral("check"), world.dir()}).status);
    done = true;
    writer.join();
    for (int status : statuses)
        EXPECT_TRUE(status >= 0 && status < 16) << status;
}

} // namespace
