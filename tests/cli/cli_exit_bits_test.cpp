#include "cli/cli_run.h"
#include "support/temp_tree.h"

#include <QFile>
#include <gtest/gtest.h>

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

} // namespace
