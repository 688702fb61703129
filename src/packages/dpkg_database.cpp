#include "packages/dpkg_database.h"

#include "common/file_name_codec.h"
#include "packages/dpkg_info_files.h"
#include "packages/dpkg_status.h"
#include "packages/package_files.h"
#include "packages/path_owner_index.h"

#include <QDir>
#include <QFileInfo>

std::optional<DpkgDatabase> DpkgDatabase::open(const QString& root)
{
    QString clean = QDir::cleanPath(root);
    if (clean == u"/")
        clean.clear();
    const QString admindir = clean + QStringLiteral("/var/lib/dpkg");
    if (!QFileInfo(admindir + QStringLiteral("/status")).isFile())
        return std::nullopt;
    return DpkgDatabase(clean, ReadDpkgStatus(admindir), ReadDpkgDiversions(admindir + QStringLiteral("/diversions")));
}

DpkgDatabase::DpkgDatabase(QString root, std::vector<InstalledPackage> packages, std::vector<Diversion> diversions)
    : m_root(std::move(root))
    , m_packages(std::move(packages))
    , m_diversions(std::move(diversions))
    , m_mergedUsr(m_root.isEmpty() ? QStringLiteral("/") : m_root)
{
    for (qsizetype i = 0; i < qsizetype(m_diversions.size()); ++i) {
        m_byFrom.insert(m_mergedUsr.canonical(m_diversions[std::size_t(i)].from), i);
        m_byTo.insert(m_mergedUsr.canonical(m_diversions[std::size_t(i)].to), i);
    }
}

DpkgDatabase::DpkgDatabase(DpkgDatabase&&) noexcept = default;
DpkgDatabase& DpkgDatabase::operator=(DpkgDatabase&&) noexcept = default;
DpkgDatabase::~DpkgDatabase() = default;

QString DpkgDatabase::admindir() const
{
    return m_root + QStringLiteral("/var/lib/dpkg");
}

const InstalledPackage* DpkgDatabase::package(const QString& name, const QString& architecture) const
{
    for (const InstalledPackage& package : m_packages) {
        if (package.name == name && package.architecture == architecture)
            return &package;
    }
    return nullptr;
}

QStringList DpkgDatabase::listedPaths(const InstalledPackage& package) const
{
    QStringList paths;
    ForEachListedPath(admindir(), package, [&](QByteArrayView path) { paths.append(DecodeFileName(path)); });
    return paths;
}

QHash<QString, QByteArray> DpkgDatabase::md5sums(const InstalledPackage& package) const
{
    QHash<QString, QByteArray> sums;
    ForEachMd5sum(admindir(), package,
                  [&](QByteArrayView path, QByteArrayView md5) { sums.insert(DecodeFileName(path), md5.toByteArray()); });
    return sums;
}

QByteArray DpkgDatabase::filesText(const InstalledPackage& package) const
{
    return PackageFilesText(admindir(), m_mergedUsr, package);
}

bool DpkgDatabase::listsBelow(const InstalledPackage& package, QByteArrayView dir) const
{
    bool below = false;
    ForEachListedPath(admindir(), package,
                      [&](QByteArrayView path) { below = below || PathBelow(m_mergedUsr.canonical(path), dir); });
    return below;
}

QByteArray DpkgDatabase::key(const QString& path) const
{
    return m_mergedUsr.canonical(EncodeFileName(QDir::cleanPath(path)));
}

const Diversion* DpkgDatabase::divertedFrom(const QByteArray& key) const
{
    const auto found = m_byFrom.constFind(key);
    return found == m_byFrom.constEnd() ? nullptr : &m_diversions[std::size_t(*found)];
}

const Diversion* DpkgDatabase::divertedTo(const QByteArray& key) const
{
    const auto found = m_byTo.constFind(key);
    return found == m_byTo.constEnd() ? nullptr : &m_diversions[std::size_t(*found)];
}

const PathOwnerIndex& DpkgDatabase::index() const
{
    if (!m_index) {
        auto index = std::make_unique<PathOwnerIndex>();
        // About 150 paths a package on a real system.
        index->reserve(qsizetype(m_packages.size()) * 150);
        for (std::uint32_t i = 0; i < m_packages.size(); ++i) {
            ForEachListedPath(admindir(), m_packages[i],
                              [&](QByteArrayView path) { index->add(m_mergedUsr.canonical(path), i); });
        }
        m_index = std::move(index);
    }
    return *m_index;
}

PackageOwner DpkgDatabase::owner(const InstalledPackage& package) const
{
    return {package.name, package.architecture, package.version};
}

std::vector<PackageOwner> DpkgDatabase::ownerOf(const QString& path) const
{
    const QByteArray at = key(path);
    std::vector<PackageOwner> owners;
    if (const Diversion* diversion = divertedTo(at)) {
        // The original's packages, but the diverting one, have their file here.
        for (std::uint32_t i : index().owners(m_mergedUsr.canonical(diversion->from))) {
            if (m_packages[i].name != diversion->package)
                owners.push_back(owner(m_packages[i]));
        }
        return owners;
    }
    if (const Diversion* diversion = divertedFrom(at)) {
        if (!diversion->package)
            return owners;
        for (const InstalledPackage& package : m_packages) {
            if (package.name == *diversion->package)
                owners.push_back(owner(package));
        }
        if (owners.empty())
            owners.push_back({*diversion->package, QString(), std::nullopt});
        return owners;
    }
    for (std::uint32_t i : index().owners(at))
        owners.push_back(owner(m_packages[i]));
    return owners;
}

std::optional<QByteArray> DpkgDatabase::shippedPath(const PackageOwner& owner, const QString& path) const
{
    const QByteArray at = key(path);
    // The package's file at a diverted path is elsewhere, unless the package
    // is the one that diverts it.
    if (const Diversion* diversion = divertedTo(at); diversion && diversion->package != owner.name)
        return m_mergedUsr.canonical(diversion->from);
    if (const Diversion* diversion = divertedFrom(at); diversion && diversion->package != owner.name)
        return std::nullopt;
    return at;
}

std::optional<QByteArray> DpkgDatabase::md5Of(const PackageOwner& owner, const QString& path) const
{
    const InstalledPackage* installed = package(owner.name, owner.architecture);
    if (!installed)
        return std::nullopt;
    const std::optional<QByteArray> shipped = shippedPath(owner, path);
    if (!shipped)
        return std::nullopt;
    const QByteArray& at = *shipped;

    auto sums = m_md5sums.find(installed);
    if (sums == m_md5sums.end()) {
        QHash<QByteArray, QByteArray> read;
        ForEachMd5sum(admindir(), *installed, [&](QByteArrayView listed, QByteArrayView sum) {
            const QByteArray path = m_mergedUsr.canonical(listed);
            if (!read.contains(path)) // the first of a path stands, as before
                read.insert(path, sum.toByteArray());
        });
        sums = m_md5sums.insert(installed, std::move(read));
    }
    if (const auto found = sums->constFind(at); found != sums->constEnd())
        return *found;
    for (const Conffile& conffile : installed->conffiles) {
        // "newconffile" stands where a package is unpacked but not configured.
        if (m_mergedUsr.canonical(conffile.path) == at && conffile.md5.size() == 32)
            return conffile.md5;
    }
    return std::nullopt;
}
