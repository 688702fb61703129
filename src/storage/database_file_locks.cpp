#include "storage/database_file_locks.h"

#include "storage/database_error.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A byte held while attaching or detaching; one a program may write-lock; then
// the bytes whose read locks say who
// has the file open, one for each user and lock directory (hashed).
constexpr off_t kWriterByte = off_t(1) << 61;
constexpr off_t kAttachByte = kWriterByte - 1;
constexpr off_t kMarks = kWriterByte + 1;
constexpr off_t kMarkCount = off_t(1) << 32;

off_t markOfThisProgram()
{
    // FNV-1a: the same number in every process and every build.
    // The lock directory itself, not its name: one removed and made again
    // (a session's runtime directory at logout) holds none of the engine's
    // shared state for the programs still using the old one.
    const QByteArray lockDirectory = qgetenv("FIREBIRD_LOCK");
    struct stat info {};
    const QByteArray identity = stat(lockDirectory.constData(), &info) == 0
        ? QByteArray::number(quint64(info.st_dev)) + ':' + QByteArray::number(quint64(info.st_ino))
        : lockDirectory;
    const QByteArray key = identity + '\0' + QByteArray::number(getuid());
    std::uint64_t hash = 14695981039346656037ull;
    for (const char c : key)
        hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return kMarks + off_t(hash % std::uint64_t(kMarkCount));
}

struct flock range(short type, off_t start, off_t length)
{
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = start;
    lock.l_len = length;
    return lock;
}

// Whether another open file holds a lock anywhere in [start, start + length).
bool lockedElsewhere(int fd, off_t start, off_t length)
{
    if (length <= 0)
        return false;
    struct flock probe = range(F_WRLCK, start, length);
    return fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
}

} // namespace

DatabaseFileLocks::DatabaseFileLocks(const QString& path, const QString& shownName)
{
    // Writing, for the write lock; a file this user may only read is never
    // written anyway.
    const QByteArray name = QFile::encodeName(path);
    m_fd = ::open(name.constData(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        m_fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0)
        return;
    const off_t mark = markOfThisProgram();
    struct flock own = range(F_RDLCK, mark, 1);
    if (fcntl(m_fd, F_OFD_SETLK, &own) != 0) {
        ::close(m_fd);
        m_fd = -1;
        return;
    }
    // Marked first, looked second: of two programs starting at once, at least
    // one sees the other.
    if (lockedElsewhere(m_fd, kMarks, mark - kMarks) || lockedElsewhere(m_fd, mark + 1, kMarks + kMarkCount - mark - 1)) {
        ::close(m_fd);
        m_fd = -1;
        throw EDatabaseError(QStringLiteral("База данных открыта программой другого пользователя или с другим "
                                            "каталогом блокировок (FIREBIRD_LOCK): ")
                             + shownName);
    }
}

DatabaseFileLocks::~DatabaseFileLocks()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void DatabaseFileLocks::beginAttaching()
{
    if (m_fd < 0)
        return;
    struct flock lock = range(F_WRLCK, kAttachByte, 1);
    while (fcntl(m_fd, F_OFD_SETLKW, &lock) != 0 && errno == EINTR) {
    }
}

void DatabaseFileLocks::endAttaching()
{
    if (m_fd < 0)
        return;
    struct flock lock = range(F_UNLCK, kAttachByte, 1);
    fcntl(m_fd, F_OFD_SETLK, &lock);
}

bool DatabaseFileLocks::tryLockWriting()
{
    if (m_writing || m_fd < 0)
        return true;
    struct flock lock = range(F_WRLCK, kWriterByte, 1);
    if (fcntl(m_fd, F_OFD_SETLK, &lock) != 0)
        return errno != EAGAIN && errno != EACCES; // else a file system without these locks
    m_writing = true;
    return true;
}

void DatabaseFileLocks::unlockWriting()
{
    if (!m_writing)
        return;
    struct flock lock = range(F_UNLCK, kWriterByte, 1);
    fcntl(m_fd, F_OFD_SETLK, &lock);
    m_writing = false;
}
