#include "watch/tree_notifier.h"

#include "common/exception.h"
#include "common/file_name_codec.h"
#include "rows/directory_rows.h"
#include "scan/directory_entries.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t kEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO
    | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_EXCL_UNLINK;

// The watch is asked for through the descriptor's name in /proc, which leads
// to the very directory opened, so that a directory swapped for a link after
// it was opened is not watched through the link.
int addWatch(int inotify, const DirectoryHandle& dir, const QString& path)
{
    char at[32];
    std::snprintf(at, sizeof at, "/proc/self/fd/%d", dir.fd());
    const int wd = inotify_add_watch(inotify, at, kEvents);
    if (wd >= 0 || errno != ENOENT)
        return wd;
    // No /proc: by the path, not through a link at its last name.
    return inotify_add_watch(inotify, EncodeFileName(path).constData(), kEvents | IN_DONT_FOLLOW);
}

} // namespace

QString WatchLimitReason()
{
    QFile limit(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    const QString now = limit.open(QIODevice::ReadOnly) ? QString::fromLatin1(limit.readAll().trimmed()) : QStringLiteral("?");
    return QStringLiteral("достигнут предел числа отслеживаемых директорий (fs.inotify.max_user_watches = ") + now
        + QStringLiteral(", /proc/sys/fs/inotify/max_user_watches); поднять его: "
                         "sudo sysctl fs.inotify.max_user_watches=524288, а навсегда — строкой "
                         "fs.inotify.max_user_watches=524288 в /etc/sysctl.d/90-kvaren.conf");
}

TreeNotifier::TreeNotifier(QObject* parent) : QObject(parent)
{
    m_fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (m_fd < 0)
        throw Exception(QStringLiteral("Не удалось получать уведомления ядра об изменениях (inotify): ")
                        + QString::fromLocal8Bit(std::strerror(errno)));
    m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TreeNotifier::readEvents);
}

TreeNotifier::~TreeNotifier()
{
    delete m_notifier;
    close(m_fd);
}

void TreeNotifier::watchTree(const QString& dir)
{
    m_roots.append(dir);
    DirectoryHandle opened;
    struct stat status {};
    if (DirectoryHandle::open(dir, opened, status) == 0)
        watchDirectory(opened, status, dir);
}

bool TreeNotifier::watchDirectory(const QString& dir)
{
    // A directory that appeared in a tree is opened from the tree's own
    // directory, one name at a time, never through a link.
    for (const QString& root : std::as_const(m_roots)) {
        DirectoryHandle opened;
        struct stat status {};
        if (InDirectory(dir, root) && DirectoryHandle::openBeneath(root, dir, opened, status) == 0)
            return watchDirectory(opened, status, dir);
    }
    return true;
}

bool TreeNotifier::watchDirectory(const DirectoryHandle& opened, const struct stat& status, const QString& dir)
{
    if (m_pseudo.contains(status.st_dev))
        return true;
    // The watch comes before the listing: a directory made in between is
    // told of as well as listed, never neither.
    const int wd = addWatch(m_fd, opened, dir);
    if (wd < 0) {
        if (errno == ENOSPC) {
            emit refused(dir, WatchLimitReason());
            return false;
        }
        return true;
    }
    if (const auto old = m_paths.constFind(wd); old != m_paths.cend() && *old != dir)
        m_watches.remove(*old);
    m_paths.insert(wd, dir);
    m_watches.insert(dir, wd);
    std::vector<DirectoryEntry> entries;
    ListDirectory(opened, dir, m_pseudo, entries);
    for (const DirectoryEntry& entry : entries) {
        DirectoryHandle sub;
        struct stat subStatus {};
        if (entry.walkInto && opened.openSubdirectory(EncodeFileName(entry.rec.Name).constData(), sub, subStatus) == 0
            && !watchDirectory(sub, subStatus, JoinPath(dir, entry.rec.Name)))
            return false;
    }
    return true;
}

void TreeNotifier::forgetBelow(const QString& dir)
{
    for (auto at = m_watches.begin(); at != m_watches.end();) {
        if (InDirectory(at.key(), dir)) {
            inotify_rm_watch(m_fd, at.value());
            m_paths.remove(at.value());
            at = m_watches.erase(at);
        } else {
            ++at;
        }
    }
}

void TreeNotifier::readEvents()
{
    alignas(inotify_event) char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = read(m_fd, buffer, sizeof buffer);
        if (got <= 0)
            return; // EAGAIN: all read
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += ssize_t(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                emit overflowed();
                continue;
            }
            const auto watched = m_paths.constFind(event->wd);
            if (watched == m_paths.cend())
                continue; // a watch given up, whose last events come late
            const QString dir = *watched;
            if (event->mask & IN_IGNORED) {
                m_paths.remove(event->wd);
                if (m_watches.value(dir) == event->wd)
                    m_watches.remove(dir);
                continue;
            }
            if (event->len == 0 || event->name[0] == '\0') {
                // The directory itself: its attributes, or all of it gone.
                if (event->mask & IN_ATTRIB)
                    emit changed({dir, JudgedName::Directory});
                if (event->mask & (IN_DELETE_SELF | IN_MOVE_SELF))
                    emit changed({dir, JudgedName::Tree});
                continue;
            }
            const QString path = JoinPath(dir, DecodeFileName(event->name));
            if (!(event->mask & IN_ISDIR)) {
                emit changed({path, JudgedName::File});
                continue;
            }
            if (event->mask & IN_ATTRIB) {
                emit changed({path, JudgedName::Directory});
                continue;
            }
            if (event->mask & IN_MOVED_FROM)
                forgetBelow(path);
            if (event->mask & (IN_CREATE | IN_MOVED_TO))
                watchDirectory(path);
            emit changed({path, JudgedName::Tree});
        }
    }
}
