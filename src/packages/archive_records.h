#pragma once

#include "packages/archive_keyrings.h"
#include "packages/archive_signature.h"

#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <tuple>
#include <vector>

// How far a cached .deb was traced back to a key the root trusts. The links,
// in order: the .deb is in the cache; a Packages list names the package; the
// InRelease that lists that Packages file bears a good signature; the Packages
// file has the SHA-256 and size the InRelease gives; the .deb has the SHA-256
// and size the Packages stanza gives.
struct ArchiveCheck {
    QString deb; // in var/cache/apt/archives, found or not
    QString release; // the InRelease of the list that named it
    QString packages; // that list, as apt keeps it (perhaps compressed)
    QString signer; // the fingerprint of the key that signed the InRelease

    bool cached = false;
    bool listed = false;
    bool signatureHolds = false;
    bool packagesHolds = false;
    bool debHolds = false;

    // Why the chain broke, in one line; empty when it held.
    QString failure;

    bool holds() const { return cached && listed && signatureHolds && packagesHolds && debHolds; }
};

// What apt recorded under a root ("/" or an image of one): the lists of
// var/lib/apt/lists (*_InRelease and the *_Packages files beside them,
// uncompressed or as .gz, .xz, .lz4, .zst, .bz2 or .lzma) and the .debs of
// var/cache/apt/archives. The lists are read on the first check and each
// InRelease and Packages file is verified once for the object's life.
class ArchiveRecords {
public:
    explicit ArchiveRecords(QString root = QStringLiteral("/"));
    ~ArchiveRecords();
    ArchiveRecords(const ArchiveRecords&) = delete;
    ArchiveRecords& operator=(const ArchiveRecords&) = delete;

    // The cached .deb of a package, as apt names it, whether there or not.
    QString cachedDeb(const QString& package, const QString& version, const QString& architecture) const;

    // Traces the cached .deb of package, version and architecture back to a
    // trusted key. Where several lists name it, the first through which the
    // whole chain holds is taken, else the one that got furthest.
    ArchiveCheck verify(const QString& package, const QString& version, const QString& architecture);

private:
    struct List;
    struct Stanza;
    void load();
    const ReleaseSignature& signature(const QString& release);
    const QString& packagesFailure(const List& list);

    QString m_root;
    bool m_loaded = false;
    std::unique_ptr<ArchiveKeyrings> m_keyrings;
    std::vector<List> m_lists;
    std::map<std::tuple<QString, QString, QString>, std::vector<Stanza>> m_stanzas;
    std::map<QString, ReleaseSignature> m_signatures;
    std::map<QString, QString> m_packagesFailures;
};
