#include "packages/dpkg_info_files.h"

#include "common/exception.h"
#include "common/shown_name.h"

#include <QFile>

namespace {

// The whole of package's info file with suffix, empty where there is none.
QByteArray readInfoFile(const QString& admindir, const InstalledPackage& package, const QString& suffix)
{
    const QString base = admindir + QStringLiteral("/info/") + package.name;
    const QString qualified = base + u':' + package.architecture + suffix;
    const QString plain = base + suffix;
    // A database from before multiarch, or converted from one, may name
    // either way; the one the package's kind calls for comes first.
    for (const QString& name : package.multiArchSame ? QStringList{qualified, plain} : QStringList{plain, qualified}) {
        QFile file(name);
        if (!file.exists())
            continue;
        if (!file.open(QIODevice::ReadOnly))
            throw Exception(QStringLiteral("Не удалось прочитать файл базы данных dpkg: ") + ShownName(name)
                            + QStringLiteral(": ") + file.errorString());
        return file.readAll();
    }
    return {};
}

template <typename Line>
void forEachLine(QByteArrayView text, Line line)
{
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        if (end > start)
            line(text.sliced(start, end - start));
        start = end + 1;
    }
}

} // namespace

void ForEachListedPath(const QString& admindir, const InstalledPackage& package,
                       const std::function<void(QByteArrayView path)>& each)
{
    forEachLine(readInfoFile(admindir, package, QStringLiteral(".list")), [&](QByteArrayView path) {
        each(path == "/." ? QByteArrayView("/") : path);
    });
}

void ForEachMd5sum(const QString& admindir, const InstalledPackage& package,
                   const std::function<void(QByteArrayView path, QByteArrayView md5)>& each)
{
    ForEachMd5sumLine(readInfoFile(admindir, package, QStringLiteral(".md5sums")), each);
}

void ForEachMd5sumLine(QByteArrayView text, const std::function<void(QByteArrayView path, QByteArrayView md5)>& each)
{
    QByteArray absolute;
    forEachLine(text, [&](QByteArrayView line) {
        // md5sum's own format: 32 hex digits, two spaces (or " *"), the path.
        if (line.size() < 35)
            return;
        QByteArrayView path = line.sliced(34);
        while (path.startsWith('/'))
            path = path.sliced(1);
        absolute = "/";
        absolute.append(path);
        each(absolute, line.first(32));
    });
}
