#include "cli/cli_run.h"
#include "storage/connect.h"
#include "storage/dm1.h"
#include "support/file_rows.h"
#include "support/temp_tree.h"

#include <gtest/gtest.h>

namespace {

// Registrations that overlap, through the console: after each case's
// commands, on a tree that has not changed, a check of every registration
// left must find nothing, however the registrations lie in each other.
TEST(CliOverlapTest, EachRegistrationActsOnItsOwnRowsOnly)
{
    struct Case {
        const char* what;
        QList<QStringList> commands; // "D" stands for the tree's directory d
        QStringList listed;          // what list shows afterwards, "D" as above
    };
    const QString add = QStringLiteral("add"), remove = QStringLiteral("remove"), update = QStringLiteral("update");
    const QString d = QStringLiteral("D"), in = QStringLiteral("D/in"), d2 = QStringLiteral("D2");
    const Case cases[] = {
        {"nested, equal types, the inner one removed", {{add, d}, {add, in}, {remove, in}}, {d}},
        {"nested, equal types, the outer one removed", {{add, d}, {add, in}, {remove, d}}, {in}},
        {"nested, different types, the outer one updated",
         {{add, d, QStringLiteral("txt")}, {add, in}, {update, d}}, {d, in}},
        {"nested, different types, the inner one updated", {{add, d, QStringLiteral("txt")}, {add, in}, {update, in}},
         {d, in}},
        {"the outer one put under control after the inner", {{add, in}, {add, d, QStringLiteral("doc")}}, {in, d}},
        {"registered twice, one removed", {{add, d}, {add, d, QStringLiteral("txt")}, {remove, d}}, {d}},
        {"registered twice, one updated", {{add, d}, {add, d}, {update, d}}, {d, d}},
        {"a sibling with a common prefix removed", {{add, d}, {add, d2}, {remove, d}}, {d2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree home;
        TempTree tree;
        for (const char* file : {"d/a.txt", "d/b.doc", "d/in/c.txt", "d/in/e.doc", "d/in/deep/f.txt", "d2/g.txt"})
            tree.file(QString::fromLatin1(file), file);
        const auto real = [&](QString text) { return text.replace(u'D', tree.path(QStringLiteral("d"))); };
        ASSERT_EQ(cli(home.path(), {QStringLiteral("init")}).status, 0);
        for (const QStringList& command : c.commands) {
            QStringList args;
            for (const QString& word : command)
                args.append(real(word));
            const Result r = cli(home.path(), args);
            ASSERT_EQ(r.status, 0) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
        }
        QString listed;
        for (const QString& dir : c.listed)
            listed += real(dir) + u'\n';
        // The directories, as a script reads them: each line's first field.
        QString shown;
        for (const QString& line : cli(home.path(), {QStringLiteral("list")}).out.split(u'\n').mid(0, c.listed.size()))
            shown += line.section(u'\t', 0, 0) + u'\n';
        EXPECT_EQ(shown, listed);
        const Result all = cli(home.path(), {QStringLiteral("check"), QStringLiteral("--all")});
        EXPECT_EQ(all.status, 0) << all.out.toStdString() << all.err.toStdString();
    }
}

// A database written before rows had owners: its registrations still share
// the rows of one place, as they always did, until each is updated.
TEST(CliOverlapTest, RowsWithoutOwnersAreSharedAsBefore)
{
    TempTree home;
    TempTree tree;
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/in/c.txt"), "c");
    const QString d = tree.path(QStringLiteral("d")), in = tree.path(QStringLiteral("d/in"));
    ASSERT_EQ(cli(home.path(), {QStringLiteral("init")}).status, 0);
    ASSERT_EQ(cli(home.path(), {QStringLiteral("add"), d}).status, 0);
    ASSERT_EQ(cli(home.path(), {QStringLiteral("add"), in}).status, 0);
    {
        TDM1 dm;
        ConnectDM1(dm, home.path(QStringLiteral("file.gdb")));
        ForgetOwners(dm);
        dm.finish();
    }
    // The inner registration takes every row at or below it with it: the
    // outer one's too, which then finds c.txt new.
    ASSERT_EQ(cli(home.path(), {QStringLiteral("remove"), in}).status, 0);
    const Result r = cli(home.path(), {QStringLiteral("check"), d});
    EXPECT_EQ(r.status, 1) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(in + QStringLiteral("/c.txt"))) << r.out.toStdString();
    // An update makes the rows its own, and all is well again.
    ASSERT_EQ(cli(home.path(), {QStringLiteral("update"), d}).status, 0);
    ASSERT_EQ(cli(home.path(), {QStringLiteral("add"), in}).status, 0);
    ASSERT_EQ(cli(home.path(), {QStringLiteral("remove"), in}).status, 0);
    EXPECT_EQ(cli(home.path(), {QStringLiteral("check"), d}).status, 0);
}

} // namespace
