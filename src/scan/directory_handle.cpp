#include "scan/directory_handle.h"

#include "bits/file_access.h"
#include "common/file_name_codec.h"

#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

std::atomic<int> DirectoryHandle::s_open{0};

namespace {

constexpr int kDirectoryFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW;

} // namespace

DirectoryHandle::Open::Open(int fd) : fd(fd)
{
    s_open.fetch_add(1, std::memory_order_relaxed);
}

DirectoryHandle::Open::~Open()
{
    ::close(fd);
    s_open.fetch_sub(1, std::memory_order_relaxed);
}

int DirectoryHandle::adopt(int fd, DirectoryHandle& handle, struct stat& self)
{
    if (fd < 0)
        return errno;
    if (fstat(fd, &self) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    handle.m_open = std::make_shared<const Open>(fd);
    return 0;
}

int DirectoryHandle::open(const QString& path, DirectoryHandle& handle, struct stat& self)
{
    return adopt(OpenForReading(EncodeFileName(path), kDirectoryFlags), handle, self);
}

int DirectoryHandle::openSubdirectory(const char* name, DirectoryHandle& handle, struct stat& self) const
{
    return adopt(OpenForReadingAt(fd(), name, kDirectoryFlags), handle, self);
}

int DirectoryHandle::openBeneath(const QString& root, const QString& path, DirectoryHandle& handle, struct stat& self)
{
    DirectoryHandle at;
    if (const int error = open(root, at, self))
        return error;
    const QString below = path.mid(root.size());
    if (path.size() < root.size() || !path.startsWith(root) || (!below.isEmpty() && !below.startsWith(u'/') && !root.endsWith(u'/')))
        return EXDEV; // not in root
    for (const QString& name : below.split(u'/', Qt::SkipEmptyParts)) {
        if (name == u"." || name == u"..")
            return EXDEV;
        DirectoryHandle next;
        if (const int error = at.openSubdirectory(EncodeFileName(name).constData(), next, self))
            return error;
        at = std::move(next);
    }
    handle = std::move(at);
    return 0;
}
