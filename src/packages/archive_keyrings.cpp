#include "packages/archive_keyrings.h"

#include <QDir>
#include <QFileInfo>

#include <apt-pkg/error.h>
#include <apt-pkg/fileutl.h>
#include <apt-pkg/strutl.h>
#include <apt-pkg/tagfile.h>

namespace {

QString Field(const pkgTagSection& section, const char* name)
{
    return QString::fromStdString(section.FindS(name)).simplified();
}

} // namespace

ArchiveKeyrings::ArchiveKeyrings(const QString& root)
{
    if (QFileInfo(root + QStringLiteral("etc/apt/trusted.gpg")).isFile())
        m_trusted << root + QStringLiteral("etc/apt/trusted.gpg");
    const QDir parts(root + QStringLiteral("etc/apt/trusted.gpg.d"));
    for (const QString& name :
        parts.entryList({ QStringLiteral("*.gpg"), QStringLiteral("*.asc") }, QDir::Files, QDir::Name))
        m_trusted << parts.filePath(name);

    // One-line sources ([signed-by=...]) are not read: they fall back to the
    // trusted keyrings, which may accept a list apt itself would refuse.
    const QDir sources(root + QStringLiteral("etc/apt/sources.list.d"));
    for (const QString& name : sources.entryList({ QStringLiteral("*.sources") }, QDir::Files, QDir::Name)) {
        FileFd file;
        if (!file.Open(sources.filePath(name).toStdString(), FileFd::ReadOnly)) {
            _error->Discard();
            continue;
        }
        pkgTagFile stanzas(&file);
        pkgTagSection stanza;
        while (stanzas.Step(stanza)) {
            const QString signedBy = Field(stanza, "Signed-By");
            // An inline key block is left to the trusted keyrings too.
            if (signedBy.isEmpty() || signedBy.contains(QLatin1String("BEGIN PGP")))
                continue;
            QStringList keyrings;
            // Fingerprints naming keys of the trusted keyrings are not followed.
            for (const QString& path : signedBy.split(u' ', Qt::SkipEmptyParts))
                if (path.startsWith(u'/'))
                    keyrings << root + path.mid(1);
            if (keyrings.isEmpty())
                continue;
            for (QString uri : Field(stanza, "URIs").split(u' ', Qt::SkipEmptyParts)) {
                if (!uri.endsWith(u'/'))
                    uri += u'/';
                for (const QString& suite : Field(stanza, "Suites").split(u' ', Qt::SkipEmptyParts)) {
                    const QString dist
                        = suite.endsWith(u'/') ? uri + suite : uri + QStringLiteral("dists/") + suite + u'/';
                    m_signedBy[QString::fromStdString(URItoFileName(dist.toStdString()))] = keyrings;
                }
            }
        }
        _error->Discard();
    }
}

QStringList ArchiveKeyrings::forLists(const QString& prefix) const
{
    const auto found = m_signedBy.find(prefix);
    return found != m_signedBy.end() ? found->second : m_trusted;
}
