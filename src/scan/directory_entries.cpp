#include "scan/directory_entries.h"

#include "common/file_name_codec.h"
#include "bits/file_access.h"
#include "common/shown_name.h"
#include "scan/dos_time.h"
#include "scan/inode_attributes.h"
#include "scan/pseudo_file_systems.h"

#include <algorithm>
#include <memory>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct DirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

struct FdCloser {
    int fd;
    ~FdCloser() { close(fd); }
};

qint32 attributes(const struct stat& info, const QString& name)
{
    qint32 attr = S_ISDIR(info.st_mode) ? faDirectory : faArchive;
    if (!(info.st_mode & S_IWUSR))
        attr |= faReadOnly;
    if (name.startsWith(u'.'))
        attr |= faHidden;
    return attr;
}

// The fingerprint fields of what fstat gave.
void describeInode(const struct stat& own, Fingerprint& print)
{
    print.mode = own.st_mode;
    print.owner = own.st_uid;
    print.group = own.st_gid;
    if (S_ISBLK(own.st_mode) || S_ISCHR(own.st_mode))
        print.device = own.st_rdev;
    if (S_ISREG(own.st_mode))
        print.links = quint32(own.st_nlink);
}

// The row's fields of the name, as fstat gave them; a link's size is the
// length of its target text.
void describe(const struct stat& own, qint64 size, DirectoryEntry& found)
{
    found.walkInto = S_ISDIR(own.st_mode);
    found.readContents = S_ISREG(own.st_mode);
    describeInode(own, found.print);
    found.rec.Size = size;
    found.rec.Time = PackDosDateTime(own.st_mtime);
    found.rec.Attr = attributes(own, found.rec.Name);
}

// Describes the name opened as pathFd (O_PATH, not followed): never opened
// for reading, so that a FIFO or a device is not woken.
int describeOpenedPath(int pathFd, DirectoryEntry& found)
{
    struct stat own {};
    if (fstat(pathFd, &own) != 0)
        return errno;
    qint64 size = 0;
    if (S_ISLNK(own.st_mode)) {
        QByteArray target(std::max<qint64>(own.st_size, 255) + 1, Qt::Uninitialized);
        const ssize_t length = readlinkat(pathFd, "", target.data(), std::size_t(target.size()));
        if (length < 0)
            return errno;
        target.truncate(qsizetype(length));
        found.print.linkTarget = DecodeFileName(target);
        size = length;
    } else if (S_ISREG(own.st_mode)) {
        size = own.st_size;
    }
    if (!S_ISREG(own.st_mode) && !S_ISDIR(own.st_mode))
        found.print.xattrs = ReadExtendedAttributesOfOpenPath(pathFd);
    describe(own, size, found);
    return 0;
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
    case EMFILE:
    case ENFILE:
        return QStringLiteral("слишком много открытых файлов");
    default:
        return QString::fromLocal8Bit(strerror(error));
    }
}

bool PathTooLong(const QString& dir, const QString& name)
{
    // A text unit is one to three bytes: most paths need no encoding to tell.
    if ((dir.size() + 1 + name.size()) * 3 < PATH_MAX)
        return false;
    return EncodeFileName(name.isEmpty() ? dir : JoinPath(dir, name)).size() >= PATH_MAX;
}

bool ListDirectory(const DirectoryHandle& dir, const QString& path, const PseudoFileSystems& pseudo,
                   std::vector<DirectoryEntry>& entries, NotExaminedList* notExamined)
{
    entries.clear();
    // A description of its own, so that listing again starts at the start.
    const int fd = OpenForReadingAt(dir.fd(), ".", O_RDONLY | O_DIRECTORY);
    std::unique_ptr<DIR, DirCloser> stream(fd < 0 ? nullptr : fdopendir(fd));
    if (!stream) {
        note(notExamined, ShownName(path), NotExaminedReason(errno));
        if (fd >= 0)
            close(fd);
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(stream.get());
        if (!entry) {
            if (errno != 0) // the listing broke off: what it gave is kept
                note(notExamined, ShownName(path), NotExaminedReason(errno));
            break;
        }
        const char* raw = entry->d_name;
        if ((raw[0] == '.' && raw[1] == '\0') || (raw[0] == '.' && raw[1] == '.' && raw[2] == '\0'))
            continue;
        DirectoryEntry found;
        found.readContents = entry->d_type == DT_REG;
        if (entry->d_type == DT_DIR || entry->d_type == DT_UNKNOWN) {
            struct stat own {};
            if (fstatat(dir.fd(), raw, &own, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) // else vanished since it was listed
                    note(notExamined, JoinPath(ShownName(path), ShownNameBytes(raw)), NotExaminedReason(errno));
                continue;
            }
            // Not even opened: opening an automount point would mount it.
            if (S_ISDIR(own.st_mode) && pseudo.contains(own.st_dev))
                continue;
            found.walkInto = S_ISDIR(own.st_mode);
            found.readContents = S_ISREG(own.st_mode);
        }
        found.rec.Name = DecodeFileName(raw);
        entries.push_back(std::move(found));
    }
    return true;
}

int ExamineEntry(const DirectoryHandle& dir, const QString& name, DirectoryEntry& entry)
{
    const int fd = openat(dir.fd(), EncodeFileName(name).constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const FdCloser closer{fd};
    entry = DirectoryEntry();
    entry.rec.Name = name;
    return describeOpenedPath(fd, entry);
}

int ExaminePath(const QString& path, DirectoryEntry& entry)
{
    const int fd = open(EncodeFileName(path).constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const FdCloser closer{fd};
    entry = DirectoryEntry();
    entry.rec.Name = NameOf(path);
    return describeOpenedPath(fd, entry);
}

int ReadEntryContents(const DirectoryHandle& dir, DirectoryEntry& entry, FileSums& sums)
{
    // Without waiting: a FIFO or device put in the file's place since it was
    // listed must not hold the walk for ever. It is closed again unread.
    const int fd = OpenForReadingAt(dir.fd(), EncodeFileName(entry.rec.Name).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd < 0)
        return errno;
    const FdCloser closer{fd};
    struct stat own {};
    if (fstat(fd, &own) != 0)
        return errno;
    if (!S_ISREG(own.st_mode))
        return EINVAL;
    const QString name = std::move(entry.rec.Name);
    entry = DirectoryEntry();
    entry.rec.Name = name;
    describe(own, own.st_size, entry);
    entry.print.xattrs = ReadExtendedAttributes(fd);
    entry.print.flags = ReadInodeFlags(fd);
    FileDigests read;
    if (const int error = DescriptorChecksumsAndDigest(fd, own.st_size, read))
        return error;
    entry.print.sha256 = read.sha256;
    sums = read.sums;
    return 0;
}

Fingerprint DirectoryFingerprint(const DirectoryHandle& dir, const struct stat& self)
{
    Fingerprint print;
    describeInode(self, print);
    print.xattrs = ReadExtendedAttributes(dir.fd());
    print.flags = ReadInodeFlags(dir.fd());
    return print;
}

int ExamineNameIn(const QString& root, const QString& path, DirectoryEntry& entry, FileSums& sums)
{
    const QString dir = ParentOf(path);
    const QString name = NameOf(path);
    DirectoryHandle in;
    struct stat self {};
    const int opened = DirectoryHandle::openBeneath(root, dir, in, self);
    if (opened == ENOTDIR || opened == ELOOP)
        return ENOENT;
    if (opened != 0)
        return opened;
    sums = {0, 0};
    if (const int error = ExamineEntry(in, name, entry); error != 0 || !entry.readContents)
        return error;
    const int error = ReadEntryContents(in, entry, sums);
    if (error == 0)
        return 0;
    // Changed since it was looked at: judged as what it is now, unless it is
    // still a file that cannot be read.
    const int again = ExamineEntry(in, name, entry);
    return again != 0 || !entry.readContents ? again : error;
}
