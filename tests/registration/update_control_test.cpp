#include "check/check_run.h"
#include "check/report_text.h"
#include "common/exception.h"
#include "registration/put_under_control.h"
#include "registration/update_control.h"
#include "storage/connect.h"
#include "storage/database_file.h"
#include "storage/dm1.h"
#include "support/database_fixture.h"
#include "support/file_rows.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

class UpdateControlTest : public DatabaseFixture {
protected:
    QString path(const char* relative) const { return tree.path(QString::fromUtf8(relative)); }
    QString found(const char* dir) { return foundIn(dm, dir); }
    QString foundIn(TDM1& in, const char* dir)
    {
        const ReportLists r = ReportLines(RunCheck(in, path(dir)));
        return (r.deleted + r.moved + r.added + r.changed).join(u'\n');
    }
    // What a check of each dir finds right after the registrations are made
    // afresh, in that order, on the tree as it is now.
    QStringList foundAfterFreshRegistrations(const QList<std::pair<const char*, const char*>>& registrations,
                                             const QList<const char*>& dirs)
    {
        TempTree elsewhere;
        const QString file = elsewhere.path(QStringLiteral("fresh.gdb"));
        CreateDatabaseFile(file);
        TDM1 fresh;
        ConnectDM1(fresh, file);
        for (const auto& [dir, list] : registrations)
            PutUnderControl(fresh, path(dir), QString::fromLatin1(list));
        QStringList found;
        for (const char* dir : dirs)
            found.append(foundIn(fresh, dir));
        fresh.finish();
        return found;
    }
    QStringList baseline() { return SortedFullNames(dm, QStringLiteral("table1"), tree.path()); }
};

TEST_F(UpdateControlTest, AfterChangesOfEveryKindTheNextCheckFindsNothingAndTheListStaysAsItWas)
{
    tree.file(QStringLiteral("a/keep.txt"), "a");
    tree.file(QStringLiteral("b/gone.txt"), "gone");
    tree.file(QStringLiteral("b/grow.txt"), "grow");
    tree.file(QStringLiteral("b/same-size.txt"), "1234");
    tree.file(QStringLiteral("b/locked.txt"), "locked");
    tree.file(QStringLiteral("b/old/moved.txt"), "moved");
    tree.file(QStringLiteral("b/it's.doc"), "odd name");
    tree.file(QStringLiteral("c/keep.txt"), "c");
    PutUnderControl(dm, path("a"), QStringLiteral("*"));
    PutUnderControl(dm, path("b"), QStringLiteral("txt"));
    PutUnderControl(dm, path("c"), QStringLiteral("*"));
    const QStringList tabBefore = registrations();
    const QList<FileRow> others = ReadFileRows(dm, QStringLiteral("table1")).mid(0, 1);

    QFile::remove(path("b/gone.txt"));
    tree.file(QStringLiteral("b/grow.txt"), "grown");
    tree.file(QStringLiteral("b/same-size.txt"), "4321");
    QFile::setPermissions(path("b/locked.txt"), QFile::ReadOwner);
    ASSERT_TRUE(QFile::rename(path("b/old/moved.txt"), tree.dir(QStringLiteral("b/new")) + QStringLiteral("/moved.txt")));
    tree.file(QStringLiteral("b/fresh.txt"), "fresh");
    tree.file(QStringLiteral("b/skipped.doc"), "not a type of b");
    ASSERT_FALSE(found("b").isEmpty());

    UpdateControl(dm, path("b"));
    EXPECT_EQ(found("b"), QString());
    EXPECT_EQ(found("a"), QString());
    EXPECT_EQ(found("c"), QString());
    EXPECT_EQ(registrations(), tabBefore);
    EXPECT_EQ(ReadFileRows(dm, QStringLiteral("table1")).mid(0, 1), others) << "rows outside b keep their ids";
    EXPECT_EQ(baseline(), (QStringList{QStringLiteral("/a/keep.txt"), QStringLiteral("/b/fresh.txt"), QStringLiteral("/b/grow.txt"),
                                       QStringLiteral("/b/locked.txt"), QStringLiteral("/b/new/moved.txt"),
                                       QStringLiteral("/b/same-size.txt"), QStringLiteral("/c/keep.txt")}));
}

TEST_F(UpdateControlTest, ADirectoryRegisteredTwiceWithRowsWithoutOwnersGetsBothItsBaselinesAgain)
{
    tree.file(QStringLiteral("d/a.txt"), "a");
    tree.file(QStringLiteral("d/b.doc"), "b");
    PutUnderControl(dm, path("d"), QStringLiteral("txt"));
    PutUnderControl(dm, path("d"), QStringLiteral("*"));
    ForgetOwners(dm); // rows written before registrations owned them
    tree.file(QStringLiteral("d/a.txt"), "changed");
    tree.file(QStringLiteral("d/c.txt"), "new");

    UpdateControl(dm, path("d"));
    // As the two registrations would record them now: the txt files, then every file.
    QStringList rows;
    for (const FileRow& row : ReadFileRows(dm, QStringLiteral("table1")))
        rows.append(row.name);
    QStringList txt = rows.mid(0, 2), all = rows.mid(2);
    txt.sort();
    all.sort();
    EXPECT_EQ(txt, (QStringList{QStringLiteral("a.txt"), QStringLiteral("c.txt")}));
    EXPECT_EQ(all, (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.doc"), QStringLiteral("c.txt")}));
    EXPECT_EQ(QStringList{found("d")}, foundAfterFreshRegistrations({{"d", "txt"}, {"d", "*"}}, {"d"}));
    EXPECT_EQ(registrations().size(), 2);
}

TEST_F(UpdateControlTest, ADirectoryUnderControlInsideIsRecordedAgainWithItsOwnTypesWhenRowsHaveNoOwners)
{
    tree.file(QStringLiteral("d/top.txt"), "top");
    tree.file(QStringLiteral("d/in/a.txt"), "a");
    tree.file(QStringLiteral("d/in/b.doc"), "b");
    tree.file(QStringLiteral("d2/x.txt"), "beside, not inside");
    PutUnderControl(dm, path("d"), QStringLiteral("doc"));
    PutUnderControl(dm, path("d/in"), QStringLiteral("txt"));
    PutUnderControl(dm, path("d2"), QStringLiteral("*"));
    ForgetOwners(dm); // rows written before registrations owned them
    const QStringList tabBefore = registrations();
    tree.file(QStringLiteral("d/in/a.txt"), "changed");
    tree.file(QStringLiteral("d/in/new.txt"), "new");
    tree.file(QStringLiteral("d/in/new.doc"), "new");

    UpdateControl(dm, path("d"));
    const QList<const char*> dirs{"d/in", "d", "d2"};
    EXPECT_EQ((QStringList{found("d/in"), found("d"), found("d2")}),
              foundAfterFreshRegistrations({{"d", "doc"}, {"d/in", "txt"}, {"d2", "*"}}, dirs));
    EXPECT_EQ(registrations(), tabBefore);
    EXPECT_EQ(baseline(), (QStringList{QStringLiteral("/d/in/a.txt"), QStringLiteral("/d/in/b.doc"), QStringLiteral("/d/in/new.doc"),
                                       QStringLiteral("/d/in/new.txt"), QStringLiteral("/d2/x.txt")}));
    EXPECT_EQ(found("d/in"), QString()) << "each judged against its own rows, recorded again";

    // With the same types, nothing at all.
    PutUnderControl(dm, path("d2/sub"), QStringLiteral("*"));
    ForgetOwners(dm);
    tree.file(QStringLiteral("d2/sub/y.txt"), "y");
    tree.file(QStringLiteral("d2/x.txt"), "changed");
    UpdateControl(dm, path("d2"));
    EXPECT_EQ(found("d2/sub"), QString());
    EXPECT_EQ(found("d2"), QString());
}

TEST_F(UpdateControlTest, ADirectoryNotUnderControlIsAnErrorAndNothingChanges)
{
    tree.file(QStringLiteral("d/sub/a.txt"), "a");
    PutUnderControl(dm, path("d"), QStringLiteral("*"));
    const QList<FileRow> before = ReadFileRows(dm, QStringLiteral("table1"));
    for (const char* dir : {"d/sub", "", "e"}) {
        try {
            UpdateControl(dm, path(dir));
            FAIL() << "no error for " << dir;
        } catch (const Exception& error) {
            EXPECT_EQ(error.message(), QStringLiteral("Директория не стоит на учете: ") + path(dir));
        }
    }
    EXPECT_EQ(ReadFileRows(dm, QStringLiteral("table1")), before);
}

} // namespace
