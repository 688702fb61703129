#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

namespace {

// init --system on a list of every kind of line: the directories it names are
// put under control with every file, each once, and what cannot or need not
// be is named and left; run again, it adds nothing.
TEST(CliSystemInit, PutsEachListedDirectoryUnderControlOnce)
{
    TempTree work, tree;
    const QString a = tree.dir(QStringLiteral("a")), b = tree.dir(QStringLiteral("b"));
    tree.file(QStringLiteral("a/x.conf"), "x\n");
    tree.file(QStringLiteral("a/sub/y.bin"), "y\n");
    tree.file(QStringLiteral("b/z.txt"), "z\n");
    tree.file(QStringLiteral("b/w.bin"), "w\n");
    const QString file = tree.file(QStringLiteral("f"), "f\n");
    const QString link = tree.path(QStringLiteral("l")), missing = tree.path(QStringLiteral("missing"));
    ASSERT_TRUE(QFile::link(a, link));
    const QString list = work.file(QStringLiteral("list"), QStringLiteral("# the system's directories\n\n  %1/  \n%2\n%3\n%4\n"
                                                                           "%5\n%1\n").arg(a, missing, link, file, b).toUtf8());
    const QStringList database = {QStringLiteral("--database"), work.path(QStringLiteral("file.gdb"))};
    ASSERT_EQ(cli(work.path(), database + QStringList{QStringLiteral("init")}).status, 0);
    ASSERT_EQ(cli(work.path(), database + QStringList{QStringLiteral("add"), b, QStringLiteral("txt")}).status, 0);

    const QString done = QStringLiteral("Список директорий: %1\n"
                                        "Поставлено на учет: %2\n"
                                        "Пропущено, нет такой директории: %3\n"
                                        "Пропущено, символическая ссылка: %4\n"
                                        "Пропущено, не директория: %5\n"
                                        "Уже на учете: %6 (типы файлов: txt)\n"
                                        "Уже на учете: %2\n"
                                        "На учете находится: %7  файлов.\n").arg(list, a, missing, link, file, b);
    Result r = cli(work.path(), database + QStringList{QStringLiteral("init"), QStringLiteral("--system"), list});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(done.arg(3))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\nДальше:\n"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral(" seal /root/seal.key\n"))) << r.out.toStdString();
    EXPECT_EQ(r.err, QString());

    r = cli(work.path(), database + QStringList{QStringLiteral("init"), QStringLiteral("--system"), list});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.startsWith(done.arg(3).replace(QStringLiteral("Поставлено на учет: "), QStringLiteral("Уже на учете: "))))
        << r.out.toStdString();
    r = cli(work.path(), database + QStringList{QStringLiteral("list")});
    EXPECT_EQ(r.out, QStringLiteral("%1\tТипы файлов: txt\n%2\tТипы файлов: *\nНа учете находится: 3  файлов.\n").arg(b, a));
    r = cli(work.path(), database + QStringList{QStringLiteral("check"), QStringLiteral("--all")});
    EXPECT_EQ(r.status, 0) << r.out.toStdString() << r.err.toStdString();
}

// A list that cannot be used is refused before any database is made.
TEST(CliSystemInit, RefusesABadListAndMakesNoDatabase)
{
    TempTree work;
    const QString relative = work.file(QStringLiteral("relative"), "/etc\n# fine\netc\n");
    const QString missing = work.path(QStringLiteral("missing"));
    const QString gdb = work.path(QStringLiteral("file.gdb"));
    const struct {
        QString list;
        QString err;
    } cases[] = {
        {relative, QStringLiteral("Список директорий %1, строка 3: нужен абсолютный путь: etc\n").arg(relative)},
        {missing, QStringLiteral("Не удалось прочитать список директорий: %1: No such file or directory\n").arg(missing)},
    };
    for (const auto& c : cases) {
        const Result r = cli(work.path(), {QStringLiteral("--database"), gdb, QStringLiteral("init"),
                                           QStringLiteral("--system"), c.list});
        EXPECT_EQ(r.status, 16);
        EXPECT_EQ(r.err, c.err);
        EXPECT_EQ(r.out, QString());
        EXPECT_FALSE(QFileInfo::exists(gdb));
    }
}

} // namespace
