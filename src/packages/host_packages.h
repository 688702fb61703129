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
    // file's contents, as far as they were read (see HostPackages::member).
    QHash<QByteArray, DebMember> members;
    bool complete = false; // every member read
    // How many names each regular file has in the tarball, once complete.
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
    // Its data tarball's member at shipped (a path as on disk), none where
    // it has none or the chain does not hold. The tarball is read only as far
    // as the member lies (a conffile in /etc comes early), unless whole asks
    // for all of it, to count each file's names.
    const DebMember* member(ArchivedPackage& archived, const QByteArray& shipped, bool whole = false);

private:
    QString m_root;
    bool m_opened = false;
    std::optional<DpkgDatabase> m_dpkg;
    std::unique_ptr<ArchiveRecords> m_archive;
    std::map<std::tuple<QString, QString, QString>, ArchivedPackage> m_archived;
};
