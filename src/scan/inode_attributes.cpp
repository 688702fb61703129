#include "scan/inode_attributes.h"

#include <array>
#include <cerrno>
#include <cstdio>

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/xattr.h>

namespace {

struct FlagLetter {
    quint32 flag;
    char letter;
};

// In lsattr's order.
constexpr std::array kFlagLetters{
    FlagLetter{FS_SECRM_FL, 's'},   FlagLetter{FS_UNRM_FL, 'u'},         FlagLetter{FS_SYNC_FL, 'S'},
    FlagLetter{FS_DIRSYNC_FL, 'D'}, FlagLetter{FS_IMMUTABLE_FL, 'i'},    FlagLetter{FS_APPEND_FL, 'a'},
    FlagLetter{FS_NODUMP_FL, 'd'},  FlagLetter{FS_NOATIME_FL, 'A'},      FlagLetter{FS_COMPR_FL, 'c'},
    FlagLetter{FS_ENCRYPT_FL, 'E'}, FlagLetter{FS_JOURNAL_DATA_FL, 'j'}, FlagLetter{FS_NOTAIL_FL, 't'},
    FlagLetter{FS_TOPDIR_FL, 'T'},  FlagLetter{FS_NOCOW_FL, 'C'},        FlagLetter{FS_DAX_FL, 'x'},
    FlagLetter{FS_CASEFOLD_FL, 'F'}, FlagLetter{FS_PROJINHERIT_FL, 'P'}, FlagLetter{FS_VERITY_FL, 'V'},
    FlagLetter{FS_NOCOMP_FL, 'm'},
};

constexpr quint32 comparedFlags()
{
    quint32 all = 0;
    for (const FlagLetter& each : kFlagLetters)
        all |= each.flag;
    return all;
}

// Room for the names of most files' attributes, so that one call lists them.
constexpr std::size_t kListRoom = 1024;

// Lists the names with list(buffer, size) and reads each value with
// get(name, buffer, size), both as the xattr calls.
template<typename List, typename Get>
SharedAttributes readAll(List list, Get get)
{
    // Most names have none: their list is read into the stack, and nothing
    // is allocated.
    char room[kListRoom];
    ssize_t length = list(room, sizeof room);
    if (length == 0)
        return ShareAttributes({});
    QByteArray names;
    if (length > 0)
        names = QByteArray(room, qsizetype(length));
    while (length < 0 && errno == ERANGE) { // more than the room: ask how much
        length = list(nullptr, 0);
        if (length < 0)
            break;
        names.resize(qsizetype(length) + 1);
        length = list(names.data(), std::size_t(names.size()));
    }
    if (length < 0)
        return nullptr; // none kept, or the list may not be read
    ExtendedAttributes found;
    for (qsizetype at = 0; at < length;) {
        const char* name = names.constData() + at;
        const QByteArray key(name);
        at += key.size() + 1;
        QByteArray value;
        ssize_t size = get(name, nullptr, 0);
        while (size >= 0) {
            value.resize(qsizetype(size));
            const ssize_t got = get(name, value.data(), std::size_t(value.size()));
            if (got >= 0) {
                value.truncate(qsizetype(got));
                break;
            }
            size = errno == ERANGE ? get(name, nullptr, 0) : -1;
        }
        if (size >= 0)
            found.emplace(key, value);
        else if (errno != ENODATA) // else removed since it was listed
            found.emplace(key, std::nullopt);
    }
    return ShareAttributes(std::move(found));
}

} // namespace

SharedAttributes ReadExtendedAttributes(int fd)
{
    return readAll([fd](char* list, std::size_t size) { return flistxattr(fd, list, size); },
                   [fd](const char* name, void* value, std::size_t size) { return fgetxattr(fd, name, value, size); });
}

SharedAttributes ReadExtendedAttributesOfOpenPath(int pathFd)
{
    char at[32];
    std::snprintf(at, sizeof at, "/proc/self/fd/%d", pathFd);
    return readAll([&at](char* list, std::size_t size) { return listxattr(at, list, size); },
                   [&at](const char* name, void* value, std::size_t size) { return getxattr(at, name, value, size); });
}

std::optional<quint32> ReadInodeFlags(int fd)
{
    int flags = 0; // the kernel reads and writes an int, whatever the ioctl's name says
    if (ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0)
        return std::nullopt;
    return quint32(flags) & comparedFlags();
}

QString InodeFlagsText(quint32 flags)
{
    QString text;
    for (const FlagLetter& each : kFlagLetters)
        text.append((flags & each.flag) ? QChar::fromLatin1(each.letter) : u'-');
    return text;
}
