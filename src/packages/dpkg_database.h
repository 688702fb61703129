#pragma once

#include "packages/dpkg_diversions.h"
#include "packages/installed_package.h"
#include "packages/merged_usr.h"
#include "packages/package_owner.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class PathOwnerIndex;

// What dpkg recorded about the system under a root: the installed packages
// from its status file at once, the paths and MD5 sums of each package when
// asked. Paths are absolute as seen from inside the root ("/usr/bin/x" for
// root/usr/bin/x) and name files as they are on disk: a merged /usr and
// diversions are accounted for. Not for use from two threads at once: the
// owner index is built by the first ownerOf.
class DpkgDatabase {
public:
    // The database under root (var/lib/dpkg), none where root has no status
    // file there, as on a system without dpkg.
    static std::optional<DpkgDatabase> open(const QString& root = QStringLiteral("/"));

    DpkgDatabase(DpkgDatabase&&) noexcept;
    DpkgDatabase& operator=(DpkgDatabase&&) noexcept;
    ~DpkgDatabase();

    const QString& root() const { return m_root; }
    const std::vector<InstalledPackage>& packages() const { return m_packages; }
    // The installed package name of architecture, or null.
    const InstalledPackage* package(const QString& name, const QString& architecture) const;

    // The paths package's .list names, as dpkg wrote them.
    QStringList listedPaths(const InstalledPackage& package) const;
    // Package's .md5sums: absolute path as dpkg wrote it, MD5 in hex.
    QHash<QString, QByteArray> md5sums(const InstalledPackage& package) const;

    // What dpkg recorded of package's files (see PackageFilesText).
    QByteArray filesText(const InstalledPackage& package) const;
    // Whether package lists a file at or below dir (canonical, see
    // canonical()): its list alone is read.
    bool listsBelow(const InstalledPackage& package, QByteArrayView dir) const;
    // path as the texts and the owner index spell it: merged /usr applied.
    QByteArray canonical(const QString& path) const { return key(path); }

    // The packages whose file is at path: none for a file no package has,
    // several for a directory or a file shared by Multi-Arch: same packages.
    // At a diversion's "to" the owners are the packages that ship the
    // original; at its "from", the diverting package, or none for a local
    // diversion.
    std::vector<PackageOwner> ownerOf(const QString& path) const;

    // Where package ships the file that is at path on disk (canonical, see
    // canonical()): path itself, or the original of a diversion that put its
    // file here; none where the package's file is not here (a diversion put
    // it elsewhere).
    std::optional<QByteArray> shippedPath(const PackageOwner& package, const QString& path) const;

    // The MD5 (hex) that package recorded for its file at path: from its
    // .md5sums, or for a conffile from the status file. None where package
    // has no file there.
    std::optional<QByteArray> md5Of(const PackageOwner& package, const QString& path) const;

private:
    DpkgDatabase(QString root, std::vector<InstalledPackage> packages, std::vector<Diversion> diversions);

    QString admindir() const;
    QByteArray key(const QString& path) const;
    const Diversion* divertedFrom(const QByteArray& key) const;
    const Diversion* divertedTo(const QByteArray& key) const;
    const PathOwnerIndex& index() const;
    PackageOwner owner(const InstalledPackage& package) const;

    QString m_root;
    std::vector<InstalledPackage> m_packages;
    std::vector<Diversion> m_diversions;
    MergedUsr m_mergedUsr;
    // Canonical paths of m_diversions' ends, to their index there.
    QHash<QByteArray, qsizetype> m_byFrom;
    QHash<QByteArray, qsizetype> m_byTo;
    mutable std::unique_ptr<PathOwnerIndex> m_index;
    // Each package's .md5sums by canonical path, read when first asked: a
    // report asks of many files of the same packages.
    mutable QHash<const InstalledPackage*, QHash<QByteArray, QByteArray>> m_md5sums;
};
