#include "scan/directory_entries.h"

#include "common/file_name_codec.h"
#include "bits/file_access.h"
#include "common/shown_name.h"
#include "scan/dos_time.h"
#include "scan/inode_attributes.h"
#include "scan/pseudo_file_systems.h"

#include <QFile>

#include <algorithm>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

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
    return DecodeFileName(target);
}

// The fingerprint fields of what lstat or fstat gave.
void describeInode(const struct stat& own, Fingerprint& print)
{
    print.mode = own.st_mode;
    print.owner = own.st_uid;
    print.group = own.st_gid;
    if (S_ISBLK(own.st_mode) || S_ISCHR(own.st_mode))
        print.device = own.st_rdev;
}

// Fills found from what lstat gave for the name at (dirFd, at), name decoded;
// path is the name's whole path. The extended attributes of a regular file
// are read from the descriptor that reads it, and those of a directory when
// it is listed; those of any other name by its path.
void describe(int dirFd, const char* at, const QByteArray& path, const struct stat& own, DirectoryEntry& found)
{
    found.walkInto = S_ISDIR(own.st_mode);
    describeInode(own, found.print);
    if (!S_ISREG(own.st_mode) && !found.walkInto)
        found.print.xattrs = ReadExtendedAttributesOfName(path);
    // What the row's own fields describe: the file a link leads to, where
    // it leads to one, else the name itself.
    struct stat shown = own;
    if (S_ISLNK(own.st_mode)) {
        found.print.linkTarget = linkText(dirFd, at, own.st_size);
        struct stat target {};
        if (fstatat(dirFd, at, &target, 0) == 0)
            shown = target;
    }
    found.readContents = S_ISREG(shown.st_mode);
    found.rec.Size = found.readContents ? qint64(shown.st_size) : 0;
    found.rec.Time = PackDosDateTime(shown.st_mtime);
    found.rec.Attr = attributes(shown, found.walkInto, found.rec.Name);
}

void note(NotExaminedList* notExamined, const QString& path, const QString& reason)
{
    if (notExamined)
        notExamined->append({path, reason});
}

} // namespace

QString NotExaminedReason(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("нет доступа");
    case ENAMETOOLONG:
        return QStringLiteral("слишком длинный путь");
    case ELOOP:
        return QStringLiteral("слишком много символических ссылок");
    default:
        return QString::fromLocal8Bit(strerror(error));
    }
}

bool ListDirectory(const QString& dir, const PseudoFileSystems& pseudo, std::vector<DirectoryEntry>& entries,
                   NotExaminedList* notExamined, ListedDirectory* listed)
{
    entries.clear();
    ListedDirectory ignored;
    ListedDirectory& itself = listed ? *listed : ignored;
    itself = ListedDirectory();
    const QByteArray path = EncodeFileName(dir);
    const int fd = OpenForReading(path, O_RDONLY | O_DIRECTORY);
    if (fd < 0) {
        // Gone since its parent was listed, or never there: nothing to see.
        // One that may not be read is there; of one whose path is too long
        // nothing is known.
        const int error = errno;
        itself.there = error != ENOENT && error != ENOTDIR && error != ENAMETOOLONG;
        if (error != ENOENT)
            note(notExamined, ShownName(dir), NotExaminedReason(error));
        return false;
    }
    struct stat self {};
    if (fstat(fd, &self) != 0 || pseudo.contains(self.st_dev)) {
        close(fd);
        return false;
    }
    itself.there = true;
    if (listed) {
        Fingerprint& print = itself.print.emplace();
        describeInode(self, print);
        print.xattrs = ReadExtendedAttributes(fd);
        print.flags = ReadInodeFlags(fd);
    }
    std::unique_ptr<DIR, DirCloser> stream(fdopendir(fd));
    if (!stream) {
        note(notExamined, ShownName(dir), NotExaminedReason(errno));
        close(fd);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(stream.get());
        if (!entry) {
            if (errno != 0) // the listing broke off: what it gave is kept
                note(notExamined, ShownName(dir), NotExaminedReason(errno));
            break;
        }
        const char* raw = entry->d_name;
        if ((raw[0] == '.' && raw[1] == '\0') || (raw[0] == '.' && raw[1] == '.' && raw[2] == '\0'))
            continue;
        struct stat own {};
        if (fstatat(fd, raw, &own, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) // else vanished since it was listed
                note(notExamined, JoinPath(ShownName(dir), ShownNameBytes(raw)), NotExaminedReason(errno));
            continue;
        }
        // Not even opened: opening an automount point would mount it.
        if (S_ISDIR(own.st_mode) && pseudo.contains(own.st_dev))
            continue;
        DirectoryEntry found;
        found.rec.Name = DecodeFileName(raw);
        const bool byPath = !S_ISREG(own.st_mode) && !S_ISDIR(own.st_mode);
        describe(fd, raw, byPath ? path + '/' + raw : QByteArray(), own, found);
        entries.push_back(std::move(found));
    }
    return true;
}

FileSums ReadEntryContents(const QString& dir, DirectoryEntry& entry)
{
    // A link's own attributes are its own, read with the listing.
    const bool regular = S_ISREG(entry.print.mode);
    const FileDigests read = FileChecksumsAndDigest(JoinPath(dir, entry.rec.Name), FileAccess::regularFiles(), [&](int fd) {
        if (regular) {
            entry.print.xattrs = ReadExtendedAttributes(fd);
            entry.print.flags = ReadInodeFlags(fd);
        }
    });
    entry.print.sha256 = read.sha256;
    return read.sums;
}

int ExamineEntry(const QString& dir, const QString& name, DirectoryEntry& entry)
{
    const QByteArray path = EncodeFileName(JoinPath(dir, name));
    struct stat own {};
    if (fstatat(AT_FDCWD, path.constData(), &own, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    entry = DirectoryEntry();
    entry.rec.Name = name;
    describe(AT_FDCWD, path.constData(), path, own, entry);
    return 0;
}
