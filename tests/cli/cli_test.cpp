#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CliTest : public ::testing::Test {
protected:
    QString work() const { return home.path(); }
    TempTree home;
    TempTree tree;
};

TEST_F(CliTest, InitCreatesTheDatabaseOnceAndNeverOverwritesIt)
{
    Result r = cli(work(), {QStringLiteral("init")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    r = cli(work(), {QStringLiteral("list")});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 0  файлов.\n"));

    QFile file(home.path(QStringLiteral("file.gdb")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    r = cli(work(), {QStringLiteral("init")});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.contains(QStringLiteral("уже существует"))) << r.err.toStdString();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// A killed init leaves its unfinished file behind; the next init of the same
// database clears it away (its process is gone), and leaves others alone.
TEST_F(CliTest, InitClearsWhatAKilledInitLeft)
{
    // Process ids stay below pid_max: no process has that one.
    QFile pidMax(QStringLiteral("/proc/sys/kernel/pid_max"));
    ASSERT_TRUE(pidMax.open(QIODevice::ReadOnly));
    const QString left = home.path(QStringLiteral("file.gdb.new-") + QString::fromLatin1(pidMax.readAll().trimmed()));
    const QString living = home.path(QStringLiteral("file.gdb.new-%1").arg(getpid()));
    for (const QString& name : {left, living}) {
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_TRUE(QFileInfo::exists(living)) << "its init may still be running";
}

// Without FIREBIRD_LOCK the engine's lock files go to a directory of the
// user's own: the session's runtime directory, else the temporary one, but
// never one that another user made first; root's to /run/kvaren.
TEST_F(CliTest, LockFilesGoWhereNoOtherUserCanMakeTheirDirectory)
{
    const uid_t other = getuid() == 0 ? 65534 : 0;
    const QString runtime = tree.dir(QStringLiteral("runtime"));
    const QString temp = tree.dir(QStringLiteral("tmp"));
    const QString cache = tree.dir(QStringLiteral("cache"));
    const QString taken = tree.dir(QStringLiteral("tmp/firebird-%1").arg(getuid()));
    const bool canGiveAway = chown(QFile::encodeName(taken).constData(), other, other) == 0;
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    struct {
        bool withRuntime;
        QString expected;
    } cases[] = {{true, runtime + QStringLiteral("/firebird")},
                 {false, canGiveAway ? cache + QStringLiteral("/kvaren-firebird-lock") : taken}};
    // Root's programs share one place, however they were started.
    if (getuid() == 0)
        for (auto& c : cases)
            c.expected = QStringLiteral("/run/kvaren");
    for (const auto& c : cases) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("FIREBIRD_LOCK"));
        environment.insert(QStringLiteral("TMPDIR"), temp);
        environment.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
        if (c.withRuntime)
            environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
        else
            environment.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        QFile::remove(home.path(QStringLiteral("file.gdb")));
        const Result r = cli(work(), {QStringLiteral("init")}, environment);
        EXPECT_EQ(r.status, 0) << r.err.toStdString();
        EXPECT_TRUE(QFileInfo(c.expected).isDir()) << c.expected.toStdString();
    }
}

TEST_F(CliTest, ErrorsGoToStderrWithStatus16)
{
    Result r = cli(work(), {QStringLiteral("list")});
    EXPECT_EQ(r.status, 16);
    EXPECT_TRUE(r.err.contains(QStringLiteral("file.gdb"))) << r.err.toStdString();
    EXPECT_EQ(r.out, QString());
    EXPECT_EQ(cli(work(), {QStringLiteral("frobnicate")}).status, 16);
    EXPECT_EQ(cli(work(), {}).status, 16);
}

TEST_F(CliTest, AddListCheckAndRemoveAsAUserWould)
{
    ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
    tree.file(QStringLiteral("d/keep.txt"), "keep");
    tree.file(QStringLiteral("d/gone.txt"), "gone");
    tree.file(QStringLiteral("d/old/moved.txt"), "moved");
    tree.file(QStringLiteral("d/grow.txt"), "grow");
    tree.file(QStringLiteral("d/skip.doc"), "doc");
    tree.dir(QStringLiteral("d/new"));

    const QString relative = QStringLiteral("./") + QDir(work()).relativeFilePath(tree.path(QStringLiteral("d"))) + u'/';
    Result r = cli(work(), {QStringLiteral("add"), relative, QStringLiteral("txt")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 4  файлов.\n"));
    EXPECT_EQ(r.err, QString()) << "no progress line when stderr is not a terminal";
    const QString d = tree.path(QStringLiteral("d"));
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out, d + QStringLiteral("\tТипы файлов: txt\nНа учете находится: 4  файлов.\n"));

    r = cli(work(), {QStringLiteral("check"), d});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Удаленные файлы\nНе обнаружено\n\nПеремещенные файлы\nНе обнаружено\n\n"
                                    "Новые файлы\nНе обнаружено\n\nИзмененные файлы\nНе обнаружено\n"));

    QFile::remove(tree.path(QStringLiteral("d/gone.txt")));
    QFile::rename(tree.path(QStringLiteral("d/old/moved.txt")), tree.path(QStringLiteral("d/new/moved.txt")));
    tree.file(QStringLiteral("d/grow.txt"), "grown");
    tree.file(QStringLiteral("d/fresh.txt"), "fresh");
    r = cli(work(), {QStringLiteral("check"), d});
    EXPECT_EQ(r.status, 15) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("Удаленные файлы\n") + d + QStringLiteral("/gone.txt\n\n"
                     "Перемещенные файлы\n") + d + QStringLiteral("/old/moved.txt перемещен в ") + d + QStringLiteral("/new/moved.txt\n\n"
                     "Новые файлы\n") + d + QStringLiteral("/fresh.txt\n\n"
                     "Измененные файлы\n") + d + QStringLiteral("/grow.txt изменен размер файла,\n")
                     + d + QStringLiteral("/grow.txt изменено содержание файла,\n"));

    r = cli(work(), {QStringLiteral("remove"), tree.path()});
    EXPECT_EQ(r.status, 16) << "not under control";
    r = cli(work(), {QStringLiteral("remove"), d + u'/'});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 0  файлов.\n"));
    EXPECT_EQ(cli(work(), {QStringLiteral("check"), d}).status, 16);
}

TEST_F(CliTest, AddRefusesADirectoryThatDoesNotExist)
{
    ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
    Result r = cli(work(), {QStringLiteral("add"), tree.path(QStringLiteral("nope"))});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out, QStringLiteral("На учете находится: 0  файлов.\n"));
}

TEST_F(CliTest, SumPrintsBothChecksumsAndGoesOnPastAnUnreadableFile)
{
    const QString abc = tree.file(QStringLiteral("abc"), "abc");
    const QString empty = tree.file(QStringLiteral("empty"));
    Result r = cli(work(), {QStringLiteral("sum"), abc, tree.path(QStringLiteral("missing")), empty});
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.out, QStringLiteral("4589 12994182 ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad ") + abc + QStringLiteral("\n0 0 e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 ") + empty + u'\n');
    EXPECT_TRUE(r.err.contains(tree.path(QStringLiteral("missing")))) << r.err.toStdString();
}

TEST_F(CliTest, ProgressAppearsOnlyOnATerminalAndStdoutStaysPlain)
{
    ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
    for (int i = 0; i < 300; ++i)
        tree.file(QStringLiteral("d/%1/f%2.txt").arg(i / 50).arg(i), QByteArray::number(i));
    const Result r = cliOnTerminal(work(), {QStringLiteral("add"), tree.path(QStringLiteral("d"))});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.out, QStringLiteral("На учете находится: 300  файлов.\n"));
    EXPECT_TRUE(r.err.contains(QStringLiteral("\rПостановка на учет: "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.endsWith(QStringLiteral("\r\x1b[K"))) << "the line is erased at the end";
}

// Every mistake a user may make on either program's command line: the
// answer's first line, the status, and that nothing was done.
TEST_F(CliTest, MistakesAreAnsweredInOneLineAndTypesAndOptionsAreTakenAsMeant)
{
    ASSERT_EQ(cli(work(), {QStringLiteral("init")}).status, 0);
    const QString d = tree.file(QStringLiteral("d/a.conf"), "a").section(u'/', 0, -2);
    tree.file(QStringLiteral("d/b.txt"), "b");
    const QString file = tree.file(QStringLiteral("plain"), "x");
    const QString missingFolder = tree.path(QStringLiteral("missing/file.gdb"));
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.remove(QString::fromLatin1(name));

    struct Case {
        QString program;
        QStringList args;
        int status;
        QString out; // the first line of stdout
        QString err; // all of stderr
    };
    const QString cliProgram = cliPath(), window = QStringLiteral(KVAREN_PATH);
    const QString count = QStringLiteral("На учете находится: %1  файлов.");
    const Case cases[] = {
        {cliProgram, {QStringLiteral("-h")}, 0, QStringLiteral("Использование: kvaren-cli [ПАРАМЕТРЫ] КОМАНДА [АРГУМЕНТЫ]"), {}},
        {cliProgram, {QStringLiteral("init"), QStringLiteral("extra")}, 16, {}, QStringLiteral("Лишние аргументы: kvaren-cli init\n")},
        {cliProgram, {QStringLiteral("list"), QStringLiteral("extra")}, 16, {}, QStringLiteral("Лишние аргументы: kvaren-cli list\n")},
        {cliProgram, {QStringLiteral("remove"), d, d}, 16, {}, QStringLiteral("Лишние аргументы: kvaren-cli remove DIR\n")},
        {cliProgram, {QStringLiteral("sum")}, 16, {}, QStringLiteral("Не указаны файлы: kvaren-cli sum FILE...\n")},
        {cliProgram, {QStringLiteral("update")}, 16, {}, QStringLiteral("Не указана директория: kvaren-cli update DIR [FILE...] | --explained DIR\n")},
        {cliProgram, {QStringLiteral("check"), QStringLiteral("--frob"), d}, 16, {},
         QStringLiteral("Неизвестный параметр: --frob: kvaren-cli check [--json] [--explain | --unexplained] DIR | "
                        "[--json] [--explain | --unexplained] --all\n")},
        {cliProgram, {QStringLiteral("--frob"), QStringLiteral("list")}, 16, {},
         QStringLiteral("Неизвестный параметр: --frob (справка: kvaren-cli --help)\n")},
        {cliProgram, {QStringLiteral("frob")}, 16, {}, QStringLiteral("Неизвестная команда: frob (справка: kvaren-cli --help)\n")},
        {cliProgram, {QStringLiteral("add"), file}, 16, {}, QStringLiteral("Не является директорией: ") + file + u'\n'},
        {cliProgram, {QStringLiteral("--database"), missingFolder, QStringLiteral("init")}, 16, {},
         QStringLiteral("Не удалось создать базу данных %1: папка %2 не существует\n").arg(missingFolder, tree.path(QStringLiteral("missing")))},
        {cliProgram, {QStringLiteral("--database"), file + QStringLiteral("/file.gdb"), QStringLiteral("init")}, 16, {},
         QStringLiteral("Не удалось создать базу данных %1/file.gdb: %1 не папка, а файл\n").arg(file)},
        {window, {QStringLiteral("--bogus")}, 16, {}, QStringLiteral("Неизвестный параметр: --bogus (справка: kvaren --help)\n")},
        {window, {QStringLiteral("extra")}, 16, {}, QStringLiteral("Лишние аргументы: extra (справка: kvaren --help)\n")},
        // What is meant: a type with its dot or star, options after the command.
        {cliProgram, {QStringLiteral("add"), d, QStringLiteral(".conf")}, 0, count.arg(1), {}},
        {cliProgram, {QStringLiteral("add"), d, QStringLiteral("*.conf"), QStringLiteral("--database"), QStringLiteral("file.gdb")}, 0, count.arg(2),
         QStringLiteral("Директория уже была на учете и поставлена на учет еще раз: ") + d + u'\n'},
        {cliProgram, {QStringLiteral("check"), d, QStringLiteral("--json")}, 0, QStringLiteral("{"), {}},
        {cliProgram, {QStringLiteral("list"), QStringLiteral("--"), }, 0, d + QStringLiteral("\tТипы файлов: conf"), {}},
    };
    for (const Case& c : cases) {
        QProcess process;
        process.setProcessEnvironment(noDisplay);
        process.setWorkingDirectory(work());
        process.start(c.program, c.args);
        ASSERT_TRUE(process.waitForFinished(120000));
        const QString out = QString::fromUtf8(process.readAllStandardOutput());
        const QString what = QFileInfo(c.program).fileName() + u' ' + c.args.join(u' ');
        EXPECT_EQ(process.exitCode(), c.status) << what.toStdString();
        EXPECT_EQ(out.section(u'\n', 0, 0), c.out) << what.toStdString();
        EXPECT_EQ(QString::fromUtf8(process.readAllStandardError()), c.err) << what.toStdString();
    }
    const QString types = QStringLiteral("\tТипы файлов: conf\n");
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out, d + types + d + types + count.arg(2) + u'\n');
    EXPECT_FALSE(QFileInfo::exists(tree.path(QStringLiteral("missing"))));

    // The usage: one line saying what each command does, no trailing blanks.
    const QString usage = cli(work(), {QStringLiteral("--help")}).out;
    EXPECT_FALSE(usage.contains(QStringLiteral(" \n"))) << usage.toStdString();
    const QString commands = usage.section(QStringLiteral("Команды:\n"), 1).section(QStringLiteral("Параметры:"), 0, 0);
    for (const char* command : {"init", "list", "add", "remove", "check", "update", "sum", "help"})
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^  %1 .*  \\w+").arg(QLatin1StringView(command)),
                                       QRegularExpression::MultilineOption | QRegularExpression::UseUnicodePropertiesOption)
                        .match(commands).hasMatch())
            << command << '\n' << commands.toStdString();
}

} // namespace
