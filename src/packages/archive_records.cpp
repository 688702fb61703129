#include "packages/archive_records.h"

#include "bits/sha256_accumulator.h"
#include "common/exception.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <apt-pkg/error.h>
#include <apt-pkg/fileutl.h>
#include <apt-pkg/strutl.h>
#include <apt-pkg/tagfile.h>

#include <array>
#include <optional>

struct ArchiveRecords::List {
    QString prefix; // of the list files that came with the InRelease
    QString release;
    QString file;
    QString relative; // as the InRelease names it: main/binary-amd64/Packages
};

struct ArchiveRecords::Stanza {
    std::size_t list;
    QByteArray sha256;
    unsigned long long size;
};

namespace {

// The messages libapt-pkg left on its error stack, which it then forgets.
QString AptErrors()
{
    QStringList messages;
    std::string message;
    while (_error->PopMessage(message))
        messages << QString::fromStdString(message);
    return messages.join(QStringLiteral("; "));
}

struct Digest {
    QByteArray sha256;
    unsigned long long size = 0;
};

// Of the contents, decompressed as the name's extension says.
Digest DigestOf(const QString& path)
{
    FileFd file;
    if (!file.Open(path.toStdString(), FileFd::ReadOnly, FileFd::Extension))
        throw Exception(QStringLiteral("Не удалось открыть %1: %2").arg(path, AptErrors()));
    Sha256Accumulator sha256;
    Digest digest;
    std::array<quint8, 1 << 16> buffer;
    for (;;) {
        unsigned long long got = 0;
        if (!file.Read(buffer.data(), buffer.size(), &got))
            throw Exception(QStringLiteral("Не удалось прочитать %1: %2").arg(path, AptErrors()));
        if (got == 0)
            break;
        sha256.add(buffer.data(), got);
        digest.size += got;
    }
    digest.sha256 = DigestHex(sha256.result());
    return digest;
}

QString Field(const pkgTagSection& section, const char* name)
{
    return QString::fromStdString(section.FindS(name)).trimmed();
}

const QStringList& CompressedExtensions()
{
    static const QStringList extensions { QStringLiteral(".gz"), QStringLiteral(".xz"), QStringLiteral(".lz4"),
        QStringLiteral(".zst"), QStringLiteral(".bz2"), QStringLiteral(".lzma") };
    return extensions;
}

int LinksHeld(const ArchiveCheck& check)
{
    return int(check.cached) + int(check.listed) + int(check.signatureHolds) + int(check.packagesHolds)
        + int(check.debHolds);
}

} // namespace

ArchiveRecords::ArchiveRecords(QString root)
    : m_root(std::move(root))
{
    if (!m_root.endsWith(u'/'))
        m_root += u'/';
}

ArchiveRecords::~ArchiveRecords() = default;

QString ArchiveRecords::cachedDeb(const QString& package, const QString& version, const QString& architecture) const
{
    // As apt stores what it fetched: ':' of an epoch becomes %3a.
    const std::string name = QuoteString(package.toStdString(), "_:") + '_' + QuoteString(version.toStdString(), "_:")
        + '_' + QuoteString(architecture.toStdString(), "_:.") + ".deb";
    return m_root + QStringLiteral("var/cache/apt/archives/") + QString::fromStdString(name);
}

void ArchiveRecords::load()
{
    m_loaded = true;
    m_keyrings = std::make_unique<ArchiveKeyrings>(m_root);
    const QDir lists(m_root + QStringLiteral("var/lib/apt/lists"));
    const QStringList names = lists.entryList(QDir::Files, QDir::Name);
    for (const QString& releaseName : names) {
        if (!releaseName.endsWith(QLatin1String("_InRelease")))
            continue;
        const QString prefix = releaseName.chopped(int(qstrlen("InRelease")));
        for (const QString& name : names) {
            if (!name.startsWith(prefix) || name == releaseName)
                continue;
            QString plain = name;
            for (const QString& extension : CompressedExtensions())
                if (plain.endsWith(extension))
                    plain.chop(extension.size());
            if (!plain.endsWith(QLatin1String("_Packages")))
                continue;
            // A flat source's prefix may take in another release's lists too:
            // that pairing fails at the InRelease and the right one is taken.
            QString relative = plain.mid(prefix.size()).replace(u'_', u'/');
            relative = QString::fromStdString(DeQuoteString(relative.toStdString()));
            m_lists.push_back(List { prefix, lists.filePath(releaseName), lists.filePath(name), relative });
        }
    }

    for (std::size_t index = 0; index < m_lists.size(); ++index) {
        const QString& path = m_lists[index].file;
        FileFd file;
        if (!file.Open(path.toStdString(), FileFd::ReadOnly, FileFd::Extension))
            throw Exception(QStringLiteral("Не удалось открыть список пакетов %1: %2").arg(path, AptErrors()));
        pkgTagFile stanzas(&file);
        pkgTagSection stanza;
        while (stanzas.Step(stanza)) {
            auto key
                = std::make_tuple(Field(stanza, "Package"), Field(stanza, "Version"), Field(stanza, "Architecture"));
            m_stanzas[std::move(key)].push_back(
                Stanza { index, Field(stanza, "SHA256").toLatin1().toLower(), stanza.FindULL("Size", 0) });
        }
        if (_error->PendingError())
            throw Exception(QStringLiteral("Не удалось прочитать список пакетов %1: %2").arg(path, AptErrors()));
    }
}

const ReleaseSignature& ArchiveRecords::signature(const QString& release)
{
    const auto known = m_signatures.find(release);
    if (known != m_signatures.end())
        return known->second;
    QString prefix;
    for (const List& list : m_lists)
        if (list.release == release)
            prefix = list.prefix;
    return m_signatures[release] = VerifyClearSigned(release, m_keyrings->forLists(prefix));
}

const QString& ArchiveRecords::packagesFailure(const List& list)
{
    const auto known = m_packagesFailures.find(list.file);
    if (known != m_packagesFailures.end())
        return known->second;
    QString& failure = m_packagesFailures[list.file];

    // The InRelease's hashes are taken from the text the signature covers.
    const QByteArray text = signature(list.release).signedText + "\n\n";
    pkgTagSection release;
    if (!release.Scan(text.constData(), text.size())) {
        _error->Discard();
        failure = QStringLiteral("не удалось разобрать подписанный текст %1").arg(list.release);
        return failure;
    }
    QByteArray listed;
    unsigned long long listedSize = 0;
    for (const QString& line : Field(release, "SHA256").split(u'\n', Qt::SkipEmptyParts)) {
        const QStringList words = line.simplified().split(u' ');
        if (words.size() == 3 && words[2] == list.relative) {
            listed = words[0].toLatin1().toLower();
            listedSize = words[1].toULongLong();
        }
    }
    if (listed.isEmpty()) {
        failure = QStringLiteral("%1 не называет SHA-256 списка %2").arg(list.release, list.relative);
        return failure;
    }
    const Digest digest = DigestOf(list.file);
    if (digest.size != listedSize)
        failure = QStringLiteral("размер %1 (%2 байт) не тот, что подписан в %3 (%4 байт)")
                      .arg(list.file)
                      .arg(digest.size)
                      .arg(list.release)
                      .arg(listedSize);
    else if (digest.sha256 != listed)
        failure = QStringLiteral("SHA-256 %1 не тот, что подписан в %2").arg(list.file, list.release);
    return failure;
}

ArchiveCheck ArchiveRecords::verify(const QString& package, const QString& version, const QString& architecture)
{
    ArchiveCheck base;
    base.deb = cachedDeb(package, version, architecture);
    base.cached = QFileInfo(base.deb).isFile();
    if (!base.cached) {
        base.failure = QStringLiteral("пакета нет в кэше apt: %1").arg(base.deb);
        return base;
    }
    if (!m_loaded)
        load();
    const auto found = m_stanzas.find(std::make_tuple(package, version, architecture));
    if (found == m_stanzas.end()) {
        base.failure
            = QStringLiteral("ни один список пакетов не называет %1 %2 %3").arg(package, version, architecture);
        return base;
    }
    base.listed = true;

    std::optional<Digest> deb;
    ArchiveCheck best;
    for (const Stanza& stanza : found->second) {
        const List& list = m_lists[stanza.list];
        ArchiveCheck check = base;
        check.release = list.release;
        check.packages = list.file;
        const ReleaseSignature& signed_ = signature(list.release);
        check.signer = signed_.signer;
        check.signatureHolds = signed_.good;
        if (!signed_.good) {
            check.failure = QStringLiteral("подпись %1 не принята: %2").arg(list.release, signed_.failure);
        } else if (const QString& failure = packagesFailure(list); !failure.isEmpty()) {
            check.failure = failure;
        } else {
            check.packagesHolds = true;
            if (!deb)
                deb = DigestOf(base.deb);
            if (stanza.sha256.isEmpty())
                check.failure = QStringLiteral("список %1 не называет SHA-256 пакета").arg(list.file);
            else if (deb->size != stanza.size)
                check.failure = QStringLiteral("размер %1 (%2 байт) не тот, что в списке %3 (%4 байт)")
                                    .arg(base.deb)
                                    .arg(deb->size)
                                    .arg(list.file)
                                    .arg(stanza.size);
            else if (deb->sha256 != stanza.sha256)
                check.failure = QStringLiteral("SHA-256 %1 не тот, что в списке %2").arg(base.deb, list.file);
            else
                check.debHolds = true;
        }
        if (check.holds())
            return check;
        if (LinksHeld(check) > LinksHeld(best))
            best = check;
    }
    return best;
}
