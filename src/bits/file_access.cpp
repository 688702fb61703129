#include "bits/file_access.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class PosixFileAccess : public FileAccess {
public:
    int open(const QByteArray& encodedName, bool create) override
    {
        // Without waiting: a FIFO or a device named for a file must not hold
        // the program for ever.
        if (!create)
            return OpenForReading(encodedName, O_RDONLY | O_NONBLOCK);
        int fd;
        do
            fd = ::open(encodedName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        return fd;
    }

    void adviseSequential(int handle) override
    {
        // A larger read-ahead helps a long file that is not in the page
        // cache. Only advice, so its result is moot.
        ::posix_fadvise(handle, 0, 0, POSIX_FADV_SEQUENTIAL);
    }

    qint64 size(int handle) override
    {
        struct stat st;
        if (::fstat(handle, &st) != 0)
            return -1;
        return st.st_size;
    }

    qint64 read(int handle, quint8* buffer, qint64 count) override
    {
        // read() may return less than asked before the end (signals, some file
        // systems); the callers count a short block as the end of the file.
        qint64 done = 0;
        while (done < count) {
            const ssize_t got = ::read(handle, buffer + done, size_t(count - done));
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return -1;
            }
            if (got == 0)
                break;
            done += got;
        }
        return done;
    }

    bool write(int handle, const quint8* buffer, qint64 count) override
    {
        qint64 done = 0;
        while (done < count) {
            const ssize_t put = ::write(handle, buffer + done, size_t(count - done));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return false;
            }
            done += put;
        }
        return true;
    }

    bool close(int handle) override
    {
        // Linux releases the descriptor even when close() fails; retrying on
        // EINTR could close a descriptor another thread has just been given.
        return ::close(handle) == 0;
    }
};

} // namespace

int OpenForReading(const QByteArray& encodedName, int flags)
{
    return OpenForReadingAt(AT_FDCWD, encodedName.constData(), flags);
}

int OpenForReadingAt(int dirFd, const char* name, int flags)
{
    flags |= O_NOATIME | O_CLOEXEC;
    for (;;) {
        const int fd = ::openat(dirFd, name, flags);
        if (fd < 0 && errno == EINTR)
            continue;
        if (fd < 0 && errno == EPERM && (flags & O_NOATIME)) {
            flags &= ~O_NOATIME;
            continue;
        }
        return fd;
    }
}

FileAccess& FileAccess::system()
{
    static PosixFileAccess access;
    return access;
}
