#include "bits/file_checksums.h"
#include "check/check_run.h"
#include "check/judge_directories.h"
#include "check/report_json.h"
#include "check/report_text.h"
#include "registration/put_under_control.h"
#include "registration/update_control.h"
#include "storage/connect.h"
#include "support/database_fixture.h"
#include "support/reference/check_reference_judge.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>
#include <unistd.h>

// The changes that the checksums and the attribute text cannot see, each made
// on a tree of its own and each to be reported; an unchanged tree stays clean.
// The reference check's per-file statements, which see only those columns,
// report none of the changes that only a fingerprint shows.
namespace {

// A file whose two checksums stay the same when two aligned 4-byte groups
// 131,068 bytes apart trade places.
QByteArray forgeable()
{
    QByteArray bytes(140000, '\0');
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 7919) >> 3);
    return bytes;
}

void swapGroups(const QString& path)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    const QByteArray first = bytes.mid(64, 4);
    bytes.replace(64, 4, bytes.mid(64 + 131068, 4));
    bytes.replace(64 + 131068, 4, first);
    file.seek(0);
    file.write(bytes);
}

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

struct TamperCase {
    const char* name;
    bool needsRoot;
    std::function<void(TempTree&)> change;
    // The report's lines, with the tree's path cut.
    QStringList deleted, moved, added, changed;
    // Whether only a fingerprint shows the change.
    bool fingerprintOnly = true;
    // Made before the tree is put under control.
    std::function<void(TempTree&)> prepare = {};

    friend void PrintTo(const TamperCase& tamper, std::ostream* out) { *out << tamper.name; }
};

const QString kA = QStringLiteral(" изменены атрибуты файла,");
// Runs a system tool on names below the tree's d ("@name"); skips the test
// where it fails, as where the file system keeps no such attribute.
void tool(TempTree& tree, const char* program, QStringList args)
{
    for (QString& arg : args)
        if (arg.startsWith(u'@'))
            arg = tree.path(QStringLiteral("d/") + arg.mid(1));
    QProcess run;
    run.start(QString::fromLatin1(program), args);
    if (!run.waitForFinished() || run.exitStatus() != QProcess::NormalExit || run.exitCode() != 0)
        GTEST_SKIP() << program << " " << args.join(u' ').toStdString() << ": "
                     << run.readAllStandardError().toStdString();
}

std::function<void(TempTree&)> running(const char* program, QStringList args)
{
    return [=](TempTree& tree) { tool(tree, program, args); };
}

const QString kC = QStringLiteral(" изменено содержание файла,");
const QString kS = QStringLiteral(" изменен размер файла,");

QList<TamperCase> tamperCases()
{
    auto chmodTo = [](const char* file, mode_t mode) {
        return [=](TempTree& tree) { ASSERT_EQ(chmod(native(tree.path(QStringLiteral("d/") + QString::fromUtf8(file))), mode), 0); };
    };
    return {
        {"unchanged", false, [](TempTree&) {}, {}, {}, {}, {}},
        {"two groups swapped", false,
         [](TempTree& tree) {
             const QString big = tree.path(QStringLiteral("d/big.bin"));
             const FileSums before = FileChecksums(big);
             swapGroups(big);
             const FileSums after = FileChecksums(big);
             ASSERT_EQ(std::tuple(before.crc1, before.crc2), std::tuple(after.crc1, after.crc2))
                 << "the checksums alone do not see this";
         },
         {}, {}, {}, {QStringLiteral("big.bin") + kC}},
        {"setuid", false, chmodTo("bin/id", 04755), {}, {}, {}, {QStringLiteral("bin/id") + kA}},
        {"writable by others", false, chmodTo("etc/hosts", 0646), {}, {}, {}, {QStringLiteral("etc/hosts") + kA}},
        {"secret key readable", false, chmodTo("etc/key", 0644), {}, {}, {}, {QStringLiteral("etc/key") + kA}},
        {"owner", true,
         [](TempTree& tree) { ASSERT_EQ(lchown(native(tree.path(QStringLiteral("d/etc/hosts"))), 1, -1), 0); },
         {}, {}, {}, {QStringLiteral("etc/hosts") + kA}},
        {"group", true,
         [](TempTree& tree) { ASSERT_EQ(lchown(native(tree.path(QStringLiteral("d/etc/hosts"))), -1, 1), 0); },
         {}, {}, {}, {QStringLiteral("etc/hosts") + kA}},
        {"file turned into a link to its twin", false,
         [](TempTree& tree) {
             tree.file(QStringLiteral("twin"), "127.0.0.1 localhost\n");
             QFile::remove(tree.path(QStringLiteral("d/etc/hosts")));
             ASSERT_EQ(symlink(native(tree.path(QStringLiteral("twin"))), native(tree.path(QStringLiteral("d/etc/hosts")))), 0);
         },
         {}, {}, {}, {QStringLiteral("etc/hosts") + kS, QStringLiteral("etc/hosts") + kA, QStringLiteral("etc/hosts") + kC},
         false},
        {"link retargeted to a text as long", false,
         [](TempTree& tree) {
             QFile::remove(tree.path(QStringLiteral("d/bin/sh")));
             ASSERT_EQ(symlink("sh.evil", native(tree.path(QStringLiteral("d/bin/sh")))), 0);
         },
         {}, {}, {}, {QStringLiteral("bin/sh") + kA}},
        {"planted FIFO", false,
         [](TempTree& tree) { ASSERT_EQ(mkfifo(native(tree.path(QStringLiteral("d/etc/pipe"))), 0600), 0); },
         {}, {}, {QStringLiteral("etc/pipe")}, {}, false},
        {"zeros appended to an empty file", false,
         [](TempTree& tree) { tree.file(QStringLiteral("d/etc/empty"), QByteArray(4096, '\0')); },
         {}, {}, {}, {QStringLiteral("etc/empty") + kS, QStringLiteral("etc/empty") + kC}, false},
        {"moved and made setuid", false,
         [](TempTree& tree) {
             tree.dir(QStringLiteral("d/usr"));
             ASSERT_TRUE(QFile::rename(tree.path(QStringLiteral("d/bin/id")), tree.path(QStringLiteral("d/usr/id"))));
             ASSERT_EQ(chmod(native(tree.path(QStringLiteral("d/usr/id"))), 04755), 0);
         },
         {}, {QStringLiteral("bin/id перемещен в usr/id")}, {QStringLiteral("usr/")}, {QStringLiteral("usr/id") + kA}, false},
        // Beyond the mode bits.
        {"capability given", true, running("setcap", {"cap_setuid+ep", "@bin/id"}), {}, {}, {}, {"bin/id" + kA}},
        {"capability taken away", true, running("setcap", {"-r", "@bin/id"}), {}, {}, {}, {"bin/id" + kA}, true,
         running("setcap", {"cap_net_raw+ep", "@bin/id"})},
        {"user attribute added", true, running("setfattr", {"-n", "user.note", "-v", "x", "@etc/hosts"}), {}, {}, {},
         {"etc/hosts" + kA}},
        {"trusted attribute changed", true, running("setfattr", {"-n", "trusted.x", "-v", "2", "@etc/key"}), {}, {},
         {}, {"etc/key" + kA}, true, running("setfattr", {"-n", "trusted.x", "-v", "1", "@etc/key"})},
        {"ACL grants reading", true, running("setfacl", {"-m", "u:nobody:r", "@etc/key"}), {}, {}, {},
         {"etc/key" + kA}},
        {"ACL removed", true, running("setfacl", {"-b", "@etc/key"}), {}, {}, {}, {"etc/key" + kA}, true,
         running("setfacl", {"-m", "u:nobody:r", "@etc/key"})},
        {"made immutable", true, running("chattr", {"+i", "@etc/hosts"}), {}, {}, {}, {"etc/hosts" + kA}},
        {"made append only", true, running("chattr", {"+a", "@etc/hosts"}), {}, {}, {}, {"etc/hosts" + kA}},
        {"device numbers", true,
         [](TempTree& tree) {
             QFile::remove(tree.path(QStringLiteral("d/etc/sda")));
             tool(tree, "mknod", {"-m", "0660", "@etc/sda", "b", "8", "1"});
         },
         {}, {}, {}, {"etc/sda" + kA}, true, running("mknod", {"-m", "0660", "@etc/sda", "b", "8", "0"})},
        // The directories themselves.
        {"directory made writable by all", false, chmodTo("etc", 0777), {}, {}, {}, {"etc/" + kA}},
        {"directory given to another owner", true,
         [](TempTree& tree) { ASSERT_EQ(lchown(native(tree.path(QStringLiteral("d/etc"))), 1, -1), 0); },
         {}, {}, {}, {"etc/" + kA}},
        {"sticky bit stripped", false, chmodTo("spool", 0777), {}, {}, {}, {"spool/" + kA}, true,
         [](TempTree& tree) { ASSERT_EQ(chmod(native(tree.dir(QStringLiteral("d/spool"))), 01777), 0); }},
        {"directory given an attribute", true, running("setfattr", {"-n", "user.x", "-v", "1", "@bin"}), {}, {}, {},
         {"bin/" + kA}},
        {"registered directory made writable by all", false,
         [](TempTree& tree) { ASSERT_EQ(chmod(native(tree.path(QStringLiteral("d"))), 0777), 0); },
         {}, {}, {}, {kA}},
        {"empty directory with an odd name", false, [](TempTree& tree) { tree.dir(QStringLiteral("d/etc/... ")); },
         {}, {}, {"etc/... /"}, {}},
        {"empty directory removed", false,
         [](TempTree& tree) { ASSERT_TRUE(QDir().rmdir(tree.path(QStringLiteral("d/empty.d")))); },
         {"empty.d/"}, {}, {}, {}, true, [](TempTree& tree) { tree.dir(QStringLiteral("d/empty.d")); }},
        {"carrying all of it unchanged", true, [](TempTree&) {}, {}, {}, {}, {}, true,
         [](TempTree& tree) {
             tool(tree, "setcap", {"cap_net_raw+ep", "@bin/id"});
             tool(tree, "setfacl", {"-m", "u:nobody:r", "@etc/key"});
             tool(tree, "setfattr", {"-n", "user.note", "-v", "x", "@etc/hosts"});
             tool(tree, "chattr", {"+i", "@etc/hosts"});
         }},
    };
}

// A small /etc and /bin under root.
void plant(TempTree& tree, const QString& root)
{
    auto file = [&](const char* name, const QByteArray& contents, mode_t mode) {
        const QString path = tree.file(root + u'/' + QString::fromUtf8(name), contents);
        ASSERT_EQ(chmod(native(path), mode), 0);
    };
    file("etc/hosts", "127.0.0.1 localhost\n", 0644);
    file("etc/key", "secret", 0600);
    file("etc/empty", QByteArray(), 0644);
    file("bin/id", "\x7f" "ELF binary", 0755);
    file("bin/sh.real", "#!/bin/sh\n", 0755);
    file("big.bin", forgeable(), 0644);
    ASSERT_EQ(symlink("sh.real", native(tree.path(root + QStringLiteral("/bin/sh")))), 0);
}

using FingerprintCheckTest = DatabaseFixture;

class TamperTest : public DatabaseFixture, public ::testing::WithParamInterface<TamperCase> {};

TEST_P(TamperTest, IsReportedAndOnlyFingerprintsSeeWhatTheColumnsCannot)
{
    const TamperCase& tamper = GetParam();
    if (tamper.needsRoot && geteuid() != 0)
        GTEST_SKIP() << "changing a file's owner needs root";
    plant(tree, QStringLiteral("d"));
    // Flags that keep a file from being removed are cleared for the tree to go.
    struct ClearFlags {
        TempTree& tree;
        ~ClearFlags() { QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-R"), QStringLiteral("-ia"), tree.path()}); }
    } clear{tree};
    if (tamper.prepare)
        tamper.prepare(tree);
    if (IsSkipped())
        return;
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    tamper.change(tree);
    if (IsSkipped())
        return;
    const Checked report = check();
    EXPECT_EQ(report.deleted, tamper.deleted);
    EXPECT_EQ(report.moved, tamper.moved);
    EXPECT_EQ(report.added, tamper.added);
    EXPECT_EQ(report.changed, tamper.changed);
    if (tamper.fingerprintOnly) {
        EXPECT_EQ(ReferenceCheck(dm, dir()).foundBits(), 0);
    }
    const Checked again = check();
    EXPECT_EQ(std::tie(again.deleted, again.moved, again.added, again.changed),
              std::tie(report.deleted, report.moved, report.added, report.changed))
        << "a second check reports the same";
}

INSTANTIATE_TEST_SUITE_P(EveryTampering, TamperTest, ::testing::ValuesIn(tamperCases()),
                         [](const ::testing::TestParamInfo<TamperCase>& info) {
                             QString name = QString::fromUtf8(info.param.name);
                             name.replace(u' ', u'_');
                             return name.toStdString();
                         });

TEST_F(FingerprintCheckTest, TheJsonReportSaysWhatEachFieldWasAndIs)
{
    plant(tree, QStringLiteral("d"));
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    ASSERT_EQ(chmod(native(tree.path(QStringLiteral("d/bin/id"))), 04755), 0);
    tree.file(QStringLiteral("d/etc/hosts"), "0.0.0.0 localhost\n");
    const QJsonArray changed = QJsonDocument::fromJson(ReportJson(dir(), RunCheck(dm, dir())))[u"changed"].toArray();
    ASSERT_EQ(changed.size(), 2);
    const bool idFirst = changed[0].toObject()[u"file"].toString().endsWith(u"/id");
    const QJsonObject id = changed[idFirst ? 0 : 1].toObject();
    const QJsonObject hosts = changed[idFirst ? 1 : 0].toObject();
    EXPECT_EQ(id[u"before"][u"mode"].toString() + u'>' + id[u"after"][u"mode"].toString(), u"0755>4755");
    EXPECT_EQ(id[u"after"][u"type"].toString(), u"file");
    EXPECT_EQ(id[u"after"][u"uid"].toInteger(), qint64(geteuid()));
    EXPECT_TRUE(hosts[u"contents"].toBool());
    EXPECT_EQ(hosts[u"after"][u"sha256"].toString().size(), 64);
    EXPECT_NE(hosts[u"before"][u"sha256"], hosts[u"after"][u"sha256"]);
}

// The fingerprint rows against what the system's own tools read.
TEST_F(FingerprintCheckTest, TheRowsHoldWhatSha256sumAndStatRead)
{
    plant(tree, QStringLiteral("d"));
    PutUnderControl(dm, tree.path(QStringLiteral("d")), QStringLiteral("*"));
    dm.IBQuery1.openStatement(Statement(u"select table1.full_path, table1.file_name, fingerprint.sha256,"
                                        u" fingerprint.mode, fingerprint.owner_id, fingerprint.group_id,"
                                        u" fingerprint.link_target from table1 join fingerprint"
                                        u" on fingerprint.file_id=table1.id"));
    int rows = 0;
    for (bool more = dm.IBQuery1.hasRow(); more; more = dm.IBQuery1.next(), ++rows) {
        const QString path = dm.IBQuery1.field(0).toString() + u'/' + dm.IBQuery1.field(1).toString();
        SCOPED_TRACE(path.toStdString());
        QProcess stat;
        stat.start(QStringLiteral("stat"), {QStringLiteral("-c"), QStringLiteral("%f %u %g %N"), path});
        ASSERT_TRUE(stat.waitForFinished());
        const QStringList fields = QString::fromUtf8(stat.readAllStandardOutput()).trimmed().split(u' ');
        EXPECT_EQ(dm.IBQuery1.field(3).toLongLong(), fields[0].toLongLong(nullptr, 16));
        EXPECT_EQ(dm.IBQuery1.field(4).toString(), fields[1]);
        EXPECT_EQ(dm.IBQuery1.field(5).toString(), fields[2]);
        const bool link = fields.size() > 4; // "'name' -> 'target'"
        EXPECT_EQ(dm.IBQuery1.field(6).toString(), link ? fields.last().mid(1).chopped(1) : QString());
        QProcess sum;
        sum.start(QStringLiteral("sha256sum"), {path});
        ASSERT_TRUE(sum.waitForFinished());
        // A link is never read through.
        EXPECT_EQ(dm.IBQuery1.field(2).toString(), link ? QString() : QString::fromLatin1(sum.readAllStandardOutput().left(64)));
    }
    EXPECT_EQ(rows, 7);
}

// Shown as getcap, getfacl, lsattr and getfattr -e hex show them.
TEST_F(FingerprintCheckTest, TheJsonReportShowsWhatLiesBeyondTheModeAsItsToolsDo)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "capabilities, inode flags and devices need root";
    plant(tree, QStringLiteral("d"));
    struct ClearFlags {
        QString hosts;
        ~ClearFlags() { QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), hosts}); }
    } clear{tree.path(QStringLiteral("d/etc/hosts"))};
    tool(tree, "mknod", {"-m", "0660", "@etc/sda", "b", "8", "0"});
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    tool(tree, "setcap", {"cap_setuid+ep", "@bin/id"});
    tool(tree, "setfacl", {"-m", "u:nobody:r", "@etc/key"});
    tool(tree, "chattr", {"+i", "@etc/hosts"});
    tool(tree, "setfattr", {"-n", "user.note", "-v", "hello", "@bin/sh.real"});
    tool(tree, "setfattr", {"-n", "user.raw", "-v", "0x00ff", "@bin/sh.real"});
    QFile::remove(tree.path(QStringLiteral("d/etc/sda")));
    tool(tree, "mknod", {"-m", "0660", "@etc/sda", "b", "8", "1"});
    if (IsSkipped())
        return;

    QHash<QString, QJsonObject> changed;
    for (const QJsonValue& entry : QJsonDocument::fromJson(ReportJson(dir(), RunCheck(dm, dir())))[u"changed"].toArray())
        changed.insert(entry[u"file"].toString().mid(dir().size() + 1), entry.toObject());
    ASSERT_EQ(changed.size(), 5) << QStringList(changed.keys()).join(u' ').toStdString();
    auto was = [&](const char* file, const char16_t* field) {
        const QJsonObject entry = changed.value(QString::fromUtf8(file));
        auto shown = [](const QJsonValue& value) { return value.isNull() ? QStringLiteral("none") : value.toString(); };
        return shown(entry[u"before"][field]) + QStringLiteral(" -> ") + shown(entry[u"after"][field]);
    };
    EXPECT_EQ(was("bin/id", u"capabilities"), u"none -> cap_setuid=ep");
    EXPECT_EQ(was("etc/key", u"acl"), u"none -> u::rw-,u:nobody:r--,g::---,m::r--,o::---");
    EXPECT_EQ(was("etc/hosts", u"flags"), u"------------------- -> ----i--------------");
    EXPECT_EQ(was("etc/sda", u"device"), u"8:0 -> 8:1");
    const QJsonObject xattrs = changed.value(QStringLiteral("bin/sh.real"))[u"after"][u"xattrs"].toObject();
    EXPECT_EQ(xattrs, (QJsonObject{{QStringLiteral("user.note"), QStringLiteral("hello")},
                                   {QStringLiteral("user.raw"), QStringLiteral("0x00ff")}}));
}

// A database written before these were kept: no directory rows, and
// fingerprints without attributes, flags or device numbers. Nothing it lacks
// is a change, until its next update records it.
TEST_F(FingerprintCheckTest, AnOlderDatabaseChecksCleanUntilItsNextUpdateRecordsWhatItLacked)
{
    plant(tree, QStringLiteral("d"));
    tree.dir(QStringLiteral("d/spool"));
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    dm.IBQuery1.executeStatement(Statement(u"update fingerprint set xattrs=null, device_or_flags=null"));
    dm.IBQuery1.executeStatement(Statement(u"delete from directory_print"));
    tool(tree, "setfattr", {"-n", "user.note", "-v", "x", "@etc/hosts"});
    if (IsSkipped())
        return;
    tree.dir(QStringLiteral("d/new.d"));
    EXPECT_EQ(check().foundBits(), 0);

    UpdateControl(dm, dir());
    tool(tree, "setfattr", {"-x", "user.note", "@etc/hosts"});
    ASSERT_EQ(chmod(native(tree.path(QStringLiteral("d/spool"))), 0777), 0);
    EXPECT_EQ(check().changed, (QStringList{"spool/" + kA, "etc/hosts" + kA}));
}

// Links recorded when a walk still read what they led to, whose size,
// checksums and digest were the target's (or 0, for a link to no file): they
// compare by their own text, mode, owner and group until their next update
// records them as links, whatever happened to their targets.
TEST_F(FingerprintCheckTest, LinksRecordedByWhatTheyLedToCompareByTheirOwnText)
{
    file(QStringLiteral("target.txt"), "contents");
    ASSERT_EQ(symlink("target.txt", native(tree.path(QStringLiteral("d/to-file")))), 0);
    ASSERT_EQ(symlink("/nowhere", native(tree.path(QStringLiteral("d/dangling")))), 0);
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    dm.IBQuery1.executeStatement(Statement(u"update table1 set file_size=8, crc1=4660, crc2=-5, atr='101' where file_name='to-file'"));
    dm.IBQuery1.executeStatement(Statement(u"update table1 set file_size=0 where file_name='dangling'"));
    dm.IBQuery1.executeStatement(Statement(QStringLiteral("update fingerprint set sha256='%1' where file_id="
                                                          "(select id from table1 where file_name='to-file')")
                                               .arg(QString(64, u'a'))));
    file(QStringLiteral("target.txt"), "changed at length");
    EXPECT_EQ(check().changed, (QStringList{QStringLiteral("target.txt") + kS, QStringLiteral("target.txt") + kC}));

    ASSERT_EQ(unlink(native(tree.path(QStringLiteral("d/dangling")))), 0);
    ASSERT_EQ(symlink("/elsewhere", native(tree.path(QStringLiteral("d/dangling")))), 0);
    EXPECT_TRUE(check().changed.contains(QStringLiteral("dangling") + kA));
}

// One that may not be listed, as for a user other than root.
TEST(JudgeDirectoriesTest, ADirectoryThatCouldNotBeLookedAtIsNeitherNewNorDeletedNorChanged)
{
    Fingerprint open;
    open.mode = S_IFDIR | 0755;
    Fingerprint shut = open;
    shut.mode = S_IFDIR | 0000;
    const DirectoryPrints recorded{{QStringLiteral("/d"), open}, {QStringLiteral("/d/was"), open}};
    const DirectoryPrints walked{{QStringLiteral("/d"), shut}, {QStringLiteral("/d/was"), std::nullopt},
                                 {QStringLiteral("/d/came"), std::nullopt}, {QStringLiteral("/d/new"), open}};
    CheckReport report;
    JudgeDirectories(recorded, walked, report);
    EXPECT_EQ(ReportText(report).split(u'\n').filter(QStringLiteral("/d")),
              (QStringList{QStringLiteral("/d/new/"), QStringLiteral("/d/ изменены атрибуты файла,")}));
}

} // namespace
