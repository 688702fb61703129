#include "check/check_run.h"
#include "check/judge_names.h"
#include "check/report_text.h"
#include "registration/put_under_control.h"
#include "rows/registration.h"
#include "support/database_fixture.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

namespace {

class JudgeNamesTest : public DatabaseFixture {
protected:
    QString d(const QString& relative) const { return dir() + u'/' + relative; }
    JudgedName fileName(const char* relative) const { return {d(QString::fromUtf8(relative)), JudgedName::File}; }
    JudgedName treeName(const char* relative) const { return {d(QString::fromUtf8(relative)), JudgedName::Tree}; }

    static QStringList lines(const CheckReport& report)
    {
        const ReportLists lists = ReportLines(report);
        QStringList all = lists.deleted + lists.moved + lists.added + lists.changed;
        all.sort();
        return all;
    }
};

// Each change, judged by the names it touched alone, finds what a check of
// the whole tree finds.
TEST_F(JudgeNamesTest, TheNamesAChangeTouchedFindWhatACheckFinds)
{
    const auto move = [&](const char* from, const char* to) {
        ASSERT_TRUE(QFile::rename(d(QString::fromUtf8(from)), d(QString::fromUtf8(to))));
    };
    const auto many = [&] {
        QList<JudgedName> names{fileName("a.txt"), fileName("new/k.txt"), fileName("old/k.txt")};
        for (int i = 0; i < 70; ++i)
            names.append({d(QStringLiteral("new/n%1.txt").arg(i)), JudgedName::File});
        return names;
    };
    const struct {
        const char* what;
        std::function<void()> change;
        QList<JudgedName> names;
        int found; // the check's bits, so that no case is empty by mistake
    } cases[] = {
        {"a new file", [&] { file(QStringLiteral("n.txt"), "n"); }, {fileName("n.txt")}, 1},
        {"a changed file", [&] { file(QStringLiteral("a.txt"), "longer now"); }, {fileName("a.txt")}, 4},
        {"a file's mode", [&] { chmod(QFile::encodeName(d(QStringLiteral("a.txt"))).constData(), 0600); },
         {fileName("a.txt")}, 4},
        {"a deleted file", [&] { QFile::remove(d(QStringLiteral("a.txt"))); }, {fileName("a.txt")}, 2},
        {"a moved file", [&] { move("old/m.txt", "new/m.txt"); }, {fileName("old/m.txt"), fileName("new/m.txt")}, 8},
        {"a moved file, told by its new name", [&] { move("old/m.txt", "new/m.txt"); }, {fileName("new/m.txt")}, 8},
        {"a copy, its original in place", [&] { file(QStringLiteral("new/m.txt"), "m"); }, {fileName("new/m.txt")}, 1},
        {"a new tree", [&] { file(QStringLiteral("nd/deep/x.txt"), "x"); }, {treeName("nd")}, 1},
        {"a deleted tree", [&] { QDir(d(QStringLiteral("old"))).removeRecursively(); }, {treeName("old")}, 2},
        {"a renamed tree", [&] { move("old", "older"); }, {treeName("old"), treeName("older")}, 1 | 2 | 8},
        {"a directory's mode",
         [&] { chmod(QFile::encodeName(d(QStringLiteral("old"))).constData(), 0700); },
         {{d(QStringLiteral("old")), JudgedName::Directory}}, 4},
        {"a file told with its tree", [&] { file(QStringLiteral("nd/x.txt"), "x"); },
         {treeName("nd"), fileName("nd/x.txt")}, 1},
        {"a file of a type not recorded", [&] { file(QStringLiteral("n.log"), "n"); }, {fileName("n.log")}, 0},
        {"a name unchanged", [] {}, {fileName("a.txt"), fileName("old/m.txt")}, 0},
        {"more names than a statement lists", [&] {
             for (int i = 0; i < 70; ++i)
                 file(QStringLiteral("new/n%1.txt").arg(i), "n");
             QFile::remove(d(QStringLiteral("a.txt")));
             move("old/k.txt", "new/k.txt");
         }, many(), 1 | 2 | 8},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(each.what);
        QDir(dir()).removeRecursively();
        file(QStringLiteral("a.txt"), "a");
        file(QStringLiteral("old/m.txt"), "m");
        file(QStringLiteral("old/k.txt"), "k");
        file(QStringLiteral("keep.log"), "k");
        QDir().mkpath(d(QStringLiteral("new")));
        PutUnderControl(dm, dir(), QStringLiteral("txt"));
        const Registration registration = ReadRegistrations(dm.IBQuery1).constLast();
        each.change();

        const CheckReport checked = RunCheck(dm, dir(), nullptr, registration.id);
        const CheckReport judged = JudgeNames(dm, registration, each.names);
        EXPECT_EQ(checked.foundBits(), each.found);
        EXPECT_EQ(lines(judged), lines(checked));
        EXPECT_EQ(judged.foundBits(), checked.foundBits());
    }
}

} // namespace
