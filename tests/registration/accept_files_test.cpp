#include "common/exception.h"
#include "registration/accept_files.h"
#include "registration/put_under_control.h"
#include "rows/baseline_rows.h"
#include "rows/check_rows.h"
#include "rows/registration.h"
#include "seal/seal_rows.h"
#include "seal/sealed_change.h"
#include "support/database_fixture.h"

#include <QDir>
#include <QFile>

#include <sys/stat.h>

// Accepting a few names of a tree with every kind of finding: each accepted
// alone leaves every other finding reported, and nothing of its own, and the
// digest it keeps, made from the rows read before it and what it changed, is
// the one the rows read afresh give.
namespace {

using AcceptFilesTest = DatabaseFixture;

const QString kA = QStringLiteral(" изменены атрибуты файла,");

TEST_F(AcceptFilesTest, EachNameAcceptedAloneTakesItsFindingsAndLeavesTheOthers)
{
    struct Case {
        const char* what;
        QStringList names;
        QStringList accepted; // the lines, of every list, that go
    };
    const QString moved = QStringLiteral("old/moved.txt перемещен в new/moved.txt");
    const QList<Case> cases{
        {"a changed file", {QStringLiteral("change.txt")},
         {QStringLiteral("change.txt изменен размер файла,"), QStringLiteral("change.txt изменено содержание файла,")}},
        {"a deleted file", {QStringLiteral("gone.txt")}, {QStringLiteral("gone.txt")}},
        {"a new file, by its full path", {QStringLiteral("@fresh.txt")}, {QStringLiteral("fresh.txt")}},
        {"a moved file, by its new name", {QStringLiteral("new/moved.txt")}, {moved}},
        {"a moved file, by both names", {QStringLiteral("old/moved.txt"), QStringLiteral("new/moved.txt")}, {moved}},
        {"a new directory", {QStringLiteral("new")}, {QStringLiteral("new/")}},
        {"a directory's attributes", {QStringLiteral("sub/")}, {QStringLiteral("sub/") + kA}},
        {"a name with nothing to accept", {QStringLiteral("keep.txt")}, {}},
        {"a file that became a directory", {QStringLiteral("turned.txt")},
         {QStringLiteral("turned.txt"), QStringLiteral("turned.txt/")}},
    };
    for (int i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.what);
        const QString root = QStringLiteral("r%1/d/").arg(i);
        const QString d = tree.path(root.chopped(1));
        for (const char* name : {"keep.txt", "change.txt", "gone.txt", "old/moved.txt", "note.dat", "turned.txt"})
            tree.file(root + QString::fromLatin1(name), name);
        tree.dir(root + QStringLiteral("sub"));
        PutUnderControl(dm, d, QStringLiteral("txt"));
        SealDatabase(dm.IBQuery1, nullptr);
        tree.file(root + QStringLiteral("change.txt"), "changed");
        ASSERT_TRUE(QFile::remove(tree.path(root + QStringLiteral("gone.txt"))));
        tree.dir(root + QStringLiteral("new"));
        ASSERT_TRUE(QFile::rename(tree.path(root + QStringLiteral("old/moved.txt")),
                                  tree.path(root + QStringLiteral("new/moved.txt"))));
        tree.file(root + QStringLiteral("fresh.txt"), "fresh");
        ASSERT_TRUE(QFile::remove(tree.path(root + QStringLiteral("turned.txt"))));
        tree.dir(root + QStringLiteral("turned.txt"));
        ASSERT_EQ(chmod(QFile::encodeName(tree.path(root + QStringLiteral("sub"))).constData(), 0777), 0);
        const Checked before = check(d);
        ASSERT_EQ(before.foundBits(), 15);

        QStringList names = c.names;
        names.replaceInStrings(QStringLiteral("@"), d + u'/');
        const Registration registration = FindRegistration(dm.IBQuery1, d);
        RunChange(
            dm, []() -> SealKey { throw Exception(QStringLiteral("the database is kept without a key")); },
            [&] { return QSet<qint32>{registration.id}; },
            [&] { return AcceptFiles(dm, d, names).registrations; }, ChangeReach::NamedFiles);
        EXPECT_EQ(ReadSealTable(dm.IBQuery1).of(registration.id)->digest,
                  DigestHex(RegistrationDigest(dm.IBQuery1, registration, SealFieldSet())));
        const Checked after = check(d);
        for (const auto& [then, now] : {std::pair(before.deleted, after.deleted), std::pair(before.moved, after.moved),
                                        std::pair(before.added, after.added), std::pair(before.changed, after.changed)}) {
            QStringList left = then;
            for (const QString& line : c.accepted)
                left.removeAll(line);
            EXPECT_EQ(now, left);
        }
        // Refused before anything changes: a name outside the directory, and
        // a file of a type it does not record.
        for (const QString& refused : {QStringLiteral("/etc/hosts"), QStringLiteral("note.dat")})
            EXPECT_THROW(AcceptFiles(dm, d, {QStringLiteral("change.txt"), refused}), Exception) << refused.toStdString();
        const Checked still = check(d);
        EXPECT_EQ(still.changed, after.changed);
    }
}


// The rows picked from a registration's rows read whole are those read by
// name, of every kind of pick: they stand in for them in an accept.
TEST_F(AcceptFilesTest, RowsPickedFromTheWholeAreTheRowsReadByName)
{
    for (const char* name : {"a.txt", "b.txt", "sub/a.txt", "sub/c.txt", "sub/deep/a.txt", "subway/c.txt", "x y.txt"})
        file(QString::fromLatin1(name), name);
    PutUnderControl(dm, dir(), QStringLiteral("txt"));
    const Registration registration = FindRegistration(dm.IBQuery1, dir());
    DirectoryTable dirs;
    CheckRows whole(dirs);
    ReadBaselineRows(dm.IBQuery1, registration, whole);
    const auto at = [&](const char* place, QStringList names) {
        return QHash<QString, QStringList>{{dir() + QString::fromLatin1(place), names}};
    };
    const QString a = QStringLiteral("a.txt"), c = QStringLiteral("c.txt");
    const QList<std::pair<const char*, BaselineNames>> picks{
        {"a name anywhere", {{}, {a}, {}}},
        {"names in one directory", {at("/sub", {a, c}), {}, {}}},
        {"a tree, not the one its name begins", {{}, {}, {dir() + QStringLiteral("/sub")}}},
        {"the whole directory as a tree", {{}, {}, {dir()}}},
        {"all at once, each row once", {at("", {QStringLiteral("x y.txt")}), {c}, {dir() + QStringLiteral("/sub/deep")}}},
        {"a name nowhere", {{}, {QStringLiteral("none.txt")}, {}}},
    };
    for (const auto& [what, names] : picks) {
        SCOPED_TRACE(what);
        CheckRows read(dirs), picked(dirs);
        ReadBaselineRowsNamed(dm.IBQuery1, registration, names, read);
        PickBaselineRowsNamed(whole, names, picked);
        QStringList readNames, pickedNames;
        for (qsizetype i = 0; i < read.size(); ++i)
            readNames.append(read.fullName(read[i]));
        for (qsizetype i = 0; i < picked.size(); ++i)
            pickedNames.append(picked.fullName(picked[i]));
        EXPECT_EQ(sorted(pickedNames), sorted(readNames));
        EXPECT_EQ(pickedNames.size(), QSet<QString>(pickedNames.begin(), pickedNames.end()).size());
    }
}

} // namespace
