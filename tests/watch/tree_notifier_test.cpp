#include "support/temp_tree.h"
#include "watch/tree_notifier.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTest>
#include <gtest/gtest.h>

namespace {

class TreeNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QObject::connect(&notifier, &TreeNotifier::changed, [this](const JudgedName& name) {
            told.insert(QStringLiteral("%1 %2").arg(int(name.scope)).arg(name.path.mid(tree.path().size())));
        });
    }
    // Whether the notifier tells of line within a generous while.
    bool tells(const QString& line) { return QTest::qWaitFor([&] { return told.contains(line); }, 20000); }

    TempTree tree;
    TreeNotifier notifier;
    QSet<QString> told;
};

// The watches follow the tree as it changes: a change deep in a directory
// made, or moved, after the watch began is told under its path of now.
TEST_F(TreeNotifierTest, TheWatchesFollowTheTree)
{
    tree.file(QStringLiteral("old/a.txt"), "a");
    notifier.watchTree(tree.path());
    EXPECT_EQ(notifier.watchCount(), 2);

    const struct {
        const char* what;
        std::function<void()> change;
        QStringList told; // scope (0 file, 1 directory, 2 tree) and path
    } cases[] = {
        {"a file", [&] { tree.file(QStringLiteral("b.txt"), "b"); }, {QStringLiteral("0 /b.txt")}},
        {"a directory made with its subdirectories", [&] { tree.dir(QStringLiteral("n/m/o")); }, {QStringLiteral("2 /n")}},
        {"a file deep in it, made afterwards", [&] { tree.file(QStringLiteral("n/m/o/c.txt"), "c"); },
         {QStringLiteral("0 /n/m/o/c.txt")}},
        {"a directory moved", [&] { QDir(tree.path()).rename(QStringLiteral("old"), QStringLiteral("older")); },
         {QStringLiteral("2 /old"), QStringLiteral("2 /older")}},
        {"a file in it, under its new name", [&] { tree.file(QStringLiteral("older/d.txt"), "d"); },
         {QStringLiteral("0 /older/d.txt")}},
        {"a directory's mode", [&] { QFile::setPermissions(tree.path(QStringLiteral("older")), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); },
         {QStringLiteral("1 /older")}},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        each.change();
        for (const QString& line : each.told)
            EXPECT_TRUE(tells(line)) << QStringList(told.values()).join(u',').toStdString();
    }
    QTest::qWait(200);
    EXPECT_FALSE(told.contains(QStringLiteral("0 /old/d.txt")));
    EXPECT_EQ(notifier.watchCount(), 5) << "the tree, n, m, o and older";
}

} // namespace
