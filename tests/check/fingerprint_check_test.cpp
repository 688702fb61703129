#include "bits/file_checksums.h"
#include "check/check_run.h"
#include "check/reference_judge.h"
#include "check/report_json.h"
#include "registration/put_under_control.h"
#include "storage/connect.h"
#include "support/database_fixture.h"

#include <QFile>
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

    friend void PrintTo(const TamperCase& tamper, std::ostream* out) { *out << tamper.name; }
};

const QString kA = QStringLiteral(" изменены атрибуты файла,");
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
         {}, {}, {}, {QStringLiteral("etc/hosts") + kA}},
        {"link retargeted to a copy", false,
         [](TempTree& tree) {
             tree.file(QStringLiteral("copy"), "#!/bin/sh\n");
             QFile::remove(tree.path(QStringLiteral("d/bin/sh")));
             ASSERT_EQ(symlink(native(tree.path(QStringLiteral("copy"))), native(tree.path(QStringLiteral("d/bin/sh")))), 0);
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
    PutUnderControl(dm, dir(), QStringLiteral("*"));
    tamper.change(tree);
    const Checked report = check();
    EXPECT_EQ(report.deleted, tamper.deleted);
    EXPECT_EQ(report.moved, tamper.moved);
    EXPECT_EQ(report.added, tamper.added);
    EXPECT_EQ(report.changed, tamper.changed);
    if (tamper.fingerprintOnly) {
        EXPECT_EQ(ReferenceCheck(dm, dir()).foundBits(), 0);
    }
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
        EXPECT_EQ(dm.IBQuery1.field(2).toString(), QString::fromLatin1(sum.readAllStandardOutput().left(64)));
    }
    EXPECT_EQ(rows, 7);
}

} // namespace
