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
        // Without waiting: a FIFO or device put in a file's place since it
        // was listed must not hold the walk for ever.
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

class RegularFileAccess final : public PosixFileAccess {
public:
    int open(const QByteArray& encodedName, bool create) override
    {
        const int handle = PosixFileAccess::open(encodedName, create);
        struct stat st;
        if (handle < 0 || create)
            return handle;
        if (::fstat(handle, &st) == 0 && S_ISREG(st.st_mode)) {
            t_opened = {handle, st.st_size};
            return handle;
        }
        ::close(handle);
        errno = EINVAL;
        return -1;
    }

    qint64 size(int handle) override
    {
        return handle == t_opened.handle ? t_opened.size : PosixFileAccess::size(handle);
    }

    bool close(int handle) override
    {
        if (handle == t_opened.handle)
            t_opened.handle = -1;
        return PosixFileAccess::close(handle);
    }

private:
    // What open found of the file this thread opened last, so that asking its
    // size costs no second fstat.
    struct Opened {
        int handle = -1;
        qint64 size = 0;
    };
    static thread_local Opened t_opened;
};

thread_local RegularFileAccess::Opened RegularFileAccess::t_opened;

} // namespace

int OpenForReading(const QByteArray& encodedName, int flags)
{
    flags |= O_NOATIME | O_CLOEXEC;
    for (;;) {
        const int fd = ::open(encodedName.constData(), flags);
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

FileAccess& FileAccess::regularFiles()
{
    static RegularFileAccess access;
    return access;
}
