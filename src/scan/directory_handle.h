#pragma once

#include <QString>

#include <atomic>
#include <memory>

#include <sys/stat.h>

// An open directory. A walk opens every name relative to the directory that
// listed it, never by a path: a directory swapped for a link while the walk
// goes on cannot lead it anywhere else, and what it reads is in the directory
// it listed. Shared by the names listed from it that wait to be read, and
// closed once the last holder lets go.
class DirectoryHandle {
public:
    DirectoryHandle() = default; // none

    // Opens path as a directory, following no link at its last name; the
    // names before it are the caller's, and followed. Returns 0 with the
    // handle and what fstat says of it, or errno: ENOENT for nothing there,
    // ELOOP or ENOTDIR for something there that is not a directory.
    static int open(const QString& path, DirectoryHandle& handle, struct stat& self);
    // The same for the name in this directory.
    int openSubdirectory(const char* name, DirectoryHandle& handle, struct stat& self) const;
    // Opens path, which lies in root (or is root), one name at a time from
    // root and never through a link, the names of root itself as open() does;
    // errno as open() gives it, of the first name that is not a directory.
    static int openBeneath(const QString& root, const QString& path, DirectoryHandle& handle, struct stat& self);

    int fd() const { return m_open ? m_open->fd : -1; }
    explicit operator bool() const { return bool(m_open); }

    // Handles open now, in the whole program.
    static int openCount() { return s_open.load(std::memory_order_relaxed); }

private:
    struct Open {
        explicit Open(int fd);
        ~Open();
        int fd;
    };
    static int adopt(int fd, DirectoryHandle& handle, struct stat& self);
    std::shared_ptr<const Open> m_open;
    static std::atomic<int> s_open;
};
