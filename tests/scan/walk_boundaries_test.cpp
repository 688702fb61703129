#include "rows/walk_rows.h"
#include "scan/file_walker.h"
#include "scan/pseudo_file_systems.h"
#include "storage/dm1.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"
#include "support/reference/rows_current_rows.h"

#include <QFile>
#include <QHash>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <optional>
#include <tuple>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class WalkBoundariesTest : public DatabaseFixture {
protected:
    QStringList recorded() { return SortedFullNames(dm, QStringLiteral("table1"), tree.path() + u'/'); }
};

// Opening a FIFO for reading waits for a writer that never comes; a device
// is no file to watch. Links to them are recorded, never opened: the size
// their text's, both checksums 0.
TEST_F(WalkBoundariesTest, LinksToAFifoOrADeviceAreRecordedUnread)
{
    tree.file(QStringLiteral("real.txt"), "x");
    const QByteArray root = QFile::encodeName(tree.path());
    ASSERT_EQ(mkfifo((root + "/fifo").constData(), 0600), 0);
    ASSERT_EQ(symlink((root + "/fifo").constData(), (root + "/to-fifo.txt").constData()), 0);
    ASSERT_EQ(symlink("/dev/null", (root + "/to-null.txt").constData()), 0);
    ASSERT_EQ(symlink("/dev/zero", (root + "/to-zero.txt").constData()), 0);
    // Held open with a byte in it, so that a walk that did open the FIFO
    // would record it instead of waiting for a writer for ever.
    const int writer = open((root + "/fifo").constData(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(writer, 0);
    ASSERT_EQ(write(writer, "x", 1), 1);
    ScanToBaseline(dm, tree.path(), QStringLiteral("txt"));
    close(writer);
    EXPECT_EQ(recorded(), (QStringList{QStringLiteral("real.txt"), QStringLiteral("to-fifo.txt"),
                                       QStringLiteral("to-null.txt"), QStringLiteral("to-zero.txt")}));
    const QHash<QString, QByteArray> targets{{QStringLiteral("to-fifo.txt"), root + "/fifo"},
                                            {QStringLiteral("to-null.txt"), "/dev/null"},
                                            {QStringLiteral("to-zero.txt"), "/dev/zero"}};
    for (const FileRow& row : ReadFileRows(dm, QStringLiteral("table1"))) {
        if (row.name != u"real.txt") {
            EXPECT_EQ(std::tuple(row.size, row.crc1, row.crc2), std::tuple(qint32(targets[row.name].size()), 0, 0))
                << row.name.toStdString();
        }
    }
}

// The walk lower-cases the list itself; the caller passes it as it is stored.
TEST_F(WalkBoundariesTest, AnUpperCaseListMatchesFilesOfAnyCase)
{
    tree.file(QStringLiteral("a.txt"), "a");
    tree.file(QStringLiteral("b.TXT"), "b");
    tree.file(QStringLiteral("c.doc"), "c");
    tree.file(QStringLiteral("д.ТХТ"), "d"); // Cyrillic letters that look Latin
    ScanToBaseline(dm, tree.path(), QStringLiteral("TXT"));
    EXPECT_EQ(recorded(), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.TXT")}));
    ScanToCurrent(dm, tree.path(), QStringLiteral("Doc,ТХТ"));
    EXPECT_EQ(SortedFullNames(dm, QStringLiteral("table2"), tree.path() + u'/'),
              (QStringList{QStringLiteral("c.doc"), QStringLiteral("д.ТХТ")}));
}

TEST_F(WalkBoundariesTest, IdsGoOnFromTheLargestInTheTable)
{
    dm.IBQuery1.executeStatement(Statement(u"insert into table1 values (41,'old','/elsewhere',1,'0','001',1,1)"));
    dm.IBQuery1.executeStatement(Statement(u"insert into table1 values (7,'older','/elsewhere',1,'0','001',1,1)"));
    for (const char* name : {"a", "b", "sub/c"})
        tree.file(QString::fromLatin1(name), name);
    ScanToBaseline(dm, tree.path(), QStringLiteral("*"));
    QList<qint32> ids;
    for (const FileRow& row : ReadFileRows(dm, QStringLiteral("table1")))
        ids.append(row.id);
    EXPECT_EQ(ids, (QList<qint32>{7, 41, 42, 43, 44}));
}

TEST(PseudoFileSystemsTest, KnowsTheKernelsInterfacesByTheirTypes)
{
    for (const char* type : {"proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "debugfs", "tracefs",
                             "securityfs", "pstore", "bpf", "configfs", "fusectl", "mqueue", "hugetlbfs", "efivarfs",
                             "binfmt_misc", "autofs", "nsfs"})
        EXPECT_TRUE(IsPseudoFileSystemType(QString::fromLatin1(type))) << type;
    for (const char* type : {"ext4", "xfs", "btrfs", "tmpfs", "nfs", "nfs4", "cifs", "vfat", "overlay", "fuse.sshfs", ""})
        EXPECT_FALSE(IsPseudoFileSystemType(QString::fromLatin1(type))) << type;
}

TEST(PseudoFileSystemsTest, TheMountTableGivesProcAndSysButNotTheRoot)
{
    const PseudoFileSystems pseudo = PseudoFileSystems::mounted();
    struct stat info {};
    for (const char* path : {"/proc", "/sys"}) {
        ASSERT_EQ(stat(path, &info), 0);
        EXPECT_TRUE(pseudo.contains(info.st_dev)) << path;
    }
    ASSERT_EQ(stat("/", &info), 0);
    EXPECT_FALSE(pseudo.contains(info.st_dev));
    EXPECT_FALSE(PseudoFileSystems().contains(info.st_dev));
}

// Walking them used to end at once with a file that cannot be read, or to
// block on one; now they add nothing and raise nothing.
TEST_F(WalkBoundariesTest, ProcAndSysAreNotWalked)
{
    for (const QString& dir : {QStringLiteral("/proc"), QStringLiteral("/sys"), QStringLiteral("/proc/self"),
                               QStringLiteral("/sys/kernel")}) {
        ScanToBaseline(dm, dir, QStringLiteral("*"));
        EXPECT_EQ(CountRows(dm, QStringLiteral("table1")), 0) << dir.toStdString();
    }
}

// Runs body in a child process and returns what it printed; the child ends
// with status 2 when body returns nothing.
std::optional<QByteArray> inChild(const std::function<std::optional<QByteArray>()>& body)
{
    int channel[2];
    if (pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0)
        return std::nullopt;
    if (child == 0) {
        close(channel[0]);
        const std::optional<QByteArray> out = body();
        if (!out)
            _exit(2);
        (void)!write(channel[1], out->constData(), size_t(out->size()));
        _exit(0);
    }
    close(channel[1]);
    QByteArray got;
    char buffer[4096];
    for (ssize_t n; (n = read(channel[0], buffer, sizeof buffer)) > 0;)
        got.append(buffer, n);
    close(channel[0]);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return got;
}

// Every step of a walk of dir, one line each, sorted.
QStringList walkSteps(const QString& dir, const QString& list)
{
    QStringList steps;
    FileWalker walker(dir, list);
    FileWalker::Step step;
    while (walker.next(step))
        steps.append(step.entered ? QStringLiteral("> ") + step.dir : step.dir + u'|' + step.entry.Name);
    steps.sort();
    return steps;
}

QByteArray lines(const QStringList& list)
{
    return list.join(u'\n').toUtf8();
}

// The root's own files are stored under "/" and a subdirectory's under
// "//sub", the texts being joined without normalising. The walk runs in a
// child process whose root is a small tree (chroot needs root).
TEST(WalkOfTheRootTest, StoresTheRootAsSlashAndASubdirectoryWithTwoSlashes)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "chroot needs root";
    TempTree tree;
    tree.file(QStringLiteral("top.txt"), "t");
    tree.file(QStringLiteral("sub/low.txt"), "l");
    tree.file(QStringLiteral("sub/deeper/lowest.txt"), "d");
    const QByteArray root = QFile::encodeName(tree.path());
    const std::optional<QByteArray> got = inChild([&]() -> std::optional<QByteArray> {
        if (chroot(root.constData()) != 0 || chdir("/") != 0)
            return std::nullopt;
        return lines(walkSteps(QStringLiteral("/"), QStringLiteral("txt")));
    });
    ASSERT_TRUE(got);
    QStringList expected = {QStringLiteral("> /"), QStringLiteral("/|top.txt"), QStringLiteral("> //sub"),
                            QStringLiteral("//sub|low.txt"), QStringLiteral("> //sub/deeper"),
                            QStringLiteral("//sub/deeper|lowest.txt")};
    expected.sort();
    EXPECT_EQ(QString::fromUtf8(*got).split(u'\n'), expected);
}

// Recognised by the file system's type where it is mounted, whatever the
// path: proc and sysfs mounted inside the tree are left out, while a tmpfs
// there is walked like any disk. The mounts are made in a mount namespace of
// the child's own, which needs root.
TEST(MountedFileSystemsTest, PseudoFileSystemsMountedInsideTheTreeAreLeftOutAndATmpfsIsWalked)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting needs root";
    TempTree tree;
    tree.file(QStringLiteral("plain.txt"), "p");
    const QByteArray proc = QFile::encodeName(tree.dir(QStringLiteral("p")));
    const QByteArray sys = QFile::encodeName(tree.dir(QStringLiteral("s")));
    const QByteArray memory = QFile::encodeName(tree.dir(QStringLiteral("t")));
    const std::optional<QByteArray> got = inChild([&]() -> std::optional<QByteArray> {
        if (unshare(CLONE_NEWNS) != 0 || mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0
            || mount("proc", proc.constData(), "proc", 0, nullptr) != 0
            || mount("sysfs", sys.constData(), "sysfs", 0, nullptr) != 0
            || mount("tmpfs", memory.constData(), "tmpfs", 0, nullptr) != 0)
            return std::nullopt;
        QFile kept(QFile::decodeName(memory) + QStringLiteral("/kept.txt"));
        if (!kept.open(QIODevice::WriteOnly) || kept.write("k") != 1)
            return std::nullopt;
        kept.close();
        return lines(walkSteps(QFile::decodeName(memory).section(u'/', 0, -2), QStringLiteral("*")));
    });
    if (!got)
        GTEST_SKIP() << "no mount namespace here";
    QStringList expected = {QStringLiteral("> ") + tree.path(), tree.path() + QStringLiteral("|plain.txt"),
                            QStringLiteral("> ") + tree.path(QStringLiteral("t")),
                            tree.path(QStringLiteral("t")) + QStringLiteral("|kept.txt")};
    expected.sort();
    EXPECT_EQ(QString::fromUtf8(*got).split(u'\n'), expected);
}

} // namespace
