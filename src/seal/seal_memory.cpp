#include "seal/seal_memory.h"

#include "common/file_name_codec.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

QString directory()
{
    const QString given = qEnvironmentVariable("KVAREN_STATE_DIR");
    if (!given.isEmpty())
        return given;
    if (geteuid() == 0)
        return QStringLiteral("/var/lib/kvaren");
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/kvaren");
}

// Lines of "identity<TAB>generation<TAB>path in hex".
QList<QByteArray> readLines(const QString& file)
{
    QFile memory(file);
    if (!memory.open(QIODevice::ReadOnly))
        return {};
    return memory.readAll().split('\n');
}

// Holds an exclusive lock on the memory's lock file while it lives, so that
// two checkers ending at once do not lose each other's generations.
class MemoryLock {
public:
    explicit MemoryLock(const QString& dir)
        : m_fd(::open(QFile::encodeName(dir + QStringLiteral("/seals.lock")).constData(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600))
    {
        if (m_fd >= 0)
            ::flock(m_fd, LOCK_EX);
    }
    ~MemoryLock()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool held() const { return m_fd >= 0; }

private:
    int m_fd;
};

} // namespace

QString SealMemory::file()
{
    return directory() + QStringLiteral("/seals");
}

SealMemory::SealMemory()
{
    for (const QByteArray& line : readLines(file())) {
        const QList<QByteArray> parts = line.split('\t');
        if (parts.size() != 3)
            continue;
        m_seen.append({parts[0], parts[1].toLongLong(), DecodeFileName(QByteArray::fromHex(parts[2]))});
    }
}

std::optional<qint64> SealMemory::generationOf(const QByteArray& database) const
{
    for (const Seen& seen : m_seen)
        if (seen.database == database)
            return seen.generation;
    return std::nullopt;
}

std::optional<QByteArray> SealMemory::databaseAt(const QString& path) const
{
    for (const Seen& seen : m_seen)
        if (seen.path == path)
            return seen.database;
    return std::nullopt;
}

QString SealMemory::remember(const QString& path, const QByteArray& database, qint64 generation)
{
    const QString dir = directory();
    if (!QDir().mkpath(dir))
        return QStringLiteral("Не удалось создать директорию ") + dir;
    const MemoryLock lock(dir);
    if (!lock.held())
        return QStringLiteral("Не удалось открыть ") + dir + QStringLiteral("/seals.lock: ")
            + QString::fromLocal8Bit(strerror(errno));
    *this = SealMemory(); // what another checker remembered meanwhile
    bool known = false;
    for (Seen& seen : m_seen) {
        if (seen.database == database) {
            known = true;
            seen.generation = std::max(seen.generation, generation);
            seen.path = path;
        } else if (seen.path == path) {
            seen.path.clear();
        }
    }
    if (!known)
        m_seen.append({database, generation, path});
    QSaveFile memory(file());
    if (!memory.open(QIODevice::WriteOnly))
        return QStringLiteral("Не удалось записать ") + file() + QStringLiteral(": ") + memory.errorString();
    memory.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    for (const Seen& seen : m_seen)
        memory.write(seen.database + '\t' + QByteArray::number(seen.generation) + '\t'
                     + EncodeFileName(seen.path).toHex() + '\n');
    if (!memory.commit())
        return QStringLiteral("Не удалось записать ") + file() + QStringLiteral(": ") + memory.errorString();
    return QString();
}
