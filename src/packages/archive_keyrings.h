#pragma once

#include <QString>
#include <QStringList>

#include <map>

// Which keyrings a root trusts for the lists apt fetched, as apt chooses them:
// a source with Signed-By (in a deb822 .sources file) trusts its own keyrings
// only; every other source trusts etc/apt/trusted.gpg and trusted.gpg.d.
class ArchiveKeyrings {
public:
    // root ends with "/".
    explicit ArchiveKeyrings(const QString& root);

    // The keyrings for the list files named with prefix in var/lib/apt/lists
    // (as "deb.debian.org_debian_dists_bookworm_").
    QStringList forLists(const QString& prefix) const;

private:
    QStringList m_trusted;
    std::map<QString, QStringList> m_signedBy;
};
