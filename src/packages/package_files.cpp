#include "packages/package_files.h"

#include "packages/dpkg_info_files.h"
#include "packages/merged_usr.h"

#include <QHash>

QByteArray PackageFilesText(const QString& admindir, const MergedUsr& mergedUsr, const InstalledPackage& package)
{
    QHash<QByteArray, QByteArray> sums;
    ForEachMd5sum(admindir, package, [&](QByteArrayView path, QByteArrayView md5) {
        sums.insert(mergedUsr.canonical(path), md5.toByteArray());
    });
    for (const Conffile& conffile : package.conffiles)
        if (conffile.md5.size() == 32)
            sums.insert(mergedUsr.canonical(conffile.path), conffile.md5);
    QByteArray text;
    ForEachListedPath(admindir, package, [&](QByteArrayView listed) {
        const QByteArray path = mergedUsr.canonical(listed);
        const auto sum = sums.constFind(path);
        text.append(sum == sums.constEnd() ? QByteArrayView("-") : QByteArrayView(*sum)).append(' ').append(path).append('\n');
    });
    return text;
}

void ForEachPackageFile(QByteArrayView text, const std::function<void(QByteArrayView path, QByteArrayView md5)>& each)
{
    qsizetype at = 0;
    while (at < text.size()) {
        qsizetype end = text.indexOf('\n', at);
        if (end < 0)
            end = text.size();
        const QByteArrayView line = text.sliced(at, end - at);
        const qsizetype blank = line.indexOf(' ');
        if (blank > 0)
            each(line.sliced(blank + 1), line.first(blank));
        at = end + 1;
    }
}

bool PathBelow(QByteArrayView path, QByteArrayView dir)
{
    if (dir == "/" || dir.isEmpty())
        return path.startsWith('/');
    return path.startsWith(dir) && (path.size() == dir.size() || path[dir.size()] == '/');
}
