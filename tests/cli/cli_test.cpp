#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
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
    EXPECT_EQ(cli(work(), {QStringLiteral("list")}).out, d + QStringLiteral("\nНа учете находится: 4  файлов.\n"));

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

} // namespace
