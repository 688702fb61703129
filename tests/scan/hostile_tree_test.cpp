#include "check/check_run.h"
#include "registration/put_under_control.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

// Trees that others can write, and what they may do in them while root walks
// them: swap a directory or a file for a link the moment the walk has listed
// it, plant links to anything, leave files that cannot be read, make and
// remove files all the time.

namespace {

constexpr uid_t kNobody = 65534;

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

// Every open of a file in the watched directories, as the kernel tells it.
class OpensWatched {
public:
    explicit OpensWatched(const QStringList& dirs) : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        for (const QString& dir : dirs)
            EXPECT_GE(inotify_add_watch(m_fd, native(dir).constData(), IN_OPEN | IN_ACCESS), 0) << dir.toStdString();
    }
    ~OpensWatched() { close(m_fd); }
    int count() const
    {
        alignas(inotify_event) char buffer[4096];
        int events = 0;
        for (ssize_t got; (got = read(m_fd, buffer, sizeof buffer)) > 0;)
            for (ssize_t at = 0; at < got; ++events)
                at += ssize_t(sizeof(inotify_event) + reinterpret_cast<const inotify_event*>(buffer + at)->len);
        return events;
    }

private:
    int m_fd;
};

class HostileTreeTest : public DatabaseFixture {
protected:
    void link(const QString& target, const QString& at) { ASSERT_EQ(symlink(native(target).constData(), native(at).constData()), 0); }
    void giveAway(const QString& path) { ASSERT_EQ(lchown(native(path).constData(), kNobody, kNobody), 0); }
};

// An ordinary user owns ud, inside root's tree, and races root's check with
// name_swapper: the moment a directory has been listed, a directory of the
// tree is swapped for a link to an untouched copy of it outside (the trojan
// stays in the real one), or a file for a link to a file only root may read,
// and swapped back at once. No check may find the tree clean, and nothing
// outside the tree may ever be opened.
TEST_F(HostileTreeTest, AUserRacingRootsCheckNeitherHidesATrojanNorLeadsItOutside)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root, to be raced by another user";
    ASSERT_EQ(chmod(native(tree.path()).constData(), 0755), 0);
    file(QStringLiteral("ud/sub/tool"), "good!");
    file(QStringLiteral("ud/tool2"), "good!");
    tree.file(QStringLiteral("copy/sub/tool"), "good!");
    tree.file(QStringLiteral("secret/s"), "root's alone");
    ASSERT_EQ(chmod(native(tree.path(QStringLiteral("secret"))).constData(), 0700), 0);
    tree.dir(QStringLiteral("links"));
    link(tree.path(QStringLiteral("copy/sub")), tree.path(QStringLiteral("links/to-copy")));
    link(tree.path(QStringLiteral("secret/s")), tree.path(QStringLiteral("links/to-secret")));
    for (const char* mine : {"d/ud", "d/ud/sub", "d/ud/sub/tool", "d/ud/tool2", "copy", "copy/sub", "copy/sub/tool",
                             "links", "links/to-copy", "links/to-secret"})
        giveAway(tree.path(QString::fromLatin1(mine)));
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    file(QStringLiteral("ud/sub/tool"), "evil!");
    giveAway(tree.path(QStringLiteral("d/ud/sub/tool")));

    const OpensWatched outside({tree.path(QStringLiteral("copy/sub")), tree.path(QStringLiteral("secret"))});
    struct Race {
        const char* what;
        QString trigger, swapped, link;
        bool trojan; // the trojan is in the swapped directory
    };
    const Race races[] = {
        {"a directory for a link to its copy", dir() + QStringLiteral("/ud/sub"), dir() + QStringLiteral("/ud/sub"),
         tree.path(QStringLiteral("links/to-copy")), true},
        {"a file for a link to root's file", dir() + QStringLiteral("/ud"), dir() + QStringLiteral("/ud/tool2"),
         tree.path(QStringLiteral("links/to-secret")), false},
    };
    for (const Race& race : races) {
        SCOPED_TRACE(race.what);
        QProcess swapper;
        swapper.start(QStringLiteral(NAME_SWAPPER), {QString::number(kNobody), QString::number(kNobody), race.trigger,
                                                      race.swapped, race.link, tree.path(QStringLiteral("copy/sub"))});
        ASSERT_TRUE(swapper.waitForReadyRead(10000)) << swapper.readAllStandardError().toStdString();
        ASSERT_EQ(swapper.readLine().trimmed(), "ready");
        int clean = 0;
        for (int run = 0; run < 150; ++run) {
            const Checked report = check();
            clean += race.trojan ? report.foundBits() == 0 : 0;
        }
        swapper.terminate();
        ASSERT_TRUE(swapper.waitForFinished(10000));
        const int swaps = swapper.readAllStandardOutput().trimmed().toInt();
        std::cout << "[   INFO   ] " << race.what << ": " << swaps << " swaps, clean " << clean << " of 150\n";
        EXPECT_GT(swaps, 30) << "the race hardly ran: it proves nothing";
        EXPECT_EQ(clean, 0);
    }
    EXPECT_EQ(outside.count(), 0) << "a file outside the tree was opened";
}

// A link is a row of its own, by its own text: never opened or read through,
// its size the length of its text, whatever it leads to. Changing what it
// leads to changes nothing; changing its text does.
TEST_F(HostileTreeTest, LinksAreRecordedByTheirTextAndNeverFollowed)
{
    tree.file(QStringLiteral("outside/s"), "someone else's");
    tree.file(QStringLiteral("outside/dir/inner.txt"), "x");
    file(QStringLiteral("inside.txt"), "mine");
    struct Case {
        const char* name;
        QString target;
    };
    const Case cases[] = {
        {"to-file", tree.path(QStringLiteral("outside/s"))},
        {"to-kmsg", QStringLiteral("/proc/kmsg")},
        {"to-dir", tree.path(QStringLiteral("outside/dir"))},
        {"dangling", QStringLiteral("/nonexistent/x")},
        {"loop", QStringLiteral("loop")},
        {"to-inside", QStringLiteral("inside.txt")},
    };
    for (const Case& c : cases)
        link(c.target, dir() + u'/' + QString::fromLatin1(c.name));
    const OpensWatched outside({tree.path(QStringLiteral("outside")), tree.path(QStringLiteral("outside/dir"))});
    EXPECT_TRUE(PutUnderControl(dm, dir(), QStringLiteral("*")).notExamined.isEmpty());
    for (const FileRow& row : ReadFileRows(dm, QStringLiteral("table1"))) {
        const auto c = std::find_if(std::begin(cases), std::end(cases), [&](const Case& c) { return row.name == QLatin1StringView(c.name); });
        if (c == std::end(cases))
            continue;
        SCOPED_TRACE(c->name);
        EXPECT_EQ(std::tuple(row.size, row.crc1, row.crc2), std::tuple(qint32(native(c->target).size()), 0, 0));
    }

    tree.file(QStringLiteral("outside/s"), "changed by its owner");
    tree.file(QStringLiteral("outside/dir/new.txt"), "y");
    file(QStringLiteral("inside.txt"), "changed");
    const int ownOpens = outside.count(); // the changes just made
    Checked report = check();
    EXPECT_EQ(report.changed, (QStringList{QStringLiteral("inside.txt изменен размер файла,"),
                                           QStringLiteral("inside.txt изменено содержание файла,")}));
    EXPECT_TRUE(report.added.isEmpty() && report.deleted.isEmpty()) << report.added.join(u' ').toStdString();

    QFile::remove(dir() + QStringLiteral("/to-file"));
    link(tree.path(QStringLiteral("outside/t")), dir() + QStringLiteral("/to-file"));
    report = check();
    EXPECT_TRUE(report.changed.contains(QStringLiteral("to-file изменены атрибуты файла,"))) << report.changed.join(u'\n').toStdString();
    EXPECT_EQ(outside.count(), 0) << "a link was followed";
    EXPECT_GT(ownOpens, 0) << "the watch of what lies outside sees nothing";
}

// The directory put under control, swapped for a link to an identical copy:
// its own change (its type), and nothing below the link is walked.
TEST_F(HostileTreeTest, TheDirectoryUnderControlSwappedForALinkIsItsOwnChange)
{
    file(QStringLiteral("a.txt"), "a");
    file(QStringLiteral("sub/b.txt"), "b");
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    ASSERT_TRUE(QFile::rename(dir(), tree.path(QStringLiteral("real"))));
    tree.file(QStringLiteral("copy/a.txt"), "a");
    tree.file(QStringLiteral("copy/sub/b.txt"), "b");
    link(tree.path(QStringLiteral("copy")), dir());
    const Checked report = check();
    EXPECT_EQ(sorted(report.deleted), (QStringList{QStringLiteral("a.txt"), QStringLiteral("sub/"), QStringLiteral("sub/b.txt")}));
    EXPECT_EQ(report.changed, QStringList{QStringLiteral(" изменены атрибуты файла,")}) << report.changed.join(u'\n').toStdString();
    EXPECT_TRUE(report.added.isEmpty());
}

// A file no one may read (its owner's, of mode 000), and files that come and
// go all the time: each costs only itself. The check names what it could not
// examine and reports everything else, a changed file beside them included;
// so does putting the tree under control.
TEST_F(HostileTreeTest, OneUnreadableOrVanishingFileCostsOnlyItself)
{
    file(QStringLiteral("shared/a.txt"), "a");
    const QString locked = file(QStringLiteral("shared/locked.txt"), "private", 0);
    const WithoutOverridingPermissions asAnyUser;
    if (!asAnyUser.holds())
        GTEST_SKIP() << "root's permissions cannot be given up here";
    NotExaminedList notExamined = PutUnderControl(dm, dir(), QStringLiteral("*")).notExamined;
    ASSERT_EQ(notExamined.size(), 1);
    EXPECT_EQ(notExamined[0].line(), locked + QStringLiteral(": нет доступа"));

    file(QStringLiteral("shared/a.txt"), "b");
    std::atomic<bool> churning = true;
    std::thread spool([&] {
        for (int i = 0; churning; ++i) {
            const QByteArray name = native(dir() + QStringLiteral("/shared/tmp_%1").arg(i % 10));
            const int fd = open(name.constData(), O_WRONLY | O_CREAT, 0644);
            if (fd >= 0)
                close(fd);
            unlink(name.constData());
        }
    });
    for (int run = 0; run < 20; ++run) {
        const CheckReport report = RunCheck(dm, dir());
        const Checked lists{ReportLines(report), report.foundBits()};
        EXPECT_TRUE(lists.changed.contains(dir() + QStringLiteral("/shared/a.txt изменено содержание файла,")))
            << lists.changed.join(u'\n').toStdString();
        EXPECT_TRUE(std::any_of(report.notExamined.begin(), report.notExamined.end(),
                                [&](const NotExamined& n) { return n.line() == locked + QStringLiteral(": нет доступа"); }));
    }
    churning = false;
    spool.join();
}

} // namespace
