#include "packages/host_packages.h"

#include "common/file_name_codec.h"
#include "packages/dpkg_info_files.h"

HostPackages::HostPackages(QString root)
    : m_root(std::move(root))
{
}

HostPackages::~HostPackages() = default;

const DpkgDatabase* HostPackages::dpkg()
{
    if (!m_opened) {
        m_opened = true;
        m_dpkg = DpkgDatabase::open(m_root);
    }
    return m_dpkg ? &*m_dpkg : nullptr;
}

ArchivedPackage& HostPackages::archived(const PackageOwner& package, const QString& version)
{
    const auto key = std::make_tuple(package.name, package.architecture, version);
    auto found = m_archived.find(key);
    if (found != m_archived.end())
        return found->second;
    ArchivedPackage archived;
    if (const DpkgDatabase* database = dpkg()) {
        if (!m_archive)
            m_archive = std::make_unique<ArchiveRecords>(m_root);
        const ArchiveCheck check = m_archive->verify(package.name, version, package.architecture);
        if (check.holds()) {
            archived.holds = true;
            archived.deb = check.deb;
            // The control tarball is small: the MD5 of every file but the
            // conffiles, without unpacking the data.
            ForEachMd5sumLine(DebControlFiles(check.deb).value(QStringLiteral("md5sums")),
                              [&](QByteArrayView path, QByteArrayView md5) {
                                  archived.md5sums.insert(database->canonical(DecodeFileName(path)), md5.toByteArray());
                              });
        }
    }
    return m_archived.emplace(key, std::move(archived)).first->second;
}

const DebMember* HostPackages::member(ArchivedPackage& archived, const QByteArray& shipped, bool whole)
{
    const DpkgDatabase* database = dpkg();
    if (!archived.holds || !database)
        return nullptr;
    if (archived.complete || (!whole && archived.members.contains(shipped))) {
        const auto found = archived.members.constFind(shipped);
        return found == archived.members.constEnd() ? nullptr : &*found;
    }
    // Read again from the start, as far as needed this time.
    archived.members.clear();
    bool stopped = false;
    const std::vector<DebMember> read = DebContents(archived.deb, false, [&](const DebMember& member) {
        stopped = !whole && database->canonical(member.path) == shipped;
        return stopped;
    });
    archived.complete = !stopped;
    QHash<QByteArray, QByteArray> fileOf; // each name of a regular file, to its first name
    QHash<QByteArray, quint32> count;
    for (const DebMember& member : read) {
        const QByteArray path = database->canonical(member.path);
        if (member.type == DebMember::Type::HardLink) {
            // A hard link is the file it names, under another name.
            const QByteArray target = fileOf.value(database->canonical(member.target));
            const auto file = archived.members.constFind(target);
            if (file == archived.members.constEnd())
                continue;
            DebMember same = *file;
            same.path = member.path;
            archived.members.insert(path, same);
            fileOf.insert(path, target);
            ++count[target];
            continue;
        }
        if (member.type == DebMember::Type::File) {
            fileOf.insert(path, path);
            ++count[path];
        }
        archived.members.insert(path, member);
    }
    if (archived.complete)
        for (auto name = fileOf.cbegin(); name != fileOf.cend(); ++name)
            archived.names.insert(name.key(), count.value(name.value()));
    const auto found = archived.members.constFind(shipped);
    return found == archived.members.constEnd() ? nullptr : &*found;
}
