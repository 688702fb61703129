#include "packages/archive_records.h"
#include "packages/deb_contents.h"
#include "support/package_tree.h"
#include "support/qt_printers.h"
#include "support/temp_tree.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Read(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

// The test's package: an executable, a symlink, a file of a user the system
// does not know, and the md5sums debhelper would write; built with each
// compression dpkg-deb offers, and once with --root-owner-group.
struct Package {
    QString name = QStringLiteral("kvaren-probe");
    QString version = QStringLiteral("1:1.0-1");
    TempTree tree;
    QString deb(const QString& compression, bool rootOwner) const
    {
        return tree.path(QStringLiteral("out/%1-%2.deb")
                             .arg(compression, rootOwner ? QStringLiteral("root") : QStringLiteral("own")));
    }

    Package()
    {
        tree.file(QStringLiteral("pkg/DEBIAN/control"),
            "Package: kvaren-probe\nVersion: 1:1.0-1\nArchitecture: all\nMaintainer: Kvaren <test@kvaren.invalid>\n"
            "Description: probe of the archive chain\n");
        const QString tool = tree.file(QStringLiteral("pkg/usr/bin/probe"), "#!/bin/sh\necho probe\n");
        tree.file(QStringLiteral("pkg/usr/share/kvaren-probe/readme"), QByteArray(70000, 'r'));
        const QString owned = tree.file(QStringLiteral("pkg/var/lib/kvaren-probe/owned"), "owned\n");
        chmod(QFile::encodeName(tool).constData(), 0755);
        chmod(QFile::encodeName(owned).constData(), 0640);
        if (lchown(QFile::encodeName(owned).constData(), 4242, 4343) != 0 && getuid() == 0)
            throw std::runtime_error("cannot chown");
        if (symlink("probe", QFile::encodeName(tree.path(QStringLiteral("pkg/usr/bin/probe-link"))).constData()) != 0)
            throw std::runtime_error("cannot make a symlink");
        QProcess md5sum;
        md5sum.setWorkingDirectory(tree.path(QStringLiteral("pkg")));
        md5sum.start(QStringLiteral("md5sum"),
            { QStringLiteral("usr/bin/probe"), QStringLiteral("usr/share/kvaren-probe/readme"),
                QStringLiteral("var/lib/kvaren-probe/owned") });
        md5sum.waitForFinished(-1);
        tree.file(QStringLiteral("pkg/DEBIAN/md5sums"), md5sum.readAllStandardOutput());
        tree.dir(QStringLiteral("out"));
        for (const QString& compression : { QStringLiteral("xz"), QStringLiteral("zstd"), QStringLiteral("gzip") })
            for (const bool rootOwner : { false, true }) {
                QStringList arguments { QStringLiteral("-Z") + compression };
                if (rootOwner)
                    arguments << QStringLiteral("--root-owner-group");
                RunProgram(QStringLiteral("dpkg-deb"),
                    arguments
                        + QStringList {
                            QStringLiteral("--build"), tree.path(QStringLiteral("pkg")), deb(compression, rootOwner) });
            }
    }
};

const Package& ThePackage()
{
    static const Package package;
    return package;
}

enum class Fault { None, UnknownKey, ExpiredKey, SignedByOther, PackagesChanged, DebChanged, DebMissing };

// A root as apt leaves it after fetching the test's archive and its package.
const Signer& Trusted()
{
    static const Signer trusted(QStringLiteral("Kvaren archive"));
    return trusted;
}

void MakeRoot(TempTree& root, Fault fault)
{
    const Signer& trusted = Trusted();
    static const Signer stranger(QStringLiteral("Stranger"));
    static const Signer expired(QStringLiteral("Expired"), true);
    trusted.exportTo(root.path(QStringLiteral("etc/apt/trusted.gpg.d/kvaren.asc")), true);
    expired.exportTo(root.path(QStringLiteral("etc/apt/trusted.gpg.d/expired.gpg")), false);
    if (fault == Fault::SignedByOther) {
        stranger.exportTo(root.path(QStringLiteral("usr/share/keyrings/stranger.gpg")), false);
        root.file(QStringLiteral("etc/apt/sources.list.d/test.sources"),
            "Types: deb\nURIs: http://example.invalid/debian\nSuites: test\nComponents: main\n"
            "Signed-By: /usr/share/keyrings/stranger.gpg\n");
    }

    const QString deb = ThePackage().deb(QStringLiteral("xz"), true);
    const QByteArray contents = Read(deb);
    QByteArray packages = RunProgram(QStringLiteral("dpkg-deb"), { QStringLiteral("--field"), deb });
    packages
        += "Filename: pool/main/k/kvaren-probe/kvaren-probe_1.0-1_all.deb\nSize: " + QByteArray::number(contents.size())
        + "\nSHA256: " + QCryptographicHash::hash(contents, QCryptographicHash::Sha256).toHex() + "\n\n";
    const QString lists = QStringLiteral("var/lib/apt/lists/example.invalid_debian_dists_test_");
    const QString packagesFile = root.file(lists + QStringLiteral("main_binary-amd64_Packages"), packages);
    const QString release = root.file(QStringLiteral("Release"),
        "Origin: Kvaren\nSuite: test\nArchitectures: amd64\nComponents: main\nSHA256:\n "
            + QCryptographicHash::hash(packages, QCryptographicHash::Sha256).toHex() + ' '
            + QByteArray::number(packages.size()) + " main/binary-amd64/Packages\n");
    const Signer& signer = fault == Fault::UnknownKey ? stranger : fault == Fault::ExpiredKey ? expired : trusted;
    signer.clearSign(release, root.path(lists + QStringLiteral("InRelease")));

    if (fault == Fault::PackagesChanged)
        root.file(lists + QStringLiteral("main_binary-amd64_Packages"), packages.replace("probe of", "PROBE of"));
    RunProgram(QStringLiteral("gzip"), { QStringLiteral("-n"), packagesFile });

    if (fault != Fault::DebMissing) {
        QByteArray cached = contents;
        if (fault == Fault::DebChanged)
            cached[cached.size() - 1] = char(cached.back() ^ 1);
        root.file(QStringLiteral("var/cache/apt/archives/kvaren-probe_1%3a1.0-1_all.deb"), cached);
    }
}

struct ChainCase {
    const char* name;
    Fault fault;
    // cached, listed, signature, Packages, .deb
    std::array<bool, 5> links;
    const char* why;
};

// Each way the chain from a trusted key to the cached .deb can break is told
// at the link where it broke, and only there.
TEST(ArchiveTest, TellsWhichLinksOfTheChainHeld)
{
    const ChainCase cases[] = {
        { "good", Fault::None, { true, true, true, true, true }, "" },
        { "unknown key", Fault::UnknownKey, { true, true, false, false, false }, "NO_PUBKEY" },
        { "expired key", Fault::ExpiredKey, { true, true, false, false, false }, "EXPKEYSIG" },
        { "Signed-By other", Fault::SignedByOther, { true, true, false, false, false }, "NO_PUBKEY" },
        { "Packages changed", Fault::PackagesChanged, { true, true, true, false, false }, "SHA-256" },
        { ".deb changed", Fault::DebChanged, { true, true, true, true, false }, "SHA-256" },
        { ".deb missing", Fault::DebMissing, { false, false, false, false, false }, "нет в кэше" },
    };
    for (const ChainCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree root;
        MakeRoot(root, c.fault);
        ArchiveRecords records(root.path());
        const ArchiveCheck check
            = records.verify(QStringLiteral("kvaren-probe"), QStringLiteral("1:1.0-1"), QStringLiteral("all"));
        EXPECT_EQ((std::array<bool, 5> {
                      check.cached, check.listed, check.signatureHolds, check.packagesHolds, check.debHolds }),
            c.links);
        EXPECT_EQ(check.holds(), c.fault == Fault::None);
        EXPECT_EQ(check.signer, check.signatureHolds ? Trusted().fingerprint : QString());
        EXPECT_TRUE(check.failure.contains(QString::fromUtf8(c.why))) << check.failure.toStdString();
        EXPECT_EQ(check.failure.isEmpty(), c.fault == Fault::None);
        EXPECT_FALSE(check.failure.contains(u'\n'));
    }
}

// What the .deb holds is what dpkg-deb put in, however it compressed it and
// whoever it said owns the files.
TEST(ArchiveTest, ReadsTheDataTarballAsDpkgDebWroteIt)
{
    const Package& package = ThePackage();
    QMap<QString, QByteArray> md5sums;
    for (const QByteArray& line : Read(package.tree.path(QStringLiteral("pkg/DEBIAN/md5sums"))).split('\n'))
        if (!line.isEmpty())
            md5sums[u'/' + QString::fromUtf8(line.mid(34))] = line.left(32);

    for (const QString& compression : { QStringLiteral("xz"), QStringLiteral("zstd"), QStringLiteral("gzip") })
        for (const bool rootOwner : { false, true }) {
            SCOPED_TRACE((compression + (rootOwner ? QStringLiteral(" root") : QString())).toStdString());
            const std::vector<DebMember> members = DebContents(package.deb(compression, rootOwner));
            QStringList paths;
            for (const DebMember& member : members) {
                paths << member.path;
                const QByteArray source = QFile::encodeName(package.tree.path(QStringLiteral("pkg") + member.path));
                struct stat status { };
                ASSERT_EQ(lstat(source.constData(), &status), 0) << member.path.toStdString();
                EXPECT_EQ(member.mode, status.st_mode & 07777) << member.path.toStdString();
                const uid_t uid = rootOwner ? 0 : status.st_uid;
                EXPECT_EQ(member.uid, uid);
                EXPECT_EQ(member.gid, rootOwner ? 0 : status.st_gid);
                const passwd* user = getpwuid(uid);
                EXPECT_EQ(member.owner, user ? QString::fromUtf8(user->pw_name) : QString());
                const group* group = getgrgid(rootOwner ? 0 : status.st_gid);
                EXPECT_EQ(member.group, group ? QString::fromUtf8(group->gr_name) : QString());
                if (S_ISREG(status.st_mode)) {
                    EXPECT_EQ(member.type, DebMember::Type::File);
                    EXPECT_EQ(member.size, quint64(status.st_size));
                    EXPECT_EQ(member.md5, md5sums.value(member.path)) << member.path.toStdString();
                    EXPECT_EQ(member.sha256,
                        QCryptographicHash::hash(Read(QFile::decodeName(source)), QCryptographicHash::Sha256).toHex());
                } else if (S_ISLNK(status.st_mode)) {
                    EXPECT_EQ(member.type, DebMember::Type::Symlink);
                    EXPECT_EQ(member.target, QFile::symLinkTarget(QFile::decodeName(source)).section(u'/', -1));
                } else {
                    EXPECT_EQ(member.type, DebMember::Type::Directory);
                }
            }
            paths.sort();
            EXPECT_EQ(paths,
                (QStringList { "/", "/usr", "/usr/bin", "/usr/bin/probe", "/usr/bin/probe-link", "/usr/share",
                    "/usr/share/kvaren-probe", "/usr/share/kvaren-probe/readme", "/var", "/var/lib",
                    "/var/lib/kvaren-probe", "/var/lib/kvaren-probe/owned" }));
        }
}

} // namespace
