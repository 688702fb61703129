#include "check/explain_findings.h"

#include "check/check_report.h"
#include "check/file_digests.h"
#include "bits/sha256_accumulator.h"
#include "scan/fingerprint_fields.h"
#include "common/file_name_codec.h"
#include "packages/archive_records.h"
#include "packages/deb_contents.h"
#include "packages/dpkg_database.h"
#include "packages/package_files.h"
#include "packages/package_root.h"
#include "packages/script_made.h"
#include "rows/package_records.h"

#include <QHash>

#include <grp.h>
#include <pwd.h>

#include <map>
#include <memory>

namespace {

using PackageKey = std::pair<QString, QString>; // name, architecture

bool installed(const InstalledPackage& package)
{
    return !package.status.endsWith(u"config-files") && !package.status.endsWith(u"not-installed")
           && !package.status.endsWith(u"half-installed");
}

// What the archive says a package's version holds, by path as on disk; empty
// where the .deb is not in the cache or its chain to a trusted key breaks.
using DebIndex = QHash<QByteArray, DebMember>;

class Explainer {
public:
    Explainer(const QString& root, DpkgDatabase now, const PackageRecords& baseline, TIBQuery& query)
        : m_root(root)
        , m_now(std::move(now))
        , m_baseline(baseline)
        , m_query(query)
        , m_archive(root)
    {
        for (const PackageRecord& record : baseline)
            m_changes[{record.package, record.architecture}] = {record.version, QString()};
        for (const InstalledPackage& package : m_now.packages())
            if (installed(package)) {
                auto& change = m_changes[{package.name, package.architecture}];
                change.second = package.version;
            }
        for (auto at = m_changes.begin(); at != m_changes.end();)
            at = at->second.first == at->second.second ? m_changes.erase(at) : std::next(at);
    }

    bool anyChanged() const { return !m_changes.empty(); }

    std::optional<Explanation> explain(const Finding& finding)
    {
        QString file = finding.file;
        if (file.endsWith(u'/') && file.size() > 1)
            file.chop(1);
        const std::optional<QByteArray> inside = InsideRoot(m_root, file);
        if (!inside)
            return std::nullopt;
        const bool deleted = finding.kind == Finding::Deleted;
        std::optional<Explanation> explained = deleted ? removed(*inside) : present(finding, file, *inside);
        if (!explained && !(finding.attributes && !deleted))
            explained = scriptMade(DecodeFileName(*inside), deleted);
        return explained;
    }

private:
    // A file a changed package's maintainer script or trigger made; a change
    // of its attributes is no script's doing that any rule could show.
    std::optional<Explanation> scriptMade(const QString& path, bool deleted)
    {
        if (!m_scripts) {
            std::vector<PackageOwner> changed;
            for (const auto& [key, versions] : m_changes)
                changed.push_back({key.first, key.second,
                                   versions.second.isEmpty() ? std::nullopt : std::optional(versions.second)});
            m_scripts = std::make_unique<ScriptMadeRules>(m_now, std::move(changed));
        }
        const std::optional<ScriptMade> made = m_scripts->explain(path, deleted);
        if (!made)
            return std::nullopt;
        return this->made({made->package.name, made->package.architecture}, made->rule);
    }

    std::optional<Explanation> made(const PackageKey& package, const QString& rule, bool verified = false) const
    {
        const auto change = m_changes.find(package);
        if (change == m_changes.end())
            return std::nullopt;
        return Explanation{package.first, package.second, change->second.first, change->second.second, rule, verified};
    }

    // A file, link or directory found new or changed: shipped so by a
    // package that changed since, as the package's records and, where it can
    // be, the archive say.
    std::optional<Explanation> present(const Finding& finding, const QString& file, const QByteArray& inside)
    {
        const QString path = DecodeFileName(inside);
        const std::vector<PackageOwner> owners = m_now.ownerOf(path);
        std::optional<LookedAt> looked;
        for (const PackageOwner& owner : owners) {
            const PackageKey key{owner.name, owner.architecture};
            if (!m_changes.count(key) || m_changes[key].second.isEmpty())
                continue;
            if (!looked) {
                looked = LookAgain(m_root, file);
                if (!looked)
                    return std::nullopt;
            }
            const DebIndex& deb = debOf(owner);
            const DebMember* member = nullptr;
            if (const auto found = deb.constFind(m_now.canonical(path)); found != deb.constEnd())
                member = &*found;
            const bool verifiable = !deb.isEmpty();
            if (verifiable && !member)
                continue; // the archive's package has no such file
            const mode_t type = looked->self.st_mode & S_IFMT;
            QString rule = QStringLiteral("shipped");
            if (type == S_IFREG) {
                // What was read now must be what the check read.
                if (finding.after && finding.after->sha256 && DigestHex(*finding.after->sha256) != looked->sha256)
                    return std::nullopt;
                const std::optional<QByteArray> md5 = m_now.md5Of(owner, path);
                if (!md5 || *md5 != looked->md5)
                    continue;
                if (member && (member->type != DebMember::Type::File || member->sha256 != looked->sha256)) {
                    if (!isConffile(owner, inside))
                        continue; // the host's MD5 list says yes, the archive no
                }
                if (isConffile(owner, inside))
                    rule = QStringLiteral("conffile");
            } else if (type == S_IFLNK) {
                if (member && (member->type != DebMember::Type::Symlink || member->target != looked->linkTarget))
                    continue;
            } else if (type == S_IFDIR) {
                if (member && member->type != DebMember::Type::Directory)
                    continue;
            } else {
                continue;
            }
            if (finding.attributes && !attributesShipped(finding, *looked, member))
                continue;
            return made(key, rule, member != nullptr);
        }
        return std::nullopt;
    }

    // A changed attribute is explained only by the archive's data: the mode,
    // owner, group or link a package ships; nothing else a package sets.
    static bool attributesShipped(const Finding& finding, const LookedAt& looked, const DebMember* member)
    {
        if (!member || !finding.before || !finding.after)
            return false;
        const Fingerprint& before = *finding.before;
        const Fingerprint& after = *finding.after;
        Fingerprint same = after;
        same.mode = before.mode;
        same.owner = before.owner;
        same.group = before.group;
        same.linkTarget = before.linkTarget;
        same.sha256 = before.sha256;
        if (!SameFingerprint(before, same, FingerprintField::Attributes))
            return false; // capabilities, ACLs, flags, links: no package's data says
        if ((looked.self.st_mode & 07777) != member->mode)
            return false;
        return looked.self.st_uid == idOf(member->owner, member->uid, true)
               && looked.self.st_gid == idOf(member->group, member->gid, false);
    }

    static uid_t idOf(const QString& name, quint32 id, bool user)
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

    bool isConffile(const PackageOwner& owner, const QByteArray& inside) const
    {
        const InstalledPackage* package = m_now.package(owner.name, owner.architecture);
        if (!package)
            return false;
        const QByteArray at = m_now.canonical(DecodeFileName(inside));
        for (const Conffile& conffile : package->conffiles)
            if (m_now.canonical(DecodeFileName(conffile.path)) == at)
                return true;
        return false;
    }

    const DebIndex& debOf(const PackageOwner& owner)
    {
        const PackageKey key{owner.name, owner.architecture};
        auto found = m_debs.find(key);
        if (found != m_debs.end())
            return found->second;
        DebIndex index;
        const ArchiveCheck check = m_archive.verify(owner.name, m_changes[key].second, owner.architecture);
        if (check.holds())
            for (DebMember& member : DebContents(check.deb))
                index.insert(m_now.canonical(member.path), std::move(member));
        return m_debs.emplace(key, std::move(index)).first->second;
    }

    // A deleted file the baseline's copy of a package's records lists, and
    // the package no longer has: removed, or dropped by its new version.
    std::optional<Explanation> removed(const QByteArray& inside)
    {
        const QByteArray at = m_now.canonical(DecodeFileName(inside));
        for (const PackageKey& key : baselineOwners(at)) {
            const QString& now = m_changes[key].second;
            if (now.isEmpty())
                return made(key, QStringLiteral("removed"));
            bool kept = false;
            for (const PackageOwner& owner : m_now.ownerOf(DecodeFileName(inside)))
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
                if (!m_changes.count(key))
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

    QString m_root;
    DpkgDatabase m_now;
    const PackageRecords& m_baseline;
    TIBQuery& m_query;
    ArchiveRecords m_archive;
    // The packages that changed since the baseline: the version then (empty
    // for one installed since) and now (empty for one removed since).
    std::map<PackageKey, std::pair<QString, QString>> m_changes;
    std::map<PackageKey, DebIndex> m_debs;
    std::optional<QMultiHash<QByteArray, qsizetype>> m_baselinePaths;
    std::vector<PackageKey> m_keys;
    std::unique_ptr<ScriptMadeRules> m_scripts;
};

} // namespace

void ExplainFindings(CheckReport& report, TIBQuery& query, const QString& root)
{
    // A registration recorded before packages were kept, or where there were
    // none, has nothing to tell a package's change by until its next update.
    if (report.findings.isEmpty() || report.packages.isEmpty())
        return;
    std::optional<DpkgDatabase> now = DpkgDatabase::open(root);
    if (!now)
        return;
    Explainer explainer(root, std::move(*now), report.packages, query);
    if (!explainer.anyChanged())
        return;
    for (Finding& finding : report.findings)
        finding.explanation = explainer.explain(finding);
}
