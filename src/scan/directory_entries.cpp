#include "scan/directory_entries.h"

#include "bits/file_access.h"
#include "scan/dos_time.h"
#include "scan/pseudo_file_systems.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

// Decodes a file name, refusing bytes that are not UTF-8 (QFile::decodeName
// would replace them and the name could then not be opened again).
bool decodeName(const char* bytes, QString& name)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    name = decoder.decode(QByteArrayView(bytes));
    return !decoder.hasError();
}

qint32 attributes(const struct stat& info, bool directory, const QString& name)
{
    qint32 attr = directory ? faDirectory : faArchive;
    if (!(info.st_mode & S_IWUSR))
        attr |= faReadOnly;
    if (name.startsWith(u'.'))
        attr |= faHidden;
    return attr;
}

QString linkText(int dirFd, const char* name, qint64 size)
{
    QByteArray target(std::max<qint64>(size, 255) + 1, Qt::Uninitialized);
    const ssize_t length = readlinkat(dirFd, name, target.data(), std::size_t(target.size()));
    if (length < 0)
        return QString();
    target.truncate(qsizetype(length));
    return QFile::decodeName(target);
}

} // namespace

bool ListDirectory(const QString& dir, const PseudoFileSystems& pseudo, std::vector<DirectoryEntry>& entries)
{
    entries.clear();
    const QByteArray path = QFile::encodeName(dir);
    const int fd = OpenForReading(path, O_RDONLY | O_DIRECTORY);
    if (fd < 0)
        return false;
    struct stat self {};
    if (fstat(fd, &self) != 0 || pseudo.contains(self.st_dev)) {
        close(fd);
        return false;
    }
    std::unique_ptr<DIR, DirCloser> stream(fdopendir(fd));
    if (!stream) {
        close(fd);
        return false;
    }
    while (const dirent* entry = readdir(stream.get())) {
        const char* raw = entry->d_name;
        if ((raw[0] == '.' && raw[1] == '\0') || (raw[0] == '.' && raw[1] == '.' && raw[2] == '\0'))
            continue;
        struct stat own {};
        if (fstatat(fd, raw, &own, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished since it was listed
        DirectoryEntry found;
        found.walkInto = S_ISDIR(own.st_mode);
        // Not even opened: opening an automount point would mount it.
        if (found.walkInto && pseudo.contains(own.st_dev))
            continue;
        if (!decodeName(raw, found.rec.Name))
            continue;
        found.print.mode = own.st_mode;
        found.print.owner = own.st_uid;
        found.print.group = own.st_gid;
        // What the row's own fields describe: the file a link leads to, where
        // it leads to one, else the name itself.
        struct stat shown = own;
        if (S_ISLNK(own.st_mode)) {
            found.print.linkTarget = linkText(fd, raw, own.st_size);
            struct stat target {};
            if (fstatat(fd, raw, &target, 0) == 0)
                shown = target;
        }
        found.readContents = S_ISREG(shown.st_mode);
        found.rec.Size = found.readContents ? qint32(quint32(quint64(shown.st_size) & 0xFFFFFFFFu)) : 0;
        found.rec.Time = PackDosDateTime(shown.st_mtime);
        found.rec.Attr = attributes(shown, found.walkInto, found.rec.Name);
        entries.push_back(std::move(found));
    }
    return true;
}
