#include "packages/dpkg_database.h"
#include "support/package_tree.h"
#include "support/qt_printers.h"
#include "support/temp_tree.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    return QString::fromUtf8(RunProgram(program, arguments)).trimmed();
}

QByteArray md5OfFile(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(in.readAll(), QCryptographicHash::Md5).toHex() : "-";
}

QString owners(const std::vector<PackageOwner>& found)
{
    QStringList names;
    for (const PackageOwner& owner : found)
        names.append(owner.name + u' ' + owner.version.value_or(QStringLiteral("-")));
    names.sort();
    return names.join(QStringLiteral(", "));
}

// A private tree with a merged /usr, where alpha is installed and upgraded,
// beta diverts one of alpha's files and the administrator another, and gamma
// is installed for two architectures: each file on disk is told its packages
// and the MD5 each recorded for it.
TEST(DpkgDatabaseTest, TellsTheOwnerAndMd5OfEachInstalledFile)
{
    TempTree root, work;
    root.file(QStringLiteral("var/lib/dpkg/status"));
    root.dir(QStringLiteral("var/lib/dpkg/info"));
    root.dir(QStringLiteral("var/lib/dpkg/updates"));
    for (const char* name : {"bin", "sbin", "lib"}) {
        root.dir(QStringLiteral("usr/") + QLatin1String(name));
        ASSERT_TRUE(QFile::link(QStringLiteral("usr/") + QLatin1String(name), root.path(QLatin1String(name))));
    }
    const QString arch = run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")});
    const QStringList dpkg = {QStringLiteral("--root=") + root.path(), QStringLiteral("--force-not-root"),
                              QStringLiteral("--force-bad-path"), QStringLiteral("--force-script-chrootless"),
                              QStringLiteral("--log=") + work.path(QStringLiteral("dpkg.log"))};
    const QStringList conffile = {QStringLiteral("/etc/alpha.conf")};
    const QString alpha1 = BuildPackage(work, QStringLiteral("alpha"), QStringLiteral("1.0"), arch,
        {{QStringLiteral("usr/bin/alpha-tool"), "one"}, {QStringLiteral("usr/share/alpha/old-only"), "old"},
         {QStringLiteral("etc/alpha.conf"), "setting=1\n"}}, conffile);
    const QString alpha2 = BuildPackage(work, QStringLiteral("alpha"), QStringLiteral("2.0"), arch,
        {{QStringLiteral("usr/bin/alpha-tool"), "two"}, {QStringLiteral("bin/alpha-legacy"), "legacy"},
         {QStringLiteral("usr/bin/shared-name"), "alpha's"}, {QStringLiteral("usr/share/doc/alpha/README"), "read me"},
         {QStringLiteral("etc/alpha.conf"), "setting=2\n"}}, conffile);
    const QString beta = BuildPackage(work, QStringLiteral("beta"), QStringLiteral("1.0"), QStringLiteral("all"),
        {{QStringLiteral("usr/bin/shared-name"), "beta's"}, {QStringLiteral("usr/share/doc/beta/README"), "beta"}});
    const QString foreign = arch == u"i386" ? QStringLiteral("amd64") : QStringLiteral("i386");
    QStringList gamma;
    for (const QString& architecture : {arch, foreign}) {
        gamma.append(BuildPackage(work, QStringLiteral("gamma"), QStringLiteral("1.0"), architecture,
                                  {{QStringLiteral("usr/share/gamma/data"), "same"}}, {}, QStringLiteral("Multi-Arch: same\n")));
    }
    run(QStringLiteral("dpkg"), dpkg + QStringList{QStringLiteral("--add-architecture"), foreign});
    run(QStringLiteral("dpkg-divert"), {QStringLiteral("--root=") + root.path(), QStringLiteral("--no-rename"),
        QStringLiteral("--package"), QStringLiteral("beta"), QStringLiteral("--divert"),
        QStringLiteral("/usr/bin/shared-name.distrib"), QStringLiteral("--add"), QStringLiteral("/usr/bin/shared-name")});
    run(QStringLiteral("dpkg-divert"), {QStringLiteral("--root=") + root.path(), QStringLiteral("--no-rename"),
        QStringLiteral("--local"), QStringLiteral("--divert"), QStringLiteral("/usr/share/doc/alpha/README.local"),
        QStringLiteral("--add"), QStringLiteral("/usr/share/doc/alpha/README")});
    run(QStringLiteral("dpkg"), dpkg + QStringList{QStringLiteral("-i"), alpha1});
    run(QStringLiteral("dpkg"), dpkg + QStringList{QStringLiteral("-i"), alpha2, beta} + gamma);
    root.file(QStringLiteral("usr/share/doc/alpha/README"), "the administrator's");
    root.file(QStringLiteral("etc/unowned.conf"), "x");

    const std::optional<DpkgDatabase> database = DpkgDatabase::open(root.path());
    ASSERT_TRUE(database);
    struct Case {
        const char* path;
        const char* owners;
    };
    const Case cases[] = {
        {"/usr/bin/alpha-tool", "alpha 2.0"},
        {"/bin/alpha-tool", "alpha 2.0"},
        {"/bin/alpha-legacy", "alpha 2.0"},
        {"/usr/bin/alpha-legacy", "alpha 2.0"},
        {"/etc/alpha.conf", "alpha 2.0"},
        {"/usr/bin/shared-name", "beta 1.0"},
        {"/bin/shared-name.distrib", "alpha 2.0"},
        {"/usr/share/doc/alpha/README", ""},
        {"/usr/share/doc/alpha/README.local", "alpha 2.0"},
        {"/usr/share/doc", "alpha 2.0, beta 1.0"},
        {"/usr/share/gamma/data", "gamma 1.0, gamma 1.0"},
        {"/bin", "alpha 2.0, beta 1.0"},
        {"/usr/share/alpha/old-only", ""},
        {"/etc/unowned.conf", ""},
    };
    for (const Case& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        SCOPED_TRACE(c.path);
        const std::vector<PackageOwner> found = database->ownerOf(path);
        EXPECT_EQ(owners(found), QString::fromUtf8(c.owners));
        for (const PackageOwner& owner : found) {
            if (QFileInfo(root.path() + path).isFile()) {
                EXPECT_EQ(QString::fromLatin1(database->md5Of(owner, path).value_or("none")),
                          QString::fromLatin1(md5OfFile(root.path() + path))) << owner.architecture.toStdString();
            }
        }
    }
    // Neither package has its own file where the other's stands.
    const PackageOwner alpha{QStringLiteral("alpha"), arch, QStringLiteral("2.0")};
    EXPECT_EQ(database->md5Of(alpha, QStringLiteral("/usr/bin/shared-name")), std::nullopt);
    EXPECT_EQ(database->md5Of(alpha, QStringLiteral("/usr/share/doc/alpha/README")), std::nullopt);
    EXPECT_EQ(database->md5Of({QStringLiteral("beta"), QStringLiteral("all"), QStringLiteral("1.0")},
                              QStringLiteral("/usr/bin/shared-name.distrib")), std::nullopt);
}

TEST(DpkgDatabaseTest, IsNoneWhereTheRootHasNoDpkg)
{
    TempTree root;
    root.dir(QStringLiteral("var/lib/dpkg"));
    EXPECT_FALSE(DpkgDatabase::open(root.path()));
}

} // namespace
