#include "scan/directory_entries.h"

#include "bits/file_access.h"
#include "scan/dos_time.h"
#include "scan/pseudo_file_systems.h"

#include <QFile>
#include <QStringDecoder>

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

} // namespace

bool ListDirectory(const QString& dir, const PseudoFileSystems& pseudo, std::vector<TSearchRec>& entries)
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
        struct stat info {};
        if (fstatat(fd, raw, &info, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // vanished since it was listed
        bool directory = S_ISDIR(info.st_mode);
        // Not even opened: opening an automount point would mount it.
        if (directory && pseudo.contains(info.st_dev))
            continue;
        if (S_ISLNK(info.st_mode)) {
            // Only links to regular files count, as the file they point to.
            if (fstatat(fd, raw, &info, 0) != 0 || !S_ISREG(info.st_mode))
                continue;
        } else if (!directory && !S_ISREG(info.st_mode)) {
            continue;
        }
        TSearchRec rec;
        if (!decodeName(raw, rec.Name))
            continue;
        rec.Size = qint32(quint32(quint64(info.st_size) & 0xFFFFFFFFu));
        rec.Time = PackDosDateTime(info.st_mtime);
        rec.Attr = attributes(info, directory, rec.Name);
        entries.push_back(std::move(rec));
    }
    return true;
}
