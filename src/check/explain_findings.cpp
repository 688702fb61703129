#include "check/explain_findings.h"

#include "bits/sha256_accumulator.h"
#include "check/check_report.h"
#include "check/file_digests.h"
#include "common/file_name_codec.h"
#include "packages/host_packages.h"
#include "packages/package_files.h"
#include "packages/package_root.h"
#include "packages/script_made.h"
#include "rows/package_records.h"
#include "scan/fingerprint_fields.h"

#include <QMultiHash>
#include <QThread>

#include <grp.h>
#include <pwd.h>

#include <atomic>
#include <map>
#include <memory>
#include <thread>

namespace {

using PackageKey = std::pair<QString, QString>; // name, architecture

bool installed(const InstalledPackage& package)
{
    return !package.status.endsWith(u"config-files") && !package.status.endsWith(u"not-installed")
           && !package.status.endsWith(u"half-installed");
}

uid_t idOf(const QString& name, quint32 id, bool user)
{
    if (name.isEmpty())
        return id;
    const QByteArray encoded = name.toUtf8();
    if (user) {
        const struct passwd* found = getpwnam(encoded.constData());
        return found ? found->pw_uid : id;
    }
    const struct group* found = getgrnam(encoded.constData());
    return found ? found->gr_gid : id;
}

// The attributes that differ between a finding's two states, apart from
// what a package's data can say: mode, owner, group, a link's target and
// the count of names. Capabilities, ACLs, other extended attributes and
// inode flags are no package's doing.
bool onlyShippableDiffer(const Fingerprint& before, const Fingerprint& after)
{
    Fingerprint same = after;
    same.mode = before.mode;
    same.owner = before.owner;
    same.group = before.group;
    same.linkTarget = before.linkTarget;
    same.links = before.links;
    return SameFingerprint(before, same, FingerprintField::Attributes);
}

class Explainer {
public:
    Explainer(HostPackages& host, const DpkgDatabase& now, const PackageRecords& baseline, TIBQuery& query)
        : m_host(host)
        , m_now(now)
        , m_baseline(baseline)
        , m_query(query)
    {
        for (const PackageRecord& record : baseline)
            m_changes[{record.package, record.architecture}] = {record.version, QString()};
        for (const InstalledPackage& package : m_now.packages())
            if (installed(package))
                m_changes[{package.name, package.architecture}].second = package.version;
        for (auto at = m_changes.begin(); at != m_changes.end();)
            at = at->second.first == at->second.second ? m_changes.erase(at) : std::next(at);
    }

    bool anyChanged() const { return !m_changes.empty(); }

    // Reads, on every core, the files of findings that a changed package
    // owns: reading and digesting them is most of what explaining costs.
    void lookAhead(const QList<Finding>& findings)
    {
        QStringList files;
        for (const Finding& finding : findings) {
            if (finding.kind == Finding::Deleted || finding.directory)
                continue;
            const std::optional<QByteArray> inside = InsideRoot(m_host.root(), finding.file);
            if (!inside)
                continue;
            for (const PackageOwner& owner : m_now.ownerOf(DecodeFileName(*inside))) {
                const auto change = m_changes.find({owner.name, owner.architecture});
                if (change != m_changes.end() && !change->second.second.isEmpty()) {
                    files.append(finding.file);
                    break;
                }
            }
        }
        std::vector<std::optional<LookedAt>> looked(std::size_t(files.size()));
        std::atomic<qsizetype> next{0};
        const auto work = [&] {
            for (qsizetype at = next++; at < files.size(); at = next++)
                looked[std::size_t(at)] = LookAgain(m_host.root(), files[at]);
        };
        std::vector<std::thread> threads;
        for (int i = 1; i < std::max(1, QThread::idealThreadCount()); ++i)
            threads.emplace_back(work);
        work();
        for (std::thread& thread : threads)
            thread.join();
        for (qsizetype at = 0; at < files.size(); ++at)
            m_looked.insert(files[at], std::move(looked[std::size_t(at)]));
    }

    std::optional<Explanation> explain(const Finding& finding)
    {
        QString file = finding.file;
        if (file.endsWith(u'/') && file.size() > 1)
            file.chop(1);
        const std::optional<QByteArray> inside = InsideRoot(m_host.root(), file);
        if (!inside)
            return std::nullopt;
        const bool deleted = finding.kind == Finding::Deleted;
        std::optional<Explanation> explained = deleted ? removed(*inside) : present(finding, file, *inside);
        if (!explained && (deleted || !finding.attributes || onlyLinkTargetDiffers(finding)))
            explained = scriptMade(DecodeFileName(*inside), deleted);
        return explained;
    }

private:
    // A script's link (an alternative, a certificate's) is judged by where
    // it leads, which the rule checks itself.
    static bool onlyLinkTargetDiffers(const Finding& finding)
    {
        if (!finding.before || !finding.after)
            return false;
        Fingerprint same = *finding.after;
        same.linkTarget = finding.before->linkTarget;
        return S_ISLNK(finding.after->mode) && SameFingerprint(*finding.before, same, FingerprintField::Attributes);
    }

    std::optional<Explanation> made(const PackageKey& package, const QString& rule, bool verified = false) const
    {
        const auto change = m_changes.find(package);
        if (change == m_changes.end())
            return std::nullopt;
        return Explanation{package.first, package.second, change->second.first, change->second.second, rule, verified};
    }

    // A file, link or directory found new or changed: shipped so by a
    // package that changed since, as the archive says where its .deb is
    // cached and traces to a trusted key, else as dpkg's records say.
    std::optional<Explanation> present(const Finding& finding, const QString& file, const QByteArray& inside)
    {
        const QString path = DecodeFileName(inside);
        std::optional<LookedAt> looked;
        for (const PackageOwner& owner : m_now.ownerOf(path)) {
            const PackageKey key{owner.name, owner.architecture};
            const auto change = m_changes.find(key);
            if (change == m_changes.end() || change->second.second.isEmpty())
                continue;
            const std::optional<QByteArray> shipped = m_now.shippedPath(owner, path);
            if (!shipped)
                continue;
            if (!looked) {
                const auto ahead = m_looked.constFind(file);
                looked = ahead != m_looked.constEnd() ? *ahead : LookAgain(m_host.root(), file);
                if (!looked)
                    return std::nullopt;
                // What was read now must be what the check read.
                if (S_ISREG(looked->self.st_mode) && finding.after && finding.after->sha256
                    && DigestHex(*finding.after->sha256) != looked->sha256)
                    return std::nullopt;
            }
            ArchivedPackage& archived = m_host.archived(owner, change->second.second);
            const std::optional<bool> holds = archived.holds ? shippedByArchive(finding, *looked, archived, *shipped)
                                                             : shippedByHost(finding, *looked, owner, path);
            if (!holds)
                continue;
            if (!*holds)
                return std::nullopt; // the archive says otherwise: the host's records lie
            const bool conffile = isConffile(owner, *shipped);
            return made(key, conffile ? QStringLiteral("conffile") : QStringLiteral("shipped"), archived.holds);
        }
        return std::nullopt;
    }

    // What the archive's package says: true where it shipped the name so,
    // false where it shipped it otherwise, none where it has no such name.
    std::optional<bool> shippedByArchive(const Finding& finding, const LookedAt& looked, ArchivedPackage& archived,
                                         const QByteArray& shipped)
    {
        const mode_t type = looked.self.st_mode & S_IFMT;
        const bool attributes = finding.attributes && !attributesNeedNoData(finding);
        if (type == S_IFREG && !attributes) {
            // The .deb's own MD5 list answers most files without its data.
            if (const auto md5 = archived.md5sums.constFind(shipped); md5 != archived.md5sums.constEnd())
                return *md5 == looked.md5;
        }
        // Each file's names are counted only from the whole tarball.
        const bool names = attributes && type == S_IFREG && looked.self.st_nlink > 1;
        const DebMember* found = m_host.member(archived, shipped, names);
        if (!found)
            return std::nullopt;
        const DebMember& member = *found;
        bool same = false;
        if (type == S_IFREG)
            same = member.type == DebMember::Type::File && member.sha256 == looked.sha256;
        else if (type == S_IFLNK)
            same = member.type == DebMember::Type::Symlink && member.target == looked.linkTarget;
        else if (type == S_IFDIR)
            same = member.type == DebMember::Type::Directory;
        if (!same || !finding.attributes)
            return same;
        if (!finding.before || !finding.after || !onlyShippableDiffer(*finding.before, *finding.after))
            return false;
        const bool sameNames = type != S_IFREG || looked.self.st_nlink == 1
                               || looked.self.st_nlink == archived.names.value(shipped, 1);
        return sameNames && (looked.self.st_mode & 07777) == member.mode
               && looked.self.st_uid == idOf(member.owner, member.uid, true)
               && looked.self.st_gid == idOf(member.group, member.gid, false);
    }

    // Where the host's records alone speak: a regular file whose MD5 is the
    // one dpkg recorded, a link or directory the package lists. Attributes
    // are no host record's to explain, but the one name a file replaced has.
    std::optional<bool> shippedByHost(const Finding& finding, const LookedAt& looked, const PackageOwner& owner,
                                      const QString& path) const
    {
        if (finding.attributes && !attributesNeedNoData(finding))
            return std::nullopt;
        const mode_t type = looked.self.st_mode & S_IFMT;
        if (type == S_IFREG) {
            const std::optional<QByteArray> md5 = m_now.md5Of(owner, path);
            if (!md5 || *md5 != looked.md5)
                return std::nullopt;
            return true;
        }
        if (type == S_IFLNK || type == S_IFDIR)
            return true; // the path is the package's: ownerOf said so
        return std::nullopt;
    }

    // An attribute change that needs no package's data: a replaced file left
    // with one name (the old one may keep others elsewhere).
    static bool attributesNeedNoData(const Finding& finding)
    {
        if (!finding.before || !finding.after || !S_ISREG(finding.after->mode))
            return false;
        Fingerprint same = *finding.after;
        same.links = finding.before->links;
        return finding.after->links == 1u && SameFingerprint(*finding.before, same, FingerprintField::Attributes);
    }

    bool isConffile(const PackageOwner& owner, const QByteArray& shipped) const
    {
        const InstalledPackage* package = m_now.package(owner.name, owner.architecture);
        if (!package)
            return false;
        for (const Conffile& conffile : package->conffiles)
            if (m_now.canonical(DecodeFileName(conffile.path)) == shipped)
                return true;
        return false;
    }

    // A file a changed package's maintainer script or trigger made.
    std::optional<Explanation> scriptMade(const QString& path, bool deleted)
    {
        if (!m_scripts) {
            std::vector<PackageOwner> changed;
            for (const auto& [key, versions] : m_changes)
                changed.push_back({key.first, key.second,
                                   versions.second.isEmpty() ? std::nullopt : std::optional(versions.second)});
            m_scripts = std::make_unique<ScriptMadeRules>(m_now, std::move(changed));
        }
        const std::optional<ScriptMade> found = m_scripts->explain(path, deleted);
        if (!found)
            return std::nullopt;
        return made({found->package.name, found->package.architecture}, found->rule);
    }

    // A deleted file the baseline's copy of a package's records lists, and
    // the package no longer has: removed, or dropped by its new version.
    std::optional<Explanation> removed(const QByteArray& inside)
    {
        const QString path = DecodeFileName(inside);
        const QByteArray at = m_now.canonical(path);
        for (const PackageKey& key : baselineOwners(at)) {
            if (m_changes[key].second.isEmpty())
                return made(key, QStringLiteral("removed"));
            bool kept = false;
            for (const PackageOwner& owner : m_now.ownerOf(path))
                kept = kept || (owner.name == key.first && owner.architecture == key.second);
            if (!kept)
                return made(key, QStringLiteral("removed"));
        }
        return std::nullopt;
    }

    // The changed packages whose baseline copy lists path; the copies are
    // read when the first deleted file asks.
    std::vector<PackageKey> baselineOwners(const QByteArray& path)
    {
        if (!m_baselinePaths) {
            m_baselinePaths.emplace();
            for (const PackageRecord& record : m_baseline) {
                const PackageKey key{record.package, record.architecture};
                if (!m_changes.count(key) || record.filesDigest.isEmpty())
                    continue;
                const std::optional<QByteArray> text = ReadPackageFiles(m_query, record.filesDigest);
                if (!text)
                    continue; // not what the baseline kept: it explains nothing
                const qsizetype index = qsizetype(m_keys.size());
                m_keys.push_back(key);
                ForEachPackageFile(*text, [&](QByteArrayView listed, QByteArrayView) {
                    m_baselinePaths->insert(listed.toByteArray(), index);
                });
            }
        }
        std::vector<PackageKey> owners;
        for (auto found = m_baselinePaths->constFind(path); found != m_baselinePaths->constEnd() && found.key() == path;
             ++found)
            owners.push_back(m_keys[std::size_t(*found)]);
        return owners;
    }

    HostPackages& m_host;
    const DpkgDatabase& m_now;
    const PackageRecords& m_baseline;
    TIBQuery& m_query;
    // The packages that changed since the baseline: the version then (empty
    // for one installed since) and now (empty for one removed since).
    std::map<PackageKey, std::pair<QString, QString>> m_changes;
    std::optional<QMultiHash<QByteArray, qsizetype>> m_baselinePaths;
    std::vector<PackageKey> m_keys;
    std::unique_ptr<ScriptMadeRules> m_scripts;
    QHash<QString, std::optional<LookedAt>> m_looked; // see lookAhead
};

} // namespace

void ExplainFindings(CheckReport& report, TIBQuery& query, HostPackages& host)
{
    if (report.findings.isEmpty() || report.packages.isEmpty())
        return;
    const DpkgDatabase* now = host.dpkg();
    if (!now)
        return;
    Explainer explainer(host, *now, report.packages, query);
    if (!explainer.anyChanged())
        return;
    explainer.lookAhead(report.findings);
    for (Finding& finding : report.findings)
        finding.explanation = explainer.explain(finding);
}
