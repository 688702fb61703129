#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

#include <unistd.h>

#include <functional>

namespace {

int cliStatus(const QString& dir, const QStringList& args)
{
    return cli(dir, args).status;
}

// Each finding alone sets its own bit of check's exit status: 1 new, 2
// deleted, 4 changed, 8 moved.
TEST(CliExitBitsTest, EachFindingAloneGivesItsOwnBit)
{
    const struct {
        const char* what;
        int status;
        std::function<void(TempTree&)> change;
    } cases[] = {
        {"nothing", 0, [](TempTree&) {}},
        {"a new file", 1, [](TempTree& t) { t.file(QStringLiteral("d/new.txt"), "new"); }},
        {"a deleted file", 2, [](TempTree& t) { QFile::remove(t.path(QStringLiteral("d/sub/b.txt"))); }},
        {"a changed file", 4, [](TempTree& t) { t.file(QStringLiteral("d/a.txt"), "changed"); }},
        {"a moved file", 8,
         [](TempTree& t) { QFile::rename(t.path(QStringLiteral("d/sub/b.txt")), t.path(QStringLiteral("d/b.txt"))); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree home;
        TempTree tree;
        tree.file(QStringLiteral("d/a.txt"), "a");
        tree.file(QStringLiteral("d/sub/b.txt"), "b");
        ASSERT_EQ(cliStatus(home.path(), {QStringLiteral("init")}), 0);
        ASSERT_EQ(cliStatus(home.path(), {QStringLiteral("add"), tree.path(QStringLiteral("d"))}), 0);
        c.change(tree);
        EXPECT_EQ(cliStatus(home.path(), {QStringLiteral("check"), tree.path(QStringLiteral("d"))}), c.status);
    }
}


// check --all: one report after another, the status the sum of what each
// found, and a file that cannot be read named without keeping the rest of
// its directory, or the others, from being checked.
TEST(CliExitBitsTest, CheckAllReportsEveryDirectoryAndAddsUpTheirBits)
{
    TempTree home;
    TempTree tree;
    tree.file(QStringLiteral("a/x.txt"), "x");
    tree.file(QStringLiteral("b/y.txt"), "y");
    tree.file(QStringLiteral("c/z.txt"), "z");
    ASSERT_EQ(cliStatus(home.path(), {QStringLiteral("init")}), 0);
    for (const char* d : {"a", "b", "c"})
        ASSERT_EQ(cliStatus(home.path(), {QStringLiteral("add"), tree.path(QString::fromLatin1(d))}), 0);
    tree.file(QStringLiteral("a/new.txt"), "new");
    tree.file(QStringLiteral("b/y.txt"), "changed");
    const QString unreadable = tree.path(QStringLiteral("c/unreadable.txt"));
    if (geteuid() == 0 || !MakeUnreadableFile(unreadable))
        GTEST_SKIP() << "no file here that the program cannot read";

    const Result text = cli(home.path(), {QStringLiteral("check"), QStringLiteral("--all")});
    EXPECT_EQ(text.status, 1 | 4 | 32);
    EXPECT_TRUE(text.out.startsWith(QStringLiteral("Директория ") + tree.path(QStringLiteral("a")) + QStringLiteral("\n\n")))
        << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QStringLiteral("\n\nДиректория ") + tree.path(QStringLiteral("b")) + u'\n'));
    EXPECT_TRUE(text.out.contains(QStringLiteral("\n\nДиректория ") + tree.path(QStringLiteral("c")) + u'\n'));
    EXPECT_TRUE(text.err.contains(QStringLiteral("Не проверено: ") + unreadable + QStringLiteral(": нет доступа")))
        << text.err.toStdString();

    const Result json = cli(home.path(), {QStringLiteral("check"), QStringLiteral("--all"), QStringLiteral("--json")});
    EXPECT_EQ(json.status, 1 | 4 | 32);
    const QJsonArray documents = QJsonDocument::fromJson(json.out.toUtf8()).object().value(u"directories").toArray();
    ASSERT_EQ(documents.size(), 3) << json.out.toStdString();
    EXPECT_EQ(documents[0].toObject().value(u"new").toArray().size(), 1);
    EXPECT_EQ(documents[1].toObject().value(u"changed").toArray().size(), 1);
    EXPECT_EQ(documents[2].toObject().value(u"directory").toString(), tree.path(QStringLiteral("c")));
    EXPECT_EQ(documents[2].toObject().value(u"not_examined").toArray().size(), 1);
}

} // namespace
