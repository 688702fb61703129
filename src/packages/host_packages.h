#pragma once

#include "packages/archive_records.h"
#include "packages/deb_contents.h"
#include "packages/dpkg_database.h"
#include "packages/package_owner.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <map>
#include <memory>
#include <optional>
#include <tuple>

// A package version as the archive has it, once its cached .deb traced back
// to a trusted key (see ArchiveRecords::verify).
struct ArchivedPackage {
    bool holds = false;
    QString deb;
    // The .deb's own md5sums by path as on disk (see DpkgDatabase::canonical);
    // conffiles are not among them.
    QHash<QByteArray, QByteArray> md5sums;
    // The data tarball's members by path as on disk, each hard link with its
    // file's contents; read when first asked (see HostPackages::data).
    std::optional<QHash<QByteArray, DebMember>> members;
    // How many names each regular file has in the tarball.
    QHash<QByteArray, quint32> names;
};

// What the package manager under root says now, read once for all the
// checks of one command: dpkg's database, apt's lists, and the cached .debs
// of the packages asked about. Not for use from two threads at once.
class HostPackages {
public:
    explicit HostPackages(QString root);
    ~HostPackages();
    HostPackages(const HostPackages&) = delete;
    HostPackages& operator=(const HostPackages&) = delete;

    const QString& root() const { return m_root; }
    // None where root has no dpkg database.
    const DpkgDatabase* dpkg();

    // The archive's word on package at version: traced once.
    ArchivedPackage& archived(const PackageOwner& package, const QString& version);
    // Its data tarball's members; empty where the chain does not hold.
    const QHash<QByteArray, DebMember>& data(ArchivedPackage& archived);

private:
    QString m_root;
    bool m_opened = false;
    std::optional<DpkgDatabase> m_dpkg;
    std::unique_ptr<ArchiveRecords> m_archive;
    std::map<std::tuple<QString, QString, QString>, ArchivedPackage> m_archived;
};
