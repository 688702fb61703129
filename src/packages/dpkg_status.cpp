#include "packages/dpkg_status.h"

#include "common/exception.h"
#include "common/file_name_codec.h"
#include "common/shown_name.h"

#include <apt-pkg/error.h>
#include <apt-pkg/fileutl.h>
#include <apt-pkg/tagfile.h>

#include <QDir>

#include <map>
#include <utility>

namespace {

QString aptErrors()
{
    QString text;
    std::string message;
    while (_error->PopMessage(message))
        text += (text.isEmpty() ? QString() : QStringLiteral("; ")) + QString::fromStdString(message);
    return text;
}

[[noreturn]] void failRead(const QString& file)
{
    const QString reason = aptErrors();
    throw Exception(QStringLiteral("Не удалось прочитать базу данных dpkg: ") + ShownName(file)
                    + (reason.isEmpty() ? QString() : QStringLiteral(": ") + reason));
}

QString field(const pkgTagSection& section, const char* name)
{
    const APT::StringView value = section.Find(APT::StringView(name));
    return QString::fromUtf8(value.data(), qsizetype(value.size()));
}

// Lines " /etc/x 0123...ef [obsolete] [remove-on-upgrade]": the flags go
// last and the name may hold spaces, so the MD5 is read from the end.
std::vector<Conffile> conffiles(const pkgTagSection& section)
{
    const APT::StringView raw = section.Find(APT::StringView("Conffiles"));
    std::vector<Conffile> result;
    for (const QByteArray& line : QByteArray(raw.data(), qsizetype(raw.size())).split('\n')) {
        QList<QByteArray> words = line.trimmed().split(' ');
        while (words.size() > 2 && (words.last() == "obsolete" || words.last() == "remove-on-upgrade"))
            words.removeLast();
        if (words.size() < 2)
            continue;
        const QByteArray md5 = words.takeLast();
        result.push_back({words.join(' '), md5});
    }
    return result;
}

using Key = std::pair<QString, QString>;

void readRecords(const QString& file, std::map<Key, InstalledPackage>& packages)
{
    FileFd fd(EncodeFileName(file).toStdString(), FileFd::ReadOnly);
    if (!fd.IsOpen() || fd.Failed())
        failRead(file);
    pkgTagFile tags(&fd);
    pkgTagSection section;
    while (tags.Step(section)) {
        InstalledPackage package;
        package.name = field(section, "Package");
        package.architecture = field(section, "Architecture");
        package.version = field(section, "Version");
        package.status = field(section, "Status").simplified();
        package.multiArchSame = field(section, "Multi-Arch") == u"same";
        package.conffiles = conffiles(section);
        if (package.name.isEmpty())
            continue;
        Key key{package.name, package.architecture};
        // A later record of a package replaces the earlier one, as in dpkg.
        if (package.status.endsWith(u" not-installed") || package.status.isEmpty())
            packages.erase(key);
        else
            packages.insert_or_assign(std::move(key), std::move(package));
    }
    if (_error->PendingError())
        failRead(file);
}

} // namespace

std::vector<InstalledPackage> ReadDpkgStatus(const QString& admindir)
{
    std::map<Key, InstalledPackage> packages;
    readRecords(admindir + QStringLiteral("/status"), packages);
    // A dpkg run cut short leaves its changes in updates/, one numbered file
    // each, to be applied over the status file in their order.
    QDir updates(admindir + QStringLiteral("/updates"));
    QStringList numbered;
    for (const QString& name : updates.entryList(QDir::Files, QDir::Name)) {
        bool number = false;
        name.toULongLong(&number);
        if (number)
            numbered.append(name);
    }
    for (const QString& name : numbered)
        readRecords(updates.filePath(name), packages);

    std::vector<InstalledPackage> result;
    result.reserve(packages.size());
    for (auto& [key, package] : packages)
        result.push_back(std::move(package));
    return result;
}
