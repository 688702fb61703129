#include "packages/script_made.h"

#include "bits/file_access.h"
#include "common/file_name_codec.h"
#include "packages/dpkg_database.h"
#include "scan/directory_handle.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>

#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The root's files, opened one name at a time from the root and never
// through a link: links are followed by reading their text and resolving it
// as if the root were "/", so that none leads out of it.
class RootTree {
public:
    explicit RootTree(const QString& root)
        : m_root(root)
    {
    }

    // path with its links followed (the last name's too where followLast),
    // none where a name before the last is missing or the links loop.
    std::optional<QString> resolve(const QString& path, bool followLast) const
    {
        QStringList todo = path.split(u'/', Qt::SkipEmptyParts);
        QStringList done;
        int links = 0;
        while (!todo.isEmpty()) {
            const QString name = todo.takeFirst();
            if (name == u".")
                continue;
            if (name == u"..") {
                if (!done.isEmpty())
                    done.removeLast();
                continue;
            }
            if (todo.isEmpty() && !followLast) {
                done.append(name);
                break;
            }
            DirectoryHandle dir;
            if (!open(done, dir))
                return std::nullopt;
            struct stat st;
            if (fstatat(dir.fd(), EncodeFileName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT || !todo.isEmpty())
                    return std::nullopt;
                done.append(name);
                break;
            }
            if (!S_ISLNK(st.st_mode)) {
                done.append(name);
                continue;
            }
            // The kernel's own limit of links on one path.
            if (++links > 40)
                return std::nullopt;
            const std::optional<QString> text = readLinkAt(dir, name);
            if (!text || text->isEmpty())
                return std::nullopt;
            if (text->startsWith(u'/'))
                done.clear();
            todo = text->split(u'/', Qt::SkipEmptyParts) + todo;
        }
        return u'/' + done.join(u'/');
    }

    // What lstat says of path, none where nothing is there.
    std::optional<struct stat> lstat(const QString& path) const
    {
        const auto [dir, name] = parent(path);
        struct stat st;
        if (!dir || fstatat(dir.fd(), EncodeFileName(name).constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return std::nullopt;
        return st;
    }

    // The text of the link at path, none where there is no link.
    std::optional<QString> readLink(const QString& path) const
    {
        const auto [dir, name] = parent(path);
        return dir ? readLinkAt(dir, name) : std::nullopt;
    }

    // Up to limit bytes of the regular file at path, its links followed;
    // none where there is no regular file.
    std::optional<QByteArray> read(const QString& path, qint64 limit) const
    {
        const std::optional<QString> resolved = resolve(path, true);
        if (!resolved)
            return std::nullopt;
        const auto [dir, name] = parent(*resolved);
        if (!dir)
            return std::nullopt;
        // Without waiting: a FIFO or a device put there must not hold the check.
        const int fd = OpenForReadingAt(dir.fd(), EncodeFileName(name).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            return std::nullopt;
        std::optional<QByteArray> contents;
        struct stat st;
        if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
            QByteArray bytes(qsizetype(std::min<qint64>(limit, st.st_size)), Qt::Uninitialized);
            qsizetype done = 0;
            while (done < bytes.size()) {
                const ssize_t got = ::read(fd, bytes.data() + done, std::size_t(bytes.size() - done));
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0)
                    break;
                done += got;
            }
            bytes.truncate(done);
            contents = std::move(bytes);
        }
        ::close(fd);
        return contents;
    }

    // Whether anything is at path, its directories' links followed.
    bool exists(const QString& path) const
    {
        const std::optional<QString> resolved = resolve(path, false);
        return resolved && lstat(*resolved);
    }

    const QString& root() const { return m_root; }

private:
    // The directory of the names in below, none through a link.
    bool open(const QStringList& below, DirectoryHandle& dir) const
    {
        const QString top = m_root.isEmpty() ? QStringLiteral("/") : m_root;
        struct stat st;
        return DirectoryHandle::openBeneath(top, below.isEmpty() ? top : m_root + u'/' + below.join(u'/'), dir, st)
            == 0;
    }

    // The open directory of path's last name, found with its links followed,
    // and that name.
    std::pair<DirectoryHandle, QString> parent(const QString& path) const
    {
        const QString clean = QDir::cleanPath(path);
        const qsizetype slash = clean.lastIndexOf(u'/');
        const QString name = clean.mid(slash + 1);
        DirectoryHandle dir;
        const std::optional<QString> above = resolve(clean.left(slash), true);
        if (slash < 0 || name.isEmpty() || name == u".." || !above
            || !open(above->split(u'/', Qt::SkipEmptyParts), dir))
            return {DirectoryHandle(), name};
        return {dir, name};
    }

    static std::optional<QString> readLinkAt(const DirectoryHandle& dir, const QString& name)
    {
        QByteArray text(PATH_MAX, Qt::Uninitialized);
        const ssize_t length
            = readlinkat(dir.fd(), EncodeFileName(name).constData(), text.data(), std::size_t(text.size()));
        if (length < 0 || length >= text.size())
            return std::nullopt;
        text.truncate(length);
        return DecodeFileName(text);
    }

    QString m_root;
};

// One choice of a link group, as var/lib/dpkg/alternatives records it.
struct Alternative {
    QString path;
    long priority = 0;
    QStringList slavePaths; // by the group's slaves, empty where it has none
};

// A link group: its name is the file's, its master /etc/alternatives/name.
struct AlternativeGroup {
    QString name;
    bool manual = false;
    QString link;
    QStringList slaveNames;
    QStringList slaveLinks;
    std::vector<Alternative> alternatives;
};

// The file's lines as update-alternatives writes them: the status, the
// master link, pairs of slave name and link ended by an empty line, then per
// alternative its path, priority and a line per slave, ended by an empty
// line. None where it is not so.
std::optional<AlternativeGroup> ParseAlternatives(const QString& name, const QByteArray& text)
{
    const QStringList lines = QString::fromUtf8(text).split(u'\n');
    qsizetype at = 0;
    const auto next = [&]() -> std::optional<QString> {
        return at < lines.size() ? std::optional<QString>(lines[at++]) : std::nullopt;
    };
    AlternativeGroup group;
    group.name = name;
    const std::optional<QString> status = next();
    const std::optional<QString> link = next();
    if (!status || (*status != u"auto" && *status != u"manual") || !link || !link->startsWith(u'/'))
        return std::nullopt;
    group.manual = *status == u"manual";
    group.link = *link;
    for (;;) {
        const std::optional<QString> slave = next();
        if (!slave)
            return std::nullopt;
        if (slave->isEmpty())
            break;
        const std::optional<QString> slaveLink = next();
        if (!slaveLink || !slaveLink->startsWith(u'/'))
            return std::nullopt;
        group.slaveNames.append(*slave);
        group.slaveLinks.append(*slaveLink);
    }
    for (;;) {
        const std::optional<QString> path = next();
        if (!path)
            return std::nullopt;
        if (path->isEmpty())
            return group;
        Alternative alternative{*path, 0, {}};
        bool ok = false;
        const std::optional<QString> priority = next();
        if (priority)
            alternative.priority = priority->toLong(&ok);
        if (!ok)
            return std::nullopt;
        for (qsizetype i = 0; i < group.slaveNames.size(); ++i) {
            const std::optional<QString> slavePath = next();
            if (!slavePath)
                return std::nullopt;
            alternative.slavePaths.append(*slavePath);
        }
        group.alternatives.push_back(std::move(alternative));
    }
}

// The certificate of a PEM text, or null.
using Certificate = std::unique_ptr<X509, decltype(&X509_free)>;

Certificate ReadCertificate(const QByteArray& pem)
{
    std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.constData(), int(pem.size())), BIO_free);
    return Certificate(bio ? PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr) : nullptr, X509_free);
}

// Python's _imp.source_hash: SipHash of the source keyed by the magic number.
// Python 3.11 took SipHash-1-3 for it, earlier ones SipHash-2-4.
bool SourceHashMatches(QByteArrayView magic, const QByteArray& source, QByteArrayView recorded)
{
    for (unsigned cRounds : {1u, 2u}) {
        unsigned dRounds = cRounds == 1 ? 3 : 4;
        std::unique_ptr<EVP_MAC, decltype(&EVP_MAC_free)> mac(EVP_MAC_fetch(nullptr, "SIPHASH", nullptr), EVP_MAC_free);
        std::unique_ptr<EVP_MAC_CTX, decltype(&EVP_MAC_CTX_free)> context(mac ? EVP_MAC_CTX_new(mac.get()) : nullptr,
                                                                          EVP_MAC_CTX_free);
        unsigned char key[16] = {};
        std::copy(magic.begin(), magic.end(), key);
        std::size_t size = 8;
        const OSSL_PARAM params[] = {
            OSSL_PARAM_construct_size_t(OSSL_MAC_PARAM_SIZE, &size),
            OSSL_PARAM_construct_uint(OSSL_MAC_PARAM_C_ROUNDS, &cRounds),
            OSSL_PARAM_construct_uint(OSSL_MAC_PARAM_D_ROUNDS, &dRounds),
            OSSL_PARAM_construct_end(),
        };
        unsigned char out[8];
        std::size_t length = 0;
        if (context && EVP_MAC_init(context.get(), key, sizeof key, params)
            && EVP_MAC_update(context.get(), reinterpret_cast<const unsigned char*>(source.constData()),
                              std::size_t(source.size()))
            && EVP_MAC_final(context.get(), out, &length, sizeof out) && length == 8
            && QByteArrayView(reinterpret_cast<const char*>(out), 8) == recorded)
            return true;
    }
    return false;
}

} // namespace

struct ScriptMadeRules::State {
    const DpkgDatabase& now;
    std::vector<PackageOwner> changed;
    RootTree tree;
    mutable std::optional<std::vector<AlternativeGroup>> groups;
    mutable std::optional<bool> ldCacheRebuilt;

    bool isChanged(const PackageOwner& owner) const
    {
        return std::any_of(changed.begin(), changed.end(), [&](const PackageOwner& c) {
            return c.name == owner.name && c.architecture == owner.architecture;
        });
    }

    // The first owner of path whose package changed.
    std::optional<PackageOwner> changedOwner(const QString& path) const
    {
        for (const PackageOwner& owner : now.ownerOf(path)) {
            if (isChanged(owner))
                return owner;
        }
        return std::nullopt;
    }

    // The changed package of that name, as installed now if it is.
    std::optional<PackageOwner> changedNamed(const QString& name) const
    {
        for (const PackageOwner& c : changed) {
            if (c.name != name)
                continue;
            if (const InstalledPackage* installed = now.package(c.name, c.architecture))
                return PackageOwner{installed->name, installed->architecture, installed->version};
            return c;
        }
        return std::nullopt;
    }

    // The one changed package that is no longer installed, where there is one.
    std::optional<PackageOwner> soleRemoved() const
    {
        std::optional<PackageOwner> removed;
        for (const PackageOwner& c : changed) {
            const InstalledPackage* installed = now.package(c.name, c.architecture);
            if (installed && installed->status.endsWith(QStringLiteral(" installed")))
                continue;
            if (removed)
                return std::nullopt;
            removed = c;
        }
        return removed;
    }

    const std::vector<AlternativeGroup>& alternatives() const
    {
        if (!groups) {
            groups.emplace();
            const QString admin = QStringLiteral("/var/lib/dpkg/alternatives/");
            const QDir dir(tree.root() + admin);
            for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden)) {
                // update-alternatives' own files are a few kilobytes at most.
                if (const std::optional<QByteArray> text = tree.read(admin + name, 1 << 20)) {
                    if (std::optional<AlternativeGroup> group = ParseAlternatives(name, *text))
                        groups->push_back(std::move(*group));
                }
            }
        }
        return *groups;
    }
};

namespace {

using State = ScriptMadeRules::State;

std::optional<ScriptMade> Made(std::optional<PackageOwner> package, const char* rule)
{
    if (!package)
        return std::nullopt;
    return ScriptMade{std::move(*package), QString::fromLatin1(rule)};
}

// DIR/__pycache__/NAME.TAG[.opt-N].pyc, compiled from DIR/NAME.py.
std::optional<ScriptMade> PythonBytecode(const State& state, const QString& path, bool deleted)
{
    static const QRegularExpression pyc(
        QStringLiteral("^(.*)/__pycache__/([^/.]+)\\.[^/.]+(?:\\.opt-[0-9A-Za-z]+)?\\.pyc$"));
    const QRegularExpressionMatch match = pyc.match(path);
    if (!match.hasMatch())
        return std::nullopt;
    const QString dir = match.captured(1);
    const QString source = dir + u'/' + match.captured(2) + QStringLiteral(".py");
    const std::optional<PackageOwner> owner = state.changedOwner(source);
    if (deleted) {
        // py3clean removes the bytecode of a package's sources before they
        // go, and of the sources an upgrade drops.
        if (owner)
            return Made(owner, "python-bytecode");
        if (state.tree.exists(source))
            return std::nullopt;
        if (std::optional<PackageOwner> dirOwner = state.changedOwner(dir))
            return Made(dirOwner, "python-bytecode");
        return state.tree.exists(dir) ? std::nullopt : Made(state.soleRemoved(), "python-bytecode");
    }
    const std::optional<QString> resolved = state.tree.resolve(path, false);
    const std::optional<struct stat> self = resolved ? state.tree.lstat(*resolved) : std::nullopt;
    if (!owner || !self || !S_ISREG(self->st_mode))
        return std::nullopt;
    // Python reads a source through its links, as Debian's sitecustomize.py
    // to the conffile in /etc.
    const std::optional<QString> resolvedSource = state.tree.resolve(source, true);
    const std::optional<struct stat> st = resolvedSource ? state.tree.lstat(*resolvedSource) : std::nullopt;
    if (!st || !S_ISREG(st->st_mode))
        return std::nullopt;
    // The source must be as a package shipped it, else the bytecode would
    // vouch for a source someone else wrote.
    const std::optional<QByteArray> code = state.tree.read(*resolvedSource, st->st_size);
    if (!code || code->size() != st->st_size)
        return std::nullopt;
    const QByteArray md5 = QCryptographicHash::hash(*code, QCryptographicHash::Md5).toHex();
    const std::vector<PackageOwner> shippers = state.now.ownerOf(*resolvedSource);
    if (std::none_of(shippers.begin(), shippers.end(),
                     [&](const PackageOwner& shipper) { return state.now.md5Of(shipper, *resolvedSource) == md5; }))
        return std::nullopt;
    // PEP 552's header: magic (two bytes and "\r\n"), flags, then either
    // the source's mtime and size or its SipHash.
    const std::optional<QByteArray> header = state.tree.read(*resolved, 16);
    if (!header || header->size() != 16 || header->mid(2, 2) != "\r\n")
        return std::nullopt;
    const quint32 flags = qFromLittleEndian<quint32>(header->constData() + 4);
    if (flags == 0) {
        const quint32 mtime = qFromLittleEndian<quint32>(header->constData() + 8);
        const quint32 size = qFromLittleEndian<quint32>(header->constData() + 12);
        if (mtime != quint32(st->st_mtime) || size != quint32(st->st_size))
            return std::nullopt;
    } else if (flags != 3
               || !SourceHashMatches(QByteArrayView(*header).first(4), *code, QByteArrayView(*header).sliced(8))) {
        // Bytecode that Python never checks against its source is not taken.
        return std::nullopt;
    }
    return Made(owner, "python-bytecode");
}

// DIR/__pycache__ itself, where the bytecode of DIR's sources goes: made and
// removed with it, when a changed package owns DIR.
std::optional<ScriptMade> PythonBytecodeDirectory(const State& state, const QString& path, bool deleted)
{
    if (!path.endsWith(QStringLiteral("/__pycache__")))
        return std::nullopt;
    const QString dir = path.chopped(int(sizeof "/__pycache__") - 1);
    if (!deleted) {
        const std::optional<QString> resolved = state.tree.resolve(path, false);
        const std::optional<struct stat> self = resolved ? state.tree.lstat(*resolved) : std::nullopt;
        if (!self || !S_ISDIR(self->st_mode))
            return std::nullopt;
    }
    return Made(state.changedOwner(dir), "python-bytecode");
}

// The package that changed a group: the one of the chosen alternative, else
// any of the group's.
std::optional<PackageOwner> GroupPackage(const State& state, const AlternativeGroup& group, const Alternative* chosen)
{
    if (chosen) {
        if (std::optional<PackageOwner> owner = state.changedOwner(chosen->path))
            return owner;
    }
    for (const Alternative& alternative : group.alternatives) {
        if (std::optional<PackageOwner> owner = state.changedOwner(alternative.path))
            return owner;
    }
    return std::nullopt;
}

// The alternative /etc/alternatives/NAME points at, where the group's status
// lets it: in auto mode only one of the highest priority.
const Alternative* Chosen(const State& state, const AlternativeGroup& group)
{
    const std::optional<QString> target = state.tree.readLink(QStringLiteral("/etc/alternatives/") + group.name);
    if (!target)
        return nullptr;
    long best = std::numeric_limits<long>::min();
    for (const Alternative& alternative : group.alternatives)
        best = std::max(best, alternative.priority);
    for (const Alternative& alternative : group.alternatives) {
        if (alternative.path == *target && (group.manual || alternative.priority == best))
            return &alternative;
    }
    return nullptr;
}

// /etc/alternatives/NAME and the links to it, for a master or a slave.
std::optional<ScriptMade> AlternativeLink(const State& state, const QString& path, bool deleted)
{
    static const QString altdir = QStringLiteral("/etc/alternatives/");
    for (const AlternativeGroup& group : state.alternatives()) {
        // -1 for the master.
        for (qsizetype slave = -1; slave < group.slaveNames.size(); ++slave) {
            const QString name = slave < 0 ? group.name : group.slaveNames[slave];
            const QString link = slave < 0 ? group.link : group.slaveLinks[slave];
            if (path != altdir + name && path != link)
                continue;
            const Alternative* chosen = Chosen(state, group);
            if (deleted) {
                // A slave the chosen alternative has not is removed.
                if (slave >= 0 && chosen && chosen->slavePaths[slave].isEmpty())
                    return Made(GroupPackage(state, group, chosen), "alternative");
                continue;
            }
            const std::optional<QString> target = state.tree.readLink(path);
            if (!chosen || !target)
                continue;
            const QString wanted = path == link ? altdir + name : slave < 0 ? chosen->path : chosen->slavePaths[slave];
            if (!wanted.isEmpty() && *target == wanted)
                return Made(GroupPackage(state, group, chosen), "alternative");
        }
    }
    return std::nullopt;
}

// /etc/ssl/certs/HHHHHHHH.N by the subject's hash, and NAME.pem to a
// certificate ca-certificates or another package ships.
std::optional<ScriptMade> CertificateLink(const State& state, const QString& path, bool deleted)
{
    static const QRegularExpression hashName(QStringLiteral("^/etc/ssl/certs/([0-9a-f]{8})\\.[0-9]$"));
    static const QRegularExpression pemName(QStringLiteral("^/etc/ssl/certs/([^/]+)\\.pem$"));
    const QRegularExpressionMatch hash = hashName.match(path);
    const QRegularExpressionMatch pem = pemName.match(path);
    if (!hash.hasMatch() && !pem.hasMatch())
        return std::nullopt;
    const std::optional<PackageOwner> caCertificates = state.changedNamed(QStringLiteral("ca-certificates"));
    // update-ca-certificates, run when ca-certificates changes, removes
    // the links of certificates no longer there.
    if (deleted)
        return Made(caCertificates, "certificate-link");
    const std::optional<QString> text = state.tree.readLink(path);
    const std::optional<QString> target = text ? state.tree.resolve(path, true) : std::nullopt;
    const std::optional<QByteArray> contents = target ? state.tree.read(*target, 1 << 20) : std::nullopt;
    const Certificate certificate = contents ? ReadCertificate(*contents) : Certificate(nullptr, X509_free);
    if (!certificate)
        return std::nullopt;
    if (hash.hasMatch()) {
        const QString subject = QStringLiteral("%1").arg(X509_subject_name_hash(certificate.get()), 8, 16, QChar(u'0'));
        if (subject != hash.captured(1))
            return std::nullopt;
        return Made(caCertificates ? caCertificates : state.changedOwner(*target), "certificate-link");
    }
    // The name update-ca-certificates gives the link of a .crt, which it
    // names by its path.
    QString expected = QFileInfo(*text).fileName();
    if (*text != *target || !text->startsWith(QStringLiteral("/usr/share/ca-certificates/"))
        || !expected.endsWith(QStringLiteral(".crt")))
        return std::nullopt;
    expected.chop(4);
    expected.replace(u' ', u'_').replace(u'(', u'=').replace(u')', u'=').replace(u',', u'_');
    if (expected != pem.captured(1))
        return std::nullopt;
    return Made(state.changedOwner(*target), "certificate-link");
}

// /etc/rcN.d/[SK]NNname to ../init.d/name, as update-rc.d makes them.
std::optional<ScriptMade> RcLink(const State& state, const QString& path, bool deleted)
{
    static const QRegularExpression rc(QStringLiteral("^/etc/rc[0-6S]\\.d/[SK][0-9]{2}([^/]+)$"));
    const QRegularExpressionMatch match = rc.match(path);
    if (!match.hasMatch())
        return std::nullopt;
    const QString script = QStringLiteral("/etc/init.d/") + match.captured(1);
    // The package that ships the script, or kept it as a conffile after
    // its removal, which is when its links go.
    const std::optional<PackageOwner> owner = state.changedOwner(script);
    if (deleted)
        return Made(owner, "rc-link");
    const std::optional<QString> text = state.tree.readLink(path);
    const std::optional<struct stat> st = state.tree.lstat(script);
    if (!owner || !text || (*text != QStringLiteral("../init.d/") + match.captured(1) && *text != script) || !st
        || !S_ISREG(st->st_mode))
        return std::nullopt;
    return Made(owner, "rc-link");
}

// Whether path names a shared library in a directory ldconfig reads.
bool IsLibrary(const QString& path)
{
    static const QRegularExpression library(
        QStringLiteral("^(?:/usr(?:/local)?)?/lib(?:32|64|x32)?(?:/[^/]*-linux-[^/]*)?/[^/]+\\.so(?:\\.[^/]*)?$"));
    return library.match(path).hasMatch();
}

// Whether the root's ld.so.cache is, byte for byte, what ldconfig makes of
// the root's libraries now.
bool LdCacheRebuilt(const State& state)
{
    const QString ldconfig = QStandardPaths::findExecutable(QStringLiteral("ldconfig"),
                                                            {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    const bool otherRoot = !state.tree.root().isEmpty();
    // With -r ldconfig writes its cache inside the root, where only root may
    // be trusted to make a directory nobody else can enter.
    if (ldconfig.isEmpty() || (otherRoot && geteuid() != 0))
        return false;
    QTemporaryDir dir(otherRoot ? state.tree.root() + QStringLiteral("/.kvaren-ldconfig-XXXXXX")
                                : QDir::tempPath() + QStringLiteral("/kvaren-ldconfig-XXXXXX"));
    if (!dir.isValid())
        return false;
    const QString inside = otherRoot ? dir.path().mid(state.tree.root().size()) : dir.path();
    QStringList arguments{QStringLiteral("-X"), QStringLiteral("-C"), inside + QStringLiteral("/ld.so.cache")};
    if (otherRoot)
        arguments << QStringLiteral("-r") << state.tree.root();
    QProcess process;
    process.start(ldconfig, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return false;
    QFile made(dir.path() + QStringLiteral("/ld.so.cache"));
    if (!made.open(QIODevice::ReadOnly))
        return false;
    const QByteArray expected = made.readAll();
    return state.tree.read(QStringLiteral("/etc/ld.so.cache"), expected.size() + 1) == expected;
}

// /etc/ld.so.cache, rebuilt by libc-bin's trigger for a changed library.
std::optional<ScriptMade> LdCache(const State& state, const QString& path, bool deleted)
{
    if (deleted || path != u"/etc/ld.so.cache")
        return std::nullopt;
    std::optional<PackageOwner> library;
    for (const PackageOwner& c : state.changed) {
        const InstalledPackage* installed = state.now.package(c.name, c.architecture);
        if (installed && !library) {
            const QStringList paths = state.now.listedPaths(*installed);
            if (std::any_of(paths.begin(), paths.end(), IsLibrary))
                library = PackageOwner{installed->name, installed->architecture, installed->version};
        }
    }
    if (!library)
        return std::nullopt;
    if (!state.ldCacheRebuilt)
        state.ldCacheRebuilt = LdCacheRebuilt(state);
    if (!*state.ldCacheRebuilt)
        return std::nullopt;
    // libc-bin's trigger rebuilt it; named where libc-bin itself changed,
    // else the library that set the trigger off.
    for (const PackageOwner& c : state.changed) {
        if (c.name == u"libc-bin" && state.now.package(c.name, c.architecture))
            return ScriptMade{c, QStringLiteral("ld-cache")};
    }
    return Made(library, "ld-cache");
}

using Rule = std::optional<ScriptMade> (*)(const State&, const QString& path, bool deleted);

// Tried in turn; the first whose evidence holds explains the file.
constexpr Rule kRules[] = {PythonBytecode, PythonBytecodeDirectory, AlternativeLink, CertificateLink, RcLink, LdCache};

} // namespace

ScriptMadeRules::ScriptMadeRules(const DpkgDatabase& now, std::vector<PackageOwner> changed)
    : m_state(std::make_unique<State>(State{now, std::move(changed), RootTree(now.root()), {}, {}}))
{
}

ScriptMadeRules::~ScriptMadeRules() = default;

std::optional<ScriptMade> ScriptMadeRules::explain(const QString& path, bool deleted) const
{
    const QString clean = QDir::cleanPath(path);
    for (Rule rule : kRules) {
        if (std::optional<ScriptMade> made = rule(*m_state, clean, deleted))
            return made;
    }
    return std::nullopt;
}
