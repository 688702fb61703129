#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>
#include <vector>

// Where a root's /bin, /sbin, /lib, /lib32, /lib64 and /libx32 are symbolic
// links into /usr, dpkg may list a file as /bin/x that is /usr/bin/x on disk,
// or the other way round. canonical() spells either the /usr way, so that
// both find the same package.
class MergedUsr {
public:
    explicit MergedUsr(const QString& root);

    // path (absolute, as dpkg writes it under the root) with a linked
    // directory replaced by the one under /usr it leads to.
    QByteArray canonical(QByteArrayView path) const;

    bool isMerged() const { return !m_links.empty(); }

private:
    // "/bin" and "/usr/bin", for each such link.
    std::vector<std::pair<QByteArray, QByteArray>> m_links;
};
